#pragma once
// The demonstration application's server controller; its settings are its stored description
// (ServerController.kxd, compiled into the program).
#include "server/KXServerControllerBase.h"

class TKXServerController : public TKXServerControllerBase {
public:
  explicit TKXServerController(TKXComponent* AOwner = nullptr) : TKXServerControllerBase(AOwner) {}
  KX_DECLARE_CLASS_INFO

  // OnNewSession: gives the session its per-session data module; the main form stays the default.
  void KXServerControllerBaseNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm);
};

// Records TKXServerController as the class the framework creates, and registers the stored
// descriptions of the application's classes.
void KXRegisterServerController();
// The application's stored descriptions (generated at build time); KXRegisterServerController calls it.
void KXRegisterDemoResources();
