#include <gtest/gtest.h>

#include "core/KXBrowser.h"
#include "core/KXException.h"

namespace {

struct TUACase {
  const char* Name;
  const char* UserAgent;
  TKXBrowser Browser;
  TKXBrowserSubtype SubType;
};

const TUACase kUserAgents[] = {
    // Current desktop browsers.
    {"Chrome on Windows", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Safari/537.36", brChrome, brsNone},
    {"Chrome on Linux", "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/123.0.6312.122 Safari/537.36", brChrome, brsNone},
    {"Chrome on macOS", "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Safari/537.36", brChrome, brsNone},
    {"Edge", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Safari/537.36 Edg/124.0.2478.51", brChrome, brsNone},
    {"Opera (Chromium based)", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Safari/537.36 OPR/110.0.0.0", brChrome, brsNone},
    {"Firefox on Windows", "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:125.0) Gecko/20100101 Firefox/125.0", brGecko, brsFireFox1},
    {"Firefox on Linux", "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0", brGecko, brsFireFox1},
    {"Safari on macOS", "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.4.1 Safari/605.1.15", brSafari, brsNone},
    {"headless Chromium", "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) HeadlessChrome/120.0.6099.224 Safari/537.36", brChrome, brsNone},
    {"IE 11 (no MSIE token)", "Mozilla/5.0 (Windows NT 10.0; WOW64; Trident/7.0; rv:11.0) like Gecko", brGecko, brsNone},
    // Current mobile browsers.
    {"Safari on iPhone", "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.4 Mobile/15E148 Safari/604.1", brSafari, brsIphone},
    {"Chrome on iPhone", "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) CriOS/124.0.6367.88 Mobile/15E148 Safari/604.1", brSafari, brsIphone},
    {"Safari on iPad", "Mozilla/5.0 (iPad; CPU OS 16_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/16.6 Mobile/15E148 Safari/604.1", brSafari, brsNone},
    {"Safari on iPod", "Mozilla/5.0 (iPod touch; CPU iPhone OS 12_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/12.1.2 Mobile/15E148 Safari/604.1", brSafari, brsIpod},
    {"Chrome on Android", "Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 Mobile Safari/537.36", brChrome, brsNone},
    {"Samsung Internet", "Mozilla/5.0 (Linux; Android 14; SM-S918B) AppleWebKit/537.36 (KHTML, like Gecko) SamsungBrowser/24.0 Chrome/117.0.0.0 Mobile Safari/537.36", brChrome, brsNone},
    {"Chrome on a Nokia Android phone", "Mozilla/5.0 (Linux; Android 11; Nokia G20) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0.0.0 Mobile Safari/537.36", brChrome, brsNone},
    {"Firefox on Android", "Mozilla/5.0 (Android 14; Mobile; rv:125.0) Gecko/125.0 Firefox/125.0", brGecko, brsFireFox1},
    {"Opera Mobile", "Mozilla/5.0 (Linux; Android 10; VOG-L29) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/118.0.0.0 Mobile Safari/537.36 OPR/76.2.4027.73374", brChrome, brsNone},
    {"Opera Mini", "Opera/9.80 (J2ME/MIDP; Opera Mini/9.80 (S60; SymbOS; Opera Mobi/23.348; U; en) Presto/2.5.25 Version/10.54", brOpera, brsNone},
    // Older desktop browsers.
    {"Chrome 12", "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/534.30 (KHTML, like Gecko) Chrome/12.0.742.112 Safari/534.30", brChrome, brsNone},
    {"IE 8", "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1)", brIE, brsIE8},
    {"IE 6", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)", brIE, brsIE6},
    {"IE 5.5", "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98)", brIE, brsIE5},
    {"IE 9", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)", brIE, brsIE9},
    {"IE 10", "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)", brIE, brsNone},
    {"IE 4.01", "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)", brIE4, brsNone},
    {"Opera 8 posing as MSIE", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en) Opera 8.50", brOpera, brsNone},
    {"Opera 12", "Opera/9.80 (Windows NT 6.1; WOW64) Presto/2.12.388 Version/12.18", brOpera, brsNone},
    {"Firefox 4", "Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0", brGecko, brsFireFox4},
    {"Firefox 3.6", "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.9.2.13) Gecko/20101203 Firefox/3.6.13", brGecko, brsFireFox3},
    {"Firefox 2", "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.8.1.20) Gecko/20081217 Firefox/2.0.0.20", brGecko, brsFireFox2},
    {"Firefox 10", "Mozilla/5.0 (Windows NT 6.1; rv:10.0) Gecko/20100101 Firefox/10.0", brGecko, brsFireFox1},
    {"Netscape 6.2", "Mozilla/5.0 (Windows; U; Win98; en-US; rv:0.9.4) Gecko/20011128 Netscape6/6.2.1", brNetscape6, brsNone},
    {"Gecko with a date that is no number", "Mozilla/5.0 (X11; U; Linux i686) Gecko/2003xxxx", brGecko, brsNone},
    {"Netscape 7", "Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.0.2) Gecko/20030208 Netscape/7.02", brGecko, brsNone},
    {"Netscape 4.7", "Mozilla/4.7 [en] (WinNT; I)", brNetscape4, brsNone},
    {"Netscape 4.5", "Mozilla/4.5 (Macintosh; I; PPC)", brNetscape4, brsNone},
    {"Netscape 2", "Mozilla/2.02 (Win95; I)", brOther, brsNone},
    {"Konqueror", "Mozilla/5.0 (compatible; Konqueror/4.5; Linux) KHTML/4.5.4 (like Gecko)", brSafari, brsKonquerer},
    {"Antgalio", "Mozilla/4.0 (ANTGALIO/3.0.2.1.22.43.52; Linux 2.6.13.1; ANT Fresco)", brGecko, brsAntgalio},
    // WAP handsets.
    {"Nokia 6600", "Nokia6600/1.0 (4.09.1) SymbianOS/7.0s Series60/2.0 Profile/MIDP-2.0 Configuration/CLDC-1.0", brWAP, brsNone},
    {"Nokia 7110", "Nokia7110/1.0 (05.01)", brWAP, brsNone},
    {"Sony Ericsson", "SonyEricssonT610/R201 Profile/MIDP-1.0 Configuration/CLDC-1.0", brWAP, brsNone},
    {"Siemens", "SIE-S55/05 UP.Browser/6.1.0.5.136 (GUI) MMP/1.0", brWAP, brsNone},
    {"Motorola", "MOT-V300/0B.08.8DR MIB/2.2 Profile/MIDP-2.0 Configuration/CLDC-1.0", brOther, brsNone},
    {"Motorola with its name", "MOTOROLA-V3i/0E.41.C3R Profile/MIDP-2.0 Configuration/CLDC-1.1", brWAP, brsNone},
    {"Openwave", "UP.Browser/4.1.26l UP.Link/4.2.3.5h", brWAP, brsNone},
    // Bots, tools and the test texts.
    {"Googlebot", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", brOther, brsNone},
    {"Googlebot smartphone", "Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.6367.60 Mobile Safari/537.36 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", brChrome, brsNone},
    {"bingbot", "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", brOther, brsNone},
    {"curl", "curl/8.5.0", brOther, brsNone},
    {"empty", "", brOther, brsNone},
    {"HTML 3.2 test", "HTML 3.2", brHTML32Test, brsNone},
    {"html 3.2 in lower case", "html 3.2", brHTML32Test, brsNone},
    {"HTML 3.2 with a trailing blank", "HTML 3.2 ", brOther, brsNone},
    {"WML test", "wml", brWMLTest, brsNone},
    {"XHTML MP test", "XHTML MP", brXHTMLMPTest, brsNone},
};

TEST(DetermineBrowser, ClassifiesRealUserAgents) {
  for (const TUACase& C : kUserAgents) {
    SCOPED_TRACE(C.Name);
    const TKXBrowserType T = DetermineBrowser(C.UserAgent);
    EXPECT_EQ(T.Browser, C.Browser);
    EXPECT_EQ(T.SubType, C.SubType);
  }
}

TEST(DetermineBrowser, CurrentBrowsersAreAdmittedByTheShippedSet) {
  for (int I = 0; I < 20; ++I) {   // the current desktop and mobile rows above
    SCOPED_TRACE(kUserAgents[I].Name);
    const TKXBrowserType T = DetermineBrowser(kUserAgents[I].UserAgent);
    EXPECT_TRUE(kKXDefaultSupportedBrowsers.Contains(T.Browser));
    EXPECT_EQ(CheckBrowser(T.Browser, kKXDefaultSupportedBrowsers, kUserAgents[I].UserAgent, true), "");
  }
}

TEST(DetermineBrowser, WAPOnlyApplicationAnswersScriptBrowsersInXHTMLMP) {
  const struct {
    const char* Name;
    const char* UserAgent;
    TKXBrowserType Expected;
  } Cases[] = {
      {"IE 8", "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1)", {brXHTMLMPTest, brsIE8}},
      {"IE 4", "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)", {brXHTMLMPTest, brsNone}},
      {"Firefox keeps its sub-type", "Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0", {brXHTMLMPTest, brsFireFox4}},
      {"Netscape 6", "Mozilla/5.0 (Windows; U; Win98; en-US; rv:0.9.4) Gecko/20011128 Netscape6/6.2.1", {brXHTMLMPTest, brsNone}},
      {"Chrome", "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0 Safari/537.36", {brXHTMLMPTest, brsNone}},
      {"Safari stays", "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Mobile Safari/604.1", {brSafari, brsIphone}},
      {"Netscape 4 stays", "Mozilla/4.7 [en] (WinNT; I)", {brNetscape4, brsNone}},
      {"a handset stays", "Nokia7110/1.0 (05.01)", {brWAP, brsNone}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(DetermineBrowser(C.UserAgent, true), C.Expected);
  }
}

TEST(BrowserName, NamesEveryKindButTwo) {
  EXPECT_EQ(BrowserName(brUnknown), "Unknown or Unrecognized");
  EXPECT_EQ(BrowserName(brGecko), "Gecko engine (Netscape, FireFox, etc)");
  EXPECT_EQ(BrowserName(brNetscape6), "Netscape 6 (Gecko)");
  EXPECT_EQ(BrowserName(brHTML32Test), "HTML 32 Test");
  EXPECT_EQ(BrowserName(brWAP), "Generic WAP Browser");
  for (TKXBrowser B : {brNetscape7, brIE4}) {
    try {
      BrowserName(B);
      ADD_FAILURE() << "no exception for " << int(B);
    } catch (const EKXException& E) {
      EXPECT_STREQ(E.what(), "Unknown browser type.");
    }
  }
}

TEST(CheckBrowser, RefusalTextListsTheAdmittedKinds) {
  const std::string Expected =
      "Your browser was detected as Netscape 4, identifying itself as Mozilla/4.7 [en].\r\n"
      "One of the following browsers is required:\r\n"
      "* Internet Explorer\r\n* Gecko engine (Netscape, FireFox, etc)\r\n* Opera\r\n* Safari\r\n* Chrome\r\n";
  EXPECT_EQ(CheckBrowser(brNetscape4, kKXDefaultSupportedBrowsers, "Mozilla/4.7 [en]", false), Expected);
  try {
    CheckBrowser(brNetscape4, kKXDefaultSupportedBrowsers, "Mozilla/4.7 [en]", true);
    ADD_FAILURE() << "no exception";
  } catch (const EUnknownBrowserException& E) {
    EXPECT_EQ(E.what(), Expected);
    EXPECT_FALSE(E.SupportsJS());
  }
}

TEST(CheckBrowser, SupportsJSFollowsTheRefusedKind) {
  const TKXBrowsers OnlyOpera{brOpera};
  try {
    CheckBrowser(brChrome, OnlyOpera, "x", true);
    ADD_FAILURE() << "no exception";
  } catch (const EUnknownBrowserException& E) {
    EXPECT_TRUE(E.SupportsJS());
    EXPECT_EQ(std::string(E.what()).find("* Opera\r\n"), std::string(E.what()).size() - 9);
  }
  EXPECT_EQ(CheckBrowser(brOpera, OnlyOpera, "x", true), "");
}

TEST(CheckBrowser, KindsWithoutANameMakeTheMessageFail) {
  const struct {
    const char* Name;
    TKXBrowser Browser;
    TKXBrowsers Set;
  } Cases[] = {
      {"refused IE 4", brIE4, kKXDefaultSupportedBrowsers},
      {"set with Netscape 7", brOther, TKXBrowsers{brIE, brNetscape7}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    try {
      CheckBrowser(C.Browser, C.Set, "x", true);
      ADD_FAILURE() << "no exception";
    } catch (const EUnknownBrowserException&) {
      ADD_FAILURE() << "the refusal should not have been built";
    } catch (const EKXException& E) {
      EXPECT_STREQ(E.what(), "Unknown browser type.");
    }
  }
}

TEST(BrowserEnumerations, NameTablesFollowTheEnumerationOrder) {
  const auto Browsers = KXBrowserNames();
  ASSERT_EQ(Browsers.size(), size_t(kKXBrowserCount));
  for (size_t I = 0; I < Browsers.size(); ++I) EXPECT_EQ(Browsers[I].Value, int(I)) << Browsers[I].Name;
  EXPECT_STREQ(Browsers[brXHTMLMPTest].Name, "brXHTMLMPTest");
  const auto SubTypes = KXBrowserSubtypeNames();
  ASSERT_EQ(SubTypes.size(), size_t(kKXBrowserSubtypeCount));
  for (size_t I = 0; I < SubTypes.size(); ++I) EXPECT_EQ(SubTypes[I].Value, int(I)) << SubTypes[I].Name;
  EXPECT_STREQ(SubTypes[brsIphone].Name, "brsIphone");
}

TEST(BrowserEnumerations, SetsHoldExactlyTheirMembers) {
  TKXBrowsers S{brIE, brWAP};
  EXPECT_TRUE(S.Contains(brIE));
  EXPECT_TRUE(S.Contains(brWAP));
  EXPECT_FALSE(S.Contains(brUnknown));
  S.Insert(brChrome).Remove(brIE);
  EXPECT_EQ(S, (TKXBrowsers{brWAP, brChrome}));
  EXPECT_EQ(TKXBrowsers::FromBits(S.Bits()), S);
  EXPECT_EQ(TKXBrowsers::FromBits(~uint64_t{0}).Bits(), (uint64_t{1} << kKXBrowserCount) - 1);
  EXPECT_FALSE(S.Contains(static_cast<TKXBrowser>(200)));
  EXPECT_TRUE(kKXDefaultSpecialDeviceSupport.Contains(brsIpod));
  EXPECT_FALSE(kKXDefaultSpecialDeviceSupport.Contains(brsIE5));
}

}  // namespace
