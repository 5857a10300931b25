#pragma once
// The demonstration's per-session object: an empty data module, one per session.
#include "session/KXUserSessionBase.h"

class TKXUserSession : public TKXUserSessionBase {
public:
  using TKXUserSessionBase::TKXUserSessionBase;
};
