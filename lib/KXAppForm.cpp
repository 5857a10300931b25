#include <map>
#include <mutex>

#include "KXApplication.h"
#include "KXException.h"
#include "KXForm.h"
#include "KXGlobal.h"
#include "KXRenderContext.h"
#include "KXServer.h"
#include "KXServerControllerBase.h"
#include "KXShowMessage.h"
#include "KXStreams.h"
#include "SkWebResponse.h"

void KXRegisterFrameworkResources();   // generated with the embedded resources

namespace {

const bool GRegistered = KXRegisterClass<TKXAppForm>() && KXRegisterClass<TKXShowMessage>();

struct TMainForms {
  std::mutex Lock;   // guards Classes; written at start-up, read when sessions start
  std::map<TKXClientType, const TKXClassInfo*> Classes;
};

TMainForms& MainForms() {
  static TMainForms M;
  return M;
}

const TKXEnumInfo& UpdateModeInfo() {
  static const TKXEnumInfo Info{"TKXFormUpdateMode", {"umAll", "umPartial"}};
  return Info;
}

TKXForm* AsForm(TKXBaseForm* AForm) { return dynamic_cast<TKXForm*>(static_cast<TKXComponent*>(AForm)); }

bool NothingSent(TKXApplication* ASession) {
  TWebResponse* R = ASession->Response();
  return R && !R->ContentStream() && R->RawContent().empty() && ASession->RedirectURL().empty();
}

// The address the next page posts to.
void PrepareActiveForm(TKXApplication* ASession) {
  TKXServerControllerBase* C = GServerController();
  TKXForm* Form = AsForm(ASession->ActiveForm());
  std::string Action = ASession->ExecAction();
  if (C && Form && Form->FormOutput() == foHTML40 && Form->UpdateMode() == umPartial) {
    const std::string Track = std::to_string(ASession->TrackID());
    Action = C->SessionTrackingMethod() == tmURL
                 ? ASession->AppURLBase() + "/UPDATE/" + Track + "/" + ASession->AppID()
                 : ASession->AppURLBase() + "/UPDATE?" + ASession->AppID() + Track;
  }
  ASession->SetFormAction(Action);
}

// Answers a request of a locked session: a post of the current page is handed to its form, then
// the active form's page is the answer. Applying posted values and raising events happen in the
// form's ExecuteForm; callbacks answer elsewhere.
void ExecuteSession(TKXApplication* ASession, unsigned ATrackID, int ACommand, TSkStringList& AParams) {
  if (ACommand == cmdCallback || !ASession->ActiveForm()) return;
  if (ATrackID == ASession->TrackID()) {
    ASession->GoToURL("");
    TKXBaseForm* Active = ASession->ActiveForm();
    Active->Params() = AParams;
    Active->ExecuteForm();
    ASession->FreeReleasedForms();
    if (!NothingSent(ASession)) return;
    if (!ASession->ActiveForm()) return ASession->Terminate();
    ASession->SetTrackID(ASession->TrackID() + 1);
    PrepareActiveForm(ASession);
  }
  TKXBaseForm* Active = ASession->ActiveForm();
  if (!Active || ASession->Terminated() || !NothingSent(ASession)) return;
  TKXRenderStream Page(rnInMemory);
  Active->GenerateForm(Page);
  // The page's bytes go out as rendered: already in the page's character set, which the
  // response's own text conversion knows nothing about.
  std::string Bytes(static_cast<size_t>(Page.Size()), '\0');
  Page.SetPosition(0);
  Bytes.resize(static_cast<size_t>(Page.Read(Bytes.data(), static_cast<int64_t>(Bytes.size()))));
  if (!Bytes.empty()) ASession->Response()->SetRawContent(Bytes);
}

}  // namespace

const TKXClassInfo& TKXAppForm::StaticClassInfo() {
  using T = TKXAppForm;
  static const TKXClassInfo Info = KXClass<T, TKXForm>("TKXAppForm").Props({
      KXEnumProp("UpdateMode", &T::UpdateMode, &T::SetUpdateMode, UpdateModeInfo()),
  });
  return Info;
}

TKXAppForm::TKXAppForm(TKXComponent* AOwner) : TKXForm(AOwner) {
  (void)GRegistered;
  KXInstallFormHooks();
  BecomeApplicationForm(foHTML40);
  FWidth = 300;
  FHeight = 200;
}

void TKXAppForm::GenerateForm(TKXRenderStream& AStream) {
  if (TKXApplication* S = WebApplication()) FFormAction = S->FormAction();
  TKXForm::GenerateForm(AStream);
}

const TKXClassInfo* TKXAppForm::MessageForm() const { return &TKXShowMessage::StaticClassInfo(); }

void TKXAppForm::SetMainFormClass(const TKXClassInfo* AClass, TKXClientType AClient) {
  KXInstallFormHooks();
  std::lock_guard<std::mutex> Guard(MainForms().Lock);
  MainForms().Classes[AClient] = AClass;
}

const TKXClassInfo* TKXAppForm::MainFormClass(TKXClientType AClient) {
  std::lock_guard<std::mutex> Guard(MainForms().Lock);
  auto It = MainForms().Classes.find(AClient);
  return It == MainForms().Classes.end() ? nullptr : It->second;
}

TKXAppForm* TKXAppForm::CreateMainForm(TKXApplication* ASession) {
  const TKXClassInfo* Class = MainFormClass(ASession->ClientType());
  if (!Class || !Class->CanCreate()) return nullptr;
  TKXCurrentSessionScope Scope(ASession);
  TKXComponent* Made = Class->Create(ASession);
  auto* Form = dynamic_cast<TKXAppForm*>(Made);
  if (!Form) {
    delete Made;
    throw EKXException("Form must be an application form.");
  }
  return Form;
}

TKXSessionFormHooks KXFormSessionHooks() {
  static std::once_flag Resources;
  std::call_once(Resources, KXRegisterFrameworkResources);   // the message form's stored description
  TKXSessionFormHooks H;
  H.IsHTML40Form = [](TKXBaseForm* F) { return F && F->FormOutput() == foHTML40 && AsForm(F); };
  H.IsHTML32Form = [](TKXBaseForm* F) { return F && F->FormOutput() == foHTML32; };
  H.BrowserSecurityCheck = [](TKXBaseForm* F) {
    TKXForm* Form = AsForm(F);
    return !Form || Form->BrowserSecurityCheck();
  };
  H.PartialUpdateMode = [](TKXBaseForm* F) {
    TKXForm* Form = AsForm(F);
    return Form && Form->UpdateMode() == umPartial;
  };
  H.Resize = [](TKXBaseForm* F, int AWidth, int AHeight) {
    if (TKXForm* Form = AsForm(F)) Form->SetBounds(Form->Left(), Form->Top(), AWidth, AHeight);
  };
  H.Width = [](TKXBaseForm* F) { return F->Width(); };
  H.Height = [](TKXBaseForm* F) { return F->Height(); };
  H.ResizeScript = [](TKXBaseForm* F) {
    TKXForm* Form = AsForm(F);
    return Form ? Form->ResizeScript() : std::string();
  };
  H.AddToInitProc = [](TKXBaseForm* F, const std::string& ACode) {
    if (TKXForm* Form = AsForm(F)) Form->AddToInitProc(ACode);
  };
  // The page context exists only while a page is rendered; new-window code asked for by an
  // event handler therefore waits in the form's init code for the next render.
  H.AddToInitProcNewWindowCode = [](TKXApplication* S, const std::string& ACode) {
    if (TKXForm* Form = AsForm(S->ActiveForm())) {
      if (Form->PageContext())
        Form->PageContext()->AddToInitProcNewWindowCode(ACode);
      else
        Form->AddToInitProc(ACode);
    }
  };
  H.AddToUpdateInitProcNewWindowCode = [](TKXApplication* S, const std::string& ACode) {
    if (TKXForm* Form = AsForm(S->ActiveForm())) {
      if (Form->PageContext())
        Form->PageContext()->AddToUpdateInitProcNewWindowCode(ACode);
      else
        Form->AddToInitProc(ACode);
    }
  };
  H.ShowMessageForm = [](TKXApplication* S, const std::string& AMsg, const std::string& ATemplate,
                         TKXShowMessageType AType) { TKXShowMessage::ShowMessageFor(S, AMsg, ATemplate, AType); };
  H.CreateMainForm = [](TKXApplication* S) -> TKXBaseForm* { return TKXAppForm::CreateMainForm(S); };
  H.IsApplicationForm = [](TKXBaseForm* F) { return F && dynamic_cast<TKXAppForm*>(static_cast<TKXComponent*>(F)); };
  H.ShowForm = [](TKXBaseForm* F) { F->Show(); };
  H.FreeForm = [](TKXBaseForm* F) { delete static_cast<TKXComponent*>(F); };
  H.Execute = ExecuteSession;
  return H;
}

void KXInstallFormHooks() {
  // Once only: sessions read the hooks without a lock, so they are written before any is served.
  static std::once_flag Once;
  std::call_once(Once, [] { KXSessionFormHooks() = KXFormSessionHooks(); });
}
