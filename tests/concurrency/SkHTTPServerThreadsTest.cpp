#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SkCustomHTTPServer.h"
#include "SkTestClient.h"

namespace {

uint16_t StartOnLoopback(TSkCustomHTTPServer& AServer) {
  TSkSocketHandle& B = AServer.Bindings().Add();
  B.SetIP("127.0.0.1");
  B.SetPort(0);
  AServer.SetActive(true);
  return AServer.Bindings()[0].Port();
}

// Waits (without a deadline that could make the test flaky) until ACondition holds.
template <class F>
bool Eventually(F ACondition) {
  for (int I = 0; I < 2000; ++I) {
    if (ACondition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ACondition();
}

}  // namespace

TEST(SkHTTPServerThreads, TwoHundredRequestsFromTwentyThreadsAllAnswered) {
  TSkCustomHTTPServer Server;
  Server.OnCommandGet = [](TSkContext&, TSkHTTPRequestInfo& Req, TSkHTTPResponseInfo& Resp) {
    Resp.SetContentText("echo " + Req.Params().Values("n"));
  };
  const uint16_t Port = StartOnLoopback(Server);
  std::atomic<int> Good{0};
  std::vector<std::thread> Clients;
  for (int T = 0; T < 20; ++T)
    Clients.emplace_back([&, T] {
      for (int I = 0; I < 10; ++I) {
        const std::string N = std::to_string(T * 100 + I);
        const std::string A = SkRoundTrip(Port, "GET /?n=" + N + " HTTP/1.1\r\n\r\n");
        if (A == "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(5 + N.size()) +
                     "\r\n\r\necho " + N)
          ++Good;
      }
    });
  for (auto& C : Clients) C.join();
  EXPECT_EQ(Good.load(), 200);
  Server.SetActive(false);
  EXPECT_EQ(Server.ContextCount(), 0);
}

TEST(SkHTTPServerThreads, StopClosesLiveConnectionsAndEndsEveryThread) {
  TSkCustomHTTPServer Server;
  Server.SetReadTimeOut(0);   // without the time-out only the stop can end these connections
  std::atomic<int> Opened{0}, Closed{0};
  std::atomic<bool> InHandler{false};
  Server.OnConnect = [&](TSkContext&) { ++Opened; };
  Server.OnDisconnect = [&](TSkContext&) { ++Closed; };
  Server.OnCommandGet = [&](TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo& Resp) {
    InHandler = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Resp.SetContentText("late");
  };
  const uint16_t Port = StartOnLoopback(Server);
  std::vector<std::unique_ptr<TSkTestClient>> Idle;
  for (int I = 0; I < 5; ++I) Idle.push_back(std::make_unique<TSkTestClient>(Port));
  Idle[0]->Send("GET / HTTP/1.1\r\nHost: half");   // stalls mid-request
  TSkTestClient Busy(Port);
  Busy.Send("GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(Eventually([&] { return Opened == 6 && InHandler; }));
  Server.SetActive(false);
  EXPECT_EQ(Server.ContextCount(), 0);
  EXPECT_EQ(Closed.load(), 6);
  for (auto& C : Idle) {
    EXPECT_EQ(C->ReadAll(2000), "");
    EXPECT_TRUE(C->ClosedByPeer());
  }
  // the request under way finished writing or failed on the closed socket; either way it is over
  Busy.ReadAll(2000);
  EXPECT_TRUE(Busy.ClosedByPeer());
  // and the server starts again on a fresh port
  Server.Bindings().Clear();
  const uint16_t Again = StartOnLoopback(Server);
  EXPECT_EQ(SkRoundTrip(Again, "GET / HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
}

TEST(SkHTTPServerThreads, ConnectionBeyondTheCapGets503AndServerGoesOn) {
  TSkCustomHTTPServer Server;
  Server.SetMaxConnections(2);
  std::atomic<int> Opened{0};
  Server.OnConnect = [&](TSkContext&) { ++Opened; };
  const uint16_t Port = StartOnLoopback(Server);
  {
    TSkTestClient A(Port), B(Port);
    ASSERT_TRUE(Eventually([&] { return Server.ContextCount() == 2; }));
    TSkTestClient Third(Port);
    Third.Send("GET / HTTP/1.1\r\n\r\n");
    const std::string Answer = Third.ReadAll();
    EXPECT_EQ(Answer.substr(0, 34), "HTTP/1.1 503 Service Unavailable\r\n");
    EXPECT_NE(Answer.find("<HTML><BODY><B>503 Service Unavailable</B></BODY></HTML>"), std::string::npos);
    EXPECT_EQ(Opened.load(), 2);
  }
  // the two held connections went away: there is room again
  ASSERT_TRUE(Eventually([&] { return Server.ContextCount() == 0; }));
  EXPECT_EQ(SkRoundTrip(Port, "GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
}

TEST(SkHTTPServerThreads, StalledClientDoesNotKeepOthersWaiting) {
  TSkCustomHTTPServer Server;
  Server.SetReadTimeOut(60000);
  const uint16_t Port = StartOnLoopback(Server);
  TSkTestClient Slow(Port);
  Slow.Send("GET / HT");
  for (int I = 0; I < 5; ++I)
    EXPECT_EQ(SkRoundTrip(Port, "GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
  Server.SetActive(false);
}
