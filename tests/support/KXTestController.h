#pragma once
// A controller for tests: fresh application and cache folders, created in the documented order
// and freed at the end of the scope. Stored stands in for the stored description.
#include <functional>
#include <memory>

#include "server/KXServerControllerBase.h"
#include "server/KXSessions.h"
#include "KXTestFolders.h"

class TWebRequest;
class TWebResponse;

class TKXTestController : public TKXServerControllerBase {
public:
  explicit TKXTestController(TKXComponent* AOwner = nullptr) : TKXServerControllerBase(AOwner) {}
  std::function<void(TKXTestController&)> Stored;
  static inline std::function<void(TKXTestController&)> NextStored;   // picked up by the next instance

protected:
  void ReadStoredDescription() override {
    Stored = std::move(NextStored);
    NextStored = nullptr;
    if (Stored) Stored(*this);
  }
};

// A controller and a session registry, as the host makes them; the registry goes first.
class TKXTestControllerScope {
public:
  explicit TKXTestControllerScope(std::function<void(TKXTestController&)> AStored = nullptr);
  ~TKXTestControllerScope();
  TKXTestController& Controller() { return *FController; }
  TKXSessions& Sessions() { return *FSessions; }
  const std::string& AppFolder() const { return FAppFolder.Path(); }
  // One request through a fresh dispatcher over this controller and registry, as the transport runs it.
  void Dispatch(TWebRequest& ARequest, TWebResponse& AResponse);
  // The innermost scope alive (tests' request helpers dispatch through it).
  static TKXTestControllerScope& Current();

private:
  TKXTempFolder FAppFolder;
  std::unique_ptr<TKXTestController> FController;
  std::unique_ptr<TKXSessions> FSessions;
  TKXTestControllerScope* FOuter;
};
