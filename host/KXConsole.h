#pragma once
// The console's behaviour apart from any window or terminal: it owns the standalone server,
// keeps the log, the live-session count and the bytes-sent total, holds the operator's actions
// and their rules (devices, speeds, browsers, tool-bar icons), reads and writes the settings
// file, and runs the notifications that worker threads post, on the thread that calls
// ProcessNotifications. A front-end (the window or the terminal) shows what it is told through
// the On... sinks and mirrors ActionState into its own controls.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KXConsoleSettings.h"
#include "KXStandAloneServer.h"

class TKXScriptRecorder;

enum TKXConsoleAction {
  actnExecute, actnCopyLink, actnResetSessions, actnShutdown, actnResetBytes, actnDebug, actnRunMinimized,
  actnRunTray, actnBrowserDefault, actnUseSSL, actnSmallIcons, actnLargeIcons, actnIE, actnFireFox, actnOpera,
  actnMozilla, actnNetscape, actionStartRecording, actionStopRecording, actionSaveRecording,
  kKXConsoleActionCount
};

struct TKXConsoleActionInfo {
  TKXConsoleAction Action;
  const char* Name;        // the front-end's object name
  const char* Category;    // empty for the recorder's actions
  const char* Caption;
  const char* Hint;
  int ImageIndex;          // -1: no image
  const char* Shortcut;    // portable key text ("F9", "Ctrl+I"), empty for none
  bool Checkable;
};
const TKXConsoleActionInfo& KXConsoleActionInfo(TKXConsoleAction AAction);

struct TKXConsoleActionState {
  bool Enabled = true;
  bool Checked = false;
  int ImageIndex = -1;
};

// The tool bar's look under the Small Icons and Large Icons rules.
struct TKXToolBarLook {
  bool Large = false;
  int ButtonSize = 16;
  int SeparatorWidth = 4;
  bool operator==(const TKXToolBarLook&) const = default;
};

struct TKXConsoleOptions {
  TKXHostOptions Host;
  std::string SettingsFile;      // empty: TKXConsoleSettings::DefaultPath()
  bool SaveSettings = true;      // the terminal reads the settings but never writes them
  TKXScriptRecorder* Recorder = nullptr;   // none: the recorder actions do nothing
};

class TKXConsole {
public:
  explicit TKXConsole(const TKXConsoleOptions& AOptions = {});
  ~TKXConsole();
  TKXConsole(const TKXConsole&) = delete;
  TKXConsole& operator=(const TKXConsole&) = delete;

  // Front-end sinks, called on the console's thread only.
  std::function<void(const std::string&)> OnLogLine;
  std::function<void(int32_t)> OnSessionsChanged;
  std::function<void(int32_t)> OnSentChanged;
  std::function<void()> OnClose;                        // Shutdown
  std::function<void()> OnMinimize;                     // Run Minimized, the -Minimize switch
  std::function<void(bool)> OnTrayIcon;                 // create (true) or free (false) the tray icon
  std::function<void(const TKXToolBarLook&)> OnToolBarLook;
  std::function<void(const std::string&)> OnCopyToClipboard;
  // Asks where to save the recording; empty: cancelled.
  std::function<std::string()> OnChooseRecordingFile;

  // Starts the standalone server (listening, start-up log), then reads the settings file and
  // applies it: browser, flags, speed and device, the tray icon and the minimised start. Raises
  // what start-up raised.
  void Open();
  // Writes the settings (when asked to) as the listeners stop, then ends in the shutdown order:
  // listeners and connections, sessions, controller and its cache.
  void Close();
  bool IsOpen() const { return FServer != nullptr; }

  // Runs what worker threads posted; waits up to ATimeOut for the first one.
  size_t ProcessNotifications(std::chrono::milliseconds ATimeOut);
  void Wake();
  // Called from a worker thread whenever a notification is posted to an empty queue: a
  // front-end with an event loop of its own drains then instead of waiting. Set before Open.
  std::function<void()> OnNotificationsPosted;

  // Runs the action's effect; what the front-end must do goes out through the sinks. Raises
  // what the effect raised (a browser that cannot be launched, a file that cannot be written).
  void Execute(TKXConsoleAction AAction);
  // Enabled, checked and image as the action list shows them now.
  TKXConsoleActionState ActionState(TKXConsoleAction AAction) const;

  void Log(const std::string& AMsg);
  // " Bytes: " and the count with digit grouping, for counts of 1 or more.
  void LogBytes(int32_t ABytes);
  static std::string FormatBytes(int64_t ABytes);       // "##,###,##0"
  // The Sent display: bytes up to 1024, KB from 1025, MB from 1048577.
  static std::string FormatByteCount(int64_t ABytes);

  // Device simulation: "None", "PDA (HTML 3.2)", "Mobile (WML)", "Mobile (XHTML MP)".
  static const std::vector<std::string>& DeviceItems();
  // The item the flags select (the last that holds wins).
  int DeviceItem() const;
  static std::string DevicePicture(int AItem);
  // The device-change rule: sets the three flags from the item and returns the picture to show
  // ("" hides it).
  std::string SetDeviceItem(int AItem);

  // Speed simulation: "None", six links and "Custom...".
  static const std::vector<std::string>& SpeedItems();
  static constexpr int kCustomSpeedItem = 7;
  static int SpeedItemFor(int32_t ABitsPerSec);
  // Bits per second of an item; Custom... takes ACustomText (not a whole number: 0).
  static int32_t SpeedForItem(int AItem, const std::string& ACustomText);
  static std::string SpeedPicture(int AItem);
  int SpeedItem() const { return FSpeedItem; }
  // The speed-change rule: sets the speed (copied to the HTTP server module) and returns the
  // picture to show ("" hides it). The custom edit is visible exactly for Custom....
  std::string SetSpeedItem(int AItem, const std::string& ACustomText);
  void SetCustomSpeed(const std::string& AText);
  const std::string& CustomSpeedText() const { return FCustomSpeedText; }
  int32_t BitsPerSec() const { return FBitsPerSec; }

  void SetParams(const std::string& AText);
  const std::string& Params() const;

  static TKXToolBarLook ToolBarLook(bool ALarge);
  const TKXToolBarLook& CurrentToolBarLook() const { return FToolBarLook; }
  bool RunInTray() const { return FRunInTray; }
  bool RunMinimized() const { return FRunMinimized; }

  // Writes the recording as a test unit named after the file (its name without folder and
  // extension). Raises the platform's error text when the file cannot be written.
  void SaveRecording(const std::string& APath);

  TKXStandAloneServer* Server() { return FServer.get(); }
  TKXScriptRecorder* Recorder() { return FOptions.Recorder; }
  const std::string& SettingsFile() const { return FSettingsFile; }
  TKXConsoleSettings CurrentSettings() const;
  int32_t SessionCount() const { return FSessionCount; }
  int32_t SentBytes() const { return FSentBytes; }
  // The last lines of the log (the front-end keeps its own copy for display).
  const std::deque<std::string>& LogLines() const { return FLogLines; }
  size_t MaxLogLines() const { return FMaxLogLines; }
  void SetMaxLogLines(size_t AValue) { FMaxLogLines = AValue; }

private:
  void ApplySettings(const TKXConsoleSettings& ASettings);
  void SetSessionCount(int32_t ACount);
  void SetSent(int32_t ATotal);
  void SetToolBarLook(bool ALarge);

  TKXConsoleOptions FOptions;
  std::string FSettingsFile;
  std::unique_ptr<TKXStandAloneServer> FServer;
  int32_t FSessionCount = 0;
  int32_t FSentBytes = 0;
  int32_t FBitsPerSec = 0;
  int FSpeedItem = 0;
  std::string FCustomSpeedText = "0";
  bool FRunInTray = true;
  bool FRunMinimized = false;
  TKXToolBarLook FToolBarLook = ToolBarLook(false);
  // Which browsers this machine has, looked up once when the console opens (the default one
  // is always there).
  std::array<bool, 6> FBrowserFound{true, false, false, false, false, false};
  std::deque<std::string> FLogLines;
  size_t FMaxLogLines = 10000;
};
