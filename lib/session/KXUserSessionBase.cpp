#include "session/KXUserSessionBase.h"

namespace {
const bool GRegistered = KXRegisterClass<TKXUserSessionBase>();
}  // namespace

const TKXClassInfo& TKXUserSessionBase::StaticClassInfo() {
  (void)GRegistered;
  using T = TKXUserSessionBase;
  static const TKXClassInfo Info = KXClass<T, TKXVCLDataModule>("TKXUserSessionBase").Props({
      KXEventProp("OnDestroy", &T::OnDestroy),
  });
  return Info;
}

TKXUserSessionBase::~TKXUserSessionBase() {
  try {
    if (OnDestroy) OnDestroy(this);
  } catch (...) {
  }
}
