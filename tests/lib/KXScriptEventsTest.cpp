// Script events as a render fills them: the user's code, the framework's hooks on top, and the
// same set refilled for control after control.
#include <gtest/gtest.h>

#include "KXBaseRenderContext.h"
#include "KXException.h"
#include "KXRenderContext.h"
#include "KXScratch.h"
#include "KXScriptEvents.h"

namespace {

struct TRendered {
  std::string JavaScript, KXCLInit;
};

TRendered Render(const TKXScriptEvents& AEvents, const std::string& AName) {
  TKXComponent40Context Context(static_cast<TKXComponent*>(nullptr), nullptr, nullptr);
  AEvents.RenderEvents(Context, AName, false);
  return {Context.JavaScript(), Context.KXCLInitProc()};
}

TEST(ScriptEvents, CodeLinesAreWrittenWithCrLfWhateverTheyCameWith) {
  TKXScriptEvents Events;
  Events.SetEventCode("OnClick", "a();\nb();\r\nc();\r\n");
  EXPECT_EQ(Events.Find("onclick")->Code(), "a();\r\nb();\r\nc();\r\n");
  EXPECT_EQ(Render(Events, "B1").JavaScript, "function B1_onclick(event) {\r\na();\r\nb();\r\nc();\r\n}\r\n");
  EXPECT_EQ(Events.Lines().Text(), "OnClick=a();\nb();\nc();\n\r\n");
}

TEST(ScriptEvents, HooksTakeABlankItemOverAndGoBehindRealCode) {
  TKXScriptEvents Events;
  Events.SetEventCode("OnFocus", "user();");
  Events.Add("OnBlur");   // no code yet
  Events.HookEvent("OnBlur", "  Status('') ");
  Events.HookEvent("onfocus", "return Status('x')");
  ASSERT_EQ(Events.Count(), 2);
  EXPECT_EQ(Events.Find("OnBlur")->Code(), "Status('')\r\nreturn true;\r\n");
  ASSERT_EQ(Events.Find("OnFocus")->Hooked().size(), 1u);
  EXPECT_EQ(Events.Find("OnFocus")->Hooked()[0], "return Status('x');");
  const TRendered R = Render(Events, "E1");
  EXPECT_EQ(R.JavaScript,
            "function E1_onfocus(event) {\r\nuser();\r\n}\r\n"
            "function E1_onfocus0(event) {\r\nreturn Status('x');\r\n}\r\n"
            "function E1_onblur(event) {\r\nStatus('')\r\nreturn true;\r\n}\r\n");
  EXPECT_EQ(R.KXCLInit,
            "if (E1KXCL) E1KXCL.HookEvent(\"focus\",E1_onfocus);"
            "if (E1KXCL) E1KXCL.HookEvent(\"focus\",E1_onfocus0);"
            "if (E1KXCL) E1KXCL.HookEvent(\"blur\",E1_onblur);");
}

TEST(ScriptEvents, ARefilledSetKeepsNothingOfItsLastControl) {
  TKXScriptEvents Mine, Other, Render1;
  Mine.SetEventCode("OnClick", "mine();");
  Other.SetEventCode("OnChange", "other();");
  Other.SetEventCode("OnKeyUp", "up();");
  Render1.Assign(Other);
  Render1.HookEvent("OnChange", "hooked();");
  Render1.Assign(Mine);   // the spare items must not carry code or hooks back in
  ASSERT_EQ(Render1.Count(), 1);
  EXPECT_EQ(Render1.Find("OnChange"), nullptr);
  Render1.HookEvent("OnChange", "again();");
  EXPECT_TRUE(Render1.Find("OnChange")->Hooked().empty());
  EXPECT_EQ(Render1.Find("OnChange")->Code(), "again();\r\nreturn true;\r\n");
}

TEST(ScriptEvents, BlankCodeDeletesAndTheNameCanComeBack) {
  TKXScriptEvents Events;
  Events.SetEventCode("OnClick", "a();");
  Events.SetEventCode("OnLoad", "b();");
  Events.SetEventCode("OnClick", " \r\n ");
  ASSERT_EQ(Events.Count(), 1);
  EXPECT_EQ(Events.Items(0).Event(), "OnLoad");
  EXPECT_THROW(Events.Items(1), std::out_of_range);
  Events.SetEventCode("OnClick", "c();");
  EXPECT_EQ(Events.Count(), 2);
  EXPECT_EQ(Events.Find("OnClick")->Code(), "c();\r\n");
  EXPECT_THROW(Events.Add("onclick"), EKXException);
}

TEST(Scratch, NestedBorrowersGetTheirOwnObjectAndTheNextUseGetsTheFirstBack) {
  std::string* First = nullptr;
  {
    const TKXScratch<std::string> Outer;
    First = &*Outer;
    *Outer = "outer";
    const TKXScratch<std::string> Inner;
    EXPECT_NE(&*Inner, First);
    *Inner = "inner";
    EXPECT_EQ(*Outer, "outer");
  }
  const TKXScratch<std::string> Again;
  EXPECT_EQ(&*Again, First);
}

}  // namespace
