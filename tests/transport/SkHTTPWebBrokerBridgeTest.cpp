#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>

#include "SkHTTPWebBrokerBridge.h"
#include "SkStream.h"
#include "SkStringList.h"
#include "SkTestClient.h"

namespace {

using THandler = std::function<bool(TWebRequest&, TWebResponse&)>;

std::atomic<int> GDispatchersAlive{0};

class TTestDispatcher : public IWebDispatcher {
public:
  explicit TTestDispatcher(THandler* AHandler) : FHandler(AHandler) { ++GDispatchersAlive; }
  ~TTestDispatcher() override { --GDispatchersAlive; }
  bool HandleRequest(TWebRequest& ARequest, TWebResponse& AResponse) override {
    return (*FHandler)(ARequest, AResponse);
  }

private:
  THandler* FHandler;
};

class SkHTTPWebBrokerBridgeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Bridge.RegisterWebModuleClass([this] { return std::unique_ptr<IWebDispatcher>(new TTestDispatcher(&Handler)); });
    TSkSocketHandle& B = Bridge.Bindings().Add();
    B.SetIP("127.0.0.1");
    B.SetPort(0);
    Bridge.SetActive(true);
    Port = Bridge.Bindings()[0].Port();
  }
  std::string Ask(std::string_view ARequest) { return SkRoundTrip(Port, ARequest); }
  static std::string Body(const std::string& AAnswer) {
    const size_t P = AAnswer.find("\r\n\r\n");
    return P == std::string::npos ? std::string() : AAnswer.substr(P + 4);
  }

  TSkHTTPWebBrokerBridge Bridge;
  uint16_t Port = 0;
  THandler Handler;
};

// Every string variable of the request, captured on the connection's thread.
struct TCapture {
  std::map<int, std::string> Vars;
  std::string QueryFields, ContentFields, CookieFields, Read;
  int ContentLength = -2, ServerPort = -2;
  TMethodType Method = mtAny;
};

THandler Capturing(TCapture& C) {
  return [&C](TWebRequest& R, TWebResponse&) {
    for (int I = 0; I < TWebRequest::kVariableCount + 2; ++I) C.Vars[I] = R.GetStringVariable(I);
    C.QueryFields = R.QueryFields().Text();
    C.ContentFields = R.ContentFields().Text();
    C.CookieFields = R.CookieFields().Text();
    C.ContentLength = R.ContentLength();
    C.ServerPort = R.ServerPort();
    C.Method = R.MethodType();
    char Buf[3];
    for (int N; (N = R.ReadClient(Buf, sizeof Buf)) > 0;) C.Read.append(Buf, static_cast<size_t>(N));
    return true;
  };
}

}  // namespace

TEST_F(SkHTTPWebBrokerBridgeTest, RequestVariablesComeFromTheRecords) {
  TCapture C;
  Handler = Capturing(C);
  Ask("post /x%20y?a=1 HTTP/1.1\r\n"
      "Host: example:8080\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: 3\r\n"
      "CACHE_CONTROL: no\r\n"
      "Cache-Control: ignored\r\n"
      "DATE: Tue, 08 Dec 2026 09:05:03 GMT\r\n"
      "Accept: text/*\r\n"
      "From: me@example\r\n"
      "IF_MODIFIED_SINCE: ims\r\n"
      "Referer: http://r/\r\n"
      "User-Agent: UA/1.0\r\n"
      "Content-Encoding: identity\r\n"
      "CONTENT_VERSION: cv\r\n"
      "DERIVED_FROM: df\r\n"
      "EXPIRES: ex\r\n"
      "TITLE: ti\r\n"
      "REMOTE_HOST: rh\r\n"
      "CONNECTION: cn\r\n"
      "AUTHORIZATION: Basic dTpw\r\n"
      "Cookie: s=1; t=two\r\n"
      "\r\n"
      "b=2");
  const struct {
    int Index;
    const char* Value;
  } Expected[] = {
      {TWebRequest::kMethod, "POST"}, {TWebRequest::kProtocolVersion, "HTTP/1.1"}, {TWebRequest::kURL, "/x y"},
      {TWebRequest::kQuery, "b=2&a=1"}, {TWebRequest::kPathInfo, "/x y"}, {TWebRequest::kPathTranslated, "/x y"},
      {TWebRequest::kCacheControl, "no"}, {TWebRequest::kDate, "Tue, 08 Dec 2026 09:05:03 GMT"},
      {TWebRequest::kAccept, "text/*"}, {TWebRequest::kFrom, "me@example"}, {TWebRequest::kHost, "example"},
      {TWebRequest::kIfModifiedSince, "ims"}, {TWebRequest::kReferer, "http://r/"},
      {TWebRequest::kUserAgent, "UA/1.0"}, {TWebRequest::kContentEncoding, "identity"},
      {TWebRequest::kContentType, "application/x-www-form-urlencoded"}, {TWebRequest::kContentLength, "7"},
      {TWebRequest::kContentVersion, "cv"}, {TWebRequest::kDerivedFrom, "df"}, {TWebRequest::kExpires, "ex"},
      {TWebRequest::kTitle, "ti"}, {TWebRequest::kRemoteAddr, "127.0.0.1"}, {TWebRequest::kRemoteHost, "rh"},
      {TWebRequest::kScriptName, ""}, {TWebRequest::kServerPort, "8080"}, {TWebRequest::kRawContent, "b=2&a=1"},
      {TWebRequest::kConnection, "cn"}, {TWebRequest::kCookie, ""}, {TWebRequest::kAuthorization, "Basic dTpw"},
      {TWebRequest::kVariableCount, ""}, {TWebRequest::kVariableCount + 1, ""},
  };
  for (const auto& E : Expected) {
    SCOPED_TRACE(E.Index);
    EXPECT_EQ(C.Vars[E.Index], E.Value);
  }
  EXPECT_EQ(C.Method, mtPost);
  EXPECT_EQ(C.ContentLength, 7);
  EXPECT_EQ(C.ServerPort, 8080);
  EXPECT_EQ(C.QueryFields, "b=2\r\na=1\r\n");
  EXPECT_EQ(C.ContentFields, "b=2\r\na=1\r\n");
  EXPECT_EQ(C.CookieFields, "s=1\r\nt=two\r\n");
  EXPECT_EQ(C.Read, "b=2&a=1");   // read in 3-byte steps up to the end
}

TEST_F(SkHTTPWebBrokerBridgeTest, QueryHostAndPortVariants) {
  const struct {
    const char* Name;
    std::string Raw;
    std::string Query, Host, ServerPort;
    int ContentLength;
  } Cases[] = {
      {"GET without query", "GET / HTTP/1.0\r\nHost: example\r\n\r\n", "", "example", "<local>", 0},
      {"GET with query", "GET /x?a=1 HTTP/1.0\r\nHost: h:81\r\n\r\n", "a=1", "h", "81", 3},
      {"no Host header", "GET / HTTP/1.0\r\n\r\n", "", "", "<local>", 0},
      {"bracketed IPv6 host", "GET / HTTP/1.0\r\nHost: [::1]:8081\r\n\r\n", "", "[::1]", "8081", 0},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TCapture C;
    Handler = Capturing(C);
    Ask(Case.Raw);
    EXPECT_EQ(C.Vars[TWebRequest::kQuery], Case.Query);
    EXPECT_EQ(C.Vars[TWebRequest::kRawContent], Case.Query);
    EXPECT_EQ(C.Vars[TWebRequest::kHost], Case.Host);
    EXPECT_EQ(C.ContentLength, Case.ContentLength);
    EXPECT_EQ(C.Vars[TWebRequest::kServerPort], Case.ServerPort == "<local>" ? std::to_string(Port) : Case.ServerPort);
    EXPECT_EQ(C.QueryFields.empty(), Case.Query.empty());
  }
}

TEST_F(SkHTTPWebBrokerBridgeTest, ResponseFraming) {
  const struct {
    const char* Name;
    THandler Handle;
    std::string StatusLine;
    std::vector<std::string> Headers;   // lines that must be present
    std::string Body;
  } Cases[] = {
      {"404 without content gets the status page",
       [](TWebRequest&, TWebResponse& R) { R.SetStatusCode(404); return true; }, "HTTP/1.1 404 Not Found",
       {"Content-Type: text/html"}, "<HTML><BODY><B>404 Not Found</B></BODY></HTML>\r\n"},
      {"unhandled requests keep the server's defaults", [](TWebRequest&, TWebResponse&) { return false; },
       "HTTP/1.1 200 OK", {"Connection: close"}, ""},
      {"UTF-8 content is sent as its bytes",
       [](TWebRequest&, TWebResponse& R) {
         R.SetContentType("text/html; charset=utf-8");
         R.SetContent("Za\xc5\x82\xc3\xb3\xc5\xbc");
         return true;
       },
       "HTTP/1.1 200 OK", {"Content-Length: 8", "Content-Type: text/html; charset=utf-8"}, "Za\xc5\x82\xc3\xb3\xc5\xbc"},
      {"8-bit content type sends ISO 8859-1",
       [](TWebRequest&, TWebResponse& R) {
         R.SetContent("\xc3\xa9");
         return true;
       },
       "HTTP/1.1 200 OK", {"Content-Length: 1"}, "\xe9"},
      {"a redirect is written by the server after the bridge",
       [](TWebRequest&, TWebResponse& R) {
         R.SendRedirect("/elsewhere");
         return true;
       },
       "HTTP/1.1 302 Moved Temporarily", {"Location: /elsewhere"}, ""},
      {"content stream, custom headers, cookies and reason",
       [](TWebRequest&, TWebResponse& R) {
         R.SetContentStream(std::make_unique<TSkMemoryStream>(std::string(40000, 'x')));
         R.SetCustomHeader("X-One", "1");
         R.SetCustomHeader("X-One", "2");
         TCookie& K = R.Cookies().Add();
         K.SetName("k");
         K.SetValue("v");
         K.SetPath("/");
         R.SetStatusCode(201);
         R.SetReasonString("Made");
         R.SetVersion("HTTP/0.9");
         return true;
       },
       "HTTP/1.1 201 Made", {"Content-Length: 40000", "X-One: 2", "Set-Cookie: k=v; path=/"}, std::string(40000, 'x')},
      {"a stream left with a redirect is still sent",
       [](TWebRequest&, TWebResponse& R) {
         R.SetContentStream(std::make_unique<TSkMemoryStream>(std::string("moved")));
         R.SendRedirect("/s");
         return true;
       },
       "HTTP/1.1 302 Moved Temporarily", {"Location: /s"}, "moved"},
      {"a dispatcher failure is answered 500 by the server",
       [](TWebRequest&, TWebResponse&) -> bool { throw std::runtime_error("boom"); }, "HTTP/1.1 500 Internal Server Error",
       {}, "boom"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Handler = Case.Handle;
    const std::string A = Ask("GET / HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(A.substr(0, A.find("\r\n")), Case.StatusLine);
    const std::string Head = A.substr(0, A.find("\r\n\r\n") + 2);
    for (const std::string& H : Case.Headers) EXPECT_NE(Head.find("\r\n" + H + "\r\n"), std::string::npos) << H << "\n" << Head;
    EXPECT_EQ(Head.find("\r\nServer:"), std::string::npos);
    EXPECT_EQ(Body(A), Case.Body);
    EXPECT_EQ(GDispatchersAlive.load(), 0);   // freed also when it raised
  }
}

TEST_F(SkHTTPWebBrokerBridgeTest, SentResponsesAreNotSentAgainAndVersionIsReadOnly) {
  int Sends = 0;
  std::string Version;
  Handler = [&](TWebRequest&, TWebResponse& R) {
    R.SetVersion("HTTP/9.9");
    Version = R.Version();
    R.SetContent("once");
    R.SendResponse();
    ++Sends;
    return true;
  };
  const std::string A = Ask("GET / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(Version, "HTTP/1.0");
  EXPECT_EQ(Sends, 1);
  EXPECT_EQ(Body(A), "once");
}

TEST_F(SkHTTPWebBrokerBridgeTest, ResponseIndexErrorsNameTheOperation) {
  std::vector<std::string> Messages;
  Handler = [&](TWebRequest&, TWebResponse& R) {
    const std::function<void()> Calls[] = {
        [&] { R.GetDateVariable(3); },       [&] { R.SetDateVariable(-1, 0); },
        [&] { R.GetIntegerVariable(1); },    [&] { R.SetIntegerVariable(2, 0); },
        [&] { R.GetStringVariable(12); },    [&] { R.SetStringVariable(99, ""); },
    };
    for (const auto& Call : Calls) {
      try {
        Call();
        Messages.push_back("no exception");
      } catch (const EWBBException& E) {
        Messages.push_back(E.what());
      }
    }
    return true;
  };
  Ask("GET / HTTP/1.0\r\n\r\n");
  const std::vector<std::string> Expected = {
      "Invalid Index 3 in TSkHTTPAppResponse.GetDateVariable",
      "Invalid Index -1 in TSkHTTPAppResponse.SetDateVariable",
      "Invalid Index 1 in TSkHTTPAppResponse.GetIntegerVariable",
      "Invalid Index 2 in TSkHTTPAppResponse.SetIntegerVariable",
      "Invalid Index 12 in TSkHTTPAppResponse.GetStringVariable",
      "Invalid Index 99 in TSkHTTPAppResponse.SetStringVariable",
  };
  EXPECT_EQ(Messages, Expected);
}

TEST_F(SkHTTPWebBrokerBridgeTest, SendStreamWritesTheWholeStreamWithoutHeaders) {
  Handler = [](TWebRequest& Req, TWebResponse& R) {
    Req.WriteHeaders(200, "Fine", "X-A: 1\r\nX-B: 2");
    TSkMemoryStream S(std::string(70000, 'y'));
    S.SetPosition(500);   // written from its start whatever the position
    R.SendStream(S);
    return false;
  };
  const std::string A = Ask("GET / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(A.substr(0, A.find("\r\n")), "HTTP/1.1 200 Fine");
  EXPECT_NE(A.find("\r\nX-A: 1\r\nX-B: 2\r\n"), std::string::npos);
  EXPECT_EQ(Body(A), std::string(70000, 'y'));
}
