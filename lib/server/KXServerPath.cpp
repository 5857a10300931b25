// The path grammar: mode prefixes, the command word and its command, page mode, file names.
#include "server/KXServer.h"

#include <memory>

#include "core/KXClasses.h"
#include "core/KXComponent.h"
#include "server/KXServerControllerBase.h"
#include "server/KXServerParts.h"
#include "SkStrUtils.h"

namespace {

// The page form class remembered by page mode for this thread's request.
thread_local std::string GPageFormClass;

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

void KXSetPageFormClass(std::string AClassName) { GPageFormClass = std::move(AClassName); }
