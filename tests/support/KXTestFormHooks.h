#pragma once
// The session form hooks are process-wide; a test that depends on them owns them for its
// duration through this scope, so no test sees hooks another one left behind.
#include <utility>

#include "session/KXApplication.h"

class TKXSessionFormHooksScope {
public:
  // Starts from AStart: empty by default, i.e. "no forms at all".
  explicit TKXSessionFormHooksScope(TKXSessionFormHooks AStart = {}) : FSaved(KXSessionFormHooks()) {
    KXSessionFormHooks() = std::move(AStart);
  }
  ~TKXSessionFormHooksScope() { KXSessionFormHooks() = FSaved; }
  TKXSessionFormHooksScope(const TKXSessionFormHooksScope&) = delete;
  TKXSessionFormHooksScope& operator=(const TKXSessionFormHooksScope&) = delete;
  TKXSessionFormHooks& Hooks() { return KXSessionFormHooks(); }

private:
  TKXSessionFormHooks FSaved;
};
