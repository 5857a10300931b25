#pragma once
// Forms for tests that drive sessions through the dispatcher: a main form that counts what it
// executes, and a scope that makes a form class the main form for one test.
#include <gtest/gtest.h>

#include "core/KXResources.h"
#include "forms/KXAppForm.h"
#include "session/KXApplication.h"

// Counts the submissions it executes and ends its session when told to.
class TKXCountingForm : public TKXAppForm {
public:
  explicit TKXCountingForm(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO
  static inline int Executed = 0;
  static inline bool EndSession = false;
  void ExecuteForm() override {
    ++Executed;
    EXPECT_EQ(CurrentSession(), WebApplication());
    EXPECT_NE(WebApplication()->Request(), nullptr);
    if (EndSession) WebApplication()->Terminate();
  }
};

inline const TKXClassInfo& TKXCountingForm::StaticClassInfo() {
  static const TKXClassInfo Info = [] {
    KXRegisterResource("TKXCountingForm", "object CountingForm: TKXCountingForm\nend\n");
    return KXClass<TKXCountingForm, TKXAppForm>("TKXCountingForm");
  }();
  return Info;
}

// Makes T the main form of new sessions for one scope, then puts the previous one back.
template <class T>
struct TKXMainFormScope {
  const TKXClassInfo* Saved = TKXAppForm::MainFormClass();
  TKXMainFormScope() {
    KXRegisterClass<T>();
    TKXCountingForm::Executed = 0;
    TKXCountingForm::EndSession = false;
    TKXAppForm::SetAsMainForm<T>();
  }
  ~TKXMainFormScope() { TKXAppForm::SetMainFormClass(Saved); }
};
