#include "server/KXServer.h"

#include <cstdio>

#include "core/KXBrowser.h"
#include "core/KXException.h"
#include "content/KXInternalFiles.h"
#include "core/KXFileReference.h"
#include "core/KXTextEncoding.h"
#include "forms/KXAppForm.h"
#include "forms/KXFormSubmission.h"
#include "server/KXServerControllerBase.h"
#include "server/KXServerParts.h"
#include "server/KXSessionDispatch.h"
#include "session/KXApplication.h"
#include "SkCodec.h"
#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebResponse.h"

namespace {

const char* const kAuthFailed = "Authentication Failed.";

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

bool HasHTML40ActiveForm(TKXApplication* ASession) {
  IKXSessionForm* Form = ASession->ActiveSessionForm();
  return Form && Form->IsHTML40Form();
}

std::string FormatLogTime(TDateTime AValue) {
  const TSkDateParts P = DecodeDateTime(AValue);
  char Buf[40];
  std::snprintf(Buf, sizeof Buf, "%.2d %s %.4d %.2d:%.2d:%.2d ", P.Day, kShortMonthNames[P.Month - 1], P.Year, P.Hour,
                P.Minute, P.Second);
  return Buf;
}

}  // namespace

void TKXServer::KXServerBeforeDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled) {
  TKXServerControllerBase& C = Controller();
  // COM apartments do not exist on this host: ComInitialization has no effect.
  if (C.OnBeforeDispatch) C.OnBeforeDispatch(this, Request, Response, Handled);
}

void TKXServer::KXServerAfterDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled) {
  TKXServerControllerBase& C = Controller();
  C.Compress(this, Request, Handled, Response);
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
  KXSetPageFormClass("");
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
  // without an HTTPS port there is nowhere to send the browser
  if (C.SSLOptions().NonSSLRequest != nsRedirect || C.SSLOptions().Port < 1 ||
      ARequest->ServerPort() == C.SSLOptions().Port)
    return false;
  // Host is the client's text, here inside an attribute; its port part is the plain one, dropped
  AResponse->SetContent("<META HTTP-EQUIV=\"Refresh\"CONTENT=\"0;URL=https://" + TextToHTML(ARequest->Host(), false) + ":" +
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

// ---------------------------------------------------------------------------------------------
// Session and track ids

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
      AResponse->SetContent("<html><head><script>" + Form->ResizeScript(Form->RenderRequest()) + "\r\n" + kKXTopFunction +
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

// ---------------------------------------------------------------------------------------------
// Failures

// ---------------------------------------------------------------------------------------------
// Caching headers

// ---------------------------------------------------------------------------------------------
// Cookies

