#include "core/KXGlobal.h"

const char* const kKXTopFunction =
    "function KXTop(){ \r\n  if ((parent != self) && (parent != null) ) {\r\n    try {\r\n      return "
    "parent.KXTop();\r\n    } catch (e) {\r\n      return window;\r\n    }\r\n  } else {\r\n    return window;\r\n  "
    "}\r\n}\r\n";

namespace {
thread_local TKXApplication* GCurrentSession = nullptr;
}  // namespace

TKXApplication* SetCurrentSession(TKXApplication* ASession) {
  TKXApplication* Previous = GCurrentSession;
  GCurrentSession = ASession;
  return Previous;
}

TKXApplication* CurrentSession() { return GCurrentSession; }

