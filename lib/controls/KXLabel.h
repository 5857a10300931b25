#pragma once
// The one-line label, and the text alignment it shares with the edit.
#include <string>

#include "controls/KXCustomControl.h"

enum TKXAlignment { taLeftJustify, taRightJustify, taCenter };
const TKXEnumInfo& KXAlignmentInfo();
// "text-align:left;", "text-align:right;" or "text-align:center;".
std::string KXAlignmentStyle(TKXAlignment AValue);

class TKXCustomLabel : public TKXCustomControl {
public:
  explicit TKXCustomLabel(TKXComponent* AOwner);
  ~TKXCustomLabel() override;
  KX_DECLARE_CLASS_INFO

  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& AValue);
  TKXAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TKXAlignment AValue);
  TKXColor BGColor() const { return Color(); }
  void SetBGColor(TKXColor AValue) { SetColor(AValue); }
  bool NoWrap() const { return FNoWrap; }
  void SetNoWrap(bool AValue) { FNoWrap = AValue; }
  bool ConvertSpaces() const { return FConvertSpaces; }
  void SetConvertSpaces(bool AValue) { FConvertSpaces = AValue; }
  bool RawText() const { return FRawText; }
  void SetRawText(bool AValue) { FRawText = AValue; }
  // Observed only: cleared when that control goes.
  TKXCustomControl* ForControl() const { return FForControl; }
  void SetForControl(TKXCustomControl* AValue);
  bool HasTabOrder() const override { return FHasTabOrder; }
  void SetHasTabOrder(bool AValue) { FHasTabOrder = AValue; }
  // A label writes its size only when asked to and not auto-sized.
  void SetAutoSize(bool AValue);

  std::string RenderStyle(TKXComponent40Context* AContext) override;

protected:
  friend class TKXCustomEdit;   // a non-editable edit renders through a temporary label
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  TKXXMLTag* RenderAsyncContent(TKXComponent40Context& AContext) override;
  // The label's content as markup.
  std::string ContentText() const;

  std::string FCaption;
  TKXAlignment FAlignment = taLeftJustify;
  bool FNoWrap = false, FConvertSpaces = false, FRawText = false, FHasTabOrder = false;
  TKXCustomControl* FForControl = nullptr;
};

class TKXLabel : public TKXCustomLabel {
public:
  explicit TKXLabel(TKXComponent* AOwner) : TKXCustomLabel(AOwner) {}
  KX_DECLARE_CLASS_INFO
};
