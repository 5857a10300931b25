// Starts the real demonstration executable, talks HTTP to it and stops it with SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

#include "KXTestFolders.h"
#include "SkTestClient.h"
#include "SkTestTLS.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

std::string DemoExecutable() {
  std::error_code Ec;
  return (fs::read_symlink("/proc/self/exe", Ec).parent_path() / "kexalo-demo").string();
}

// Reads the child's output until APattern matches (or 20 s pass); returns everything read.
std::string ReadUntil(int AFd, const std::regex& APattern, std::smatch& AMatch, std::string& AAll) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < Deadline) {
    if (std::regex_search(AAll, AMatch, APattern)) return AAll;
    pollfd P{AFd, POLLIN, 0};
    if (poll(&P, 1, 200) <= 0) continue;
    char Buf[4096];
    const ssize_t N = read(AFd, Buf, sizeof Buf);
    if (N <= 0) break;
    AAll.append(Buf, static_cast<size_t>(N));
  }
  std::regex_search(AAll, AMatch, APattern);
  return AAll;
}

// Our environment with the child's own temporary folder and without a display.
std::vector<std::string> ChildEnvironment(const std::string& ATempDir) {
  std::vector<std::string> Env = {"TMPDIR=" + ATempDir};
  for (char** E = environ; *E; ++E)
    if (std::string(*E).rfind("TMPDIR=", 0) != 0 && std::string(*E).rfind("DISPLAY=", 0) != 0) Env.push_back(*E);
  return Env;
}

// The demonstration executable as a child process with its own temporary folder (for its cache
// folder) and, when given, its own current folder (where uploads are saved). ACommand replaces
// the plain start (the executable with --headless --port=0); it must print the port likewise.
class TKXDemoChild {
public:
  TKXDemoChild(const std::string& ATempDir, const std::string& AWorkDir = "", std::vector<std::string> ACommand = {}) {
    int Pipe[2];
    if (pipe(Pipe) != 0) return;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
    posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
    if (!AWorkDir.empty()) posix_spawn_file_actions_addchdir_np(&Actions, AWorkDir.c_str());
    std::vector<std::string> Env = ChildEnvironment(ATempDir);
    std::vector<char*> EnvP;
    for (std::string& E : Env) EnvP.push_back(E.data());
    EnvP.push_back(nullptr);
    if (ACommand.empty()) ACommand = {DemoExecutable(), "--headless", "--port=0"};
    std::vector<char*> Argv;
    for (std::string& A : ACommand) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    if (posix_spawn(&FPid, ACommand[0].c_str(), &Actions, nullptr, Argv.data(), EnvP.data()) != 0) FPid = 0;
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[1]);
    FOutFd = Pipe[0];
    std::smatch M;
    if (FPid && WaitFor(std::regex("HTTP Port: (\\d+)"), M)) FPort = static_cast<uint16_t>(std::stoi(M[1].str()));
  }
  ~TKXDemoChild() {
    if (FPid) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    if (FOutFd >= 0) close(FOutFd);
  }
  TKXDemoChild(const TKXDemoChild&) = delete;
  TKXDemoChild& operator=(const TKXDemoChild&) = delete;

  uint16_t Port() const { return FPort; }   // 0 when it printed none
  const std::string& Output() const { return FOut; }
  bool WaitFor(const std::regex& APattern, std::smatch& AMatch) {
    ReadUntil(FOutFd, APattern, AMatch, FOut);
    return !AMatch.empty();
  }
  // SIGTERM, then waits up to 20 s; the wait status, or nothing when it had to be killed.
  std::optional<int> Stop() {
    if (!FPid || kill(FPid, SIGTERM) != 0) return std::nullopt;
    int Status = 0;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pid_t Done = 0;
    while ((Done = waitpid(FPid, &Status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < Deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (Done == 0) return std::nullopt;   // the destructor kills it
    FPid = 0;
    return Status;
  }

private:
  pid_t FPid = 0;
  int FOutFd = -1;
  uint16_t FPort = 0;
  std::string FOut;
};

// The wire side of one browser session, posting what the page scripts post: the login form holds
// a file control, so its page posts multipart data after the file frame has posted its own.
class TKXDemoBrowser {
public:
  // With ATLS every request goes over its own TLS connection, as the plain ones each get their own.
  explicit TKXDemoBrowser(uint16_t APort, bool ATLS = false) : FPort(APort), FTLS(ATLS) {}

  // The first visit and the start page's size probe; the answer is the login page.
  std::string Start() {
    const std::string Probe = Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + std::string(kUA) + "\r\n");
    std::smatch Id;
    if (!std::regex_search(Probe, Id, std::regex("KX_SessionID_\" value=\"([a-z0-9]{28})\""))) return Probe;
    FSid = Id[1].str();
    return PostForm("/EXEC/0/" + FSid, "KX_width=800&KX_height=600&KX_SessionID_=" + FSid + "&KX_TrackID_=0");
  }
  const std::string& Sid() const { return FSid; }

  std::string PostForm(const std::string& APath, const std::string& ABody) {
    return Post(APath, "application/x-www-form-urlencoded", ABody);
  }
  // Parts are (name, value); a part named by AFileField carries AFileName's content instead.
  std::string PostMultipart(const std::string& APath, const std::vector<std::pair<std::string, std::string>>& AParts,
                            const std::string& AFileField = "", const std::string& AFileName = "") {
    const std::string Boundary = "----KXTestBoundary7MA4YWxkTrZu0gW";
    std::string Body;
    for (const auto& [Name, Value] : AParts) {
      Body += "--" + Boundary + "\r\nContent-Disposition: form-data; name=\"" + Name + "\"";
      if (Name == AFileField)
        Body += "; filename=\"" + AFileName + "\"\r\nContent-Type: application/octet-stream";
      Body += "\r\n\r\n" + Value + "\r\n";
    }
    Body += "--" + Boundary + "--\r\n";
    return Post(APath, "multipart/form-data; boundary=" + Boundary, Body);
  }

  // The page's exec address in an answer (a page's submit form or an upload's continuation).
  std::string NextExec(const std::string& AAnswer) const {
    std::smatch M;
    const std::regex Exec("/EXEC/\\d+/" + FSid);
    return std::regex_search(AAnswer, M, Exec) ? M[0].str() : std::string("/EXEC/none");
  }
  std::string NextUpload(const std::string& APage) const {
    std::smatch M;
    return std::regex_search(APage, M, std::regex("var GTrackID=(\\d+);")) ? "/upload/" + M[1].str() + "/" + FSid
                                                                          : std::string("/upload/none");
  }

  // A click on the login form: the file frame posts first (the chosen file, or an empty file part),
  // then the page posts its fields with the clicked button as the action.
  std::string ClickOnLoginForm(const std::string& APage, const std::string& AButton, const std::string& ALogin,
                               const std::string& APassword, const std::string& AFileName = "",
                               const std::string& AFileContent = "") {
    const std::string Continuation = PostMultipart(NextUpload(APage),
                                                   {{"KXFILE1", AFileContent},
                                                    {"KX_ActionParam", "KXFILE1"},
                                                    {"KX_MainPageSubmitControl", AButton},
                                                    {"KX_MainPageSubmitControlParam", ""},
                                                    {"KX_FileSize", "getFileLength('KXFILE1')"}},
                                                   "KXFILE1", AFileName);
    EXPECT_NE(Continuation.find("KXTop().SubmitNextFile('" + AButton + "','');"), std::string::npos) << Continuation;
    return PostMultipart(NextExec(Continuation), {{"KXBUTTON3", ""},
                                                  {"KXEDIT2", ALogin},
                                                  {"KXEDIT3", APassword},
                                                  {"KXBUTTON4", ""},
                                                  {"KX_Action", AButton},
                                                  {"KX_ActionParam", ""},
                                                  {"KX_FormName", "KXForm1"},
                                                  {"KX_FormClass", "TKXForm1"},
                                                  {"KX_width", "800"},
                                                  {"KX_height", "600"}});
  }

private:
  static constexpr const char* kUA = "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                                     "Chrome/131.0.0.0 Safari/537.36\r\n";
  std::string Post(const std::string& APath, const std::string& AType, const std::string& ABody) {
    return Send("POST " + APath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kUA + "Content-Type: " + AType +
                "\r\nContent-Length: " + std::to_string(ABody.size()) + "\r\n\r\n" + ABody);
  }
  std::string Send(const std::string& ARequest) {
    return FTLS ? SkTLSRoundTrip(FPort, ARequest).Answer : SkRoundTrip(FPort, ARequest);
  }

  uint16_t FPort;
  bool FTLS;
  std::string FSid;
};

bool IsLoginPage(const std::string& AAnswer) { return AAnswer.find("<title>To jest test</title>") != std::string::npos; }
bool IsSecondForm(const std::string& AAnswer) {
  return AAnswer.find("value=\"Powr\xc3\xb3t\" name=\"KXBUTTON1\"") != std::string::npos;
}

std::string ReadFile(const fs::path& APath) {
  std::ifstream In(APath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(KXEndToEnd, DemoServesInternalFilesAndStopsCleanlyOnSIGTERM) {
  if (!fs::exists(DemoExecutable())) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  TKXTempFolder Temp;   // the child's temporary folder: its cache folder goes here
  TKXDemoChild Demo(Temp.Path());
  ASSERT_NE(Demo.Port(), 0) << Demo.Output();
  const uint16_t Port = Demo.Port();
  std::smatch M;
  EXPECT_TRUE(Demo.WaitFor(std::regex("Start address: http://127\\.0\\.0\\.1:(\\d+)/"), M)) << Demo.Output();

  // one cache folder for the run, under the child's temporary folder
  int Folders = 0;
  for (const auto& E : fs::directory_iterator(Temp.Path())) Folders += E.is_directory();
  EXPECT_EQ(Folders, 1);

  const struct {
    const char* Path;
    const char* Type;
  } Files[] = {{"/js/Rico.js", "Content-Type: application/x-javascript"}, {"/favicon.ico", "Content-Type: image/"}};
  for (const auto& F : Files) {
    SCOPED_TRACE(F.Path);
    const std::string A = SkRoundTrip(Port, std::string("GET ") + F.Path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(A.substr(0, 15), "HTTP/1.1 200 OK") << A.substr(0, 200);
    EXPECT_NE(A.find(F.Type), std::string::npos);
    const size_t Body = A.find("\r\n\r\n");
    std::smatch L;
    const std::string Head = A.substr(0, Body);
    ASSERT_TRUE(std::regex_search(Head, L, std::regex("Content-Length: (\\d+)")));
    EXPECT_EQ(A.size() - Body - 4, std::stoul(L[1].str()));
  }

  // The login flow over plain HTTP, url-encoded: a wrong login shows the message page (its text
  // control must be in the executable), and its Ok brings the login form back.
  {
    TKXDemoBrowser Browser(Port);
    ASSERT_TRUE(IsLoginPage(Browser.Start()));
    const std::string Sid = Browser.Sid();
    EXPECT_NE(Browser.PostForm("/EXEC/1/" + Sid, "KXEDIT2=+kqzv&KXEDIT3=kqzv&KX_Action=KXBUTTON3").find(
                  "Nieprawid\xc5\x82owy login lub has\xc5\x82o"),
              std::string::npos);
    EXPECT_TRUE(IsLoginPage(Browser.PostForm("/EXEC/2/" + Sid, "KX_Action=BUTNOK")));
    EXPECT_TRUE(IsSecondForm(Browser.PostForm("/EXEC/3/" + Sid, "KXEDIT2=kqzv&KXEDIT3=kqzv&KX_Action=KXBUTTON3")));
  }

  const std::optional<int> Status = Demo.Stop();
  ASSERT_TRUE(Status.has_value()) << "the server did not stop on SIGTERM\n" << Demo.Output();
  Demo.WaitFor(std::regex("Stopped\\."), M);
  EXPECT_TRUE(WIFEXITED(*Status)) << Demo.Output();
  EXPECT_EQ(WEXITSTATUS(*Status), 0) << Demo.Output();
  EXPECT_NE(Demo.Output().find("Stopped."), std::string::npos) << Demo.Output();
  EXPECT_TRUE(fs::is_empty(Temp.Path())) << "the cache folder is deleted at stop";
}

// What a browser posts on the login form, click by click: the file frame's upload, then the page.
TEST(KXEndToEnd, DemoLoginFormFlowsAsTheBrowserPostsThem) {
  if (!fs::exists(DemoExecutable())) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  TKXTempFolder Temp, Work;
  TKXDemoChild Demo(Temp.Path(), Work.Path());
  ASSERT_NE(Demo.Port(), 0) << Demo.Output();
  TKXDemoBrowser Browser(Demo.Port());
  std::string Page = Browser.Start();
  ASSERT_TRUE(IsLoginPage(Page)) << Page;

  // Załaduj with a chosen file: saved under its base name with the very same bytes.
  // Line breaks, NUL bytes, a high byte and a line that begins like the part delimiter.
  const char kBytes[] = "line one\r\nline two\r\n\0\0binary\xff\r\n--\r\n------KXTestBoundary7MA\r\n\0end\r\n";
  const std::string Content(kBytes, sizeof kBytes - 1);
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", "upload.bin", Content);
  EXPECT_TRUE(IsLoginPage(Page)) << Page;
  EXPECT_EQ(ReadFile(Work.Path() + "/upload.bin"), Content);
  EXPECT_EQ(Work.CountFiles(), 1);

  // Załaduj without a file (the frame posts an empty file part): nothing written, no error.
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "");
  EXPECT_TRUE(IsLoginPage(Page)) << Page;
  EXPECT_EQ(Page.find("alert("), std::string::npos) << Page;
  EXPECT_EQ(Work.CountFiles(), 1);

  // Blanks around the login are not trimmed.
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON3", "kqzv ", "kqzv");
  EXPECT_NE(Page.find("Nieprawid\xc5\x82owy login lub has\xc5\x82o"), std::string::npos) << Page;
  Page = Browser.PostForm(Browser.NextExec(Page), "BUTNOK=&KX_Action=BUTNOK&KX_ActionParam=&KX_FormName=KXShowMessage"
                                                  "&KX_FormClass=TKXShowMessage&KX_width=800&KX_height=600");
  ASSERT_TRUE(IsLoginPage(Page)) << Page;

  // The right login, then Powrót: a fresh login form whose edits are empty.
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON3", "kqzv", "kqzv");
  ASSERT_TRUE(IsSecondForm(Page)) << Page;
  Page = Browser.PostForm(Browser.NextExec(Page), "KXBUTTON1=&KX_Action=KXBUTTON1&KX_ActionParam=&KX_FormName=KXForm2"
                                                  "&KX_FormClass=TKXForm2&KX_width=800&KX_height=600");
  ASSERT_TRUE(IsLoginPage(Page)) << Page;
  EXPECT_NE(Page.find("<input type=\"TEXT\" name=\"KXEDIT2\" maxlength=\"2147483647\" class="), std::string::npos) << Page;
  EXPECT_NE(Page.find("<input type=\"TEXT\" name=\"KXEDIT3\" maxlength=\"2147483647\" class="), std::string::npos) << Page;
  EXPECT_EQ(Page.find("kqzv"), std::string::npos) << Page;   // no value attribute either
  EXPECT_EQ(Work.CountFiles(), 1);

  const std::optional<int> Status = Demo.Stop();
  ASSERT_TRUE(Status.has_value()) << Demo.Output();
  EXPECT_TRUE(WIFEXITED(*Status) && WEXITSTATUS(*Status) == 0) << Demo.Output();
}

namespace {

// Every entry of a folder (links not followed) with what it holds: a link's target, a small file's
// bytes, a large one's size and hash (the executable).
std::map<std::string, std::string> Snapshot(const fs::path& AFolder) {
  std::map<std::string, std::string> S;
  for (const auto& E : fs::directory_iterator(AFolder)) {
    const std::string Name = E.path().filename().string();
    if (E.is_symlink()) {
      S[Name] = "-> " + fs::read_symlink(E.path()).string();
      continue;
    }
    const std::string Bytes = ReadFile(E.path());
    S[Name] = Bytes.size() < 4096 ? Bytes
                                  : std::to_string(Bytes.size()) + " bytes, hash " +
                                        std::to_string(std::hash<std::string>{}(Bytes));
  }
  return S;
}

bool Alerts(const std::string& APage, const std::string& AText) {
  const size_t At = APage.find("alert(");
  return At != std::string::npos && APage.find(AText, At) != std::string::npos;
}

}  // namespace

// The attack of an anonymous upload on a server started from its own folder: the application's
// files, and whatever a planted link points at, stay as they were.
TEST(KXEndToEnd, UploadsNeverChangeTheApplicationsOwnFiles) {
  if (!fs::exists(DemoExecutable())) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  TKXTempFolder Temp, App, Outside;
  const fs::path Exe = fs::path(App.Path()) / "kexalo-demo";
  std::error_code Ec;
  fs::create_hard_link(DemoExecutable(), Exe, Ec);
  if (Ec) fs::copy_file(DemoExecutable(), Exe);
  std::ofstream(App.Path() + "/port.ini") << "[PORTS]\nPort=0\n";
  std::ofstream(Outside.Path() + "/secret") << "outside";
  fs::create_symlink(Outside.Path() + "/secret", App.Path() + "/link.txt");

  TKXDemoChild Demo(Temp.Path(), App.Path(), {Exe.string(), "--headless", "--port=0"});
  ASSERT_NE(Demo.Port(), 0) << Demo.Output();
  TKXDemoBrowser Browser(Demo.Port());
  std::string Page = Browser.Start();
  ASSERT_TRUE(IsLoginPage(Page)) << Page;
  const auto Before = Snapshot(App.Path());

  const char kOwn[] = "is one of the application";
  const char kNoName[] = "leaves no name to save it under.";
  const struct {
    std::string FileName;
    const char* Alert;
  } Cases[] = {
      {"port.ini", kOwn},          {"kexalo-demo", kOwn},        {"kexalo-demo.log", kOwn},
      {"kexalo-demo.err", kOwn},   {"kexalo-demo.kxb", kOwn},    {"C:\\x\\..\\port.ini", kOwn},
      {std::string("port.ini\0", 9), kOwn},                      {".", kNoName},
      {"..", kNoName},             {"....", kNoName},            {" ", kNoName},
      {"link.txt", "it is a symbolic link."},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.FileName);
    Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", Case.FileName, "[PORTS]\nPort=6666\n");
    EXPECT_TRUE(IsLoginPage(Page)) << Page;
    EXPECT_TRUE(Alerts(Page, Case.Alert)) << Page;
  }
  EXPECT_EQ(Snapshot(App.Path()), Before);
  EXPECT_EQ(Snapshot(Outside.Path()), (std::map<std::string, std::string>{{"secret", "outside"}}));

  // A correct upload writes its own file and nothing else.
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", "report.txt", "fine");
  EXPECT_EQ(Page.find("alert("), std::string::npos) << Page;
  auto After = Before;
  After["report.txt"] = "fine";
  EXPECT_EQ(Snapshot(App.Path()), After);
  ASSERT_TRUE(Demo.Stop().has_value()) << Demo.Output();
}

// `make run`'s start command: the server runs in a working folder of its own, where uploads land;
// the folder's quota and the body cap bound what they may write.
TEST(KXEndToEnd, MakeRunsStartCommandSavesUploadsInTheWorkingFolder) {
  if (!fs::exists(DemoExecutable())) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  TKXTempFolder Temp, Work;
  const fs::path Run = fs::path(Work.Path()) / "run";
  const fs::path AppFolder = fs::path(DemoExecutable()).parent_path();
  // Other tests start the same executable meanwhile (and it appends to its error file): only
  // what this test uploads is looked for there.
  const bool HadPortIni = fs::exists(AppFolder / "port.ini");
  const std::string PortIni = HadPortIni ? ReadFile(AppFolder / "port.ini") : "";
  TKXDemoChild Demo(Temp.Path(), "",
                    {"/bin/bash", KX_SOURCE_DIR "/scripts/run-demo.sh", DemoExecutable(), Run.string(), "--headless",
                     "--port=0", "--max-body-size=20000", "--upload-quota=3000"});
  ASSERT_NE(Demo.Port(), 0) << Demo.Output();
  TKXDemoBrowser Browser(Demo.Port());
  std::string Page = Browser.Start();
  ASSERT_TRUE(IsLoginPage(Page)) << Page;

  const std::string Content(2000, 'k');
  const std::string Name = "kx-e2e-upload-" + std::to_string(getpid()) + ".txt";
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", Name, Content);
  EXPECT_EQ(Page.find("alert("), std::string::npos) << Page;
  EXPECT_EQ(ReadFile(Run / Name), Content);
  EXPECT_FALSE(fs::exists(AppFolder / Name));
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", "port.ini", "[PORTS]\nPort=6666\n");
  EXPECT_EQ(ReadFile(Run / "port.ini"), "[PORTS]\nPort=6666\n") << "an ordinary file in the working folder";

  // Over the folder's quota: refused with the reason.
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON4", "", "", "second.txt", Content);
  EXPECT_TRUE(Alerts(Page, "the folder would hold more than its quota of 3000 bytes.")) << Page;
  EXPECT_FALSE(fs::exists(Run / "second.txt"));
  // Over the body cap: the upload itself is answered 413.
  const std::string Refused = Browser.PostMultipart(Browser.NextUpload(Page), {{"KXFILE1", std::string(30000, 'b')}},
                                                    "KXFILE1", "big.bin");
  EXPECT_EQ(Refused.substr(0, 12), "HTTP/1.1 413") << Refused.substr(0, 200);
  EXPECT_EQ(Snapshot(Run).size(), 2u);
  EXPECT_EQ(fs::exists(AppFolder / "port.ini"), HadPortIni);
  if (HadPortIni) {
    EXPECT_EQ(ReadFile(AppFolder / "port.ini"), PortIni);
  }
  EXPECT_FALSE(fs::exists(AppFolder / "second.txt") || fs::exists(AppFolder / "big.bin"));
  ASSERT_TRUE(Demo.Stop().has_value()) << Demo.Output();
}

TEST(KXEndToEnd, DemoLoginOverHTTPSThroughTheTestsOwnTLSClient) {
  if (!fs::exists(DemoExecutable())) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  // the application folder is the executable's: a copy of it gets a folder and a certificate of its own
  TKXTempFolder Temp, Work, App;
  const std::string Exe = App.Path() + "/kexalo-demo";
  fs::copy_file(DemoExecutable(), Exe);
  SkWriteTestCertificate(App.Path() + "/cert.pem", App.Path() + "/key.pem");
  const uint16_t SSLPort = SkFreeLoopbackPort();
  TKXDemoChild Demo(Temp.Path(), Work.Path(),
                    {Exe, "--headless", "--port=0", "--ssl-port=" + std::to_string(SSLPort), "--compression=6"});
  ASSERT_NE(Demo.Port(), 0) << Demo.Output();
  std::smatch M;
  ASSERT_TRUE(Demo.WaitFor(std::regex("HTTPS Port: (\\d+)"), M)) << Demo.Output();
  EXPECT_EQ(M[1].str(), std::to_string(SSLPort));

  TKXDemoBrowser Browser(SSLPort, true);
  std::string Page = Browser.Start();
  ASSERT_TRUE(IsLoginPage(Page)) << Page;
  Page = Browser.ClickOnLoginForm(Page, "KXBUTTON3", "kqzv", "kqzv");
  ASSERT_TRUE(IsSecondForm(Page)) << Page;

  const std::optional<int> Status = Demo.Stop();
  ASSERT_TRUE(Status.has_value()) << Demo.Output();
  EXPECT_TRUE(WIFEXITED(*Status) && WEXITSTATUS(*Status) == 0) << Demo.Output();
  std::string Log;
  for (const auto& E : fs::directory_iterator(App.Path()))
    if (E.path().extension() == ".log") Log += ReadFile(E.path());
  EXPECT_NE(Log.find("Cipher: name = "), std::string::npos) << Log;
  EXPECT_EQ(Log.find("SSL status:"), std::string::npos) << Log;
}
