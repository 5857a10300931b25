#pragma once
// The listening side of the standalone server: the plain HTTP bridge (and the HTTPS one when a
// TLS port is configured), their bindings from the controller's Port and BoundIP, the limits
// against misbehaving clients, and the per-connection speed throttle.
#include <atomic>
#include <cstdint>
#include <memory>

class IKXSessionDispatch;
class TKXServerControllerBase;
class TSkContext;
class TSkHTTPWebBrokerBridge;

// Limits of the transport; each answered with its own status (408, 431, 413, 503).
struct TKXServerLimits {
  int ReadTimeOutMs = 30000;                 // whole request head, and each body read
  int64_t MaxHeaderSize = 64 * 1024;         // request line plus headers
  int64_t MaxBodySize = 64 * 1024 * 1024;
  int MaxConnections = 1024;                 // simultaneous connections per listener set
};

class TKXHTTPServerModule {
public:
  // Starts listening at once; a failure is appended to the error file and raised. Every request
  // gets a dispatcher of its own over AController and ASessions, which outlive the module.
  TKXHTTPServerModule(TKXServerControllerBase& AController, IKXSessionDispatch& ASessions,
                      const TKXServerLimits& ALimits = {});
  ~TKXHTTPServerModule();
  TKXHTTPServerModule(const TKXHTTPServerModule&) = delete;
  TKXHTTPServerModule& operator=(const TKXHTTPServerModule&) = delete;

  // The one module of the process, or none.
  static TKXHTTPServerModule* Instance();

  // Simulated link speed; 0 = unlimited. Written by the console, read as each connection starts.
  int32_t BitsPerSec() const { return FBitsPerSec.load(); }
  void SetBitsPerSec(int32_t AValue) { FBitsPerSec = AValue; }
  const TKXServerLimits& Limits() const { return FLimits; }

  TSkHTTPWebBrokerBridge& HTTP() { return *FHTTP; }
  TSkHTTPWebBrokerBridge* HTTPS() { return FHTTPS.get(); }

  // Restarts the HTTP server, then the HTTPS server, with the current settings.
  void ForcePortRefresh();
  void StartHTTP();
  void StartHTTPS();

private:
  std::unique_ptr<TSkHTTPWebBrokerBridge> MakeBridge();
  void ApplyLimits(TSkHTTPWebBrokerBridge& AServer);
  void InstallThrottler(TSkContext& AContext);

  TKXServerControllerBase& FController;
  IKXSessionDispatch& FSessions;
  std::atomic<int32_t> FBitsPerSec{0};
  TKXServerLimits FLimits;
  std::unique_ptr<TSkHTTPWebBrokerBridge> FHTTP;
  std::unique_ptr<TSkHTTPWebBrokerBridge> FHTTPS;
};
