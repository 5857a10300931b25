#pragma once
// Simulates a slow link: every block a connection sends is followed by a sleep so that, on
// average, the connection delivers no more than BytesPerSecond.
#include <cstdint>

#include "SkIOHandler.h"

class TKXSocketThrottler : public TSkConnectionIntercept {
public:
  explicit TKXSocketThrottler(int32_t ABytesPerSecond = 0) : FBytesPerSecond(ABytesPerSecond) {}
  int32_t BytesPerSecond() const { return FBytesPerSecond; }
  void SetBytesPerSecond(int32_t AValue) { FBytesPerSecond = AValue; }

  // Runs on the connection's thread just before the block reaches the socket.
  void Send(std::string& ABytes) override;

private:
  int32_t FBytesPerSecond;
};
