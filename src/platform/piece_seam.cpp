#include "platform/piece_seam.h"

#include "platform/message_box.h"

void ShowPieceMissing(const std::string& pieceName) {
  MessageBox("“" + pieceName + "”功能尚未完成，本次操作未执行。", "系统提示", MB_OK | MB_ICONINFORMATION);
}
