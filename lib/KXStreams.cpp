#include "KXStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "KXException.h"
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
// TKXMemoryStream

int64_t TKXMemoryStream::Read(void* ABuffer, int64_t ACount) {
  if (ACount <= 0 || FPosition >= FData.size()) return 0;
  const size_t N = std::min(static_cast<size_t>(ACount), FData.size() - FPosition);
  std::memcpy(ABuffer, FData.data() + FPosition, N);
  FPosition += N;
  return static_cast<int64_t>(N);
}

int64_t TKXMemoryStream::Write(const void* ABuffer, int64_t ACount) {
  if (ACount <= 0) return 0;
  Append(std::string_view(static_cast<const char*>(ABuffer), static_cast<size_t>(ACount)));
  return ACount;
}

void TKXMemoryStream::Append(std::string_view ABytes) {
  if (FPosition == FData.size()) {
    FData.append(ABytes);
  } else {
    // Past the end (after a seek) the gap reads as zero bytes, as with a file.
    if (FPosition > FData.size()) FData.resize(FPosition, '\0');
    const size_t Overlap = std::min(ABytes.size(), FData.size() - FPosition);
    FData.replace(FPosition, Overlap, ABytes.data(), Overlap);
    FData.append(ABytes.substr(Overlap));
  }
  FPosition += ABytes.size();
}

int64_t TKXMemoryStream::Seek(int64_t AOffset, TKXSeekOrigin AOrigin) {
  int64_t Base = 0;
  if (AOrigin == soCurrent) Base = static_cast<int64_t>(FPosition);
  else if (AOrigin == soEnd) Base = static_cast<int64_t>(FData.size());
  const int64_t P = Base + AOffset;
  FPosition = P < 0 ? 0 : static_cast<size_t>(P);
  return static_cast<int64_t>(FPosition);
}

void TKXMemoryStream::SetSize(int64_t ASize) {
  FData.resize(ASize < 0 ? 0 : static_cast<size_t>(ASize));
  if (FPosition > FData.size()) FPosition = FData.size();
}

std::string TKXMemoryStream::TakeData() {
  std::string R;
  R.swap(FData);
  FPosition = 0;
  return R;
}

// ---------------------------------------------------------------------------------------------
// TTempFileStream

TTempFileStream::TTempFileStream() {
  std::string Dir = KXTempFolder();
  if (Dir.empty() || Dir.back() != '/') Dir += '/';
  Dir += kTempSubfolder;
  std::error_code Ec;
  std::filesystem::create_directories(Dir, Ec);
  if (Ec) RaiseFileError("Cannot create directory", Dir, Ec.value());
  std::string Template = Dir + "/" + kTempPrefix + "XXXXXX";
  // mkstemp picks a unique name and creates the file with O_EXCL, so two streams never share one.
  FHandle = mkostemp(Template.data(), O_CLOEXEC);
  if (FHandle < 0) RaiseFileError("Cannot create file", Template, errno);
  FFilename = Template;
}

TTempFileStream::~TTempFileStream() {
  if (FHandle >= 0) ::close(FHandle);
  if (!FFilename.empty()) ::unlink(FFilename.c_str());
}

int64_t TTempFileStream::Read(void* ABuffer, int64_t ACount) {
  int64_t Done = 0;
  while (Done < ACount) {
    const ssize_t N = ::read(FHandle, static_cast<char*>(ABuffer) + Done, static_cast<size_t>(ACount - Done));
    if (N < 0) {
      if (errno == EINTR) continue;
      RaiseFileError("Cannot read file", FFilename, errno);
    }
    if (N == 0) break;
    Done += N;
  }
  return Done;
}

int64_t TTempFileStream::Write(const void* ABuffer, int64_t ACount) {
  int64_t Done = 0;
  while (Done < ACount) {
    const ssize_t N = ::write(FHandle, static_cast<const char*>(ABuffer) + Done, static_cast<size_t>(ACount - Done));
    if (N < 0) {
      if (errno == EINTR) continue;
      RaiseFileError("Cannot write file", FFilename, errno);
    }
    Done += N;
  }
  return Done;
}

int64_t TTempFileStream::Seek(int64_t AOffset, TKXSeekOrigin AOrigin) {
  const int Whence = AOrigin == soBeginning ? SEEK_SET : AOrigin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t P = ::lseek(FHandle, static_cast<off_t>(AOffset), Whence);
  if (P < 0) RaiseFileError("Cannot seek in file", FFilename, errno);
  return static_cast<int64_t>(P);
}

int64_t TTempFileStream::Size() const {
  struct stat St;
  if (::fstat(FHandle, &St) != 0) RaiseFileError("Cannot read file", FFilename, errno);
  return static_cast<int64_t>(St.st_size);
}

void TTempFileStream::SetSize(int64_t ASize) {
  if (ASize < 0) ASize = 0;
  if (::ftruncate(FHandle, static_cast<off_t>(ASize)) != 0) RaiseFileError("Cannot write file", FFilename, errno);
  const off_t P = ::lseek(FHandle, 0, SEEK_CUR);
  if (P > ASize) ::lseek(FHandle, static_cast<off_t>(ASize), SEEK_SET);
}

// ---------------------------------------------------------------------------------------------
// TKXRenderStream

TKXRenderStream::TKXRenderStream() : TKXRenderStream(KXRenderStorage()) {}

TKXRenderStream::TKXRenderStream(TKXRendering AStorage) {
  if (AStorage == rnInFile) {
    FStorageStream = std::make_unique<TTempFileStream>();
  } else {
    auto M = std::make_unique<TKXMemoryStream>();
    FMemory = M.get();
    FStorageStream = std::move(M);
  }
}

TKXRenderStream::~TKXRenderStream() = default;

int64_t TKXRenderStream::Read(void* ABuffer, int64_t ACount) { return FStorageStream->Read(ABuffer, ACount); }
int64_t TKXRenderStream::Write(const void* ABuffer, int64_t ACount) { return FStorageStream->Write(ABuffer, ACount); }
int64_t TKXRenderStream::Seek(int64_t AOffset, TKXSeekOrigin AOrigin) { return FStorageStream->Seek(AOffset, AOrigin); }
int64_t TKXRenderStream::Size() const { return FStorageStream->Size(); }
void TKXRenderStream::SetSize(int64_t ASize) { FStorageStream->SetSize(ASize); }

void TKXRenderStream::WriteBytes(std::string_view ABytes) {
  if (FMemory) FMemory->Append(ABytes);
  else FStorageStream->Write(ABytes.data(), static_cast<int64_t>(ABytes.size()));
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
    WriteBytes(ARenderStream.FMemory->Data());
    return;
  }
  TKXStream& Source = *ARenderStream.FStorageStream;
  const int64_t Saved = Source.Position();
  Source.SetPosition(0);
  std::string Chunk(kCopyChunk, '\0');
  for (;;) {
    const int64_t N = Source.Read(Chunk.data(), static_cast<int64_t>(Chunk.size()));
    if (N <= 0) break;
    WriteBytes(std::string_view(Chunk.data(), static_cast<size_t>(N)));
  }
  Source.SetPosition(Saved);
}

std::string TKXRenderStream::Extract() {
  std::string Bytes;
  if (FMemory) {
    Bytes = FMemory->TakeData();
  } else {
    const int64_t N = FStorageStream->Size();
    Bytes.resize(static_cast<size_t>(N));
    FStorageStream->SetPosition(0);
    Bytes.resize(static_cast<size_t>(FStorageStream->Read(Bytes.data(), N)));
    FStorageStream->SetSize(0);
    FStorageStream->SetPosition(0);
  }
  return KXRenderIsUTF8() ? Bytes : Latin1ToUtf8(Bytes);
}
