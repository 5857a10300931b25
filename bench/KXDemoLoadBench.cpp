// Load benchmark of the demonstration executable over real HTTP: new usable sessions per second
// (the first visit and its size-probe post) at the start and with 10,000 live sessions, the login
// round trip with 50 concurrent sessions, and resident memory per live session. The client posts
// what the page scripts post and runs on as many threads as there are clients, so it is never the
// bottleneck: one request costs it a connect, a write and a read.
//
// Usage: KXDemoLoadBench [path/to/kexalo-demo]   (or KX_DEMO=...; default: next to this binary)
// KX_BENCH_SCRATCH: where the demo's scratch folder goes (default /dev/shm, else /tmp);
// KX_BENCH_QUICK=1: stop after the first 1,000 sessions (for running the demo under a profiler).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kUA =
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 "
    "Safari/537.36\r\n";
constexpr const char* kBoundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";

uint16_t GPort = 0;
std::atomic<long> GFailures{0};
std::mutex GFailureLock;
std::string GFirstFailure;

void Fail(const std::string& AWhat, const std::string& AAnswer) {
  if (GFailures.fetch_add(1) == 0) {
    std::lock_guard<std::mutex> L(GFailureLock);
    GFirstFailure = AWhat + ": " + AAnswer.substr(0, 600);
  }
}

bool SendAll(int AFd, std::string_view AData) {
  while (!AData.empty()) {
    const ssize_t N = send(AFd, AData.data(), AData.size(), MSG_NOSIGNAL);
    if (N <= 0) return false;
    AData.remove_prefix(static_cast<size_t>(N));
  }
  return true;
}

// One request on a fresh connection (the server closes after every answer); the whole answer.
std::string RoundTrip(const std::string& ARequest) {
  const int Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (Fd < 0) return {};
  const int One = 1;
  setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &One, sizeof One);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(GPort);
  A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string Answer;
  if (connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0 && SendAll(Fd, ARequest)) {
    char Buf[16384];
    size_t Expected = std::string::npos;   // header block plus Content-Length, once known
    for (;;) {
      pollfd P{Fd, POLLIN, 0};
      if (poll(&P, 1, 10000) <= 0) break;
      const ssize_t N = recv(Fd, Buf, sizeof Buf, 0);
      if (N <= 0) break;
      Answer.append(Buf, static_cast<size_t>(N));
      if (Expected == std::string::npos) {
        const size_t End = Answer.find("\r\n\r\n");
        if (End != std::string::npos) {
          const size_t L = Answer.find("Content-Length: ");
          if (L != std::string::npos && L < End)
            Expected = End + 4 + std::strtoul(Answer.c_str() + L + 16, nullptr, 10);
        }
      }
      if (Answer.size() >= Expected) break;
    }
  }
  close(Fd);
  return Answer;
}

std::string Get(const std::string& APath) {
  return RoundTrip("GET " + APath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kUA + "\r\n");
}
std::string Post(const std::string& APath, const std::string& AType, const std::string& ABody) {
  return RoundTrip("POST " + APath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kUA + "Content-Type: " + AType +
                   "\r\nContent-Length: " + std::to_string(ABody.size()) + "\r\n\r\n" + ABody);
}
// Parts are (name, value); the part named AFileField is an empty file input, as when no file is chosen.
std::string PostMultipart(const std::string& APath, const std::vector<std::pair<std::string, std::string>>& AParts,
                          const std::string& AFileField = "") {
  std::string Body;
  for (const auto& [Name, Value] : AParts) {
    Body += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + Name + "\"";
    if (Name == AFileField) Body += "; filename=\"\"\r\nContent-Type: application/octet-stream";
    Body += "\r\n\r\n" + Value + "\r\n";
  }
  Body += std::string("--") + kBoundary + "--\r\n";
  return Post(APath, std::string("multipart/form-data; boundary=") + kBoundary, Body);
}

bool IsOK(const std::string& A) { return A.compare(0, 15, "HTTP/1.1 200 OK") == 0; }
bool IsLoginPage(const std::string& A) { return IsOK(A) && A.find("<title>To jest test</title>") != std::string::npos; }
bool IsSecondForm(const std::string& A) {
  return IsOK(A) && A.find("value=\"Powr\xc3\xb3t\" name=\"KXBUTTON1\"") != std::string::npos;
}

// The text between APrefix and the next ASuffix, or empty.
std::string Between(const std::string& A, std::string_view APrefix, std::string_view ASuffix) {
  const size_t B = A.find(APrefix);
  if (B == std::string::npos) return {};
  const size_t S = B + APrefix.size();
  const size_t E = A.find(ASuffix, S);
  return E == std::string::npos ? std::string() : A.substr(S, E - S);
}

// One browser session on the wire: its id and the track id of the page it shows.
struct TSession {
  std::string Sid;
  std::string Track;   // of the page last answered

  bool TakePage(const std::string& APage) {
    Track = Between(APage, "var GTrackID=", ";");
    return !Track.empty();
  }

  // The first visit (answers the size probe) and the probe's post (answers the login page).
  bool Start() {
    const std::string Probe = Get("/");
    Sid = Between(Probe, "name=\"KX_SessionID_\" value=\"", "\"");
    if (!IsOK(Probe) || Sid.size() != 28) return Fail("start page", Probe), false;
    const std::string Page =
        Post("/EXEC/0/" + Sid, "application/x-www-form-urlencoded",
             "KX_width=800&KX_height=600&KX_SessionID_=" + Sid + "&KX_TrackID_=0");
    if (!IsLoginPage(Page) || !TakePage(Page)) return Fail("size probe's post", Page), false;
    return true;
  }

  // OK on the login form: the file frame posts first (no file chosen), its answer continues with
  // the page's own post, multipart as the form is because it holds a file control.
  bool Login() {
    const std::string Continuation = PostMultipart("/upload/" + Track + "/" + Sid,
                                                   {{"KXFILE1", ""},
                                                    {"KX_ActionParam", "KXFILE1"},
                                                    {"KX_MainPageSubmitControl", "KXBUTTON3"},
                                                    {"KX_MainPageSubmitControlParam", ""},
                                                    {"KX_FileSize", "getFileLength('KXFILE1')"}},
                                                   "KXFILE1");
    if (!IsOK(Continuation) || Continuation.find("SubmitNextFile('KXBUTTON3','')") == std::string::npos)
      return Fail("file frame's post", Continuation), false;
    // The continuation names the exec address the page posts to next.
    const std::string Exec = "/EXEC/" + Between(Continuation, "/EXEC/", "/" + Sid) + "/" + Sid;
    const std::string Page = PostMultipart(Exec, {{"KXBUTTON3", ""},
                                                                         {"KXEDIT2", "kqzv"},
                                                                         {"KXEDIT3", "kqzv"},
                                                                         {"KXBUTTON4", ""},
                                                                         {"KX_Action", "KXBUTTON3"},
                                                                         {"KX_ActionParam", ""},
                                                                         {"KX_FormName", "KXForm1"},
                                                                         {"KX_FormClass", "TKXForm1"},
                                                                         {"KX_width", "800"},
                                                                         {"KX_height", "600"}});
    if (!IsSecondForm(Page) || !TakePage(Page)) return Fail("login", Page), false;
    return true;
  }

  // Powrót on the second form: a fresh login form.
  bool Back() {
    const std::string Page = Post("/EXEC/" + Track + "/" + Sid, "application/x-www-form-urlencoded",
                                  "KXBUTTON1=&KX_Action=KXBUTTON1&KX_ActionParam=&KX_FormName=KXForm2"
                                  "&KX_FormClass=TKXForm2&KX_width=800&KX_height=600");
    if (!IsLoginPage(Page) || !TakePage(Page)) return Fail("Powrot", Page), false;
    return true;
  }
};

// Runs AWork(index) for every index below ACount on AThreads threads; the wall time in seconds.
double Parallel(int AThreads, int ACount, const std::function<void(int)>& AWork) {
  std::atomic<int> Next{0};
  std::vector<std::thread> Threads;
  const auto T0 = Clock::now();
  for (int T = 0; T < AThreads; ++T)
    Threads.emplace_back([&] {
      for (int I; (I = Next.fetch_add(1)) < ACount;) AWork(I);
    });
  for (std::thread& T : Threads) T.join();
  return std::chrono::duration<double>(Clock::now() - T0).count();
}

double Percentile(std::vector<double>& AValues, double AP) {
  if (AValues.empty()) return 0;
  std::sort(AValues.begin(), AValues.end());
  const size_t I = std::min(AValues.size() - 1, static_cast<size_t>(AP * static_cast<double>(AValues.size())));
  return AValues[I];
}

// The demonstration executable in its own scratch folder (current folder and TMPDIR).
class TDemo {
public:
  TDemo(const std::string& AExe, const fs::path& AScratch) {
    fs::create_directories(AScratch / "work");
    fs::create_directories(AScratch / "tmp");
    int Pipe[2];
    if (pipe(Pipe) != 0) return;
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
    posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
    const std::string Work = (AScratch / "work").string();
    posix_spawn_file_actions_addchdir_np(&Actions, Work.c_str());
    std::vector<std::string> Env = {"TMPDIR=" + (AScratch / "tmp").string()};
    for (char** E = environ; *E; ++E)
      if (std::strncmp(*E, "TMPDIR=", 7) != 0 && std::strncmp(*E, "DISPLAY=", 8) != 0) Env.push_back(*E);
    std::vector<char*> EnvP;
    for (std::string& E : Env) EnvP.push_back(E.data());
    EnvP.push_back(nullptr);
    std::string A0 = AExe, A1 = "--headless", A2 = "--port=0";
    char* Argv[] = {A0.data(), A1.data(), A2.data(), nullptr};
    if (posix_spawn(&FPid, AExe.c_str(), &Actions, nullptr, Argv, EnvP.data()) != 0) FPid = 0;
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[1]);
    FOut = Pipe[0];
    const auto Deadline = Clock::now() + std::chrono::seconds(20);
    while (FPid && FPort == 0 && Clock::now() < Deadline) {
      pollfd P{FOut, POLLIN, 0};
      if (poll(&P, 1, 200) <= 0) continue;
      char Buf[4096];
      const ssize_t N = read(FOut, Buf, sizeof Buf);
      if (N <= 0) break;
      FText.append(Buf, static_cast<size_t>(N));
      const size_t At = FText.find("HTTP Port: ");
      if (At != std::string::npos && FText.find('\n', At) != std::string::npos)
        FPort = static_cast<uint16_t>(std::atoi(FText.c_str() + At + 11));
    }
    // Keep draining its output so that it never blocks on a full pipe.
    FDrain = std::thread([Fd = FOut] {
      char Buf[4096];
      while (read(Fd, Buf, sizeof Buf) > 0) {
      }
    });
  }
  ~TDemo() {
    if (FPid) {
      kill(FPid, SIGTERM);
      int Status = 0;
      const auto Deadline = Clock::now() + std::chrono::seconds(20);
      while (waitpid(FPid, &Status, WNOHANG) == 0) {
        if (Clock::now() > Deadline) {
          kill(FPid, SIGKILL);
          waitpid(FPid, &Status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    if (FDrain.joinable()) FDrain.join();
    if (FOut >= 0) close(FOut);
  }
  TDemo(const TDemo&) = delete;
  TDemo& operator=(const TDemo&) = delete;

  uint16_t Port() const { return FPort; }
  pid_t Pid() const { return FPid; }
  const std::string& Text() const { return FText; }
  long ResidentKiB() const {
    FILE* F = std::fopen(("/proc/" + std::to_string(FPid) + "/status").c_str(), "r");
    if (!F) return 0;
    char Line[256];
    long KiB = 0;
    while (std::fgets(Line, sizeof Line, F))
      if (std::strncmp(Line, "VmRSS:", 6) == 0) KiB = std::atol(Line + 6);
    std::fclose(F);
    return KiB;
  }

  // CPU time the demo has used so far (user and system), in milliseconds: on a shared machine a
  // steadier figure than the wall-clock rate.
  double CPUMs() const {
    FILE* F = std::fopen(("/proc/" + std::to_string(FPid) + "/stat").c_str(), "r");
    if (!F) return 0;
    char Buf[1024];
    const size_t N = std::fread(Buf, 1, sizeof Buf - 1, F);
    std::fclose(F);
    Buf[N] = 0;
    const char* P = std::strrchr(Buf, ')');   // the command name may hold blanks
    unsigned long long User = 0, System = 0;
    if (!P || std::sscanf(P + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &User, &System) != 2)
      return 0;
    return static_cast<double>(User + System) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  }

private:
  pid_t FPid = 0;
  int FOut = -1;
  uint16_t FPort = 0;
  std::string FText;
  std::thread FDrain;
};

std::string DemoPath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  if (const char* E = std::getenv("KX_DEMO"); E && *E) return E;
  std::error_code Ec;
  return (fs::read_symlink("/proc/self/exe", Ec).parent_path() / "kexalo-demo").string();
}

constexpr int kRateClients = 16;
constexpr int kLoginClients = 50;
constexpr int kLoginRounds = 20;   // per client: login, then back

// New sessions (first visit and probe post) on kRateClients threads; sessions per second.
double SessionRate(std::vector<TSession>& ASessions, size_t AFirst, size_t ACount) {
  const double Secs =
      Parallel(kRateClients, static_cast<int>(ACount),
               [&](int I) { ASessions[AFirst + static_cast<size_t>(I)].Start(); });
  return static_cast<double>(ACount) / Secs;
}

// Logs the sessions of [AFirst, AFirst+ACount) in once, so each has shown its second form.
void LogIn(std::vector<TSession>& ASessions, size_t AFirst, size_t ACount) {
  Parallel(kRateClients, static_cast<int>(ACount), [&](int I) {
    TSession& S = ASessions[AFirst + static_cast<size_t>(I)];
    if (!S.Sid.empty()) S.Login();
  });
}

double Ms(Clock::duration D) { return std::chrono::duration<double, std::milli>(D).count(); }

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string Exe = DemoPath(argc, argv);
  if (access(Exe.c_str(), X_OK) != 0) {
    std::printf("KXDemoLoadBench: %s is not built\n", Exe.c_str());
    return 1;
  }
  // The scratch folder goes on a memory file system when there is one: every page writes cache
  // files, and deleting 10,000 session folders from a disk would outlast the benchmark.
  const char* Root = std::getenv("KX_BENCH_SCRATCH");
  if (!Root || !*Root) Root = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string Template = std::string(Root) + "/kx-demo-load-XXXXXX";
  if (!mkdtemp(Template.data())) return 1;
  const fs::path Scratch = Template;
  int Status = 0;
  {
    TDemo Demo(Exe, Scratch);
    if (!Demo.Port()) {
      std::printf("KXDemoLoadBench: kexalo-demo did not start\n%s\n", Demo.Text().c_str());
      fs::remove_all(Scratch);
      return 1;
    }
    GPort = Demo.Port();
    const auto T0 = Clock::now();
    // A warm-up session: the first one loads what all later ones share; memory is counted from here.
    std::vector<TSession> Sessions(1);
    if (!(Sessions[0].Start() && Sessions[0].Login() && Sessions[0].Back())) {
      std::printf("KXDemoLoadBench: the login flow fails: %s\n", GFirstFailure.c_str());
      fs::remove_all(Scratch);
      return 1;
    }
    const long Base = Demo.ResidentKiB();
    std::printf("Demo load benchmark: kexalo-demo on 127.0.0.1:%u, %u cores, one request per connection\n", GPort,
                std::thread::hardware_concurrency());
    std::printf("  scratch folder (current folder and TMPDIR of the demo): %s\n", Scratch.c_str());
    std::printf("  resident memory with one session: %ld KiB\n", Base);
    std::fflush(stdout);

    // 1. The rate at the start, up to 1,000 live sessions; each is then logged in once.
    Sessions.resize(1000);
    const double Cpu0 = Demo.CPUMs();
    const double StartRate = SessionRate(Sessions, 1, 999);
    const double StartCpu = (Demo.CPUMs() - Cpu0) / 999;
    LogIn(Sessions, 1, 999);
    const long At1000 = Demo.ResidentKiB();
    if (const char* Q = std::getenv("KX_BENCH_QUICK"); Q && *Q == '1') {
      // For a memory profiler around the demo: the first two figures only.
      std::printf("  new usable sessions/s at the start: %.0f (server CPU %.3f ms per session); resident memory per "
                  "live session at 1,000: %.1f KiB\n", StartRate, StartCpu, static_cast<double>(At1000 - Base) / 999);
      Status = GFailures.load() ? 1 : 0;
    } else {
      // 2. Up to 10,000 live sessions, each logged in once.
      Sessions.resize(10000);
      const auto TFill = Clock::now();
      Parallel(kRateClients, 9000, [&](int I) {
        TSession& S = Sessions[1000 + static_cast<size_t>(I)];
        if (S.Start()) S.Login();
      });
      const double FillSecs = std::chrono::duration<double>(Clock::now() - TFill).count();
      const long At10000 = Demo.ResidentKiB();

      // 3. The rate again with 10,000 live sessions.
      Sessions.resize(12000);
      const double Cpu1 = Demo.CPUMs();
      const double LiveRate = SessionRate(Sessions, 10000, 2000);
      const double LiveCpu = (Demo.CPUMs() - Cpu1) / 2000;

      // 4. Login and back with kLoginClients sessions at once.
      std::vector<TSession> Clients(kLoginClients);
      Parallel(kRateClients, kLoginClients, [&](int I) { Clients[static_cast<size_t>(I)].Start(); });
      std::vector<std::vector<double>> LoginMs(kLoginClients), BackMs(kLoginClients), RoundMs(kLoginClients);
      std::atomic<int> Ready{0};
      const double Cpu2 = Demo.CPUMs();
      const double LoginSecs = Parallel(kLoginClients, kLoginClients, [&](int I) {
        TSession& S = Clients[static_cast<size_t>(I)];
        Ready.fetch_add(1);
        while (Ready.load() < kLoginClients) std::this_thread::yield();   // all start together
        for (int R = 0; R < kLoginRounds && !S.Sid.empty(); ++R) {
          const auto A = Clock::now();
          if (!S.Login()) break;
          const auto B = Clock::now();
          if (!S.Back()) break;
          const auto C = Clock::now();
          LoginMs[static_cast<size_t>(I)].push_back(Ms(B - A));
          BackMs[static_cast<size_t>(I)].push_back(Ms(C - B));
          RoundMs[static_cast<size_t>(I)].push_back(Ms(C - A));
        }
      });
      const double RoundCpu = (Demo.CPUMs() - Cpu2) / (kLoginClients * kLoginRounds);
      auto Flat = [](const std::vector<std::vector<double>>& AAll) {
        std::vector<double> R;
        for (const auto& V : AAll) R.insert(R.end(), V.begin(), V.end());
        return R;
      };
      std::vector<double> Login = Flat(LoginMs), Back = Flat(BackMs), Round = Flat(RoundMs);

      const auto PerSession = [&](long AKiB, int ASessions) {
        return static_cast<double>(AKiB - Base) / (ASessions - 1);
      };
      std::printf("  new usable sessions/s, %d clients, at the start:      %7.0f  (target >= 2000; server CPU %.3f ms "
                  "per session)\n", kRateClients, StartRate, StartCpu);
      std::printf("  new usable sessions/s, %d clients, 10,000 live:       %7.0f  (target >= 2000; server CPU %.3f ms "
                  "per session)\n", kRateClients, LiveRate, LiveCpu);
      std::printf("  (9,000 sessions created and logged in, 4 requests each, in %.1f s: %.0f sessions/s)\n", FillSecs,
                  9000 / FillSecs);
      std::printf("  resident memory per live session at  1,000: %6.1f KiB  (VmRSS %ld KiB)\n",
                  PerSession(At1000, 1000), At1000);
      std::printf("  resident memory per live session at 10,000: %6.1f KiB  (VmRSS %ld KiB; target < 32)\n",
                  PerSession(At10000, 10000), At10000);
      std::printf("  login round trip, %d concurrent sessions, %zu rounds in %.1f s (%.0f rounds/s, server CPU %.3f ms "
                  "per round):\n", kLoginClients, Round.size(), LoginSecs,
                  static_cast<double>(Round.size()) / LoginSecs, RoundCpu);
      std::printf("    login + back (3 requests): median %6.2f ms, p99 %6.2f ms  (target p99 < 20)\n",
                  Percentile(Round, 0.5), Percentile(Round, 0.99));
      std::printf("    login (file frame + page): median %6.2f ms, p99 %6.2f ms\n", Percentile(Login, 0.5),
                  Percentile(Login, 0.99));
      std::printf("    back (Powrot):             median %6.2f ms, p99 %6.2f ms\n", Percentile(Back, 0.5),
                  Percentile(Back, 0.99));
      std::printf("  failed steps: %ld%s%s\n", GFailures.load(), GFailures.load() ? "; first: " : "",
                  GFirstFailure.c_str());
      std::printf("  total %.1f s\n", std::chrono::duration<double>(Clock::now() - T0).count());
      Status = GFailures.load() ? 1 : 0;
    }
  }
  fs::remove_all(Scratch);
  return Status;
}
