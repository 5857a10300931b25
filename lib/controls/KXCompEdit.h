#pragma once
// The one-line edit: a text or password field whose value comes back with every submit.
#include <functional>
#include <string>

#include "controls/KXCustomControl.h"
#include "controls/KXLabel.h"

class TKXCustomEdit : public TKXCustomInputControl, public IKXSubmitControl {
public:
  explicit TKXCustomEdit(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  const std::string& Text() const { return FText; }
  void SetText(const std::string& AValue);
  TKXAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TKXAlignment AValue);
  TKXColor BGColor() const { return FBGColor; }
  void SetBGColor(TKXColor AValue);
  TKXColor FocusColor() const { return FFocusColor; }
  void SetFocusColor(TKXColor AValue);
  int MaxLength() const { return FMaxLength; }   // 0: no limit
  void SetMaxLength(int AValue);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue);
  bool Required() const { return FRequired; }
  void SetRequired(bool AValue);
  bool PasswordPrompt() const { return FTagType == "PASSWORD"; }
  void SetPasswordPrompt(bool AValue) { FTagType = AValue ? "PASSWORD" : "TEXT"; }

  // Return pressed in the field, or the field was the submit target.
  std::function<void(TKXComponent* Sender)> OnSubmit;

  // IKXInputControl: the browser already shows a posted value, so taking it needs no refresh.
  void RestoreValue(const std::string& AValue) override;
  bool TabIndexAllowed() const override { return FEditable || !FNonEditableAsLabel; }
  bool SupportsSubmit() override { return true; }
  // IKXSubmitControl: OnSubmit, else the owner application form's default action.
  void DoSubmit(const std::string& AParam) override;
  std::string GetSubmitParam() const override { return FSubmitParam; }
  std::string RenderStyle(TKXComponent40Context* AContext) override;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  void HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) override;
  TKXXMLTag* RenderAsyncContent(TKXComponent40Context& AContext) override;
  virtual void DoSubmitEvent();

  std::string FText;
  TKXAlignment FAlignment = taLeftJustify;
  TKXColor FBGColor = clNone, FFocusColor = clNone;
  int FMaxLength = 0;
  bool FReadOnly = false, FRequired = false;
  std::string FTagType = "TEXT";
};

class TKXEdit : public TKXCustomEdit {
public:
  explicit TKXEdit(TKXComponent* AOwner) : TKXCustomEdit(AOwner) {}
  KX_DECLARE_CLASS_INFO
  void Clear() { SetText(""); }
};
