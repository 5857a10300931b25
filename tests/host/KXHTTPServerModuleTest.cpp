#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "content/KXCompress.h"
#include "KXHTTPServerModule.h"
#include "KXStandAloneServer.h"
#include "KXTerminalConsole.h"
#include "KXTestController.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkTestClient.h"
#include "SkTestTLS.h"

namespace fs = std::filesystem;

namespace {

const char kScript[] = "GET /js/KXCommon.js_10.0.0 HTTP/1.0\r\n\r\n";

// A controller with a plain port chosen by the kernel and a TLS port that was free, both on
// 127.0.0.1, and a fresh certificate beside the "executable".
struct THTTPSFixture {
  explicit THTTPSFixture(std::function<void(TKXTestController&)> AStored = nullptr, const TSkTestCertificate& ACert = {})
      : SSLPort(SkFreeLoopbackPort()), Scope([this, AStored](TKXTestController& C) {
          C.SetPort(0);
          C.SetBoundIP("127.0.0.1");
          C.SSLOptions().Port = SSLPort;
          if (AStored) AStored(C);
        }) {
    SkWriteTestCertificate(File("cert.pem"), File("key.pem"), ACert);
  }
  std::string File(const std::string& AName) const { return Scope.AppFolder() + "/" + AName; }
  std::unique_ptr<TKXStandAloneServer> Start() {
    // the plain port is known once it is bound, also when the TLS start fails after it
    struct TNotePort {
      THTTPSFixture& F;
      ~TNotePort() { F.PlainPort = static_cast<uint16_t>(F.Scope.Controller().Port()); }
    } Note{*this};
    return std::make_unique<TKXStandAloneServer>(
        nullptr, nullptr, [this](TKXStandAloneServer*, const std::string& AMsg) { Lines.push_back(AMsg); });
  }
  // The text of the file named after the executable with that extension ("log", "err").
  std::string Read(const std::string& AExtension) const {
    std::string Text;
    for (const auto& E : fs::directory_iterator(Scope.AppFolder()))
      if (E.path().extension() == "." + AExtension) {
        std::ifstream In(E.path(), std::ios::binary);
        Text.assign(std::istreambuf_iterator<char>(In), {});
      }
    return Text;
  }
  static size_t Count(const std::string& AText, const std::string& AWhat) {
    size_t N = 0;
    for (size_t P = AText.find(AWhat); P != std::string::npos; P = AText.find(AWhat, P + 1)) ++N;
    return N;
  }

  uint16_t SSLPort;
  uint16_t PlainPort = 0;
  TKXTestControllerScope Scope;
  std::vector<std::string> Lines;
};

bool Listening(uint16_t APort) {
  const int H = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(APort);
  ::inet_pton(AF_INET, "127.0.0.1", &A.sin_addr);
  const bool Connected = ::connect(H, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0;
  ::close(H);
  return Connected;
}

int StatusOf(const std::string& AAnswer) { return AAnswer.size() > 12 ? std::atoi(AAnswer.substr(9, 3).c_str()) : 0; }

// Runs a command and returns what it printed on standard output.
std::string RunCommand(const std::string& ACommand) {
  std::string Out;
  FILE* P = ::popen(ACommand.c_str(), "r");
  if (!P) return Out;
  char Buf[65536];
  for (size_t N; (N = std::fread(Buf, 1, sizeof Buf, P)) > 0;) Out.append(Buf, N);
  ::pclose(P);
  return Out;
}

}  // namespace

TEST(KXHTTPServerModuleTLS, ServesTheApplicationOverHTTPSBesidePlainHTTP) {
  THTTPSFixture F;
  auto S = F.Start();
  ASSERT_NE(S->HTTPServerModule()->HTTPS(), nullptr);
  EXPECT_NE(std::find(F.Lines.begin(), F.Lines.end(), "HTTPS Port: " + std::to_string(F.SSLPort)), F.Lines.end());
  EXPECT_EQ(S->StartURL(false, true), "https://127.0.0.1:" + std::to_string(F.SSLPort) + "/");
  S->SetRunSSL(true);   // the console's Use SSL
  EXPECT_EQ(S->StartURL(), "https://127.0.0.1:" + std::to_string(F.SSLPort) + "/");
  S->SetRunSSL(false);
  for (int Version : {TLS1_2_VERSION, TLS1_3_VERSION}) {
    SCOPED_TRACE(Version);
    const TSkTLSAnswer A = SkTLSRoundTrip(F.SSLPort, kScript, Version, Version);
    ASSERT_TRUE(A.Handshake) << A.Error;
    EXPECT_EQ(StatusOf(A.Answer), 200);
    EXPECT_NE(A.Answer.find("var GSubmitting = false;"), std::string::npos);
    // the TLS port does not send the no-cache header the plain one sends
    EXPECT_EQ(A.Answer.find("Pragma: no-cache"), std::string::npos);
  }
  EXPECT_FALSE(SkTLSRoundTrip(F.SSLPort, kScript, TLS1_1_VERSION, TLS1_1_VERSION).Handshake);
  EXPECT_EQ(StatusOf(SkRoundTrip(F.PlainPort, kScript)), 200) << "nsAccept keeps the plain port";
  EXPECT_EQ(StatusOf(SkRoundTrip(F.PlainPort, kScript)), 200);
  S.reset();
  // one log line per TLS connection: the cipher and version, or why it failed
  const std::string Log = F.Read("log");
  EXPECT_EQ(THTTPSFixture::Count(Log, "Cipher: name = "), 2u) << Log;
  EXPECT_EQ(THTTPSFixture::Count(Log, "; version = TLSv1.2; "), 1u) << Log;
  EXPECT_EQ(THTTPSFixture::Count(Log, "SSL status: \"Error accepting connection with SSL."), 1u) << Log;
}

TEST(KXHTTPServerModuleTLS, NonSSLRequestBlocksOrRedirectsThePlainPort) {
  {
    THTTPSFixture F([](TKXTestController& C) { C.SSLOptions().NonSSLRequest = nsBlock; });
    auto S = F.Start();
    EXPECT_FALSE(S->HTTPServerModule()->HTTP().Active());
    EXPECT_FALSE(Listening(F.PlainPort)) << "the plain port is closed";
    EXPECT_EQ(StatusOf(SkTLSRoundTrip(F.SSLPort, kScript).Answer), 200);
  }
  THTTPSFixture F([](TKXTestController& C) { C.SSLOptions().NonSSLRequest = nsRedirect; });
  auto S = F.Start();
  const std::string Plain = SkRoundTrip(F.PlainPort, "GET /js/KXCommon.js_10.0.0 HTTP/1.1\r\nHost: 127.0.0.1:" +
                                                         std::to_string(F.PlainPort) + "\r\n\r\n");
  std::smatch M;
  const std::regex Refresh("CONTENT=\"0;URL=https://127\\.0\\.0\\.1:(\\d+)(/[^\"]*)\"");
  ASSERT_TRUE(std::regex_search(Plain, M, Refresh)) << Plain;
  EXPECT_EQ(M[1].str(), std::to_string(F.SSLPort));
  EXPECT_EQ(Plain.find("var GSubmitting"), std::string::npos) << "the refresh page and nothing else";
  // the browser follows it to the TLS port, where the application answers
  const TSkTLSAnswer A = SkTLSRoundTrip(F.SSLPort, "GET " + M[2].str() + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                                       std::to_string(F.SSLPort) + "\r\n\r\n");
  EXPECT_EQ(StatusOf(A.Answer), 200);
  EXPECT_EQ(A.Answer.find("HTTP-EQUIV=\"Refresh\""), std::string::npos) << A.Answer;
}

TEST(KXHTTPServerModuleTLS, BadCertificateFilesAbortTheStartWithTheMessageInTheErrorFile) {
  const struct {
    const char* Name;
    TSkTestCertificate Cert;
    std::function<void(THTTPSFixture&)> Arrange;
    std::string Expected;   // the start of the error-file line; empty: the start succeeds
  } Cases[] = {
      {"certificate missing", {}, [](THTTPSFixture& F) { fs::remove(F.File("cert.pem")); },
       "Could not load certificate.\r\nerror:"},
      {"key missing", {}, [](THTTPSFixture& F) { fs::remove(F.File("key.pem")); },
       "Could not load key, check password.\r\nerror:"},
      {"certificate expired", {"", -7200, -3600}, [](THTTPSFixture&) {},
       "Could not load certificate.\r\ncertificate has expired"},
      {"key of another certificate", {},
       [](THTTPSFixture& F) { SkWriteTestCertificate(F.File("other.pem"), F.File("key.pem")); },
       "Could not load key, check password.\r\nerror:"},
      {"root.pem present but unreadable", {},
       [](THTTPSFixture& F) { std::ofstream(F.File("root.pem")) << "not a certificate\n"; },
       "Could not load root certificate.\r\nerror:"},
      {"encrypted key, wrong password", {"s3cret"},
       [](THTTPSFixture& F) { F.Scope.Controller().SSLOptions().CertificatePassword = "guess"; },
       "Could not load key, check password.\r\nerror:"},
      {"encrypted key, right password", {"s3cret"},
       [](THTTPSFixture& F) { F.Scope.Controller().SSLOptions().CertificatePassword = "s3cret"; }, ""},
      {"no root.pem is fine", {}, [](THTTPSFixture&) {}, ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    THTTPSFixture F(nullptr, Case.Cert);
    Case.Arrange(F);
    if (Case.Expected.empty()) {
      auto S = F.Start();
      EXPECT_EQ(StatusOf(SkTLSRoundTrip(F.SSLPort, kScript).Answer), 200);
      continue;
    }
    try {
      F.Start();
      ADD_FAILURE() << "started";
    } catch (const std::exception& E) {
      EXPECT_EQ(std::string(E.what()).substr(0, Case.Expected.size()), Case.Expected) << E.what();
    }
    const std::string Err = F.Read("err");
    EXPECT_NE(Err.find(" " + Case.Expected), std::string::npos) << Err;
    EXPECT_EQ(TKXHTTPServerModule::Instance(), nullptr);
    EXPECT_FALSE(Listening(F.PlainPort)) << "nothing is left listening";
    EXPECT_FALSE(Listening(F.SSLPort));
  }
}

TEST(KXHTTPServerModuleTLS, CurlDecodesCompressedAnswersLikeAnyClient) {
  THTTPSFixture F([](TKXTestController& C) { C.Compression().SetEnabled(true); });
  fs::create_directories(F.File("Files"));
  std::string Big;
  for (int I = 0; Big.size() < 2'000'000; ++I) Big += "row " + std::to_string(I * 7919 % 10007) + ";\n";
  std::ofstream(F.File("Files/big.txt"), std::ios::binary) << Big;
  std::ofstream(F.File("Files/small.txt"), std::ios::binary) << "tiny";
  auto S = F.Start();
  const std::string Https = "https://127.0.0.1:" + std::to_string(F.SSLPort);
  const std::string Http = "http://127.0.0.1:" + std::to_string(F.PlainPort);
  const struct {
    const char* Name;
    std::string URL, Options;
    const char* Encoding;   // empty: sent as it is
    std::string Body;
  } Cases[] = {
      {"a large file over HTTPS", Https + "/files/big.txt", "--compressed", "gzip", Big},
      {"a large file over HTTP", Http + "/files/big.txt", "--compressed", "gzip", Big},
      {"deflate only", Https + "/files/big.txt", "-H 'Accept-Encoding: deflate'", "deflate", ""},
      {"gzip refused with q=0", Https + "/files/big.txt", "-H 'Accept-Encoding: gzip;q=0'", "", Big},
      {"below the minimum size", Https + "/files/small.txt", "--compressed", "", "tiny"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Headers = F.File("headers.txt");
    const std::string Body = RunCommand("curl -k -s " + Case.Options + " -D " + Headers + " " + Case.URL);
    std::ifstream In(Headers);
    const std::string Head((std::istreambuf_iterator<char>(In)), {});
    EXPECT_EQ(StatusOf(Head), 200) << Head;
    std::smatch M;
    const bool Coded = std::regex_search(Head, M, std::regex("Content-Encoding: ([a-z-]+)\r\n", std::regex::icase));
    EXPECT_EQ(Coded ? M[1].str() : "", Case.Encoding) << Head;
    EXPECT_EQ(Head.find("Vary: Accept-Encoding") != std::string::npos, *Case.Encoding != 0) << Head;
    if (!Case.Body.empty()) {
      EXPECT_TRUE(Body == Case.Body) << Body.size() << " bytes";
    }
  }
}

TEST(KXHTTPServerModuleTLS, TheCommandLineSwitchesTLSAndCompression) {
  const TKXCommandLine L = KXParseCommandLine({"--ssl-port=8443", "--compression", "9", "-LaunchBrowserSSL"});
  EXPECT_EQ(L.Error, "");
  EXPECT_EQ(L.Options.SSLPort, 8443);
  EXPECT_EQ(L.Options.Compression, 9);
  EXPECT_EQ(L.Options.Switches, std::vector<std::string>{"-LaunchBrowserSSL"});
  EXPECT_EQ(KXParseCommandLine({"--compression=10"}).Error, "Invalid value for --compression: \"10\"");
  EXPECT_EQ(KXParseCommandLine({"--ssl-port=70000"}).Error, "Invalid value for --ssl-port: \"70000\"");

  THTTPSFixture F([](TKXTestController& C) { C.SSLOptions().Port = 0; });
  TKXHostOptions O;
  O.SSLPort = F.SSLPort;
  O.Compression = 2;
  TKXStandAloneServer S(nullptr, nullptr, nullptr, O);
  EXPECT_EQ(StatusOf(SkTLSRoundTrip(F.SSLPort, kScript).Answer), 200);
  ASSERT_NE(F.Scope.Controller().Compression().Compressor(), nullptr);
  EXPECT_EQ(F.Scope.Controller().Compression().Compressor()->Level(), 2);
}
