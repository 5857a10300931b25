// The splitter of a region aligned to one side: its grip and field as rendered for each
// alignment and browser family, and the dragged position and size coming back with a post.
#include <gtest/gtest.h>

#include "controls/KXButton.h"
#include "KXControlTestSupport.h"
#include "content/KXInternalFiles.h"
#include "controls/KXRegion.h"
#include "core/KXResources.h"
#include "server/KXServer.h"
#include "core/KXStreams.h"
#include "server/KXSessions.h"
#include "KXTestWebRequest.h"
#include "SkStringList.h"

namespace {

const char* const kIEAgent = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)";

class SplitterTest : public ControlTest {
protected:
  // A fresh session on ABrowser; the forms of the previous one go with it.
  void UseBrowser(TKXBrowser ABrowser) {
    Form = nullptr;
    SetCurrentSession(nullptr);
    Session = std::make_unique<TKXApplication>(Scope.Controller(), TKXBrowserType{ABrowser, brsNone}, kIEAgent, "127.0.0.1", "", "", "",
                                               TSkStringList(), "");
    Session->SetFormFactory(&TKXAppForm::Factory());
    SetCurrentSession(Session.get());
  }
  // A region with the splitter on, aligned AAlign on a form of 400 × 300.
  TKXRegion* Splitter(TKXAlign AAlign, const std::string& AName = "KXRegion1") {
    BlankForm().SetBounds(0, 0, 400, 300);
    auto* R = Make<TKXRegion>(AName);
    R->SetBounds(0, 0, 100, 80);
    R->SetSplitter(true);
    R->SetAlign(AAlign);
    return R;
  }
  // What the region's frame holds: everything between the frame's own tags.
  std::string Inside(TKXRegion& ARegion) {
    const std::string M = Markup(ARegion);
    const size_t Open = M.find('>');
    EXPECT_EQ(M.compare(M.size() - 6, 6, "</div>"), 0) << M;
    return M.substr(Open + 1, M.size() - Open - 7);
  }
  std::string RenderPage() {
    TKXRenderStream Page(rnInMemory);
    BlankForm().GenerateForm(Page);
    return Page.Extract();
  }
};

std::string Field(const std::string& AValue) {
  return "<form onsubmit=\"return FormDefaultSubmit();\">\r\n  <input name=\"KXREGION1_data\" id=\"KXREGION1_data\" "
         "type=\"hidden\" value=\"" + AValue + "\"></form>";
}

std::string Grip(const std::string& ASide, const std::string& AStyle) {
  return "<div id=\"KXREGION1_grip\" onmousedown=\"return GripMouseDown(event,'" + ASide + "')\" style=\"" + AStyle +
         "\"></div>";
}

const std::string kSideBorders = "border-top: none; border-bottom: none;border-left: 3px groove; border-right: 3px groove; "
                                 "POSITION: absolute; overflow: hidden; cursor: w-resize;z-index:10000;";

TEST_F(SplitterTest, EachSideGetsItsFieldAndGrip) {
  auto* R = Splitter(alLeft);
  // The whole tag once: the field and the grip come before anything the region holds.
  EXPECT_EQ(Markup(*R),
            "<div style=\"border-style:solid;border-width:1;overflow-x:auto;overflow-y:auto;padding:0;"
            "clip:rect(0px,100px,300px,0px);\">" +
                Field("0,100") +
                Grip("right", "z-index:11000;right:0px; top: 0px; height: 100%; width:6px;" + kSideBorders) + "</div>");
  delete Form;
  Form = nullptr;

  const struct {
    const char* Name;
    TKXAlign Align;
    std::string Inside;
  } Cases[] = {
      {"top", alTop,
       Field("0,80") + Grip("bottom", "z-index:11000;bottom:0px; WIDTH: 100%; height:6px;border-top: 3px groove; "
                                      "border-bottom: 3px groove;  POSITION: absolute; overflow: hidden;cursor: n-resize;")},
      {"bottom", alBottom,
       Field("220,80") + Grip("top", "z-index:11000;top:0px; WIDTH: 100%; height:6px;border-top: 3px outset; "
                                     "border-bottom: 3px outset;  POSITION: absolute; overflow: hidden;cursor: n-resize;")},
      {"left", alLeft, Field("0,100") + Grip("right", "z-index:11000;right:0px; top: 0px; height: 100%; width:6px;" + kSideBorders)},
      {"right", alRight, Field("300,100") + Grip("left", "z-index:11000;left:0px; top:0px; height: 100%; width:6px;" + kSideBorders)},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Inside(*Splitter(C.Align, std::string("KXRegion1"))), C.Inside);
    delete Form;
    Form = nullptr;
  }
}

TEST_F(SplitterTest, TheGripIsThinWhereTheBrowserDrawsItsBordersAlone) {
  const struct {
    TKXBrowser Browser;
    const char* Thickness;
  } Cases[] = {{brGecko, "0px"}, {brSafari, "0px"}, {brNetscape6, "0px"},
               {brIE, "6px"},    {brOpera, "6px"},  {brChrome, "6px"}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Browser);
    UseBrowser(C.Browser);
    const std::string Top = Inside(*Splitter(alTop));
    EXPECT_NE(Top.find(";bottom:0px; WIDTH: 100%; height:" + std::string(C.Thickness) + ";border-top"), std::string::npos)
        << Top;
    UseBrowser(C.Browser);
    const std::string Right = Inside(*Splitter(alRight));
    EXPECT_NE(Right.find(";left:0px; top:0px; height: 100%; width:" + std::string(C.Thickness) + ";border-top"),
              std::string::npos)
        << Right;
  }
}

TEST_F(SplitterTest, TheGripStaysAboveTheRegionsControls) {
  auto* R = Splitter(alBottom);
  auto ZOf = [&] {
    const std::string M = Inside(*R);
    const size_t At = M.find("style=\"z-index:");
    return M.substr(At + 15, M.find(';', At) - At - 15);
  };
  EXPECT_EQ(ZOf(), "11000");
  auto* Low = KXCreate<TKXButton>(&BlankForm());
  Low->SetName("KXLow");
  Low->SetParent(R);
  Low->SetZIndex(10999);   // one more is still 11000
  EXPECT_EQ(ZOf(), "11000");
  auto* High = KXCreate<TKXButton>(&BlankForm());
  High->SetName("KXHigh");
  High->SetParent(R);
  High->SetZIndex(12000);
  EXPECT_EQ(ZOf(), "12001");
  Low->SetZIndex(15000);
  EXPECT_EQ(ZOf(), "15001");
  // Only the region's own controls count, not the form's.
  auto* Outside = Make<TKXButton>("KXOutside");
  Outside->SetZIndex(20000);
  EXPECT_EQ(ZOf(), "15001");
}

TEST_F(SplitterTest, NoGripWithoutTheSwitchOrWithoutASide) {
  const struct {
    const char* Name;
    bool Splitter;
    TKXAlign Align;
  } Cases[] = {{"switch off", false, alLeft}, {"not aligned", true, alNone}, {"client", true, alClient}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto* R = Splitter(C.Align);
    R->SetSplitter(C.Splitter);
    EXPECT_EQ(Inside(*R), "");
    EXPECT_FALSE(R->SupportsInput());
    EXPECT_FALSE(R->OwnsInputName("KXREGION1_data"));
    TSkStringList Names;
    R->ListInputNames(Names);
    EXPECT_EQ(Names.Count(), 0);
    const std::string Page = RenderPage();
    EXPECT_EQ(Page.find("KXSplitter.js"), std::string::npos);
    EXPECT_EQ(Page.find("KXREGION1_data"), std::string::npos);
    delete Form;
    Form = nullptr;
  }
}

TEST_F(SplitterTest, ThePageLoadsTheScriptOnceAndPostsEachField) {
  Splitter(alLeft);
  Splitter(alTop, "KXRegion2");
  const std::string Page = RenderPage();
  const std::string Script = "<script type=\"text/javascript\" src=\"/js/KXSplitter.js_10.0.0\"></script>";
  const size_t At = Page.find(Script);
  ASSERT_NE(At, std::string::npos) << Page;
  EXPECT_EQ(Page.find(Script, At + 1), std::string::npos);
  const size_t Submit = Page.find("name=\"SubmitForm\"");
  ASSERT_NE(Submit, std::string::npos);
  EXPECT_NE(Page.find("<input type=\"HIDDEN\" name=\"KXREGION1_data\">", Submit), std::string::npos) << Page;
  EXPECT_NE(Page.find("<input type=\"HIDDEN\" name=\"KXREGION2_data\">", Submit), std::string::npos) << Page;
  EXPECT_NE(Page.find("id=\"KXREGION2_data\" type=\"hidden\" value=\"0,80\""), std::string::npos);
  // and the server can answer the page's request for it
  const TKXInternalFile* File = FindInternalFile("KX_JS_KXSPLITTER");
  ASSERT_NE(File, nullptr);
  EXPECT_EQ(File->FilePath, "/js/KXSplitter.js");
  EXPECT_NE(InternalFileBytes("KX_JS_KXSPLITTER").find("function GripMouseDown("), std::string_view::npos);
}

TEST_F(SplitterTest, ThePostedEdgeMovesTheRegionAndItsNeighboursFollow) {
  const struct {
    const char* Name;
    TKXAlign Align;
    const char* Value;
    int Left, Top, Width, Height;   // the region afterwards
    int RestLeft, RestTop, RestWidth, RestHeight;   // its client-aligned neighbour
  } Cases[] = {
      {"top takes the height", alTop, "999,120", 0, 0, 400, 120, 0, 120, 400, 180},
      {"bottom takes the height and the top", alBottom, "150,90", 0, 210, 400, 90, 0, 0, 400, 210},
      {"left takes the width", alLeft, "999,150", 0, 0, 150, 300, 150, 0, 250, 300},
      {"right takes the width and the left", alRight, "250,80", 320, 0, 80, 300, 0, 0, 320, 300},
      {"blanks around the numbers", alLeft, " 0 , 130 ", 0, 0, 130, 300, 130, 0, 270, 300},
      {"a size of nothing", alTop, "0,0", 0, 0, 400, 0, 0, 0, 400, 300},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto* R = Splitter(C.Align);
    auto* Rest = Make<TKXRegion>("KXRest");
    Rest->SetAlign(alClient);
    R->RestoreValue(C.Value);
    EXPECT_EQ((std::vector<int>{R->Left(), R->Top(), R->Width(), R->Height()}),
              (std::vector<int>{C.Left, C.Top, C.Width, C.Height}));
    EXPECT_EQ((std::vector<int>{Rest->Left(), Rest->Top(), Rest->Width(), Rest->Height()}),
              (std::vector<int>{C.RestLeft, C.RestTop, C.RestWidth, C.RestHeight}));
    EXPECT_FALSE(R->DoRefreshControl()) << "the browser already shows it so";
    delete Form;
    Form = nullptr;
  }
}

TEST_F(SplitterTest, AMalformedValueChangesNothing) {
  const char* const Values[] = {"",       "120",          ",",          "0,",          ",120",     "a,b",
                                "0,12x",  "0,-5",         "0,1,2",      "0;120",       "0x10,20",  "1.5,20",
                                "0,1e3",  "99999999999,5", "0,99999999999", "+,5"};
  auto* R = Splitter(alLeft);
  auto* Rest = Make<TKXRegion>("KXRest");
  Rest->SetAlign(alClient);
  for (const char* V : Values) {
    SCOPED_TRACE(V);
    EXPECT_NO_THROW(R->RestoreValue(V));
    EXPECT_EQ((std::vector<int>{R->Left(), R->Top(), R->Width(), R->Height()}), (std::vector<int>{0, 0, 100, 300}));
    EXPECT_EQ(Rest->Left(), 100);
  }
  // Without the grip the field is not the region's.
  R->SetSplitter(false);
  R->RestoreValue("0,150");
  EXPECT_EQ(R->Width(), 100);
}

// ---------------------------------------------------------------------------------------------
// Through the dispatcher: the post of a page with two splitters, one in a nested region.

class TKXSplitterForm : public TKXAppForm {
public:
  explicit TKXSplitterForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
  void OkClick(TKXComponent*) {
    ++OkClicks;
    SeenWidth = KXLeft->Width();
  }
  TKXRegion *KXLeft = nullptr, *KXRest = nullptr, *KXInner = nullptr;
  int OkClicks = 0, SeenWidth = 0;
};

const TKXClassInfo& TKXSplitterForm::StaticClassInfo() {
  using T = TKXSplitterForm;
  static const TKXClassInfo Info =
      KXClass<T, TKXAppForm>("TKXSplitterForm")
          .Methods({KXMethod("OkClick", &T::OkClick)})
          .Fields({KXField("KXLeft", &T::KXLeft), KXField("KXRest", &T::KXRest), KXField("KXInner", &T::KXInner)});
  return Info;
}

const char* const kSplitterDescription = R"(object SplitterForm: TKXSplitterForm
  Width = 400
  Height = 300
  Title = 'Splitter'
  object KXLeft: TKXRegion
    Width = 100
    Align = alLeft
    Splitter = True
    TabOrder = 0
  end
  object KXRest: TKXRegion
    Align = alClient
    TabOrder = 1
    object KXInner: TKXRegion
      Height = 50
      Align = alTop
      Splitter = True
      TabOrder = 0
    end
    object KXOk: TKXButton
      Left = 10
      Top = 100
      Width = 75
      Height = 25
      TabOrder = 1
      Caption = 'OK'
      OnClick = OkClick
    end
  end
end
)";

const bool GRegistered = [] {
  KXRegisterClass<TKXSplitterForm>();
  KXRegisterResource("TKXSplitterForm", kSplitterDescription);
  return true;
}();

class SplitterPostTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope;
  TKXSessions& Registry = Scope.Sessions();
  const TKXClassInfo* SavedMain = TKXAppForm::MainFormClass();
  TKXApplication* S = nullptr;

  struct TExchange {
    TKXTestWebRequest Request;
    TKXTestWebResponse Response{Request};
    TExchange(const std::string& AMethod, const std::string& APath) : Request(AMethod, APath, "") {
      Request.SetHeader("User-Agent", kIEAgent);
    }
    std::string Run() {
      TKXTestControllerScope::Current().Dispatch(Request, Response);
      return Response.SentBody();
    }
  };

  void SetUp() override {
    (void)GRegistered;
    TKXAppForm::SetAsMainForm<TKXSplitterForm>();
    TExchange("GET", "/").Run();
    const std::vector<TKXSessionRef> All = Registry.Snapshot();
    ASSERT_EQ(All.size(), 1u);
    S = All[0].get();
    Post(0, "KX_width=400&KX_height=300");   // the size probe's answer: the page itself
  }
  void TearDown() override { TKXAppForm::SetMainFormClass(SavedMain); }

  TKXSplitterForm& Form() { return *dynamic_cast<TKXSplitterForm*>(static_cast<TKXComponent*>(S->ActiveForm())); }

  std::string Post(unsigned ATrack, const std::string& ABody) {
    TExchange X("POST", "/EXEC/" + std::to_string(ATrack) + "/" + S->AppID());
    X.Request.SetContentType("application/x-www-form-urlencoded");
    X.Request.SetBody(ABody + "&KX_FormName=SplitterForm&KX_FormClass=TKXSplitterForm");
    return X.Run();
  }
};

TEST_F(SplitterPostTest, APostedFieldResizesItsRegionBeforeTheHandlerRuns) {
  // The page the browser drags on posts both fields; their names reach the regions in any case.
  const std::string Page = Post(1, "KXLEFT_data=0%2C150&kxinner_DATA=0%2C80&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().OkClicks, 1);
  EXPECT_EQ(Form().SeenWidth, 150);
  EXPECT_EQ(Form().KXLeft->Width(), 150);
  EXPECT_EQ((std::vector<int>{Form().KXRest->Left(), Form().KXRest->Width()}), (std::vector<int>{150, 250}));
  EXPECT_EQ(Form().KXInner->Height(), 80);
  EXPECT_EQ(Form().KXInner->Width(), 250) << "the nested band follows its re-aligned parent";
  // The next page draws them so and carries the values for the next drag.
  EXPECT_NE(Page.find("id=\"KXLEFT_data\" type=\"hidden\" value=\"0,150\""), std::string::npos) << Page;
  EXPECT_NE(Page.find("id=\"KXINNER_data\" type=\"hidden\" value=\"0,80\""), std::string::npos) << Page;

  // A value no grip writes is dropped without a word; the rest of the post still applies.
  const std::string Next = Post(2, "KXLEFT_data=wide&KXINNER_data=0%2C-1&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().OkClicks, 2);
  EXPECT_EQ(Form().KXLeft->Width(), 150);
  EXPECT_EQ(Form().KXInner->Height(), 80);
  EXPECT_EQ(Next.find("exception"), std::string::npos) << Next;

  // A hidden region's field is not taken.
  Form().KXRest->SetVisible(false);
  Post(3, "KXINNER_data=0%2C20&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().KXInner->Height(), 80);
}

}  // namespace
