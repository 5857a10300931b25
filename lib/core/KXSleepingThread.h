#pragma once
// A background thread that sleeps in 100 ms slices, so that it stops within 100 ms of being told.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// A derived class stops the thread in its own destructor (Terminate, then WaitFor): by the time
// this one runs, the thread would be calling into a half-destroyed object.
class TKXSleepingThread {
public:
  virtual ~TKXSleepingThread();
  void Start();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void WaitFor();

protected:
  explicit TKXSleepingThread(std::string AName) : FName(std::move(AName)) {}
  // Sleeps ASlices times 100 ms; false when termination was asked for meanwhile.
  bool SleepSlices(int ASlices);
  virtual void Execute() = 0;

private:
  std::string FName;
  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::mutex FWakeLock;   // guards the wake-up condition only
  std::condition_variable FWake;
};
