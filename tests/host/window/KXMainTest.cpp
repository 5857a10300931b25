// The console window on a real server: its widgets as the operator sees them, and the actions
// driven through the widgets themselves (QT_QPA_PLATFORM=offscreen unless the run says otherwise).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "KXAbout.h"
#include "KXMain.h"
#include "KXScriptRecorder.h"
#include "KXTestController.h"
#include "KXTestThreads.h"
#include "ServerController.h"
#include "SkTestClient.h"
#include "Unit1.h"
#include "forms/KXAppForm.h"
#include "server/KXSessions.h"
#include "session/KXApplication.h"

namespace {

const char kChrome[] = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

// Sessions get the demonstration's login form, so that a browser has something to open.
class WindowTest : public ::testing::Test {
protected:
  TKXTestControllerScope Scope{[](TKXTestController& C) {
    C.SetPort(0);
    C.SetBoundIP("127.0.0.1");
  }};
  const TKXClassInfo* SavedMain = TKXAppForm::MainFormClass();
  TKXScriptRecorder Recorder;
  std::unique_ptr<TFormKXMain> Window;

  void SetUp() override {
    KXRegisterDemoResources();
    TKXAppForm::SetAsMainForm<TKXForm1>();
    Open();
  }
  // A new window over the settings file ASettings (none: the first run).
  void Open(const char* ASettings = nullptr) {
    if (Window) Window->close();
    Window.reset();
    const std::string File = Scope.AppFolder() + "/window.kxb";
    std::filesystem::remove(File);
    if (ASettings) std::ofstream(File) << ASettings;
    TKXConsoleOptions O;
    O.SettingsFile = File;
    O.Recorder = &Recorder;
    Window = std::make_unique<TFormKXMain>(O);
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  }
  void TearDown() override {
    Window->close();
    Window.reset();
    TKXAppForm::SetMainFormClass(SavedMain);
  }

  template <class T> T* Find(const char* AName) {
    T* W = Window->findChild<T*>(AName);
    EXPECT_NE(W, nullptr) << AName;
    return W;
  }
  uint16_t Port() { return static_cast<uint16_t>(Scope.Controller().Port()); }
  static void StartSession(uint16_t APort) {
    SkRoundTrip(APort, "GET / HTTP/1.0\r\nUser-Agent: " + std::string(kChrome) + "\r\n\r\n");
  }
  // Lets the queued notifications of worker threads reach the window.
  bool WaitFor(const std::function<bool()>& ADone) {
    for (int I = 0; I < 500 && !ADone(); ++I) QTest::qWait(10);
    return ADone();
  }
  QStringList Entries(QMenu* AMenu) {
    QStringList R;
    for (QAction* A : AMenu->actions()) R << (A->isSeparator() ? QString("-") : A->text());
    return R;
  }
};

}  // namespace

TEST_F(WindowTest, WidgetsAndCaptionsAreThoseOfTheConsole) {
  EXPECT_EQ(Window->windowTitle(), QCoreApplication::applicationName() + " Server");
  EXPECT_FALSE(Window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(Window->size(), QSize(358, 310));

  auto* Pages = Find<QTabWidget>("pctrlMain");
  ASSERT_EQ(Pages->count(), 2);
  EXPECT_EQ(Pages->tabText(0), "Server");
  EXPECT_EQ(Pages->tabText(1), "Log");
  EXPECT_EQ(Pages->currentWidget()->objectName(), "tabsLog") << "the Log page is active at start";
  EXPECT_TRUE(Find<QPlainTextEdit>("memoLog")->isReadOnly());
  EXPECT_TRUE(Find<QPlainTextEdit>("memoLog")->toPlainText().startsWith("Pellora Version: 10.0.0\n"));

  const struct {
    const char* Name;
    const char* Text;
    int Left, Top;
  } Labels[] = {{"lablTextSession", "Active Sessions: ", 0, 7}, {"lablSessions", "0", 108, 7},
                {"lablTextSent", "Sent: ", 162, 7},           {"lablData", "0 bytes", 198, 7},
                {"lablTextDevice", "Device Simulation ", 0, 40}, {"lablTextSpeed", "Speed Simulation", 0, 84},
                {"lablTextParams", "Runtime parameters", 0, 123}, {"FCustomSpeedLabel", "Custom speed (bps)", 4, 163}};
  for (const auto& L : Labels) {
    SCOPED_TRACE(L.Name);
    auto* Label = Find<QLabel>(L.Name);
    ASSERT_NE(Label, nullptr);
    EXPECT_EQ(Label->text(), L.Text);
    EXPECT_EQ(Label->pos(), QPoint(5 + L.Left, 5 + L.Top)) << "the page's 5-pixel border";
  }
  EXPECT_EQ(Find<QComboBox>("cboxSimulator")->geometry(), QRect(113, 41, 145, 21));
  EXPECT_EQ(Find<QComboBox>("cboxSpeed")->count(), 8);
  EXPECT_EQ(Find<QComboBox>("cboxSpeed")->itemText(7), "Custom...");
  EXPECT_EQ(Find<QComboBox>("cboxSimulator")->itemText(3), "Mobile (XHTML MP)");
  EXPECT_EQ(Find<QLineEdit>("editParams")->geometry(), QRect(113, 125, 208, 21));
  EXPECT_EQ(Find<QLineEdit>("FCustomSpeedEdit")->text(), "0");
  EXPECT_FALSE(Find<QLineEdit>("FCustomSpeedEdit")->isVisible());

  QStringList Bar;
  for (QAction* A : Find<QToolBar>("tbarMain")->actions()) {
    QWidget* W = Find<QToolBar>("tbarMain")->widgetForAction(A);
    Bar << W->objectName();
  }
  EXPECT_EQ(Bar, QStringList({"butnExecute", "butnCopyLink", "butnResetSession", "ToolButton4", "butnDebugLog",
                              "butnUseSSL", "ToolButton7", "butnHelp"}));
  EXPECT_EQ(Find<QToolButton>("butnHelp")->toolTip(), "About Pellora");
  EXPECT_EQ(Find<QToolBar>("tbarMain")->iconSize(), QSize(16, 16)) << "small images at start";
  EXPECT_EQ(Find<QFrame>("ToolButton4")->width(), 4);

  QStringList Menus;
  for (QAction* A : Find<QMenuBar>("menuMain")->actions()) Menus << A->text();
  EXPECT_EQ(Menus, QStringList({"File", "Settings", "Tools", "Script Recorder"}));
  EXPECT_EQ(Entries(Find<QMenu>("File1")), QStringList({"Execute", "-", "Shutdown"}));
  EXPECT_EQ(Entries(Find<QMenu>("Settings1")),
            QStringList({"View", "-", "Debug Log", "Use SSL", "-", "Run Minimized", "Run in Tray icon", "-", "Browser"}));
  EXPECT_EQ(Entries(Find<QMenu>("View1")), QStringList({"Small Icons", "Large Icons"}));
  EXPECT_EQ(Entries(Find<QMenu>("Browser1")),
            QStringList({"Default", "-", "Internet Explorer", "FireFox", "Opera", "Mozilla", "Netscape"}));
  EXPECT_EQ(Entries(Find<QMenu>("ools1")), QStringList({"Copy Start URL", "-", "Reset Sessions", "Reset Sent data"}));
  EXPECT_EQ(Entries(Find<QMenu>("menuItemScriptRecorder")), QStringList({"Start", "Stop", "Save"}));
  EXPECT_EQ(Entries(Find<QMenu>("popupMain")),
            QStringList({QCoreApplication::applicationName(), "-", "Restore", "Shutdown"}));
  EXPECT_EQ(Find<QMenu>("popupMain")->defaultAction()->text(), "Restore");
  EXPECT_EQ(Window->Action(actnExecute)->shortcut(), QKeySequence("F9"));
  EXPECT_EQ(Window->Action(actnOpera)->shortcut(), QKeySequence("Ctrl+P"));

  for (const auto* List : {&Window->LargeImages(), &Window->SmallImages()}) {
    ASSERT_EQ(List->size(), 11u);
    for (const QPixmap& P : *List) EXPECT_FALSE(P.isNull()) << "every picture is compiled in";
  }
  EXPECT_EQ(Window->LargeImages()[0].size(), QSize(24, 24));
  EXPECT_EQ(Window->SmallImages()[10].size(), QSize(16, 16));
}

TEST_F(WindowTest, ServerPageRulesAndTheAboutBox) {
  auto* Speed = Find<QComboBox>("cboxSpeed");
  auto* Custom = Find<QLineEdit>("FCustomSpeedEdit");
  Find<QTabWidget>("pctrlMain")->setCurrentIndex(0);
  Custom->setText("abc");
  Speed->setCurrentIndex(7);
  emit Speed->activated(7);
  EXPECT_TRUE(Custom->isVisible());
  EXPECT_EQ(Window->Console().BitsPerSec(), 0) << "Custom... with \"abc\": unlimited";
  Custom->clear();
  QTest::keyClicks(Custom, "50000");
  EXPECT_EQ(Window->Console().Server()->HTTPServerModule()->BitsPerSec(), 50000);
  Speed->setCurrentIndex(5);
  emit Speed->activated(5);
  EXPECT_FALSE(Custom->isVisible());
  EXPECT_EQ(Find<QLabel>("imgSpeed")->property("picture").toString(), "DEV_CABLE");
  EXPECT_EQ(Window->Console().Server()->HTTPServerModule()->BitsPerSec(), 384000);

  auto* Device = Find<QComboBox>("cboxSimulator");
  Device->setCurrentIndex(1);
  emit Device->activated(1);
  EXPECT_TRUE(Window->Console().Server()->HTML32());
  EXPECT_TRUE(Find<QLabel>("imgDevice")->isVisible());
  EXPECT_EQ(Find<QLabel>("imgDevice")->size(), QSize(32, 32));
  QTest::keyClicks(Find<QLineEdit>("editParams"), "a=1");
  EXPECT_EQ(Window->Console().Server()->StartURL().substr(Window->Console().Server()->StartURL().size() - 8),
            "/32/?a=1");

  QTest::mouseClick(Find<QToolButton>("butnCopyLink"), Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), Window->Console().Server()->StartURL());

  Window->Action(actnOpera)->setEnabled(true);   // found or not, the marks follow the choice
  Window->Action(actnOpera)->trigger();
  EXPECT_TRUE(Window->Action(actnOpera)->isChecked());
  EXPECT_FALSE(Window->Action(actnBrowserDefault)->isChecked());
  EXPECT_EQ(Window->Action(actnExecute)->icon().pixmap(24).toImage(), Window->LargeImages()[6].toImage());

  Window->Action(actnLargeIcons)->trigger();
  EXPECT_EQ(Find<QToolBar>("tbarMain")->iconSize(), QSize(24, 24));
  EXPECT_EQ(Find<QFrame>("ToolButton7")->width(), 8);
  EXPECT_TRUE(Window->Action(actnLargeIcons)->isChecked());
  EXPECT_FALSE(Window->Action(actnSmallIcons)->isChecked());

  QTest::mouseClick(Find<QToolButton>("butnHelp"), Qt::LeftButton);
  TFormKXAbout* About = Window->AboutBox();
  ASSERT_NE(About, nullptr);
  EXPECT_TRUE(About->isVisible());
  EXPECT_TRUE(About->isModal());
  EXPECT_EQ(About->windowTitle(), "About Pellora");
  EXPECT_EQ(About->size(), QSize(360, 270)) << "sized to its picture";
  EXPECT_EQ(About->findChild<QLabel*>("lablVersion")->text(), "Version 10.0.0");
  QTest::mouseClick(About->findChild<QLabel*>("lablNumber"), Qt::LeftButton);
  EXPECT_FALSE(About->isVisible()) << "a click on a label closes the box";
}

TEST_F(WindowTest, ResetSessionsClearsTheServersRealSessions) {
  for (int I = 0; I < 3; ++I) StartSession(Port());
  auto* Sessions = Find<QLabel>("lablSessions");
  EXPECT_TRUE(WaitFor([&] { return Sessions->text() == "3"; })) << Sessions->text().toStdString();
  EXPECT_NE(Find<QLabel>("lablData")->text(), "0 bytes");
  QTest::mouseClick(Find<QToolButton>("butnResetSession"), Qt::LeftButton);
  EXPECT_EQ(Window->Console().Server()->Sessions().Count(), 0);
  EXPECT_EQ(Sessions->text(), "0");
  EXPECT_EQ(Find<QLabel>("lablData")->text(), "0 bytes");
  QTest::qWait(50);
  EXPECT_EQ(Sessions->text(), "0") << "the queued changes of the reset agree";
}

TEST_F(WindowTest, AThousandSessionsStartingAndEndingOnOtherThreadsLoseNoCount) {
  constexpr int kThreads = 4, kEach = 250;
  // The window thread takes notifications meanwhile.
  auto OnThreads = [](const std::function<void(int)>& AWork) { KXRunOnThreads(kThreads, AWork, [] { QTest::qWait(1); }); };
  TKXSessions& Registry = Window->Console().Server()->Sessions();
  std::vector<std::vector<std::string>> IDs(kThreads);
  OnThreads([&](int T) {
    for (int I = 0; I < kEach; ++I) {
      const TKXSessionHandle H = Registry.AddSessionAndLock(std::make_unique<TKXApplication>(
          Scope.Controller(), TKXBrowserType{brChrome, brsNone}, kChrome, "127.0.0.1", "", "", "", TSkStringList(), ""));
      IDs[static_cast<size_t>(T)].push_back(H->AppID());
    }
  });
  auto* Sessions = Find<QLabel>("lablSessions");
  EXPECT_TRUE(WaitFor([&] { return Sessions->text() == "1000"; })) << Sessions->text().toStdString();
  OnThreads([&](int T) {
    for (const std::string& ID : IDs[static_cast<size_t>(T)]) Registry.Terminate(ID);
  });
  EXPECT_TRUE(WaitFor([&] { return Sessions->text() == "0"; })) << Sessions->text().toStdString();
  EXPECT_EQ(Window->Console().SessionCount(), 0);
  EXPECT_EQ(Window->Console().Server()->ActiveSessions(), 0);
  QTest::qWait(50);
  EXPECT_EQ(Sessions->text(), "0");
}

TEST_F(WindowTest, DebugLogOnGivesOneBytesLinePerResponse) {
  auto* Memo = Find<QPlainTextEdit>("memoLog");
  auto BytesLines = [&] { return Memo->toPlainText().count(" Bytes: "); };
  SkRoundTrip(Port(), "GET /favicon.ico HTTP/1.0\r\n\r\n");
  QTest::qWait(100);
  EXPECT_EQ(BytesLines(), 0) << "debug log off";
  QTest::mouseClick(Find<QToolButton>("butnDebugLog"), Qt::LeftButton);
  EXPECT_TRUE(Window->Action(actnDebug)->isChecked());
  constexpr int kRequests = 5;
  for (int I = 0; I < kRequests; ++I) SkRoundTrip(Port(), "GET /favicon.ico HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(WaitFor([&] { return BytesLines() >= kRequests; }));
  QTest::qWait(50);
  EXPECT_EQ(BytesLines(), kRequests);
}

TEST_F(WindowTest, RecorderActionsFollowTheRecordingAndSaveWritesTheUnit) {
  EXPECT_TRUE(Window->Action(actionStartRecording)->isEnabled());
  EXPECT_FALSE(Window->Action(actionStopRecording)->isEnabled());
  Window->Action(actionStartRecording)->trigger();
  EXPECT_TRUE(Recorder.IsRecording());
  EXPECT_FALSE(Window->Action(actionStartRecording)->isEnabled());
  EXPECT_TRUE(Window->Action(actionStopRecording)->isEnabled());
  Window->Action(actionStopRecording)->trigger();
  const std::string Path = Scope.AppFolder() + "/Saved.cpp";
  Window->ChooseRecordingFile = [&] { return Path; };
  Window->Action(actionSaveRecording)->trigger();
  EXPECT_TRUE(std::filesystem::exists(Path));

  Window->ChooseRecordingFile = [&] { return Scope.AppFolder() + "/missing/Saved.cpp"; };
  Window->Action(actionSaveRecording)->trigger();
  EXPECT_NE(Window->findChild<QWidget*>("ErrorBox"), nullptr) << "the error is shown; the window stays";
  EXPECT_TRUE(Window->isVisible());
}

TEST_F(WindowTest, TrayMinimiseAndRestore) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_EQ(Window->TrayIcon(), nullptr);
    EXPECT_TRUE(Find<QPlainTextEdit>("memoLog")->toPlainText().contains("No notification area on this desktop"));
    Window->showMinimized();
    QTest::qWait(20);
    EXPECT_TRUE(Window->isVisible()) << "without a tray the window just minimises";
    Window->Restore();
    EXPECT_FALSE(Window->isMinimized());
    return;
  }
  ASSERT_NE(Window->TrayIcon(), nullptr) << "a first run shows the tray icon";
  Window->showMinimized();
  EXPECT_TRUE(WaitFor([&] { return !Window->isVisible(); })) << "minimised with a tray icon: only the icon remains";
  emit Window->TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(Window->isVisible());
  Window->Action(actnRunTray)->trigger();
  EXPECT_EQ(Window->TrayIcon(), nullptr);
}

TEST_F(WindowTest, SettingsShowInTheListsAndRunMinimizedStartsMinimised) {
  Open("[Main]\nRunMinimized=1\nRunInTray=0\nHTML32=1\nWML=1\n[HTTP]\nSpeedLimit=50000\n");
  EXPECT_TRUE(WaitFor([&] { return Window->isMinimized(); }));
  EXPECT_TRUE(Window->Action(actnRunMinimized)->isChecked());
  EXPECT_FALSE(Window->Action(actnRunTray)->isChecked());
  EXPECT_EQ(Window->TrayIcon(), nullptr);
  EXPECT_EQ(Find<QComboBox>("cboxSimulator")->currentText(), "Mobile (WML)");
  EXPECT_EQ(Find<QLabel>("imgDevice")->property("picture").toString(), "PHONE");
  EXPECT_EQ(Find<QComboBox>("cboxSpeed")->currentText(), "Custom...");
  EXPECT_EQ(Find<QLineEdit>("FCustomSpeedEdit")->text(), "50000");
  EXPECT_FALSE(Find<QLineEdit>("FCustomSpeedEdit")->isHidden());
  Window->Restore();
  EXPECT_FALSE(Window->isMinimized());
  EXPECT_TRUE(Window->isVisible());
}

// The real window under a real X server (xvfb-run), with a browser's session counted.
TEST_F(WindowTest, ScreenshotOfTheServerPageWithALiveSession) {
  const char* Artifacts = std::getenv("KX_WINDOW_ARTIFACTS");
  if (QGuiApplication::platformName() != "xcb" || !Artifacts) GTEST_SKIP() << "needs an X server (see CTest)";
  const char* Chromium = std::getenv("KX_CHROMIUM");
  const std::string Browser = Chromium && *Chromium ? Chromium : "/usr/bin/chromium";
  ASSERT_TRUE(std::filesystem::exists(Browser)) << Browser;
  std::filesystem::path Profile = std::filesystem::path(Scope.AppFolder()) / "chromium-profile";
  const std::string URL = Window->Console().Server()->StartURL();
  std::atomic<bool> BrowserDone{false};
  std::thread Visit([&] {
    const std::string Command = "'" + Browser + "' --headless --no-sandbox --disable-gpu --disable-quic " +
                                "--no-first-run --disable-background-networking --disable-component-update " +
                                "--disable-sync --user-data-dir='" + Profile.string() + "' --dump-dom '" + URL +
                                "' > /dev/null 2>&1";
    (void)std::system(Command.c_str());
    BrowserDone = true;
  });
  auto* Sessions = Find<QLabel>("lablSessions");
  const bool Counted = WaitFor([&] { return Sessions->text() == "1"; });
  while (!BrowserDone) QTest::qWait(20);
  Visit.join();
  ASSERT_TRUE(Counted) << Sessions->text().toStdString();
  Find<QTabWidget>("pctrlMain")->setCurrentIndex(0);
  QTest::qWait(200);
  std::filesystem::create_directories(Artifacts);
  const QPixmap Shot = Window->screen()->grabWindow(0, Window->frameGeometry().x(), Window->frameGeometry().y(),
                                                    Window->frameGeometry().width(), Window->frameGeometry().height());
  const QString File = QString::fromStdString(std::string(Artifacts) + "/console-window.png");
  ASSERT_TRUE(Shot.save(File)) << File.toStdString();
  std::printf("screenshot: %s\n", File.toStdString().c_str());
}
