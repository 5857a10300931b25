#include "core/KXFileReference.h"

#include "SkStrUtils.h"

namespace {

constexpr char kHostSeparator = '/';

std::string ToHostSeparators(std::string_view APath) { return ReplaceAll(APath, "\\", "/"); }

std::string BareFileName(std::string_view APath) {
  const size_t Sep = APath.find_last_of("/\\");
  return std::string(Sep == std::string_view::npos ? APath : APath.substr(Sep + 1));
}

}  // namespace

std::string TKXFileReference::Filename() const { return ToHostSeparators(FFilename); }

void TKXFileReference::SetFilename(std::string_view AValue) {
  FFilename = AValue;
  if (!FFilename.empty()) FURL.clear();
  DoChange();
}

void TKXFileReference::SetURL(std::string_view AValue) {
  FURL = Trim(AValue);
  if (!FURL.empty()) FFilename.clear();
  DoChange();
}

void TKXFileReference::Assign(const TKXFileReference& ASource) {
  FFilename = ASource.FFilename;
  FURL = ASource.FURL;
  DoChange();
}

void TKXFileReference::DoChange() {
  if (OnChange) OnChange(this);
}

std::string TKXFileReference::Location(std::string_view AURLBase, std::string_view AFilesDir) const {
  if (FFilename.empty()) return FURL;
  const std::string Name = Filename();
  const std::string Dir = ToHostSeparators(AFilesDir);
  const size_t P = Dir.empty() ? std::string::npos : PosText(Dir, Name);
  if (P == std::string::npos) return std::string(AURLBase) + BareFileName(Name);
  return std::string(AURLBase) + Name.substr(P + Dir.size());
}

std::string TKXFileReference::QualifiedPath(std::string_view AFilesDir, bool AAllowSubFolders) const {
  if (FFilename.empty()) return {};
  const std::string Name = Filename();
  static const std::string kFilesFolder = std::string("files") + kHostSeparator;
  const size_t P = PosText(kFilesFolder, Name);
  if (P == std::string::npos) return std::string(AFilesDir) + BareFileName(Name);
  const std::string Rest = Name.substr(P + kFilesFolder.size());
  if (Rest.find(kHostSeparator) != std::string::npos && !AAllowSubFolders) return {};
  return std::string(AFilesDir) + Rest;
}

const TKXClassInfo& TKXFileReference::StaticClassInfo() {
  using T = TKXFileReference;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXFileReference")
      .Props({KXStringProp("Filename", &T::Filename, &T::SetFilename), KXStringProp("URL", &T::URL, &T::SetURL)});
  return Info;
}
