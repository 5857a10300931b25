#include "KXHTTPServerModule.h"

#include <unistd.h>

#include "core/KXException.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "KXSocketThrottler.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkIOHandler.h"
#include "SkSSLOpenSSL.h"
#include "SkTCPServer.h"
#include "SkStrUtils.h"

namespace {

std::atomic<TKXHTTPServerModule*> GModule{nullptr};

const char kPortAssignedBySystem[] = "Warning: Port has been assigned by system.";
const char kListening[] = "Application initialized and listening on port: ";
constexpr int kListenQueue = 1024;

void AppendToLog(const std::string& AMessage) { TKXServerControllerBase::AppendToLogFile("log", AMessage); }
void AppendToErr(const std::string& AMessage) { TKXServerControllerBase::AppendToLogFile("err", AMessage); }

bool FileExists(const std::string& APath) { return access(APath.c_str(), F_OK) == 0; }

// Every setting offers TLS 1.2 and 1.3 only; the names are the stored settings' own.
TSkSSLVersion MethodOf(TKXSSLVersion AVersion) {
  switch (AVersion) {
    case sslv2: return sslvSSLv2;
    case sslv23: return sslvSSLv23;
    case sslv3: return sslvSSLv3;
  }
  return sslvTLSv1;
}

// BoundIP entries (trimmed, empty ones dropped); the plain and the TLS listener both use them.
std::vector<std::string> BoundAddresses(const std::string& ABoundIP) {
  std::vector<std::string> IPs;
  for (const std::string& Entry : SplitString(ABoundIP, ','))
    if (!Trim(Entry).empty()) IPs.push_back(Trim(Entry));
  return IPs;
}

}  // namespace

TKXHTTPServerModule* TKXHTTPServerModule::Instance() { return GModule.load(); }

TKXHTTPServerModule::TKXHTTPServerModule(TKXServerControllerBase& AController, IKXSessionDispatch& ASessions,
                                         const TKXServerLimits& ALimits)
    : FController(AController), FSessions(ASessions), FLimits(ALimits) {
  GModule = this;
  TKXServerControllerBase& C = FController;
  try {
    FHTTP = MakeBridge();
    StartHTTP();
    if (C.SSLOptions().Port < 1) {
      C.SSLOptions().Port = 0;
    } else {
      FHTTPS = MakeBridge();
      StartHTTPS();
    }
    if (C.Log() == loFile) AppendToLog(kListening);
  } catch (const std::exception& E) {
    AppendToErr(E.what());
    if (C.Port() == 0) AppendToErr(kPortAssignedBySystem);
    FHTTPS.reset();
    FHTTP.reset();
    GModule = nullptr;
    throw;
  }
  if (C.Port() == 0)
    AppendToErr(kPortAssignedBySystem);
  else if (C.Log() == loFile)
    AppendToLog("HTTP Port: " + IntToStr(C.Port()));
  if (C.SSLOptions().Port > 0 && C.Log() == loFile) AppendToLog("HTTPS Port: " + IntToStr(C.SSLOptions().Port));
}

// Listeners stop and every live connection is closed before the module is gone.
TKXHTTPServerModule::~TKXHTTPServerModule() {
  if (FHTTPS) FHTTPS->SetActive(false);
  if (FHTTP) FHTTP->SetActive(false);
  FHTTPS.reset();
  FHTTP.reset();
  TKXHTTPServerModule* Self = this;
  GModule.compare_exchange_strong(Self, nullptr);
}

std::unique_ptr<TSkHTTPWebBrokerBridge> TKXHTTPServerModule::MakeBridge() {
  auto B = std::make_unique<TSkHTTPWebBrokerBridge>();
  B->SetKeepAlive(false);
  // connects wait here while the listener is busy: a short queue drops them and the client
  // retries only a second later
  B->SetListenQueue(kListenQueue);
  B->RegisterWebModuleClass([this]() -> std::unique_ptr<IWebDispatcher> {
    return std::make_unique<TKXServer>(FController, FSessions);
  });
  B->OnConnect = [this](TSkContext& AContext) { InstallThrottler(AContext); };
  return B;
}

void TKXHTTPServerModule::StartHTTP() {
  TKXServerControllerBase& C = FController;
  TSkHTTPWebBrokerBridge& S = *FHTTP;
  S.SetActive(false);
  ApplyLimits(S);
  if (C.Port() < 0 || C.Port() > 65535) throw ERangeError();
  const uint16_t Port = static_cast<uint16_t>(C.Port());
  const std::vector<std::string> IPs = BoundAddresses(C.BoundIP());
  for (const std::string& IP : IPs) {
    TSkSocketHandle& B = S.Bindings().Add();
    B.SetIP(IP);
    B.SetPort(Port);
  }
  if (IPs.empty()) {
    S.SetDefaultPort(Port);
    S.Bindings().Add().SetIP("0.0.0.0");
  }
  S.SetActive(true);
  // a configured 0 becomes the port the system chose; later bindings of a 0 port each get their own
  C.SetPort(S.Bindings()[0].Port());
}

void TKXHTTPServerModule::ApplyLimits(TSkHTTPWebBrokerBridge& AServer) {
  AServer.Bindings().Clear();
  AServer.SetReadTimeOut(FLimits.ReadTimeOutMs);   // bounds the TLS handshake too
  AServer.SetMaxHeaderSize(FLimits.MaxHeaderSize);
  AServer.SetMaxBodySize(FLimits.MaxBodySize);
  AServer.SetMaxConnections(FLimits.MaxConnections);
}

void TKXHTTPServerModule::StartHTTPS() {
  TKXServerControllerBase& C = FController;
  TSkHTTPWebBrokerBridge& S = *FHTTPS;
  S.SetActive(false);
  ApplyLimits(S);
  const int Port = C.SSLOptions().Port;
  if (Port < 0 || Port > 65535) throw ERangeError();
  S.SetDefaultPort(static_cast<uint16_t>(Port));
  // An operator who bound the plain port to some addresses expects the TLS port there too, not
  // on every interface; without BoundIP the default bindings (IPv4 and IPv6) are made.
  for (const std::string& IP : BoundAddresses(C.BoundIP())) S.Bindings().Add().SetIP(IP);

  auto TLS = std::make_unique<TSkServerIOHandlerSSLOpenSSL>();
  TSkSSLOptions& O = TLS->SSLOptions();
  const std::string Folder = TKXServerControllerBase::GetAppPath();
  O.CertFile = Folder + "cert.pem";
  O.KeyFile = Folder + "key.pem";
  // root.pem is optional: a certificate whose chain is in cert.pem (or a self-signed one) needs none
  if (FileExists(Folder + "root.pem")) O.RootCertFile = Folder + "root.pem";
  O.Method = MethodOf(C.SSLOptions().SSLVersion);
  O.VerifyDepth = 2;
  TLS->OnStatusInfo = [](const std::string& AMessage) { AppendToLog(AMessage); };
  TLS->OnGetPassword = [&C](std::string& APassword) { APassword = C.SSLOptions().CertificatePassword; };
  S.SetIOHandler(std::move(TLS));
  S.SetActive(true);
  if (C.SSLOptions().NonSSLRequest == nsBlock) FHTTP->SetActive(false);
}

void TKXHTTPServerModule::ForcePortRefresh() {
  StartHTTP();
  if (FHTTPS) StartHTTPS();
}

void TKXHTTPServerModule::InstallThrottler(TSkContext& AContext) {
  // The header block and the content go out as separate sends; with Nagle's algorithm the
  // second waits for the peer's delayed acknowledgement (tens of milliseconds) on every answer.
  if (TSkIOHandlerStack* Socket = AContext.Connection().Socket()) Socket->SetUseNagle(false);
  AContext.Connection().IOHandler().SetIntercept(std::make_unique<TKXSocketThrottler>(FBitsPerSec.load() / 8));
}
