#pragma once
// The message form: shows a message in the same window (with an Ok button that returns to the
// form before it) when a session's ShowMessage asks for one of the same-window modes.
#include <string>

#include "forms/KXAppForm.h"

class TKXShowMessage : public TKXAppForm {
public:
  explicit TKXShowMessage(TKXComponent* AOwner) : TKXAppForm(AOwner) {}
  KX_DECLARE_CLASS_INFO

  // Builds the text and the Ok button (when those control classes are registered), takes the
  // template file as layout when it exists, and shows the form.
  void ShowMessage(const std::string& AMsg, const std::string& ATemplate, TKXShowMessageType AType);
  // Ok: releases the message form; with no form left, a new main form is made and shown.
  void ButtonOkClick(TKXComponent* Sender);
  const std::string& MessageText() const { return FMessage; }

  // Creates the message form of ASession's active form and shows AMsg in it.
  static void ShowMessageFor(TKXApplication* ASession, const std::string& AMsg, const std::string& ATemplate,
                             TKXShowMessageType AType);

private:
  std::string FMessage;
};
