#include "render/KXRenderContext.h"

// ---------------------------------------------------------------------------------------------
// TKXPageContext40

#include <algorithm>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "render/KXHTMLTag.h"
#include "render/KXInterfaces.h"
#include "core/KXTextEncoding.h"
#include "SkStrUtils.h"

namespace {

void AppendLine(std::string& ASection, const std::string& ACode, const std::string& AEOL) {
  if (ACode.empty()) return;
  ASection += ACode;
  ASection += AEOL;
}

void AddOnce(TSkStringList& AList, const std::string& AFile) {
  if (AList.IndexOf(AFile) < 0) AList.Add(AFile);
}

}  // namespace

TKXPageContext40::TKXPageContext40(TKXApplication* AWebApplication, TKXRenderRequest ARequest)
    : FWebApplication(AWebApplication),
      FFormTag(std::make_unique<TKXHTMLTag>("FORM")),
      FBodyTag(std::make_unique<TKXHTMLTag>("BODY")),
      FRequest(std::move(ARequest)) {
  ResetStyleTag();
}

std::string TKXPageContext40::NewUserCacheFile(const std::string& APrefix) const {
  if (!FWebApplication) throw EKXException("WebApplication is requiered in order to use this function.");
  return FWebApplication->NewCacheFile(APrefix);
}

std::string TKXPageContext40::UserCacheURL() const {
  return FWebApplication ? FWebApplication->UserCacheURL() : std::string();
}

TKXPageContext40::~TKXPageContext40() = default;

void TKXPageContext40::ResetStyleTag() {
  FStyleTag = std::make_unique<TKXHTMLTag>("style");
  FStyleTag->AddStringParam("type", "text/css");
  FStyleText = FStyleTag->Contents().AddText(FRequest.LineEnd);
}

void TKXPageContext40::AddToInitProc(const std::string& ACode) { AppendLine(FInitProc, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToInitProcFocusCode(const std::string& ACode) { AppendLine(FInitProcFocusCode, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToInitProcNewWindowCode(const std::string& ACode) { AppendLine(FInitProcNewWindowCode, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToInitProcPageUnlockCode(const std::string& ACode) { AppendLine(FInitProcPageUnlockCode, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToInitProcDoLastCode(const std::string& ACode) { AppendLine(FInitProcDoLastCode, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToKXCLInitProc(const std::string& ACode) { AppendLine(FKXCLInitProc, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToUpdateInitProc(const std::string& ACode) { AppendLine(FUpdateInitProc, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToUpdateInitProcNewWindowCode(const std::string& ACode) {
  AppendLine(FUpdateInitProcNewWindowCode, ACode, FRequest.LineEnd);
}
void TKXPageContext40::AddToUpdateInitProcPageUnlockCode(const std::string& ACode) {
  AppendLine(FUpdateInitProcPageUnlockCode, ACode, FRequest.LineEnd);
}
void TKXPageContext40::AddToUpdateInitProcFocusCode(const std::string& ACode) { AppendLine(FUpdateInitProcFocusCode, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToUpdateControlsProc(const std::string& ACode) { AppendLine(FUpdateControlsProc, ACode, FRequest.LineEnd); }
void TKXPageContext40::AddToOnReady(const std::string& ACode) { FOnReadyProc += ACode; }

void TKXPageContext40::AddToJavaScriptOnce(const std::string& ACode) {
  FJavaScript += ACode;
  const std::string& EOL = FRequest.LineEnd;
  if (!(ACode.size() > 2 && !EOL.empty() && EndsText(EOL, ACode))) FJavaScript += EOL;
}

void TKXPageContext40::AddScriptFile(const std::string& AFilename) { AddOnce(FScriptFiles, AFilename); }
void TKXPageContext40::AddPreScriptFile(const std::string& AFilename) { AddOnce(FPreScriptFiles, AFilename); }
void TKXPageContext40::AddLinkFile(const std::string& AFilename) { AddOnce(FLinkFiles, AFilename); }
void TKXPageContext40::AddStyle(const std::string& AStyle) {
  // Rules go into the page's own text node while it is the style's last one: one node for all
  // the rules instead of one per control (texts are written verbatim, so the bytes are alike).
  TKXMarkupLanguageTagCollection& Contents = FStyleTag->Contents();
  if (FStyleText && !Contents.Empty() && Contents.Items(Contents.Count() - 1) == FStyleText)
    FStyleText->AppendText(AStyle);
  else
    FStyleText = Contents.AddText(AStyle);
}

void TKXPageContext40::AddValidation(const std::string& ACondition, const std::string& AMsg) {
  FValidation.Add(ACondition);
  FValidationMsg.Add(AMsg);
}

void TKXPageContext40::AppendHiddenInput(const std::string& AName) {
  if (!FFormHiddenInput.Add(AName, 0)) return;
  TKXHTMLTag* Input = FFormTag->Contents().AddTag("INPUT");
  Input->AddStringParam("TYPE", "HIDDEN");
  Input->AddStringParam("NAME", AName);
}

void TKXPageContext40::AppendContext(const TKXComponent40Context& AContext) {
  AddToInitProc(AContext.InitProc());
  if (!AContext.JavaScript().empty()) AddToJavaScriptOnce(AContext.JavaScript());
  AddToKXCLInitProc(AContext.KXCLInitProc());
  AddToUpdateInitProc(AContext.UpdateInitProc());
  AddToInitProcDoLastCode(AContext.InitProcDoLastCode());
}

std::string TKXPageContext40::InternalFilesBase() const {
  return FWebApplication ? FWebApplication->InternalURLBase() : std::string();
}

std::string TKXPageContext40::ScriptFile(const std::string& AScriptFile) const {
  const std::string& EOL = FRequest.LineEnd;
  // This server always serves its own internal files, so their addresses carry the version
  // (a new release never meets a browser's cached copy of an old script).
  if (StartsText("/js/", AScriptFile))
    return EOL + "<script type=\"text/javascript\" src=\"" + InternalFilesBase() + AScriptFile + "_" + kKXVersion +
           "\"></script>" + EOL;
  const std::string Base = FWebApplication ? FWebApplication->AppURLBase() : std::string();
  return EOL + "<script type=\"text/javascript\" src=\"" + Base + AScriptFile + "\"></script>" + EOL;
}

std::string TKXPageContext40::LinkFile(const std::string& ALinkFile) {
  return "<link href=\"" + ALinkFile + "\" rel=\"stylesheet\" type=\"text/css\"/>";
}

std::string TKXPageContext40::RenderScriptFiles() const {
  std::string S;
  for (const std::string& F : FScriptFiles)
    if (!F.empty()) S += ScriptFile(F);
  return S;
}

std::string TKXPageContext40::RenderPreScriptFiles() const {
  std::string S;
  for (const std::string& F : FPreScriptFiles)
    if (!F.empty()) S += ScriptFile(F);
  return S;
}

std::string TKXPageContext40::RenderLinkFiles() const {
  std::string S;
  for (const std::string& F : FLinkFiles)
    if (!F.empty()) S += LinkFile(F);
  return S;
}

std::string TKXPageContext40::InitProcCode() const {
  return FInitProc + FInitProcPageUnlockCode + FInitProcFocusCode + FInitProcNewWindowCode + FInitProcDoLastCode;
}

std::string TKXPageContext40::OnReadyProcCode() const {
  return FOnReadyProc.empty() ? std::string() : "$(document).ready(function(){" + FOnReadyProc + "});";
}

std::string TKXPageContext40::UpdateInitProc() const {
  return FUpdateInitProc + FUpdateInitProcPageUnlockCode + "setTimeout(\"" + TextToJSStringLiteral(FUpdateInitProcFocusCode) +
         TextToJSStringLiteral(FUpdateInitProcNewWindowCode) + "\");" + FRequest.LineEnd;
}

TKXFormUpdateMode TKXPageContext40::UpdateMode() const {
  if (!FWebApplication) return umAll;
  IKXSessionForm* Active = FWebApplication->ActiveSessionForm();
  if (Active != FUpdateModeForm) {
    FUpdateModeForm = Active;
    FUpdateModeFace = dynamic_cast<IKXHTML40Form*>(Active);
  }
  return FUpdateModeFace ? FUpdateModeFace->UpdateMode() : umAll;
}

void TKXPageContext40::FinalizeContext() {
  const std::string& EOL = FRequest.LineEnd;
  AddToJavaScriptOnce("function Validate() {");
  for (int I = 0; I < FValidation.Count(); ++I)
    AddToJavaScriptOnce("  if(" + FValidation[I] + ") {" + EOL + "    ReleaseLock();" + EOL + "    window.alert(\"" +
                        FValidationMsg[I] + "\");" + EOL + "    return false;" + EOL + "  }");
  AddToJavaScriptOnce("  return true;" + EOL + "}" + EOL);
}

void TKXPageContext40::Clear(bool ADesignTime) {
  FBodyTag->Params().Clear();
  if (!ADesignTime) {
    FFormTag->Contents().Clear();
    FFormTag->Params().Clear();
    FFormHiddenInput.Clear();
    FBodyTag->Contents().Clear();
  }
  FScriptFiles.Clear();
  FJavaScript.clear();
  FInitProc.clear();
  FKXCLInitProc.clear();
  FValidation.Clear();
  FValidationMsg.Clear();
  FUpdateControlsProc.clear();
  FUpdateInitProc.clear();
  if (!ADesignTime) ResetStyleTag();
}
