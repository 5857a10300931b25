#pragma once
// HTTP/1.x on the TCP server: reads one request per connection, fills the request and response
// records, hands both to the command handler and writes whatever the handler left unwritten.
// Keep-alive is off: every response closes its connection.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "SkHTTPInfo.h"
#include "SkTCPServer.h"

class TSkCustomHTTPServer : public TSkCustomTCPServer {
public:
  TSkCustomHTTPServer();
  ~TSkCustomHTTPServer() override;

  bool KeepAlive() const { return FKeepAlive; }
  void SetKeepAlive(bool AValue) { FKeepAlive = AValue; }
  bool ParseParams() const { return FParseParams; }
  void SetParseParams(bool AValue) { FParseParams = AValue; }
  const std::string& ServerSoftware() const { return FServerSoftware; }
  void SetServerSoftware(std::string AValue) { FServerSoftware = std::move(AValue); }
  bool SessionState() const { return FSessionState; }
  void SetSessionState(bool AValue);   // refused while active
  int MaximumHeaderLineCount() const { return FMaximumHeaderLineCount; }
  void SetMaximumHeaderLineCount(int AValue) { FMaximumHeaderLineCount = AValue; }
  // Limits against clients that stall or send too much; each answered with its status.
  // ReadTimeOut (ms, 0 or less: none) bounds the wait for the whole header block and for each
  // read of the body (408); MaxHeaderSize caps request line plus headers (431); MaxBodySize
  // caps the body (413). MaxConnections of the TCP server answers 503 beyond it.
  int ReadTimeOut() const { return FReadTimeOut; }
  void SetReadTimeOut(int AValue) { FReadTimeOut = AValue; }
  int64_t MaxHeaderSize() const { return FMaxHeaderSize; }
  void SetMaxHeaderSize(int64_t AValue) { FMaxHeaderSize = AValue; }
  int64_t MaxBodySize() const { return FMaxBodySize; }
  void SetMaxBodySize(int64_t AValue) { FMaxBodySize = AValue; }

  // Hooks (all on the connection's thread).
  // Continue with the request? Default: yes.
  std::function<bool(TSkContext&, const TSkHeaderList&)> OnHeadersAvailable;
  // For a request refused there: the content text, the reason text and the status (preset 403).
  std::function<void(TSkContext&, const TSkHeaderList&, std::string& AContentText, std::string& AReasonText,
                     int& AStatus)> OnHeadersBlocked;
  // Accept this Expect value? Default: it equals "100-continue" without regard to case.
  std::function<bool(TSkContext&, const std::string&)> OnHeaderExpectations;
  std::function<void(TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo&)> OnCommandGet;
  std::function<void(TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo&)> OnCommandOther;
  std::function<void(TSkContext&, TSkHTTPRequestInfo&, TSkHTTPResponseInfo&, const std::exception&)> OnCommandError;
  // Run TLS on a connection to this local port? Default: yes. Only asked for TLS handlers.
  std::function<bool(uint16_t)> OnQuerySSLPort;

protected:
  // The command handler for HEAD, GET and POST; subclasses override it.
  virtual void DoCommandGet(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo, TSkHTTPResponseInfo& AResponseInfo);
  // Every other method. Without OnCommandOther a method outside the known table gets 501.
  virtual void DoCommandOther(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo,
                              TSkHTTPResponseInfo& AResponseInfo);
  void DoCommandError(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo, TSkHTTPResponseInfo& AResponseInfo,
                      const std::exception& AException);
  bool DoHeadersAvailable(TSkContext& AContext, const TSkHeaderList& AHeaders);
  void DoHeadersBlocked(TSkContext& AContext, const TSkHeaderList& AHeaders, std::string& AContentText,
                        std::string& AReasonText, int& AStatus);
  bool DoHeaderExpectations(TSkContext& AContext, const std::string& AExpect);
  bool DoQuerySSLPort(uint16_t APort);

  bool ServeConnection(TSkContext& AContext) override;
  void ConnectionOpened(TSkContext& AContext) override;
  void ConnectionLimitReached(TSkTCPConnection& AConnection) override;

private:
  enum class TSkServeEnd { Done, Linger };
  TSkServeEnd ServeRequest(TSkContext& AContext);
  TSkServeEnd ReadBody(TSkContext& AContext, TSkHTTPRequestInfo& ARequest);
  void DecodeRequest(TSkContext& AContext, TSkHTTPRequestInfo& ARequest, const std::string& ATarget);
  void SendStatusPage(TSkTCPConnection& AConnection, int ACode);

  bool FKeepAlive = false;
  bool FParseParams = true;
  std::string FServerSoftware;
  bool FSessionState = false;
  int FMaximumHeaderLineCount = 1024;
  int FReadTimeOut = 30000;
  int64_t FMaxHeaderSize = 65536;
  int64_t FMaxBodySize = 64 * 1024 * 1024;
};
