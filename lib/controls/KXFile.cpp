#include "controls/KXFile.h"

#include <fstream>

#include "render/KXBaseRenderContext.h"
#include "render/KXColor.h"
#include "core/KXException.h"
#include "render/KXHTMLTag.h"
#include "content/KXHTTPFile.h"
#include "controls/KXRegion.h"
#include "render/KXRenderContext.h"
#include "SkStrUtils.h"

namespace {

const bool GRegistered = KXRegisterClass<TKXCustomFile>() && KXRegisterClass<TKXFile>();

const char* const kNoPartial = "Can't use TKXFile when using umPartial.";
const char* const kNoPageMode = "Can't use TKXFile in Page-Mode.";
const char* const kNoUsableName = "The uploaded file's name \"%s\" leaves no name to save it under.";
const char* const kCannotWriteFrame =
    "An error occurred while writing to the Cache Directory, please make sure the permissions are set correctly.";

// The part after the last separator of either kind: browsers send Windows and POSIX paths.
std::string AfterLastSeparator(const std::string& AName) {
  const size_t At = AName.find_last_of("/\\");
  return At == std::string::npos ? AName : AName.substr(At + 1);
}

TKXHTMLTag* AddHidden(TKXHTMLTag& AForm, const std::string& AName, const std::string& AValue) {
  TKXHTMLTag* Input = AForm.Contents().AddTag("INPUT");
  Input->AddStringParam("TYPE", "HIDDEN");
  Input->AddStringParam("NAME", AName);
  Input->AddStringParam("VALUE", AValue);
  return Input;
}

}  // namespace

const TKXClassInfo& TKXCustomFile::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCustomFile, TKXCustomInputControl>("TKXCustomFile");
  return Info;
}

const TKXClassInfo& TKXFile::StaticClassInfo() {
  using T = TKXFile;
  static const TKXClassInfo Info = KXClass<T, TKXCustomFile>("TKXFile").Props({
      KXColorProp("BGColor", &T::BGColor, &T::SetBGColor),
      KXColorProp("FrameBGColor", &T::FrameBGColor, &T::SetFrameBGColor),
      KXIntProp("ButtonHeight", &T::ButtonHeight, &T::SetButtonHeight),
      KXIntProp("StatusUpdateInterval", &T::StatusUpdateInterval, &T::SetStatusUpdateInterval),
      KXEventProp("OnStatus", &T::OnStatus),
  });
  return Info;
}

TKXCustomFile::TKXCustomFile(TKXComponent* AOwner) : TKXCustomInputControl(AOwner) {
  (void)GRegistered;
  FWidth = 260;
  FHeight = 80;
  SetRenderSize(true);
  FControlEncode = ceMPFormData;
}

// The copy's holder goes with the control; the temporary file goes with its last holder.
TKXCustomFile::~TKXCustomFile() = default;

void TKXCustomFile::SetBGColor(TKXColor AValue) {
  if (AValue != FBGColor) Invalidate();
  FBGColor = AValue;
}

void TKXCustomFile::SetFrameBGColor(TKXColor AValue) {
  if (AValue != FFrameBGColor) Invalidate();
  FFrameBGColor = AValue;
}

void TKXCustomFile::SetButtonHeight(int AValue) {
  if (AValue != FButtonHeight) Invalidate();
  FButtonHeight = AValue;
}

std::string TKXCustomFile::ContentType() const { return FFile ? FFile->ContentType() : std::string(); }

void TKXCustomFile::RestoreValue(const std::string& AValue) { FFileName = AfterLastSeparator(AValue); }

void TKXCustomFile::AssignUploadedFile(THTTPFile* AFile) {
  // Copied before the old copy goes: AFile may be that copy.
  std::unique_ptr<THTTPFile> Copy = AFile ? std::make_unique<THTTPFile>(*AFile) : nullptr;
  FFile = std::move(Copy);
}

std::string TKXCustomFile::SafeBaseName(const std::string& AFileName) {
  std::string Name;
  for (unsigned char C : AFileName)
    if (C >= 0x20 && C != 0x7F) Name += static_cast<char>(C);
  Name = AfterLastSeparator(Name);
  if (Name.size() >= 2 && Name[1] == ':' && ((Name[0] >= 'A' && Name[0] <= 'Z') || (Name[0] >= 'a' && Name[0] <= 'z')))
    Name.erase(0, 2);
  if (Name.find_first_not_of('.') == std::string::npos) return {};   // "", ".", ".." and the like
  return Name;
}

void TKXCustomFile::SaveToFile(const std::string& AFileName) {
  if (!FFile) return;
  std::string Target = AFileName;
  // The browser chose this name: it may climb out of the folder or name a device.
  if (Target.empty() || Target == FFileName) {
    Target = SafeBaseName(FFileName);
    if (Target.empty()) throw EKXException(ReplaceAll(kNoUsableName, "%s", FFileName));
  }
  FFile->SaveToFile(Target);
}

void TKXCustomFile::SaveToStream(TSkStream& AStream) {
  if (FFile) FFile->SaveToStream(AStream);
}

std::string TKXCustomFile::AsyncStatusScript() {
  if (!OnStatus) return {};
  return "KXTimer(true," + std::to_string(FStatusUpdateInterval) + ", \"" + HTMLName() + ".DoOnStatus\")";
}

void TKXCustomFile::HookAsyncEvents(TKXComponent40Context& AContext, TKXScriptEvents&) {
  if (!OnStatus || !KXRegisterCallBackHook() || !AContext.WebApplication()) return;
  KXRegisterCallBackHook()(AContext.WebApplication(), HTMLName() + ".DoOnStatus", [this](TSkStringList& AParams) {
    if (OnStatus) OnStatus(this, AParams);
  });
}

std::string TKXCustomFile::RenderStyle(TKXComponent40Context* AContext) {
  std::string S = TKXCustomControl::RenderStyle(AContext) + "border-width:0;border-style:none;overflow:hidden;";
  if (FBGColor != clNone) S += "background-color: " + ColorToHTMLColor(FBGColor) + ";";
  return S;
}

TKXHTMLTag* TKXCustomFile::RenderHTML(TKXComponent40Context& AContext) {
  if (IKXForm* Form = OwnerForm()) {
    auto* Page = dynamic_cast<IKXHTML40Form*>(Form);
    if (Form->FormType() == ftApp && Page && Page->UpdateMode() == umPartial) throw EKXException(kNoPartial);
    if (Form->FormType() == ftPage) throw EKXException(kNoPageMode);
  }
  TKXPageContext40* Page = AContext.PageContext();
  if (!Page || !Page->WebApplication()) throw EKXException(kCannotWriteFrame);
  const std::string Path = Page->NewUserCacheFile("html");
  {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << FrameDocument(AContext);
    if (!Out) throw EKXException(kCannotWriteFrame);
  }
  auto* Tag = new TKXHTMLTag("IFRAME");
  // The same session folder NewCacheFile wrote into.
  Tag->AddStringParam("SRC", Page->UserCacheURL() + AfterLastSeparator(Path));
  Tag->AddStringParam("frameborder", "0");
  Tag->AddStringParam("scrolling", "no");
  if (FStyleRenderOptions.RenderSize) Tag->AddIntegerParam("width", FWidth);
  return Tag;
}

std::string TKXCustomFile::FrameDocument(TKXComponent40Context& AContext) {
  const TKXRenderRequest& R = AContext.Request();
  const std::string N = HTMLName();
  TKXHTMLTag Body("BODY");
  Body.AddStringParam("TOPMARGIN", "0");
  Body.AddStringParam("LEFTMARGIN", "0");
  TKXColor Background = FFrameBGColor;
  if (Background == clNone && AContext.Browser() == brIE)
  {
    if (auto* Form = dynamic_cast<IKXForm*>(Parent()))
      Background = Form->FormBGColor();
    else if (auto* Region = dynamic_cast<TKXCustomRegion*>(Parent()))
      Background = Region->Color();
  }
  Body.AddColor("BGCOLOR", Background);

  TKXHTMLTag* Form = Body.Contents().AddTag("FORM");
  Form->AddStringParam("method", "POST");
  Form->AddStringParam("enctype", "multipart/form-data");
  Form->AddStringParam("name", "HiddenSubmitForm");
  if (!Designing()) Form->AddStringParam("onsubmit", "KXTop().GSubmitting = true; KXTop().ShowBusy(true);");
  const std::string Track = std::to_string(R.TrackID);
  if (R.Tracking == tmURL) {
    Form->AddStringParam("action", R.AppURLBase + "/upload/" + Track + "/" + R.SessionID);
    FDoRefreshControl = true;   // the address carries the track id: a new one each page
  } else {
    Form->AddStringParam("action", R.AppURLBase + "/upload");
  }

  TKXHTMLTag* Input = Form->Contents().AddTag("INPUT");
  Input->AddStringParam("TYPE", "file");
  Input->AddStringParam("NAME", N);
  if (!FEnabled) Input->AddBoolParam("DISABLED", true);
  if (Designing() || !FEnabled) Input->Add("DISABLED");
  if (!FCss.empty()) {
    Input->AddStringParam("CLASS", FCss);
  } else {
    std::string Style;
    if (FStyleRenderOptions.RenderFont) Style += FFont->FontToStringStyle(AContext.Browser());
    if (FStyleRenderOptions.RenderSize)
      Style += "height:" + std::to_string(FButtonHeight) + "; width:" + std::to_string(FWidth) + ";";
    if (FBGColor != clNone) Style += "background-color:" + ColorToHTMLColor(FBGColor);
    Input->AddStringParam("STYLE", Style);
  }
  AddHidden(*Form, "KX_ActionParam", N);
  AddHidden(*Form, "KX_MainPageSubmitControl", "");
  AddHidden(*Form, "KX_MainPageSubmitControlParam", "");
  AddHidden(*Form, "KX_FileSize", "getFileLength('" + N + "')");
  if (R.Tracking == tmHidden) {
    AddHidden(*Form, "KX_SessionID_", R.SessionID);
    FDoRefreshControl = true;
  }
  if (R.Tracking != tmURL) AddHidden(*Form, "KX_TrackID_", Track);
  return "<HTML><HEAD></HEAD>" + Body.Render() + "</HTML>";
}
