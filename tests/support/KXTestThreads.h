#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Runs AWork(0..AThreads-1) on threads of their own and calls AWaitStep on this thread until all
// of them are done, so this thread keeps taking what they post (notifications, window events).
inline void KXRunOnThreads(int AThreads, const std::function<void(int)>& AWork,
                           const std::function<void()>& AWaitStep) {
  std::atomic<int> Done{0};
  std::vector<std::thread> Workers;
  for (int T = 0; T < AThreads; ++T)
    Workers.emplace_back([&, T] {
      AWork(T);
      ++Done;
    });
  while (Done < AThreads) AWaitStep();
  for (std::thread& W : Workers) W.join();
}
