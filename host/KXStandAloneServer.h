#pragma once
// The executable as its own web server: creates the server controller and the HTTP server
// module, counts live sessions and bytes sent, builds the start address, launches browsers and
// forwards the dispatcher's log lines to the console through the notification queue.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KXHTTPServerModule.h"
#include "KXNotificationQueue.h"

class TKXServerControllerBase;
class TKXSessions;
class TKXStandAloneServer;

enum TKXWebBrowser { wbDefault, wbIE, wbNS6, wbMozilla, wbOpera, wbFirefox };

using TOnDebugLog = std::function<void(TKXStandAloneServer* Sender, const std::string& AMessage)>;
using TOnDebugLogBytes = std::function<void(TKXStandAloneServer* Sender, int32_t ABytes)>;
using TOnUpdateTotalBytes = std::function<void(TKXStandAloneServer* Sender, int32_t ATotal)>;
using TKXNotifyEvent = std::function<void(TKXStandAloneServer* Sender)>;

// What the program entry decides before the server starts.
struct TKXHostOptions {
  int Port = -1;                        // -1: keep the controller's (and port.ini's) port
  int SSLPort = -1;                     // -1: keep the controller's SSLOptions.Port; 0: no HTTPS
  int Compression = -1;                 // -1: keep the controller's; 0: off; 1-9: on at that level
  TKXServerLimits Limits;
  // Bytes of files a folder that uploads are saved in may hold (0: no cap); each upload is also
  // bounded by Limits.MaxBodySize.
  int64_t UploadQuota = 1024LL * 1024 * 1024;
  std::vector<std::string> Switches;    // the command line, for the launch switches
};

class TKXStandAloneServer {
public:
  explicit TKXStandAloneServer(const TKXHostOptions& AOptions = {});
  TKXStandAloneServer(TOnUpdateTotalBytes AOnUpdateTotalBytes, TOnDebugLogBytes AOnDebugLogBytes,
                      TOnDebugLog AOnDebugLog, const TKXHostOptions& AOptions = {});
  // Stops in order: listeners and connections, then every session, then the controller.
  ~TKXStandAloneServer();
  TKXStandAloneServer(const TKXStandAloneServer&) = delete;
  TKXStandAloneServer& operator=(const TKXStandAloneServer&) = delete;

  void Run();
  std::string StartURL(bool AAsPDATest = false, bool AAsSSL = false, const std::string& AAsWAP = "");
  void CopyStartURLToClipboard();
  void ClearSessions();
  TKXSessions& Sessions() { return *FSessions; }
  void Log(const std::string& AMsg, bool ADetailedOnly = false);
  void LogBytes(int64_t ABytes);
  // Launches ABrowser on AURL ("Error %s while launching browser." when it cannot).
  void Launch(TKXWebBrowser ABrowser, const std::string& AURL);

  bool TestForIE();
  bool TestForOpera();
  bool TestForNS6();
  bool TestForMozilla();
  bool TestForFirefox();

  bool Initialized() const { return FInitialized; }
  int32_t ActiveSessions() const { return FActiveSessions.load(); }
  int32_t TotalBytes() const { return FTotalBytes; }
  void ResetTotalBytes() { FTotalBytes = 0; }
  // The -Minimize switch was given (acted on by the console once it is up).
  bool MinimizeRequested() const { return FMinimizeRequested; }
  // Worker threads post here; the console drains it on its own thread.
  TKXNotificationQueue& Notifications() { return FNotifications; }
  TKXHTTPServerModule* HTTPServerModule() { return FHTTPServerModule.get(); }

  bool DebugLog() const { return FDebugLog.load(); }
  void SetDebugLog(bool V) { FDebugLog = V; }
  bool HTML32() const { return FHTML32; }
  void SetHTML32(bool V) { FHTML32 = V; }
  bool WML() const { return FWML; }
  void SetWML(bool V) { FWML = V; }
  bool XHTMLMP() const { return FXHTMLMP; }
  void SetXHTMLMP(bool V) { FXHTMLMP = V; }
  const std::string& Params() const { return FParams; }
  void SetParams(const std::string& V) { FParams = V; }
  TKXWebBrowser RunIn() const { return FRunIn; }
  void SetRunIn(TKXWebBrowser V) { FRunIn = V; }
  bool RunSSL() const { return FSSL; }
  void SetRunSSL(bool V) { FSSL = V; }

  TOnDebugLog OnDebugLog;
  TOnDebugLogBytes OnDebugLogBytes;
  TOnUpdateTotalBytes OnUpdateTotalBytes;
  // Raised on the thread that creates or destroys the session: set them before requests run.
  TKXNotifyEvent OnCloseSession;
  TKXNotifyEvent OnNewSession;
  // The live-session count after each change, run on the console's thread (through the queue).
  std::function<void(TKXStandAloneServer* Sender, int32_t ACount)> OnSessionCountChanged;
  // Front-end services: where the start address is copied to, and the minimise request.
  std::function<void(const std::string&)> OnCopyToClipboard;
  std::function<void()> OnMinimize;

private:
  void Construct(const TKXHostOptions& AOptions);
  void Shutdown();
  void InitializeServer(const TKXHostOptions& AOptions);
  void RunSwitches(const std::vector<std::string>& ASwitches);
  void PostSessionCount();
  bool FindBrowser(std::string& AExecutable, std::initializer_list<const char*> ANames);

  std::atomic<int32_t> FActiveSessions{0};
  int32_t FTotalBytes = 0;
  std::atomic<bool> FDebugLog{false};   // read by request threads to skip unwanted lines
  std::atomic<int64_t> FPendingBytes{0};   // byte counts posted as one sum while the debug log is off
  std::atomic<bool> FCountPosted{false};    // a session-count notification is queued and not yet run
  bool FMinimizeRequested = false;
  bool FHTML32 = false;
  bool FWML = false;
  bool FXHTMLMP = false;
  std::string FIEExecutable, FMozillaExecutable, FFirefoxExecutable, FNS6Executable, FOperaExecutable;
  bool FInitialized = false;
  std::string FParams;
  bool FSSL = false;
  TKXWebBrowser FRunIn = wbDefault;

  TKXServerControllerBase* FController = nullptr;
  bool FOwnsController = false;
  bool FOwnsLogHooks = false;
  std::unique_ptr<TKXSessions> FSessions;
  std::unique_ptr<TKXHTTPServerModule> FHTTPServerModule;
  TKXNotificationQueue FNotifications;
};
