#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "KXTestFolders.h"
#include "SkCustomHTTPServer.h"
#include "SkSSLOpenSSL.h"
#include "SkTestClient.h"
#include "SkTestTLS.h"

// Many handshakes at once, sound and broken ones mixed, on one listener's shared context.
TEST(SkSSLOpenSSLThreads, ManyHandshakesAtOnceEachEndOnlyTheirOwnConnection) {
  TKXTempFolder Folder;
  const std::string Cert = Folder.Path() + "/cert.pem", Key = Folder.Path() + "/key.pem";
  SkWriteTestCertificate(Cert, Key);
  std::mutex LinesLock;   // guards the two counters: status lines come from every connection thread
  size_t CipherLines = 0, FailureLines = 0;
  TSkCustomHTTPServer Server;   // after the counters, so that it stops before they go
  auto TLS = std::make_unique<TSkServerIOHandlerSSLOpenSSL>();
  TLS->SSLOptions().CertFile = Cert;
  TLS->SSLOptions().KeyFile = Key;
  TLS->OnStatusInfo = [&](const std::string& AMsg) {
    std::lock_guard Lock(LinesLock);
    ++(AMsg.rfind("Cipher: ", 0) == 0 ? CipherLines : FailureLines);
  };
  Server.SetIOHandler(std::move(TLS));
  Server.SetReadTimeOut(500);
  Server.SetListenQueue(1024);   // the burst of connects below must not wait for SYN retries
  Server.OnCommandGet = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
    Resp.SetContentText("ok " + Req.Document());
  };
  TSkSocketHandle& B = Server.Bindings().Add();
  B.SetIP("127.0.0.1");
  B.SetPort(0);
  Server.SetActive(true);
  const uint16_t Port = Server.Bindings()[0].Port();

  // Clients that stall mid-handshake, all connected while the sound ones run.
  constexpr int kStalled = 200;
  const std::string Truncated("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
  std::vector<std::unique_ptr<TSkTestClient>> Stalled;
  for (int I = 0; I < kStalled; ++I) {
    Stalled.push_back(std::make_unique<TSkTestClient>(Port));
    Stalled.back()->Send(I % 2 ? Truncated : std::string("GET / HTTP/1.0\r\n\r\n"));
  }

  constexpr int kThreads = 8, kEach = 12;
  std::atomic<int> Sound{0};
  std::vector<std::thread> Clients;
  for (int T = 0; T < kThreads; ++T)
    Clients.emplace_back([&, T] {
      for (int I = 0; I < kEach; ++I) {
        const std::string Path = "/" + std::to_string(T) + "-" + std::to_string(I);
        const TSkTLSAnswer A = SkTLSRoundTrip(Port, "GET " + Path + " HTTP/1.0\r\n\r\n");
        if (A.Handshake && A.Answer.find("ok " + Path) != std::string::npos) ++Sound;
      }
    });
  for (std::thread& C : Clients) C.join();
  EXPECT_EQ(Sound.load(), kThreads * kEach);
  for (auto& C : Stalled) {
    C->ReadAll(5000);
    EXPECT_TRUE(C->ClosedByPeer());
  }
  Server.SetActive(false);
  EXPECT_EQ(CipherLines, static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(FailureLines, static_cast<size_t>(kStalled));
}
