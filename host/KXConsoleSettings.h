#pragma once
// The console's settings file: an INI file beside the executable (its path with the extension
// ".kxb"), read when the console opens and written when it closes. Booleans are 1 and 0.
#include <cstdint>
#include <string>

#include "KXStandAloneServer.h"

struct TKXConsoleSettings {
  std::string Parameters;          // [Main] Parameters: the start address's query
  bool DebugInfo = false;          // [Main] DebugInfo
  bool SSL = false;                // [Main] SSL
  bool HTML32 = false;             // [Main] HTML32
  bool WML = false;                // [Main] WML
  bool XHTMLMP = false;            // [Main] XHTMLMP
  TKXWebBrowser RunIn = wbDefault; // [Main] RunIn, the browser's ordinal
  bool RunInTray = true;           // [Main] RunInTray: a first run starts with the tray icon
  bool RunMinimized = false;       // [Main] RunMinimized
  int32_t SpeedLimit = 0;          // [HTTP] SpeedLimit, bits per second (0: unlimited)

  // A missing or unreadable file gives the defaults above; keys it lacks keep theirs.
  static TKXConsoleSettings Read(const std::string& APath);
  // Writes every key into the file, keeping whatever else it holds. Nothing is written to a file
  // that is read-only; a failure is swallowed. True when the file was written.
  bool Write(const std::string& APath) const;
  // The executable's path with its extension replaced by ".kxb", in the application folder.
  static std::string DefaultPath();
};
