#pragma once
// An ordered list of strings that doubles as a list of "name=value" lines, the shape of
// query fields, content fields, cookie fields, custom headers and the controller's lists.
// Names are looked up without regard to case; the first matching line wins.
#include <string>
#include <string_view>
#include <vector>

class TSkStringList {
public:
  TSkStringList() = default;
  TSkStringList(std::initializer_list<std::string> ALines) : FLines(ALines) {}

  int Count() const { return static_cast<int>(FLines.size()); }
  bool Empty() const { return FLines.empty(); }
  const std::string& operator[](int AIndex) const { return FLines.at(static_cast<size_t>(AIndex)); }
  std::string& operator[](int AIndex) { return FLines.at(static_cast<size_t>(AIndex)); }
  void Add(std::string ALine) { FLines.push_back(std::move(ALine)); }
  void Insert(int AIndex, std::string ALine);
  void Delete(int AIndex);
  void Clear() { FLines.clear(); }
  int IndexOf(std::string_view ALine) const;   // without regard to case

  // Name/value access: the name is the text before the first '='.
  int IndexOfName(std::string_view AName) const;
  std::string Names(int AIndex) const;
  std::string ValueFromIndex(int AIndex) const;
  std::string Values(std::string_view AName) const;
  // An empty value removes the line; a new name is appended.
  void SetValue(std::string_view AName, std::string_view AValue);

  // Lines joined by CR LF, each followed by one; setting splits on CR LF or LF.
  std::string Text() const;
  void SetText(std::string_view AText);
  // Lines joined by ASeparator (no trailing separator).
  std::string Join(std::string_view ASeparator) const;

  auto begin() const { return FLines.begin(); }
  auto end() const { return FLines.end(); }
  const std::vector<std::string>& Lines() const { return FLines; }

private:
  std::vector<std::string> FLines;
};
