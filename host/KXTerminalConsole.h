#pragma once
// The terminal front-end of the console: start-up log and every later log line on standard
// output; SIGINT and SIGTERM close the console as closing the window would.
#include <atomic>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "KXConsole.h"

// The command line as the host reads it. Unknown arguments are kept as launch switches.
struct TKXCommandLine {
  bool Headless = false;
  bool Help = false;
  TKXHostOptions Options;
  std::string Error;   // set when a value is missing or not a number
};
TKXCommandLine KXParseCommandLine(const std::vector<std::string>& AArgs);
const char* KXCommandLineHelp();

class TKXTerminalConsole {
public:
  explicit TKXTerminalConsole(std::ostream& AOut);
  // Runs until SIGINT or SIGTERM (or RequestStop); returns the process exit code. The two
  // signals must be blocked in every thread before any thread starts (see KXBlockStopSignals).
  // The settings file is read (speed, parameters, device, debug log) and never written.
  int Run(const TKXConsoleOptions& AOptions);
  // Safe from any thread.
  void RequestStop();

private:
  std::ostream& FOut;
  std::atomic<bool> FStop{false};
};

// Blocks SIGINT and SIGTERM for the calling thread and every thread it starts later, so that
// one thread can take them with sigwait.
void KXBlockStopSignals();

// Every connection has a thread of its own, so thread start-up is on the path of every
// request: with the default 8 MiB stacks the C library keeps only a handful of stacks for reuse
// and maps fresh ones at once. Request handling needs far less.
constexpr size_t kKXThreadStackSize = 1024 * 1024;
// Sets the stack size of threads started later in this process (std::thread included).
void KXSetThreadStackSize(size_t ABytes);

// A window front-end: runs the console in a window until it is closed and returns the exit
// code, or returns -1 with AWhyNot set when no window can be created here (nothing started).
using TKXWindowFrontEnd =
    std::function<int(int argc, char** argv, const TKXConsoleOptions& AOptions, std::string& AWhyNot)>;

// The program's front-end choice: the window when there is a display (DISPLAY or
// WAYLAND_DISPLAY), no --headless and a window front-end; otherwise, or when the window cannot
// be created, the terminal. Also makes the process-wide script recorder.
int KXRunHost(int argc, char** argv, const TKXWindowFrontEnd& AWindow = nullptr);
