#pragma once
// A controller for tests: fresh application and cache folders, created in the documented order
// and freed at the end of the scope.
#include <functional>
#include <memory>

#include "KXServerControllerBase.h"
#include "KXTestFolders.h"

class TKXTestController : public TKXServerControllerBase {
public:
  std::function<void(TKXTestController&)> Stored;
  void Init() { Initialize(); }

protected:
  void ReadStoredDescription() override {
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
