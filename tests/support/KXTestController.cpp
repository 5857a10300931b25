#include "KXTestController.h"

TKXTestControllerScope::TKXTestControllerScope(std::function<void(TKXTestController&)> AStored) {
  TKXServerControllerBase::SetApplicationFolder(FAppFolder.Path());
  FController = std::make_unique<TKXTestController>();
  FController->Stored = std::move(AStored);
  FController->SetCacheExpiry(0);   // no purge thread unless a test asks for one
  FController->Init();
}

TKXTestControllerScope::~TKXTestControllerScope() { FController.reset(); }
