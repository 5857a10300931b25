// Message pages: the error and time-out pages from their templates, the size probe, redirects as script.
#include "server/KXServer.h"

#include <fstream>
#include <sstream>

#include "content/KXInternalFiles.h"
#include "core/KXException.h"
#include "core/KXFileReference.h"
#include "server/KXServerControllerBase.h"
#include "session/KXApplication.h"
#include "SkStrUtils.h"

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
