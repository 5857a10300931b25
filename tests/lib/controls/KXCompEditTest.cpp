// Edit markup, style, validation, client handlers, value restoring and submit.
#include "controls/KXCompEdit.h"

#include "KXControlTestSupport.h"

namespace {

class EditTest : public ControlTest {
protected:
  TKXEdit* Edit() { return Make<TKXEdit>("KXEdit2"); }
};

TEST_F(EditTest, MarkupForItsMainPropertyCombinations) {
  const struct {
    const char* Name;
    std::function<void(TKXEdit&)> Setup;
    std::string Expected;
  } Cases[] = {
      {"the demo's edit: empty value left out", [](TKXEdit&) {},
       "<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\">"},
      {"a length limit", [](TKXEdit& E) { E.SetMaxLength(10); },
       "<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"10\">"},
      {"value encoded", [](TKXEdit& E) { E.SetText("a\"b&c"); },
       "<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\" value=\"a&quot;b&amp;c\">"},
      {"password still carries its value", [](TKXEdit& E) { E.SetPasswordPrompt(true); E.SetText("pw"); },
       "<input type=\"PASSWORD\" name=\"KXEDIT2\" maxlength=\"2147483647\" value=\"pw\">"},
      {"read-only keeps the upper-case attribute", [](TKXEdit& E) { E.SetReadOnly(true); },
       "<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\" READONLY>"},
      {"disabled", [](TKXEdit& E) { E.SetEnabled(false); },
       "<input type=\"TEXT\" name=\"KXEDIT2\" disabled=\"true\" maxlength=\"2147483647\">"},
      {"not editable and not as label",
       [](TKXEdit& E) {
         E.SetEditable(false);
         E.SetNonEditableAsLabel(false);
         E.SetText("x");
       },
       "<input type=\"TEXT\" name=\"KXEDIT2\" disabled=\"true\" readonly=\"true\" maxlength=\"2147483647\" value=\"x\">"},
      {"not editable renders a label",
       [](TKXEdit& E) {
         E.SetEditable(false);
         E.SetText("a<b");
         E.SetAlignment(taRightJustify);
       },
       "<span style=\"text-align:right;\">a&lt;b</span>"},
      {"a password label shows one star per character",
       [](TKXEdit& E) {
         E.SetEditable(false);
         E.SetPasswordPrompt(true);
         E.SetText("abč");
       },
       "<span style=\"text-align:left;\">***</span>"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    auto* E = Edit();
    Case.Setup(*E);
    EXPECT_EQ(Markup(*E), Case.Expected);
    delete E;
  }
}

TEST_F(EditTest, StyleAppendsColoursAndAlignment) {
  auto* E = Edit();
  const std::string Base = "z-index:100;width:121px;height:21px;" + kIEFont;
  EXPECT_EQ(E->RenderStyle(nullptr), Base + "text-align:left;");
  E->SetBGColor(clWebYELLOW);
  E->SetAlignment(taCenter);
  E->Font().SetColor(clWebRED);
  EXPECT_EQ(E->RenderStyle(nullptr), "z-index:100;width:121px;height:21px;" + kIEFont +
                                         "color:#FF0000;color:#FF0000;background-color:#FFFF00;text-align:center;");
}

TEST_F(EditTest, RequiredRegistersItsValidation) {
  auto* E = Edit();
  E->SetRequired(true);
  E->SetFriendlyName("Login");
  TKXPageContext40 Page(Session.get(), PageRequest());
  TKXComponent40Context Context(E, nullptr, &Page);
  delete E->RenderHTMLTag(Context);
  Page.FinalizeContext();
  EXPECT_NE(Page.JavaScript().find("if(KXEDIT2KXCL != null && KXEDIT2KXCL.value.length==0) {"), std::string::npos)
      << Page.JavaScript();
  EXPECT_NE(Page.JavaScript().find("window.alert(\"Login is a required field.\");"), std::string::npos);

  E->SetRequired(false);
  TKXPageContext40 Plain(Session.get(), PageRequest());
  TKXComponent40Context PlainContext(E, nullptr, &Plain);
  delete E->RenderHTMLTag(PlainContext);
  Plain.FinalizeContext();
  EXPECT_EQ(Plain.JavaScript().find("required"), std::string::npos);
}

TEST_F(EditTest, ReturnKeyAndFocusColourHandlers) {
  auto* E = Edit();
  EXPECT_EQ(Scripts(*E).find("CheckReturnKey"), std::string::npos) << "neither OnSubmit nor a default action";
  E->OnSubmit = [](TKXComponent*) {};
  EXPECT_NE(Scripts(*E).find("var res = CheckReturnKey(event.keyCode, 'KXEDIT2', true)\r\nreturn res;"),
            std::string::npos)
      << Scripts(*E);
  E->OnSubmit = nullptr;
  BlankForm().OnDefaultAction = [](TKXComponent*) {};
  E->SetDoSubmitValidation(false);
  EXPECT_NE(Scripts(*E).find("CheckReturnKey(event.keyCode, 'KXEDIT2', false)"), std::string::npos);

  E->SetFocusColor(clWebYELLOW);
  const std::string S = Scripts(*E);
  EXPECT_NE(S.find("this.style.backgroundColor='#FFFF00'; return true;"), std::string::npos) << S;
  EXPECT_NE(S.find("this.style.backgroundColor=''; return true;"), std::string::npos);
  E->SetEditable(false);
  EXPECT_EQ(Scripts(*E).find("backgroundColor"), std::string::npos) << "not editable: no focus colour";
}

TEST_F(EditTest, RestoreValueThroughTheInputInterface) {
  auto* E = Edit();
  E->SetText("old");
  IKXInputControl& Input = *E;
  TSkStringList Names;
  Input.ListInputNames(Names);
  ASSERT_EQ(Names.Count(), 1);
  EXPECT_EQ(Names[0], "KXEDIT2");
  EXPECT_TRUE(Input.OwnsInputName("KXEDIT2"));
  EXPECT_FALSE(Input.OwnsInputName("kxedit2"));

  E->SetDoRefreshControl(true);
  Input.RestoreValue("old");
  EXPECT_TRUE(E->DoRefreshControl()) << "same text leaves the mark";
  Input.RestoreValue("new");
  EXPECT_EQ(E->Text(), "new");
  EXPECT_FALSE(E->DoRefreshControl()) << "the browser already shows it";
  E->SetText("other");
  EXPECT_TRUE(E->DoRefreshControl()) << "a change from code must reach the browser";
}

TEST_F(EditTest, SubmitFiresOnSubmitElseTheFormsDefaultAction) {
  auto* E = Edit();
  std::vector<std::string> Fired;
  TKXComponent* DefaultSender = nullptr;
  BlankForm().OnDefaultAction = [&](TKXComponent* S) {
    Fired.push_back("default");
    DefaultSender = S;
  };
  IKXSubmitControl& Submit = *E;
  Submit.DoSubmit("p");
  EXPECT_EQ(Fired, std::vector<std::string>{"default"});
  EXPECT_EQ(DefaultSender, E);
  E->OnSubmit = [&](TKXComponent*) { Fired.push_back("submit " + E->GetSubmitParam()); };
  Submit.DoSubmit("q");
  EXPECT_EQ(Fired, (std::vector<std::string>{"default", "submit q"}));
}

TEST_F(EditTest, TabIndexOnlyWhenItRendersAnInput) {
  auto* E = Edit();
  EXPECT_TRUE(E->TabIndexAllowed());
  E->SetEditable(false);
  EXPECT_FALSE(E->TabIndexAllowed());
  E->SetNonEditableAsLabel(false);
  EXPECT_TRUE(E->TabIndexAllowed());
}

}  // namespace
