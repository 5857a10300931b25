#include "forms/KXShowMessage.h"

#include "session/KXApplication.h"
#include "controls/KXButton.h"
#include "controls/KXCustomControl.h"
#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "controls/KXText.h"
#include "SkStrUtils.h"

namespace {

// Sets one published value of a control made by class name; a class without it is left alone.
void SetStringProp(TKXPersistent& AObject, const char* AName, const std::string& AValue) {
  if (const TKXPropInfo* P = AObject.ClassInfo().FindProperty(AName)) {
    if (P->SetString) P->SetString(AObject, AValue);
    else if (P->SetStrings) {
      TSkStringList L;
      L.SetText(AValue);
      P->SetStrings(AObject, L);
    }
  }
}

TKXCustomControl* MakeControl(TKXShowMessage& AForm, const char* AClass, const char* AName, int ALeft, int ATop,
                              int AWidth, int AHeight) {
  const TKXClassInfo* Class = KXClassRegistry().FindClass(AClass);
  if (!Class || !Class->CanCreate()) return nullptr;
  auto* Control = dynamic_cast<TKXCustomControl*>(Class->Create(&AForm));
  if (!Control) return nullptr;
  Control->SetName(AName);
  Control->SetParent(&AForm);
  Control->SetBounds(ALeft, ATop, AWidth, AHeight);
  return Control;
}

}  // namespace

const TKXClassInfo& TKXShowMessage::StaticClassInfo() {
  using T = TKXShowMessage;
  static const TKXClassInfo Info =
      KXClass<T, TKXAppForm>("TKXShowMessage").Methods({KXMethod("ButtonOkClick", &T::ButtonOkClick)});
  return Info;
}

void TKXShowMessage::ShowMessage(const std::string& AMsg, const std::string& ATemplate, TKXShowMessageType AType) {
  FMessage = AMsg;
  // Naming the two classes links them into every program that can show a message, even one
  // whose own forms use neither (their registration would otherwise be left out of the link).
  KXRegisterClass<TKXText>();
  KXRegisterClass<TKXButton>();
  if (TKXCustomControl* Text = MakeControl(*this, "TKXText", "textMessage", 8, 8, 337, 121)) {
    SetStringProp(*Text, "Lines", AMsg);
    Text->SetUseFrame(AType == smSameWindowFrame);
  }
  if (TKXCustomControl* Ok = MakeControl(*this, "TKXButton", "butnOk", 136, 136, 75, 25)) {
    SetStringProp(*Ok, "Caption", "Ok");
    Ok->OnClick = [this](TKXComponent* Sender) { ButtonOkClick(Sender); };
  }
  // A template file as layout waits for the template processor; the default layout is used.
  (void)ATemplate;
  Show();
}

void TKXShowMessage::ButtonOkClick(TKXComponent*) {
  TKXApplication* S = WebApplication();
  if (!S) return;
  if (auto* Active = dynamic_cast<TKXShowMessage*>(static_cast<TKXComponent*>(S->ActiveForm()))) Active->Release();
  if (S->ActiveForm()) return;
  if (!TKXAppForm::MainFormClass(S->ClientType())) throw EKXException("No main form is defined.");
  // Owned by the session, so it outlives this form, which goes at the end of the request.
  TKXAppForm::CreateMainForm(S)->Show();
}

void TKXShowMessage::ShowMessageFor(TKXApplication* ASession, const std::string& AMsg, const std::string& ATemplate,
                                    TKXShowMessageType AType) {
  const TKXClassInfo* Class = &TKXShowMessage::StaticClassInfo();
  if (TKXBaseForm* Active = ASession->ActiveForm())
    if (const TKXClassInfo* M = Active->MessageForm()) Class = M;
  TKXCurrentSessionScope Scope(ASession);
  auto* Form = dynamic_cast<TKXShowMessage*>(Class->Create(ASession));
  if (!Form) throw EKXException("Form must be an application form.");
  Form->ShowMessage(AMsg, ATemplate, AType);
}
