#include "KXTestController.h"

#include <stdexcept>

#include "server/KXServer.h"
#include "SkWebResponse.h"

namespace {
TKXTestControllerScope* GCurrentScope = nullptr;
}  // namespace

TKXTestControllerScope::TKXTestControllerScope(std::function<void(TKXTestController&)> AStored)
    : FOuter(GCurrentScope) {
  TKXServerControllerBase::SetApplicationFolder(FAppFolder.Path());
  TKXTestController::NextStored = [AStored](TKXTestController& C) {
    C.SetCacheExpiry(0);   // no purge thread unless a test asks for one
    if (AStored) AStored(C);
  };
  FController.reset(TKXServerControllerBase::Create<TKXTestController>());
  FSessions = std::make_unique<TKXSessions>();
  GCurrentScope = this;
}

TKXTestControllerScope::~TKXTestControllerScope() {
  FSessions.reset();
  FController.reset();
  GCurrentScope = FOuter;
}

void TKXTestControllerScope::Dispatch(TWebRequest& ARequest, TWebResponse& AResponse) {
  TKXServer Server(*FController, *FSessions);
  DispatchWebRequest(Server, ARequest, AResponse);
}

TKXTestControllerScope& TKXTestControllerScope::Current() {
  if (!GCurrentScope) throw std::logic_error("no TKXTestControllerScope is alive");
  return *GCurrentScope;
}
