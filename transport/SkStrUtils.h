#pragma once
// Text helpers shared by the transport and the framework. Comparisons "without regard to case"
// fold ASCII letters only: command words, header names, ids and resource names are ASCII.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Inline: every case-insensitive comparison of names and attributes goes through these.
inline char UpCaseChar(char C) { return (C >= 'a' && C <= 'z') ? char(C - 32) : C; }
inline char LowCaseChar(char C) { return (C >= 'A' && C <= 'Z') ? char(C + 32) : C; }
std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
// Inline: tag attributes, event names and component names are compared all through a render.
inline bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (A[I] != B[I] && UpCaseChar(A[I]) != UpCaseChar(B[I])) return false;
  return true;
}
int CompareText(std::string_view A, std::string_view B);
bool StartsText(std::string_view Prefix, std::string_view S);
bool EndsText(std::string_view Suffix, std::string_view S);
bool StartsStr(std::string_view Prefix, std::string_view S);
// Case-insensitive search; npos when absent.
size_t PosText(std::string_view Sub, std::string_view S, size_t From = 0);
bool ContainsText(std::string_view S, std::string_view Sub);

// Trimming removes every character up to and including the blank (control characters too).
std::string Trim(std::string_view S);
std::string TrimLeft(std::string_view S);
std::string TrimRight(std::string_view S);

std::string ReplaceAll(std::string_view S, std::string_view From, std::string_view To);
std::string ReplaceAllText(std::string_view S, std::string_view From, std::string_view To);
std::string RemoveChars(std::string_view S, char C);

// Whole-string decimal integers with an optional sign and surrounding blanks rejected.
bool TryStrToInt64(std::string_view S, int64_t& Value);
bool TryStrToInt(std::string_view S, int& Value);
int StrToIntDef(std::string_view S, int Default);
std::string IntToStr(int64_t Value);
// Copies N bytes and answers the end of the copy. The pieces of page text are mostly a few
// bytes long: those are copied inline (two overlapping moves) instead of by a call.
inline char* CopyBytes(char* To, const char* From, size_t N) {
  if (N >= 8 && N <= 16) {
    uint64_t A, B;
    std::memcpy(&A, From, 8);
    std::memcpy(&B, From + N - 8, 8);
    std::memcpy(To, &A, 8);
    std::memcpy(To + N - 8, &B, 8);
  } else if (N >= 4 && N < 8) {
    uint32_t A, B;
    std::memcpy(&A, From, 4);
    std::memcpy(&B, From + N - 4, 4);
    std::memcpy(To, &A, 4);
    std::memcpy(To + N - 4, &B, 4);
  } else if (N > 0 && N < 4) {
    To[0] = From[0];
    To[N / 2] = From[N / 2];
    To[N - 1] = From[N - 1];
  } else if (N > 16) {
    std::memcpy(To, From, N);
  }
  return To + N;
}

// Appends all the pieces with one growth of the string and no temporaries; answers their length.
inline size_t AppendAll(std::string& S, std::initializer_list<std::string_view> Pieces) {
  size_t Size = 0;
  for (std::string_view P : Pieces) Size += P.size();
  const size_t At = S.size();
  S.resize(At + Size);
  char* To = S.data() + At;
  for (std::string_view P : Pieces) To = CopyBytes(To, P.data(), P.size());
  return Size;
}

// The decimal digits of a number, formatted on the stack (a piece for AppendAll).
class TSkDigits {
public:
  explicit TSkDigits(int64_t Value) : FSize(static_cast<size_t>(std::to_chars(FText, FText + sizeof FText, Value).ptr - FText)) {}
  operator std::string_view() const { return {FText, FSize}; }

private:
  char FText[24];
  size_t FSize;
};

// Appends the decimal digits in place, without a temporary string.
inline void AppendInt(std::string& S, int64_t Value) { S += std::string_view(TSkDigits(Value)); }

std::vector<std::string> SplitString(std::string_view S, char Separator);

// Calls AOnLine with each line of AText: split at LF, a CR before it dropped; a final line break
// adds no empty line.
template <class TOnLine>
void ForEachLine(std::string_view AText, TOnLine&& AOnLine) {
  size_t I = 0;
  while (I < AText.size()) {
    size_t P = AText.find('\n', I);
    if (P == std::string_view::npos) P = AText.size();
    std::string_view Line = AText.substr(I, P - I);
    if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
    AOnLine(Line);
    I = P + 1;
  }
}

// The 8-bit code page that stands for the platform's default is ISO 8859-1; framework text is UTF-8.
std::string Latin1ToUtf8(std::string_view S);
std::string Utf8ToLatin1(std::string_view S);   // characters above U+00FF become '?'
bool IsValidUtf8(std::string_view S);

struct TSkLessText {   // ordering for maps keyed without regard to case
  using is_transparent = void;
  bool operator()(std::string_view A, std::string_view B) const { return CompareText(A, B) < 0; }
};
