#pragma once
// What the dispatcher asks of the session rooms: finding, locking, starting, running and ending
// sessions. The session registry installs the real implementation; until one is installed every
// session id is unknown and starting a session finds no main form to show.
#include <memory>
#include <string>

#include "core/KXGlobal.h"

class TKXApplication;
class TWebRequest;
class TWebResponse;
class TSkStringList;

struct TKXStartRequest {
  std::string BrowserText;   // User-Agent, or the text forced by a "32", "WML" or "XHTMLMP" prefix
  std::string ClientIP;
  std::string AuthUser, AuthPassword;
  TWebRequest* Request = nullptr;
  TWebResponse* Response = nullptr;
};

class IKXSessionDispatch {
public:
  virtual ~IKXSessionDispatch() = default;
  // Finds the session and takes its lock, waiting for it; nullptr when the id is unknown.
  virtual TKXApplication* LookupAndLock(const std::string& ASessionID) = 0;
  virtual TKXApplication* LookupByTaggedNameAndLock(const std::string& ATaggedName) = 0;
  // Refuses a request whose address or browser differs from the session's (raises EKXException).
  virtual void CheckSession(TKXApplication* ASession, const std::string& AClientIP, const std::string& AUserAgent) = 0;
  // Marks the last access and releases the lock.
  virtual void Release(TKXApplication* ASession) = 0;
  // Creates, registers and locks a new session with its main form shown; returns it and its start URL.
  virtual TKXApplication* Start(const TKXStartRequest& AStart, std::string& AStartURL) = 0;
  // Removes an already locked session from the registry, releases it and frees it.
  virtual void Discard(TKXApplication* ASession) = 0;
  // Ends a session that the caller no longer holds.
  virtual bool Terminate(const std::string& ASessionID) = 0;
  virtual const std::string& SessionID(TKXApplication* ASession) = 0;
  virtual const std::string& SessionAuthUser(TKXApplication* ASession) = 0;
  virtual const std::string& SessionAuthPassword(TKXApplication* ASession) = 0;
  virtual int SessionTimeout(TKXApplication* ASession) = 0;
  virtual std::string SessionURLBase(TKXApplication* ASession) = 0;
  virtual unsigned SessionTrackID(TKXApplication* ASession) = 0;
  // True when the active form is an HTML 4.0 form.
  virtual bool HasHTML40ActiveForm(TKXApplication* ASession) = 0;
  // Runs one request of a session (form submission, callbacks, uploads). When the request ended
  // the session, ASession comes back as nullptr: it is released and gone.
  virtual void Exec(TKXApplication*& ASession, unsigned ATrackID, int ACommand, TWebRequest* ARequest,
                    TWebResponse* AResponse, const std::string& AClientIP, TSkStringList& AParams) = 0;
  // Applies "KX_width"/"KX_height"; with AReply the response becomes the resize script page.
  virtual void ApplyWindowSize(TKXApplication* ASession, TWebRequest* ARequest, TWebResponse* AResponse,
                               TSkStringList& AParams, bool AReply) = 0;
  // Removes the start request's run parameters from the parameters (hidden-field tracking).
  virtual void RemoveRunParams(TKXApplication* ASession, TSkStringList& AParams) = 0;
};

// The installed implementation (never null: a registry that knows no session stands in).
IKXSessionDispatch& KXSessionDispatch();
void KXSetSessionDispatch(std::unique_ptr<IKXSessionDispatch> ADispatch);
