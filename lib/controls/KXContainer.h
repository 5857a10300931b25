#pragma once
// Containers: forms and regions hold components, collect the ones to show, have each build its
// tag in a component context, recurse into child containers and hand the result to a layout.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/KXInterfaces.h"
#include "render/KXWinControl.h"

class TKXApplication;
class TKXComponent40Context;
class TKXContainerContext;
class TKXContainerLayout;
class TKXPageContext40;

class TKXBaseContainer : public TKXWinControl {
public:
  explicit TKXBaseContainer(TKXComponent* AOwner) : TKXWinControl(AOwner) {}
  KX_DECLARE_CLASS_INFO

  bool RenderInvisibleControlsValue() const { return FRenderInvisibleControls; }
  void SetRenderInvisibleControls(bool AValue) { FRenderInvisibleControls = AValue; }
  void ForceAlign() { AlignControls(); }

protected:
  bool FRenderInvisibleControls = false;
};

// The component list, tab-order list and container context of one container, and the
// collecting and tagging of its components that forms and regions share.
class TKXContainerImplementation {
public:
  explicit TKXContainerImplementation(IKXBaseContainer& AContainer) : FContainer(AContainer) {}
  ~TKXContainerImplementation();
  TKXContainerImplementation(const TKXContainerImplementation&) = delete;
  TKXContainerImplementation& operator=(const TKXContainerImplementation&) = delete;

  // A component joins (normally when its parent is set to the container) or leaves.
  void AddComponent(TKXComponent* AComponent);
  void RemoveComponent(TKXComponent* AComponent);
  TKXComponent* FindComponentByName(const std::string& AName) const;
  int Count() const { return static_cast<int>(FComponentList.size()); }
  TKXComponent* Component(int AIndex) const { return Faces(AIndex).Component; }
  const TKXComponentFaces& Faces(int AIndex) const { return FComponentList.at(static_cast<size_t>(AIndex)).Faces; }
  std::vector<TKXComponent*>& TabOrderList() { return FTabOrderList; }
  // Orders the tab list by each control's stored tab order (once loading has finished).
  void SortTabOrderList();

  TKXContainerContext* ContainerContext() const { return FContainerContext; }
  // Frees the previous context and, unless it is AOwnLayout, the layout manager made for it.
  void SetContainerContext(TKXContainerContext* AContext, TKXContainerLayout* AOwnLayout);

  // Collects the components to show (sorted by tab order), builds their tags into
  // AContainerContext and recurses into child containers. AHook may replace a tag and runs the
  // component's scripts; it is the container's own hook (form or region).
  using THook = std::function<void(TKXComponent40Context& AContext)>;
  void RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext, const THook& AHook);

  // A new context whose layout is AUserLayout when able, else a new default layout owned by
  // ALayoutOwner; the layout is attached to the container.
  TKXContainerContext* MakeContainerContext(TKXApplication* AWebApplication, TKXContainerLayout* AUserLayout,
                                            TKXComponent* ALayoutOwner);

  // The qualified container name ("REGION1" of a form, "Form.Region" inside another container).
  std::string ContainerName() const;
  std::string ContainerClassname() const;

private:
  struct TEntry {
    std::string Name;
    TKXComponentFaces Faces;
  };

  IKXBaseContainer& FContainer;
  std::vector<TEntry> FComponentList;   // joining order
  std::vector<TKXComponent*> FTabOrderList;
  TKXContainerContext* FContainerContext = nullptr;
};

// A control with UseFrame gets the default border frame around its tag when the container's
// layout allows frames; on a form during a partial update the frame also carries the position.
void KXFrameControlTag(TKXComponent40Context& AContext, bool AOnForm);
// Fires OnRender of AContainer, then of each child container, depth-first in component order.
void KXFireOnRender(IKXBaseContainer& AContainer);
// The resize script of an HTML 4.0 container (used by the form's ResizeScript).
std::string KXContainerResizeScript(IKXBaseContainer& AContainer, bool ARefreshed, const TKXRenderRequest& ARequest);

class TKXContainer : public TKXBaseContainer, public virtual IKXBaseContainer {
public:
  explicit TKXContainer(TKXComponent* AOwner);
  ~TKXContainer() override;
  KX_DECLARE_CLASS_INFO

  std::function<void(TKXComponent* Sender)> OnRender;

  // IKXBaseContainer
  std::string ContainerName() const override { return FContainerImplementation->ContainerName(); }
  std::string ContainerSuffix() const override { return {}; }
  std::string ContainerClassname() const override { return FContainerImplementation->ContainerClassname(); }
  void FireOnRender() override;
  TKXWinControl* ContainerObject() override { return this; }
  TKXComponent* FindComponentByName(const std::string& AName) override {
    return FContainerImplementation->FindComponentByName(AName);
  }
  TKXComponent* Component(int AIndex) const override { return FContainerImplementation->Component(AIndex); }
  const TKXComponentFaces& ComponentFaces(int AIndex) const override { return FContainerImplementation->Faces(AIndex); }
  int KXComponentsCount() const override { return FContainerImplementation->Count(); }
  TKXContainerContext* ContainerContext() const override { return FContainerImplementation->ContainerContext(); }
  bool RenderInvisibleControls() const override { return FRenderInvisibleControls; }
  std::vector<TKXComponent*>& TabOrderList() override { return FContainerImplementation->TabOrderList(); }
  void Loaded() override;

protected:
  void ChildInserted(TKXWinControl* AChild) override { FContainerImplementation->AddComponent(AChild); }
  void ChildRemoved(TKXWinControl* AChild) override { FContainerImplementation->RemoveComponent(AChild); }

  std::unique_ptr<TKXContainerImplementation> FContainerImplementation;
};
