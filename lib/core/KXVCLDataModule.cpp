#include "core/KXVCLDataModule.h"

#include "core/KXDescriptionReader.h"
#include "core/KXGlobal.h"

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

TKXVCLDataModule::~TKXVCLDataModule() {
  if (IKXSessionScope* Session = CurrentSessionScope(); Session && !Designing()) Session->DropDataModule(this);
}

void TKXVCLDataModule::AfterConstruction() {
  (void)GRegistered;
  if (Designing()) return;
  if (IKXSessionScope* Session = CurrentSessionScope()) Session->AdoptDataModule(this);
  if (ReadsStoredDescription()) KXReadComponentResource(*this);
  DoCreate();
}

bool TKXVCLDataModule::ReadsStoredDescription() const { return &ClassInfo() != &StaticClassInfo(); }

void TKXVCLDataModule::DoCreate() {
  if (OnCreate) OnCreate(this);
}
