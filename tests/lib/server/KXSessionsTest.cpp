#include <gtest/gtest.h>

#include <thread>

#include "session/KXApplication.h"
#include "core/KXException.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "KXTestController.h"
#include "KXTestWebRequest.h"
#include "KXTestForms.h"
#include "session/KXUserSessionBase.h"
#include "SkStrUtils.h"

namespace {

const char* const kChromeAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/534.30 (KHTML, like Gecko) Chrome/12.0.742.112 Safari/534.30";

struct RegistryTest : ::testing::Test {
  // Declared first so it outlives the sessions: they are freed through the hooks (none: stand-in forms).
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions& Registry = Scope.Sessions();
  // Handlers capture test locals; the sessions left over are cleared after those are gone.
  void TearDown() override {
    C.OnCloseSession = nullptr;
    C.OnNewSession = nullptr;
  }

  static std::unique_ptr<TKXApplication> Make() {
    return std::make_unique<TKXApplication>(TKXTestControllerScope::Current().Controller(), TKXBrowserType{brChrome, brsNone}, kChromeAgent, "127.0.0.1", "", "", "",
                                            TSkStringList(), "");
  }
  // A registered, unlocked session, as between two requests (the registry keeps it alive).
  TKXApplication* Add(const std::string& AID = "") {
    if (!AID.empty()) C.OnGetSessionID = [AID](TKXApplication*, std::string& V) { V = AID; };
    TKXSessionHandle Held = Registry.AddSessionAndLock(Make());
    C.OnGetSessionID = nullptr;
    return Held.Get();
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
    TKXTestControllerScope::Current().Dispatch(Request, Response);
    return *this;
  }
};

}  // namespace

TEST_F(RegistryTest, ListIsSortedCaseInsensitiveAndRefusesDuplicates) {
  TKXSessionList List;
  const TKXSessionRef A = Make(), B = Make();
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
  std::vector<TKXSessionRef> All;
  List.GetObjectList(All);
  EXPECT_EQ(All, (std::vector<TKXSessionRef>{A, B}));
  EXPECT_EQ(List.LookUpAndRemove("AaA"), A);
  EXPECT_FALSE(List.Exists(A.get()));
  EXPECT_TRUE(List.Exists(B.get()));
}

TEST_F(RegistryTest, LookupIgnoresCaseAndLocks) {
  TKXApplication* S = Add();
  {
    TKXSessionHandle Found = Registry.LookupAndLock(UpperCase(S->AppID()));
    ASSERT_EQ(Found.Get(), S);
    EXPECT_EQ(CurrentSession(), S);
    EXPECT_FALSE(FreeForOthers(S));
  }
  EXPECT_TRUE(FreeForOthers(S));
  EXPECT_EQ(CurrentSession(), nullptr);
  EXPECT_FALSE(Registry.LookupAndLock("nosuchsession"));
  EXPECT_FALSE(Registry.LookupAndLock(""));
  EXPECT_TRUE(Registry.IsValidSession(S));
}

TEST_F(RegistryTest, AddingATakenIdIsAnInternalError) {
  Add("same");
  // A taken id can only come from the application's own id source, in another letter case here.
  C.OnGetSessionID = [](TKXApplication*, std::string& V) { V = "SAME"; };
  try {
    Registry.AddSessionAndLock(Make());
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

TEST_F(RegistryTest, TerminateAndRemove) {
  TKXApplication* A = Add();
  const std::string ID = A->AppID();
  EXPECT_TRUE(Registry.Terminate(ID));
  EXPECT_FALSE(Registry.Terminate(ID));
  TKXApplication* B = Add();
  TKXSessionHandle Held = Registry.LookupAndLock(B->AppID());
  Registry.Discard(Held);
  EXPECT_FALSE(Held);
  EXPECT_FALSE(Registry.IsValidSession(B));
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
    EXPECT_FALSE(Registry.LookupAndLock(ID));
  }
}

TEST_F(RegistryTest, BindFindsTheTaggedSessionWhoseIdSortsFirst) {
  TKXApplication* Z = Add("zzz");
  TKXApplication* A = Add("aaa");
  Add("mmm");
  Z->SetTaggedSessionName("shop");
  A->SetTaggedSessionName("SHOP");
  EXPECT_EQ(Registry.LookupByTaggedNameAndLock("Shop").Get(), A);
  EXPECT_FALSE(Registry.LookupByTaggedNameAndLock("none"));
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
  EXPECT_TRUE(Registry.ExpiryThreadStarted());
}

TEST_F(RegistryTest, StartWithAMainFormRegistersTheSession) {
  TKXMainFormScope<TKXCountingForm> Main;
  TExchange X("GET", "/", "bind=tag");
  X.Run();
  ASSERT_EQ(Registry.Count(), 1);
  TKXApplication* S = Registry.Snapshot()[0].get();
  EXPECT_EQ(S->TaggedSessionName(), "tag");
  EXPECT_NE(X.Response.SentBody().find("action=\"/EXEC/0/" + S->AppID() + "\""), std::string::npos);   // the size probe
  EXPECT_TRUE(FreeForOthers(S));   // released at the end of the request
}

TEST_F(RegistryTest, SessionCommandsFindLockAndEndTheirSession) {
  TKXMainFormScope<TKXCountingForm> Main;
  TExchange Start("GET", "/");
  Start.Run();
  TKXApplication* S = Registry.Snapshot()[0].get();
  auto Post = [](const std::string& APath, const std::string& ABody) {
    TExchange X("POST", APath);
    X.Request.SetContentType("application/x-www-form-urlencoded");
    X.Request.SetBody(ABody);
    X.Run();
    return X.Response.StatusCode();
  };
  EXPECT_EQ(Post("/exec/0/" + UpperCase(S->AppID()), "KX_width=640&KX_height=480"), 200);
  EXPECT_EQ(TKXCountingForm::Executed, 1);
  EXPECT_EQ(S->TrackID(), 1u);
  EXPECT_EQ(S->FormWidth(), 640);
  EXPECT_EQ(S->Request(), nullptr);

  EXPECT_EQ(Post("/RESIZE/0/" + S->AppID(), "KX_width=320&KX_height=200"), 200);
  EXPECT_EQ(S->FormHeight(), 200);

  C.SetSessionTrackingMethod(tmHidden);
  Post("/", "KX_SessionID_=" + S->AppID() + "&KX_TrackID_=1");
  EXPECT_EQ(TKXCountingForm::Executed, 2);

  C.SetSessionTrackingMethod(tmCookie);
  TExchange Cookie("POST", "/EXEC");
  Cookie.Request.AddCookie("Kexalo_" + C.AppNameNoBlanks(), S->AppID() + "_2");
  Cookie.Request.AddCookie("KX_CookieCheck_", "Enabled");
  Cookie.Run();
  EXPECT_EQ(TKXCountingForm::Executed, 3);
  C.SetSessionTrackingMethod(tmURL);

  // A handler that ends the session: released, then gone.
  TKXCountingForm::EndSession = true;
  Post("/EXEC/3/" + S->AppID(), "");
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
  {
    TKXCurrentSessionScope Scope(S);
    auto* M = KXCreate<TKXUserSessionBase>(nullptr);
    M->SetName("UserSession");
    EXPECT_EQ(S->FormCount(), 1);
    EXPECT_EQ(S->FindSessionComponent("usersession"), M);
    M->OnDestroy = [&DestroyRan](TKXComponent*) {
      DestroyRan = true;
      throw std::runtime_error("swallowed");
    };
    delete M;
    EXPECT_EQ(S->FormCount(), 0);
  }
  EXPECT_TRUE(DestroyRan);
  auto* Outside = KXCreate<TKXUserSessionBase>(nullptr);   // no current session: nobody's
  EXPECT_EQ(S->FormCount(), 0);
  delete Outside;
}
