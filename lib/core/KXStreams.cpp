#include "core/KXStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "core/KXException.h"
#include "SkStrUtils.h"

namespace {

constexpr char kTempSubfolder[] = "temp";
constexpr char kTempPrefix[] = "SWK";
constexpr size_t kCopyChunk = 64 * 1024;

std::atomic<TKXRendering> GRenderStorage{rnInMemory};
std::atomic<bool> GRenderIsUTF8{true};

std::mutex GTempFolderLock;   // guards GTempFolderFunc; held only to copy or replace the hook
TKXTempFolderFunc GTempFolderFunc;

std::string SystemErrorText(int AErrno) { return std::generic_category().message(AErrno); }

[[noreturn]] void RaiseFileError(const char* AWhat, const std::string& AName, int AErrno) {
  throw EKXException(std::string(AWhat) + " \"" + AName + "\". " + SystemErrorText(AErrno));
}

}  // namespace

TKXRendering KXRenderStorage() { return GRenderStorage.load(std::memory_order_relaxed); }
void KXSetRenderStorage(TKXRendering AStorage) { GRenderStorage.store(AStorage, std::memory_order_relaxed); }

void KXSetRenderCharSet(std::string_view ACharSet) {
  GRenderIsUTF8.store(ACharSet.empty() || ACharSet == "UTF-8", std::memory_order_relaxed);
}
bool KXRenderIsUTF8() { return GRenderIsUTF8.load(std::memory_order_relaxed); }

void KXSetTempFolderFunc(TKXTempFolderFunc AFunc) {
  std::lock_guard<std::mutex> Guard(GTempFolderLock);
  GTempFolderFunc = std::move(AFunc);
}

std::string KXTempFolder() {
  TKXTempFolderFunc Func;
  {
    std::lock_guard<std::mutex> Guard(GTempFolderLock);
    Func = GTempFolderFunc;
  }
  if (Func) return Func();
  std::error_code Ec;
  const std::filesystem::path P = std::filesystem::temp_directory_path(Ec);
  return Ec ? std::string("/tmp") : P.string();
}

// ---------------------------------------------------------------------------------------------
// TTempFileStream

namespace {

// mkstemp picks a unique name and creates the file with O_EXCL, so two streams never share one.
std::string CreateTempFile() {
  std::string Dir = KXTempFolder();
  if (Dir.empty() || Dir.back() != '/') Dir += '/';
  Dir += kTempSubfolder;
  std::error_code Ec;
  std::filesystem::create_directories(Dir, Ec);
  if (Ec) RaiseFileError("Cannot create directory", Dir, Ec.value());
  std::string Template = Dir + "/" + kTempPrefix + "XXXXXX";
  const int Handle = mkostemp(Template.data(), O_CLOEXEC);
  if (Handle < 0) RaiseFileError("Cannot create file", Template, errno);
  ::close(Handle);
  return Template;
}

}  // namespace

TTempFileStream::TTempFileStream() : TSkFileStream(CreateTempFile(), TSkFileMode::fmOpenReadWrite) {}

TTempFileStream::~TTempFileStream() { ::unlink(FileName().c_str()); }

// ---------------------------------------------------------------------------------------------
// TKXRenderStream

TKXRenderStream::TKXRenderStream() : TKXRenderStream(KXRenderStorage()) {}

TKXRenderStream::TKXRenderStream(TKXRendering AStorage) {
  if (AStorage == rnInFile) {
    FStorageStream = std::make_unique<TTempFileStream>();
  } else {
    auto M = std::make_unique<TSkMemoryStream>();
    FMemory = M.get();
    FStorageStream = std::move(M);
  }
}

TKXRenderStream::~TKXRenderStream() = default;

size_t TKXRenderStream::Read(void* ABuffer, size_t ACount) { return FStorageStream->Read(ABuffer, ACount); }
size_t TKXRenderStream::Write(const void* ABuffer, size_t ACount) { return FStorageStream->Write(ABuffer, ACount); }
int64_t TKXRenderStream::Seek(int64_t AOffset, TSkSeekOrigin AOrigin) { return FStorageStream->Seek(AOffset, AOrigin); }
int64_t TKXRenderStream::Size() { return FStorageStream->Size(); }
void TKXRenderStream::SetSize(int64_t ASize) { FStorageStream->SetSize(ASize); }

void TKXRenderStream::WriteBytes(std::string_view ABytes) {
  FStorageStream->Write(ABytes.data(), ABytes.size());
}

void TKXRenderStream::WriteString(std::string_view AString) {
  if (AString.empty()) return;
  if (KXRenderIsUTF8()) WriteBytes(AString);
  else WriteBytes(Utf8ToLatin1(AString));
}

void TKXRenderStream::WriteRenderStream(TKXRenderStream& ARenderStream) {
  if (&ARenderStream == this) {
    // Copying a stream onto its own end: take a snapshot first so the copy does not chase itself.
    TKXRenderStream Copy(rnInMemory);
    Copy.WriteRenderStream(*this);
    WriteRenderStream(Copy);
    return;
  }
  if (ARenderStream.FMemory) {
    WriteBytes(ARenderStream.FMemory->DataString());
    return;
  }
  TSkStream& Source = *ARenderStream.FStorageStream;
  const int64_t Saved = Source.Position();
  Source.SetPosition(0);
  std::string Chunk(kCopyChunk, '\0');
  for (;;) {
    const size_t N = Source.Read(Chunk.data(), Chunk.size());
    if (N == 0) break;
    WriteBytes(std::string_view(Chunk.data(), static_cast<size_t>(N)));
  }
  Source.SetPosition(Saved);
}

void TKXRenderStream::Reserve(size_t AMore) {
  if (FMemory) FMemory->Reserve(static_cast<size_t>(FMemory->Size()) + AMore);
}

void TKXRenderStream::AdoptRenderStream(TKXRenderStream& ARenderStream) {
  if (&ARenderStream == this) return;
  if (FMemory && ARenderStream.FMemory && FMemory->Size() == 0) {
    FMemory->SetDataString(ARenderStream.FMemory->TakeData());
    FMemory->Seek(0, TSkSeekOrigin::soEnd);
    return;
  }
  WriteRenderStream(ARenderStream);
  ARenderStream.SetSize(0);
  ARenderStream.Seek(0, TSkSeekOrigin::soBeginning);
}

std::string TKXRenderStream::Extract() {
  std::string Bytes;
  if (FMemory) {
    Bytes = FMemory->TakeData();
  } else {
    const int64_t N = FStorageStream->Size();
    Bytes.resize(static_cast<size_t>(N));
    FStorageStream->SetPosition(0);
    Bytes.resize(FStorageStream->Read(Bytes.data(), static_cast<size_t>(N)));
    FStorageStream->SetSize(0);
    FStorageStream->SetPosition(0);
  }
  return KXRenderIsUTF8() ? Bytes : Latin1ToUtf8(Bytes);
}
