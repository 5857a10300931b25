// File control: the upload frame, saving the upload, and who holds its temporary file.
#include "controls/KXFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "KXControlTestSupport.h"
#include "core/KXException.h"
#include "content/KXHTTPFile.h"
#include "controls/KXRegion.h"
#include "KXTestFolders.h"
#include "SkStream.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& APath) {
  std::ifstream In(APath, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

class FileTest : public ControlTest {
protected:
  TKXTempFolder Uploads;
  void SetUp() override {
    ControlTest::SetUp();
    KXSetUploadFolderFunc([this] { return Uploads.Path() + "/"; });
  }
  void TearDown() override {
    KXSetUploadFolderFunc(nullptr);
    ControlTest::TearDown();
  }
  TKXFile* File() {
    auto* F = Make<TKXFile>("KXFile1");
    F->SetBounds(24, 16, 275, 81);
    return F;
  }
  // A request's record of an upload with the given content.
  std::unique_ptr<THTTPFile> Upload(const std::string& AContent, const std::string& AName = "a.txt") {
    auto R = std::make_unique<THTTPFile>("KXFILE1", -1, "text/plain", AName);
    R->WriteData(AContent);
    R->CloseStream();
    return R;
  }
  // The frame's markup and the document its address names.
  std::pair<std::string, std::string> Frame(TKXFile& AFile) {
    const std::string Tag = Markup(AFile);
    const std::string Prefix = "<iframe src=\"" + Scope.Controller().GetUserCacheURL();
    EXPECT_EQ(Tag.rfind(Prefix, 0), 0u) << Tag;
    const size_t End = Tag.find('"', Prefix.size());
    const std::string Name = Tag.substr(Prefix.size(), End - Prefix.size());
    EXPECT_EQ(Name.rfind("HTM", 0), 0u) << "cache files are typed by their prefix: " << Name;
    return {Tag.substr(0, Prefix.size()) + "<name>" + Tag.substr(End), ReadAll(Scope.Controller().GetUserCacheDir() + Name)};
  }
};

TEST_F(FileTest, DemoFrameAndItsUploadForm) {
  BlankForm().SetBGColor(clWebAZURE);
  auto* F = File();
  F->SetDoRefreshControl(false);
  const auto [Tag, Doc] = Frame(*F);
  EXPECT_EQ(Tag, "<iframe src=\"" + Scope.Controller().GetUserCacheURL() +
                     "<name>\" frameborder=\"0\" scrolling=\"no\" width=\"275\"></iframe>");
  EXPECT_EQ(Doc,
            "<HTML><HEAD></HEAD><body topmargin=\"0\" leftmargin=\"0\" bgcolor=\"#F0FFFF\">"
            "\r\n  <form method=\"POST\" enctype=\"multipart/form-data\" name=\"HiddenSubmitForm\" "
            "onsubmit=\"KXTop().GSubmitting = true; KXTop().ShowBusy(true);\" action=\"/upload/0/" +
                Session->AppID() +
                "\">"
                "\r\n  <input type=\"file\" name=\"KXFILE1\" style=\"" +
                kIEFont +
                "height:21; width:275;\">"
                "\r\n  <input type=\"HIDDEN\" name=\"KX_ActionParam\" value=\"KXFILE1\">"
                "\r\n  <input type=\"HIDDEN\" name=\"KX_MainPageSubmitControl\">"
                "\r\n  <input type=\"HIDDEN\" name=\"KX_MainPageSubmitControlParam\">"
                "\r\n  <input type=\"HIDDEN\" name=\"KX_FileSize\" value=\"getFileLength('KXFILE1')\">"
                "</form></body></HTML>");
  EXPECT_TRUE(F->DoRefreshControl()) << "the upload address carries the track id";
}

TEST_F(FileTest, FrameColoursTrackingAndDisabledInput) {
  BlankForm().SetBGColor(clWebAZURE);
  auto* F = File();
  F->SetFrameBGColor(clWebRED);
  F->SetBGColor(clWebYELLOW);
  F->SetEnabled(false);
  Scope.Controller().SetSessionTrackingMethod(tmHidden);
  const std::string Doc = Frame(*F).second;
  EXPECT_NE(Doc.find("bgcolor=\"#FF0000\""), std::string::npos) << "the frame's own colour wins";
  EXPECT_NE(Doc.find("action=\"/upload\""), std::string::npos) << Doc;
  EXPECT_NE(Doc.find("<input type=\"file\" name=\"KXFILE1\" disabled=\"true\" DISABLED style=\"" + kIEFont +
                     "height:21; width:275;background-color:#FFFF00\">"),
            std::string::npos)
      << Doc;
  EXPECT_NE(Doc.find("<input type=\"HIDDEN\" name=\"KX_SessionID_\" value=\"" + Session->AppID() +
                     "\">\r\n  <input type=\"HIDDEN\" name=\"KX_TrackID_\" value=\"0\"></form>"),
            std::string::npos)
      << Doc;
  EXPECT_EQ(F->RenderStyle(nullptr), "z-index:100;width:275px;height:81px;" + kIEFont +
                                         "border-width:0;border-style:none;overflow:hidden;background-color: #FFFF00;");

  Scope.Controller().SetSessionTrackingMethod(tmCookie);
  F->SetCss("upload");
  const std::string Cookie = Frame(*F).second;
  EXPECT_NE(Cookie.find("class=\"upload\""), std::string::npos) << Cookie;
  EXPECT_EQ(Cookie.find("KX_SessionID_"), std::string::npos);
  EXPECT_NE(Cookie.find("name=\"KX_TrackID_\" value=\"0\""), std::string::npos);
}

TEST_F(FileTest, OnExplorerTheFrameTakesItsParentsColour) {
  BlankForm().SetBGColor(clWebAZURE);
  auto* Region = Make<TKXRegion>("KXRegion1");
  Region->SetColor(clWebRED);
  auto* F = File();
  F->SetParent(Region);
  EXPECT_NE(Frame(*F).second.find("bgcolor=\"#FF0000\""), std::string::npos) << "the region's, not the form's";
  Region->SetColor(clNone);
  EXPECT_EQ(Frame(*F).second.find("bgcolor"), std::string::npos);
}

TEST_F(FileTest, RefusedOnAPartialUpdateForm) {
  BlankForm().SetUpdateMode(umPartial);
  auto* F = File();
  try {
    Markup(*F);
    FAIL() << "rendered";
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Can't use TKXFile when using umPartial.");
  }
}

TEST_F(FileTest, StatusTimerOnlyWithOnStatus) {
  auto* F = File();
  EXPECT_EQ(F->AsyncStatusScript(), "");
  F->OnStatus = [](TKXComponent*, TSkStringList&) {};
  F->SetStatusUpdateInterval(500);
  EXPECT_EQ(F->AsyncStatusScript(), "KXTimer(true,500, \"KXFILE1.DoOnStatus\")");
}

TEST_F(FileTest, SafeBaseNameStripsWhatCouldLeaveTheFolder) {
  const struct {
    const char* Name;
    std::string Raw, Expected;
  } Cases[] = {
      {"plain", "a.txt", "a.txt"},
      {"windows path", "C:\\docs\\a.txt", "a.txt"},
      {"posix path", "/etc/passwd", "passwd"},
      {"climbing", "../../a.txt", "a.txt"},
      {"mixed separators", "x/..\\..//b.bin", "b.bin"},
      {"drive letter only prefix", "C:a.txt", "a.txt"},
      {"control characters", std::string("a\x01\nb\x7f.txt"), "ab.txt"},
      {"control character hiding a separator", std::string("..\x01/c"), "c"},
      {"dots inside are kept", "a..b.txt", "a..b.txt"},
      {"parent only", "..", ""},
      {"dot only", ".", ""},
      {"ends with a separator", "dir/", ""},
      {"empty", "", ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(TKXCustomFile::SafeBaseName(Case.Raw), Case.Expected);
  }
}

TEST_F(FileTest, SaveToFileUnderTheBaseNameOfTheChosenFile) {
  TKXTempFolder Work;
  const fs::path Saved = fs::current_path();
  fs::current_path(Work.Path());
  auto* F = File();
  F->SaveToFile();   // nothing uploaded: nothing happens
  EXPECT_EQ(Work.CountFiles(), 0);

  auto Request = Upload("hello");
  F->RestoreValue("C:\\docs\\a.txt");
  F->AssignUploadedFile(Request.get());
  EXPECT_EQ(F->FileName(), "a.txt");
  EXPECT_EQ(F->ContentType(), "text/plain");
  F->SaveToFile(F->FileName());
  EXPECT_EQ(ReadAll(Work.Path() + "/a.txt"), "hello");

  F->RestoreValue("..");
  EXPECT_THROW(F->SaveToFile(), EKXException);
  F->RestoreValue(std::string("\x01"));
  EXPECT_THROW(F->SaveToFile(F->FileName()), EKXException);
  EXPECT_EQ(Work.CountFiles(), 1) << "an unusable name writes nothing";

  // A name the application chose is written where it points.
  fs::create_directory(Work.Path() + "/sub");
  F->SaveToFile(Work.Path() + "/sub/b.txt");
  EXPECT_EQ(ReadAll(Work.Path() + "/sub/b.txt"), "hello");
  TSkMemoryStream Stream;
  F->SaveToStream(Stream);
  EXPECT_EQ(Stream.DataString(), "hello");
  fs::current_path(Saved);
}

TEST_F(FileTest, NoTemporaryFileOutlivesItsLastHolder) {
  auto* F = File();
  {
    auto Request = Upload("one");
    F->AssignUploadedFile(Request.get());
    EXPECT_EQ(Uploads.CountFiles(), 1) << "the copy shares the request's file";
  }
  EXPECT_EQ(Uploads.CountFiles(), 1) << "the control still holds it after the request";
  {
    auto Newer = Upload("two");
    F->AssignUploadedFile(Newer.get());
    EXPECT_EQ(Uploads.CountFiles(), 1) << "the replaced upload is gone";
  }
  F->AssignUploadedFile(F->File());   // its own copy again: still held
  EXPECT_EQ(Uploads.CountFiles(), 1);
  TSkMemoryStream Stream;
  F->SaveToStream(Stream);
  EXPECT_EQ(Stream.DataString(), "two");
  F->AssignUploadedFile(nullptr);
  EXPECT_EQ(Uploads.CountFiles(), 0) << "no record, no file";

  auto Last = Upload("three");
  F->AssignUploadedFile(Last.get());
  Last.reset();
  delete Form;   // the control goes with its form
  Form = nullptr;
  EXPECT_EQ(Uploads.CountFiles(), 0);

  auto* Other = File();
  auto Kept = Upload("four");
  Other->AssignUploadedFile(Kept.get());
  Kept.reset();
  Session.reset();   // ...and with its session
  SetCurrentSession(nullptr);
  EXPECT_EQ(Uploads.CountFiles(), 0);
}

}  // namespace
