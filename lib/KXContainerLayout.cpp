#include "KXContainerLayout.h"

#include "KXApplication.h"
#include "KXBaseRenderContext.h"
#include "KXCustomControl.h"
#include "KXForm.h"
#include "KXGlobal.h"
#include "KXHTMLTag.h"
#include "KXRenderContext.h"
#include "KXServerControllerBase.h"
#include "KXStreams.h"
#include "KXTextEncoding.h"
#include "SkWebRequest.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXLayoutMgrForm>();

constexpr size_t kUpdatePiece = 128;      // characters per encoded piece of an update script
constexpr size_t kUpdateStatement = 4090; // longest string literal some browsers accept at once

bool IsHTMLLayoutContainer(IKXBaseContainer* AContainer) {
  return dynamic_cast<IKXHTML40Form*>(AContainer) || dynamic_cast<IKXHTML40Container*>(AContainer);
}

}  // namespace

std::string KXUpdateControlScript(const std::string& AHTMLName, const std::string& AText) {
  std::string Script = "l='";
  for (size_t At = 0; At < AText.size(); At += kUpdatePiece) {
    const std::string Piece = TextToJSStringLiteral(AText.substr(At, kUpdatePiece));
    if (Script.size() / kUpdateStatement != (Script.size() + Piece.size()) / kUpdateStatement) Script += "';\r\nl+='";
    Script += Piece;
  }
  return Script + "';\r\nKXUpdate('" + AHTMLName + "',l);\r\n";
}

const TKXClassInfo& TKXBaseLayoutComponent::StaticClassInfo() {
  using T = TKXBaseLayoutComponent;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TKXBaseLayoutComponent").Props({
      KXBoolProp("Enabled", &T::Enabled, &T::SetEnabled),
  });
  return Info;
}

const TKXClassInfo& TKXBaseContainerLayout::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXBaseContainerLayout, TKXBaseLayoutComponent>("TKXBaseContainerLayout");
  return Info;
}

bool TKXBaseContainerLayout::NoFormTag() const {
  if (!FContainer) return false;
  for (TKXWinControl* P = FContainer->ContainerObject()->Parent(); P; P = P->Parent())
    if (auto* HTML = dynamic_cast<IKXHTML40Container*>(P))
      if (TKXContainerLayout* L = HTML->LayoutMgr(); L && L->IsTemplateProcessor() && L->Able()) return true;
  return false;
}

const TKXClassInfo& TKXContainerLayout::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXContainerLayout, TKXBaseContainerLayout>("TKXContainerLayout");
  return Info;
}

std::string TKXContainerLayout::RenderStyle(TKXComponent*) { return {}; }

void TKXContainerLayout::ProcessControls(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) {
  for (int I = 0; I < AContainerContext.ComponentsCount(); ++I) {
    TKXComponent* C = AContainerContext.Components(I);
    ProcessControl(AContainerContext, APageContext, C);
    if (auto* Base = dynamic_cast<IKXBaseComponent*>(C))
      if (TKXHTMLTag* Tag = AContainerContext.FindTag(Base->HTMLName())) Base->DoHTMLTag(Tag);
  }
}

void TKXContainerLayout::ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                                        TKXComponent* AControl) {
  auto* Base = dynamic_cast<IKXBaseComponent*>(AControl);
  if (!Base) return;
  const std::string N = Base->HTMLName();
  TKXComponent40Context* Context = AContainerContext.FindContext(N);
  TKXHTMLTag* T = Context ? Context->HTMLTag() : nullptr;
  const bool Input = Base->SupportsInput();
  if (T) {
    if (T->Params().IndexOfName("id") < 0) T->AddStringParam("ID", N);
    if (Input && T->Params().IndexOfName("name") < 0) T->AddStringParam("NAME", N);
  }
  auto* Control = dynamic_cast<IKXBaseControl*>(AControl);
  const bool Visible = !Control || Control->GetVisible();
  TKXApplication* S = APageContext.WebApplication();
  if (T && Context && APageContext.UpdateMode() == umPartial) {
    if (!S || !S->IsPartialUpdate() || AContainerContext.UpdateTree()) {
      auto* Span = new TKXHTMLTag("SPAN");
      Span->AddStringParam("id", N + "_UPDATE");
      if (Visible) {
        Span->Contents().AddTagAsObject(Context->ReleaseHTMLTag(), true);
        Context->SetHTMLTag(T);   // rendering T writes the SPAN around it
      } else {
        Span->Contents().AddTag("span")->AddStringParam("id", N);
        Context->SetHTMLTag(Span);
      }
    } else {
      auto* Html40 = dynamic_cast<IKXHTML40Component*>(AControl);
      if (!Html40 || Html40->DoRefreshControl()) {
        TKXRenderStream Stream(rnInMemory);
        Base->RenderFinishedTag(*Context, Stream);
        APageContext.AddToUpdateControlsProc(KXUpdateControlScript(N, Stream.Extract()));
      }
    }
  }
  if (Input) {
    auto* InputControl = dynamic_cast<IKXInputControl*>(AControl);
    const bool Shown = Visible || (AContainerContext.LayoutManager() && FContainer && FContainer->RenderInvisibleControls());
    if (InputControl && Shown && InputControl->ControlEncode() == ceNone) {
      TSkStringList Names;
      InputControl->ListInputNames(Names);
      for (const std::string& Name : Names) APageContext.AppendHiddenInput(Name);
    }
  } else if (auto* Custom = dynamic_cast<TKXCustomControl*>(AControl); Custom && Custom->NeedsFormTag()) {
    APageContext.AppendHiddenInput(N);
  }
  if (Context) APageContext.AppendContext(*Context);
}

std::string TKXContainerLayout::GetHeadScripts(TKXPageContext40& APageContext) {
  const std::string& EOL = PageEOL();
  std::string S = "<script type=\"text/javascript\" src=\"" + APageContext.InternalFilesBase() + "/js/KXPreScript.js_" +
                  kKXVersion + "\"></script>" + EOL;
  S += APageContext.RenderPreScriptFiles() + APageContext.RenderLinkFiles();
  S += "<script type=\"text/javascript\">" + EOL + APageContext.JavaScript() + EOL + "function InitKXCLObjects() {" + EOL +
       APageContext.KXCLInitProc() + EOL + "}" + "\r\n" + "function Initialize() {" + EOL + APageContext.InitProcCode() +
       EOL + APageContext.OnReadyProcCode() + EOL + "}" + EOL + "</script>" + EOL;
  return S;
}

// ---------------------------------------------------------------------------------------------
// TKXLayoutMgrForm

const TKXClassInfo& TKXLayoutMgrForm::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXLayoutMgrForm, TKXContainerLayout>("TKXLayoutMgrForm");
  return Info;
}

TKXLayoutMgrForm::TKXLayoutMgrForm(TKXComponent* AOwner) : TKXContainerLayout(AOwner) {
  (void)GRegistered;
  FAllowFrames = true;
  FLayoutType = ltGrid;
}

std::string TKXLayoutMgrForm::RenderStyle(TKXComponent* AControl) {
  auto* Control = dynamic_cast<TKXCustomControl*>(AControl);
  if (!Control) return {};
  IKXBaseContainer* Parent = Control->ParentContainer();
  if (!Parent || !IsHTMLLayoutContainer(Parent) || !Control->StyleRenderOptions().RenderPosition) return {};
  return std::string(Control->StyleRenderOptions().RenderAbsolute ? "position:absolute;" : "position:relative;") +
         "left:" + std::to_string(Control->GetHTMLLeft()) + "px;" + "top:" + std::to_string(Control->GetHTMLTop()) + "px;";
}

void TKXLayoutMgrForm::ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                                      TKXComponent* AControl) {
  auto* Base = dynamic_cast<IKXBaseComponent*>(AControl);
  auto* Html40 = dynamic_cast<IKXHTML40Component*>(AControl);
  if (Base && Html40) {
    TKXComponent40Context* Context = AContainerContext.FindContext(Base->HTMLName());
    if (TKXHTMLTag* T = Context ? Context->HTMLTag() : nullptr) {
      if (T->Params().IndexOfName("class") < 0) T->AddStringParam("CLASS", Html40->RenderCSSClass(*Context));
      const std::string Class = T->Params().Values("class");
      if (Class == Base->HTMLName() + "CSS")
        APageContext.AddStyle("." + Class + " {" + Html40->RenderStyle(Context) + "}" + "\r\n");
      else
        T->AddStringParam("STYLE", Html40->RenderStyle(Context) + T->Params().Values("style"));
    }
  }
  TKXContainerLayout::ProcessControl(AContainerContext, APageContext, AControl);
}

void TKXLayoutMgrForm::ProcessControls(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) {
  TKXContainerLayout::ProcessControls(AContainerContext, APageContext);
  if (dynamic_cast<IKXHTML40Form*>(FContainer)) {
    APageContext.BodyTag().AddStringParam("onResize", "return Body_OnResize();");
    APageContext.AddToInitProc("Body_OnResize();");
  }
}

void TKXLayoutMgrForm::Process(TKXRenderStream& AStream, TKXContainerContext& AContainerContext,
                               TKXPageContext40& APageContext) {
  TKXRenderStream Controls(rnInMemory);
  const bool NoForm = NoFormTag();
  auto NewGroup = [NoForm] {
    auto G = std::make_unique<TKXHTMLTag>(NoForm ? "DIV" : "FORM");
    if (!NoForm) G->AddStringParam("onSubmit", "return FormDefaultSubmit();");
    return G;
  };
  std::unique_ptr<TKXHTMLTag> Group = NewGroup();
  auto Flush = [&] {
    if (Group->Contents().Empty()) return;
    Group->Render(Controls);
    Group = NewGroup();
  };
  auto Fresh = [&](IKXBaseComponent* ABase, TKXComponent40Context& AContext) {
    TKXRenderStream Own(rnInMemory);
    ABase->RenderFinishedTag(AContext, Own);
    Group->Contents().AddBuffer(Own);
  };
  try {
    for (int I = 0; I < AContainerContext.ComponentsCount(); ++I) {
      TKXComponent* C = AContainerContext.Components(I);
      auto* Base = dynamic_cast<IKXBaseComponent*>(C);
      TKXComponent40Context* Context = AContainerContext.Contexts(I);
      if (!Base || !Context) continue;
      const bool Posts = Base->SupportsInput() || Base->SupportsSubmit();
      if (dynamic_cast<IKXBaseContainer*>(C)) {
        Flush();
        // Regions are HTML containers: their markup goes straight into the page.
        if (Posts && !dynamic_cast<IKXHTML40Container*>(C))
          Fresh(Base, *Context);
        else if (Context->HTMLTag())
          Base->RenderFinishedTag(*Context, Controls);
      } else if (Context->HTMLTag()) {
        if (!Posts) {
          Flush();
          Base->RenderFinishedTag(*Context, Controls);
        } else {
          Fresh(Base, *Context);
        }
      }
    }
  } catch (...) {
    Flush();
    throw;
  }
  Flush();
  auto* Form = dynamic_cast<TKXForm*>(FContainer ? FContainer->ContainerObject() : nullptr);
  if (!Form) {
    AStream.WriteRenderStream(Controls);
    return;
  }
  const std::string& EOL = PageEOL();
  TKXServerControllerBase* Controller = GServerController();
  TKXApplication* S = APageContext.WebApplication();
  std::string Head;
  if (!APageContext.DocType().empty()) Head += APageContext.DocType() + "\r\n";
  const std::string CharSet = Controller && !Controller->CharSet().empty() ? Controller->CharSet() : "UTF-8";
  Head += "<html><head>" + EOL + "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=" + CharSet + "\">" + EOL +
          "<meta http-equiv=\"cache-control\" content=\"no-cache\">" + EOL +
          "<meta http-equiv=\"pragma\" content=\"no-cache\">" + EOL +
          " <meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\">" + EOL;
  if (!APageContext.Title().empty()) Head += "<title>" + APageContext.Title() + "</title>" + EOL;
  AStream.WriteString(Head);
  APageContext.StyleTag().Render(AStream);
  Head.clear();
  if (Controller && Controller->PageTransitions() && S && S->Request() &&
      S->Request()->UserAgent().find("MSIE 5") == std::string::npos)
    Head += "<meta http-equiv=\"Page-Enter\" content=\"blendTrans(Duration=0.25)\">" + EOL;
  Head += EOL + GetHeadScripts(APageContext) + FHeadContent + EOL + "</head>" + EOL;
  AStream.WriteString(Head);
  if (!(S && S->Terminated()) && Form->UpdateMode() != umPartial) APageContext.FormTag().Render(Controls);
  APageContext.BodyTag().Contents().AddBuffer(Controls);
  APageContext.BodyTag().Render(AStream);
  AStream.WriteString("</html>" + EOL);
}
