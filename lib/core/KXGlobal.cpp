#include "core/KXGlobal.h"

namespace {
thread_local TKXApplication* GCurrentSession = nullptr;
}  // namespace

TKXApplication* SetCurrentSession(TKXApplication* ASession) {
  TKXApplication* Previous = GCurrentSession;
  GCurrentSession = ASession;
  return Previous;
}

TKXApplication* CurrentSession() { return GCurrentSession; }

