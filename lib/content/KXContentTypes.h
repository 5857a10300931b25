#pragma once
// Content types of the files the server sends, chosen by file extension: a fixed table first,
// then the system MIME database, then "application/octet-stream".
#include <map>
#include <string>
#include <string_view>

#include "SkStrUtils.h"

// The extension of the last path component, dot included ("" when there is none).
std::string ExtractFileExtension(std::string_view AFileName);

// AExtension with its dot (".gif"); compared without regard to case.
std::string ContentTypeOfExtension(std::string_view AExtension);
std::string ContentTypeOfFile(std::string_view AFileName);

// A MIME database in the mime.types format: "type ext ext ..." lines, "#" comments.
class TKXMimeDatabase {
public:
  void Load(std::string_view AText);
  bool LoadFromFile(const std::string& APath);
  // AExtension with or without its dot; empty when unknown.
  std::string Find(std::string_view AExtension) const;
  bool Empty() const { return FTypes.empty(); }

private:
  std::map<std::string, std::string, TSkLessText> FTypes;   // extension without dot -> type
};

// The host's database (/etc/mime.types), read once on first use; empty when the host has none.
const TKXMimeDatabase& SystemMimeDatabase();
