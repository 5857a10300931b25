#pragma once
// The framework's single entry point for every HTTP request: routes by the first path segment,
// serves internal files and the files and cache folders, starts sessions, hands session work on,
// maps every exception class to its response and sets the caching headers.
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "core/KXGlobal.h"
#include "core/KXLog.h"
#include "session/KXSessionHandle.h"
#include "SkDateTime.h"
#include "SkStringList.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

class TKXApplication;
class TKXServerControllerBase;
class IKXSessionDispatch;
class TSkStream;

// The path split into its parts: mode prefixes, command word, command, file name and the rest.
struct TKXParsedPath {
  bool Prefix32 = false, PrefixWML = false, PrefixXHTMLMP = false;
  std::string CommandWord;
  TCmdCondition Command = cmdUnknown;
  std::string FileName;
  std::string RemainingPath;
};

// Where a dispatch stands; local to one call.
struct TKXDispatchState {
  TKXParsedPath Path;
  std::string SessionID, TrackID;
  std::string ClientIP;
  std::string UserName, Password;
  TSkStringList Params;
  TKXSessionHandle Session;
  bool Cacheable = true;
  bool Authorised = true;
  bool SkipCaching = false;   // 401 and 403 answers get no caching headers
  std::string ExecWord;
};

// A browser's request to start a session, as the dispatcher read it.
struct TKXStartRequest {
  std::string BrowserText;   // User-Agent, or the text forced by a "32", "WML" or "XHTMLMP" prefix
  std::string ClientIP;
  std::string AuthUser, AuthPassword;
  TWebRequest* Request = nullptr;
  TWebResponse* Response = nullptr;
};

// One dispatcher serves one request (the transport makes a fresh one for each); the controller
// and the registry are the host's, handed over by the factory that makes dispatchers.
class TKXServer : public IWebDispatcher {
public:
  TKXServer(TKXServerControllerBase& AController, IKXSessionDispatch& ASessions);
  ~TKXServer() override;
  bool HandleRequest(TWebRequest& ARequest, TWebResponse& AResponse) override;

  void KXServerBeforeDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled);
  void KXServerDefaultAction(TWebRequest* Request, TWebResponse* Response, bool& Handled);
  void KXServerAfterDispatch(TWebRequest* Request, TWebResponse* Response, bool& Handled);

  // Internal file as a read-only stream the caller owns ("Resource %s not found.").
  static std::unique_ptr<TSkStream> ResourceAsStream(const std::string& AName);
  static std::string RedirectAsPartial(const std::string& AURL);
  // The form class page mode chose for this thread's request ("TKXFORM1"), empty otherwise.
  static const std::string& PageFormClass();
  // The path grammar and command table, on their own for callers and tests.
  static TKXParsedPath ParsePath(const std::string& APathInfo, const std::string& AQuery, const TSkStringList& AParams,
                                 TKXServerControllerBase& AController);

  std::string ServeMessage(TWebRequest* ARequest, const std::string& ATemplateName, const std::exception* AException,
                           const std::string& AVars, const std::string& AContent);
  std::string ServeError(TWebRequest* ARequest, const std::exception& AException);
  void ServeFile(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& AFileName);

private:
  void Dispatch(TWebRequest* ARequest, TWebResponse* AResponse);
  bool RedirectToSSL(TWebRequest* ARequest, TWebResponse* AResponse);
  void ReadCredentials(TWebRequest* ARequest);
  void ReadParams(TWebRequest* ARequest);
  void ExtractIDs(TWebRequest* ARequest, TWebResponse* AResponse);
  void ExtractCookieIDs(TWebRequest* ARequest, TWebResponse* AResponse);
  void BindTaggedSession(TWebRequest* ARequest);
  void DetermineClientIP(TWebRequest* ARequest);
  void FindSession(TWebRequest* ARequest);
  void RunCommand(TWebRequest* ARequest, TWebResponse* AResponse);
  void HandleException(const std::exception& AException, TWebRequest* ARequest, TWebResponse* AResponse);
  void Finish(TWebRequest* ARequest, TWebResponse* AResponse);
  void ReleaseSession();

  bool CheckCredentials();
  bool CheckSessionCredentials();
  void SendChallenge(TWebResponse* AResponse);
  bool StartSession(TWebRequest* ARequest, TWebResponse* AResponse, std::string& AStartURL);
  void CommandStart(TWebRequest* ARequest, TWebResponse* AResponse);
  void CommandExec(TWebRequest* ARequest, TWebResponse* AResponse);
  void CommandStop(TWebRequest* ARequest, TWebResponse* AResponse);
  void CommandFiles(TWebRequest* ARequest, TWebResponse* AResponse);
  void CommandCache(TWebRequest* ARequest, TWebResponse* AResponse);
  void CommandInternal(TWebRequest* ARequest, TWebResponse* AResponse, const std::string& APrefix,
                       const std::string& AResourceFile, const std::string& AExtension, const std::string& ALogWord);
  void CommandFavIcon(TWebRequest* ARequest, TWebResponse* AResponse);
  std::string GfxFileName() const;
  void CommandUnknown(TWebRequest* ARequest, TWebResponse* AResponse);
  // The track id as a number: 0 when empty or not a number; outside 32 bits a range error.
  unsigned TrackIDNumber() const;
  void ExecSession(TWebRequest* ARequest, TWebResponse* AResponse, TCmdCondition ACommand);
  void RunExec(TWebRequest* ARequest, TWebResponse* AResponse, unsigned ATrackID, TCmdCondition ACommand);
  std::string SizeProbePage(TWebRequest* ARequest, const std::string& ASubmitURL);
  void SetSessionCookies(TWebResponse* AResponse);
  void ServeServerError(TWebRequest* ARequest, TWebResponse* AResponse, const std::exception* AException,
                        const std::string& ATemplate);
  void ServeReference(TWebRequest* ARequest, TWebResponse* AResponse, class TKXFileReference& AReference,
                      const std::exception& AException, bool ARedirectFileToFilesURL);
  bool NotModifiedSinceStart(TWebRequest* ARequest);

  // Creates a session for the start request, registered, with its main form shown, and holds it
  // in FState.Session.
  void NewSession(const TKXStartRequest& AStart, std::string& AStartURL);
  // Runs one request of the held session; a request that ended the session lets it go here.
  void Exec(unsigned ATrackID, TCmdCondition ACommand, TWebRequest* ARequest, TWebResponse* AResponse);
  // Applies "KX_width"/"KX_height"; with AReply the response becomes the resize script page.
  void ApplyWindowSize(TWebRequest* ARequest, TWebResponse* AResponse, bool AReply);
  void Bind(TWebRequest* ARequest, TWebResponse* AResponse);

  TKXServerControllerBase& Controller() { return FController; }
  TKXServerControllerBase& FController;
  IKXSessionDispatch& FSessions;
  TKXDispatchState FState;
};

