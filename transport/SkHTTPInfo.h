#pragma once
// The parsed request record and the response record of one HTTP request, and the writing of the
// response's header block and content.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "SkCookie.h"
#include "SkDateTime.h"
#include "SkException.h"
#include "SkHeaderList.h"
#include "SkStringList.h"

class TSkCustomHTTPServer;
class TSkTCPConnection;

class ESkHTTPErrorParsingCommand : public ESkException { using ESkException::ESkException; };
class ESkHTTPUnsupportedAuthorisationScheme : public ESkException { using ESkException::ESkException; };
class ESkHTTPHeaderAlreadyWritten : public ESkException { using ESkException::ESkException; };

enum class THTTPCommandType { hcUnknown, hcHEAD, hcGET, hcPOST, hcDELETE, hcPUT, hcTRACE, hcOPTION };

THTTPCommandType SkCommandType(std::string_view ACommand);   // without regard to case
// The reason text of a status code; "Unknown Response Code" for codes outside the table.
std::string SkResponseText(int ACode);

#define SK_STR_PROP(N) \
  const std::string& N() const { return F##N; } \
  void Set##N(std::string AValue) { F##N = std::move(AValue); }

class TSkEntityHeaderInfo {
public:
  TSkEntityHeaderInfo();
  TSkHeaderList& RawHeaders() { return FRawHeaders; }
  const TSkHeaderList& RawHeaders() const { return FRawHeaders; }
  TSkHeaderList& CustomHeaders() { return FCustomHeaders; }
  const TSkHeaderList& CustomHeaders() const { return FCustomHeaders; }
  SK_STR_PROP(CacheControl)
  SK_STR_PROP(Connection)
  SK_STR_PROP(ContentDisposition)
  SK_STR_PROP(ContentEncoding)
  SK_STR_PROP(ContentLanguage)
  SK_STR_PROP(ContentType)
  SK_STR_PROP(ContentVersion)
  SK_STR_PROP(Pragma)
  int64_t ContentLength() const { return FContentLength; }   // -1: none
  void SetContentLength(int64_t AValue) { FContentLength = AValue; FHasContentLength = AValue >= 0; }
  bool HasContentLength() const { return FHasContentLength; }
  int64_t ContentRangeStart() const { return FContentRangeStart; }
  void SetContentRangeStart(int64_t AValue) { FContentRangeStart = AValue; }
  int64_t ContentRangeEnd() const { return FContentRangeEnd; }
  void SetContentRangeEnd(int64_t AValue) { FContentRangeEnd = AValue; }
  int64_t ContentRangeInstanceLength() const { return FContentRangeInstanceLength; }
  void SetContentRangeInstanceLength(int64_t AValue) { FContentRangeInstanceLength = AValue; }
  // Date-times (UTC as the caller gives them); 0 means none.
  TDateTime Date() const { return FDate; }
  void SetDate(TDateTime AValue) { FDate = AValue; }
  TDateTime Expires() const { return FExpires; }
  void SetExpires(TDateTime AValue) { FExpires = AValue; }
  TDateTime LastModified() const { return FLastModified; }
  void SetLastModified(TDateTime AValue) { FLastModified = AValue; }

protected:
  // Fills the fields from the raw header lines.
  virtual void ProcessHeaders();

  TSkHeaderList FRawHeaders;
  std::string FCacheControl, FConnection, FContentDisposition, FContentEncoding, FContentLanguage;
  int64_t FContentLength = -1;
  int64_t FContentRangeEnd = -1, FContentRangeStart = -1, FContentRangeInstanceLength = -1;
  std::string FContentType, FContentVersion;
  TSkHeaderList FCustomHeaders;
  TDateTime FDate = 0, FExpires = 0, FLastModified = 0;
  std::string FPragma;
  bool FHasContentLength = false;
};

class TSkRequestHeaderInfo : public TSkEntityHeaderInfo {
public:
  SK_STR_PROP(Accept)
  SK_STR_PROP(AcceptCharSet)
  SK_STR_PROP(AcceptEncoding)
  SK_STR_PROP(AcceptLanguage)
  SK_STR_PROP(Expect)
  SK_STR_PROP(From)
  SK_STR_PROP(Password)
  SK_STR_PROP(Referer)
  SK_STR_PROP(UserAgent)
  SK_STR_PROP(UserName)
  SK_STR_PROP(Host)
  SK_STR_PROP(ProxyConnection)
  SK_STR_PROP(Range)

protected:
  void ProcessHeaders() override;
  std::string FAccept, FAcceptCharSet, FAcceptEncoding, FAcceptLanguage, FExpect, FFrom, FPassword, FReferer,
      FUserAgent, FUserName, FHost, FProxyConnection, FRange;
};

class TSkHTTPRequestInfo : public TSkRequestHeaderInfo {
public:
  bool AuthExists() const { return FAuthExists; }
  TSkServerCookies& Cookies() { return FCookies; }
  const TSkServerCookies& Cookies() const { return FCookies; }
  TSkStringList& Params() { return FParams; }
  const TSkStringList& Params() const { return FParams; }
  // The body bytes as received.
  const std::string& PostStream() const { return FPostStream; }
  std::string& PostStream() { return FPostStream; }
  SK_STR_PROP(RawHTTPCommand)
  SK_STR_PROP(RemoteIP)
  SK_STR_PROP(Document)
  SK_STR_PROP(Command)
  SK_STR_PROP(Version)
  SK_STR_PROP(AuthUsername)
  SK_STR_PROP(AuthPassword)
  SK_STR_PROP(UnparsedParams)
  SK_STR_PROP(QueryParams)
  SK_STR_PROP(FormParams)
  THTTPCommandType CommandType() const { return FCommandType; }
  void SetCommandType(THTTPCommandType AValue) { FCommandType = AValue; }

private:
  friend class TSkCustomHTTPServer;
  bool FAuthExists = false;
  TSkServerCookies FCookies;
  TSkStringList FParams;
  std::string FPostStream;
  std::string FRawHTTPCommand, FRemoteIP, FDocument, FCommand, FVersion, FAuthUsername, FAuthPassword,
      FUnparsedParams, FQueryParams, FFormParams;
  THTTPCommandType FCommandType = THTTPCommandType::hcUnknown;
};

class TSkResponseHeaderInfo : public TSkEntityHeaderInfo {
public:
  SK_STR_PROP(AcceptRanges)
  SK_STR_PROP(Location)
  SK_STR_PROP(Server)
  SK_STR_PROP(ProxyConnection)
  TSkHeaderList& ProxyAuthenticate() { return FProxyAuthenticate; }
  TSkHeaderList& WWWAuthenticate() { return FWWWAuthenticate; }

protected:
  std::string FAcceptRanges, FLocation, FServer, FProxyConnection;
  TSkHeaderList FProxyAuthenticate, FWWWAuthenticate;
};

class TSkHTTPResponseInfo : public TSkResponseHeaderInfo {
public:
  TSkHTTPResponseInfo(TSkTCPConnection* AConnection, TSkCustomHTTPServer* AServer);
  ~TSkHTTPResponseInfo();
  TSkHTTPResponseInfo(const TSkHTTPResponseInfo&) = delete;
  TSkHTTPResponseInfo& operator=(const TSkHTTPResponseInfo&) = delete;

  SK_STR_PROP(AuthRealm)
  SK_STR_PROP(ResponseText)
  SK_STR_PROP(ContentText)   // the body bytes, one character per byte
  // The connection the record writes to (the entity field Connection() is the header text).
  TSkTCPConnection* TCPConnection() const { return FTCPConnection; }
  TSkCustomHTTPServer* HTTPServer() const { return FHTTPServer; }
  int ResponseNo() const { return FResponseNo; }
  // Sets the status and its reason text; 404 also sets the close flag.
  void SetResponseNo(int ACode);
  TSkServerCookies& Cookies() { return FCookies; }
  std::istream* ContentStream() const { return FContentStream; }
  // Replaces the stream, freeing the previous one when FreeContentStream is set.
  void SetContentStream(std::istream* AStream);
  bool FreeContentStream() const { return FFreeContentStream; }
  void SetFreeContentStream(bool AValue) { FFreeContentStream = AValue; }
  bool CloseConnection() const { return FCloseConnection; }
  void SetCloseConnection(bool AValue) { FCloseConnection = AValue; }
  bool HeaderHasBeenWritten() const { return FHeaderHasBeenWritten; }
  // Answer to a HEAD request: header block as for GET, the content is not sent.
  bool HeadRequest() const { return FHeadRequest; }
  void SetHeadRequest(bool AValue) { FHeadRequest = AValue; }

  void Redirect(std::string_view AURL);
  void WriteHeader();
  void WriteContent();

private:
  void ReleaseContentStream();
  std::string StatusPage() const;

  TSkTCPConnection* FTCPConnection;
  int FResponseNo = 200;
  TSkServerCookies FCookies;
  std::istream* FContentStream = nullptr;
  std::string FAuthRealm, FContentText, FResponseText = "OK";
  bool FCloseConnection = false;
  bool FFreeContentStream = true;
  bool FHeaderHasBeenWritten = false;
  bool FHeadRequest = false;
  TSkCustomHTTPServer* FHTTPServer;
};

#undef SK_STR_PROP
