#include "KXVCLDataModule.h"

#include "KXDescriptionReader.h"

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

void TKXVCLDataModule::AfterConstruction() {
  (void)GRegistered;
  if (Designing()) return;
  if (ReadsStoredDescription()) KXReadComponentResource(*this);
  DoCreate();
}

bool TKXVCLDataModule::ReadsStoredDescription() const { return &ClassInfo() != &StaticClassInfo(); }

void TKXVCLDataModule::DoCreate() {
  if (OnCreate) OnCreate(this);
}
