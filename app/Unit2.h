#pragma once
// The demonstration's second form, reached by a correct login; its button goes back to a fresh
// login form. Its layout is its stored description (Unit2.kxd).
#include "forms/KXAppForm.h"

class TKXButton;

class TKXForm2 : public TKXAppForm {
public:
  explicit TKXForm2(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO

  TKXButton* KXButton1 = nullptr;

  // "Powrót": a new login form of the session, shown.
  void KXButton1Click(TKXComponent* Sender);
};
