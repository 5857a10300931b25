#include "server/KXSessions.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "session/KXApplication.h"
#include "core/KXDescriptionReader.h"
#include "core/KXVCLDataModule.h"
#include "core/KXException.h"
#include "core/KXLog.h"
#include "server/KXServerControllerBase.h"
#include "server/KXSessionDispatch.h"
#include "SkStrUtils.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

namespace {

const char* const kAlreadyInList = "Session is already in list!";
const char* const kAddSessionFailed = "An internal error occurred in TKXSessions.AddSession.";
constexpr auto kBusyRetry = std::chrono::milliseconds(10);

std::atomic<TKXSessions*> GRegistry{nullptr};
// Held while the registry comes or goes and while the expiry thread collects or destroys, so
// that a pass never runs against a registry being torn down.
std::mutex GRegistryLifeLock;

TKXSessions* RegistryOrNone() { return GRegistry.load(std::memory_order_acquire); }

// What the dispatcher asks of sessions, answered by the registry and the session objects.
class TKXRegistryDispatch : public IKXSessionDispatch {
public:
  explicit TKXRegistryDispatch(TKXSessions& ARegistry) : FRegistry(ARegistry) {}

  TKXApplication* LookupAndLock(const std::string& ASessionID) override { return FRegistry.LookupAndLock(ASessionID, 0); }
  TKXApplication* LookupByTaggedNameAndLock(const std::string& ATaggedName) override {
    return FRegistry.LookupByTaggedNameAndLock(ATaggedName);
  }
  void CheckSession(TKXApplication* ASession, const std::string& AClientIP, const std::string& AUserAgent) override {
    ASession->CheckAddressAndBrowser(AClientIP, DetermineBrowser(AUserAgent).Browser);
  }
  void Release(TKXApplication* ASession) override {
    ASession->MarkAccess();
    ASession->Unlock();
  }
  TKXApplication* Start(const TKXStartRequest& AStart, std::string& AStartURL) override;
  void Discard(TKXApplication* ASession) override {
    FRegistry.Remove(ASession);
    ASession->Unlock();
    if (CurrentSession() == ASession) SetCurrentSession(nullptr);
    TKXSessions::DestroySession(ASession);
  }
  bool Terminate(const std::string& ASessionID) override { return FRegistry.Terminate(ASessionID); }
  const std::string& SessionID(TKXApplication* ASession) override { return ASession->AppID(); }
  const std::string& SessionAuthUser(TKXApplication* ASession) override { return ASession->AuthUser(); }
  const std::string& SessionAuthPassword(TKXApplication* ASession) override { return ASession->AuthPassword(); }
  int SessionTimeout(TKXApplication* ASession) override { return ASession->SessionTimeOut(); }
  std::string SessionURLBase(TKXApplication* ASession) override { return ASession->AppURLBase(); }
  unsigned SessionTrackID(TKXApplication* ASession) override { return ASession->TrackID(); }
  bool HasHTML40ActiveForm(TKXApplication* ASession) override {
    const TKXSessionFormHooks& H = KXSessionFormHooks();
    return ASession->ActiveForm() && H.IsHTML40Form && H.IsHTML40Form(ASession->ActiveForm());
  }
  void Exec(TKXApplication*& ASession, unsigned ATrackID, int ACommand, TWebRequest* ARequest, TWebResponse* AResponse,
            const std::string& AClientIP, TSkStringList& AParams) override;
  void ApplyWindowSize(TKXApplication* ASession, TWebRequest* ARequest, TWebResponse* AResponse,
                       TSkStringList& AParams, bool AReply) override;
  void RemoveRunParams(TKXApplication* ASession, TSkStringList& AParams) override {
    const TSkStringList& Run = ASession->RunParams();
    for (int I = 0; I < Run.Count(); ++I) {
      const int At = AParams.IndexOfName(Run.Names(I));
      if (At >= 0) AParams.Delete(At);
    }
  }

private:
  static void Bind(TKXApplication* ASession, TWebRequest* ARequest, TWebResponse* AResponse) {
    SetCurrentSession(ASession);
    ASession->SetFileList(ARequest ? &ARequest->Files() : nullptr);
    ASession->Initialize(ARequest, AResponse);
  }

  TKXSessions& FRegistry;
};

TKXApplication* TKXRegistryDispatch::Start(const TKXStartRequest& AStart, std::string& AStartURL) {
  TKXServerControllerBase* C = GServerController();
  if (!C) throw EKXException("No server controller has been created.");
  TWebRequest* Request = AStart.Request;
  const TKXBrowserType Browser = DetermineBrowser(AStart.BrowserText);
  TSkStringList Params;
  std::string ScriptName, Referer, Bind;
  if (Request) {
    Params = Request->QueryFields();
    ScriptName = Request->ScriptName();
    Referer = Request->Referer();
    Bind = Request->QueryFields().Values("bind");
  }
  auto* Session = new TKXApplication(Browser, AStart.BrowserText, AStart.ClientIP, AStart.AuthUser,
                                     AStart.AuthPassword, Referer, Params, ScriptName);
  if (!Bind.empty()) Session->SetTaggedSessionName(Bind);
  try {
    this->Bind(Session, Request, AStart.Response);
    const std::string Base = ScriptName.find(Session->AppURLBase()) != std::string::npos ? std::string()
                                                                                          : Session->AppURLBase();
    AStartURL = Base + ScriptName + "/" + C->ExecCmd();
    switch (C->SessionTrackingMethod()) {
      case tmURL:
      case tmHidden:
        AStartURL += "/0/" + Session->AppID();
        break;
      case tmCookie:
        break;
      default:
        throw EKXException("Unknown session tracking method");
    }
    FRegistry.AddSessionAndLock(Session);
  } catch (...) {
    SetCurrentSession(nullptr);
    TKXSessions::DestroySession(Session);
    throw;
  }
  // Registered and locked from here: a failure must take it out again, or every refused start
  // would leave a locked session behind until the server stops.
  try {
    TKXBaseForm* MainForm = nullptr;
    C->DoNewSession(Session, MainForm);
    const TKXSessionFormHooks& H = KXSessionFormHooks();
    if (MainForm) {
      if (!H.IsApplicationForm || !H.IsApplicationForm(MainForm)) throw EKXException("Form must be an application form.");
    } else {
      const TKXClientType Client = Session->ClientType();
      if (Client != ctHTML40 && Client != ctHTML32 && Client != ctWAP) throw EKXException("Unknown client type.");
      MainForm = H.CreateMainForm ? H.CreateMainForm(Session) : nullptr;
      if (!MainForm) throw EDeviceNotSupported("Device not supported");
    }
    if (H.ShowForm) H.ShowForm(MainForm);
  } catch (...) {
    Discard(Session);
    throw;
  }
  return Session;
}

void TKXRegistryDispatch::Exec(TKXApplication*& ASession, unsigned ATrackID, int ACommand, TWebRequest* ARequest,
                               TWebResponse* AResponse, const std::string&, TSkStringList& AParams) {
  TKXApplication* Session = ASession;
  Bind(Session, ARequest, AResponse);
  try {
    const TKXSessionFormHooks& H = KXSessionFormHooks();
    if (H.Execute) H.Execute(Session, ATrackID, ACommand, AParams);
    Session->FreeReleasedForms();
  } catch (...) {
    Session->UnInitialize();
    throw;
  }
  Session->UnInitialize();
  if (!Session->Terminated()) return;
  // The request is over for this session: give it up first, then have the registry end it.
  const std::string ID = Session->AppID();
  ASession = nullptr;
  Release(Session);
  SetCurrentSession(nullptr);
  FRegistry.Terminate(ID);
}

void TKXRegistryDispatch::ApplyWindowSize(TKXApplication* ASession, TWebRequest* ARequest, TWebResponse* AResponse,
                                          TSkStringList& AParams, bool AReply) {
  Bind(ASession, ARequest, AResponse);
  const TKXSessionFormHooks& H = KXSessionFormHooks();
  TKXBaseForm* Form = ASession->ActiveForm();
  if (Form && H.IsHTML40Form && H.IsHTML40Form(Form)) {
    const int Width = StrToIntDef(AParams.Values("KX_width"), H.Width ? H.Width(Form) : ASession->FormWidth());
    const int Height = StrToIntDef(AParams.Values("KX_height"), H.Height ? H.Height(Form) : ASession->FormHeight());
    if (H.Resize) H.Resize(Form, Width, Height);
    ASession->SetFormSize(Width, Height);
    TSyncLog::Log("Resize: " + std::to_string(Width) + "," + std::to_string(Height));
    if (AReply && AResponse)
      AResponse->SetContent("<html><head><script>" + (H.ResizeScript ? H.ResizeScript(Form) : std::string()) + "\r\n" +
                            kKXTopFunction + "KXTop().GSubmitting=false;" + "\r\n" + "</script></head></html>");
  }
  ASession->UnInitialize();
}

// The expiry thread reaches the registry through these; they outlive any one registry.
void InstallRegistryHooks() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    TKXSessionRegistryHooks& Hooks = KXSessionRegistryHooks();
    Hooks.CollectExpired = [] {
      std::vector<TKXApplication*> Expired;
      std::lock_guard<std::mutex> Guard(GRegistryLifeLock);
      if (TKXSessions* R = RegistryOrNone()) R->RemoveExpiredSessions(Expired);
      return Expired;
    };
    Hooks.Destroy = [](TKXApplication* ASession) {
      std::lock_guard<std::mutex> Guard(GRegistryLifeLock);
      TKXSessions::DestroySession(ASession);
    };
  });
}

// Static initialisation runs on the program's main thread.
const std::thread::id GMainThread = std::this_thread::get_id();

// Owns the data-module hooks: remembers the ones installed before and restores them at exit.
class TKXFormListManager {
public:
  TKXFormListManager() : FPrevious(KXDataModuleHooks()) {
    TKXDataModuleHooks& Hooks = KXDataModuleHooks();
    Hooks.Add = [this](TKXVCLDataModule* M) {
      if (M->Designing()) {
        if (FPrevious.Add) FPrevious.Add(M);
      } else if (TKXApplication* S = CurrentSession()) {
        S->AddDataModule(M);
      }
    };
    Hooks.Remove = [this](TKXVCLDataModule* M) {
      if (M->Designing()) {
        if (FPrevious.Remove) FPrevious.Remove(M);
      } else if (std::this_thread::get_id() != GMainThread) {
        if (TKXApplication* S = CurrentSession()) S->RemoveDataModule(M);
      }
    };
  }
  ~TKXFormListManager() { KXDataModuleHooks() = FPrevious; }

private:
  TKXDataModuleHooks FPrevious;
};

}  // namespace

TKXSessions* GSessions() { return RegistryOrNone(); }

TKXComponent* KXFindSessionComponent(std::string_view AName) {
  TKXApplication* S = CurrentSession();
  if (!S || std::this_thread::get_id() == GMainThread) return nullptr;
  for (TKXComponent* F : S->Forms())
    if (SameText(F->Name(), AName)) return F;
  return nullptr;
}

void KXInstallSessionLookups() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    static TKXFormListManager Manager;
    KXSetFindGlobalComponent(KXFindSessionComponent);
  });
}

// ---------------------------------------------------------------------------------------------
// TKXSessionList

void TKXSessionList::Add(const std::string& ASessionID, TKXApplication* ASession) {
  if (!FItems.emplace(UpperCase(ASessionID), ASession).second) throw EKXSessionListException(kAlreadyInList);
}

TKXApplication* TKXSessionList::LookUp(const std::string& ASessionID) const {
  if (ASessionID.empty()) return nullptr;
  const auto It = FItems.find(UpperCase(ASessionID));
  return It == FItems.end() ? nullptr : It->second;
}

TKXApplication* TKXSessionList::LookUpAndRemove(const std::string& ASessionID) {
  if (ASessionID.empty()) return nullptr;
  const auto It = FItems.find(UpperCase(ASessionID));
  if (It == FItems.end()) return nullptr;
  TKXApplication* Session = It->second;
  FItems.erase(It);
  return Session;
}

bool TKXSessionList::Exists(const TKXApplication* ASession) const {
  return std::any_of(FItems.begin(), FItems.end(), [ASession](const auto& P) { return P.second == ASession; });
}

void TKXSessionList::GetObjectList(std::vector<TKXApplication*>& AList) const {
  AList.reserve(AList.size() + FItems.size());
  for (const auto& P : FItems) AList.push_back(P.second);
}

// ---------------------------------------------------------------------------------------------
// TKXSessions

TKXSessions::TKXSessions() {
  InstallRegistryHooks();
  KXInstallSessionLookups();
  {
    std::lock_guard<std::mutex> Guard(GRegistryLifeLock);
    GRegistry.store(this, std::memory_order_release);
  }
  KXSetSessionDispatch(std::make_unique<TKXRegistryDispatch>(*this));
}

TKXSessions::~TKXSessions() {
  KXSetSessionDispatch(nullptr);
  Clear();   // still the registry: the destroy notifications reach OnDestroySession
  {
    std::lock_guard<std::mutex> Guard(GRegistryLifeLock);
    if (GRegistry.load() == this) GRegistry.store(nullptr, std::memory_order_release);
  }
  Clear();
}

void TKXSessions::DoCreateSession(TKXApplication* ASession) {
  if (OnCreateSession) OnCreateSession(ASession);
}

void TKXSessions::DoDestroySession(TKXApplication* ASession) {
  if (OnDestroySession) OnDestroySession(ASession);
}

void TKXSessions::AddSessionAndLock(TKXApplication* ASession) {
  std::lock_guard<std::mutex> Guard(FLock);
  if (FSessions.LookUp(ASession->AppID())) throw EKXException(kAddSessionFailed);
  ASession->Lock();   // new, so nobody else can hold it
  try {
    FSessions.Add(ASession->AppID(), ASession);
  } catch (...) {
    ASession->Unlock();
    throw;
  }
}

TKXApplication* TKXSessions::LookupAndLock(const std::string& AAppID, int ATimeOutMS) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeOutMS);
  for (;;) {
    TKXApplication* Session;
    {
      std::lock_guard<std::mutex> Guard(FLock);
      Session = FSessions.LookUp(AAppID);
      if (!Session) return nullptr;
      if (Session->TryLock()) return Session;
    }
    // Busy: never wait for a session while holding the registry lock.
    if (ATimeOutMS > 0 && std::chrono::steady_clock::now() >= Deadline) return Session;
    std::this_thread::sleep_for(kBusyRetry);
  }
}

TKXApplication* TKXSessions::LookupByTaggedNameAndLock(const std::string& ATaggedSessionName) {
  std::lock_guard<std::mutex> Guard(FLock);
  std::vector<TKXApplication*> All;
  FSessions.GetObjectList(All);
  for (TKXApplication* Session : All) {
    if (!SameText(Session->TaggedSessionName(), ATaggedSessionName)) continue;
    Session->Lock();
    return Session;
  }
  return nullptr;
}

void TKXSessions::Remove(TKXApplication* ASession) {
  if (!ASession) return;
  std::lock_guard<std::mutex> Guard(FLock);
  // Only this object's entry: an id re-used by a newer session stays.
  if (FSessions.LookUp(ASession->AppID()) == ASession) FSessions.LookUpAndRemove(ASession->AppID());
}

bool TKXSessions::IsValidSession(const TKXApplication* ASession) {
  std::lock_guard<std::mutex> Guard(FLock);
  return ASession && FSessions.Exists(ASession);
}

bool TKXSessions::Terminate(const std::string& AAppID) {
  TKXApplication* Session;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Session = FSessions.LookUp(AAppID);
    if (!Session) return false;
    Session->Lock();   // a request still inside it finishes first
    FSessions.LookUpAndRemove(AAppID);
    Session->Unlock();
  }
  // Out of the table, so no request can reach it; its close events may use the registry.
  DestroySession(Session);
  return true;
}

void TKXSessions::RemoveExpiredSessions(std::vector<TKXApplication*>& AList) {
  const std::vector<TKXApplication*>& Snapshot = LockList();
  const TDateTime Now = NowLocal();
  for (TKXApplication* Session : Snapshot) {
    if (!Session->TryLock()) continue;   // busy: looked at again next pass
    if (Session->Expired(Now)) {
      AList.push_back(Session);
      FSessions.LookUpAndRemove(Session->AppID());
    }
    Session->Unlock();
  }
  UnLockList();
}

const std::vector<TKXApplication*>& TKXSessions::LockList() {
  FLock.lock();
  FList.clear();
  FSessions.GetObjectList(FList);
  return FList;
}

void TKXSessions::UnLockList() {
  FList.clear();
  FList.shrink_to_fit();
  FLock.unlock();
}

void TKXSessions::Clear() {
  for (;;) {
    TKXApplication* Session;
    {
      std::lock_guard<std::mutex> Guard(FLock);
      Session = FSessions.First();
      if (!Session) return;
      Session->Lock();
      FSessions.LookUpAndRemove(Session->AppID());
      Session->Unlock();
    }
    DestroySession(Session);
  }
}

int TKXSessions::Count() {
  std::lock_guard<std::mutex> Guard(FLock);
  return FSessions.Count();
}

void TKXSessions::DestroySession(TKXApplication* ASession) {
  TKXCurrentSessionScope Scope(ASession);
  try {
    delete ASession;
  } catch (...) {
    // One failing session must not stop the others from going.
  }
}

void TKXSessions::SweepExpired() {
  std::vector<TKXApplication*> Expired;
  RemoveExpiredSessions(Expired);
  for (TKXApplication* Session : Expired) DestroySession(Session);
}
