#pragma once
// The one process-wide configuration object of an application: published settings with their
// defaults, the application-level events, the folders and URL prefixes, and the two background
// threads (cache purge and session expiry).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/KXBrowser.h"
#include "core/KXFileReference.h"
#include "core/KXGlobal.h"
#include "core/KXSleepingThread.h"
#include "core/KXVCLDataModule.h"
#include "session/KXServerControllerIntf.h"
#include "SkDateTime.h"
#include "SkStringList.h"

class TKXApplication;
class TKXBaseForm;
class TKXCompressor;
class TWebRequest;
class TWebResponse;
class TKXServerControllerBase;
class TKXWAPClient;

// Removes cache files older than the controller's CacheExpiry every 15 s.
class TCachePurgeThread : public TKXSleepingThread {
public:
  TCachePurgeThread(std::string ACacheDir, int AExpiryMinutes);
  ~TCachePurgeThread() override {
    Terminate();
    WaitFor();
  }
  void SetCacheDir(const std::string& ADir);
  bool Purging() const { return FPurging; }

protected:
  void Execute() override;

private:
  std::mutex FLock;   // guards FCacheDir and the pass that reads it
  std::string FCacheDir;
  int FExpiryMinutes;
  std::atomic<bool> FPurging{false};
};

// Option objects.

class TKXSSLOptions : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  std::string CertificatePassword;
  int Port = 0;
  TKXNonSSLRequest NonSSLRequest = nsAccept;
  TKXSSLVersion SSLVersion = sslv3;
};

// The compressor exists exactly while Enabled is true. Settings do not change while the server
// runs: request threads read the compressor without a lock.
class TKXCompression : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXCompression();
  ~TKXCompression() override;
  bool Enabled() const { return FEnabled; }
  // A new value frees the old compressor; enabling makes one with the current Level.
  void SetEnabled(bool AValue);
  int Level() const { return FLevel; }
  // Also the live compressor's: a stored description may list Level after Enabled.
  void SetLevel(int AValue);
  TKXCompressor* Compressor() const { return FCompressor.get(); }

private:
  bool FEnabled = false;
  int FLevel = 6;
  std::unique_ptr<TKXCompressor> FCompressor;
};

class TKXBrowser32Behaviour : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  bool Netscape4As32 = true;
  bool Netscape6As32 = true;
  bool IExplorer4As32 = true;
};

class TKXReEntryOptions : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  bool AutoCreateSession = false;
  std::string Cmd;
  TKXFileReference& InvalidSession() { return FInvalidSession; }

private:
  TKXFileReference FInvalidSession;
};

using TKXLogLine = std::function<void(const std::string&)>;

class TKXServerControllerBase : public TKXVCLDataModule, public IKXServerController {
public:
  KX_DECLARE_CLASS_INFO
  ~TKXServerControllerBase() override;

  // Records the class the framework instantiates; applications call it from unit initialisation.
  using TFactory = std::function<TKXServerControllerBase*()>;
  static void SetServerControllerClass(TFactory AFactory);
  // Creates the one controller ("No server controller is defined." without a recorded class).
  static TKXServerControllerBase* CreateServerController();
  // The one controller of the process while it exists, else nullptr: the host and the
  // application's own code reach it here; the framework's rooms get it handed down.
  static TKXServerControllerBase* Instance();

  // Published settings.
  bool AllowSubFolders() const { return FAllowSubFolders; }
  void SetAllowSubFolders(bool V) { FAllowSubFolders = V; }
  const std::string& AppName() const override { return FAppName; }
  void SetAppName(const std::string& V);
  // AppName with every blank removed: names the session cookie and the authentication realm.
  std::string AppNameNoBlanks() const override;
  bool AuthBeforeNewSession() const { return FAuthBeforeNewSession; }
  void SetAuthBeforeNewSession(bool V) { FAuthBeforeNewSession = V; }
  TSkStringList& AuthList() { return FAuthList; }
  const TSkStringList& AuthList() const { return FAuthList; }
  const std::string& BoundIP() const { return FBoundIP; }
  void SetBoundIP(const std::string& V) { FBoundIP = V; }
  TKXBrowser32Behaviour& Browser32Behaviour() { return FBrowser32Behaviour; }
  bool IExplorer4As32() const override { return FBrowser32Behaviour.IExplorer4As32; }
  bool Netscape6As32() const override { return FBrowser32Behaviour.Netscape6As32; }
  const std::string& CacheDir() const override { return FCacheDir; }
  void SetCacheDir(const std::string& V);
  int CacheExpiry() const { return FCacheExpiry; }
  void SetCacheExpiry(int V) { FCacheExpiry = V; }
  const std::string& CharSet() const override { return FCharSet; }
  void SetCharSet(const std::string& V) { FCharSet = V; }
  TComInitialization ComInitialization() const { return FComInitialization; }
  void SetComInitialization(TComInitialization V) { FComInitialization = V; }
  TKXCompression& Compression() { return FCompression; }
  TSkStringList& ContentFiles() { return FContentFiles; }
  const TSkStringList& ContentFiles() const override { return FContentFiles; }
  bool DebugHTML() const override { return FDebugHTML; }
  void SetDebugHTML(bool V) { FDebugHTML = V; }
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& V) { FDescription = V; }
  TKXFileReference& DeviceNotSupported() { return *FDeviceNotSupported; }
  bool EnableImageToolbar() const override { return FEnableImageToolbar; }
  void SetEnableImageToolbar(bool V) { FEnableImageToolbar = V; }
  TKXShowMessageType ExceptionDisplayMode() const override { return FExceptionDisplayMode; }
  void SetExceptionDisplayMode(TKXShowMessageType V) { FExceptionDisplayMode = V; }
  const std::string& ExecCmd() const override { return FExecCmd; }
  void SetExecCmd(const std::string& V) { FExecCmd = V; }
  const std::string& FilesDir() const override { return FFilesDir; }
  void SetFilesDir(const std::string& V);
  bool HistoryEnabled() const override { return FHistoryEnabled; }
  void SetHistoryEnabled(bool V) { FHistoryEnabled = V; }
  TSkStringList& HTMLHeaders() { return FHTMLHeaders; }
  const TSkStringList& HTMLHeaders() const override { return FHTMLHeaders; }
  const std::string& InternalFilesDir() const { return FInternalFilesDir; }
  void SetInternalFilesDir(const std::string& V);
  const std::string& InternalFilesURL() const { return FInternalFilesURL; }
  void SetInternalFilesURL(const std::string& V);
  const std::string& InvalidCommandURL() const { return FInvalidCommandURL; }
  void SetInvalidCommandURL(const std::string& V) { FInvalidCommandURL = V; }
  TLogOptions Log() const { return FLog; }
  void SetLog(TLogOptions V) { FLog = V; }
  const std::string& MasterTemplate() const override { return FMasterTemplate; }
  void SetMasterTemplate(const std::string& V) { FMasterTemplate = V; }
  const std::string& MasterTemplate32() const override { return FMasterTemplate32; }
  void SetMasterTemplate32(const std::string& V) { FMasterTemplate32 = V; }
  TKXFileReference& NoCookieSupport() { return *FNoCookieSupport; }
  TKXFileReference& NoJavaScriptSupport() { return *FNoJavaScriptSupport; }
  const TKXFileReference& NoJavaScriptSupport() const override { return *FNoJavaScriptSupport; }
  bool PageTransitions() const override { return FPageTransitions; }
  void SetPageTransitions(bool V) { FPageTransitions = V; }
  int Port() const override { return FPort; }
  void SetPort(int V) { FPort = V; }
  TKXReEntryOptions& ReEntryOptions() { return FReEntryOptions; }
  int RedirectMsgDelay() const override { return FRedirectMsgDelay; }
  void SetRedirectMsgDelay(int V) { FRedirectMsgDelay = V; }
  bool RestrictIPs() const override { return FRestrictIPs; }
  void SetRestrictIPs(bool V) { FRestrictIPs = V; }
  bool RestrictSubnet() const override { return FRestrictSubnet; }
  void SetRestrictSubnet(bool V) { FRestrictSubnet = V; }
  int ServerResizeTimeout() const override { return FServerResizeTimeout; }
  void SetServerResizeTimeout(int V) { FServerResizeTimeout = V; }
  int SessionTimeout() const override { return FSessionTimeout; }
  void SetSessionTimeout(int V);
  TKXFileReference& SessionTimeoutURL() { return *FSessionTimeoutURL; }
  TKXSessionTrackingMethod SessionTrackingMethod() const override { return FSessionTrackingMethod; }
  void SetSessionTrackingMethod(TKXSessionTrackingMethod V) { FSessionTrackingMethod = V; }
  bool ShowLoadingAnimation() const override { return FShowLoadingAnimation; }
  void SetShowLoadingAnimation(bool V) { FShowLoadingAnimation = V; }
  bool ShowResyncWarning() const override { return FShowResyncWarning; }
  void SetShowResyncWarning(bool V) { FShowResyncWarning = V; }
  TKXBrowserSubTypes& SpecialDeviceSupport() { return FSpecialDeviceSupport; }
  const TKXBrowserSubTypes& SpecialDeviceSupport() const override { return FSpecialDeviceSupport; }
  void SetSpecialDeviceSupport(TKXBrowserSubTypes V) { FSpecialDeviceSupport = V; }
  TKXSSLOptions& SSLOptions() { return FSSLOptions; }
  int SSLPort() const override { return FSSLOptions.Port; }
  const std::string& StartCmd() const { return FStartCmd; }
  void SetStartCmd(const std::string& V) { FStartCmd = V; }
  TKXFileReference& StyleSheet() { return *FStyleSheet; }
  const TKXFileReference& StyleSheet() const override { return *FStyleSheet; }
  const TKXBrowsers& SupportedBrowsers() const override { return FSupportedBrowsers; }
  void SetSupportedBrowsers(TKXBrowsers V) { FSupportedBrowsers = V; }
  const std::string& TemplateDir() const { return FTemplateDir; }
  void SetTemplateDir(const std::string& V);
  const std::string& Theme() const { return FTheme; }
  void SetTheme(const std::string& V);
  int ThreadPoolSize() const { return FThreadPoolSize; }
  void SetThreadPoolSize(int V) { FThreadPoolSize = V; }
  TKXFileReference& UnknownBrowser() { return *FUnknownBrowser; }
  TKXUnknownBrowserAction UnknownBrowserAction() const override { return FUnknownBrowserAction; }
  void SetUnknownBrowserAction(TKXUnknownBrowserAction V) { FUnknownBrowserAction = V; }
  const std::string& URLBase() const override { return FURLBase; }
  void SetURLBase(const std::string& V) { FURLBase = V; }
  bool UseInternalFiles() const { return FUseInternalFiles; }
  void SetUseInternalFiles(bool V);
  std::string Version() const { return kKXVersion; }
  void SetVersion(const std::string&) {}   // read-only: writing has no effect

  // Events.
  std::function<void(TKXApplication* ASession, TKXBaseForm*& VMainForm)> OnNewSession;
  std::function<void(TKXApplication* ASession)> OnCloseSession;
  std::function<void(TKXApplication* AApplication, const std::exception& AException, bool& Handled)> OnException;
  std::function<void(TKXApplication* ASession, std::string& VNewSessionID)> OnGetSessionID;
  std::function<void(TKXApplication* ASession)> OnReEntry;
  std::function<void(int ASubmittedSequence, int ACurrentSequence, const std::string& AFormName, bool& VHandled,
                     bool& VExecute)> OnBackButton;
  std::function<void(const std::string& AUserName, const std::string& APassword, bool& AValid)> OnAuthRequest;
  std::function<void(TWebRequest* ARequest, const std::string& AUsername, const std::string& APassword,
                     const std::string& AFile, bool& AValid)> OnFileAccess;
  std::function<void(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AMsg)> OnInvalidCommand;
  std::function<void(void* Sender, TWebRequest* Request, TWebResponse* Response, bool& Handled)> OnBeforeDispatch;
  std::function<void(void* Sender, TWebRequest* Request, TWebResponse* Response, bool& Handled)> OnAfterDispatch;
  // The handler may change the description in place (it stays the session's).
  std::function<void(TKXWAPClient& AWAPClient)> OnWAPClientDetect;
  std::function<void(TKXApplication* ASession, TKXBaseForm* AForm, TKXBaseForm*& VNewForm)> OnBeforeRender;
  std::function<void(TKXApplication* ASession, TKXBaseForm* AForm)> OnAfterRender;

  // Raisers.
  void DoNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm);
  void DoCloseSession(TKXApplication* ASession) override;
  void DoReEntry(TKXApplication* ASession) override;
  void DoGetSessionID(TKXApplication* ASession, std::string& VNewSessionID) override;
  void DoWAPClientDetect(TKXWAPClient& AWAPClient) override;
  void DoBeforeRender(TKXApplication* ASession, TKXBaseForm* AForm, TKXBaseForm*& VNewForm) override;
  void DoAfterRender(TKXApplication* ASession, TKXBaseForm* AForm) override;
  void DoInvalidCommand(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AMsg);
  bool DoException(TKXApplication* ASession, const std::exception& AException, bool& Handled) override;
  bool HandlesBackButton() const override { return static_cast<bool>(OnBackButton); }
  void DoBackButton(int ASubmittedSequence, int ACurrentSequence, bool& VExecute, bool& VHandled,
                    const std::string& AFormName) override;

  bool AuthActive() const;
  std::string GetCacheDir() const { return FCacheDir; }
  static std::string GetAppPath();
  // Replaces the executable's folder as the application folder (tests, embedding hosts).
  static void SetApplicationFolder(const std::string& AFolder);
  std::string GetUserCacheDir() const;
  std::string GetUserCacheURL() const;
  std::string NewCacheFile(const std::string& APrefix, bool AUserCache) const;
  std::string GetCacheURL();
  std::string GetFilesURL();
  std::string GetFilesNCURL();
  std::string GetInternalFilesURL() const;
  // True when responses are UTF-8: CharSet, or "UTF-8" when empty, must be exactly "UTF-8".
  bool EncodingIsUTF8();
  // Hands the response to the compressor while Compression.Enabled; otherwise does nothing.
  void Compress(void* Sender, TWebRequest* Request, bool& Handled, TWebResponse* Response);
  // The host shows log lines from here on (TSyncLog passes them to its sinks).
  void MakeGUIActive();
  bool GUIActive() const { return FGUIActive; }
  TDateTime StartTime() const { return FStartTime; }
  const std::string& ProcessID() const { return FProcessID; }
  bool CachePurgeThreadStarted() const { return FCachePurgeThread != nullptr; }

  // Appends "date time message" CR LF to the executable's ".log" file (Log = loFile).
  void LogToFile(const std::string& AMessage) const;
  // The same line appended to the file named after the executable with AExtension ("log" or
  // "err") in the application folder; one append at a time process-wide.
  static void AppendToLogFile(const std::string& AExtension, const std::string& AMessage);

  // Refuses empty, root, drive-root, "." and ".." folders and names with "\\\\" (raises the assertion text).
  static void PurgeDirectory(const std::string& AFolder, double AAgeLimitMinutes, bool ARemoveFolders);
  static constexpr double kNoAgeLimit = -1;

  // Constructs a controller of class T in the documented order: defaults, stored description,
  // "port.ini", fix-ups, cache folder and purge thread.
  template <class T>
  static T* Create(TKXComponent* AOwner = nullptr) {
    return KXCreate<T>(AOwner);
  }
  // The stored description, "port.ini", the fix-ups, then the cache folder.
  void AfterConstruction() override;

protected:
  explicit TKXServerControllerBase(TKXComponent* AOwner = nullptr);
  // Applies the stored description of the most-derived class (none for this base class).
  virtual void ReadStoredDescription();

private:
  void ApplyDefaults();
  void ReadPortIni();
  void ApplyFixUps();
  void CreateCacheFolder();
  void DeleteCacheFolder();
  TKXBrowser32Behaviour* Browser32BehaviourObject() { return &FBrowser32Behaviour; }
  TKXCompression* CompressionObject() { return &FCompression; }
  TKXReEntryOptions* ReEntryOptionsObject() { return &FReEntryOptions; }
  TKXSSLOptions* SSLOptionsObject() { return &FSSLOptions; }
  TKXFileReference* DeviceNotSupportedObject() { return FDeviceNotSupported.get(); }
  TKXFileReference* NoCookieSupportObject() { return FNoCookieSupport.get(); }
  TKXFileReference* NoJavaScriptSupportObject() { return FNoJavaScriptSupport.get(); }
  TKXFileReference* SessionTimeoutURLObject() { return FSessionTimeoutURL.get(); }
  TKXFileReference* StyleSheetObject() { return FStyleSheet.get(); }
  TKXFileReference* UnknownBrowserObject() { return FUnknownBrowser.get(); }

  bool FAllowSubFolders = false;
  std::string FAppName;
  bool FAuthBeforeNewSession = false;
  TSkStringList FAuthList;
  std::string FBoundIP;
  TKXBrowser32Behaviour FBrowser32Behaviour;
  std::string FCacheDir;
  int FCacheExpiry = 120;
  std::string FCharSet;
  TComInitialization FComInitialization = ciNone;
  TKXCompression FCompression;
  TSkStringList FContentFiles;
  bool FDebugHTML = false;
  std::string FDescription;
  std::unique_ptr<TKXFileReference> FDeviceNotSupported;
  bool FEnableImageToolbar = false;
  TKXShowMessageType FExceptionDisplayMode = smAlert;
  std::string FExecCmd;
  std::string FFilesDir;
  bool FHistoryEnabled = false;
  TSkStringList FHTMLHeaders;
  std::string FInternalFilesDir;
  std::string FInternalFilesURL = "/";
  std::string FInvalidCommandURL;
  TLogOptions FLog = loNone;
  std::string FMasterTemplate, FMasterTemplate32;
  std::unique_ptr<TKXFileReference> FNoCookieSupport;
  std::unique_ptr<TKXFileReference> FNoJavaScriptSupport;
  bool FPageTransitions = false;
  int FPort = 0;
  TKXReEntryOptions FReEntryOptions;
  int FRedirectMsgDelay = 0;
  bool FRestrictIPs = false;
  bool FRestrictSubnet = false;
  int FServerResizeTimeout = 0;
  int FSessionTimeout = 10;
  std::unique_ptr<TKXFileReference> FSessionTimeoutURL;
  TKXSessionTrackingMethod FSessionTrackingMethod = tmURL;
  bool FShowLoadingAnimation = true;
  bool FShowResyncWarning = true;
  TKXBrowserSubTypes FSpecialDeviceSupport = kKXDefaultSpecialDeviceSupport;
  TKXSSLOptions FSSLOptions;
  std::string FStartCmd;
  std::unique_ptr<TKXFileReference> FStyleSheet;
  TKXBrowsers FSupportedBrowsers = kKXDefaultSupportedBrowsers;
  std::string FTemplateDir;
  std::string FTheme;
  int FThreadPoolSize = 32;
  std::unique_ptr<TKXFileReference> FUnknownBrowser;
  TKXUnknownBrowserAction FUnknownBrowserAction = ubReject;
  std::string FURLBase;
  bool FUseInternalFiles = true;

  TDateTime FStartTime = 0;
  std::string FProcessID;
  uint64_t FProcessMSecs = 0;
  std::string FCacheURL;
  std::string FFilesURL;
  std::atomic<bool> FGUIActive{false};   // set by the host once it listens, read by request threads
  int FEncodingUTF8 = -1;   // -1 until computed
  std::unique_ptr<TCachePurgeThread> FCachePurgeThread;
};
