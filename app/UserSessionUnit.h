#pragma once
// The demonstration's per-session object: an empty data module, one per session.
#include "KXUserSessionBase.h"

class TKXUserSession : public TKXUserSessionBase {
public:
  using TKXUserSessionBase::TKXUserSessionBase;
};
