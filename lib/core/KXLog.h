#pragma once
// Log lines and byte counts travel from request threads to the console's thread. Nothing is
// passed on until the host says a console shows them (SetActive), so a server without one pays
// only a flag test per line.
#include <functional>
#include <string>

class TSyncLog {
public:
  using TLogSink = std::function<void(const std::string&)>;
  using TBytesSink = std::function<void(long long)>;
  static void Log(const std::string& AMessage);
  static void LogBytes(long long ACount);
  // Installed by the host; each sink must not block (it posts to the console's queue).
  static void SetSinks(TLogSink ALog, TBytesSink ABytes);
  static void SetActive(bool AActive);
};
