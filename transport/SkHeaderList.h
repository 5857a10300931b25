#pragma once
// Header lines "Name: value" with folding (long values wrapped onto continuation lines that start
// with a blank) and unfolding (continuation lines joined back when a value is read).
#include <string>
#include <string_view>
#include <vector>

class TSkStringList;

class TSkHeaderList {
public:
  int Count() const { return static_cast<int>(FLines.size()); }
  const std::string& operator[](int AIndex) const { return FLines.at(static_cast<size_t>(AIndex)); }
  void Add(std::string ALine) { FLines.push_back(std::move(ALine)); }
  void AddValue(std::string_view AName, std::string_view AValue);   // appends, never replaces
  void Clear() { FLines.clear(); }
  void Delete(int AIndex) { FLines.erase(FLines.begin() + AIndex); }
  const std::vector<std::string>& Lines() const { return FLines; }
  auto begin() const { return FLines.begin(); }
  auto end() const { return FLines.end(); }

  std::string Names(int AIndex) const;            // text before the first ':'
  int IndexOfName(std::string_view AName) const;  // without regard to case; -1 when absent
  std::string ValueFromIndex(int AIndex) const;
  std::string Values(std::string_view AName) const;
  // An empty value deletes the line (and its continuation lines); otherwise replaces it in place.
  void SetValue(std::string_view AName, std::string_view AValue);
  // Every line of that name, in order, contributes its value.
  void Extract(std::string_view AName, TSkStringList& ADest) const;
  std::string Text() const;                       // each line followed by CR LF

  bool UnfoldLines() const { return FUnfoldLines; }
  void SetUnfoldLines(bool AValue) { FUnfoldLines = AValue; }
  bool FoldLines() const { return FFoldLines; }
  void SetFoldLines(bool AValue) { FFoldLines = AValue; }
  int FoldLinesLength() const { return FFoldLinesLength; }
  void SetFoldLinesLength(int AValue) { FFoldLinesLength = AValue; }

private:
  bool IsContinuation(int AIndex) const;
  void DeleteContinuations(int AIndex);
  std::vector<std::string> FoldLine(std::string ALine) const;

  std::vector<std::string> FLines;
  bool FUnfoldLines = true;
  bool FFoldLines = true;
  int FFoldLinesLength = 78;
};
