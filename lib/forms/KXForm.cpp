#include "forms/KXForm.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXContainerLayout.h"
#include "controls/KXCustomControl.h"
#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "render/KXHTMLTag.h"
#include "content/KXHTTPFile.h"
#include "render/KXRenderContext.h"
#include "core/KXScratch.h"
#include "session/KXServerControllerIntf.h"
#include "core/KXStreams.h"
#include "core/KXTextEncoding.h"
#include "render/KXXMLTag.h"
#include "forms/KXScriptRecorder.h"
#include "SkStrUtils.h"

namespace {

struct TProgressScriptText {
  TKXProgressScript Script;
  const char* Flag;
  const char* Function;   // the function's head, up to where the script's text goes
};
// The full submit's first script also releases the page lock: the indicator takes its place.
const TProgressScriptText kProgressScripts[] = {
    {psPre, "PreScript", "function PreProgressScript() {ReleaseLock();\r\n"},
    {psPost, "PostScript", "function PostProgressScript() {"},
    {psPreAsync, "PreAsyncScript", "function PreAsyncProgressScript() {"},
    {psPostAsync, "PostAsyncScript", "function PostAsyncProgressScript() {"},
};

const char* const kPartialUnsupported = "That change is not supported during partial update.";

// Visible file controls of a container, depth-first through visible containers.
void CollectFileControls(IKXBaseContainer& AContainer, std::vector<TKXComponent*>& AOut) {
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    const TKXComponentFaces& F = AContainer.ComponentFaces(I);
    if (F.Control && !F.Control->GetVisible()) continue;
    if (F.FileControl) AOut.push_back(F.Component);
    if (F.Container) CollectFileControls(*F.Container, AOut);
  }
}

std::string HTMLNameOf(TKXComponent* AComponent) {
  auto* Base = dynamic_cast<IKXBaseComponent*>(AComponent);
  return Base ? Base->HTMLName() : UpperCase(AComponent->Name());
}

}  // namespace

const TKXClassInfo& TKXBackground::StaticClassInfo() {
  using T = TKXBackground;
  static const TKXClassInfo Info = KXClass<T, TKXFileReference>("TKXBackground").Props({
      KXBoolProp("Fixed", &T::Fixed, &T::SetFixed),
  });
  return Info;
}

const TKXClassInfo& TKXForm::StaticClassInfo() {
  using T = TKXForm;
  static const TKXClassInfo Info = KXClass<T, TKXBaseHTMLForm>("TKXForm").Props({
      KXBoolProp("LeftToRight", &T::LeftToRight, &T::SetLeftToRight),
      KXBoolProp("BrowserSecurityCheck", &T::BrowserSecurityCheck, &T::SetBrowserSecurityCheck),
      KXComponentProp("ActiveControl", &T::ActiveControlRef, &T::SetActiveControlRef),
      KXStringsProp("JavaScript", &T::FJavaScript),
      KXObjectProp("Background", &T::FBackground),
      KXBoolProp("HandleTabs", &T::HandleTabs, &T::SetHandleTabs),
      KXEventProp("OnDefaultAction", &T::OnDefaultAction),
      KXBoolProp("LockUntilLoaded", &T::LockUntilLoaded, &T::SetLockUntilLoaded),
      KXBoolProp("LockOnSubmit", &T::LockOnSubmit, &T::SetLockOnSubmit),
      KXObjectProp("StyleSheet", &T::FStyleSheet),
      KXStringProp("Theme", &T::Theme, &T::SetTheme),
      KXBoolProp("XPTheme", &T::XPTheme, &T::SetXPTheme),
      KXComponentProp("LayoutMgr", &T::LayoutMgr, &T::SetLayoutMgr),
      KXBoolProp("ShowHint", &T::ShowHint, &T::SetShowHint),
      KXBoolProp("ServerOnResize", &T::ServerOnResizeValue, &T::SetServerOnResize),
      KXEventProp("OnResize", &T::OnResize),
  });
  return Info;
}

TKXForm::TKXForm(TKXComponent* AOwner) : TKXBaseHTMLForm(AOwner) {
  FSupportedBrowsers = kKXDefaultSupportedBrowsers;
  if (TKXApplication* S = CurrentSession()) FSupportedBrowsers = S->Controller().SupportedBrowsers();
}

TKXRenderRequest TKXForm::RenderRequest() {
  TKXRenderRequest R;
  TKXApplication* S = WebApplication();
  if (!S) return R;
  const IKXServerController& C = S->Controller();
  R.Browser = S->Browser();
  R.PartialUpdate = S->IsPartialUpdate();
  R.CallBack = S->IsCallBack();
  R.Tracking = C.SessionTrackingMethod();
  if (!C.CharSet().empty()) R.CharSet = C.CharSet();
  if (C.DebugHTML()) R.LineEnd = "\r\n";
  R.AppURLBase = S->AppURLBase();
  R.FilesURL = S->FilesURL();
  R.SessionID = S->AppID();
  R.TrackID = S->TrackID();
  R.Terminated = S->Terminated();
  R.PageTransitions = C.PageTransitions() && S->Request() && S->Request()->UserAgent().find("MSIE 5") == std::string::npos;
  if (auto* Active = dynamic_cast<IKXForm*>(S->ActiveSessionForm())) R.FirstFileControl = Active->FirstVisibleFileControl();
  return R;
}

// The page context of a render or a submission: made once, with the request values, and kept
// until the render ends.
TKXPageContext40& TKXForm::PageContextForRender() {
  if (!FPageContext) {
    FPageContext = std::make_unique<TKXPageContext40>(WebApplication(), RenderRequest());
    FPageContext->SetServerResize(FDoResizePrediction);
    FPageContext->SetProgressIndicator(FProgressIndicator);
    FJavaScriptOnce.clear();
  }
  return *FPageContext;
}

void TKXForm::AddNewWindowCode(const std::string& ACode, bool AUpdate) {
  if (!FPageContext)
    AddToInitProc(ACode);
  else if (AUpdate)
    FPageContext->AddToUpdateInitProcNewWindowCode(ACode);
  else
    FPageContext->AddToInitProcNewWindowCode(ACode);
}

TKXForm::~TKXForm() {
  // Controls tell the form when they go (ActiveControl): free them while the form is whole.
  DestroyComponents();
}

void TKXForm::Loaded() {
  TKXBaseHTMLForm::Loaded();
  if (FStyleSheet.Empty())
    if (const IKXServerController* C = Controller()) FStyleSheet.Assign(C->StyleSheet());
}

void TKXForm::Notification(TKXComponent* AComponent, TKXOperation AOperation) {
  TKXBaseHTMLForm::Notification(AComponent, AOperation);
  if (AOperation != opRemove) return;
  if (AComponent == FActiveControl) FActiveControl = nullptr;
  if (AComponent == FProgressIndicator) FProgressIndicator = nullptr;
  if (AComponent == FLayoutMgr) FLayoutMgr = nullptr;
  FRealTabOrderList.erase(std::remove(FRealTabOrderList.begin(), FRealTabOrderList.end(), AComponent),
                          FRealTabOrderList.end());
}

void TKXForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (Loading()) return TKXBaseHTMLForm::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) {
    FLeft = ALeft;
    FTop = ATop;
    return;
  }
  TKXBaseHTMLForm::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (OnResize) OnResize(this);
  AlignControls();
}

void TKXForm::SetActiveControl(TKXComponent* AControl) {
  if (AControl == FActiveControl) return;
  if (FActiveControl) RemoveFreeNotification(FActiveControl);
  FActiveControl = AControl;
  FActiveControlChanged = true;
  if (AControl) FreeNotification(AControl);
}

void TKXForm::SetActiveControlRef(TKXCustomControl* AControl) { SetActiveControl(AControl); }
TKXCustomControl* TKXForm::ActiveControlRef() const { return dynamic_cast<TKXCustomControl*>(FActiveControl); }

void TKXForm::SetStyleSheet(const TKXFileReference& AValue) {
  if (TKXApplication* S = WebApplication(); S && S->IsPartialUpdate()) throw EKXException(kPartialUnsupported);
  FStyleSheet.Assign(AValue);
}

void TKXForm::SetProgressIndicator(TKXComponent* AValue) {
  FProgressIndicator = AValue;
  if (AValue) FreeNotification(AValue);
}

void TKXForm::SetLayoutMgr(TKXContainerLayout* AValue) {
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

void TKXForm::DoDefaultAction(TKXComponent* ASender) {
  if (OnDefaultAction) OnDefaultAction(ASender ? ASender : this);
}

std::string TKXForm::TextToHTMLStringLiteral(const std::string& AText) { return ::TextToHTMLStringLiteral(AText); }

// ---------------------------------------------------------------------------------------------
// Containers

TKXContainerContext* TKXForm::MakeContainerContext(TKXApplication* AWebApplication) {
  return FContainerImplementation->MakeContainerContext(AWebApplication, FLayoutMgr, this);
}

void TKXForm::SetContainerContext(TKXContainerContext* AContext) {
  FContainerImplementation->SetContainerContext(AContext, FLayoutMgr);
}

void TKXForm::RenderChildren(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) {
  FContainerImplementation->RenderChildren(AContainerContext, APageContext,
                                           [this](TKXComponent40Context& AContext) { ContainerHook(AContext); });
}

void TKXForm::ContainerHook(TKXComponent40Context& AContext) {
  KXFrameControlTag(AContext, true);
  TKXApplication* S = AContext.WebApplication();
  if (S && S->Terminated()) return;
  if (IKXHTML40Component* Html40 = AContext.Faces().Html40) Html40->RenderScripts(AContext);
}

bool TKXForm::AcceptsHiddenComponent(TKXComponent*) { return FUpdateMode == umPartial; }

void TKXForm::BuildRealTabOrderList() {
  FRealTabOrderList.clear();
  std::function<void(IKXBaseContainer&)> Walk = [&](IKXBaseContainer& AContainer) {
    // The container knows the faces of its components (found by address here); a component it
    // does not list is asked.
    using TFacesOf = std::vector<std::pair<TKXComponent*, const TKXComponentFaces*>>;
    const TKXScratch<TFacesOf> Lent;
    TFacesOf& FacesOf = *Lent;
    FacesOf.clear();
    for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
      const TKXComponentFaces& Faces = AContainer.ComponentFaces(I);
      FacesOf.emplace_back(Faces.Component, &Faces);
    }
    std::sort(FacesOf.begin(), FacesOf.end());   // the first of equal addresses first, as a search finds it
    for (TKXComponent* C : AContainer.TabOrderList()) {
      const auto It = std::lower_bound(FacesOf.begin(), FacesOf.end(), C, [](const auto& E, TKXComponent* K) { return E.first < K; });
      const TKXComponentFaces* F = It != FacesOf.end() && It->first == C ? It->second : nullptr;
      const TKXComponentFaces Asked = F ? TKXComponentFaces() : TKXComponentFaces(C);
      if (!F) F = &Asked;
      if (F->TabOrder && F->TabOrder->HasTabOrder()) FRealTabOrderList.push_back(C);
      if (F->Container) Walk(*F->Container);
    }
  };
  Walk(*this);
}

int TKXForm::RealTabIndexOf(TKXComponent* AControl) const {
  auto It = std::find(FRealTabOrderList.begin(), FRealTabOrderList.end(), AControl);
  return It == FRealTabOrderList.end() ? -1 : static_cast<int>(It - FRealTabOrderList.begin());
}

std::string TKXForm::FirstVisibleFileControl() {
  std::vector<TKXComponent*> Files;
  CollectFileControls(*this, Files);
  return Files.empty() ? std::string() : HTMLNameOf(Files.front());
}

std::string TKXForm::FileSubmissionScript() {
  std::vector<TKXComponent*> Files;
  CollectFileControls(*this, Files);
  if (Files.empty()) return {};
  std::map<std::string, TKXComponent*> Sorted;
  for (TKXComponent* F : Files) Sorted.emplace(HTMLNameOf(F), F);
  TKXApplication* S = WebApplication();
  const IKXServerController* C = Controller();
  const TKXSessionTrackingMethod Tracking = C ? C->SessionTrackingMethod() : tmURL;
  const std::string Base = S ? S->InternalURLBase() : std::string();
  std::string Script = "var file=0;\r\nfunction SubmitNextFile(AName,AParam){\r\n";
  int I = 0;
  for (const auto& [N, F] : Sorted) {
    Script += "if (file==" + std::to_string(I++) + "){" + "\r\n" + N +
              ".document.forms[0].KX_MainPageSubmitControl.value=AName;\r\n" + N +
              ".document.forms[0].KX_MainPageSubmitControlParam.value=AParam;\r\n";
    const std::string Status = dynamic_cast<IKXFileControl*>(F)->AsyncStatusScript();
    if (!Status.empty()) Script += Status + ";";
    if (Tracking == tmHidden)
      Script += N + ".document.forms[0].KX_TrackID_.value=(file+GTrackID);\r\n";
    else
      Script += N + ".document.forms[0].action=\"" + Base + "/upload/\"+(file+GTrackID)+\"/\"+GAppID;\r\n";
    Script += N + ".document.forms[0].submit();\r\n} else ";
  }
  return Script + "{ SubmitClickConfirm(AName,AParam,false,\"\");}\r\nfile++;return false;\r\n}";
}

std::string TKXForm::ResizeScript(const TKXRenderRequest& ARequest) {
  std::string S;
  const std::string& EOL = ARequest.LineEnd;
  const TKXBrowser B = ARequest.Browser;
  for (int I = 0; I < KXComponentsCount(); ++I) {
    TKXComponent* C = Component(I);
    auto* Control = dynamic_cast<IKXHTML40Control*>(C);
    auto* Html40 = dynamic_cast<IKXHTML40Component*>(C);
    auto* Base = dynamic_cast<IKXBaseControl*>(C);
    if (Control && Html40 && Base && Html40->DoRefreshControl() && Base->GetVisible()) {
      const std::string N = HTMLNameOf(C);
      S += EOL + "var lRect = " + "new parent.Rect(" + std::to_string(Control->GetHTMLLeft(B)) + ", " +
           std::to_string(Control->GetHTMLTop(B)) + ", " + std::to_string(Control->GetHTMLWidth(B)) + ", " +
           std::to_string(Control->GetHTMLHeight(B)) + ");" + EOL + "KXTop()." + N + "KXCL.SetRect(lRect);" + EOL +
           "KXTop()." + N + "KXCL.Rect = KXTop().CopyRect(lRect);" + EOL;
    }
    if (auto* Child = dynamic_cast<IKXHTML40Container*>(C)) S += EOL + Child->ResizeScript(ARequest);
  }
  return S;
}

// ---------------------------------------------------------------------------------------------
// Rendering

TKXXMLTag* TKXForm::RenderAsync(TKXComponent40Context*) {
  try {
    auto* Tag = new TKXXMLTag("control");
    Tag->AddStringParam("id", Name());
    Tag->AddStringParam("type", "KXFORM");
    for (int I = 0; I < FHiddenFields.Count(); ++I) {
      TKXMarkupLanguageTag* Field = Tag->Contents().AddTag("hiddenfield");
      Field->AddStringParam("id", FHiddenFields.Names(I));
      Field->Contents().AddText("<![CDATA[" + FHiddenFields.ValueFromIndex(I) + "]]>");
    }
    return Tag;
  } catch (...) {
    return nullptr;
  }
}

std::string TKXForm::AddSubmitIFrame(TKXRenderStream* AStream) {
  TKXApplication* S = WebApplication();
  TKXPageContext40& PC = *FPageContext;
  const std::string& EOL = PC.LineEnd();
  std::string Doc = "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=" + PC.Request().CharSet + "\">" + EOL +
                    "<script type=\"text/javascript\" src=\"" + PC.InternalFilesBase() + "/js/KXPartialUpdate.js_" +
                    kKXVersion + "\"></script>" + EOL + "<script>" + EOL + "function updateControls() {" + EOL +
                    PC.UpdateControlsProc() + "}" + EOL + "function init() { " + EOL + "updateControls();" + EOL;
  if (!PC.UpdateControlsProc().empty())
    Doc += "KXTop().InitRects(" + std::to_string(FWidth) + ", " + std::to_string(FHeight) + ");" + EOL +
           "KXTop().InitKXCLObjects();" + EOL;
  Doc += PC.UpdateInitProc() + EOL;
  if (!PC.UpdateControlsProc().empty() && !(FLayoutMgr && FLayoutMgr->IsTemplateProcessor()))
    Doc += "KXTop().Body_OnResize();" + EOL;
  Doc += "KXTop().GSubmitting=false;" + EOL + "KXTop().ValidClick=true;" + EOL + "}" + EOL + "</script>" + EOL +
         "</head><body onload=\"init()\">";
  Doc += PC.FormTag().Render();
  Doc += EOL + "</body>" + EOL + "</html>";
  if (AStream) {
    AStream->WriteString(Doc);
    return {};
  }
  // A fresh file per page: the browser must never load a cached submit document.
  static std::atomic<unsigned> GCounter{0};
  const std::string FileName = "SubmitFrame" + std::to_string(S ? S->TrackID() : 0) + "_" +
                               std::to_string(++GCounter) + ".html";
  if (S) {
    std::ofstream Out(S->UserCacheDir() + "/" + FileName, std::ios::binary);
    Out << Doc;
  }
  TKXHTMLTag* Frame = PC.BodyTag().Contents().AddTag("IFRAME");
  Frame->AddStringParam("SRC", (S ? S->UserCacheURL() : std::string()) + FileName);
  Frame->AddStringParam("id", "SubmitFrame");
  Frame->AddStringParam("style", "position:absolute;left:-1000px;top:-1000px");
  return FileName;
}

void TKXForm::RenderCallBack() {
  TKXApplication* S = WebApplication();
  FAsyncAnswer = {};
  if (!FPageContext) FPageContext = std::make_unique<TKXPageContext40>(S, RenderRequest());
  TKXContainerContext* CC = MakeContainerContext(S);
  SetContainerContext(CC);
  // The changed controls, depth-first through regions, each container's in tab order.
  std::vector<std::unique_ptr<TKXXMLTag>> Elements;
  std::function<void(IKXBaseContainer&)> Collect = [&](IKXBaseContainer& AContainer) {
    std::vector<std::pair<int, TKXComponent*>> Listed;
    for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
      TKXComponent* C = AContainer.Component(I);
      auto* Control = dynamic_cast<IKXBaseControl*>(C);
      if (Control && !Control->GetVisible() && !AContainer.RenderInvisibleControls() && !AContainer.AcceptsHiddenComponent(C))
        continue;
      auto* T = dynamic_cast<IKXTabOrder*>(C);
      Listed.emplace_back(T && T->HasTabOrder() ? T->GetTabOrder() : 0, C);
    }
    std::stable_sort(Listed.begin(), Listed.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    for (const auto& Entry : Listed) {
      TKXComponent* C = Entry.second;
      if (auto* Child = dynamic_cast<IKXBaseContainer*>(C)) {
        Collect(*Child);
        continue;
      }
      auto* Html40 = dynamic_cast<IKXHTML40Component*>(C);
      if (!Html40 || !Html40->DoRefreshControl()) continue;
      auto* Context = new TKXComponent40Context(C, CC, FPageContext.get());
      TKXXMLTag* Element = Html40->RenderAsyncComponent(*Context);
      CC->AddComponent(Context, nullptr, true);   // the container context owns it from here
      if (Element) Elements.emplace_back(Element);
    }
  };
  Collect(*this);
  if (std::unique_ptr<TKXXMLTag> Own{RenderAsync(nullptr)}) FAsyncAnswer.Updates.push_back(Own->Render());
  for (const auto& E : Elements) FAsyncAnswer.Updates.push_back(E->Render());
  for (const auto& Tag : CC->MarkupTags()) FAsyncAnswer.Updates.push_back(Tag->Render());
  FAsyncAnswer.Execute = FInitProc;
}

void TKXForm::GenerateForm(TKXRenderStream& AStream) {
  TKXApplication* S = WebApplication();
  struct TAfterRender {
    TKXForm& Form;
    TKXRenderStream& Stream;
    const int64_t Start;
    ~TAfterRender() {
      try {
        if (const int64_t Written = Stream.Size() - Start; Written > 0) Form.FLastPageSize = static_cast<size_t>(Written);
      } catch (...) {
      }
      Form.FInitProc.clear();
      try {
        Form.DoAfterRender();
      } catch (...) {
      }
      Form.FPageContext.reset();
      Form.FRealTabOrderList.clear();
    }
  } AfterRender{*this, AStream, AStream.Size()};
  if (S && S->IsCallBack()) return RenderCallBack();
  // Pages of one form are of about the same size: room for the last one saves regrowing.
  AStream.Reserve(FLastPageSize);

  const IKXServerController* C = Controller();
  BuildRealTabOrderList();
  TKXPageContext40& PC = PageContextForRender();
  const std::string& EOL = PC.LineEnd();
  const TKXSessionTrackingMethod Tracking = PC.Request().Tracking;
  const TKXBrowser Browser = PC.Browser();
  const bool Partial = PC.Request().PartialUpdate;
  const std::string& AppURLBase = PC.Request().AppURLBase;

  std::string Meta;
  FireOnRender();
  PC.SetTitle(TextToHTML(FTitle, true, false));
  PC.SetURLBase(AppURLBase);
  if (FLockUntilLoaded) {
    if (Partial) {
      PC.AddToUpdateInitProcPageUnlockCode("KXTop().ReleaseLock();");
      PC.AddToUpdateInitProcPageUnlockCode("KXTop().eventProcessing = false;");
    } else {
      PC.AddToInitProcPageUnlockCode("ReleaseLock();");
    }
  }
  PC.AddToInitProc("StaticInit();");
  PC.AddToInitProc(FLockOnSubmit ? "GActivateLock = true;" : "GActivateLock = false;");
  PC.AddToInitProc("InitRects(" + std::to_string(FWidth) + ", " + std::to_string(FHeight) + ");");
  PC.AddToInitProc("InitKXCLObjects();");
  PC.AddScriptFile("/js/KXCommon.js");
  PC.AddScriptFile("/js/KXCL.js");
  PC.AddScriptFile("/js/KXAjax.js");
  if (const std::string Files = FileSubmissionScript(); !Files.empty()) PC.AddToJavaScriptOnce(Files);

  TKXContainerContext* CC = MakeContainerContext(S);
  SetContainerContext(CC);
  RenderChildren(*CC, PC);
  CC->LayoutManager()->ProcessControls(*CC, PC);

  const std::string FilesURL = S ? S->FilesURL() : std::string();
  auto AddContentFile = [&](const std::string& AEntry) {
    if (AEntry.empty()) return;
    if (AEntry.size() >= 3 && UpperCase(AEntry.substr(AEntry.size() - 3)) == ".JS")
      PC.AddPreScriptFile(FilesURL + AEntry);
    else
      PC.AddLinkFile(FilesURL + AEntry);
  };
  if (C)
    for (const std::string& F : C->ContentFiles()) AddContentFile(F);
  for (const std::string& F : FContentFiles) AddContentFile(F);

  std::unique_ptr<TKXHTMLTag> HiddenSubmit;
  if (FUpdateMode == umPartial) {
    HiddenSubmit = std::make_unique<TKXHTMLTag>("form");
    HiddenSubmit->AddStringParam("method", "POST");
    HiddenSubmit->AddStringParam("name", "HiddenSubmitForm");
    HiddenSubmit->AddStringParam("action", S ? S->ExecAction() : std::string());
    HiddenSubmit->AddStringParam("style", "position:absolute;left:-100000px;top:-100000px;visibility:hidden;display:none;");
  }
  TKXHTMLTag& FormTag = PC.FormTag();
  FormTag.AddStringParam("method", "POST");
  FormTag.AddStringParam("name", "SubmitForm");
  FormTag.AddStringParam("action", FFormAction);
  if (CC->ControlEncode() == ceMPFormData) FormTag.AddStringParam("enctype", "multipart/form-data");
  TKXHTMLTag& HiddenTarget = HiddenSubmit ? *HiddenSubmit : FormTag;
  for (int I = 0; I < FHiddenFields.Count(); ++I) {
    TKXHTMLTag* Input = HiddenTarget.Contents().AddTag("INPUT");
    Input->AddStringParam("TYPE", "HIDDEN");
    Input->AddStringParam("NAME", FHiddenFields.Names(I));
    Input->AddStringParam("ID", "HIDDEN_" + FHiddenFields.Names(I));
    Input->AddIntegerParam("SIZE", -1);
    Input->AddStringParam("VALUE", TextToHTMLStringLiteral(FHiddenFields.ValueFromIndex(I)));
  }
  auto Hidden = [](TKXHTMLTag& ATarget, const std::string& AName, const std::string& AValue) {
    TKXHTMLTag* Input = ATarget.Contents().AddTag("INPUT");
    Input->AddStringParam("TYPE", "HIDDEN");
    Input->AddStringParam("NAME", AName);
    Input->AddStringParam("VALUE", AValue);
  };
  Hidden(FormTag, "KX_Action", "");
  Hidden(FormTag, "KX_ActionParam", "");
  Hidden(FormTag, "KX_FormName", Name());
  Hidden(FormTag, "KX_FormClass", ClassName());
  const std::string ID = S ? S->AppID() : std::string();
  const std::string Track = std::to_string(S ? S->TrackID() : 0);
  if (Tracking == tmHidden) {
    Hidden(FormTag, "KX_SessionID_", ID);
    if (HiddenSubmit) Hidden(*HiddenSubmit, "KX_SessionID_", ID);
  }
  if (FDoResizePrediction) {
    Hidden(FormTag, "KX_width", "");
    Hidden(FormTag, "KX_height", "");
  }
  if (Tracking == tmCookie || Tracking == tmHidden) {
    Hidden(FormTag, "KX_TrackID_", Track);
    if (HiddenSubmit) Hidden(*HiddenSubmit, "KX_TrackID_", Track);
  }

  if (Partial) {
    PC.AddToUpdateInitProc(FInitProc);
    if (!(C && C->HistoryEnabled())) PC.AddToUpdateInitProc("history.go(1);");
    if (FActiveControlChanged && FActiveControl) {
      PC.AddToUpdateInitProcFocusCode("KXTop().GActiveControl=\"" + HTMLNameOf(FActiveControl) + "\";");
      FActiveControlChanged = false;
    }
    PC.AddToUpdateInitProcFocusCode(
        "if( KXTop().GActiveControl ) { var c = KXTop().FindFocus(KXTop().GActiveControl); if(c) { try { c.focus(); } "
        "catch(e) {} } }");
    AddSubmitIFrame(&AStream);
    return;
  }

  Meta = std::string("<META HTTP-EQUIV=\"MSThemeCompatible\" Content=\"") + (FXPTheme ? "yes" : "no") + "\">" +
         "<META Name=\"GENERATOR\" content=\"Kexalo v" + kKXVersion + "\">";
  if (C && C->HTMLHeaders().Count() > 0) Meta += C->HTMLHeaders().Text();
  if (C && S && C->SpecialDeviceSupport().Contains(S->BrowserSubType()) &&
      (S->BrowserSubType() == brsIpod || S->BrowserSubType() == brsIphone))
    Meta += "<meta name=\"viewport\" content=\"width=320; initial-scale=1.0; maximum-scale=1.0; user-scalable=0;\"/>";
  if (!(C && C->EnableImageToolbar())) Meta += EOL + "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";
  if (C) {
    const TKXFileReference& NoJS = C->NoJavaScriptSupport();
    std::string URL = NoJS.URL();
    if (URL.empty() && !NoJS.Filename().empty()) URL = NoJS.Location(FilesURL, C->FilesDir());
    if (!URL.empty()) Meta += EOL + "<NOSCRIPT><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=" + URL + "\"></NOSCRIPT>";
  }
  if (Tracking != tmURL) Meta += EOL + "<META HTTP-EQUIV=\"Expires\" CONTENT=\"-1\">";
  if (C && !FStyleSheet.Empty()) {
    const std::string Location = FStyleSheet.Location(FilesURL, C->FilesDir());
    if (!Location.empty())
      Meta += "<div id=\"submitform_stylesheet\"><link rel=\"stylesheet\" type=\"text/css\" href=\"" + Location +
              "\"></div>" + EOL;
  }
  if (Browser == brIE)
    PC.AddScriptFile("/js/KXExplorer.js");
  else if (Browser == brGecko || Browser == brSafari || Browser == brChrome)
    PC.AddScriptFile("/js/KXGecko.js");
  else if (Browser == brOpera)
    PC.AddScriptFile("/js/KXOpera.js");

  TKXHTMLTag& Body = PC.BodyTag();
  if (FLockUntilLoaded || FLockOnSubmit) {
    TKXHTMLTag* Script = Body.Contents().AddTag("script");
    Script->AddStringParam("type", "text/javascript");
    const std::string Gif = C && C->ShowLoadingAnimation() ? PC.InternalFilesBase() + "/gfx/loading.gif" : std::string();
    Script->Contents().AddText("createKXLocker(\"" + Gif + "\");");
    if (FLockUntilLoaded) Script->Contents().AddText("ActivateLock();");
  }
  if (!FLeftToRight) Body.AddStringParam("DIR", "RTL");
  Body.AddColor("BGCOLOR", FBGColor);
  if (C && !FBackground.Empty()) Body.AddStringParam("BACKGROUND", FBackground.Location(FilesURL, C->FilesDir()));
  if (FBackground.Fixed()) Body.AddStringParam("BGPROPERTIES", "fixed");
  Body.AddColor("Text", FTextColor);
  Body.AddColor("Link", FLinkColor);
  Body.AddColor("VLink", FVLinkColor);
  Body.AddStringParam("TOPMARGIN", "0");
  Body.AddStringParam("LEFTMARGIN", "0");
  Body.AddStringParam("OnLoad", "Initialize()");
  Body.AddStringParam("OnUnload", "ReleaseKXCL()");
  Body.AddStringParam("OnBlur", "GSubmitting = false;");
  if (FDoResizePrediction && OnResize) {
    TKXHTMLTag* Frame = Body.Contents().AddTag("IFRAME");
    Frame->AddStringParam("ID", "onresize");
    Frame->AddStringParam("style", "position:absolute;left:-1000px;top:-1000px");
    if (Browser == brIE) Frame->AddStringParam("src", "javascript:false;");
  }
  if (auto* Progress = dynamic_cast<IKXProgressIndicator*>(FProgressIndicator)) {
    Body.Contents().AddText(Progress->RenderIndicatorMarkup(PC));
    for (const TProgressScriptText& P : kProgressScripts) {
      const std::string Text = Progress->ProgressScriptText(P.Script);
      Body.Contents().AddText(std::string("<script language=\"Javascript\">var ") + P.Flag +
                              (Text.empty() ? "=false;</script>" : std::string("=true; ") + P.Function + Text + "}</script>"));
    }
  } else {
    Body.Contents().AddText("<script language=\"Javascript\">var PreScript=false;PostScript=false;</script>");
    Body.Contents().AddText("<script language=\"Javascript\">var PreAsyncScript=false;PostAsyncScript=false;</script>");
  }
  if (FUpdateMode == umPartial) AddSubmitIFrame(nullptr);
  PC.AddToInitProc("if (document.body.leftMargin < 0 && document.body.topMargin < 0) {" + EOL +
                   "  document.body.leftMargin = 0;" + EOL + "  document.body.topMargin = 0;" + EOL + "}");
  if (OnDefaultAction)
    PC.AddToJavaScriptOnce("function FormDefaultSubmit()" + EOL + "{ " + EOL + "   var i;" + EOL +
                           "   for (i = 0; i < event.srcElement.all.length; i++) {" + EOL +
                           "     if (event.srcElement.all[i].type == \"submit\") {" + EOL +
                           "       SubmitClickConfirm(event.srcElement.all[i].name, \"default\", true, \"\");" + EOL +
                           "       return false;" + EOL + "     }" + EOL + "   }" + EOL +
                           "    SubmitClickConfirm(\"\", \"default\", true, \"\");" + EOL + "    return false;" + EOL + "}");
  else
    PC.AddToJavaScriptOnce("function FormDefaultSubmit()" + EOL + "{return false;}");
  PC.AddToJavaScriptOnce(std::string("var GIsPartialUpdate=") + (FUpdateMode == umPartial ? "true" : "false") + ";");
  PC.AddToJavaScriptOnce("var GOnResizetimeout=" +
                         (C && C->ServerResizeTimeout() > 0 ? std::to_string(C->ServerResizeTimeout()) : std::string("1000")) +
                         ";");
  PC.AddToJavaScriptOnce("var GURLBase=\"" + AppURLBase + "\";" + EOL + "var GAppID=\"" + ID + "\";" + EOL +
                         "var GTrackID=" + Track + ";" + EOL);
  PC.AddToJavaScriptOnce("function KXTop(){return window;}");
  PC.AddToJavaScriptOnce("var GActiveControl = null;");
  if (FActiveControl) {
    PC.AddToInitProcFocusCode("GActiveControl=\"" + HTMLNameOf(FActiveControl) + "\";");
    PC.AddToInitProcFocusCode(
        "if (GActiveControl) { var xElem; xElem = FindFocus(GActiveControl); if (xElem != null) { xElem.focus();}}");
  }
  if (FDoResizePrediction && OnResize) {
    const std::string URL = Tracking == tmCookie ? AppURLBase + "/RESIZE" + "?KX_TrackID_=" + Track
                                                 : AppURLBase + "/RESIZE/" + Track + "/" + ID + "?velmor";
    PC.AddToJavaScriptOnce("var GResizeURL=\"" + URL + "\";");
  }
  if (!(C && C->HistoryEnabled()) || CC->ControlEncode() == ceMPFormData) PC.AddToJavaScriptOnce("history.go(1);");
  std::string Own;
  if (FJavaScript.Count() > 0) Own += EOL + FJavaScript.Text();
  if (!FJavaScriptOnce.empty()) Own += EOL + FJavaScriptOnce;
  PC.AddToJavaScriptOnce(Own);
  TKXContainerLayout* Layout = CC->LayoutManager();
  Layout->SetHeadContent(FExtraHeader.Text() + EOL + PC.ExtraHeader().Text() + EOL + Meta + PC.RenderScriptFiles());
  PC.AddToInitProc(FInitProc);
  PC.FinalizeContext();
  if (HiddenSubmit) {
    Body.Contents().AddTagAsObject(HiddenSubmit.release());
    Body.Contents().AddText("\r\n");
  }
  Layout->Process(AStream, *CC, PC);
  Layout->SetContainer(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Submission

namespace {

const char* const kNoSubmitComponent = "Cannot find submit component.";
const char* const kNoSubmitHandler = "Submit control (%s) does not have a handler.";
const char* const kControlsFailed = "The following exception%s occured\r\n%s";

// Reads a posted field and takes it out of the list (names compared as they are).
std::string TakeParam(TSkStringList& AParams, const std::string& AName) {
  const int At = AParams.IndexOfName(AName);
  if (At < 0) return {};
  std::string Value = AParams.ValueFromIndex(At);
  AParams.Delete(At);
  return Value;
}

// Only what the handlers change afterwards is to be marked for the next update.
void ClearRefreshMarks(IKXBaseContainer& AContainer) {
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    TKXComponent* C = AContainer.Component(I);
    if (auto* H = dynamic_cast<IKXHTML40Component*>(C)) H->SetDoRefreshControl(false);
    if (auto* Sub = dynamic_cast<IKXBaseContainer*>(C)) ClearRefreshMarks(*Sub);
  }
}

// Components named AName in AContainer and its visible child containers; a container whose own
// lookup hits gives only that one.
void CollectByName(IKXBaseContainer& AContainer, const std::string& AName, std::vector<TKXComponent*>& AHits) {
  if (TKXComponent* Hit = AContainer.FindComponentByName(AName)) {
    AHits.push_back(Hit);
    return;
  }
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    TKXComponent* C = AContainer.Component(I);
    auto* Sub = dynamic_cast<IKXBaseContainer*>(C);
    if (!Sub) continue;
    if (auto* W = dynamic_cast<TKXWinControl*>(C); W && !W->Visible()) continue;
    CollectByName(*Sub, AName, AHits);
  }
}

// Input controls in AContainer and its visible child containers that say a posted field is
// theirs although it is not named after them (a region's splitter field, <HTMLName>_data).
void CollectOwners(IKXBaseContainer& AContainer, const std::string& AName, std::vector<TKXComponent*>& AHits) {
  for (int I = 0; I < AContainer.KXComponentsCount(); ++I) {
    TKXComponent* C = AContainer.Component(I);
    if (auto* W = dynamic_cast<TKXWinControl*>(C); W && !W->Visible()) continue;
    if (auto* Input = dynamic_cast<IKXInputControl*>(C); Input && Input->OwnsInputName(AName)) AHits.push_back(C);
    if (auto* Sub = dynamic_cast<IKXBaseContainer*>(C)) CollectOwners(*Sub, AName, AHits);
  }
}

std::string ActiveFormClassName(TKXApplication* ASession) {
  TKXBaseForm* Active = ASession ? ASession->ActiveForm() : nullptr;
  return Active ? static_cast<TKXComponent*>(Active)->ClassName() : std::string();
}

std::string Format1(const char* AFormat, const std::string& AArg) {
  std::string S = AFormat;
  const size_t At = S.find("%s");
  return At == std::string::npos ? S : S.replace(At, 2, AArg);
}

}  // namespace

void TKXForm::ApplyPostedValues() {
  TSkStringList& P = FParams;
  for (int I = 0; I < FHiddenFields.Count(); ++I) {
    const std::string Name = FHiddenFields.Names(I);
    const int At = P.IndexOfName(Name);
    if (At < 0 || P.ValueFromIndex(At).empty()) continue;
    FHiddenFields[I] = Name + "=" + P.ValueFromIndex(At);
    P.Delete(At);
  }
  // One line per name: a field posted more than once reaches its control joined with ",".
  TSkStringList Joined;
  for (int I = 0; I < P.Count(); ++I) {
    const std::string Name = P.Names(I);
    const int At = Joined.IndexOfName(Name);
    if (At < 0)
      Joined.Add(P[I]);
    else
      Joined[At] += "," + P.ValueFromIndex(I);
  }
  P = Joined;
  TakeParam(P, "KX_FormName");
  TakeParam(P, "KX_FormClass");

  struct TPair {
    TKXComponent* Component;
    int Line;
  };
  std::vector<TPair> Pairs;
  for (int I = 0; I < P.Count(); ++I) {
    std::vector<TKXComponent*> Hits;
    CollectByName(*this, UpperCase(P.Names(I)), Hits);
    if (Hits.empty()) CollectOwners(*this, P.Names(I), Hits);
    for (TKXComponent* C : Hits) {
      auto* Base = dynamic_cast<IKXBaseComponent*>(C);
      if (!Base || !Base->SupportsInput()) continue;
      if (auto* W = dynamic_cast<TKXWinControl*>(C); W && !W->Visible()) continue;
      if (std::any_of(Pairs.begin(), Pairs.end(), [C](const TPair& Q) { return Q.Component == C; })) continue;
      Pairs.push_back({C, I});
    }
  }
  std::vector<std::string> Failures;
  TKXApplication* S = WebApplication();
  for (const TPair& Pair : Pairs) {
    auto* Input = dynamic_cast<IKXInputControl*>(Pair.Component);
    if (!Input) continue;
    try {
      if (Input->Editable()) {
        Input->RestoreValue(P.ValueFromIndex(Pair.Line));
        if (IKXScriptRecorder* R = KXScriptRecorder())
          R->ValueRestored(ClassName(), P.Names(Pair.Line), P.ValueFromIndex(Pair.Line));
      }
      if (Input->ControlEncode() == ceMPFormData && S)
        Input->AssignUploadedFile(dynamic_cast<THTTPFile*>(S->FindFile(P.Names(Pair.Line))));
    } catch (const std::exception& E) {
      Failures.push_back("  " + Pair.Component->Name() + ": " + E.what());
    }
  }
  if (Failures.empty()) return;
  std::string Lines;
  for (size_t I = 0; I < Failures.size(); ++I) Lines += (I ? "\r\n" : "") + Failures[I];
  std::string Message = Format1(kControlsFailed, Failures.size() > 1 ? "s" : "");
  Message.replace(Message.find("%s"), 2, Lines);
  throw EKXException(Message);
}

TKXComponent* TKXForm::FindSubmitComponent(const std::string& AHTMLName) {
  if (TKXContainerContext* CC = ContainerContext())
    if (TKXComponent* C = CC->FindComponent(AHTMLName)) return C;
  std::vector<TKXComponent*> Hits;
  CollectByName(*this, UpperCase(AHTMLName), Hits);
  return Hits.empty() ? nullptr : Hits.front();
}

void TKXForm::ExecuteForm() {
  TKXApplication* S = WebApplication();
  if (S) PageContextForRender();
  ClearRefreshMarks(*this);
  TSkStringList& P = FParams;
  std::string Action = TakeParam(P, "KX_Action");
  const std::string ActionParam = TakeParam(P, "KX_ActionParam");
  if (P.IndexOfName("KX_width") >= 0 && P.IndexOfName("KX_height") >= 0) {
    const int W = StrToIntDef(P.Values("KX_width"), Width());
    const int H = StrToIntDef(P.Values("KX_height"), Height());
    SetBounds(0, 0, W, H);
    if (S) S->SetFormSize(W, H);
    TakeParam(P, "KX_width");
    TakeParam(P, "KX_height");
  }
  const std::string CallBack = P.Values("callback");
  if (!CallBack.empty()) Action = CallBack;
  if (Action.empty() && ActionParam.empty()) return;

  ApplyPostedValues();
  const bool Deferred = !P.Values("KX_MainPageSubmitControl").empty();
  // Callbacks have their own processing; a plain post never names one.
  if (!CallBack.empty()) return;
  bool Submitting = false;
  try {
    if (!Action.empty()) {
      TKXComponent* C = FindSubmitComponent(Action);
      if (!C) throw EKXException(kNoSubmitComponent);
      auto* Base = dynamic_cast<IKXBaseComponent*>(C);
      auto* Submit = dynamic_cast<IKXSubmitControl*>(C);
      if (!Base || !Base->SupportsSubmit() || !Submit)
        throw EKXException(Format1(kNoSubmitHandler, Base ? Base->HTMLName() : UpperCase(C->Name())));
      Submitting = true;
      auto* Control = dynamic_cast<TKXCustomControl*>(C);
      if (!Control || Control->Enabled()) {
        IKXScriptRecorder* R = KXScriptRecorder();
        const int Step = R ? R->SubmitStarted(ClassName(), Action, ActionParam) : 0;
        Submit->DoSubmit(ActionParam);
        if (R) R->SubmitEnded(Step, ActiveFormClassName(WebApplication()));
      }
    }
  } catch (const EKXAbort&) {
  }
  try {
    if ((Submitting && SameText(ActionParam, "default")) || (Action.empty() && !Deferred)) DoDefaultAction();
  } catch (const EKXAbort&) {
  }
}
