#pragma once
// The framework's designable data module: a component container whose published values come
// from the stored description of its most-derived class. The server controller and the
// per-session data module derive from it. Create instances with KXCreate<T>(Owner) (or the
// class registry's Create) so the description is applied once the constructors have run:
//   constructor defaults -> stored description -> Loaded() -> the derived class's fix-ups.
// A derived class adds its fix-ups by overriding AfterConstruction and calling this one first,
// or Loaded() for work that belongs right after the values were read.
#include <functional>

#include "core/KXComponent.h"

class TKXVCLDataModule : public TKXComponent {
public:
  explicit TKXVCLDataModule(TKXComponent* AOwner) : TKXComponent(AOwner) {}
  ~TKXVCLDataModule() override;
  KX_DECLARE_CLASS_INFO

  // Outside design mode: joins the thread's current session, then the stored description (when
  // ReadsStoredDescription), then OnCreate.
  void AfterConstruction() override;

  std::function<void(TKXComponent* Sender)> OnCreate;

protected:
  // False for a class that has no description of its own: this base class, and framework
  // bases such as the controller base override it the same way for themselves.
  virtual bool ReadsStoredDescription() const;
  void DoCreate();
};
