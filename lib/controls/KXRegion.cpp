#include "controls/KXRegion.h"

#include <algorithm>
#include <charconv>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "controls/KXContainer.h"
#include "render/KXContainerLayout.h"
#include "content/KXInternalFiles.h"
#include "render/KXRenderContext.h"
#include "core/KXStreams.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXRegion>();

const char* const kFrameRegionName = "KXFrameRegion";

// The grip stays above everything the region holds, and never below this.
constexpr int kLowestGripZIndex = 11000;

// A whole decimal number, blanks around it allowed; nothing else.
bool ParseInteger(const std::string& AText, int& VValue) {
  const std::string S = Trim(AText);
  if (S.empty()) return false;
  const auto R = std::from_chars(S.data(), S.data() + S.size(), VValue);
  return R.ec == std::errc() && R.ptr == S.data() + S.size();
}

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
  using T = TKXRegion;
  static const TKXClassInfo Info = KXClass<T, TKXCustomRegion>("TKXRegion").Props({
      KXBoolProp("Splitter", &T::Splitter, &T::SetSplitter),
  });
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

void TKXCustomRegion::SetSplitter(bool AValue) {
  if (AValue != FSplitter) FDoRefreshControl = true;
  FSplitter = AValue;
}

bool TKXCustomRegion::SplitterActive() const {
  return FSplitter && (FAlign == alTop || FAlign == alBottom || FAlign == alLeft || FAlign == alRight);
}

void TKXCustomRegion::ListInputNames(TSkStringList& AList) {
  AList.Clear();
  if (SplitterActive()) AList.Add(HTMLName() + "_data");
}

bool TKXCustomRegion::OwnsInputName(const std::string& AName) {
  return SplitterActive() && SameText(AName, HTMLName() + "_data");
}

void TKXCustomRegion::RestoreValue(const std::string& AValue) {
  if (!SplitterActive()) return;
  const size_t Comma = AValue.find(',');
  int Position = 0, Size = 0;
  if (Comma == std::string::npos || !ParseInteger(AValue.substr(0, Comma), Position) ||
      !ParseInteger(AValue.substr(Comma + 1), Size) || Size < 0)
    return;
  switch (FAlign) {
    case alTop:
      SetBounds(FLeft, FTop, FWidth, Size);
      break;
    case alBottom:
      SetBounds(FLeft, Position, FWidth, Size);
      break;
    case alLeft:
      SetBounds(FLeft, FTop, Size, FHeight);
      break;
    case alRight:
      SetBounds(Position, FTop, Size, FHeight);
      break;
    default:
      return;
  }
  if (TKXWinControl* P = Parent()) P->AlignControls();
  // The browser already shows the region at this size.
  FDoRefreshControl = false;
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

int TKXCustomRegion::GetHTMLWidth(TKXBrowser B) {
  return FWidth - ((B == brGecko || B == brNetscape6) ? 2 * FBorderOptions.PixelWidth() : 0);
}

int TKXCustomRegion::GetHTMLHeight(TKXBrowser B) {
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

std::string TKXCustomRegion::ResizeScript(const TKXRenderRequest& ARequest) {
  return KXContainerResizeScript(*this, DoRefreshControl(), ARequest);
}

// ---------------------------------------------------------------------------------------------
// Rendering

TKXHTMLTag* TKXCustomRegion::RenderHTML(TKXComponent40Context& AContext) {
  FBorderOptions.BGColor = FColor;
  FBorderOptions.HorizScrollBar = FHorzScrollBarVisible;
  FBorderOptions.VertScrollBar = FVertScrollBarVisible;
  FFrameTag = FBorderOptions.CreateFrame(nullptr, AContext.Browser(), this);
  if (AContext.Request().PartialUpdate)
    FFrameTag->AddStringParam("STYLE", FFrameTag->Params().Values("style") + "left: " + std::to_string(FLeft) +
                                           ";top: " + std::to_string(FTop) + ";width: " +
                                           std::to_string(GetHTMLWidth(AContext.Browser())) + ";height: " +
                                           std::to_string(GetHTMLHeight(AContext.Browser())) + ";");
  if (SplitterActive()) AddSplitter(AContext);
  return FFrameTag;
}

// The grip's field and the grip itself, inside the frame before the region's own controls.
void TKXCustomRegion::AddSplitter(TKXComponent40Context& AContext) {
  const std::string N = HTMLName();
  const bool Horizontal = FAlign == alTop || FAlign == alBottom;   // a band: the grip moves up and down
  TKXHTMLTag* Form = FFrameTag->Contents().AddTag("FORM");
  Form->AddStringParam("onSubmit", "return FormDefaultSubmit();");
  TKXHTMLTag* Input = Form->Contents().AddTag("INPUT");
  Input->AddStringParam("name", N + "_data");
  Input->AddStringParam("id", N + "_data");
  Input->AddStringParam("type", "hidden");
  Input->AddStringParam("value", Horizontal ? std::to_string(FTop) + "," + std::to_string(FHeight)
                                            : std::to_string(FLeft) + "," + std::to_string(FWidth));

  int Z = kLowestGripZIndex;
  for (int I = 0; I < ControlCount(); ++I)
    if (auto* C = dynamic_cast<IKXHTML40Control*>(Controls(I))) Z = std::max(Z, C->ZIndex() + 1);
  const TKXBrowser B = AContext.Browser();
  // These browsers draw the grip's two borders alone; the others need a body between them.
  const std::string T = (B == brGecko || B == brSafari || B == brNetscape6) ? "0px" : "6px";
  const std::string ZText = "z-index:" + std::to_string(Z);
  const char* const kSideTail = "border-top: none; border-bottom: none;border-left: 3px groove; border-right: 3px groove; "
                                "POSITION: absolute; overflow: hidden; cursor: w-resize;z-index:10000;";
  std::string Side, Style;
  switch (FAlign) {
    case alTop:
      Side = "bottom";
      Style = ZText + ";bottom:0px; WIDTH: 100%; height:" + T + ";" +
              "border-top: 3px groove; border-bottom: 3px groove;  POSITION: absolute; overflow: hidden;cursor: n-resize;";
      break;
    case alBottom:
      Side = "top";
      Style = ZText + ";top:0px; WIDTH: 100%; height:" + T + ";" +
              "border-top: 3px outset; border-bottom: 3px outset;  POSITION: absolute; overflow: hidden;cursor: n-resize;";
      break;
    case alLeft:
      Side = "right";
      Style = ZText + ";right:0px; top: " + "0px" + "; height: 100%; width:" + T + ";" + kSideTail;
      break;
    default:   // alRight
      Side = "left";
      Style = ZText + ";left:0px; top:" + "0px" + "; height: 100%; width:" + T + ";" + kSideTail;
      break;
  }
  TKXHTMLTag* Grip = FFrameTag->Contents().AddTag("DIV");
  Grip->AddStringParam("id", N + "_grip");
  Grip->AddStringParam("onmousedown", "return GripMouseDown(event,'" + Side + "')");
  Grip->AddStringParam("style", Style);
  // The script is served only once registered; registering again is a look-up.
  AddInternalFile("KX_JS_KXSPLITTER", "/js/KXSplitter.js");
  AContext.AddScriptFile("/js/KXSplitter.js");
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
