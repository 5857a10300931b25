#pragma once
// Small classes with one property of every kind, shared by the component, reader and writer suites.
#include <memory>
#include <set>
#include <string>

#include "core/KXComponent.h"
#include "SkStringList.h"

enum TTestMode { tmOne, tmTwo, tmThree };
enum class TTestStyle { fsBold, fsItalic, fsUnderline };
enum TTestBrowser { brIE, brGecko, brOpera, brSafari };

inline const TKXEnumInfo& TestModeInfo() {
  static const TKXEnumInfo Info{"TTestMode", {"tmOne", "tmTwo", "tmThree"}};
  return Info;
}
inline const TKXEnumInfo& TestStyleInfo() {
  static const TKXEnumInfo Info{"TTestStyle", {"fsBold", "fsItalic", "fsUnderline"}};
  return Info;
}
inline const TKXEnumInfo& TestBrowserInfo() {
  static const TKXEnumInfo Info{"TTestBrowser", {"brIE", "brGecko", "brOpera", "brSafari"}};
  return Info;
}

constexpr int32_t clTestNone = 0x1FFFFFFF;
constexpr int32_t clTestBtnFace = static_cast<int32_t>(0xFF00000F);
constexpr int32_t clTestAzure = 0x00FFFFF0;

inline void RegisterTestColors() {
  static const TKXColorName Table[] = {{"clNone", clTestNone}, {"clBtnFace", clTestBtnFace}, {"clWebAZURE", clTestAzure}};
  KXColorNames().Register(Table, 3);
}

class TTestLink : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  std::string FFilename, FURL;
};

inline const TKXClassInfo& TTestLink::StaticClassInfo() {
  using T = TTestLink;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TTestLink").Props({
      KXStringProp("Filename", &T::FFilename, &T::FFilename),
      KXStringProp("URL", &T::FURL, &T::FURL),
  });
  return Info;
}

class TTestFont : public TKXPersistent {
public:
  KX_DECLARE_CLASS_INFO
  int Size() const { return FSize; }
  void SetSize(int AValue) { FSize = AValue; }
  int32_t Color() const { return FColor; }
  void SetColor(int32_t AValue) { FColor = AValue; }
  const std::set<TTestStyle>& Style() const { return FStyle; }
  void SetStyle(const std::set<TTestStyle>& AValue) { FStyle = AValue; }
  TTestLink* Link() { return &FLink; }

  int FSize = 10;
  int32_t FColor = clTestNone;
  std::set<TTestStyle> FStyle;
  TTestLink FLink;
};

inline const TKXClassInfo& TTestFont::StaticClassInfo() {
  using T = TTestFont;
  static const TKXClassInfo Info = KXClass<T, TKXPersistent>("TTestFont").Props({
      KXIntProp("Size", &T::Size, &T::SetSize),
      KXColorProp("Color", &T::Color, &T::SetColor),
      KXSetProp("Style", &T::Style, &T::SetStyle, TestStyleInfo()),
      KXObjectProp("Link", &T::Link),
  });
  return Info;
}

// A control-like component: parented by the reader, with one property of each kind.
class TTestControl : public TKXComponent {
public:
  explicit TTestControl(TKXComponent* AOwner) : TKXComponent(AOwner), FFont(std::make_unique<TTestFont>()) {}
  KX_DECLARE_CLASS_INFO

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& AValue) { FCaption = AValue; }
  void SetParentComponent(TKXComponent* AParent) override { FParent = AParent; }
  TKXComponent* GetParentComponent() const override { return FParent; }
  void Loaded() override {
    TKXComponent::Loaded();
    ++FLoadedCount;
  }
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override {
    TKXComponent::Notification(AComponent, AOperation);
    if (AOperation == opRemove && AComponent == FPeer) FPeer = nullptr;
  }
  TKXComponent* Peer() const { return FPeer; }
  void SetPeer(TKXComponent* AValue) {
    FPeer = AValue;
    if (AValue) AValue->FreeNotification(this);
  }

  std::string FCaption;
  int16_t FTabOrder = -1;
  bool FVisible = true;
  double FRatio = 1.5;
  TTestMode FMode = tmOne;
  unsigned FBrowsers = (1u << brIE) | (1u << brGecko);
  int32_t FColor = clTestBtnFace;
  std::unique_ptr<TTestFont> FFont;
  TSkStringList FLines;
  TKXComponent* FPeer = nullptr;
  TKXComponent* FParent = nullptr;
  std::function<void(TKXComponent* Sender)> OnClick;
  int FLoadedCount = 0;
};

inline const TKXClassInfo& TTestControl::StaticClassInfo() {
  using T = TTestControl;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TTestControl").Props({
      KXStringProp("Caption", &T::Caption, &T::SetCaption),
      KXIntProp("TabOrder", &T::FTabOrder, &T::FTabOrder),
      KXBoolProp("Visible", &T::FVisible, &T::FVisible),
      KXFloatProp("Ratio", &T::FRatio, &T::FRatio),
      KXEnumProp("Mode", &T::FMode, &T::FMode, TestModeInfo()),
      KXSetProp("Browsers", &T::FBrowsers, &T::FBrowsers, TestBrowserInfo()),
      KXColorProp("Color", &T::FColor, &T::FColor),
      KXObjectProp("Font", &T::FFont),
      KXStringsProp("Lines", &T::FLines),
      KXComponentProp("Peer", &T::Peer, &T::SetPeer),
      KXEventProp("OnClick", &T::OnClick),
  });
  return Info;
}

class TTestPanel : public TTestControl {
public:
  using TTestControl::TTestControl;
  KX_DECLARE_CLASS_INFO
};

inline const TKXClassInfo& TTestPanel::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TTestPanel, TTestControl>("TTestPanel");
  return Info;
}

class TTestApplication;
class TTestForm;

// A root with handler methods and published fields, like an application form.
class TTestRoot : public TKXComponent {
public:
  using TKXComponent::TKXComponent;
  KX_DECLARE_CLASS_INFO

  void Button1Click(TKXComponent* Sender) { Clicked.push_back(Sender); }
  void NewSession(TTestApplication* ASession, TTestForm*& VMainForm) {
    (void)ASession;
    VMainForm = reinterpret_cast<TTestForm*>(this);
  }
  void Loaded() override {
    TKXComponent::Loaded();
    ++FLoadedCount;
  }

  std::function<void(TTestApplication* ASession, TTestForm*& VMainForm)> OnNewSession;
  std::function<void(TKXComponent* Sender)> OnCreate;
  TTestControl* Button1 = nullptr;
  TTestPanel* Panel1 = nullptr;
  std::vector<TKXComponent*> Clicked;
  std::string FTitle;
  int FLoadedCount = 0;
};

inline const TKXClassInfo& TTestRoot::StaticClassInfo() {
  using T = TTestRoot;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TTestRoot")
                                       .Props({
                                           KXStringProp("Title", &T::FTitle, &T::FTitle),
                                           KXEventProp("OnNewSession", &T::OnNewSession),
                                           KXEventProp("OnCreate", &T::OnCreate),
                                       })
                                       .Methods({
                                           KXMethod("Button1Click", &T::Button1Click),
                                           KXMethod("NewSession", &T::NewSession),
                                       })
                                       .Fields({
                                           KXField("Button1", &T::Button1),
                                           KXField("Panel1", &T::Panel1),
                                       });
  return Info;
}

inline void RegisterTestClasses() {
  RegisterTestColors();
  KXRegisterClass<TTestControl>();
  KXRegisterClass<TTestPanel>();
  KXRegisterClass<TTestRoot>();
}
