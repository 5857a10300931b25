#pragma once
// A fresh folder under the system temporary folder, removed with everything in it.
#include <string>

class TKXTempFolder {
public:
  TKXTempFolder();
  ~TKXTempFolder();
  TKXTempFolder(const TKXTempFolder&) = delete;
  TKXTempFolder& operator=(const TKXTempFolder&) = delete;
  const std::string& Path() const { return FPath; }   // without trailing separator
  int CountFiles() const;                             // regular files, recursively

private:
  std::string FPath;
};
