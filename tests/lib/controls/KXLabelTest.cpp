// Label markup and style.
#include "controls/KXLabel.h"

#include "controls/KXButton.h"
#include "KXControlTestSupport.h"

namespace {

class LabelTest : public ControlTest {};

TEST_F(LabelTest, MarkupForItsMainPropertyCombinations) {
  const struct {
    const char* Name;
    std::function<void(TKXLabel&)> Setup;
    std::string Expected;
  } Cases[] = {
      {"the demo's label", [](TKXLabel& L) { L.SetCaption("login :"); },
       "<span style=\"text-align:left;\">login :</span>"},
      {"empty caption", [](TKXLabel&) {}, "<span style=\"text-align:left;\"><span></span></span>"},
      {"spaces converted",
       [](TKXLabel& L) {
         L.SetCaption("a  b");
         L.SetConvertSpaces(true);
       },
       "<span style=\"text-align:left;\">a&nbsp;&nbsp;b</span>"},
      {"encoded with line breaks", [](TKXLabel& L) { L.SetCaption("<i>\r\n&"); },
       "<span style=\"text-align:left;\">&lt;i&gt;<br>&amp;</span>"},
      {"raw text goes out unchanged",
       [](TKXLabel& L) {
         L.SetCaption("<b>x</b>  y");
         L.SetRawText(true);
         L.SetConvertSpaces(true);
       },
       "<span style=\"text-align:left;\"><b>x</b>  y</span>"},
      {"no wrap", 
       [](TKXLabel& L) {
         L.SetCaption("x");
         L.SetNoWrap(true);
       },
       "<span style=\"text-align:left;\"><nobr>x</nobr></span>"},
      {"right and centred", [](TKXLabel& L) { L.SetAlignment(taRightJustify); L.SetCaption("x"); },
       "<span style=\"text-align:right;\">x</span>"},
      {"background colour",
       [](TKXLabel& L) {
         L.SetCaption("x");
         L.SetAlignment(taCenter);
         L.SetBGColor(clWebAZURE);
       },
       "<span style=\"text-align:center;background-color:#F0FFFF;\">x</span>"},
      {"a CSS class drops the alignment", [](TKXLabel& L) { L.SetCaption("x"); L.SetCss("mine"); }, "<span>x</span>"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    auto* L = Make<TKXLabel>("KXLabel1");
    Case.Setup(*L);
    EXPECT_EQ(Markup(*L), Case.Expected);
    delete L;
  }
}

TEST_F(LabelTest, ForControlRendersALabelElementAndIsClearedWhenItGoes) {
  auto* L = Make<TKXLabel>("KXLabel1");
  auto* B = Make<TKXButton>("KXButton3");
  L->SetCaption("x");
  L->SetForControl(B);
  EXPECT_EQ(Markup(*L), "<label for=\"KXBUTTON3\" style=\"text-align:left;\">x</label>");
  delete B;
  EXPECT_EQ(L->ForControl(), nullptr);
  EXPECT_EQ(Markup(*L), "<span style=\"text-align:left;\">x</span>");
}

TEST_F(LabelTest, SizeWrittenOnlyWhenRenderSizeAndNotAutoSized) {
  auto* L = Make<TKXLabel>("KXLabel1");
  L->SetBounds(16, 133, 39, 16);
  EXPECT_TRUE(L->AutoSize());
  EXPECT_FALSE(L->RenderSize());
  EXPECT_FALSE(L->HasTabOrder());
  const std::string NoSize = "z-index:100;" + kIEFont;
  EXPECT_EQ(L->RenderStyle(nullptr), NoSize);
  L->SetRenderSize(true);   // as the demo stores it: still auto-sized
  EXPECT_EQ(L->RenderStyle(nullptr), NoSize);
  L->SetAutoSize(false);
  EXPECT_TRUE(L->RenderSize());
  EXPECT_EQ(L->RenderStyle(nullptr), "z-index:100;width:39px;height:16px;" + kIEFont);
  L->SetRenderSize(false);   // not auto-sized but not asked either: treated as auto-sized
  EXPECT_EQ(L->RenderStyle(nullptr), NoSize);
  EXPECT_FALSE(L->RenderSize()) << "rendering must not change the stored values";
}

}  // namespace
