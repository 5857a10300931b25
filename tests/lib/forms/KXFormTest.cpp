// Form life cycle and the rendered page, with stand-in controls.
#include <gtest/gtest.h>

#include "KXStandInControl.h"
#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "render/KXColor.h"
#include "core/KXDescriptionReader.h"
#include "controls/KXContainerBorderOptions.h"
#include "render/KXContainerLayout.h"
#include "forms/KXAppForm.h"
#include "controls/KXRegion.h"
#include "render/KXRenderContext.h"
#include "core/KXResources.h"
#include "forms/KXShowMessage.h"
#include "core/KXStreams.h"
#include "render/KXXMLTag.h"
#include "KXTestController.h"
#include "KXTestWebRequest.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "SkWebResponse.h"

namespace {

const char* const kIE = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)";

class TKXLoginForm : public TKXAppForm {
public:
  explicit TKXLoginForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
  void FormCreate(TKXComponent*) { CreatedWith = Title(); }
  std::string CreatedWith;
};

const TKXClassInfo& TKXLoginForm::StaticClassInfo() {
  using T = TKXLoginForm;
  static const TKXClassInfo Info = KXClass<T, TKXAppForm>("TKXLoginForm").Methods({KXMethod("FormCreate", &T::FormCreate)});
  return Info;
}

class TKXNoDescriptionForm : public TKXAppForm {
public:
  explicit TKXNoDescriptionForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TKXNoDescriptionForm::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXNoDescriptionForm, TKXAppForm>("TKXNoDescriptionForm");
  return Info;
}

// The demonstration login form, with stand-ins in place of the real controls.
const char* const kLoginDescription = R"(object KXForm1: TKXLoginForm
  Width = 491
  Height = 265
  Title = 'To jest test'
  BGColor = clWebAZURE
  LinkColor = clMenuHighlight
  OnCreate = FormCreate
  object KXFile1: TKXStandInFile
    Left = 24
    Top = 16
    Width = 275
    Height = 81
    RenderSize = True
    SubmitOnAsyncEvent = False
    TabOrder = 3
  end
  object KXButton4: TKXStandInButton
    Left = 305
    Top = 40
    Width = 75
    Height = 33
    RenderSize = True
    TabOrder = 4
  end
  object KXLabel1: TKXStandInLabel
    Left = 16
    Top = 133
    Width = 39
    Height = 16
    RenderSize = True
    Caption = 'login :'
  end
  object KXEdit2: TKXStandInEdit
    Left = 61
    Top = 128
    Width = 121
    Height = 21
    RenderSize = True
    SubmitOnAsyncEvent = False
    TabOrder = 1
  end
  object KXLabel2: TKXStandInLabel
    Left = 16
    Top = 160
    Width = 44
    Height = 16
    RenderSize = True
    Caption = 'has'#322'o :'
  end
  object KXEdit3: TKXStandInEdit
    Left = 61
    Top = 160
    Width = 121
    Height = 21
    RenderSize = True
    SubmitOnAsyncEvent = False
    TabOrder = 2
  end
  object KXButton3: TKXStandInButton
    Left = 61
    Top = 200
    Width = 121
    Height = 25
    RenderSize = True
    TabOrder = 0
  end
end
)";


// A form with a bordered region holding a label and an edit, next to an edit of its own.
class TKXRegionForm : public TKXAppForm {
public:
  explicit TKXRegionForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TKXRegionForm::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXRegionForm, TKXAppForm>("TKXRegionForm");
  return Info;
}

const char* const kRegionDescription = R"(object RegionForm: TKXRegionForm
  Width = 400
  Height = 300
  object KXEdit1: TKXStandInEdit
    Left = 10
    Top = 10
    Width = 100
    Height = 21
    RenderSize = True
    SubmitOnAsyncEvent = False
    TabOrder = 0
  end
  object KXRegion1: TKXRegion
    Left = 20
    Top = 50
    Width = 200
    Height = 100
    BorderOptions.NumericWidth = 4
    TabOrder = 1
    object KXLabel1: TKXStandInLabel
      Left = 8
      Top = 8
      Width = 40
      Height = 16
      RenderSize = True
      Caption = 'In'
    end
    object KXEdit2: TKXStandInEdit
      Left = 8
      Top = 30
      Width = 80
      Height = 21
      RenderSize = True
      SubmitOnAsyncEvent = False
      TabOrder = 0
    end
  end
end
)";

const bool GRegistered = [] {
  KXRegisterStandIns();
  KXRegisterClass<TKXLoginForm>();
  KXRegisterResource("TKXLoginForm", kLoginDescription);
  KXRegisterClass<TKXRegionForm>();
  KXRegisterResource("TKXRegionForm", kRegionDescription);
  return true;
}();

class FormTest : public ::testing::Test {
protected:
  void SetUp() override {
    (void)GRegistered;
    Session = std::make_unique<TKXApplication>(Scope.Controller(), TKXBrowserType{brIE, brsNone}, kIE, "127.0.0.1", "", "", "",
                                               TSkStringList(), "");
    Session->SetFormFactory(&TKXAppForm::Factory());
    SetCurrentSession(Session.get());
  }
  void TearDown() override {
    Session.reset();
    SetCurrentSession(nullptr);
  }
  std::string Render(TKXForm& AForm) {
    TKXRenderStream Page(rnInMemory);
    AForm.GenerateForm(Page);
    return Page.Extract();
  }

  TKXTestControllerScope Scope;
  std::unique_ptr<TKXApplication> Session;
};

const std::string kFont = "font-weight:normal;font-style:normal;text-decoration: none;font-size:13px; ";

std::string Rule(const std::string& AName, int ALeft, int ATop, int AWidth, int AHeight) {
  return "." + AName + "CSS {position:absolute;left:" + std::to_string(ALeft) + "px;top:" + std::to_string(ATop) +
         "px;z-index:100;width:" + std::to_string(AWidth) + "px;height:" + std::to_string(AHeight) + "px;" + kFont +
         "}\r\n";
}

std::string Script(const std::string& AFile) {
  return "<script type=\"text/javascript\" src=\"/js/" + AFile + "_10.0.0\"></script>";
}

TEST_F(FormTest, CreationAppliesDefaultsThenDescriptionThenOnCreate) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  EXPECT_EQ(Form->CreatedWith, "To jest test");   // OnCreate ran after the description
  EXPECT_EQ(Form->Width(), 491);
  EXPECT_EQ(Form->FormType(), ftApp);
  EXPECT_TRUE(Form->LockUntilLoaded());
  EXPECT_EQ(Form->TextColor(), clNone);
  EXPECT_EQ(Form->BGColor(), clWebAZURE);
}

TEST_F(FormTest, ClassWithoutDescriptionFails) {
  try {
    KXCreate<TKXNoDescriptionForm>(Session.get());
    FAIL() << "created without a description";
  } catch (const EKXResNotFound& E) {
    EXPECT_STREQ(E.what(), "TKXNoDescriptionForm not found.");
  }
  EXPECT_EQ(Session->FormCount(), 0);
}

TEST_F(FormTest, ShowHideAndReleaseWithinTheSession) {
  auto* First = KXCreate<TKXLoginForm>(Session.get());
  auto* Second = KXCreate<TKXLoginForm>(Session.get());
  First->Show();
  Second->Show();
  EXPECT_EQ(Session->ActiveForm(), Second);
  Second->Hide();
  EXPECT_EQ(Session->ActiveForm(), First);
  Second->Show();
  Second->Release();
  EXPECT_TRUE(Second->Released());
  EXPECT_EQ(Session->ActiveForm(), First);
  Session->FreeReleasedForms();
  EXPECT_EQ(Session->FormCount(), 1);
}

TEST_F(FormTest, MessageFormOkReturnsToTheFormBefore) {
  auto* Login = KXCreate<TKXLoginForm>(Session.get());
  Login->Show();
  Session->ShowMessage("Nieprawidłowy login lub hasło", smSameWindowFrame);
  auto* Message = dynamic_cast<TKXShowMessage*>(static_cast<TKXComponent*>(Session->ActiveForm()));
  ASSERT_NE(Message, nullptr);
  EXPECT_EQ(Message->MessageText(), "Nieprawidłowy login lub hasło");
  Message->ButtonOkClick(Message);
  EXPECT_EQ(Session->ActiveForm(), Login);
  Session->FreeReleasedForms();
}

TEST_F(FormTest, MessageFormOkWithoutMainFormFails) {
  Session->ShowMessage("x", smSameWindow);
  auto* Message = dynamic_cast<TKXShowMessage*>(static_cast<TKXComponent*>(Session->ActiveForm()));
  ASSERT_NE(Message, nullptr);
  const TKXClassInfo* Saved = TKXAppForm::MainFormClass();
  TKXAppForm::SetMainFormClass(nullptr);
  EXPECT_THROW(Message->ButtonOkClick(Message), EKXException);
  TKXAppForm::SetMainFormClass(Saved);
}

// The worked example's page for a session, at a form size, track id and form action, under a
// session tracking method.
std::string LoginPage(const std::string& AAppID, int AWidth, int AHeight, unsigned ATrack, const std::string& AAction,
                      TKXSessionTrackingMethod ATracking = tmURL) {
  const std::string Track = std::to_string(ATrack);
  const std::string Names[] = {"KXLABEL1", "KXLABEL2", "KXBUTTON3", "KXEDIT2", "KXEDIT3", "KXFILE1", "KXBUTTON4"};
  std::string JSOnce, KXCL;
  for (const std::string& N : Names) {
    JSOnce += "var " + N + "KXCL = null;";
    KXCL += N + "KXCL = NewKXCL(KXCLForm,\"" + N + "\",false);";
  }
  const std::string FileScript =
      "var file=0;\r\nfunction SubmitNextFile(AName,AParam){\r\nif (file==0){\r\n"
      "KXFILE1.document.forms[0].KX_MainPageSubmitControl.value=AName;\r\n"
      "KXFILE1.document.forms[0].KX_MainPageSubmitControlParam.value=AParam;\r\n"
      + std::string(ATracking == tmHidden ? "KXFILE1.document.forms[0].KX_TrackID_.value=(file+GTrackID);\r\n"
                                          : "KXFILE1.document.forms[0].action=\"/upload/\"+(file+GTrackID)+\"/\"+GAppID;\r\n") +
      "KXFILE1.document.forms[0].submit();\r\n} else { SubmitClickConfirm(AName,AParam,false,\"\");}\r\n"
      "file++;return false;\r\n}";
  return
      "<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=UTF-8\">"
      "<meta http-equiv=\"cache-control\" content=\"no-cache\"><meta http-equiv=\"pragma\" content=\"no-cache\">"
      " <meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\"><title>To jest test</title>"
      "<style type=\"text/css\">" +
      Rule("KXLABEL1", 16, 133, 39, 16) + Rule("KXLABEL2", 16, 160, 44, 16) + Rule("KXBUTTON3", 61, 200, 121, 25) +
      Rule("KXEDIT2", 61, 128, 121, 21) + Rule("KXEDIT3", 61, 160, 121, 21) + Rule("KXFILE1", 24, 16, 275, 81) +
      Rule("KXBUTTON4", 305, 40, 75, 33) + "</style>" + Script("KXPreScript.js") +
      "<script type=\"text/javascript\">" + FileScript + JSOnce +
      "function FormDefaultSubmit(){return false;}var GIsPartialUpdate=false;var GOnResizetimeout=1000;"
      "var GURLBase=\"\";var GAppID=\"" +
      AAppID +
      "\";var GTrackID=" + std::to_string(ATrack) + ";function KXTop(){return window;}var GActiveControl = null;history.go(1);"
      "function Validate() {  return true;}function InitKXCLObjects() {" +
      KXCL +
      "}\r\nfunction Initialize() {StaticInit();GActivateLock = true;InitRects(" + std::to_string(AWidth) + ", " + std::to_string(AHeight) + ");InitKXCLObjects();"
      "Body_OnResize();if (document.body.leftMargin < 0 && document.body.topMargin < 0) {"
      "  document.body.leftMargin = 0;  document.body.topMargin = 0;}ReleaseLock();}</script>"
      "<META HTTP-EQUIV=\"MSThemeCompatible\" Content=\"yes\"><META Name=\"GENERATOR\" content=\"Kexalo v10.0.0\">"
      "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">" +
      (ATracking == tmURL ? "" : "<META HTTP-EQUIV=\"Expires\" CONTENT=\"-1\">") + Script("KXCommon.js") + Script("KXCL.js") + Script("KXAjax.js") + Script("KXExplorer.js") +
      "</head><body onresize=\"return Body_OnResize();\" bgcolor=\"#F0FFFF\" link=\"" + ColorToHTMLColor(clMenuHighlight) +
      "\" topmargin=\"0\" leftmargin=\"0\" onload=\"Initialize()\" onunload=\"ReleaseKXCL()\" "
      "onblur=\"GSubmitting = false;\">\r\n  <script type=\"text/javascript\">createKXLocker(\"/gfx/loading.gif\");"
      "ActivateLock();</script>"
      "<script language=\"Javascript\">var PreScript=false;PostScript=false;</script>"
      "<script language=\"Javascript\">var PreAsyncScript=false;PostAsyncScript=false;</script>"
      "<span class=\"KXLABEL1CSS\" id=\"KXLABEL1\">login :</span>"
      "<span class=\"KXLABEL2CSS\" id=\"KXLABEL2\">hasło :</span>"
      "<form onsubmit=\"return FormDefaultSubmit();\">"
      "<input type=\"button\" class=\"KXBUTTON3CSS\" id=\"KXBUTTON3\" tabindex=\"1\">"
      "<input type=\"text\" class=\"KXEDIT2CSS\" id=\"KXEDIT2\" name=\"KXEDIT2\" tabindex=\"2\">"
      "<input type=\"text\" class=\"KXEDIT3CSS\" id=\"KXEDIT3\" name=\"KXEDIT3\" tabindex=\"3\">"
      "<iframe class=\"KXFILE1CSS\" id=\"KXFILE1\" name=\"KXFILE1\" tabindex=\"4\"></iframe>"
      "<input type=\"button\" class=\"KXBUTTON4CSS\" id=\"KXBUTTON4\" tabindex=\"5\">"
      "</form><form method=\"POST\" name=\"SubmitForm\" action=\"" +
      AAction +
      "\" enctype=\"multipart/form-data\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KXBUTTON3\">\r\n  <input type=\"HIDDEN\" name=\"KXEDIT2\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KXEDIT3\">\r\n  <input type=\"HIDDEN\" name=\"KXBUTTON4\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_Action\">\r\n  <input type=\"HIDDEN\" name=\"KX_ActionParam\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_FormName\" value=\"KXForm1\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KX_FormClass\" value=\"TKXLoginForm\">" +
      (ATracking == tmHidden ? "\r\n  <input type=\"HIDDEN\" name=\"KX_SessionID_\" value=\"" + AAppID + "\">" : "") +
      "\r\n  <input type=\"HIDDEN\" name=\"KX_width\">\r\n  <input type=\"HIDDEN\" name=\"KX_height\">" +
      (ATracking == tmURL ? "" : "\r\n  <input type=\"HIDDEN\" name=\"KX_TrackID_\" value=\"" + Track + "\">") +
      "</form></body></html>";
}

TEST_F(FormTest, LoginPageIsTheWorkedExample) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  Form->Show();
  Session->SetFormAction("/EXEC/0/" + Session->AppID());
  EXPECT_EQ(Render(*Form), LoginPage(Session->AppID(), 491, 265, 0, "/EXEC/0/" + Session->AppID()));
}

TEST_F(FormTest, LoginPageUnderCookieAndHiddenFieldTracking) {
  for (TKXSessionTrackingMethod Tracking : {tmCookie, tmHidden}) {
    SCOPED_TRACE(Tracking);
    Scope.Controller().SetSessionTrackingMethod(Tracking);
    auto* Form = KXCreate<TKXLoginForm>(Session.get());
    Form->Show();
    Session->SetTrackID(3);
    Session->SetFormAction(Session->ExecAction());
    EXPECT_EQ(Session->FormAction(), "/EXEC");
    EXPECT_EQ(Render(*Form), LoginPage(Session->AppID(), 491, 265, 3, "/EXEC", Tracking));
    Form->Release();
    Session->FreeReleasedForms();
  }
  Scope.Controller().SetSessionTrackingMethod(tmURL);
}


// With DebugHTML the page's line separator is CR LF: every piece the page builder ends with a
// line end is on a line of its own; the fixed CR LFs stay as they are.
TEST_F(FormTest, LoginPageWithDebugHTMLBreaksItsLines) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  Form->Show();
  Session->SetFormAction("/EXEC/0/" + Session->AppID());
  Scope.Controller().SetDebugHTML(true);
  const std::string Page = Render(*Form);
  Scope.Controller().SetDebugHTML(false);
  const std::string Segments[] = {
      "<html><head>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=UTF-8\">\r\n"
      "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta http-equiv=\"pragma\" content=\"no-cache\">\r\n"
      " <meta http-equiv=\"Content-Script-Type\" content=\"text/javascript\">\r\n<title>To jest test</title>\r\n"
      "<style type=\"text/css\">\r\n.KXLABEL1CSS {",
      "var GIsPartialUpdate=false;\r\nvar GOnResizetimeout=1000;\r\nvar GURLBase=\"\";\r\nvar GAppID=\"" +
          Session->AppID() + "\";\r\nvar GTrackID=0;\r\nfunction KXTop(){return window;}\r\nvar GActiveControl = null;\r\n"
          "history.go(1);\r\n",
      // A control's client-object line is ended by its own context and again by the page's.
      "KXBUTTON4KXCL = NewKXCL(KXCLForm,\"KXBUTTON4\",false);\r\n\r\n\r\n}\r\nfunction Initialize() {\r\nStaticInit();\r\n"
      "GActivateLock = true;\r\nInitRects(491, 265);\r\nInitKXCLObjects();\r\nBody_OnResize();\r\n"
      "if (document.body.leftMargin < 0 && document.body.topMargin < 0) {\r\n  document.body.leftMargin = 0;\r\n"
      "  document.body.topMargin = 0;\r\n}\r\nReleaseLock();\r\n\r\n\r\n}\r\n</script>\r\n\r\n\r\n"
      "<META HTTP-EQUIV=\"MSThemeCompatible\" Content=\"yes\"><META Name=\"GENERATOR\" content=\"Kexalo v10.0.0\">\r\n"
      "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">",
  };
  for (const std::string& S : Segments) {
    SCOPED_TRACE(S);
    EXPECT_NE(Page.find(S), std::string::npos) << Page;
  }
  EXPECT_EQ(Page.substr(Page.size() - 9), "</html>\r\n");
}

// An indicator standing in for the real one: fixed markup and the scripts a test gives it.
class TProgressStandIn : public TKXComponent, public IKXProgressIndicator {
public:
  explicit TProgressStandIn(TKXComponent* AOwner) : TKXComponent(AOwner) {}
  std::string RenderIndicatorMarkup(TKXPageContext40&) override { return "<div id=\"ProgressIndicator\"></div>"; }
  std::string ProgressScriptText(TKXProgressScript AScript) override { return Scripts[AScript]; }
  std::string Scripts[4];
};

TEST_F(FormTest, ProgressIndicatorGivesItsMarkupAndOneScriptPerList) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  auto* Progress = new TProgressStandIn(Form);
  Progress->Scripts[psPre] = "show();";
  Progress->Scripts[psPostAsync] = "hide();";
  Form->SetProgressIndicator(Progress);
  const std::string Page = Render(*Form);
  const std::string Expected =
      "ActivateLock();</script><div id=\"ProgressIndicator\"></div>"
      "<script language=\"Javascript\">var PreScript=true; function PreProgressScript() {ReleaseLock();\r\nshow();}</script>"
      "<script language=\"Javascript\">var PostScript=false;</script>"
      "<script language=\"Javascript\">var PreAsyncScript=false;</script>"
      "<script language=\"Javascript\">var PostAsyncScript=true; function PostAsyncProgressScript() {hide();}</script>"
      "<span class=\"KXLABEL1CSS\"";
  EXPECT_NE(Page.find(Expected), std::string::npos) << Page;
  delete Progress;   // the form lets go of it
  EXPECT_EQ(Form->ProgressIndicator(), nullptr);
  EXPECT_NE(Render(*Form).find("var PreScript=false;PostScript=false;"), std::string::npos);
}

// An edit that answers callbacks with an element of its own.
class TAsyncEditStandIn : public TKXStandInEdit {
public:
  explicit TAsyncEditStandIn(TKXComponent* AOwner) : TKXStandInEdit(AOwner) {}

protected:
  TKXXMLTag* RenderAsyncContent(TKXComponent40Context&) override {
    auto* Tag = new TKXXMLTag("control");
    Tag->AddStringParam("id", HTMLName());
    return Tag;
  }
};

TEST_F(FormTest, CallbackAnswerHasTheFormFirstThenTheChangedControlsAndThePendingScript) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  Form->Show();
  Form->HiddenFields().SetValue("step", "2");
  auto* Changed = new TAsyncEditStandIn(Form);
  Changed->SetName("KXEdit9");
  Changed->SetParent(Form);
  auto* Unchanged = new TAsyncEditStandIn(Form);
  Unchanged->SetName("KXEdit8");
  Unchanged->SetParent(Form);
  Changed->SetDoRefreshControl(true);
  Unchanged->SetDoRefreshControl(false);
  Form->AddToInitProc("alert(1);");
  Session->SetIsCallBack(true);
  EXPECT_EQ(Render(*Form), "");   // a callback answer is not a page
  Session->SetIsCallBack(false);
  const TKXAsyncFormAnswer& A = Form->AsyncAnswer();
  ASSERT_EQ(A.Updates.size(), 2u);
  EXPECT_EQ(A.Updates[0],
            "<control id=\"KXForm1\" type=\"KXFORM\">\r\n  <hiddenfield id=\"step\"><![CDATA[2]]></hiddenfield></control>");
  EXPECT_EQ(A.Updates[1], "<control id=\"KXEDIT9\"></control>");
  EXPECT_EQ(A.Execute, "alert(1);");
  EXPECT_EQ(Form->InitProc(), "");   // sent once
}

TEST(UpdateScript, PiecesOf128CharactersAndANewStatementBeforeCrossing4090) {
  const std::string Short(300, 'a');
  EXPECT_EQ(KXUpdateControlScript("E1", Short),
            "l='" + std::string(128, 'a') + std::string(128, 'a') + std::string(44, 'a') + "';\r\nKXUpdate('E1',l);\r\n");
  // 3 + 31 * 128 = 3971 characters; the 32nd piece would end at 4099, past 4090.
  const std::string Long(32 * 128 + 10, 'b');
  const std::string Script = KXUpdateControlScript("E1", Long);
  const size_t Break = Script.find("';\r\nl+='");
  ASSERT_NE(Break, std::string::npos);
  EXPECT_EQ(Break, 3u + 31 * 128);
  EXPECT_EQ(Script.find("';\r\nl+='", Break + 1), std::string::npos);
  const std::string Tail = "';\r\nKXUpdate('E1',l);\r\n";
  EXPECT_EQ(Script.substr(Script.size() - Tail.size()), Tail);
}

TEST_F(FormTest, InvisibleControlIsLeftOutUnlessTheFormRendersInvisibleOnes) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  dynamic_cast<TKXCustomControl*>(Form->FindComponent("KXEdit3"))->SetVisible(false);
  std::string Page = Render(*Form);
  EXPECT_EQ(Page.find("id=\"KXEDIT3\""), std::string::npos);
  EXPECT_EQ(Page.find("name=\"KXEDIT3\""), std::string::npos);   // nor its hidden input
  Form->SetRenderInvisibleControls(true);
  Page = Render(*Form);
  EXPECT_NE(Page.find("<input type=\"text\" style=\"visibility:hidden;\" class=\"KXEDIT3CSS\" id=\"KXEDIT3\""),
            std::string::npos)
      << Page;
  EXPECT_NE(Page.find("<input type=\"HIDDEN\" name=\"KXEDIT3\">"), std::string::npos);
}

TEST_F(FormTest, ContainerContextLookupsSurviveARemoval) {
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  Render(*Form);
  TKXContainerContext* CC = Form->ContainerContext();
  ASSERT_NE(CC, nullptr);
  TKXComponent* Edit3 = Form->FindComponent("KXEdit3");
  TKXComponent40Context* Edit2 = CC->FindContext("kxedit2");
  ASSERT_NE(Edit2, nullptr);
  CC->RemoveComponent(Edit2);
  delete Edit2;
  EXPECT_EQ(CC->FindComponent("KXEDIT2"), nullptr);
  EXPECT_FALSE(CC->IsValidComponent("KXEDIT2"));
  EXPECT_EQ(CC->FindComponent("KXEDIT3"), Edit3);   // entries after it are still found
  EXPECT_EQ(CC->FindComponent("KXBUTTON4"), Form->FindComponent("KXButton4"));
}

TEST_F(FormTest, ContainerNamesOfFormsAndRegions) {
  auto* Form = KXCreate<TKXRegionForm>(Session.get());
  auto* Region = dynamic_cast<TKXRegion*>(Form->FindComponent("KXRegion1"));
  ASSERT_NE(Region, nullptr);
  EXPECT_EQ(Region->ContainerName(), "RegionForm.KXRegion1");
  EXPECT_EQ(Region->ContainerClassname(), "TKXRegionForm.TKXRegion");
  EXPECT_EQ(Region->HTMLName(), "KXREGION1");
  // Controls in a region on a form are named as on the form itself.
  EXPECT_EQ(dynamic_cast<TKXCustomControl*>(Form->FindComponent("KXEdit2"))->HTMLName(), "KXEDIT2");
  Form->SetName("RegionForm_3");   // a further instance of a registered form keeps its base name
  EXPECT_EQ(Form->ContainerName(), "RegionForm");
  Form->SetName("RegionForm_x3");
  EXPECT_EQ(Form->ContainerName(), "RegionForm_x3");
}

TEST_F(FormTest, StyleRuleFollowsEachRenderSwitch) {
  const std::string Position = "position:absolute;left:61px;top:128px;";
  const std::string Size = "width:121px;height:21px;";
  const struct {
    const char* Name;
    bool TKXStyleRenderOptions::*Switch;
    std::string Rule;
  } Cases[] = {
      {"RenderSize", &TKXStyleRenderOptions::RenderSize, Position + "z-index:100;" + kFont},
      {"RenderPosition", &TKXStyleRenderOptions::RenderPosition, "z-index:100;" + Size + kFont},
      {"RenderFont", &TKXStyleRenderOptions::RenderFont, Position + "z-index:100;" + Size},
      {"RenderZIndex", &TKXStyleRenderOptions::RenderZIndex, Position + Size + kFont},
      {"RenderVisibility", &TKXStyleRenderOptions::RenderVisibility, Position + "z-index:100;" + Size + kFont},
      {"RenderStatus", &TKXStyleRenderOptions::RenderStatus, Position + "z-index:100;" + Size + kFont},
      {"RenderAbsolute", &TKXStyleRenderOptions::RenderAbsolute,
       "position:relative;left:61px;top:128px;z-index:100;" + Size + kFont},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto* Form = KXCreate<TKXLoginForm>(Session.get());
    auto* Edit = dynamic_cast<TKXCustomControl*>(Form->FindComponent("KXEdit2"));
    ASSERT_NE(Edit, nullptr);
    Edit->StyleRenderOptions().*C.Switch = false;
    const std::string Page = Render(*Form);
    EXPECT_NE(Page.find(".KXEDIT2CSS {" + C.Rule + "}\r\n"), std::string::npos) << Page;
    delete Form;
  }
  // A class of the application's own: the style goes inline and no rule is made.
  auto* Form = KXCreate<TKXLoginForm>(Session.get());
  dynamic_cast<TKXCustomControl*>(Form->FindComponent("KXEdit2"))->SetCss("wide");
  const std::string Page = Render(*Form);
  EXPECT_EQ(Page.find(".KXEDIT2CSS"), std::string::npos);
  EXPECT_NE(Page.find("<input type=\"text\" class=\"wide\" style=\"" + Position + "z-index:100;" + Size + kFont +
                      "\" id=\"KXEDIT2\" name=\"KXEDIT2\" tabindex=\"2\">"),
            std::string::npos)
      << Page;
}

TEST_F(FormTest, RegionRendersItsControlsInsideItsFrame) {
  auto* Form = KXCreate<TKXRegionForm>(Session.get());
  Form->Show();
  const std::string Page = Render(*Form);
  const std::string Clip = "clip:rect(0px,200px,100px,0px);";
  // The region's own controls are laid out first, inside its context; positions are relative
  // to the region.
  const std::string Style = "<style type=\"text/css\">" + Rule("KXLABEL1", 8, 8, 40, 16) + Rule("KXEDIT2", 8, 30, 80, 21) +
                            Rule("KXEDIT1", 10, 10, 100, 21) +
                            ".KXREGION1CSS {position:absolute;left:20px;top:50px;z-index:1100;width:200px;height:100px;" +
                            Clip + kFont + "}\r\n</style>";
  EXPECT_NE(Page.find(Style), std::string::npos) << Page;
  // Tab indexes run depth-first: the region takes a place of its own before its controls.
  const std::string Body =
      "<form onsubmit=\"return FormDefaultSubmit();\">"
      "<input type=\"text\" class=\"KXEDIT1CSS\" id=\"KXEDIT1\" name=\"KXEDIT1\" tabindex=\"1\"></form>"
      "<div style=\"border-style:solid;border-width:4;overflow-x:auto;overflow-y:auto;padding:0;" +
      Clip + "\" class=\"KXREGION1CSS\" id=\"KXREGION1\">"
      "<span class=\"KXLABEL1CSS\" id=\"KXLABEL1\">In</span>"
      "<form onsubmit=\"return FormDefaultSubmit();\">"
      "<input type=\"text\" class=\"KXEDIT2CSS\" id=\"KXEDIT2\" name=\"KXEDIT2\" tabindex=\"3\"></form></div>"
      "<form method=\"POST\" name=\"SubmitForm\">"
      "\r\n  <input type=\"HIDDEN\" name=\"KXEDIT2\">\r\n  <input type=\"HIDDEN\" name=\"KXEDIT1\">";
  EXPECT_NE(Page.find(Body), std::string::npos) << Page;
  // Client objects are set up in the order the layouts merge their controls: the region's own
  // controls first, as its layout runs while the form's controls are still being tagged.
  const std::string KXCL =
      "function InitKXCLObjects() {KXLABEL1KXCL = NewKXCL(KXREGION1KXCL,\"KXLABEL1\",false);"
      "KXEDIT2KXCL = NewKXCL(KXREGION1KXCL,\"KXEDIT2\",false);"
      "KXEDIT1KXCL = NewKXCL(KXCLForm,\"KXEDIT1\",false);"
      "KXREGION1KXCL = NewKXCL(KXCLForm,\"KXREGION1\",false);"
      "if (KXREGION1KXCL) {KXREGION1KXCL.BorderWidthPixels = 4;}}";
  EXPECT_NE(Page.find(KXCL), std::string::npos) << Page;

  // The context of the render stays for the next request: dotted and lower-case names find
  // the region's control.
  TKXContainerContext* Context = Form->ContainerContext();
  ASSERT_NE(Context, nullptr);
  TKXComponent* Edit2 = Form->FindComponent("KXEdit2");
  EXPECT_EQ(Context->FindComponent("KXREGION1.KXEDIT2"), Edit2);
  EXPECT_EQ(Context->FindComponent("kxedit2"), Edit2);
  EXPECT_EQ(Context->FindComponent("KXREGION1.NONE"), nullptr);
}

TEST(RegionBorder, PixelWidthAndStyleFollowTheOptions) {
  TKXContainerBorderOptions Options(4, cbwNumeric, cbsSolid, clNone);
  Options.HorizScrollBar = false;
  Options.VertScrollBar = false;
  EXPECT_EQ(Options.PixelWidth(), 4);
  std::unique_ptr<TKXHTMLTag> Frame(Options.CreateFrame(nullptr, brGecko, nullptr));
  EXPECT_EQ(Frame->Params().Values("style"), "border-style:solid;border-width:4;overflow:hidden;padding:0;");
  int Changes = 0;
  Options.OnChange = [&Changes](TKXContainerBorderOptions*) { ++Changes; };
  Options.SetStyle(cbsHidden);
  Options.SetStyle(cbsHidden);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Options.PixelWidth(), 0);
  const struct {
    TKXContainerBorderWidth Width;
    int Pixels;
    const char* Text;
  } Cases[] = {{cbwThin, 1, "border-width:thin;"}, {cbwMedium, 3, "border-width:medium;"}, {cbwThick, 5, "border-width:thick;"}};
  Options.SetStyle(cbsDotted);
  Options.SetColor(clBlack);
  Options.BGColor = clWebAZURE;
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Text);
    Options.SetBorderWidth(C.Width);
    EXPECT_EQ(Options.PixelWidth(), C.Pixels);
    Frame.reset(Options.CreateFrame(nullptr, brIE, nullptr));
    EXPECT_EQ(Frame->Params().Values("style"), std::string("border-color:#000000;border-style:dotted;") + C.Text +
                                                   "overflow-x:hidden;overflow-y:hidden;background-color:#F0FFFF;padding:0;");
  }
}

TEST_F(FormTest, WideningABorderPushesTheRegionsControlsInside) {
  auto* Form = KXCreate<TKXRegionForm>(Session.get());
  auto* Region = dynamic_cast<TKXRegion*>(Form->FindComponent("KXRegion1"));
  ASSERT_NE(Region, nullptr);
  auto* Label = dynamic_cast<TKXWinControl*>(Form->FindComponent("KXLabel1"));
  Region->BorderOptions().SetNumericWidth(10);
  EXPECT_EQ(Label->Left(), 10);
  EXPECT_EQ(Label->Top(), 10);
  EXPECT_EQ(Label->Width(), 40);
  EXPECT_TRUE(Region->DoRefreshControl());
}

// A browser's first visit through the dispatcher: the start answers the size probe, whose post
// answers the main form's page at the probed size.
class FormStartTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions& Registry = Scope.Sessions();
  const TKXClassInfo* SavedMain = TKXAppForm::MainFormClass();

  void SetUp() override {
    (void)GRegistered;
    TKXAppForm::SetAsMainForm<TKXLoginForm>();
  }
  void TearDown() override { TKXAppForm::SetMainFormClass(SavedMain); }

  struct TExchange {
    TKXTestWebRequest Request;
    TKXTestWebResponse Response{Request};
    TExchange(const std::string& AMethod, const std::string& APath) : Request(AMethod, APath, "") {
      Request.SetHeader("User-Agent", kIE);
    }
    std::string Run() {
      TKXTestControllerScope::Current().Dispatch(Request, Response);
      return Response.SentBody();
    }
  };

  TKXApplication* OnlySession() {
    const std::vector<TKXSessionRef> All = Registry.Snapshot();
    return All.size() == 1 ? All[0].get() : nullptr;
  }
};

TEST_F(FormStartTest, StartAnswersTheSizeProbeWhosePostAnswersThePage) {
  TExchange Start("GET", "/");
  const std::string Probe = Start.Run();
  TKXApplication* S = OnlySession();
  ASSERT_NE(S, nullptr);
  const std::string ID = S->AppID();
  EXPECT_NE(Probe.find("<BODY onload=\"Initialize()\">\r\n<form method=post action=\"/EXEC/0/" + ID + "\">"),
            std::string::npos)
      << Probe;
  EXPECT_NE(Probe.find("<input type=hidden name=\"KX_TrackID_\" value=\"0\">"), std::string::npos) << Probe;
  ASSERT_NE(S->ActiveForm(), nullptr);
  EXPECT_EQ(static_cast<TKXComponent*>(S->ActiveForm())->ClassName(), "TKXLoginForm");

  TExchange Post("POST", "/EXEC/0/" + ID);
  Post.Request.SetContentType("application/x-www-form-urlencoded");
  Post.Request.SetBody("KX_width=800&KX_height=600&KX_SessionID_=" + ID + "&KX_TrackID_=0");
  const std::string Page = Post.Run();
  // The post was the current page's: the track id moves on and the next post goes to it.
  EXPECT_EQ(Page, LoginPage(ID, 800, 600, 1, "/EXEC/1/" + ID));
  EXPECT_EQ(S->TrackID(), 1u);

  // A post of an out-of-date page changes nothing and answers the current page again, with the
  // resync warning in its init code.
  TExchange Stale("POST", "/EXEC/0/" + ID);
  std::string Resynced = LoginPage(ID, 800, 600, 1, "/EXEC/1/" + ID);
  Resynced.insert(Resynced.find("ReleaseLock();}</script>"),
                  "window.alert(\"You have attempted to post or refresh data from a page that  depends on information "
                  "that is no longer available to the server application.\\n\\nYour attempted changes will be "
                  "ignored. You will now be resynced to the current place in the application.\");\r\n");
  EXPECT_EQ(Stale.Run(), Resynced);
  EXPECT_EQ(S->TrackID(), 1u);
}

}  // namespace
