#include "storage/text_hash.h"

std::size_t TextIndex::SlotOf(std::string_view text, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.text == 0) return i;
    if (slot.hash == hash && texts_[slot.text - 1] == text) return i;
  }
}

std::uint32_t* TextIndex::Find(std::string_view text) {
  return const_cast<std::uint32_t*>(static_cast<const TextIndex*>(this)->Find(text));
}

const std::uint32_t* TextIndex::Find(std::string_view text) const {
  if (slots_.empty()) return nullptr;
  const Slot& slot = slots_[SlotOf(text, TextHash{}(text))];
  return slot.text == 0 ? nullptr : &slot.value;
}

std::pair<std::uint32_t*, bool> TextIndex::Emplace(std::string_view text, std::uint32_t value) {
  if ((texts_.size() + 1) * 2 > slots_.size()) Grow();
  const std::uint64_t hash = TextHash{}(text);
  Slot& slot = slots_[SlotOf(text, hash)];
  if (slot.text != 0) return {&slot.value, false};
  texts_.emplace_back(text);
  slot = {hash, static_cast<std::uint32_t>(texts_.size()), value};
  return {&slot.value, true};
}

void TextIndex::Clear() {
  slots_.clear();
  texts_.clear();
}

void TextIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.text == 0) continue;
    std::size_t i = static_cast<std::size_t>(slot.hash) & mask;
    while (slots_[i].text != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}
