#include "KXTerminalConsole.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <thread>

#include "KXConsole.h"
#include "KXScriptRecorder.h"
#include "SkStrUtils.h"

namespace {

const char kHelp[] =
    "Usage: kexalo-demo [options] [-LaunchBrowser | -LaunchBrowserSSL | -LaunchBrowser32 | -LaunchBrowser32SSL |\n"
    "                   -LaunchBrowserWML | -LaunchBrowserXHTMLMP | -Minimize]\n"
    "  --headless              log to standard output even when a display is present\n"
    "  --port=N                listen on port N (0: a port chosen by the system)\n"
    "  --ssl-port=N            HTTPS on port N with cert.pem and key.pem beside the executable (0: none)\n"
    "  --compression=L         gzip/deflate answers at level L, 1-9 (0: off)\n"
    "  --read-timeout=MS       time allowed for a request's head and each body read (default 30000)\n"
    "  --max-header-size=B     request line plus headers, in bytes (default 65536)\n"
    "  --max-body-size=B       request body, in bytes (default 67108864)\n"
    "  --max-connections=N     simultaneous connections (default 1024)\n"
    "  --upload-quota=B        bytes of files the upload folder may hold, 0 for no cap (default 1073741824)\n"
    "  --help                  this text\n";

// "--name=value" or "--name value"; true when AArgs[I] is that option (I then points at its value).
bool OptionValue(const std::vector<std::string>& AArgs, size_t& I, const std::string& AName, std::string& AValue,
                 bool& AMissing) {
  const std::string& A = AArgs[I];
  if (A == AName) {
    if (I + 1 >= AArgs.size()) {
      AMissing = true;
      return true;
    }
    AValue = AArgs[++I];
    return true;
  }
  if (StartsText(AName + "=", A) && A.compare(0, AName.size(), AName) == 0) {
    AValue = A.substr(AName.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

const char* KXCommandLineHelp() { return kHelp; }

TKXCommandLine KXParseCommandLine(const std::vector<std::string>& AArgs) {
  TKXCommandLine R;
  for (size_t I = 0; I < AArgs.size(); ++I) {
    const std::string& A = AArgs[I];
    if (A == "--headless") { R.Headless = true; continue; }
    if (A == "--help" || A == "-h") { R.Help = true; continue; }
    std::string Value;
    bool Missing = false;
    int64_t N = 0;
    auto Number = [&](const char* AName, int64_t AMin, int64_t AMax) {
      if (Missing || !TryStrToInt64(Value, N) || N < AMin || N > AMax) {
        R.Error = std::string("Invalid value for ") + AName + ": \"" + Value + "\"";
        return false;
      }
      return true;
    };
    TKXServerLimits& L = R.Options.Limits;
    if (OptionValue(AArgs, I, "--port", Value, Missing)) {
      if (Number("--port", 0, 65535)) R.Options.Port = static_cast<int>(N);
    } else if (OptionValue(AArgs, I, "--ssl-port", Value, Missing)) {
      if (Number("--ssl-port", 0, 65535)) R.Options.SSLPort = static_cast<int>(N);
    } else if (OptionValue(AArgs, I, "--compression", Value, Missing)) {
      if (Number("--compression", 0, 9)) R.Options.Compression = static_cast<int>(N);
    } else if (OptionValue(AArgs, I, "--read-timeout", Value, Missing)) {
      if (Number("--read-timeout", 0, INT32_MAX)) L.ReadTimeOutMs = static_cast<int>(N);
    } else if (OptionValue(AArgs, I, "--max-header-size", Value, Missing)) {
      if (Number("--max-header-size", 1, INT64_MAX)) L.MaxHeaderSize = N;
    } else if (OptionValue(AArgs, I, "--max-body-size", Value, Missing)) {
      if (Number("--max-body-size", 0, INT64_MAX)) L.MaxBodySize = N;
    } else if (OptionValue(AArgs, I, "--max-connections", Value, Missing)) {
      if (Number("--max-connections", 0, INT32_MAX)) L.MaxConnections = static_cast<int>(N);
    } else if (OptionValue(AArgs, I, "--upload-quota", Value, Missing)) {
      if (Number("--upload-quota", 0, INT64_MAX)) R.Options.UploadQuota = N;
    } else {
      R.Options.Switches.push_back(A);
    }
    if (!R.Error.empty()) break;
  }
  return R;
}

void KXBlockStopSignals() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
}

void KXSetThreadStackSize(size_t ABytes) {
  pthread_attr_t Attr;
  if (pthread_attr_init(&Attr) != 0) return;
  if (pthread_attr_setstacksize(&Attr, ABytes) == 0) pthread_setattr_default_np(&Attr);
  pthread_attr_destroy(&Attr);
}

TKXTerminalConsole::TKXTerminalConsole(std::ostream& AOut) : FOut(AOut) {}

void TKXTerminalConsole::RequestStop() { FStop = true; }

int TKXTerminalConsole::Run(const TKXConsoleOptions& AOptions) {
  TKXConsoleOptions Options = AOptions;
  Options.SaveSettings = false;
  TKXConsole Console(Options);
  Console.OnLogLine = [this](const std::string& ALine) { FOut << ALine << std::endl; };

  // The signal thread only records the request; the console closes on this thread, after the
  // signal thread has been joined, so nothing else touches the console meanwhile.
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  std::atomic<bool> Quitting{false};
  std::thread Signals([&] {
    int Sig = 0;
    sigwait(&Set, &Sig);
    // Only the flag: the console may still be opening; the loop below looks every 100 ms.
    if (!Quitting) FStop = true;
  });
  auto EndSignalThread = [&] {
    Quitting = true;
    pthread_kill(Signals.native_handle(), SIGTERM);   // directed at that thread: ends its sigwait
    Signals.join();
  };

  try {
    Console.Open();
  } catch (const std::exception& E) {
    FOut << "Start-up failed: " << E.what() << std::endl;
    EndSignalThread();
    return 1;
  }
  FOut << "Start address: " << Console.Server()->StartURL() << std::endl;
  if (Console.BitsPerSec() > 0)
    FOut << "Speed simulation: " << TKXConsole::FormatBytes(Console.BitsPerSec()) << " bits per second" << std::endl;
  while (!FStop) Console.ProcessNotifications(std::chrono::milliseconds(100));
  EndSignalThread();
  FOut << "Stopping." << std::endl;
  Console.ProcessNotifications(std::chrono::milliseconds(0));
  Console.Close();
  FOut << "Stopped." << std::endl;
  return 0;
}

int KXRunHost(int argc, char** argv, const TKXWindowFrontEnd& AWindow) {
  std::vector<std::string> Args(argv + 1, argv + argc);
  const TKXCommandLine Line = KXParseCommandLine(Args);
  if (Line.Help) {
    std::cout << kHelp;
    return 0;
  }
  if (!Line.Error.empty()) {
    std::cerr << Line.Error << "\n" << kHelp;
    return 2;
  }
  KXBlockStopSignals();
  KXSetThreadStackSize(kKXThreadStackSize);
  TKXScriptRecorder Recorder;
  KXSetScriptRecorder(&Recorder);
  TKXConsoleOptions Options;
  Options.Host = Line.Options;
  Options.Recorder = &Recorder;
  int Rc = -1;
  const char* X = std::getenv("DISPLAY");
  const char* W = std::getenv("WAYLAND_DISPLAY");
  if (!Line.Headless && ((X && *X) || (W && *W))) {
    std::string WhyNot = "no window front-end in this build";
    if (AWindow) Rc = AWindow(argc, argv, Options, WhyNot);
    if (Rc < 0) std::cout << "Console window unavailable (" << WhyNot << "): running in the terminal." << std::endl;
  }
  if (Rc < 0) {
    TKXTerminalConsole Terminal(std::cout);
    Rc = Terminal.Run(Options);
  }
  KXSetScriptRecorder(nullptr);
  return Rc;
}
