// libFuzzer target for the TLS port's handshake path: the bytes are what a client sent before it
// closed; the server side (TSkSSLSocket::Accept with a listener's context, through the transport's
// own socket BIO and waits) runs on one end of a socket pair. It must end every input with a
// handshake or an exception, never a crash, a leak or a hang.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "SkSSLOpenSSL.h"
#include "SkTestTLS.h"

namespace {

// The listener's context, with a certificate made for this run.
TSkSSLContext& Context() {
  static TSkSSLHooks Hooks;
  static std::unique_ptr<TSkSSLContext> C = [] {
    char Folder[] = "/tmp/kx-tls-fuzz-XXXXXX";
    if (!mkdtemp(Folder)) std::abort();
    const std::string Cert = std::string(Folder) + "/cert.pem", Key = std::string(Folder) + "/key.pem";
    SkWriteTestCertificate(Cert, Key);
    auto R = std::make_unique<TSkSSLContext>(&Hooks);
    R->Options.CertFile = Cert;
    R->Options.KeyFile = Key;
    R->InitContext(sslCtxServer);
    unlink(Cert.c_str());
    unlink(Key.c_str());
    rmdir(Folder);
    return R;
  }();
  return *C;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TSkSSLContext& C = Context();
  int Pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Pair) != 0) return 0;
  // what does not fit the pair's buffer is as if the client had stopped there
  if (Size > 0) (void)send(Pair[1], Data, Size, MSG_DONTWAIT | MSG_NOSIGNAL);
  shutdown(Pair[1], SHUT_WR);
  {
    TSkSSLSocket Socket(nullptr);
    Socket.SetContext(&C);
    try {
      Socket.Accept(Pair[0], 2000);
      char Buf[256];
      (void)Socket.Recv(Buf, sizeof Buf, 100);
    } catch (const std::exception&) {
      // every failure of a client ends its connection with an exception
    }
  }
  close(Pair[0]);
  close(Pair[1]);
  return 0;
}
