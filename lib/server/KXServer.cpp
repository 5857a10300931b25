#include "server/KXServer.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "core/KXBrowser.h"
#include "core/KXClasses.h"
#include "core/KXComponent.h"
#include "core/KXException.h"
#include "content/KXContentTypes.h"
#include "core/KXFileReference.h"
#include "content/KXInternalFiles.h"
#include "server/KXServerControllerBase.h"
#include "server/KXSessionDispatch.h"
#include "forms/KXAppForm.h"
#include "forms/KXFormSubmission.h"
#include "session/KXApplication.h"
#include "SkCodec.h"
#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebResponse.h"

namespace fs = std::filesystem;

namespace {

const char* const kSessionNotFound = "Session not found. Session may have expired.";
const char* const kNoCookies = "Your browser does not seem to support cookies or they are disactivated";
const char* const kAuthFailed = "Authentication Failed.";
const char* const kCookieCheckName = "KX_CookieCheck_";

// The page form class remembered by page mode for this thread's request.
thread_local std::string GPageFormClass;

// Takes the text up to the first "/" from ARest (all of it without one) and removes it with the "/".
std::string Fetch(std::string& ARest) {
  const size_t P = ARest.find('/');
  std::string Segment = ARest.substr(0, P);
  ARest = P == std::string::npos ? std::string() : ARest.substr(P + 1);
  return Segment;
}

bool TryTrackID(const std::string& AText, unsigned& AValue) {
  int64_t V = 0;
  if (AText.empty() || !TryStrToInt64(AText, V)) {
    AValue = 0;
    return false;
  }
  if (V < 0 || V > 4294967295LL) throw ERangeError();
  AValue = static_cast<unsigned>(V);
  return true;
}

int TrackIDOrMinusOne(const std::string& AText) {
  int64_t V;
  return TryStrToInt64(AText, V) && V >= 0 && V <= INT32_MAX ? static_cast<int>(V) : -1;
}

bool HasHTML40ActiveForm(TKXApplication* ASession) {
  IKXSessionForm* Form = ASession->ActiveSessionForm();
  return Form && Form->IsHTML40Form();
}

bool IsSessionCommand(TCmdCondition C) {
  return C == cmdReentry || C == cmdStop || C == cmdExec || C == cmdUpdate || C == cmdResize || C == cmdUpload ||
         C == cmdCallback;
}

bool CarriesIDs(TCmdCondition C) { return IsSessionCommand(C) || C == cmdCall; }

std::string FormatLogTime(TDateTime AValue) {
  const TSkDateParts P = DecodeDateTime(AValue);
  char Buf[40];
  std::snprintf(Buf, sizeof Buf, "%.2d %s %.4d %.2d:%.2d:%.2d ", P.Day, kShortMonthNames[P.Month - 1], P.Year, P.Hour,
                P.Minute, P.Second);
  return Buf;
}

// A disk path inside the files or cache folder: no "..", no absolute or backslashed names, in any encoding.
bool IsSafeRelativeName(const std::string& AName) {
  std::string Decoded = AName;
  for (int Pass = 0; Pass < 3; ++Pass) {
    std::string Next;
    if (!TryURLDecodePath(Decoded, Next)) return false;
    if (Next == Decoded) break;
    Decoded = Next;
  }
  if (Decoded.empty() || Decoded[0] == '/' || Decoded.find('\\') != std::string::npos) return false;
  if (Decoded.find('\0') != std::string::npos) return false;
  for (const std::string& Part : SplitString(Decoded, '/'))
    if (Part == "..") return false;
  return true;
}

TDateTime FileModified(const std::string& APath) {
  struct stat St;
  if (stat(APath.c_str(), &St) != 0) return -1;
  return UTCToLocal(UnixToDateTime(St.st_mtime));
}

// Page mode asks the registered form class whether it may be opened by its address.
// Page mode asks a temporary instance of the registered class whether it may be opened by its address.
bool KXPageAccessAllowed(const std::string& AClassName) {
  const TKXClassInfo* Class = KXClassRegistry().FindClass(AClassName);
  const TKXPropInfo* Prop = Class ? Class->FindProperty("AllowPageAccess") : nullptr;
  if (!Class || !Class->CanCreate() || !Prop || Prop->Kind != TKXPropKind::pkBoolean) return false;
  std::unique_ptr<TKXComponent> Probe(Class->Create(nullptr));
  return Prop->GetOrdinal(*Probe) != 0;
}

}  // namespace

const std::string& TKXServer::PageFormClass() { return GPageFormClass; }

// ---------------------------------------------------------------------------------------------
// Entry

TKXServer::TKXServer(TKXServerControllerBase& AController, IKXSessionDispatch& ASessions)
    : FController(AController), FSessions(ASessions) {}
TKXServer::~TKXServer() = default;

bool TKXServer::HandleRequest(TWebRequest& ARequestRef, TWebResponse& AResponseRef) {
  TWebRequest* ARequest = &ARequestRef;
  TWebResponse* AResponse = &AResponseRef;
  if (AResponse->Sent()) return true;
  bool Handled = false;
  KXServerBeforeDispatch(ARequest, AResponse, Handled);
  if (Handled) return true;
  Handled = true;
  KXServerDefaultAction(ARequest, AResponse, Handled);
  if (Handled && !AResponse->Sent()) KXServerAfterDispatch(ARequest, AResponse, Handled);
  return Handled;
}

void TKXServer::KXServerBeforeDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled) {
  TKXServerControllerBase& C = Controller();
  // COM apartments do not exist on this host: ComInitialization has no effect.
  if (C.OnBeforeDispatch) C.OnBeforeDispatch(this, Request, Response, Handled);
}

void TKXServer::KXServerAfterDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled) {
  TKXServerControllerBase& C = Controller();
  if (C.OnAfterDispatch) C.OnAfterDispatch(this, Request, Response, Handled);
  TSkStream* Stream = Response->ContentStream();
  TSyncLog::LogBytes(Stream ? Stream->Size() : Response->ContentLength());
}

void TKXServer::KXServerDefaultAction(TWebRequest* Request, TWebResponse* Response, bool& Handled) {
  FState = TKXDispatchState();
  Handled = true;
  try {
    FState.ExecWord = Controller().ExecCmd();
    Dispatch(Request, Response);
  } catch (const std::exception& E) {
    // Failures before the command guard (bad path encoding, missing controller) still get a page.
    try {
      ServeServerError(Request, Response, &E, "Error");
    } catch (...) {
      Response->SetStatusCode(500);
      Response->SetContent("Server error");
    }
  }
  ReleaseSession();
  SetCurrentSession(nullptr);
  GPageFormClass.clear();
}

void TKXServer::Dispatch(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  if (RedirectToSSL(ARequest, AResponse)) return;
  ReadCredentials(ARequest);
  ReadParams(ARequest);
  AResponse->CustomHeaders().Clear();
  FState.Path = ParsePath(ARequest->PathInfo(), ARequest->Query(), FState.Params, C);
  try {
    ExtractIDs(ARequest, AResponse);
    DetermineClientIP(ARequest);
    if (IsSessionCommand(FState.Path.Command)) FindSession(ARequest);
    RunCommand(ARequest, AResponse);
  } catch (const std::exception& E) {
    HandleException(E, ARequest, AResponse);
  }
  Finish(ARequest, AResponse);
}

bool TKXServer::RedirectToSSL(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  if (C.SSLOptions().NonSSLRequest != nsRedirect || ARequest->ServerPort() == C.SSLOptions().Port) return false;
  AResponse->SetContent("<META HTTP-EQUIV=\"Refresh\"CONTENT=\"0;URL=https://" + ARequest->Host() + ":" +
                        IntToStr(C.SSLOptions().Port) + "/" + C.StartCmd() + "\">" + "\r\n" +
                        "<meta http-equiv=\"cache-control\" content=\"no-cache\">" + "\r\n" +
                        "<meta http-equiv=\"pragma\" content=\"no-cache\">");
  AResponse->SendResponse();
  return true;
}

void TKXServer::ReadCredentials(TWebRequest* ARequest) {
  std::string Auth = ARequest->Authorization();
  if (Auth.empty()) Auth = ARequest->GetFieldByName("Authorization");
  if (Auth.empty()) {
    FState.UserName = ARequest->GetFieldByName("Auth_User");
    FState.Password = ARequest->GetFieldByName("Auth_Pass");
    return;
  }
  const std::string T = Trim(Auth);
  const size_t Blank = T.find(' ');
  if (!SameText(T.substr(0, Blank), "Basic") || Blank == std::string::npos) return;
  const std::string Decoded = Base64Decode(Trim(T.substr(Blank + 1)));
  const size_t Colon = Decoded.find(':');
  FState.UserName = Decoded.substr(0, Colon);
  FState.Password = Colon == std::string::npos ? std::string() : Decoded.substr(Colon + 1);
}

void TKXServer::ReadParams(TWebRequest* ARequest) {
  FState.Params = ARequest->MethodType() == mtPost ? ARequest->ContentFields() : ARequest->QueryFields();
  // Fields decoded byte by byte are UTF-8 text when the application answers in UTF-8.
  if (Controller().EncodingIsUTF8()) {
    for (int I = 0; I < FState.Params.Count(); ++I)
      if (!IsValidUtf8(FState.Params[I])) FState.Params[I] = Latin1ToUtf8(FState.Params[I]);
  }
}

TKXParsedPath TKXServer::ParsePath(const std::string& APathInfo, const std::string& AQuery, const TSkStringList& AParams,
                                   TKXServerControllerBase& AController) {
  TKXParsedPath R;
  std::string Rest = StartsStr("/../", APathInfo) ? APathInfo.substr(4) : APathInfo.substr(APathInfo.empty() ? 0 : 1);
  std::string Word = UpperCase(Fetch(Rest));
  if (Word == "32" || Word == "WML" || Word == "XHTMLMP") {
    R.Prefix32 = Word == "32";
    R.PrefixWML = Word == "WML";
    R.PrefixXHTMLMP = Word == "XHTMLMP";
    Word = UpperCase(Fetch(Rest));
  }
  // Page mode: "/TKXForm1.html" starts a session showing that form when the form allows it.
  const size_t Dot = Word.find('.');
  if (Dot != std::string::npos) {
    const std::string Ext = Word.substr(Dot + 1);
    if (SameText(Ext, "IWP") || SameText(Ext, "HTML")) {
      std::string ClassName = UpperCase(Word.substr(0, Dot));
      if (!StartsStr("T", ClassName)) ClassName = "T" + ClassName;
      if (KXPageAccessAllowed(ClassName)) {
        GPageFormClass = ClassName;
        if (AController.SessionTrackingMethod() == tmCookie) {
          AController.ReEntryOptions().Cmd = "REENTRY";
          AController.ReEntryOptions().AutoCreateSession = true;
          Word = "REENTRY";
        } else {
          Word.clear();
        }
      }
    }
  }
  R.CommandWord = Word;
  const TKXSessionTrackingMethod Tracking = AController.SessionTrackingMethod();
  const std::string& ReEntry = AController.ReEntryOptions().Cmd;
  TCmdCondition C = cmdUnknown;
  if (!ReEntry.empty() && SameText(Word, ReEntry) && (Tracking == tmURL || Tracking == tmCookie)) C = cmdReentry;
  else if (Word == "RESIZE") C = cmdResize;
  else if (Word == "UPDATE") C = cmdUpdate;
  else if (Word == "UPLOAD") C = cmdUpload;
  else if (Word == "CACHE") C = cmdCache;
  else if (Word == "GFX") C = cmdGfx;
  else if (Word == "JS" || Word == "JAVASCRIPT") C = cmdJs;
  else if (Word == "FILES") C = cmdFiles;
  else if (Word == "FILESNC") C = cmdFilesNC;
  else if (Word == "STOP") C = cmdStop;
  else if (Word == "CSS") C = cmdCSS;
  else if (Word == "FAVICON.ICO") C = cmdFavIcon;
  else if (Word == "CALL") C = cmdCall;
  else if (SameText(Word, AController.ExecCmd())) C = cmdExec;
  else if (Word.empty() && Tracking == tmHidden && !AParams.Values("KX_SessionID_").empty()) C = cmdExec;
  else if (Word == "CALLBACK") C = cmdCallback;
  else if (SameText(Word, AController.StartCmd())) C = cmdStart;
  else if (Word == "PING") C = cmdPing;
  if (C == cmdCallback) {
    const size_t P = Rest.find("EXEC/");
    if (P != std::string::npos) Rest = Rest.substr(P + 5);
  }
  if (((C == cmdFiles || C == cmdFilesNC) && AController.AllowSubFolders()) || C == cmdCache) {
    R.FileName = Rest;
  } else if (C == cmdCall || SameText(Rest, "CALL")) {
    C = cmdCall;
    Rest = AQuery;
    const size_t Slash = Rest.find('/');
    if (Slash != std::string::npos) Fetch(Rest);
  } else {
    R.FileName = Fetch(Rest);
  }
  R.Command = C;
  R.RemainingPath = Rest;
  return R;
}

// ---------------------------------------------------------------------------------------------
// Session and track ids

void TKXServer::ExtractIDs(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXParsedPath& P = FState.Path;
  if (CarriesIDs(P.Command)) {
    const std::string ResizeID = P.Command == cmdResize ? FState.Params.Values("KX_SessionID_") : std::string();
    if (!ResizeID.empty()) {
      FState.SessionID = ResizeID;
      FState.TrackID = FState.Params.Values("KX_TrackID_");
    } else {
      switch (Controller().SessionTrackingMethod()) {
        case tmURL:
          if (P.Command == cmdReentry) {
            FState.SessionID = ARequest->QueryFields().Values("KX_SessionID_");
            FState.TrackID = ARequest->QueryFields().Values("KX_TrackID_");
            if (FState.TrackID.empty()) FState.TrackID = P.FileName;
          } else if (P.Command == cmdStop) {
            FState.SessionID = P.FileName;
          } else {
            FState.SessionID = Fetch(P.RemainingPath);
            FState.TrackID = P.FileName;
          }
          break;
        case tmCookie:
          ExtractCookieIDs(ARequest, AResponse);
          break;
        case tmHidden:
          FState.Cacheable = false;
          if (P.Command == cmdCall) {
            FState.TrackID = Fetch(P.RemainingPath);
            FState.SessionID = P.RemainingPath;
            P.Command = cmdExec;
          } else if (ARequest->MethodType() == mtGet) {
            FState.SessionID = Fetch(P.RemainingPath);
            FState.TrackID = P.FileName;
          } else {
            FState.TrackID = FState.Params.Values("KX_TrackID_");
            FState.SessionID = FState.Params.Values("KX_SessionID_");
          }
          break;
        default:
          throw EKXException("Unknown session tracking method");
      }
    }
  }
  BindTaggedSession(ARequest);
}

void TKXServer::ExtractCookieIDs(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  TKXParsedPath& P = FState.Path;
  if (P.Command == cmdCall) {
    FState.TrackID = Fetch(P.RemainingPath);
    P.Command = cmdExec;
  } else {
    FState.TrackID = FState.Params.Values("KX_TrackID_");
  }
  const std::string Cookie = ARequest->CookieFields().Values("Kexalo_" + C.AppNameNoBlanks());
  const size_t Under = Cookie.rfind('_');
  if (Under != std::string::npos) {
    const std::string CookieTrack = Cookie.substr(Under + 1);
    if (FState.TrackID.empty() || TrackIDOrMinusOne(FState.TrackID) < TrackIDOrMinusOne(CookieTrack))
      FState.TrackID = CookieTrack;
    FState.SessionID = Cookie.substr(0, Under);
  }
  if (ARequest->CookieFields().Values(kCookieCheckName) == "Enabled") return;
  if (!(P.Command == cmdReentry && FState.Params.Values("KX_SessionID_").empty()))
    throw ENoCookieSupportException(kNoCookies);
  if (!C.ReEntryOptions().AutoCreateSession) throw EInvalidSession(kSessionNotFound);
  FState.ExecWord = C.ReEntryOptions().Cmd;
  const std::string Bind = ARequest->QueryFields().Values("bind");
  TKXSessionHandle Tagged;
  if (!Bind.empty()) Tagged = FSessions.LookupByTaggedNameAndLock(Bind);
  if (Tagged) {
    FState.Session = std::move(Tagged);
    SetSessionCookies(AResponse);   // a re-entry through "bind" refreshes the session's cookies
    FState.Session.Release();
  } else {
    P.Command = cmdStart;
    FState.Cacheable = false;
  }
}

void TKXServer::BindTaggedSession(TWebRequest* ARequest) {
  if (ARequest->MethodType() != mtGet && ARequest->MethodType() != mtHead) return;
  const std::string Bind = ARequest->QueryFields().Values("bind");
  if (Bind.empty()) return;
  if (TKXSessionHandle Tagged = FSessions.LookupByTaggedNameAndLock(Bind)) FState.SessionID = Tagged->AppID();
}

void TKXServer::DetermineClientIP(TWebRequest* ARequest) {
  FState.ClientIP = Trim(ARequest->GetFieldByName("HTTP_X_FORWARDED_FOR"));
  if (FState.ClientIP.empty()) FState.ClientIP = Trim(ARequest->GetFieldByName("HTTP_CLIENT_IP"));
  if (FState.ClientIP.empty()) FState.ClientIP = ARequest->RemoteAddr();
}

void TKXServer::FindSession(TWebRequest* ARequest) {
  TKXSessionHandle Session = FSessions.LookupAndLock(FState.SessionID);
  if (!Session) throw EInvalidSession(kSessionNotFound);
  Session->CheckAddressAndBrowser(FState.ClientIP, DetermineBrowser(ARequest->UserAgent()).Browser);
  FState.Session = std::move(Session);
}

void TKXServer::ReleaseSession() { FState.Session.Release(); }

// ---------------------------------------------------------------------------------------------
// Authentication

bool TKXServer::CheckCredentials() {
  TKXServerControllerBase& C = Controller();
  if (!C.AuthActive()) return true;
  if (FState.UserName.empty()) return false;
  if (C.AuthList().IndexOfName(FState.UserName) >= 0) return C.AuthList().Values(FState.UserName) == FState.Password;
  bool Valid = false;
  if (C.OnAuthRequest) C.OnAuthRequest(FState.UserName, FState.Password, Valid);
  return Valid;
}

bool TKXServer::CheckSessionCredentials() {
  if (!Controller().AuthActive() || !FState.Session) return true;
  return FState.UserName == FState.Session->AuthUser() && FState.Password == FState.Session->AuthPassword();
}

void TKXServer::SendChallenge(TWebResponse* AResponse) {
  FState.Authorised = false;
  FState.SkipCaching = true;
  AResponse->SetContent(kAuthFailed);
  AResponse->SetWWWAuthenticate("Basic");
  AResponse->SetRealm(Controller().AppNameNoBlanks());
  AResponse->SetStatusCode(401);
}

// ---------------------------------------------------------------------------------------------
// Commands

void TKXServer::RunCommand(TWebRequest* ARequest, TWebResponse* AResponse) {
  switch (FState.Path.Command) {
    case cmdStart:
      CommandStart(ARequest, AResponse);
      break;
    case cmdExec:
      CommandExec(ARequest, AResponse);
      break;
    case cmdReentry:
      FState.Cacheable = false;
      if (!CheckSessionCredentials()) return SendChallenge(AResponse);
      RunExec(ARequest, AResponse, TrackIDNumber(), cmdReentry);
      break;
    case cmdUpdate:
      TSyncLog::Log("Partial Update: " + FState.SessionID);
      ExecSession(ARequest, AResponse, cmdUpdate);
      break;
    case cmdUpload:
      FState.Cacheable = false;
      if (!CheckSessionCredentials()) return SendChallenge(AResponse);
      ExecSession(ARequest, AResponse, cmdUpload);
      break;
    case cmdCallback:
      FState.Cacheable = false;
      ExecSession(ARequest, AResponse, cmdCallback);
      break;
    case cmdResize:
      FState.Cacheable = false;
      ApplyWindowSize(ARequest, AResponse, TrackIDNumber() != 0);
      break;
    case cmdStop:
      CommandStop(ARequest, AResponse);
      break;
    case cmdFiles:
    case cmdFilesNC:
      CommandFiles(ARequest, AResponse);
      break;
    case cmdCache:
      CommandCache(ARequest, AResponse);
      break;
    case cmdGfx:
      CommandInternal(ARequest, AResponse, std::string(kKXGfxResourcePrefix), GfxFileName(), "", "Internal Graphic: (");
      break;
    case cmdJs:
      CommandInternal(ARequest, AResponse, std::string(kKXScriptResourcePrefix), FState.Path.FileName, ".js",
                      "Javascript: (");
      break;
    case cmdCSS:
      CommandInternal(ARequest, AResponse, std::string(kKXCSSResourcePrefix), FState.Path.FileName, ".css", "CSS: (");
      break;
    case cmdFavIcon:
      CommandFavIcon(ARequest, AResponse);
      break;
    case cmdPing:
      FState.Cacheable = false;
      AResponse->SetContent("");
      break;
    case cmdUnknown:
    case cmdCall:
      CommandUnknown(ARequest, AResponse);
      break;
  }
}

unsigned TKXServer::TrackIDNumber() const {
  unsigned Track = 0;
  TryTrackID(FState.TrackID, Track);
  return Track;
}

void TKXServer::ExecSession(TWebRequest* ARequest, TWebResponse* AResponse, TCmdCondition ACommand) {
  Exec(TrackIDNumber(), ACommand, ARequest, AResponse);
}

// Creates, registers and locks a session with the credential checks of a start; false when the
// credentials were refused (the challenge is then the answer).
bool TKXServer::StartSession(TWebRequest* ARequest, TWebResponse* AResponse, std::string& AStartURL) {
  TKXServerControllerBase& C = Controller();
  if (C.AuthBeforeNewSession() && !CheckCredentials()) {
    SendChallenge(AResponse);
    return false;
  }
  TKXStartRequest Start;
  Start.BrowserText = FState.Path.Prefix32        ? "HTML 3.2"
                      : FState.Path.PrefixWML     ? "WML"
                      : FState.Path.PrefixXHTMLMP ? "XHTML MP"
                                                  : ARequest->UserAgent();
  Start.ClientIP = FState.ClientIP;
  Start.AuthUser = FState.UserName;
  Start.AuthPassword = FState.Password;
  Start.Request = ARequest;
  Start.Response = AResponse;
  NewSession(Start, AStartURL);
  FState.SessionID = FState.Session->AppID();
  if (!C.AuthBeforeNewSession() && !CheckCredentials()) {
    FSessions.Discard(FState.Session);
    SendChallenge(AResponse);
    return false;
  }
  return true;
}

void TKXServer::NewSession(const TKXStartRequest& AStart, std::string& AStartURL) {
  TKXServerControllerBase& C = Controller();
  TWebRequest* Request = AStart.Request;
  const TKXBrowserType Browser = DetermineBrowser(AStart.BrowserText);
  TSkStringList Params;
  std::string ScriptName, Referer, Tag;
  if (Request) {
    Params = Request->QueryFields();
    ScriptName = Request->ScriptName();
    Referer = Request->Referer();
    Tag = Request->QueryFields().Values("bind");
  }
  auto Made = std::make_unique<TKXApplication>(C, Browser, AStart.BrowserText, AStart.ClientIP, AStart.AuthUser,
                                               AStart.AuthPassword, Referer, Params, ScriptName);
  if (!Tag.empty()) Made->SetTaggedSessionName(Tag);
  const std::string Base = ScriptName.find(Made->AppURLBase()) != std::string::npos ? std::string() : Made->AppURLBase();
  AStartURL = Base + ScriptName + "/" + C.ExecCmd();
  switch (C.SessionTrackingMethod()) {
    case tmURL:
    case tmHidden:
      AStartURL += "/0/" + Made->AppID();
      break;
    case tmCookie:
      break;
    default:
      throw EKXException("Unknown session tracking method");
  }
  Made->SetFormFactory(&TKXAppForm::Factory());
  FState.Session = FSessions.AddSessionAndLock(std::move(Made));
  // Registered and locked from here: a failure must take it out again, or every refused start
  // would leave a session behind until it expires.
  try {
    Bind(Request, AStart.Response);
    TKXApplication* S = FState.Session.Get();
    TKXBaseForm* Chosen = nullptr;
    C.DoNewSession(S, Chosen);
    TKXAppForm* MainForm = dynamic_cast<TKXAppForm*>(static_cast<TKXComponent*>(Chosen));
    if (Chosen) {
      if (!MainForm) throw EKXException("Form must be an application form.");
    } else {
      const TKXClientType Client = S->ClientType();
      if (Client != ctHTML40 && Client != ctHTML32 && Client != ctWAP) throw EKXException("Unknown client type.");
      MainForm = TKXAppForm::CreateMainForm(S);
      if (!MainForm) throw EDeviceNotSupported("Device not supported");
    }
    MainForm->Show();
  } catch (...) {
    FSessions.Discard(FState.Session);
    throw;
  }
}

void TKXServer::Bind(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXApplication* S = FState.Session.Get();
  S->SetFileList(ARequest ? &ARequest->Files() : nullptr);
  S->Initialize(ARequest, AResponse);
}

void TKXServer::Exec(unsigned ATrackID, TCmdCondition ACommand, TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXApplication* S = FState.Session.Get();
  Bind(ARequest, AResponse);
  try {
    KXExecuteSession(S, ATrackID, ACommand, FState.Params);
    S->FreeReleasedForms();
  } catch (...) {
    S->UnInitialize();
    throw;
  }
  S->UnInitialize();
  if (!S->Terminated()) return;
  // The request is over for this session: give it up first, then have the registry end it.
  const std::string ID = S->AppID();
  FState.Session.Release();
  FSessions.Terminate(ID);
}

void TKXServer::ApplyWindowSize(TWebRequest* ARequest, TWebResponse* AResponse, bool AReply) {
  TKXApplication* S = FState.Session.Get();
  Bind(ARequest, AResponse);
  auto* Form = dynamic_cast<TKXForm*>(static_cast<TKXComponent*>(S->ActiveForm()));
  if (Form && Form->IsHTML40Form()) {
    const TSkStringList& P = FState.Params;
    const int Width = StrToIntDef(P.Values("KX_width"), Form->Width());
    const int Height = StrToIntDef(P.Values("KX_height"), Form->Height());
    Form->ResizeTo(Width, Height);
    S->SetFormSize(Width, Height);
    TSyncLog::Log("Resize: " + std::to_string(Width) + "," + std::to_string(Height));
    if (AReply && AResponse)
      AResponse->SetContent("<html><head><script>" + Form->ResizeScript() + "\r\n" + kKXTopFunction +
                            "KXTop().GSubmitting=false;" + "\r\n" + "</script></head></html>");
  }
  S->UnInitialize();
}

void TKXServer::CommandStart(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  FState.Cacheable = false;
  std::string StartURL;
  if (!StartSession(ARequest, AResponse, StartURL)) return;
  if (HasHTML40ActiveForm(FState.Session.Get())) {
    std::string SubmitURL = FState.Session->AppURLBase() + "/" + FState.ExecWord;
    if (C.SessionTrackingMethod() == tmURL) SubmitURL += "/0/" + FState.SessionID;
    if (C.SessionTrackingMethod() == tmCookie && FState.ExecWord == C.ReEntryOptions().Cmd && !ARequest->Query().empty())
      SubmitURL += "?" + ARequest->Query();
    AResponse->SetContent(SizeProbePage(ARequest, SubmitURL));
    if (C.SessionTrackingMethod() == tmCookie) SetSessionCookies(AResponse);
  } else if (C.SessionTrackingMethod() == tmHidden) {
    const TSkStringList& Run = FState.Session->RunParams();
    for (int I = 0; I < Run.Count(); ++I) {
      const int At = FState.Params.IndexOfName(Run.Names(I));
      if (At >= 0) FState.Params.Delete(At);
    }
    RunExec(ARequest, AResponse, 0, cmdExec);
  } else {
    if (C.SessionTrackingMethod() == tmCookie) SetSessionCookies(AResponse);
    AResponse->SendRedirect(StartURL);
  }
  TSyncLog::Log(FormatLogTime(NowLocal()) + "New session: " + FState.SessionID);
}

std::string TKXServer::SizeProbePage(TWebRequest* ARequest, const std::string& ASubmitURL) {
  TKXServerControllerBase& C = Controller();
  (void)ARequest;
  std::string Page =
      "<HTML><HEAD><TITLE></TITLE><meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta "
      "http-equiv=\"pragma\" content=\"no-cache\">";
  Page += "\r\n";
  TKXFileReference& NoJS = C.NoJavaScriptSupport();
  if (!NoJS.URL().empty())
    Page += "<NOSCRIPT><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=" + NoJS.URL() + "\"></NOSCRIPT>";
  else if (!NoJS.Filename().empty())
    Page += "<NOSCRIPT><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=" + NoJS.Location(C.GetFilesURL(), C.FilesDir()) + "\"></NOSCRIPT>";
  else
    Page += "<NOSCRIPT><HTML><BODY>Your browser does not seem to support JavaScript. Please make sure it is supported "
            "and activated</BODY></HTML></NOSCRIPT>";
  Page += "\r\n<SCRIPT>\r\n";
  static const char* const kLines[] = {
      "var ie4 = (document.all)? true:false;",
      "var ns6 = (document.getElementById)? true && !ie4:false;",
      "function Initialize() {",
      "var lWidth;",
      "var lHeight;",
      "if (ns6) {",
      "  lWidth = window.innerWidth - 30;",
      "  lHeight = window.innerHeight - 30;",
      "} else {",
      "  lWidth = document.body.clientWidth;",
      "  lHeight = document.body.clientHeight;",
      "}",
      "document.forms[0].elements[\"KX_width\"].value = lWidth;",
      "document.forms[0].elements[\"KX_height\"].value = lHeight;",
      "document.forms[0].submit();",
  };
  for (const char* Line : kLines) Page += std::string(Line) + "\r\n";
  Page += "}</SCRIPT></HEAD><BODY onload=\"Initialize()\">\r\n<form method=post action=\"" + ASubmitURL + "\">\r\n" +
          "<input type=hidden name=\"KX_width\">\r\n<input type=hidden name=\"KX_height\">\r\n" +
          "<input type=hidden name=\"KX_SessionID_\" value=\"" + FState.SessionID + "\">\r\n" +
          "<input type=hidden name=\"KX_TrackID_\" value=\"" +
          std::to_string(FState.Session->TrackID()) + "\">\r\n</form></BODY></HTML>";
  return Page;
}

void TKXServer::CommandExec(TWebRequest* ARequest, TWebResponse* AResponse) {
  const unsigned Track = TrackIDNumber();
  FState.Cacheable = Track != 0;
  if (Track == 0 && HasHTML40ActiveForm(FState.Session.Get())) ApplyWindowSize(ARequest, AResponse, false);
  if (!CheckSessionCredentials()) return SendChallenge(AResponse);
  RunExec(ARequest, AResponse, Track, cmdExec);
}

void TKXServer::RunExec(TWebRequest* ARequest, TWebResponse* AResponse, unsigned ATrackID, TCmdCondition ACommand) {
  Exec(ATrackID, ACommand, ARequest, AResponse);
  TSyncLog::Log("Execute: " + FState.SessionID);
}

void TKXServer::CommandStop(TWebRequest* ARequest, TWebResponse* AResponse) {
  (void)ARequest;
  FState.Cacheable = false;
  TSyncLog::Log("Explicit Stop: " + FState.SessionID);
  if (!CheckSessionCredentials()) return SendChallenge(AResponse);
  if (Controller().SessionTrackingMethod() == tmCookie) {
    TCookie& Cookie = AResponse->Cookies().Add();
    Cookie.SetName("Kexalo_" + Controller().AppNameNoBlanks());
    Cookie.SetValue(FState.SessionID + "_");
    Cookie.SetPath(FState.Session->AppURLBase());
    Cookie.SetExpires(NowLocal() + TimeZoneBiasDays() - 1000 + 2);
  }
  const std::string& Rest = FState.Path.RemainingPath;
  if (!Rest.empty()) AResponse->SendRedirect((StartsText("_s_.", Rest) ? "https://" : "http://") + Rest);
  const std::string ID = FState.SessionID;
  ReleaseSession();
  FSessions.Terminate(ID);
}

void TKXServer::CommandFiles(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const std::string& Name = FState.Path.FileName;
  if (C.OnFileAccess) {
    bool Valid = false;
    C.OnFileAccess(ARequest, FState.UserName, FState.Password, Name, Valid);
    if (!Valid) {
      AResponse->SetContent("Permission denied");
      AResponse->SetStatusCode(403);
      FState.SkipCaching = true;
      return;
    }
  }
  FState.Cacheable = FState.Path.Command == cmdFiles;
  TSyncLog::Log("External File: " + Name);
  if (!IsSafeRelativeName(Name)) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    FState.Cacheable = false;
    return;
  }
  ServeFile(ARequest, AResponse, C.FilesDir() + Name);
  if (AResponse->StatusCode() != 200) FState.Cacheable = false;
}

void TKXServer::CommandCache(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const std::string& Name = FState.Path.FileName;
  TSyncLog::Log("Cache File: " + Name);
  std::string Rest = Name;
  if (SameText(Fetch(Rest), "user")) {
    const std::string ID = Fetch(Rest);
    if (TKXSessionHandle Session = FSessions.LookupAndLock(ID))
      Session->CheckAddressAndBrowser(FState.ClientIP, DetermineBrowser(ARequest->UserAgent()).Browser);
  }
  if (!IsSafeRelativeName(Name)) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    FState.Cacheable = false;
    return;
  }
  ServeFile(ARequest, AResponse, C.GetCacheDir() + Name);
  FState.Cacheable = AResponse->StatusCode() == 200 && AResponse->LastModified() > 0;
}

bool TKXServer::NotModifiedSinceStart(TWebRequest* ARequest) {
  return InternalFileNotModified(Controller().StartTime(), ARequest->GetFieldByName("If-Modified-Since"));
}

void TKXServer::CommandInternal(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& APrefix,
                                const std::string& AResourceFile, const std::string& AExtension,
                                const std::string& ALogWord) {
  const std::string& LogName = FState.Path.FileName;
  if (NotModifiedSinceStart(ARequest)) {
    AResponse->SetStatusCode(304);
    AResponse->SetReasonString("Not modified");
    FState.Cacheable = false;
  } else {
    const std::string Name = APrefix == kKXScriptResourcePrefix ? ScriptResourceName(AResourceFile)
                                                                : InternalResourceName(APrefix, AResourceFile);
    AResponse->SetContentStream(ResourceAsStream(Name));
    AResponse->SetContentType(AExtension.empty() ? InternalFileContentType(ARequest->PathInfo(), Name)
                                                 : ContentTypeOfExtension(AExtension));
    AResponse->SetLastModified(Controller().StartTime());
  }
  TSyncLog::Log(ALogWord + IntToStr(AResponse->StatusCode()) + ")" + LogName);
}

// An image path keeps its sub-folders: "/gfx/a/b.gif" names "a/b.gif".
std::string TKXServer::GfxFileName() const {
  const TKXParsedPath& P = FState.Path;
  return P.RemainingPath.empty() ? P.FileName : P.FileName + "/" + P.RemainingPath;
}

void TKXServer::CommandFavIcon(TWebRequest* ARequest, TWebResponse* AResponse) {
  const std::string Disk = Controller().FilesDir() + "favicon.ico";
  std::error_code Ec;
  if (fs::exists(Disk, Ec)) {
    ServeFile(ARequest, AResponse, Disk);
  } else {
    AResponse->SetContentStream(ResourceAsStream("KX_FAVICON"));
    AResponse->SetLastModified(Controller().StartTime());
  }
  AResponse->SetContentType(ContentTypeOfExtension(".ico"));
}

void TKXServer::CommandUnknown(TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const std::string& Word = FState.Path.CommandWord;
  TSyncLog::Log("Unrecognized Command: " + Word + ":" + FState.SessionID);
  if (C.OnInvalidCommand) {
    C.DoInvalidCommand(ARequest, AResponse, "Unrecognized Command: :" + Word + ":" + FState.SessionID);
  } else if (!C.InvalidCommandURL().empty()) {
    AResponse->SendRedirect(C.InvalidCommandURL());
  } else {
    throw EKXException("Unrecognized Command: : " + Word + ":" + FState.SessionID);
  }
}

// ---------------------------------------------------------------------------------------------
// Files, resources, messages

std::unique_ptr<TSkStream> TKXServer::ResourceAsStream(const std::string& AName) {
  return std::make_unique<TSkMemoryStream>(std::string(InternalFileBytes(AName)));
}

void TKXServer::ServeFile(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AFileName) {
  std::error_code Ec;
  if (!fs::is_regular_file(AFileName, Ec)) {
    AResponse->SetStatusCode(404);
    AResponse->SendResponse();
    return;
  }
  const TDateTime Modified = FileModified(AFileName);
  if (Modified <= 0) {
    AResponse->SetStatusCode(404);
    AResponse->SetReasonString("File not found");
    return;
  }
  if (DiskFileNotModified(Modified, ARequest->GetFieldByName("If-Modified-Since"))) {
    AResponse->SetStatusCode(304);
    AResponse->SetReasonString("Not modified");
    return;
  }
  AResponse->SetContentStream(std::make_unique<TSkFileStream>(AFileName, TSkFileMode::fmOpenRead));
  const std::string Name = fs::path(AFileName).filename().string();
  AResponse->SetContentType(EndsText(".tmp", Name) ? ContentTypeOfExtension("." + Name.substr(0, 3)) : ContentTypeOfFile(Name));
  AResponse->SetLastModified(Modified);
}

std::string TKXServer::ServeMessage(TWebRequest* ARequest, const std::string& ATemplateName,
                                    const std::exception* AException, const std::string& AVars,
                                    const std::string& AContent) {
  TKXServerControllerBase& C = Controller();
  std::string Page;
  const std::string Disk = C.TemplateDir() + "KX" + ATemplateName + ".html";
  std::ifstream In(Disk, std::ios::binary);
  if (In) {
    std::stringstream Buffer;
    Buffer << In.rdbuf();
    const std::string Files = CurrentSession() ? CurrentSession()->AppURLBase() + "/files/"
                                               : C.GetFilesURL();
    Page = ReplaceAllText(Buffer.str(), "../files/", Files);
  } else {
    if (const TKXInternalFile* File = FindInternalFile("KX_GFX_" + ATemplateName)) Page = std::string(File->Bytes);
  }
  const std::string Script = ARequest->ScriptName();
  Page = ReplaceAllText(Page, "{%CONTENT%}", ReplaceAll(ReplaceAll(AContent, "\"", "&#34"), "'", "&#39"));
  Page = ReplaceAllText(Page, "{%VELMORLOGO%}", C.URLBase() + Script + "/gfx/LogoVelmor");
  Page = ReplaceAllText(Page, "{%KEXALOLOGO%}", C.URLBase() + Script + "/gfx/LogoKexalo");
  const std::string Start = Trim(C.StartCmd());
  Page = ReplaceAllText(Page, "{%APPADDRESS%}", C.URLBase() + Script + (Start.empty() ? "/" : "/" + C.StartCmd()));
  std::string Specific = "Depending on the error condition, it might be possible to restart the application.";
  if (dynamic_cast<const EInvalidSession*>(AException)) {
    const int T = C.SessionTimeout();
    Specific = "Your session has expired. You will have to restart the application. In order to keep sessions from "
               "expiring you may set the session timeout parameter to a higher value. The current session timeout "
               "value is " + std::to_string(T) + " minute" + (T == 1 ? "" : "s") + ".";
  }
  Page = ReplaceAllText(Page, "{%EXCEPTIONSPECIFIC%}", Specific);
  TSkStringList Vars;
  if (!AVars.empty())
    for (const std::string& Pair : SplitString(AVars, ',')) Vars.Add(Pair);
  Vars.Add("APPNAME=" + (C.Description().empty() ? std::string("Pellora Application") : C.Description()));
  for (int I = 0; I < Vars.Count(); ++I)
    Page = ReplaceAllText(Page, "{%" + Vars.Names(I) + "%}", Vars.ValueFromIndex(I));
  const auto* Browser = dynamic_cast<const EUnknownBrowserException*>(AException);
  const bool Plain = dynamic_cast<const EDeviceNotSupported*>(AException) || (Browser && !Browser->SupportsJS());
  if (!Plain) {
    Page = RemoveChars(RemoveChars(Page, '\r'), '\n');
    Page = std::string("<html><head><script>\r\n") + kKXTopFunction + "KXTop().document.writeln('" + Page + "');" +
           "\r\n</script></head></html>";
  }
  return Page;
}

std::string TKXServer::ServeError(TWebRequest* ARequest, const std::exception& AException) {
  return ServeMessage(ARequest, "Error", &AException, "", AException.what());
}

std::string TKXServer::RedirectAsPartial(const std::string& AURL) {
  return std::string("<html>\r\n<head>\r\n<script>\r\n") + kKXTopFunction + " KXTop().window.location.href = \"" + AURL +
         "\";</script>" + "\r\n" + "</head></html>";
}

// ---------------------------------------------------------------------------------------------
// Failures

void TKXServer::ServeServerError(TWebRequest* ARequest, TWebResponse* AResponse, const std::exception* AException,
                                 const std::string& ATemplate) {
  AResponse->SetExpires(-1);
  AResponse->SetStatusCode(500);
  AResponse->SetReasonString("Server error");
  AResponse->SetContentStream(nullptr);
  AResponse->SetContent(ATemplate == "Error" && AException ? ServeError(ARequest, *AException)
                                                           : ServeMessage(ARequest, ATemplate, nullptr, "", ""));
  AResponse->SetCustomHeader("Pragma", "no-cache");
}

void TKXServer::ServeReference(TWebRequest* ARequest, TWebResponse* AResponse, TKXFileReference& AReference,
                               const std::exception& AException, bool ARedirectFileToFilesURL) {
  if (!AReference.URL().empty()) {
    AResponse->SendRedirect(AReference.URL());
  } else if (!AReference.Filename().empty()) {
    if (ARedirectFileToFilesURL) {
      AResponse->SendRedirect(AReference.Location(Controller().GetFilesURL(), Controller().FilesDir()));
    } else {
      ServeFile(ARequest, AResponse, AReference.QualifiedPath(Controller().FilesDir(), Controller().AllowSubFolders()));
      if (AResponse->StatusCode() != 200) FState.Cacheable = false;
    }
  } else {
    AResponse->SetContentStream(nullptr);
    AResponse->SetContent(ServeError(ARequest, AException));
  }
}

void TKXServer::HandleException(const std::exception& AException, TWebRequest* ARequest, TWebResponse* AResponse) {
  TKXServerControllerBase& C = Controller();
  const TCmdCondition Command = FState.Path.Command;
  if (dynamic_cast<const ENoCookieSupportException*>(&AException)) {
    ServeReference(ARequest, AResponse, C.NoCookieSupport(), AException, false);
  } else if (dynamic_cast<const EUnknownBrowserException*>(&AException)) {
    ServeReference(ARequest, AResponse, C.UnknownBrowser(), AException, true);
  } else if (dynamic_cast<const EInvalidSession*>(&AException)) {
    if (Command == cmdReentry && C.ReEntryOptions().AutoCreateSession) {
      // A re-entry into a session that is gone starts a new one and runs the re-entry in it.
      FState.Cacheable = false;
      std::string StartURL;
      if (!StartSession(ARequest, AResponse, StartURL)) return;
      SetSessionCookies(AResponse);
      RunExec(ARequest, AResponse, 0, cmdReentry);
      return;
    }
    TKXFileReference& Ref = Command == cmdReentry ? C.ReEntryOptions().InvalidSession() : C.SessionTimeoutURL();
    if (Command == cmdCallback && Command != cmdReentry) {
      if (!Ref.URL().empty())
        AResponse->SetContent("<response><execute><literal>window.location.href=\"" + Ref.URL() +
                              "\"</literal></execute></response>");
      else if (!Ref.Filename().empty())
        AResponse->SetContent("<response><execute><literal>window.location.href=\"" + C.GetFilesURL() +
                              fs::path(Ref.Filename()).filename().string() + "\"</literal></execute></response>");
      return;
    }
    if (!Ref.URL().empty())
      AResponse->SetContent(RedirectAsPartial(Ref.URL()));
    else if (!Ref.Filename().empty())
      ServeFile(ARequest, AResponse, Ref.QualifiedPath(C.FilesDir(), C.AllowSubFolders()));
    else if (Command == cmdReentry)
      ServeServerError(ARequest, AResponse, &AException, "Error");
    else
      ServeServerError(ARequest, AResponse, nullptr, "SESSIONTIMEOUT");
  } else if (dynamic_cast<const EDeviceNotSupported*>(&AException)) {
    ServeReference(ARequest, AResponse, C.DeviceNotSupported(), AException, false);
  } else {
    bool Handled = false;
    const bool Assigned = C.DoException(FState.Session.Get(), AException, Handled);
    if (!(Assigned && Handled)) ServeServerError(ARequest, AResponse, &AException, "Error");
  }
}

// ---------------------------------------------------------------------------------------------
// Caching headers

void TKXServer::Finish(TWebRequest* ARequest, TWebResponse* AResponse) {
  ReleaseSession();
  if (!FState.SkipCaching) {
    TKXServerControllerBase& C = Controller();
    const TDateTime Now = NowLocal();
    TDateTime Expiry;
    if (FState.Cacheable) {
      Expiry = Now + C.CacheExpiry() / 1440.0;
    } else {
      AResponse->SetLastModified(-1);
      if (ARequest->ServerPort() != C.SSLOptions().Port)
        AResponse->SetCustomHeader("Pragma", "no-cache");
      Expiry = Now - 1;
    }
    if (Expiry >= Now) {
      if (AResponse->GetCustomHeader("Expires").empty())
        AResponse->SetCustomHeader("Expires", DateTimeToInternetStr(true, Expiry));
    } else {
      AResponse->SetCustomHeader("Expires", "");
    }
    if (AResponse->LastModified() > 0) {
      AResponse->SetCustomHeader("Last-Modified", DateTimeToInternetStr(true, AResponse->LastModified()));
      AResponse->SetLastModified(-1);
    }
    if (TSkStream* Stream = AResponse->ContentStream()) {
      Stream->SetPosition(0);
      AResponse->SetContentLength(Stream->Size());
    }
  }
  SetCurrentSession(nullptr);
}


// ---------------------------------------------------------------------------------------------
// Cookies

void TKXServer::SetSessionCookies(TWebResponse* AResponse) {
  if (!AResponse || !FState.Session) return;
  TKXServerControllerBase& C = Controller();
  TKXApplication& S = *FState.Session.Get();
  const int Timeout = S.SessionTimeOut();
  const TDateTime Now = NowLocal() + TimeZoneBiasDays();
  TCookie& Session = AResponse->Cookies().Add();
  Session.SetName("Kexalo_" + C.AppNameNoBlanks());
  Session.SetValue(S.AppID() + "_" + std::to_string(S.TrackID()));
  Session.SetPath(S.AppURLBase());
  if (Timeout > 0) Session.SetExpires(Now + Timeout / 1440.0 + 2);
  TCookie& Check = AResponse->Cookies().Add();
  Check.SetName(kCookieCheckName);
  Check.SetValue("Enabled");
  Check.SetPath(Session.Path());
  Check.SetExpires(Now + Timeout / 1440.0 + 1);
}
