// Session tracking: the session and track ids a request carries in its address, its fields or its
// cookies, the tagged-session binding, the client address and the session cookies.
#include "server/KXServer.h"

#include "core/KXBrowser.h"
#include "core/KXException.h"
#include "server/KXServerControllerBase.h"
#include "server/KXServerParts.h"
#include "server/KXSessionDispatch.h"
#include "session/KXApplication.h"
#include "SkStrUtils.h"
#include "SkWebResponse.h"

namespace {

const char* const kSessionNotFound = "Session not found. Session may have expired.";
const char* const kNoCookies = "Your browser does not seem to support cookies or they are disactivated";
const char* const kCookieCheckName = "KX_CookieCheck_";

int TrackIDOrMinusOne(const std::string& AText) {
  int64_t V;
  return TryStrToInt64(AText, V) && V >= 0 && V <= INT32_MAX ? static_cast<int>(V) : -1;
}

}  // namespace

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
