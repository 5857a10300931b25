#pragma once
// Cookies of the HTTP server: request cookies (name and value) and response cookies, whose text
// "name=value; path=...; expires=..." is parsed into parts and written back as a Set-Cookie value.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TSkCookieRFC2109 {
public:
  const std::string& CookieName() const { return FName; }
  void SetCookieName(std::string AValue) { FName = std::move(AValue); }
  const std::string& Value() const { return FValue; }
  void SetValue(std::string AValue) { FValue = std::move(AValue); }
  const std::string& Path() const { return FPath; }
  void SetPath(std::string AValue) { FPath = std::move(AValue); }
  const std::string& Expires() const { return FExpires; }
  void SetExpires(std::string AValue) { FExpires = std::move(AValue); }
  const std::string& Domain() const { return FDomain; }
  void SetDomain(std::string AValue) { FDomain = std::move(AValue); }
  bool Secure() const { return FSecure; }
  void SetSecure(bool AValue) { FSecure = AValue; }
  int64_t MaxAge() const { return FMaxAge; }
  void SetMaxAge(int64_t AValue) { FMaxAge = AValue; }
  const std::string& Version() const { return FVersion; }
  void SetVersion(std::string AValue) { FVersion = std::move(AValue); }
  const std::string& Comment() const { return FComment; }
  void SetComment(std::string AValue) { FComment = std::move(AValue); }

  // Parses response cookie text; attributes are recognised without regard to case.
  void SetCookieText(std::string_view AText);
  // The Set-Cookie value built from the parts.
  std::string ServerCookie() const;

private:
  std::string FName, FValue, FPath = "/", FExpires, FDomain, FVersion, FComment;
  bool FSecure = false;
  int64_t FMaxAge = -1;
};

class TSkServerCookies {
public:
  TSkCookieRFC2109& Add();
  TSkCookieRFC2109& AddCookie(std::string_view AText);   // parsed as response cookie text
  int Count() const { return static_cast<int>(FItems.size()); }
  const TSkCookieRFC2109& operator[](int AIndex) const { return FItems.at(static_cast<size_t>(AIndex)); }
  TSkCookieRFC2109& operator[](int AIndex) { return FItems.at(static_cast<size_t>(AIndex)); }
  void Clear() { FItems.clear(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

private:
  std::vector<TSkCookieRFC2109> FItems;
};
