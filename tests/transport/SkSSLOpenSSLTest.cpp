#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <vector>

#include "KXTestFolders.h"
#include "SkCustomHTTPServer.h"
#include "SkSSLOpenSSL.h"
#include "SkTestClient.h"
#include "SkTestTLS.h"

namespace {

// An HTTP server on a kernel-chosen port of 127.0.0.1 whose connections are TLS, with a fresh
// certificate; every status line the TLS layer reports is kept.
struct TTLSServer {
  TKXTempFolder Folder;
  // before the server: its connection threads may still report while it stops
  std::mutex LinesLock;   // guards Lines: connection threads report
  std::vector<std::string> Lines;
  TSkCustomHTTPServer Server;
  TSkServerIOHandlerSSLOpenSSL* TLS = nullptr;
  uint16_t Port = 0;

  explicit TTLSServer(const TSkTestCertificate& ACert = {}) {
    SkWriteTestCertificate(File("cert.pem"), File("key.pem"), ACert);
    auto H = std::make_unique<TSkServerIOHandlerSSLOpenSSL>();
    TLS = H.get();
    TLS->SSLOptions().CertFile = File("cert.pem");
    TLS->SSLOptions().KeyFile = File("key.pem");
    TLS->OnStatusInfo = [this](const std::string& AMsg) {
      std::lock_guard Lock(LinesLock);
      Lines.push_back(AMsg);
    };
    Server.SetIOHandler(std::move(H));
    Server.SetReadTimeOut(500);
    Server.OnCommandGet = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
      Resp.SetContentText("hello " + Req.Document());
    };
    TSkSocketHandle& B = Server.Bindings().Add();
    B.SetIP("127.0.0.1");
    B.SetPort(0);
  }
  std::string File(const char* AName) const { return Folder.Path() + "/" + AName; }
  void Start() {
    Server.SetActive(true);
    Port = Server.Bindings()[0].Port();
  }
  size_t CountLines(const std::string& APrefix) {
    std::lock_guard Lock(LinesLock);
    size_t N = 0;
    for (const std::string& L : Lines) N += L.rfind(APrefix, 0) == 0;
    return N;
  }
  bool ServesTLS() {
    const TSkTLSAnswer A = SkTLSRoundTrip(Port, "GET /x HTTP/1.0\r\n\r\n");
    return A.Handshake && A.Answer.find("hello /x") != std::string::npos;
  }
};

std::string StartError(TTLSServer& AServer) {
  try {
    AServer.Start();
  } catch (const ESkTLSError& E) {
    return E.what();
  }
  return "started";
}

}  // namespace

TEST(SkSSLOpenSSL, OffersTLS12AndTLS13AndRefusesOlderVersions) {
  TTLSServer S;
  S.Start();
  const struct {
    const char* Name;
    int Min, Max;
    const char* Version;   // empty: refused
  } Cases[] = {
      {"library default", 0, 0, "TLSv1.3"},
      {"TLS 1.3 only", TLS1_3_VERSION, TLS1_3_VERSION, "TLSv1.3"},
      {"TLS 1.2 only", TLS1_2_VERSION, TLS1_2_VERSION, "TLSv1.2"},
      {"TLS 1.1 only", TLS1_1_VERSION, TLS1_1_VERSION, ""},
      {"TLS 1.0 only", TLS1_VERSION, TLS1_VERSION, ""},
  };
  size_t Refused = 0;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TSkTLSAnswer A = SkTLSRoundTrip(S.Port, "GET /v HTTP/1.0\r\n\r\n", Case.Min, Case.Max);
    EXPECT_EQ(A.Handshake, *Case.Version != 0) << A.Error;
    if (!A.Handshake) {
      ++Refused;
      continue;
    }
    EXPECT_EQ(A.Version, Case.Version);
    EXPECT_NE(A.Answer.find("hello /v"), std::string::npos) << A.Answer;
  }
  // one line per connection: the cipher and version, or the failure
  S.Server.SetActive(false);
  EXPECT_EQ(S.CountLines("Cipher: name = "), std::size(Cases) - Refused);
  EXPECT_EQ(S.CountLines("SSL status: \"Error accepting connection with SSL. "), Refused);
  EXPECT_EQ(S.Lines.size(), std::size(Cases));
  for (const std::string& L : S.Lines)
    if (L.rfind("Cipher: ", 0) == 0) {
      EXPECT_NE(L.find("; description = "), std::string::npos) << L;
      EXPECT_TRUE(L.find("; bits = 128; ") != std::string::npos || L.find("; bits = 256; ") != std::string::npos) << L;
      EXPECT_TRUE(L.find("; version = TLSv1.3; ") != std::string::npos ||
                  L.find("; version = TLSv1.2; ") != std::string::npos) << L;
    }
}

TEST(SkSSLOpenSSL, BadClientsEndOnlyTheirOwnConnection) {
  TTLSServer S;
  S.Start();
  // A TLS record header announcing a ClientHello longer than what follows.
  const std::string Truncated("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
  std::string Random;
  for (int I = 0; I < 4096; ++I) Random += static_cast<char>((I * 7919 + 13) & 0xff);
  const struct {
    const char* Name;
    std::string Bytes;
    bool HalfClose;
  } Cases[] = {
      {"plain HTTP", "GET / HTTP/1.0\r\n\r\n", false},
      {"truncated ClientHello, then nothing", Truncated, false},
      {"truncated ClientHello, then close", Truncated, true},
      {"random bytes", Random, false},
      {"connects and says nothing", "", false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const auto Start = std::chrono::steady_clock::now();
    TSkTestClient C(S.Port);
    C.Send(Case.Bytes);
    if (Case.HalfClose) C.ShutdownSend();
    const std::string Answer = C.ReadAll(5000);
    // the read time-out (500 ms) bounds a stalled handshake like a request head
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(3));
    EXPECT_TRUE(C.ClosedByPeer());
    EXPECT_EQ(Answer.find("HTTP/1."), std::string::npos) << "answered in plain text";
    EXPECT_TRUE(S.ServesTLS());
  }
  S.Server.SetActive(false);
  EXPECT_EQ(S.CountLines("SSL status: "), std::size(Cases));
  EXPECT_EQ(S.CountLines("Cipher: "), std::size(Cases));
}

TEST(SkSSLOpenSSL, StartFailsWithTheMessageOfWhatIsWrongWithTheFiles) {
  const std::string Garbage = "-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n";
  const struct {
    const char* Name;
    TSkTestCertificate Cert;
    std::function<void(TTLSServer&)> Arrange;
    std::string Expected;   // the start of the message; "started" when the start succeeds
  } Cases[] = {
      {"sound files", {}, [](TTLSServer&) {}, "started"},
      {"certificate missing", {}, [](TTLSServer& S) { std::remove(S.File("cert.pem").c_str()); },
       "Could not load certificate.\r\nerror:"},
      {"certificate unreadable", {},
       [&](TTLSServer& S) { std::ofstream(S.File("cert.pem")) << Garbage; }, "Could not load certificate.\r\nerror:"},
      {"certificate expired", {"", -7200, -3600}, [](TTLSServer&) {},
       "Could not load certificate.\r\ncertificate has expired"},
      {"certificate not yet valid", {"", 3600, 7200}, [](TTLSServer&) {},
       "Could not load certificate.\r\ncertificate is not yet valid"},
      {"key missing", {}, [](TTLSServer& S) { std::remove(S.File("key.pem").c_str()); },
       "Could not load key, check password.\r\nerror:"},
      {"key of another certificate", {},
       [](TTLSServer& S) { SkWriteTestCertificate(S.File("other.pem"), S.File("key.pem")); },
       "Could not load key, check password.\r\nerror:"},
      {"encrypted key, right password", {"s3cret"},
       [](TTLSServer& S) { S.TLS->OnGetPassword = [](std::string& P) { P = "s3cret"; }; }, "started"},
      {"encrypted key, wrong password", {"s3cret"},
       [](TTLSServer& S) { S.TLS->OnGetPassword = [](std::string& P) { P = "guess"; }; },
       "Could not load key, check password.\r\nerror:"},
      {"encrypted key, no password", {"s3cret"}, [](TTLSServer&) {}, "Could not load key, check password.\r\nerror:"},
      {"root file missing", {}, [](TTLSServer& S) { S.TLS->SSLOptions().RootCertFile = S.File("root.pem"); },
       "Could not load root certificate.\r\nerror:"},
      {"root file is the certificate", {},
       [](TTLSServer& S) { S.TLS->SSLOptions().RootCertFile = S.File("cert.pem"); }, "started"},
      {"cipher list the library rejects", {}, [](TTLSServer& S) { S.TLS->SSLOptions().CipherList = "NONE-SUCH"; },
       "SetCipher failed.\r\nerror:"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTLSServer S(Case.Cert);
    Case.Arrange(S);
    const std::string Got = StartError(S);
    EXPECT_EQ(Got.substr(0, Case.Expected.size()), Case.Expected) << Got;
    EXPECT_EQ(S.Server.Active(), Case.Expected == "started");
    if (S.Server.Active()) {
      EXPECT_TRUE(S.ServesTLS());
    }
    // a failed start leaves nothing behind: the listener can start again once the files are sound
    EXPECT_EQ(S.TLS->Context() != nullptr, S.Server.Active());
  }
}

TEST(SkSSLOpenSSL, EveryShippedVersionSettingOffersTLS12AndNewerOnly) {
  for (TSkSSLVersion V : {sslvSSLv2, sslvSSLv23, sslvSSLv3, sslvTLSv1}) {
    SCOPED_TRACE(static_cast<int>(V));
    TTLSServer S;
    S.TLS->SSLOptions().Method = V;
    S.Start();
    EXPECT_EQ(SSL_CTX_get_min_proto_version(S.TLS->Context()->Handle()), TLS1_2_VERSION);
    EXPECT_EQ(SkTLSRoundTrip(S.Port, "GET / HTTP/1.0\r\n\r\n").Version, "TLSv1.3");
    EXPECT_FALSE(SkTLSRoundTrip(S.Port, "", TLS1_1_VERSION, TLS1_1_VERSION).Handshake);
  }
  TTLSServer Unknown;
  Unknown.TLS->SSLOptions().Method = static_cast<TSkSSLVersion>(9);
  EXPECT_EQ(StartError(Unknown), "Error geting SSL method.");
}

TEST(SkSSLOpenSSL, AConnectionTheHookKeepsPlainIsServedWithoutTLS) {
  TTLSServer S;
  std::vector<uint16_t> Asked;
  S.Server.OnQuerySSLPort = [&](uint16_t APort) {
    Asked.push_back(APort);
    return false;
  };
  S.Start();
  EXPECT_NE(SkRoundTrip(S.Port, "GET /plain HTTP/1.0\r\n\r\n").find("hello /plain"), std::string::npos);
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0], S.Port);
}

TEST(SkSSLOpenSSL, ALargeBodyTravelsBothWaysAndAStopEndsLiveConnections) {
  TTLSServer S;
  S.Server.OnCommandGet = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
    Resp.SetContentText(std::string(Req.PostStream().size() * 2, 'b'));
  };
  S.Start();
  const std::string Body(300000, 'a');
  const TSkTLSAnswer A = SkTLSRoundTrip(
      S.Port, "POST / HTTP/1.0\r\nContent-Length: " + std::to_string(Body.size()) + "\r\n\r\n" + Body);
  ASSERT_TRUE(A.Handshake) << A.Error;
  EXPECT_NE(A.Answer.find("Content-Length: 600000\r\n"), std::string::npos);
  EXPECT_EQ(A.Answer.size() - A.Answer.find("\r\n\r\n") - 4, 600000u);

  TSkTestClient Idle(S.Port);   // mid-handshake when the server stops
  S.Server.SetActive(false);
  EXPECT_EQ(S.Server.ContextCount(), 0);
  EXPECT_EQ(S.TLS->Context(), nullptr);
}
