#pragma once
// Value objects of the control base: the font and the switches of a control's style string.
#include <functional>
#include <string>

#include "core/KXBrowser.h"
#include "render/KXColor.h"
#include "core/KXComponent.h"
#include "core/KXEnumSet.h"

enum TKXFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TKXFontStyles = TKXEnumSet<TKXFontStyle, fsStrikeOut + 1>;
const TKXEnumInfo& KXFontStyleInfo();

class TKXFont : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXFont() = default;

  TKXColor Color() const { return FColor; }
  void SetColor(TKXColor AValue);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  const std::string& FontName() const { return FFontName; }
  void SetFontName(const std::string& AValue);
  const std::string& FontFamily() const { return FFontFamily; }
  void SetFontFamily(const std::string& AValue) { FFontFamily = AValue; }
  const std::string& FontVariant() const { return FFontVariant; }
  void SetFontVariant(const std::string& AValue) { FFontVariant = AValue; }
  int Size() const { return FSize; }
  void SetSize(int AValue);
  TKXFontStyles Style() const { return FStyle; }
  void SetStyle(TKXFontStyles AValue);

  // Copies all seven values.
  void Assign(const TKXPersistent& ASource) override;

  // The CSS declarations of the font for a browser; with ABase only what differs from it.
  std::string FontToStringStyle(TKXBrowser ABrowser, const TKXFont* ABase = nullptr) const;
  // The style of the font alone, kept until the font or the browser changes.
  const std::string& StringStyle(TKXBrowser ABrowser) const;

  std::function<void(TKXFont*)> OnChange;

private:
  void Changed();

  // The values a style text depends on; the last full text is kept with the values it was
  // made from, since every control writes its font on every page and fonts rarely change.
  struct TStyleKey {
    TKXBrowser Browser = brIE;
    TKXColor Color = clNone;
    bool Enabled = true;
    std::string FontName, FontFamily, FontVariant;
    int Size = 0;
    TKXFontStyles Style;
  };
  bool CachedStyleFits(TKXBrowser ABrowser) const;
  std::string MakeStringStyle(TKXBrowser ABrowser, const TKXFont* ABase) const;

  TKXColor FColor = clNone;
  bool FEnabled = true;
  std::string FFontName, FFontFamily, FFontVariant;
  int FSize = 10;
  TKXFontStyles FStyle;
  mutable TStyleKey FCachedKey;
  mutable std::string FCachedStyle;
  mutable bool FCached = false;
};

class TKXStyleRenderOptions : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXStyleRenderOptions() = default;
  void Assign(const TKXPersistent& ASource) override;

  bool RenderSize = true;
  bool RenderPosition = true;
  bool RenderFont = true;
  bool RenderZIndex = true;
  bool RenderVisibility = true;
  bool RenderStatus = true;
  bool RenderAbsolute = true;
};

enum TKXCursor {
  crAuto, crCrossHair, crDefault, crPointer, crMove, crEResize, crNEResize, crNWResize, crNResize,
  crSEResize, crSWResize, crSResize, crWResize, crText, crWait, crHandPoint, crHelp
};
const TKXEnumInfo& KXCursorInfo();
// The style declaration of a cursor: empty for crAuto, else "cursor :" and the CSS value.
std::string KXCursorStyle(TKXCursor ACursor);
