#pragma once
// Pieces of the program that other pages call through the registry. While a piece is
// not there, the action that needs it tells the user so and changes nothing.

#include <string>

#include "platform/page_registry.h"

// "“<name>”功能尚未完成，本次操作未执行。" in a box captioned "系统提示".
void ShowPieceMissing(const std::string& pieceName);

// The piece published in `slot` as a T, or nullptr after the box above. UI thread only.
template <class T>
T* RequirePiece(PageSlot slot, const std::string& pieceName) {
  T* piece = PageRegistry::Instance().Get<T>(slot);
  if (piece == nullptr) ShowPieceMissing(pieceName);
  return piece;
}
