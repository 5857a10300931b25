#pragma once
// The server-side state of one browser session: identity, browser and client type, its forms and
// the stack of shown forms, the request being served while it is locked, and the operations event
// handlers use to act on the browser (messages, windows, files, redirects, ending the session).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/KXBrowser.h"
#include "core/KXComponent.h"
#include "core/KXGlobal.h"
#include "session/KXSessionForm.h"
#include "SkDateTime.h"
#include "SkStringList.h"

class IKXServerController;
class TKXBaseForm;
class TKXWAPClient;
class TSkStream;
class TWebRequest;
class TWebResponse;
class TAbstractWebRequestFile;
class TAbstractWebRequestFiles;

// A re-entrant lock with a try that never waits: the owning thread may take it again (each take
// needs its release), so framework code that already holds a session may lock it once more.
class TKXFlexLock {
public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  bool TryEnter() { return FMutex.try_lock(); }

private:
  std::recursive_mutex FMutex;   // guards the whole session: fields, forms and the bound request
};

enum TKXWindowOption { woButtons, woStatusBar, woMenuBar, woScrollBars, woResizable, woCopyHistory, woFullScreen };
using TKXWindowOptions = TKXEnumSet<TKXWindowOption, woFullScreen + 1>;


// A session owns, as a component owner, every form and data module created with it as owner.
class TKXApplication : public TKXComponent, public IKXSessionScope {
public:
  KX_DECLARE_CLASS_INFO
  // AController outlives the session.
  TKXApplication(IKXServerController& AController, TKXBrowserType ABrowser, const std::string& AUserAgent,
                 const std::string& AIP, const std::string& AAuthUser, const std::string& AAuthPassword,
                 const std::string& AReferringURL, const TSkStringList& AParams, const std::string& AURLBase);
  // Raises the controller's OnCloseSession if Close has not (errors swallowed), then frees forms,
  // data modules and the per-session cache folder.
  ~TKXApplication() override;
  // Raises OnCloseSession once; the registry calls it just before it destroys a session.
  void Close();
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override;

  // Locking.
  void Lock() { FLock.Enter(); }
  void Unlock() { FLock.Leave(); }
  bool TryLock() { return FLock.TryEnter(); }
  void MarkAccess();
  // Set while the session is in the registry's table; a request that waited for the lock of a
  // session that left it meanwhile finds it unset.
  bool Registered() const { return FRegistered.load(std::memory_order_acquire); }
  void SetRegistered(bool AValue) { FRegistered.store(AValue, std::memory_order_release); }
  // Idle for at least SessionTimeOut minutes at ANow.
  bool Expired(TDateTime ANow) const;

  // Per-request binding; valid only while the session is locked by the request's thread.
  void Initialize(TWebRequest* ARequest, TWebResponse* AResponse);
  void UnInitialize();

  // Address binding: raises the security message of the first check that fails.
  void CheckAddressAndBrowser(const std::string& AClientIP, TKXBrowser ARequestBrowser);
  bool SameSubnetAsStartupIP(const std::string& AAddr) const;

  // Forms.
  // The shown forms are a stack: the last one shown is the page the browser gets next.
  void SetActiveForm(IKXSessionForm* AForm);
  void RemoveForm(IKXSessionForm* AForm);
  void ReleaseForm(IKXSessionForm* AForm);
  // A form that goes takes itself out of both lists (from its destructor).
  void FormDestroyed(IKXSessionForm* AForm);
  void FreeReleasedForms();
  IKXSessionForm* ActiveSessionForm() const { return FActiveForms.empty() ? nullptr : FActiveForms.back(); }
  TKXBaseForm* ActiveForm() const { return FActiveForms.empty() ? nullptr : FActiveForms.back()->FormObject(); }
  int ActiveFormCount() const { return static_cast<int>(FActiveForms.size()); }
  const std::vector<IKXSessionForm*>& ReleasedForms() const { return FReleasedForms; }
  // Every form and data module owned by the session, in creation order (observing pointers).
  void AddForm(TKXComponent* AFormOrDataModule);
  void RemoveFromForms(TKXComponent* AFormOrDataModule);
  // IKXSessionScope: data modules created while this session is the thread's current one (the
  // controller never is), and the first form or data module of that name, without regard to case.
  void AdoptDataModule(TKXComponent* ADataModule) override;
  void DropDataModule(TKXComponent* ADataModule) override;
  TKXComponent* FindSessionComponent(std::string_view AName) override;
  int FormCount() const { return static_cast<int>(FForms.size()); }
  const std::vector<TKXComponent*>& Forms() const { return FForms; }

  // Messages and windows.
  void ShowMessage(const std::string& AMsg) { ShowMessage(AMsg, smAlert, ""); }
  void ShowMessage(const std::string& AMsg, TKXShowMessageType AType) { ShowMessage(AMsg, AType, ""); }
  void ShowMessage(const std::string& AMsg, TKXShowMessageType AType, const std::string& ATemplate);
  void NewWindow(const std::string& AURL) { NewWindow(AURL, "", -1, -1, {}, -1, -1); }
  void NewWindow(const std::string& AURL, const std::string& AName, int AWidth, int AHeight) {
    NewWindow(AURL, AName, AWidth, AHeight, {}, -1, -1);
  }
  void NewWindow(const std::string& AURL, const std::string& AName, int AWidth, int AHeight, TKXWindowOptions AOptions,
                 int ATop, int ALeft);

  // Ending the session and leaving the page.
  void Terminate(const std::string& AMsg = "") { TerminateAndRedirect("", AMsg); }
  void TerminateAndRedirect(const std::string& AURL) { TerminateAndRedirect(AURL, ""); }
  void TerminateAndRedirect(const std::string& AURL, const std::string& AMsg);
  void GoToURL(const std::string& AURL) { FRedirectURL = AURL; }
  void SendFile(const std::string& APathname, bool AAttachment = false, const std::string& AContentType = "",
                const std::string& AFilename = "");
  void SendStream(std::unique_ptr<TSkStream> AStream, bool AAttachment = false, const std::string& AContentType = "",
                  const std::string& AFilename = "");

  // Secure mode.
  bool SecureMode();
  void SwitchToSecure();
  void SwitchToNonSecure();

  TAbstractWebRequestFile* FindFile(const std::string& AName) const;
  // "https://" on the SSL port, else "http://", then the host and port the request came to.
  static std::string FullApplicationURL(TWebRequest* ARequest, int ASSLPort);
  std::string ApplicationURL() const;
  std::string ExecAction() const;
  std::string InternalURLBase() const { return FAppURLBase; }
  std::string UserCacheURL() const;
  std::string CacheURL() const;
  std::string FilesURL() const;
  // A new empty file in the session's cache folder, named from APrefix; returns its path.
  std::string NewCacheFile(const std::string& APrefix) const;
  IKXServerController& Controller() const { return FController; }
  // Makes the main and message forms; set by whoever made the session (none: no such forms).
  IKXFormFactory* FormFactory() const { return FFormFactory; }
  void SetFormFactory(IKXFormFactory* AFactory) { FFormFactory = AFactory; }
  std::string ApplicationPath();
  std::string GetActiveMasterTemplate() const;

  // Read access.
  bool CallBackProcessing() const { return FCallBackProcessing; }
  void SetCallBackProcessing(bool V) { FCallBackProcessing = V; }
  bool IsPartialUpdate() const { return FIsPartialUpdate; }
  void SetIsPartialUpdate(bool V) { FIsPartialUpdate = V; }
  bool IsCallBack() const { return FIsCallBack; }
  void SetIsCallBack(bool V) { FIsCallBack = V; }
  int FormHeight() const { return FFormHeight; }
  int FormWidth() const { return FFormWidth; }
  void SetFormSize(int AWidth, int AHeight) {
    FFormWidth = AWidth;
    FFormHeight = AHeight;
  }
  const std::string& AppID() const { return FAppID; }
  const std::string& AppURLBase() const { return FAppURLBase; }
  const std::string& AuthUser() const { return FAuthUser; }
  const std::string& AuthPassword() const { return FAuthPassword; }
  TKXBrowser Browser() const { return FBrowser; }
  TKXBrowserSubtype BrowserSubType() const { return FBrowserSubType; }
  TKXClientType ClientType() const { return FClientType; }
  void* Data() const { return FData.get(); }
  // The application's per-session object; the session frees it with ADeleter.
  void SetData(void* AData, void (*ADeleter)(void*));
  template <class T>
  void SetData(T* AData) {
    SetData(AData, [](void* P) { delete static_cast<T*>(P); });
  }
  TAbstractWebRequestFiles* FileList() const { return FFileList; }
  void SetFileList(TAbstractWebRequestFiles* AFiles) { FFileList = AFiles; }
  const std::string& FormAction() const { return FFormAction; }
  void SetFormAction(const std::string& V) { FFormAction = V; }
  const std::string& IP() const { return FIP; }
  TDateTime LastAccess() const { return FLastAccess; }
  const std::string& MasterTemplate() const { return FMasterTemplate; }
  const std::string& MasterTemplate32() const { return FMasterTemplate32; }
  const std::string& RedirectURL() const { return FRedirectURL; }
  const std::string& ReferringURL() const { return FReferringURL; }
  TWebRequest* Request() const { return FRequest; }
  TWebResponse* Response() const { return FResponse; }
  const TSkStringList& RunParams() const { return FRunParams; }
  void SetRunParams(const TSkStringList& AParams) { FRunParams = AParams; }
  int SessionTimeOut() const { return FSessionTimeOut; }
  void SetSessionTimeOut(int AMinutes) { FSessionTimeOut = AMinutes; }
  TDateTime SessionTimeStamp() const { return FSessionTimeStamp; }
  bool Terminated() const { return FTerminated; }
  const std::string& TerminateMessage() const { return FTerminateMessage; }
  uint32_t TrackID() const { return FTrackID; }
  void SetTrackID(uint32_t V) { FTrackID = V; }
  const std::string& TaggedSessionName() const { return FTaggedSessionName; }
  void SetTaggedSessionName(const std::string& V) { FTaggedSessionName = V; }
  // The per-session cache folder, created on first use: most sessions never write a cache file.
  const std::string& UserCacheDir() const;
  // Created on first use: most sessions never meet a WAP handset.
  TKXWAPClient& WAPClient();

  // A new id from 128 bits of the operating system's random source: 28 lower-case base-36 characters.
  static std::string NewSessionID();
  // The client type a browser kind gets before UnknownBrowserAction applies.
  static TKXClientType ClientTypeOfBrowser(TKXBrowser ABrowser, const IKXServerController& AController);

private:
  TKXClientType ClientTypeOfUnknownAction(TKXClientType ACurrent) const;
  void AddNewWindowCode(const std::string& AScript);
  void SwitchTo(bool ASecure);

  IKXServerController& FController;
  IKXFormFactory* FFormFactory = nullptr;
  TKXFlexLock FLock;
  std::atomic<bool> FRegistered{false};
  bool FClosed = false;
  bool FSecureMode = false;
  int FFormHeight = -1, FFormWidth = -1;
  bool FCallBackProcessing = false;
  bool FIsPartialUpdate = false;
  std::string FApplicationPath;
  std::vector<IKXSessionForm*> FActiveForms;
  std::vector<IKXSessionForm*> FReleasedForms;
  std::string FAppID;
  std::string FAppURLBase;
  std::string FAuthPassword, FAuthUser;
  TKXBrowser FBrowser = brUnknown;
  TKXBrowserSubtype FBrowserSubType = brsNone;
  TKXClientType FClientType = ctUnknown;
  std::unique_ptr<void, void (*)(void*)> FData{nullptr, [](void*) {}};
  TAbstractWebRequestFiles* FFileList = nullptr;
  std::string FFormAction;
  std::vector<TKXComponent*> FForms;
  std::string FIP;
  bool FIsCallBack = false;
  TDateTime FLastAccess = 0;
  std::string FMasterTemplate, FMasterTemplate32;
  std::string FRedirectURL;
  std::string FReferringURL;
  TWebResponse* FResponse = nullptr;
  TWebRequest* FRequest = nullptr;
  TSkStringList FRunParams;
  int FSessionTimeOut = 10;
  TDateTime FSessionTimeStamp = 0;
  bool FTerminated = false;
  std::string FTerminateMessage;
  uint32_t FTrackID = 0;
  std::string FTaggedSessionName;
  std::string FUserCacheDir;
  mutable bool FUserCacheDirMade = false;
  std::unique_ptr<TKXWAPClient> FWAPClient;
};

// The session served by this thread (set by the dispatcher and by the threads that destroy
// sessions); forms, controls and rendering read it. Returns the previous value.
TKXApplication* SetCurrentSession(TKXApplication* ASession);
// Sessions are the only IKXSessionScope there is, so the scope is the session.
TKXApplication* CurrentSession();

// Sets the thread's current session for a scope and restores the previous one after it.
class TKXCurrentSessionScope {
public:
  explicit TKXCurrentSessionScope(TKXApplication* ASession) : FPrevious(SetCurrentSession(ASession)) {}
  ~TKXCurrentSessionScope() { SetCurrentSession(FPrevious); }
  TKXCurrentSessionScope(const TKXCurrentSessionScope&) = delete;
  TKXCurrentSessionScope& operator=(const TKXCurrentSessionScope&) = delete;

private:
  TKXApplication* FPrevious;
};
