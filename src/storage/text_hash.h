#pragma once
// Hash maps keyed by std::string that are searched with a string_view, so a text read
// from a row is looked up without being copied first.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
