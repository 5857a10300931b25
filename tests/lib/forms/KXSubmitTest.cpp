// A posted page through the dispatcher: values back into the controls, the raised event, and
// the answer chosen afterwards (page, redirect, termination, resync).
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <regex>

#include "session/KXApplication.h"
#include "controls/KXButton.h"
#include "controls/KXCompEdit.h"
#include "core/KXException.h"
#include "forms/KXAppForm.h"
#include "forms/KXFormSubmission.h"
#include "forms/KXScriptRecorder.h"
#include "core/KXResources.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "forms/KXShowMessage.h"
#include "KXTestController.h"
#include "KXTestWebRequest.h"
#include "SkCodec.h"

namespace {

const char* const kIE = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)";

class TKXSubmitForm : public TKXAppForm {
public:
  explicit TKXSubmitForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {
    OnDefaultAction = [this](TKXComponent*) { ++Defaults; };
  }
  ~TKXSubmitForm() override { ++Destroyed; }
  KX_DECLARE_CLASS_INFO
  void OkClick(TKXComponent*) { ++OkClicks; }
  void DoClick(TKXComponent*) {
    ++DoClicks;
    if (Next) Next(*this);
  }
  TKXEdit* KXEdit1 = nullptr;
  TKXButton *KXOk = nullptr, *KXDo = nullptr;
  int OkClicks = 0, DoClicks = 0, Defaults = 0;
  // What the second button's handler does this time.
  static inline std::function<void(TKXSubmitForm&)> Next;
  static inline int Destroyed = 0;
};

const TKXClassInfo& TKXSubmitForm::StaticClassInfo() {
  using T = TKXSubmitForm;
  static const TKXClassInfo Info =
      KXClass<T, TKXAppForm>("TKXSubmitForm")
          .Methods({KXMethod("OkClick", &T::OkClick), KXMethod("DoClick", &T::DoClick)})
          .Fields({KXField("KXEdit1", &T::KXEdit1), KXField("KXOk", &T::KXOk), KXField("KXDo", &T::KXDo)});
  return Info;
}

const char* const kDescription =
    "object SubmitForm: TKXSubmitForm\n  Width = 400\n  Height = 200\n  Title = 'Submit'\n"
    "  object KXEdit1: TKXEdit\n    Left = 10\n    Top = 10\n    Width = 120\n    Height = 21\n    TabOrder = 0\n  end\n"
    "  object KXOk: TKXButton\n    Left = 10\n    Top = 40\n    Width = 75\n    Height = 25\n    TabOrder = 1\n"
    "    Caption = 'OK'\n    OnClick = OkClick\n  end\n"
    "  object KXDo: TKXButton\n    Left = 100\n    Top = 40\n    Width = 75\n    Height = 25\n    TabOrder = 2\n"
    "    Caption = 'Do'\n    OnClick = DoClick\n  end\n"
    "end\n";

const bool GRegistered = [] {
  KXRegisterClass<TKXSubmitForm>();
  KXRegisterResource("TKXSubmitForm", kDescription);
  return true;
}();

// An edit that refuses one value, for the collected failures.
class TPickyEdit : public TKXEdit {
public:
  explicit TPickyEdit(TKXComponent* AOwner) : TKXEdit(AOwner) {}
  void RestoreValue(const std::string& AValue) override {
    if (AValue == "bad") throw EKXException("refused");
    TKXEdit::RestoreValue(AValue);
  }
};

class SubmitTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions& Registry = Scope.Sessions();
  const TKXClassInfo* SavedMain = TKXAppForm::MainFormClass();
  TKXApplication* S = nullptr;
  std::string ID;

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

  void SetUp() override {
    (void)GRegistered;
    TKXSubmitForm::Next = nullptr;
    TKXAppForm::SetAsMainForm<TKXSubmitForm>();
    TExchange Start("GET", "/");
    Start.Run();
    const std::vector<TKXSessionRef> All = Registry.Snapshot();
    ASSERT_EQ(All.size(), 1u);
    S = All[0].get();
    ID = S->AppID();
    Post(0, "KX_width=800&KX_height=600");   // the size probe's answer: track 1 from here
    ASSERT_EQ(S->TrackID(), 1u);
  }
  void TearDown() override {
    TKXSubmitForm::Next = nullptr;
    TKXAppForm::SetMainFormClass(SavedMain);
  }

  TKXSubmitForm& Form() { return *dynamic_cast<TKXSubmitForm*>(static_cast<TKXComponent*>(S->ActiveForm())); }

  // Posts ABody (already encoded) as the page of track ATrack; the response stays inspectable.
  std::unique_ptr<TExchange> Post(unsigned ATrack, const std::string& ABody, const std::string& AWord = "EXEC") {
    auto X = std::make_unique<TExchange>("POST", "/" + AWord + "/" + std::to_string(ATrack) + "/" + ID);
    X->Request.SetContentType("application/x-www-form-urlencoded");
    X->Request.SetBody(ABody + "&KX_SessionID_=" + ID + "&KX_TrackID_=" + std::to_string(ATrack) +
                       "&KX_FormName=SubmitForm&KX_FormClass=TKXSubmitForm");
    X->Run();
    return X;
  }
};

TEST_F(SubmitTest, ValuesComeBackAsTypedAndTheClickedButtonRuns) {
  auto X = Post(1, "KXEDIT1=" + HTTPEncode(" kqzv") + "&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().KXEdit1->Text(), " kqzv");
  EXPECT_EQ(Form().OkClicks, 1);
  EXPECT_EQ(Form().DoClicks, 0);
  EXPECT_EQ(Form().Defaults, 0);
  EXPECT_EQ(S->TrackID(), 2u);
  EXPECT_NE(X->Response.SentBody().find("/EXEC/2/" + ID), std::string::npos);

  // Two lines for one field reach the control joined.
  Post(2, "KXEDIT1=a&KXEDIT1=b&KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(Form().KXEdit1->Text(), "a,b");
  EXPECT_EQ(Form().DoClicks, 1);
}

TEST_F(SubmitTest, EnterRunsTheDefaultActionAndAPlainPostRunsNothing) {
  Post(1, "KXEDIT1=x&KX_Action=&KX_ActionParam=default");
  EXPECT_EQ(Form().Defaults, 1);
  EXPECT_EQ(Form().OkClicks + Form().DoClicks, 0);
  EXPECT_EQ(Form().KXEdit1->Text(), "x");

  // No action and no parameter: nothing applied, no handler.
  Post(2, "KXEDIT1=y");
  EXPECT_EQ(Form().KXEdit1->Text(), "x");
  EXPECT_EQ(Form().Defaults, 1);
  EXPECT_EQ(S->TrackID(), 3u);
}

TEST_F(SubmitTest, ADisabledButtonRunsNoHandlerButTheValuesApply) {
  Form().KXOk->SetEnabled(false);
  Post(1, "KXEDIT1=z&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().OkClicks, 0);
  EXPECT_EQ(Form().KXEdit1->Text(), "z");
}

// Stands in for the console's recorder: what form processing tells it, in order.
class TRecorderSpy : public IKXScriptRecorder {
public:
  std::vector<std::string> Heard;
  void ValueRestored(const std::string& AForm, const std::string& AField, const std::string& AValue) override {
    Heard.push_back("value " + AForm + " " + AField + "=" + AValue);
  }
  int SubmitStarted(const std::string& AForm, const std::string& AControl, const std::string& AParam) override {
    Heard.push_back("submit " + AForm + " " + AControl + "(" + AParam + ")");
    return static_cast<int>(Heard.size());
  }
  void SubmitEnded(int AStep, const std::string& AReached) override {
    Heard.push_back("ended " + std::to_string(AStep) + " at " + AReached);
  }
};

TEST_F(SubmitTest, TheScriptRecorderHearsRestoredValuesAndSubmissions) {
  TRecorderSpy Spy;
  KXSetScriptRecorder(&Spy);
  Post(1, "KXEDIT1=" + HTTPEncode("a b") + "&KX_Action=KXOK&KX_ActionParam=p");
  Form().KXDo->SetEnabled(false);
  Post(2, "KXEDIT1=c&KX_Action=KXDO&KX_ActionParam=");   // disabled: no event, nothing submitted
  Form().KXDo->SetEnabled(true);
  TKXSubmitForm::Next = [](TKXSubmitForm&) { throw EKXException("raised"); };
  Post(3, "KXEDIT1=d&KX_Action=KXDO&KX_ActionParam=");   // a handler that raises ends no step
  KXSetScriptRecorder(nullptr);
  Post(4, "KXEDIT1=e&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Spy.Heard, (std::vector<std::string>{"value TKXSubmitForm KXEDIT1=a b", "submit TKXSubmitForm KXOK(p)",
                                                 "ended 2 at TKXSubmitForm", "value TKXSubmitForm KXEDIT1=c",
                                                 "value TKXSubmitForm KXEDIT1=d", "submit TKXSubmitForm KXDO()"}));
}

TEST_F(SubmitTest, AnOutOfDatePageIsIgnoredAndTheCurrentOneComesBackWithTheWarning) {
  Form().KXEdit1->RestoreValue("kept");
  auto X = Post(0, "KXEDIT1=stale&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Form().KXEdit1->Text(), "kept");
  EXPECT_EQ(Form().OkClicks, 0);
  EXPECT_EQ(S->TrackID(), 1u);
  const std::string& Page = X->Response.SentBody();
  EXPECT_NE(Page.find("window.alert(\"You have attempted to post or refresh data from a page that  depends"),
            std::string::npos)
      << Page;
  EXPECT_NE(Page.find("/EXEC/1/" + ID), std::string::npos);

  // The application may take such a post over.
  int Submitted = -1, Current = -1;
  std::string Named;
  C.OnBackButton = [&](int ASub, int ACur, const std::string& AName, bool& VHandled, bool& VExecute) {
    Submitted = ASub;
    Current = ACur;
    Named = AName;
    VHandled = VExecute = true;
  };
  auto Y = Post(0, "KXEDIT1=taken&KX_Action=KXOK&KX_ActionParam=");
  C.OnBackButton = nullptr;
  EXPECT_EQ(Submitted, 0);
  EXPECT_EQ(Current, 1);
  EXPECT_EQ(Named, "SubmitForm");
  EXPECT_EQ(Form().KXEdit1->Text(), "taken");
  EXPECT_EQ(Form().OkClicks, 1);
  EXPECT_EQ(Y->Response.SentBody().find("You have attempted"), std::string::npos);
}

TEST_F(SubmitTest, FailuresAreShownOnThePageThatIsRenderedAsUsual) {
  C.SetExceptionDisplayMode(smAlert);
  TKXSubmitForm::Next = [](TKXSubmitForm&) { throw EKXException("bad \"input\""); };
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_NE(X->Response.SentBody().find("window.alert(\"bad \\\"input\\\"\");"), std::string::npos)
      << X->Response.SentBody();
  EXPECT_EQ(S->TrackID(), 2u);

  // An action naming no control; an abort leaves no trace at all.
  auto Y = Post(2, "KX_Action=NOSUCH&KX_ActionParam=");
  EXPECT_NE(Y->Response.SentBody().find("window.alert(\"Cannot find submit component.\");"), std::string::npos);
  TKXSubmitForm::Next = [](TKXSubmitForm&) { throw EKXAbort(); };
  auto Z = Post(3, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(Z->Response.SentBody().find("window.alert("), std::string::npos);

  // The application's own handler takes precedence.
  std::string Seen;
  C.OnException = [&](TKXApplication*, const std::exception& E, bool& Handled) {
    Seen = E.what();
    Handled = true;
  };
  auto W = Post(4, "KX_Action=NOSUCH&KX_ActionParam=");
  C.OnException = nullptr;
  EXPECT_EQ(Seen, "Cannot find submit component.");
  EXPECT_EQ(W->Response.SentBody().find("window.alert("), std::string::npos);
}

TEST_F(SubmitTest, ControlsThatRefuseTheirValueAreReportedTogetherAndTheOthersStillTakeTheirs) {
  for (const char* Name : {"Picky1", "Picky2"}) {
    auto* E = KXCreate<TPickyEdit>(&Form());
    E->SetName(Name);
    E->SetParent(&Form());
  }
  std::string Seen;
  C.OnException = [&](TKXApplication*, const std::exception& E, bool& Handled) {
    Seen = E.what();
    Handled = true;
  };
  Post(1, "PICKY1=bad&KXEDIT1=fine&PICKY2=bad&KX_Action=KXOK&KX_ActionParam=");
  EXPECT_EQ(Seen, "The following exceptions occured\r\n  Picky1: refused\r\n  Picky2: refused");
  EXPECT_EQ(Form().KXEdit1->Text(), "fine");
  EXPECT_EQ(Form().OkClicks, 0);   // the failure leaves before any event
  EXPECT_EQ(S->TrackID(), 2u);

  Post(2, "PICKY1=bad&PICKY2=good&KX_Action=KXOK&KX_ActionParam=");
  C.OnException = nullptr;
  EXPECT_EQ(Seen, "The following exception occured\r\n  Picky1: refused");
}

TEST_F(SubmitTest, AnUploadIsContinuedByTheMainFormsSubmit) {
  auto X = Post(1, "KX_Action=&KX_ActionParam=", "upload");
  EXPECT_EQ(X->Response.SentBody(),
            std::string("<html><head><script>") + kKXTopFunction +
                "var p = KXTop().location.protocol + \"//\" + KXTop().location.host + \"/EXEC/2/" + ID + "\";\r\n"
                "KXTop().GSubmitting = false; KXTop().ValidClick = true;\r\n"
                "KXTop().document.SubmitForm.action=p;\r\nKXTop().document.SubmitForm.submit();\r\n"
                "</script></head></html>");

  // The deferred submit comes from the post and goes into the script as literal text only.
  auto Y = Post(2, "KX_MainPageSubmitControl=" + HTTPEncode("KXOK');alert('x") + "&KX_MainPageSubmitControlParam=p", "upload");
  EXPECT_NE(Y->Response.SentBody().find("KXTop().getSubmitForm().action=p;\r\nKXTop().SubmitNextFile('KXOK\\');alert(\\'x','p');"),
            std::string::npos)
      << Y->Response.SentBody();
}

TEST_F(SubmitTest, GoToURLAnswersTheRedirectPageAndKeepsTheTrackID) {
  TKXSubmitForm::Next = [](TKXSubmitForm& F) { F.WebApplication()->GoToURL("http://example.test/next"); };
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(X->Response.SentBody(),
            "<html>\r\n<head>\r\n<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=http://example.test/next\">\r\n"
            "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta http-equiv=\"pragma\" "
            "content=\"no-cache\">\r\n</head></html>");
  EXPECT_EQ(X->Response.SentHeaders().Values("Connection"), "close");
  EXPECT_EQ(S->TrackID(), 1u);
}

TEST_F(SubmitTest, TerminateAnswersTheTerminationPageAndEndsTheSession) {
  TKXSubmitForm::Next = [](TKXSubmitForm& F) { F.WebApplication()->Terminate("bye"); };
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(X->Response.SentBody(), std::string("<html><head><script> ") + kKXTopFunction +
                                        "KXTop().setTimeout('document.writeln( \"<html><body>bye</body></html>\");"
                                        "document.close();',0);</script></head></html>");
  EXPECT_TRUE(Registry.Snapshot().empty());
}

TEST_F(SubmitTest, TerminateAndRedirectWaitsTheDelayWhenThereIsAMessage) {
  C.SetRedirectMsgDelay(2);
  TKXSubmitForm::Next = [](TKXSubmitForm& F) { F.WebApplication()->TerminateAndRedirect("http://e.test/", "done"); };
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(X->Response.SentBody(),
            "<html>\r\n<head>\r\n<META HTTP-EQUIV=\"Refresh\" CONTENT=\"20;URL=http://e.test/\">\r\n"
            "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta http-equiv=\"pragma\" "
            "content=\"no-cache\">\r\n</head><body>done</body></html>");
}

TEST_F(SubmitTest, AHandlersFailureIsShownInTheControllersDisplayMode) {
  TKXSubmitForm::Next = [](TKXSubmitForm&) { throw EKXException("it\r\nfailed"); };
  TKXSubmitForm* Submit = &Form();

  // In a message window opened by the page, which is rendered as usual.
  C.SetExceptionDisplayMode(smNewWindow);
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  const std::string& Page = X->Response.SentBody();
  EXPECT_NE(Page.find("msgWindow=window.open(\"\",\"ShowMessage\",\"menubar=no,"), std::string::npos) << Page;
  EXPECT_NE(Page.find("msgWindow.document.write('<CENTER>it<br>failed</CENTER>')\r\n"), std::string::npos);
  EXPECT_EQ(Page.find("window.alert("), std::string::npos);
  EXPECT_EQ(&Form(), Submit);
  EXPECT_EQ(S->TrackID(), 2u);

  // As the page itself: the message form answers, framed or not, and its Ok leads back.
  unsigned Track = 2;
  for (TKXShowMessageType Mode : {smSameWindow, smSameWindowFrame}) {
    SCOPED_TRACE(Mode);
    C.SetExceptionDisplayMode(Mode);
    auto Y = Post(Track++, "KX_Action=KXDO&KX_ActionParam=");
    auto* Message = dynamic_cast<TKXShowMessage*>(static_cast<TKXComponent*>(S->ActiveForm()));
    ASSERT_NE(Message, nullptr);
    EXPECT_EQ(Message->MessageText(), "it\r\nfailed");
    auto* Text = dynamic_cast<TKXCustomControl*>(Message->FindComponent("textMessage"));
    ASSERT_NE(Text, nullptr);
    EXPECT_EQ(Text->UseFrame(), Mode == smSameWindowFrame);
    EXPECT_NE(Y->Response.SentBody().find("name=\"BUTNOK\""), std::string::npos) << Y->Response.SentBody();
    EXPECT_EQ(Y->Response.SentBody().find("msgWindow"), std::string::npos);
    Post(Track++, "KX_Action=BUTNOK&KX_ActionParam=");
    EXPECT_EQ(static_cast<TKXComponent*>(S->ActiveForm()), Submit);
  }
  EXPECT_EQ(Submit->DoClicks, 3);
}

TEST_F(SubmitTest, UnderCookieTrackingTheEndedSessionsCookieIsSentExpired) {
  C.SetSessionTrackingMethod(tmCookie);
  C.SetRedirectMsgDelay(1);
  // The page's own post under cookie tracking: the session and track id ride in the cookie.
  auto CookiePost = [&](unsigned ATrack, const std::string& ABody) {
    auto X = std::make_unique<TExchange>("POST", "/EXEC");
    X->Request.SetContentType("application/x-www-form-urlencoded");
    X->Request.AddCookie("Kexalo_" + C.AppNameNoBlanks(), ID + "_" + std::to_string(ATrack));
    X->Request.AddCookie("KX_CookieCheck_", "Enabled");
    X->Request.SetBody(ABody + "&KX_TrackID_=" + std::to_string(ATrack) + "&KX_FormName=SubmitForm&KX_FormClass=TKXSubmitForm");
    X->Run();
    return X;
  };
  auto Live = CookiePost(1, "KX_Action=KXOK&KX_ActionParam=");
  ASSERT_EQ(Live->Response.SentCookies().size(), 1u);
  EXPECT_EQ(Live->Response.SentCookies()[0].rfind("Kexalo_" + C.AppNameNoBlanks() + "=" + ID + "_2; ", 0), 0u)
      << Live->Response.SentCookies()[0];

  TKXSubmitForm::Next = [](TKXSubmitForm& F) { F.WebApplication()->TerminateAndRedirect("http://e.test/", "done"); };
  auto End = CookiePost(2, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(End->Response.SentBody(),
            "<html>\r\n<head>\r\n<META HTTP-EQUIV=\"Refresh\" CONTENT=\"10;URL=http://e.test/\">\r\n"
            "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta http-equiv=\"pragma\" "
            "content=\"no-cache\">\r\n</head><body>done</body></html>");
  ASSERT_EQ(End->Response.SentCookies().size(), 1u);
  const std::string Cookie = End->Response.SentCookies()[0];
  EXPECT_EQ(Cookie.rfind("Kexalo_" + C.AppNameNoBlanks() + "=" + ID + "_; ", 0), 0u) << Cookie;
  std::smatch Year;
  ASSERT_TRUE(std::regex_search(Cookie, Year, std::regex("expires=\\w+, \\d+ \\w+ (\\d{4}) "))) << Cookie;
  const std::time_t Now = std::time(nullptr);
  std::tm Utc{};
  gmtime_r(&Now, &Utc);
  EXPECT_LT(std::stoi(Year[1].str()), Utc.tm_year + 1900) << Cookie;
  EXPECT_TRUE(Registry.Snapshot().empty());
}

TEST_F(SubmitTest, AReleasedFormIsFreedAfterTheRequestAndTheNextFormAnswers) {
  TKXSubmitForm::Next = [](TKXSubmitForm& F) {
    auto* Other = KXCreate<TKXSubmitForm>(F.WebApplication());
    Other->SetTitle("Second");
    Other->Show();
    F.Release();
  };
  const int Before = TKXSubmitForm::Destroyed;
  auto X = Post(1, "KX_Action=KXDO&KX_ActionParam=");
  EXPECT_EQ(TKXSubmitForm::Destroyed, Before + 1);
  EXPECT_TRUE(S->ReleasedForms().empty());
  EXPECT_EQ(Form().Title(), "Second");
  EXPECT_NE(X->Response.SentBody().find("Second"), std::string::npos);
  EXPECT_EQ(S->TrackID(), 2u);
}

// The termination page of a WAP client: XHTML Mobile Profile unless the active form writes WML.
class TWMLForm : public TKXAppForm {
public:
  explicit TWMLForm(TKXComponent* AOwner) : TKXAppForm(AOwner) { FFormOutput = foWML; }
};

struct WAPTerminationTest : ::testing::Test {
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TWMLForm WMLForm{nullptr};
  TKXApplication Session{C, TKXBrowserType{brWAP, brsNone}, "Nokia7110/1.0 (05.01)", "10.1.2.3", "", "", "",
                         TSkStringList(), ""};

  std::string Page(bool AWML) {
    if (AWML)
      Session.SetActiveForm(&WMLForm);
    else
      Session.RemoveForm(&WMLForm);
    TKXTestWebRequest Request("POST", "/EXEC");
    TKXTestWebResponse Response(Request);
    KXTerminateApplication(&Session, &Response);
    return Response.RawContent();
  }
};

const std::string kXHTMLMP =
    "<?xml version=\"1.0\"?>\r\n<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
    "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">\r\n<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n";
const std::string kWML = "<?xml version=\"1.0\"?>\r\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
                         "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n<wml>\r\n";
const std::string kWMLHead = "<head>\r\n<meta http-equiv=\"cache-control\" content=\"no-cache\"/>\r\n"
                             "<meta http-equiv=\"pragma\" content=\"no-cache\"/>\r\n</head>\r\n";
const std::string kNoCache = "<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n"
                             "<meta http-equiv=\"pragma\" content=\"no-cache\">";

TEST_F(WAPTerminationTest, TerminateWritesTheMessageAlone) {
  ASSERT_EQ(Session.ClientType(), ctWAP);
  C.SetAppName("Wap App");
  Session.Terminate("bye");
  EXPECT_EQ(Page(false), kXHTMLMP + "bye\r\n</html>");
  EXPECT_EQ(Page(true), kWML + "<card id=\"cardterminate\" title=\"Wap App\" newcontext=\"true\">\r\n<p>\r\nbye\r\n"
                               "\r\n</p>\r\n</card>\r\n</wml>");
}

TEST_F(WAPTerminationTest, TerminateAndRedirectWaitsTheDelayOnlyWithAMessage) {
  C.SetRedirectMsgDelay(2);
  Session.TerminateAndRedirect("http://e.test/", "done");
  EXPECT_EQ(Page(false), kXHTMLMP + "<head>\r\n<meta http-equiv=\"Refresh\" Content=\"20;URL=http://e.test/\">\r\n" +
                             kNoCache + "\r\n</head><body>\r\ndone\r\n</body></html>");
  EXPECT_EQ(Page(true), kWML + kWMLHead + "<card ontimer=\"http://e.test/\">\r\n<timer value=\"20\"/>\r\n<p>done</p>\r\n"
                                          "</card></wml>");
  // Without a delay the timer still leaves the message readable for a moment.
  C.SetRedirectMsgDelay(0);
  EXPECT_NE(Page(true).find("<timer value=\"3\"/>\r\n<p>done</p>"), std::string::npos);

  Session.TerminateAndRedirect("http://e.test/", "");
  EXPECT_EQ(Page(false), kXHTMLMP + "<head>\r\n<meta http-equiv=\"Refresh\" Content=\"0;URL=http://e.test/\">\r\n" +
                             kNoCache + "\r\n</head></html>");
  EXPECT_EQ(Page(true), kWML + kWMLHead + "<card ontimer=\"http://e.test/\">\r\n<timer value=\"1\"/>\r\n</card></wml>");
}

}  // namespace
