#pragma once
// The application form, the form class applications derive theirs from, and the registry of the
// main form classes that every new session starts with.
#include "forms/KXForm.h"

// The application form: an HTML 4.0 form of type ftApp that the session shows. Applications
// derive their forms from it and register the main one with SetAsMainForm.
class TKXAppForm : public TKXForm {
public:
  explicit TKXAppForm(TKXComponent* AOwner);
  KX_DECLARE_CLASS_INFO

  void GenerateForm(TKXRenderStream& AStream) override;
  const TKXClassInfo* MessageForm() const override;

  // The application's main form class for a client type (HTML 4.0 unless told otherwise).
  template <class T>
  static void SetAsMainForm() {
    SetMainFormClass(&T::StaticClassInfo());
  }
  static void SetMainFormClass(const TKXClassInfo* AClass, TKXClientType AClient = ctHTML40);
  static const TKXClassInfo* MainFormClass(TKXClientType AClient = ctHTML40);
  // A new instance of the main form class owned by ASession (created as that session's current).
  static TKXAppForm* CreateMainForm(TKXApplication* ASession);
  // Makes the registered main forms and the message forms: hand it to every session.
  static IKXFormFactory& Factory();
};
