#pragma once
// The form classes' common base: identity on the page, the session it belongs to, showing,
// hiding and releasing within that session, and creation from the stored description.
#include <functional>
#include <string>
#include <vector>

#include "core/KXBrowser.h"
#include "render/KXColor.h"
#include "controls/KXContainer.h"
#include "session/KXSessionForm.h"
#include "SkStringList.h"

class IKXServerController;
class TKXApplication;
class TKXRenderStream;

enum TKXFormOutput { foUnknown, foHTML32, foHTML40, foWML, foXHTMLMP };
enum TKXConnectionMode { cmAny, cmSecure, cmNonSecure };

const TKXEnumInfo& KXConnectionModeInfo();
const TKXEnumInfo& KXBrowserEnumInfo();

class TKXBaseForm : public TKXContainer, public IKXSessionForm, public IKXForm {
public:
  explicit TKXBaseForm(TKXComponent* AOwner);
  // Leaves its session's shown and released forms first.
  ~TKXBaseForm() override;
  KX_DECLARE_CLASS_INFO

  // Outside design mode and for any class but this one: the stored description, then OnCreate.
  void AfterConstruction() override;

  TKXConnectionMode ConnectionMode() const { return FConnectionMode; }
  void SetConnectionMode(TKXConnectionMode AValue) { FConnectionMode = AValue; }
  TSkStringList& ExtraHeader() { return FExtraHeader; }
  TSkStringList& ContentFiles() { return FContentFiles; }
  TSkStringList& HiddenFields() { return FHiddenFields; }
  TSkStringList& Params() { return FParams; }
  bool Released() const { return FReleased; }
  const TKXBrowsers& SupportedBrowsers() const { return FSupportedBrowsers; }
  void SetSupportedBrowsers(const TKXBrowsers& AValue) { FSupportedBrowsers = AValue; }
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& AValue) { FTitle = AValue; }
  // The session: taken from the thread's current session on first use and kept.
  TKXApplication* WebApplication();
  // The session's controller; none outside a session (design mode, a form made in code).
  const IKXServerController* Controller();
  TKXFormType FormType() const override { return FFormType; }
  TKXFormOutput FormOutput() const { return FFormOutput; }
  bool ReleaseCalled() const { return FReleaseCalled; }
  const std::string& FormAction() const { return FFormAction; }
  void SetFormAction(const std::string& AValue) { FFormAction = AValue; }
  bool AllowPageAccess() const { return FAllowPageAccess; }
  void SetAllowPageAccess(bool AValue) { FAllowPageAccess = AValue; }

  std::function<void(TKXComponent* Sender)> OnAfterRender, OnCreate, OnDestroy;

  // Within the session: Show makes the form active, Hide takes it out of the shown forms,
  // Release queues it for freeing at the end of the request.
  void Show();
  void Hide();
  void Release();

  virtual void GenerateForm(TKXRenderStream& AStream);
  virtual void ExecuteForm() {}
  // The class used for messages (none here).
  virtual const TKXClassInfo* MessageForm() const { return nullptr; }
  // A control's place in the page's tab list (-1 when absent) and the first visible file control.
  int RealTabIndexOf(TKXComponent*) const override { return -1; }
  std::string FirstVisibleFileControl() override { return {}; }
  TKXColor FormBGColor() const override { return clNone; }
  bool HasDefaultAction() const override { return false; }
  void DoDefaultAction(TKXComponent*) override {}

  // IKXBaseContainer, the parts every form shares.
  bool AcceptsHiddenComponent(TKXComponent* AComponent) override;

  // IKXSessionForm: a form of this class makes no page of its own; the page forms refine it.
  TKXBaseForm* FormObject() override { return this; }
  bool IsHTML40Form() const override { return false; }
  bool IsHTML32Form() const override { return FFormOutput == foHTML32; }
  bool BrowserSecurityCheck() const override { return true; }
  bool PartialUpdateMode() const override { return false; }
  void ResizeTo(int, int) override {}
  void AddToInitProc(const std::string&) override {}
  void AddNewWindowCode(const std::string&, bool) override {}
  void Free() override { delete this; }

protected:
  // Marks the form an application form; a release asked for while it was being made happens now.
  void BecomeApplicationForm(TKXFormOutput AOutput);
  void DoCreate();
  void DoAfterRender();

  TKXConnectionMode FConnectionMode = cmAny;
  TSkStringList FExtraHeader, FContentFiles, FHiddenFields, FParams;
  bool FReleased = false;
  TKXBrowsers FSupportedBrowsers;
  std::string FTitle;
  TKXApplication* FWebApplication = nullptr;
  TKXFormType FFormType = ftUnknown;
  TKXFormOutput FFormOutput = foUnknown;
  bool FReleaseCalled = false;
  std::string FFormAction;
  bool FAllowPageAccess = true;
};

class TKXBaseHTMLForm : public TKXBaseForm {
public:
  explicit TKXBaseHTMLForm(TKXComponent* AOwner) : TKXBaseForm(AOwner) {}
  KX_DECLARE_CLASS_INFO

  TKXColor BGColor() const { return FBGColor; }
  TKXColor FormBGColor() const override { return FBGColor; }
  void SetBGColor(TKXColor AValue) { FBGColor = AValue; }
  TKXColor LinkColor() const { return FLinkColor; }
  void SetLinkColor(TKXColor AValue) { FLinkColor = AValue; }
  TKXColor TextColor() const { return FTextColor; }
  void SetTextColor(TKXColor AValue) { FTextColor = AValue; }
  TKXColor VLinkColor() const { return FVLinkColor; }
  void SetVLinkColor(TKXColor AValue) { FVLinkColor = AValue; }

protected:
  TKXColor FBGColor = clNone, FLinkColor = clNone, FTextColor = clNone, FVLinkColor = clNone;
};
