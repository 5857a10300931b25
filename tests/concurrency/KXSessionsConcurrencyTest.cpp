#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "session/KXApplication.h"
#include "server/KXSessions.h"
#include "KXTestController.h"

namespace {

using namespace std::chrono_literals;

struct SessionLocking : ::testing::Test {
  TKXTestControllerScope Scope;
  TKXServerControllerBase& C = Scope.Controller();
  TKXSessions& Registry = Scope.Sessions();

  TKXApplication* Add() {
    std::string Ignored;
    return Add(Ignored);
  }
  // AID is copied while the session is still locked: once released, a sweep may take it.
  TKXApplication* Add(std::string& AID) {
    TKXSessionHandle S = Registry.AddSessionAndLock(
        std::make_unique<TKXApplication>(C, TKXBrowserType{brChrome, brsNone}, "Chrome", "127.0.0.1", "", "", "",
                                         TSkStringList(), ""));
    AID = S->AppID();
    return S.Get();
  }
  // What a request does: look up and lock, work, then the handle releases it.
  template <class F>
  bool Request(const std::string& AID, F AWork) {
    TKXSessionHandle S = Registry.LookupAndLock(AID);
    if (!S) return false;
    AWork(S.Get());
    return true;
  }
};

// Runs ABody while another thread holds ASession, then lets that thread go.
template <class F>
void WhileHeldElsewhere(TKXSessions& ARegistry, const std::string& AID, F ABody) {
  std::promise<void> Held, Go;
  std::thread Holder([&] {
    TKXSessionHandle S = ARegistry.LookupAndLock(AID);
    Held.set_value();
    Go.get_future().wait();
  });
  Held.get_future().wait();
  ABody();
  Go.set_value();
  Holder.join();
}

}  // namespace

TEST_F(SessionLocking, RequestsOfOneSessionRunOneAfterAnother) {
  const std::string ID = Add()->AppID();
  std::atomic<int> Inside{0}, MaxInside{0};
  int Counter = 0;   // unguarded on purpose: the session lock alone must protect it
  std::vector<std::thread> Threads;
  for (int T = 0; T < 8; ++T)
    Threads.emplace_back([&] {
      for (int I = 0; I < 50; ++I)
        ASSERT_TRUE(Request(ID, [&](TKXApplication*) {
          const int Now = ++Inside;
          int Seen = MaxInside.load();
          while (Now > Seen && !MaxInside.compare_exchange_weak(Seen, Now)) {
          }
          ++Counter;
          --Inside;
        }));
    });
  for (auto& T : Threads) T.join();
  EXPECT_EQ(Counter, 400);
  EXPECT_EQ(MaxInside.load(), 1);
}

TEST_F(SessionLocking, DifferentSessionsRunInParallel) {
  const std::string A = Add()->AppID(), B = Add()->AppID();
  // Each request waits until the other is inside too: only possible when both run at once.
  std::mutex M;
  std::condition_variable Cv;
  int Inside = 0;
  auto Work = [&](TKXApplication*) {
    std::unique_lock<std::mutex> L(M);
    ++Inside;
    Cv.notify_all();
    EXPECT_TRUE(Cv.wait_for(L, 10s, [&] { return Inside == 2; }));
  };
  std::thread TA([&] { Request(A, Work); });
  std::thread TB([&] { Request(B, Work); });
  TA.join();
  TB.join();
  EXPECT_EQ(Inside, 2);
}

TEST_F(SessionLocking, RequestWaitsForABusySessionThenProceeds) {
  const std::string ID = Add()->AppID();
  std::atomic<bool> Released{false};
  std::atomic<bool> RanAfterRelease{false};
  std::thread Waiter;
  WhileHeldElsewhere(Registry, ID, [&] {
    Waiter = std::thread([&] { Request(ID, [&](TKXApplication*) { RanAfterRelease = Released.load(); }); });
    std::this_thread::sleep_for(50ms);
    // The registry stays usable while the waiter retries.
    EXPECT_EQ(Registry.Count(), 1);
    Add();
    Released = true;
  });
  Waiter.join();
  EXPECT_TRUE(RanAfterRelease.load());
}

TEST_F(SessionLocking, SweepSkipsABusySessionAndExpiresItNextTime) {
  TKXApplication* S = Add();
  S->SetSessionTimeOut(0);
  const std::string ID = S->AppID();
  WhileHeldElsewhere(Registry, ID, [&] {
    Registry.SweepExpired();
    EXPECT_TRUE(Registry.IsValidSession(S));
  });
  Registry.SweepExpired();
  EXPECT_FALSE(Registry.LookupAndLock(ID));
}

TEST_F(SessionLocking, TerminateWaitsForTheRequestInside) {
  TKXApplication* S = Add();
  const std::string ID = S->AppID();
  std::atomic<bool> RequestDone{false};
  std::atomic<bool> ClosedAfterRequest{false};
  C.OnCloseSession = [&](TKXApplication*) { ClosedAfterRequest = RequestDone.load(); };
  std::thread Ender;
  WhileHeldElsewhere(Registry, ID, [&] {
    Ender = std::thread([&] { Registry.Terminate(ID); });
    std::this_thread::sleep_for(50ms);
    RequestDone = true;
  });
  Ender.join();
  C.OnCloseSession = nullptr;
  EXPECT_TRUE(ClosedAfterRequest.load());
  EXPECT_EQ(Registry.Count(), 0);
}

TEST_F(SessionLocking, ManyThreadsCreateLookUpAndExpire) {
  C.SetSessionTimeout(0);   // every session expires at the first sweep after its request
  std::vector<std::thread> Threads;
  std::atomic<int> Found{0};
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([&] {
      for (int I = 0; I < 100; ++I) {
        std::string ID;
        Add(ID);
        if (Request(ID, [](TKXApplication*) {})) ++Found;
      }
    });
  std::thread Sweeper([&] {
    for (int I = 0; I < 20; ++I) {
      Registry.SweepExpired();
      std::this_thread::sleep_for(1ms);
    }
  });
  for (auto& T : Threads) T.join();
  Sweeper.join();
  Registry.SweepExpired();
  EXPECT_EQ(Registry.Count(), 0);
  EXPECT_GT(Found.load(), 0);
}

// While a request holds one session and others wait for it, nothing else waits: lookups of other
// sessions, ending another session, and the holding request's own calls into the registry.
TEST_F(SessionLocking, WaitingForABusySessionHoldsNoRegistryLock) {
  TKXApplication* Busy = Add();
  Busy->SetTaggedSessionName("busy");
  const std::string BusyID = Busy->AppID(), Other = Add()->AppID(), Ended = Add()->AppID();
  std::atomic<int> Waited{0};
  std::thread ByID, ByTag;
  {
    TKXSessionHandle Held = Registry.LookupAndLock(BusyID);   // this thread is the busy request
    ByID = std::thread([&] { Waited += Request(BusyID, [](TKXApplication*) {}); });
    ByTag = std::thread([&] { Waited += static_cast<bool>(Registry.LookupByTaggedNameAndLock("busy")); });
    std::this_thread::sleep_for(50ms);   // both are waiting for the session now
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(Registry.Count(), 3);
    std::thread OtherRequest([&] { EXPECT_TRUE(Request(Other, [](TKXApplication*) {})); });
    OtherRequest.join();
    EXPECT_TRUE(Registry.Terminate(Ended));
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 500ms);   // none of it waited for the busy session
  }
  ByID.join();
  ByTag.join();
  EXPECT_EQ(Waited.load(), 2);   // each got the session once the holder let go
  EXPECT_EQ(Registry.Count(), 2);
}

// A session ended while a request waited for it is not handed to that request.
TEST_F(SessionLocking, ASessionEndedWhileAwaitedIsNotFound) {
  const std::string ID = Add()->AppID();
  std::thread Waiter;
  std::atomic<int> Found{-1};
  WhileHeldElsewhere(Registry, ID, [&] {
    Waiter = std::thread([&] { Found = Request(ID, [](TKXApplication*) {}); });
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(Registry.Terminate(ID));
  });
  Waiter.join();
  EXPECT_EQ(Found.load(), 0);
}
