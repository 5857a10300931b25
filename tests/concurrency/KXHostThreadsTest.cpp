#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "KXHTTPServerModule.h"
#include "KXNotificationQueue.h"
#include "KXStandAloneServer.h"
#include "server/KXSessions.h"
#include "session/KXApplication.h"
#include "KXTestController.h"
#include "KXTestThreads.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkTestClient.h"

namespace fs = std::filesystem;

TEST(KXSocketThrottler, SlowLinkDelaysTheAnswerByItsShare) {
  TKXTestControllerScope Scope([](TKXTestController& C) {
    C.SetPort(0);
    C.SetBoundIP("127.0.0.1");
  });
  // a 3600-byte file from the files folder: with its header block about 3800 bytes on the wire
  fs::create_directories(Scope.Controller().FilesDir());
  std::ofstream(Scope.Controller().FilesDir() + "slow.txt") << std::string(3600, 's');
  TKXHTTPServerModule Module(Scope.Controller(), Scope.Sessions());
  Module.SetBitsPerSec(28800);   // 3600 bytes per second
  const uint16_t Port = static_cast<uint16_t>(Scope.Controller().Port());

  const auto Start = std::chrono::steady_clock::now();
  const std::string A = SkRoundTrip(Port, "GET /files/slow.txt HTTP/1.0\r\n\r\n");
  const auto Elapsed = std::chrono::steady_clock::now() - Start;
  ASSERT_EQ(A.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_GE(A.size(), 3600u);
  EXPECT_GE(Elapsed, std::chrono::milliseconds(900)) << "about one second at 3600 bytes per second";
}

TEST(KXNotificationQueue, PostersNeverWaitAndEachOnesOrderIsKept) {
  TKXNotificationQueue Q;
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<std::vector<int>> Seen(kThreads);   // written by the draining thread only
  std::atomic<int> Finished{0};
  std::vector<std::thread> Posters;
  for (int T = 0; T < kThreads; ++T)
    Posters.emplace_back([&, T] {
      for (int I = 0; I < kEach; ++I) Q.Post([&Seen, T, I] { Seen[T].push_back(I); });
      ++Finished;
    });
  size_t Ran = 0;
  while (Finished < kThreads || Q.Pending() > 0) Ran += Q.WaitAndDrain(std::chrono::milliseconds(10));
  for (std::thread& P : Posters) P.join();
  Ran += Q.Drain();
  EXPECT_EQ(Ran, static_cast<size_t>(kThreads * kEach));
  for (int T = 0; T < kThreads; ++T) {
    SCOPED_TRACE(T);
    ASSERT_EQ(Seen[T].size(), static_cast<size_t>(kEach));
    for (int I = 0; I < kEach; ++I) ASSERT_EQ(Seen[T][I], I);
  }
}

TEST(KXNotificationQueue, AFullQueueDropsAndCountsInsteadOfGrowing) {
  TKXNotificationQueue Q;
  Q.SetMaxPending(3);
  int Ran = 0;
  for (int I = 0; I < 5; ++I) Q.Post([&] { ++Ran; });
  EXPECT_EQ(Q.Dropped(), 2u);
  Q.Post([] { throw std::runtime_error("one bad notification"); });   // dropped as well: full
  EXPECT_EQ(Q.Drain(), 3u);
  EXPECT_EQ(Ran, 3);
  Q.Post([] { throw std::runtime_error("one bad notification"); });
  Q.Post([&] { ++Ran; });
  EXPECT_EQ(Q.Drain(), 2u) << "a throwing notification does not swallow the next";
  EXPECT_EQ(Ran, 4);
}

TEST(KXNotificationQueue, WakeEndsAWaitEarly) {
  TKXNotificationQueue Q;
  std::thread Waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Q.Wake();
  });
  EXPECT_EQ(Q.WaitAndDrain(std::chrono::seconds(30)), 0u);
  Waker.join();
}

TEST(KXStandAloneServer, SessionCountsFromManyThreadsArriveCoalescedAndComplete) {
  TKXTestControllerScope Scope([](TKXTestController& C) {
    C.SetPort(0);
    C.SetBoundIP("127.0.0.1");
  });
  TKXStandAloneServer Server;
  std::atomic<int> Wakes{0};
  Server.Notifications().SetOnPosted([&] { ++Wakes; });
  int32_t Shown = -1;
  int Notified = 0;   // both written by the draining thread only
  Server.OnSessionCountChanged = [&](TKXStandAloneServer*, int32_t ACount) {
    Shown = ACount;
    ++Notified;
  };
  constexpr int kThreads = 4, kEach = 250;
  // Runs AWork on the threads while this thread drains, as the console's thread does.
  auto OnThreads = [&](const std::function<void(int)>& AWork) {
    KXRunOnThreads(kThreads, AWork, [&] { Server.Notifications().WaitAndDrain(std::chrono::milliseconds(1)); });
    Server.Notifications().Drain();
  };
  TKXSessions& Registry = Server.Sessions();
  std::vector<std::vector<std::string>> IDs(kThreads);
  OnThreads([&](int T) {
    for (int I = 0; I < kEach; ++I) {
      const TKXSessionHandle H = Registry.AddSessionAndLock(
          std::make_unique<TKXApplication>(Scope.Controller(), TKXBrowserType{brChrome, brsNone},
                                           "Mozilla/5.0 Chrome/120.0", "127.0.0.1", "", "", "", TSkStringList(), ""));
      IDs[static_cast<size_t>(T)].push_back(H->AppID());
    }
  });
  EXPECT_EQ(Shown, kThreads * kEach);
  OnThreads([&](int T) {
    for (const std::string& ID : IDs[static_cast<size_t>(T)]) Registry.Terminate(ID);
  });
  EXPECT_EQ(Shown, 0);
  EXPECT_EQ(Server.ActiveSessions(), 0);
  EXPECT_GE(Notified, 2);
  EXPECT_LE(Notified, 2 * kThreads * kEach) << "never more than one per change";
  EXPECT_GE(Wakes.load(), 1);
  std::printf("2000 session changes reached the console in %d notifications\n", Notified);
}
