#include "SkSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string SocketErrorText(int ACode) {
  return "Socket Error # " + std::to_string(ACode) + "\r\n" + std::strerror(ACode);
}

void AddressToText(const sockaddr_storage& A, std::string& AIP, uint16_t& APort) {
  char Buf[INET6_ADDRSTRLEN] = {};
  if (A.ss_family == AF_INET6) {
    const auto& S = reinterpret_cast<const sockaddr_in6&>(A);
    inet_ntop(AF_INET6, &S.sin6_addr, Buf, sizeof Buf);
    APort = ntohs(S.sin6_port);
  } else {
    const auto& S = reinterpret_cast<const sockaddr_in&>(A);
    inet_ntop(AF_INET, &S.sin_addr, Buf, sizeof Buf);
    APort = ntohs(S.sin_port);
  }
  AIP = Buf;
}

}  // namespace

ESkSocketError::ESkSocketError(int AErrorCode) : ESkException(SocketErrorText(AErrorCode)), FErrorCode(AErrorCode) {}

TSkSocketHandle::~TSkSocketHandle() { CloseSocket(); }

bool TSkSocketHandle::IsIPv6() const {
  return FIPVersion == TSkIPVersion::Id_IPv6 || FIP.find(':') != std::string::npos;
}

void TSkSocketHandle::AllocateSocket() {
  CloseSocket();
  const int H = ::socket(IsIPv6() ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (H < 0) throw ESkSocketError(errno);
  if (IsIPv6()) {
    // Lets an IPv4 and an IPv6 binding share a port number.
    const int On = 1;
    ::setsockopt(H, IPPROTO_IPV6, IPV6_V6ONLY, &On, sizeof On);
  }
  FHandle = H;
}

void TSkSocketHandle::SetReuseAddress() {
  const int On = 1;
  if (::setsockopt(Handle(), SOL_SOCKET, SO_REUSEADDR, &On, sizeof On) < 0) throw ESkSocketError(errno);
}

bool TSkSocketHandle::TryBind(uint16_t APort) {
  sockaddr_storage A{};
  socklen_t Len;
  if (IsIPv6()) {
    auto& S = reinterpret_cast<sockaddr_in6&>(A);
    S.sin6_family = AF_INET6;
    S.sin6_port = htons(APort);
    if (FIP.empty()) S.sin6_addr = in6addr_any;
    else if (inet_pton(AF_INET6, FIP.c_str(), &S.sin6_addr) != 1) return false;
    Len = sizeof S;
  } else {
    auto& S = reinterpret_cast<sockaddr_in&>(A);
    S.sin_family = AF_INET;
    S.sin_port = htons(APort);
    if (FIP.empty()) S.sin_addr.s_addr = htonl(INADDR_ANY);
    else if (inet_pton(AF_INET, FIP.c_str(), &S.sin_addr) != 1) return false;
    Len = sizeof S;
  }
  return ::bind(Handle(), reinterpret_cast<sockaddr*>(&A), Len) == 0;
}

void TSkSocketHandle::Bind() {
  if (FPort != 0 || FClientPortMin == 0 || FClientPortMax == 0) {
    if (!TryBind(FPort)) throw ESkCouldNotBindSocket("Could not bind socket. Address and port are already in use.");
  } else {
    if (FClientPortMax < FClientPortMin)
      throw ESkInvalidPortRange("Invalid Port Range (" + std::to_string(FClientPortMin) + " - " +
                                std::to_string(FClientPortMax) + ")");
    bool Bound = false;
    for (int P = FClientPortMax; P >= FClientPortMin && !Bound; --P) Bound = TryBind(static_cast<uint16_t>(P));
    if (!Bound)
      throw ESkCanNotBindRange("Can not bind in port range (" + std::to_string(FClientPortMin) + " - " +
                               std::to_string(FClientPortMax) + ")");
  }
  UpdateBindingLocal();
}

void TSkSocketHandle::Listen(int ABacklog) {
  if (::listen(Handle(), ABacklog) < 0) throw ESkSocketError(errno);
}

bool TSkSocketHandle::Select(int ATimeOutMs) const {
  pollfd P{Handle(), POLLIN, 0};
  for (;;) {
    const int R = ::poll(&P, 1, ATimeOutMs);
    if (R >= 0) return R > 0;
    if (errno != EINTR) throw ESkSocketError(errno);
  }
}

void TSkSocketHandle::AcceptFrom(int AHandle) {
  CloseSocket();
  FHandle = AHandle;
  UpdateBindingLocal();
  UpdateBindingPeer();
}

void TSkSocketHandle::UpdateBindingLocal() {
  sockaddr_storage A{};
  socklen_t Len = sizeof A;
  if (::getsockname(Handle(), reinterpret_cast<sockaddr*>(&A), &Len) == 0) AddressToText(A, FIP, FPort);
  FIPVersion = A.ss_family == AF_INET6 ? TSkIPVersion::Id_IPv6 : TSkIPVersion::Id_IPv4;
}

void TSkSocketHandle::UpdateBindingPeer() {
  sockaddr_storage A{};
  socklen_t Len = sizeof A;
  if (::getpeername(Handle(), reinterpret_cast<sockaddr*>(&A), &Len) == 0) AddressToText(A, FPeerIP, FPeerPort);
}

void TSkSocketHandle::Shutdown(bool ABothWays) {
  std::lock_guard Lock(FConnectionHandle);
  if (FHandle >= 0) ::shutdown(FHandle, ABothWays ? SHUT_RDWR : SHUT_WR);
}

void TSkSocketHandle::CloseSocket() {
  std::lock_guard Lock(FConnectionHandle);
  const int H = FHandle.exchange(-1);
  if (H < 0) return;
  ::shutdown(H, SHUT_WR);
  ::close(H);
}

TSkSocketHandle& TSkSocketHandles::Add() {
  FItems.push_back(std::make_unique<TSkSocketHandle>());
  FItems.back()->SetPort(FDefaultPort);
  return *FItems.back();
}

bool SkIPv6Available() {
  const int H = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (H < 0) return false;
  ::close(H);
  return true;
}
