#include "content/KXHTTPFile.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "content/KXFileSaver.h"
#include "core/KXException.h"
#include "SkStrUtils.h"
#include "SkStream.h"

namespace {

const char kCacheFolderError[] =
    "An error occurred while writing to the Cache Directory, please make sure the permissions are set correctly.";
const char kIncorrectUnlock[] = "Incorrect unlock";

// Set during start-up only, like the content-parser registry; read by request threads.
TKXUploadFolderFunc& UploadFolderFunc() {
  static TKXUploadFolderFunc Func;
  return Func;
}

// "MIM" + unique part + ".tmp": the dispatcher takes a cache file's first three letters as its type.
std::string NewUploadFileName() {
  std::string Folder;
  try {
    Folder = KXUploadFolder();
  } catch (const std::exception&) {
    throw EKXException(kCacheFolderError);
  }
  std::string Template = (std::filesystem::path(Folder) / "MIMXXXXXX.tmp").string();
  const int Fd = ::mkstemps(Template.data(), 4);
  if (Fd < 0) throw EKXException(kCacheFolderError);
  ::close(Fd);
  return Template;
}

void DeleteAllAtExit() { KXTempFiles().DeleteAll(); }

}  // namespace

void KXSetUploadFolderFunc(TKXUploadFolderFunc AFunc) { UploadFolderFunc() = std::move(AFunc); }

std::string KXUploadFolder() {
  const auto& F = UploadFolderFunc();
  return F ? F() : std::filesystem::temp_directory_path().string();
}

TKXTempFileTable& KXTempFiles() {
  // Never destroyed: records held by other static objects may release after exit handlers ran.
  static TKXTempFileTable* Table = [] {
    auto* T = new TKXTempFileTable;
    std::atexit(DeleteAllAtExit);
    return T;
  }();
  return *Table;
}

void TKXTempFileTable::Take(const std::string& AName) {
  std::lock_guard Guard(FLock);
  ++FHolders[AName];
}

void TKXTempFileTable::Release(const std::string& AName) {
  std::lock_guard Guard(FLock);
  const auto It = FHolders.find(AName);
  if (It == FHolders.end()) {
    if (FClosed) return;
    throw EKXException(kIncorrectUnlock);
  }
  if (--It->second > 0) return;
  FHolders.erase(It);
  std::remove(AName.c_str());
}

int TKXTempFileTable::Holders(const std::string& AName) const {
  std::lock_guard Guard(FLock);
  const auto It = FHolders.find(AName);
  return It == FHolders.end() ? 0 : It->second;
}

int TKXTempFileTable::Count() const {
  std::lock_guard Guard(FLock);
  return static_cast<int>(FHolders.size());
}

void TKXTempFileTable::DeleteAll() {
  std::lock_guard Guard(FLock);
  for (const auto& [Name, Holders] : FHolders) std::remove(Name.c_str());
  FHolders.clear();
  FClosed = true;
}

THTTPFile::THTTPFile() : FTmpStreamName(NewUploadFileName()) { KXTempFiles().Take(FTmpStreamName); }

THTTPFile::THTTPFile(std::string AFieldName, int64_t AFileSize, std::string AContentType, std::string AFileName)
    : THTTPFile() {   // delegated: from here on the destructor releases the name if we throw
  FFieldName = std::move(AFieldName);
  FFileSize = AFileSize;
  FContentType = std::move(AContentType);
  FFileName = std::move(AFileName);
  try {
    FStream = std::make_unique<TSkFileStream>(FTmpStreamName, TSkFileMode::fmCreate);
  } catch (const ESkException&) {
    throw EKXException(kCacheFolderError);
  }
}

THTTPFile::THTTPFile(const THTTPFile& ASource)
    : TAbstractWebRequestFile(),
      FFieldName(ASource.FFieldName),
      FContentType(ASource.FContentType),
      FFileName(ASource.FFileName),
      FTmpStreamName(ASource.FTmpStreamName),
      FFileSize(ASource.FFileSize) {
  KXTempFiles().Take(FTmpStreamName);
}

THTTPFile::~THTTPFile() {
  FStream.reset();
  try {
    KXTempFiles().Release(FTmpStreamName);
  } catch (const std::exception&) {
    // A destructor cannot report it; the table stays consistent either way.
  }
}

TSkStream* THTTPFile::Stream() {
  if (!FStream) FStream = std::make_unique<TSkFileStream>(FTmpStreamName, TSkFileMode::fmOpenRead);
  return FStream.get();
}

int THTTPFile::Size() {
  const int64_t S = Stream()->Size();
  if (S > INT32_MAX) throw ERangeError();
  return static_cast<int>(S);
}

void THTTPFile::SaveToFile(const std::string& AFileName) { TKXFileSaver::Save(*Stream(), AFileName); }

void THTTPFile::SaveToStream(TSkStream& AStream) { AStream.CopyFrom(*Stream(), 0); }

void THTTPFile::WriteData(std::string_view AData) {
  if (!FStream) {
    FStream = std::make_unique<TSkFileStream>(FTmpStreamName, TSkFileMode::fmOpenReadWrite);
    FStream->Seek(0, TSkSeekOrigin::soEnd);
  }
  FStream->WriteString(AData);
}

void THTTPFile::CloseStream() { FStream.reset(); }

THTTPFile& THTTPFiles::Item(int AIndex) {
  if (AIndex < 0 || AIndex >= Count())
    throw EKXException("List index out of bounds (" + std::to_string(AIndex) + ")");
  return *FItems[static_cast<size_t>(AIndex)];
}

THTTPFile& THTTPFiles::Add(std::unique_ptr<THTTPFile> AFile) {
  FItems.push_back(std::move(AFile));
  return *FItems.back();
}

THTTPFile* THTTPFiles::FindFile(std::string_view AFieldName) const {
  for (const auto& F : FItems)
    if (SameText(F->FieldName(), AFieldName)) return F.get();
  return nullptr;
}
