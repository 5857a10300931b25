#include "KXRegion.h"

#include "KXApplication.h"
#include "KXBaseRenderContext.h"
#include "KXContainer.h"
#include "KXContainerLayout.h"
#include "KXRenderContext.h"
#include "KXStreams.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXRegion>();

const char* const kFrameRegionName = "KXFrameRegion";

}  // namespace

const TKXClassInfo& TKXCustomRegion::StaticClassInfo() {
  using T = TKXCustomRegion;
  static const TKXClassInfo Info = KXClass<T, TKXCustomControl>("TKXCustomRegion").Props({
      KXObjectProp("BorderOptions", &T::FBorderOptions),
      KXBoolProp("ClipRegion", &T::ClipRegion, &T::SetClipRegion),
      KXBoolProp("RenderInvisibleControls", &T::RenderInvisibleControlsValue, &T::SetRenderInvisibleControls),
      KXComponentProp("LayoutMgr", &T::LayoutMgr, &T::SetLayoutMgr),
      KXEventProp("OnCreate", &T::OnCreate),
      KXEventProp("OnRender", &T::OnRender),
  });
  return Info;
}

const TKXClassInfo& TKXRegion::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXRegion, TKXCustomRegion>("TKXRegion");
  return Info;
}

TKXCustomRegion::TKXCustomRegion(TKXComponent* AOwner)
    : TKXCustomControl(AOwner), FContainerImplementation(std::make_unique<TKXContainerImplementation>(*this)) {
  (void)GRegistered;
  FWidth = 60;
  FHeight = 60;
  FZIndex = 1000;
  FClip = true;
  FShowHint = true;
  FAutoSize = false;   // a region never takes the size of its contents
  FBorderOptions.Control = this;
  FBorderOptions.OnChange = [this](TKXContainerBorderOptions*) { BorderChanged(); };
}

TKXCustomRegion::~TKXCustomRegion() {
  // Children reach back into the component list while they go: free them while it exists.
  DestroyComponents();
  DetachChildren();
  FContainerImplementation->SetContainerContext(nullptr, FLayoutMgr);
}

void TKXCustomRegion::Loaded() {
  TKXCustomControl::Loaded();
  FContainerImplementation->SortTabOrderList();
  AlignControls();
  if (OnCreate) OnCreate(this);
}

void TKXCustomRegion::Notification(TKXComponent* AComponent, TKXOperation AOperation) {
  TKXCustomControl::Notification(AComponent, AOperation);
  if (AOperation == opRemove && AComponent == FLayoutMgr) FLayoutMgr = nullptr;
}

void TKXCustomRegion::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TKXCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  AlignControls();
}

void TKXCustomRegion::SetVisible(bool AValue) { TKXCustomControl::SetVisible(AValue); }

void TKXCustomRegion::SetName(const std::string& AName) {
  if (Name() == kFrameRegionName && AName != Name()) {
    SetAlign(alClient);
    return;
  }
  TKXCustomControl::SetName(AName);
}

void TKXCustomRegion::BorderChanged() {
  const int W = FBorderOptions.PixelWidth();
  for (int I = 0; I < ControlCount(); ++I) {
    TKXWinControl* C = Controls(I);
    if (C->Left() < W || C->Top() < W) C->SetBounds(std::max(C->Left(), W), std::max(C->Top(), W), C->Width(), C->Height());
  }
  AlignControls();
  Invalidate();
}

int TKXCustomRegion::GetHTMLWidth() {
  const TKXBrowser B = CurrentSession() ? CurrentSession()->Browser() : brIE;
  return FWidth - ((B == brGecko || B == brNetscape6) ? 2 * FBorderOptions.PixelWidth() : 0);
}

int TKXCustomRegion::GetHTMLHeight() {
  const TKXBrowser B = CurrentSession() ? CurrentSession()->Browser() : brIE;
  return FHeight - ((B == brGecko || B == brNetscape6) ? 2 * FBorderOptions.PixelWidth() : 0);
}

// ---------------------------------------------------------------------------------------------
// Container

std::string TKXCustomRegion::ContainerName() const { return FContainerImplementation->ContainerName(); }
std::string TKXCustomRegion::ContainerClassname() const { return FContainerImplementation->ContainerClassname(); }

std::string TKXCustomRegion::ContainerSuffix() const {
  if (IKXBaseContainer* C = ParentContainer()) return C->ContainerSuffix();
  return UpperCase(Name());
}

void TKXCustomRegion::FireOnRender() {
  if (OnRender) OnRender(this);
  KXFireOnRender(*this);
}

TKXComponent* TKXCustomRegion::FindComponentByName(const std::string& AName) {
  return FContainerImplementation->FindComponentByName(AName);
}
TKXComponent* TKXCustomRegion::Component(int AIndex) const { return FContainerImplementation->Component(AIndex); }
const TKXComponentFaces& TKXCustomRegion::ComponentFaces(int AIndex) const { return FContainerImplementation->Faces(AIndex); }
int TKXCustomRegion::KXComponentsCount() const { return FContainerImplementation->Count(); }
std::vector<TKXComponent*>& TKXCustomRegion::TabOrderList() { return FContainerImplementation->TabOrderList(); }
TKXContainerContext* TKXCustomRegion::ContainerContext() const { return FContainerImplementation->ContainerContext(); }

void TKXCustomRegion::SetContainerContext(TKXContainerContext* AContext) {
  FContainerImplementation->SetContainerContext(AContext, FLayoutMgr);
}

TKXContainerContext* TKXCustomRegion::MakeContainerContext(TKXApplication* AWebApplication) {
  return FContainerImplementation->MakeContainerContext(AWebApplication, FLayoutMgr, this);
}

bool TKXCustomRegion::AcceptsHiddenComponent(TKXComponent* AComponent) {
  IKXBaseContainer* Parent = ParentContainer();
  if (!dynamic_cast<IKXHTML40Container*>(Parent)) return false;
  return Parent->AcceptsHiddenComponent(AComponent);
}

void TKXCustomRegion::ChildInserted(TKXWinControl* AChild) { FContainerImplementation->AddComponent(AChild); }
void TKXCustomRegion::ChildRemoved(TKXWinControl* AChild) { FContainerImplementation->RemoveComponent(AChild); }

void TKXCustomRegion::SetLayoutMgr(TKXContainerLayout* AValue) {
  if (AValue == FLayoutMgr) return;
  if (FLayoutMgr) {
    FLayoutMgr->SetContainer(nullptr);
    RemoveFreeNotification(FLayoutMgr);
  }
  FLayoutMgr = AValue;
  if (AValue) {
    AValue->SetContainer(this);
    FreeNotification(AValue);
  }
}

std::string TKXCustomRegion::ResizeScript() { return KXContainerResizeScript(*this, DoRefreshControl()); }

// ---------------------------------------------------------------------------------------------
// Rendering

TKXHTMLTag* TKXCustomRegion::RenderHTML(TKXComponent40Context& AContext) {
  FBorderOptions.BGColor = FColor;
  FBorderOptions.HorizScrollBar = FHorzScrollBarVisible;
  FBorderOptions.VertScrollBar = FVertScrollBarVisible;
  FFrameTag = FBorderOptions.CreateFrame(nullptr, AContext.Browser(), this);
  TKXApplication* S = AContext.WebApplication();
  if (S && S->IsPartialUpdate())
    FFrameTag->AddStringParam("STYLE", FFrameTag->Params().Values("style") + "left: " + std::to_string(FLeft) +
                                           ";top: " + std::to_string(FTop) + ";width: " + std::to_string(GetHTMLWidth()) +
                                           ";height: " + std::to_string(GetHTMLHeight()) + ";");
  return FFrameTag;
}

void TKXCustomRegion::RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) {
  SetContainerContext(&AContainerContext);
  FContainerImplementation->RenderChildren(AContainerContext, APageContext,
                                           [this](TKXComponent40Context& AContext) { ContainerHook(AContext); });
  TKXContainerLayout* Layout = AContainerContext.LayoutManager();
  if (!Layout) return;
  TKXRenderStream Stream(rnInMemory);
  // What was written goes into the frame even when the layout fails half-way.
  auto Attach = [&] {
    Layout->SetContainer(nullptr);
    if (FFrameTag) FFrameTag->Contents().AdoptBuffer(Stream);
  };
  try {
    Layout->ProcessControls(AContainerContext, APageContext);
    Layout->Process(Stream, AContainerContext, APageContext);
  } catch (...) {
    Attach();
    throw;
  }
  Attach();
}

void TKXCustomRegion::ContainerHook(TKXComponent40Context& AContext) {
  KXFrameControlTag(AContext, false);
  if (IKXHTML40Component* Html40 = AContext.Faces().Html40) Html40->RenderScripts(AContext);
}

void TKXCustomRegion::RenderScripts(TKXComponent40Context& AContext) {
  TKXCustomControl::RenderScripts(AContext);
  if (FLayoutMgr && !dynamic_cast<TKXLayoutMgrForm*>(FLayoutMgr)) return;
  const std::string N = HTMLName();
  AContext.AddToKXCLInitProc("if (" + N + "KXCL) {");
  AContext.AddToKXCLInitProc(N + "KXCL.BorderWidthPixels = " + std::to_string(FBorderOptions.PixelWidth()) + ";");
  AContext.AddToKXCLInitProc("}");
}
