#include "controls/KXButton.h"

#include "render/KXBaseRenderContext.h"
#include "render/KXColor.h"
#include "render/KXHTMLTag.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXCustomButton>() && KXRegisterClass<TKXButton>();

const char* const kButtonTypes[] = {"submit", "button", "reset"};

}  // namespace

const TKXEnumInfo& KXButtonTypeInfo() {
  static const TKXEnumInfo Info{"TKXButtonType", {"btSubmit", "btButton", "btReset"}};
  return Info;
}

const TKXClassInfo& TKXCustomButton::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomButton, TKXCustomControl>("TKXCustomButton");
  return Info;
}

const TKXClassInfo& TKXButton::StaticClassInfo() {
  using T = TKXButton;
  static const TKXClassInfo Info = KXClass<T, TKXCustomButton>("TKXButton").Props({
      KXStringProp("Caption", &T::Caption, &T::SetCaption),
      KXEnumProp("ButtonType", &T::ButtonType, &T::SetButtonType, KXButtonTypeInfo()),
      KXStringProp("HotKey", &T::HotKey, &T::SetHotKey),
      KXColorProp("Color", &T::Color, &T::SetColor),
  });
  return Info;
}

TKXCustomButton::TKXCustomButton(TKXComponent* AOwner) : TKXCustomControl(AOwner) {
  (void)GRegistered;
  FColor = clBtnFace;
  FNeedsFormTag = true;
  SetRenderSize(true);
  FHeight = 25;
  FWidth = 75;
  FCanReceiveFocus = true;
}

void TKXCustomButton::SetCaption(const std::string& AValue) {
  if (AValue == FCaption) return;
  FCaption = AValue;
  TextChanged();
}

void TKXCustomButton::DoSubmit(const std::string& AParam) {
  FSubmitParam = AParam;
  DoClick();
}

TKXHTMLTag* TKXCustomButton::RenderHTML(TKXComponent40Context& AContext) {
  const std::string Text = TextToHTML(FCaption, true, false);
  TKXHTMLTag* Tag;
  if (!FHotKey.empty()) {
    Tag = new TKXHTMLTag("BUTTON");
    Tag->AddStringParam("ACCESSKEY", FHotKey);
    // The key is looked up in the encoded caption, so it is encoded the same way.
    const std::string Key = TextToHTML(FHotKey, true, false);
    std::string Content = Text;
    if (const size_t At = PosText(Key, Content); At != std::string::npos)
      Content.replace(At, Key.size(), "<u>" + Key + "</u>");
    Tag->Contents().AddText(Content);
  } else {
    Tag = new TKXHTMLTag("INPUT");
    Tag->AddStringParam("VALUE", Text);
  }
  Tag->AddStringParam("NAME", HTMLName());
  Tag->AddStringParam("TYPE", kButtonTypes[FButtonType]);
  // clBtnFace leaves the browser's own button face.
  if (FFont->Enabled() && FColor != clBtnFace)
    Tag->AddStringParam("STYLE", "background-color: " + ColorToHTMLColor(FColor) + ";" +
                                     FFont->FontToStringStyle(AContext.Browser()));
  if (!FEnabled) Tag->Add("DISABLED");
  return Tag;
}

void TKXCustomButton::HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) {
  TKXCustomControl::HookControlEvents(AContext, AEvents);
  if (OnClick || FButtonType == btSubmit) AEvents.HookEvent("OnClick", SubmitClickScript(AContext, "", "", false));
}

TKXXMLTag* TKXCustomButton::RenderAsyncContent(TKXComponent40Context& AContext) {
  TKXXMLTag* Tag = NewAsyncTag("KXBUTTON");
  RenderAsyncPropertyAsString("Caption", *Tag, false, FCaption);
  if (FFont->Enabled() && FColor != clBtnFace) AddAsyncStyle(*Tag, "background-color: " + ColorToHTMLColor(FColor) + ";");
  RenderAsyncProperty("Color", *Tag, static_cast<int>(FColor));
  RenderAsyncCommonProperties(AContext, *Tag, kKXAllAsyncCommonProps);
  return Tag;
}
