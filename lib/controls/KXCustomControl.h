#pragma once
// The control base: naming on the page, style string and CSS class, client object and event
// wiring, asynchronous event hooks, tab order, and the value and submit operations that request
// processing calls. Concrete controls override RenderHTML (and RenderAsyncContent).
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/KXFont.h"
#include "render/KXInterfaces.h"
#include "render/KXScriptEvents.h"
#include "render/KXWinControl.h"
#include "SkStringList.h"

class TKXHTMLTag;
class TKXXMLTag;
class TKXBaseForm;

using TKXAsyncEvent = std::function<void(TKXComponent* Sender, TSkStringList& EventParams)>;
using TKXOnHTMLTag = std::function<void(TKXComponent* ASender, TKXHTMLTag* ATag)>;

enum TKXAsyncCommonProp { acpEnabled, acpCSS, acpVisible, acpLeft, acpTop, acpHeight, acpWidth, acpZIndex, acpHint, acpFont, acpAlignment };
using TKXAsyncCommonPropToRender = uint32_t;   // bit n = ordinal n
constexpr TKXAsyncCommonPropToRender kKXAllAsyncCommonProps = 2047;
// The declarations of a style as (script property name, value) pairs: "z-index:1" gives zIndex.
std::vector<std::pair<std::string, std::string>> StyleToAttributes(const std::string& AStyle);

class TKXCustomControl : public TKXWinControl,
                         public IKXBaseComponent,
                         public IKXHTML40Component,
                         public IKXHTML40Control,
                         public IKXBaseControl,
                         public IKXTabOrder {
public:
  explicit TKXCustomControl(TKXComponent* AOwner);
  ~TKXCustomControl() override;
  KX_DECLARE_CLASS_INFO

  void AfterConstruction() override;
  // A name with "_" is refused; FriendlyName follows a rename when it still showed the old name.
  void SetName(const std::string& AName) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool AValue) override;

  // Published values.
  const std::string& Css() const { return FCss; }
  void SetCss(const std::string& AValue) { FCss = AValue; }
  const std::string& SkinId() const { return FSkinId; }
  void SetSkinId(const std::string& AValue) { FSkinId = AValue; }
  TKXCursor Cursor() const { return FCursor; }
  void SetCursor(TKXCursor AValue) { FCursor = AValue; }
  bool KX50Hint() const { return FKX50Hint; }
  void SetKX50Hint(bool AValue) { FKX50Hint = AValue; }
  const std::string& StatusText() const { return FStatusText; }
  void SetStatusText(const std::string& AValue) { FStatusText = AValue; }
  int ZIndex() const override { return FZIndex; }
  void SetZIndex(int AValue) { FZIndex = AValue; }
  bool RenderSize() const { return FRenderSize; }
  void SetRenderSize(bool AValue);
  TKXStyleRenderOptions& StyleRenderOptions() override { return FStyleRenderOptions; }
  TKXScriptEvents& ScriptEvents() { return FScriptEvents; }
  const std::string& FriendlyName() const { return FFriendlyName; }
  void SetFriendlyName(const std::string& AValue) { FFriendlyName = AValue; }
  const std::string& Confirmation() const { return FConfirmation; }
  void SetConfirmation(const std::string& AValue) { FConfirmation = AValue; }
  bool DoSubmitValidation() const override { return FDoSubmitValidation; }
  void SetDoSubmitValidation(bool AValue) { FDoSubmitValidation = AValue; }
  bool UseFrame() const override { return FUseFrame; }
  void SetUseFrame(bool AValue) { FUseFrame = AValue; }
  bool Clip() const override { return FClip; }
  void SetClip(bool AValue) override { FClip = AValue; }
  bool CanReceiveFocus() const { return FCanReceiveFocus; }
  const std::string& SubmitParam() const { return FSubmitParam; }
  bool DontSubmitFiles() const { return FDontSubmitFiles; }
  void SetDontSubmitFiles(bool AValue) { FDontSubmitFiles = AValue; }
  bool SupportsPartial() const { return FSupportsPartial; }
  void SetSupportsPartial(bool AValue) { FSupportsPartial = AValue; }
  TKXFont& Font() { return *FFont; }
  TKXColor Color() const { return FColor; }
  void SetColor(TKXColor AValue);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& AValue) { FHint = AValue; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool AValue) { FShowHint = AValue; }
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool AValue) { FParentShowHint = AValue; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue) { FEnabled = AValue; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue) { FAutoSize = AValue; }
  int TabOrderValue() { return GetTabOrder(); }
  int StoredTabOrder() const { return FTabOrder; }
  TSkStringList& ExtraTagParams() override { return FExtraTagParams; }
  const TKXOnHTMLTag& OnHTMLTag() const { return FOnHTMLTag; }
  void SetOnHTMLTag(TKXOnHTMLTag AValue) { FOnHTMLTag = std::move(AValue); }
  bool NeedsFormTag() const override { return FNeedsFormTag; }
  bool Editable() const { return FEditable; }
  virtual void SetEditable(bool AValue);
  bool NonEditableAsLabel() const { return FNonEditableAsLabel; }
  void SetNonEditableAsLabel(bool AValue) { FNonEditableAsLabel = AValue; }
  TKXControlEncode ControlEncode() const { return FControlEncode; }
  void SetControlEncode(TKXControlEncode AValue) { FControlEncode = AValue; }
  bool SubmitOnAsyncEvent() const { return FSubmitOnAsyncEvent; }
  void SetSubmitOnAsyncEvent(bool AValue) { FSubmitOnAsyncEvent = AValue; }

  TKXAsyncEvent OnAsyncClick, OnAsyncDoubleClick, OnAsyncChange, OnAsyncEnter, OnAsyncExit, OnAsyncKeyDown,
      OnAsyncKeyUp, OnAsyncKeyPress, OnAsyncMouseDown, OnAsyncMouseMove, OnAsyncMouseOver, OnAsyncMouseOut,
      OnAsyncMouseUp, OnAsyncSelect, OnAsyncLoad, OnAsyncUnLoad;
  std::function<void(TKXComponent* Sender)> OnClick;

  // Names.
  std::string HTMLName() const override;
  // The container this control is laid out in (its parent when that is a container).
  IKXBaseContainer* ParentContainer() const { return ParentFaces().Container; }
  // The faces of the parent, asked again only when the parent changes.
  const TKXComponentFaces& ParentFaces() const;
  // This control's own faces, asked once (a control's class does not change once it is made).
  const TKXComponentFaces& OwnFaces() const;
  // The form above this control, through regions.
  IKXForm* OwnerForm() const;

  // IKXBaseComponent
  TKXComponent* ComponentObject() override { return this; }
  bool SupportsSubmit() override { return false; }
  bool SupportsInput() override;
  TKXHTMLTag* RenderHTMLTag(TKXComponent40Context& AContext) override;
  void RenderFinishedTag(TKXComponent40Context& AContext, TKXRenderStream& AStream) override;
  std::string RenderFinishedTagText(TKXComponent40Context& AContext);
  void DoHTMLTag(TKXHTMLTag* ATag) override;

  // IKXHTML40Component
  bool DoRefreshControl() const override { return FDoRefreshControl; }
  void SetDoRefreshControl(bool AValue) override { FDoRefreshControl = AValue; }
  std::string RenderCSSClass(TKXComponent40Context& AContext) override;
  std::string RenderStyle(TKXComponent40Context* AContext) override;
  void RenderScripts(TKXComponent40Context& AContext) override;
  TKXXMLTag* RenderAsyncComponent(TKXComponent40Context& AContext) override;

  // IKXHTML40Control
  int GetHTMLLeft(TKXBrowser ABrowser) override;
  int GetHTMLTop(TKXBrowser ABrowser) override;
  bool InHTMLContainer() const override { return ParentFaces().Html40Container != nullptr; }
  int GetHTMLWidth(TKXBrowser ABrowser) override;
  int GetHTMLHeight(TKXBrowser ABrowser) override;

  // IKXBaseControl
  TKXWinControl* ParentControl() const override { return Parent(); }
  void Invalidate() override { FDoRefreshControl = true; }
  void RepaintControl() { FDoRefreshControl = true; }
  void SetControlBounds(int ALeft, int ATop, int AWidth, int AHeight) override { SetBounds(ALeft, ATop, AWidth, AHeight); }
  bool GetVisible() const override { return Visible(); }
  void SetControlVisible(bool AValue) override { SetVisible(AValue); }
  TKXFont& ControlFont() override { return *FFont; }

  // IKXTabOrder. Controls of a container are tab-ordered in that container's list.
  int GetTabOrder() override;
  void SetTabOrder(int AValue) override;
  bool HasTabOrder() const override { return true; }
  bool TabIndexAllowed() const override { return true; }

  // Value and submit operations (request processing; the interfaces are added by subclasses).
  virtual void ListInputNames(TSkStringList& AList);
  virtual bool OwnsInputName(const std::string& AName);
  virtual void AssignUploadedFile(THTTPFile*) {}
  virtual void DoSubmit(const std::string& AParam) { FSubmitParam = AParam; }
  virtual std::string GetSubmitParam() const { return FSubmitParam; }

  void SetFocus();
  virtual void DoClick();
  // Script hooked on OnClick by controls that submit the page.
  std::string SubmitClickScript(const TKXComponent40Context& AContext, const std::string& AParam, const std::string& AName,
                                bool AReturnFalse);

protected:
  // The control's own tag; the caller owns it. The base renders an empty DIV.
  virtual TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext);
  virtual TKXXMLTag* RenderAsyncContent(TKXComponent40Context&) { return nullptr; }
  // Building blocks of an asynchronous update element: a child per property, named in lower
  // case, holding the encoded value; AddAsyncStyle splits a style into attribute elements.
  void RenderAsyncPropertyAsString(const std::string& AName, TKXXMLTag& ATag, bool AIgnoreEmpty, const std::string& AValue);
  void RenderAsyncProperty(const std::string& AName, TKXXMLTag& ATag, bool AValue);
  void RenderAsyncProperty(const std::string& AName, TKXXMLTag& ATag, int AValue);
  void RenderAsyncPropertyAsColor(const std::string& AName, TKXXMLTag& ATag, TKXColor AValue);
  void RenderAsyncPropertyAsPixel(const std::string& AName, TKXXMLTag& ATag, int AValue);
  void AddAsyncStyle(TKXXMLTag& ATag, const std::string& AStyle);
  // Height and width only when the control renders its size.
  void RenderAsyncCommonProperties(TKXComponent40Context& AContext, TKXXMLTag& ATag, TKXAsyncCommonPropToRender AMask);
  // A new "control" element with the control's id and the kind of update.
  TKXXMLTag* NewAsyncTag(const std::string& AKind);
  // AEvents becomes AOwn with the hooks that report content changes to the page.
  static void HookContentChanges(const TKXScriptEvents& AOwn, TKXScriptEvents& AEvents);
  virtual void HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents);
  virtual void HookAsyncEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents);
  virtual void RenderTitle(TKXHTMLTag* ATag);
  virtual void ColorChanged() { FDoRefreshControl = true; }
  virtual void TextChanged() { FDoRefreshControl = true; }
  void ParentChanged(TKXWinControl* AOld) override;

  std::string FCss, FSkinId, FStatusText, FFriendlyName, FConfirmation, FSubmitParam, FHint;
  TKXCursor FCursor = crAuto;
  bool FKX50Hint = false;
  int FZIndex = 0;
  bool FRenderSize = false;
  TKXStyleRenderOptions FStyleRenderOptions;
  TKXScriptEvents FScriptEvents;
  std::unique_ptr<TKXRenderedEvents> FRenderedEvents;   // made at the first render
  bool FDoSubmitValidation = true;
  bool FSubmitOnAsyncEvent = false;
  bool FDoRefreshControl = false;
  bool FUseFrame = false;
  bool FClip = false;
  bool FCanReceiveFocus = false;
  bool FDontSubmitFiles = false;
  bool FSupportsPartial = true;
  std::unique_ptr<TKXFont> FFont;
  TKXColor FColor = clNone;
  bool FShowHint = true, FParentShowHint = true, FEnabled = true, FAutoSize = true;
  TSkStringList FExtraTagParams;
  TKXOnHTMLTag FOnHTMLTag;
  bool FNeedsFormTag = false;
  bool FEditable = true, FNonEditableAsLabel = true;
  TKXControlEncode FControlEncode = ceNone;
  int FTabOrder = -1;

private:
  mutable TKXComponentFaces FOwnFaces;
  mutable TKXComponentFaces FParentFaces;
  mutable unsigned FParentFacesGeneration = 0;   // the parent generation FParentFaces is for
};

// A control whose value is posted: it answers the input interfaces with the base's operations.
// Edits, file controls and the like derive from it.
class TKXCustomInputControl : public TKXCustomControl, public IKXAsyncInputControl {
public:
  explicit TKXCustomInputControl(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  TKXControlEncode ControlEncode() const override { return FControlEncode; }
  void SetControlEncode(TKXControlEncode AValue) override { FControlEncode = AValue; }
  void RestoreValue(const std::string&) override {}
  void AssignUploadedFile(THTTPFile* AFile) override { TKXCustomControl::AssignUploadedFile(AFile); }
  bool Editable() const override { return FEditable; }
  void SetEditable(bool AValue) override { TKXCustomControl::SetEditable(AValue); }
  bool NonEditableAsLabel() const override { return FNonEditableAsLabel; }
  void SetNonEditableAsLabel(bool AValue) override { FNonEditableAsLabel = AValue; }
  void ListInputNames(TSkStringList& AList) override { TKXCustomControl::ListInputNames(AList); }
  bool OwnsInputName(const std::string& AName) override { return TKXCustomControl::OwnsInputName(AName); }
  bool SubmitOnAsyncEvent() const override { return FSubmitOnAsyncEvent; }
  void SetSubmitOnAsyncEvent(bool AValue) override { FSubmitOnAsyncEvent = AValue; }
};

// Where controls register their asynchronous event handlers for the session (the callback
// processing installs it; unset, registrations are dropped). Called on every page render.
using TKXCallBackHandler = std::function<void(TSkStringList& AEventParams)>;
using TKXRegisterCallBack =
    std::function<void(TKXApplication* ASession, const std::string& AName, TKXCallBackHandler AHandler)>;
TKXRegisterCallBack& KXRegisterCallBackHook();
