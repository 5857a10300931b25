#include "KXWindowFrontEnd.h"

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "KXMain.h"

namespace {

std::string Env(const char* AName) {
  const char* V = std::getenv(AName);
  return V ? V : "";
}

bool XDisplayAnswers() {
  int Screen = 0;
  xcb_connection_t* C = xcb_connect(nullptr, &Screen);
  const bool Ok = C && xcb_connection_has_error(C) == 0;
  if (C) xcb_disconnect(C);
  return Ok;
}

bool WaylandAnswers() {
  std::string Path = Env("WAYLAND_DISPLAY");
  if (Path.empty()) return false;
  if (Path[0] != '/') Path = Env("XDG_RUNTIME_DIR") + "/" + Path;
  sockaddr_un A{};
  if (Path.size() >= sizeof A.sun_path) return false;
  A.sun_family = AF_UNIX;
  std::memcpy(A.sun_path, Path.c_str(), Path.size());
  const int Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (Fd < 0) return false;
  const bool Ok = connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0;
  close(Fd);
  return Ok;
}

bool QtHasWayland() {
  const QDir Platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
  return !Platforms.entryList({"libqwayland*.so"}, QDir::Files).isEmpty();
}

// Takes SIGINT and SIGTERM (blocked in every thread by the program entry) and closes the window
// on its own thread, as the terminal front-end stops on them.
class TStopSignals {
public:
  explicit TStopSignals(QWidget* AWindow) : FWindow(AWindow) {
    FThread = std::thread([this] {
      sigset_t Set;
      sigemptyset(&Set);
      sigaddset(&Set, SIGINT);
      sigaddset(&Set, SIGTERM);
      int Sig = 0;
      sigwait(&Set, &Sig);
      if (FQuitting) return;
      QMetaObject::invokeMethod(qApp, [W = FWindow] {
        if (W) W->close();
      }, Qt::QueuedConnection);
    });
  }
  ~TStopSignals() {
    FQuitting = true;
    pthread_kill(FThread.native_handle(), SIGTERM);   // directed at that thread: ends its sigwait
    FThread.join();
  }

private:
  QPointer<QWidget> FWindow;
  std::atomic<bool> FQuitting{false};
  std::thread FThread;
};

}  // namespace

bool KXDisplayReachable(std::string& AWhyNot) {
  AWhyNot.clear();
  const std::string Platform = Env("QT_QPA_PLATFORM");
  // a platform the operator chose that needs no display server (offscreen, vnc, ...) is theirs
  if (!Platform.empty() && Platform.rfind("xcb", 0) != 0 && Platform.rfind("wayland", 0) != 0) return true;
  const std::string X = Env("DISPLAY");
  if (!X.empty() && Platform.rfind("wayland", 0) != 0) {
    if (XDisplayAnswers()) return true;
    AWhyNot = "cannot connect to the X display \"" + X + "\"";
  }
  if (!Env("WAYLAND_DISPLAY").empty() && Platform.rfind("xcb", 0) != 0) {
    if (!QtHasWayland()) {
      if (AWhyNot.empty()) AWhyNot = "no Wayland support in the window toolkit, and no X display";
    } else if (WaylandAnswers()) {
      setenv("QT_QPA_PLATFORM", "wayland", 1);
      return true;
    } else {
      AWhyNot = "cannot connect to the Wayland display \"" + Env("WAYLAND_DISPLAY") + "\"";
    }
  }
  if (AWhyNot.empty()) AWhyNot = "no display";
  return false;
}

int KXRunConsoleWindow(int argc, char** argv, const TKXConsoleOptions& AOptions, std::string& AWhyNot) {
  if (!KXDisplayReachable(AWhyNot)) return -1;
  QApplication App(argc, argv);
  App.setWindowIcon(TFormKXMain::AppIcon());
  std::unique_ptr<TFormKXMain> Window;
  try {
    Window = std::make_unique<TFormKXMain>(AOptions);
  } catch (const std::exception& E) {
    std::cerr << "Start-up failed: " << E.what() << std::endl;
    return 1;
  }
  TStopSignals Signals(Window.get());
  QObject::connect(Window.get(), &TFormKXMain::Closed, &App, &QApplication::quit, Qt::QueuedConnection);
  Window->show();
  return App.exec();
}
