#include "controls/KXCustomControl.h"

#include <algorithm>
#include <cctype>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXContainerLayout.h"
#include "core/KXException.h"
#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "core/KXScratch.h"
#include "core/KXStreams.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"
#include "SkStrUtils.h"

namespace {

// Stored descriptions name colours by identifier: the web table first, then the platform names.
bool RegisterColorNames() {
  for (const TKXColorIdent& C : KXWebColors) KXColorNames().Register(C.Name, C.Value);
  for (int I = 0; I < KXPlatformColorCount; ++I) KXColorNames().Register(KXPlatformColors[I].Name, KXPlatformColors[I].Value);
  return true;
}

const bool GRegistered =
    KXRegisterClass<TKXCustomControl>() && KXRegisterClass<TKXCustomInputControl>() && RegisterColorNames();

const char* const kCannotFocus = "Control cannot receive focus";

struct TAsyncEventRow {
  TKXAsyncEvent TKXCustomControl::*Event;
  const char* BrowserEvent;
  const char* AsyncName;
  bool A, B;
};

const TAsyncEventRow kAsyncEvents[] = {
    {&TKXCustomControl::OnAsyncClick, "OnClick", "DoOnAsyncClick", false, true},
    {&TKXCustomControl::OnAsyncDoubleClick, "OnDblClick", "DoOnAsyncDoubleClick", false, true},
    {&TKXCustomControl::OnAsyncChange, "OnChange", "DoOnAsyncChange", false, false},
    {&TKXCustomControl::OnAsyncEnter, "OnFocus", "DoOnAsyncEnter", true, false},
    {&TKXCustomControl::OnAsyncExit, "OnBlur", "DoOnAsyncExit", true, false},
    {&TKXCustomControl::OnAsyncKeyDown, "OnKeyDown", "DoOnAsyncKeyDown", false, true},
    {&TKXCustomControl::OnAsyncKeyUp, "OnKeyUp", "DoOnAsyncKeyUp", false, true},
    {&TKXCustomControl::OnAsyncKeyPress, "OnKeyPress", "DoOnAsyncKeyPress", false, true},
    {&TKXCustomControl::OnAsyncMouseDown, "OnMouseDown", "DoOnAsyncMouseDown", true, true},
    {&TKXCustomControl::OnAsyncMouseMove, "OnMouseMove", "DoOnAsyncMouseMove", false, false},
    {&TKXCustomControl::OnAsyncMouseOver, "OnMouseOver", "DoOnAsyncMouseOver", false, false},
    {&TKXCustomControl::OnAsyncMouseOut, "OnMouseOut", "DoOnAsyncMouseOut", false, false},
    {&TKXCustomControl::OnAsyncMouseUp, "OnMouseUp", "DoOnAsyncMouseUp", false, true},
    {&TKXCustomControl::OnAsyncSelect, "OnSelect", "DoOnAsyncSelect", false, true},
    {&TKXCustomControl::OnAsyncLoad, "OnLoad", "DoOnAsyncLoad", false, true},
    {&TKXCustomControl::OnAsyncUnLoad, "OnUnLoad", "DoOnAsyncUnLoad", false, true},
};

const char* BoolText(bool A) { return A ? "true" : "false"; }

}  // namespace

TKXRegisterCallBack& KXRegisterCallBackHook() {
  static TKXRegisterCallBack Hook;
  return Hook;
}

const TKXClassInfo& TKXCustomControl::StaticClassInfo() {
  using T = TKXCustomControl;
  static const TKXClassInfo Info = KXClass<T, TKXWinControl>("TKXCustomControl").Props({
      KXStringProp("Css", &T::Css, &T::SetCss),
      KXStringProp("SkinId", &T::SkinId, &T::SetSkinId),
      KXEnumProp("Cursor", &T::Cursor, &T::SetCursor, KXCursorInfo()),
      KXBoolProp("KX50Hint", &T::KX50Hint, &T::SetKX50Hint),
      KXStringProp("StatusText", &T::StatusText, &T::SetStatusText),
      KXIntProp("ZIndex", &T::ZIndex, &T::SetZIndex),
      KXBoolProp("RenderSize", &T::RenderSize, &T::SetRenderSize),
      KXObjectProp("StyleRenderOptions", &T::FStyleRenderOptions),
      KXObjectProp("ScriptEvents", &T::FScriptEvents),
      KXStringProp("FriendlyName", &T::FriendlyName, &T::SetFriendlyName),
      KXStringProp("Confirmation", &T::Confirmation, &T::SetConfirmation),
      KXBoolProp("DoSubmitValidation", &T::DoSubmitValidation, &T::SetDoSubmitValidation),
      KXBoolProp("SubmitOnAsyncEvent", &T::SubmitOnAsyncEvent, &T::SetSubmitOnAsyncEvent),
      KXBoolProp("UseFrame", &T::UseFrame, &T::SetUseFrame),
      KXBoolProp("DontSubmitFiles", &T::DontSubmitFiles, &T::SetDontSubmitFiles),
      KXObjectProp("Font", &T::FFont),
      KXStringProp("Hint", &T::Hint, &T::SetHint),
      KXBoolProp("ShowHint", &T::ShowHint, &T::SetShowHint),
      KXBoolProp("ParentShowHint", &T::ParentShowHint, &T::SetParentShowHint),
      KXBoolProp("Enabled", &T::Enabled, &T::SetEnabled),
      KXIntProp("TabOrder", &T::TabOrderValue, &T::SetTabOrder),
      KXStringsProp("ExtraTagParams", &T::FExtraTagParams),
      KXEventProp("OnClick", &T::OnClick),
      KXEventProp("OnAsyncClick", &T::OnAsyncClick),
      KXEventProp("OnAsyncDoubleClick", &T::OnAsyncDoubleClick),
      KXEventProp("OnAsyncChange", &T::OnAsyncChange),
      KXEventProp("OnAsyncEnter", &T::OnAsyncEnter),
      KXEventProp("OnAsyncExit", &T::OnAsyncExit),
      KXEventProp("OnAsyncKeyDown", &T::OnAsyncKeyDown),
      KXEventProp("OnAsyncKeyUp", &T::OnAsyncKeyUp),
      KXEventProp("OnAsyncKeyPress", &T::OnAsyncKeyPress),
      KXEventProp("OnAsyncMouseDown", &T::OnAsyncMouseDown),
      KXEventProp("OnAsyncMouseMove", &T::OnAsyncMouseMove),
      KXEventProp("OnAsyncMouseOver", &T::OnAsyncMouseOver),
      KXEventProp("OnAsyncMouseOut", &T::OnAsyncMouseOut),
      KXEventProp("OnAsyncMouseUp", &T::OnAsyncMouseUp),
      KXEventProp("OnAsyncSelect", &T::OnAsyncSelect),
      KXEventProp("OnAsyncLoad", &T::OnAsyncLoad),
      KXEventProp("OnAsyncUnLoad", &T::OnAsyncUnLoad),
  });
  return Info;
}

TKXCustomControl::TKXCustomControl(TKXComponent* AOwner) : TKXWinControl(AOwner), FFont(std::make_unique<TKXFont>()) {
  (void)GRegistered;
  FWidth = 24;
  FHeight = 24;
  FFont->OnChange = [this](TKXFont*) { Invalidate(); };
}

TKXCustomControl::~TKXCustomControl() { SetParent(nullptr); }

void TKXCustomControl::AfterConstruction() {
  TKXWinControl::AfterConstruction();
  if (!Name().empty() || !Owner()) return;
  // Run-time controls get the first free "<class name><n>".
  for (int I = 1;; ++I) {
    const std::string Candidate = ClassName() + std::to_string(I);
    if (!Owner()->FindComponent(Candidate)) {
      SetName(Candidate);
      return;
    }
  }
}

void TKXCustomControl::SetName(const std::string& AName) {
  if (AName.find('_') != std::string::npos) throw EKXException("\"" + AName + "\" is not a valid component name.");
  const std::string Old = Name();
  TKXWinControl::SetName(AName);
  if (FFriendlyName.empty() || SameText(FFriendlyName, Old)) FFriendlyName = AName;
}

void TKXCustomControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight) FDoRefreshControl = true;
  TKXWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TKXCustomControl::SetVisible(bool AValue) {
  if (AValue != FVisible) FDoRefreshControl = true;
  TKXWinControl::SetVisible(AValue);
}

void TKXCustomControl::SetRenderSize(bool AValue) {
  FRenderSize = AValue;
  FStyleRenderOptions.RenderSize = AValue;
}

void TKXCustomControl::SetColor(TKXColor AValue) {
  if (AValue == FColor) return;
  FColor = AValue;
  ColorChanged();
}

void TKXCustomControl::SetEditable(bool AValue) {
  if (AValue != FEditable) FDoRefreshControl = true;
  FEditable = AValue;
}

bool TKXCustomControl::SupportsInput() {
  IKXInputControl* Input = OwnFaces().Input;
  return Input && Input->Editable();
}

const TKXComponentFaces& TKXCustomControl::OwnFaces() const {
  if (!FOwnFaces.Component) FOwnFaces = TKXComponentFaces(const_cast<TKXCustomControl*>(this));
  return FOwnFaces;
}

const TKXComponentFaces& TKXCustomControl::ParentFaces() const {
  // Names, tab indexes and scripts ask about the parent all the time; it rarely changes.
  if (FParentFacesGeneration != ParentGeneration()) {
    FParentFaces = TKXComponentFaces(Parent());
    FParentFacesGeneration = ParentGeneration();
  }
  return FParentFaces;
}

IKXForm* TKXCustomControl::OwnerForm() const {
  const TKXComponentFaces& P = ParentFaces();
  if (P.Form) return P.Form;
  if (P.CustomControl) return P.CustomControl->OwnerForm();   // a region answers from its own cache
  for (TKXWinControl* W = Parent() ? Parent()->Parent() : nullptr; W; W = W->Parent())
    if (auto* Form = dynamic_cast<IKXForm*>(W)) return Form;
  return nullptr;
}

std::string TKXCustomControl::HTMLName() const {
  std::string N = Name();
  if (IKXBaseContainer* C = ParentContainer()) N += C->ContainerSuffix();
  for (char& Ch : N) Ch = UpCaseChar(Ch);
  return N;
}

void TKXCustomControl::ParentChanged(TKXWinControl*) {}

// ---------------------------------------------------------------------------------------------
// Tab order

int TKXCustomControl::GetTabOrder() {
  if (IKXBaseContainer* C = ParentContainer()) {
    auto& L = C->TabOrderList();
    auto It = std::find(L.begin(), L.end(), static_cast<TKXComponent*>(this));
    return It == L.end() ? -1 : static_cast<int>(It - L.begin());
  }
  return FTabOrder;
}

void TKXCustomControl::SetTabOrder(int AValue) {
  if (!HasTabOrder()) {
    FTabOrder = -1;
    return;
  }
  if (IKXBaseContainer* C = ParentContainer()) {
    auto& L = C->TabOrderList();
    L.erase(std::remove(L.begin(), L.end(), static_cast<TKXComponent*>(this)), L.end());
    const bool ContainerLoading = C->ContainerObject()->Loading() || Loading();
    if (ContainerLoading || AValue == -1 || AValue >= static_cast<int>(L.size())) {
      L.push_back(this);
      FTabOrder = static_cast<int>(L.size()) - 1;
    } else {
      L.insert(L.begin() + AValue, this);
    }
  }
  if (AValue != -1) FTabOrder = AValue;
}

// ---------------------------------------------------------------------------------------------
// Position and style

int TKXCustomControl::GetHTMLLeft(TKXBrowser B) {
  TKXWinControl* P = Parent();
  if (!P) return FLeft;
  if (FAlign == alRight) return FLeft - P->ClientLeft();
  const int M = (B == brOpera || B == brSafari) ? 2 : 1;
  const int S = B == brSafari ? 1 : 0;
  int Result = FLeft - S - M * P->ClientLeft();
  if (P->IsScrolling() && FAlign != alLeft) Result += P->HorzScrollPosition();
  return Result;
}

int TKXCustomControl::GetHTMLTop(TKXBrowser B) {
  TKXWinControl* P = Parent();
  if (!P) return FTop;
  if (FAlign == alBottom) return FTop - P->ClientTop();
  const int M = (B == brOpera || B == brSafari) ? 2 : 1;
  const int S = B == brSafari ? 1 : 0;
  int Result = FTop - S - M * P->ClientTop();
  if (P->IsScrolling() && FAlign != alTop) Result += P->VertScrollPosition();
  return Result;
}

int TKXCustomControl::GetHTMLWidth(TKXBrowser B) {
  return FWidth - ((FUseFrame && (B == brGecko || B == brNetscape6)) ? 4 : 0);
}

int TKXCustomControl::GetHTMLHeight(TKXBrowser B) {
  return FHeight - ((FUseFrame && (B == brGecko || B == brNetscape6)) ? 4 : 0);
}

std::string TKXCustomControl::RenderStyle(TKXComponent40Context* AContext) {
  std::string S;
  if (AContext && AContext->ContainerContext() && AContext->ContainerContext()->LayoutManager())
    S = AContext->ContainerContext()->LayoutManager()->RenderStyle(*this, AContext->Browser());
  S.reserve(S.size() + 192);   // size, font and cursor are appended in place
  // Every control of every page comes through here: the pieces are appended in one go.
  using namespace std::string_view_literals;
  const bool ZIndex = FStyleRenderOptions.RenderZIndex && FZIndex != -100;
  const bool Size = (FRenderSize && FStyleRenderOptions.RenderSize) || !FAutoSize;
  const TKXBrowser B = AContext ? AContext->Browser() : brIE;
  const TSkDigits Z(FZIndex + 100), Width(Size || FClip ? GetHTMLWidth(B) : 0), Height(Size || FClip ? GetHTMLHeight(B) : 0);
  AppendAll(S, {ZIndex ? "z-index:"sv : ""sv, ZIndex ? Z : ""sv, ZIndex ? ";"sv : ""sv, Size ? "width:"sv : ""sv,
                Size ? Width : ""sv, Size ? "px;height:"sv : ""sv, Size ? Height : ""sv, Size ? "px;"sv : ""sv});
  if (FClip) AppendAll(S, {"clip:rect(0px,", Width, "px,", Height, "px,0px);"});
  AppendAll(S, {FStyleRenderOptions.RenderFont ? std::string_view(FFont->StringStyle(B)) : ""sv,
                FCursor != crAuto ? std::string_view(KXCursorStyle(FCursor)) : ""sv});
  return S;
}

std::string TKXCustomControl::RenderCSSClass(TKXComponent40Context& AContext) {
  if (!FCss.empty()) return FCss;
  std::string Class = AContext.Component() == this ? AContext.HTMLName() : HTMLName();
  Class += "CSS";
  return Class;
}

// ---------------------------------------------------------------------------------------------
// Rendering

TKXHTMLTag* TKXCustomControl::RenderHTML(TKXComponent40Context&) { return new TKXHTMLTag("DIV"); }

TKXHTMLTag* TKXCustomControl::RenderHTMLTag(TKXComponent40Context& AContext) {
  TKXHTMLTag* Tag = RenderHTML(AContext);
  if (Tag && AContext.Request().PartialUpdate) Tag->AddStringParam("STYLE", Tag->Params().Values("style") + RenderStyle(&AContext));
  return Tag;
}

void TKXCustomControl::RenderFinishedTag(TKXComponent40Context& AContext, TKXRenderStream& AStream) {
  TKXHTMLTag* Tag = AContext.HTMLTag();
  if (!Tag) return;
  if (HasTabOrder() && TabIndexAllowed()) {
    int Index = -1;
    if (IKXForm* Form = OwnerForm()) Index = Form->RealTabIndexOf(this);
    Tag->AddIntegerParam("TabIndex", Index + 1);
  }
  Tag->Params().AppendParams(FExtraTagParams);
  for (const auto& P : AContext.ExtraParams()) Tag->AddStringParam(P.first, P.second);
  Tag->Render(AStream);
  AStream.WriteString(AContext.PostRender());
}

std::string TKXCustomControl::RenderFinishedTagText(TKXComponent40Context& AContext) {
  TKXRenderStream Stream(rnInMemory);
  RenderFinishedTag(AContext, Stream);
  return Stream.Extract();
}

void TKXCustomControl::DoHTMLTag(TKXHTMLTag* ATag) {
  if (FOnHTMLTag) FOnHTMLTag(this, ATag);
}

TKXXMLTag* TKXCustomControl::RenderAsyncComponent(TKXComponent40Context& AContext) { return RenderAsyncContent(AContext); }

void TKXCustomControl::RenderScripts(TKXComponent40Context& AContext) {
  std::string OtherName;   // only when rendering through another component's context
  const std::string& N = AContext.Component() == this ? AContext.HTMLName() : (OtherName = HTMLName());
  AContext.AddToJavaScriptOnce({"var ", N, "KXCL = null;"});
  const TKXComponentFaces& P = ParentFaces();
  const bool InRegion = P.Container && !P.Form && P.Base;
  AContext.AddToKXCLInitProc(
      {N, "KXCL = NewKXCL(", InRegion ? P.Base->HTMLName() + "KXCL" : "KXCLForm", ",\"", N, "\",false);"});
  const TKXBrowser B = AContext.Browser();
  if (AContext.Request().PartialUpdate && FDoRefreshControl)
    AContext.AddToUpdateInitProc("KXCLUpdate(\"" + N + "\"," + BoolText(Visible()) + "," + std::to_string(GetHTMLLeft(B)) +
                                 "," + std::to_string(GetHTMLTop(B)) + "," + std::to_string(GetHTMLWidth(B)) + "," +
                                 std::to_string(GetHTMLHeight(B)) + ");");
  TKXContainerContext* CC = AContext.ContainerContext();
  TKXContainerLayout* Layout = CC ? CC->LayoutManager() : nullptr;
  const bool DefaultLayout = CC && CC->IsDefaultLayout();
  const bool FormLayout = Layout && (DefaultLayout || Layout->IsTemplateProcessor());
  if (FormLayout && (FAlign != alNone || !(FAnchors == TKXAnchors{akLeft, akTop}))) {
    AContext.AddToKXCLInitProc("if (" + N + "KXCL != null) {");
    AContext.AddToKXCLInitProc("  " + N + "KXCL.SetAlign(" + KXAlignInfo().NameOf(FAlign) + ");\r\n " + N +
                               "KXCL.SetAnchors(new CreateAnchors(" + BoolText(FAnchors.Contains(akLeft)) + ", " +
                               BoolText(FAnchors.Contains(akRight)) + ", " + BoolText(FAnchors.Contains(akTop)) + ", " +
                               BoolText(FAnchors.Contains(akBottom)) + "));");
    AContext.AddToKXCLInitProc("}");
  }
  if (FUseFrame && DefaultLayout) {
    AContext.AddToKXCLInitProc("if (" + N + "KXCL) {");
    AContext.AddToKXCLInitProc(N + "KXCL.BorderWidthPixels = 2;");
    AContext.AddToKXCLInitProc("}");
  }
  // The control's events with the framework's hooks: a set of the thread's, refilled.
  const TKXScratch<TKXScriptEvents> Lent;
  TKXScriptEvents& Events = *Lent;
  if (IKXAsyncInputControl* Async = OwnFaces().AsyncInput; Async && Async->SubmitOnAsyncEvent())
    HookContentChanges(FScriptEvents, Events);
  else
    Events.AssignEvents(FScriptEvents);
  HookControlEvents(AContext, Events);
  RenderTitle(AContext.HTMLTag());
  if (!FRenderedEvents) FRenderedEvents = std::make_unique<TKXRenderedEvents>();
  FRenderedEvents->Render(Events, AContext, N, AContext.Browser() == brIE);
}

void TKXCustomControl::HookContentChanges(const TKXScriptEvents& AOwn, TKXScriptEvents& AEvents) {
  // A control that posts its changes reports every edit of its content to the page script.
  const auto Hook = [](const TKXScriptEvents& AFrom, TKXScriptEvents& ATo) {
    ATo.AssignEvents(AFrom);
    for (const char* E : {"OnChange", "OnKeyPress", "OnClick", "OnSelect"}) ATo.HookEvent(E, "OnControlContentChange(event);");
  };
  if (AOwn.Count() > 0) return Hook(AOwn, AEvents);
  // Most such controls have no events of their own: they all get the same set, made once.
  thread_local TKXScriptEvents Hooked;
  thread_local bool Made = false;
  if (!Made) {
    Hook(TKXScriptEvents(), Hooked);
    Made = true;
  }
  AEvents.AssignEvents(Hooked);
}

void TKXCustomControl::HookControlEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) {
  std::string Text;
  if (FKX50Hint) {
    if (FShowHint && !FHint.empty()) Text = FHint;
  } else if (!FStatusText.empty()) {
    Text = ReplaceAll(FStatusText, "'", "&#39");
  }
  if (!Text.empty()) {
    AEvents.HookEvent("OnMouseOver", "return Status('" + Text + "')");
    AEvents.HookEvent("OnFocus", "return Status('" + Text + "')");
    AEvents.HookEvent("OnMouseOut", "return Status('')");
    AEvents.HookEvent("OnBlur", "return Status('')");
  }
  HookAsyncEvents(AContext, AEvents);
}

void TKXCustomControl::HookAsyncEvents(TKXComponent40Context& AContext, TKXScriptEvents& AEvents) {
  std::string N;
  for (const TAsyncEventRow& Row : kAsyncEvents) {
    if (!(this->*Row.Event)) continue;
    if (N.empty()) N = HTMLName();
    const std::string CallName = N + "." + Row.AsyncName;
    if (KXRegisterCallBackHook() && AContext.WebApplication()) {
      const bool OnlyEnabled = Row.Event == &TKXCustomControl::OnAsyncClick;
      TKXAsyncEvent TKXCustomControl::*Event = Row.Event;
      KXRegisterCallBackHook()(AContext.WebApplication(), CallName, [this, Event, OnlyEnabled](TSkStringList& AParams) {
        if (OnlyEnabled && !FEnabled) return;
        if (this->*Event) (this->*Event)(this, AParams);
      });
    }
    AEvents.HookEvent(Row.BrowserEvent, std::string("processAjaxEvent(event, ") + N + "KXCL,\"" + CallName + "\"," +
                                            BoolText(Row.A) + ", null, " + BoolText(Row.B) + ");");
  }
}

void TKXCustomControl::RenderTitle(TKXHTMLTag* ATag) {
  if (ATag && FShowHint && !FHint.empty()) ATag->AddStringParam("title", ReplaceAll(FHint, "'", "&#39"));
}

// ---------------------------------------------------------------------------------------------
// Values, submit and focus

void TKXCustomControl::ListInputNames(TSkStringList& AList) {
  AList.Clear();
  AList.Add(HTMLName());
}

bool TKXCustomControl::OwnsInputName(const std::string& AName) { return AName == HTMLName(); }

void TKXCustomControl::DoClick() {
  if (OnClick) OnClick(this);
}

void TKXCustomControl::SetFocus() {
  if (!FCanReceiveFocus) throw EKXException(kCannotFocus);
  for (TKXWinControl* P = Parent(); P; P = P->Parent()) {
    if (auto* Form = dynamic_cast<IKXHTML40Form*>(P)) {
      Form->SetActiveControl(this);
      return;
    }
  }
  throw EKXException(kCannotFocus);
}

std::string TKXCustomControl::SubmitClickScript(const TKXComponent40Context& AContext, const std::string& AParam,
                                                const std::string& AName, bool AReturnFalse) {
  const std::string Name = AName.empty() ? HTMLName() : AName;
  const std::string& FileControl = FDontSubmitFiles ? std::string() : AContext.Request().FirstFileControl;
  if (!FileControl.empty()) {
    // The files go first; the page script then posts with the clicked control as the action.
    std::string Script = "SubmitNextFile('" + Name + "','" + AParam + "');" +
                         (AReturnFalse ? "return false;" : "return true;");
    if (FDoSubmitValidation) Script = "if (Validate()){" + Script + "}else{return false;}";
    if (!FConfirmation.empty()) Script = "if (window.confirm('" + TextToJSStringLiteral(FConfirmation) + "')) {" + Script + "}";
    return Script;
  }
  const std::string Tail = "SubmitClickConfirm('" + Name + "','" + AParam + "', " + BoolText(FDoSubmitValidation) + ", '" +
                           TextToJSStringLiteral(FConfirmation) + "');";
  return AReturnFalse ? Tail + "return false;" : "return " + Tail;
}

// ---------------------------------------------------------------------------------------------
// TKXCustomInputControl

const TKXClassInfo& TKXCustomInputControl::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomInputControl, TKXCustomControl>("TKXCustomInputControl");
  return Info;
}

TKXCustomInputControl::TKXCustomInputControl(TKXComponent* AOwner) : TKXCustomControl(AOwner) {
  FSubmitOnAsyncEvent = true;
}

// ---------------------------------------------------------------------------------------------
// Asynchronous update element

std::vector<std::pair<std::string, std::string>> StyleToAttributes(const std::string& AStyle) {
  std::string S = RemoveChars(RemoveChars(AStyle, '\r'), '\n');
  S = ReplaceAll(ReplaceAll(S, ": ", ":"), "; ", ";");
  std::vector<std::string> Pieces;
  for (const std::string& Raw : SplitString(S, ';')) {
    const std::string Piece = Trim(Raw);
    if (Piece.empty()) continue;
    // A piece without a colon belonged to the declaration before it (a ";" inside a value).
    if (Piece.find(':') == std::string::npos && !Pieces.empty())
      Pieces.back() += ";" + Piece;
    else
      Pieces.push_back(Piece);
  }
  std::vector<std::pair<std::string, std::string>> Result;
  for (const std::string& Piece : Pieces) {
    const size_t Colon = Piece.find(':');
    if (Colon == std::string::npos) continue;   // a leading piece without a declaration: dropped
    std::string Name;
    const std::string Raw = Trim(Piece.substr(0, Colon));
    for (size_t I = 0; I < Raw.size(); ++I) {
      if (Raw[I] == '-') {
        if (I + 1 < Raw.size()) Name += static_cast<char>(std::toupper(static_cast<unsigned char>(Raw[++I])));
      } else {
        Name += Raw[I];
      }
    }
    Result.emplace_back(Name, Trim(Piece.substr(Colon + 1)));
  }
  return Result;
}

TKXXMLTag* TKXCustomControl::NewAsyncTag(const std::string& AKind) {
  auto* Tag = new TKXXMLTag("control");
  Tag->AddStringParam("id", HTMLName());
  Tag->AddStringParam("type", AKind);
  return Tag;
}

void TKXCustomControl::RenderAsyncPropertyAsString(const std::string& AName, TKXXMLTag& ATag, bool AIgnoreEmpty,
                                                   const std::string& AValue) {
  if (AIgnoreEmpty && AValue.empty()) return;
  ATag.Contents().AddTag(LowerCase(AName))->Contents().AddText(TextToHTML(AValue, true, false));
}

void TKXCustomControl::RenderAsyncProperty(const std::string& AName, TKXXMLTag& ATag, bool AValue) {
  RenderAsyncPropertyAsString(AName, ATag, true, BoolText(AValue));
}

void TKXCustomControl::RenderAsyncProperty(const std::string& AName, TKXXMLTag& ATag, int AValue) {
  RenderAsyncPropertyAsString(AName, ATag, true, std::to_string(AValue));
}

void TKXCustomControl::RenderAsyncPropertyAsColor(const std::string& AName, TKXXMLTag& ATag, TKXColor AValue) {
  RenderAsyncPropertyAsString(AName, ATag, true, ColorToHTMLColor(AValue));
}

void TKXCustomControl::RenderAsyncPropertyAsPixel(const std::string& AName, TKXXMLTag& ATag, int AValue) {
  RenderAsyncPropertyAsString(AName, ATag, true, std::to_string(AValue) + "px");
}

void TKXCustomControl::AddAsyncStyle(TKXXMLTag& ATag, const std::string& AStyle) {
  if (AStyle.empty()) return;
  TKXMarkupLanguageTag* Style = ATag.Contents().AddTag("style");
  for (const auto& [Name, Value] : StyleToAttributes(AStyle)) {
    TKXMarkupLanguageTag* Attribute = Style->Contents().AddTag("attribute");
    Attribute->AddStringParam("name", Name);
    Attribute->Contents().AddText(Value);
  }
}

void TKXCustomControl::RenderAsyncCommonProperties(TKXComponent40Context& AContext, TKXXMLTag& ATag,
                                                   TKXAsyncCommonPropToRender AMask) {
  if (!FRenderSize) AMask &= ~((1u << acpHeight) | (1u << acpWidth));
  const auto Has = [AMask](TKXAsyncCommonProp P) { return (AMask & (1u << P)) != 0; };
  const TKXStyleRenderOptions& O = FStyleRenderOptions;
  if (Has(acpCSS)) RenderAsyncPropertyAsString("Css", ATag, true, FCss);
  if (Has(acpEnabled) && O.RenderStatus) RenderAsyncProperty("Enabled", ATag, FEnabled);
  if (Has(acpHint)) RenderAsyncPropertyAsString("Hint", ATag, true, FHint);
  const int Frame = FUseFrame ? 4 : 0;
  std::string Style;
  if (Has(acpVisible) && O.RenderVisibility) Style += Visible() ? "visibility:inherit;" : "visibility:hidden;";
  if (Has(acpLeft) && O.RenderPosition) Style += "left:" + std::to_string(GetHTMLLeft(AContext.Browser())) + "px;";
  if (Has(acpTop) && O.RenderPosition) Style += "top:" + std::to_string(GetHTMLTop(AContext.Browser())) + "px;";
  if (Has(acpHeight) && O.RenderSize) Style += "height:" + std::to_string(FHeight - Frame) + "px;";
  if (Has(acpWidth) && O.RenderSize) Style += "width:" + std::to_string(FWidth - Frame) + "px;";
  if (Has(acpZIndex) && O.RenderZIndex && FZIndex != -100) Style += "z-index:" + std::to_string(FZIndex + 100) + ";";
  if (Has(acpFont) && O.RenderFont) Style += FFont->FontToStringStyle(AContext.Browser());
  AddAsyncStyle(ATag, Style);
}
