#pragma once
// The push button: submits the page and fires its server-side click.
#include <string>

#include "controls/KXCustomControl.h"

enum TKXButtonType { btSubmit, btButton, btReset };
const TKXEnumInfo& KXButtonTypeInfo();

class TKXCustomButton : public TKXCustomControl, public IKXSubmitControl {
public:
  explicit TKXCustomButton(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& AValue);
  TKXButtonType ButtonType() const { return FButtonType; }
  void SetButtonType(TKXButtonType AValue) { FButtonType = AValue; }
  // An access key; a non-empty one renders a BUTTON element with the key underlined.
  const std::string& HotKey() const { return FHotKey; }
  void SetHotKey(const std::string& AValue) { FHotKey = AValue; }

  bool SupportsSubmit() override { return true; }
  // Stores the parameter, then fires OnClick.
  void DoSubmit(const std::string& AParam) override;
  std::string GetSubmitParam() const override { return FSubmitParam; }

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  void HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) override;
  TKXXMLTag* RenderAsyncContent(TKXComponent40Context& AContext) override;

  std::string FCaption, FHotKey;
  TKXButtonType FButtonType = btButton;
};

class TKXButton : public TKXCustomButton {
public:
  explicit TKXButton(TKXComponent* AOwner) : TKXCustomButton(AOwner) {}
  KX_DECLARE_CLASS_INFO
};
