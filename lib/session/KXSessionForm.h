#pragma once
// What a session asks of its forms. The base form class implements it (the form classes refine
// it); the session keeps its shown and released forms through it, so this layer needs no form class.
#include <string>

#include "core/KXGlobal.h"

class TKXApplication;
class TKXBaseForm;

class IKXSessionForm {
public:
  virtual ~IKXSessionForm() = default;
  virtual TKXBaseForm* FormObject() = 0;
  // An HTML 4.0 page form, and an HTML 3.2 one.
  virtual bool IsHTML40Form() const = 0;
  virtual bool IsHTML32Form() const = 0;
  // Whether a request from another browser than the session's is refused.
  virtual bool BrowserSecurityCheck() const = 0;
  // An HTML 4.0 form whose submits update parts of the page.
  virtual bool PartialUpdateMode() const = 0;
  // The browser window's inner size, as the page measured it.
  virtual void ResizeTo(int AWidth, int AHeight) = 0;
  // Script run when the page has loaded.
  virtual void AddToInitProc(const std::string& ACode) = 0;
  // Script opening a window from the page (AUpdate: from a partial update's answer).
  virtual void AddNewWindowCode(const std::string& ACode, bool AUpdate) = 0;
  // Frees a released form at the end of the request.
  virtual void Free() = 0;
};

// Makes the forms a session shows of its own accord: its main form, and the message form. The
// application form class provides it; whoever makes a session hands it over.
class IKXFormFactory {
public:
  virtual ~IKXFormFactory() = default;
  // The registered main form for the session's client type, owned by the session; nullptr when
  // none is registered.
  virtual IKXSessionForm* CreateMainForm(TKXApplication& ASession) = 0;
  // Makes the active form's message form (or the framework's) the session's next page.
  virtual void ShowMessageForm(TKXApplication& ASession, const std::string& AMsg, const std::string& ATemplate,
                               TKXShowMessageType AType) = 0;
};
