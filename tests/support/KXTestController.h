#pragma once
// A controller for tests: fresh application and cache folders, created in the documented order
// and freed at the end of the scope. Stored stands in for the stored description.
#include <functional>
#include <memory>

#include "server/KXServerControllerBase.h"
#include "KXTestFolders.h"

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

class TKXTestControllerScope {
public:
  explicit TKXTestControllerScope(std::function<void(TKXTestController&)> AStored = nullptr);
  ~TKXTestControllerScope();
  TKXTestController& Controller() { return *FController; }
  const std::string& AppFolder() const { return FAppFolder.Path(); }

private:
  TKXTempFolder FAppFolder;
  std::unique_ptr<TKXTestController> FController;
};
