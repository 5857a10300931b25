// Script events as a render fills them: the user's code, the framework's hooks on top, and the
// same set refilled for control after control.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "render/KXBaseRenderContext.h"
#include "core/KXException.h"
#include "render/KXRenderContext.h"
#include "core/KXScratch.h"
#include "render/KXScriptEvents.h"

namespace {

struct TRendered {
  std::string JavaScript, KXCLInit;
  std::vector<std::pair<std::string, std::string>> ExtraParams;
  bool operator==(const TRendered&) const = default;
};

std::ostream& operator<<(std::ostream& AOut, const TRendered& AR) {
  AOut << "JavaScript: " << testing::PrintToString(AR.JavaScript) << "\nKXCLInit: " << testing::PrintToString(AR.KXCLInit);
  for (const auto& [Name, Value] : AR.ExtraParams) AOut << "\n" << Name << "=" << Value;
  return AOut;
}

TRendered Taken(const TKXComponent40Context& AContext) {
  return {AContext.JavaScript(), AContext.KXCLInitProc(), AContext.ExtraParams()};
}

// A page whose line end is AEOL (CR LF as with DebugHTML, or none).
TKXRenderRequest PageWithLineEnd(const std::string& AEOL) {
  TKXRenderRequest R;
  R.LineEnd = AEOL;
  return R;
}

TRendered Render(const TKXScriptEvents& AEvents, const std::string& AName, bool AIE = false,
                 const std::string& AEOL = "") {
  TKXPageContext40 Page(nullptr, PageWithLineEnd(AEOL));
  TKXComponent40Context Context(static_cast<TKXComponent*>(nullptr), nullptr, &Page);
  AEvents.RenderEvents(Context, AName, AIE);
  return Taken(Context);
}

// Each render of a page has contexts of its own; the control's cache outlives them.
TRendered RenderThrough(TKXRenderedEvents& ACache, const TKXScriptEvents& AEvents, const std::string& AName,
                        bool AIE = false, const std::string& AEOL = "") {
  TKXPageContext40 Page(nullptr, PageWithLineEnd(AEOL));
  TKXComponent40Context Context(static_cast<TKXComponent*>(nullptr), nullptr, &Page);
  ACache.Render(AEvents, Context, AName, AIE);
  return Taken(Context);
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

void FillClickAndBlur(TKXScriptEvents& AEvents) {
  AEvents.SetEventCode("OnClick", "click();");
  AEvents.HookEvent("OnClick", "hooked()");
  AEvents.SetEventCode("OnBlur", "blur();");
}

TEST(RenderedEvents, AnUnchangedSetIsWrittenAgainAsARenderWritesIt) {
  TKXScriptEvents Events;
  FillClickAndBlur(Events);
  const TRendered Direct = Render(Events, "B1");
  TKXRenderedEvents Cache;
  {
    // The first render comes after another control's code: only this control's part is kept.
    TKXComponent40Context Context(static_cast<TKXComponent*>(nullptr), nullptr, nullptr);
    Context.AddToJavaScriptOnce("var x;");
    Context.AddToKXCLInitProc("init();");
    Cache.Render(Events, Context, "B1", false);
    EXPECT_EQ(Context.JavaScript(), "var x;" + Direct.JavaScript);
    EXPECT_EQ(Context.KXCLInitProc(), "init();" + Direct.KXCLInit);
  }
  EXPECT_EQ(RenderThrough(Cache, Events, "B1"), Direct);
  EXPECT_EQ(RenderThrough(Cache, Events, "B1"), Direct);
  TKXScriptEvents Equal;
  Equal.AssignEvents(Events);
  EXPECT_EQ(RenderThrough(Cache, Equal, "B1"), Direct);
}

TEST(RenderedEvents, AChangedInputIsRenderedAfresh) {
  const struct {
    const char* Name;
    std::function<void(TKXScriptEvents&, std::string&, bool&)> Change;
  } Cases[] = {
      {"code of one event", [](TKXScriptEvents& E, std::string&, bool&) { E.SetEventCode("OnBlur", "other();"); }},
      {"one more hooked fragment", [](TKXScriptEvents& E, std::string&, bool&) { E.HookEvent("OnClick", "more()"); }},
      {"an event deleted", [](TKXScriptEvents& E, std::string&, bool&) { E.SetEventCode("OnBlur", ""); }},
      {"the HTML name", [](TKXScriptEvents&, std::string& N, bool&) { N = "B2"; }},
      {"the browser", [](TKXScriptEvents&, std::string&, bool& IE) { IE = true; }},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TKXScriptEvents Events;
    FillClickAndBlur(Events);
    std::string Name = "B1";
    bool IE = false;
    TKXRenderedEvents Cache;
    const TRendered Before = RenderThrough(Cache, Events, Name, IE);
    Case.Change(Events, Name, IE);   // the same set changed in place: the cache keeps a copy
    const TRendered Fresh = Render(Events, Name, IE);
    ASSERT_NE(Fresh, Before);
    EXPECT_EQ(RenderThrough(Cache, Events, Name, IE), Fresh);
    EXPECT_EQ(RenderThrough(Cache, Events, Name, IE), Fresh);
  }
}

TEST(RenderedEvents, CodeHoldingControlCharactersIsNotTakenForAnotherSet) {
  // One event whose code holds what could pass for the boundary of a second event, then the
  // two events it would read as.
  TKXScriptEvents One;
  One.SetEventCode("OnClick", std::string("c();\r\n\x03OnBlur\x01") + "d();");
  TKXScriptEvents Two;
  Two.SetEventCode("OnClick", "c();");
  Two.SetEventCode("OnBlur", "d();");
  TKXRenderedEvents Cache;
  EXPECT_EQ(RenderThrough(Cache, One, "B1"), Render(One, "B1"));
  EXPECT_EQ(RenderThrough(Cache, Two, "B1"), Render(Two, "B1"));
}

TEST(RenderedEvents, LoadHandlerAttributeIsSetOnEveryRender) {
  TKXScriptEvents Events;
  Events.SetEventCode("OnLoad", "init();");
  Events.SetEventCode("OnClick", "click();");
  TKXRenderedEvents Cache;
  const TRendered First = RenderThrough(Cache, Events, "F1");
  const std::vector<std::pair<std::string, std::string>> OnLoad = {{"onload", "F1_onload()"}};
  EXPECT_EQ(First.ExtraParams, OnLoad);
  EXPECT_EQ(RenderThrough(Cache, Events, "F1"), First);
  EXPECT_EQ(First, Render(Events, "F1"));
}

TEST(RenderedEvents, ThePageLineEndIsPartOfTheKeptText) {
  TKXScriptEvents Events;
  FillClickAndBlur(Events);
  TKXRenderedEvents Cache;
  const TRendered Without = RenderThrough(Cache, Events, "B1");
  const TRendered With = Render(Events, "B1", false, "\r\n");
  ASSERT_NE(With, Without);
  EXPECT_EQ(RenderThrough(Cache, Events, "B1", false, "\r\n"), With);
  EXPECT_EQ(RenderThrough(Cache, Events, "B1", false, "\r\n"), With);
  EXPECT_EQ(RenderThrough(Cache, Events, "B1"), Without);
  EXPECT_EQ(Without, Render(Events, "B1"));
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
