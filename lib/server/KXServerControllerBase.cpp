#include "server/KXServerControllerBase.h"

#include <dirent.h>
#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>

#include "core/KXException.h"
#include "core/KXLog.h"
#include "session/KXApplication.h"
#include "core/KXDescriptionReader.h"
#include "content/KXCompress.h"
#include "content/KXFileParser.h"
#include "core/KXFileReference.h"
#include "content/KXHTTPFile.h"
#include "content/KXInternalFiles.h"
#include "SkStrUtils.h"

namespace fs = std::filesystem;

namespace {

TKXServerControllerBase::TFactory& ControllerFactory() {
  static TKXServerControllerBase::TFactory Factory;
  return Factory;
}

// Set as soon as construction starts, cleared at the end of destruction.
std::atomic<TKXServerControllerBase*> GController{nullptr};

std::mutex GLogFileLock;   // serialises appends to the executable's log file

constexpr int kPurgeSlices = 150;        // 15 s between cache purges
constexpr const char* kBase36 = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string WithTrailingSeparator(std::string S) {
  if (S.empty() || S.back() != '/') S += '/';
  return S;
}

std::string TempFolder() {
  const char* Env = std::getenv("TMPDIR");
  return WithTrailingSeparator(Env && *Env ? Env : "/tmp");
}

// Milliseconds since 1899-12-30 local time, in base 36, at least 10 digits.
std::string MakeProcessID(uint64_t MSecs) {
  std::string R;
  do {
    R.insert(R.begin(), kBase36[MSecs % 36]);
    MSecs /= 36;
  } while (MSecs);
  while (R.size() < 10) R.insert(R.begin(), '0');
  return R;
}

bool IsUnsafePurgeTarget(const std::string& F) {
  if (F.empty() || F == "\\" || F == "/" || F == "." || F == "..") return true;
  if (F.find("\\\\") != std::string::npos) return true;
  const char D = UpCaseChar(F[0]);
  if (D >= 'A' && D <= 'Z' && F.size() >= 2 && F[1] == ':' && (F.size() == 2 || (F.size() == 3 && F[2] == '\\')))
    return true;
  return false;
}

TDateTime FileTime(const fs::path& P) {
  struct stat St;
  if (stat(P.c_str(), &St) != 0) return 0;
  return UTCToLocal(UnixToDateTime(St.st_mtime));
}

// "port.ini": the ports, and what an operator switches without rebuilding. A key that is absent
// keeps the stored value, except the two ports, which read as 0.
struct TPortIni {
  int Port = 0;
  int SSLPort = 0;
  std::vector<std::pair<std::string, std::string>> Settings;   // "SECTION.Key", value
};

int PortIniHandler(void* AUser, const char* ASection, const char* AName, const char* AValue) {
  auto* Ini = static_cast<TPortIni*>(AUser);
  if (SameText(ASection, "PORTS")) {
    if (SameText(AName, "Port")) Ini->Port = StrToIntDef(Trim(AValue), 0);
    if (SameText(AName, "SSLPort")) Ini->SSLPort = StrToIntDef(Trim(AValue), 0);
  } else {
    Ini->Settings.emplace_back(UpperCase(ASection) + "." + UpperCase(AName), Trim(AValue));
  }
  return 1;
}

[[noreturn]] void RaiseBadIniValue(const std::string& AKey, const std::string& AValue) {
  throw EKXException("Invalid value for " + AKey + " in port.ini: \"" + AValue + "\"");
}

bool IniBoolean(const std::string& AKey, const std::string& AValue) {
  for (const char* T : {"1", "true", "yes", "on"})
    if (SameText(AValue, T)) return true;
  for (const char* F : {"0", "false", "no", "off"})
    if (SameText(AValue, F)) return false;
  RaiseBadIniValue(AKey, AValue);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Background threads

TCachePurgeThread::TCachePurgeThread(std::string ACacheDir, int AExpiryMinutes)
    : TKXSleepingThread("Cache Purge"), FCacheDir(std::move(ACacheDir)), FExpiryMinutes(AExpiryMinutes) {}

void TCachePurgeThread::SetCacheDir(const std::string& ADir) {
  std::lock_guard<std::mutex> Guard(FLock);
  FCacheDir = ADir;
}

void TCachePurgeThread::Execute() {
  while (SleepSlices(kPurgeSlices)) {
    std::lock_guard<std::mutex> Guard(FLock);
    std::error_code Ec;
    if (!fs::is_directory(FCacheDir, Ec)) continue;
    FPurging = true;
    try {
      TKXServerControllerBase::PurgeDirectory(FCacheDir, FExpiryMinutes, false);
    } catch (...) {
      // A failed pass is retried on the next one.
    }
    FPurging = false;
  }
}

// ---------------------------------------------------------------------------------------------
// Option objects

namespace {

const TKXEnumInfo& ComInitializationInfo() {
  static const TKXEnumInfo I{"TComInitialization", {"ciNone", "ciNormal", "ciMultiThreaded"}};
  return I;
}
const TKXEnumInfo& ShowMessageTypeInfo() {
  static const TKXEnumInfo I{"TKXShowMessageType", {"smAlert", "smNewWindow", "smSameWindow", "smSameWindowFrame"}};
  return I;
}
const TKXEnumInfo& LogOptionsInfo() {
  static const TKXEnumInfo I{"TLogOptions", {"loNone", "loFile"}};
  return I;
}
const TKXEnumInfo& TrackingMethodInfo() {
  static const TKXEnumInfo I{"TKXSessionTrackingMethod", {"tmURL", "tmCookie", "tmHidden"}};
  return I;
}
const TKXEnumInfo& UnknownBrowserActionInfo() {
  static const TKXEnumInfo I{"TKXUnknownBrowserAction", {"ub32", "ubWAP", "ub40", "ubReject"}};
  return I;
}
const TKXEnumInfo& NonSSLRequestInfo() {
  static const TKXEnumInfo I{"TKXNonSSLRequest", {"nsAccept", "nsBlock", "nsRedirect"}};
  return I;
}
const TKXEnumInfo& SSLVersionInfo() {
  static const TKXEnumInfo I{"TKXSSLVersion", {"sslv2", "sslv23", "sslv3"}};
  return I;
}
TKXEnumInfo EnumInfoFrom(const char* ATypeName, std::span<const TKXEnumName> ANames) {
  TKXEnumInfo I{ATypeName, {}};
  for (const TKXEnumName& N : ANames) {
    if (I.Names.size() <= static_cast<size_t>(N.Value)) I.Names.resize(static_cast<size_t>(N.Value) + 1);
    I.Names[static_cast<size_t>(N.Value)] = N.Name;
  }
  return I;
}
const TKXEnumInfo& BrowserInfo() {
  static const TKXEnumInfo I = EnumInfoFrom("TKXBrowser", KXBrowserNames());
  return I;
}
const TKXEnumInfo& BrowserSubtypeInfo() {
  static const TKXEnumInfo I = EnumInfoFrom("TKXBrowserSubtype", KXBrowserSubtypeNames());
  return I;
}

const bool GRegistered = KXRegisterClass<TKXServerControllerBase>();

}  // namespace

const TKXClassInfo& TKXSSLOptions::StaticClassInfo() {
  using T = TKXSSLOptions;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXSSLOptions")
      .Props({KXStringProp("CertificatePassword", &T::CertificatePassword, &T::CertificatePassword),
              KXIntProp("Port", &T::Port, &T::Port),
              KXEnumProp("NonSSLRequest", &T::NonSSLRequest, &T::NonSSLRequest, NonSSLRequestInfo()),
              KXEnumProp("SSLVersion", &T::SSLVersion, &T::SSLVersion, SSLVersionInfo())});
  return Info;
}

const TKXClassInfo& TKXCompression::StaticClassInfo() {
  using T = TKXCompression;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXCompression")
      .Props({KXBoolProp("Enabled", &T::Enabled, &T::SetEnabled), KXIntProp("Level", &T::Level, &T::SetLevel)});
  return Info;
}

TKXCompression::TKXCompression() = default;
TKXCompression::~TKXCompression() = default;

void TKXCompression::SetEnabled(bool AValue) {
  if (AValue == FEnabled) return;
  FEnabled = AValue;
  FCompressor.reset();
  if (!FEnabled) return;
  FCompressor = std::make_unique<TKXCompressor>();
  FCompressor->SetLevel(FLevel);
}

void TKXCompression::SetLevel(int AValue) {
  FLevel = AValue < 1 ? 1 : AValue > 9 ? 9 : AValue;
  if (FCompressor) FCompressor->SetLevel(FLevel);
}

const TKXClassInfo& TKXBrowser32Behaviour::StaticClassInfo() {
  using T = TKXBrowser32Behaviour;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXBrowser32Behaviour")
      .Props({KXBoolProp("Netscape4As32", &T::Netscape4As32, &T::Netscape4As32),
              KXBoolProp("Netscape6As32", &T::Netscape6As32, &T::Netscape6As32),
              KXBoolProp("IExplorer4As32", &T::IExplorer4As32, &T::IExplorer4As32)});
  return Info;
}

const TKXClassInfo& TKXReEntryOptions::StaticClassInfo() {
  using T = TKXReEntryOptions;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXReEntryOptions")
      .Props({KXBoolProp("AutoCreateSession", &T::AutoCreateSession, &T::AutoCreateSession),
              KXStringProp("Cmd", &T::Cmd, &T::Cmd),
              KXObjectProp("InvalidSession", static_cast<TKXFileReference& (T::*)()>(&T::InvalidSession))});
  return Info;
}

const TKXClassInfo& TKXServerControllerBase::StaticClassInfo() {
  using T = TKXServerControllerBase;
  static const TKXClassInfo Info =
      KXClass<T, TKXVCLDataModule>("TKXServerControllerBase")
          .Props({
              KXBoolProp("AllowSubFolders", &T::AllowSubFolders, &T::SetAllowSubFolders),
              KXStringProp("AppName", &T::AppName, &T::SetAppName),
              KXBoolProp("AuthBeforeNewSession", &T::AuthBeforeNewSession, &T::SetAuthBeforeNewSession),
              KXStringsProp("AuthList", &T::FAuthList),
              KXStringProp("BoundIP", &T::BoundIP, &T::SetBoundIP),
              KXObjectProp("Browser32Behaviour", &T::Browser32BehaviourObject),
              KXStringProp("CacheDir", &T::CacheDir, &T::SetCacheDir),
              KXIntProp("CacheExpiry", &T::CacheExpiry, &T::SetCacheExpiry),
              KXStringProp("CharSet", &T::CharSet, &T::SetCharSet),
              KXEnumProp("ComInitialization", &T::ComInitialization, &T::SetComInitialization, ComInitializationInfo()),
              KXObjectProp("Compression", &T::CompressionObject),
              KXStringsProp("ContentFiles", &T::FContentFiles),
              KXBoolProp("DebugHTML", &T::DebugHTML, &T::SetDebugHTML),
              KXStringProp("Description", &T::Description, &T::SetDescription),
              KXObjectProp("DeviceNotSupported", &T::DeviceNotSupportedObject),
              KXBoolProp("EnableImageToolbar", &T::EnableImageToolbar, &T::SetEnableImageToolbar),
              KXEnumProp("ExceptionDisplayMode", &T::ExceptionDisplayMode, &T::SetExceptionDisplayMode,
                         ShowMessageTypeInfo()),
              KXStringProp("ExecCmd", &T::ExecCmd, &T::SetExecCmd),
              KXStringProp("FilesDir", &T::FilesDir, &T::SetFilesDir),
              KXBoolProp("HistoryEnabled", &T::HistoryEnabled, &T::SetHistoryEnabled),
              KXStringsProp("HTMLHeaders", &T::FHTMLHeaders),
              KXStringProp("InternalFilesDir", &T::InternalFilesDir, &T::SetInternalFilesDir),
              KXStringProp("InternalFilesURL", &T::InternalFilesURL, &T::SetInternalFilesURL),
              KXStringProp("InvalidCommandURL", &T::InvalidCommandURL, &T::SetInvalidCommandURL),
              KXEnumProp("Log", &T::Log, &T::SetLog, LogOptionsInfo()),
              KXStringProp("MasterTemplate", &T::MasterTemplate, &T::SetMasterTemplate),
              KXStringProp("MasterTemplate32", &T::MasterTemplate32, &T::SetMasterTemplate32),
              KXObjectProp("NoCookieSupport", &T::NoCookieSupportObject),
              KXObjectProp("NoJavaScriptSupport", &T::NoJavaScriptSupportObject),
              KXBoolProp("PageTransitions", &T::PageTransitions, &T::SetPageTransitions),
              KXIntProp("Port", &T::Port, &T::SetPort),
              KXObjectProp("ReEntryOptions", &T::ReEntryOptionsObject),
              KXIntProp("RedirectMsgDelay", &T::RedirectMsgDelay, &T::SetRedirectMsgDelay),
              KXBoolProp("RestrictIPs", &T::RestrictIPs, &T::SetRestrictIPs),
              KXBoolProp("RestrictSubnet", &T::RestrictSubnet, &T::SetRestrictSubnet),
              KXIntProp("ServerResizeTimeout", &T::ServerResizeTimeout, &T::SetServerResizeTimeout),
              KXIntProp("SessionTimeout", &T::SessionTimeout, &T::SetSessionTimeout),
              KXObjectProp("SessionTimeoutURL", &T::SessionTimeoutURLObject),
              KXEnumProp("SessionTrackingMethod", &T::SessionTrackingMethod, &T::SetSessionTrackingMethod,
                         TrackingMethodInfo()),
              KXBoolProp("ShowLoadingAnimation", &T::ShowLoadingAnimation, &T::SetShowLoadingAnimation),
              KXBoolProp("ShowResyncWarning", &T::ShowResyncWarning, &T::SetShowResyncWarning),
              KXSetProp("SpecialDeviceSupport", &T::FSpecialDeviceSupport, &T::FSpecialDeviceSupport,
                        BrowserSubtypeInfo()),
              KXObjectProp("SSLOptions", &T::SSLOptionsObject),
              KXStringProp("StartCmd", &T::StartCmd, &T::SetStartCmd),
              KXObjectProp("StyleSheet", &T::StyleSheetObject),
              KXSetProp("SupportedBrowsers", &T::FSupportedBrowsers, &T::FSupportedBrowsers, BrowserInfo()),
              KXStringProp("TemplateDir", &T::TemplateDir, &T::SetTemplateDir),
              KXStringProp("Theme", &T::Theme, &T::SetTheme),
              KXIntProp("ThreadPoolSize", &T::ThreadPoolSize, &T::SetThreadPoolSize),
              KXObjectProp("UnknownBrowser", &T::UnknownBrowserObject),
              KXEnumProp("UnknownBrowserAction", &T::UnknownBrowserAction, &T::SetUnknownBrowserAction,
                         UnknownBrowserActionInfo()),
              KXStringProp("URLBase", &T::URLBase, &T::SetURLBase),
              KXBoolProp("UseInternalFiles", &T::UseInternalFiles, &T::SetUseInternalFiles),
              KXStringProp("Version", &T::Version, &T::SetVersion),
              KXEventProp("OnNewSession", &T::OnNewSession),
              KXEventProp("OnCloseSession", &T::OnCloseSession),
              KXEventProp("OnException", &T::OnException),
              KXEventProp("OnGetSessionID", &T::OnGetSessionID),
              KXEventProp("OnReEntry", &T::OnReEntry),
              KXEventProp("OnBackButton", &T::OnBackButton),
              KXEventProp("OnAuthRequest", &T::OnAuthRequest),
              KXEventProp("OnFileAccess", &T::OnFileAccess),
              KXEventProp("OnInvalidCommand", &T::OnInvalidCommand),
              KXEventProp("OnBeforeDispatch", &T::OnBeforeDispatch),
              KXEventProp("OnAfterDispatch", &T::OnAfterDispatch),
              KXEventProp("OnBeforeRender", &T::OnBeforeRender),
              KXEventProp("OnAfterRender", &T::OnAfterRender),
          });
  return Info;
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

void TKXServerControllerBase::SetServerControllerClass(TFactory AFactory) { ControllerFactory() = std::move(AFactory); }

TKXServerControllerBase* TKXServerControllerBase::Instance() { return GController.load(); }

TKXServerControllerBase* TKXServerControllerBase::CreateServerController() {
  if (!ControllerFactory()) throw EKXException("No server controller is defined.");
  return ControllerFactory()();
}

TKXServerControllerBase::TKXServerControllerBase(TKXComponent* AOwner)
    : TKXVCLDataModule(AOwner),
      FDeviceNotSupported(std::make_unique<TKXFileReference>()),
      FNoCookieSupport(std::make_unique<TKXFileReference>()),
      FNoJavaScriptSupport(std::make_unique<TKXFileReference>()),
      FSessionTimeoutURL(std::make_unique<TKXFileReference>()),
      FStyleSheet(std::make_unique<TKXFileReference>()),
      FUnknownBrowser(std::make_unique<TKXFileReference>()) {
  GController = this;
  AddInternalFiles();   // the framework's internal files are registered once, before any request
  KXRegisterFileParser();
  ApplyDefaults();
}

void TKXServerControllerBase::ApplyDefaults() {
  const TDateTime Now = NowLocal();
  FStartTime = std::floor(Now * 86400.0) / 86400.0;
  FProcessMSecs = static_cast<uint64_t>(Now * kMSecsPerDay);
  FProcessID = MakeProcessID(FProcessMSecs);   // milliseconds: two runs started in the same second differ
  SetCacheDir("");
  if (FExecCmd.empty()) FExecCmd = "EXEC";
  FStartCmd.clear();
}

void TKXServerControllerBase::ReadStoredDescription() {
  if (&ClassInfo() != &StaticClassInfo()) KXReadComponentResource(*this);
}

void TKXServerControllerBase::AfterConstruction() {
  (void)GRegistered;
  ReadStoredDescription();
  DoCreate();
  ReadPortIni();
  ApplyFixUps();
  CreateCacheFolder();
}

void TKXServerControllerBase::ReadPortIni() {
  const std::string Ini = GetAppPath() + "port.ini";
  if (access(Ini.c_str(), F_OK) != 0) return;
  TPortIni Values;
  ini_parse(Ini.c_str(), PortIniHandler, &Values);
  FPort = Values.Port;
  FSSLOptions.Port = Values.SSLPort;
  for (const auto& [Key, Value] : Values.Settings) {
    if (Key == "SSL.CERTIFICATEPASSWORD") {
      FSSLOptions.CertificatePassword = Value;
    } else if (Key == "SSL.NONSSLREQUEST") {
      const int V = NonSSLRequestInfo().ValueOf(Value);
      if (V < 0) RaiseBadIniValue("[SSL] NonSSLRequest", Value);
      FSSLOptions.NonSSLRequest = static_cast<TKXNonSSLRequest>(V);
    } else if (Key == "COMPRESSION.LEVEL") {
      int Level = 0;
      if (!TryStrToInt(Value, Level) || Level < 1 || Level > 9) RaiseBadIniValue("[COMPRESSION] Level", Value);
      FCompression.SetLevel(Level);
    } else if (Key == "COMPRESSION.ENABLED") {
      FCompression.SetEnabled(IniBoolean("[COMPRESSION] Enabled", Value));
    }
  }
}

void TKXServerControllerBase::ApplyFixUps() {
  if (FAppName.empty()) FAppName = "MyApplication";
  FInternalFilesDir = GetAppPath();
  SetTemplateDir(FTemplateDir);
  if (FFilesDir.empty()) SetFilesDir("");
  if (OnBackButton) {
    FShowResyncWarning = false;
    FHistoryEnabled = true;
  }
  if (FSupportedBrowsers.Contains(brNetscape7)) FSupportedBrowsers.Insert(brGecko);
}

void TKXServerControllerBase::CreateCacheFolder() {
  std::error_code Ec;
  // Two processes started in the same millisecond would share (and delete) one folder: the
  // per-run folder is claimed with an exclusive mkdir, moving on a millisecond when it is taken.
  const std::string Default = TempFolder() + FProcessID + "/";
  if (FCacheDir == Default) {
    fs::create_directories(TempFolder(), Ec);
    for (int Attempt = 0; Attempt < 1000 && ::mkdir(FCacheDir.c_str(), 0700) != 0 && errno == EEXIST; ++Attempt) {
      FProcessID = MakeProcessID(++FProcessMSecs);
      FCacheDir = TempFolder() + FProcessID + "/";
    }
  }
  fs::create_directories(FCacheDir, Ec);
  if (!fs::is_directory(FCacheDir, Ec)) throw EKXException("Unable to create cache directory \"" + FCacheDir + "\".");
  // Uploaded files live in the cache folder, so they go with it at the latest.
  KXSetUploadFolderFunc([Folder = FCacheDir] { return Folder; });
  if (FCacheExpiry > 0) {
    FCachePurgeThread = std::make_unique<TCachePurgeThread>(FCacheDir, FCacheExpiry);
    FCachePurgeThread->Start();
  }
  if (FLog == loFile) LogToFile("Cache directory created \"" + FCacheDir + "\"");
}

TKXServerControllerBase::~TKXServerControllerBase() {
  if (FCachePurgeThread) {
    while (FCachePurgeThread->Purging()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    FCachePurgeThread->Terminate();
    FCachePurgeThread->WaitFor();   // stops within 100 ms; no fixed wait needed once joined
    DeleteCacheFolder();
    FCachePurgeThread.reset();
  }
  DeleteCacheFolder();
  KXSetUploadFolderFunc(nullptr);
  if (FGUIActive) TSyncLog::SetActive(false);
  GController = nullptr;
}

void TKXServerControllerBase::DeleteCacheFolder() {
  std::error_code Ec;
  if (!fs::exists(FCacheDir, Ec)) return;
  try {
    PurgeDirectory(FCacheDir, kNoAgeLimit, true);
  } catch (...) {
  }
  fs::remove_all(FCacheDir, Ec);
}

// ---------------------------------------------------------------------------------------------
// Settings with rules

void TKXServerControllerBase::SetAppName(const std::string& V) {
  if (V.empty()) throw EKXException("\"" + V + "\" is not a valid application name.");
  FAppName = V;
}

std::string TKXServerControllerBase::AppNameNoBlanks() const { return RemoveChars(FAppName, ' '); }

void TKXServerControllerBase::SetSessionTimeout(int V) {
  if (V < 0 || V > 600) throw EKXException("Invalid session timeout value.");
  FSessionTimeout = V;
}

void TKXServerControllerBase::SetCacheDir(const std::string& V) {
  const std::string T = Trim(V);
  if (T.empty())
    FCacheDir = TempFolder() + FProcessID + "/";
  else if (T[0] != '/')
    FCacheDir = TempFolder() + WithTrailingSeparator(T);
  else
    FCacheDir = WithTrailingSeparator(T);
  if (FCachePurgeThread) FCachePurgeThread->SetCacheDir(FCacheDir);
}

void TKXServerControllerBase::SetFilesDir(const std::string& V) {
  const std::string T = Trim(V);
  FFilesDir = T.empty() ? GetAppPath() + "Files/" : WithTrailingSeparator(T);
}

void TKXServerControllerBase::SetTemplateDir(const std::string& V) {
  if (V.empty()) {
    FTemplateDir = GetAppPath() + "Templates/";
    return;
  }
  std::error_code Ec;
  const std::string Relative = GetAppPath() + V;
  FTemplateDir = WithTrailingSeparator(fs::is_directory(Relative, Ec) ? Relative : V);
}

void TKXServerControllerBase::SetInternalFilesDir(const std::string& V) { FInternalFilesDir = WithTrailingSeparator(V); }

void TKXServerControllerBase::SetInternalFilesURL(const std::string& V) { FInternalFilesURL = V.empty() ? "/" : V; }

void TKXServerControllerBase::SetUseInternalFiles(bool V) { FUseInternalFiles = V; }

void TKXServerControllerBase::SetTheme(const std::string& V) {
  FTheme = V;
  if (!V.empty()) {
    FStyleSheet->SetFilename("");
    FStyleSheet->SetURL("");
  }
}

// ---------------------------------------------------------------------------------------------
// Events

void TKXServerControllerBase::DoNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm) {
  if (OnNewSession) OnNewSession(ASession, VMainForm);
}

void TKXServerControllerBase::DoCloseSession(TKXApplication* ASession) {
  if (OnCloseSession) OnCloseSession(ASession);
}

void TKXServerControllerBase::DoReEntry(TKXApplication* ASession) {
  if (OnReEntry) OnReEntry(ASession);
}

void TKXServerControllerBase::DoGetSessionID(TKXApplication* ASession, std::string& VNewSessionID) {
  if (OnGetSessionID) OnGetSessionID(ASession, VNewSessionID);
}

void TKXServerControllerBase::DoWAPClientDetect(TKXWAPClient& AWAPClient) {
  if (OnWAPClientDetect) OnWAPClientDetect(AWAPClient);
}

void TKXServerControllerBase::DoInvalidCommand(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AMsg) {
  if (OnInvalidCommand) OnInvalidCommand(ARequest, AResponse, AMsg);
}

bool TKXServerControllerBase::DoException(TKXApplication* ASession, const std::exception& AException, bool& Handled) {
  if (!OnException) return false;
  OnException(ASession, AException, Handled);
  return true;
}

void TKXServerControllerBase::DoBeforeRender(TKXApplication* ASession, TKXBaseForm* AForm, TKXBaseForm*& VNewForm) {
  if (OnBeforeRender) OnBeforeRender(ASession, AForm, VNewForm);
}

void TKXServerControllerBase::DoAfterRender(TKXApplication* ASession, TKXBaseForm* AForm) {
  if (OnAfterRender) OnAfterRender(ASession, AForm);
}

void TKXServerControllerBase::DoBackButton(int ASubmittedSequence, int ACurrentSequence, bool& VExecute, bool& VHandled,
                                           const std::string& AFormName) {
  if (!OnBackButton) return;
  if (ASubmittedSequence < 0 || ACurrentSequence < 0) throw ERangeError();
  OnBackButton(ASubmittedSequence, ACurrentSequence, AFormName, VHandled, VExecute);
}

void TKXServerControllerBase::MakeGUIActive() {
  FGUIActive = true;
  TSyncLog::SetActive(true);
}

bool TKXServerControllerBase::AuthActive() const { return FAuthList.Count() > 0 || static_cast<bool>(OnAuthRequest); }

// ---------------------------------------------------------------------------------------------
// Folders, files and URLs

std::string TKXServerControllerBase::GetAppPath() { return KXApplicationFolder(); }

void TKXServerControllerBase::SetApplicationFolder(const std::string& AFolder) { KXSetApplicationFolder(AFolder); }

std::string TKXServerControllerBase::GetUserCacheDir() const {
  TKXApplication* Session = CurrentSession();
  if (!Session) throw EKXException("WebApplication is requiered in order to use this function.");
  return Session->UserCacheDir();   // made on first use
}

std::string TKXServerControllerBase::GetUserCacheURL() const {
  TKXApplication* Session = CurrentSession();
  if (!Session) throw EKXException("WebApplication is requiered in order to use this function.");
  return Session->UserCacheURL();
}

std::string TKXServerControllerBase::NewCacheFile(const std::string& APrefix, bool AUserCache) const {
  static const std::string kMessage =
      "An error occurred while writing to the Cache Directory, please make sure the permissions are set correctly.";
  try {
    if (AUserCache) {
      TKXApplication* Session = CurrentSession();
      if (!Session) throw EKXException("WebApplication is requiered in order to use this function.");
      return Session->NewCacheFile(APrefix);
    }
    std::string Template = FCacheDir + UpperCase(APrefix.substr(0, 3)) + "XXXXXX.tmp";
    const int Fd = mkstemps(Template.data(), 4);
    if (Fd < 0) throw EKXException(kMessage);
    close(Fd);
    return Template;
  } catch (const EKXException&) {
    throw EKXException(kMessage);
  }
}

std::string TKXServerControllerBase::GetFilesURL() {
  TKXApplication* Session = CurrentSession();
  const std::string Base = Session ? Session->AppURLBase() : FURLBase;
  FFilesURL = WithTrailingSeparator(Base) + "Files/";
  return FFilesURL;
}

std::string TKXServerControllerBase::GetFilesNCURL() {
  const std::string Files = GetFilesURL();
  return Files.substr(0, Files.size() - 1) + "NC/";
}

std::string TKXServerControllerBase::GetCacheURL() {
  if (TKXApplication* Session = CurrentSession()) FCacheURL = WithTrailingSeparator(Session->AppURLBase()) + "Cache/";
  return FCacheURL;
}

std::string TKXServerControllerBase::GetInternalFilesURL() const { return FInternalFilesURL; }

bool TKXServerControllerBase::EncodingIsUTF8() {
  if (FEncodingUTF8 < 0) FEncodingUTF8 = (FCharSet.empty() ? std::string("UTF-8") : FCharSet) == "UTF-8" ? 1 : 0;
  return FEncodingUTF8 == 1;
}

void TKXServerControllerBase::Compress(void* Sender, TWebRequest* Request, bool& Handled, TWebResponse* Response) {
  if (const TKXCompressor* C = FCompression.Compressor()) C->Compress(Sender, Request, Response, Handled);
}

void TKXServerControllerBase::LogToFile(const std::string& AMessage) const { AppendToLogFile("log", AMessage); }

void TKXServerControllerBase::AppendToLogFile(const std::string& AExtension, const std::string& AMessage) {
  std::string Exe;
  {
    std::error_code Ec;
    Exe = fs::read_symlink("/proc/self/exe", Ec).filename().string();
    if (Exe.empty()) Exe = "kexalo";
  }
  const TSkDateParts P = DecodeDateTime(NowLocal());
  char Stamp[32];
  std::snprintf(Stamp, sizeof Stamp, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d", P.Year, P.Month, P.Day, P.Hour, P.Minute, P.Second);
  std::lock_guard<std::mutex> Guard(GLogFileLock);
  std::ofstream Out(GetAppPath() + Exe + "." + AExtension, std::ios::app | std::ios::binary);
  Out << Stamp << ' ' << AMessage << "\r\n";
}

void TKXServerControllerBase::PurgeDirectory(const std::string& AFolder, double AAgeLimitMinutes, bool ARemoveFolders) {
  if (IsUnsafePurgeTarget(AFolder))
    throw EKXException("Assertion failed: PurgeDirectory attempts to delete \"" + AFolder + "\"");
  std::error_code Ec;
  const TDateTime Now = NowLocal();
  for (fs::directory_iterator It(AFolder, Ec), End; !Ec && It != End; It.increment(Ec)) {
    const fs::path P = It->path();
    if (It->is_directory(Ec)) {
      PurgeDirectory(P.string() + "/", AAgeLimitMinutes, ARemoveFolders);
      if (ARemoveFolders) fs::remove(P, Ec);
      continue;
    }
    const bool Old = AAgeLimitMinutes < 0 || (Now - FileTime(P)) * 24 * 60 > AAgeLimitMinutes;
    if (Old) {
      fs::remove(P, Ec);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}
