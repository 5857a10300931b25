#include "KXTextEncode.h"

std::string KXTextToJSStringLiteral(std::string_view AText) {
  std::string R;
  R.reserve(AText.size() + AText.size() / 8);
  for (const char C : AText) {
    switch (C) {
      case '\n': R += "\\n"; break;
      case '\r': break;
      case '"': case '\'': case '<': case '>': case '\\':
        R += '\\';
        R += C;
        break;
      default: R += C;
    }
  }
  return R;
}
