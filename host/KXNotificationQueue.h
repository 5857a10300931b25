#pragma once
// Carries notifications (log lines, byte counts, session changes) from worker threads to the
// console's own thread, in order. Posting never waits for the console: the lock is held only to
// append, and beyond the cap new notifications are dropped and counted instead of piling up.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

class TKXNotificationQueue {
public:
  using TNotification = std::function<void()>;

  // Any thread. False when the queue was full and the notification was dropped.
  bool Post(TNotification ANotification);
  // The console's thread: runs every queued notification in order; returns how many ran.
  size_t Drain();
  // Waits up to ATimeOut for a notification (or a Wake), then drains.
  size_t WaitAndDrain(std::chrono::milliseconds ATimeOut);
  // Ends a WaitAndDrain early; safe from any thread.
  void Wake();
  void Clear();
  // Runs on the posting thread, outside the lock, each time a notification lands in an empty
  // queue: a front-end with its own event loop schedules a Drain there. Safe to change any time.
  void SetOnPosted(std::function<void()> AOnPosted);

  size_t MaxPending() const { return FMaxPending; }
  void SetMaxPending(size_t AValue) { FMaxPending = AValue; }
  size_t Dropped() const;
  size_t Pending() const;

private:
  mutable std::mutex FLock;   // guards FItems, FDropped, FWoken and FOnPosted; never held while one runs
  std::condition_variable FChanged;
  std::deque<TNotification> FItems;
  size_t FDropped = 0;
  bool FWoken = false;
  std::function<void()> FOnPosted;
  size_t FMaxPending = 100000;
};
