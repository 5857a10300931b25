#pragma once
// An in-memory request/response pair for tests: the dispatcher and everything behind it can be
// driven without sockets. The response keeps what it was told and what it "sent".
#include <string>
#include <utility>
#include <vector>

#include "SkWebRequest.h"
#include "SkWebResponse.h"

class TKXTestWebRequest : public TWebRequest {
public:
  explicit TKXTestWebRequest(std::string AMethod = "GET", std::string APathInfo = "/", std::string AQuery = "");

  // Setters for what a test controls. Header-backed variables (User-Agent, Content-Type,
  // Cookie...) are read from the header lines; Cookie joins every "Cookie" line with "; ".
  void SetMethod(std::string AMethod);
  void SetPathInfo(std::string APath) { FPathInfo = std::move(APath); }
  void SetQuery(std::string AQuery) { FQuery = std::move(AQuery); }
  void SetProtocolVersion(std::string AVersion) { FProtocolVersion = std::move(AVersion); }
  void SetRemoteAddr(std::string AAddr) { FRemoteAddr = std::move(AAddr); }
  void SetScriptName(std::string AName) { FScriptName = std::move(AName); }
  void SetServerPort(int APort) { FServerPort = APort; }
  void AddHeader(std::string AName, std::string AValue) { FHeaders.emplace_back(std::move(AName), std::move(AValue)); }
  // Replaces every line of that name (an empty value only removes them).
  void SetHeader(const std::string& AName, std::string AValue);
  void AddCookie(const std::string& AName, const std::string& AValue) { AddHeader("Cookie", AName + "=" + AValue); }
  // The body's bytes; ContentLength follows its size.
  void SetBody(std::string ABody) { FBody = std::move(ABody); }
  void SetContentType(std::string AType) { SetHeader("Content-Type", std::move(AType)); }
  // A browser's form post: the fields as the body, with the content type that says so.
  void SetFormBody(std::string ABody) {
    SetContentType("application/x-www-form-urlencoded");
    SetBody(std::move(ABody));
  }
  // Any string variable directly, overriding the above.
  void OverrideStringVariable(int AIndex, std::string AValue);

  std::string GetStringVariable(int AIndex) override;
  TDateTime GetDateVariable(int AIndex) override;
  int GetIntegerVariable(int AIndex) override;
  int ReadClient(void* ABuffer, int ACount) override;
  std::string ReadString(int ACount) override;
  std::string TranslateURI(const std::string& AURI) override { return AURI; }
  int WriteClient(const void* ABuffer, int ACount) override;
  bool WriteString(const std::string& AString) override;
  bool WriteHeaders(int AStatusCode, const std::string& AReasonString, const std::string& AHeaders) override;
  std::string GetFieldByName(const std::string& AName) override;

  // What was written straight to the "client".
  const std::string& Written() const { return FWritten; }

private:
  std::string FMethod, FPathInfo, FQuery, FProtocolVersion = "HTTP/1.1", FRemoteAddr = "127.0.0.1";
  std::string FScriptName, FBody, FWritten;
  int FServerPort = 8888;
  int FClientCursor = 0;
  std::vector<std::pair<std::string, std::string>> FHeaders;
  std::vector<std::pair<int, std::string>> FOverrides;
};

class TKXTestWebResponse : public TWebResponse {
public:
  explicit TKXTestWebResponse(TWebRequest& ARequest);

  std::string GetStringVariable(int AIndex) override;
  void SetStringVariable(int AIndex, const std::string& AValue) override;
  TDateTime GetDateVariable(int AIndex) override;
  void SetDateVariable(int AIndex, TDateTime AValue) override;
  int GetIntegerVariable(int AIndex) override;
  void SetIntegerVariable(int AIndex, int AValue) override;
  std::string GetRawContent() override { return FRawContent; }
  void SetRawContent(const std::string& AValue) override;
  int GetStatusCode() override { return FStatusCode; }
  void SetStatusCode(int AValue) override { FStatusCode = AValue; }
  std::string GetLogMessage() override { return FLogMessage; }
  void SetLogMessage(const std::string& AValue) override { FLogMessage = AValue; }
  void SendResponse() override;
  void SendRedirect(const std::string& AURI) override;
  void SendStream(TSkStream& AStream) override;
  bool Sent() override { return FSent; }

  // What the send operations recorded.
  int SendCount() const { return FSendCount; }
  // The Set-Cookie texts and the custom headers as copied when sent.
  const std::vector<std::string>& SentCookies() const { return FSentCookies; }
  const TSkStringList& SentHeaders() const { return FSentHeaders; }
  // The body as sent: the stream's bytes when there is a stream, else RawContent.
  const std::string& SentBody() const { return FSentBody; }
  // Bytes written by SendStream.
  const std::string& StreamedBytes() const { return FStreamedBytes; }

private:
  void CopyCookiesAndHeaders();

  std::string FStrings[kStringVariableCount];
  TDateTime FDates[3] = {-1, -1, -1};
  int FContentLength = -1;
  int FStatusCode = 200;
  std::string FRawContent, FLogMessage, FSentBody, FStreamedBytes;
  bool FSent = false;
  int FSendCount = 0;
  std::vector<std::string> FSentCookies;
  TSkStringList FSentHeaders;
};
