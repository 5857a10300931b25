#include "core/KXVCLDataModule.h"

#include "core/KXDescriptionReader.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXVCLDataModule>();

}  // namespace

const TKXClassInfo& TKXVCLDataModule::StaticClassInfo() {
  using T = TKXVCLDataModule;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TKXVCLDataModule").Props({
      KXEventProp("OnCreate", &T::OnCreate),
  });
  return Info;
}

TKXDataModuleHooks& KXDataModuleHooks() {
  static TKXDataModuleHooks Hooks;
  return Hooks;
}

TKXVCLDataModule::~TKXVCLDataModule() {
  if (KXDataModuleHooks().Remove) KXDataModuleHooks().Remove(this);
}

void TKXVCLDataModule::AfterConstruction() {
  (void)GRegistered;
  if (KXDataModuleHooks().Add) KXDataModuleHooks().Add(this);
  if (Designing()) return;
  if (ReadsStoredDescription()) KXReadComponentResource(*this);
  DoCreate();
}

bool TKXVCLDataModule::ReadsStoredDescription() const { return &ClassInfo() != &StaticClassInfo(); }

void TKXVCLDataModule::DoCreate() {
  if (OnCreate) OnCreate(this);
}
