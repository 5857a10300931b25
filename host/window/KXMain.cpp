#include "KXMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "KXAbout.h"
#include "KXScriptRecorder.h"

namespace {

constexpr int kImageCount = 11;
constexpr int kAboutImage = 5;
constexpr int kPageBorder = 5;
constexpr int kLabelHeight = 13;
const char kDefaultTitle[] = "Kexalo (Pellora) Server";
const char kNoTray[] =
    "No notification area on this desktop: the window minimises instead of hiding behind a tray icon.";

QString Q(const std::string& AText) { return QString::fromStdString(AText); }
std::string S(const QString& AText) { return AText.toStdString(); }

// One entry of a menu: an action, or a separator with its name.
struct TMenuEntry {
  const char* SeparatorName;   // set for a separator
  TKXConsoleAction Action;
};
constexpr TKXConsoleAction kNone = kKXConsoleActionCount;
TMenuEntry Sep(const char* AName) { return {AName, kNone}; }
TMenuEntry Item(TKXConsoleAction AAction) { return {nullptr, AAction}; }

}  // namespace

TFormKXMain::TFormKXMain(const TKXConsoleOptions& AOptions, QWidget* AParent)
    : QMainWindow(AParent), FConsole(AOptions) {
  setObjectName("FormKXMain");
  LoadImages();
  CreateActions();
  CreateMenus();
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  CreateToolBar();
  CreatePages();
  setMenuBar(menuMain);
  resize(358, 310);
  ConnectConsole();
  FConsole.Open();
  const QString Title = QCoreApplication::applicationName();
  setWindowTitle(Title.isEmpty() ? QString(kDefaultTitle) : Title + " Server");
  PopupTitle->setText(Title);
  ShowConsoleState();
  if (const QScreen* Screen = screen()) move(Screen->availableGeometry().center() - rect().center());
}

TFormKXMain::~TFormKXMain() {
  // the console goes first and tells nothing more to widgets that are about to go
  FConsole.OnLogLine = nullptr;
  FConsole.OnSessionsChanged = nullptr;
  FConsole.OnSentChanged = nullptr;
  FConsole.Close();
  FreeTrayIcon();
}

QIcon TFormKXMain::AppIcon() {
  QIcon Icon(":/console/KX_ICON.png");
  Icon.addFile(":/console/KX_ICON_16.png");
  return Icon;
}

// ---------------------------------------------------------------------------------------------
// Construction

void TFormKXMain::LoadImages() {
  for (int I = 0; I < kImageCount; ++I) {
    ilstLarge.emplace_back(QString(":/console/LARGE_%1.png").arg(I));
    ilstSmall.emplace_back(QString(":/console/SMALL_%1.png").arg(I));
  }
}

void TFormKXMain::CreateActions() {
  for (int A = 0; A < kKXConsoleActionCount; ++A) {
    const auto Id = static_cast<TKXConsoleAction>(A);
    const TKXConsoleActionInfo& Info = KXConsoleActionInfo(Id);
    auto* Action = new QAction(Info.Caption, this);
    Action->setObjectName(Info.Name);
    Action->setToolTip(Info.Hint);
    Action->setStatusTip(Info.Hint);
    Action->setCheckable(Info.Checkable);
    Action->setProperty("category", Info.Category);
    if (*Info.Shortcut) Action->setShortcut(QKeySequence(Info.Shortcut));
    connect(Action, &QAction::triggered, this, [this, Id] { RunAction(Id); });
    FActions[A] = Action;
  }
  actnAbout = new QAction("About", this);
  actnAbout->setObjectName("actnAbout");
  actnAbout->setToolTip("About Pellora");
  connect(actnAbout, &QAction::triggered, this, &TFormKXMain::ShowAbout);
  Restore1 = new QAction("Restore", this);
  Restore1->setObjectName("Restore1");
  connect(Restore1, &QAction::triggered, this, &TFormKXMain::Restore);
}

void TFormKXMain::CreateMenus() {
  menuMain = new QMenuBar(this);
  menuMain->setObjectName("menuMain");
  auto Fill = [this](QMenu* AMenu, std::initializer_list<TMenuEntry> AEntries) {
    for (const TMenuEntry& E : AEntries) {
      if (E.SeparatorName)
        AMenu->addSeparator()->setObjectName(E.SeparatorName);
      else
        AMenu->addAction(FActions[E.Action]);
    }
  };
  auto Menu = [this](QWidget* AParent, const char* AName, const char* ATitle) {
    auto* M = new QMenu(ATitle, AParent);
    M->setObjectName(AName);
    return M;
  };
  File1 = Menu(menuMain, "File1", "File");
  Fill(File1, {Item(actnExecute), Sep("N1"), Item(actnShutdown)});
  Settings1 = Menu(menuMain, "Settings1", "Settings");
  View1 = Menu(Settings1, "View1", "View");
  Fill(View1, {Item(actnSmallIcons), Item(actnLargeIcons)});
  Browser1 = Menu(Settings1, "Browser1", "Browser");
  Fill(Browser1, {Item(actnBrowserDefault), Sep("N7"), Item(actnIE), Item(actnFireFox), Item(actnOpera),
                  Item(actnMozilla), Item(actnNetscape)});
  Settings1->addMenu(View1);
  Fill(Settings1, {Sep("N5"), Item(actnDebug), Item(actnUseSSL), Sep("N4"), Item(actnRunMinimized), Item(actnRunTray),
                   Sep("N3")});
  Settings1->addMenu(Browser1);
  ools1 = Menu(menuMain, "ools1", "Tools");
  Fill(ools1, {Item(actnCopyLink), Sep("N2"), Item(actnResetSessions), Item(actnResetBytes)});
  menuItemScriptRecorder = Menu(menuMain, "menuItemScriptRecorder", "Script Recorder");
  Fill(menuItemScriptRecorder, {Item(actionStartRecording), Item(actionStopRecording), Item(actionSaveRecording)});
  for (QMenu* M : {File1, Settings1, ools1, menuItemScriptRecorder}) menuMain->addMenu(M);

  popupMain = Menu(this, "popupMain", "");
  PopupTitle = popupMain->addAction(QCoreApplication::applicationName());
  PopupTitle->setObjectName("PopupTitle");
  popupMain->addSeparator()->setObjectName("N6");
  popupMain->addAction(Restore1);
  popupMain->setDefaultAction(Restore1);
  popupMain->addAction(FActions[actnShutdown]);
}

void TFormKXMain::CreateToolBar() {
  tbarMain = new QToolBar(this);
  tbarMain->setObjectName("tbarMain");
  tbarMain->setMovable(false);
  tbarMain->setFloatable(false);
  tbarMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
  addToolBar(Qt::TopToolBarArea, tbarMain);
  auto Button = [this](QAction* AAction, const char* AName) {
    tbarMain->addAction(AAction);
    auto* B = qobject_cast<QToolButton*>(tbarMain->widgetForAction(AAction));
    B->setObjectName(AName);
    B->setAutoRaise(true);   // flat
    return B;
  };
  auto Separator = [this](const char* AName) {
    auto* Line = new QFrame(tbarMain);
    Line->setObjectName(AName);
    Line->setFrameShape(QFrame::VLine);
    Line->setFrameShadow(QFrame::Sunken);
    tbarMain->addWidget(Line);
    return Line;
  };
  butnExecute = Button(FActions[actnExecute], "butnExecute");
  butnCopyLink = Button(FActions[actnCopyLink], "butnCopyLink");
  butnResetSession = Button(FActions[actnResetSessions], "butnResetSession");
  ToolButton4 = Separator("ToolButton4");
  butnDebugLog = Button(FActions[actnDebug], "butnDebugLog");
  butnUseSSL = Button(FActions[actnUseSSL], "butnUseSSL");
  ToolButton7 = Separator("ToolButton7");
  butnHelp = Button(actnAbout, "butnHelp");
}

void TFormKXMain::CreatePages() {
  pctrlMain = new QTabWidget(this);
  pctrlMain->setObjectName("pctrlMain");
  setCentralWidget(pctrlMain);

  tabsServer = new QWidget;
  tabsServer->setObjectName("tabsServer");
  // The page is laid out in pixels for a small dialog font: with the desktop's usual one the
  // labels would run under the lists beside them.
  QFont PageFont = tabsServer->font();
  PageFont.setPixelSize(10);
  tabsServer->setFont(PageFont);
  auto Label = [this](const char* AName, const char* AText, int ALeft, int ATop) {
    auto* L = new QLabel(AText, tabsServer);
    L->setObjectName(AName);
    L->move(kPageBorder + ALeft, kPageBorder + ATop);
    L->adjustSize();   // the labels size themselves to their text
    L->resize(L->width(), std::max(L->height(), kLabelHeight));
    return L;
  };
  auto Picture = [this](const char* AName, int ALeft, int ATop) {
    auto* P = new QLabel(tabsServer);
    P->setObjectName(AName);
    P->setGeometry(kPageBorder + ALeft, kPageBorder + ATop, 32, 32);
    P->hide();
    return P;
  };
  auto List = [this](const char* AName, const std::vector<std::string>& AItems, int ATop) {
    auto* C = new QComboBox(tabsServer);
    C->setObjectName(AName);
    C->setEditable(false);
    for (const std::string& I : AItems) C->addItem(Q(I));
    C->setGeometry(kPageBorder + 108, kPageBorder + ATop, 145, 21);
    return C;
  };
  lablTextSession = Label("lablTextSession", "Active Sessions: ", 0, 7);
  lablSessions = Label("lablSessions", "0", 108, 7);
  lablTextSent = Label("lablTextSent", "Sent: ", 162, 7);
  lablData = Label("lablData", "0 bytes", 198, 7);
  lablTextDevice = Label("lablTextDevice", "Device Simulation ", 0, 40);
  cboxSimulator = List("cboxSimulator", TKXConsole::DeviceItems(), 36);
  imgDevice = Picture("imgDevice", 264, 27);
  lablTextSpeed = Label("lablTextSpeed", "Speed Simulation", 0, 84);
  cboxSpeed = List("cboxSpeed", TKXConsole::SpeedItems(), 81);
  imgSpeed = Picture("imgSpeed", 264, 71);
  lablTextParams = Label("lablTextParams", "Runtime parameters", 0, 123);
  editParams = new QLineEdit(tabsServer);
  editParams->setObjectName("editParams");
  editParams->setGeometry(kPageBorder + 108, kPageBorder + 120, 208, 21);
  FCustomSpeedLabel = Label("FCustomSpeedLabel", "Custom speed (bps)", 4, 163);
  FCustomSpeedLabel->hide();
  FCustomSpeedEdit = new QLineEdit("0", tabsServer);
  FCustomSpeedEdit->setObjectName("FCustomSpeedEdit");
  FCustomSpeedEdit->setGeometry(kPageBorder + 108, kPageBorder + 160, 150, 21);
  FCustomSpeedEdit->hide();
  setTabOrder(cboxSimulator, cboxSpeed);
  setTabOrder(cboxSpeed, editParams);

  tabsLog = new QWidget;
  tabsLog->setObjectName("tabsLog");
  memoLog = new QPlainTextEdit(tabsLog);
  memoLog->setObjectName("memoLog");
  memoLog->setReadOnly(true);
  memoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memoLog->setMaximumBlockCount(static_cast<int>(FConsole.MaxLogLines()));
  auto* LogLayout = new QHBoxLayout(tabsLog);
  LogLayout->setContentsMargins(kPageBorder, kPageBorder, kPageBorder, kPageBorder);
  LogLayout->addWidget(memoLog);

  pctrlMain->addTab(tabsServer, "Server");
  pctrlMain->addTab(tabsLog, "Log");
  pctrlMain->setCurrentWidget(tabsLog);
  memoLog->clear();
}

void TFormKXMain::ConnectConsole() {
  TKXConsole& C = FConsole;
  C.OnLogLine = [this](const std::string& ALine) { memoLog->appendPlainText(Q(ALine)); };
  C.OnSessionsChanged = [this](int32_t ACount) { lablSessions->setText(QString::asprintf("%d", ACount)); };
  C.OnSentChanged = [this](int32_t ATotal) { lablData->setText(Q(TKXConsole::FormatByteCount(ATotal))); };
  C.OnClose = [this] { close(); };
  C.OnMinimize = [this] { MinimizeRequested(); };
  C.OnTrayIcon = [this](bool AOn) { AOn ? CreateTrayIcon() : FreeTrayIcon(); };
  C.OnToolBarLook = [this](const TKXToolBarLook& ALook) { ApplyToolBarLook(ALook); };
  C.OnCopyToClipboard = [](const std::string& AURL) { QGuiApplication::clipboard()->setText(Q(AURL)); };
  C.OnChooseRecordingFile = [this] { return ChooseRecordingFile ? ChooseRecordingFile() : DefaultRecordingFile(); };
  // Worker threads post; the first post into an empty queue schedules one drain on this thread.
  C.OnNotificationsPosted = [this] {
    QMetaObject::invokeMethod(this, &TFormKXMain::DrainNotifications, Qt::QueuedConnection);
  };

  connect(cboxSimulator, &QComboBox::activated, this, &TFormKXMain::DeviceChanged);
  connect(cboxSpeed, &QComboBox::activated, this, &TFormKXMain::SpeedChanged);
  connect(FCustomSpeedEdit, &QLineEdit::textEdited, this, [this](const QString& AText) {
    FConsole.SetCustomSpeed(S(AText));
  });
  connect(editParams, &QLineEdit::textEdited, this, [this](const QString& AText) { FConsole.SetParams(S(AText)); });
}

// The lists, edits and pictures from what the console read and applied.
void TFormKXMain::ShowConsoleState() {
  cboxSimulator->setCurrentIndex(FConsole.DeviceItem());
  ShowPicture(imgDevice, TKXConsole::DevicePicture(FConsole.DeviceItem()));
  editParams->setText(Q(FConsole.Params()));
  const int Speed = FConsole.SpeedItem();
  cboxSpeed->setCurrentIndex(Speed);
  FCustomSpeedEdit->setText(Q(FConsole.CustomSpeedText()));
  FCustomSpeedEdit->setVisible(Speed == TKXConsole::kCustomSpeedItem);
  FCustomSpeedLabel->setVisible(Speed == TKXConsole::kCustomSpeedItem);
  ShowPicture(imgSpeed, TKXConsole::SpeedPicture(Speed));
  lablSessions->setText(QString::asprintf("%d", FConsole.SessionCount()));
  lablData->setText(Q(TKXConsole::FormatByteCount(FConsole.SentBytes())));
  UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Actions and rules

void TFormKXMain::RunAction(TKXConsoleAction AAction) {
  try {
    FConsole.Execute(AAction);
  } catch (const std::exception& E) {
    ReportError(E.what());
  }
  if (!FClosed) UpdateActions();
}

void TFormKXMain::ReportError(const std::string& AMessage) {
  Log(AMessage);
  // not modal to the point of blocking: the server goes on serving while the box is open
  auto* Box = new QMessageBox(QMessageBox::Warning, windowTitle(), Q(AMessage), QMessageBox::Ok, this);
  Box->setObjectName("ErrorBox");
  Box->setAttribute(Qt::WA_DeleteOnClose);
  Box->open();
}

void TFormKXMain::UpdateActions() {
  for (int A = 0; A < kKXConsoleActionCount; ++A) {
    const TKXConsoleActionState State = FConsole.ActionState(static_cast<TKXConsoleAction>(A));
    QAction* Action = FActions[A];
    Action->setEnabled(State.Enabled);
    if (Action->isCheckable()) Action->setChecked(State.Checked);
    if (State.ImageIndex >= 0) {
      QIcon Icon;
      Icon.addPixmap(ilstSmall[State.ImageIndex]);
      Icon.addPixmap(ilstLarge[State.ImageIndex]);
      Action->setIcon(Icon);
    }
  }
  QIcon About;
  About.addPixmap(ilstSmall[kAboutImage]);
  About.addPixmap(ilstLarge[kAboutImage]);
  actnAbout->setIcon(About);
}

void TFormKXMain::ApplyToolBarLook(const TKXToolBarLook& ALook) {
  tbarMain->setIconSize(QSize(ALook.ButtonSize, ALook.ButtonSize));
  for (QFrame* Separator : {ToolButton4, ToolButton7}) Separator->setFixedWidth(ALook.SeparatorWidth);
}

void TFormKXMain::ShowPicture(QLabel* AImage, const std::string& AName) {
  AImage->setUpdatesEnabled(false);
  if (AName.empty()) {
    AImage->clear();
    AImage->hide();
  } else {
    const QPixmap Picture(Q(":/console/" + AName + ".png"));
    AImage->setPixmap(Picture);
    AImage->resize(Picture.size());   // sized to its picture
    AImage->show();
  }
  AImage->setProperty("picture", Q(AName));
  AImage->setUpdatesEnabled(true);
}

void TFormKXMain::DeviceChanged(int AItem) { ShowPicture(imgDevice, FConsole.SetDeviceItem(AItem)); }

void TFormKXMain::SpeedChanged(int AItem) {
  const bool Custom = AItem == TKXConsole::kCustomSpeedItem;
  FCustomSpeedLabel->setVisible(Custom);
  FCustomSpeedEdit->setVisible(Custom);
  ShowPicture(imgSpeed, FConsole.SetSpeedItem(AItem, S(FCustomSpeedEdit->text())));
}

void TFormKXMain::ShowAbout() {
  if (!FAbout) FAbout = new TFormKXAbout(this);
  FAbout->Popup();
}

std::string TFormKXMain::DefaultRecordingFile() {
  QFileDialog Dialog(this, "Save recording");
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setNameFilter("C++ source files (*.cpp)");
  Dialog.setDefaultSuffix("cpp");
  Dialog.selectFile("KXTestUnit.cpp");
  // asking before an existing file is overwritten is the dialog's default
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return {};
  return S(Dialog.selectedFiles().first());
}

// ---------------------------------------------------------------------------------------------
// Log and notifications

void TFormKXMain::Log(const std::string& AMsg) { FConsole.Log(AMsg); }

void TFormKXMain::LogBytes(int32_t ABytes) { FConsole.LogBytes(ABytes); }

void TFormKXMain::DrainNotifications() { FConsole.ProcessNotifications(std::chrono::milliseconds(0)); }

// ---------------------------------------------------------------------------------------------
// Tray icon and window states

void TFormKXMain::CreateTrayIcon() {
  if (FTrayIcon) return;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (!FTrayMissingLogged) Log(kNoTray);
    FTrayMissingLogged = true;
    return;
  }
  FTrayIcon = new QSystemTrayIcon(windowIcon(), this);
  FTrayIcon->setObjectName("FIconData");
  FTrayIcon->setToolTip(QCoreApplication::applicationName().left(127));
  FTrayIcon->setContextMenu(popupMain);   // the right button opens it at the cursor
  connect(FTrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason AReason) {
    if (AReason == QSystemTrayIcon::DoubleClick) Restore();
  });
  FTrayIcon->show();
}

void TFormKXMain::FreeTrayIcon() {
  delete FTrayIcon;
  FTrayIcon = nullptr;
}

void TFormKXMain::Restore() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  showNormal();
  activateWindow();
}

void TFormKXMain::MinimizeRequested() {
  if (isVisible())
    showMinimized();
  else
    FMinimizeOnFirstShow = true;   // Run Minimized at start-up: minimised once the window is shown
}

// With Run in Tray icon on and a tray to go to, the window hides and only the icon remains.
void TFormKXMain::ApplyMinimizeRule() {
  if (FConsole.RunInTray() && FTrayIcon) hide();
}

void TFormKXMain::changeEvent(QEvent* AEvent) {
  QMainWindow::changeEvent(AEvent);
  if (AEvent->type() == QEvent::WindowStateChange && isMinimized())
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) ApplyMinimizeRule();
    });
}

void TFormKXMain::showEvent(QShowEvent* AEvent) {
  QMainWindow::showEvent(AEvent);
  if (!FMinimizeOnFirstShow) return;
  FMinimizeOnFirstShow = false;
  QTimer::singleShot(0, this, [this] {
    showMinimized();
    ApplyMinimizeRule();
  });
}

void TFormKXMain::closeEvent(QCloseEvent* AEvent) {
  // The listeners stop and the settings are written now, while the window still exists.
  FClosed = true;
  FConsole.Close();
  FreeTrayIcon();
  AEvent->accept();
  emit Closed();
}
