#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "session/KXApplication.h"
#include "core/KXException.h"
#include "server/KXSessions.h"
#include "KXTestController.h"
#include "KXTestWebRequest.h"
#include "SkStream.h"
#include "SkStrUtils.h"

namespace fs = std::filesystem;

namespace {

const TKXBrowserType kChrome{brChrome, brsNone};

struct SessionTest : ::testing::Test {
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();

  std::unique_ptr<TKXApplication> New(TKXBrowserType ABrowser = kChrome, const std::string& AIP = "10.1.2.3") {
    return std::make_unique<TKXApplication>(C, ABrowser, "agent", AIP, "", "", "", TSkStringList(), "");
  }
};

// A stand-in form that records the script it is given; the session sees only its interface.
struct TStubForm : IKXSessionForm {
  bool HTML40 = true, HTML32 = false;
  std::vector<std::string> Init, NewWindow;
  std::vector<std::pair<int, int>> Resized;
  TKXBaseForm* FormObject() override { return nullptr; }
  bool IsHTML40Form() const override { return HTML40; }
  bool IsHTML32Form() const override { return HTML32; }
  bool BrowserSecurityCheck() const override { return true; }
  bool PartialUpdateMode() const override { return false; }
  void ResizeTo(int W, int H) override { Resized.emplace_back(W, H); }
  void AddToInitProc(const std::string& S) override { Init.push_back(S); }
  void AddNewWindowCode(const std::string& S, bool AUpdate) override { NewWindow.push_back((AUpdate ? "update:" : "") + S); }
  void Free() override {}
};

struct TStubFactory : IKXFormFactory {
  std::vector<std::string> Messages;
  IKXSessionForm* CreateMainForm(TKXApplication&) override { return nullptr; }
  void ShowMessageForm(TKXApplication&, const std::string& M, const std::string& T, TKXShowMessageType) override {
    Messages.push_back(M + "|" + T);
  }
};

}  // namespace

TEST_F(SessionTest, IdsAreTwentyEightLowerCaseBase36CharactersAndNeverRepeat) {
  std::set<std::string> Seen;
  for (int I = 0; I < 2000; ++I) {
    const std::string ID = TKXApplication::NewSessionID();
    ASSERT_EQ(ID.size(), 28u) << ID;
    for (char Ch : ID) ASSERT_TRUE((Ch >= '0' && Ch <= '9') || (Ch >= 'a' && Ch <= 'z')) << ID;
    ASSERT_TRUE(Seen.insert(ID).second) << "repeated " << ID;
  }
  // Created back to back, well inside one millisecond.
  auto A = New();
  auto B = New();
  EXPECT_NE(A->AppID(), B->AppID());
  EXPECT_EQ(A->TaggedSessionName(), A->AppID());
  EXPECT_FALSE(fs::exists(C.GetCacheDir() + "user/" + A->AppID()));   // made on first use only
  EXPECT_TRUE(fs::is_directory(A->UserCacheDir()));
  EXPECT_EQ(A->UserCacheDir(), C.GetCacheDir() + "user/" + A->AppID() + "/");
}

TEST_F(SessionTest, ApplicationSuppliedIdWins) {
  C.OnGetSessionID = [](TKXApplication*, std::string& V) { V = "MyOwnId"; };
  EXPECT_EQ(New()->AppID(), "MyOwnId");
}

TEST_F(SessionTest, ClientTypeFollowsTheBrowserKind) {
  C.SetUnknownBrowserAction(ub32);   // admits the kinds outside SupportedBrowsers
  const struct {
    TKXBrowser Browser;
    TKXClientType Type;
  } Cases[] = {
      {brIE, ctHTML40},       {brGecko, ctHTML40},     {brOpera, ctHTML40},      {brSafari, ctHTML40},
      {brChrome, ctHTML40},   {brIE4, ctHTML32},       {brNetscape6, ctHTML32},  {brNetscape4, ctHTML32},
      {brOther, ctHTML32},    {brHTML32Test, ctHTML32}, {brWMLTest, ctWAP},      {brXHTMLMPTest, ctWAP},
      {brWAP, ctWAP},         {brNetscape7, ctUnknown},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Browser);
    EXPECT_EQ(TKXApplication::ClientTypeOfBrowser(Case.Browser, C), Case.Type);
  }
  C.Browser32Behaviour().IExplorer4As32 = false;
  C.Browser32Behaviour().Netscape6As32 = false;
  EXPECT_EQ(TKXApplication::ClientTypeOfBrowser(brIE4, C), ctHTML40);
  EXPECT_EQ(TKXApplication::ClientTypeOfBrowser(brNetscape6, C), ctHTML40);
}

TEST_F(SessionTest, UnknownBrowserActionDecidesForUnknownAndUnsupportedBrowsers) {
  TKXBrowsers NoSafari = kKXDefaultSupportedBrowsers;
  NoSafari.Remove(brSafari);
  C.SetSupportedBrowsers(NoSafari);
  const struct {
    const char* Name;
    TKXUnknownBrowserAction Action;
    TKXBrowser Browser;
    TKXClientType Type;   // ctUnknown: refused
  } Cases[] = {
      {"unknown, ub32", ub32, brUnknown, ctHTML32},
      {"unknown, ubWAP", ubWAP, brUnknown, ctWAP},
      {"unknown, ub40", ub40, brUnknown, ctUnknown},   // then fails the browser check
      {"unknown, reject", ubReject, brUnknown, ctUnknown},
      {"unsupported, ub32", ub32, brSafari, ctHTML32},
      {"unsupported, ubWAP", ubWAP, brSafari, ctWAP},
      {"unsupported, ub40", ub40, brSafari, ctUnknown},
      {"unsupported, reject", ubReject, brSafari, ctUnknown},
      {"supported, reject", ubReject, brChrome, ctHTML40},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    C.SetUnknownBrowserAction(Case.Action);
    if (Case.Type == ctUnknown) {
      EXPECT_THROW(New({Case.Browser, brsNone}), EUnknownBrowserException);
    } else {
      EXPECT_EQ(New({Case.Browser, brsNone})->ClientType(), Case.Type);
    }
  }
  C.SetUnknownBrowserAction(ubReject);
  try {
    New({brUnknown, brsNone});
    FAIL();
  } catch (const EUnknownBrowserException& E) {
    EXPECT_STREQ(E.what(), "Unknown browser type.");
  }
  C.SetUnknownBrowserAction(ub40);
  try {
    New({brSafari, brsNone});
    FAIL();
  } catch (const EUnknownBrowserException& E) {
    EXPECT_TRUE(StartsText("Your browser was detected as Safari, identifying itself as agent.", E.what())) << E.what();
    EXPECT_TRUE(E.SupportsJS());
  }
}

TEST_F(SessionTest, SubnetMaskComesFromTheFirstOctet) {
  const struct {
    const char* Start;
    const char* Other;
    int Expect;   // 1 same, 0 different, -1 refused (subnet exception), -2 range error
  } Cases[] = {
      {"10.1.2.3", "10.200.7.7", 1},        {"10.1.2.3", "11.1.2.3", 0},
      {"124.0.0.1", "124.9.9.9", 1},        {"127.0.0.1", "127.0.0.2", 0},
      {"127.0.0.1", "127.0.0.1", 1},        {"128.5.1.1", "128.5.200.3", 1},
      {"191.5.1.1", "191.6.1.1", 0},        {"192.168.1.10", "192.168.1.99", 1},
      {"223.1.1.1", "223.1.2.1", 0},        {"125.1.1.1", "125.1.1.2", -1},
      {"126.1.1.1", "10.1.1.1", -1},        {"10.1.1.1", "0.1.1.1", -1},
      {"224.0.0.1", "224.0.0.2", -1},       {"0.1.2.3", "0.1.2.3", 1},
      {"10.1.2.3", "300.1.2.3", -2},        {"10.1.2.3", "::1", -1},
      {"::1", "::1", 1},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Start) + " / " + Case.Other);
    auto S = New(kChrome, Case.Start);
    switch (Case.Expect) {
      case 1: EXPECT_TRUE(S->SameSubnetAsStartupIP(Case.Other)); break;
      case 0: EXPECT_FALSE(S->SameSubnetAsStartupIP(Case.Other)); break;
      case -1: EXPECT_THROW(S->SameSubnetAsStartupIP(Case.Other), EKXWrongSubnet); break;
      default: EXPECT_THROW(S->SameSubnetAsStartupIP(Case.Other), ERangeError);
    }
  }
}

TEST_F(SessionTest, AddressAndBrowserChecksGiveTheSecurityMessages) {
  auto S = New(kChrome, "10.1.2.3");
  EXPECT_NO_THROW(S->CheckAddressAndBrowser("10.9.9.9", brChrome));
  C.SetRestrictIPs(true);
  try {
    S->CheckAddressAndBrowser("10.9.9.9", brChrome);
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Security Exception: The IP you are using is different than the one that is assigned to "
                           "the specified session.");
  }
  C.SetRestrictIPs(false);
  C.SetRestrictSubnet(true);
  EXPECT_NO_THROW(S->CheckAddressAndBrowser("10.9.9.9", brChrome));
  for (const char* Other : {"11.1.2.3", "225.1.1.1"}) {
    SCOPED_TRACE(Other);
    try {
      S->CheckAddressAndBrowser(Other, brChrome);
      FAIL();
    } catch (const EKXException& E) {
      EXPECT_EQ(typeid(E), typeid(EKXException));   // the check's own class is not kept
      EXPECT_STREQ(E.what(), "Security Exception: The IP you are using is from a different subnet than the one that "
                             "is assigned to the specified session.");
    }
  }
  C.SetRestrictSubnet(false);
  try {
    S->CheckAddressAndBrowser("10.1.2.3", brGecko);
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Security Exception: The browser you are using is different than the one that is "
                           "assigned to the specified session.");
  }
  auto Test = New({brHTML32Test, brsNone});
  EXPECT_NO_THROW(Test->CheckAddressAndBrowser("10.1.2.3", brGecko));
}

TEST_F(SessionTest, NewWindowFeatureStrings) {
  TStubForm Form;
  std::vector<std::string>& NewWindow = Form.NewWindow;
  auto S = New();
  S->SetActiveForm(&Form);
  S->NewWindow("http://x/");
  S->NewWindow("http://x/", "", -1, -1, TKXWindowOptions{woScrollBars}, -1, -1);
  S->NewWindow("u", "w", 200, 100, TKXWindowOptions{woButtons, woFullScreen}, 5, 6);
  ASSERT_EQ(NewWindow.size(), 3u);
  EXPECT_EQ(NewWindow[0], "xNewWindow = window.open(\"http://x/\",\"\",\",,,,\");if (window.focus) {xNewWindow.focus()};");
  EXPECT_EQ(NewWindow[1],
            "xNewWindow = window.open(\"http://x/\",\"\",\",,,,,scrollbars=yes\");if (window.focus) {xNewWindow.focus()};");
  EXPECT_EQ(NewWindow[2], "xNewWindow = window.open(\"u\",\"w\",\"height=100,width=200,,top=5,left=6,"
                          "directories=yes,fullscreen=yes\");if (window.focus) {xNewWindow.focus()};");
  S->SetIsPartialUpdate(true);
  S->NewWindow("p");
  EXPECT_EQ(NewWindow[3], "update:KXTop().xNewWindow = window.open(\"p\",\"\",\",,,,\");if (window.focus) "
                          "{KXTop().xNewWindow.focus()};");
}

TEST_F(SessionTest, ShowMessageModes) {
  TStubForm Form40, Form32;
  Form32.HTML40 = false;
  Form32.HTML32 = true;
  TStubFactory Factory;
  std::vector<std::string>& Messages = Factory.Messages;
  auto S = New();
  S->SetFormFactory(&Factory);
  S->ShowMessage("no form");   // no active form: same window
  S->SetActiveForm(&Form40);
  S->ShowMessage("It's \"x\"\r\n");
  S->ShowMessage("a\r\nb", smNewWindow);
  S->ShowMessage("framed", smSameWindowFrame, "Mine.html");
  S->SetActiveForm(&Form32);
  S->ShowMessage("old form", smNewWindow);
  ASSERT_EQ(Form40.Init.size(), 1u);
  EXPECT_EQ(Form40.Init[0], "window.alert(\"It\\'s \\\"x\\\"\\n\");\r\n");
  ASSERT_EQ(Form40.NewWindow.size(), 1u);
  EXPECT_NE(Form40.NewWindow[0].find("msgWindow.document.write('<CENTER>a<br>b</CENTER>')\r\n"), std::string::npos);
  EXPECT_TRUE(StartsText("msgWindow=window.open(\"\",\"ShowMessage\",\"menubar=no,", Form40.NewWindow[0]));
  EXPECT_EQ(Messages, (std::vector<std::string>{"no form|KXShowMessage.html", "framed|Mine.html",
                                                "old form|KXShowMessage.html"}));
  auto Old = New({brNetscape4, brsNone});
  Old->SetFormFactory(&Factory);
  Old->SetActiveForm(&Form40);
  Old->ShowMessage("html 3.2 client", smNewWindow);
  EXPECT_EQ(Messages.back(), "html 3.2 client|KXShowMessage.html");
}

TEST_F(SessionTest, ActiveFormStackAndReleasedForms) {
  TStubForm Form40, Form32;
  Form32.HTML40 = false;
  auto S = New();
  S->SetActiveForm(&Form40);
  S->SetActiveForm(&Form40);
  EXPECT_EQ(S->ActiveFormCount(), 1);
  EXPECT_TRUE(Form40.Resized.empty());   // no size reported yet
  S->SetFormSize(800, 600);
  S->SetActiveForm(&Form32);
  S->SetActiveForm(&Form40);
  EXPECT_EQ(S->ActiveFormCount(), 3);
  EXPECT_EQ(Form40.Resized, (std::vector<std::pair<int, int>>{{800, 600}}));
  EXPECT_TRUE(Form32.Resized.empty());   // not an HTML 4.0 form
  S->RemoveForm(&Form40);
  EXPECT_EQ(S->ActiveSessionForm(), &Form32);
  S->ReleaseForm(&Form32);
  S->ReleaseForm(&Form32);
  EXPECT_EQ(S->ReleasedForms().size(), 1u);
  S->FormDestroyed(&Form32);
  EXPECT_TRUE(S->ReleasedForms().empty());
  EXPECT_EQ(S->ActiveFormCount(), 0);
}

TEST_F(SessionTest, TerminateAndRedirect) {
  auto S = New();
  S->Terminate("");
  EXPECT_TRUE(S->Terminated());
  EXPECT_EQ(S->TerminateMessage(), "Application has terminated");
  auto R = New();
  R->TerminateAndRedirect("http://away/");
  EXPECT_EQ(R->RedirectURL(), "http://away/");
  EXPECT_EQ(R->TerminateMessage(), "");
}

TEST_F(SessionTest, UrlsAndSendStream) {
  C.SSLOptions().Port = 8443;
  auto S = New();
  TKXTestWebRequest Request("GET", "/");
  Request.SetHeader("Host", "example.org");
  TKXTestWebResponse Response(Request);
  S->Initialize(&Request, &Response);
  EXPECT_EQ(S->ExecAction(), "/EXEC/0/" + S->AppID());
  EXPECT_EQ(S->ApplicationURL(), "http://example.org:8888");
  EXPECT_FALSE(S->SecureMode());
  S->SwitchToSecure();
  EXPECT_EQ(S->RedirectURL(), "https://example.org:8443/EXEC/0/" + S->AppID());
  Request.SetServerPort(8443);
  EXPECT_EQ(TKXApplication::FullApplicationURL(&Request, 8443), "https://example.org:8443");
  EXPECT_TRUE(S->SecureMode());

  S->SendStream(std::make_unique<TSkMemoryStream>("bytes"), true, " ", "a b.txt");
  EXPECT_EQ(Response.ContentType(), "application/unknown");
  EXPECT_EQ(Response.GetCustomHeader("Content-Disposition"), "attachment;filename=\"a b.txt\"");
  EXPECT_TRUE(EndsText("+0000", Response.GetCustomHeader("Expires")));
  S->UnInitialize();
  EXPECT_EQ(S->Request(), nullptr);
  C.SetSessionTrackingMethod(tmCookie);
  EXPECT_EQ(S->ExecAction(), "/EXEC");
}

TEST_F(SessionTest, DestructionRaisesCloseEventsAndCleansTheCacheFolder) {
  TKXSessions& Registry = Scope.Sessions();
  std::vector<std::string> Events;
  C.OnCloseSession = [&Events](TKXApplication*) {
    Events.push_back("close");
    throw std::runtime_error("handler failure is swallowed");
  };
  Registry.OnCreateSession = [&Events](TKXApplication*) { Events.push_back("create"); };
  Registry.OnDestroySession = [&Events](TKXApplication*) { Events.push_back("destroy"); };
  std::string Folder, ID;
  {
    TKXSessionHandle S = Registry.AddSessionAndLock(New());
    Folder = S->UserCacheDir();
    ID = S->AppID();
  }
  std::ofstream(Folder + "CSS1234.tmp") << "x";
  EXPECT_TRUE(Registry.Terminate(ID));
  EXPECT_EQ(Events, (std::vector<std::string>{"create", "close", "destroy"}));
  EXPECT_FALSE(fs::exists(Folder));
  Events.clear();
  New().reset();   // never in the registry: its close event only
  EXPECT_EQ(Events, (std::vector<std::string>{"close"}));
}
