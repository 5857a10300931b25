#include "ServerController.h"

#include "session/KXApplication.h"
#include "core/KXClasses.h"
#include "UserSessionUnit.h"

namespace {
const bool GRegistered = KXRegisterClass<TKXServerController>();
}  // namespace

const TKXClassInfo& TKXServerController::StaticClassInfo() {
  (void)GRegistered;
  using T = TKXServerController;
  static const TKXClassInfo Info = KXClass<T, TKXServerControllerBase>("TKXServerController")
      .Methods({KXMethod("KXServerControllerBaseNewSession", &T::KXServerControllerBaseNewSession)});
  return Info;
}

void TKXServerController::KXServerControllerBaseNewSession(TKXApplication* ASession, TKXBaseForm*& VMainForm) {
  (void)VMainForm;
  ASession->SetData(KXCreate<TKXUserSession>(nullptr));
}

void KXRegisterServerController() {
  KXRegisterDemoResources();
  TKXServerControllerBase::SetServerControllerClass(
      [] { return TKXServerControllerBase::Create<TKXServerController>(); });
}
