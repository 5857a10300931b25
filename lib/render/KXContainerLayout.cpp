#include "render/KXContainerLayout.h"

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXFont.h"
#include "core/KXGlobal.h"
#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "render/KXWinControl.h"
#include "core/KXScratch.h"
#include "core/KXStreams.h"
#include "core/KXTextEncoding.h"
#include "SkStrUtils.h"
#include "SkWebRequest.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXLayoutMgrForm>();

constexpr size_t kUpdatePiece = 128;      // characters per encoded piece of an update script
constexpr size_t kUpdateStatement = 4090; // longest string literal some browsers accept at once

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

std::string TKXContainerLayout::RenderStyle(IKXHTML40Control&, TKXBrowser) { return {}; }

void TKXContainerLayout::ProcessControls(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext) {
  for (int I = 0; I < AContainerContext.ComponentsCount(); ++I) {
    TKXComponent40Context& Context = *AContainerContext.Contexts(I);
    ProcessControl(AContainerContext, APageContext, Context);
    if (IKXBaseComponent* Base = Context.Faces().Base)
      if (TKXHTMLTag* Tag = Context.HTMLTag()) Base->DoHTMLTag(Tag);
  }
}

void TKXContainerLayout::ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                                        TKXComponent40Context& AContext) {
  const TKXComponentFaces& F = AContext.Faces();
  IKXBaseComponent* Base = F.Base;
  if (!Base) return;
  const std::string& N = AContext.HTMLName();
  TKXComponent40Context* Context = &AContext;
  TKXHTMLTag* T = Context->HTMLTag();
  const bool Input = Base->SupportsInput();
  if (T) {
    if (T->Params().IndexOfName("id") < 0) T->AddStringParam("ID", N);
    if (Input && T->Params().IndexOfName("name") < 0) T->AddStringParam("NAME", N);
  }
  const bool Visible = !F.Control || F.Control->GetVisible();
  if (T && APageContext.UpdateMode() == umPartial) {
    if (!APageContext.Request().PartialUpdate || AContainerContext.UpdateTree()) {
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
      if (!F.Html40 || F.Html40->DoRefreshControl()) {
        TKXRenderStream Stream(rnInMemory);
        Base->RenderFinishedTag(*Context, Stream);
        APageContext.AddToUpdateControlsProc(KXUpdateControlScript(N, Stream.Extract()));
      }
    }
  }
  if (Input) {
    IKXInputControl* InputControl = F.Input;
    const bool Shown = Visible || (AContainerContext.LayoutManager() && FContainer && FContainer->RenderInvisibleControls());
    if (InputControl && Shown && InputControl->ControlEncode() == ceNone) {
      const TKXScratch<TSkStringList> Names;   // every input control of every page lists its names
      Names->Clear();
      InputControl->ListInputNames(*Names);
      for (const std::string& Name : *Names) APageContext.AppendHiddenInput(Name);
    }
  } else if (F.Html40 && F.Html40->NeedsFormTag()) {
    APageContext.AppendHiddenInput(N);
  }
  APageContext.AppendContext(*Context);
}

void TKXContainerLayout::WriteHeadScripts(TKXRenderStream& AStream, TKXPageContext40& APageContext) {
  const std::string& EOL = APageContext.LineEnd();
  const std::string Base = APageContext.InternalFilesBase();
  const std::string PreScripts = APageContext.RenderPreScriptFiles();
  const std::string Links = APageContext.RenderLinkFiles();
  const std::string InitProc = APageContext.InitProcCode();
  const std::string OnReady = APageContext.OnReadyProcCode();
  // The script section is most of a page's head: its parts go into the page as they are.
  const std::string_view Parts[] = {"<script type=\"text/javascript\" src=\"", Base, "/js/KXPreScript.js_", kKXVersion,
                                    "\"></script>", EOL, PreScripts, Links, "<script type=\"text/javascript\">", EOL,
                                    APageContext.JavaScript(), EOL, "function InitKXCLObjects() {", EOL,
                                    APageContext.KXCLInitProc(), EOL, "}\r\nfunction Initialize() {", EOL, InitProc, EOL,
                                    OnReady, EOL, "}", EOL, "</script>", EOL};
  for (const std::string_view Part : Parts) AStream.WriteString(Part);
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

std::string TKXLayoutMgrForm::RenderStyle(IKXHTML40Control& AControl, TKXBrowser ABrowser) {
  // Only controls laid out in an HTML container (a form or a region) are placed by position.
  const TKXStyleRenderOptions& Options = AControl.StyleRenderOptions();
  if (!AControl.InHTMLContainer() || !Options.RenderPosition) return {};
  std::string S;
  S.reserve(256);   // the control appends its size, font and cursor to this
  using namespace std::string_view_literals;
  AppendAll(S, {Options.RenderAbsolute ? "position:absolute;left:"sv : "position:relative;left:"sv,
                TSkDigits(AControl.GetHTMLLeft(ABrowser)), "px;top:", TSkDigits(AControl.GetHTMLTop(ABrowser)), "px;"});
  return S;
}

void TKXLayoutMgrForm::ProcessControl(TKXContainerContext& AContainerContext, TKXPageContext40& APageContext,
                                      TKXComponent40Context& AContext) {
  const TKXComponentFaces& F = AContext.Faces();
  if (F.Base && F.Html40) {
    if (TKXHTMLTag* T = AContext.HTMLTag()) {
      if (T->Params().IndexOfName("class") < 0) T->AddStringParam("CLASS", F.Html40->RenderCSSClass(AContext));
      const std::string Class = T->Params().Values("class");
      const std::string& N = AContext.HTMLName();
      // The class made from the control's name ("<name>CSS") gets a rule of its own.
      if (Class.size() == N.size() + 3 && Class.starts_with(N) && Class.ends_with("CSS")) {
        thread_local std::string Rule;   // assembled in place for every control of every page
        Rule.clear();
        Rule += '.';
        Rule += Class;
        Rule += " {";
        Rule += F.Html40->RenderStyle(&AContext);
        Rule += "}\r\n";
        APageContext.AddStyle(Rule);
      } else {
        T->AddStringParam("STYLE", F.Html40->RenderStyle(&AContext) + T->Params().Values("style"));
      }
    }
  }
  TKXContainerLayout::ProcessControl(AContainerContext, APageContext, AContext);
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
  // Controls that post are grouped in a FORM (a DIV inside a template) of their own, written
  // around them as they render: the group holds nothing but their bytes.
  const bool NoForm = NoFormTag();
  TKXHTMLTag Group(NoForm ? "DIV" : "FORM");
  if (!NoForm) Group.AddStringParam("onSubmit", "return FormDefaultSubmit();");
  bool GroupOpen = false;
  auto Flush = [&] {
    if (!GroupOpen) return;
    Group.RenderClosing(Controls);
    GroupOpen = false;
  };
  auto Fresh = [&](IKXBaseComponent* ABase, TKXComponent40Context& AContext) {
    const int64_t Before = Controls.Size();
    if (!GroupOpen) Group.RenderOpening(Controls);
    try {
      ABase->RenderFinishedTag(AContext, Controls);
    } catch (...) {
      Controls.SetSize(Before);   // a control that fails leaves no part of itself (nor an empty group)
      throw;
    }
    GroupOpen = true;
  };
  try {
    for (int I = 0; I < AContainerContext.ComponentsCount(); ++I) {
      TKXComponent40Context* Context = AContainerContext.Contexts(I);
      IKXBaseComponent* Base = Context ? Context->Faces().Base : nullptr;
      if (!Base) continue;
      const bool Posts = Base->SupportsInput() || Base->SupportsSubmit();
      if (Context->Faces().Container) {
        Flush();
        // Regions are HTML containers: their markup goes straight into the page.
        if (Posts && !Context->Faces().Html40Container)
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
  auto* Form = dynamic_cast<IKXHTML40Form*>(FContainer);
  if (!Form) {
    AStream.AdoptRenderStream(Controls);
    return;
  }
  const TKXRenderRequest& R = APageContext.Request();
  const std::string& EOL = R.LineEnd;
  std::string Head;
  if (!APageContext.DocType().empty()) Head += APageContext.DocType() + "\r\n";
  Head += "<html><head>" + EOL + "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=" + R.CharSet + "\">" + EOL +
          "<meta http-equiv=\"cache-control\" content=\"no-cache\">" + EOL +
          "<meta http-equiv=\"pragma\" content=\"no-cache\">" + EOL +
          " <meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\">" + EOL;
  if (!APageContext.Title().empty()) Head += "<title>" + APageContext.Title() + "</title>" + EOL;
  AStream.WriteString(Head);
  APageContext.StyleTag().Render(AStream);
  Head.clear();
  if (R.PageTransitions) Head += "<meta http-equiv=\"Page-Enter\" content=\"blendTrans(Duration=0.25)\">" + EOL;
  Head += EOL;
  AStream.WriteString(Head);
  WriteHeadScripts(AStream, APageContext);
  Head.assign(FHeadContent);
  Head += EOL;
  Head += "</head>";
  Head += EOL;
  AStream.WriteString(Head);
  if (!R.Terminated && Form->UpdateMode() != umPartial) APageContext.FormTag().Render(Controls);
  APageContext.BodyTag().Contents().AdoptBuffer(Controls);
  APageContext.BodyTag().Render(AStream);
  AStream.WriteString("</html>" + EOL);
}
