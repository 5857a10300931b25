#pragma once
// Names to positions without regard to case, for the few dozen names one render registers
// (its components' aliases, its hidden inputs). Open addressing in one array: a name costs
// neither a node of its own nor a second hashing, and short names fit in their slots.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SkStrUtils.h"

class TKXNameIndex {
public:
  // The position the name was added with, or -1.
  int Find(std::string_view AName) const {
    if (FSlots.empty()) return -1;
    const TSlot& S = FSlots[SlotOf(AName, HashOf(AName))];
    return S.Used ? static_cast<int>(S.Position) : -1;
  }

  // Adds the name with its position unless the name is there already (the first one stays);
  // answers whether it was added.
  bool Add(std::string_view AName, size_t APosition) {
    if (2 * (FCount + 1) > FSlots.size()) Grow(2 * (FCount + 1));
    const uint64_t Hash = HashOf(AName);
    TSlot& S = FSlots[SlotOf(AName, Hash)];
    if (S.Used) return false;
    S = {std::string(AName), Hash, APosition, true};
    ++FCount;
    return true;
  }

  void Reserve(size_t ACount) {
    if (2 * ACount > FSlots.size()) Grow(2 * ACount);
  }
  void Clear() {
    for (TSlot& S : FSlots) S.Used = false;
    FCount = 0;
  }
  size_t Count() const { return FCount; }

private:
  struct TSlot {
    std::string Name;
    uint64_t Hash = 0;
    size_t Position = 0;
    bool Used = false;
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
      if (!S.Used || (S.Hash == AHash && SameText(S.Name, AName))) return I;
    }
  }

  void Grow(size_t AAtLeast) {
    size_t Size = 16;
    while (Size < AAtLeast) Size *= 2;
    std::vector<TSlot> Old;
    Old.swap(FSlots);
    FSlots.resize(Size);
    for (TSlot& S : Old)
      if (S.Used) FSlots[SlotOf(S.Name, S.Hash)] = std::move(S);
  }

  std::vector<TSlot> FSlots;   // a power of two in size, at most half full
  size_t FCount = 0;
};
