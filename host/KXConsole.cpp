#include "KXConsole.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/KXException.h"
#include "KXHTTPServerModule.h"
#include "KXScriptRecorder.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkStrUtils.h"

namespace {

// Image indexes: 0 run / default browser, 1 copy start address, 2 reset sessions, 3 debug log,
// 4 SSL, 5 about, 6 Opera, 7 Firefox, 8 Internet Explorer, 9 Mozilla, 10 Netscape.
const TKXConsoleActionInfo kActions[] = {
    {actnExecute, "actnExecute", "File", "Execute", "Execute", 0, "F9", false},
    {actnCopyLink, "actnCopyLink", "Tools", "Copy Start URL", "Copy Start URL", 1, "", false},
    {actnResetSessions, "actnResetSessions", "Tools", "Reset Sessions", "Reset Sessions", 2, "", false},
    {actnShutdown, "actnShutdown", "File", "Shutdown", "Shutdown", -1, "", false},
    {actnResetBytes, "actnResetBytes", "Tools", "Reset Sent data", "Reset Sent Data", -1, "", false},
    {actnDebug, "actnDebug", "Settings", "Debug Log", "Debug Log", 3, "", true},
    {actnRunMinimized, "actnRunMinimized", "Settings", "Run Minimized", "Run Minimized", -1, "", true},
    {actnRunTray, "actnRunTray", "Settings", "Run in Tray icon", "Run in Tray icon", -1, "", true},
    {actnBrowserDefault, "actnBrowserDefault", "Browser", "Default", "Default Browser", 0, "", true},
    {actnUseSSL, "actnUseSSL", "Tools", "Use SSL", "Use SSL", 4, "", true},
    {actnSmallIcons, "actnSmallIcons", "Settings", "Small Icons", "Small Icons", -1, "", true},
    {actnLargeIcons, "actnLargeIcons", "Settings", "Large Icons", "Large Icons", -1, "", true},
    {actnIE, "actnIE", "Browser", "Internet Explorer", "Internet Explorer", 8, "Ctrl+I", true},
    {actnFireFox, "actnFireFox", "Browser", "FireFox", "FireFox", 7, "Ctrl+F", true},
    {actnOpera, "actnOpera", "Browser", "Opera", "Opera", 6, "Ctrl+P", true},
    {actnMozilla, "actnMozilla", "Browser", "Mozilla", "Mozilla", 9, "Ctrl+M", true},
    {actnNetscape, "actnNetscape", "Browser", "Netscape", "Netscape", 10, "Ctrl+N", true},
    {actionStartRecording, "actionStartRecording", "", "Start", "", -1, "", false},
    {actionStopRecording, "actionStopRecording", "", "Stop", "", -1, "", false},
    {actionSaveRecording, "actionSaveRecording", "", "Save", "", -1, "", false},
};
static_assert(std::size(kActions) == kKXConsoleActionCount);

// The browser actions in the order of TKXWebBrowser.
const TKXConsoleAction kBrowserActions[] = {actnBrowserDefault, actnIE, actnNetscape, actnMozilla, actnOpera,
                                            actnFireFox};

int BrowserOf(TKXConsoleAction AAction) {
  for (int B = wbDefault; B <= wbFirefox; ++B)
    if (kBrowserActions[B] == AAction) return B;
  return -1;
}

struct TSpeed {
  const char* Caption;
  int32_t BitsPerSec;
  const char* Picture;
};
const TSpeed kSpeeds[] = {
    {"None", 0, ""},
    {"Dial-up 28.8 kbps", 28800, "DEV_MODEM"},
    {"Dial-up 33.6 kbps", 33600, "DEV_MODEM"},
    {"ISDN 64 kbps", 64000, "DEV_MODEM"},
    {"ISDN 128 kbps", 128000, "DEV_MODEM"},
    {"DSL/Cable 384 kbps", 384000, "DEV_CABLE"},
    {"Ethernet 10 mbps", 10000000, "DEV_NETWORK"},
    {"Custom...", 0, ""},
};
static_assert(std::size(kSpeeds) == TKXConsole::kCustomSpeedItem + 1);

const char* const kDevicePictures[] = {"", "PDA", "PHONE", "PHONE"};

const char kNoHTTPS[] = "Use SSL: no HTTPS listener is running, so the https start address will not answer.";

}  // namespace

const TKXConsoleActionInfo& KXConsoleActionInfo(TKXConsoleAction AAction) { return kActions[AAction]; }

TKXConsole::TKXConsole(const TKXConsoleOptions& AOptions)
    : FOptions(AOptions),
      FSettingsFile(AOptions.SettingsFile.empty() ? TKXConsoleSettings::DefaultPath() : AOptions.SettingsFile) {}

TKXConsole::~TKXConsole() { Close(); }

void TKXConsole::Open() {
  if (FServer) return;
  FServer = std::make_unique<TKXStandAloneServer>(
      [this](TKXStandAloneServer*, int32_t ATotal) { SetSent(ATotal); },
      [this](TKXStandAloneServer*, int32_t ABytes) { LogBytes(ABytes); },
      [this](TKXStandAloneServer*, const std::string& AMsg) { Log(AMsg); }, FOptions.Host);
  // Session changes happen on request and expiry threads; the count reaches this thread.
  FServer->OnSessionCountChanged = [this](TKXStandAloneServer*, int32_t ACount) { SetSessionCount(ACount); };
  FServer->OnCopyToClipboard = [this](const std::string& AURL) {
    if (OnCopyToClipboard) OnCopyToClipboard(AURL);
  };
  if (OnNotificationsPosted) {
    FServer->Notifications().SetOnPosted(OnNotificationsPosted);
    OnNotificationsPosted();   // whatever was posted while the server started
  }
  FBrowserFound = {true, FServer->TestForIE(), FServer->TestForNS6(), FServer->TestForMozilla(),
                   FServer->TestForOpera(), FServer->TestForFirefox()};
  ApplySettings(TKXConsoleSettings::Read(FSettingsFile));
  if ((FRunMinimized || FServer->MinimizeRequested()) && OnMinimize) OnMinimize();
}

void TKXConsole::ApplySettings(const TKXConsoleSettings& S) {
  TKXStandAloneServer& Server = *FServer;
  Server.SetParams(S.Parameters);
  Server.SetDebugLog(S.DebugInfo);
  Server.SetRunSSL(S.SSL);
  Server.SetHTML32(S.HTML32);
  Server.SetWML(S.WML);
  Server.SetXHTMLMP(S.XHTMLMP);
  Server.SetRunIn(S.RunIn);
  FRunInTray = S.RunInTray;
  FRunMinimized = S.RunMinimized;
  if (FRunInTray && OnTrayIcon) OnTrayIcon(true);
  FCustomSpeedText = std::to_string(S.SpeedLimit);
  // the rules run over what was read: a custom speed shows in its edit, and of two device
  // flags only the one the list shows stays set
  SetSpeedItem(SpeedItemFor(S.SpeedLimit), FCustomSpeedText);
  SetDeviceItem(DeviceItem());
  SetToolBarLook(false);
}

TKXConsoleSettings TKXConsole::CurrentSettings() const {
  TKXConsoleSettings S;
  if (!FServer) return S;
  S.Parameters = FServer->Params();
  S.DebugInfo = FServer->DebugLog();
  S.SSL = FServer->RunSSL();
  S.HTML32 = FServer->HTML32();
  S.WML = FServer->WML();
  S.XHTMLMP = FServer->XHTMLMP();
  S.RunIn = FServer->RunIn();
  S.RunInTray = FRunInTray;
  S.RunMinimized = FRunMinimized;
  S.SpeedLimit = FBitsPerSec;
  return S;
}

void TKXConsole::Close() {
  if (!FServer) return;
  FServer->Notifications().SetOnPosted(nullptr);
  if (FOptions.SaveSettings) CurrentSettings().Write(FSettingsFile);
  FServer->OnSessionCountChanged = nullptr;
  FServer->OnCopyToClipboard = nullptr;
  FServer.reset();
}

size_t TKXConsole::ProcessNotifications(std::chrono::milliseconds ATimeOut) {
  return FServer ? FServer->Notifications().WaitAndDrain(ATimeOut) : 0;
}

void TKXConsole::Wake() {
  if (FServer) FServer->Notifications().Wake();
}

void TKXConsole::SetSessionCount(int32_t ACount) {
  FSessionCount = ACount;
  if (OnSessionsChanged) OnSessionsChanged(ACount);
}

void TKXConsole::SetSent(int32_t ATotal) {
  FSentBytes = ATotal;
  if (OnSentChanged) OnSentChanged(ATotal);
}

void TKXConsole::SetToolBarLook(bool ALarge) {
  FToolBarLook = ToolBarLook(ALarge);
  if (OnToolBarLook) OnToolBarLook(FToolBarLook);
}

TKXToolBarLook TKXConsole::ToolBarLook(bool ALarge) {
  return ALarge ? TKXToolBarLook{true, 24, 8} : TKXToolBarLook{false, 16, 4};
}

void TKXConsole::Execute(TKXConsoleAction AAction) {
  if (!FServer) return;
  TKXStandAloneServer& S = *FServer;
  TKXScriptRecorder* Recorder = FOptions.Recorder;
  switch (AAction) {
    case actnExecute: S.Run(); break;
    case actnCopyLink: S.CopyStartURLToClipboard(); break;
    case actnResetSessions:
      S.ClearSessions();
      SetSessionCount(0);
      SetSent(S.TotalBytes());
      break;
    case actnShutdown:
      if (OnClose) OnClose();
      break;
    case actnResetBytes:
      // an operator resetting the sent data expects it to start again from zero
      S.ResetTotalBytes();
      SetSent(S.TotalBytes());
      break;
    case actnDebug: S.SetDebugLog(!S.DebugLog()); break;
    case actnRunMinimized:
      FRunMinimized = !FRunMinimized;
      if (FRunMinimized && OnMinimize) OnMinimize();
      break;
    case actnRunTray:
      FRunInTray = !FRunInTray;
      if (OnTrayIcon) OnTrayIcon(FRunInTray);
      break;
    case actnUseSSL: {
      S.SetRunSSL(!S.RunSSL());
      TKXHTTPServerModule* M = S.HTTPServerModule();
      if (S.RunSSL() && !(M && M->HTTPS() && M->HTTPS()->Active())) Log(kNoHTTPS);
      break;
    }
    case actnSmallIcons: SetToolBarLook(false); break;
    case actnLargeIcons: SetToolBarLook(true); break;
    case actionStartRecording:
      if (Recorder) Recorder->StartRecording();
      break;
    case actionStopRecording:
      if (Recorder) Recorder->StopRecording();
      break;
    case actionSaveRecording: {
      const std::string Path = OnChooseRecordingFile ? OnChooseRecordingFile() : std::string();
      if (!Path.empty()) SaveRecording(Path);
      break;
    }
    default:
      if (const int B = BrowserOf(AAction); B >= 0) S.SetRunIn(static_cast<TKXWebBrowser>(B));
      break;
  }
}

TKXConsoleActionState TKXConsole::ActionState(TKXConsoleAction AAction) const {
  TKXConsoleActionState R;
  R.ImageIndex = kActions[AAction].ImageIndex;
  if (!FServer) return R;
  const TKXStandAloneServer& S = *FServer;
  const bool Recording = FOptions.Recorder && FOptions.Recorder->IsRecording();
  switch (AAction) {
    case actnExecute: R.ImageIndex = kActions[kBrowserActions[S.RunIn()]].ImageIndex; break;
    case actnDebug: R.Checked = S.DebugLog(); break;
    case actnUseSSL: R.Checked = S.RunSSL(); break;
    case actnLargeIcons: R.Checked = FToolBarLook.Large; break;
    case actnSmallIcons: R.Checked = !FToolBarLook.Large; break;
    case actnRunMinimized: R.Checked = FRunMinimized; break;
    case actnRunTray: R.Checked = FRunInTray; break;
    case actionStartRecording: R.Enabled = FOptions.Recorder && !Recording; break;
    case actionStopRecording: R.Enabled = Recording; break;
    case actionSaveRecording: R.Enabled = FOptions.Recorder != nullptr; break;
    default:
      if (const int B = BrowserOf(AAction); B >= 0) {
        R.Checked = S.RunIn() == B;
        R.Enabled = FBrowserFound[static_cast<size_t>(B)];
      }
      break;
  }
  return R;
}

void TKXConsole::Log(const std::string& AMsg) {
  if (AMsg.empty()) return;
  FLogLines.push_back(AMsg);
  while (FLogLines.size() > FMaxLogLines) FLogLines.pop_front();
  if (OnLogLine) OnLogLine(AMsg);
}

void TKXConsole::LogBytes(int32_t ABytes) {
  if (ABytes >= 1) Log(" Bytes: " + FormatBytes(ABytes));
}

std::string TKXConsole::FormatBytes(int64_t ABytes) {
  const bool Negative = ABytes < 0;
  std::string Digits = std::to_string(Negative ? -ABytes : ABytes);
  for (int I = static_cast<int>(Digits.size()) - 3; I > 0; I -= 3) Digits.insert(static_cast<size_t>(I), ",");
  return Negative ? "-" + Digits : Digits;
}

std::string TKXConsole::FormatByteCount(int64_t ABytes) {
  if (ABytes >= 1048577) return FormatBytes(ABytes / 1048576) + " MB";
  if (ABytes >= 1025) return FormatBytes(ABytes / 1024) + " KB";
  return FormatBytes(ABytes) + " bytes";
}

const std::vector<std::string>& TKXConsole::DeviceItems() {
  static const std::vector<std::string> Items = {"None", "PDA (HTML 3.2)", "Mobile (WML)", "Mobile (XHTML MP)"};
  return Items;
}

int TKXConsole::DeviceItem() const {
  if (!FServer) return 0;
  int Item = 0;
  if (FServer->HTML32()) Item = 1;
  if (FServer->WML()) Item = 2;
  if (FServer->XHTMLMP()) Item = 3;
  return Item;
}

std::string TKXConsole::DevicePicture(int AItem) {
  return AItem >= 0 && AItem < static_cast<int>(std::size(kDevicePictures)) ? kDevicePictures[AItem] : "";
}

std::string TKXConsole::SetDeviceItem(int AItem) {
  if (AItem < 0 || AItem >= static_cast<int>(std::size(kDevicePictures))) AItem = 0;
  if (FServer) {
    FServer->SetHTML32(AItem == 1);
    FServer->SetWML(AItem == 2);
    FServer->SetXHTMLMP(AItem == 3);
  }
  return DevicePicture(AItem);
}

const std::vector<std::string>& TKXConsole::SpeedItems() {
  static const std::vector<std::string> Items = [] {
    std::vector<std::string> R;
    for (const TSpeed& S : kSpeeds) R.emplace_back(S.Caption);
    return R;
  }();
  return Items;
}

int TKXConsole::SpeedItemFor(int32_t ABitsPerSec) {
  for (int I = 0; I < kCustomSpeedItem; ++I)
    if (kSpeeds[I].BitsPerSec == ABitsPerSec) return I;
  return kCustomSpeedItem;
}

int32_t TKXConsole::SpeedForItem(int AItem, const std::string& ACustomText) {
  if (AItem == kCustomSpeedItem) {
    int N = 0;
    return TryStrToInt(ACustomText, N) ? N : 0;
  }
  return AItem >= 0 && AItem < kCustomSpeedItem ? kSpeeds[AItem].BitsPerSec : 0;
}

std::string TKXConsole::SpeedPicture(int AItem) {
  return AItem >= 0 && AItem <= kCustomSpeedItem ? kSpeeds[AItem].Picture : "";
}

std::string TKXConsole::SetSpeedItem(int AItem, const std::string& ACustomText) {
  if (AItem < 0 || AItem > kCustomSpeedItem) AItem = 0;
  FSpeedItem = AItem;
  if (AItem == kCustomSpeedItem) FCustomSpeedText = ACustomText;
  FBitsPerSec = SpeedForItem(AItem, ACustomText);
  if (TKXHTTPServerModule* M = FServer ? FServer->HTTPServerModule() : nullptr) M->SetBitsPerSec(FBitsPerSec);
  return SpeedPicture(AItem);
}

void TKXConsole::SetCustomSpeed(const std::string& AText) {
  FCustomSpeedText = AText;
  FBitsPerSec = SpeedForItem(kCustomSpeedItem, AText);
  if (TKXHTTPServerModule* M = FServer ? FServer->HTTPServerModule() : nullptr) M->SetBitsPerSec(FBitsPerSec);
}

void TKXConsole::SetParams(const std::string& AText) {
  if (FServer) FServer->SetParams(AText);
}

const std::string& TKXConsole::Params() const {
  static const std::string None;
  return FServer ? FServer->Params() : None;
}

void TKXConsole::SaveRecording(const std::string& APath) {
  const std::string Unit = std::filesystem::path(APath).stem().string();
  const std::string Text = FOptions.Recorder ? FOptions.Recorder->GenereateTestUnit(Unit) : std::string();
  std::ofstream Out(APath, std::ios::binary | std::ios::trunc);
  if (Out) Out << Text;
  if (Out) Out.flush();
  if (!Out) throw EKXException("Cannot write " + APath + ": " + std::strerror(errno));
}
