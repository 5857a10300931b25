#pragma once
// The component model under controller, forms, controls and data modules: persistents carry
// published properties; components add a name, an owner that frees what it owns, insert and
// remove notifications and free notifications for observers that are not owners.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/KXClasses.h"

// The base of everything with published properties. Option objects (a font, the SSL options)
// are persistents owned by their component; they are not components.
class TKXPersistent {
public:
  TKXPersistent() = default;
  TKXPersistent(const TKXPersistent&) = delete;
  TKXPersistent& operator=(const TKXPersistent&) = delete;
  virtual ~TKXPersistent() = default;

  static const TKXClassInfo& StaticClassInfo();
  virtual const TKXClassInfo& ClassInfo() const;
  const std::string& ClassName() const { return ClassInfo().Name(); }
  bool InheritsFrom(const TKXClassInfo& AClass) const { return ClassInfo().InheritsFrom(AClass); }

  // Copies another persistent's values; the base refuses with "Cannot assign a %s to a %s.".
  virtual void Assign(const TKXPersistent& ASource);
};

enum TKXOperation { opInsert, opRemove };

// Notifications reach the owner and its other components while AComponent may be only partly
// constructed (opInsert from its constructor) or partly destroyed (opRemove from its
// destructor): observers compare the pointer and must not call into it.
class TKXComponent : public TKXPersistent {
public:
  explicit TKXComponent(TKXComponent* AOwner);
  ~TKXComponent() override;
  KX_DECLARE_CLASS_INFO

  // Second construction phase, run by KXCreate and TKXClassInfo::Create once the most-derived
  // constructor is done: forms and data modules load their stored description here.
  virtual void AfterConstruction() {}

  const std::string& Name() const { return FName; }
  // A valid identifier or empty; unique among the owner's components without regard to case.
  virtual void SetName(const std::string& AName);
  static bool IsValidIdent(std::string_view AName);

  TKXComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TKXComponent* Components(int AIndex) const { return FComponents.at(static_cast<size_t>(AIndex)); }
  int ComponentIndex() const;   // position in the owner's list, -1 without owner
  TKXComponent* FindComponent(std::string_view AName) const;   // without regard to case

  // Takes AComponent over (from its previous owner, which is told first).
  void InsertComponent(TKXComponent* AComponent);
  // Releases AComponent without freeing it; the caller then owns it.
  void RemoveComponent(TKXComponent* AComponent);
  // Frees every owned component, last first. A container whose children reach back into it
  // while they are destroyed calls this at the start of its own destructor.
  void DestroyComponents();

  // AComponent (an observer or a target) gets Notification(this, opRemove) when this goes, and
  // this gets it when AComponent goes. Both directions are removed when either one goes.
  void FreeNotification(TKXComponent* AComponent);
  void RemoveFreeNotification(TKXComponent* AComponent);
  // Overrides call the base: it drops free-notification links and passes the news to every
  // owned component except AComponent itself.
  virtual void Notification(TKXComponent* AComponent, TKXOperation AOperation);

  // Loading state: set while a stored description is applied; Loaded() clears it.
  bool Loading() const { return FLoading; }
  void BeginLoading() { FLoading = true; }
  virtual void Loaded();
  bool Designing() const { return FDesigning; }
  void SetDesigning(bool AValue) { FDesigning = AValue; }
  bool Destroying() const { return FDestroying; }

  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t AValue) { FTag = AValue; }

  // Nested description blocks: the reader tells a child which block encloses it (the root for
  // top-level blocks); the owner stays the root. Controls override both to parent themselves.
  virtual void SetParentComponent(TKXComponent* AParent);
  virtual TKXComponent* GetParentComponent() const { return nullptr; }

private:
  void ValidateRename(TKXComponent* AComponent, std::string_view ACurName, std::string_view ANewName) const;
  void SetReference(bool AEnable);   // binds or clears the owner's published field of this name
  void RemoveFreeNotifications();
  void DropFreeLink(TKXComponent* AComponent);

  std::string FName;
  TKXComponent* FOwner = nullptr;
  std::vector<TKXComponent*> FComponents;
  std::vector<TKXComponent*> FFreeNotifies;   // observers and targets, symmetric
  intptr_t FTag = 0;
  bool FLoading = false;
  bool FDesigning = false;
  bool FDestroying = false;
};

// Two-phase creation: the constructor (defaults), then AfterConstruction (stored description,
// Loaded, fix-ups). A failure frees the half-made instance and rethrows. With an owner, the
// owner frees the result; without one, the caller does.
template <class T, class... TArgs>
T* KXCreate(TKXComponent* AOwner, TArgs&&... AArgs) {
  T* Result = new T(AOwner, std::forward<TArgs>(AArgs)...);
  try {
    Result->AfterConstruction();
  } catch (...) {
    delete Result;
    throw;
  }
  return Result;
}
