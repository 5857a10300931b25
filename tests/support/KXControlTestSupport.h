#pragma once
// Shared by the control tests: a session on Internet Explorer under a test controller, and
// helpers that render one control's own tag and its page scripts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "session/KXApplication.h"
#include "render/KXBaseRenderContext.h"
#include "controls/KXCustomControl.h"
#include "forms/KXAppForm.h"
#include "render/KXHTMLTag.h"
#include "render/KXRenderContext.h"
#include "KXTestController.h"

class ControlTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope;
  std::unique_ptr<TKXApplication> Session;
  TKXAppForm* Form = nullptr;

  void SetUp() override {
    Session = std::make_unique<TKXApplication>(Scope.Controller(), TKXBrowserType{brIE, brsNone},
                                               "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)", "127.0.0.1", "",
                                               "", "", TSkStringList(), "");
    Session->SetFormFactory(&TKXAppForm::Factory());
    SetCurrentSession(Session.get());
  }
  void TearDown() override {
    Session.reset();
    SetCurrentSession(nullptr);
  }

  // A plain application form of the session, shown, for controls made in code.
  TKXAppForm& BlankForm() {
    if (!Form) {
      Form = new TKXAppForm(Session.get());
      Form->SetName("BlankForm");
      Form->Show();
    }
    return *Form;
  }
  template <class T>
  T* Make(const std::string& AName) {
    T* C = KXCreate<T>(&BlankForm());
    C->SetName(AName);
    C->SetParent(&BlankForm());
    return C;
  }

  // What a page of the blank form would carry for this session's request.
  TKXRenderRequest PageRequest() { return BlankForm().RenderRequest(); }

  // The control's own tag as the page builder receives it.
  std::string Markup(TKXCustomControl& AControl) {
    TKXPageContext40 Page(Session.get(), PageRequest());
    TKXComponent40Context Context(&AControl, nullptr, &Page);
    std::unique_ptr<TKXHTMLTag> Tag(AControl.RenderHTMLTag(Context));
    return Tag ? Tag->Render() : std::string();
  }
  // The script-once text the control adds to the page (its event functions among it).
  std::string Scripts(TKXCustomControl& AControl) {
    TKXPageContext40 Page(Session.get(), PageRequest());
    TKXComponent40Context Context(&AControl, nullptr, &Page);
    Context.SetHTMLTag(AControl.RenderHTMLTag(Context));
    AControl.RenderScripts(Context);
    return Context.JavaScript();
  }
};

inline const std::string kIEFont = "font-weight:normal;font-style:normal;text-decoration: none;font-size:13px; ";
