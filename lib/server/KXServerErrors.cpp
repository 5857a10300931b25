// Error mapping: each exception class raised while a request is dispatched gets its answer.
#include "server/KXServer.h"

#include <filesystem>

#include "core/KXException.h"
#include "core/KXFileReference.h"
#include "server/KXServerControllerBase.h"
#include "session/KXApplication.h"
#include "SkStream.h"
#include "SkWebResponse.h"

namespace fs = std::filesystem;

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
