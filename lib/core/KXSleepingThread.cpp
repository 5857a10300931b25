#include "core/KXSleepingThread.h"

#include <pthread.h>

#include <chrono>

TKXSleepingThread::~TKXSleepingThread() {
  Terminate();
  WaitFor();
}

void TKXSleepingThread::Start() {
  FThread = std::thread([this] {
    pthread_setname_np(pthread_self(), FName.substr(0, 15).c_str());
    Execute();
  });
}

void TKXSleepingThread::Terminate() {
  {
    std::lock_guard<std::mutex> Guard(FWakeLock);
    FTerminated = true;
  }
  FWake.notify_all();
}

void TKXSleepingThread::WaitFor() {
  if (FThread.joinable()) FThread.join();
}

bool TKXSleepingThread::SleepSlices(int ASlices) {
  std::unique_lock<std::mutex> Guard(FWakeLock);
  for (int I = 0; I < ASlices && !FTerminated; ++I)
    FWake.wait_for(Guard, std::chrono::milliseconds(100), [this] { return FTerminated.load(); });
  return !FTerminated;
}
