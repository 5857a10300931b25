#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "session/KXApplication.h"
#include "KXConsole.h"
#include "KXHTTPServerModule.h"
#include "server/KXSessions.h"
#include "KXStandAloneServer.h"
#include "KXTerminalConsole.h"
#include "KXTestController.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkTestClient.h"

namespace fs = std::filesystem;

namespace {

// A controller listening on a kernel-chosen port of 127.0.0.1 unless a test says otherwise.
struct TServerFixture {
  explicit TServerFixture(std::function<void(TKXTestController&)> AStored = nullptr)
      : Scope([AStored](TKXTestController& C) {
          C.SetPort(0);
          C.SetBoundIP("127.0.0.1");
          if (AStored) AStored(C);
        }) {}
  std::unique_ptr<TKXStandAloneServer> Start() {
    auto S = std::make_unique<TKXStandAloneServer>(
        nullptr, nullptr, [this](TKXStandAloneServer*, const std::string& AMsg) { Lines.push_back(AMsg); });
    return S;
  }
  TKXTestControllerScope Scope;
  std::vector<std::string> Lines;
};

int StatusOf(const std::string& AAnswer) {
  return AAnswer.size() > 12 ? std::atoi(AAnswer.substr(9, 3).c_str()) : 0;
}

}  // namespace

TEST(KXStartURL, IsBuiltFromSchemeHostPortDeviceCommandAndParams) {
  TServerFixture F;
  auto S = F.Start();
  TKXTestController& C = F.Scope.Controller();
  const struct {
    const char* Name;
    std::function<void()> Arrange;
    bool PDA, SSL;
    std::string WAP, Expected;
  } Cases[] = {
      {"plain", [] {}, false, false, "", "http://127.0.0.1:8888/"},
      {"no BoundIP gives 127.0.0.1", [&] { C.SetBoundIP(""); }, false, false, "", "http://127.0.0.1:8888/"},
      {"http on port 80 has no port", [&] { C.SetPort(80); }, false, false, "", "http://127.0.0.1/"},
      {"https on 443 has no port", [&] { S->SetRunSSL(true); C.SSLOptions().Port = 443; }, false, false, "",
       "https://127.0.0.1/"},
      {"https on another port", [&] { C.SSLOptions().Port = 8443; }, false, true, "", "https://127.0.0.1:8443/"},
      {"first of two bound addresses", [&] { C.SetBoundIP("10.0.0.1,10.0.0.2"); }, false, false, "",
       "http://10.0.0.1:8888/"},
      {"HTML32 device", [&] { S->SetHTML32(true); }, false, false, "", "http://127.0.0.1:8888/32/"},
      {"PDA flag", [] {}, true, false, "", "http://127.0.0.1:8888/32/"},
      {"HTML32 wins over WML", [&] { S->SetHTML32(true); S->SetWML(true); }, false, false, "",
       "http://127.0.0.1:8888/32/"},
      {"WML device", [&] { S->SetWML(true); }, false, false, "", "http://127.0.0.1:8888/WML/"},
      {"XHTML MP device", [&] { S->SetXHTMLMP(true); }, false, false, "", "http://127.0.0.1:8888/XHTMLMP/"},
      {"WAP argument", [] {}, false, false, "WAP", "http://127.0.0.1:8888/WAP/"},
      {"start command", [&] { C.SetStartCmd("go"); }, false, false, "", "http://127.0.0.1:8888/go"},
      {"params", [&] { S->SetParams("a=1"); }, false, false, "", "http://127.0.0.1:8888/?a=1"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    C.SetPort(8888);
    C.SetBoundIP("127.0.0.1");
    C.SSLOptions().Port = 0;
    C.SetStartCmd("");
    S->SetRunSSL(false);
    S->SetHTML32(false);
    S->SetWML(false);
    S->SetXHTMLMP(false);
    S->SetParams("");
    Case.Arrange();
    EXPECT_EQ(S->StartURL(Case.PDA, Case.SSL, Case.WAP), Case.Expected);
  }
}

TEST(KXStandAloneServer, PortZeroIsChosenByTheSystemWrittenBackAndLogged) {
  TServerFixture F([](TKXTestController& C) { C.SetLog(loFile); });
  auto S = F.Start();
  ASSERT_TRUE(S->Initialized());
  const int Port = F.Scope.Controller().Port();
  ASSERT_GT(Port, 0);
  EXPECT_NE(std::find(F.Lines.begin(), F.Lines.end(), "HTTP Port: " + std::to_string(Port)), F.Lines.end());
  EXPECT_EQ(F.Lines.front(), "");
  EXPECT_EQ(F.Lines[1], "Pellora Version: 10.0.0");
  EXPECT_EQ(F.Lines[2].rfind("Pellora Build Date: ", 0), 0u);
  EXPECT_EQ(StatusOf(SkRoundTrip(static_cast<uint16_t>(Port), "GET /favicon.ico HTTP/1.0\r\n\r\n")), 200);

  std::string LogText;
  for (const auto& E : fs::directory_iterator(F.Scope.AppFolder()))
    if (E.path().extension() == ".log") {
      std::ifstream In(E.path());
      LogText.assign(std::istreambuf_iterator<char>(In), {});
    }
  EXPECT_NE(LogText.find("Application initialized and listening on port: \r\n"), std::string::npos) << LogText;
  EXPECT_NE(LogText.find("HTTP Port: " + std::to_string(Port) + "\r\n"), std::string::npos) << LogText;
}

TEST(KXStandAloneServer, ListensOnEveryBoundAddress) {
  TServerFixture F([](TKXTestController& C) { C.SetBoundIP("127.0.0.1, 127.0.0.2"); });
  auto S = F.Start();
  TSkHTTPWebBrokerBridge& HTTP = S->HTTPServerModule()->HTTP();
  ASSERT_EQ(HTTP.Bindings().Count(), 2);
  for (int I = 0; I < 2; ++I) {
    SCOPED_TRACE(I);
    const std::string IP = HTTP.Bindings()[I].IP();
    EXPECT_EQ(IP, I == 0 ? "127.0.0.1" : "127.0.0.2");
    EXPECT_EQ(StatusOf(SkRoundTrip(IP, HTTP.Bindings()[I].Port(), "GET /favicon.ico HTTP/1.0\r\n\r\n")), 200);
  }
  EXPECT_EQ(F.Scope.Controller().Port(), HTTP.Bindings()[0].Port());
  EXPECT_EQ(S->StartURL().rfind("http://127.0.0.1:", 0), 0u);
}

TEST(KXStandAloneServer, ABusyPortAbortsStartUpAndIsWrittenToTheErrorFile) {
  TServerFixture First;
  auto S1 = First.Start();
  const int Busy = First.Scope.Controller().Port();
  S1.reset();   // frees the hooks; the controller lives on with the fixture
  TSkCustomTCPServer Holder;
  TSkSocketHandle& B = Holder.Bindings().Add();
  B.SetIP("127.0.0.1");
  B.SetPort(static_cast<uint16_t>(Busy));
  Holder.SetActive(true);
  First.Scope.Controller().SetPort(Busy);
  EXPECT_ANY_THROW(First.Start());
  std::string Err;
  for (const auto& E : fs::directory_iterator(First.Scope.AppFolder()))
    if (E.path().extension() == ".err") {
      std::ifstream In(E.path());
      Err.assign(std::istreambuf_iterator<char>(In), {});
    }
  EXPECT_FALSE(Err.empty());
  EXPECT_EQ(TKXHTTPServerModule::Instance(), nullptr);
}

TEST(KXStandAloneServer, OnlyTheFirstOfTwoTakesTheLogHooks) {
  TServerFixture F;
  auto First = F.Start();
  TKXStandAloneServer Second;
  EXPECT_TRUE(First->Initialized());
  EXPECT_FALSE(Second.Initialized());
  EXPECT_EQ(Second.HTTPServerModule(), nullptr);
  EXPECT_EQ(TKXHTTPServerModule::Instance(), First->HTTPServerModule());
}

TEST(KXStandAloneServer, ByteTotalsLogLevelsAndOverflow) {
  TServerFixture F;
  std::vector<int32_t> Logged, Totals;
  std::vector<std::string> Lines;
  TKXStandAloneServer S([&](TKXStandAloneServer*, int32_t T) { Totals.push_back(T); },
                        [&](TKXStandAloneServer*, int32_t B) { Logged.push_back(B); },
                        [&](TKXStandAloneServer*, const std::string& M) { Lines.push_back(M); });
  Lines.clear();
  S.LogBytes(100);
  S.Log("detail", true);
  S.Log("always");
  EXPECT_TRUE(Logged.empty()) << "byte lines only with the debug log";
  EXPECT_EQ(Lines, std::vector<std::string>{"always"});
  S.SetDebugLog(true);
  S.LogBytes(INT32_MAX - 50);   // 100 + that overflows: the total restarts at this count
  S.Log("detail", true);
  EXPECT_EQ(Logged, std::vector<int32_t>{INT32_MAX - 50});
  EXPECT_EQ(Totals, (std::vector<int32_t>{100, INT32_MAX - 50}));
  EXPECT_EQ(Lines.back(), "detail");
  S.ClearSessions();
  EXPECT_EQ(S.TotalBytes(), 0);
}

TEST(KXStandAloneServer, DispatcherLogLinesArriveThroughTheQueue) {
  TServerFixture F;
  auto S = F.Start();
  S->SetDebugLog(true);
  F.Lines.clear();
  const uint16_t Port = static_cast<uint16_t>(F.Scope.Controller().Port());
  SkRoundTrip(Port, "GET /favicon.ico HTTP/1.0\r\n\r\n");
  SkRoundTrip(Port, "GET /nothing-here HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(F.Lines.empty()) << "request threads only post";
  S->Notifications().Drain();
  EXPECT_FALSE(F.Lines.empty()) << "the dispatcher's lines run on the draining thread";
}

TEST(KXCommandLine, SwitchesAndLimits) {
  const struct {
    const char* Name;
    std::vector<std::string> Args;
    std::function<void(const TKXCommandLine&)> Check;
  } Cases[] = {
      {"defaults", {},
       [](const TKXCommandLine& L) {
         EXPECT_FALSE(L.Headless);
         EXPECT_EQ(L.Options.Port, -1);
         EXPECT_EQ(L.Options.Limits.ReadTimeOutMs, 30000);
         EXPECT_EQ(L.Options.Limits.MaxHeaderSize, 65536);
         EXPECT_EQ(L.Options.Limits.MaxBodySize, 64 * 1024 * 1024);
         EXPECT_EQ(L.Options.Limits.MaxConnections, 1024);
         EXPECT_EQ(L.Options.UploadQuota, 1024LL * 1024 * 1024);
       }},
      {"every option", {"--headless", "--port=0", "--read-timeout", "5000", "--max-header-size=1000",
                        "--max-body-size=2000", "--max-connections=3", "--upload-quota=0", "-LaunchBrowser"},
       [](const TKXCommandLine& L) {
         EXPECT_TRUE(L.Headless);
         EXPECT_EQ(L.Options.Port, 0);
         EXPECT_EQ(L.Options.Limits.ReadTimeOutMs, 5000);
         EXPECT_EQ(L.Options.Limits.MaxHeaderSize, 1000);
         EXPECT_EQ(L.Options.Limits.MaxBodySize, 2000);
         EXPECT_EQ(L.Options.Limits.MaxConnections, 3);
         EXPECT_EQ(L.Options.UploadQuota, 0);
         EXPECT_EQ(L.Options.Switches, std::vector<std::string>{"-LaunchBrowser"});
         EXPECT_TRUE(L.Error.empty());
       }},
      {"port out of range", {"--port=70000"}, [](const TKXCommandLine& L) { EXPECT_FALSE(L.Error.empty()); }},
      {"missing value", {"--max-body-size"}, [](const TKXCommandLine& L) { EXPECT_FALSE(L.Error.empty()); }},
      {"not a number", {"--read-timeout=soon"}, [](const TKXCommandLine& L) { EXPECT_FALSE(L.Error.empty()); }},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Case.Check(KXParseCommandLine(Case.Args));
  }
}

TEST(KXConsole, ByteLinesUseDigitGrouping) {
  const struct {
    int64_t Bytes;
    const char* Text;
  } Cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1048576, "1,048,576"}, {2147483647, "2,147,483,647"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Bytes);
    EXPECT_EQ(TKXConsole::FormatBytes(Case.Bytes), Case.Text);
  }
  TKXConsole C;
  C.LogBytes(0);
  C.Log("");
  EXPECT_TRUE(C.LogLines().empty());
  C.LogBytes(1234);
  ASSERT_EQ(C.LogLines().size(), 1u);
  EXPECT_EQ(C.LogLines()[0], " Bytes: 1,234");
}

TEST(KXStandAloneServer, CountsSessionsAndEndsThemAllWhenItStops) {
  TServerFixture F;
  int Closed = 0, NewEvents = 0, CloseEvents = 0;
  F.Scope.Controller().OnCloseSession = [&](TKXApplication*) { ++Closed; };
  {
    auto S = F.Start();
    S->OnNewSession = [&](TKXStandAloneServer*) { ++NewEvents; };
    S->OnCloseSession = [&](TKXStandAloneServer*) { ++CloseEvents; };
    for (int I = 0; I < 3; ++I)
      S->Sessions().AddSessionAndLock(std::make_unique<TKXApplication>(
          F.Scope.Controller(), TKXBrowserType{brChrome, brsNone}, "Mozilla/5.0 Chrome/120.0", "127.0.0.1", "", "", "", TSkStringList(), ""));
    EXPECT_EQ(S->ActiveSessions(), 3);
    EXPECT_EQ(NewEvents, 3);
    std::vector<int32_t> Counts;
    S->OnSessionCountChanged = [&](TKXStandAloneServer*, int32_t N) { Counts.push_back(N); };
    S->Notifications().Drain();
    EXPECT_EQ(Counts, std::vector<int32_t>{3}) << "one notification carries the count as it is when it runs";
  }
  EXPECT_EQ(Closed, 3) << "every session ended, with its OnCloseSession, before the controller";
  EXPECT_EQ(CloseEvents, 3);
  F.Scope.Controller().OnCloseSession = nullptr;
}
