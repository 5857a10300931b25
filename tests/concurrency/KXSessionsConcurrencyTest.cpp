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
  TKXSessions Registry;

  TKXApplication* Add() {
    std::string Ignored;
    return Add(Ignored);
  }
  // AID is copied while the session is still locked: once released, a sweep may take it.
  TKXApplication* Add(std::string& AID) {
    auto* S = new TKXApplication({brChrome, brsNone}, "Chrome", "127.0.0.1", "", "", "", TSkStringList(), "");
    Registry.AddSessionAndLock(S);
    AID = S->AppID();
    S->MarkAccess();
    S->Unlock();
    return S;
  }
  // What a request does: look up and lock, work, mark the access, release.
  template <class F>
  bool Request(const std::string& AID, F AWork) {
    TKXApplication* S = Registry.LookupAndLock(AID);
    if (!S) return false;
    AWork(S);
    S->MarkAccess();
    S->Unlock();
    return true;
  }
};

// Runs ABody while another thread holds ASession, then lets that thread go.
template <class F>
void WhileHeldElsewhere(TKXSessions& ARegistry, const std::string& AID, F ABody) {
  std::promise<void> Held, Go;
  std::thread Holder([&] {
    TKXApplication* S = ARegistry.LookupAndLock(AID);
    Held.set_value();
    Go.get_future().wait();
    S->MarkAccess();
    S->Unlock();
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
  EXPECT_EQ(Registry.LookupAndLock(ID), nullptr);
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
