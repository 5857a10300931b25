#pragma once
// The demonstration application's server controller: the shipped settings.
#include "KXServerControllerBase.h"

class TKXServerController : public TKXServerControllerBase {
public:
  TKXServerController();

  void KXServerControllerBaseNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm);

protected:
  // Until stored descriptions can be read, the shipped values are applied here, at the point
  // where the description would be read (so "port.ini" still overrides the port).
  void ReadStoredDescription() override;
};

// Records TKXServerController as the class the framework creates.
void KXRegisterServerController();
