#include "ServerController.h"

TKXServerController::TKXServerController() = default;

void TKXServerController::ReadStoredDescription() {
  SetAuthBeforeNewSession(false);
  SetAllowSubFolders(false);
  SetAppName("MyApp");
  SetCacheExpiry(120);
  SetComInitialization(ciNone);
  Compression().SetEnabled(false);
  Compression().SetLevel(6);
  SetDescription("My Kexalo Application");
  SetDebugHTML(false);
  SetLog(loNone);
  SetEnableImageToolbar(false);
  SetExceptionDisplayMode(smAlert);
  SetExecCmd("EXEC");
  SetHistoryEnabled(false);
  SetInternalFilesURL("/");
  Browser32Behaviour().Netscape4As32 = true;
  Browser32Behaviour().Netscape6As32 = true;
  Browser32Behaviour().IExplorer4As32 = true;
  SetPageTransitions(false);
  SetPort(8888);
  ReEntryOptions().AutoCreateSession = false;
  SetRestrictIPs(false);
  SetRestrictSubnet(false);
  SetRedirectMsgDelay(0);
  SetServerResizeTimeout(0);
  SetSessionTrackingMethod(tmURL);
  SetShowResyncWarning(true);
  SetShowLoadingAnimation(true);
  SetSessionTimeout(10);
  SetSupportedBrowsers(TKXBrowsers{brIE, brGecko, brOpera, brSafari, brChrome});
  SetSpecialDeviceSupport(TKXBrowserSubTypes{brsIpod, brsIphone});
  SSLOptions().NonSSLRequest = nsAccept;
  SSLOptions().Port = 0;
  SSLOptions().SSLVersion = sslv3;
  SetThreadPoolSize(32);
  SetUnknownBrowserAction(ubReject);
  SetVersion("10.0.0");
  OnNewSession = [this](TKXApplication* ASession, TKXBaseForm*& VMainForm) {
    KXServerControllerBaseNewSession(ASession, VMainForm);
  };
}

// Leaves VMainForm empty: the session's main form is a new login form. The per-session data
// module is attached here once the session classes exist.
void TKXServerController::KXServerControllerBaseNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm) {
  (void)ASession;
  (void)VMainForm;
}

void KXRegisterServerController() {
  TKXServerControllerBase::SetServerControllerClass(
      [] { return TKXServerControllerBase::Create<TKXServerController>(); });
}
