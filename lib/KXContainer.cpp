#include "KXContainer.h"

#include <algorithm>

#include "KXBaseForm.h"
#include "KXApplication.h"
#include "KXBaseRenderContext.h"
#include "KXContainerBorderOptions.h"
#include "KXContainerLayout.h"
#include "KXCustomControl.h"
#include "KXHTMLTag.h"
#include "KXRenderContext.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXBaseContainer>();

int TabOrderOf(TKXComponent* AComponent) {
  if (auto* T = dynamic_cast<IKXTabOrder*>(AComponent); T && T->HasTabOrder()) return T->GetTabOrder();
  return 0;
}

}  // namespace

const TKXClassInfo& TKXBaseContainer::StaticClassInfo() {
  using T = TKXBaseContainer;
  static const TKXClassInfo Info = KXClass<T, TKXWinControl>("TKXBaseContainer").Props({
      KXBoolProp("RenderInvisibleControls", &T::RenderInvisibleControlsValue, &T::SetRenderInvisibleControls),
  });
  return Info;
}

// ---------------------------------------------------------------------------------------------
// TKXContainerImplementation

TKXContainerImplementation::~TKXContainerImplementation() { SetContainerContext(nullptr, nullptr); }

void TKXContainerImplementation::AddComponent(TKXComponent* AComponent) {
  for (const auto& C : FComponentList)
    if (C.second == AComponent) return;
  auto* Base = dynamic_cast<IKXBaseComponent*>(AComponent);
  FComponentList.emplace_back(Base ? Base->HTMLName() : AComponent->Name(), AComponent);
  if (auto* T = dynamic_cast<IKXTabOrder*>(AComponent)) T->SetTabOrder(static_cast<int>(FComponentList.size()) - 1);
}

void TKXContainerImplementation::RemoveComponent(TKXComponent* AComponent) {
  FComponentList.erase(std::remove_if(FComponentList.begin(), FComponentList.end(),
                                      [AComponent](const auto& C) { return C.second == AComponent; }),
                       FComponentList.end());
  FTabOrderList.erase(std::remove(FTabOrderList.begin(), FTabOrderList.end(), AComponent), FTabOrderList.end());
}

TKXComponent* TKXContainerImplementation::FindComponentByName(const std::string& AName) const {
  for (const auto& C : FComponentList)
    if (auto* Base = dynamic_cast<IKXBaseComponent*>(C.second); Base && SameText(Base->HTMLName(), AName)) return C.second;
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
  std::vector<std::pair<int, TKXComponent*>> Listed;
  Listed.reserve(FComponentList.size());
  for (const auto& Entry : FComponentList) {
    TKXComponent* C = Entry.second;
    if (!dynamic_cast<IKXBaseComponent*>(C)) continue;
    auto* Control = dynamic_cast<IKXBaseControl*>(C);
    if (!Control || Control->GetVisible() || FContainer.RenderInvisibleControls() || FContainer.AcceptsHiddenComponent(C))
      Listed.emplace_back(TabOrderOf(C), C);
  }
  std::stable_sort(Listed.begin(), Listed.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
  for (const auto& Entry : Listed) {
    TKXComponent* X = Entry.second;
    auto* Base = dynamic_cast<IKXBaseComponent*>(X);
    auto Context = std::make_unique<TKXComponent40Context>(X, &AContainerContext, &APageContext);
    Context->SetHTMLTag(Base->RenderHTMLTag(*Context));
    if (AHook) AHook(*Context);
    auto* Control = dynamic_cast<IKXBaseControl*>(X);
    if (Control && !Control->GetVisible() && FContainer.RenderInvisibleControls() && Context->HTMLTag()) {
      TKXHTMLTag* Tag = Context->HTMLTag();
      Tag->AddStringParam("STYLE", "visibility:hidden;" + Tag->Params().Values("style"));
    }
    AContainerContext.AddComponent(Context.release(), nullptr, true);
    if (auto* Child = dynamic_cast<IKXBaseContainer*>(X)) {
      TKXContainerContext* Sub = Child->MakeContainerContext(AContainerContext.WebApplication());
      auto* Html40 = dynamic_cast<IKXHTML40Component*>(X);
      Sub->SetUpdateTree((Html40 && Html40->DoRefreshControl()) || AContainerContext.UpdateTree());
      Child->RenderChildren(*Sub, APageContext);
    }
  }
}

std::string TKXContainerImplementation::ContainerName() const {
  TKXWinControl* Self = FContainer.ContainerObject();
  if (dynamic_cast<TKXBaseForm*>(Self)) {
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
  if (dynamic_cast<TKXBaseForm*>(Self)) return Self->ClassName();
  if (auto* Parent = dynamic_cast<IKXBaseContainer*>(Self->Parent()))
    return Parent->ContainerClassname() + "." + Self->ClassName();
  return Self->Name();
}

void KXFrameControlTag(TKXComponent40Context& AContext, bool AOnForm) {
  auto* Control = dynamic_cast<IKXHTML40Control*>(AContext.Component());
  if (!Control || !Control->UseFrame() || !AContext.HTMLTag()) return;
  TKXContainerContext* Container = AContext.ContainerContext();
  TKXContainerLayout* Layout = Container ? Container->LayoutManager() : nullptr;
  if (!Layout || !Layout->AllowFrames()) return;
  TKXHTMLTag* Frame =
      TKXContainerBorderOptions::CreateDefaultFrame(AContext.ReleaseHTMLTag(), AContext.Browser(), AContext.Component());
  TKXApplication* S = AContext.WebApplication();
  auto* Win = dynamic_cast<TKXWinControl*>(AContext.Component());
  if (AOnForm && Win && S && S->IsPartialUpdate())
    Frame->AddStringParam("STYLE", Frame->Params().Values("style") + "left: " + std::to_string(Win->Left()) + "px;top: " +
                                       std::to_string(Win->Top()) + "px;width: " + std::to_string(Win->Width()) +
                                       "px;height: " + std::to_string(Win->Height()) + "px;");
  AContext.SetHTMLTag(Frame);
}

void KXFireOnRender(IKXBaseContainer& AContainer) {
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I)
    if (auto* Child = dynamic_cast<IKXBaseContainer*>(AContainer.Component(I))) Child->FireOnRender();
}

std::string KXContainerResizeScript(IKXBaseContainer& AContainer, bool ARefreshed) {
  std::string S;
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    TKXComponent* C = AContainer.Component(I);
    auto* Control = dynamic_cast<IKXHTML40Control*>(C);
    auto* Base = dynamic_cast<IKXBaseControl*>(C);
    auto* Named = dynamic_cast<IKXBaseComponent*>(C);
    if (Control && Base && Named && Base->GetVisible() && ARefreshed)
      S += "\r\nKXTop()." + Named->HTMLName() + "KXCL.SetRect(new parent.Rect(" + std::to_string(Control->GetHTMLLeft()) +
           ", " + std::to_string(Control->GetHTMLTop()) + ", " + std::to_string(Control->GetHTMLWidth()) + ", " +
           std::to_string(Control->GetHTMLHeight()) + "));\r\n";
    if (auto* Child = dynamic_cast<IKXHTML40Container*>(C)) S += "\r\n" + Child->ResizeScript();
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
