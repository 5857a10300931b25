// The demonstration's login form read with the real controls from its stored description, and
// the controls' part of its page.
#include <regex>

#include "controls/KXButton.h"
#include "controls/KXCompEdit.h"
#include "KXControlTestSupport.h"
#include "core/KXDescriptionReader.h"
#include "controls/KXFile.h"
#include "controls/KXLabel.h"
#include "core/KXResources.h"
#include "core/KXStreams.h"
#include "controls/KXText.h"

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

// The pieces the demo's controls add to its page, written out as the page carries them.
std::string Rule(const std::string& AName, int ALeft, int ATop, const std::string& ARest) {
  return "." + AName + "CSS {position:absolute;left:" + std::to_string(ALeft) + "px;top:" + std::to_string(ATop) +
         "px;z-index:100;" + ARest + "}\r\n";
}
std::string Size(int AWidth, int AHeight) {
  return "width:" + std::to_string(AWidth) + "px;height:" + std::to_string(AHeight) + "px;";
}
std::string Function(const std::string& AName, const std::string& AEvent, const std::string& ACode) {
  return "function " + AName + "_" + AEvent + "() {\r\n" + ACode + "\r\n}\r\n";
}
// Input controls post their content along with asynchronous events.
std::string ContentChange(const std::string& AName) {
  std::string S;
  for (const char* E : {"onchange", "onkeypress", "onclick", "onselect"})
    S += Function(AName, E, "OnControlContentChange(event);\r\nreturn true;");
  return S;
}
std::string ContentChangeHooks(const std::string& AName) {
  std::string S;
  for (const char* E : {"change", "keypress", "click", "select"})
    S += "if (" + AName + "KXCL) " + AName + "KXCL.HookEvent(\"" + E + "\"," + AName + "_on" + E + ");";
  return S;
}
std::string NewKXCL(const std::string& AName) { return AName + "KXCL = NewKXCL(KXCLForm,\"" + AName + "\",false);"; }

TEST_F(ControlsDemoTest, TheLoginPageWithTheRealControls) {
  TKXControlsLoginForm* F = Login();
  const std::string ID = Session->AppID();
  Session->SetFormAction("/EXEC/0/" + ID);
  TKXRenderStream Stream(rnInMemory);
  F->GenerateForm(Stream);
  // The frame's cache file has a fresh name each render.
  const std::string Page =
      std::regex_replace(Stream.Extract(), std::regex("/Cache/user/[^\"]*/HTM[^\"/]*\\.tmp"), "/Cache/<frame file>");

  const std::string Font = kIEFont;
  // Each button uploads the file first, then posts itself as the action.
  const auto Upload = [](const std::string& AButton) {
    return "if (Validate()){SubmitNextFile('" + AButton + "','');return true;}else{return false;};";
  };
  const std::string Expected =
      "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=UTF-8\">"
      "<meta http-equiv=\"cache-control\" content=\"no-cache\"><meta http-equiv=\"pragma\" content=\"no-cache\">"
      " <meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\"><title>To jest test</title>"
      "<style type=\"text/css\">" +
      // Labels are auto-sized: no width and height.
      Rule("KXLABEL1", 16, 133, Font) + Rule("KXLABEL2", 16, 160, Font) +
      Rule("KXBUTTON3", 61, 200, Size(121, 25) + Font) + Rule("KXEDIT2", 61, 128, Size(121, 21) + Font + "text-align:left;") +
      Rule("KXEDIT3", 61, 160, Size(121, 21) + Font + "text-align:left;") +
      Rule("KXFILE1", 24, 16, Size(275, 81) + Font + "border-width:0;border-style:none;overflow:hidden;") +
      Rule("KXBUTTON4", 305, 40, Size(75, 33) + Font) + "</style>" +
      "<script type=\"text/javascript\" src=\"/js/KXPreScript.js_10.0.0\"></script><script type=\"text/javascript\">"
      "var file=0;\r\nfunction SubmitNextFile(AName,AParam){\r\nif (file==0){\r\n"
      "KXFILE1.document.forms[0].KX_MainPageSubmitControl.value=AName;\r\n"
      "KXFILE1.document.forms[0].KX_MainPageSubmitControlParam.value=AParam;\r\n"
      "KXFILE1.document.forms[0].action=\"/upload/\"+(file+GTrackID)+\"/\"+GAppID;\r\n"
      "KXFILE1.document.forms[0].submit();\r\n} else { SubmitClickConfirm(AName,AParam,false,\"\");}\r\n"
      "file++;return false;\r\n}"
      "var KXLABEL1KXCL = null;var KXLABEL2KXCL = null;"
      "var KXBUTTON3KXCL = null;" + Function("KXBUTTON3", "onclick", Upload("KXBUTTON3")) +
      "var KXEDIT2KXCL = null;" + ContentChange("KXEDIT2") + "var KXEDIT3KXCL = null;" + ContentChange("KXEDIT3") +
      "var KXFILE1KXCL = null;" + ContentChange("KXFILE1") +
      "var KXBUTTON4KXCL = null;" + Function("KXBUTTON4", "onclick", Upload("KXBUTTON4")) +
      "function FormDefaultSubmit(){return false;}var GIsPartialUpdate=false;var GOnResizetimeout=1000;"
      "var GURLBase=\"\";var GAppID=\"" + ID + "\";var GTrackID=0;function KXTop(){return window;}"
      "var GActiveControl = null;history.go(1);function Validate() {  return true;}function InitKXCLObjects() {" +
      NewKXCL("KXLABEL1") + NewKXCL("KXLABEL2") + NewKXCL("KXBUTTON3") +
      "if (KXBUTTON3KXCL) KXBUTTON3KXCL.HookEvent(\"click\",KXBUTTON3_onclick);" + NewKXCL("KXEDIT2") +
      ContentChangeHooks("KXEDIT2") + NewKXCL("KXEDIT3") + ContentChangeHooks("KXEDIT3") + NewKXCL("KXFILE1") +
      ContentChangeHooks("KXFILE1") + NewKXCL("KXBUTTON4") +
      "if (KXBUTTON4KXCL) KXBUTTON4KXCL.HookEvent(\"click\",KXBUTTON4_onclick);}\r\n"
      "function Initialize() {StaticInit();GActivateLock = true;InitRects(491, 265);InitKXCLObjects();"
      "Body_OnResize();if (document.body.leftMargin < 0 && document.body.topMargin < 0) {"
      "  document.body.leftMargin = 0;  document.body.topMargin = 0;}ReleaseLock();}</script>"
      "<META HTTP-EQUIV=\"MSThemeCompatible\" Content=\"yes\"><META Name=\"GENERATOR\" content=\"Kexalo v10.0.0\">"
      "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">"
      "<script type=\"text/javascript\" src=\"/js/KXCommon.js_10.0.0\"></script>"
      "<script type=\"text/javascript\" src=\"/js/KXCL.js_10.0.0\"></script>"
      "<script type=\"text/javascript\" src=\"/js/KXAjax.js_10.0.0\"></script>"
      "<script type=\"text/javascript\" src=\"/js/KXExplorer.js_10.0.0\"></script>"
      "</head><body onresize=\"return Body_OnResize();\" bgcolor=\"#F0FFFF\" topmargin=\"0\" leftmargin=\"0\" "
      "onload=\"Initialize()\" onunload=\"ReleaseKXCL()\" onblur=\"GSubmitting = false;\">\r\n"
      "  <script type=\"text/javascript\">createKXLocker(\"/gfx/loading.gif\");ActivateLock();</script>"
      "<script language=\"Javascript\">var PreScript=false;PostScript=false;</script>"
      "<script language=\"Javascript\">var PreAsyncScript=false;PostAsyncScript=false;</script>"
      "<span style=\"text-align:left;\" class=\"KXLABEL1CSS\" id=\"KXLABEL1\">login :</span>"
      "<span style=\"text-align:left;\" class=\"KXLABEL2CSS\" id=\"KXLABEL2\">hasło :</span>"
      "<form onsubmit=\"return FormDefaultSubmit();\">"
      "<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\" class=\"KXBUTTON3CSS\" id=\"KXBUTTON3\" tabindex=\"1\">"
      "<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\" class=\"KXEDIT2CSS\" id=\"KXEDIT2\" tabindex=\"2\">"
      "<input type=\"TEXT\" name=\"KXEDIT3\" maxlength=\"2147483647\" class=\"KXEDIT3CSS\" id=\"KXEDIT3\" tabindex=\"3\">"
      "<iframe src=\"/Cache/<frame file>\" frameborder=\"0\" scrolling=\"no\" width=\"275\" class=\"KXFILE1CSS\" "
      "id=\"KXFILE1\" name=\"KXFILE1\" tabindex=\"4\"></iframe>"
      "<input value=\"Załaduj\" name=\"KXBUTTON4\" type=\"button\" class=\"KXBUTTON4CSS\" id=\"KXBUTTON4\" tabindex=\"5\">"
      "</form><form method=\"POST\" name=\"SubmitForm\" action=\"/EXEC/0/" + ID + "\" enctype=\"multipart/form-data\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KXBUTTON3\">\r\n  <input type=\"HIDDEN\" name=\"KXEDIT2\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KXEDIT3\">\r\n  <input type=\"HIDDEN\" name=\"KXBUTTON4\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_Action\">\r\n  <input type=\"HIDDEN\" name=\"KX_ActionParam\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_FormName\" value=\"KXForm1\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_FormClass\" value=\"TKXControlsLoginForm\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_width\">\r\n  <input type=\"HIDDEN\" name=\"KX_height\">"
      "</form></body></html>";
  EXPECT_EQ(Page, Expected);
}

}  // namespace
