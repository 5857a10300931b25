#include "KXNotificationQueue.h"

bool TKXNotificationQueue::Post(TNotification ANotification) {
  bool WasEmpty = false;
  std::function<void()> OnPosted;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FItems.size() >= FMaxPending) {
      ++FDropped;
      return false;
    }
    WasEmpty = FItems.empty();
    FItems.push_back(std::move(ANotification));
    if (WasEmpty) OnPosted = FOnPosted;
  }
  // the console drains everything it finds, so only the first of a run needs to wake it
  if (WasEmpty) {
    FChanged.notify_one();
    if (OnPosted) OnPosted();
  }
  return true;
}

void TKXNotificationQueue::SetOnPosted(std::function<void()> AOnPosted) {
  std::lock_guard<std::mutex> Guard(FLock);
  FOnPosted = std::move(AOnPosted);
}

size_t TKXNotificationQueue::Drain() {
  std::deque<TNotification> Batch;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    Batch.swap(FItems);
    FWoken = false;
  }
  for (TNotification& N : Batch) {
    if (!N) continue;
    try {
      N();
    } catch (...) {
      // one failing notification must not swallow the ones queued after it
    }
  }
  return Batch.size();
}

size_t TKXNotificationQueue::WaitAndDrain(std::chrono::milliseconds ATimeOut) {
  {
    std::unique_lock<std::mutex> Guard(FLock);
    FChanged.wait_for(Guard, ATimeOut, [this] { return !FItems.empty() || FWoken; });
  }
  return Drain();
}

void TKXNotificationQueue::Wake() {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FWoken = true;
  }
  FChanged.notify_all();
}

void TKXNotificationQueue::Clear() {
  std::lock_guard<std::mutex> Guard(FLock);
  FItems.clear();
}

size_t TKXNotificationQueue::Dropped() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FDropped;
}

size_t TKXNotificationQueue::Pending() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FItems.size();
}
