#include "SkTestClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TSkTestClient::TSkTestClient(uint16_t APort) : TSkTestClient("127.0.0.1", APort) {}

TSkTestClient::TSkTestClient(const std::string& AIPv4, uint16_t APort) {
  FHandle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_port = htons(APort);
  if (::inet_pton(AF_INET, AIPv4.c_str(), &A.sin_addr) != 1) ADD_FAILURE() << "bad address " << AIPv4;
  if (::connect(FHandle, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0) ADD_FAILURE() << "connect failed";
}

TSkTestClient::~TSkTestClient() { Close(); }

void TSkTestClient::Close() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
}

bool TSkTestClient::Send(std::string_view ABytes) {
  size_t Sent = 0;
  while (Sent < ABytes.size()) {
    const ssize_t N = ::send(FHandle, ABytes.data() + Sent, ABytes.size() - Sent, MSG_NOSIGNAL);
    if (N <= 0) return false;
    Sent += static_cast<size_t>(N);
  }
  return true;
}

void TSkTestClient::ShutdownSend() { ::shutdown(FHandle, SHUT_WR); }

std::string TSkTestClient::ReadUntil(std::string_view ADelimiter, int ATimeOutMs) {
  std::string R = std::move(FPending);
  FPending.clear();
  char Buf[65536];
  while (!FClosed && (ADelimiter.empty() || R.find(ADelimiter) == std::string::npos)) {
    pollfd P{FHandle, POLLIN, 0};
    if (::poll(&P, 1, ATimeOutMs) <= 0) break;
    const ssize_t N = ::recv(FHandle, Buf, sizeof Buf, 0);
    if (N <= 0) {
      FClosed = true;
      break;
    }
    R.append(Buf, static_cast<size_t>(N));
  }
  if (!ADelimiter.empty()) {
    const size_t P = R.find(ADelimiter);
    if (P != std::string::npos) {
      FPending = R.substr(P + ADelimiter.size());
      R.erase(P + ADelimiter.size());
    }
  }
  return R;
}

std::string TSkTestClient::ReadAll(int ATimeOutMs) { return ReadUntil({}, ATimeOutMs); }

std::string SkRoundTrip(uint16_t APort, std::string_view ARequest) { return SkRoundTrip("127.0.0.1", APort, ARequest); }

std::string SkRoundTrip(const std::string& AIPv4, uint16_t APort, std::string_view ARequest) {
  TSkTestClient C(AIPv4, APort);
  C.Send(ARequest);
  return C.ReadAll();
}

uint16_t SkFreeLoopbackPort() {
  const int H = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  ::inet_pton(AF_INET, "127.0.0.1", &A.sin_addr);
  socklen_t Len = sizeof A;
  uint16_t Port = 0;
  if (::bind(H, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0 &&
      ::getsockname(H, reinterpret_cast<sockaddr*>(&A), &Len) == 0)
    Port = ntohs(A.sin_port);
  ::close(H);
  return Port;
}
