#include "KXSocketThrottler.h"

#include <chrono>
#include <thread>

void TKXSocketThrottler::Send(std::string& ABytes) {
  if (FBytesPerSecond <= 0 || ABytes.empty()) return;
  // The intercept sees the block before it goes out, not after, so the block's whole share of
  // the simulated link is slept here; on loopback the send itself takes next to nothing.
  const int64_t BudgetMs = static_cast<int64_t>(ABytes.size()) * 1000 / FBytesPerSecond;
  if (BudgetMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(BudgetMs));
}
