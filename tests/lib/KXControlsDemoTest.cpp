// The demonstration's login form read with the real controls from its stored description, and
// the controls' part of its page.
#include <regex>

#include "KXButton.h"
#include "KXCompEdit.h"
#include "KXControlTestSupport.h"
#include "KXDescriptionReader.h"
#include "KXFile.h"
#include "KXLabel.h"
#include "KXResources.h"
#include "KXStreams.h"
#include "KXText.h"

namespace {

class TKXControlsLoginForm : public TKXAppForm {
public:
  explicit TKXControlsLoginForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
  void KXButton3Click(TKXComponent*) { ++OkClicks; }
  void KXButton4Click(TKXComponent*) { ++UploadClicks; }
  TKXButton *KXButton3 = nullptr, *KXButton4 = nullptr;
  TKXEdit *KXEdit2 = nullptr, *KXEdit3 = nullptr;
  TKXFile* KXFile1 = nullptr;
  TKXLabel *KXLabel1 = nullptr, *KXLabel2 = nullptr;
  TKXText* KXText1 = nullptr;
  int OkClicks = 0, UploadClicks = 0;
};

const TKXClassInfo& TKXControlsLoginForm::StaticClassInfo() {
  using T = TKXControlsLoginForm;
  static const TKXClassInfo Info = KXClass<T, TKXAppForm>("TKXControlsLoginForm")
                                       .Methods({KXMethod("KXButton3Click", &T::KXButton3Click),
                                                 KXMethod("KXButton4Click", &T::KXButton4Click)})
                                       .Fields({KXField("KXButton3", &T::KXButton3), KXField("KXButton4", &T::KXButton4),
                                                KXField("KXEdit2", &T::KXEdit2), KXField("KXEdit3", &T::KXEdit3),
                                                KXField("KXFile1", &T::KXFile1), KXField("KXLabel1", &T::KXLabel1),
                                                KXField("KXLabel2", &T::KXLabel2), KXField("KXText1", &T::KXText1)});
  return Info;
}

// The common values every demo control stores.
#define COMMON                                   \
  "    Cursor = crAuto\n"                        \
  "    ZIndex = 0\n"                             \
  "    ShowHint = True\n"                        \
  "    ParentShowHint = False\n"                 \
  "    RenderSize = True\n"                      \
  "    StyleRenderOptions.RenderSize = True\n"   \
  "    StyleRenderOptions.RenderPosition = True\n" \
  "    StyleRenderOptions.RenderFont = True\n"   \
  "    StyleRenderOptions.RenderZIndex = True\n" \
  "    StyleRenderOptions.RenderVisibility = True\n" \
  "    StyleRenderOptions.RenderStatus = True\n" \
  "    StyleRenderOptions.RenderAbsolute = True\n" \
  "    Font.Color = clNone\n"                    \
  "    Font.Size = 10\n"                         \
  "    Font.Style = []\n"                        \
  "    KX50Hint = False\n"

#define EDIT_VALUES                      \
  "    Alignment = taLeftJustify\n"      \
  "    BGColor = clNone\n"               \
  "    FocusColor = clNone\n"            \
  "    Editable = True\n"                \
  "    NonEditableAsLabel = True\n"      \
  "    MaxLength = 0\n"                  \
  "    ReadOnly = False\n"               \
  "    Required = False\n"               \
  "    PasswordPrompt = False\n"         \
  "    SubmitOnAsyncEvent = True\n"      \
  "    DoSubmitValidation = True\n"

#define LABEL_VALUES                   \
  "    Alignment = taLeftJustify\n"    \
  "    BGColor = clNone\n"             \
  "    NoWrap = False\n"               \
  "    ConvertSpaces = False\n"        \
  "    RawText = False\n"

const char* const kDescription =
    "object KXForm1: TKXControlsLoginForm\n"
    "  Width = 491\n  Height = 265\n  Title = 'To jest test'\n  BGColor = clWebAZURE\n"
    "  object KXFile1: TKXFile\n    Left = 24\n    Top = 16\n    Width = 275\n    Height = 81\n    TabOrder = 3\n" COMMON
    "    FriendlyName = 'KXFile1'\n    BGColor = clNone\n    FrameBGColor = clNone\n    ButtonHeight = 21\n"
    "    StatusUpdateInterval = 1000\n  end\n"
    "  object KXButton4: TKXButton\n    Left = 305\n    Top = 40\n    Width = 75\n    Height = 33\n    TabOrder = 4\n" COMMON
    "    Caption = 'Za'#322'aduj'\n    Color = clBtnFace\n    DoSubmitValidation = True\n    OnClick = KXButton4Click\n  end\n"
    "  object KXLabel1: TKXLabel\n    Left = 16\n    Top = 133\n    Width = 39\n    Height = 16\n" COMMON
    "    Caption = 'login :'\n" LABEL_VALUES "  end\n"
    "  object KXEdit2: TKXEdit\n    Left = 61\n    Top = 128\n    Width = 121\n    Height = 21\n    TabOrder = 1\n" COMMON
    EDIT_VALUES "  end\n"
    "  object KXLabel2: TKXLabel\n    Left = 16\n    Top = 160\n    Width = 44\n    Height = 16\n" COMMON
    "    Caption = 'has'#322'o :'\n" LABEL_VALUES "  end\n"
    "  object KXEdit3: TKXEdit\n    Left = 61\n    Top = 160\n    Width = 121\n    Height = 21\n    TabOrder = 2\n" COMMON
    EDIT_VALUES "  end\n"
    "  object KXButton3: TKXButton\n    Left = 61\n    Top = 200\n    Width = 121\n    Height = 25\n    TabOrder = 0\n" COMMON
    "    Caption = 'OK'\n    Color = clBtnFace\n    DoSubmitValidation = True\n    OnClick = KXButton3Click\n  end\n"
    "end\n";

const bool GRegistered = [] {
  KXRegisterClass<TKXControlsLoginForm>();
  KXRegisterResource("TKXControlsLoginForm", kDescription);
  return true;
}();

class ControlsDemoTest : public ControlTest {
protected:
  TKXControlsLoginForm* Login() {
    (void)GRegistered;
    auto* F = KXCreate<TKXControlsLoginForm>(Session.get());
    F->Show();
    return F;
  }
};

TEST_F(ControlsDemoTest, EveryControlReadsItsStoredValues) {
  TKXControlsLoginForm* F = Login();
  ASSERT_TRUE(F->KXButton3 && F->KXButton4 && F->KXEdit2 && F->KXEdit3 && F->KXFile1 && F->KXLabel1 && F->KXLabel2);

  EXPECT_EQ(F->KXButton4->Caption(), "Załaduj");
  EXPECT_EQ(F->KXButton4->Color(), clBtnFace);
  EXPECT_EQ(F->KXButton3->Caption(), "OK");
  EXPECT_EQ(F->KXButton3->Height(), 25);
  F->KXButton3->DoSubmit("");
  F->KXButton4->DoSubmit("");
  F->KXButton4->DoSubmit("");
  EXPECT_EQ(F->OkClicks, 1);
  EXPECT_EQ(F->UploadClicks, 2);

  EXPECT_EQ(F->KXLabel2->Caption(), "hasło :");
  EXPECT_EQ(F->KXLabel1->Alignment(), taLeftJustify);
  EXPECT_TRUE(F->KXLabel1->RenderSize());
  EXPECT_TRUE(F->KXLabel1->AutoSize());
  EXPECT_FALSE(F->KXLabel1->ParentShowHint());

  for (TKXEdit* E : {F->KXEdit2, F->KXEdit3}) {
    SCOPED_TRACE(E->Name());
    EXPECT_EQ(E->Text(), "");
    EXPECT_FALSE(E->PasswordPrompt());
    EXPECT_TRUE(E->SubmitOnAsyncEvent());
    EXPECT_EQ(E->FriendlyName(), E->Name());
    EXPECT_EQ(E->Width(), 121);
  }
  EXPECT_EQ(F->KXEdit3->TabOrderValue(), 2);

  EXPECT_EQ(F->KXFile1->ButtonHeight(), 21);
  EXPECT_EQ(F->KXFile1->StatusUpdateInterval(), 1000);
  EXPECT_EQ(F->KXFile1->FrameBGColor(), clNone);
  EXPECT_EQ(F->KXFile1->Height(), 81);
  EXPECT_EQ(F->KXFile1->ControlEncode(), ceMPFormData);
}

TEST_F(ControlsDemoTest, TheControlsPartOfTheLoginPage) {
  TKXControlsLoginForm* F = Login();
  Session->SetFormAction("/EXEC/0/" + Session->AppID());
  TKXRenderStream Stream(rnInMemory);
  F->GenerateForm(Stream);
  std::string Page = Stream.Extract();
  // The frame's cache file has a fresh name each render.
  Page = std::regex_replace(Page, std::regex("user/[^\"]*/HTM[^\"]*\\.tmp"), "<frame file>");

  const auto Has = [&](const std::string& AText) {
    EXPECT_NE(Page.find(AText), std::string::npos) << AText << "\n---\n" << Page;
  };
  const std::string Font = kIEFont;
  Has(".KXLABEL1CSS {position:absolute;left:16px;top:133px;z-index:100;" + Font + "}");
  Has(".KXBUTTON3CSS {position:absolute;left:61px;top:200px;z-index:100;width:121px;height:25px;" + Font + "}");
  Has(".KXEDIT2CSS {position:absolute;left:61px;top:128px;z-index:100;width:121px;height:21px;" + Font +
      "text-align:left;}");
  Has(".KXFILE1CSS {position:absolute;left:24px;top:16px;z-index:100;width:275px;height:81px;" + Font +
      "border-width:0;border-style:none;overflow:hidden;}");
  Has("<span style=\"text-align:left;\" class=\"KXLABEL1CSS\" id=\"KXLABEL1\">login :</span>");
  Has("<span style=\"text-align:left;\" class=\"KXLABEL2CSS\" id=\"KXLABEL2\">hasło :</span>");
  Has("<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\" class=\"KXBUTTON3CSS\" id=\"KXBUTTON3\" tabindex=\"1\">");
  Has("<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\" class=\"KXEDIT2CSS\" id=\"KXEDIT2\" tabindex=\"2\">");
  Has("<input type=\"TEXT\" name=\"KXEDIT3\" maxlength=\"2147483647\" class=\"KXEDIT3CSS\" id=\"KXEDIT3\" tabindex=\"3\">");
  Has("<iframe src=\"/Cache/<frame file>\" frameborder=\"0\" scrolling=\"no\" width=\"275\" class=\"KXFILE1CSS\" "
      "id=\"KXFILE1\" name=\"KXFILE1\" tabindex=\"4\"></iframe>");
  Has("<input value=\"Załaduj\" name=\"KXBUTTON4\" type=\"button\" class=\"KXBUTTON4CSS\" id=\"KXBUTTON4\" "
      "tabindex=\"5\">");
  // Both buttons upload the file before the page is submitted.
  Has("function KXBUTTON3_onclick() {\r\nif (Validate()){SubmitNextFile('KXFILE1','');return true;}else{return false;};\r\n}");
  Has("function KXBUTTON4_onclick() {\r\nif (Validate()){SubmitNextFile('KXFILE1','');return true;}else{return false;};\r\n}");
  // The edits post their content with asynchronous events.
  Has("function KXEDIT2_onchange() {\r\nOnControlContentChange(event);\r\nreturn true;\r\n}");
}

}  // namespace
