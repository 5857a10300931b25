#pragma once
// TLS for the HTTPS listener: the options, the context a listener's connections share, the
// per-connection TLS socket, the connection IO handler that encrypts once it leaves
// pass-through, and the server IO handler that gives every accepted connection one.
// OpenSSL 3 is linked; its types stay out of this header.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "SkIOHandler.h"

struct ssl_st;
struct ssl_ctx_st;
struct x509_st;

// Every value maps onto the TLS server method with TLS 1.2 as the lowest version offered: the
// SSL protocols and TLS 1.0/1.1 are never offered, whatever the setting says. Both types hold
// any int, so that a value outside the list reaches the "unknown method" check intact.
enum TSkSSLVersion : int { sslvSSLv2, sslvSSLv23, sslvSSLv3, sslvTLSv1 };
enum TSkSSLMode : int { sslmUnassigned, sslmClient, sslmServer, sslmBoth };
enum TSkSSLVerifyMode : unsigned { sslvrfPeer = 1, sslvrfFailIfNoPeerCert = 2, sslvrfClientOnce = 4 };
using TSkSSLVerifyModeSet = unsigned;   // bits of TSkSSLVerifyMode, the library's verify flags
enum TSkSSLCtxMode { sslCtxClient, sslCtxServer };

class ESkTLSError : public ESkException { using ESkException::ESkException; };
class ESkTLSLoadError : public ESkTLSError { using ESkTLSError::ESkTLSError; };
// Key, certificate and cipher-list failures; carries the library's error code.
class ESkTLSCryptoError : public ESkTLSError {
public:
  ESkTLSCryptoError(const std::string& AMessage, unsigned long ACode) : ESkTLSError(AMessage), FErrorCode(ACode) {}
  unsigned long ErrorCode() const { return FErrorCode; }
private:
  unsigned long FErrorCode;
};
// Handshake failures; carries the library's error kind and the failing call's return code.
class ESkTLSCallError : public ESkTLSError {
public:
  ESkTLSCallError(const std::string& AMessage, int AErrorKind, int AReturnCode)
      : ESkTLSError(AMessage), FErrorKind(AErrorKind), FReturnCode(AReturnCode) {}
  int ErrorKind() const { return FErrorKind; }
  int ReturnCode() const { return FReturnCode; }
private:
  int FErrorKind;
  int FReturnCode;
};

struct TSkSSLOptions {
  std::string RootCertFile;
  std::string CertFile;
  std::string KeyFile;
  TSkSSLVersion Method = sslvTLSv1;
  TSkSSLMode Mode = sslmUnassigned;
  int VerifyDepth = 0;
  TSkSSLVerifyModeSet VerifyMode = 0;
  std::string VerifyDirs;
  std::string CipherList;   // TLS 1.2 cipher list; empty: a current secure default
};

// The status, password and verification hooks of a server or connection handler. Each runs
// under its own process-wide lock, so a hook sees one call at a time.
class TSkSSLHooks {
public:
  virtual ~TSkSSLHooks() = default;
  std::function<void(const std::string& AMessage)> OnStatusInfo;
  std::function<void(std::string& APassword)> OnGetPassword;
  std::function<bool(x509_st* ACertificate, bool AOk, int ADepth)> OnVerifyPeer;

  void DoStatusInfo(const std::string& AMessage);
  std::string DoGetPassword();                                // empty without a hook
  bool DoVerifyPeer(x509_st* ACertificate, bool AOk, int ADepth);   // true without a hook
};

// Loads and initialises the library once per process; "Could not load SSL library." on failure.
void SkLoadTLSLibrary();

// The library context one listener's connections share: configured before the listener
// accepts, only read afterwards.
class TSkSSLContext {
public:
  explicit TSkSSLContext(TSkSSLHooks* AParent);
  ~TSkSSLContext();
  TSkSSLContext(const TSkSSLContext&) = delete;
  TSkSSLContext& operator=(const TSkSSLContext&) = delete;

  TSkSSLOptions Options;
  // The status hook is set. It hears one line per connection from TSkSSLSocket, never the
  // library's handshake states: unauthenticated clients must not be able to grow the log at will.
  bool StatusInfoOn = false;
  bool VerifyOn = false;
  uint32_t SessionId = 1;

  // Makes the library context from Options; raises the messages of the failure table.
  void InitContext(TSkSSLCtxMode ACtxMode);
  bool LoadRootCert();
  bool LoadCert();
  bool LoadKey();

  ssl_ctx_st* Handle() const { return FContext; }
  TSkSSLHooks* Parent() const { return FParent; }
  TSkSSLCtxMode CtxMode() const { return FCtxMode; }

private:
  void SetUpContext();
  void LoadFiles();
  void FreeContext();

  TSkSSLHooks* FParent;   // not owned
  ssl_ctx_st* FContext = nullptr;
  TSkSSLCtxMode FCtxMode = sslCtxServer;
};

// One TLS connection over a connected socket. The socket stays blocking: the library's reads
// and writes never wait themselves, the waits are this class's polls, bounded where asked.
class TSkSSLSocket {
public:
  explicit TSkSSLSocket(TSkSSLHooks* AParent);
  // Sends the TLS close notice when the session is sound, then frees it.
  ~TSkSSLSocket();
  TSkSSLSocket(const TSkSSLSocket&) = delete;
  TSkSSLSocket& operator=(const TSkSSLSocket&) = delete;

  void SetContext(TSkSSLContext* AContext) { FSSLContext = AContext; }
  TSkSSLContext* Context() const { return FSSLContext; }
  // The server handshake on ASocket, at most ATimeOutMs in all (-1: no limit). On success the
  // parent hears one "Cipher: ..." line; a failure raises and the parent hears one status line.
  void Accept(int ASocket, int ATimeOutMs);
  // >0 bytes, 0 when the peer closed; each wait for more bytes is bounded by ATimeOutMs.
  int Recv(char* ABuffer, size_t ASize, int ATimeOutMs);
  void Send(std::string_view ABytes);
  // Decrypted or undecrypted bytes are buffered inside the library.
  bool Pending() const;
  std::string CipherName() const;
  std::string ProtocolVersion() const;   // the negotiated version, e.g. "TLSv1.3"
  std::string GetSessionIDAsString() const;
  ssl_st* Handle() const { return FSSL; }

private:
  [[noreturn]] void RaiseCallError(const char* AMessage, int AResult);
  std::string CipherStatus() const;

  TSkSSLHooks* FParent;   // receives the status messages; not owned
  ssl_st* FSSL = nullptr;
  TSkSSLContext* FSSLContext = nullptr;   // shared; not owned
  int FSocket = -1;
  bool FSound = false;   // handshake done and no fatal error since: the close notice may be sent
};

// A socket handler that passes bytes through unencrypted until told to leave pass-through.
class TSkSSLIOHandlerSocketBase : public TSkIOHandlerStack {
public:
  bool PassThrough() const { return FPassThrough; }
  bool IsPeer() const { return FIsPeer; }
  void SetIsPeer(bool AValue) { FIsPeer = AValue; }
  bool IsSSL() const override { return true; }
  virtual void StartSSL() = 0;

protected:
  bool FPassThrough = true;
  bool FIsPeer = false;
};

class TSkSSLIOHandlerSocketOpenSSL : public TSkSSLIOHandlerSocketBase, public TSkSSLHooks {
public:
  TSkSSLIOHandlerSocketOpenSSL();
  ~TSkSSLIOHandlerSocketOpenSSL() override;

  // The handler's own options, or the server handler's (shared) for accepted connections.
  TSkSSLOptions& SSLOptions() { return *FSSLOptions; }
  void ShareOptions(TSkSSLOptions* AOptions) { FSSLOptions = AOptions; }
  // For accepted connections the listener's context (not owned, as IsPeer says).
  void SetContext(TSkSSLContext* AContext) { FSSLContext = AContext; }
  void SetSSLSocket(std::unique_ptr<TSkSSLSocket> ASocket) { FSSLSocket = std::move(ASocket); }
  TSkSSLSocket* SSLSocket() const { return FSSLSocket.get(); }

  // Leaving pass-through on a connected socket runs the handshake at once.
  void SetPassThrough(bool AValue) override;
  void AfterAccept() override;
  void StartSSL() override;
  void Close() override;

protected:
  int ReadFromSource(char* ABuffer, size_t ASize) override;
  void WriteToSource(std::string_view ABytes) override;
  bool WaitForData(int ATimeOutMs) override;

private:
  void BeginTLS();
  void FreeOwnContext();

  TSkSSLOptions FOwnOptions;
  TSkSSLOptions* FSSLOptions = &FOwnOptions;
  TSkSSLContext* FSSLContext = nullptr;
  std::unique_ptr<TSkSSLContext> FOwnContext;   // made by StartSSL outside a listener
  std::unique_ptr<TSkSSLSocket> FSSLSocket;
};

// Accepts like the plain server handler; every connection gets a TLS handler in pass-through
// that shares this handler's options and context.
class TSkServerIOHandlerSSLOpenSSL : public TSkServerIOHandlerStack, public TSkSSLHooks {
public:
  TSkSSLOptions& SSLOptions() { return FSSLOptions; }
  TSkSSLContext* Context() const { return FSSLContext.get(); }
  // Each time the listener starts: makes the context (library errors propagate).
  void Init() override;
  // Each time the listener stops, after every connection has ended.
  void Shutdown() override;

protected:
  std::unique_ptr<TSkIOHandlerStack> MakeClientIOHandler() override;

private:
  TSkSSLOptions FSSLOptions;
  std::unique_ptr<TSkSSLContext> FSSLContext;
};
