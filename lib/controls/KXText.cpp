#include "controls/KXText.h"

#include "render/KXColor.h"
#include "render/KXHTMLTag.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXCustomText>() && KXRegisterClass<TKXText>();

}  // namespace

const TKXClassInfo& TKXCustomText::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomText, TKXCustomControl>("TKXCustomText");
  return Info;
}

const TKXClassInfo& TKXText::StaticClassInfo() {
  using T = TKXText;
  static const TKXClassInfo Info = KXClass<T, TKXCustomText>("TKXText").Props({
      KXColorProp("BGColor", &T::BGColor, &T::SetBGColor),
      KXBoolProp("ConvertSpaces", &T::ConvertSpaces, &T::SetConvertSpaces),
      KXStringsProp("Lines", &T::Lines, &T::SetLines),
      KXBoolProp("RawText", &T::RawText, &T::SetRawText),
      KXBoolProp("UseFrame", &T::UseFrame, &T::SetUseFrame),
      KXBoolProp("WantReturns", &T::WantReturns, &T::SetWantReturns),
  });
  return Info;
}

TKXCustomText::TKXCustomText(TKXComponent* AOwner) : TKXCustomControl(AOwner) {
  (void)GRegistered;
  FColor = clNone;
  FHeight = 121;
  FWidth = 121;
}

void TKXCustomText::SetLines(const TSkStringList& AValue) {
  FLines = AValue;
  TextChanged();
}

std::string TKXCustomText::Text() const {
  std::string Result;
  for (int I = 0; I < FLines.Count(); ++I) {
    if (I) Result += "\r\n";
    Result += FLines[I];
  }
  return Result;
}

void TKXCustomText::SetText(const std::string& AValue) {
  FLines.SetText(AValue);
  TextChanged();
}

void TKXCustomText::Clear() {
  FLines.Clear();
  TextChanged();
}

void TKXCustomText::SetUseFrame(bool AValue) {
  if (AValue != FUseFrame) Invalidate();
  TKXCustomControl::SetUseFrame(AValue);
}

std::string TKXCustomText::ContentText() const {
  std::string Lines;
  for (int I = 0; I < FLines.Count(); ++I) Lines += FLines[I] + (FRawText && !FWantReturns ? "" : "\r\n");
  return FRawText ? Lines : TextToHTML(Lines, FWantReturns, FConvertSpaces);
}

TKXHTMLTag* TKXCustomText::RenderHTML(TKXComponent40Context&) {
  auto* Tag = new TKXHTMLTag("DIV");
  Tag->Contents().AddText(ContentText());
  return Tag;
}

std::string TKXCustomText::RenderStyle(TKXComponent40Context* AContext) {
  std::string S = TKXCustomControl::RenderStyle(AContext);
  if (FColor != clNone) S += " background-color: " + ColorToHTMLColor(FColor) + ";";
  return S;
}

TKXXMLTag* TKXCustomText::RenderAsyncContent(TKXComponent40Context& AContext) {
  TKXXMLTag* Tag = NewAsyncTag("KXTEXT");
  if (FColor != clNone) AddAsyncStyle(*Tag, "background-color:" + ColorToHTMLColor(FColor) + ";");
  Tag->Contents().AddTag("innerhtml")->Contents().AddText(ContentText());
  RenderAsyncCommonProperties(AContext, *Tag, kKXAllAsyncCommonProps);
  return Tag;
}
