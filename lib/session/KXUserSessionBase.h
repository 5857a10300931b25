#pragma once
// The base of the application's per-session object: a data module the application creates in
// OnNewSession and stores in the session's Data; the session frees it.
#include <functional>

#include "core/KXVCLDataModule.h"

class TKXUserSessionBase : public TKXVCLDataModule {
public:
  explicit TKXUserSessionBase(TKXComponent* AOwner) : TKXVCLDataModule(AOwner) {}
  // Raises OnDestroy; whatever it throws stays here.
  ~TKXUserSessionBase() override;
  KX_DECLARE_CLASS_INFO

  std::function<void(TKXComponent* Sender)> OnDestroy;

protected:
  bool ReadsStoredDescription() const override { return &ClassInfo() != &StaticClassInfo(); }
};
