#pragma once
// A blocking TCP client for tests against a server on 127.0.0.1.
#include <cstdint>
#include <string>
#include <string_view>

class TSkTestClient {
public:
  explicit TSkTestClient(uint16_t APort);   // connects at once; ADD_FAILURE when it cannot
  TSkTestClient(const std::string& AIPv4, uint16_t APort);   // another loopback address
  ~TSkTestClient();
  TSkTestClient(const TSkTestClient&) = delete;
  TSkTestClient& operator=(const TSkTestClient&) = delete;

  bool Send(std::string_view ABytes);        // false when the server has gone
  void ShutdownSend();                        // half-close: the server sees the end of the body
  // Everything until the server closes (or ATimeOutMs of silence); a reset ends it too.
  std::string ReadAll(int ATimeOutMs = 10000);
  // Bytes until ADelimiter has arrived (included), or the close/time-out.
  std::string ReadUntil(std::string_view ADelimiter, int ATimeOutMs = 10000);
  bool ClosedByPeer() const { return FClosed; }
  void Close();

private:
  int FHandle = -1;
  bool FClosed = false;
  std::string FPending;
};

// Sends ARequest on a fresh connection and returns the whole answer.
std::string SkRoundTrip(uint16_t APort, std::string_view ARequest);
std::string SkRoundTrip(const std::string& AIPv4, uint16_t APort, std::string_view ARequest);

// A port of 127.0.0.1 that was free a moment ago, for settings where 0 means "none" instead of
// "let the kernel choose" (the TLS port).
uint16_t SkFreeLoopbackPort();
