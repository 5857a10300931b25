#pragma once
// The border frame of regions and framed controls: a DIV whose style carries the border, the
// scrolling and the background, with the framed tag (if any) as its child.
#include <functional>
#include <string>

#include "core/KXBrowser.h"
#include "render/KXColor.h"
#include "core/KXComponent.h"
#include "render/KXHTMLTag.h"

class TKXComponent;

enum TKXContainerBorderStyle { cbsNone, cbsHidden, cbsDotted, cbsDashed, cbsSolid, cbsDouble, cbsGroove, cbsRidge, cbsInset, cbsOutset };
enum TKXContainerBorderWidth { cbwThin, cbwMedium, cbwThick, cbwNumeric };

class TKXContainerBorderOptions : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  TKXContainerBorderOptions() = default;
  TKXContainerBorderOptions(int ANumericWidth, TKXContainerBorderWidth ABorderWidth, TKXContainerBorderStyle AStyle,
                            TKXColor AColor);
  void Assign(const TKXPersistent& ASource) override;

  TKXContainerBorderStyle Style() const { return FStyle; }
  void SetStyle(TKXContainerBorderStyle AValue);
  TKXColor Color() const { return FColor; }
  void SetColor(TKXColor AValue);
  TKXContainerBorderWidth BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(TKXContainerBorderWidth AValue);
  int NumericWidth() const { return FNumericWidth; }
  void SetNumericWidth(int AValue);
  // The border's width in pixels: none for cbsNone and cbsHidden.
  int PixelWidth() const;

  // Prepared by the framed control for each render.
  TKXColor BGColor = clNone;
  bool HorizScrollBar = true;
  bool VertScrollBar = true;
  TKXComponent* Control = nullptr;
  std::function<void(TKXContainerBorderOptions*)> OnChange;

  // The frame DIV around AContent (none: an empty frame) for AControl; the caller owns it.
  TKXHTMLTag* CreateFrame(TKXHTMLTag* AContent, TKXBrowser ABrowser, TKXComponent* AControl) const;
  // The frame of a control with UseFrame: an inset numeric border of two pixels, both scroll bars.
  static TKXHTMLTag* CreateDefaultFrame(TKXHTMLTag* AContent, TKXBrowser ABrowser, TKXComponent* AControl);

private:
  void Changed();

  TKXContainerBorderStyle FStyle = cbsSolid;
  TKXColor FColor = clBlack;
  TKXContainerBorderWidth FBorderWidth = cbwNumeric;
  int FNumericWidth = 1;
};

// A frame DIV that remembers the tag it frames.
class TKXFrameHTMLTag : public TKXHTMLTag {
public:
  explicit TKXFrameHTMLTag(std::string_view ATag) : TKXHTMLTag(ATag) {}
  TKXHTMLTag* EmbededTag = nullptr;   // not owned: a child of this tag or none
};

const TKXEnumInfo& KXContainerBorderStyleInfo();
const TKXEnumInfo& KXContainerBorderWidthInfo();
