#pragma once
// Features of the program that pages call through the registry. While a feature is
// not there, the action that needs it tells the user so and changes nothing.

#include <string>

#include "platform/page_registry.h"

// The names the message gives for the features pages call.
inline constexpr const char* kTrackerFeatureName = "搜索&查询";
inline constexpr const char* kDzjyFeatureName = "大宗交易";
inline constexpr const char* kBlockFeatureName = "Velkor自选股";
inline constexpr const char* kChartLinkFeatureName = "通达信联动";

// "“<name>”功能尚未完成，本次操作未执行。" in a box captioned "系统提示".
void ShowFeatureMissing(const std::string& featureName);

// The feature published in `slot` as a T, or nullptr after the box above. UI thread only.
template <class T>
T* RequireFeature(PageSlot slot, const std::string& featureName) {
  T* feature = PageRegistry::Instance().Get<T>(slot);
  if (feature == nullptr) ShowFeatureMissing(featureName);
  return feature;
}
