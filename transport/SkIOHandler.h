#pragma once
// Per-connection buffered I/O over a socket, the intercept every block passes through, and the
// server-side handler that accepts connections. A TLS handler derives from TSkIOHandlerStack and
// replaces the raw receive/send while it is out of pass-through mode.
#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "SkException.h"
#include "SkSocket.h"

class TSkStringList;
class TSkTCPConnection;

class ESkConnClosedGracefully : public ESkException { using ESkException::ESkException; };
class ESkNotConnected : public ESkException { using ESkException::ESkException; };
class ESkReadTimedOut : public ESkException { using ESkException::ESkException; };
class ESkMaxLineLengthExceeded : public ESkException { using ESkException::ESkException; };
class ESkMaxCapturedLinesExceeded : public ESkException { using ESkException::ESkException; };
class ESkNoDataToRead : public ESkException { using ESkException::ESkException; };

enum class TSkEncoding { enDefault, en7Bit, enUTF8, en8Bit };
enum class TSkMaxLineAction { maException, maSplit };

// Sees every received block before it is buffered and every written block before it reaches the
// socket; either may be rewritten in place. Runs on the connection's thread only.
class TSkConnectionIntercept {
public:
  virtual ~TSkConnectionIntercept() = default;
  virtual void Connect(TSkTCPConnection& AConnection) { (void)AConnection; }
  virtual void Disconnect() {}
  virtual void Receive(std::string& ABytes) { (void)ABytes; }
  virtual void Send(std::string& ABytes) { (void)ABytes; }
};

class TSkIOHandler {
public:
  TSkIOHandler() = default;
  virtual ~TSkIOHandler() = default;
  TSkIOHandler(const TSkIOHandler&) = delete;
  TSkIOHandler& operator=(const TSkIOHandler&) = delete;

  // Settings.
  int MaxLineLength() const { return FMaxLineLength; }
  void SetMaxLineLength(int AValue) { FMaxLineLength = AValue; }
  TSkMaxLineAction MaxLineAction() const { return FMaxLineAction; }
  void SetMaxLineAction(TSkMaxLineAction AValue) { FMaxLineAction = AValue; }
  int MaxCapturedLines() const { return FMaxCapturedLines; }
  void SetMaxCapturedLines(int AValue) { FMaxCapturedLines = AValue; }
  int ReadTimeOut() const { return FReadTimeOut; }   // milliseconds; -1 waits without limit
  void SetReadTimeOut(int AValue) { FReadTimeOut = AValue; }
  int RecvBufferSize() const { return FRecvBufferSize; }
  int SendBufferSize() const { return FSendBufferSize; }
  void SetSendBufferSize(int AValue) { FSendBufferSize = AValue; }
  TSkEncoding DefStringEncoding() const { return FDefStringEncoding; }
  void SetDefStringEncoding(TSkEncoding AValue) { FDefStringEncoding = AValue; }
  bool ClosedGracefully() const { return FClosedGracefully; }
  bool ReadLnTimedOut() const { return FReadLnTimedOut; }

  // The handler owns its intercept; installing one replaces (and frees) the previous.
  TSkConnectionIntercept* Intercept() const { return FIntercept.get(); }
  void SetIntercept(std::unique_ptr<TSkConnectionIntercept> AIntercept) { FIntercept = std::move(AIntercept); }

  // Reading. Every read raises "Connection Closed Gracefully." once the peer has closed and the
  // buffer is empty, and ESkReadTimedOut when a wait exceeds ReadTimeOut.
  void FillInputBuffer();                         // waits at most ReadTimeOut
  bool FillInputBufferWithin(int ATimeOutMs);     // false on time-out, nothing raised for it
  bool InputBufferIsEmpty() const { return FInputBuffer.size() == FInputPos; }
  std::string_view InputBuffer() const { return std::string_view(FInputBuffer).substr(FInputPos); }
  void ConsumeInput(size_t ACount);
  std::string ReadLn(TSkEncoding AEncoding = TSkEncoding::enDefault);
  // Lines up to one equal to ADelimiter (not added); lines starting ".." lose one '.' when asked.
  void Capture(TSkStringList& ALines, std::string_view ADelimiter = "", bool AUsesDotTransparency = true);
  // Appends ACount bytes to AStream, or everything until the peer closes.
  void ReadStream(std::string& AStream, int64_t ACount, bool AReadUntilDisconnect = false);
  // Throws the received bytes away until the peer closes or ATimeOutMs pass.
  void DiscardInput(int ATimeOutMs);

  // Writing.
  void Write(std::string_view ABytes);
  void Write(std::string_view AText, TSkEncoding AEncoding);
  void WriteLn(std::string_view AText = {});
  // ASize 0: the whole stream from its start; negative: from the current position to the end.
  void Write(std::istream& AStream, int64_t ASize);
  void WriteBufferOpen(int AThreshold = -1);
  void WriteBufferClose();
  void WriteBufferCancel();
  bool WriteBufferingActive() const { return FWriteBuffer != nullptr; }

  virtual bool Connected() const = 0;
  virtual void Close() = 0;
  // Called from another thread (the stopping server): wakes a blocked read or write.
  virtual void Abort() = 0;
  virtual void AfterAccept() {}
  // TLS seam: a TLS handler answers true and leaves pass-through when told to.
  virtual bool IsSSL() const { return false; }
  virtual void SetPassThrough(bool AValue) { (void)AValue; }

protected:
  // >0 bytes received, 0 peer closed; raises on socket errors.
  virtual int ReadFromSource(char* ABuffer, size_t ASize) = 0;
  // Sends all of ABytes; raises on socket errors.
  virtual void WriteToSource(std::string_view ABytes) = 0;
  // False on time-out; true when readable (data, close or error).
  virtual bool WaitForData(int ATimeOutMs) = 0;
  void WriteDirect(std::string ABytes);

private:
  std::string EncodeText(std::string_view AText, TSkEncoding AEncoding) const;
  size_t FindLineEnd(size_t AFrom) const;

  std::string FInputBuffer;
  size_t FInputPos = 0;
  std::unique_ptr<std::string> FWriteBuffer;
  int FWriteBufferThreshhold = -1;
  std::unique_ptr<TSkConnectionIntercept> FIntercept;
  int FMaxLineLength = 16384;
  TSkMaxLineAction FMaxLineAction = TSkMaxLineAction::maException;
  int FMaxCapturedLines = -1;
  int FReadTimeOut = -1;
  int FRecvBufferSize = 32768;
  int FSendBufferSize = 32768;
  TSkEncoding FDefStringEncoding = TSkEncoding::en7Bit;
  bool FClosedGracefully = false;
  bool FReadLnTimedOut = false;
};

// The plain socket handler.
class TSkIOHandlerStack : public TSkIOHandler {
public:
  TSkIOHandlerStack() = default;
  ~TSkIOHandlerStack() override;
  TSkSocketHandle& Binding() { return FBinding; }
  const TSkSocketHandle& Binding() const { return FBinding; }
  bool UseNagle() const { return FUseNagle; }
  void SetUseNagle(bool AValue);

  bool Connected() const override;
  void Close() override;
  void Abort() override;

protected:
  int ReadFromSource(char* ABuffer, size_t ASize) override;
  void WriteToSource(std::string_view ABytes) override;
  bool WaitForData(int ATimeOutMs) override;
  [[noreturn]] void RaiseSocketError(int AErrorCode);

private:
  TSkSocketHandle FBinding;
  bool FUseNagle = true;
};

// Accepts on a listening binding and makes the new connection's IO handler.
class TSkServerIOHandler {
public:
  virtual ~TSkServerIOHandler() = default;
  virtual void Init() {}                 // each time the server starts
  // Returns none once AStopped is set; polls in ListenPollMs steps so a stop is noticed.
  virtual std::unique_ptr<TSkIOHandler> Accept(TSkSocketHandle& AListening, const std::atomic<bool>& AStopped) = 0;
  virtual void Shutdown() {}             // each time the server stops
};

class TSkServerIOHandlerStack : public TSkServerIOHandler {
public:
  static constexpr int ListenPollMs = 250;
  std::unique_ptr<TSkIOHandler> Accept(TSkSocketHandle& AListening, const std::atomic<bool>& AStopped) override;

protected:
  virtual std::unique_ptr<TSkIOHandlerStack> MakeClientIOHandler();
};
