#include "core/KXClasses.h"

#include "core/KXComponent.h"
#include "core/KXException.h"

namespace {

template <class TItem>
const TItem* FindByName(const std::vector<TItem>& AItems, std::string_view AName) {
  for (const TItem& I : AItems)
    if (SameText(I.Name, AName)) return &I;
  return nullptr;
}

}  // namespace

namespace KXDetail {

void RaiseRange(const std::string& AProp, int64_t AValue) {
  throw EKXException("Value " + IntToStr(AValue) + " is out of range for property " + AProp + ".");
}

}  // namespace KXDetail

int TKXEnumInfo::ValueOf(std::string_view AName) const {
  for (size_t I = 0; I < Names.size(); ++I)
    if (SameText(Names[I], AName)) return static_cast<int>(I);
  return -1;
}

std::string TKXEnumInfo::NameOf(int64_t AValue) const {
  if (AValue < 0 || AValue >= static_cast<int64_t>(Names.size())) return {};
  return Names[static_cast<size_t>(AValue)];
}

TKXClassInfo::TKXClassInfo(std::string AName, const TKXClassInfo* AParent, TConstruct AConstruct)
    : FName(std::move(AName)), FParent(AParent), FConstruct(AConstruct) {}

TKXClassInfo&& TKXClassInfo::Props(std::vector<TKXPropInfo> AProps) && {
  FProps = std::move(AProps);
  return std::move(*this);
}

TKXClassInfo&& TKXClassInfo::Methods(std::vector<TKXMethodInfo> AMethods) && {
  FMethods = std::move(AMethods);
  return std::move(*this);
}

TKXClassInfo&& TKXClassInfo::Fields(std::vector<TKXFieldInfo> AFields) && {
  FFields = std::move(AFields);
  return std::move(*this);
}

bool TKXClassInfo::InheritsFrom(const TKXClassInfo& AAncestor) const {
  for (const TKXClassInfo* C = this; C; C = C->FParent)
    if (C == &AAncestor) return true;
  return false;
}

bool TKXClassInfo::InheritsFrom(std::string_view AAncestorName) const {
  for (const TKXClassInfo* C = this; C; C = C->FParent)
    if (SameText(C->FName, AAncestorName)) return true;
  return false;
}

const TKXPropInfo* TKXClassInfo::FindProperty(std::string_view AName) const {
  for (const TKXClassInfo* C = this; C; C = C->FParent)
    if (const TKXPropInfo* P = FindByName(C->FProps, AName)) return P;
  return nullptr;
}

const TKXMethodInfo* TKXClassInfo::FindMethod(std::string_view AName) const {
  for (const TKXClassInfo* C = this; C; C = C->FParent)
    if (const TKXMethodInfo* M = FindByName(C->FMethods, AName)) return M;
  return nullptr;
}

const TKXFieldInfo* TKXClassInfo::FindField(std::string_view AName) const {
  for (const TKXClassInfo* C = this; C; C = C->FParent)
    if (const TKXFieldInfo* F = FindByName(C->FFields, AName)) return F;
  return nullptr;
}

std::vector<const TKXPropInfo*> TKXClassInfo::Properties() const {
  std::vector<const TKXPropInfo*> Result;
  if (FParent) Result = FParent->Properties();
  for (const TKXPropInfo& P : FProps) {
    bool Replaced = false;
    for (const TKXPropInfo*& Q : Result)
      if (SameText(Q->Name, P.Name)) {
        Q = &P;
        Replaced = true;
        break;
      }
    if (!Replaced) Result.push_back(&P);
  }
  return Result;
}

TKXComponent* TKXClassInfo::Construct(TKXComponent* AOwner) const {
  if (!FConstruct) throw EKXException("Class " + FName + " cannot be created.");
  return FConstruct(AOwner);
}

TKXComponent* TKXClassInfo::Create(TKXComponent* AOwner) const {
  TKXComponent* Result = Construct(AOwner);
  try {
    Result->AfterConstruction();
  } catch (...) {
    delete Result;
    throw;
  }
  return Result;
}

void TKXClassRegistry::RegisterClass(const TKXClassInfo& AClass) {
  std::lock_guard<std::mutex> Guard(FLock);
  auto [It, Inserted] = FClasses.emplace(AClass.Name(), &AClass);
  if (!Inserted && It->second != &AClass) throw EKXException("A class named " + AClass.Name() + " already exists.");
}

const TKXClassInfo* TKXClassRegistry::FindClass(std::string_view AName) const {
  std::lock_guard<std::mutex> Guard(FLock);
  auto It = FClasses.find(AName);
  return It == FClasses.end() ? nullptr : It->second;
}

std::vector<const TKXClassInfo*> TKXClassRegistry::Classes() const {
  std::lock_guard<std::mutex> Guard(FLock);
  std::vector<const TKXClassInfo*> Result;
  for (const auto& [Name, Info] : FClasses) Result.push_back(Info);
  return Result;
}

TKXClassRegistry& KXClassRegistry() {
  // Function-local so classes may register from other units' static initialisers.
  static TKXClassRegistry Registry;
  return Registry;
}

void TKXColorNames::Register(std::string_view AName, int32_t AValue) {
  std::lock_guard<std::mutex> Guard(FLock);
  FByName[std::string(AName)] = AValue;
  FByValue.emplace(AValue, std::string(AName));
}

void TKXColorNames::Register(const TKXColorName* ATable, size_t ACount) {
  for (size_t I = 0; I < ACount; ++I) Register(ATable[I].Name, ATable[I].Value);
}

bool TKXColorNames::IdentToColor(std::string_view AName, int32_t& VValue) const {
  std::lock_guard<std::mutex> Guard(FLock);
  auto It = FByName.find(AName);
  if (It == FByName.end()) return false;
  VValue = It->second;
  return true;
}

bool TKXColorNames::ColorToIdent(int32_t AValue, std::string& VName) const {
  std::lock_guard<std::mutex> Guard(FLock);
  auto It = FByValue.find(AValue);
  if (It == FByValue.end()) return false;
  VName = It->second;
  return true;
}

TKXColorNames& KXColorNames() {
  static TKXColorNames Names;
  return Names;
}
