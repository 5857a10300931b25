// The console's behaviour without any window: its rules, the settings file, the actions and the
// script recorder, on a real server listening on a kernel-chosen port.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "KXConsole.h"
#include "KXHTTPServerModule.h"
#include "KXScriptRecorder.h"
#include "KXTestController.h"
#include "SkTestClient.h"
#include "server/KXSessions.h"
#include "session/KXApplication.h"

namespace fs = std::filesystem;

namespace {

const char kChrome[] = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

std::string ReadFile(const std::string& APath) {
  std::ifstream In(APath, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void WriteFile(const std::string& APath, const std::string& AText) { std::ofstream(APath, std::ios::binary) << AText; }

// A console over a test controller on 127.0.0.1, its settings file in the application folder.
struct TConsoleFixture {
  TKXTestControllerScope Scope{[](TKXTestController& C) {
    C.SetPort(0);
    C.SetBoundIP("127.0.0.1");
  }};
  std::string Settings = Scope.AppFolder() + "/console.kxb";
  TKXScriptRecorder Recorder;
  std::unique_ptr<TKXConsole> Console;
  std::vector<bool> TrayCalls;
  int Minimized = 0;

  TKXConsole& Open(const std::string& ASettingsText = "", bool AWithFile = false,
                   std::vector<std::string> ASwitches = {}) {
    if (AWithFile) WriteFile(Settings, ASettingsText);
    TKXConsoleOptions O;
    O.Host.Switches = std::move(ASwitches);
    O.SettingsFile = Settings;
    O.Recorder = &Recorder;
    Console = std::make_unique<TKXConsole>(O);
    Console->OnTrayIcon = [this](bool AOn) { TrayCalls.push_back(AOn); };
    Console->OnMinimize = [this] { ++Minimized; };
    Console->Open();
    return *Console;
  }
  uint16_t Port() { return static_cast<uint16_t>(Scope.Controller().Port()); }
};

}  // namespace

TEST(KXConsoleRules, SpeedListDevicePicturesAndTheSentDisplay) {
  const struct {
    int32_t Bits;
    int Item;
    const char* Picture;
  } Speeds[] = {{0, 0, ""},           {28800, 1, "DEV_MODEM"}, {33600, 2, "DEV_MODEM"},  {64000, 3, "DEV_MODEM"},
                {128000, 4, "DEV_MODEM"}, {384000, 5, "DEV_CABLE"}, {10000000, 6, "DEV_NETWORK"}, {50000, 7, ""},
                {-5, 7, ""}};
  for (const auto& S : Speeds) {
    SCOPED_TRACE(S.Bits);
    EXPECT_EQ(TKXConsole::SpeedItemFor(S.Bits), S.Item);
    EXPECT_EQ(TKXConsole::SpeedPicture(S.Item), S.Picture);
    if (S.Item < TKXConsole::kCustomSpeedItem) {
      EXPECT_EQ(TKXConsole::SpeedForItem(S.Item, "999"), S.Bits);
    }
  }
  EXPECT_EQ(TKXConsole::SpeedForItem(7, "50000"), 50000);
  EXPECT_EQ(TKXConsole::SpeedForItem(7, "abc"), 0) << "not a whole number: unlimited";
  EXPECT_EQ(TKXConsole::SpeedForItem(7, "12.5"), 0);

  EXPECT_EQ(TKXConsole::DevicePicture(0), "");
  EXPECT_EQ(TKXConsole::DevicePicture(1), "PDA");
  EXPECT_EQ(TKXConsole::DevicePicture(2), "PHONE");
  EXPECT_EQ(TKXConsole::DevicePicture(3), "PHONE");

  const struct {
    int64_t Bytes;
    const char* Text;
  } Sent[] = {{0, "0 bytes"},       {1024, "1,024 bytes"},  {1025, "1 KB"},
              {1048576, "1,024 KB"}, {1048577, "1 MB"},      {2147483647, "2,047 MB"}};
  for (const auto& S : Sent) {
    SCOPED_TRACE(S.Bytes);
    EXPECT_EQ(TKXConsole::FormatByteCount(S.Bytes), S.Text);
  }
  EXPECT_EQ(TKXConsole::ToolBarLook(true), (TKXToolBarLook{true, 24, 8}));
  EXPECT_EQ(TKXConsole::ToolBarLook(false), (TKXToolBarLook{false, 16, 4}));
}

TEST(KXConsoleSettings, MissingFileGivesTheFirstRunDefaults) {
  TConsoleFixture F;
  TKXConsole& C = F.Open();
  EXPECT_EQ(F.TrayCalls, std::vector<bool>{true}) << "a first run starts with the tray icon";
  EXPECT_EQ(F.Minimized, 0);
  EXPECT_EQ(C.DeviceItem(), 0);
  EXPECT_EQ(C.SpeedItem(), 0);
  EXPECT_EQ(C.BitsPerSec(), 0);
  EXPECT_FALSE(C.Server()->DebugLog());
  EXPECT_EQ(C.Server()->RunIn(), wbDefault);
  ASSERT_FALSE(C.LogLines().empty());
  for (const std::string& L : C.LogLines()) EXPECT_FALSE(L.empty()) << "empty start-up messages add no line";
  EXPECT_EQ(C.LogLines().front(), "Pellora Version: 10.0.0");
}

TEST(KXConsoleSettings, TheMinimizeSwitchActsOnceTheConsoleIsUp) {
  TConsoleFixture F;
  F.Open("", false, {"/minimize"});
  EXPECT_EQ(F.Minimized, 1);
}

TEST(KXConsoleSettings, APresentFileIsAppliedThroughTheRules) {
  TConsoleFixture F;
  TKXConsole& C = F.Open("[Main]\nParameters=a=1\nDebugInfo=1\nSSL=1\nHTML32=1\nWML=1\nRunIn=4\nRunInTray=0\n"
                         "RunMinimized=1\n[HTTP]\nSpeedLimit=50000\n",
                         true);
  TKXStandAloneServer& S = *C.Server();
  EXPECT_EQ(C.SpeedItem(), TKXConsole::kCustomSpeedItem);
  EXPECT_EQ(C.CustomSpeedText(), "50000");
  EXPECT_EQ(C.BitsPerSec(), 50000);
  EXPECT_EQ(S.HTTPServerModule()->BitsPerSec(), 50000) << "each new connection: 50000 / 8 = 6250 bytes per second";
  EXPECT_EQ(C.DeviceItem(), 2) << "HTML32 and WML both set: the list shows Mobile (WML)";
  EXPECT_FALSE(S.HTML32());
  EXPECT_TRUE(S.WML());
  EXPECT_EQ(S.Params(), "a=1");
  EXPECT_TRUE(S.DebugLog());
  EXPECT_TRUE(S.RunSSL());
  EXPECT_EQ(S.RunIn(), wbOpera);
  EXPECT_TRUE(F.TrayCalls.empty());
  EXPECT_EQ(F.Minimized, 1);

  // The terminal reads the same file and never writes it.
  F.Console.reset();
  const std::string Before = ReadFile(F.Settings);
  TKXConsoleOptions O;
  O.SettingsFile = F.Settings;
  O.SaveSettings = false;
  TKXConsole Terminal(O);
  Terminal.Open();
  EXPECT_EQ(Terminal.BitsPerSec(), 50000);
  Terminal.Close();
  EXPECT_EQ(ReadFile(F.Settings), Before);
}

TEST(KXConsoleSettings, WrittenInKeyOrderKeepingWhatElseTheFileHolds) {
  {
    TConsoleFixture F;
    TKXConsole& C = F.Open();
    C.SetParams("x=1");
    C.Execute(actnDebug);
    C.Execute(actnFireFox);
    C.SetSpeedItem(1, "");
    C.SetDeviceItem(3);
    C.Close();
    EXPECT_EQ(ReadFile(F.Settings),
              "[Main]\nParameters=x=1\nSSL=0\nDebugInfo=1\nHTML32=0\nWML=0\nXHTMLMP=1\nRunIn=5\nRunMinimized=0\n"
              "RunInTray=1\n[HTTP]\nSpeedLimit=28800\n");
  }
  TConsoleFixture F;
  TKXConsole& C = F.Open("; the operator's note\n[Other]\nKey=kept\n[main]\nrunin=2\nExtra=1\n\n[HTTP]\nSpeedLimit=1\n",
                         true);
  EXPECT_EQ(C.Server()->RunIn(), wbNS6) << "sections and keys without regard to case";
  C.Close();
  EXPECT_EQ(ReadFile(F.Settings),
            "; the operator's note\n[Other]\nKey=kept\n[main]\nRunIn=2\nExtra=1\nParameters=\nSSL=0\nDebugInfo=0\n"
            "HTML32=0\nWML=0\nXHTMLMP=0\nRunMinimized=0\nRunInTray=1\n\n[HTTP]\nSpeedLimit=1\n");
}

TEST(KXConsoleSettings, ReadOnlyOrUnwritableFilesAreNeverWrittenAndNothingFails) {
  TConsoleFixture F;
  WriteFile(F.Settings, "[Main]\nDebugInfo=1\n");
  chmod(F.Settings.c_str(), 0444);
  TKXConsole& C = F.Open();
  EXPECT_TRUE(C.Server()->DebugLog()) << "a read-only file is still read";
  C.Execute(actnDebug);
  C.Close();
  EXPECT_EQ(ReadFile(F.Settings), "[Main]\nDebugInfo=1\n");

  TKXConsoleSettings S;
  EXPECT_FALSE(S.Write(F.Scope.AppFolder() + "/no/such/folder/x.kxb"));
  EXPECT_FALSE(S.Write(F.Scope.AppFolder()));   // a folder where the file should be
  EXPECT_TRUE(S.Write(F.Scope.AppFolder() + "/fresh.kxb"));
}

TEST(KXConsoleActions, BrowserMarksFollowTheChoiceAndOnlyBrowsersFoundAreEnabled) {
  // a browser "installed" on this machine: an executable named opera on the PATH
  TKXTempFolder Bin;
  const std::string Opera = Bin.Path() + "/opera";
  WriteFile(Opera, "#!/bin/sh\nexit 0\n");
  chmod(Opera.c_str(), 0755);
  const std::string SavedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", Bin.Path().c_str(), 1);
  TConsoleFixture F;
  TKXConsole& C = F.Open();
  setenv("PATH", SavedPath.c_str(), 1);

  const TKXConsoleAction Browsers[] = {actnBrowserDefault, actnIE, actnFireFox, actnOpera, actnMozilla, actnNetscape};
  C.Execute(actnOpera);
  for (TKXConsoleAction B : Browsers) {
    SCOPED_TRACE(KXConsoleActionInfo(B).Name);
    EXPECT_EQ(C.ActionState(B).Checked, B == actnOpera);
    EXPECT_EQ(C.ActionState(B).Enabled, B == actnOpera || B == actnBrowserDefault);
  }
  EXPECT_EQ(C.ActionState(actnExecute).ImageIndex, 6) << "Execute shows the Opera image";
  C.Execute(actnBrowserDefault);
  EXPECT_EQ(C.ActionState(actnExecute).ImageIndex, 0);
  EXPECT_TRUE(C.ActionState(actnBrowserDefault).Checked);
  EXPECT_FALSE(C.ActionState(actnOpera).Checked);
}

TEST(KXConsoleActions, TogglesIconsRecorderAndResets) {
  TConsoleFixture F;
  TKXConsole& C = F.Open();
  std::vector<TKXToolBarLook> Looks;
  C.OnToolBarLook = [&](const TKXToolBarLook& L) { Looks.push_back(L); };
  EXPECT_TRUE(C.ActionState(actnSmallIcons).Checked) << "the window starts with small images";
  C.Execute(actnLargeIcons);
  EXPECT_TRUE(C.ActionState(actnLargeIcons).Checked);
  EXPECT_FALSE(C.ActionState(actnSmallIcons).Checked);
  C.Execute(actnSmallIcons);
  EXPECT_EQ(Looks, (std::vector<TKXToolBarLook>{{true, 24, 8}, {false, 16, 4}}));

  C.Execute(actnDebug);
  EXPECT_TRUE(C.ActionState(actnDebug).Checked);
  C.Execute(actnUseSSL);
  EXPECT_TRUE(C.ActionState(actnUseSSL).Checked);
  EXPECT_EQ(C.Server()->StartURL().rfind("https://", 0), 0u);
  EXPECT_EQ(C.LogLines().back(),
            "Use SSL: no HTTPS listener is running, so the https start address will not answer.");

  C.Execute(actnRunTray);
  C.Execute(actnRunMinimized);
  EXPECT_EQ(F.TrayCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(F.Minimized, 1) << "checking Run Minimized minimises at once";

  EXPECT_TRUE(C.ActionState(actionStartRecording).Enabled);
  EXPECT_FALSE(C.ActionState(actionStopRecording).Enabled);
  C.Execute(actionStartRecording);
  EXPECT_FALSE(C.ActionState(actionStartRecording).Enabled);
  EXPECT_TRUE(C.ActionState(actionStopRecording).Enabled);
  C.Execute(actionStopRecording);
  EXPECT_FALSE(F.Recorder.IsRecording());

  // Sessions of the server's registry and bytes it sent, then Reset Sessions and Reset Sent data.
  for (int I = 0; I < 2; ++I)
    C.Server()->Sessions().AddSessionAndLock(std::make_unique<TKXApplication>(
        F.Scope.Controller(), TKXBrowserType{brChrome, brsNone}, kChrome, "127.0.0.1", "", "", "", TSkStringList(), ""));
  SkRoundTrip(F.Port(), "GET /favicon.ico HTTP/1.0\r\n\r\n");
  std::vector<int32_t> Sent;
  C.OnSentChanged = [&](int32_t N) { Sent.push_back(N); };
  C.ProcessNotifications(std::chrono::milliseconds(0));
  EXPECT_EQ(C.SessionCount(), 2);
  EXPECT_GT(C.SentBytes(), 0);
  C.Execute(actnResetSessions);
  EXPECT_EQ(C.Server()->Sessions().Count(), 0);
  EXPECT_EQ(C.SessionCount(), 0);
  EXPECT_EQ(C.SentBytes(), 0);
  SkRoundTrip(F.Port(), "GET /favicon.ico HTTP/1.0\r\n\r\n");
  C.ProcessNotifications(std::chrono::milliseconds(0));
  EXPECT_GT(C.SentBytes(), 0);
  C.Execute(actnResetBytes);
  EXPECT_EQ(C.SentBytes(), 0);
  EXPECT_EQ(Sent.back(), 0);

  int Closes = 0;
  C.OnClose = [&] { ++Closes; };
  C.Execute(actnShutdown);
  EXPECT_EQ(Closes, 1);
}

TEST(KXScriptRecorder, WritesTheStepsAsAGoogleTestUnit) {
  TKXScriptRecorder R;
  R.ValueRestored("TKXForm1", "KXEDIT2", "ignored: not recording");
  R.StartRecording();
  R.ValueRestored("TKXForm1", "KXEDIT2", "say \"hi\"\\ hasło\r\n\x01\xff" "7");
  const int Step = R.SubmitStarted("TKXForm1", "KXBUTTON3", "");
  R.SubmitEnded(Step, "TKXForm2");
  R.SubmitStarted("TKXForm2", "KXBUTTON1", "p");   // its handler raised: no end
  R.StopRecording();
  EXPECT_EQ(R.SubmitStarted("TKXForm2", "KXBUTTON1", ""), -1);
  R.StartRecording();   // a later recording continues the list
  R.ValueRestored("TKXForm2", "KXEDIT1", "x");

  const std::string Unit = R.GenereateTestUnit("My-Test");
  for (const char* Piece : {
           "#include \"KXScriptPlayer.h\"",
           "class My_Test : public ::testing::Test {",
           "void SetUp() override { Player = std::make_unique<TKXScriptPlayer>(); }",
           "void TearDown() override { Player.reset(); }",
           "TEST_F(My_Test, RecordedSession) {\n  Player->OpenSession();\n"
           "  Player->SetValue(\"TKXForm1\", \"KXEDIT2\", \"say \\\"hi\\\"\\\\ hasło\\r\\n\\001\\3777\");\n"
           "  Player->Submit(\"TKXForm1\", \"KXBUTTON3\", \"\", \"TKXForm2\");\n"
           "  // the handler raised while this was recorded: the form it leads to is not checked\n"
           "  Player->Submit(\"TKXForm2\", \"KXBUTTON1\", \"p\");\n"
           "  Player->SetValue(\"TKXForm2\", \"KXEDIT1\", \"x\");\n"
           "  Player->CloseSession();\n}\n",
       })
    EXPECT_NE(Unit.find(Piece), std::string::npos) << Piece << "\n" << Unit;
  EXPECT_EQ(Unit.find("ignored"), std::string::npos);
  EXPECT_EQ(KXCppIdentifier("9lives"), "_9lives");
}

TEST(KXScriptRecorder, SaveNamesTheUnitAfterTheFileAndReportsFileErrors) {
  TConsoleFixture F;
  TKXConsole& C = F.Open();
  F.Recorder.StartRecording();
  F.Recorder.ValueRestored("TKXForm1", "KXEDIT2", "kqzv");
  const std::string Path = F.Scope.AppFolder() + "/MyTest.cpp";
  C.OnChooseRecordingFile = [&] { return Path; };
  C.Execute(actionSaveRecording);
  const std::string Text = ReadFile(Path);
  EXPECT_NE(Text.find("class MyTest : public ::testing::Test"), std::string::npos) << Text;
  EXPECT_NE(Text.find("Player->SetValue(\"TKXForm1\", \"KXEDIT2\", \"kqzv\");"), std::string::npos);

  C.OnChooseRecordingFile = [] { return std::string(); };   // cancelled
  EXPECT_NO_THROW(C.Execute(actionSaveRecording));
  try {
    C.SaveRecording(F.Scope.AppFolder() + "/missing/KXTestUnit.cpp");
    ADD_FAILURE() << "no error for a file that cannot be created";
  } catch (const std::exception& E) {
    EXPECT_NE(std::string(E.what()).find("No such file or directory"), std::string::npos) << E.what();
  }
}
