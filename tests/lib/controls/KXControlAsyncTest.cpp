// The asynchronous update element of each control, and the style splitting it relies on.
#include "controls/KXButton.h"
#include "controls/KXCompEdit.h"
#include "KXControlTestSupport.h"
#include "controls/KXLabel.h"
#include "controls/KXText.h"
#include "render/KXXMLTag.h"
#include "SkStrUtils.h"

namespace {

class ControlAsyncTest : public ControlTest {
protected:
  // The element with the tag layer's indentation taken out.
  std::string Update(TKXCustomControl& AControl) {
    TKXPageContext40 Page(Session.get(), PageRequest());
    TKXComponent40Context Context(&AControl, nullptr, &Page);
    std::unique_ptr<TKXXMLTag> Tag(AControl.RenderAsyncComponent(Context));
    return Tag ? ReplaceAll(Tag->Render(), "\r\n  ", "") : std::string();
  }
};

std::string Attr(const std::string& AName, const std::string& AValue) {
  return "<attribute name=\"" + AName + "\">" + AValue + "</attribute>";
}

const std::string kFontAttrs = Attr("fontWeight", "normal") + Attr("fontStyle", "normal") +
                               Attr("textDecoration", "none") + Attr("fontSize", "13px");

std::string Common(int ALeft, int ATop, int AHeight = -1, int AWidth = -1) {
  std::string S = "<enabled>true</enabled><style>" + Attr("visibility", "inherit") + Attr("left", std::to_string(ALeft) + "px") +
                  Attr("top", std::to_string(ATop) + "px");
  if (AHeight >= 0) S += Attr("height", std::to_string(AHeight) + "px") + Attr("width", std::to_string(AWidth) + "px");
  return S + Attr("zIndex", "100") + kFontAttrs + "</style>";
}

TEST_F(ControlAsyncTest, Button) {
  auto* B = Make<TKXButton>("KXButton3");
  B->SetBounds(61, 200, 121, 25);
  EXPECT_EQ(Update(*B), "<control id=\"KXBUTTON3\" type=\"KXBUTTON\"><caption></caption><color>" +
                            std::to_string(clBtnFace) + "</color>" + Common(61, 200, 25, 121) + "</control>");
  B->SetCaption("a&b");
  B->SetColor(clWebRED);
  EXPECT_EQ(Update(*B), "<control id=\"KXBUTTON3\" type=\"KXBUTTON\"><caption>a&amp;b</caption><style>" +
                            Attr("backgroundColor", "#FF0000") + "</style><color>255</color>" + Common(61, 200, 25, 121) +
                            "</control>");
}

TEST_F(ControlAsyncTest, LabelAlwaysSendsItsAlignment) {
  auto* L = Make<TKXLabel>("KXLabel1");
  L->SetBounds(16, 133, 39, 16);
  L->SetCaption("a<b");
  L->SetCss("mine");
  L->SetBGColor(clWebAZURE);
  L->SetAlignment(taCenter);
  EXPECT_EQ(Update(*L), "<control id=\"KXLABEL1\" type=\"KXLABEL\"><innerhtml><![CDATA[a&lt;b]]></innerhtml><style>" +
                            Attr("textAlign", "center") + Attr("backgroundColor", "#F0FFFF") +
                            "</style><css>mine</css>" + Common(16, 133) + "</control>")
      << "auto-sized: no height and width";
}

TEST_F(ControlAsyncTest, Text) {
  auto* T = Make<TKXText>("KXText1");
  T->SetText("x");
  T->SetBGColor(clWebRED);
  EXPECT_EQ(Update(*T), "<control id=\"KXTEXT1\" type=\"KXTEXT\"><style>" + Attr("backgroundColor", "#FF0000") +
                            "</style><innerhtml><![CDATA[x<br>]]></innerhtml>" + Common(0, 0) + "</control>");
}

TEST_F(ControlAsyncTest, Edit) {
  auto* E = Make<TKXEdit>("KXEdit2");
  E->SetBounds(61, 128, 121, 21);
  EXPECT_EQ(Update(*E), "<control id=\"KXEDIT2\" type=\"KXEDIT\"><style>" + Attr("textAlign", "left") +
                            "</style><readonly>false</readonly><text></text><maxlength>0</maxlength>" +
                            Common(61, 128, 21, 121) + "</control>");
  E->SetBGColor(clWebYELLOW);
  E->SetText("\"q\"");
  E->SetReadOnly(true);
  EXPECT_EQ(Update(*E), "<control id=\"KXEDIT2\" type=\"KXEDIT\"><style>" + Attr("backgroundColor", "#FFFF00") +
                            "</style><style>" + Attr("textAlign", "left") +
                            "</style><readonly>true</readonly><text>&quot;q&quot;</text><maxlength>0</maxlength>" +
                            Common(61, 128, 21, 121) + "</control>");
}

TEST_F(ControlAsyncTest, CommonPropertiesFollowTheSwitches) {
  auto* B = Make<TKXButton>("KXButton3");
  B->SetBounds(1, 2, 30, 40);
  B->SetCaption("x");
  B->SetHint("h");
  B->SetVisible(false);
  B->SetUseFrame(true);
  B->SetZIndex(-100);
  B->Font().SetEnabled(false);
  B->StyleRenderOptions().RenderStatus = false;
  EXPECT_EQ(Update(*B), "<control id=\"KXBUTTON3\" type=\"KXBUTTON\"><caption>x</caption><color>" +
                            std::to_string(clBtnFace) + "</color><hint>h</hint><style>" + Attr("visibility", "hidden") +
                            Attr("left", "1px") + Attr("top", "2px") + Attr("height", "36px") + Attr("width", "26px") +
                            "</style></control>");
}

TEST(StyleToAttributes, SplitsDeclarationsIntoScriptNames) {
  using TList = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* Name;
    std::string Style;
    TList Expected;
  } Cases[] = {
      {"names become script properties", "background-color: #FF0000; z-index:100;",
       {{"backgroundColor", "#FF0000"}, {"zIndex", "100"}}},
      {"line ends removed, spaces inside values kept", "font-family:Times New\r\n Roman;",
       {{"fontFamily", "Times New Roman"}}},
      {"empty pieces dropped", ";;left:1px;  ;", {{"left", "1px"}}},
      {"a piece without a colon joins the one before", "font-family:a;b;top:2px", {{"fontFamily", "a;b"}, {"top", "2px"}}},
      {"a leading piece without a colon is dropped", "junk;left:1px", {{"left", "1px"}}},
      {"the font's own text", "text-decoration: none;font-size:13px; ", {{"textDecoration", "none"}, {"fontSize", "13px"}}},
      {"empty", "", {}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(StyleToAttributes(Case.Style), Case.Expected);
  }
}

}  // namespace
