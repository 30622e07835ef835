#pragma once
// Hash maps keyed by std::string that are searched with a string_view, so a text read
// from a row is looked up without being copied first.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// Texts mapped to a number each, in one flat open-addressed table: a lookup reads one
// slot (the text's hash and its number) and compares the text only on an equal hash.
// For folds that look up every seat of thousands of listings.
class TextIndex {
 public:
  // The value of `text`, or null when it is not in the index.
  std::uint32_t* Find(std::string_view text);
  const std::uint32_t* Find(std::string_view text) const;
  // Adds `text` with `value` unless present; the text's value and whether it was added.
  std::pair<std::uint32_t*, bool> Emplace(std::string_view text, std::uint32_t value);
  void Clear();
  std::size_t size() const { return texts_.size(); }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t text = 0;  // 1 + the text's place in texts_; 0 for an empty slot
    std::uint32_t value = 0;
  };
  std::size_t SlotOf(std::string_view text, std::uint64_t hash) const;  // its slot, or the empty one to use
  void Grow();

  std::vector<Slot> slots_;  // a power of two, at most half full
  std::vector<std::string> texts_;
};

// Names (branches, stocks), each kept once and known by a number in the order first met.
class NameTable {
 public:
  static constexpr int kNone = -1;  // an empty seat
  int Id(std::string_view name) {
    if (name.empty()) return kNone;
    const auto [id, added] = ids_.Emplace(name, static_cast<std::uint32_t>(names_.size()));
    if (added) names_.emplace_back(name);
    return static_cast<int>(*id);
  }
  const std::string& Name(int id) const { return names_[static_cast<std::size_t>(id)]; }
  std::size_t size() const { return names_.size(); }

 private:
  TextIndex ids_;
  std::vector<std::string> names_;
};
