#include "KXStandAloneServer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "content/KXFileSaver.h"
#include "content/KXHTTPFile.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "server/KXSessions.h"
#include "SkStrUtils.h"

extern char** environ;

namespace {

// The instance holding the dispatcher's log hooks; a second server in the process stays idle.
std::atomic<TKXStandAloneServer*> GLogHookOwner{nullptr};

const char kLaunchError[] = "Error %s while launching browser.";

// "mmm dd, yyyy" from the compiler's "Mmm dd yyyy".
std::string BuildDate() {
  const std::string D = __DATE__;
  std::string Day = Trim(D.substr(4, 2));
  if (Day.size() == 1) Day = "0" + Day;
  return D.substr(0, 3) + " " + Day + ", " + D.substr(7, 4);
}

bool IsExecutable(const std::string& APath) {
  struct stat St;
  return stat(APath.c_str(), &St) == 0 && S_ISREG(St.st_mode) && access(APath.c_str(), X_OK) == 0;
}

// The first executable of that name on the PATH; empty when none.
std::string FindOnPath(const std::string& AName) {
  const char* Path = std::getenv("PATH");
  if (!Path) return {};
  for (const std::string& Dir : SplitString(Path, ':')) {
    if (Dir.empty()) continue;
    const std::string Candidate = Dir + "/" + AName;
    if (IsExecutable(Candidate)) return Candidate;
  }
  return {};
}

// Starts AArgs[0] detached from the console; the child is reaped on a thread of its own so that
// no zombie is left behind.
void Spawn(const std::vector<std::string>& AArgs) {
  std::vector<char*> Argv;
  for (const std::string& A : AArgs) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  // the browser's chatter must not interleave with the console's log on standard output
  posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t Pid = 0;
  const int Rc = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (Rc != 0) {
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, kLaunchError, std::to_string(Rc).c_str());
    throw EKXException(Buf);
  }
  std::thread([Pid] {
    int Status = 0;
    waitpid(Pid, &Status, 0);
  }).detach();
}

}  // namespace

TKXStandAloneServer::TKXStandAloneServer(const TKXHostOptions& AOptions) { Construct(AOptions); }

TKXStandAloneServer::TKXStandAloneServer(TOnUpdateTotalBytes AOnUpdateTotalBytes, TOnDebugLogBytes AOnDebugLogBytes,
                                         TOnDebugLog AOnDebugLog, const TKXHostOptions& AOptions)
    : OnDebugLog(std::move(AOnDebugLog)),
      OnDebugLogBytes(std::move(AOnDebugLogBytes)),
      OnUpdateTotalBytes(std::move(AOnUpdateTotalBytes)) {
  Construct(AOptions);
}

void TKXStandAloneServer::Construct(const TKXHostOptions& AOptions) {
  // One controller per process: a second server shares the first one's instead of replacing it.
  FController = TKXServerControllerBase::Instance();
  if (!FController) {
    FController = TKXServerControllerBase::CreateServerController();
    FOwnsController = true;
  }
  FRunIn = wbDefault;
  FSSL = false;
  FDebugLog = false;
  FActiveSessions = 0;
  TKXStandAloneServer* None = nullptr;
  if (!GLogHookOwner.compare_exchange_strong(None, this)) return;   // another server has the hooks
  FOwnsLogHooks = true;
  FInitialized = true;
  try {
    InitializeServer(AOptions);
  } catch (...) {
    FInitialized = false;
    Shutdown();   // the destructor does not run for a constructor that throws
    throw;
  }
  // Request threads post; the console's thread runs Log and LogBytes in order. Detailed lines
  // are not posted while nobody would show them, and with the debug log off the byte counts of
  // a burst of responses travel as one running sum instead of one notification each.
  TSyncLog::SetSinks(
      [this](const std::string& AMsg) {
        if (FDebugLog) FNotifications.Post([this, AMsg] { Log(AMsg, true); });
      },
      [this](long long ABytes) {
        if (FDebugLog) {
          FNotifications.Post([this, ABytes] { LogBytes(ABytes); });
        } else if (FPendingBytes.fetch_add(ABytes) == 0) {
          FNotifications.Post([this] { LogBytes(FPendingBytes.exchange(0)); });
        }
      });
}

TKXStandAloneServer::~TKXStandAloneServer() { Shutdown(); }

void TKXStandAloneServer::Shutdown() {
  if (FOwnsLogHooks) {
    TSyncLog::SetSinks(nullptr, nullptr);
    FOwnsLogHooks = false;
  }
  FHTTPServerModule.reset();
  // the sessions go before the controller, each with its OnCloseSession (and counted down)
  FSessions.reset();
  if (FOwnsController) {
    KXSetUploadFolderFunc(nullptr);
    TKXFileSaver::SetFolderQuota(0);
    delete FController;
    FOwnsController = false;
  }
  FController = nullptr;
  FNotifications.Clear();
  TKXStandAloneServer* Self = this;
  GLogHookOwner.compare_exchange_strong(Self, nullptr);
}

void TKXStandAloneServer::InitializeServer(const TKXHostOptions& AOptions) {
  TKXServerControllerBase* C = FController;
  FSessions = std::make_unique<TKXSessions>();
  // Raised on the thread that creates or destroys the session; the count is atomic.
  FSessions->OnCreateSession = [this](TKXApplication*) {
    ++FActiveSessions;
    if (OnNewSession) OnNewSession(this);
    PostSessionCount();
  };
  FSessions->OnDestroySession = [this](TKXApplication*) {
    --FActiveSessions;
    if (OnCloseSession) OnCloseSession(this);
    PostSessionCount();
  };
  if (AOptions.Port >= 0) C->SetPort(AOptions.Port);
  if (AOptions.SSLPort >= 0) C->SSLOptions().Port = AOptions.SSLPort;
  if (AOptions.Compression > 0) C->Compression().SetLevel(AOptions.Compression);
  if (AOptions.Compression >= 0) C->Compression().SetEnabled(AOptions.Compression > 0);
  const std::string CacheDir = C->CacheDir();
  KXSetUploadFolderFunc([CacheDir] { return CacheDir; });
  TKXFileSaver::SetFolderQuota(AOptions.UploadQuota);
  FHTTPServerModule = std::make_unique<TKXHTTPServerModule>(*C, *FSessions, AOptions.Limits);

  Log("");
  Log(std::string("Pellora Version: ") + kKXVersion);
  Log("Pellora Build Date: " + BuildDate());
  if (C->Port() == 0)
    Log("Warning: Port has been assigned by system.");
  else
    Log("HTTP Port: " + IntToStr(C->Port()));
  if (C->SSLOptions().Port >= 1) Log("HTTPS Port: " + IntToStr(C->SSLOptions().Port));
  Log("");
  Log("---------------------");
  Log("");
  C->MakeGUIActive();
  RunSwitches(AOptions.Switches);
}

void TKXStandAloneServer::PostSessionCount() {
  // One queued notification carries every change made until it runs: it reads the count then,
  // so a burst of sessions starting and ending neither floods the queue nor loses a change.
  if (FCountPosted.exchange(true)) return;
  const bool Posted = FNotifications.Post([this] {
    FCountPosted = false;   // first: a change from now on posts again
    if (OnSessionCountChanged) OnSessionCountChanged(this, FActiveSessions.load());
  });
  if (!Posted) FCountPosted = false;
}

void TKXStandAloneServer::RunSwitches(const std::vector<std::string>& ASwitches) {
  auto Has = [&](const char* AName) {
    for (const std::string& S : ASwitches)
      if (S.size() > 1 && (S[0] == '-' || S[0] == '/') && SameText(std::string_view(S).substr(1), AName)) return true;
    return false;
  };
  if (Has("LaunchBrowser")) Launch(wbDefault, StartURL());
  if (Has("LaunchBrowserSSL")) Launch(wbDefault, StartURL(false, true));
  if (Has("LaunchBrowser32SSL")) Launch(wbDefault, StartURL(true, true));
  if (Has("LaunchBrowser32")) Launch(wbDefault, StartURL(true));
  if (Has("LaunchBrowserWML")) Launch(wbDefault, StartURL() + "WML");
  if (Has("LaunchBrowserXHTMLMP")) Launch(wbDefault, StartURL() + "XHTMLMP");
  if (Has("Minimize")) {
    FMinimizeRequested = true;
    if (OnMinimize) OnMinimize();
  }
}

std::string TKXStandAloneServer::StartURL(bool AAsPDATest, bool AAsSSL, const std::string& AAsWAP) {
  TKXServerControllerBase* C = FController;
  if (!C) return {};
  const bool SSL = FSSL || AAsSSL;
  std::string R = SSL ? "https" : "http";
  const std::string& Bound = C->BoundIP();
  const std::string Host = Trim(Bound.substr(0, Bound.find(',')));
  R += "://" + (Host.empty() ? std::string("127.0.0.1") : Host);
  if (SSL && C->SSLOptions().Port != 443) R += ":" + IntToStr(C->SSLOptions().Port);
  if (!SSL && C->Port() != 80) R += ":" + IntToStr(C->Port());
  R += "/";
  if (FHTML32 || AAsPDATest)
    R += "32/";
  else if (FWML)
    R += "WML/";
  else if (FXHTMLMP)
    R += "XHTMLMP/";
  else if (!AAsWAP.empty())
    R += AAsWAP + "/";
  R += C->StartCmd();
  if (!FParams.empty()) R += "?" + FParams;
  return R;
}

void TKXStandAloneServer::CopyStartURLToClipboard() {
  if (OnCopyToClipboard) OnCopyToClipboard(StartURL());
}

void TKXStandAloneServer::ClearSessions() {
  if (FSessions) FSessions->Clear();
  FTotalBytes = 0;
}

void TKXStandAloneServer::Log(const std::string& AMsg, bool ADetailedOnly) {
  if (ADetailedOnly && !FDebugLog) return;
  if (OnDebugLog) OnDebugLog(this, AMsg);
}

void TKXStandAloneServer::LogBytes(int64_t ABytes) {
  const int32_t Bytes = ABytes > INT32_MAX ? INT32_MAX : ABytes < 0 ? 0 : static_cast<int32_t>(ABytes);
  if (FDebugLog && OnDebugLogBytes) OnDebugLogBytes(this, Bytes);
  FTotalBytes = FTotalBytes > INT32_MAX - Bytes ? Bytes : FTotalBytes + Bytes;
  if (OnUpdateTotalBytes) OnUpdateTotalBytes(this, FTotalBytes);
}

void TKXStandAloneServer::Run() { Launch(FRunIn, StartURL()); }

void TKXStandAloneServer::Launch(TKXWebBrowser ABrowser, const std::string& AURL) {
  std::string Exe;
  bool Found = false;
  switch (ABrowser) {
    case wbDefault: Exe = FindOnPath("xdg-open"); Found = !Exe.empty(); break;
    case wbIE: Found = TestForIE(); Exe = FIEExecutable; break;
    case wbNS6: Found = TestForNS6(); Exe = FNS6Executable; break;
    case wbMozilla: Found = TestForMozilla(); Exe = FMozillaExecutable; break;
    case wbOpera: Found = TestForOpera(); Exe = FOperaExecutable; break;
    case wbFirefox: Found = TestForFirefox(); Exe = FFirefoxExecutable; break;
  }
  if (!Found) {
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, kLaunchError, std::to_string(ENOENT).c_str());
    throw EKXException(Buf);
  }
  if (ABrowser == wbFirefox)
    Spawn({Exe, "-url", AURL});
  else
    Spawn({Exe, AURL});
}

bool TKXStandAloneServer::FindBrowser(std::string& AExecutable, std::initializer_list<const char*> ANames) {
  if (!AExecutable.empty() && IsExecutable(AExecutable)) return true;
  for (const char* Name : ANames) {
    AExecutable = FindOnPath(Name);
    if (!AExecutable.empty()) return true;
  }
  return false;
}

bool TKXStandAloneServer::TestForIE() { return FindBrowser(FIEExecutable, {"iexplore"}); }
bool TKXStandAloneServer::TestForOpera() { return FindBrowser(FOperaExecutable, {"opera"}); }
bool TKXStandAloneServer::TestForNS6() { return FindBrowser(FNS6Executable, {"netscape"}); }
bool TKXStandAloneServer::TestForMozilla() { return FindBrowser(FMozillaExecutable, {"seamonkey", "mozilla"}); }
bool TKXStandAloneServer::TestForFirefox() { return FindBrowser(FFirefoxExecutable, {"firefox", "firefox-esr"}); }
