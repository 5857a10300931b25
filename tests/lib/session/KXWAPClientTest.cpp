#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "core/KXResources.h"
#include "session/KXWAPClient.h"
#include "SkStringList.h"

namespace {

class WAPDeviceTable : public testing::Test {
protected:
  void SetUp() override { TKXWAPClient::LoadWAPDB(); }
};

TEST_F(WAPDeviceTable, HoldsTheBuiltInModelsInOrder) {
  const char* const Models[] = {
      "Nokia3300", "Nokia3330", "Nokia3320", "Nokia3360", "Nokia3350", "Nokia3410", "Nokia3510", "Nokia3510i",
      "Nokia3530", "Nokia3590", "Nokia3595", "Nokia3600", "Nokia3610", "Nokia3650", "NokiaN-Gage", "Nokia5100",
      "Nokia5210", "Nokia5510", "Nokia6100", "Nokia6200", "Nokia6210", "Nokia6220", "Nokia6250", "Nokia6310",
      "Nokia6310i", "Nokia6340", "Nokia6510", "Nokia6590", "Nokia6610", "Nokia6650", "Nokia6800", "Nokia7110",
      "Nokia7210", "Nokia7250", "Nokia7650", "Nokia8310", "Nokia8390", "Nokia8910i", "Nokia8910", "Nokia9110i",
      "Nokia9210", "Nokia9210i", "Nokia9290"};
  const TSkStringList& Db = TKXWAPClient::WAPDB();
  ASSERT_EQ(Db.Count(), 43);
  for (int I = 0; I < 43; ++I) EXPECT_EQ(Db.Names(I), Models[I]) << "line " << I;
}

TEST_F(WAPDeviceTable, TellingRowsAreStoredExactly) {
  const auto Raw = KXFindResource("KX_WAP_DB");
  ASSERT_TRUE(Raw);
  const std::string Text(*Raw);
  for (const char* Line : {"Nokia3300=128;128;128;96;0;T;XHTML MP WAP 1.2.1;1.3  \r\n",
                           "Nokia3320=84;48;84;30;T;T;WAP 1.2.1;1.3\r\n", "Nokia7110=96;65;96;44;T;0;1.1;1.1\r\n",
                           "Nokia8310=48;84;30;84;0;T;1.2.1;1.3\r\n", "Nokia9210=640;200;490;165;0;T;1.1;1.1\r\n"}) {
    SCOPED_TRACE(Line);
    EXPECT_NE(Text.find(Line), std::string::npos);
  }
  EXPECT_EQ(Text.substr(Text.size() - 2), "\r\n");
}

TEST_F(WAPDeviceTable, SetUserAgentTakesTheFirstMatchingModel) {
  const struct {
    const char* Name;
    const char* UserAgent;
    int Width, Height, AreaWidth, AreaHeight, Colors;
    bool Auth;
    const char* WAP;
    const char* WML;
  } Cases[] = {
      {"trailing blanks belong to the WML version", "Nokia3300/1.0 (4.07) Profile/MIDP-2.0", 128, 128, 128, 96, 0, true,
       "XHTML MP WAP 1.2.1", "1.3  "},
      {"T in the colour column reads 0", "Nokia3320/1.0 (03.05)", 84, 48, 84, 30, 0, true, "WAP 1.2.1", "1.3"},
      {"0 in the authentication column", "Nokia7110/1.0 (05.01)", 96, 65, 96, 44, 0, false, "1.1", "1.1"},
      {"version without the WAP word", "nokia8310/1.0 (05.57)", 48, 84, 30, 84, 0, true, "1.2.1", "1.3"},
      {"Nokia3510i matches the earlier Nokia3510 line", "Nokia3510i/1.0 (04.44)", 96, 65, 96, 44, 0, true,
       "WAP 1.2.1", "1.3"},
      {"the largest screen", "Nokia9210/1.0 Symbian-Crystal/6.1", 640, 200, 490, 165, 0, true, "1.1", "1.1"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXWAPClient W;
    W.SetUserAgent(C.UserAgent);
    EXPECT_TRUE(W.IsKnownClient());
    EXPECT_EQ(W.UserAgent(), C.UserAgent);
    EXPECT_EQ(W.ScreenWidth(), C.Width);
    EXPECT_EQ(W.ScreenHeight(), C.Height);
    EXPECT_EQ(W.ScreenAreaWidth(), C.AreaWidth);
    EXPECT_EQ(W.ScreenAreaHeight(), C.AreaHeight);
    EXPECT_EQ(W.ColorDepth(), C.Colors);
    EXPECT_EQ(W.SupportsHTTPAuth(), C.Auth);
    EXPECT_EQ(W.WAPVersion(), C.WAP);
    EXPECT_EQ(W.WMLVersion(), C.WML);
  }
}

TEST_F(WAPDeviceTable, AnUnknownHandsetKeepsTheEarlierMatch) {
  TKXWAPClient W;
  W.SetUserAgent("SonyEricssonT610/R201");
  EXPECT_FALSE(W.IsKnownClient());
  EXPECT_EQ(W.ScreenWidth(), 0);
  EXPECT_EQ(W.OutputTagType(), wotWML);
  W.SetUserAgent("Nokia7110/1.0");
  W.SetUserAgent("SonyEricssonT610/R201");
  EXPECT_TRUE(W.IsKnownClient());
  EXPECT_EQ(W.ScreenWidth(), 96);
  EXPECT_EQ(W.UserAgent(), "SonyEricssonT610/R201");
}

TEST_F(WAPDeviceTable, ApplicationFileFollowsTheBuiltInLines) {
  const auto Dir = std::filesystem::temp_directory_path() / ("kxwapdb-" + std::to_string(::getpid()));
  std::filesystem::create_directories(Dir);
  {
    std::ofstream Out(Dir / "wapdb.dat", std::ios::binary);
    Out << "Nokia7110=1;2;3;4;5;T;x;y\r\n\r\nMyPhone=10;x;30;40;z;T;WAP 2.0;2.0\n";
  }
  TKXWAPClient::LoadWAPDB(Dir.string());
  std::filesystem::remove_all(Dir);
  const TSkStringList& Db = TKXWAPClient::WAPDB();
  ASSERT_EQ(Db.Count(), 45);   // the blank line is no entry: it would match every user agent
  TKXWAPClient W;
  W.SetUserAgent("Nokia7110/1.0");
  EXPECT_EQ(W.ScreenWidth(), 96);   // the built-in line wins
  W.SetUserAgent("MyPhone/1.0");
  EXPECT_EQ(W.ScreenWidth(), 10);
  EXPECT_EQ(W.ScreenHeight(), -1);   // not a number
  EXPECT_EQ(W.ColorDepth(), 0);
  EXPECT_EQ(W.WMLVersion(), "2.0");
  TKXWAPClient Unmatched;
  Unmatched.SetUserAgent("SomethingElse/1.0");
  EXPECT_FALSE(Unmatched.IsKnownClient());
}

TEST(DetermineWAPClient, ChoosesTheMarkupKind) {
  const struct {
    const char* UserAgent;
    TKXWAPOutputTagType Expected;
  } Cases[] = {
      {"SonyEricssonT610/R201 Profile/MIDP-1.0", wotXHTMLMP},
      {"Mozilla/4.0 (compatible; MSIE 5.0; Symbian OS; Nokia 7650) Opera 6.0 [en]", wotXHTMLMP},
      {"Nokia7650/1.0 Symbian OS/6.1", wotWML},
      {"Opera 6.0 without the system", wotWML},
      {"Nokia7110/1.0 (05.01)", wotWML},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.UserAgent);
    EXPECT_EQ(DetermineWAPClient(C.UserAgent), C.Expected);
  }
}

}  // namespace
