#include "core/KXTextEncoding.h"

#include <charconv>

void AppendTextToHTML(std::string& AOut, std::string_view AText, bool AConvertEOLs, bool AConvertSpaces) {
  AOut.reserve(AOut.size() + AText.size());
  // Byte-wise is exact for UTF-8: every byte of a multi-byte character is 0x80 or above, so none
  // of them is taken for one of the ASCII characters below.
  for (char C : AText) {
    switch (C) {
      case '"': AOut += "&quot;"; break;
      case '&': AOut += "&amp;"; break;
      case '\'': AOut += "&#39;"; break;
      case '<': AOut += "&lt;"; break;
      case '>': AOut += "&gt;"; break;
      case '\n':
        if (AConvertEOLs) AOut += "<br>";
        else AOut += C;
        break;
      case '\r':
        if (!AConvertEOLs) AOut += C;
        break;
      case ' ':
        if (AConvertSpaces) AOut += "&nbsp;";
        else AOut += C;
        break;
      default: AOut += C;
    }
  }
}

std::string TextToHTML(std::string_view AText, bool AConvertEOLs, bool AConvertSpaces) {
  std::string R;
  AppendTextToHTML(R, AText, AConvertEOLs, AConvertSpaces);
  return R;
}

std::string TextToJSStringLiteral(std::string_view AText) {
  std::string R;
  R.reserve(AText.size() + AText.size() / 8);
  for (char C : AText) {
    switch (C) {
      case '\n': R += "\\n"; break;
      case '\r': break;
      case '"':
      case '\'':
      case '<':
      case '>':
      case '\\':
        R += '\\';
        R += C;
        break;
      default: R += C;
    }
  }
  return R;
}

namespace {

bool IsKeptInHiddenField(unsigned char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == ',' || C == '-' ||
         C == '.' || C == '_';
}

constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes one UTF-8 character at AText[I]; advances I past it (one byte for an invalid one).
char32_t NextCodePoint(std::string_view AText, size_t& I) {
  const unsigned char U = static_cast<unsigned char>(AText[I]);
  size_t Len;
  char32_t Code;
  if (U < 0x80) {
    ++I;
    return U;
  } else if ((U & 0xE0) == 0xC0) {
    Len = 2;
    Code = U & 0x1F;
  } else if ((U & 0xF0) == 0xE0) {
    Len = 3;
    Code = U & 0x0F;
  } else if ((U & 0xF8) == 0xF0) {
    Len = 4;
    Code = U & 0x07;
  } else {
    ++I;
    return kReplacementChar;
  }
  if (I + Len > AText.size()) {
    ++I;
    return kReplacementChar;
  }
  for (size_t K = 1; K < Len; ++K) {
    const unsigned char B = static_cast<unsigned char>(AText[I + K]);
    if ((B & 0xC0) != 0x80) {
      ++I;
      return kReplacementChar;
    }
    Code = (Code << 6) | (B & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
  if (Code < kMinForLength[Len] || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF) {
    ++I;
    return kReplacementChar;
  }
  I += Len;
  return Code;
}

}  // namespace

std::string TextToHTMLStringLiteral(std::string_view AText) {
  std::string R;
  R.reserve(AText.size() * 2);
  for (size_t I = 0; I < AText.size();) {
    const unsigned char U = static_cast<unsigned char>(AText[I]);
    if (IsKeptInHiddenField(U)) {
      R += static_cast<char>(U);
      ++I;
      continue;
    }
    const char32_t Code = NextCodePoint(AText, I);
    char Digits[12];
    const auto Res = std::to_chars(Digits, Digits + sizeof(Digits), static_cast<unsigned long>(Code));
    R += "&#";
    R.append(Digits, Res.ptr);
    R += ';';
  }
  return R;
}
