#pragma once
// The bridge between the HTTP server and a dispatcher: every HEAD, GET and POST is wrapped in a
// web request/response pair backed by the server's records and handed to a fresh dispatcher.
// The transport knows no dispatcher class: the host registers a factory.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "SkCustomHTTPServer.h"
#include "SkException.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

class TSkStreamIStream;

class EWBBException : public ESkException { using ESkException::ESkException; };
class EWBBInvalidIdxGetDateVariable : public EWBBException { using EWBBException::EWBBException; };
class EWBBInvalidIdxSetDateVariable : public EWBBException { using EWBBException::EWBBException; };
class EWBBInvalidIdxGetIntVariable : public EWBBException { using EWBBException::EWBBException; };
class EWBBInvalidIdxSetIntVariable : public EWBBException { using EWBBException::EWBBException; };
class EWBBInvalidIdxGetStrVariable : public EWBBException { using EWBBException::EWBBException; };
class EWBBInvalidIdxSetStringVar : public EWBBException { using EWBBException::EWBBException; };
// A value that does not fit the 32-bit field it is read into.
class ESkRangeError : public ESkException {
public:
  ESkRangeError() : ESkException("Range check error") {}
};

class TSkHTTPAppRequest : public TWebRequest {
public:
  TSkHTTPAppRequest(TSkContext& AThread, TSkHTTPRequestInfo& ARequestInfo, TSkHTTPResponseInfo& AResponseInfo);

  std::string GetStringVariable(int AIndex) override;
  TDateTime GetDateVariable(int AIndex) override;     // -1 when empty or not a date
  int GetIntegerVariable(int AIndex) override;        // -1 when empty or not a number
  int ReadClient(void* ABuffer, int ACount) override;
  std::string ReadString(int ACount) override;
  std::string TranslateURI(const std::string& AURI) override { return AURI; }
  int WriteClient(const void* ABuffer, int ACount) override;
  bool WriteString(const std::string& AString) override;
  // AHeaders: "Name: value" lines separated by CR LF.
  bool WriteHeaders(int AStatusCode, const std::string& AReasonString, const std::string& AHeaders) override;
  std::string GetFieldByName(const std::string& AName) override;

  TSkHTTPRequestInfo& RequestInfo() const { return FRequestInfo; }
  TSkContext& Thread() const { return FThread; }

private:
  std::string HostHeader(bool APortPart);

  TSkHTTPRequestInfo& FRequestInfo;
  TSkHTTPResponseInfo& FResponseInfo;
  TSkContext& FThread;
  int32_t FClientCursor = 0;
};

class TSkHTTPAppResponse : public TWebResponse {
public:
  TSkHTTPAppResponse(TSkHTTPAppRequest& ARequest, TSkHTTPResponseInfo& AResponseInfo,
                     TSkHTTPRequestInfo& ARequestInfo, TSkContext& AThread);
  ~TSkHTTPAppResponse() override;

  std::string GetStringVariable(int AIndex) override;
  void SetStringVariable(int AIndex, const std::string& AValue) override;
  TDateTime GetDateVariable(int AIndex) override;
  void SetDateVariable(int AIndex, TDateTime AValue) override;
  int GetIntegerVariable(int AIndex) override;
  void SetIntegerVariable(int AIndex, int AValue) override;
  std::string GetRawContent() override;
  void SetRawContent(const std::string& AValue) override;
  void SetContentStream(std::unique_ptr<TSkStream> AValue) override;
  int GetStatusCode() override;
  void SetStatusCode(int AValue) override;
  std::string GetLogMessage() override { return {}; }
  void SetLogMessage(const std::string&) override {}
  void SendResponse() override;
  void SendRedirect(const std::string& AURI) override;
  void SendStream(TSkStream& AStream) override;
  bool Sent() override { return FSent; }

  TSkHTTPResponseInfo& ResponseInfo() const { return FResponseInfo; }

private:
  void CopyCookiesAndHeaders();

  TSkHTTPRequestInfo& FRequestInfo;
  TSkHTTPResponseInfo& FResponseInfo;
  bool FSent = false;
  TSkContext& FThread;
  // The record's view of ContentStream; the record never frees it while the pair lives.
  std::unique_ptr<TSkStreamIStream> FRecordStream;
  // Variables with no record member behind them.
  std::string FAllow, FDerivedFrom, FTitle;
};

// Makes the dispatcher for one request (called on the connection's thread).
using TSkWebModuleFactory = std::function<std::unique_ptr<IWebDispatcher>()>;

class TSkHTTPWebBrokerBridge : public TSkCustomHTTPServer {
public:
  TSkHTTPWebBrokerBridge();
  ~TSkHTTPWebBrokerBridge() override;

  void RegisterWebModuleClass(TSkWebModuleFactory AFactory) { FWebModuleClass = std::move(AFactory); }
  template <class TDispatcher>
  void RegisterWebModuleClass() {
    FWebModuleClass = [] { return std::unique_ptr<IWebDispatcher>(new TDispatcher()); };
  }

protected:
  void DoCommandGet(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo, TSkHTTPResponseInfo& AResponseInfo) override;

private:
  TSkWebModuleFactory FWebModuleClass;
};
