#include <gtest/gtest.h>

#include "SkCookie.h"
#include "SkHTTPInfo.h"
#include "SkHeaderList.h"
#include "SkStringList.h"
#include "SkURI.h"

TEST(SkHeaderList, ValuesUnfoldAndNamesIgnoreCase) {
  TSkHeaderList H;
  H.Add("Content-Type: text/html");
  H.Add("X-Long: first");
  H.Add("\tsecond ");
  H.Add("Cookie: a=1");
  H.Add("cookie: b=2");
  EXPECT_EQ(H.Values("content-type"), "text/html");
  EXPECT_EQ(H.Values("X-LONG"), "first second");
  H.SetUnfoldLines(false);
  EXPECT_EQ(H.Values("X-Long"), "first");
  TSkStringList Cookies;
  H.Extract("COOKIE", Cookies);
  EXPECT_EQ(Cookies.Join("|"), "a=1|b=2");
}

TEST(SkHeaderList, SetValueReplacesFoldsAndDeletes) {
  TSkHeaderList H;
  H.Add("A: 1");
  H.Add("B: old");
  H.Add(" continued");
  H.Add("C: 3");
  H.SetValue("b", "new");
  EXPECT_EQ(H.Lines(), (std::vector<std::string>{"A: 1", "b: new", "C: 3"}));
  H.SetFoldLinesLength(20);
  H.SetValue("D", "one two three four five six");
  EXPECT_EQ(H.Lines(), (std::vector<std::string>{"A: 1", "b: new", "C: 3", "D: one two three", " four five six"}));
  EXPECT_EQ(H.Values("D"), "one two three four five six");
  H.SetValue("D", "");
  H.SetValue("A", "");
  EXPECT_EQ(H.Lines(), (std::vector<std::string>{"b: new", "C: 3"}));
  H.SetFoldLines(false);
  H.SetValue("E", std::string(30, 'x') + " " + std::string(30, 'y'));
  EXPECT_EQ(H.Count(), 3);
}

TEST(SkServerCookie, ParsedTextIsWrittenInFixedOrder) {
  const struct {
    const char* Name;
    const char* Text;
    const char* SetCookie;
  } Cases[] = {
      {"path and expiry", "sid=abc; expires=Tue, 08 Dec 2026 09:05:03 GMT; path=/app/",
       "sid=abc; path=/app/; expires=Tue, 08 Dec 2026 09:05:03 GMT"},
      {"no path means root", "a=1", "a=1; path=/"},
      {"quoted path, domain, secure", "a=1; Path=\"/x\"; DOMAIN=example.org; secure",
       "a=1; path=/x; domain=example.org; secure"},
      {"max-age only without expiry", "a=1; max-age=60; comment=c; version=1",
       "a=1; path=/; max-age=60; comment=c; version=1"},
      {"max-age dropped beside expiry", "a=1; max-age=60; expires=X", "a=1; path=/; expires=X"},
      {"empty value", "gone=; path=/", "gone; path=/"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TSkServerCookies List;
    EXPECT_EQ(List.AddCookie(C.Text).ServerCookie(), C.SetCookie);
  }
}

TEST(SkURI, SplitsRelativeAndAbsoluteTargets) {
  const struct {
    const char* Name;
    const char* URI;
    const char* Path;
    const char* Document;
    const char* Params;
    const char* Host;
  } Cases[] = {
      {"plain", "/a/b.html", "/a/", "b.html", "", ""},
      {"query", "/a/b?x=1", "/a/", "b", "x=1", ""},
      {"equals starts params", "/a=b", "/", "a", "b", ""},
      {"backslashes", "\\dir\\f", "/dir/", "f", "", ""},
      {"bookmark", "/p#top", "/", "p", "", ""},
      {"absolute", "http://u:p@host:81/x/y/z.js?q", "/x/y/", "z.js", "q", "host"},
      {"ipv6 host", "http://[::1]:8080/", "/", "", "", "::1"},
      {"host only", "http://host", "/", "", "", "host"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TSkURI U(C.URI);
    EXPECT_EQ(U.Path(), C.Path);
    EXPECT_EQ(U.Document(), C.Document);
    EXPECT_EQ(U.Params(), C.Params);
    EXPECT_EQ(U.Host(), C.Host);
  }
  const TSkURI U("http://u:p@host:81/x");
  EXPECT_EQ(U.Username(), "u");
  EXPECT_EQ(U.Password(), "p");
  EXPECT_EQ(U.Port(), "81");
}

TEST(SkURI, URLDecodeIsLenient) {
  EXPECT_EQ(TSkURI::URLDecode("%u00e9"), "\xe9");
  EXPECT_EQ(TSkURI::URLDecode("%C3%A9"), "\xc3\xa9");
  EXPECT_EQ(TSkURI::URLDecode("%U0041b"), "Ab");
  EXPECT_EQ(TSkURI::URLDecode("%u0142"), "?");   // beyond 8 bits
  EXPECT_EQ(TSkURI::URLDecode("a%zzb"), "ab");
  EXPECT_EQ(TSkURI::URLDecode("a%"), "a");
  EXPECT_EQ(TSkURI::URLDecode("a+b"), "a+b");
}

TEST(SkHTTPStatus, ReasonTextsAndCommandWords) {
  EXPECT_EQ(SkResponseText(200), "OK");
  EXPECT_EQ(SkResponseText(302), "Moved Temporarily");
  EXPECT_EQ(SkResponseText(413), "Request Entity To Long");
  EXPECT_EQ(SkResponseText(414), "Request-URI Too Long. 256 Chars max");
  EXPECT_EQ(SkResponseText(504), "Gateway timeout");
  EXPECT_EQ(SkResponseText(299), "Unknown Response Code");
  EXPECT_EQ(SkCommandType("options"), THTTPCommandType::hcOPTION);
  EXPECT_EQ(SkCommandType("Post"), THTTPCommandType::hcPOST);
  EXPECT_EQ(SkCommandType("UNKNOWN"), THTTPCommandType::hcUnknown);
  EXPECT_EQ(SkCommandType("PATCH"), THTTPCommandType::hcUnknown);
}
