#pragma once
// Stand-in controls for tests and benchmarks: the smallest classes that take each part a real
// control takes in a page (a label, an edit, a button, a file-upload control).
#include "controls/KXCustomControl.h"
#include "render/KXHTMLTag.h"

class TKXStandInLabel : public TKXCustomControl {
public:
  explicit TKXStandInLabel(TKXComponent* AOwner) : TKXCustomControl(AOwner) {}
  KX_DECLARE_CLASS_INFO
  bool HasTabOrder() const override { return false; }
  std::string Caption;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context&) override {
    auto* Tag = new TKXHTMLTag("SPAN");
    Tag->Contents().AddText(Caption);
    return Tag;
  }
};

class TKXStandInEdit : public TKXCustomInputControl {
public:
  explicit TKXStandInEdit(TKXComponent* AOwner) : TKXCustomInputControl(AOwner) {}
  KX_DECLARE_CLASS_INFO
  void RestoreValue(const std::string& AValue) override { Text = AValue; }
  std::string Text;

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context&) override {
    auto* Tag = new TKXHTMLTag("INPUT");
    Tag->AddStringParam("TYPE", "text");
    return Tag;
  }
};

class TKXStandInButton : public TKXCustomControl, public IKXSubmitControl {
public:
  explicit TKXStandInButton(TKXComponent* AOwner) : TKXCustomControl(AOwner) { FNeedsFormTag = true; }
  KX_DECLARE_CLASS_INFO
  bool SupportsSubmit() override { return true; }
  void DoSubmit(const std::string& AParam) override {
    TKXCustomControl::DoSubmit(AParam);
    DoClick();
  }
  std::string GetSubmitParam() const override { return TKXCustomControl::GetSubmitParam(); }

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context&) override {
    auto* Tag = new TKXHTMLTag("INPUT");
    Tag->AddStringParam("TYPE", "button");
    return Tag;
  }
};

class TKXStandInFile : public TKXCustomInputControl, public IKXFileControl {
public:
  explicit TKXStandInFile(TKXComponent* AOwner) : TKXCustomInputControl(AOwner) { FControlEncode = ceMPFormData; }
  KX_DECLARE_CLASS_INFO
  std::string AsyncStatusScript() override { return {}; }

protected:
  TKXHTMLTag* RenderHTML(TKXComponent40Context&) override { return new TKXHTMLTag("IFRAME"); }
};

inline const TKXClassInfo& TKXStandInLabel::StaticClassInfo() {
  using T = TKXStandInLabel;
  static const TKXClassInfo Info =
      KXClass<T, TKXCustomControl>("TKXStandInLabel").Props({KXStringProp("Caption", &T::Caption, &T::Caption)});
  return Info;
}
inline const TKXClassInfo& TKXStandInEdit::StaticClassInfo() {
  using T = TKXStandInEdit;
  static const TKXClassInfo Info =
      KXClass<T, TKXCustomInputControl>("TKXStandInEdit").Props({KXStringProp("Text", &T::Text, &T::Text)});
  return Info;
}
inline const TKXClassInfo& TKXStandInButton::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXStandInButton, TKXCustomControl>("TKXStandInButton");
  return Info;
}
inline const TKXClassInfo& TKXStandInFile::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXStandInFile, TKXCustomInputControl>("TKXStandInFile");
  return Info;
}

inline bool KXRegisterStandIns() {
  return KXRegisterClass<TKXStandInLabel>() && KXRegisterClass<TKXStandInEdit>() && KXRegisterClass<TKXStandInButton>() &&
         KXRegisterClass<TKXStandInFile>();
}
