// Button markup, click wiring and submit.
#include "controls/KXButton.h"

#include "KXControlTestSupport.h"
#include "KXStandInControl.h"

namespace {

class ButtonTest : public ControlTest {};

TEST_F(ButtonTest, MarkupForItsMainPropertyCombinations) {
  const struct {
    const char* Name;
    std::function<void(TKXButton&)> Setup;
    std::string Expected;
  } Cases[] = {
      {"the demo's OK button", [](TKXButton& B) { B.SetCaption("OK"); },
       "<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\">"},
      {"caption encoded, line break converted", [](TKXButton& B) { B.SetCaption("a<b> \"c\"\nd"); },
       "<input value=\"a&lt;b&gt; &quot;c&quot;<br>d\" name=\"KXBUTTON3\" type=\"button\">"},
      {"hot key underlined in a BUTTON element",
       [](TKXButton& B) {
         B.SetCaption("OK");
         B.SetHotKey("K");
       },
       "<button accesskey=\"K\" name=\"KXBUTTON3\" type=\"button\">O<u>K</u></button>"},
      {"hot key found ignoring case, first occurrence only",
       [](TKXButton& B) {
         B.SetCaption("Kick");
         B.SetHotKey("k");
       },
       "<button accesskey=\"k\" name=\"KXBUTTON3\" type=\"button\"><u>k</u>ick</button>"},
      {"submit type", [](TKXButton& B) { B.SetButtonType(btSubmit); }, "<input name=\"KXBUTTON3\" type=\"submit\">"},
      {"reset type", [](TKXButton& B) { B.SetButtonType(btReset); }, "<input name=\"KXBUTTON3\" type=\"reset\">"},
      {"a colour other than the button face writes a style with the font",
       [](TKXButton& B) {
         B.SetCaption("OK");
         B.SetColor(clWebRED);
       },
       "<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\" style=\"background-color: #FF0000;" + kIEFont + "\">"},
      {"a colour with the font switched off writes no style",
       [](TKXButton& B) {
         B.SetColor(clWebRED);
         B.Font().SetEnabled(false);
       },
       "<input name=\"KXBUTTON3\" type=\"button\">"},
      {"disabled keeps its caption and the upper-case attribute",
       [](TKXButton& B) {
         B.SetCaption("OK");
         B.SetEnabled(false);
       },
       "<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\" DISABLED>"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    auto* B = Make<TKXButton>("KXButton3");
    Case.Setup(*B);
    EXPECT_EQ(Markup(*B), Case.Expected);
    delete B;
  }
}

TEST_F(ButtonTest, DefaultsAndStyleRule) {
  auto* B = Make<TKXButton>("KXButton3");
  EXPECT_EQ(B->Color(), clBtnFace);
  EXPECT_EQ(B->ButtonType(), btButton);
  EXPECT_TRUE(B->NeedsFormTag());
  EXPECT_TRUE(B->CanReceiveFocus());
  EXPECT_TRUE(B->HasTabOrder());
  B->SetBounds(61, 200, 121, 25);
  EXPECT_EQ(B->RenderStyle(nullptr), "z-index:100;width:121px;height:25px;" + kIEFont);
}

TEST_F(ButtonTest, ClickScriptOnlyWhenTheButtonSubmits) {
  auto* B = Make<TKXButton>("KXButton3");
  B->SetCaption("OK");
  const std::string Hook = "return SubmitClickConfirm('KXBUTTON3','', true, '');";
  EXPECT_EQ(Scripts(*B).find("SubmitClickConfirm"), std::string::npos) << "no OnClick, btButton";

  B->OnClick = [](TKXComponent*) {};
  EXPECT_NE(Scripts(*B).find("function KXBUTTON3_onclick() {\r\n" + Hook), std::string::npos) << Scripts(*B);

  B->OnClick = nullptr;
  B->SetButtonType(btSubmit);
  EXPECT_NE(Scripts(*B).find(Hook), std::string::npos) << "btSubmit hooks without OnClick";

  B->SetDoSubmitValidation(false);
  B->SetConfirmation("Sure 'now'?");
  EXPECT_NE(Scripts(*B).find("return SubmitClickConfirm('KXBUTTON3','', false, 'Sure \\'now\\'?');"), std::string::npos);
}

TEST_F(ButtonTest, WithAVisibleFileControlTheClickUploadsFirst) {
  auto* B = Make<TKXButton>("KXButton3");
  B->OnClick = [](TKXComponent*) {};
  auto* File = Make<TKXStandInFile>("KXFile1");
  EXPECT_NE(Scripts(*B).find("if (Validate()){SubmitNextFile('KXBUTTON3','');return true;}else{return false;};"),
            std::string::npos)
      << Scripts(*B);
  File->SetVisible(false);
  EXPECT_NE(Scripts(*B).find("return SubmitClickConfirm('KXBUTTON3','', true, '');"), std::string::npos);
}

TEST_F(ButtonTest, SubmitStoresTheParameterThenFiresOnClick) {
  auto* B = Make<TKXButton>("KXButton3");
  std::string SeenParam;
  TKXComponent* Sender = nullptr;
  B->OnClick = [&](TKXComponent* S) {
    Sender = S;
    SeenParam = B->GetSubmitParam();
  };
  IKXSubmitControl& Submit = *B;
  Submit.DoSubmit("p1");
  EXPECT_EQ(Sender, B);
  EXPECT_EQ(SeenParam, "p1");
  EXPECT_TRUE(B->SupportsSubmit());
}

TEST_F(ButtonTest, ChangesMarkForRefresh) {
  auto* B = Make<TKXButton>("KXButton3");
  B->SetDoRefreshControl(false);
  B->SetCaption("x");
  EXPECT_TRUE(B->DoRefreshControl());
  B->SetDoRefreshControl(false);
  B->SetCaption("x");
  EXPECT_FALSE(B->DoRefreshControl()) << "same caption";
  B->SetColor(clWebRED);
  EXPECT_TRUE(B->DoRefreshControl());
}

}  // namespace
