// Text block markup, style and its one value seen as Text and as Lines.
#include "controls/KXText.h"

#include "KXControlTestSupport.h"

namespace {

class TextTest : public ControlTest {};

TEST_F(TextTest, MarkupForItsMainPropertyCombinations) {
  const struct {
    const char* Name;
    bool RawText, WantReturns, ConvertSpaces;
    std::string Expected;
  } Cases[] = {
      {"returns become breaks", false, true, false, "<div>x<br>a &amp; b<br></div>"},
      {"without returns the line ends stay", false, false, false, "<div>x\r\na &amp; b\r\n</div>"},
      {"spaces converted", false, true, true, "<div>x<br>a&nbsp;&amp;&nbsp;b<br></div>"},
      {"raw with returns", true, true, false, "<div>x\r\na & b\r\n</div>"},
      {"raw without returns", true, false, false, "<div>xa & b</div>"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    auto* T = Make<TKXText>("KXText1");
    T->SetText("x\r\na & b");
    T->SetRawText(Case.RawText);
    T->SetWantReturns(Case.WantReturns);
    T->SetConvertSpaces(Case.ConvertSpaces);
    EXPECT_EQ(Markup(*T), Case.Expected);
    delete T;
  }
}

TEST_F(TextTest, TextAndLinesAreOneValue) {
  auto* T = Make<TKXText>("KXText1");
  T->SetText("x\ny");
  ASSERT_EQ(T->Lines().Count(), 2);
  EXPECT_EQ(T->Lines()[1], "y");
  EXPECT_EQ(T->Text(), "x\r\ny");
  TSkStringList L;
  L.Add("a");
  L.Add("b");
  T->SetDoRefreshControl(false);
  T->SetLines(L);
  EXPECT_TRUE(T->DoRefreshControl());
  EXPECT_EQ(T->Text(), "a\r\nb");
  T->Clear();
  EXPECT_EQ(T->Lines().Count(), 0);
  EXPECT_EQ(Markup(*T), "<div></div>");
}

TEST_F(TextTest, StyleAddsTheBackgroundAfterTheBase) {
  auto* T = Make<TKXText>("KXText1");
  EXPECT_FALSE(T->HasTabOrder());
  const std::string Base = "z-index:100;width:121px;height:121px;" + kIEFont;
  T->SetRenderSize(true);
  EXPECT_EQ(T->RenderStyle(nullptr), Base);
  T->SetBGColor(clWebRED);
  EXPECT_EQ(T->RenderStyle(nullptr), Base + " background-color: #FF0000;");
}

}  // namespace
