#pragma once
// The server console window: widgets and their wiring only. What the actions do, the rules of
// the device and speed lists, the counters and the settings file are the console's
// (host/KXConsole.h); the window mirrors its state and forwards the operator's choices.
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "KXConsole.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QTabWidget;
class QToolBar;
class QToolButton;
class TFormKXAbout;

class TFormKXMain : public QMainWindow {
  Q_OBJECT

public:
  // Builds the window, then opens the console (the server starts listening and logs its
  // start-up lines here). Raises what the server's start-up raised.
  explicit TFormKXMain(const TKXConsoleOptions& AOptions, QWidget* AParent = nullptr);
  ~TFormKXMain() override;

  TKXConsole& Console() { return FConsole; }
  // The application's icon (window, task bar and tray), 32 x 32 and 16 x 16.
  static QIcon AppIcon();
  // The image lists: eleven images each, 24 x 24 and 16 x 16.
  const std::vector<QPixmap>& LargeImages() const { return ilstLarge; }
  const std::vector<QPixmap>& SmallImages() const { return ilstSmall; }
  QAction* Action(TKXConsoleAction AAction) const { return FActions[AAction]; }
  QSystemTrayIcon* TrayIcon() const { return FTrayIcon; }
  TFormKXAbout* AboutBox() const { return FAbout; }

  void Log(const std::string& AMsg);
  void LogBytes(int32_t ABytes);
  void CreateTrayIcon();
  void FreeTrayIcon();
  void Restore();
  // Runs what worker threads posted (log lines, counts); queued to this thread as they arrive.
  void DrainNotifications();
  // Mirrors the console's action states (checked, enabled, images) into the actions.
  void UpdateActions();
  void ShowAbout();

  // Where Save puts the recording; the default shows a save-file dialog. Empty: cancelled.
  std::function<std::string()> ChooseRecordingFile;

signals:
  // The console has stopped: the program may end (the window may be hidden in the tray).
  void Closed();

protected:
  void changeEvent(QEvent* AEvent) override;
  void showEvent(QShowEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;

private:
  void LoadImages();
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePages();
  void ConnectConsole();
  void ShowConsoleState();
  void RunAction(TKXConsoleAction AAction);
  void ReportError(const std::string& AMessage);
  void ApplyToolBarLook(const TKXToolBarLook& ALook);
  void ShowPicture(QLabel* AImage, const std::string& AName);
  void DeviceChanged(int AItem);
  void SpeedChanged(int AItem);
  void ApplyMinimizeRule();
  void MinimizeRequested();
  std::string DefaultRecordingFile();

  TKXConsole FConsole;

  QToolBar* tbarMain = nullptr;
  QToolButton *butnExecute = nullptr, *butnCopyLink = nullptr, *butnResetSession = nullptr;
  QToolButton *butnDebugLog = nullptr, *butnUseSSL = nullptr, *butnHelp = nullptr;
  QFrame *ToolButton4 = nullptr, *ToolButton7 = nullptr;   // the separators
  QTabWidget* pctrlMain = nullptr;
  QWidget* tabsServer = nullptr;
  QLabel *lablTextDevice = nullptr, *imgDevice = nullptr, *lablTextSpeed = nullptr, *imgSpeed = nullptr;
  QLabel *lablTextSent = nullptr, *lablTextSession = nullptr, *lablSessions = nullptr, *lablData = nullptr;
  QLabel* lablTextParams = nullptr;
  QComboBox *cboxSimulator = nullptr, *cboxSpeed = nullptr;
  QLineEdit* editParams = nullptr;
  QWidget* tabsLog = nullptr;
  QPlainTextEdit* memoLog = nullptr;
  QMenuBar* menuMain = nullptr;
  QMenu *File1 = nullptr, *Settings1 = nullptr, *View1 = nullptr, *Browser1 = nullptr, *ools1 = nullptr;
  QMenu* menuItemScriptRecorder = nullptr;
  QMenu* popupMain = nullptr;
  QAction *PopupTitle = nullptr, *Restore1 = nullptr, *actnAbout = nullptr;
  std::vector<QPixmap> ilstLarge, ilstSmall;
  std::array<QAction*, kKXConsoleActionCount> FActions{};
  QLineEdit* FCustomSpeedEdit = nullptr;
  QLabel* FCustomSpeedLabel = nullptr;
  QSystemTrayIcon* FTrayIcon = nullptr;
  TFormKXAbout* FAbout = nullptr;
  bool FMinimizeOnFirstShow = false;
  bool FTrayMissingLogged = false;
  bool FClosed = false;
};
