#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "SkCustomHTTPServer.h"
#include "SkTestClient.h"

namespace {

// A server on a kernel-chosen port of 127.0.0.1.
struct TTestServer {
  TSkCustomHTTPServer Server;
  uint16_t Port = 0;
  void Start() {
    Server.Bindings().Clear();
    TSkSocketHandle& B = Server.Bindings().Add();
    B.SetIP("127.0.0.1");
    B.SetPort(0);
    Server.SetActive(true);
    Port = Server.Bindings()[0].Port();
  }
  std::string Ask(std::string_view ARequest) { return SkRoundTrip(Port, ARequest); }
};

class SkHTTPServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    T.Server.OnCommandGet = [this](TSkContext& C, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
      if (Handler) Handler(C, Req, Resp);
    };
  }
  void Start() { T.Start(); }
  TTestServer T;
  std::function<void(TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo&)> Handler;
};

}  // namespace

TEST_F(SkHTTPServerTest, PortZeroIsChosenByTheKernelAndABusyPortIsRefused) {
  Start();
  EXPECT_NE(T.Port, 0);
  EXPECT_TRUE(T.Server.Active());
  TSkCustomHTTPServer Second;
  TSkSocketHandle& B = Second.Bindings().Add();
  B.SetIP("127.0.0.1");
  B.SetPort(T.Port);
  try {
    Second.SetActive(true);
    FAIL() << "bound a port in use";
  } catch (const ESkCouldNotBindSocket& E) {
    EXPECT_STREQ(E.what(), "Could not bind socket. Address and port are already in use.");
  }
  EXPECT_FALSE(Second.Active());
}

TEST_F(SkHTTPServerTest, ExactResponseBytes) {
  Handler = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
    if (Req.Document() == "/page") {
      Resp.SetContentType("text/html");
      Resp.SetContentText("<p>hi</p>");
      Resp.SetDate(EncodeDateTime(2026, 12, 8, 9, 5, 3));
      Resp.SetLastModified(EncodeDateTime(2026, 1, 2, 3, 4, 5));
      Resp.SetCacheControl("no-cache");
      Resp.CustomHeaders().AddValue("X-One", "1");
      Resp.Cookies().AddCookie("sid=abc; path=/app/; expires=Tue, 08 Dec 2026 09:05:03 GMT");
    } else if (Req.Document() == "/moved") {
      Resp.Redirect("http://elsewhere/");
    } else if (Req.Document() == "/missing") {
      Resp.SetResponseNo(404);
      Resp.WriteContent();
    } else if (Req.Document() == "/secret") {
      Resp.SetAuthRealm("Kexalo");
    } else if (Req.Document() == "/stream") {
      Resp.SetContentStream(new std::istringstream("streamed"));
    } else if (Req.Document() == "/fail") {
      throw std::runtime_error("Boom in handler");
    }
  };
  Start();
  const struct {
    const char* Name;
    const char* Request;
    std::string Response;
  } Cases[] = {
      {"empty answer", "GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"},
      {"full header order", "GET /page HTTP/1.0\r\n\r\n",
       "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
       "Cache-control: no-cache\r\nDate: Tue, 08 Dec 2026 09:05:03 GMT\r\nX-One: 1\r\n"
       "Last-Modified: Fri, 02 Jan 2026 03:04:05 GMT\r\n"
       "Set-Cookie: sid=abc; path=/app/; expires=Tue, 08 Dec 2026 09:05:03 GMT\r\n\r\n<p>hi</p>"},
      {"head has no body", "HEAD /page HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
       "Cache-control: no-cache\r\nDate: Tue, 08 Dec 2026 09:05:03 GMT\r\nX-One: 1\r\n"
       "Last-Modified: Fri, 02 Jan 2026 03:04:05 GMT\r\n"
       "Set-Cookie: sid=abc; path=/app/; expires=Tue, 08 Dec 2026 09:05:03 GMT\r\n\r\n"},
      {"redirect", "GET /moved HTTP/1.1\r\n\r\n",
       "HTTP/1.1 302 Moved Temporarily\r\nConnection: close\r\nLocation: http://elsewhere/\r\n\r\n"},
      {"404 fallback body", "GET /missing HTTP/1.1\r\n\r\n",
       "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n<HTML><BODY><B>404 Not Found</B></BODY></HTML>\r\n"},
      {"realm", "GET /secret HTTP/1.1\r\n\r\n",
       "HTTP/1.1 401 Unauthorized\r\nConnection: close\r\nWWW-Authenticate: Basic realm=\"Kexalo\"\r\n"
       "Content-Type: text/html\r\nContent-Length: 49\r\n\r\n<HTML><BODY><B>401 Unauthorized</B></BODY></HTML>"},
      {"stream", "GET /stream HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 8\r\n\r\nstreamed"},
      {"handler exception", "GET /fail HTTP/1.1\r\n\r\n",
       "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\nContent-Length: 15\r\n\r\nBoom in handler"},
      {"other methods", "DELETE /x HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"},
      {"unknown method", "BREW /pot HTTP/1.1\r\n\r\n", "HTTP/1.1 501 Not Implemented\r\nConnection: close\r\n\r\n"},
      {"bad version", "GET / HTCPCP/1.0\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 48\r\n\r\n"
       "<HTML><BODY><B>400 Bad Request</B></BODY></HTML>"},
      {"length not a number", "POST / HTTP/1.1\r\nContent-Length: 12x\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 48\r\n\r\n"
       "<HTML><BODY><B>400 Bad Request</B></BODY></HTML>"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(T.Ask(C.Request), C.Response);
  }
}

TEST_F(SkHTTPServerTest, RequestRecordFields) {
  TSkHTTPRequestInfo Seen;
  Handler = [&](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo&) {
    Seen.SetDocument(Req.Document());
    Seen.SetCommand(Req.Command());
    Seen.SetVersion(Req.Version());
    Seen.SetUnparsedParams(Req.UnparsedParams());
    Seen.SetQueryParams(Req.QueryParams());
    Seen.SetFormParams(Req.FormParams());
    Seen.SetAuthUsername(Req.AuthUsername());
    Seen.SetAuthPassword(Req.AuthPassword());
    Seen.SetRemoteIP(Req.RemoteIP());
    Seen.SetHost(Req.Host());
    Seen.SetUserAgent(Req.UserAgent());
    Seen.Params() = Req.Params();
    Seen.Cookies() = Req.Cookies();
    Seen.SetCommandType(Req.CommandType());
  };
  Start();
  T.Ask("post /dir/caf%u00e9%C3%A9?a=1&b=x+y%21 HTTP/1.1\r\nHost: example:8080\r\nUser-Agent: UA\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n"
        "Authorization: Basic dXNlcjpwYTpzcw==\r\nCookie: one=1; two=2\r\ncookie: three=3\r\n\r\nc=3&d=4");
  EXPECT_EQ(Seen.Command(), "POST");
  EXPECT_EQ(Seen.CommandType(), THTTPCommandType::hcPOST);
  EXPECT_EQ(Seen.Version(), "HTTP/1.1");
  EXPECT_EQ(Seen.Document(), "/dir/caf\xe9\xc3\xa9");
  EXPECT_EQ(Seen.FormParams(), "c=3&d=4");
  EXPECT_EQ(Seen.QueryParams(), "a=1&b=x+y%21");
  EXPECT_EQ(Seen.UnparsedParams(), "c=3&d=4&a=1&b=x+y%21");
  EXPECT_EQ(Seen.Params().Join("|"), "c=3|d=4|a=1|b=x y!");
  EXPECT_EQ(Seen.AuthUsername(), "user");
  EXPECT_EQ(Seen.AuthPassword(), "pa:ss");
  EXPECT_EQ(Seen.RemoteIP(), "127.0.0.1");
  EXPECT_EQ(Seen.Host(), "example:8080");
  EXPECT_EQ(Seen.UserAgent(), "UA");
  ASSERT_EQ(Seen.Cookies().Count(), 3);
  EXPECT_EQ(Seen.Cookies()[1].CookieName(), "two");
  EXPECT_EQ(Seen.Cookies()[2].Value(), "3");

  T.Ask("GET /a=b HTTP/1.1\r\n\r\n");
  EXPECT_EQ(Seen.Document(), "/a");
  T.Ask("GET /q?x=1&&y HTTP/1.1\r\n\r\n");   // not a form post: the query alone, empty pieces kept
  EXPECT_EQ(Seen.Params().Join("|"), "x=1||y");
  T.Ask("OPTIONS * HTTP/1.1\r\n\r\n");
}

TEST_F(SkHTTPServerTest, PostBodiesWithAndWithoutLength) {
  std::string Body;
  Handler = [&](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
    Body = Req.PostStream();
    Resp.SetContentText("got " + std::to_string(Body.size()));
  };
  Start();
  const std::string Big(100000, 'b');
  EXPECT_NE(T.Ask("POST / HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + Big).find("\r\n\r\ngot 100000"),
            std::string::npos);
  EXPECT_EQ(Body, Big);

  TSkTestClient C(T.Port);
  C.Send("POST / HTTP/1.0\r\n\r\nuntil the");
  C.Send(" close");
  C.ShutdownSend();
  EXPECT_NE(C.ReadAll().find("got 15"), std::string::npos);
  EXPECT_EQ(Body, "until the close");
}

TEST_F(SkHTTPServerTest, ExpectContinueAndRefusedExpectation) {
  Handler = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) { Resp.SetContentText(Req.PostStream()); };
  Start();
  TSkTestClient C(T.Port);
  C.Send("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(C.ReadUntil("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  C.Send("body");
  EXPECT_EQ(C.ReadAll(), "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 4\r\n\r\nbody");

  EXPECT_EQ(T.Ask("POST / HTTP/1.1\r\nExpect: something-else\r\nContent-Length: 4\r\n\r\n"),
            "HTTP/1.1 417 \r\nConnection: close\r\n\r\n");
  // HTTP/1.0 does not know the mechanism: no interim line
  EXPECT_EQ(T.Ask("POST / HTTP/1.0\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\nok"),
            "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok");
}

TEST_F(SkHTTPServerTest, RefusedRequestsCloseWithoutAnswer) {
  std::vector<std::string> Failures;
  std::mutex FailuresLock;   // guards Failures: written on connection threads
  T.Server.OnException = [&](TSkContext&, const std::exception& E) {
    std::lock_guard L(FailuresLock);
    Failures.push_back(E.what());
  };
  Start();
  std::string Lines1025, Lines1026;
  for (int I = 0; I < 1025; ++I) Lines1025 += "X-" + std::to_string(I) + ": v\r\n";
  Lines1026 = Lines1025 + "X-last: v\r\n";
  EXPECT_EQ(T.Ask("GET / HTTP/1.1\r\n" + Lines1025 + "\r\n").substr(0, 15), "HTTP/1.1 200 OK");
  const struct {
    const char* Name;
    std::string Request;
    const char* Message;
  } Cases[] = {
      {"1026 header lines", "GET / HTTP/1.1\r\n" + Lines1026 + "\r\n", "Maximum number of line allowed exceeded"},
      {"no blank", "NONSENSE\r\n\r\n", "Error in parsing command."},
      {"over-long line", std::string(16385, 'G'), "Max line length exceeded."},
      {"digest", "GET / HTTP/1.1\r\nAuthorization: Digest abc\r\n\r\n", "Unsupported authorization scheme."},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(T.Ask(C.Request), "");
  }
  T.Server.SetActive(false);   // every connection thread has ended and reported
  for (const auto& C : Cases) EXPECT_NE(std::find(Failures.begin(), Failures.end(), C.Message), Failures.end()) << C.Name;
}

TEST_F(SkHTTPServerTest, LimitsAnswerWithTheirStatus) {
  T.Server.SetReadTimeOut(300);
  T.Server.SetMaxBodySize(1000);
  T.Server.SetMaxHeaderSize(2000);
  Start();
  {
    SCOPED_TRACE("stalled mid-request");
    TSkTestClient C(T.Port);
    C.Send("GET / HTTP/1.1\r\nHost: a\r\n");
    EXPECT_EQ(C.ReadAll().substr(0, 30), "HTTP/1.1 408 Request Timeout\r\n");
    EXPECT_TRUE(C.ClosedByPeer());
  }
  {
    SCOPED_TRACE("stalled in the body");
    TSkTestClient C(T.Port);
    C.Send("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
    EXPECT_EQ(C.ReadAll().substr(0, 30), "HTTP/1.1 408 Request Timeout\r\n");
  }
  {
    SCOPED_TRACE("sends nothing");
    TSkTestClient C(T.Port);
    EXPECT_EQ(C.ReadAll(), "");
    EXPECT_TRUE(C.ClosedByPeer());
  }
  EXPECT_EQ(T.Ask("GET / HTTP/1.1\r\nX: " + std::string(2000, 'v') + "\r\n\r\n").substr(0, 46),
            "HTTP/1.1 431 Request Header Fields Too Large\r\n");
  EXPECT_EQ(T.Ask("POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n").substr(0, 37),
            "HTTP/1.1 413 Request Entity To Long\r\n");
  {
    SCOPED_TRACE("body without length over the cap");
    TSkTestClient C(T.Port);
    C.Send("POST / HTTP/1.1\r\n\r\n" + std::string(5000, 'x'));
    EXPECT_EQ(C.ReadAll().substr(0, 37), "HTTP/1.1 413 Request Entity To Long\r\n");
  }
  // the server still serves after all of that
  EXPECT_EQ(T.Ask("GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
}

TEST_F(SkHTTPServerTest, HeadersBlockedHookAnswers) {
  T.Server.OnHeadersAvailable = [](TSkContext&, const TSkHeaderList& H) { return H.Values("X-Block").empty(); };
  T.Server.OnHeadersBlocked = [](TSkContext&, const TSkHeaderList&, std::string& Content, std::string& Reason, int&) {
    Content = "no";
    Reason = "Go away";
  };
  Start();
  EXPECT_EQ(T.Ask("GET / HTTP/1.1\r\nX-Block: 1\r\n\r\n"),
            "HTTP/1.1 403 Go away\r\nConnection: close\r\nContent-Length: 2\r\n\r\nno");
}

namespace {

struct TRecordingIntercept : TSkConnectionIntercept {
  std::vector<std::string>* Sent;
  explicit TRecordingIntercept(std::vector<std::string>* ASent) : Sent(ASent) {}
  void Send(std::string& ABytes) override { Sent->push_back(ABytes); }
};

}  // namespace

TEST_F(SkHTTPServerTest, InterceptSeesEveryBlockInOrder) {
  std::vector<std::string> Blocks;   // written by the one connection thread, read after the stop
  T.Server.OnConnect = [&](TSkContext& C) {
    C.Connection().IOHandler().SetIntercept(std::make_unique<TRecordingIntercept>(&Blocks));
  };
  const std::string Payload(70000, 'z');
  Handler = [&](TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo& Resp) {
    Resp.SetContentStream(new std::istringstream(Payload));
  };
  Start();
  const std::string Answer = T.Ask("GET / HTTP/1.1\r\n\r\n");
  T.Server.SetActive(false);
  ASSERT_EQ(Blocks.size(), 4u);   // header block, then 32768 + 32768 + 4464
  EXPECT_EQ(Blocks[0], "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 70000\r\n\r\n");
  EXPECT_EQ(Blocks[1].size(), 32768u);
  EXPECT_EQ(Blocks[2].size(), 32768u);
  EXPECT_EQ(Blocks[3].size(), 70000u - 65536u);
  EXPECT_EQ(Answer, Blocks[0] + Payload);
}
