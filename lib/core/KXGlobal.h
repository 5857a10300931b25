#pragma once
// Process-wide enumerations and state shared by the framework's rooms.
#include <string>

class TKXApplication;

constexpr const char* kKXVersion = "10.0.0";

enum TKXClientType { ctUnknown, ctHTML40, ctHTML32, ctWAP };
enum TKXShowMessageType { smAlert, smNewWindow, smSameWindow, smSameWindowFrame };
enum TKXSessionTrackingMethod { tmURL, tmCookie, tmHidden };
enum TComInitialization { ciNone, ciNormal, ciMultiThreaded };
enum TLogOptions { loNone, loFile };
enum TKXUnknownBrowserAction { ub32, ubWAP, ub40, ubReject };
enum TKXNonSSLRequest { nsAccept, nsBlock, nsRedirect };
enum TKXSSLVersion { sslv2, sslv23, sslv3 };
// The dispatcher's commands, as the session's request processing receives them.
enum TCmdCondition {
  cmdUnknown, cmdReentry, cmdStart, cmdStop, cmdExec, cmdFiles, cmdFilesNC, cmdUpdate, cmdCache,
  cmdGfx, cmdJs, cmdFavIcon, cmdResize, cmdCall, cmdUpload, cmdCSS, cmdPing, cmdCallback
};

// The script function every generated script page carries to find the top-most window.
extern const char* const kKXTopFunction;

// The session served by this thread (set by the dispatcher and by the threads that destroy
// sessions); forms, controls and rendering read it. Returns the previous value.
TKXApplication* SetCurrentSession(TKXApplication* ASession);
TKXApplication* CurrentSession();

// Sets the thread's current session for a scope and restores the previous one after it.
class TKXCurrentSessionScope {
public:
  explicit TKXCurrentSessionScope(TKXApplication* ASession) : FPrevious(SetCurrentSession(ASession)) {}
  ~TKXCurrentSessionScope() { SetCurrentSession(FPrevious); }
  TKXCurrentSessionScope(const TKXCurrentSessionScope&) = delete;
  TKXCurrentSessionScope& operator=(const TKXCurrentSessionScope&) = delete;

private:
  TKXApplication* FPrevious;
};


