#include "session/KXApplication.h"

#include <arpa/inet.h>
#include <sys/random.h>

#include <algorithm>
#include <utility>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "content/KXContentTypes.h"
#include "core/KXException.h"
#include "session/KXServerControllerIntf.h"
#include "core/KXTextEncoding.h"
#include "session/KXWAPClient.h"
#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

namespace fs = std::filesystem;

namespace {

const bool GApplicationRegistered = KXRegisterClass<TKXApplication>();

constexpr const char* kBase36 = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int kIDGroupDigits = 7;   // the largest 32-bit number has 7 base-36 digits

const char* const kUnknownBrowser = "Unknown browser type.";
const char* const kWrongIP =
    "Security Exception: The IP you are using is different than the one that is assigned to the specified session.";
const char* const kWrongSubnet =
    "Security Exception: The IP you are using is from a different subnet than the one that is assigned to the "
    "specified session.";
const char* const kWrongBrowser =
    "Security Exception: The browser you are using is different than the one that is assigned to the specified "
    "session.";
const char* const kTerminated = "Application has terminated";

const char* const kMessageWindowScript =
    "msgWindow=window.open(\"\",\"ShowMessage\",\"menubar=no,scrollbars=yes,status=no,width=300,height=300,"
    "toolbar=no,location=no,resizable=no,directories=no\");\r\nmsgWindow.document.open(\"text/html\", "
    "\"replace\");\r\nmsgWindow.document.write('<HTML><HEAD><TITLE>Message Dialog</TITLE></HEAD>');\r\n"
    "msgWindow.document.write('<BODY>');\r\nmsgWindow.document.write('<CENTER>";
const char* const kMessageWindowScriptEnd =
    "</CENTER>')\r\nmsgWindow.document.write('<FORM onSubmit=\"window.close();\"><CENTER><INPUT TYPE=\"button\" "
    "NAME=\"butnClose\" VALUE=\"Ok\" onClick=\"window.close();\"></CENTER></FORM>');\r\n"
    "msgWindow.document.write('</BODY>');\r\nmsgWindow.document.close();\r\n";

// Window features in the order the browser expects them.
const struct {
  TKXWindowOption Option;
  const char* Text;
} kWindowFeatures[] = {
    {woButtons, ",directories=yes"},     {woStatusBar, ",status=yes"},       {woMenuBar, ",menubar=yes"},
    {woScrollBars, ",scrollbars=yes"},   {woResizable, ",resizable=yes"},    {woCopyHistory, ",copyhistory=yes"},
    {woFullScreen, ",fullscreen=yes"},
};

std::string Base36Group(uint32_t AValue) {
  std::string R(kIDGroupDigits, '0');
  for (int I = kIDGroupDigits - 1; I >= 0 && AValue; --I) {
    R[static_cast<size_t>(I)] = kBase36[AValue % 36];
    AValue /= 36;
  }
  return R;
}

void FillRandom(unsigned char* ABuffer, size_t ACount) {
  size_t Done = 0;
  while (Done < ACount) {
    const ssize_t N = getrandom(ABuffer + Done, ACount - Done, 0);
    if (N < 0) {
      if (errno == EINTR) continue;
      // Never fall back to a guessable source: no session without a good id.
      throw EKXException(std::string("Cannot generate a session id: ") + std::strerror(errno));
    }
    Done += static_cast<size_t>(N);
  }
}

// A dotted IPv4 address; false for anything else. A first octet above 255 is a range error.
bool ParseIPv4(const std::string& AAddr, uint32_t& AValue) {
  const std::vector<std::string> Parts = SplitString(Trim(AAddr), '.');
  if (Parts.size() != 4) return false;
  uint32_t V = 0;
  for (size_t I = 0; I < 4; ++I) {
    int64_t Octet;
    if (Parts[I].empty() || Parts[I].size() > 10 || !TryStrToInt64(Parts[I], Octet) || Octet < 0) return false;
    if (Octet > 255) {
      if (I == 0) throw ERangeError();
      return false;
    }
    V = V << 8 | static_cast<uint32_t>(Octet);
  }
  AValue = V;
  return true;
}

std::string WithTrailingSlash(std::string S) {
  if (S.empty() || S.back() != '/') S += '/';
  return S;
}

uint32_t ClassfulMask(uint32_t AAddr) {
  const uint32_t First = AAddr >> 24;
  if (First >= 1 && First <= 124) return 0xFF000000u;
  if (First == 127) return 0xFFFFFFFFu;
  if (First >= 128 && First <= 191) return 0xFFFF0000u;
  if (First >= 192 && First <= 223) return 0xFFFFFF00u;
  throw EKXWrongSubnet(kWrongSubnet);
}

}  // namespace

const TKXClassInfo& TKXApplication::StaticClassInfo() {
  (void)GApplicationRegistered;
  static const TKXClassInfo Info = KXClass<TKXApplication, TKXComponent>("TKXApplication");
  return Info;
}

// ---------------------------------------------------------------------------------------------
// Identity and creation

std::string TKXApplication::NewSessionID() {
  unsigned char G[16];
  FillRandom(G, sizeof G);
  // Laid out as a GUID: a 32-bit field, two 16-bit fields, then eight bytes.
  auto Big32 = [&G](int AAt) {
    return uint32_t{G[AAt]} << 24 | uint32_t{G[AAt + 1]} << 16 | uint32_t{G[AAt + 2]} << 8 | uint32_t{G[AAt + 3]};
  };
  const uint32_t Data1 = Big32(0);
  const uint32_t Data2 = uint32_t{G[4]} << 8 | G[5];
  const uint32_t Data3 = uint32_t{G[6]} << 8 | G[7];
  return Base36Group(Data1) + Base36Group(Data2 * 65536u + Data3) + Base36Group(Big32(8)) + Base36Group(Big32(12));
}

TKXClientType TKXApplication::ClientTypeOfBrowser(TKXBrowser ABrowser, const IKXServerController& AController) {
  switch (ABrowser) {
    case brIE: case brGecko: case brOpera: case brSafari: case brChrome:
      return ctHTML40;
    case brIE4:
      return AController.IExplorer4As32() ? ctHTML32 : ctHTML40;
    case brNetscape6:
      return AController.Netscape6As32() ? ctHTML32 : ctHTML40;
    case brNetscape4: case brOther: case brHTML32Test:
      return ctHTML32;
    case brWMLTest: case brXHTMLMPTest: case brWAP:
      return ctWAP;
    case brUnknown: case brNetscape7:
      break;
  }
  return ctUnknown;
}

TKXClientType TKXApplication::ClientTypeOfUnknownAction(TKXClientType ACurrent) const {
  switch (FController.UnknownBrowserAction()) {
    case ub32: return ctHTML32;
    case ubWAP: return ctWAP;
    case ub40: return ctHTML40;
    case ubReject: break;
  }
  return ACurrent;
}

TKXApplication::TKXApplication(IKXServerController& AController, TKXBrowserType ABrowser,
                               const std::string& AUserAgent, const std::string& AIP, const std::string& AAuthUser,
                               const std::string& AAuthPassword, const std::string& AReferringURL,
                               const TSkStringList& AParams, const std::string& AURLBase)
    : TKXComponent(nullptr), FController(AController) {
  IKXServerController& C = FController;
  FBrowser = ABrowser.Browser;
  FBrowserSubType = ABrowser.SubType;
  FClientType = ClientTypeOfBrowser(FBrowser, C);
  const TKXBrowsers& Supported = C.SupportedBrowsers();
  if (FBrowser == brUnknown || (FClientType == ctHTML40 && !Supported.Contains(FBrowser))) {
    if (C.UnknownBrowserAction() == ubReject)
      throw EUnknownBrowserException(kUnknownBrowser, BrowserSupportsJS(FBrowser));
    FClientType = ClientTypeOfUnknownAction(FClientType);
  }
  if (FClientType == ctHTML40) CheckBrowser(FBrowser, Supported, AUserAgent, true);

  MarkAccess();
  FAuthUser = AAuthUser;
  FAuthPassword = AAuthPassword;
  FIP = AIP;
  FReferringURL = AReferringURL;
  FRunParams = AParams;
  FAppURLBase = !C.URLBase().empty() ? C.URLBase() : AURLBase;
  FMasterTemplate = C.MasterTemplate();
  FMasterTemplate32 = C.MasterTemplate32();
  FSessionTimeOut = C.SessionTimeout();
  FSessionTimeStamp = NowLocal();
  std::string ID;
  C.DoGetSessionID(this, ID);
  FAppID = ID.empty() ? NewSessionID() : ID;
  FTaggedSessionName = FAppID;
  FUserCacheDir = C.CacheDir() + "user/" + FAppID + "/";
}

void TKXApplication::Close() {
  if (FClosed) return;
  FClosed = true;
  if (FAppID.empty()) return;
  try {
    FController.DoCloseSession(this);
  } catch (...) {
    // The application's handler failing must not keep the session alive.
  }
}

TKXApplication::~TKXApplication() {
  Close();
  try {
    FData.reset();
  } catch (...) {
  }
  FActiveForms.clear();
  FReleasedForms.clear();
  // Forms and data modules reach back into the session while they go, so they go first.
  try {
    DestroyComponents();
  } catch (...) {
  }
  FForms.clear();
  FWAPClient.reset();
  std::error_code Ec;
  if (!FUserCacheDir.empty() && fs::is_directory(FUserCacheDir, Ec)) {
    for (fs::directory_iterator It(FUserCacheDir, Ec), End; !Ec && It != End; It.increment(Ec)) {
      const std::string Name = It->path().filename().string();
      if (Name.find('.', 1) != std::string::npos) fs::remove(It->path(), Ec);
    }
    fs::remove(FUserCacheDir, Ec);
  }
}

void TKXApplication::Notification(TKXComponent* AComponent, TKXOperation AOperation) {
  TKXComponent::Notification(AComponent, AOperation);
  if (AOperation == opInsert && AComponent->Owner() == this) {
    AddForm(AComponent);
  } else if (AOperation == opRemove) {
    RemoveFromForms(AComponent);
  }
}

void TKXApplication::SetData(void* AData, void (*ADeleter)(void*)) {
  FData = std::unique_ptr<void, void (*)(void*)>(AData, AData ? ADeleter : [](void*) {});
}

const std::string& TKXApplication::UserCacheDir() const {
  if (!FUserCacheDirMade && !FUserCacheDir.empty()) {
    std::error_code Ec;
    fs::create_directories(FUserCacheDir, Ec);   // a failure shows when the first file is written
    FUserCacheDirMade = true;
  }
  return FUserCacheDir;
}

TKXWAPClient& TKXApplication::WAPClient() {
  if (!FWAPClient) FWAPClient = std::make_unique<TKXWAPClient>();
  return *FWAPClient;
}

// ---------------------------------------------------------------------------------------------
// Locking and binding

void TKXApplication::MarkAccess() { FLastAccess = NowLocal(); }

bool TKXApplication::Expired(TDateTime ANow) const { return !(FSessionTimeOut / 1440.0 > ANow - FLastAccess); }

void TKXApplication::Initialize(TWebRequest* ARequest, TWebResponse* AResponse) {
  FRequest = ARequest;
  FResponse = AResponse;
  switch (FBrowser) {
    case brWMLTest:
      WAPClient().SetOutputTagType(wotWML);
      break;
    case brXHTMLMPTest:
      WAPClient().SetOutputTagType(wotXHTMLMP);
      break;
    case brWAP: {
      const std::string Agent = ARequest ? ARequest->UserAgent() : std::string();
      TKXWAPClient& WAP = WAPClient();
      WAP.SetOutputTagType(DetermineWAPClient(Agent));
      WAP.SetUserAgent(Agent);
      FController.DoWAPClientDetect(WAP);
      break;
    }
    case brUnknown:
      FClientType = ClientTypeOfUnknownAction(FClientType);
      break;
    default:
      break;
  }
}

void TKXApplication::UnInitialize() {
  FRequest = nullptr;
  FResponse = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Address binding

bool TKXApplication::SameSubnetAsStartupIP(const std::string& AAddr) const {
  uint32_t Mine, Theirs;
  const bool MineIs4 = ParseIPv4(FIP, Mine);
  const bool TheirsIs4 = ParseIPv4(AAddr, Theirs);
  // Addresses that are not dotted IPv4 (IPv6) have no classful subnet: only the same address passes.
  if (!MineIs4 || !TheirsIs4) {
    if (SameText(Trim(FIP), Trim(AAddr)) && !Trim(AAddr).empty()) return true;
    throw EKXWrongSubnet(kWrongSubnet);
  }
  if (Mine == Theirs) return true;
  return (Mine & ClassfulMask(Mine)) == (Theirs & ClassfulMask(Theirs));
}

void TKXApplication::CheckAddressAndBrowser(const std::string& AClientIP, TKXBrowser ARequestBrowser) {
  if (FController.RestrictIPs() && !SameText(AClientIP, FIP)) throw EKXException(kWrongIP);
  if (FController.RestrictSubnet()) {
    bool Same = false;
    try {
      Same = SameSubnetAsStartupIP(AClientIP);
    } catch (const EKXException&) {
      // Only the message of the failed check travels on.
    }
    if (!Same) throw EKXException(kWrongSubnet);
  }
  IKXSessionForm* Form = ActiveSessionForm();
  const bool CheckOn = !Form || Form->BrowserSecurityCheck();
  if (CheckOn && ARequestBrowser != FBrowser && FBrowser != brHTML32Test && FBrowser != brWMLTest &&
      FBrowser != brXHTMLMPTest)
    throw EKXException(kWrongBrowser);
}

// ---------------------------------------------------------------------------------------------
// Forms

void TKXApplication::AddForm(TKXComponent* AFormOrDataModule) {
  if (AFormOrDataModule && std::find(FForms.begin(), FForms.end(), AFormOrDataModule) == FForms.end())
    FForms.push_back(AFormOrDataModule);
}

void TKXApplication::RemoveFromForms(TKXComponent* AFormOrDataModule) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), AFormOrDataModule), FForms.end());
}

// The typed pointer is kept beside the core's untyped slot so that handing back the previous
// session never casts it: it may have been destroyed meanwhile, and the sanitizers rightly
// refuse a downcast through a destroyed object.
namespace {
thread_local TKXApplication* GCurrentSession = nullptr;
}

TKXApplication* SetCurrentSession(TKXApplication* ASession) {
  SetCurrentSessionScope(ASession);
  return std::exchange(GCurrentSession, ASession);
}

TKXApplication* CurrentSession() { return GCurrentSession; }

// The controller is never a session's data module, whichever thread makes it.
void TKXApplication::AdoptDataModule(TKXComponent* ADataModule) {
  if (ADataModule && !dynamic_cast<IKXServerController*>(ADataModule)) AddForm(ADataModule);
}

void TKXApplication::DropDataModule(TKXComponent* ADataModule) {
  if (ADataModule) RemoveFromForms(ADataModule);
}

TKXComponent* TKXApplication::FindSessionComponent(std::string_view AName) {
  for (TKXComponent* F : FForms)
    if (SameText(F->Name(), AName)) return F;
  return nullptr;
}

void TKXApplication::SetActiveForm(IKXSessionForm* AForm) {
  if (FActiveForms.empty() || FActiveForms.back() != AForm) FActiveForms.push_back(AForm);
  if (FFormWidth * FFormHeight != 1 && AForm->IsHTML40Form()) AForm->ResizeTo(FFormWidth, FFormHeight);
}

void TKXApplication::RemoveForm(IKXSessionForm* AForm) {
  FActiveForms.erase(std::remove(FActiveForms.begin(), FActiveForms.end(), AForm), FActiveForms.end());
}

void TKXApplication::ReleaseForm(IKXSessionForm* AForm) {
  if (std::find(FReleasedForms.begin(), FReleasedForms.end(), AForm) == FReleasedForms.end())
    FReleasedForms.push_back(AForm);
}

void TKXApplication::FormDestroyed(IKXSessionForm* AForm) {
  RemoveForm(AForm);
  FReleasedForms.erase(std::remove(FReleasedForms.begin(), FReleasedForms.end(), AForm), FReleasedForms.end());
}

void TKXApplication::FreeReleasedForms() {
  while (!FReleasedForms.empty()) {
    IKXSessionForm* Form = FReleasedForms.back();
    FReleasedForms.pop_back();   // taken out first: freeing it may release others
    RemoveForm(Form);
    Form->Free();
  }
}

std::string TKXApplication::GetActiveMasterTemplate() const {
  IKXSessionForm* Form = ActiveSessionForm();
  if (!Form) return {};
  if (Form->IsHTML32Form()) return FMasterTemplate32;
  if (Form->IsHTML40Form()) return FMasterTemplate;
  return {};
}

// ---------------------------------------------------------------------------------------------
// Messages and windows

void TKXApplication::ShowMessage(const std::string& AMsg, TKXShowMessageType AType, const std::string& ATemplate) {
  IKXSessionForm* Form = ActiveSessionForm();
  TKXShowMessageType Mode = AType;
  if (!Form || FClientType == ctHTML32 || FClientType == ctWAP || !Form->IsHTML40Form()) Mode = smSameWindow;
  switch (Mode) {
    case smAlert:
      Form->AddToInitProc("window.alert(\"" + TextToJSStringLiteral(AMsg) + "\");\r\n");
      break;
    case smNewWindow: {
      const std::string Text = ReplaceAll(RemoveChars(AMsg, '\r'), "\n", "<br>");
      const std::string Script = kMessageWindowScript + Text + kMessageWindowScriptEnd;
      Form->AddNewWindowCode(Script, FIsPartialUpdate);
      break;
    }
    case smSameWindow:
    case smSameWindowFrame:
      if (FFormFactory) FFormFactory->ShowMessageForm(*this, AMsg, ATemplate.empty() ? "KXShowMessage.html" : ATemplate, Mode);
      break;
  }
}

void TKXApplication::NewWindow(const std::string& AURL, const std::string& AName, int AWidth, int AHeight,
                               TKXWindowOptions AOptions, int ATop, int ALeft) {
  std::string Features;
  for (const auto& F : kWindowFeatures)
    if (AOptions.Contains(F.Option)) Features += F.Text;
  if (!Features.empty()) Features.erase(0, 1);
  auto Item = [](const char* AName, int AValue) {
    return AValue == -1 ? std::string() : std::string(AName) + std::to_string(AValue);
  };
  const std::string Height = Item("height=", AHeight), Width = Item("width=", AWidth);
  const std::string Top = Item("top=", ATop), Left = Item("left=", ALeft);
  const std::string W = Features.empty() ? Height + "," + Width + "," + Top + "," + Left + ","
                                         : Height + "," + Width + ",," + Top + "," + Left + "," + Features;
  const std::string Focus = FIsPartialUpdate ? "KXTop().xNewWindow.focus()};" : "xNewWindow.focus()};";
  const std::string Script =
      "xNewWindow = window.open(\"" + AURL + "\",\"" + AName + "\",\"" + W + "\");" + "if (window.focus) {" + Focus;
  IKXSessionForm* Form = ActiveSessionForm();
  if (!Form || FIsCallBack) return;
  Form->AddNewWindowCode(FIsPartialUpdate ? "KXTop()." + Script : Script, FIsPartialUpdate);
}

// ---------------------------------------------------------------------------------------------
// Ending the session, files, secure mode

void TKXApplication::TerminateAndRedirect(const std::string& AURL, const std::string& AMsg) {
  FTerminated = true;
  if (!AURL.empty()) {
    FRedirectURL = AURL;
    FTerminateMessage = AMsg;
  } else {
    FTerminateMessage = AMsg.empty() ? std::string(kTerminated) : AMsg;
  }
}

void TKXApplication::SendStream(std::unique_ptr<TSkStream> AStream, bool AAttachment, const std::string& AContentType,
                                const std::string& AFilename) {
  if (!FResponse) throw EKXException("No response to send to.");
  FResponse->SetContentStream(std::move(AStream));
  const std::string Type = Trim(AContentType);
  FResponse->SetContentType(Type.empty() ? "application/unknown" : Type);
  FResponse->SetCustomHeader("Content-Disposition",
                             std::string(AAttachment ? "attachment" : "inline") + ";filename=\"" + AFilename + "\"");
  FResponse->SetCustomHeader("Expires", DateTimeToInternetStr(false, NowLocal()));
}

void TKXApplication::SendFile(const std::string& APathname, bool AAttachment, const std::string& AContentType,
                              const std::string& AFilename) {
  const std::string Name = AFilename.empty() ? fs::path(APathname).filename().string() : AFilename;
  const std::string Type = AContentType.empty() ? ContentTypeOfFile(Name) : AContentType;
  SendStream(std::make_unique<TSkFileStream>(APathname, TSkFileMode::fmOpenRead), AAttachment, Type, Name);
}

TAbstractWebRequestFile* TKXApplication::FindFile(const std::string& AName) const {
  if (!FFileList) return nullptr;
  for (int I = 0; I < FFileList->Count(); ++I)
    if (SameText(FFileList->Item(I).FieldName(), AName)) return &FFileList->Item(I);
  return nullptr;
}

std::string TKXApplication::FullApplicationURL(TWebRequest* ARequest, int ASSLPort) {
  if (!ARequest) return {};
  const int Port = ARequest->ServerPort();
  const bool Secure = Port == ASSLPort;
  return std::string(Secure ? "https://" : "http://") + ARequest->Host() + ":" + std::to_string(Port);
}

std::string TKXApplication::ExecAction() const {
  const std::string& Exec = FController.ExecCmd();
  if (FController.SessionTrackingMethod() == tmURL)
    return FAppURLBase + "/" + Exec + "/" + std::to_string(FTrackID) + "/" + FAppID;
  return FAppURLBase + "/" + Exec;
}

std::string TKXApplication::ApplicationURL() const { return FullApplicationURL(FRequest, FController.SSLPort()); }

std::string TKXApplication::CacheURL() const { return WithTrailingSlash(FAppURLBase) + "Cache/"; }

std::string TKXApplication::FilesURL() const { return WithTrailingSlash(FAppURLBase) + "Files/"; }

std::string TKXApplication::UserCacheURL() const {
  return ReplaceAll(CacheURL() + "user" + "/" + FAppID + "/", "\\", "/");
}

std::string TKXApplication::NewCacheFile(const std::string& APrefix) const {
  static const std::string kMessage =
      "An error occurred while writing to the Cache Directory, please make sure the permissions are set correctly.";
  std::string Template = UserCacheDir() + UpperCase(APrefix.substr(0, 3)) + "XXXXXX.tmp";
  const int Fd = mkstemps(Template.data(), 4);
  if (Fd < 0) throw EKXException(kMessage);
  close(Fd);
  return Template;
}

std::string TKXApplication::ApplicationPath() {
  if (FApplicationPath.empty()) FApplicationPath = KXApplicationFolder();
  return FApplicationPath;
}

bool TKXApplication::SecureMode() {
  const int SSLPort = FController.SSLPort();
  FSecureMode = FRequest && SSLPort >= 1 && SSLPort == FRequest->ServerPort();
  return FSecureMode;
}

void TKXApplication::SwitchTo(bool ASecure) {
  if (!FRequest) return;
  const int Port = ASecure ? FController.SSLPort() : FController.Port();
  if (SecureMode() == ASecure || Port <= 0) return;
  IKXSessionForm* Form = ActiveSessionForm();
  const bool UseExec = !Form || (Form->IsHTML40Form() && Form->PartialUpdateMode());
  std::string Target = UseExec ? ExecAction() : FFormAction;
  const std::string PortText = Port == (ASecure ? 443 : 80) ? std::string() : ":" + std::to_string(Port);
  const std::string Scheme = ASecure ? "https://" : "http://";
  if (FController.SessionTrackingMethod() == tmURL) {
    GoToURL(Scheme + FRequest->Host() + PortText + Target);
  } else {
    if (Target.empty() || Target.back() != '/') Target += '/';
    GoToURL(Scheme + FRequest->Host() + PortText + Target + "call?" + "KXAPP" + "/" + std::to_string(FTrackID) + "/" +
            FAppID);
  }
}

void TKXApplication::SwitchToSecure() { SwitchTo(true); }
void TKXApplication::SwitchToNonSecure() { SwitchTo(false); }
