#pragma once
// Process-wide enumerations and state shared by the framework's rooms.
#include <string>
#include <string_view>

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

// The application folder: the executable's folder, with a trailing "/", unless replaced (tests,
// embedding hosts). Settings, log and error files, Files/ and Templates/ are found there.
const std::string& KXApplicationFolder();
void KXSetApplicationFolder(const std::string& AFolder);

class TKXComponent;

// What the layers below the sessions ask of the session the thread serves (the session object is
// its one implementation): it keeps the data modules made during its requests among its forms and
// finds those by name for stored descriptions that refer to another form.
class IKXSessionScope {
public:
  virtual void AdoptDataModule(TKXComponent* ADataModule) = 0;
  virtual void DropDataModule(TKXComponent* ADataModule) = 0;
  virtual TKXComponent* FindSessionComponent(std::string_view AName) = 0;

protected:
  ~IKXSessionScope() = default;
};

// The thread's current session as this layer sees it (set through SetCurrentSession); returns
// the previous value.
IKXSessionScope* SetCurrentSessionScope(IKXSessionScope* AScope);
IKXSessionScope* CurrentSessionScope();


