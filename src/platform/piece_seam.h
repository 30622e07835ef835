#pragma once
// Pieces of the program that other pages call through the registry. While a piece is
// not there, the action that needs it tells the user so and changes nothing.

#include <string>

#include "platform/page_registry.h"

// The names the message gives for the pieces pages call.
inline constexpr const char* kTrackerPieceName = "搜索&查询";
inline constexpr const char* kDzjyPieceName = "大宗交易";
inline constexpr const char* kBlockPieceName = "Velkor自选股";
inline constexpr const char* kChartLinkPieceName = "通达信联动";

// "“<name>”功能尚未完成，本次操作未执行。" in a box captioned "系统提示".
void ShowPieceMissing(const std::string& pieceName);

// The piece published in `slot` as a T, or nullptr after the box above. UI thread only.
template <class T>
T* RequirePiece(PageSlot slot, const std::string& pieceName) {
  T* piece = PageRegistry::Instance().Get<T>(slot);
  if (piece == nullptr) ShowPieceMissing(pieceName);
  return piece;
}
