#pragma once
// One TCP socket (a listening binding or an accepted connection) and the list of bindings.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SkException.h"

// "Socket Error # N\r\n<system text>"; ErrorCode() is the errno value.
class ESkSocketError : public ESkException {
public:
  explicit ESkSocketError(int AErrorCode);
  int ErrorCode() const { return FErrorCode; }
private:
  int FErrorCode;
};
class ESkCouldNotBindSocket : public ESkException { using ESkException::ESkException; };
class ESkInvalidPortRange : public ESkException { using ESkException::ESkException; };
class ESkCanNotBindRange : public ESkException { using ESkException::ESkException; };

enum class TSkIPVersion { Id_IPv4, Id_IPv6 };

class TSkSocketHandle {
public:
  TSkSocketHandle() = default;
  ~TSkSocketHandle();
  TSkSocketHandle(const TSkSocketHandle&) = delete;
  TSkSocketHandle& operator=(const TSkSocketHandle&) = delete;

  const std::string& IP() const { return FIP; }
  void SetIP(std::string AIP) { FIP = std::move(AIP); }
  uint16_t Port() const { return FPort; }
  void SetPort(uint16_t APort) { FPort = APort; }
  const std::string& PeerIP() const { return FPeerIP; }
  uint16_t PeerPort() const { return FPeerPort; }
  // An address with a ':' is taken as IPv6 whatever this says.
  TSkIPVersion IPVersion() const { return FIPVersion; }
  void SetIPVersion(TSkIPVersion AValue) { FIPVersion = AValue; }
  uint16_t ClientPortMin() const { return FClientPortMin; }
  uint16_t ClientPortMax() const { return FClientPortMax; }
  void SetClientPortMin(uint16_t AValue) { FClientPortMin = AValue; }
  void SetClientPortMax(uint16_t AValue) { FClientPortMax = AValue; }

  int Handle() const { return FHandle.load(); }
  bool HandleAllocated() const { return FHandle.load() >= 0; }

  void AllocateSocket();                  // a TCP stream socket of this binding's family
  void SetReuseAddress();
  void Bind();                            // raises the three bind messages; reads the chosen port back
  void Listen(int ABacklog);
  // Waits up to ATimeOutMs for the socket to become readable; false on time-out.
  bool Select(int ATimeOutMs) const;
  // Takes an accepted socket; records local and peer addresses from the socket itself.
  void AcceptFrom(int AHandle);
  void UpdateBindingLocal();
  void UpdateBindingPeer();
  // Both are safe to call from another thread while the owner is blocked on the socket.
  void Shutdown(bool ABothWays);          // wakes a blocked reader when both ways
  void CloseSocket();                     // shuts the sending side down, then closes

private:
  bool IsIPv6() const;
  bool TryBind(uint16_t APort);

  std::string FIP;
  std::string FPeerIP;
  uint16_t FPort = 0;
  uint16_t FPeerPort = 0;
  uint16_t FClientPortMin = 0;
  uint16_t FClientPortMax = 0;
  TSkIPVersion FIPVersion = TSkIPVersion::Id_IPv4;
  std::atomic<int> FHandle{-1};
  std::mutex FConnectionHandle;   // guards closing and shutting down FHandle, so a racing stop acts on a live socket once
};

class TSkSocketHandles {
public:
  TSkSocketHandle& Add();                 // takes DefaultPort as its port
  int Count() const { return static_cast<int>(FItems.size()); }
  TSkSocketHandle& operator[](int AIndex) { return *FItems.at(static_cast<size_t>(AIndex)); }
  const TSkSocketHandle& operator[](int AIndex) const { return *FItems.at(static_cast<size_t>(AIndex)); }
  void Clear() { FItems.clear(); }
  uint16_t DefaultPort() const { return FDefaultPort; }
  void SetDefaultPort(uint16_t APort) { FDefaultPort = APort; }

private:
  std::vector<std::unique_ptr<TSkSocketHandle>> FItems;
  uint16_t FDefaultPort = 0;
};

// True when the host can open an IPv6 socket.
bool SkIPv6Available();
