#include "SkTestTLS.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

template <class T, void (*Free)(T*)>
using TOwned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

void Check(bool AOk, const char* AWhat) {
  if (!AOk) throw std::runtime_error(std::string("test certificate: ") + AWhat);
}

std::string LibraryError() {
  char Buf[256] = {};
  ERR_error_string_n(ERR_get_error(), Buf, sizeof Buf);
  ERR_clear_error();
  return Buf;
}

void CloseFile(FILE* F) { std::fclose(F); }

}  // namespace

void SkWriteTestCertificate(const std::string& ACertFile, const std::string& AKeyFile,
                            const TSkTestCertificate& AOptions) {
  TOwned<EVP_PKEY, EVP_PKEY_free> Key(EVP_EC_gen("P-256"));
  Check(Key != nullptr, "key");
  TOwned<X509, X509_free> Cert(X509_new());
  X509_set_version(Cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(Cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(Cert.get()), AOptions.NotBeforeSeconds);
  X509_gmtime_adj(X509_getm_notAfter(Cert.get()), AOptions.NotAfterSeconds);
  X509_set_pubkey(Cert.get(), Key.get());
  X509_NAME* Name = X509_get_subject_name(Cert.get());
  X509_NAME_add_entry_by_txt(Name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(AOptions.CommonName.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(Cert.get(), Name);
  Check(X509_sign(Cert.get(), Key.get(), EVP_sha256()) > 0, "sign");

  TOwned<FILE, CloseFile> CertOut(std::fopen(ACertFile.c_str(), "wb"));
  Check(CertOut && PEM_write_X509(CertOut.get(), Cert.get()) == 1, "write certificate");
  TOwned<FILE, CloseFile> KeyOut(std::fopen(AKeyFile.c_str(), "wb"));
  const std::string& P = AOptions.Password;
  Check(KeyOut && PEM_write_PrivateKey(KeyOut.get(), Key.get(), P.empty() ? nullptr : EVP_aes_256_cbc(),
                                       reinterpret_cast<const unsigned char*>(P.data()), static_cast<int>(P.size()),
                                       nullptr, nullptr) == 1,
        "write key");
}

TSkTLSAnswer SkTLSRoundTrip(uint16_t APort, std::string_view ARequest, int AMinVersion, int AMaxVersion) {
  TSkTLSAnswer R;
  TOwned<SSL_CTX, SSL_CTX_free> Ctx(SSL_CTX_new(TLS_client_method()));
  // old versions are refused by the library's defaults before the server ever sees them
  if (AMinVersion != 0 && AMinVersion < TLS1_2_VERSION) {
    SSL_CTX_set_security_level(Ctx.get(), 0);
    SSL_CTX_set_cipher_list(Ctx.get(), "ALL:@SECLEVEL=0");
  }
  if (AMinVersion) SSL_CTX_set_min_proto_version(Ctx.get(), AMinVersion);
  if (AMaxVersion) SSL_CTX_set_max_proto_version(Ctx.get(), AMaxVersion);
  const int H = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval TimeOut{10, 0};
  ::setsockopt(H, SOL_SOCKET, SO_RCVTIMEO, &TimeOut, sizeof TimeOut);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(APort);
  ::inet_pton(AF_INET, "127.0.0.1", &A.sin_addr);
  if (::connect(H, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0) {
    ::close(H);
    R.Error = "connect failed";
    return R;
  }
  TOwned<SSL, SSL_free> S(SSL_new(Ctx.get()));
  SSL_set_fd(S.get(), H);
  if (SSL_connect(S.get()) != 1) {
    R.Error = LibraryError();
    ::close(H);
    return R;
  }
  R.Handshake = true;
  R.Version = SSL_get_version(S.get());
  R.Cipher = SSL_CIPHER_get_name(SSL_get_current_cipher(S.get()));
  if (!ARequest.empty()) SSL_write(S.get(), ARequest.data(), static_cast<int>(ARequest.size()));
  char Buf[16384];
  for (;;) {
    const int N = SSL_read(S.get(), Buf, sizeof Buf);
    if (N <= 0) break;
    R.Answer.append(Buf, static_cast<size_t>(N));
  }
  ERR_clear_error();
  S.reset();
  ::close(H);
  return R;
}
