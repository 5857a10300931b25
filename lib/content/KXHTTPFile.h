#pragma once
// Uploaded files of a request. Each record's content lives in a temporary file that several
// records may share (the request's record and a file control's copy); the process-wide table
// counts the holders and deletes the file when the last one lets go.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "SkWebRequest.h"

class TSkFileStream;
class TSkStream;

// The folder new upload files go to; the server controller points it at its cache folder
// during start-up. Unset (or set to an empty function) it is the system's temporary folder.
using TKXUploadFolderFunc = std::function<std::string()>;
void KXSetUploadFolderFunc(TKXUploadFolderFunc AFunc);
std::string KXUploadFolder();

// Temporary file name -> number of holders.
class TKXTempFileTable {
public:
  // Adds the name with one holder, or one more holder.
  void Take(const std::string& AName);
  // Removes a holder; the last one deletes the file. Unknown names raise "Incorrect unlock".
  void Release(const std::string& AName);
  int Holders(const std::string& AName) const;
  int Count() const;
  // Process clean-up: deletes every file still held; later releases of those names are ignored.
  void DeleteAll();

private:
  mutable std::mutex FLock;   // guards FHolders and FClosed; held for the table update and the unlink only
  std::map<std::string, int> FHolders;
  bool FClosed = false;
};

// The one table; its files are deleted at process exit.
TKXTempFileTable& KXTempFiles();

class THTTPFile : public TAbstractWebRequestFile {
public:
  // A new, empty temporary file in the upload folder, taken in the table. Failure raises
  // "An error occurred while writing to the Cache Directory, please make sure the permissions
  // are set correctly.".
  THTTPFile();
  // The same, then the file is opened (truncated) for writing the part's data.
  THTTPFile(std::string AFieldName, int64_t AFileSize, std::string AContentType, std::string AFileName);
  // Shares ASource's temporary file (one more holder); no stream open.
  THTTPFile(const THTTPFile& ASource);
  THTTPFile& operator=(const THTTPFile&) = delete;
  ~THTTPFile() override;

  std::string FieldName() const override { return FFieldName; }
  std::string FileName() const override { return FFileName; }
  std::string ContentType() const override { return FContentType; }
  // Opens the temporary file for reading when no stream is open.
  TSkStream* Stream() override;
  int64_t FileSize() const { return FFileSize; }   // the quoted filesize the browser sent, else -1
  const std::string& TmpStreamName() const { return FTmpStreamName; }
  // The content's size; raises ERangeError above 32 bits.
  int Size();

  // Writes the content safely (TKXFileSaver): refusals and failures raise EKXException and
  // leave an existing file as it was.
  void SaveToFile(const std::string& AFileName);
  // Copies the whole content to AStream's position.
  void SaveToStream(TSkStream& AStream);

  // While the part is read: appends to the open stream. Then the stream is closed.
  void WriteData(std::string_view AData);
  void CloseStream();

private:
  std::string FFieldName;
  std::string FContentType;
  std::string FFileName;
  std::string FTmpStreamName;
  int64_t FFileSize = -1;
  std::unique_ptr<TSkFileStream> FStream;
};

class THTTPFiles : public TAbstractWebRequestFiles {
public:
  int Count() const override { return static_cast<int>(FItems.size()); }
  THTTPFile& Item(int AIndex) override;
  THTTPFile& Add(std::unique_ptr<THTTPFile> AFile);
  void Clear() { FItems.clear(); }
  // The first record whose FieldName equals AFieldName without regard to case, else none.
  THTTPFile* FindFile(std::string_view AFieldName) const;

private:
  std::vector<std::unique_ptr<THTTPFile>> FItems;
};
