#pragma once
// Regions: containers that are also controls. A region renders as a bordered, optionally
// scrolling DIV holding its own controls, laid out by its own layout manager in its own context.
// A region aligned to one side of its parent may carry a splitter grip: the browser drags its
// free edge and posts the new position and size back in the field <HTMLName>_data.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/KXContainerBorderOptions.h"
#include "controls/KXCustomControl.h"
#include "render/KXInterfaces.h"

class TKXContainerImplementation;
class TKXContainerLayout;

class TKXCustomRegion : public TKXCustomControl, public IKXHTML40Container, public virtual IKXInputControl {
public:
  explicit TKXCustomRegion(TKXComponent* AOwner);
  ~TKXCustomRegion() override;
  KX_DECLARE_CLASS_INFO

  void Loaded() override;
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SetVisible(bool AValue) override;
  // A region named KXFrameRegion keeps that name; renaming it only fills its frame.
  void SetName(const std::string& AName) override;

  TKXContainerBorderOptions& BorderOptions() { return FBorderOptions; }
  bool ClipRegion() const { return FClip; }
  void SetClipRegion(bool AValue) { FClip = AValue; }
  bool RenderInvisibleControlsValue() const { return FRenderInvisibleControls; }
  void SetRenderInvisibleControls(bool AValue) { FRenderInvisibleControls = AValue; }
  TKXHTMLTag* FrameTag() const { return FFrameTag; }
  bool Splitter() const { return FSplitter; }
  void SetSplitter(bool AValue);
  // The grip is drawn, and its field posted, only for a region aligned to one side.
  bool SplitterActive() const;
  std::function<void(TKXComponent* Sender)> OnCreate, OnRender;

  // IKXHTML40Control: the border is inside the size for Gecko browsers.
  int GetHTMLWidth(TKXBrowser ABrowser) override;
  int GetHTMLHeight(TKXBrowser ABrowser) override;
  // A region is reached by tab order through its controls, never focused itself.
  bool TabIndexAllowed() const override { return false; }

  // IKXBaseContainer
  std::string ContainerName() const override;
  std::string ContainerSuffix() const override;
  std::string ContainerClassname() const override;
  void FireOnRender() override;
  TKXWinControl* ContainerObject() override { return this; }
  TKXComponent* FindComponentByName(const std::string& AName) override;
  TKXComponent* Component(int AIndex) const override;
  const TKXComponentFaces& ComponentFaces(int AIndex) const override;
  int KXComponentsCount() const override;
  TKXContainerContext* MakeContainerContext(TKXApplication* AWebApplication) override;
  void RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) override;
  TKXContainerContext* ContainerContext() const override;
  void SetContainerContext(TKXContainerContext* AContext) override;
  bool AcceptsHiddenComponent(TKXComponent* AComponent) override;
  bool RenderInvisibleControls() const override { return FRenderInvisibleControls; }
  std::vector<TKXComponent*>& TabOrderList() override;

  // IKXHTML40Container
  std::string ResizeScript(const TKXRenderRequest& ARequest) override;
  TKXContainerLayout* LayoutMgr() const override { return FLayoutMgr; }
  void SetLayoutMgr(TKXContainerLayout* AValue);

  void RenderScripts(TKXComponent40Context& AContext) override;

  // The splitter's field is the region's only input, and only while the grip is drawn.
  bool SupportsInput() override { return SplitterActive() && FEditable; }
  TKXControlEncode ControlEncode() const override { return FControlEncode; }
  void SetControlEncode(TKXControlEncode AValue) override { FControlEncode = AValue; }
  // "position,size" as the grip left it; anything else (not two integers, a negative size) is ignored.
  void RestoreValue(const std::string& AValue) override;
  void AssignUploadedFile(THTTPFile*) override {}
  bool Editable() const override { return FEditable; }
  void SetEditable(bool AValue) override { TKXCustomControl::SetEditable(AValue); }
  bool NonEditableAsLabel() const override { return FNonEditableAsLabel; }
  void SetNonEditableAsLabel(bool AValue) override { FNonEditableAsLabel = AValue; }
  void ListInputNames(TSkStringList& AList) override;
  // The field name is compared without regard to case.
  bool OwnsInputName(const std::string& AName) override;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context& AContext) override;
  void ChildInserted(TKXWinControl* AChild) override;
  void ChildRemoved(TKXWinControl* AChild) override;
  void BorderChanged();
  void ContainerHook(TKXComponent40Context& AContext);
  void AddSplitter(TKXComponent40Context& AContext);

  TKXContainerBorderOptions FBorderOptions{1, cbwNumeric, cbsSolid, clNone};
  std::unique_ptr<TKXContainerImplementation> FContainerImplementation;
  TKXContainerLayout* FLayoutMgr = nullptr;
  TKXHTMLTag* FFrameTag = nullptr;   // owned by the component context of the current render
  bool FRenderInvisibleControls = false;
  bool FHorzScrollBarVisible = true, FVertScrollBarVisible = true;
  bool FSplitter = false;
};

class TKXRegion : public TKXCustomRegion {
public:
  explicit TKXRegion(TKXComponent* AOwner) : TKXCustomRegion(AOwner) {}
  KX_DECLARE_CLASS_INFO
};
