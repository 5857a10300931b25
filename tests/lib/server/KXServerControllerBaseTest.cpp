#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/KXClasses.h"
#include "core/KXException.h"
#include "core/KXResources.h"
#include "core/KXFileReference.h"
#include "content/KXCompress.h"
#include "server/KXServerControllerBase.h"
#include "KXTestController.h"
#include "KXTestFolders.h"

namespace fs = std::filesystem;

namespace {

struct ControllerTest : ::testing::Test {
  TKXTempFolder AppFolder;
  void SetUp() override { TKXServerControllerBase::SetApplicationFolder(AppFolder.Path()); }
  // Stands in for the framework's creation path: defaults, the stored values, then the rest.
  std::unique_ptr<TKXTestController> Make(std::function<void(TKXTestController&)> AStored = nullptr) {
    TKXTestController::NextStored = std::move(AStored);
    return std::unique_ptr<TKXTestController>(TKXServerControllerBase::Create<TKXTestController>());
  }
};

}  // namespace

TEST_F(ControllerTest, DefaultsOfAFreshController) {
  auto C = Make();
  EXPECT_EQ(C->AppName(), "MyApplication");
  EXPECT_EQ(C->CacheExpiry(), 120);
  EXPECT_EQ(C->ExecCmd(), "EXEC");
  EXPECT_EQ(C->StartCmd(), "");
  EXPECT_EQ(C->InternalFilesURL(), "/");
  EXPECT_EQ(C->SessionTimeout(), 10);
  EXPECT_EQ(C->SessionTrackingMethod(), tmURL);
  EXPECT_EQ(C->ExceptionDisplayMode(), smAlert);
  EXPECT_EQ(C->UnknownBrowserAction(), ubReject);
  EXPECT_EQ(C->ThreadPoolSize(), 32);
  EXPECT_EQ(C->Port(), 0);
  EXPECT_EQ(C->Version(), "10.0.0");
  EXPECT_TRUE(C->ShowLoadingAnimation());
  EXPECT_TRUE(C->ShowResyncWarning());
  EXPECT_TRUE(C->UseInternalFiles());
  EXPECT_FALSE(C->Compression().Enabled());
  EXPECT_EQ(C->Compression().Level(), 6);
  EXPECT_EQ(C->SSLOptions().Port, 0);
  EXPECT_EQ(C->SSLOptions().NonSSLRequest, nsAccept);
  EXPECT_EQ(C->SSLOptions().SSLVersion, sslv3);
  EXPECT_TRUE(C->Browser32Behaviour().Netscape4As32);
  EXPECT_FALSE(C->ReEntryOptions().AutoCreateSession);
  EXPECT_EQ(C->FilesDir(), AppFolder.Path() + "/Files/");
  EXPECT_EQ(C->TemplateDir(), AppFolder.Path() + "/Templates/");
  EXPECT_EQ(C->InternalFilesDir(), AppFolder.Path() + "/");
  C->SetVersion("1.0");
  EXPECT_EQ(C->Version(), "10.0.0");
}

TEST_F(ControllerTest, SettersRefuseBadValues) {
  auto C = Make();
  EXPECT_THROW(C->SetSessionTimeout(601), EKXException);
  EXPECT_THROW(C->SetSessionTimeout(-1), EKXException);
  C->SetSessionTimeout(600);
  try {
    C->SetAppName("");
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "\"\" is not a valid application name.");
  }
  try {
    C->SetSessionTimeout(700);
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Invalid session timeout value.");
  }
  C->SetAppName("My App");
  EXPECT_EQ(C->AppNameNoBlanks(), "MyApp");
}

TEST_F(ControllerTest, PortIniOverridesTheStoredPort) {
  {
    std::ofstream(AppFolder.Path() + "/port.ini") << "[PORTS]\nPort=9123\nSSLPort=9443\n";
    auto C = Make([](TKXTestController& T) { T.SetPort(8888); });
    EXPECT_EQ(C->Port(), 9123);
    EXPECT_EQ(C->SSLOptions().Port, 9443);
  }
  {
    std::ofstream(AppFolder.Path() + "/port.ini") << "[PORTS]\nSSLPort=1\n";
    auto C = Make([](TKXTestController& T) { T.SetPort(8888); });
    EXPECT_EQ(C->Port(), 0);   // a missing key reads as 0
  }
  fs::remove(AppFolder.Path() + "/port.ini");
  auto C = Make([](TKXTestController& T) { T.SetPort(8888); });
  EXPECT_EQ(C->Port(), 8888);
}

TEST_F(ControllerTest, EncodingIsUTF8OnlyForTheExactName) {
  EXPECT_TRUE(Make()->EncodingIsUTF8());
  EXPECT_FALSE(Make([](TKXTestController& T) { T.SetCharSet("utf-8"); })->EncodingIsUTF8());
  EXPECT_TRUE(Make([](TKXTestController& T) { T.SetCharSet("UTF-8"); })->EncodingIsUTF8());
  EXPECT_FALSE(Make([](TKXTestController& T) { T.SetCharSet("ISO-8859-1"); })->EncodingIsUTF8());
}

TEST_F(ControllerTest, BackButtonHandlerForcesHistory) {
  auto C = Make([](TKXTestController& T) { T.OnBackButton = [](int, int, const std::string&, bool&, bool&) {}; });
  EXPECT_FALSE(C->ShowResyncWarning());
  EXPECT_TRUE(C->HistoryEnabled());
  bool Exec = false, Handled = false;
  EXPECT_THROW(C->DoBackButton(-1, 2, Exec, Handled, "F"), ERangeError);
}

TEST_F(ControllerTest, CacheFolderPerRunIsCreatedAndRemoved) {
  std::string Folder;
  {
    auto C = Make();
    Folder = C->CacheDir();
    EXPECT_TRUE(fs::is_directory(Folder));
    EXPECT_EQ(C->ProcessID().size(), 10u);
    EXPECT_NE(Folder.find(C->ProcessID()), std::string::npos);
    const std::string F = C->NewCacheFile("html", false);
    EXPECT_EQ(fs::path(F).parent_path().string() + "/", Folder);
    EXPECT_TRUE(fs::path(F).filename().string().rfind("HTM", 0) == 0);
    EXPECT_EQ(fs::path(F).extension(), ".tmp");
    EXPECT_TRUE(fs::exists(F));
  }
  EXPECT_FALSE(fs::exists(Folder));
}

TEST_F(ControllerTest, TwoRunsAtDifferentMillisecondsUseDifferentFolders) {
  auto A = Make();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  auto B = Make();
  EXPECT_NE(A->CacheDir(), B->CacheDir());
}

TEST_F(ControllerTest, ThreadsStartWhenTheyShould) {
  auto NoPurge = Make([](TKXTestController& T) { T.SetCacheExpiry(0); });
  EXPECT_FALSE(NoPurge->CachePurgeThreadStarted());
  auto C = Make();
  EXPECT_TRUE(C->CachePurgeThreadStarted());
  const auto Start = std::chrono::steady_clock::now();
  C.reset();
  const auto Elapsed = std::chrono::steady_clock::now() - Start;
  EXPECT_LT(Elapsed, std::chrono::milliseconds(1000));   // the purge thread stops within its 100 ms slice
}

TEST_F(ControllerTest, UserCacheNeedsASession) {
  auto C = Make();
  try {
    C->GetUserCacheDir();
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "WebApplication is requiered in order to use this function.");
  }
}

TEST_F(ControllerTest, UrlsWithoutASession) {
  auto C = Make([](TKXTestController& T) { T.SetURLBase(""); });
  EXPECT_EQ(C->GetFilesURL(), "/Files/");
  EXPECT_EQ(C->GetFilesNCURL(), "/FilesNC/");
  EXPECT_EQ(C->GetInternalFilesURL(), "/");
}

TEST(ControllerPurge, RefusesUnsafeFolders) {
  for (const char* F : {"", "\\", "/", "C:\\", "c:", ".", "..", "a\\\\b"}) {
    SCOPED_TRACE(F);
    try {
      TKXServerControllerBase::PurgeDirectory(F, -1, false);
      FAIL();
    } catch (const EKXException& E) {
      EXPECT_EQ(std::string(E.what()), std::string("Assertion failed: PurgeDirectory attempts to delete \"") + F + "\"");
    }
  }
}

TEST(ControllerPurge, DeletesOldFilesAndKeepsFolders) {
  TKXTempFolder T;
  fs::create_directories(T.Path() + "/sub");
  std::ofstream(T.Path() + "/old.tmp") << "x";
  std::ofstream(T.Path() + "/sub/new.tmp") << "y";
  fs::last_write_time(T.Path() + "/old.tmp", fs::file_time_type::clock::now() - std::chrono::hours(3));
  TKXServerControllerBase::PurgeDirectory(T.Path() + "/", 120, false);
  EXPECT_FALSE(fs::exists(T.Path() + "/old.tmp"));
  EXPECT_TRUE(fs::exists(T.Path() + "/sub/new.tmp"));
  TKXServerControllerBase::PurgeDirectory(T.Path() + "/", -1, true);
  EXPECT_FALSE(fs::exists(T.Path() + "/sub"));
}

TEST(ControllerFactory, NoRecordedClass) {
  TKXServerControllerBase::SetServerControllerClass(nullptr);
  try {
    TKXServerControllerBase::CreateServerController();
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "No server controller is defined.");
  }
}

namespace {

// A controller with a stored description of its own, as applications declare theirs.
class TKXDescribedController : public TKXServerControllerBase {
public:
  explicit TKXDescribedController(TKXComponent* AOwner = nullptr) : TKXServerControllerBase(AOwner) {}
  KX_DECLARE_CLASS_INFO
  int NewSessions = 0;
  void KXServerControllerBaseNewSession(TKXApplication*, TKXBaseForm*&) { ++NewSessions; }
};

const TKXClassInfo& TKXDescribedController::StaticClassInfo() {
  using T = TKXDescribedController;
  static const TKXClassInfo Info = KXClass<T, TKXServerControllerBase>("TKXDescribedController")
      .Methods({KXMethod("KXServerControllerBaseNewSession", &T::KXServerControllerBaseNewSession)});
  return Info;
}

const char* const kStoredSettings = R"(object KXServerController: TKXDescribedController
  AppName = 'MyApp'
  CacheExpiry = 0
  ComInitialization = ciNone
  Compression.Enabled = False
  Compression.Level = 6
  Description = 'My Kexalo Application'
  ExceptionDisplayMode = smAlert
  ExecCmd = 'EXEC'
  Port = 8888
  ReEntryOptions.AutoCreateSession = False
  SessionTrackingMethod = tmURL
  SessionTimeout = 10
  SupportedBrowsers = [brIE, brGecko, brOpera, brSafari, brChrome, brNetscape7]
  SpecialDeviceSupport = [brsIpod, brsIphone]
  SSLOptions.NonSSLRequest = nsAccept
  SSLOptions.Port = 0
  SSLOptions.SSLVersion = sslv3
  AuthList.Strings = (
    'user=pass')
  SessionTimeoutURL.URL = 'http://example.org/gone'
  UnknownBrowserAction = ubReject
  Version = '9.9.9'
  OnNewSession = KXServerControllerBaseNewSession
end
)";

}  // namespace

TEST_F(ControllerTest, StoredDescriptionThenPortIniThenFixUps) {
  KXRegisterResource("TKXDescribedController", kStoredSettings);
  std::ofstream(AppFolder.Path() + "/port.ini") << "[PORTS]\nPort=9000\n";
  std::unique_ptr<TKXDescribedController> C(TKXServerControllerBase::Create<TKXDescribedController>());
  EXPECT_EQ(C->AppName(), "MyApp");
  EXPECT_EQ(C->Description(), "My Kexalo Application");
  EXPECT_EQ(C->Port(), 9000);   // port.ini comes after the stored value
  EXPECT_EQ(C->CacheExpiry(), 0);
  EXPECT_FALSE(C->CachePurgeThreadStarted());
  EXPECT_EQ(C->AuthList().Values("user"), "pass");
  EXPECT_EQ(C->SessionTimeoutURL().URL(), "http://example.org/gone");
  EXPECT_EQ(C->Version(), "10.0.0");
  EXPECT_TRUE(C->SupportedBrowsers().Contains(brGecko));
  EXPECT_TRUE(C->SpecialDeviceSupport().Contains(brsIphone));
  EXPECT_FALSE(C->SpecialDeviceSupport().Contains(brsIpod) && C->SpecialDeviceSupport().Contains(brsIE5));
  TKXBaseForm* Main = nullptr;
  C->DoNewSession(nullptr, Main);
  EXPECT_EQ(C->NewSessions, 1);
  fs::remove(AppFolder.Path() + "/port.ini");
}

TEST_F(ControllerTest, AStoredValueOutOfRangeFailsTheConstruction) {
  KXRegisterResource("TKXDescribedController", "object X: TKXDescribedController\n  SessionTimeout = 601\nend\n");
  try {
    delete TKXServerControllerBase::Create<TKXDescribedController>();
    FAIL();
  } catch (const EKXException& E) {
    EXPECT_NE(std::string(E.what()).find("Invalid session timeout value."), std::string::npos);
  }
  EXPECT_EQ(TKXServerControllerBase::Instance(), nullptr);
}


TEST_F(ControllerTest, CompressionMakesItsCompressorExactlyWhileEnabled) {
  auto C = Make();
  TKXCompression& Z = C->Compression();
  EXPECT_EQ(Z.Compressor(), nullptr);
  Z.SetLevel(3);
  Z.SetEnabled(true);
  ASSERT_NE(Z.Compressor(), nullptr);
  EXPECT_EQ(Z.Compressor()->Level(), 3);
  Z.SetLevel(12);   // a level after Enabled reaches the live compressor, clamped to 1..9
  EXPECT_EQ(Z.Compressor()->Level(), 9);
  Z.SetEnabled(false);
  EXPECT_EQ(Z.Compressor(), nullptr);
}

TEST_F(ControllerTest, PortIniSwitchesTLSAndCompressionSettings) {
  const struct {
    const char* Name;
    const char* Ini;
    const char* Error;   // empty: read
  } Cases[] = {
      {"every key", "[PORTS]\nSSLPort=8443\n[SSL]\nCertificatePassword = s3cret \nNonSSLRequest=nsRedirect\n"
                    "[COMPRESSION]\nEnabled=yes\nLevel=9\n", ""},
      {"an unknown policy", "[SSL]\nNonSSLRequest=sometimes\n",
       "Invalid value for [SSL] NonSSLRequest in port.ini: \"sometimes\""},
      {"a level out of range", "[COMPRESSION]\nLevel=10\n", "Invalid value for [COMPRESSION] Level in port.ini: \"10\""},
      {"not a boolean", "[COMPRESSION]\nEnabled=maybe\n",
       "Invalid value for [COMPRESSION] Enabled in port.ini: \"maybe\""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::ofstream(AppFolder.Path() + "/port.ini") << Case.Ini;
    try {
      auto C = Make([](TKXTestController& T) { T.SSLOptions().CertificatePassword = "stored"; });
      ASSERT_STREQ(Case.Error, "");
      EXPECT_EQ(C->SSLOptions().Port, 8443);
      EXPECT_EQ(C->SSLOptions().CertificatePassword, "s3cret");
      EXPECT_EQ(C->SSLOptions().NonSSLRequest, nsRedirect);
      ASSERT_NE(C->Compression().Compressor(), nullptr);
      EXPECT_EQ(C->Compression().Compressor()->Level(), 9);
    } catch (const EKXException& E) {
      EXPECT_STREQ(E.what(), Case.Error);
    }
  }
  std::ofstream(AppFolder.Path() + "/port.ini") << "[PORTS]\nPort=1\n";
  auto C = Make([](TKXTestController& T) { T.SSLOptions().CertificatePassword = "stored"; });
  EXPECT_EQ(C->SSLOptions().CertificatePassword, "stored") << "an absent key keeps the stored value";
  EXPECT_FALSE(C->Compression().Enabled());
  fs::remove(AppFolder.Path() + "/port.ini");
}
