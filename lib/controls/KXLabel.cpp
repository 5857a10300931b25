#include "controls/KXLabel.h"

#include "render/KXBaseRenderContext.h"
#include "render/KXColor.h"
#include "render/KXHTMLTag.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXCustomLabel>() && KXRegisterClass<TKXLabel>();

}  // namespace

const TKXEnumInfo& KXAlignmentInfo() {
  static const TKXEnumInfo Info{"TKXAlignment", {"taLeftJustify", "taRightJustify", "taCenter"}};
  return Info;
}

std::string KXAlignmentStyle(TKXAlignment AValue) {
  switch (AValue) {
    case taRightJustify: return "text-align:right;";
    case taCenter: return "text-align:center;";
    default: return "text-align:left;";
  }
}

const TKXClassInfo& TKXCustomLabel::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomLabel, TKXCustomControl>("TKXCustomLabel");
  return Info;
}

const TKXClassInfo& TKXLabel::StaticClassInfo() {
  using T = TKXLabel;
  static const TKXClassInfo Info = KXClass<T, TKXCustomLabel>("TKXLabel").Props({
      KXStringProp("Caption", &T::Caption, &T::SetCaption),
      KXEnumProp("Alignment", &T::Alignment, &T::SetAlignment, KXAlignmentInfo()),
      KXColorProp("BGColor", &T::BGColor, &T::SetBGColor),
      KXBoolProp("NoWrap", &T::NoWrap, &T::SetNoWrap),
      KXBoolProp("ConvertSpaces", &T::ConvertSpaces, &T::SetConvertSpaces),
      KXBoolProp("RawText", &T::RawText, &T::SetRawText),
      KXComponentProp("ForControl", &T::ForControl, &T::SetForControl),
      KXBoolProp("HasTabOrder", &T::HasTabOrder, &T::SetHasTabOrder),
      KXBoolProp("AutoSize", &T::AutoSize, &T::SetAutoSize),
  });
  return Info;
}

TKXCustomLabel::TKXCustomLabel(TKXComponent* AOwner) : TKXCustomControl(AOwner) {
  (void)GRegistered;
  FWidth = 121;
  FHeight = 21;
  SetAutoSize(true);
  FColor = clNone;
}

TKXCustomLabel::~TKXCustomLabel() { SetForControl(nullptr); }

void TKXCustomLabel::Notification(TKXComponent* AComponent, TKXOperation AOperation) {
  TKXCustomControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FForControl) FForControl = nullptr;
}

void TKXCustomLabel::SetForControl(TKXCustomControl* AValue) {
  if (AValue == FForControl) return;
  if (FForControl) FForControl->RemoveFreeNotification(this);
  FForControl = AValue;
  if (FForControl) FForControl->FreeNotification(this);
}

void TKXCustomLabel::SetCaption(const std::string& AValue) {
  if (AValue == FCaption) return;
  FCaption = AValue;
  TextChanged();
}

void TKXCustomLabel::SetAlignment(TKXAlignment AValue) {
  if (AValue == FAlignment) return;
  FAlignment = AValue;
  Invalidate();
}

void TKXCustomLabel::SetAutoSize(bool AValue) {
  TKXCustomControl::SetAutoSize(AValue);
  SetRenderSize(!AValue);
}

std::string TKXCustomLabel::ContentText() const {
  if (FCaption.empty()) return "<span></span>";
  std::string Text = FRawText ? FCaption : TextToHTML(FCaption, true, FConvertSpaces);
  return FNoWrap ? "<nobr>" + Text + "</nobr>" : Text;
}

TKXHTMLTag* TKXCustomLabel::RenderHTML(TKXComponent40Context&) {
  auto* Tag = new TKXHTMLTag(FForControl ? "LABEL" : "SPAN");
  if (FForControl) Tag->AddStringParam("for", FForControl->HTMLName());
  Tag->Contents().AddText(ContentText());
  std::string Style;
  if (FCss.empty()) Style = KXAlignmentStyle(FAlignment);
  if (FColor != clNone) Style += "background-color:" + ColorToHTMLColor(FColor) + ";";
  if (!Style.empty()) Tag->Add("style=" + Style);
  return Tag;
}

std::string TKXCustomLabel::RenderStyle(TKXComponent40Context* AContext) {
  if (FRenderSize != FAutoSize) return TKXCustomControl::RenderStyle(AContext);
  // Rendered as an auto-sized label: the base then writes no width and height.
  const bool SavedRenderSize = FRenderSize, SavedOption = FStyleRenderOptions.RenderSize, SavedAutoSize = FAutoSize;
  FRenderSize = false;
  FAutoSize = true;
  std::string Result = TKXCustomControl::RenderStyle(AContext);
  FRenderSize = SavedRenderSize;
  FStyleRenderOptions.RenderSize = SavedOption;
  FAutoSize = SavedAutoSize;
  return Result;
}

TKXXMLTag* TKXCustomLabel::RenderAsyncContent(TKXComponent40Context& AContext) {
  TKXXMLTag* Tag = NewAsyncTag("KXLABEL");
  Tag->Contents().AddTag("innerHTML")->Contents().AddText(ContentText());
  // Unlike the page, an update always carries the alignment: it may replace a class's.
  std::string Style = KXAlignmentStyle(FAlignment);
  if (FColor != clNone) Style += "background-color:" + ColorToHTMLColor(FColor) + ";";
  AddAsyncStyle(*Tag, Style);
  RenderAsyncCommonProperties(AContext, *Tag, kKXAllAsyncCommonProps);
  return Tag;
}
