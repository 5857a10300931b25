#include "controls/KXCompEdit.h"

#include <limits>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXColor.h"
#include "render/KXHTMLTag.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXCustomEdit>() && KXRegisterClass<TKXEdit>();

const char* const kRequiredField = "%s is a required field.";

// A descendant that handles Return itself.
const char* const kAdvancedEditClass = "TTKXAdvEdit";

// Characters, not bytes, of UTF-8 text: continuation bytes are not counted.
size_t CharacterCount(const std::string& AText) {
  size_t N = 0;
  for (unsigned char C : AText) N += (C & 0xC0) != 0x80;
  return N;
}

IKXForm* OwnerAppForm(const TKXCustomControl& AControl) {
  IKXForm* Form = AControl.OwnerForm();
  return Form && Form->FormType() == ftApp ? Form : nullptr;
}

}  // namespace

const TKXClassInfo& TKXCustomEdit::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomEdit, TKXCustomInputControl>("TKXCustomEdit");
  return Info;
}

const TKXClassInfo& TKXEdit::StaticClassInfo() {
  using T = TKXEdit;
  static const TKXClassInfo Info = KXClass<T, TKXCustomEdit>("TKXEdit").Props({
      KXStringProp("Text", &T::Text, &T::SetText),
      KXEnumProp("Alignment", &T::Alignment, &T::SetAlignment, KXAlignmentInfo()),
      KXColorProp("BGColor", &T::BGColor, &T::SetBGColor),
      KXColorProp("FocusColor", &T::FocusColor, &T::SetFocusColor),
      KXBoolProp("Editable", &T::Editable, &T::SetEditable),
      KXBoolProp("NonEditableAsLabel", &T::NonEditableAsLabel, &T::SetNonEditableAsLabel),
      KXIntProp("MaxLength", &T::MaxLength, &T::SetMaxLength),
      KXBoolProp("ReadOnly", &T::ReadOnly, &T::SetReadOnly),
      KXBoolProp("Required", &T::Required, &T::SetRequired),
      KXBoolProp("PasswordPrompt", &T::PasswordPrompt, &T::SetPasswordPrompt),
      KXEventProp("OnSubmit", &T::OnSubmit),
  });
  return Info;
}

TKXCustomEdit::TKXCustomEdit(TKXComponent* AOwner) : TKXCustomInputControl(AOwner) {
  (void)GRegistered;
  FNeedsFormTag = true;
  FHeight = 21;
  FWidth = 121;
  SetRenderSize(true);
  FCanReceiveFocus = true;
}

void TKXCustomEdit::SetText(const std::string& AValue) {
  if (AValue == FText) return;
  FText = AValue;
  TextChanged();
}

void TKXCustomEdit::SetAlignment(TKXAlignment AValue) {
  if (AValue != FAlignment) Invalidate();
  FAlignment = AValue;
}

void TKXCustomEdit::SetBGColor(TKXColor AValue) {
  if (AValue != FBGColor) Invalidate();
  FBGColor = AValue;
}

void TKXCustomEdit::SetFocusColor(TKXColor AValue) {
  if (AValue != FFocusColor) Invalidate();
  FFocusColor = AValue;
}

void TKXCustomEdit::SetMaxLength(int AValue) {
  if (AValue != FMaxLength) Invalidate();
  FMaxLength = AValue;
}

void TKXCustomEdit::SetReadOnly(bool AValue) {
  if (AValue != FReadOnly) Invalidate();
  FReadOnly = AValue;
}

void TKXCustomEdit::SetRequired(bool AValue) {
  if (AValue != FRequired) Invalidate();
  FRequired = AValue;
}

void TKXCustomEdit::RestoreValue(const std::string& AValue) {
  if (AValue == FText) return;
  FText = AValue;
  FDoRefreshControl = false;
}

void TKXCustomEdit::DoSubmit(const std::string& AParam) {
  FSubmitParam = AParam;
  if (OnSubmit) {
    DoSubmitEvent();
  } else if (IKXForm* Form = OwnerAppForm(*this); Form && Form->HasDefaultAction()) {
    Form->DoDefaultAction(this);
  }
}

void TKXCustomEdit::DoSubmitEvent() {
  if (OnSubmit) OnSubmit(this);
}

TKXHTMLTag* TKXCustomEdit::RenderHTML(TKXComponent40Context& AContext) {
  if (!FEditable && FNonEditableAsLabel) {
    TKXLabel Label(nullptr);
    Label.SetName(Name());
    Label.SetAlignment(FAlignment);
    Label.Font().Assign(*FFont);
    Label.SetBounds(Label.Left(), Label.Top(), FWidth, FHeight);
    Label.SetCaption(PasswordPrompt() ? std::string(CharacterCount(FText), '*') : FText);
    return Label.RenderHTML(AContext);
  }
  auto* Tag = new TKXHTMLTag("INPUT");
  Tag->AddStringParam("TYPE", FTagType);
  Tag->AddStringParam("NAME", HTMLName());
  if (!FEditable) {
    Tag->AddBoolParam("DISABLED", true);
    Tag->AddBoolParam("READONLY", true);
  }
  if (!FEnabled) Tag->AddBoolParam("DISABLED", true);
  Tag->AddIntegerParam("MAXLENGTH", FMaxLength ? FMaxLength : std::numeric_limits<int32_t>::max());
  Tag->AddStringParam("VALUE", TextToHTML(FText, true, false));
  if (FReadOnly) Tag->Add("READONLY");
  if (FRequired) {
    const std::string N = HTMLName();
    AContext.AddValidation(N + "KXCL != null && " + N + "KXCL.value.length==0",
                           ReplaceAll(kRequiredField, "%s", FFriendlyName));
  }
  return Tag;
}

std::string TKXCustomEdit::RenderStyle(TKXComponent40Context* AContext) {
  std::string S = TKXCustomControl::RenderStyle(AContext);
  if (FFont->Color() != clNone) S += "color:" + ColorToHTMLColor(FFont->Color()) + ";";
  if (FBGColor != clNone) S += "background-color:" + ColorToHTMLColor(FBGColor) + ";";
  return S + KXAlignmentStyle(FAlignment);
}

void TKXCustomEdit::HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) {
  TKXCustomControl::HookControlEvents(AContext, AEvents);
  IKXForm* Form = OwnerForm();
  if (OnSubmit || (Form && Form->HasDefaultAction() && ClassName() != kAdvancedEditClass)) {
    const std::string Key = AContext.Browser() == brIE ? "event.keyCode" : "event.which";
    AEvents.HookEvent("OnKeyPress", "var res = CheckReturnKey(" + Key + ", '" + HTMLName() + "', " +
                                        (FDoSubmitValidation ? "true" : "false") + ")\r\nreturn res;");
  }
  if (FFocusColor != clNone && FEditable) {
    AEvents.HookEvent("OnFocus", "this.style.backgroundColor='" + ColorToHTMLColor(FFocusColor) + "'; return true;");
    AEvents.HookEvent("OnBlur", "this.style.backgroundColor='" + ColorToHTMLColor(FBGColor) + "'; return true;");
  }
}

TKXXMLTag* TKXCustomEdit::RenderAsyncContent(TKXComponent40Context& AContext) {
  TKXXMLTag* Tag = NewAsyncTag("KXEDIT");
  if (FBGColor != clNone) AddAsyncStyle(*Tag, "background-color:" + ColorToHTMLColor(FBGColor) + ";");
  AddAsyncStyle(*Tag, KXAlignmentStyle(FAlignment));
  RenderAsyncProperty("ReadOnly", *Tag, FReadOnly);
  RenderAsyncPropertyAsString("Text", *Tag, false, FText);
  RenderAsyncProperty("MaxLength", *Tag, FMaxLength);
  RenderAsyncCommonProperties(AContext, *Tag, kKXAllAsyncCommonProps);
  return Tag;
}
