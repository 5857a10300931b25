#include "SkCodec.h"

#include "SkException.h"

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char C) {
  if (C >= 'A' && C <= 'Z') return C - 'A';
  if (C >= 'a' && C <= 'z') return C - 'a' + 26;
  if (C >= '0' && C <= '9') return C - '0' + 52;
  if (C == '+') return 62;
  if (C == '/') return 63;
  return -1;
}

}  // namespace

int HexDigitValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

std::string HTTPDecode(std::string_view AEncoded) {
  std::string R;
  R.reserve(AEncoded.size());
  for (size_t I = 0; I < AEncoded.size(); ++I) {
    const char C = AEncoded[I];
    if (C == '+') {
      R += ' ';
    } else if (C != '%') {
      R += C;
    } else if (I + 1 < AEncoded.size() && AEncoded[I + 1] == '%') {
      R += '%';
      ++I;
    } else {
      const size_t Pos = I + 1;
      if (Pos + 2 > AEncoded.size())
        throw ESkException("Error decoding URL style (%XX) encoded string at position " + std::to_string(Pos));
      const int Hi = HexDigitValue(AEncoded[Pos]);
      const int Lo = HexDigitValue(AEncoded[Pos + 1]);
      if (Hi < 0 || Lo < 0)
        throw ESkException("Invalid URL encoded character (%" + std::string(AEncoded.substr(Pos, 2)) +
                           ") at position " + std::to_string(Pos));
      R += char(Hi * 16 + Lo);
      I += 2;
    }
  }
  return R;
}

bool TryURLDecodePath(std::string_view AEncoded, std::string& ADecoded) {
  ADecoded.clear();
  ADecoded.reserve(AEncoded.size());
  for (size_t I = 0; I < AEncoded.size(); ++I) {
    if (AEncoded[I] != '%') {
      ADecoded += AEncoded[I];
      continue;
    }
    if (I + 2 >= AEncoded.size()) return false;
    const int Hi = HexDigitValue(AEncoded[I + 1]);
    const int Lo = HexDigitValue(AEncoded[I + 2]);
    if (Hi < 0 || Lo < 0) return false;
    ADecoded += char(Hi * 16 + Lo);
    I += 2;
  }
  return true;
}

std::string HTTPEncode(std::string_view AText) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string R;
  for (unsigned char C : AText) {
    if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '*' || C == '@' ||
        C == '.' || C == '_' || C == '-' || C == '$' || C == '!' || C == '\'' || C == '(' || C == ')') {
      R += char(C);
    } else if (C == ' ') {
      R += '+';
    } else {
      R += '%';
      R += kHex[C >> 4];
      R += kHex[C & 15];
    }
  }
  return R;
}

std::string Base64Encode(std::string_view AData) {
  std::string R;
  R.reserve((AData.size() + 2) / 3 * 4);
  size_t I = 0;
  for (; I + 3 <= AData.size(); I += 3) {
    const unsigned V = (unsigned char)AData[I] << 16 | (unsigned char)AData[I + 1] << 8 | (unsigned char)AData[I + 2];
    R += kBase64Alphabet[V >> 18];
    R += kBase64Alphabet[(V >> 12) & 63];
    R += kBase64Alphabet[(V >> 6) & 63];
    R += kBase64Alphabet[V & 63];
  }
  const size_t Rest = AData.size() - I;
  if (Rest) {
    unsigned V = (unsigned char)AData[I] << 16;
    if (Rest == 2) V |= (unsigned char)AData[I + 1] << 8;
    R += kBase64Alphabet[V >> 18];
    R += kBase64Alphabet[(V >> 12) & 63];
    R += Rest == 2 ? kBase64Alphabet[(V >> 6) & 63] : '=';
    R += '=';
  }
  return R;
}

std::string Base64Decode(std::string_view AEncoded) {
  std::string R;
  unsigned Acc = 0;
  int Bits = 0;
  for (char C : AEncoded) {
    if (C == ' ' || C == '\t' || C == '\r' || C == '\n') continue;
    const int V = Base64Value(C);
    if (V < 0) break;
    Acc = (Acc << 6) | unsigned(V);
    Bits += 6;
    if (Bits >= 8) {
      Bits -= 8;
      R += char((Acc >> Bits) & 0xFF);
    }
  }
  return R;
}
