#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "core/KXException.h"
#include "render/KXHTMLTag.h"
#include "core/KXStreams.h"
#include "render/KXXMLTag.h"
#include "SkStringList.h"

namespace {

// An HTML tag that reports its destruction, to see which nodes a free reaches.
class TCountedTag : public TKXHTMLTag {
public:
  TCountedTag(std::string_view ATag, int& ACounter) : TKXHTMLTag(ATag), FCounter(ACounter) {}
  ~TCountedTag() override { ++FCounter; }

private:
  int& FCounter;
};

}  // namespace

TEST(TagAttributes, BuildAndRender) {
  const struct {
    const char* Name;
    std::function<void(TKXHTMLTag&)> Build;
    const char* Expected;
  } Cases[] = {
      {"same name replaces in place",
       [](TKXHTMLTag& T) {
         T.AddStringParam("TYPE", "HIDDEN");
         T.AddStringParam("name", "x");
         T.AddStringParam("type", "text");
       },
       "<input type=\"text\" name=\"x\">"},
      {"empty value adds nothing and keeps the old one",
       [](TKXHTMLTag& T) {
         T.AddStringParam("value", "");
         T.AddStringParam("VALUE", "v");
         T.AddStringParam("value", "");
       },
       "<input value=\"v\">"},
      {"clear removes without regard to case",
       [](TKXHTMLTag& T) {
         T.AddStringParam("value", "v");
         T.AddStringParam("id", "i");
         T.ClearParam("VALUE");
         T.ClearParam("absent");
       },
       "<input id=\"i\">"},
      {"integer zero, false, no colour",
       [](TKXHTMLTag& T) {
         T.AddIntegerParam("tabindex", 0);
         T.AddBoolParam("x", false);
         T.AddColor("bgcolor", clNone);
         T.AddIntegerParam("size", -1);
       },
       "<input tabindex=\"0\" x=\"false\" size=\"-1\">"},
      {"colours", [](TKXHTMLTag& T) {
         T.AddColor("bgcolor", clWebAZURE);
         T.AddColor("color", clWebTransparent);
       },
       "<input bgcolor=\"#F0FFFF\" color=\"transparent\">"},
      {"bare attribute keeps its case, name=value is lower-cased",
       [](TKXHTMLTag& T) {
         T.Add("NOWRAP");
         T.Add("ID=Abc");
         T.Add("");
       },
       "<input NOWRAP id=\"Abc\">"},
      {"Add appends duplicates",
       [](TKXHTMLTag& T) {
         T.AddStringParam("id", "a");
         T.Add("ID=b");
       },
       "<input id=\"a\" id=\"b\">"},
      {"values are written verbatim", [](TKXHTMLTag& T) { T.AddStringParam("title", "a\"b"); },
       "<input title=\"a\"b\">"},
      {"split at the first equals sign", [](TKXHTMLTag& T) { T.Add("style=a=b"); }, "<input style=\"a=b\">"},
      {"list lines are trimmed, empty ones skipped",
       [](TKXHTMLTag& T) { T.AddParmsList(TSkStringList{"  checked ", "", "   ", "Name=v "}); },
       "<input checked name=\"v\">"},
      {"bare words do not match names",
       [](TKXHTMLTag& T) {
         T.Add("checked");
         T.AddStringParam("checked", "checked");
       },
       "<input checked checked=\"checked\">"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TKXHTMLTag Tag("INPUT");
    Case.Build(Tag);
    EXPECT_EQ(Tag.Render(), Case.Expected);
  }
}

TEST(TagAttributes, AppendParamsCopiesOnlyNamedEntries) {
  TKXTagParamsStringList Source;
  Source.Add("checked");
  Source.Add("name=a");
  TKXTagParamsStringList Target;
  Target.Add("ID=x");
  Target.Add("NAME=old");
  Target.AppendParams(Source);
  ASSERT_EQ(Target.Count(), 2);
  EXPECT_EQ(Target.Strings(0), "id=x");
  EXPECT_EQ(Target.Strings(1), "name=a");

  TKXTagParamsStringList FromLines;
  FromLines.AppendParams(TSkStringList{"checked", "Style=a=b", "x="});
  ASSERT_EQ(FromLines.Count(), 2);
  EXPECT_EQ(FromLines.Strings(0), "style=a=b");
  EXPECT_EQ(FromLines.Values("STYLE"), "a=b");
  EXPECT_EQ(FromLines.Strings(1), "x=");
}

TEST(TagRendering, ClosingAndNames) {
  const struct {
    const char* Name;
    std::function<TKXMarkupLanguageTag*()> Make;
    const char* Expected;
  } Cases[] = {
      {"names are lower-cased", [] { return new TKXHTMLTag("FORM"); }, "<form></form>"},
      {"HTML void element has no closing text", [] { return new TKXHTMLTag("INPUT"); }, "<input>"},
      {"plain tag closes every element", [] { return new TKXMarkupLanguageTag("input"); }, "<input></input>"},
      {"plain tag with simple close",
       [] {
         auto* T = new TKXMarkupLanguageTag("x");
         T->SetClosingTag(cbSimpleClose);
         return T;
       },
       "<x/>"},
      {"void rule overrides simple close", [] { return new TKXHTMLTag("img", cbSimpleClose); }, "<img>"},
      {"simple close on a normal element", [] { return new TKXHTMLTag("span", cbSimpleClose); }, "<span/>"},
      {"cbFalse writes no closing text", [] { return new TKXHTMLTag("p", cbFalse); }, "<p>"},
      {"plain constructor without name renders nothing", [] { return new TKXMarkupLanguageTag(); }, ""},
      {"plain constructor then name closes automatically",
       [] {
         auto* T = new TKXMarkupLanguageTag();
         T->SetTag("B");
         return T;
       },
       "<b></b>"},
      {"closing kind is never reset by a later name",
       [] {
         auto* T = new TKXHTMLTag("br");
         T->SetTag("span");
         return T;
       },
       "<span>"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::unique_ptr<TKXMarkupLanguageTag> Tag(Case.Make());
    EXPECT_EQ(Tag->Render(), Case.Expected);
  }
}

TEST(TagRendering, NestedTreeBreaksLinesAndRestartsIndentation) {
  TKXHTMLTag Body("body");
  Body.AddStringParam("bgcolor", "#F0FFFF");
  TKXHTMLTag* Form = Body.Contents().AddTag("form");
  Form->AddStringParam("method", "POST");
  Form->Contents().AddTag("input")->AddStringParam("name", "a");
  Form->Contents().AddTag("input")->AddStringParam("name", "b");
  Form->Contents().AddText("x");
  EXPECT_EQ(Body.Render(),
            "<body bgcolor=\"#F0FFFF\">\r\n  <form method=\"POST\">\r\n  <input name=\"a\">\r\n  <input "
            "name=\"b\">x</form></body>");

  TKXHTMLTag Div("DIV");
  Div.Contents().AddTag("input");
  Div.Contents().AddTag("input");
  Div.Contents().AddTag("span")->Contents().AddTag("b");
  EXPECT_EQ(Div.Render(), "<div><input><input><span>\r\n  <b></b></span></div>");

  // Preformatting is kept when the name changes later.
  TKXHTMLTag Cell("td");
  Cell.SetTag("p");
  Cell.Contents().AddTag("b");
  EXPECT_EQ(Cell.Render(), "<p><b></b></p>");
}

TEST(TagRendering, FragmentsTextAndBytes) {
  TKXHTMLTag Fragment;
  Fragment.Contents().AddTag("b");
  Fragment.Contents().AddTag("i");
  EXPECT_EQ(Fragment.Render(), "\r\n<b></b>\r\n<i></i>");

  TKXHTMLTag P("p");
  P.Contents().AddText("a");
  TKXRenderStream Bytes(rnInMemory);
  Bytes.WriteString("<em>ż</em>");
  P.Contents().AddBuffer(Bytes);
  Bytes.WriteString("later");   // the node keeps its own copy
  P.Contents().AddText("");
  P.Contents().AddText("b");
  EXPECT_EQ(P.Render(), "<p>a<em>ż</em>b</p>");
}

TEST(TagRendering, ChildrenOfHTMLTagsAreHTML) {
  TKXHTMLTag Form("form");
  TKXHTMLTag* Input = Form.Contents().AddTag("INPUT");
  EXPECT_STREQ(Input->ClassName(), "TKXHTMLTag");
  Input->AddStringParam("type", "HIDDEN");
  EXPECT_EQ(Form.Render(), "<form>\r\n  <input type=\"HIDDEN\"></form>");

  TKXMarkupLanguageTag Plain("form");
  EXPECT_STREQ(Plain.Contents().AddTag("input")->ClassName(), "TKXMarkupLanguageTag");
  EXPECT_EQ(Plain.Render(), "<form>\r\n  <input></input></form>");
}

TEST(TagRendering, FailureNamesTheOutermostTag) {
  TKXHTMLTag Body("body");
  TKXHTMLTag* Form = Body.Contents().AddTag("form");
  Form->Contents().AddTagAsObject(nullptr);
  Form->Contents().AddText("ok");
  TKXRenderStream Buffer(rnInMemory);
  struct TFailingTag : TKXHTMLTag {
    TFailingTag() : TKXHTMLTag("i") {}
    void RenderContents(TKXRenderStream&, int) override { throw std::runtime_error("disk full"); }
  };
  Form->Contents().AddTagAsObject(new TFailingTag());
  try {
    Body.Render(Buffer);
    FAIL() << "rendering should fail";
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Tag: body");
  }
}

TEST(TagScriptEvents, ChildrenFirstThenOwn) {
  TKXHTMLTag Outer("div");
  Outer.SetScriptEvents("O;");
  TKXHTMLTag* A = Outer.Contents().AddTag("a");
  A->SetScriptEvents("A;");
  A->Contents().AddTag("b")->SetScriptEvents("B;");
  Outer.Contents().AddText("t");
  Outer.Contents().AddTag("c")->SetScriptEvents("C;");
  EXPECT_EQ(Outer.ScriptEvents(), "B;A;C;O;");
}

TEST(XMLTags, CDATAOnlyForInnerHTML) {
  TKXXMLTag Control("control");
  Control.AddStringParam("id", "EDIT1");
  TKXMarkupLanguageTag* Inner = Control.Contents().AddTag("InnerHTML");
  EXPECT_STREQ(Inner->ClassName(), "TKXXMLTag");
  EXPECT_TRUE(static_cast<TKXXMLTag*>(Inner)->CDATA());
  Inner->Contents().AddText("a<b & c");
  Control.Contents().AddTag("caption")->Contents().AddText("x");
  EXPECT_EQ(Control.Render(),
            "<control id=\"EDIT1\">\r\n  <innerhtml><![CDATA[a<b & c]]></innerhtml>\r\n  "
            "<caption>x</caption></control>");

  TKXXMLTag Plain;
  Plain.SetTag("innerhtml");
  Plain.Contents().AddText("<");
  EXPECT_EQ(Plain.Render(), "<innerhtml><</innerhtml>");
  EXPECT_EQ(TKXXMLTag("input").Render(), "<input></input>");
}

TEST(XMLTags, EndMarkerInsideCDATAIsSplit) {
  TKXXMLTag Inner("innerhtml");
  Inner.Contents().AddText("a]]>b");
  EXPECT_EQ(Inner.Render(), "<innerhtml><![CDATA[a]]]]><![CDATA[>b]]></innerhtml>");
}

TEST(LinkedChildren, WrapperRenderedThroughItsChild) {
  auto* Input = new TKXHTMLTag("input");
  Input->AddStringParam("id", "EDIT1");
  auto* Span = new TKXHTMLTag("SPAN");
  Span->AddStringParam("id", "EDIT1_UPDATE");
  EXPECT_EQ(Span->Contents().AddTagAsObject(Input, true), Input);
  EXPECT_EQ(Input->ParentElement(), Span);
  const std::string Expected = "<span id=\"EDIT1_UPDATE\">\r\n  <input id=\"EDIT1\"></span>";
  EXPECT_EQ(Input->Render(), Expected);
  // Rendering the wrapper itself writes it once too.
  EXPECT_EQ(Span->Render(), Expected);
  // A second link of the same tag changes nothing.
  Span->Contents().AddTagAsObject(Input, true);
  EXPECT_EQ(Span->Contents().Count(), 1);
  delete Input;   // frees the wrapper with it (the leak checker watches the span)
}

TEST(LinkedChildren, LinkingALinkedTagAddsItsTopmostAncestor) {
  int Freed = 0;
  auto* Input = new TCountedTag("input", Freed);
  auto* Span = new TCountedTag("span", Freed);
  Span->Contents().AddTagAsObject(Input, true);
  auto* Outer = new TCountedTag("b", Freed);
  EXPECT_EQ(Outer->Contents().AddTagAsObject(Input, true), Input);
  EXPECT_EQ(Span->ParentElement(), Outer);
  EXPECT_EQ(Input->Render(), "<b>\r\n  <span>\r\n  <input></span></b>");
  delete Input;
  EXPECT_EQ(Freed, 3);
}

TEST(LinkedChildren, TwoLinkedChildrenRenderOnce) {
  auto* Span = new TKXHTMLTag("span");
  auto* A = Span->Contents().AddTag("a", true);
  Span->Contents().AddTag("b", true);
  const std::string Expected = "<span>\r\n  <a></a>\r\n  <b></b></span>";
  EXPECT_EQ(A->Render(), Expected);
  EXPECT_EQ(Span->Render(), Expected);
  delete A;
}

TEST(LinkedChildren, FreeingAnyNodeFreesTheLinkedTree) {
  int Freed = 0;
  auto* Span = new TCountedTag("span", Freed);
  auto* Input = new TCountedTag("input", Freed);
  Span->Contents().AddTagAsObject(Input, true);
  Span->Contents().AddTagAsObject(new TCountedTag("b", Freed));   // unlinked sibling
  delete Span;
  EXPECT_EQ(Freed, 3);
}

TEST(DeepCopy, CollectionCopyIsIndependent) {
  TKXHTMLTag Source("div");
  TKXHTMLTag* Form = Source.Contents().AddTag("form");
  Form->AddStringParam("method", "POST");
  Form->Add("NOWRAP");
  Form->SetScriptEvents("s;");
  Form->Contents().AddTag("input")->AddStringParam("name", "a");
  Form->Contents().AddText("t");
  TKXRenderStream Bytes(rnInMemory);
  Bytes.WriteString("<hr>");
  Form->Contents().AddBuffer(Bytes);
  auto* Xml = new TKXXMLTag("innerhtml");
  Xml->Contents().AddText("<x>");
  Source.Contents().AddTagAsObject(Xml);

  TKXHTMLTag Target("p");
  Target.Contents().AddTagCollection(&Source.Contents(), false);
  const std::string Before = Target.Render();
  EXPECT_EQ(Before,
            "<p>\r\n  <form method=\"POST\" NOWRAP>\r\n  <input name=\"a\">t<hr></form>\r\n  "
            "<innerhtml><![CDATA[<x>]]></innerhtml></p>");
  EXPECT_EQ(Target.ScriptEvents(), "s;");
  Form->AddStringParam("method", "GET");
  Form->Contents().AddText("more");
  EXPECT_EQ(Target.Render(), Before);

  auto* Loose = new TKXMarkupLanguageTagCollection(nullptr);
  Loose->AddTag("em");
  Target.Contents().AddTagCollection(Loose, true);   // the leak checker sees it freed
  EXPECT_EQ(Target.Contents().Count(), 3);

  TKXHTMLTag Copy;
  Copy.Assign(&Target);
  EXPECT_EQ(Copy.Render(), Target.Render());
  EXPECT_THROW(Copy.Assign(nullptr), EKXException);
}

TEST(DeepCopy, CopyOfALinkedTagCopiesItsWrapper) {
  auto* Input = new TKXHTMLTag("input");
  auto* Span = new TKXHTMLTag("span");
  Span->AddStringParam("id", "E_UPDATE");
  Span->Contents().AddTagAsObject(Input, true);

  TKXHTMLTag Copy;
  Copy.Assign(Input);
  ASSERT_NE(Copy.ParentElement(), nullptr);
  EXPECT_NE(Copy.ParentElement(), Span);
  EXPECT_EQ(Copy.Render(), Input->Render());
  // Copying the wrapper itself gives one child, not a second wrapper around it.
  TKXHTMLTag Wrapper;
  Wrapper.Assign(Span);
  EXPECT_EQ(Wrapper.Render(), "<span id=\"E_UPDATE\">\r\n  <input></span>");
  delete Input;
}

TEST(TagContents, TagsWithoutContentsRenderAsBefore) {
  TKXHTMLTag Div("div");
  Div.AddStringParam("id", "a");
  Div.SetScriptEvents("d;");
  EXPECT_EQ(Div.Render(), "<div id=\"a\"></div>");
  EXPECT_EQ(Div.ScriptEvents(), "d;");
  const TKXHTMLTag& Asked = Div;
  EXPECT_TRUE(Asked.Contents().Empty());   // made now, and empty it writes nothing
  EXPECT_EQ(Div.Render(), "<div id=\"a\"></div>");

  TKXHTMLTag Input("INPUT");
  Input.AddStringParam("type", "text");
  EXPECT_EQ(Input.Render(), "<input type=\"text\">");
  TKXMarkupLanguageTag Plain("Item");
  EXPECT_EQ(Plain.Render(), "<item></item>");
}

TEST(TagContents, FirstChildOfAnHTMLTagIsHTML) {
  TKXHTMLTag Row("TR");
  TKXMarkupLanguageTag& AsPlain = Row;   // the collection is made through the base class
  TKXMarkupLanguageTag* Cell = AsPlain.Contents().AddTag("TD");
  EXPECT_STREQ(Cell->ClassName(), "TKXHTMLTag");
  EXPECT_EQ(Cell->Tag(), "td");
  Cell->Contents().AddTag("BR");
  EXPECT_EQ(Row.Render(), "<tr><td><br></td></tr>");
}

TEST(TagContents, CopyReplacesTheTargetsChildren) {
  TKXHTMLTag Bare("span");
  Bare.AddStringParam("id", "s");
  TKXHTMLTag Target("p");
  Target.Contents().AddTag("b")->Contents().AddText("old");
  Target.Contents().AddText("old");
  Target.Assign(&Bare);
  EXPECT_EQ(Target.Render(), "<span id=\"s\"></span>");
  EXPECT_TRUE(Target.Contents().Empty());
  TKXHTMLTag Fresh;
  Fresh.Assign(&Bare);
  EXPECT_EQ(Fresh.Render(), "<span id=\"s\"></span>");

  TKXHTMLTag Full("div");
  Full.Contents().AddTag("I");
  Full.Contents().AddText("t");
  TKXHTMLTag Other("p");
  Other.Contents().AddTag("b")->Contents().AddText("old");
  Other.Assign(&Full);
  EXPECT_EQ(Other.Render(), "<div><i></i>t</div>");
  EXPECT_EQ(Other.Contents().Count(), 2);
  Full.Contents().AddText("later");   // the copy's children are its own
  EXPECT_EQ(Other.Render(), "<div><i></i>t</div>");

  // A tag that had no contents gets HTML contents of its own from the copy.
  Fresh.Assign(&Full);
  Fresh.Contents().AddTag("IMG")->AddStringParam("src", "a.png");
  EXPECT_EQ(Fresh.Render(), "<div><i></i>tlater<img src=\"a.png\"></div>");
  EXPECT_EQ(Full.Render(), "<div><i></i>tlater</div>");
}
