#pragma once
// What sessions, forms and controls ask of the application's server controller: its settings and
// its application-level events. The controller (lib/server) implements it; every session is given
// it when it is made, and the rooms below the dispatcher reach it only through their session.
#include <exception>
#include <string>

#include "core/KXBrowser.h"
#include "core/KXGlobal.h"

class TKXApplication;
class TKXBaseForm;
class TKXFileReference;
class TKXWAPClient;
class TSkStringList;

class IKXServerController {
public:
  virtual ~IKXServerController() = default;

  // Sessions and their addresses.
  virtual const std::string& AppName() const = 0;
  // AppName with every blank removed: names the session cookie and the authentication realm.
  virtual std::string AppNameNoBlanks() const = 0;
  virtual const std::string& URLBase() const = 0;
  virtual const std::string& ExecCmd() const = 0;
  virtual TKXSessionTrackingMethod SessionTrackingMethod() const = 0;
  virtual int SessionTimeout() const = 0;
  virtual int Port() const = 0;
  // 0 when no HTTPS listener is configured.
  virtual int SSLPort() const = 0;
  virtual bool RestrictIPs() const = 0;
  virtual bool RestrictSubnet() const = 0;
  virtual const std::string& CacheDir() const = 0;
  virtual const std::string& FilesDir() const = 0;
  virtual const std::string& MasterTemplate() const = 0;
  virtual const std::string& MasterTemplate32() const = 0;

  // Browsers.
  virtual const TKXBrowsers& SupportedBrowsers() const = 0;
  virtual TKXUnknownBrowserAction UnknownBrowserAction() const = 0;
  virtual bool IExplorer4As32() const = 0;
  virtual bool Netscape6As32() const = 0;
  virtual const TKXBrowserSubTypes& SpecialDeviceSupport() const = 0;

  // Pages.
  virtual const std::string& CharSet() const = 0;
  virtual bool DebugHTML() const = 0;
  virtual const TSkStringList& ContentFiles() const = 0;
  virtual const TSkStringList& HTMLHeaders() const = 0;
  virtual const TKXFileReference& StyleSheet() const = 0;
  virtual const TKXFileReference& NoJavaScriptSupport() const = 0;
  virtual bool EnableImageToolbar() const = 0;
  virtual bool HistoryEnabled() const = 0;
  virtual bool PageTransitions() const = 0;
  virtual bool ShowLoadingAnimation() const = 0;
  virtual bool ShowResyncWarning() const = 0;
  virtual int ServerResizeTimeout() const = 0;
  virtual int RedirectMsgDelay() const = 0;
  virtual TKXShowMessageType ExceptionDisplayMode() const = 0;

  // Application-level events.
  virtual void DoGetSessionID(TKXApplication* ASession, std::string& VNewSessionID) = 0;
  virtual void DoCloseSession(TKXApplication* ASession) = 0;
  virtual void DoReEntry(TKXApplication* ASession) = 0;
  virtual void DoWAPClientDetect(TKXWAPClient& AWAPClient) = 0;
  virtual void DoBeforeRender(TKXApplication* ASession, TKXBaseForm* AForm, TKXBaseForm*& VNewForm) = 0;
  virtual void DoAfterRender(TKXApplication* ASession, TKXBaseForm* AForm) = 0;
  // False when no handler is assigned.
  virtual bool DoException(TKXApplication* ASession, const std::exception& AException, bool& Handled) = 0;
  virtual bool HandlesBackButton() const = 0;
  virtual void DoBackButton(int ASubmittedSequence, int ACurrentSequence, bool& VExecute, bool& VHandled,
                            const std::string& AFormName) = 0;
};
