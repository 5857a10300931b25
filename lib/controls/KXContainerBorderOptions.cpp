#include "controls/KXContainerBorderOptions.h"

#include "core/KXClasses.h"
#include "controls/KXCustomControl.h"
#include "core/KXException.h"
#include "render/KXInterfaces.h"

namespace {

const char* const kStyleText[] = {"none;", "hidden;", "dotted;", "dashed;", "solid;",
                                  "double;", "groove;", "ridge;", "inset;", "outset;"};
constexpr int kFrameBorderWidth = 2;   // the default frame of controls with UseFrame

}  // namespace

const TKXEnumInfo& KXContainerBorderStyleInfo() {
  static const TKXEnumInfo Info{"TKXContainerBorderStyle",
                                {"cbsNone", "cbsHidden", "cbsDotted", "cbsDashed", "cbsSolid", "cbsDouble", "cbsGroove",
                                 "cbsRidge", "cbsInset", "cbsOutset"}};
  return Info;
}

const TKXEnumInfo& KXContainerBorderWidthInfo() {
  static const TKXEnumInfo Info{"TKXContainerBorderWidth", {"cbwThin", "cbwMedium", "cbwThick", "cbwNumeric"}};
  return Info;
}

const TKXClassInfo& TKXContainerBorderOptions::StaticClassInfo() {
  using T = TKXContainerBorderOptions;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXContainerBorderOptions").Props({
      KXEnumProp("Style", &T::Style, &T::SetStyle, KXContainerBorderStyleInfo()),
      KXColorProp("Color", &T::Color, &T::SetColor),
      KXEnumProp("BorderWidth", &T::BorderWidth, &T::SetBorderWidth, KXContainerBorderWidthInfo()),
      KXIntProp("NumericWidth", &T::NumericWidth, &T::SetNumericWidth),
  });
  return Info;
}

TKXContainerBorderOptions::TKXContainerBorderOptions(int ANumericWidth, TKXContainerBorderWidth ABorderWidth,
                                                     TKXContainerBorderStyle AStyle, TKXColor AColor)
    : FStyle(AStyle), FColor(AColor), FBorderWidth(ABorderWidth), FNumericWidth(ANumericWidth) {}

void TKXContainerBorderOptions::Assign(const TKXPersistent& ASource) {
  const auto* Source = dynamic_cast<const TKXContainerBorderOptions*>(&ASource);
  if (!Source) return TKXPersistent::Assign(ASource);
  FStyle = Source->FStyle;
  FColor = Source->FColor;
  FBorderWidth = Source->FBorderWidth;
  FNumericWidth = Source->FNumericWidth;
  BGColor = Source->BGColor;
  HorizScrollBar = Source->HorizScrollBar;
  VertScrollBar = Source->VertScrollBar;
  Changed();
}

void TKXContainerBorderOptions::Changed() {
  if (OnChange) OnChange(this);
}

void TKXContainerBorderOptions::SetStyle(TKXContainerBorderStyle AValue) {
  if (AValue == FStyle) return;
  FStyle = AValue;
  Changed();
}

void TKXContainerBorderOptions::SetColor(TKXColor AValue) {
  if (AValue == FColor) return;
  FColor = AValue;
  Changed();
}

void TKXContainerBorderOptions::SetBorderWidth(TKXContainerBorderWidth AValue) {
  if (AValue == FBorderWidth) return;
  FBorderWidth = AValue;
  Changed();
}

void TKXContainerBorderOptions::SetNumericWidth(int AValue) {
  if (AValue == FNumericWidth) return;
  FNumericWidth = AValue;
  Changed();
}

int TKXContainerBorderOptions::PixelWidth() const {
  if (FStyle == cbsNone || FStyle == cbsHidden) return 0;
  switch (FBorderWidth) {
    case cbwThin: return 1;
    case cbwMedium: return 3;
    case cbwThick: return 5;
    case cbwNumeric: return FNumericWidth;
  }
  return 0;
}

TKXHTMLTag* TKXContainerBorderOptions::CreateFrame(TKXHTMLTag* AContent, TKXBrowser ABrowser,
                                                   TKXComponent* AControl) const {
  auto* Control = dynamic_cast<IKXHTML40Control*>(AControl);
  // The position and size move to the frame; the framed tag keeps only its font.
  if (AContent && !AContent->Tag().empty())
    if (auto* Custom = dynamic_cast<TKXCustomControl*>(AControl))
      AContent->AddStringParam("STYLE", Custom->Font().FontToStringStyle(ABrowser));
  std::string Style;
  if (FColor != clNone) Style += "border-color:" + ColorToHTMLColor(FColor) + ";";
  Style += std::string("border-style:") + kStyleText[FStyle];
  switch (FBorderWidth) {
    case cbwThin: Style += "border-width:thin;"; break;
    case cbwMedium: Style += "border-width:medium;"; break;
    case cbwThick: Style += "border-width:thick;"; break;
    case cbwNumeric: Style += "border-width:" + std::to_string(FNumericWidth) + ";"; break;
    default: throw EKXException("Unkown border width.");
  }
  if (!(Control && !Control->Clip())) {
    const bool Scrolls = HorizScrollBar || VertScrollBar;
    if (ABrowser == brGecko || ABrowser == brOpera || ABrowser == brSafari || ABrowser == brNetscape6)
      Style += Scrolls ? "overflow:auto;" : "overflow:hidden;";
    else
      Style += std::string(HorizScrollBar ? "overflow-x:auto;" : "overflow-x:hidden;") +
               (VertScrollBar ? "overflow-y:auto;" : "overflow-y:hidden;");
  }
  if (BGColor != clNone) Style += "background-color:" + ColorToHTMLColor(BGColor) + ";";
  Style += "padding:0;";
  if (Control && Control->Clip()) {
    const int F = (ABrowser == brIE || ABrowser == brOpera) ? 0 : 2 * PixelWidth();
    Style += "clip:rect(0px," + std::to_string(Control->GetHTMLWidth(ABrowser) + F) + "px," +
             std::to_string(Control->GetHTMLHeight(ABrowser) + F) + "px," + "0px);";
  }
  auto* Frame = new TKXFrameHTMLTag("DIV");
  Frame->EmbededTag = AContent;
  Frame->AddStringParam("STYLE", Style);
  if (AContent) Frame->Contents().AddTagAsObject(AContent);
  return Frame;
}

TKXHTMLTag* TKXContainerBorderOptions::CreateDefaultFrame(TKXHTMLTag* AContent, TKXBrowser ABrowser,
                                                          TKXComponent* AControl) {
  TKXContainerBorderOptions Options(kFrameBorderWidth, cbwNumeric, cbsInset, clNone);
  auto* Control = dynamic_cast<IKXHTML40Control*>(AControl);
  if (!Control) return Options.CreateFrame(AContent, ABrowser, AControl);
  // The frame clips exactly when the control is framed; the control's own switch comes back.
  const bool Clip = Control->Clip();
  Control->SetClip(Control->UseFrame());
  try {
    TKXHTMLTag* Frame = Options.CreateFrame(AContent, ABrowser, AControl);
    Control->SetClip(Clip);
    return Frame;
  } catch (...) {
    Control->SetClip(Clip);
    throw;
  }
}
