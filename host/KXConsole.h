#pragma once
// The console's behaviour apart from any window or terminal: it owns the standalone server,
// keeps the log, the live-session count and the bytes-sent total, and runs the notifications
// that worker threads post, on the thread that calls ProcessNotifications. A front-end (the
// terminal now, a window later) shows what it is told through the On... sinks.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "KXStandAloneServer.h"

class TKXConsole {
public:
  explicit TKXConsole(const TKXHostOptions& AOptions = {});
  ~TKXConsole();
  TKXConsole(const TKXConsole&) = delete;
  TKXConsole& operator=(const TKXConsole&) = delete;

  // Front-end sinks, called on the console's thread only.
  std::function<void(const std::string&)> OnLogLine;
  std::function<void(int32_t)> OnSessionsChanged;
  std::function<void(int32_t)> OnSentChanged;

  // Starts the standalone server (listening, start-up log). Raises what start-up raised.
  void Open();
  // Ends in the shutdown order: listeners and connections, sessions, controller and its cache.
  void Close();
  bool IsOpen() const { return FServer != nullptr; }

  // Runs what worker threads posted; waits up to ATimeOut for the first one.
  size_t ProcessNotifications(std::chrono::milliseconds ATimeOut);
  void Wake();

  void Log(const std::string& AMsg);
  // " Bytes: " and the count with digit grouping, for counts of 1 or more.
  void LogBytes(int32_t ABytes);
  static std::string FormatBytes(int64_t ABytes);   // "##,###,##0"

  TKXStandAloneServer* Server() { return FServer.get(); }
  int32_t SessionCount() const { return FSessionCount; }
  int32_t SentBytes() const { return FSentBytes; }
  // The last lines of the log (the front-end keeps its own copy for display).
  const std::deque<std::string>& LogLines() const { return FLogLines; }
  size_t MaxLogLines() const { return FMaxLogLines; }
  void SetMaxLogLines(size_t AValue) { FMaxLogLines = AValue; }

private:
  TKXHostOptions FOptions;
  std::unique_ptr<TKXStandAloneServer> FServer;
  int32_t FSessionCount = 0;
  int32_t FSentBytes = 0;
  std::deque<std::string> FLogLines;
  size_t FMaxLogLines = 10000;
};
