#include "SkStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "SkException.h"

namespace {

const char kReadError[] = "Stream read error";
const char kWriteError[] = "Stream write error";
const char kSeekError[] = "Stream seek error";

int64_t NewPosition(int64_t ACurrent, int64_t ASize, int64_t AOffset, TSkSeekOrigin AOrigin) {
  switch (AOrigin) {
    case TSkSeekOrigin::soBeginning: return AOffset;
    case TSkSeekOrigin::soCurrent: return ACurrent + AOffset;
    case TSkSeekOrigin::soEnd: return ASize + AOffset;
  }
  return ACurrent;
}

}  // namespace

int64_t TSkStream::Size() {
  const int64_t Here = Position();
  const int64_t End = Seek(0, TSkSeekOrigin::soEnd);
  SetPosition(Here);
  return End;
}

void TSkStream::ReadBuffer(void* ABuffer, size_t ACount) {
  if (Read(ABuffer, ACount) != ACount) throw ESkException(kReadError);
}

std::string TSkStream::ReadString(size_t ACount) {
  std::string R(ACount, '\0');
  R.resize(Read(R.data(), ACount));
  return R;
}

std::string TSkStream::ReadAll() {
  SetPosition(0);
  std::string R;
  char Buf[65536];
  for (size_t N; (N = Read(Buf, sizeof Buf)) > 0;) R.append(Buf, N);
  return R;
}

int64_t TSkStream::CopyFrom(TSkStream& ASource, int64_t ACount) {
  if (ACount == 0) {
    ASource.SetPosition(0);
    ACount = ASource.Size();
  }
  char Buf[65536];
  int64_t Left = ACount;
  while (Left > 0) {
    const size_t Want = static_cast<size_t>(std::min<int64_t>(Left, sizeof Buf));
    ASource.ReadBuffer(Buf, Want);
    WriteBuffer(Buf, Want);
    Left -= static_cast<int64_t>(Want);
  }
  return ACount;
}

size_t TSkMemoryStream::Read(void* ABuffer, size_t ACount) {
  const int64_t Size = static_cast<int64_t>(FData.size());
  if (FPosition >= Size) return 0;
  const size_t N = static_cast<size_t>(std::min<int64_t>(Size - FPosition, static_cast<int64_t>(ACount)));
  std::memcpy(ABuffer, FData.data() + FPosition, N);
  FPosition += static_cast<int64_t>(N);
  return N;
}

size_t TSkMemoryStream::Write(const void* ABuffer, size_t ACount) {
  if (ACount == 0) return 0;
  const size_t Pos = static_cast<size_t>(FPosition);
  if (Pos == FData.size()) {
    FData.append(static_cast<const char*>(ABuffer), ACount);   // the usual case: writing at the end
  } else {
    if (FData.size() < Pos + ACount) FData.resize(Pos + ACount);
    std::memcpy(FData.data() + Pos, ABuffer, ACount);
  }
  FPosition += static_cast<int64_t>(ACount);
  return ACount;
}

int64_t TSkMemoryStream::Seek(int64_t AOffset, TSkSeekOrigin AOrigin) {
  const int64_t P = NewPosition(FPosition, static_cast<int64_t>(FData.size()), AOffset, AOrigin);
  if (P < 0) throw ESkException(kSeekError);
  FPosition = P;
  return P;
}

std::string TSkMemoryStream::TakeData() {
  std::string R;
  R.swap(FData);
  FPosition = 0;
  return R;
}

void TSkMemoryStream::SetSize(int64_t ASize) {
  if (ASize < 0) throw ESkException(kWriteError);
  FData.resize(static_cast<size_t>(ASize));
  FPosition = std::min(FPosition, ASize);
}

TSkFileStream::TSkFileStream(const std::string& AFileName, TSkFileMode AMode) : FFileName(AFileName) {
  int Flags = O_CLOEXEC;
  switch (AMode) {
    case TSkFileMode::fmCreate: Flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TSkFileMode::fmOpenRead: Flags |= O_RDONLY; break;
    case TSkFileMode::fmOpenWrite: Flags |= O_WRONLY; break;
    case TSkFileMode::fmOpenReadWrite: Flags |= O_RDWR; break;
  }
  FHandle = ::open(AFileName.c_str(), Flags, 0644);
  if (FHandle < 0) {
    const char* Verb = AMode == TSkFileMode::fmCreate ? "Cannot create file \"" : "Cannot open file \"";
    throw ESkException(Verb + AFileName + "\". " + std::strerror(errno));
  }
}

TSkFileStream::~TSkFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

size_t TSkFileStream::Read(void* ABuffer, size_t ACount) {
  size_t Done = 0;
  while (Done < ACount) {
    const ssize_t N = ::read(FHandle, static_cast<char*>(ABuffer) + Done, ACount - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) throw ESkException(kReadError);
    if (N == 0) break;
    Done += static_cast<size_t>(N);
  }
  return Done;
}

size_t TSkFileStream::Write(const void* ABuffer, size_t ACount) {
  size_t Done = 0;
  while (Done < ACount) {
    const ssize_t N = ::write(FHandle, static_cast<const char*>(ABuffer) + Done, ACount - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) throw ESkException(kWriteError);
    Done += static_cast<size_t>(N);
  }
  return Done;
}

int64_t TSkFileStream::Seek(int64_t AOffset, TSkSeekOrigin AOrigin) {
  const int Whence = AOrigin == TSkSeekOrigin::soBeginning ? SEEK_SET
                     : AOrigin == TSkSeekOrigin::soCurrent ? SEEK_CUR
                                                            : SEEK_END;
  const off_t P = ::lseek(FHandle, static_cast<off_t>(AOffset), Whence);
  if (P < 0) throw ESkException(kSeekError);
  return static_cast<int64_t>(P);
}

int64_t TSkFileStream::Size() {
  struct stat St {};
  if (::fstat(FHandle, &St) != 0) throw ESkException(kReadError);
  return static_cast<int64_t>(St.st_size);
}

void TSkFileStream::SetSize(int64_t ASize) {
  if (::ftruncate(FHandle, static_cast<off_t>(ASize)) != 0) throw ESkException(kWriteError);
}
