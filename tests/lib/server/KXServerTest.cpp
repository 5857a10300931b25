#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/KXException.h"
#include "content/KXContentTypes.h"
#include "content/KXInternalFiles.h"
#include "core/KXResources.h"
#include "server/KXServer.h"
#include "server/KXSessions.h"
#include "KXTestForms.h"
#include "KXTestController.h"
#include "KXTestWebRequest.h"
#include "SkStream.h"
#include "SkStrUtils.h"

namespace fs = std::filesystem;

namespace {

const char* const kChrome = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

// One request through a fresh dispatcher, as the transport runs it.
struct TExchange {
  TKXTestWebRequest Request;
  TKXTestWebResponse Response{Request};
  TExchange(const std::string& AMethod, const std::string& APath, const std::string& AQuery = "")
      : Request(AMethod, APath, AQuery) {}
  TExchange& Run() {
    TKXTestControllerScope::Current().Dispatch(Request, Response);
    return *this;
  }
  std::string Header(const std::string& AName) const { return Response.SentHeaders().Values(AName); }
  std::string Body() const { return Response.SentBody(); }
  int Status() { return Response.StatusCode(); }
};

struct ServerTest : ::testing::Test {
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions& Registry = Scope.Sessions();

  // A session started through the dispatcher, its main form counting what it executes.
  TKXApplication* StartSession() {
    TExchange Start("GET", "/");
    Start.Request.SetHeader("User-Agent", kChrome);
    Start.Run();
    return Registry.Count() == 1 ? Registry.Snapshot()[0].get() : nullptr;
  }
};

}  // namespace

TEST_F(ServerTest, PingIsAnEmptyUncachedAnswer) {
  TExchange X("GET", "/PING");
  X.Run();
  EXPECT_EQ(X.Status(), 200);
  EXPECT_EQ(X.Body(), "");
  EXPECT_EQ(X.Header("Pragma"), "no-cache");
  EXPECT_EQ(X.Header("Expires"), "");
  EXPECT_EQ(X.Header("Last-Modified"), "");
}

TEST_F(ServerTest, InternalScriptIsCacheableUntilItsExpiry) {
  TExchange X("GET", "/js/Rico.js_10.0.0");
  X.Run();
  EXPECT_EQ(X.Status(), 200);
  EXPECT_EQ(X.Response.ContentType(), "application/x-javascript");
  EXPECT_FALSE(X.Body().empty());
  EXPECT_EQ(X.Header("Pragma"), "");
  EXPECT_FALSE(X.Header("Expires").empty());
  const std::string LastModified = X.Header("Last-Modified");
  EXPECT_EQ(LastModified, DateTimeToInternetStr(true, C.StartTime()));

  TExchange Again("GET", "/js/Rico.js_10.0.0");
  Again.Request.AddHeader("If-Modified-Since", LastModified);
  Again.Run();
  EXPECT_EQ(Again.Status(), 304);
  EXPECT_EQ(Again.Body(), "");
}

TEST_F(ServerTest, ImagesAndTheFavicon) {
  TExchange Gif("GET", "/gfx/Tp.gif");
  Gif.Run();
  EXPECT_EQ(Gif.Status(), 200);
  EXPECT_EQ(Gif.Response.ContentType(), "image/gif");
  EXPECT_EQ(Gif.Body().substr(0, 3), "GIF");

  TExchange Icon("GET", "/favicon.ico");
  Icon.Run();
  EXPECT_EQ(Icon.Status(), 200);
  EXPECT_EQ(Icon.Response.ContentType(), "image/x-ico");
  EXPECT_EQ(Icon.Body().substr(0, 4), std::string("\0\0\1\0", 4));

  fs::create_directories(C.FilesDir());
  std::ofstream(C.FilesDir() + "favicon.ico") << "mine";
  TExchange Own("GET", "/favicon.ico");
  Own.Run();
  EXPECT_EQ(Own.Body(), "mine");
}

TEST_F(ServerTest, UnknownInternalFileIsAServerError) {
  TExchange X("GET", "/gfx/NoSuchImage.gif");
  X.Run();
  EXPECT_EQ(X.Status(), 500);
  EXPECT_NE(X.Body().find("Resource KX_GFX_NoSuchImage not found."), std::string::npos);
  EXPECT_EQ(X.Header("Pragma"), "no-cache");
}

TEST_F(ServerTest, FilesFolderServesAndRefusesEscapes) {
  fs::create_directories(C.FilesDir());
  std::ofstream(C.FilesDir() + "a.txt") << "hello";
  TExchange Ok("GET", "/files/a.txt");
  Ok.Run();
  EXPECT_EQ(Ok.Status(), 200);
  EXPECT_EQ(Ok.Body(), "hello");
  EXPECT_EQ(Ok.Response.ContentType(), "text/plain");
  EXPECT_FALSE(Ok.Header("Expires").empty());

  TExchange NC("GET", "/filesnc/a.txt");
  NC.Run();
  EXPECT_EQ(NC.Body(), "hello");
  EXPECT_EQ(NC.Header("Pragma"), "no-cache");

  std::ofstream(Scope.AppFolder() + "/secret.txt") << "secret";
  C.SetAllowSubFolders(true);
  for (const char* Path : {"/files/../secret.txt", "/files/%2e%2e/secret.txt", "/files/..%2fsecret.txt",
                           "/files/..%5csecret.txt", "/files/%252e%252e/secret.txt", "/files//etc/passwd",
                           "/filesnc/../secret.txt", "/cache/../secret.txt", "/files/missing.txt"}) {
    SCOPED_TRACE(Path);
    TExchange X("GET", Path);
    X.Run();
    EXPECT_EQ(X.Status(), 404);
    EXPECT_EQ(X.Body().find("secret"), std::string::npos);
  }
}

TEST_F(ServerTest, FileAccessHandlerCanRefuse) {
  C.OnFileAccess = [](TWebRequest*, const std::string&, const std::string&, const std::string&, bool&) {};
  TExchange X("GET", "/files/a.txt");
  X.Run();
  EXPECT_EQ(X.Status(), 403);
  EXPECT_EQ(X.Body(), "Permission denied");
}

TEST_F(ServerTest, UnknownSessionGivesTheTimeoutPage) {
  TExchange X("POST", "/EXEC/5/nosuchsession");
  X.Run();
  EXPECT_EQ(X.Status(), 500);
  EXPECT_EQ(X.Response.ReasonString(), "Server error");
  EXPECT_NE(X.Body().find("A time-out has occurred"), std::string::npos);
  EXPECT_NE(X.Body().find("KXTop().document.writeln("), std::string::npos);
  EXPECT_EQ(X.Header("Pragma"), "no-cache");

  C.SessionTimeoutURL().SetURL("http://elsewhere/");
  TExchange Redirected("POST", "/EXEC/5/nosuchsession");
  Redirected.Run();
  EXPECT_EQ(Redirected.Body(), TKXServer::RedirectAsPartial("http://elsewhere/"));

  TExchange Callback("GET", "/CALLBACK/5/nosuchsession");
  Callback.Run();
  EXPECT_EQ(Callback.Body(), "<response><execute><literal>window.location.href=\"http://elsewhere/\"</literal></execute></response>");
}

TEST_F(ServerTest, StartWithoutMainFormIsDeviceNotSupported) {
  TExchange X("GET", "/");
  X.Run();
  EXPECT_NE(X.Body().find("Device not supported"), std::string::npos);
  // Not wrapped in a script: the device may run none.
  EXPECT_EQ(X.Body().find("KXTop().document.writeln"), std::string::npos);
  C.DeviceNotSupported().SetURL("http://plain/");
  TExchange R("GET", "/");
  R.Run();
  EXPECT_EQ(R.Status(), 302);
  EXPECT_EQ(R.Response.Location(), "http://plain/");
}

TEST_F(ServerTest, UnrecognisedCommands) {
  TExchange X("GET", "/NOPE");
  X.Run();
  EXPECT_EQ(X.Status(), 500);
  EXPECT_NE(X.Body().find("Unrecognized Command: : NOPE:"), std::string::npos);
  EXPECT_NE(X.Body().find("KXTop().document.writeln("), std::string::npos);

  std::string Msg;
  C.OnInvalidCommand = [&](TWebRequest*, TWebResponse*, const std::string& M) { Msg = M; };
  TExchange Call("GET", "/CALL");
  Call.Run();
  EXPECT_EQ(Msg, "Unrecognized Command: :CALL:");
  C.OnInvalidCommand = nullptr;
  C.SetInvalidCommandURL("http://x/");
  TExchange R("GET", "/NOPE");
  R.Run();
  EXPECT_EQ(R.Response.Location(), "http://x/");
}

TEST_F(ServerTest, OtherExceptionsGoToOnException) {
  bool Seen = false;
  C.OnException = [&](TKXApplication*, const std::exception& E, bool& Handled) {
    Seen = std::string(E.what()).find("Unrecognized") == 0;
    Handled = true;
  };
  TExchange X("GET", "/NOPE");
  X.Run();
  EXPECT_TRUE(Seen);
  EXPECT_EQ(X.Status(), 200);
}

TEST_F(ServerTest, SubmitWithTrackZeroIsNotCacheableAndLaterOnesAre) {
  TKXMainFormScope<TKXCountingForm> Main;
  TKXApplication* S = StartSession();
  ASSERT_NE(S, nullptr);
  const std::string ID = S->AppID();
  TExchange Zero("POST", "/EXEC/0/" + ID);
  Zero.Request.SetHeader("User-Agent", kChrome);
  Zero.Request.SetBody("KX_width=400&KX_height=300");
  Zero.Request.SetContentType("application/x-www-form-urlencoded");
  Zero.Run();
  EXPECT_EQ(S->FormWidth(), 400);
  EXPECT_EQ(TKXCountingForm::Executed, 1);
  EXPECT_EQ(Zero.Header("Pragma"), "no-cache");

  TExchange One("POST", "/exec/1/" + UpperCase(ID));
  One.Request.SetHeader("User-Agent", kChrome);
  One.Run();
  EXPECT_EQ(TKXCountingForm::Executed, 2);
  EXPECT_NE(One.Body().find("<html>"), std::string::npos);
  EXPECT_EQ(One.Header("Pragma"), "");
  EXPECT_FALSE(One.Header("Expires").empty());
}

TEST_F(ServerTest, TrackIdOutOfRangeIsAServerError) {
  TKXMainFormScope<TKXCountingForm> Main;
  TKXApplication* S = StartSession();
  ASSERT_NE(S, nullptr);
  TExchange X("POST", "/EXEC/4294967296/" + S->AppID());
  X.Request.SetHeader("User-Agent", kChrome);
  X.Run();
  EXPECT_EQ(X.Status(), 500);
  EXPECT_EQ(TKXCountingForm::Executed, 0);
}

TEST_F(ServerTest, StopRedirectsAndEndsTheSession) {
  TKXMainFormScope<TKXCountingForm> Main;
  for (const char* Rest : {"_s_.example.org/after", "example.org"}) {
    SCOPED_TRACE(Rest);
    TKXApplication* S = StartSession();
    ASSERT_NE(S, nullptr);
    TExchange Stop("GET", "/STOP/" + S->AppID() + "/" + Rest);
    Stop.Request.SetHeader("User-Agent", kChrome);
    Stop.Run();
    EXPECT_EQ(Stop.Response.Location(), std::string(Rest[0] == '_' ? "https://" : "http://") + Rest);
    EXPECT_EQ(Registry.Count(), 0);
  }
}

TEST_F(ServerTest, BasicAuthenticationChallenge) {
  C.AuthList().Add("user=pass");
  C.SetAuthBeforeNewSession(true);
  TExchange None("GET", "/");
  None.Run();
  EXPECT_EQ(None.Status(), 401);
  EXPECT_EQ(None.Body(), "Authentication Failed.");
  EXPECT_EQ(None.Response.WWWAuthenticate(), "Basic");
  EXPECT_EQ(None.Response.Realm(), "MyApplication");
  EXPECT_EQ(None.Header("Expires"), "");   // a refused request gets no caching headers

  TExchange Wrong("GET", "/");
  Wrong.Request.AddHeader("Authorization", "Basic " + std::string("dXNlcjpub3Bl"));   // user:nope
  Wrong.Run();
  EXPECT_EQ(Wrong.Status(), 401);
  TExchange Right("GET", "/");
  Right.Request.AddHeader("Authorization", "basic dXNlcjpwYXNz");   // user:pass
  Right.Run();
  EXPECT_NE(Right.Status(), 401);   // admitted: the start then finds no main form
}

TEST_F(ServerTest, SSLRedirectPage) {
  const std::string Tail =
      "/\">\r\n<meta http-equiv=\"cache-control\" content=\"no-cache\">\r\n<meta http-equiv=\"pragma\" "
      "content=\"no-cache\">";
  const struct {
    const char* Name;
    int SSLPort, ServerPort;
    const char* Host;
    const char* Expected;   // empty: no redirect
  } Cases[] = {
      {"plain port: to the TLS port, the plain port dropped", 8443, 8888, "example.org:8888",
       "<META HTTP-EQUIV=\"Refresh\"CONTENT=\"0;URL=https://example.org:8443"},
      {"a host that would leave the attribute is escaped", 8443, 8888, "a\"><script>x</script>",
       "<META HTTP-EQUIV=\"Refresh\"CONTENT=\"0;URL=https://a&quot;&gt;&lt;script&gt;x&lt;/script&gt;:8443"},
      {"already on the TLS port", 8443, 8443, "example.org:8443", ""},
      {"no TLS port: nowhere to go", 0, 8888, "example.org:8888", ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    C.SSLOptions().NonSSLRequest = nsRedirect;
    C.SSLOptions().Port = Case.SSLPort;
    TExchange X("GET", "/PING");
    X.Request.AddHeader("Host", Case.Host);
    X.Request.SetServerPort(Case.ServerPort);
    X.Run();
    if (*Case.Expected) {
      EXPECT_EQ(X.Body(), Case.Expected + Tail);
      EXPECT_EQ(X.Header("Pragma"), "");
    } else {
      EXPECT_EQ(X.Body(), "") << "the empty ping answer, as usual";
    }
  }
}

TEST_F(ServerTest, AnswersAreCompressedAfterDispatchWhileCompressionIsOn) {
  for (bool On : {false, true}) {
    SCOPED_TRACE(On);
    C.Compression().SetEnabled(On);
    TExchange X("GET", "/js/KXCommon.js_10.0.0");
    X.Request.AddHeader("Accept-Encoding", "gzip");
    X.Request.AddHeader("User-Agent", "Opera/6.0 (Windows 2000; U) [en]");   // the row that compresses scripts
    X.Run();
    EXPECT_EQ(X.Status(), 200);
    EXPECT_EQ(X.Response.ContentEncoding(), On ? "gzip" : "");
    EXPECT_EQ(X.Header("Vary"), On ? "Accept-Encoding" : "");
    EXPECT_EQ(X.Body().substr(0, 2) == "\x1f\x8b", On);
    EXPECT_EQ(X.Response.ContentLength(), static_cast<int>(X.Body().size()));
  }
}

TEST_F(ServerTest, UndecodableQueryIsAnErrorPage) {
  TExchange X("GET", "/PING", "x=%zz");
  X.Run();
  EXPECT_EQ(X.Status(), 500);
  EXPECT_NE(X.Body().find("Invalid URL encoded character (%zz) at position 3"), std::string::npos);
}

TEST_F(ServerTest, MessagePageQuotesTheContent) {
  TKXServer Server(C, Registry);
  TKXTestWebRequest Request;
  const std::string Page = Server.ServeMessage(&Request, "Error", nullptr, "", "it's \"x\"");
  EXPECT_NE(Page.find("it&#39s &#34x&#34"), std::string::npos);
  EXPECT_NE(Page.find("Pellora Application"), std::string::npos);
  EXPECT_EQ(Page.find('\n', Page.find("writeln")), Page.find("\r\n</script>") + 1);
}

TEST_F(ServerTest, ImageInASubFolderMapsToItsResource) {
  KXRegisterResource("KX_GFX_a_b", "GIF89a-sub");
  AddInternalFile("KX_GFX_a_b", "/gfx/a/b.gif");
  TExchange X("GET", "/gfx/a/b.gif");
  X.Run();
  EXPECT_EQ(X.Status(), 200);
  EXPECT_EQ(X.Body(), "GIF89a-sub");
  EXPECT_EQ(X.Response.ContentType(), "image/gif");
}

TEST_F(ServerTest, EveryInternalFileIsServedWithItsTypeAndRevalidates) {
  for (const std::string& Line : InternalFileLines()) {
    const std::string Name = Line.substr(0, Line.find('='));
    const std::string Path = Line.substr(Line.find('=') + 1);
    if (Path.empty() || Path[0] != '/') continue;
    SCOPED_TRACE(Line);
    // The address that names the resource (pages ask for scripts with the version suffix).
    std::string Asked = Path;
    if (StartsText("KX_GFX_", Name)) Asked = "/gfx/" + Name.substr(7) + ExtractFileExtension(Path);
    if (StartsText("KX_JS_", Name)) Asked = "/js/" + Name.substr(6) + ".js_10.0.0";
    if (StartsText("KX_CSS_", Name)) Asked = "/css/" + Name.substr(7) + ".css";
    TExchange X("GET", Asked);
    X.Run();
    ASSERT_EQ(X.Status(), 200);
    EXPECT_EQ(X.Body(), std::string(InternalFileBytes(Name)));
    EXPECT_FALSE(X.Response.ContentType().empty());
    const std::string LastModified = X.Header("Last-Modified");
    EXPECT_EQ(LastModified, DateTimeToInternetStr(true, C.StartTime()));
    TExchange Again("GET", Asked);
    Again.Request.AddHeader("If-Modified-Since", LastModified);
    Again.Run();
    EXPECT_EQ(Again.Status(), 304);
  }
}

TEST_F(ServerTest, ReEntryIntoAGoneSessionStartsANewOne) {
  TKXMainFormScope<TKXCountingForm> Main;
  int ReEntries = 0;
  C.OnReEntry = [&ReEntries](TKXApplication*) { ++ReEntries; };
  C.ReEntryOptions().Cmd = "again";
  C.ReEntryOptions().AutoCreateSession = true;
  TExchange X("GET", "/again/3", "KX_SessionID_=gone");
  X.Request.SetHeader("User-Agent", kChrome);
  X.Run();
  EXPECT_EQ(Registry.Count(), 1);
  EXPECT_EQ(ReEntries, 1);
  EXPECT_NE(X.Body().find("<html>"), std::string::npos);
  EXPECT_EQ(X.Header("Pragma"), "no-cache");

  C.ReEntryOptions().AutoCreateSession = false;
  TExchange Refused("GET", "/again/3", "KX_SessionID_=gone");
  Refused.Request.SetHeader("User-Agent", kChrome);
  Refused.Run();
  EXPECT_EQ(Refused.Status(), 500);
  EXPECT_EQ(Registry.Count(), 1);
  C.OnReEntry = nullptr;
}
