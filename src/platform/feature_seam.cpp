#include "platform/feature_seam.h"

#include "platform/message_box.h"

void ShowFeatureMissing(const std::string& featureName) {
  MessageBox("“" + featureName + "”功能尚未完成，本次操作未执行。", "系统提示", MB_OK | MB_ICONINFORMATION);
}
