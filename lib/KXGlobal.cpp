#include "KXGlobal.h"

namespace {
thread_local TKXApplication* GCurrentSession = nullptr;
}  // namespace

TKXApplication* SetCurrentSession(TKXApplication* ASession) {
  TKXApplication* Previous = GCurrentSession;
  GCurrentSession = ASession;
  return Previous;
}

TKXApplication* CurrentSession() { return GCurrentSession; }

namespace {
std::string GPageEOL;
}  // namespace

const std::string& PageEOL() { return GPageEOL; }
void SetPageEOL(bool ADebugHTML) { GPageEOL = ADebugHTML ? "\r\n" : ""; }
