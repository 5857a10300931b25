#pragma once
// Splits a request target or an absolute address into its parts, and the lenient URL decoding
// used for request paths and parameters.
#include <string>
#include <string_view>

class TSkURI {
public:
  explicit TSkURI(std::string_view AURI = {}) { SetURI(AURI); }
  void SetURI(std::string_view AURI);

  const std::string& Protocol() const { return FProtocol; }
  const std::string& Username() const { return FUsername; }
  const std::string& Password() const { return FPassword; }
  const std::string& Host() const { return FHost; }
  const std::string& Port() const { return FPort; }
  const std::string& Path() const { return FPath; }          // up to and including the last '/'
  const std::string& Document() const { return FDocument; }
  const std::string& Params() const { return FParams; }
  const std::string& Bookmark() const { return FBookmark; }

  // "%uXXXX" is a UTF-16 code unit (kept as one 8-bit character when below 256, else '?'), "%XX"
  // a character; a '%' sequence that is not hexadecimal is dropped; everything else stays.
  static std::string URLDecode(std::string_view AText);

private:
  std::string FProtocol, FUsername, FPassword, FHost, FPort, FPath, FDocument, FParams, FBookmark;
};
