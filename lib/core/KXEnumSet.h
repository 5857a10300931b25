#pragma once
// Sets of enumeration values (`[brIE, brGecko]` in stored descriptions) and the name tables that
// read and write such values by their identifiers.
#include <cstdint>
#include <initializer_list>

// One bit per value; enumerations of up to 64 values.
template <typename E, int ACount>
class TKXEnumSet {
  static_assert(ACount > 0 && ACount <= 64, "a set holds at most 64 values");

public:
  static constexpr int kCount = ACount;

  constexpr TKXEnumSet() = default;
  constexpr TKXEnumSet(std::initializer_list<E> AValues) {
    for (E V : AValues) Insert(V);
  }

  constexpr bool Contains(E AValue) const { return InRange(AValue) && (FBits & Bit(AValue)) != 0; }
  constexpr TKXEnumSet& Insert(E AValue) {
    if (InRange(AValue)) FBits |= Bit(AValue);
    return *this;
  }
  constexpr TKXEnumSet& Remove(E AValue) {
    if (InRange(AValue)) FBits &= ~Bit(AValue);
    return *this;
  }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr void Clear() { FBits = 0; }

  // The raw bits, value N at bit N, for generic property adapters.
  constexpr uint64_t Bits() const { return FBits; }
  static constexpr TKXEnumSet FromBits(uint64_t ABits) {
    TKXEnumSet S;
    S.FBits = ABits & Mask();
    return S;
  }

  friend constexpr bool operator==(const TKXEnumSet&, const TKXEnumSet&) = default;

private:
  static constexpr bool InRange(E AValue) {
    return static_cast<int>(AValue) >= 0 && static_cast<int>(AValue) < ACount;
  }
  static constexpr uint64_t Bit(E AValue) { return uint64_t{1} << static_cast<int>(AValue); }
  static constexpr uint64_t Mask() { return ACount == 64 ? ~uint64_t{0} : (uint64_t{1} << ACount) - 1; }

  uint64_t FBits = 0;
};

// One identifier of an enumeration and its ordinal, e.g. {"brIE", 2}.
struct TKXEnumName {
  const char* Name;
  int Value;
};
