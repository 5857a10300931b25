#include "render/KXFont.h"

#include "SkStrUtils.h"

namespace {

// CSS values in TKXCursor order. crHandPoint has no CSS equivalent; "pointer" is what a hand
// cursor looks like in every browser, so it is written as that.
const char* const kCursorCSS[] = {"",          "crosshair;", "default;",   "pointer;",   "move;",     "e-resize;",
                                  "ne-resize;", "nw-resize;", "n-resize;",  "se-resize;", "sw-resize;", "s-resize;",
                                  "w-resize;",  "text;",      "wait;",      "pointer;",   "help;"};

std::string Decoration(TKXFontStyles AStyle) {
  std::string D = "text-decoration:";
  if (AStyle.Contains(fsUnderline)) D += " underline";
  if (AStyle.Contains(fsStrikeOut)) D += " line-through";
  if (!AStyle.Contains(fsUnderline) && !AStyle.Contains(fsStrikeOut)) D += " none";
  return D + ";";
}

std::string Weight(TKXFontStyles S) { return S.Contains(fsBold) ? "font-weight:bold;" : "font-weight:normal;"; }
std::string Slant(TKXFontStyles S) { return S.Contains(fsItalic) ? "font-style:italic;" : "font-style:normal;"; }
int Pixels(int APoints) { return APoints * 96 / 72; }

}  // namespace

const TKXEnumInfo& KXFontStyleInfo() {
  static const TKXEnumInfo Info{"TKXFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};
  return Info;
}

const TKXEnumInfo& KXCursorInfo() {
  static const TKXEnumInfo Info{
      "TKXCursor",
      {"crAuto", "crCrossHair", "crDefault", "crPointer", "crMove", "crEResize", "crNEResize", "crNWResize", "crNResize",
       "crSEResize", "crSWResize", "crSResize", "crWResize", "crText", "crWait", "crHandPoint", "crHelp"}};
  return Info;
}

std::string KXCursorStyle(TKXCursor ACursor) {
  if (ACursor == crAuto || ACursor < 0 || ACursor > crHelp) return {};
  return std::string("cursor :") + kCursorCSS[ACursor];
}

const TKXClassInfo& TKXFont::StaticClassInfo() {
  using T = TKXFont;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXFont").Props({
      KXColorProp("Color", &T::Color, &T::SetColor),
      KXBoolProp("Enabled", &T::Enabled, &T::SetEnabled),
      KXStringProp("FontName", &T::FontName, &T::SetFontName),
      KXStringProp("FontFamily", &T::FontFamily, &T::SetFontFamily),
      KXStringProp("FontVariant", &T::FontVariant, &T::SetFontVariant),
      KXIntProp("Size", &T::Size, &T::SetSize),
      KXSetProp("Style", &T::Style, &T::SetStyle, KXFontStyleInfo()),
  });
  return Info;
}

void TKXFont::Changed() {
  if (OnChange) OnChange(this);
}

void TKXFont::SetColor(TKXColor AValue) {
  if (FColor == AValue) return;
  FColor = AValue;
  Changed();
}

void TKXFont::SetFontName(const std::string& AValue) {
  if (FFontName == AValue) return;
  FFontName = AValue;
  Changed();
}

void TKXFont::SetSize(int AValue) {
  if (FSize == AValue) return;
  FSize = AValue;
  Changed();
}

void TKXFont::SetStyle(TKXFontStyles AValue) {
  if (FStyle == AValue) return;
  FStyle = AValue;
  Changed();
}

void TKXFont::Assign(const TKXPersistent& ASource) {
  const auto* F = dynamic_cast<const TKXFont*>(&ASource);
  if (!F) return TKXPersistent::Assign(ASource);
  FColor = F->FColor;
  FEnabled = F->FEnabled;
  FFontName = F->FFontName;
  FFontFamily = F->FFontFamily;
  FFontVariant = F->FFontVariant;
  FSize = F->FSize;
  FStyle = F->FStyle;
  Changed();
}

bool TKXFont::CachedStyleFits(TKXBrowser ABrowser) const {
  const TStyleKey& K = FCachedKey;
  return FCached && K.Browser == ABrowser && K.Color == FColor && K.Enabled == FEnabled && K.Size == FSize &&
         K.Style == FStyle && K.FontName == FFontName && K.FontFamily == FFontFamily && K.FontVariant == FFontVariant;
}

std::string TKXFont::FontToStringStyle(TKXBrowser ABrowser, const TKXFont* ABase) const {
  if (ABase) return MakeStringStyle(ABrowser, ABase);
  return StringStyle(ABrowser);
}

const std::string& TKXFont::StringStyle(TKXBrowser ABrowser) const {
  if (!CachedStyleFits(ABrowser)) {
    FCachedStyle = MakeStringStyle(ABrowser, nullptr);
    FCachedKey = {ABrowser, FColor, FEnabled, FFontName, FFontFamily, FFontVariant, FSize, FStyle};
    FCached = true;
  }
  return FCachedStyle;
}

std::string TKXFont::MakeStringStyle(TKXBrowser ABrowser, const TKXFont* ABase) const {
  if (!FEnabled) return {};
  std::string S;
  const std::string Px = std::to_string(Pixels(FSize));
  auto FamilyAndVariant = [&] {
    if (!FFontFamily.empty()) S += "font-family:" + FFontFamily + ";";
    if (!FFontVariant.empty()) S += "font-variant:" + FFontVariant + ";";
  };
  if (ABrowser == brIE) {
    const bool Differs = !ABase || !SameText(FFontName, ABase->FFontName) || FSize != ABase->FSize || !(FStyle == ABase->FStyle);
    if (Differs) {
      if (!FFontName.empty()) S += "font-family:" + FFontName + ";";
      S += Weight(FStyle) + Slant(FStyle) + Decoration(FStyle) + "font-size:" + Px + "px; ";
      FamilyAndVariant();
    }
  } else if (!ABase) {
    S += Slant(FStyle) + Weight(FStyle) + "font-size:" + Px + "px;";
    if (!FFontName.empty()) S += "font-family:'" + FFontName + "';";
    S += Decoration(FStyle);
    FamilyAndVariant();
  } else {
    const bool StyleDiffers = !(FStyle == ABase->FStyle);
    if (StyleDiffers) S += Slant(FStyle) + Weight(FStyle);
    if (FSize != ABase->FSize) S += "font-size:" + Px + "px;";
    if (!FFontName.empty() && !SameText(FFontName, ABase->FFontName)) S += "font-family:'" + FFontName + "';";
    if (StyleDiffers) S += Decoration(FStyle);
    FamilyAndVariant();
  }
  if ((!ABase || FColor != ABase->FColor) && FColor != clNone && FColor != clWindowText)
    S += "color:" + ColorToHTMLColor(FColor) + ";";
  return S;
}

const TKXClassInfo& TKXStyleRenderOptions::StaticClassInfo() {
  using T = TKXStyleRenderOptions;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXStyleRenderOptions").Props({
      KXBoolProp("RenderSize", &T::RenderSize, &T::RenderSize),
      KXBoolProp("RenderPosition", &T::RenderPosition, &T::RenderPosition),
      KXBoolProp("RenderFont", &T::RenderFont, &T::RenderFont),
      KXBoolProp("RenderZIndex", &T::RenderZIndex, &T::RenderZIndex),
      KXBoolProp("RenderVisibility", &T::RenderVisibility, &T::RenderVisibility),
      KXBoolProp("RenderStatus", &T::RenderStatus, &T::RenderStatus),
      KXBoolProp("RenderAbsolute", &T::RenderAbsolute, &T::RenderAbsolute),
  });
  return Info;
}

void TKXStyleRenderOptions::Assign(const TKXPersistent& ASource) {
  const auto* O = dynamic_cast<const TKXStyleRenderOptions*>(&ASource);
  if (!O) return TKXPersistent::Assign(ASource);
  RenderSize = O->RenderSize;
  RenderPosition = O->RenderPosition;
  RenderFont = O->RenderFont;
  RenderZIndex = O->RenderZIndex;
  RenderVisibility = O->RenderVisibility;
  RenderStatus = O->RenderStatus;
  RenderAbsolute = O->RenderAbsolute;
}
