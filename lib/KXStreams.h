#pragma once
// Byte streams for rendered markup: TKXRenderStream keeps a page in memory or, for large pages,
// in a temporary file (TTempFileStream) and converts text to and from the page encoding.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

enum TKXSeekOrigin { soBeginning, soCurrent, soEnd };

// Where render streams keep their bytes (the controller's choice, memory unless changed).
enum TKXRendering { rnInMemory, rnInFile };

// Process-wide render settings. The server controller sets them once while it is created; they
// are read by every request thread afterwards and never change while requests run.
TKXRendering KXRenderStorage();
void KXSetRenderStorage(TKXRendering AStorage);
// The page encoding comes from the controller's CharSet: empty or exactly "UTF-8" (case matters)
// means UTF-8; anything else means the platform's 8-bit code page.
void KXSetRenderCharSet(std::string_view ACharSet);
bool KXRenderIsUTF8();
// The folder under which temporary render files go, in a "temp" subfolder; the controller points
// it at its cache folder. An empty hook (the default) means the system's temporary folder.
using TKXTempFolderFunc = std::function<std::string()>;
void KXSetTempFolderFunc(TKXTempFolderFunc AFunc);
std::string KXTempFolder();

class TKXStream {
public:
  TKXStream() = default;
  TKXStream(const TKXStream&) = delete;
  TKXStream& operator=(const TKXStream&) = delete;
  virtual ~TKXStream() = default;

  virtual int64_t Read(void* ABuffer, int64_t ACount) = 0;
  virtual int64_t Write(const void* ABuffer, int64_t ACount) = 0;
  virtual int64_t Seek(int64_t AOffset, TKXSeekOrigin AOrigin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t ASize) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t APosition) { Seek(APosition, soBeginning); }
};

class TKXMemoryStream final : public TKXStream {
public:
  int64_t Read(void* ABuffer, int64_t ACount) override;
  int64_t Write(const void* ABuffer, int64_t ACount) override;
  int64_t Seek(int64_t AOffset, TKXSeekOrigin AOrigin) override;
  int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t ASize) override;

  void Append(std::string_view ABytes);   // writes at the position; the usual case is the end
  const std::string& Data() const { return FData; }
  std::string TakeData();                 // hands the bytes over and leaves the stream empty

private:
  std::string FData;
  size_t FPosition = 0;
};

// A temporary file in <temp folder>/temp with a unique name starting "SWK", created exclusively.
// Freeing the stream closes the file and deletes it.
class TTempFileStream final : public TKXStream {
public:
  TTempFileStream();
  ~TTempFileStream() override;

  int64_t Read(void* ABuffer, int64_t ACount) override;
  int64_t Write(const void* ABuffer, int64_t ACount) override;
  int64_t Seek(int64_t AOffset, TKXSeekOrigin AOrigin) override;
  int64_t Size() const override;
  void SetSize(int64_t ASize) override;
  const std::string& FileName() const { return FFilename; }

private:
  std::string FFilename;
  int FHandle = -1;
};

class TKXRenderStream final : public TKXStream {
public:
  TKXRenderStream();                               // storage from KXRenderStorage()
  explicit TKXRenderStream(TKXRendering AStorage);
  ~TKXRenderStream() override;

  int64_t Read(void* ABuffer, int64_t ACount) override;
  int64_t Write(const void* ABuffer, int64_t ACount) override;
  int64_t Seek(int64_t AOffset, TKXSeekOrigin AOrigin) override;
  int64_t Size() const override;
  void SetSize(int64_t ASize) override;

  // Appends the text in the page encoding; nothing for an empty string.
  void WriteString(std::string_view AString);
  // Appends every byte of the other stream, read from its start; its position is kept.
  void WriteRenderStream(TKXRenderStream& ARenderStream);
  // The whole content decoded from the page encoding; the stream is empty afterwards.
  std::string Extract();

  TKXStream& StorageStream() { return *FStorageStream; }

private:
  void WriteBytes(std::string_view ABytes);

  std::unique_ptr<TKXStream> FStorageStream;
  TKXMemoryStream* FMemory = nullptr;   // FStorageStream when it is in memory: the fast path
};
