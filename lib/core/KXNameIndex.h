#pragma once
// Names to positions without regard to case, for the few dozen names one render registers
// (its components' aliases, its hidden inputs). Open addressing in one array: a name costs
// neither a node of its own nor a second hashing, and short names fit in their slots.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SkStrUtils.h"

class TKXNameIndex {
public:
  // The position the name was added with, or -1.
  int Find(std::string_view AName) const {
    if (FSlots.empty()) return -1;
    const TSlot& S = FSlots[SlotOf(AName, HashOf(AName))];
    return S.Entry ? static_cast<int>(FEntries[S.Entry - 1].second) : -1;
  }

  // Adds the name with its position unless the name is there already (the first one stays);
  // answers whether it was added.
  bool Add(std::string_view AName, size_t APosition) {
    if (2 * (FEntries.size() + 1) > FSlots.size()) Grow(2 * (FEntries.size() + 1));
    const uint64_t Hash = HashOf(AName);
    TSlot& S = FSlots[SlotOf(AName, Hash)];
    if (S.Entry) return false;
    FEntries.emplace_back(std::string(AName), APosition);
    S = {Hash, FEntries.size()};
    return true;
  }

  void Reserve(size_t ACount) {
    if (2 * ACount > FSlots.size()) Grow(2 * ACount);
  }
  void Clear() {
    FEntries.clear();
    FSlots.assign(FSlots.size(), TSlot{});
  }
  size_t Count() const { return FEntries.size(); }

private:
  struct TSlot {
    uint64_t Hash = 0;
    size_t Entry = 0;   // 1 + the entry's index; 0 for a free slot
  };

  static uint64_t HashOf(std::string_view AName) {
    uint64_t H = 14695981039346656037ull;   // FNV-1a over the upper-cased bytes
    for (char C : AName) H = (H ^ static_cast<unsigned char>(UpCaseChar(C))) * 1099511628211ull;
    return H;
  }

  // The slot holding the name, or the free slot where it belongs.
  size_t SlotOf(std::string_view AName, uint64_t AHash) const {
    const size_t Mask = FSlots.size() - 1;
    for (size_t I = AHash & Mask;; I = (I + 1) & Mask) {
      const TSlot& S = FSlots[I];
      if (!S.Entry || (S.Hash == AHash && SameText(FEntries[S.Entry - 1].first, AName))) return I;
    }
  }

  // Slots only hold hashes and entry numbers: growing moves no names.
  void Grow(size_t AAtLeast) {
    size_t Size = 16;
    while (Size < AAtLeast) Size *= 2;
    FEntries.reserve(Size / 2);
    std::vector<TSlot> Old(Size);
    Old.swap(FSlots);
    const size_t Mask = Size - 1;
    for (const TSlot& S : Old) {
      if (!S.Entry) continue;
      size_t I = S.Hash & Mask;
      while (FSlots[I].Entry) I = (I + 1) & Mask;
      FSlots[I] = S;
    }
  }

  std::vector<std::pair<std::string, size_t>> FEntries;   // the names and positions, as added
  std::vector<TSlot> FSlots;   // a power of two in size, at most half full
};
