#pragma once
// The server-side state of one browser session: identity, browser and client type, its forms and
// the stack of shown forms, the request being served while it is locked, and the operations event
// handlers use to act on the browser (messages, windows, files, redirects, ending the session).
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/KXBrowser.h"
#include "core/KXComponent.h"
#include "core/KXGlobal.h"
#include "SkDateTime.h"
#include "SkStringList.h"

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

// What a session needs from forms and page rendering. Those rooms install the hooks; an unset hook
// means "no such form" (or, for the script sinks, nowhere to put the script).
struct TKXSessionFormHooks {
  std::function<bool(TKXBaseForm*)> IsHTML40Form;
  std::function<bool(TKXBaseForm*)> IsHTML32Form;
  // The form's browser security check switch; unset counts as on.
  std::function<bool(TKXBaseForm*)> BrowserSecurityCheck;
  // An HTML 4.0 form in partial-update mode.
  std::function<bool(TKXBaseForm*)> PartialUpdateMode;
  std::function<void(TKXBaseForm*, int AWidth, int AHeight)> Resize;
  std::function<int(TKXBaseForm*)> Width;
  std::function<int(TKXBaseForm*)> Height;
  std::function<std::string(TKXBaseForm*)> ResizeScript;
  std::function<void(TKXBaseForm*, const std::string&)> AddToInitProc;
  std::function<void(TKXApplication*, const std::string&)> AddToInitProcNewWindowCode;
  std::function<void(TKXApplication*, const std::string&)> AddToUpdateInitProcNewWindowCode;
  std::function<void(TKXApplication*, const std::string&)> CallBackExecute;
  // Creates the message form named by the active form's MessageForm and makes it the next page.
  std::function<void(TKXApplication*, const std::string& AMsg, const std::string& ATemplate, TKXShowMessageType)>
      ShowMessageForm;
  // Creates the registered main form for the session's client type; nullptr when none is registered.
  std::function<TKXBaseForm*(TKXApplication*)> CreateMainForm;
  // True when AForm is an application form (a main form must be one).
  std::function<bool(TKXBaseForm*)> IsApplicationForm;
  std::function<void(TKXBaseForm*)> ShowForm;
  std::function<void(TKXBaseForm*)> FreeForm;
  // Processes one bound request of a locked session (form submission, callbacks, uploads).
  std::function<void(TKXApplication*, unsigned ATrackID, int ACommand, TSkStringList& AParams)> Execute;
};
TKXSessionFormHooks& KXSessionFormHooks();

// A session owns, as a component owner, every form and data module created with it as owner.
class TKXApplication : public TKXComponent {
public:
  KX_DECLARE_CLASS_INFO
  TKXApplication(TKXBrowserType ABrowser, const std::string& AUserAgent, const std::string& AIP,
                 const std::string& AAuthUser, const std::string& AAuthPassword, const std::string& AReferringURL,
                 const TSkStringList& AParams, const std::string& AURLBase);
  ~TKXApplication() override;
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override;

  // Locking.
  void Lock() { FLock.Enter(); }
  void Unlock() { FLock.Leave(); }
  bool TryLock() { return FLock.TryEnter(); }
  void MarkAccess();
  // Idle for at least SessionTimeOut minutes at ANow.
  bool Expired(TDateTime ANow) const;

  // Per-request binding; valid only while the session is locked by the request's thread.
  void Initialize(TWebRequest* ARequest, TWebResponse* AResponse);
  void UnInitialize();

  // Address binding: raises the security message of the first check that fails.
  void CheckAddressAndBrowser(const std::string& AClientIP, TKXBrowser ARequestBrowser);
  bool SameSubnetAsStartupIP(const std::string& AAddr) const;

  // Forms.
  void SetActiveForm(TKXBaseForm* AForm);
  void RemoveForm(TKXBaseForm* AForm);
  void ReleaseForm(TKXBaseForm* AForm);
  void FreeReleasedForms();
  TKXBaseForm* ActiveForm() const { return FActiveForms.empty() ? nullptr : FActiveForms.back(); }
  int ActiveFormCount() const { return static_cast<int>(FActiveForms.size()); }
  const std::vector<TKXBaseForm*>& ReleasedForms() const { return FReleasedForms; }
  // Every form and data module owned by the session, in creation order (observing pointers).
  void AddForm(TKXComponent* AFormOrDataModule);
  void RemoveFromForms(TKXComponent* AFormOrDataModule);
  // Data modules created while this session is the thread's current one (the controller never is).
  void AddDataModule(TKXComponent* ADataModule);
  void RemoveDataModule(TKXComponent* ADataModule);
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
  static std::string FullApplicationURL(TWebRequest* ARequest);
  std::string ApplicationURL() const { return FullApplicationURL(FRequest); }
  std::string ExecAction() const;
  std::string InternalURLBase() const { return FAppURLBase; }
  std::string UserCacheURL() const;
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
  static TKXClientType ClientTypeOfBrowser(TKXBrowser ABrowser);

private:
  TKXClientType ClientTypeOfUnknownAction(TKXClientType ACurrent) const;
  void AddNewWindowCode(const std::string& AScript);
  void SwitchTo(bool ASecure);

  TKXFlexLock FLock;
  bool FSecureMode = false;
  int FFormHeight = -1, FFormWidth = -1;
  bool FCallBackProcessing = false;
  bool FIsPartialUpdate = false;
  std::string FApplicationPath;
  std::vector<TKXBaseForm*> FActiveForms;
  std::vector<TKXBaseForm*> FReleasedForms;
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
