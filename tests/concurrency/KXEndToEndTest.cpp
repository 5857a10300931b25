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
#include <regex>
#include <thread>

#include "KXTestFolders.h"
#include "SkTestClient.h"

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

}  // namespace

TEST(KXEndToEnd, DemoServesInternalFilesAndStopsCleanlyOnSIGTERM) {
  const std::string Exe = DemoExecutable();
  if (!fs::exists(Exe)) GTEST_SKIP() << "kexalo-demo is not built next to the tests";
  TKXTempFolder Temp;   // the child's temporary folder: its cache folder goes here

  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
  posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
  std::vector<std::string> Env = {"TMPDIR=" + Temp.Path()};
  for (char** E = environ; *E; ++E)
    if (std::string(*E).rfind("TMPDIR=", 0) != 0 && std::string(*E).rfind("DISPLAY=", 0) != 0) Env.push_back(*E);
  std::vector<char*> EnvP;
  for (std::string& E : Env) EnvP.push_back(E.data());
  EnvP.push_back(nullptr);
  std::string A0 = Exe, A1 = "--headless", A2 = "--port=0";
  char* Argv[] = {A0.data(), A1.data(), A2.data(), nullptr};
  pid_t Pid = 0;
  ASSERT_EQ(posix_spawn(&Pid, Exe.c_str(), &Actions, nullptr, Argv, EnvP.data()), 0);
  posix_spawn_file_actions_destroy(&Actions);
  close(Pipe[1]);

  std::string Out;
  std::smatch M;
  ReadUntil(Pipe[0], std::regex("HTTP Port: (\\d+)"), M, Out);
  ASSERT_FALSE(M.empty()) << Out;
  const uint16_t Port = static_cast<uint16_t>(std::stoi(M[1].str()));
  ReadUntil(Pipe[0], std::regex("Start address: http://127\\.0\\.0\\.1:(\\d+)/"), M, Out);
  EXPECT_FALSE(M.empty()) << Out;

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

  // The login flow over plain HTTP, as the page script posts it: a wrong login shows the message
  // page (its text control must be in the executable), and its Ok brings the login form back.
  {
    const std::string UA = "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                           "Chrome/131.0.0.0 Safari/537.36\r\n";
    auto Post = [&](const std::string& APath, const std::string& ABody) {
      return SkRoundTrip(Port, "POST " + APath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + UA +
                                   "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                   std::to_string(ABody.size()) + "\r\n\r\n" + ABody);
    };
    const std::string Probe = SkRoundTrip(Port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + UA + "\r\n");
    std::smatch Id;
    ASSERT_TRUE(std::regex_search(Probe, Id, std::regex("KX_SessionID_\" value=\"([a-z0-9]{28})\""))) << Probe;
    const std::string Sid = Id[1].str();
    EXPECT_NE(Post("/EXEC/0/" + Sid, "KX_width=800&KX_height=600").find("<title>To jest test</title>"),
              std::string::npos);
    EXPECT_NE(Post("/EXEC/1/" + Sid, "KXEDIT2=+kqzv&KXEDIT3=kqzv&KX_Action=KXBUTTON3").find(
                  "Nieprawid\xc5\x82owy login lub has\xc5\x82o"),
              std::string::npos);
    EXPECT_NE(Post("/EXEC/2/" + Sid, "KX_Action=BUTNOK").find("<title>To jest test</title>"), std::string::npos);
    EXPECT_NE(Post("/EXEC/3/" + Sid, "KXEDIT2=kqzv&KXEDIT3=kqzv&KX_Action=KXBUTTON3").find("Powr\xc3\xb3t"),
              std::string::npos);
  }

  ASSERT_EQ(kill(Pid, SIGTERM), 0);
  int Status = 0;
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  pid_t Done = 0;
  while ((Done = waitpid(Pid, &Status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < Deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (Done == 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, &Status, 0);
    FAIL() << "the server did not stop on SIGTERM";
  }
  ReadUntil(Pipe[0], std::regex("Stopped\\."), M, Out);
  close(Pipe[0]);
  EXPECT_TRUE(WIFEXITED(Status)) << Out;
  EXPECT_EQ(WEXITSTATUS(Status), 0) << Out;
  EXPECT_NE(Out.find("Stopped."), std::string::npos) << Out;
  EXPECT_TRUE(fs::is_empty(Temp.Path())) << "the cache folder is deleted at stop";
}
