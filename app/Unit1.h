#pragma once
// The demonstration's login form: a login and a password edit with an OK button, and a file
// upload with its own button. Its layout is its stored description (Unit1.kxd).
#include "forms/KXAppForm.h"

class TKXButton;
class TKXEdit;
class TKXFile;
class TKXLabel;
class TKXForm2;

class TKXForm1 : public TKXAppForm {
public:
  explicit TKXForm1(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO

  // Published: filled in by name when the description is read.
  TKXButton* KXButton3 = nullptr;
  TKXEdit* KXEdit2 = nullptr;
  TKXEdit* KXEdit3 = nullptr;
  TKXFile* KXFile1 = nullptr;
  TKXButton* KXButton4 = nullptr;
  TKXLabel* KXLabel1 = nullptr;
  TKXLabel* KXLabel2 = nullptr;

  // The second form this login form made; owned by the session, not by this form.
  TKXForm2* SecondForm() const { return FSecondForm; }

  // OnCreate: makes the second form the OK button leads to.
  void KXAppFormCreate(TKXComponent* Sender);
  // OK: the second form for the right login and password, else the session's message page.
  void KXButton3Click(TKXComponent* Sender);
  // Upload: saves the chosen file under its own base name in the current folder.
  void KXButton4Click(TKXComponent* Sender);

private:
  TKXForm2* FSecondForm = nullptr;
};
