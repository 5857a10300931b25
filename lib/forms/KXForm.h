#pragma once
// The HTML 4.0 form: page-level settings, the page context of the render in progress, and
// GenerateForm, which writes the whole page (or a partial update, or its part of an
// asynchronous answer).
#include <memory>
#include <string>
#include <vector>

#include "forms/KXBaseForm.h"
#include "render/KXRenderRequest.h"
#include "core/KXFileReference.h"
#include "core/KXGlobal.h"

class TKXContainerLayout;
class TKXCustomControl;
class TKXPageContext40;
class TKXXMLTag;

// A page background: a file reference that may stay fixed while the page scrolls.
class TKXBackground : public TKXFileReference {
public:
  KX_DECLARE_CLASS_INFO
  bool Fixed() const { return FFixed; }
  void SetFixed(bool AValue) { FFixed = AValue; }

private:
  bool FFixed = false;
};

// The form's part of the answer to an asynchronous callback, for the callback processing to
// send: update elements in order (the form's own first) and the script to execute.
struct TKXAsyncFormAnswer {
  std::vector<std::string> Updates;
  std::string Execute;
};

class TKXForm : public TKXBaseHTMLForm, public IKXHTML40Form {
public:
  explicit TKXForm(TKXComponent* AOwner);
  ~TKXForm() override;
  KX_DECLARE_CLASS_INFO

  void Loaded() override;
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  bool LeftToRight() const { return FLeftToRight; }
  void SetLeftToRight(bool AValue) { FLeftToRight = AValue; }
  TKXFormUpdateMode UpdateMode() const override { return FUpdateMode; }
  void SetUpdateMode(TKXFormUpdateMode AValue) { FUpdateMode = AValue; }
  bool BrowserSecurityCheck() const override { return FBrowserSecurityCheck; }
  void SetBrowserSecurityCheck(bool AValue) { FBrowserSecurityCheck = AValue; }
  TKXComponent* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TKXComponent* AControl) override;
  void SetActiveControlRef(TKXCustomControl* AControl);
  TKXCustomControl* ActiveControlRef() const;
  TSkStringList& JavaScript() { return FJavaScript; }
  std::string& JavaScriptOnce() { return FJavaScriptOnce; }
  TKXBackground& Background() { return FBackground; }
  bool HandleTabs() const { return FHandleTabs; }
  void SetHandleTabs(bool AValue) { FHandleTabs = AValue; }
  bool LockUntilLoaded() const { return FLockUntilLoaded; }
  void SetLockUntilLoaded(bool AValue) { FLockUntilLoaded = AValue; }
  bool LockOnSubmit() const { return FLockOnSubmit; }
  void SetLockOnSubmit(bool AValue) { FLockOnSubmit = AValue; }
  TKXFileReference& StyleSheet() { return FStyleSheet; }
  // Refused while a partial update is being rendered.
  void SetStyleSheet(const TKXFileReference& AValue);
  const std::string& Theme() const { return FTheme; }
  void SetTheme(const std::string& AValue) { FTheme = AValue; }
  bool XPTheme() const { return FXPTheme; }
  void SetXPTheme(bool AValue) { FXPTheme = AValue; }
  const std::vector<TKXComponent*>& RealTabOrderList() const { return FRealTabOrderList; }
  TKXComponent* ProgressIndicator() const { return FProgressIndicator; }
  void SetProgressIndicator(TKXComponent* AValue);
  bool DoResizePrediction() const { return FDoResizePrediction; }
  void SetDoResizePrediction(bool AValue) { FDoResizePrediction = AValue; }
  TKXPageContext40* PageContext() const { return FPageContext.get(); }
  TKXContainerLayout* LayoutMgr() const override { return FLayoutMgr; }
  // Detaches the old manager, attaches the new one and watches it for its freeing.
  void SetLayoutMgr(TKXContainerLayout* AValue);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool AValue) { FShowHint = AValue; }
  bool ServerOnResizeValue() const { return false; }
  void SetServerOnResize(bool) {}

  std::function<void(TKXComponent* Sender)> OnDefaultAction, OnResize;

  void AddToInitProc(const std::string& ACode) override { FInitProc += ACode; }
  const std::string& InitProc() const { return FInitProc; }
  // Raises OnDefaultAction with ASender (the form itself when none is given).
  void DoDefaultAction(TKXComponent* ASender = nullptr) override;
  bool HasDefaultAction() const override { return static_cast<bool>(OnDefaultAction); }
  void GenerateForm(TKXRenderStream& AStream) override;
  // Applies the posted parameters in Params: values into the controls, then the raised event.
  void ExecuteForm() override;
  TKXXMLTag* RenderAsync(TKXComponent40Context* AContext);
  // Filled by GenerateForm while the session answers a callback.
  const TKXAsyncFormAnswer& AsyncAnswer() const { return FAsyncAnswer; }
  // The partial-update submit frame: with AStream the submit document is the response, else it
  // goes into a new cache file that an IFRAME of the page loads. Returns the file's name.
  std::string AddSubmitIFrame(TKXRenderStream* AStream);
  // Encodes a hidden-field value.
  static std::string TextToHTMLStringLiteral(const std::string& AText);
  std::string ResizeScript(const TKXRenderRequest& ARequest) override;
  // What a render of this form for its session's current request needs (defaults without one).
  TKXRenderRequest RenderRequest();
  int RealTabIndexOf(TKXComponent* AControl) const override;
  std::string FirstVisibleFileControl() override;

  // IKXSessionForm
  bool IsHTML40Form() const override { return FFormOutput == foHTML40; }
  bool PartialUpdateMode() const override { return FUpdateMode == umPartial; }
  void ResizeTo(int AWidth, int AHeight) override { SetBounds(FLeft, FTop, AWidth, AHeight); }
  // The page context exists only while a page is rendered; code asked for by an event handler
  // waits in the form's init code for the next render.
  void AddNewWindowCode(const std::string& ACode, bool AUpdate) override;

  // IKXBaseContainer
  TKXContainerContext* MakeContainerContext(TKXApplication* AWebApplication) override;
  void RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) override;
  void SetContainerContext(TKXContainerContext* AContext) override;
  bool AcceptsHiddenComponent(TKXComponent* AComponent) override;

protected:
  void ApplyPostedValues();
  // The submit control an action names: the container context's lookup, then the name search.
  TKXComponent* FindSubmitComponent(const std::string& AHTMLName);
  void BuildRealTabOrderList();
  std::string FileSubmissionScript();
  void RenderPartialUpdate(TKXRenderStream& AStream);
  TKXPageContext40& PageContextForRender();
  void RenderCallBack();
  void ContainerHook(TKXComponent40Context& AContext);

  bool FLeftToRight = true;
  TKXFormUpdateMode FUpdateMode = umAll;
  bool FBrowserSecurityCheck = true;
  TKXComponent* FActiveControl = nullptr;
  std::string FInitProc;
  TSkStringList FJavaScript;
  std::string FJavaScriptOnce;
  TKXBackground FBackground;
  bool FHandleTabs = false;
  bool FLockUntilLoaded = true, FLockOnSubmit = true;
  TKXFileReference FStyleSheet;
  std::string FTheme;
  bool FXPTheme = true;
  std::vector<TKXComponent*> FRealTabOrderList;
  size_t FLastPageSize = 0;   // bytes of the last page written, the room made for the next one
  TKXComponent* FProgressIndicator = nullptr;
  bool FActiveControlChanged = false;
  bool FDoResizePrediction = true;
  std::unique_ptr<TKXPageContext40> FPageContext;
  TKXContainerLayout* FLayoutMgr = nullptr;
  bool FShowHint = true;
  TKXAsyncFormAnswer FAsyncAnswer;
};
