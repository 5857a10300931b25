#include "KXTestController.h"

TKXTestControllerScope::TKXTestControllerScope(std::function<void(TKXTestController&)> AStored) {
  TKXServerControllerBase::SetApplicationFolder(FAppFolder.Path());
  TKXTestController::NextStored = [AStored](TKXTestController& C) {
    C.SetCacheExpiry(0);   // no purge thread unless a test asks for one
    if (AStored) AStored(C);
  };
  FController.reset(TKXServerControllerBase::Create<TKXTestController>());
}

TKXTestControllerScope::~TKXTestControllerScope() { FController.reset(); }
