#include <map>
#include <mutex>

#include "session/KXApplication.h"
#include "core/KXException.h"
#include "forms/KXAppForm.h"
#include "forms/KXFormSubmission.h"
#include "core/KXGlobal.h"
#include "render/KXRenderContext.h"
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
  static std::once_flag Resources;
  std::call_once(Resources, KXRegisterFrameworkResources);   // the message form's stored description
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

namespace {

class TKXAppFormFactory : public IKXFormFactory {
public:
  IKXSessionForm* CreateMainForm(TKXApplication& ASession) override { return TKXAppForm::CreateMainForm(&ASession); }
  void ShowMessageForm(TKXApplication& ASession, const std::string& AMsg, const std::string& ATemplate,
                       TKXShowMessageType AType) override {
    TKXShowMessage::ShowMessageFor(&ASession, AMsg, ATemplate, AType);
  }
};

}  // namespace

IKXFormFactory& TKXAppForm::Factory() {
  static TKXAppFormFactory Factory;
  return Factory;
}
