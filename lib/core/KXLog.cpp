#include "core/KXLog.h"

#include <atomic>
#include <mutex>

namespace {

struct TSyncLogSinks {
  std::atomic<bool> Active{false};
  std::mutex Lock;   // guards the two sinks; they are set at start-up and read per log line
  TSyncLog::TLogSink Log;
  TSyncLog::TBytesSink Bytes;
};

TSyncLogSinks& Sinks() {
  static TSyncLogSinks S;
  return S;
}

}  // namespace

void TSyncLog::SetSinks(TLogSink ALog, TBytesSink ABytes) {
  std::lock_guard<std::mutex> Guard(Sinks().Lock);
  Sinks().Log = std::move(ALog);
  Sinks().Bytes = std::move(ABytes);
}

void TSyncLog::SetActive(bool AActive) { Sinks().Active.store(AActive, std::memory_order_release); }

void TSyncLog::Log(const std::string& AMessage) {
  if (!Sinks().Active.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> Guard(Sinks().Lock);
  if (Sinks().Log) Sinks().Log(AMessage);
}

void TSyncLog::LogBytes(long long ACount) {
  if (!Sinks().Active.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> Guard(Sinks().Lock);
  if (Sinks().Bytes) Sinks().Bytes(ACount);
}
