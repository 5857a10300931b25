#include "forms/KXFormSubmission.h"

#include "session/KXApplication.h"
#include "core/KXBrowser.h"
#include "core/KXException.h"
#include "forms/KXForm.h"
#include "session/KXServerControllerIntf.h"
#include "core/KXStreams.h"
#include "core/KXTextEncoding.h"
#include "SkDateTime.h"
#include "SkStrUtils.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

namespace {

const char* const kResyncWarning =
    "You have attempted to post or refresh data from a page that  depends on information that is no longer "
    "available to the server application.\r\n\r\nYour attempted changes will be ignored. You will now be resynced "
    "to the current place in the application.";
const char* const kNoCache = "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n"
                             "<meta http-equiv=\"pragma\" content=\"no-cache\">";
const char* const kXHTMLMPPrologue =
    "<?xml version=\"1.0\"?>\r\n<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
    "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\r\n<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n";
const char* const kWMLPrologue = "<?xml version=\"1.0\"?>\r\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
                                 "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n<wml>\r\n";
const char* const kWMLHead = "<head>\r\n<meta http-equiv=\"cache-control\" content=\"no-cache\"/>\r\n<meta "
                             "http-equiv=\"pragma\" content=\"no-cache\"/>\r\n</head>\r\n";

TKXForm* AsForm(TKXBaseForm* AForm) { return dynamic_cast<TKXForm*>(static_cast<TKXComponent*>(AForm)); }

bool PartialForm(TKXBaseForm* AForm) {
  TKXForm* Form = AsForm(AForm);
  return Form && Form->FormOutput() == foHTML40 && Form->UpdateMode() == umPartial;
}

bool HasContent(TWebResponse* AResponse) {
  return AResponse && (AResponse->ContentStream() || !AResponse->RawContent().empty());
}

bool NothingSent(TKXApplication* ASession) {
  return ASession->Response() && !HasContent(ASession->Response()) && ASession->RedirectURL().empty();
}

void RenderActiveForm(TKXApplication* ASession) {
  IKXServerController& C = ASession->Controller();
  TKXBaseForm* Form = ASession->ActiveForm();
  if (!Form) return;
  if (!ASession->Terminated()) {
    TKXBaseForm* NewForm = nullptr;
    C.DoBeforeRender(ASession, Form, NewForm);
    if (NewForm) {
      NewForm->Show();
      KXPrepareActiveForm(ASession);
      Form = NewForm;
    }
  }
  TKXRenderStream Page(rnInMemory);
  Form->GenerateForm(Page);
  C.DoAfterRender(ASession, Form);
  // The page's bytes go out as rendered: already in the page's character set, which the
  // response's own text conversion knows nothing about.
  std::string Bytes(static_cast<size_t>(Page.Size()), '\0');
  Page.SetPosition(0);
  Bytes.resize(static_cast<size_t>(Page.Read(Bytes.data(), static_cast<int64_t>(Bytes.size()))));
  if (!Bytes.empty()) ASession->Response()->SetRawContent(Bytes);
}

void WriteRedirectPage(TKXApplication* ASession, TWebResponse* AResponse) {
  const std::string& URL = ASession->RedirectURL();
  AResponse->SetCustomHeader("Connection", "close");
  const std::string R = ASession->IsPartialUpdate()
                            ? std::string("<script>") + kKXTopFunction + " KXTop().window.location.href = \"" + URL +
                                  "\";</script>"
                            : "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=" + URL + "\">\r\n" + kNoCache;
  AResponse->SetContent("<html>\r\n<head>\r\n" + R + "\r\n</head></html>");
}

void WriteContinuationPage(TKXApplication* ASession, TWebResponse* AResponse, bool AHidden,
                           const TSkStringList& APosted) {
  IKXServerController& C = ASession->Controller();
  const std::string H = AHidden ? "Hidden" : "";
  // Both come from the post: written into the script only as string literal content.
  const std::string Control = TextToJSStringLiteral(APosted.Values("KX_MainPageSubmitControl"));
  const std::string Param = TextToJSStringLiteral(APosted.Values("KX_MainPageSubmitControlParam"));
  const std::string Track = std::to_string(ASession->TrackID());
  const std::string Next = "KXTop().SubmitNextFile('" + Control + "','" + Param + "');";
  const std::string Unlock = "KXTop().GSubmitting = false; KXTop().ValidClick = true;";
  if (C.SessionTrackingMethod() == tmHidden) {
    const std::string S = Control.empty() ? "KXTop().document." + H + "SubmitForm.submit();" : Next;
    AResponse->SetContent(std::string("<html><head>\r\n<script>") + kKXTopFunction + Unlock + "\r\n" +
                          "KXTop().document." + H + "SubmitForm.KX_TrackID_.value = " + Track + ";\r\n" + S +
                          "\r\n</script>\r\n</head></html>");
    return;
  }
  const std::string& Exec = C.ExecCmd();
  const std::string URL = C.SessionTrackingMethod() == tmCookie
                              ? ASession->AppURLBase() + "/" + Exec + "?" + ASession->AppID() + Track
                              : ASession->AppURLBase() + "/" + Exec + "/" + Track + "/" + ASession->AppID();
  const std::string S = Control.empty() ? "KXTop().document." + H + "SubmitForm.action=p;\r\nKXTop().document." + H +
                                              "SubmitForm.submit();"
                                        : "KXTop().getSubmitForm().action=p;\r\n" + Next;
  AResponse->SetContent(std::string("<html><head><script>") + kKXTopFunction +
                        "var p = KXTop().location.protocol + \"//\" + KXTop().location.host + \"" + URL + "\";\r\n" +
                        Unlock + "\r\n" + S + "\r\n</script></head></html>");
}

// Uses the output of the session's form to tell the two WAP markups apart.
bool WMLOutput(TKXApplication* ASession) {
  TKXBaseForm* Form = ASession->ActiveForm();
  return Form && Form->FormOutput() == foWML;
}

// The session cookie carries the track id of the page just sent; a terminated session's is
// sent already expired so the browser drops it.
void SendSessionCookie(TKXApplication* ASession, TWebResponse* AResponse, bool AExpired) {
  IKXServerController& C = ASession->Controller();
  if (C.SessionTrackingMethod() != tmCookie) return;
  const TDateTime Now = NowLocal() + TimeZoneBiasDays();
  TCookie& Cookie = AResponse->Cookies().Add();
  Cookie.SetName("Kexalo_" + C.AppNameNoBlanks());
  Cookie.SetPath(ASession->AppURLBase());
  if (AExpired) {
    Cookie.SetValue(ASession->AppID() + "_");
    Cookie.SetExpires(Now - 1000 + 2);
    return;
  }
  Cookie.SetValue(ASession->AppID() + "_" + std::to_string(ASession->TrackID()));
  if (ASession->SessionTimeOut() > 0) Cookie.SetExpires(Now + ASession->SessionTimeOut() / 1440.0 + 2);
}

void SetWAPContentType(TKXApplication* ASession, TWebResponse* AResponse) {
  if (ASession->ClientType() != ctWAP || !ASession->Request()) return;
  const std::string Accept = UpperCase(ASession->Request()->Accept());
  if (Accept.find("XHTML") != std::string::npos)
    AResponse->SetContentType("application/xhtml+xml");
  else if (Accept.find("WAP.WML") != std::string::npos)
    AResponse->SetContentType("text/vnd.wap.wml");
}

}  // namespace

void KXPrepareActiveForm(TKXApplication* ASession) {
  IKXServerController& C = ASession->Controller();
  TKXBaseForm* Form = ASession->ActiveForm();
  std::string Action = ASession->ExecAction();
  if (PartialForm(Form)) {
    const std::string Track = std::to_string(ASession->TrackID());
    Action = C.SessionTrackingMethod() == tmURL ? ASession->AppURLBase() + "/UPDATE/" + Track + "/" + ASession->AppID()
                                                 : ASession->AppURLBase() + "/UPDATE?" + ASession->AppID() + Track;
  }
  ASession->SetFormAction(Action);
  if (!Form) return;
  switch (Form->ConnectionMode()) {
    case cmAny:
      break;
    case cmSecure:
      if (!ASession->SecureMode()) throw EKXException("Secure mode is required for this form.");
      break;
    case cmNonSecure:
      if (ASession->SecureMode()) throw EKXException("Non-Secure mode is required for this form.");
      break;
    default:
      throw EKXException("Unknown Connection mode");
  }
  if (Form->FormOutput() == foHTML40 && AsForm(Form)) {
    const std::string Agent = ASession->Request() ? ASession->Request()->UserAgent() : std::string();
    CheckBrowser(ASession->Browser(), Form->SupportedBrowsers(), Agent, true);
  }
}

void KXExecuteActiveForm(TKXApplication* ASession, TSkStringList& AParams) {
  IKXServerController& C = ASession->Controller();
  // The query of a cookie-tracking submit address arrives as a line of its own.
  const std::string Query = ASession->AppID() + std::to_string(ASession->TrackID());
  for (int I = AParams.Count() - 1; I >= 1; --I)
    if (AParams[I] == Query) AParams.Delete(I);
  ASession->GoToURL("");
  try {
    TKXBaseForm* Active = ASession->ActiveForm();
    if (Active) {
      Active->Params() = AParams;
      const TKXBrowser B = ASession->Browser();
      if (PartialForm(Active) && !BrowserSupportsJS(B)) AsForm(Active)->SetUpdateMode(umAll);
      Active->ExecuteForm();
    }
    ASession->FreeReleasedForms();
  } catch (const std::exception& E) {
    ASession->FreeReleasedForms();
    bool Handled = false;
    C.DoException(ASession, E, Handled);
    if (!Handled) ASession->ShowMessage(E.what(), C.ExceptionDisplayMode(), "KXException.html");
  }
  if (!NothingSent(ASession)) return;
  if (ASession->ActiveForm()) {
    ASession->SetTrackID(ASession->TrackID() + 1);
    KXPrepareActiveForm(ASession);
  } else {
    ASession->Terminate();
  }
}

void KXTerminateApplication(TKXApplication* ASession, TWebResponse* AResponse) {
  IKXServerController& C = ASession->Controller();
  const std::string& URL = ASession->RedirectURL();
  const std::string& Msg = ASession->TerminateMessage();
  if (URL.empty() && Msg.empty()) return;
  AResponse->SetContentStream(nullptr);
  const std::string D = std::to_string(C.RedirectMsgDelay() * 10);
  const TKXClientType Client = ASession->ClientType();
  const bool WithMsg = !Msg.empty();
  std::string Page;
  if (!URL.empty()) {
    const std::string Delay = WithMsg ? D : "0";
    if (Client == ctHTML32) {
      Page = "<html>\r\n<head>\r\n<meta http-equiv=\"Refresh\" Content=\"" + Delay + ";URL=" + URL + "\">\r\n" +
             kNoCache + "\r\n</head>" + (WithMsg ? "\r\n<body>" + Msg + "</body></html>" : "</html>");
    } else if (Client == ctWAP && WMLOutput(ASession)) {
      Page = std::string(kWMLPrologue) + kWMLHead + "<card ontimer=\"" + URL + "\">\r\n" +
             (WithMsg ? "<timer value=\"" + (D == "0" ? std::string("3") : D) + "\"/>\r\n<p>" + Msg + "</p>\r\n"
                      : std::string("<timer value=\"1\"/>\r\n")) +
             "</card></wml>";
    } else if (Client == ctWAP) {
      Page = std::string(kXHTMLMPPrologue) + "<head>\r\n<meta http-equiv=\"Refresh\" Content=\"" + Delay + ";URL=" +
             URL + "\">\r\n" + kNoCache + "\r\n</head>" +
             (WithMsg ? "<body>\r\n" + Msg + "\r\n</body></html>" : "</html>");
    } else {
      const std::string R = ASession->IsPartialUpdate()
                                ? std::string("<script>\r\n") + kKXTopFunction + " KXTop().window.location.href = \"" +
                                      URL + "\";</script>"
                                : "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"" + Delay + ";URL=" + URL + "\">\r\n" + kNoCache;
      Page = "<html>\r\n<head>\r\n" + R + "\r\n</head>" + (WithMsg ? "<body>" + Msg + "</body></html>" : "</html>");
    }
  } else if (Client == ctHTML32) {
    Page = "<html><body>" + Msg + "\r\n</body></html>";
  } else if (Client == ctWAP && WMLOutput(ASession)) {
    Page = std::string(kWMLPrologue) + "<card id=\"cardterminate\" title=\"" + C.AppName() +
           "\" newcontext=\"true\">\r\n<p>\r\n" + Msg + "\r\n\r\n</p>\r\n</card>\r\n</wml>";
  } else if (Client == ctWAP) {
    Page = std::string(kXHTMLMPPrologue) + Msg + "\r\n</html>";
  } else {
    Page = std::string("<html><head><script> ") + kKXTopFunction +
           "KXTop().setTimeout('document.writeln( \"<html><body>" + Msg +
           "</body></html>\");document.close();',0);</script></head></html>";
  }
  AResponse->SetContent(Page);
}

void KXExecuteSession(TKXApplication* ASession, unsigned ATrackID, int ACommand, TSkStringList& AParams) {
  IKXServerController& C = ASession->Controller();
  TWebResponse* Response = ASession->Response();
  if (ACommand == cmdReentry) {
    ASession->SetRunParams(AParams);
    C.DoReEntry(ASession);
  }
  if (Response) SetWAPContentType(ASession, Response);
  ASession->SetIsPartialUpdate(ACommand == cmdUpdate);
  ASession->SetIsCallBack(ACommand == cmdCallback);
  // Callbacks of the current page answer through their own processing.
  if (ACommand == cmdCallback && ATrackID == ASession->TrackID()) return;
  if (ACommand == cmdCallback) {
    if (Response)
      Response->SetContent("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><response></response>");
    return;
  }
  const bool Current = ATrackID == ASession->TrackID();
  TKXBaseForm* Before = ASession->ActiveForm();
  const bool WasPartial = PartialForm(Before);
  const TSkStringList Posted = AParams;
  if (Current) {
    if (!(ASession->Terminated() && !ASession->RedirectURL().empty())) KXExecuteActiveForm(ASession, AParams);
  } else if (ACommand != cmdReentry) {
    bool Handled = false, Execute = false;
    if (C.HandlesBackButton())
      C.DoBackButton(static_cast<int>(ATrackID), static_cast<int>(ASession->TrackID()), Execute, Handled,
                     AParams.Values("KX_FormName"));
    if (!Handled) {
      if (C.ShowResyncWarning()) ASession->ShowMessage(kResyncWarning, smAlert);
    } else if (Execute) {
      KXExecuteActiveForm(ASession, AParams);
    }
  }
  if (!Response) return;
  if (ASession->Terminated()) {
    SendSessionCookie(ASession, Response, true);
    return KXTerminateApplication(ASession, Response);
  }
  if (Current) SendSessionCookie(ASession, Response, false);
  if (HasContent(Response)) return;
  if (!ASession->RedirectURL().empty()) return WriteRedirectPage(ASession, Response);
  if (Current && (ACommand == cmdUpload || (ACommand == cmdUpdate && ASession->ActiveForm() != Before)))
    return WriteContinuationPage(ASession, Response, ACommand == cmdUpdate || WasPartial, Posted);
  RenderActiveForm(ASession);
}
