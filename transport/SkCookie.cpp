#include "SkCookie.h"

#include "SkStrUtils.h"

void TSkCookieRFC2109::SetCookieText(std::string_view AText) {
  *this = TSkCookieRFC2109();
  const std::vector<std::string> Pieces = SplitString(AText, ';');
  for (size_t I = 0; I < Pieces.size(); ++I) {
    const std::string Piece = Trim(Pieces[I]);
    const size_t Eq = Piece.find('=');
    if (I == 0) {
      FName = Piece.substr(0, Eq);
      FValue = Eq == std::string::npos ? std::string() : Piece.substr(Eq + 1);
      continue;
    }
    const std::string Attr = UpperCase(Piece.substr(0, Eq));
    const std::string Value = Eq == std::string::npos ? std::string() : Piece.substr(Eq + 1);
    if (Attr == "PATH") {
      std::string P = Value;
      if (P.size() >= 2 && P.front() == '"' && P.back() == '"') P = P.substr(1, P.size() - 2);
      FPath = P.empty() ? "/" : P;
    } else if (Attr == "EXPIRES") {
      FExpires = Value;
    } else if (Attr == "DOMAIN") {
      FDomain = Value;
    } else if (Attr == "SECURE") {
      FSecure = true;
    } else if (Attr == "MAX-AGE") {
      int64_t N = -1;
      FMaxAge = TryStrToInt64(Value, N) ? N : -1;
    } else if (Attr == "VERSION") {
      FVersion = Value;
    } else if (Attr == "COMMENT") {
      FComment = Value;
    }
  }
}

std::string TSkCookieRFC2109::ServerCookie() const {
  std::string R = FName;
  if (!FValue.empty()) R += "=" + FValue;
  R += "; path=" + FPath;
  if (!FExpires.empty()) R += "; expires=" + FExpires;
  if (!FDomain.empty()) R += "; domain=" + FDomain;
  if (FSecure) R += "; secure";
  if (FMaxAge >= 0 && FExpires.empty()) R += "; max-age=" + IntToStr(FMaxAge);
  if (!FComment.empty()) R += "; comment=" + FComment;
  if (!FVersion.empty()) R += "; version=" + FVersion;
  return R;
}

TSkCookieRFC2109& TSkServerCookies::Add() { return FItems.emplace_back(); }

TSkCookieRFC2109& TSkServerCookies::AddCookie(std::string_view AText) {
  TSkCookieRFC2109& C = Add();
  C.SetCookieText(AText);
  return C;
}
