#pragma once
// A setting that names a page either as a file of the files folder or as an external URL.
#include <functional>
#include <string>
#include <string_view>

#include "core/KXComponent.h"

class TKXFileReference : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  // Raised after every change of Filename or URL.
  std::function<void(TKXFileReference* Sender)> OnChange;

  // The stored name with its separators turned into the host's (stored descriptions may carry
  // either "\" or "/").
  std::string Filename() const;
  const std::string& URL() const { return FURL; }
  // A non-empty file name clears URL; a non-empty URL (trimmed) clears Filename.
  void SetFilename(std::string_view AValue);
  void SetURL(std::string_view AValue);
  bool Empty() const { return FFilename.empty() && FURL.empty(); }
  void Assign(const TKXFileReference& ASource);

  // The address of the page: URL without a file name; otherwise AURLBase (the files URL) followed
  // by the file's path inside AFilesDir, or by its bare name when it lies elsewhere.
  std::string Location(std::string_view AURLBase, std::string_view AFilesDir) const;
  // The disk path of the file: AFilesDir + the part after "files/" (empty when that part names a
  // sub-folder and AAllowSubFolders is false), or AFilesDir + the bare name. Empty without a name.
  std::string QualifiedPath(std::string_view AFilesDir, bool AAllowSubFolders) const;

protected:
  void DoChange();

private:
  std::string FFilename;
  std::string FURL;
};
