#include "session/KXSessionHandle.h"

#include <utility>

#include "session/KXApplication.h"

TKXSessionHandle::TKXSessionHandle(std::shared_ptr<TKXApplication> ALocked) : FSession(std::move(ALocked)) {
  if (FSession) FPreviousCurrent = SetCurrentSession(FSession.get());
}

TKXSessionHandle::TKXSessionHandle(TKXSessionHandle&& AOther) noexcept
    : FSession(std::move(AOther.FSession)), FPreviousCurrent(AOther.FPreviousCurrent) {
  AOther.FPreviousCurrent = nullptr;
}

TKXSessionHandle& TKXSessionHandle::operator=(TKXSessionHandle&& AOther) noexcept {
  if (this != &AOther) {
    Release();
    FSession = std::move(AOther.FSession);
    FPreviousCurrent = AOther.FPreviousCurrent;
    AOther.FPreviousCurrent = nullptr;
  }
  return *this;
}

void TKXSessionHandle::Release() noexcept {
  if (!FSession) return;
  std::shared_ptr<TKXApplication> Session = std::move(FSession);
  Session->MarkAccess();
  Session->Unlock();
  SetCurrentSession(FPreviousCurrent);
  FPreviousCurrent = nullptr;
  Session.reset();   // the last reference: the session's deleter makes it current while it goes
}
