#pragma once
// Byte streams for rendered markup: TKXRenderStream keeps a page in memory or, for large pages,
// in a temporary file (TTempFileStream) and converts text to and from the page encoding.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "SkStream.h"

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

// A temporary file in <temp folder>/temp with a unique name starting "SWK", created exclusively.
// Freeing the stream closes the file and deletes it.
class TTempFileStream final : public TSkFileStream {
public:
  TTempFileStream();
  ~TTempFileStream() override;
};

class TKXRenderStream final : public TSkStream {
public:
  TKXRenderStream();                               // storage from KXRenderStorage()
  explicit TKXRenderStream(TKXRendering AStorage);
  ~TKXRenderStream() override;

  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSkSeekOrigin AOrigin) override;
  int64_t Size() override;
  void SetSize(int64_t ASize) override;

  // Appends the text in the page encoding; nothing for an empty string.
  void WriteString(std::string_view AString);
  // Appends every byte of the other stream, read from its start; its position is kept.
  void WriteRenderStream(TKXRenderStream& ARenderStream);
  // Moves every byte of the other stream to the end of this one and leaves it empty. An empty
  // memory stream takes the other's memory over instead of copying it (rendered pieces of a
  // page are handed on this way); otherwise the bytes are copied.
  void AdoptRenderStream(TKXRenderStream& ARenderStream);
  // A hint that about AMore bytes are going to be written: memory storage makes room for them
  // at once instead of growing step by step. Nothing else changes.
  void Reserve(size_t AMore);
  // The whole content decoded from the page encoding; the stream is empty afterwards.
  std::string Extract();

  TSkStream& StorageStream() { return *FStorageStream; }

private:
  void WriteBytes(std::string_view ABytes);

  std::unique_ptr<TSkStream> FStorageStream;
  TSkMemoryStream* FMemory = nullptr;   // FStorageStream when it is in memory: the fast path
};
