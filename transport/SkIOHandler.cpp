#include "SkIOHandler.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <istream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "SkStringList.h"

namespace {

const char kClosedGracefully[] = "Connection Closed Gracefully.";
const char kReadTimedOut[] = "Read timed out.";
const char kMaxLineLength[] = "Max line length exceeded.";
const char kMaxCapturedLines[] = "Maximum number of line allowed exceeded";
const char kNoDataToRead[] = "No data to read.";
const char kNotConnected[] = "Not Connected";

// Compacting the buffer only past this offset keeps ConsumeInput cheap for small reads.
constexpr size_t kCompactThreshold = 65536;

}  // namespace

// ---- reading ----

bool TSkIOHandler::FillInputBufferWithin(int ATimeOutMs) {
  if (FClosedGracefully) throw ESkConnClosedGracefully(kClosedGracefully);
  if (!WaitForData(ATimeOutMs)) return false;
  std::string Block(static_cast<size_t>(FRecvBufferSize), '\0');
  const int N = ReadFromSource(Block.data(), Block.size());
  if (N == 0) {
    FClosedGracefully = true;
    if (InputBufferIsEmpty()) throw ESkConnClosedGracefully(kClosedGracefully);
    return true;
  }
  Block.resize(static_cast<size_t>(N));
  if (FIntercept) FIntercept->Receive(Block);
  if (FInputPos == FInputBuffer.size()) {
    FInputBuffer.clear();
    FInputPos = 0;
  } else if (FInputPos > kCompactThreshold) {
    FInputBuffer.erase(0, FInputPos);
    FInputPos = 0;
  }
  FInputBuffer += Block;
  return true;
}

void TSkIOHandler::FillInputBuffer() {
  FReadLnTimedOut = false;
  if (!FillInputBufferWithin(FReadTimeOut)) {
    FReadLnTimedOut = true;
    throw ESkReadTimedOut(kReadTimedOut);
  }
}

void TSkIOHandler::ConsumeInput(size_t ACount) {
  FInputPos += std::min(ACount, FInputBuffer.size() - FInputPos);
}

size_t TSkIOHandler::FindLineEnd(size_t AFrom) const { return FInputBuffer.find('\n', AFrom); }

std::string TSkIOHandler::ReadLn(TSkEncoding AEncoding) {
  size_t Searched = FInputPos;
  for (;;) {
    const size_t LF = FindLineEnd(Searched);
    const size_t Limit = static_cast<size_t>(FMaxLineLength);
    size_t LineLen = (LF == std::string::npos ? FInputBuffer.size() : LF) - FInputPos;
    if (LF != std::string::npos && LineLen > 0 && FInputBuffer[LF - 1] == '\r') --LineLen;
    if (LineLen > Limit) {
      if (FMaxLineAction == TSkMaxLineAction::maException) throw ESkMaxLineLengthExceeded(kMaxLineLength);
      std::string Line = FInputBuffer.substr(FInputPos, Limit);
      FInputPos += Limit;
      return EncodeText(Line, AEncoding);
    }
    if (LF != std::string::npos) {
      std::string Line = FInputBuffer.substr(FInputPos, LineLen);
      FInputPos = LF + 1;
      return EncodeText(Line, AEncoding);
    }
    Searched = FInputBuffer.size();
    const size_t Pos = FInputPos;
    FillInputBuffer();
    Searched -= Pos - FInputPos;   // the buffer may have been compacted
  }
}

void TSkIOHandler::Capture(TSkStringList& ALines, std::string_view ADelimiter, bool AUsesDotTransparency) {
  int Added = 0;
  for (;;) {
    std::string Line = ReadLn();
    if (Line == ADelimiter) return;
    if (FMaxCapturedLines > 0 && Added > FMaxCapturedLines) throw ESkMaxCapturedLinesExceeded(kMaxCapturedLines);
    if (AUsesDotTransparency && Line.size() >= 2 && Line[0] == '.' && Line[1] == '.') Line.erase(0, 1);
    ALines.Add(std::move(Line));
    ++Added;
  }
}

void TSkIOHandler::ReadStream(std::string& AStream, int64_t ACount, bool AReadUntilDisconnect) {
  if (!AReadUntilDisconnect) {
    if (ACount <= 0) return;
    const size_t Want = AStream.size() + static_cast<size_t>(ACount);
    AStream.reserve(Want);
    for (;;) {
      const size_t Take = std::min(Want - AStream.size(), FInputBuffer.size() - FInputPos);
      AStream.append(FInputBuffer, FInputPos, Take);
      FInputPos += Take;
      if (AStream.size() == Want) return;
      FillInputBuffer();
    }
  }
  AStream.append(InputBuffer());
  FInputPos = FInputBuffer.size();
  try {
    for (;;) {
      FillInputBuffer();
      AStream.append(InputBuffer());
      FInputPos = FInputBuffer.size();
    }
  } catch (const ESkConnClosedGracefully&) {
    // the peer's close ends the body
  }
}

void TSkIOHandler::DiscardInput(int ATimeOutMs) {
  FInputPos = FInputBuffer.size();
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeOutMs);
  try {
    for (;;) {
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
      if (Left.count() <= 0 || !FillInputBufferWithin(static_cast<int>(Left.count()))) return;
      FInputPos = FInputBuffer.size();
    }
  } catch (const std::exception&) {
    // closed or failed: nothing more to throw away
  }
}

// ---- writing ----

std::string TSkIOHandler::EncodeText(std::string_view AText, TSkEncoding AEncoding) const {
  if (AEncoding == TSkEncoding::enDefault) AEncoding = FDefStringEncoding;
  std::string R(AText);
  if (AEncoding == TSkEncoding::en7Bit)
    for (char& C : R)
      if (static_cast<unsigned char>(C) > 127) C = '?';
  return R;
}

void TSkIOHandler::WriteDirect(std::string ABytes) {
  if (FIntercept) FIntercept->Send(ABytes);
  if (!ABytes.empty()) WriteToSource(ABytes);
}

void TSkIOHandler::Write(std::string_view ABytes) {
  if (!FWriteBuffer) {
    WriteDirect(std::string(ABytes));
    return;
  }
  FWriteBuffer->append(ABytes);
  if (FWriteBufferThreshhold > 0) {
    const size_t T = static_cast<size_t>(FWriteBufferThreshhold);
    size_t Sent = 0;
    while (FWriteBuffer->size() - Sent >= T) {
      WriteDirect(FWriteBuffer->substr(Sent, T));
      Sent += T;
    }
    FWriteBuffer->erase(0, Sent);
  }
}

void TSkIOHandler::Write(std::string_view AText, TSkEncoding AEncoding) { Write(EncodeText(AText, AEncoding)); }

void TSkIOHandler::WriteLn(std::string_view AText) {
  std::string Line = EncodeText(AText, TSkEncoding::enDefault);
  Line += "\r\n";
  Write(Line);
}

void TSkIOHandler::Write(std::istream& AStream, int64_t ASize) {
  AStream.clear();
  if (ASize == 0) AStream.seekg(0, std::ios::beg);
  const auto Start = AStream.tellg();
  AStream.seekg(0, std::ios::end);
  const int64_t Rest = static_cast<int64_t>(AStream.tellg() - Start);
  AStream.seekg(Start);
  int64_t Left = ASize > 0 ? ASize : Rest;
  std::string Block;
  while (Left > 0) {
    Block.resize(static_cast<size_t>(std::min<int64_t>(Left, FSendBufferSize)));
    AStream.read(Block.data(), static_cast<std::streamsize>(Block.size()));
    const auto Got = AStream.gcount();
    if (Got <= 0) throw ESkNoDataToRead(kNoDataToRead);
    Block.resize(static_cast<size_t>(Got));
    Left -= Got;
    WriteDirect(Block);
  }
}

void TSkIOHandler::WriteBufferOpen(int AThreshold) {
  FWriteBuffer = std::make_unique<std::string>();
  FWriteBufferThreshhold = AThreshold;
}

void TSkIOHandler::WriteBufferClose() {
  if (!FWriteBuffer) return;
  std::unique_ptr<std::string> Pending = std::move(FWriteBuffer);
  if (!Pending->empty()) WriteDirect(std::move(*Pending));
}

void TSkIOHandler::WriteBufferCancel() { FWriteBuffer.reset(); }

// ---- the plain socket handler ----

TSkIOHandlerStack::~TSkIOHandlerStack() { FBinding.CloseSocket(); }

void TSkIOHandlerStack::SetUseNagle(bool AValue) {
  FUseNagle = AValue;
  const int NoDelay = AValue ? 0 : 1;
  if (FBinding.HandleAllocated()) ::setsockopt(FBinding.Handle(), IPPROTO_TCP, TCP_NODELAY, &NoDelay, sizeof NoDelay);
}

bool TSkIOHandlerStack::Connected() const { return FBinding.HandleAllocated(); }

void TSkIOHandlerStack::Close() { FBinding.CloseSocket(); }

void TSkIOHandlerStack::Abort() { FBinding.Shutdown(true); }

void TSkIOHandlerStack::RaiseSocketError(int AErrorCode) {
  FBinding.CloseSocket();
  throw ESkSocketError(AErrorCode);
}

int TSkIOHandlerStack::ReadFromSource(char* ABuffer, size_t ASize) {
  const int H = FBinding.Handle();
  if (H < 0) throw ESkNotConnected(kNotConnected);
  for (;;) {
    const ssize_t N = ::recv(H, ABuffer, ASize, 0);
    if (N >= 0) return static_cast<int>(N);
    if (errno != EINTR) RaiseSocketError(errno);
  }
}

void TSkIOHandlerStack::WriteToSource(std::string_view ABytes) {
  const int H = FBinding.Handle();
  if (H < 0) throw ESkNotConnected(kNotConnected);
  size_t Sent = 0;
  while (Sent < ABytes.size()) {
    const ssize_t N = ::send(H, ABytes.data() + Sent, ABytes.size() - Sent, MSG_NOSIGNAL);
    if (N < 0) {
      if (errno == EINTR) continue;
      RaiseSocketError(errno);
    }
    Sent += static_cast<size_t>(N);
  }
}

bool TSkIOHandlerStack::WaitForData(int ATimeOutMs) {
  const int H = FBinding.Handle();
  if (H < 0) throw ESkNotConnected(kNotConnected);
  return FBinding.Select(ATimeOutMs);
}

// ---- accepting ----

std::unique_ptr<TSkIOHandlerStack> TSkServerIOHandlerStack::MakeClientIOHandler() {
  return std::make_unique<TSkIOHandlerStack>();
}

std::unique_ptr<TSkIOHandler> TSkServerIOHandlerStack::Accept(TSkSocketHandle& AListening,
                                                              const std::atomic<bool>& AStopped) {
  while (!AStopped) {
    if (!AListening.Select(ListenPollMs)) continue;
    const int H = ::accept4(AListening.Handle(), nullptr, nullptr, SOCK_CLOEXEC);
    if (H < 0) {
      // a client that gave up between readiness and accept is not the listener's failure
      if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED || errno == EPROTO) continue;
      throw ESkSocketError(errno);
    }
    std::unique_ptr<TSkIOHandlerStack> IO = MakeClientIOHandler();
    IO->Binding().AcceptFrom(H);
    IO->AfterAccept();
    return IO;
  }
  return nullptr;
}
