#include "SkSSLOpenSSL.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

const char kCouldNotLoad[] = "Could not load SSL library.";
const char kModeNotSet[] = "Mode has not been set.";
const char kErrorGettingMethod[] = "Error geting SSL method.";
const char kErrorCreatingContext[] = "Error creating SSL context.";
const char kCouldNotLoadRoot[] = "Could not load root certificate.";
const char kCouldNotLoadCert[] = "Could not load certificate.";
const char kCouldNotLoadKey[] = "Could not load key, check password.";
const char kSetCipherFailed[] = "SetCipher failed.";
const char kErrorBinding[] = "Error binding data to SSL socket.";
const char kErrorAccepting[] = "Error accepting connection with SSL.";
const char kEOFViolation[] = "EOF was observed that violates the protocol";
const char kContextExists[] = "The TLS context of this listener already exists.";
const char kReadTimedOut[] = "Read timed out.";

// TLS 1.2 suites with forward secrecy and authenticated encryption only; TLS 1.3 keeps the
// library's own (all of them sound).
const char kDefaultCipherList[] =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305:"
    "DHE-RSA-AES128-GCM-SHA256:DHE-RSA-AES256-GCM-SHA384";

// One hook call at a time per kind, whichever handler it goes to.
std::mutex GStatusLock;
std::mutex GPasswordLock;
std::mutex GVerifyLock;

std::string LastLibraryError(unsigned long& ACode) {
  ACode = ERR_get_error();
  char Buf[256] = {};
  ERR_error_string_n(ACode, Buf, sizeof Buf);
  ERR_clear_error();
  return Buf;
}

[[noreturn]] void RaiseCryptoError(const char* AMessage) {
  unsigned long Code = 0;
  const std::string Text = LastLibraryError(Code);
  throw ESkTLSCryptoError(std::string(AMessage) + "\r\n" + Text, Code);
}

const char* ErrorKindText(int AKind) {
  switch (AKind) {
    case SSL_ERROR_NONE: return "no error";
    case SSL_ERROR_ZERO_RETURN: return "the peer closed the TLS session";
    case SSL_ERROR_WANT_READ: return kReadTimedOut;
    case SSL_ERROR_WANT_WRITE: return "write timed out";
    case SSL_ERROR_WANT_CONNECT: return "connect not complete";
    case SSL_ERROR_WANT_ACCEPT: return "accept not complete";
    case SSL_ERROR_WANT_X509_LOOKUP: return "certificate look-up not complete";
    default: return "unknown TLS error";
  }
}

// ---- the socket BIO ----
// Sends never raise SIGPIPE and reads and writes never block: the library reports "want read"
// or "want write" and TSkSSLSocket waits with poll, under its own time limit.

int SocketOf(BIO* B) { return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(B))); }

bool WouldBlock(int AErr) { return AErr == EAGAIN || AErr == EWOULDBLOCK || AErr == EINTR; }

int BioWrite(BIO* B, const char* AData, int ALen) {
  BIO_clear_retry_flags(B);
  const ssize_t N = ::send(SocketOf(B), AData, static_cast<size_t>(ALen), MSG_DONTWAIT | MSG_NOSIGNAL);
  if (N < 0 && WouldBlock(errno)) BIO_set_retry_write(B);
  return static_cast<int>(N);
}

int BioRead(BIO* B, char* AData, int ALen) {
  BIO_clear_retry_flags(B);
  const ssize_t N = ::recv(SocketOf(B), AData, static_cast<size_t>(ALen), MSG_DONTWAIT);
  if (N < 0 && WouldBlock(errno)) BIO_set_retry_read(B);
  return static_cast<int>(N);
}

int BioPuts(BIO* B, const char* AText) { return BioWrite(B, AText, static_cast<int>(std::strlen(AText))); }

long BioCtrl(BIO*, int ACmd, long, void*) { return ACmd == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* B) {
  BIO_set_init(B, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* const M = [] {
    BIO_METHOD* R = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "Sk socket");
    BIO_meth_set_write(R, BioWrite);
    BIO_meth_set_read(R, BioRead);
    BIO_meth_set_puts(R, BioPuts);
    BIO_meth_set_ctrl(R, BioCtrl);
    BIO_meth_set_create(R, BioCreate);
    return R;
  }();
  return M;
}

// Waits for the socket to be readable (or writable); false when ATimeOutMs passed first.
bool WaitSocket(int ASocket, bool AForWrite, int ATimeOutMs) {
  pollfd P{ASocket, static_cast<short>(AForWrite ? POLLOUT : POLLIN), 0};
  for (;;) {
    const int R = ::poll(&P, 1, ATimeOutMs);
    if (R >= 0) return R > 0;
    if (errno != EINTR) throw ESkSocketError(errno);
  }
}

// Milliseconds left until ADeadline; -1 stays "no limit".
int MsLeft(std::chrono::steady_clock::time_point ADeadline, int ATimeOutMs) {
  if (ATimeOutMs < 0) return -1;
  const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(ADeadline - std::chrono::steady_clock::now());
  return Left.count() > 0 ? static_cast<int>(Left.count()) : 0;
}

const char* ValidityProblem(const X509* ACert) {
  if (ACert && X509_cmp_current_time(X509_get0_notAfter(ACert)) < 0) return "certificate has expired";
  if (ACert && X509_cmp_current_time(X509_get0_notBefore(ACert)) > 0) return "certificate is not yet valid";
  return "certificate is not usable";
}

// ---- callbacks ----

int PasswordCallback(char* ABuffer, int ASize, int, void* AUserData) {
  auto* Context = static_cast<TSkSSLContext*>(AUserData);
  const std::string Password = Context && Context->Parent() ? Context->Parent()->DoGetPassword() : std::string();
  std::memset(ABuffer, 0, static_cast<size_t>(ASize));
  const size_t N = std::min(Password.size(), static_cast<size_t>(ASize > 0 ? ASize - 1 : 0));
  std::memcpy(ABuffer, Password.data(), N);
  return static_cast<int>(N);
}

int VerifyCallback(int AOk, X509_STORE_CTX* AStore) {
  SSL* Connection = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(AStore, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* Socket = Connection ? static_cast<TSkSSLSocket*>(SSL_get_app_data(Connection)) : nullptr;
  if (!Socket || !Socket->Context() || !Socket->Context()->Parent()) return AOk;
  return Socket->Context()->Parent()->DoVerifyPeer(X509_STORE_CTX_get_current_cert(AStore), AOk != 0,
                                                   X509_STORE_CTX_get_error_depth(AStore))
             ? 1
             : 0;
}

}  // namespace

// ---- hooks ----

void TSkSSLHooks::DoStatusInfo(const std::string& AMessage) {
  std::lock_guard Lock(GStatusLock);
  if (OnStatusInfo) OnStatusInfo(AMessage);
}

std::string TSkSSLHooks::DoGetPassword() {
  std::lock_guard Lock(GPasswordLock);
  std::string Password;
  if (OnGetPassword) OnGetPassword(Password);
  return Password;
}

bool TSkSSLHooks::DoVerifyPeer(x509_st* ACertificate, bool AOk, int ADepth) {
  std::lock_guard Lock(GVerifyLock);
  return OnVerifyPeer ? OnVerifyPeer(ACertificate, AOk, ADepth) : true;
}

void SkLoadTLSLibrary() {
  // Linked, so loading is initialising; the library has its own locks since version 1.1.
  static const bool Loaded = OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr) == 1;
  if (!Loaded) throw ESkTLSLoadError(kCouldNotLoad);
}

// ---- context ----

TSkSSLContext::TSkSSLContext(TSkSSLHooks* AParent) : FParent(AParent) { SkLoadTLSLibrary(); }

TSkSSLContext::~TSkSSLContext() { FreeContext(); }

void TSkSSLContext::FreeContext() {
  if (FContext) SSL_CTX_free(FContext);
  FContext = nullptr;
}

void TSkSSLContext::InitContext(TSkSSLCtxMode ACtxMode) {
  FreeContext();
  FCtxMode = ACtxMode;
  if (Options.Mode == sslmUnassigned) Options.Mode = ACtxMode == sslCtxServer ? sslmServer : sslmClient;
  if (Options.Method < sslvSSLv2 || Options.Method > sslvTLSv1) throw ESkTLSError(kErrorGettingMethod);
  const SSL_METHOD* Method = nullptr;
  switch (Options.Mode) {
    case sslmUnassigned: throw ESkTLSError(kModeNotSet);
    case sslmClient: Method = TLS_client_method(); break;
    case sslmServer: Method = TLS_server_method(); break;
    case sslmBoth: Method = TLS_method(); break;
  }
  if (!Method) throw ESkTLSError(kErrorGettingMethod);
  ERR_clear_error();
  FContext = SSL_CTX_new(Method);
  if (!FContext) throw ESkTLSError(kErrorCreatingContext);
  try {
    SetUpContext();
  } catch (...) {
    FreeContext();
    throw;
  }
}

void TSkSSLContext::SetUpContext() {
  SSL_CTX_set_min_proto_version(FContext, TLS1_2_VERSION);
  // a peer that closes without the TLS close notice is an ordinary close here, as for a plain socket
  SSL_CTX_set_options(FContext, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_mode(FContext, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_default_passwd_cb(FContext, PasswordCallback);
  SSL_CTX_set_default_passwd_cb_userdata(FContext, this);
  SSL_CTX_set_default_verify_paths(FContext);
  LoadFiles();
  const std::string& Ciphers = Options.CipherList.empty() ? std::string(kDefaultCipherList) : Options.CipherList;
  if (SSL_CTX_set_cipher_list(FContext, Ciphers.c_str()) <= 0) RaiseCryptoError(kSetCipherFailed);
  if (Options.VerifyMode != 0) {
    SSL_CTX_set_verify(FContext, static_cast<int>(Options.VerifyMode), VerifyOn ? VerifyCallback : nullptr);
    SSL_CTX_set_verify_depth(FContext, Options.VerifyDepth);
  }
  if (FCtxMode == sslCtxServer)
    SSL_CTX_set_session_id_context(FContext, reinterpret_cast<const unsigned char*>(&SessionId), sizeof SessionId);
  if (!Options.RootCertFile.empty())
    SSL_CTX_set_client_CA_list(FContext, SSL_load_client_CA_file(Options.RootCertFile.c_str()));
}

void TSkSSLContext::LoadFiles() {
  if (!Options.RootCertFile.empty() && !LoadRootCert()) RaiseCryptoError(kCouldNotLoadRoot);
  if (!Options.CertFile.empty() && !LoadCert()) {
    if (ERR_peek_error() != 0) RaiseCryptoError(kCouldNotLoadCert);
    // read, but outside its validity: the library queues nothing for that
    throw ESkTLSCryptoError(std::string(kCouldNotLoadCert) + "\r\n" + ValidityProblem(SSL_CTX_get0_certificate(FContext)), 0);
  }
  if (!Options.KeyFile.empty() && !LoadKey()) RaiseCryptoError(kCouldNotLoadKey);
}

bool TSkSSLContext::LoadRootCert() {
  return SSL_CTX_load_verify_locations(FContext, Options.RootCertFile.c_str(), nullptr) > 0;
}

bool TSkSSLContext::LoadCert() {
  // the chain form: intermediate certificates after the server's own in cert.pem are sent too
  if (SSL_CTX_use_certificate_chain_file(FContext, Options.CertFile.c_str()) <= 0) return false;
  const X509* Cert = SSL_CTX_get0_certificate(FContext);
  return Cert && X509_cmp_current_time(X509_get0_notAfter(Cert)) >= 0 &&
         X509_cmp_current_time(X509_get0_notBefore(Cert)) <= 0;
}

bool TSkSSLContext::LoadKey() {
  return SSL_CTX_use_PrivateKey_file(FContext, Options.KeyFile.c_str(), SSL_FILETYPE_PEM) >= 1 &&
         SSL_CTX_check_private_key(FContext) > 0;
}

// ---- TLS socket ----

TSkSSLSocket::TSkSSLSocket(TSkSSLHooks* AParent) : FParent(AParent) {}

TSkSSLSocket::~TSkSSLSocket() {
  if (!FSSL) return;
  ERR_clear_error();
  if (FSound) SSL_shutdown(FSSL);   // one try; a peer that does not read it loses nothing
  SSL_free(FSSL);
  ERR_clear_error();
}

void TSkSSLSocket::Accept(int ASocket, int ATimeOutMs) {
  FSocket = ASocket;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeOutMs);
  try {
    ERR_clear_error();
    if (!FSSLContext || !FSSLContext->Handle()) throw ESkTLSError(kErrorCreatingContext);
    FSSL = SSL_new(FSSLContext->Handle());
    // no TLS session, no service: the connection ends here
    if (!FSSL) RaiseCryptoError(kErrorAccepting);
    if (SSL_set_app_data(FSSL, this) <= 0) throw ESkTLSCallError(kErrorBinding, 0, 0);
    BIO* Bio = BIO_new(SocketBioMethod());
    if (!Bio) RaiseCryptoError(kErrorAccepting);
    BIO_set_data(Bio, reinterpret_cast<void*>(static_cast<intptr_t>(ASocket)));
    SSL_set_bio(FSSL, Bio, Bio);
    for (;;) {
      ERR_clear_error();
      const int R = SSL_accept(FSSL);
      if (R == 1) break;
      const int Kind = SSL_get_error(FSSL, R);
      if (Kind != SSL_ERROR_WANT_READ && Kind != SSL_ERROR_WANT_WRITE) RaiseCallError(kErrorAccepting, R);
      // the whole handshake shares one time limit: a client that trickles bytes cannot stretch it
      if (!WaitSocket(ASocket, Kind == SSL_ERROR_WANT_WRITE, MsLeft(Deadline, ATimeOutMs)))
        throw ESkTLSCallError(std::string(kErrorAccepting) + "\r\n" + ErrorKindText(Kind), Kind, R);
    }
  } catch (const std::exception& E) {
    std::string Reason = E.what();
    for (size_t P; (P = Reason.find("\r\n")) != std::string::npos;) Reason.replace(P, 2, " ");
    if (FParent) FParent->DoStatusInfo("SSL status: \"" + Reason + "\"");
    throw;
  }
  FSound = true;
  if (FParent) FParent->DoStatusInfo(CipherStatus());
}

std::string TSkSSLSocket::CipherStatus() const {
  const SSL_CIPHER* Cipher = SSL_get_current_cipher(FSSL);
  char Description[256] = {};
  SSL_CIPHER_description(Cipher, Description, sizeof Description);
  std::string D = Description;
  while (!D.empty() && (D.back() == '\n' || D.back() == ' ')) D.pop_back();
  // the negotiated protocol, not the cipher's first version: that is what the operator asks about
  return "Cipher: name = " + CipherName() + "; " + "description = " + D + "; " +
         "bits = " + std::to_string(SSL_CIPHER_get_bits(Cipher, nullptr)) + "; " + "version = " + ProtocolVersion() +
         "; ";
}

void TSkSSLSocket::RaiseCallError(const char* AMessage, int AResult) {
  const int SavedErrno = errno;
  const int Kind = SSL_get_error(FSSL, AResult);
  FSound = false;
  if (Kind == SSL_ERROR_SSL || (Kind == SSL_ERROR_SYSCALL && ERR_peek_error() != 0)) RaiseCryptoError(AMessage);
  if (Kind == SSL_ERROR_SYSCALL) {
    if (AResult == 0 || SavedErrno == 0)
      throw ESkTLSCallError(std::string(AMessage) + "\r\n" + kEOFViolation, Kind, AResult);
    throw ESkSocketError(SavedErrno);
  }
  throw ESkTLSCallError(std::string(AMessage) + "\r\n" + ErrorKindText(Kind), Kind, AResult);
}

int TSkSSLSocket::Recv(char* ABuffer, size_t ASize, int ATimeOutMs) {
  for (;;) {
    ERR_clear_error();
    const int R = SSL_read(FSSL, ABuffer, static_cast<int>(std::min<size_t>(ASize, INT32_MAX)));
    if (R > 0) return R;
    const int SavedErrno = errno;
    const int Kind = SSL_get_error(FSSL, R);
    if (Kind == SSL_ERROR_ZERO_RETURN) return 0;
    if (Kind == SSL_ERROR_WANT_READ || Kind == SSL_ERROR_WANT_WRITE) {
      if (!WaitSocket(FSocket, Kind == SSL_ERROR_WANT_WRITE, ATimeOutMs)) throw ESkReadTimedOut(kReadTimedOut);
      continue;
    }
    FSound = false;
    ERR_clear_error();
    if (Kind == SSL_ERROR_SYSCALL && R == 0) return 0;
    // a broken TLS stream ends the connection as a reset plain one does
    throw ESkSocketError(Kind == SSL_ERROR_SYSCALL && SavedErrno != 0 ? SavedErrno : ECONNRESET);
  }
}

void TSkSSLSocket::Send(std::string_view ABytes) {
  size_t Sent = 0;
  while (Sent < ABytes.size()) {
    ERR_clear_error();
    const int R = SSL_write(FSSL, ABytes.data() + Sent, static_cast<int>(std::min<size_t>(ABytes.size() - Sent, INT32_MAX)));
    if (R > 0) {
      Sent += static_cast<size_t>(R);
      continue;
    }
    const int SavedErrno = errno;
    const int Kind = SSL_get_error(FSSL, R);
    if (Kind == SSL_ERROR_WANT_READ || Kind == SSL_ERROR_WANT_WRITE) {
      // as a plain send: no limit; stopping the server shuts the socket and ends the wait
      WaitSocket(FSocket, Kind == SSL_ERROR_WANT_WRITE, -1);
      continue;
    }
    FSound = false;
    ERR_clear_error();
    throw ESkSocketError(Kind == SSL_ERROR_SYSCALL && SavedErrno != 0 ? SavedErrno : EPIPE);
  }
}

bool TSkSSLSocket::Pending() const { return FSSL && (SSL_pending(FSSL) > 0 || SSL_has_pending(FSSL) == 1); }

std::string TSkSSLSocket::CipherName() const {
  const SSL_CIPHER* Cipher = FSSL ? SSL_get_current_cipher(FSSL) : nullptr;
  return Cipher ? SSL_CIPHER_get_name(Cipher) : "";
}

std::string TSkSSLSocket::ProtocolVersion() const { return FSSL ? SSL_get_version(FSSL) : ""; }

std::string TSkSSLSocket::GetSessionIDAsString() const {
  const SSL_SESSION* Session = FSSL ? SSL_get_session(FSSL) : nullptr;
  if (!Session) return {};
  unsigned int Len = 0;
  const unsigned char* Id = SSL_SESSION_get_id(Session, &Len);
  static const char kHex[] = "0123456789ABCDEF";
  std::string R;
  for (unsigned int I = 0; I < Len; ++I) {
    R += kHex[Id[I] >> 4];
    R += kHex[Id[I] & 15];
  }
  return R;
}

// ---- connection handler ----

TSkSSLIOHandlerSocketOpenSSL::TSkSSLIOHandlerSocketOpenSSL() = default;

TSkSSLIOHandlerSocketOpenSSL::~TSkSSLIOHandlerSocketOpenSSL() {
  FSSLSocket.reset();   // the close notice goes out before the socket closes
  FreeOwnContext();
}

void TSkSSLIOHandlerSocketOpenSSL::FreeOwnContext() {
  if (FIsPeer) return;
  FOwnContext.reset();
  FSSLContext = nullptr;
}

void TSkSSLIOHandlerSocketOpenSSL::SetPassThrough(bool AValue) {
  if (FPassThrough && !AValue && Connected()) {
    if (!FSSLContext) throw ESkTLSLoadError(kCouldNotLoad);
    BeginTLS();
  }
  FPassThrough = AValue;
}

void TSkSSLIOHandlerSocketOpenSSL::BeginTLS() {
  // The library writes whole records (a handshake flight at once); with Nagle's algorithm the
  // second of two records, such as a header and its body, waits for the peer's delayed ACK.
  SetUseNagle(false);
  if (!FSSLSocket) FSSLSocket = std::make_unique<TSkSSLSocket>(this);
  FSSLSocket->SetContext(FSSLContext);
  // the handshake is bound by the read time-out, as a request head is
  FSSLSocket->Accept(Binding().Handle(), ReadTimeOut());
  FPassThrough = false;
}

void TSkSSLIOHandlerSocketOpenSSL::AfterAccept() {
  TSkSSLIOHandlerSocketBase::AfterAccept();
  try {
    StartSSL();
  } catch (...) {
    Close();
    throw;
  }
}

void TSkSSLIOHandlerSocketOpenSSL::StartSSL() {
  if (!FSSLContext) {
    try {
      FOwnContext = std::make_unique<TSkSSLContext>(this);
      FOwnContext->Options = *FSSLOptions;
      FOwnContext->StatusInfoOn = static_cast<bool>(OnStatusInfo);
      FOwnContext->VerifyOn = static_cast<bool>(OnVerifyPeer);
      FOwnContext->InitContext(sslCtxServer);   // this system only accepts
      FSSLContext = FOwnContext.get();
    } catch (const ESkTLSLoadError&) {
      FOwnContext.reset();
      if (!FPassThrough) throw;
    }
  }
  if (!FPassThrough) BeginTLS();
}

void TSkSSLIOHandlerSocketOpenSSL::Close() {
  FSSLSocket.reset();
  FreeOwnContext();
  TSkSSLIOHandlerSocketBase::Close();
}

int TSkSSLIOHandlerSocketOpenSSL::ReadFromSource(char* ABuffer, size_t ASize) {
  if (FPassThrough || !FSSLSocket) return TSkSSLIOHandlerSocketBase::ReadFromSource(ABuffer, ASize);
  if (!Connected()) throw ESkNotConnected("Not Connected");
  return FSSLSocket->Recv(ABuffer, ASize, ReadTimeOut());
}

void TSkSSLIOHandlerSocketOpenSSL::WriteToSource(std::string_view ABytes) {
  if (FPassThrough || !FSSLSocket) return TSkSSLIOHandlerSocketBase::WriteToSource(ABytes);
  if (!Connected()) throw ESkNotConnected("Not Connected");
  FSSLSocket->Send(ABytes);
}

bool TSkSSLIOHandlerSocketOpenSSL::WaitForData(int ATimeOutMs) {
  // bytes the library already holds never show up as a readable socket
  if (!FPassThrough && FSSLSocket && FSSLSocket->Pending()) return true;
  return TSkSSLIOHandlerSocketBase::WaitForData(ATimeOutMs);
}

// ---- server handler ----

void TSkServerIOHandlerSSLOpenSSL::Init() {
  if (FSSLContext) throw ESkTLSError(kContextExists);
  auto Context = std::make_unique<TSkSSLContext>(this);
  Context->Options = FSSLOptions;
  Context->VerifyOn = static_cast<bool>(OnVerifyPeer);
  Context->StatusInfoOn = static_cast<bool>(OnStatusInfo);
  Context->InitContext(sslCtxServer);
  FSSLContext = std::move(Context);
}

void TSkServerIOHandlerSSLOpenSSL::Shutdown() {
  FSSLContext.reset();
  TSkServerIOHandlerStack::Shutdown();
}

std::unique_ptr<TSkIOHandlerStack> TSkServerIOHandlerSSLOpenSSL::MakeClientIOHandler() {
  auto IO = std::make_unique<TSkSSLIOHandlerSocketOpenSSL>();
  IO->ShareOptions(&FSSLOptions);
  IO->SetIsPeer(true);
  IO->SetSSLSocket(std::make_unique<TSkSSLSocket>(this));
  IO->SetContext(FSSLContext.get());
  return IO;
}
