#include <map>
#include <mutex>

#include "session/KXApplication.h"
#include "core/KXException.h"
#include "forms/KXForm.h"
#include "forms/KXFormSubmission.h"
#include "core/KXGlobal.h"
#include "render/KXRenderContext.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "forms/KXShowMessage.h"
#include "core/KXStreams.h"
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
  H.Execute = KXExecuteSession;
  return H;
}

void KXInstallFormHooks() {
  // Once only: sessions read the hooks without a lock, so they are written before any is served.
  static std::once_flag Once;
  std::call_once(Once, [] { KXSessionFormHooks() = KXFormSessionHooks(); });
}
