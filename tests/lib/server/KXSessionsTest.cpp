#include <gtest/gtest.h>

#include <thread>

#include "session/KXApplication.h"
#include "core/KXException.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "KXTestController.h"
#include "KXTestFormHooks.h"
#include "KXTestWebRequest.h"
#include "session/KXUserSessionBase.h"
#include "SkStrUtils.h"

namespace {

const char* const kChromeAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/534.30 (KHTML, like Gecko) Chrome/12.0.742.112 Safari/534.30";

struct RegistryTest : ::testing::Test {
  // Declared first so it outlives the sessions: they are freed through the hooks (none: stand-in forms).
  TKXSessionFormHooksScope FormHooks;
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions Registry;
  // Handlers capture test locals; the sessions left over are cleared after those are gone.
  void TearDown() override {
    C.OnCloseSession = nullptr;
    C.OnNewSession = nullptr;
  }

  // A registered, unlocked session, as between two requests.
  TKXApplication* Add(const std::string& AID = "") {
    if (!AID.empty()) C.OnGetSessionID = [AID](TKXApplication*, std::string& V) { V = AID; };
    auto* S = new TKXApplication({brChrome, brsNone}, kChromeAgent, "127.0.0.1", "", "", "", TSkStringList(), "");
    C.OnGetSessionID = nullptr;
    Registry.AddSessionAndLock(S);
    S->MarkAccess();
    S->Unlock();
    return S;
  }
};

// Whether another thread could take the session now (the lock is re-entrant for this one).
bool FreeForOthers(TKXApplication* ASession) {
  bool Free = false;
  std::thread T([&] {
    Free = ASession->TryLock();
    if (Free) ASession->Unlock();
  });
  T.join();
  return Free;
}

struct TExchange {
  TKXTestWebRequest Request;
  TKXTestWebResponse Response{Request};
  TExchange(const std::string& AMethod, const std::string& APath, const std::string& AQuery = "")
      : Request(AMethod, APath, AQuery) {
    Request.SetHeader("User-Agent", kChromeAgent);
  }
  TExchange& Run() {
    TKXServer Server;
    DispatchWebRequest(Server, Request, Response);
    return *this;
  }
};

}  // namespace

TEST_F(RegistryTest, ListIsSortedCaseInsensitiveAndRefusesDuplicates) {
  TKXSessionList List;
  auto* A = reinterpret_cast<TKXApplication*>(0x10);
  auto* B = reinterpret_cast<TKXApplication*>(0x20);
  List.Add("bbb", B);
  List.Add("AAA", A);
  try {
    List.Add("BBB", A);
    FAIL();
  } catch (const EKXSessionListException& E) {
    EXPECT_STREQ(E.what(), "Session is already in list!");
  }
  EXPECT_EQ(List.LookUp("aaa"), A);
  EXPECT_EQ(List.LookUp("BbB"), B);
  EXPECT_EQ(List.LookUp(""), nullptr);
  std::vector<TKXApplication*> All;
  List.GetObjectList(All);
  EXPECT_EQ(All, (std::vector<TKXApplication*>{A, B}));
  EXPECT_EQ(List.LookUpAndRemove("AaA"), A);
  EXPECT_FALSE(List.Exists(A));
  EXPECT_TRUE(List.Exists(B));
}

TEST_F(RegistryTest, LookupIgnoresCaseAndLocks) {
  TKXApplication* S = Add();
  TKXApplication* Found = Registry.LookupAndLock(UpperCase(S->AppID()));
  ASSERT_EQ(Found, S);
  Found->Unlock();
  EXPECT_EQ(Registry.LookupAndLock("nosuchsession"), nullptr);
  EXPECT_EQ(Registry.LookupAndLock(""), nullptr);
  EXPECT_TRUE(Registry.IsValidSession(S));
}

TEST_F(RegistryTest, AddingATakenIdIsAnInternalError) {
  Add("same");
  // A taken id can only come from the application's own id source, in another letter case here.
  C.OnGetSessionID = [](TKXApplication*, std::string& V) { V = "SAME"; };
  auto Second = std::make_unique<TKXApplication>(TKXBrowserType{brChrome, brsNone}, kChromeAgent, "", "", "", "",
                                                 TSkStringList(), "");
  try {
    Registry.AddSessionAndLock(Second.get());
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "An internal error occurred in TKXSessions.AddSession.");
  }
  EXPECT_EQ(Registry.Count(), 1);
}

TEST_F(RegistryTest, SweepExpiresIdleSessionsOnly) {
  TKXApplication* Idle = Add();
  TKXApplication* Fresh = Add();
  Idle->SetSessionTimeOut(0);
  std::vector<TKXApplication*> Closed;
  C.OnCloseSession = [&Closed](TKXApplication* S) {
    EXPECT_EQ(CurrentSession(), S);   // handlers reach their session
    Closed.push_back(S);
  };
  Registry.SweepExpired();
  EXPECT_EQ(Closed, (std::vector<TKXApplication*>{Idle}));
  EXPECT_EQ(Registry.Count(), 1);
  EXPECT_TRUE(Registry.IsValidSession(Fresh));
  EXPECT_EQ(CurrentSession(), nullptr);
}

TEST_F(RegistryTest, ExpiryThreadPassGoesThroughTheRegistry) {
  Add()->SetSessionTimeOut(0);
  TSessionTimeoutThread::RunPass();
  EXPECT_EQ(Registry.Count(), 0);
}

TEST_F(RegistryTest, TerminateAndRemove) {
  TKXApplication* A = Add();
  const std::string ID = A->AppID();
  EXPECT_TRUE(Registry.Terminate(ID));
  EXPECT_FALSE(Registry.Terminate(ID));
  TKXApplication* B = Add();
  Registry.Remove(B);
  EXPECT_FALSE(Registry.IsValidSession(B));
  delete B;
}

TEST_F(RegistryTest, ClearRunsEveryCloseAndOldIdsTimeOut) {
  std::vector<std::string> IDs;
  for (int I = 0; I < 5; ++I) IDs.push_back(Add()->AppID());
  int Closed = 0;
  C.OnCloseSession = [&Closed](TKXApplication*) {
    ++Closed;
    throw std::runtime_error("swallowed");
  };
  Registry.Clear();
  EXPECT_EQ(Closed, 5);
  EXPECT_EQ(Registry.Count(), 0);
  for (const std::string& ID : IDs) {
    SCOPED_TRACE(ID);
    TExchange X("POST", "/EXEC/3/" + ID);
    X.Run();
    EXPECT_EQ(X.Response.StatusCode(), 500);
    EXPECT_EQ(Registry.LookupAndLock(ID), nullptr);
  }
}

TEST_F(RegistryTest, BindFindsTheTaggedSessionWhoseIdSortsFirst) {
  TKXApplication* Z = Add("zzz");
  TKXApplication* A = Add("aaa");
  Add("mmm");
  Z->SetTaggedSessionName("shop");
  A->SetTaggedSessionName("SHOP");
  TKXApplication* Found = Registry.LookupByTaggedNameAndLock("Shop");
  ASSERT_EQ(Found, A);
  Found->Unlock();
  EXPECT_EQ(Registry.LookupByTaggedNameAndLock("none"), nullptr);
}

// The dispatcher's session paths over the real registry.

TEST_F(RegistryTest, StartWithoutMainFormIsDeviceNotSupportedAndLeavesNoSession) {
  int NewSessions = 0;
  C.OnNewSession = [&NewSessions](TKXApplication*, TKXBaseForm*&) { ++NewSessions; };
  TExchange X("GET", "/");
  X.Run();
  EXPECT_EQ(NewSessions, 1);
  EXPECT_NE(X.Response.SentBody().find("Device not supported"), std::string::npos) << X.Response.SentBody();
  EXPECT_EQ(Registry.Count(), 0);
  EXPECT_TRUE(C.SessionTimeoutThreadStarted());
}

TEST_F(RegistryTest, StartWithAMainFormRegistersTheSession) {
  TKXBaseForm* const Form = reinterpret_cast<TKXBaseForm*>(0x32);
  KXSessionFormHooks().CreateMainForm = [Form](TKXApplication*) { return Form; };
  KXSessionFormHooks().ShowForm = [](TKXBaseForm* F) { CurrentSession()->SetActiveForm(F); };
  TExchange X("GET", "/", "bind=tag");
  X.Run();
  ASSERT_EQ(Registry.Count(), 1);
  const std::vector<TKXApplication*>& All = Registry.LockList();
  TKXApplication* S = All[0];
  Registry.UnLockList();
  EXPECT_EQ(S->TaggedSessionName(), "tag");
  EXPECT_EQ(X.Response.Location(), "/EXEC/0/" + S->AppID());   // not an HTML 4.0 form: redirected
  EXPECT_TRUE(FreeForOthers(S));   // released at the end of the request
}

TEST_F(RegistryTest, SessionCommandsFindLockAndEndTheirSession) {
  TKXApplication* S = Add();
  std::vector<unsigned> Tracks;
  KXSessionFormHooks().IsHTML40Form = [](TKXBaseForm*) { return true; };
  KXSessionFormHooks().Execute = [&Tracks](TKXApplication* A, unsigned T, int, TSkStringList&) {
    EXPECT_EQ(CurrentSession(), A);
    EXPECT_NE(A->Request(), nullptr);
    Tracks.push_back(T);
  };
  TExchange Lower("POST", "/exec/4/" + UpperCase(S->AppID()));
  Lower.Run();
  EXPECT_EQ(Tracks, (std::vector<unsigned>{4}));
  EXPECT_EQ(S->Request(), nullptr);

  S->SetActiveForm(reinterpret_cast<TKXBaseForm*>(0x40));
  TExchange Resize("POST", "/RESIZE/0/" + S->AppID());
  Resize.Request.SetContentType("application/x-www-form-urlencoded");
  Resize.Request.SetBody("KX_width=640&KX_height=480");
  Resize.Run();
  EXPECT_EQ(S->FormWidth(), 640);
  EXPECT_EQ(S->FormHeight(), 480);

  C.SetSessionTrackingMethod(tmHidden);
  TExchange Hidden("POST", "/");
  Hidden.Request.SetContentType("application/x-www-form-urlencoded");
  Hidden.Request.SetBody("KX_SessionID_=" + S->AppID() + "&KX_TrackID_=7");
  Hidden.Run();
  EXPECT_EQ(Tracks.back(), 7u);

  C.SetSessionTrackingMethod(tmCookie);
  TExchange Cookie("POST", "/EXEC");
  Cookie.Request.AddCookie("Kexalo_" + C.AppNameNoBlanks(), S->AppID() + "_9");
  Cookie.Request.AddCookie("KX_CookieCheck_", "Enabled");
  Cookie.Run();
  EXPECT_EQ(Tracks.back(), 9u);
  C.SetSessionTrackingMethod(tmURL);

  // A handler that ends the session: released, then gone.
  KXSessionFormHooks().Execute = [](TKXApplication* A, unsigned, int, TSkStringList&) { A->Terminate(); };
  const std::string ID = S->AppID();
  TExchange End("POST", "/EXEC/5/" + ID);
  End.Run();
  EXPECT_EQ(Registry.Count(), 0);

  TKXApplication* T = Add();
  TExchange Stop("GET", "/STOP/" + T->AppID());
  Stop.Run();
  EXPECT_EQ(Registry.Count(), 0);
}

TEST_F(RegistryTest, FailedSessionCheckReleasesTheSession) {
  TKXApplication* S = Add();
  C.SetRestrictIPs(true);
  TExchange X("POST", "/EXEC/1/" + S->AppID());
  X.Request.SetRemoteAddr("10.0.0.9");
  X.Run();
  EXPECT_EQ(X.Response.StatusCode(), 500);
  EXPECT_NE(X.Response.SentBody().find("The IP you are using is different"), std::string::npos);
  EXPECT_TRUE(FreeForOthers(S));
}

TEST_F(RegistryTest, DataModulesMadeDuringARequestJoinTheSessionAndNamesResolve) {
  TKXApplication* S = Add();
  bool DestroyRan = false;
  std::thread Worker([&] {   // the main thread never attaches data modules
    TKXCurrentSessionScope Scope(S);
    auto* M = KXCreate<TKXUserSessionBase>(nullptr);
    M->SetName("UserSession");
    EXPECT_EQ(S->FormCount(), 1);
    EXPECT_EQ(KXFindSessionComponent("usersession"), M);
    M->OnDestroy = [&DestroyRan](TKXComponent*) {
      DestroyRan = true;
      throw std::runtime_error("swallowed");
    };
    delete M;
    EXPECT_EQ(S->FormCount(), 0);
  });
  Worker.join();
  EXPECT_TRUE(DestroyRan);
}
