#include "core/KXComponent.h"

#include <algorithm>

#include "core/KXException.h"

namespace {

bool IsIdentStart(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsIdentChar(char C) { return IsIdentStart(C) || (C >= '0' && C <= '9'); }

const bool GComponentRegistered = KXRegisterClass<TKXComponent>();

}  // namespace

const TKXClassInfo& TKXPersistent::StaticClassInfo() {
  static const TKXClassInfo Info("TKXPersistent", nullptr, nullptr);
  return Info;
}

const TKXClassInfo& TKXPersistent::ClassInfo() const { return StaticClassInfo(); }

void TKXPersistent::Assign(const TKXPersistent& ASource) {
  throw EKXException("Cannot assign a " + ASource.ClassName() + " to a " + ClassName() + ".");
}

const TKXClassInfo& TKXComponent::StaticClassInfo() {
  using T = TKXComponent;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TKXComponent").Props({
      KXIntProp("Tag", &T::Tag, &T::SetTag),
  });
  return Info;
}

TKXComponent::TKXComponent(TKXComponent* AOwner) {
  (void)GComponentRegistered;
  if (AOwner) AOwner->InsertComponent(this);
}

TKXComponent::~TKXComponent() {
  FDestroying = true;
  RemoveFreeNotifications();
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

bool TKXComponent::IsValidIdent(std::string_view AName) {
  if (AName.empty() || !IsIdentStart(AName[0])) return false;
  return std::all_of(AName.begin(), AName.end(), IsIdentChar);
}

void TKXComponent::SetName(const std::string& AName) {
  if (FName == AName) return;
  if (!AName.empty() && !IsValidIdent(AName)) throw EKXException("\"" + AName + "\" is not a valid component name.");
  if (FOwner) FOwner->ValidateRename(this, FName, AName);
  SetReference(false);
  std::string Old = std::move(FName);
  FName = AName;
  try {
    SetReference(true);
  } catch (...) {
    FName = std::move(Old);
    SetReference(true);   // the old binding was valid
    throw;
  }
}

void TKXComponent::ValidateRename(TKXComponent* AComponent, std::string_view ACurName, std::string_view ANewName) const {
  if (ANewName.empty() || SameText(ACurName, ANewName)) return;
  TKXComponent* Existing = FindComponent(ANewName);
  if (Existing && Existing != AComponent)
    throw EKXException("A component named " + std::string(ANewName) + " already exists.");
}

int TKXComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto It = std::find(FOwner->FComponents.begin(), FOwner->FComponents.end(), this);
  return It == FOwner->FComponents.end() ? -1 : static_cast<int>(It - FOwner->FComponents.begin());
}

TKXComponent* TKXComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TKXComponent* C : FComponents)
    if (SameText(C->FName, AName)) return C;
  return nullptr;
}

void TKXComponent::InsertComponent(TKXComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  for (const TKXComponent* O = this; O; O = O->FOwner)
    if (O == AComponent) throw EKXException("A component cannot own itself or one of its owners.");
  ValidateRename(AComponent, "", AComponent->FName);
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  try {
    AComponent->SetReference(true);
  } catch (...) {
    FComponents.pop_back();
    AComponent->FOwner = nullptr;
    throw;
  }
  Notification(AComponent, opInsert);
}

void TKXComponent::RemoveComponent(TKXComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  AComponent->SetReference(false);
  auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It != FComponents.end()) FComponents.erase(It);
  AComponent->FOwner = nullptr;
}

void TKXComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TKXComponent* C = FComponents.back();
    RemoveComponent(C);   // out of the list before it is freed: its destructor may free siblings
    delete C;
  }
}

void TKXComponent::FreeNotification(TKXComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) == AComponent->FFreeNotifies.end())
    AComponent->FFreeNotifies.push_back(this);
}

void TKXComponent::RemoveFreeNotification(TKXComponent* AComponent) {
  if (!AComponent) return;
  DropFreeLink(AComponent);
  AComponent->DropFreeLink(this);
}

void TKXComponent::DropFreeLink(TKXComponent* AComponent) {
  auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (It != FFreeNotifies.end()) FFreeNotifies.erase(It);
}

void TKXComponent::RemoveFreeNotifications() {
  while (!FFreeNotifies.empty()) {
    TKXComponent* C = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    C->DropFreeLink(this);
    C->Notification(this, opRemove);
  }
}

void TKXComponent::Notification(TKXComponent* AComponent, TKXOperation AOperation) {
  if (AOperation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // By index: a handler may add or free components.
  for (size_t I = 0; I < FComponents.size(); ++I)
    if (FComponents[I] != AComponent) FComponents[I]->Notification(AComponent, AOperation);
}

void TKXComponent::Loaded() { FLoading = false; }

void TKXComponent::SetParentComponent(TKXComponent*) {}

void TKXComponent::SetReference(bool AEnable) {
  if (!FOwner || FName.empty()) return;
  const TKXFieldInfo* Field = FOwner->ClassInfo().FindField(FName);
  if (!Field) return;
  if (AEnable) {
    if (!Field->Set(*FOwner, this))
      throw EKXException("Field " + FName + " of " + FOwner->ClassName() + " cannot hold a " + ClassName() + ".");
  } else if (Field->Get(*FOwner) == this) {
    Field->Set(*FOwner, nullptr);
  }
}
