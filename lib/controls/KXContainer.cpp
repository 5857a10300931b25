#include "controls/KXContainer.h"

#include <algorithm>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "controls/KXContainerBorderOptions.h"
#include "render/KXContainerLayout.h"
#include "controls/KXCustomControl.h"
#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "core/KXScratch.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXBaseContainer>();

}  // namespace

const TKXClassInfo& TKXBaseContainer::StaticClassInfo() {
  using T = TKXBaseContainer;
  static const TKXClassInfo Info = KXClass<T, TKXWinControl>("TKXBaseContainer").Props({
      KXBoolProp("RenderInvisibleControls", &T::RenderInvisibleControlsValue, &T::SetRenderInvisibleControls),
  });
  return Info;
}

// ---------------------------------------------------------------------------------------------
// TKXComponentFaces

TKXComponentFaces::TKXComponentFaces(TKXComponent* AComponent)
    : Component(AComponent),
      Base(dynamic_cast<IKXBaseComponent*>(AComponent)),
      Html40(dynamic_cast<IKXHTML40Component*>(AComponent)),
      Html40Control(dynamic_cast<IKXHTML40Control*>(AComponent)),
      Control(dynamic_cast<IKXBaseControl*>(AComponent)),
      TabOrder(dynamic_cast<IKXTabOrder*>(AComponent)),
      Input(dynamic_cast<IKXInputControl*>(AComponent)),
      AsyncInput(dynamic_cast<IKXAsyncInputControl*>(AComponent)),
      Container(dynamic_cast<IKXBaseContainer*>(AComponent)),
      Html40Container(dynamic_cast<IKXHTML40Container*>(AComponent)),
      FileControl(dynamic_cast<IKXFileControl*>(AComponent)),
      CustomControl(dynamic_cast<TKXCustomControl*>(AComponent)),
      Form(dynamic_cast<IKXForm*>(AComponent)) {}

// ---------------------------------------------------------------------------------------------
// TKXContainerImplementation

TKXContainerImplementation::~TKXContainerImplementation() { SetContainerContext(nullptr, nullptr); }

void TKXContainerImplementation::AddComponent(TKXComponent* AComponent) {
  for (const TEntry& E : FComponentList)
    if (E.Faces.Component == AComponent) return;
  const TKXComponentFaces Faces(AComponent);
  FComponentList.push_back({Faces.Base ? Faces.Base->HTMLName() : AComponent->Name(), Faces});
  if (Faces.TabOrder) Faces.TabOrder->SetTabOrder(static_cast<int>(FComponentList.size()) - 1);
}

void TKXContainerImplementation::RemoveComponent(TKXComponent* AComponent) {
  FComponentList.erase(std::remove_if(FComponentList.begin(), FComponentList.end(),
                                      [AComponent](const TEntry& E) { return E.Faces.Component == AComponent; }),
                       FComponentList.end());
  FTabOrderList.erase(std::remove(FTabOrderList.begin(), FTabOrderList.end(), AComponent), FTabOrderList.end());
}

TKXComponent* TKXContainerImplementation::FindComponentByName(const std::string& AName) const {
  for (const TEntry& E : FComponentList)
    if (E.Faces.Base && SameText(E.Faces.Base->HTMLName(), AName)) return E.Faces.Component;
  return FContainerContext ? FContainerContext->FindComponent(AName) : nullptr;
}

void TKXContainerImplementation::SortTabOrderList() {
  // Stored tab orders from the description; equal values keep their joining order.
  auto Stored = [](TKXComponent* C) {
    auto* Control = dynamic_cast<TKXCustomControl*>(C);
    return Control ? Control->StoredTabOrder() : 0;
  };
  std::stable_sort(FTabOrderList.begin(), FTabOrderList.end(),
                   [&](TKXComponent* A, TKXComponent* B) { return Stored(A) < Stored(B); });
}

void TKXContainerImplementation::SetContainerContext(TKXContainerContext* AContext, TKXContainerLayout* AOwnLayout) {
  if (AContext == FContainerContext) return;
  TKXContainerContext* Old = FContainerContext;
  FContainerContext = AContext;
  if (!Old) return;
  TKXContainerLayout* Layout = Old->LayoutManager();
  delete Old;
  if (Layout && Layout != AOwnLayout && (!AContext || AContext->LayoutManager() != Layout)) delete Layout;
}

TKXContainerContext* TKXContainerImplementation::MakeContainerContext(TKXApplication* AWebApplication,
                                                                      TKXContainerLayout* AUserLayout,
                                                                      TKXComponent* ALayoutOwner) {
  auto* Context = new TKXContainerContext(AWebApplication);
  TKXContainerLayout* Layout = AUserLayout && AUserLayout->Able() ? AUserLayout : nullptr;
  // A layout made for one render is not owned by a component: the next context change frees it.
  if (!Layout) Layout = new TKXLayoutMgrForm(nullptr);
  (void)ALayoutOwner;
  Layout->SetContainer(&FContainer);
  Context->SetLayoutManager(Layout);
  return Context;
}

void TKXContainerImplementation::RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                                                const THook& AHook) {
  // Each component's tab order is looked up once: the comparisons would repeat it n log n times.
  const TKXScratch<std::vector<std::pair<int, TKXComponentFaces>>> Lent;
  std::vector<std::pair<int, TKXComponentFaces>>& Listed = *Lent;
  Listed.clear();
  for (const TEntry& Entry : FComponentList) {
    const TKXComponentFaces& F = Entry.Faces;
    if (!F.Base) continue;
    if (!F.Control || F.Control->GetVisible() || FContainer.RenderInvisibleControls() ||
        FContainer.AcceptsHiddenComponent(F.Component))
      Listed.emplace_back(F.TabOrder && F.TabOrder->HasTabOrder() ? F.TabOrder->GetTabOrder() : 0, F);
  }
  // In tab order, equal ones as listed: sorting (tab order, position) pairs keeps that order
  // without the temporary buffer a stable sort of the entries would take.
  const TKXScratch<std::vector<std::pair<int, size_t>>> LentOrder;
  std::vector<std::pair<int, size_t>>& Order = *LentOrder;
  Order.clear();
  for (size_t I = 0; I < Listed.size(); ++I) Order.emplace_back(Listed[I].first, I);
  std::sort(Order.begin(), Order.end());
  AContainerContext.Reserve(Order.size());
  for (const auto& [TabOrder, At] : Order) {
    const TKXComponentFaces& F = Listed[At].second;
    auto Context = std::make_unique<TKXComponent40Context>(F, &AContainerContext, &APageContext);
    Context->SetHTMLTag(F.Base->RenderHTMLTag(*Context));
    if (AHook) AHook(*Context);
    if (F.Control && !F.Control->GetVisible() && FContainer.RenderInvisibleControls() && Context->HTMLTag()) {
      TKXHTMLTag* Tag = Context->HTMLTag();
      Tag->AddStringParam("STYLE", "visibility:hidden;" + Tag->Params().Values("style"));
    }
    AContainerContext.AddComponent(Context.release(), nullptr, true);
    if (IKXBaseContainer* Child = F.Container) {
      TKXContainerContext* Sub = Child->MakeContainerContext(AContainerContext.WebApplication());
      Sub->SetUpdateTree((F.Html40 && F.Html40->DoRefreshControl()) || AContainerContext.UpdateTree());
      Child->RenderChildren(*Sub, APageContext);
    }
  }
}

std::string TKXContainerImplementation::ContainerName() const {
  TKXWinControl* Self = FContainer.ContainerObject();
  if (dynamic_cast<IKXForm*>(Self)) {
    // "Name_3" for the third instance of a registered form class is still that form's name.
    const std::string& N = Self->Name();
    const size_t U = N.rfind('_');
    if (U != std::string::npos && U + 1 < N.size() &&
        std::all_of(N.begin() + static_cast<std::ptrdiff_t>(U) + 1, N.end(), [](char C) { return C >= '0' && C <= '9'; }))
      return N.substr(0, U);
    return N;
  }
  if (auto* Parent = dynamic_cast<IKXBaseContainer*>(Self->Parent())) return Parent->ContainerName() + "." + Self->Name();
  return Self->Name();
}

std::string TKXContainerImplementation::ContainerClassname() const {
  TKXWinControl* Self = FContainer.ContainerObject();
  if (dynamic_cast<IKXForm*>(Self)) return Self->ClassName();
  if (auto* Parent = dynamic_cast<IKXBaseContainer*>(Self->Parent()))
    return Parent->ContainerClassname() + "." + Self->ClassName();
  return Self->Name();
}

void KXFrameControlTag(TKXComponent40Context& AContext, bool AOnForm) {
  IKXHTML40Control* Control = AContext.Faces().Html40Control;
  if (!Control || !Control->UseFrame() || !AContext.HTMLTag()) return;
  TKXContainerContext* Container = AContext.ContainerContext();
  TKXContainerLayout* Layout = Container ? Container->LayoutManager() : nullptr;
  if (!Layout || !Layout->AllowFrames()) return;
  TKXHTMLTag* Frame =
      TKXContainerBorderOptions::CreateDefaultFrame(AContext.ReleaseHTMLTag(), AContext.Browser(), AContext.Component());
  TKXWinControl* Win = AContext.Faces().CustomControl;
  if (AOnForm && Win && AContext.Request().PartialUpdate)
    Frame->AddStringParam("STYLE", Frame->Params().Values("style") + "left: " + std::to_string(Win->Left()) + "px;top: " +
                                       std::to_string(Win->Top()) + "px;width: " + std::to_string(Win->Width()) +
                                       "px;height: " + std::to_string(Win->Height()) + "px;");
  AContext.SetHTMLTag(Frame);
}

void KXFireOnRender(IKXBaseContainer& AContainer) {
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I)
    if (IKXBaseContainer* Child = AContainer.ComponentFaces(I).Container) Child->FireOnRender();
}

std::string KXContainerResizeScript(IKXBaseContainer& AContainer, bool ARefreshed, const TKXRenderRequest& ARequest) {
  const TKXBrowser B = ARequest.Browser;
  std::string S;
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    TKXComponent* C = AContainer.Component(I);
    auto* Control = dynamic_cast<IKXHTML40Control*>(C);
    auto* Base = dynamic_cast<IKXBaseControl*>(C);
    auto* Named = dynamic_cast<IKXBaseComponent*>(C);
    if (Control && Base && Named && Base->GetVisible() && ARefreshed)
      S += "\r\nKXTop()." + Named->HTMLName() + "KXCL.SetRect(new parent.Rect(" + std::to_string(Control->GetHTMLLeft(B)) +
           ", " + std::to_string(Control->GetHTMLTop(B)) + ", " + std::to_string(Control->GetHTMLWidth(B)) + ", " +
           std::to_string(Control->GetHTMLHeight(B)) + "));\r\n";
    if (auto* Child = dynamic_cast<IKXHTML40Container*>(C)) S += "\r\n" + Child->ResizeScript(ARequest);
  }
  return S;
}

// ---------------------------------------------------------------------------------------------
// TKXContainer

const TKXClassInfo& TKXContainer::StaticClassInfo() {
  using T = TKXContainer;
  static const TKXClassInfo Info = KXClass<T, TKXBaseContainer>("TKXContainer").Props({
      KXEventProp("OnRender", &T::OnRender),
  });
  return Info;
}

TKXContainer::TKXContainer(TKXComponent* AOwner)
    : TKXBaseContainer(AOwner), FContainerImplementation(std::make_unique<TKXContainerImplementation>(*this)) {
  (void)GRegistered;
}

TKXContainer::~TKXContainer() {
  // Children reach back into the component list while they go: free them while it exists.
  DestroyComponents();
  DetachChildren();
  FContainerImplementation->SetContainerContext(nullptr, nullptr);
}

void TKXContainer::FireOnRender() {
  if (OnRender) OnRender(this);
  KXFireOnRender(*this);
}

void TKXContainer::Loaded() {
  TKXBaseContainer::Loaded();
  FContainerImplementation->SortTabOrderList();
  AlignControls();
}
