#include "KXHTTPServerModule.h"

#include "core/KXException.h"
#include "server/KXServer.h"
#include "server/KXServerControllerBase.h"
#include "KXSocketThrottler.h"
#include "SkHTTPWebBrokerBridge.h"
#include "SkIOHandler.h"
#include "SkTCPServer.h"
#include "SkStrUtils.h"

namespace {

std::atomic<TKXHTTPServerModule*> GModule{nullptr};

const char kPortAssignedBySystem[] = "Warning: Port has been assigned by system.";
const char kListening[] = "Application initialized and listening on port: ";
constexpr int kListenQueue = 1024;
const char kNoTLS[] = "HTTPS listener not started: this build has no TLS support yet.";

void AppendToLog(const std::string& AMessage) { TKXServerControllerBase::AppendToLogFile("log", AMessage); }
void AppendToErr(const std::string& AMessage) { TKXServerControllerBase::AppendToLogFile("err", AMessage); }

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
  S.Bindings().Clear();
  S.SetReadTimeOut(FLimits.ReadTimeOutMs);
  S.SetMaxHeaderSize(FLimits.MaxHeaderSize);
  S.SetMaxBodySize(FLimits.MaxBodySize);
  S.SetMaxConnections(FLimits.MaxConnections);
  if (C.Port() < 0 || C.Port() > 65535) throw ERangeError();
  const uint16_t Port = static_cast<uint16_t>(C.Port());
  std::vector<std::string> IPs;
  for (const std::string& Entry : SplitString(C.BoundIP(), ','))
    if (!Trim(Entry).empty()) IPs.push_back(Trim(Entry));
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

void TKXHTTPServerModule::StartHTTPS() {
  // The TLS listener needs the TLS I/O handler; until it exists the HTTPS port stays closed
  // and the operator is told so, instead of serving plain HTTP on a port announced as HTTPS.
  if (FHTTPS) FHTTPS->SetActive(false);
  AppendToErr(kNoTLS);
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
