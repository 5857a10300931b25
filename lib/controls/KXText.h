#pragma once
// The multi-line static text block.
#include <string>

#include "controls/KXCustomControl.h"
#include "SkStringList.h"

class TKXCustomText : public TKXCustomControl {
public:
  explicit TKXCustomText(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  // Text and Lines are one value: Text is the lines joined with CR LF.
  const TSkStringList& Lines() const { return FLines; }
  void SetLines(const TSkStringList& AValue);
  std::string Text() const;
  void SetText(const std::string& AValue);
  void Clear();
  TKXColor BGColor() const { return Color(); }
  void SetBGColor(TKXColor AValue) { SetColor(AValue); }
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool AValue) { FWantReturns = AValue; }
  bool ConvertSpaces() const { return FConvertSpaces; }
  void SetConvertSpaces(bool AValue) { FConvertSpaces = AValue; }
  bool RawText() const { return FRawText; }
  void SetRawText(bool AValue) { FRawText = AValue; }
  void SetUseFrame(bool AValue);

  bool HasTabOrder() const override { return false; }
  std::string RenderStyle(TKXComponent40Context* AContext) override;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  TKXXMLTag* RenderAsyncContent(TKXComponent40Context& AContext) override;
  // The block's content as markup.
  std::string ContentText() const;

  TSkStringList FLines;
  bool FWantReturns = true, FConvertSpaces = false, FRawText = false;
};

class TKXText : public TKXCustomText {
public:
  explicit TKXText(TKXComponent* AOwner) : TKXCustomText(AOwner) {}
  KX_DECLARE_CLASS_INFO
};
