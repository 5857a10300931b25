#pragma once
// Replays a session recorded by the console's script recorder against the application
// in-process: the requests a browser would send go through the dispatcher on the test
// request/response pair, and every step is checked against the form it was recorded on.
// The application's classes must be registered (its controller class and main form) first.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "KXTestFolders.h"

class TKXApplication;
class TKXServerControllerBase;
class TKXSessions;

class TKXScriptPlayer {
public:
  // Creates the application's controller over a fresh application folder, and a registry.
  TKXScriptPlayer();
  ~TKXScriptPlayer();
  TKXScriptPlayer(const TKXScriptPlayer&) = delete;
  TKXScriptPlayer& operator=(const TKXScriptPlayer&) = delete;

  // Starts a session as a browser does: the start address, then the window-size post.
  void OpenSession();
  // Posts AValue for AField with the next submission; AFormClass must be the active form.
  void SetValue(const std::string& AFormClass, const std::string& AField, const std::string& AValue);
  // Submits the active form (AFormClass) through AControl with AParam; with AReached, the form
  // active afterwards must be of that class (empty: the session has ended).
  void Submit(const std::string& AFormClass, const std::string& AControl, const std::string& AParam,
              std::optional<std::string> AReached = std::nullopt);
  void CloseSession();

  // The class of the session's active form; empty when the session or its form is gone.
  std::string ActiveFormClass();
  const std::string& LastPage() const { return FLastPage; }

private:
  std::string Exchange(const std::string& AMethod, const std::string& APath, const std::string& ABody);
  // Runs AWith on the locked session; false when the session is gone.
  template <class F> bool WithSession(F&& AWith);

  TKXTempFolder FFolder;
  std::string FSavedFolder;
  std::unique_ptr<TKXSessions> FRegistry;
  std::unique_ptr<TKXServerControllerBase> FController;
  std::string FSessionID;
  std::vector<std::pair<std::string, std::string>> FPending;
  std::string FLastPage;
  int FStep = 0;
};
