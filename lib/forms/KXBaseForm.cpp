#include "forms/KXBaseForm.h"

#include "session/KXApplication.h"
#include "core/KXDescriptionReader.h"
#include "core/KXException.h"
#include "core/KXGlobal.h"

namespace {

const char* const kCannotShow = "Cannot show non-app forms.";
const char* const kCannotRelease = "Cannot release non-app forms.";

}  // namespace

const TKXEnumInfo& KXConnectionModeInfo() {
  static const TKXEnumInfo Info{"TKXConnectionMode", {"cmAny", "cmSecure", "cmNonSecure"}};
  return Info;
}

const TKXEnumInfo& KXBrowserEnumInfo() {
  static const TKXEnumInfo Info = [] {
    TKXEnumInfo I{"TKXBrowser", {}};
    for (const TKXEnumName& N : KXBrowserNames()) {
      if (static_cast<size_t>(N.Value) >= I.Names.size()) I.Names.resize(static_cast<size_t>(N.Value) + 1);
      I.Names[static_cast<size_t>(N.Value)] = N.Name;
    }
    return I;
  }();
  return Info;
}

const TKXClassInfo& TKXBaseForm::StaticClassInfo() {
  using T = TKXBaseForm;
  static const TKXClassInfo Info = KXClass<T, TKXContainer>("TKXBaseForm").Props({
      KXEnumProp("ConnectionMode", &T::ConnectionMode, &T::SetConnectionMode, KXConnectionModeInfo()),
      KXStringsProp("ExtraHeader", &T::FExtraHeader),
      KXStringsProp("ContentFiles", &T::FContentFiles),
      KXStringsProp("HiddenFields", &T::FHiddenFields),
      KXEventProp("OnAfterRender", &T::OnAfterRender),
      KXEventProp("OnCreate", &T::OnCreate),
      KXEventProp("OnDestroy", &T::OnDestroy),
      KXSetProp("SupportedBrowsers", &T::FSupportedBrowsers, &T::FSupportedBrowsers, KXBrowserEnumInfo()),
      KXStringProp("Title", &T::Title, &T::SetTitle),
      KXBoolProp("AllowPageAccess", &T::AllowPageAccess, &T::SetAllowPageAccess),
  });
  return Info;
}

TKXBaseForm::TKXBaseForm(TKXComponent* AOwner) : TKXContainer(AOwner) {}

TKXBaseForm::~TKXBaseForm() {
  if (FWebApplication) FWebApplication->FormDestroyed(this);
  try {
    if (OnDestroy && !Designing()) OnDestroy(this);
  } catch (...) {
    // A handler's failure must not stop the form from going.
  }
  DestroyComponents();
}

void TKXBaseForm::AfterConstruction() {
  TKXContainer::AfterConstruction();
  if (Designing()) return;
  if (&ClassInfo() != &TKXBaseForm::StaticClassInfo()) KXReadComponentResource(*this);
  if (FSupportedBrowsers.Contains(brNetscape7)) FSupportedBrowsers.Insert(brGecko);
  DoCreate();
}

void TKXBaseForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TKXBaseForm::DoAfterRender() {
  if (OnAfterRender) OnAfterRender(this);
}

TKXApplication* TKXBaseForm::WebApplication() {
  if (!FWebApplication && !Designing()) FWebApplication = CurrentSession();
  return FWebApplication;
}

const IKXServerController* TKXBaseForm::Controller() {
  TKXApplication* S = WebApplication();
  return S ? &S->Controller() : nullptr;
}

void TKXBaseForm::BecomeApplicationForm(TKXFormOutput AOutput) {
  FFormType = ftApp;
  FFormOutput = AOutput;
  if (FReleaseCalled) {
    FReleaseCalled = false;
    Release();
  }
}

void TKXBaseForm::Show() {
  if (FFormType != ftApp) throw EKXException(kCannotShow);
  if (TKXApplication* S = WebApplication()) S->SetActiveForm(this);
}

void TKXBaseForm::Hide() {
  if (FFormType != ftApp) throw EKXException(kCannotRelease);
  if (TKXApplication* S = WebApplication()) S->RemoveForm(this);
}

void TKXBaseForm::Release() {
  if (FFormType == ftUnknown) {
    FReleaseCalled = true;
    return;
  }
  if (FFormType != ftApp) throw EKXException(kCannotRelease);
  FReleased = true;
  if (TKXApplication* S = WebApplication()) S->ReleaseForm(this);
  Hide();
}

void TKXBaseForm::GenerateForm(TKXRenderStream&) {}

bool TKXBaseForm::AcceptsHiddenComponent(TKXComponent*) { return false; }

const TKXClassInfo& TKXBaseHTMLForm::StaticClassInfo() {
  using T = TKXBaseHTMLForm;
  static const TKXClassInfo Info = KXClass<T, TKXBaseForm>("TKXBaseHTMLForm").Props({
      KXColorProp("BGColor", &T::BGColor, &T::SetBGColor),
      KXColorProp("LinkColor", &T::LinkColor, &T::SetLinkColor),
      KXColorProp("TextColor", &T::TextColor, &T::SetTextColor),
      KXColorProp("VLinkColor", &T::VLinkColor, &T::SetVLinkColor),
  });
  return Info;
}
