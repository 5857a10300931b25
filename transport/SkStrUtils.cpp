#include "SkStrUtils.h"

#include <algorithm>
#include <charconv>


std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = UpCaseChar(C);
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& C : R) C = LowCaseChar(C);
  return R;
}

int CompareText(std::string_view A, std::string_view B) {
  const size_t N = std::min(A.size(), B.size());
  for (size_t I = 0; I < N; ++I) {
    const unsigned char X = static_cast<unsigned char>(UpCaseChar(A[I]));
    const unsigned char Y = static_cast<unsigned char>(UpCaseChar(B[I]));
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool StartsText(std::string_view Prefix, std::string_view S) {
  return S.size() >= Prefix.size() && SameText(S.substr(0, Prefix.size()), Prefix);
}

bool EndsText(std::string_view Suffix, std::string_view S) {
  return S.size() >= Suffix.size() && SameText(S.substr(S.size() - Suffix.size()), Suffix);
}

bool StartsStr(std::string_view Prefix, std::string_view S) { return S.substr(0, Prefix.size()) == Prefix; }

size_t PosText(std::string_view Sub, std::string_view S, size_t From) {
  if (Sub.empty()) return From <= S.size() ? From : std::string_view::npos;
  for (size_t I = From; I + Sub.size() <= S.size(); ++I)
    if (SameText(S.substr(I, Sub.size()), Sub)) return I;
  return std::string_view::npos;
}

bool ContainsText(std::string_view S, std::string_view Sub) { return PosText(Sub, S) != std::string_view::npos; }

namespace {
bool IsTrimmed(char C) { return static_cast<unsigned char>(C) <= ' '; }
}  // namespace

std::string TrimLeft(std::string_view S) {
  size_t I = 0;
  while (I < S.size() && IsTrimmed(S[I])) ++I;
  return std::string(S.substr(I));
}

std::string TrimRight(std::string_view S) {
  size_t N = S.size();
  while (N > 0 && IsTrimmed(S[N - 1])) --N;
  return std::string(S.substr(0, N));
}

std::string Trim(std::string_view S) { return TrimLeft(TrimRight(S)); }

std::string ReplaceAll(std::string_view S, std::string_view From, std::string_view To) {
  if (From.empty()) return std::string(S);
  std::string R;
  size_t I = 0;
  for (size_t P; (P = S.find(From, I)) != std::string_view::npos; I = P + From.size()) {
    R.append(S.substr(I, P - I));
    R.append(To);
  }
  R.append(S.substr(I));
  return R;
}

std::string ReplaceAllText(std::string_view S, std::string_view From, std::string_view To) {
  if (From.empty()) return std::string(S);
  std::string R;
  size_t I = 0;
  for (size_t P; (P = PosText(From, S, I)) != std::string_view::npos; I = P + From.size()) {
    R.append(S.substr(I, P - I));
    R.append(To);
  }
  R.append(S.substr(I));
  return R;
}

std::string RemoveChars(std::string_view S, char C) {
  std::string R;
  R.reserve(S.size());
  for (char X : S)
    if (X != C) R += X;
  return R;
}

bool TryStrToInt64(std::string_view S, int64_t& Value) {
  if (S.empty()) return false;
  const char* First = S.data();
  const char* Last = S.data() + S.size();
  if (*First == '+') ++First;
  if (First == Last) return false;
  auto [Ptr, Ec] = std::from_chars(First, Last, Value);
  return Ec == std::errc() && Ptr == Last;
}

bool TryStrToInt(std::string_view S, int& Value) {
  int64_t V;
  if (!TryStrToInt64(S, V) || V < INT32_MIN || V > INT32_MAX) return false;
  Value = static_cast<int>(V);
  return true;
}

int StrToIntDef(std::string_view S, int Default) {
  int V;
  return TryStrToInt(S, V) ? V : Default;
}

std::string IntToStr(int64_t Value) { return std::to_string(Value); }

std::vector<std::string> SplitString(std::string_view S, char Separator) {
  std::vector<std::string> R;
  size_t I = 0;
  for (size_t P; (P = S.find(Separator, I)) != std::string_view::npos; I = P + 1) R.emplace_back(S.substr(I, P - I));
  R.emplace_back(S.substr(I));
  return R;
}

std::string Latin1ToUtf8(std::string_view S) {
  std::string R;
  R.reserve(S.size());
  for (char C : S) {
    const unsigned char U = static_cast<unsigned char>(C);
    if (U < 0x80) {
      R += C;
    } else {
      R += char(0xC0 | (U >> 6));
      R += char(0x80 | (U & 0x3F));
    }
  }
  return R;
}

std::string Utf8ToLatin1(std::string_view S) {
  std::string R;
  R.reserve(S.size());
  for (size_t I = 0; I < S.size();) {
    const unsigned char U = static_cast<unsigned char>(S[I]);
    size_t Len = U < 0x80 ? 1 : (U >> 5) == 6 ? 2 : (U >> 4) == 14 ? 3 : (U >> 3) == 30 ? 4 : 1;
    if (I + Len > S.size()) Len = 1;
    if (Len == 1) {
      R += U < 0x80 ? char(U) : '?';
    } else if (Len == 2) {
      const unsigned Code = ((U & 0x1F) << 6) | (static_cast<unsigned char>(S[I + 1]) & 0x3F);
      R += Code <= 0xFF ? char(Code) : '?';
    } else {
      R += '?';
    }
    I += Len;
  }
  return R;
}

bool IsValidUtf8(std::string_view S) {
  for (size_t I = 0; I < S.size();) {
    const unsigned char U = static_cast<unsigned char>(S[I]);
    size_t Len = U < 0x80 ? 1 : (U >> 5) == 6 ? 2 : (U >> 4) == 14 ? 3 : (U >> 3) == 30 ? 4 : 0;
    if (Len == 0 || I + Len > S.size()) return false;
    for (size_t K = 1; K < Len; ++K)
      if ((static_cast<unsigned char>(S[I + K]) >> 6) != 2) return false;
    I += Len;
  }
  return true;
}
