// The demonstration's two forms as the program builds them: read from their embedded
// descriptions, served through the dispatcher, and their handlers.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/KXButton.h"
#include "controls/KXCompEdit.h"
#include "core/KXDescriptionReader.h"
#include "KXControlTestSupport.h"
#include "controls/KXFile.h"
#include "content/KXHTTPFile.h"
#include "controls/KXLabel.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "forms/KXShowMessage.h"
#include "KXTestFolders.h"
#include "KXTestWebRequest.h"
#include "ServerController.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UserSessionUnit.h"

namespace fs = std::filesystem;

namespace {

const char* const kIE = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)";

struct TBounds {
  int Left, Top, Width, Height;
};
void ExpectBounds(TKXCustomControl* AControl, TBounds AB) {
  ASSERT_NE(AControl, nullptr);
  SCOPED_TRACE(AControl->Name());
  EXPECT_EQ(AControl->Left(), AB.Left);
  EXPECT_EQ(AControl->Top(), AB.Top);
  EXPECT_EQ(AControl->Width(), AB.Width);
  EXPECT_EQ(AControl->Height(), AB.Height);
  EXPECT_EQ(AControl->FriendlyName(), AControl->Name());
  EXPECT_TRUE(AControl->ShowHint());
  EXPECT_FALSE(AControl->ParentShowHint());
}

class DemoFormsTest : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    KXRegisterDemoResources();
  }
  TKXForm1* Login() {
    auto* F = KXCreate<TKXForm1>(Session.get());
    F->Show();
    return F;
  }
  TKXComponent* Active() { return static_cast<TKXComponent*>(Session->ActiveForm()); }
};

TEST_F(DemoFormsTest, TheLoginFormReadsItsStoredValues) {
  TKXForm1* F = Login();
  EXPECT_EQ(F->Width(), 491);
  EXPECT_EQ(F->Height(), 265);
  EXPECT_EQ(F->Title(), "To jest test");
  EXPECT_EQ(F->BGColor(), clWebAZURE);
  EXPECT_EQ(F->LinkColor(), clMenuHighlight);
  EXPECT_TRUE(F->AllowPageAccess());
  EXPECT_TRUE(F->LockUntilLoaded() && F->LockOnSubmit() && F->XPTheme() && F->ShowHint());
  EXPECT_FALSE(F->HandleTabs());
  EXPECT_TRUE(F->SupportedBrowsers().Contains(brChrome));

  ExpectBounds(F->KXFile1, {24, 16, 275, 81});
  ExpectBounds(F->KXButton4, {305, 40, 75, 33});
  ExpectBounds(F->KXLabel1, {16, 133, 39, 16});
  ExpectBounds(F->KXEdit2, {61, 128, 121, 21});
  ExpectBounds(F->KXLabel2, {16, 160, 44, 16});
  ExpectBounds(F->KXEdit3, {61, 160, 121, 21});
  ExpectBounds(F->KXButton3, {61, 200, 121, 25});
  EXPECT_EQ(F->KXButton3->TabOrderValue(), 0);
  EXPECT_EQ(F->KXEdit2->TabOrderValue(), 1);
  EXPECT_EQ(F->KXEdit3->TabOrderValue(), 2);
  EXPECT_EQ(F->KXFile1->TabOrderValue(), 3);
  EXPECT_EQ(F->KXButton4->TabOrderValue(), 4);

  EXPECT_EQ(F->KXButton3->Caption(), "OK");
  EXPECT_EQ(F->KXButton4->Caption(), "Załaduj");
  EXPECT_EQ(F->KXLabel1->Caption(), "login :");
  EXPECT_EQ(F->KXLabel2->Caption(), "hasło :");
  EXPECT_EQ(F->KXButton4->Color(), clBtnFace);
  EXPECT_TRUE(F->KXButton3->OnClick && F->KXButton4->OnClick);
  for (TKXEdit* E : {F->KXEdit2, F->KXEdit3}) {
    SCOPED_TRACE(E->Name());
    EXPECT_FALSE(E->PasswordPrompt());   // the password is a plain text field
    EXPECT_EQ(E->Text(), "");
  }
  EXPECT_EQ(F->KXFile1->ButtonHeight(), 21);
  EXPECT_EQ(F->KXFile1->StatusUpdateInterval(), 1000);

  // OnCreate made the second form, owned by the session and not yet shown.
  TKXForm2* Second = F->SecondForm();
  ASSERT_NE(Second, nullptr);
  EXPECT_EQ(Second->Owner(), Session.get());
  EXPECT_EQ(Session->ActiveForm(), F);
  EXPECT_EQ(Second->Width(), 555);
  EXPECT_EQ(Second->Height(), 400);
  EXPECT_EQ(Second->Title(), "");
  EXPECT_EQ(Second->BGColor(), clNone);
  ExpectBounds(Second->KXButton1, {64, 96, 75, 49});
  EXPECT_EQ(Second->KXButton1->Caption(), "Powrót");
  EXPECT_TRUE(Second->KXButton1->OnClick);
}

TEST_F(DemoFormsTest, OnlyTheExactLoginShowsTheSecondForm) {
  const struct {
    const char *Login, *Password;
  } Wrong[] = {{" kqzv", "kqzv"}, {"KQZV", "kqzv"}, {"kqzv", "kqzv "}, {"kqzv", "Kqzv"}, {"", ""}, {"kqzv", ""}};
  for (const auto& W : Wrong) {
    SCOPED_TRACE(std::string(W.Login) + "/" + W.Password);
    TKXForm1* F = Login();
    F->KXEdit2->SetText(W.Login);
    F->KXEdit3->SetText(W.Password);
    F->KXButton3->DoSubmit("");
    auto* Message = dynamic_cast<TKXShowMessage*>(Active());
    ASSERT_NE(Message, nullptr) << Active()->ClassName();
    EXPECT_EQ(Message->MessageText(), "Nieprawidłowy login lub hasło");
  }

  TKXForm1* F = Login();
  F->KXEdit2->SetText("kqzv");
  F->KXEdit3->SetText("kqzv");
  F->KXButton3->DoSubmit("");
  EXPECT_EQ(Session->ActiveForm(), F->SecondForm());
}

TEST_F(DemoFormsTest, BackGivesAFreshLoginFormWithItsOwnSecondForm) {
  TKXForm1* First = Login();
  First->KXEdit2->SetText("kqzv");
  First->KXEdit3->SetText("kqzv");
  First->KXButton3->DoSubmit("");
  TKXForm2* Second = First->SecondForm();
  ASSERT_EQ(Session->ActiveForm(), Second);

  Second->KXButton1->DoSubmit("");
  auto* Fresh = dynamic_cast<TKXForm1*>(Active());
  ASSERT_NE(Fresh, nullptr);
  EXPECT_NE(Fresh, First);
  EXPECT_EQ(Fresh->Owner(), Session.get());
  EXPECT_EQ(Fresh->KXEdit2->Text(), "");
  EXPECT_EQ(Fresh->KXEdit3->Text(), "");
  ASSERT_NE(Fresh->SecondForm(), nullptr);
  EXPECT_NE(Fresh->SecondForm(), Second);
  // The earlier forms stay with the session.
  EXPECT_EQ(First->Owner(), Session.get());
}

TEST_F(DemoFormsTest, UploadSavesUnderTheBaseNameInTheCurrentFolder) {
  TKXTempFolder Uploads, Work;
  KXSetUploadFolderFunc([&Uploads] { return Uploads.Path() + "/"; });
  const fs::path Saved = fs::current_path();
  fs::current_path(Work.Path());
  TKXForm1* F = Login();
  F->KXButton4->DoSubmit("");   // no file chosen: nothing written, nothing raised
  EXPECT_EQ(Work.CountFiles(), 0);

  auto Upload = std::make_unique<THTTPFile>("KXFILE1", -1, "text/plain", "report.txt");
  const char kBytes[] = "line\r\n\0bin\xff\r\n";   // saved as bytes, not as text
  const std::string Contents(kBytes, sizeof kBytes - 1);
  Upload->WriteData(Contents);
  Upload->CloseStream();
  F->KXFile1->RestoreValue("C:\\docs\\..\\report.txt");
  F->KXFile1->AssignUploadedFile(Upload.get());
  F->KXButton4->DoSubmit("");
  std::ifstream In(Work.Path() + "/report.txt", std::ios::binary);
  std::stringstream Text;
  Text << In.rdbuf();
  EXPECT_EQ(Text.str(), Contents);
  EXPECT_EQ(Work.CountFiles(), 1);

  fs::current_path(Saved);
  Upload.reset();
  Session.reset();
  KXSetUploadFolderFunc(nullptr);
}

// A browser's first visit: the start answers the size probe, whose post answers the login page.
class DemoStartTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope;
  TKXSessions& Registry = Scope.Sessions();
  const TKXClassInfo* SavedMain = TKXAppForm::MainFormClass();

  void SetUp() override {
    KXRegisterDemoResources();
    TKXAppForm::SetAsMainForm<TKXForm1>();
  }
  void TearDown() override { TKXAppForm::SetMainFormClass(SavedMain); }

  std::string Exchange(const std::string& AMethod, const std::string& APath, const std::string& ABody = "") {
    TKXTestWebRequest Request(AMethod, APath, "");
    Request.SetHeader("User-Agent", kIE);
    if (!ABody.empty()) {
      Request.SetFormBody(ABody);
    }
    TKXTestWebResponse Response(Request);
    TKXTestControllerScope::Current().Dispatch(Request, Response);
    return Response.SentBody();
  }
};

TEST_F(DemoStartTest, TheProbePostAnswersTheLoginPage) {
  Exchange("GET", "/");
  const std::vector<TKXSessionRef> All = Registry.Snapshot();
  ASSERT_EQ(All.size(), 1u);
  const std::string ID = All[0]->AppID();
  const std::string Page = Exchange("POST", "/EXEC/0/" + ID, "KX_width=800&KX_height=600&KX_SessionID_=" + ID +
                                                                 "&KX_TrackID_=0");
  for (const std::string& Piece : {
           std::string("<title>To jest test</title>"),
           std::string(".KXBUTTON3CSS {position:absolute;left:61px;top:200px;"),
           std::string(".KXEDIT2CSS {position:absolute;left:61px;top:128px;"),
           std::string(".KXEDIT3CSS {position:absolute;left:61px;top:160px;"),
           std::string(".KXFILE1CSS {position:absolute;left:24px;top:16px;"),
           std::string(".KXBUTTON4CSS {position:absolute;left:305px;top:40px;"),
           std::string("<input value=\"OK\" name=\"KXBUTTON3\" type=\"button\""),
           std::string("<input type=\"TEXT\" name=\"KXEDIT2\""),
           std::string("<input type=\"TEXT\" name=\"KXEDIT3\""),
           std::string("id=\"KXFILE1\" name=\"KXFILE1\""),
           std::string("<input value=\"Załaduj\" name=\"KXBUTTON4\" type=\"button\""),
           std::string(">login :</span>"),
           std::string(">hasło :</span>"),
           std::string("bgcolor=\"#F0FFFF\""),
           std::string("<input type=\"HIDDEN\" name=\"KX_FormClass\" value=\"TKXForm1\">"),
       }) {
    EXPECT_NE(Page.find(Piece), std::string::npos) << Piece << "\n" << Page;
  }
}

TEST_F(DemoStartTest, EachSessionHasItsOwnLoginAndSecondForm) {
  Exchange("GET", "/");
  Exchange("GET", "/");
  const std::vector<TKXSessionRef> All = Registry.Snapshot();
  ASSERT_EQ(All.size(), 2u);
  auto* A = dynamic_cast<TKXForm1*>(All[0]->ActiveForm());
  auto* B = dynamic_cast<TKXForm1*>(All[1]->ActiveForm());
  ASSERT_TRUE(A && B);
  EXPECT_NE(A, B);
  ASSERT_TRUE(A->SecondForm() && B->SecondForm());
  EXPECT_NE(A->SecondForm(), B->SecondForm());
  EXPECT_EQ(A->SecondForm()->Owner(), All[0].get());
  EXPECT_EQ(B->SecondForm()->Owner(), All[1].get());
}

TEST(DemoControllerTest, StoredSettingsBindTheNewSessionHandler) {
  KXRegisterDemoResources();
  TKXServerController Controller;
  KXReadComponentResource(Controller);
  EXPECT_EQ(Controller.Port(), 8888);
  EXPECT_EQ(Controller.AppName(), "MyApp");
  EXPECT_EQ(Controller.SessionTimeout(), 10);
  ASSERT_TRUE(Controller.OnNewSession);

  TKXApplication Session(Controller, TKXBrowserType{brIE, brsNone}, kIE, "127.0.0.1", "", "", "", TSkStringList(), "");
  TKXBaseForm* Main = nullptr;
  Controller.OnNewSession(&Session, Main);
  EXPECT_EQ(Main, nullptr);   // the main form stays the default
  EXPECT_NE(static_cast<TKXUserSession*>(Session.Data()), nullptr);
}

}  // namespace
