#include "SkHTTPWebBrokerBridge.h"

#include <cstring>
#include <istream>
#include <streambuf>

#include "SkIOHandler.h"
#include "SkStream.h"
#include "SkStrUtils.h"
#include "SkTCPServer.h"

// A read-only std::istream over a byte stream, so that the response record (which writes
// std::istream content) can send a web response's stream. Optionally owns the stream: a record
// left holding the content after the pair is gone must own what it still has to send.
class TSkStreamBuf : public std::streambuf {
public:
  explicit TSkStreamBuf(TSkStream* AStream) : FStream(AStream) {}
  void Own(std::unique_ptr<TSkStream> AStream) { FOwned = std::move(AStream); }

protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const size_t Got = FStream->Read(FBuffer, sizeof FBuffer);
    if (Got == 0) return traits_type::eof();
    setg(FBuffer, FBuffer, FBuffer + Got);
    return traits_type::to_int_type(*gptr());
  }
  pos_type seekoff(off_type AOffset, std::ios_base::seekdir ADir, std::ios_base::openmode) override {
    int64_t Target = AOffset;
    if (ADir == std::ios_base::cur)
      Target += FStream->Position() - static_cast<int64_t>(egptr() - gptr());
    else if (ADir == std::ios_base::end)
      Target += FStream->Size();
    if (Target < 0) return pos_type(off_type(-1));
    setg(FBuffer, FBuffer, FBuffer);
    return pos_type(FStream->Seek(Target, TSkSeekOrigin::soBeginning));
  }
  pos_type seekpos(pos_type APos, std::ios_base::openmode AMode) override {
    return seekoff(off_type(APos), std::ios_base::beg, AMode);
  }

private:
  TSkStream* FStream;
  std::unique_ptr<TSkStream> FOwned;
  char FBuffer[32768];
};

namespace {
struct TSkStreamBufHolder {
  explicit TSkStreamBufHolder(TSkStream* AStream) : Buf(AStream) {}
  TSkStreamBuf Buf;
};
}  // namespace

// The buffer is a base constructed before std::istream, which is handed its address.
class TSkStreamIStream : private TSkStreamBufHolder, public std::istream {
public:
  explicit TSkStreamIStream(TSkStream* AStream) : TSkStreamBufHolder(AStream), std::istream(&Buf) {}
  void Own(std::unique_ptr<TSkStream> AStream) { Buf.Own(std::move(AStream)); }
};

namespace {

std::string IndexError(const char* AOperation, int AIndex) {
  return "Invalid Index " + std::to_string(AIndex) + " in TSkHTTPAppResponse." + AOperation;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Request

TSkHTTPAppRequest::TSkHTTPAppRequest(TSkContext& AThread, TSkHTTPRequestInfo& ARequestInfo,
                                     TSkHTTPResponseInfo& AResponseInfo)
    : FRequestInfo(ARequestInfo), FResponseInfo(AResponseInfo), FThread(AThread) {
  FMethodType = MethodTypeFromName(FRequestInfo.Command());
  FCookieFields = std::make_unique<TSkStringList>();
  for (const TSkCookieRFC2109& C : FRequestInfo.Cookies()) FCookieFields->Add(C.CookieName() + "=" + C.Value());
}

// Host without or with its port part. A bracketed IPv6 literal keeps its colons.
std::string TSkHTTPAppRequest::HostHeader(bool APortPart) {
  const std::string Host = GetFieldByName("Host");
  size_t Colon = std::string::npos;
  if (!Host.empty() && Host[0] == '[') {
    const size_t Close = Host.find(']');
    if (Close != std::string::npos) Colon = Host.find(':', Close);
  } else {
    Colon = Host.find(':');
  }
  if (APortPart) return Colon == std::string::npos ? std::string() : Host.substr(Colon + 1);
  return Host.substr(0, Colon);
}

std::string TSkHTTPAppRequest::GetStringVariable(int AIndex) {
  TSkHTTPRequestInfo& R = FRequestInfo;
  switch (AIndex) {
    case kMethod: return R.Command();
    case kProtocolVersion: {
      const std::string& Line = R.RawHTTPCommand();
      const size_t Blank = Line.rfind(' ');
      return Blank == std::string::npos ? Line : Line.substr(Blank + 1);
    }
    case kURL:
    case kPathInfo:
    case kPathTranslated: return R.Document();
    case kQuery:
    case kRawContent: return R.UnparsedParams();
    case kCacheControl: return GetFieldByName("CACHE_CONTROL");
    case kDate: return GetFieldByName("DATE");
    case kAccept: return GetFieldByName("Accept");
    case kFrom: return GetFieldByName("From");
    case kHost: return HostHeader(false);
    case kIfModifiedSince: return GetFieldByName("IF_MODIFIED_SINCE");
    case kReferer: return GetFieldByName("Referer");
    case kUserAgent: return GetFieldByName("User-Agent");
    case kContentEncoding: return GetFieldByName("Content-Encoding");
    case kContentType: return GetFieldByName("Content-Type");
    case kContentLength: return std::to_string(R.UnparsedParams().size());
    case kContentVersion: return GetFieldByName("CONTENT_VERSION");
    case kDerivedFrom: return GetFieldByName("DERIVED_FROM");
    case kExpires: return GetFieldByName("EXPIRES");
    case kTitle: return GetFieldByName("TITLE");
    case kRemoteAddr: return R.RemoteIP();
    case kRemoteHost: return GetFieldByName("REMOTE_HOST");
    case kServerPort: {
      std::string Port = HostHeader(true);
      if (Port.empty()) {
        try {
          Port = std::to_string(FThread.Binding().Port());
        } catch (const ESkException&) {
          // not a socket connection: no local port to report
        }
      }
      return Port;
    }
    case kConnection: return GetFieldByName("CONNECTION");
    case kAuthorization: return GetFieldByName("AUTHORIZATION");
    default: return {};   // ScriptName, Cookie and unknown indices
  }
}

TDateTime TSkHTTPAppRequest::GetDateVariable(int AIndex) {
  const std::string S = GetStringVariable(AIndex);
  TDateTime D = -1;
  return !S.empty() && TryParseHTTPDate(S, D) ? D : -1;
}

int TSkHTTPAppRequest::GetIntegerVariable(int AIndex) {
  int V = -1;
  return TryStrToInt(GetStringVariable(AIndex), V) ? V : -1;
}

int TSkHTTPAppRequest::ReadClient(void* ABuffer, int ACount) {
  const std::string& Body = FRequestInfo.UnparsedParams();
  if (ACount <= 0 || FClientCursor < 0 || static_cast<size_t>(FClientCursor) >= Body.size()) return 0;
  const size_t N = std::min(static_cast<size_t>(ACount), Body.size() - static_cast<size_t>(FClientCursor));
  std::memcpy(ABuffer, Body.data() + FClientCursor, N);
  FClientCursor += static_cast<int32_t>(N);
  return static_cast<int>(N);
}

std::string TSkHTTPAppRequest::ReadString(int ACount) {
  std::string S(ACount > 0 ? static_cast<size_t>(ACount) : 0, '\0');
  S.resize(static_cast<size_t>(ReadClient(S.data(), ACount)));
  return S;
}

int TSkHTTPAppRequest::WriteClient(const void* ABuffer, int ACount) {
  if (ACount <= 0) return 0;
  FThread.Connection().IOHandler().Write(std::string_view(static_cast<const char*>(ABuffer), static_cast<size_t>(ACount)));
  return ACount;
}

bool TSkHTTPAppRequest::WriteString(const std::string& AString) {
  if (!AString.empty()) FThread.Connection().IOHandler().Write(AString);
  return true;
}

bool TSkHTTPAppRequest::WriteHeaders(int AStatusCode, const std::string& AReasonString, const std::string& AHeaders) {
  FResponseInfo.SetResponseNo(AStatusCode);
  FResponseInfo.SetResponseText(AReasonString);
  for (std::string Line : SplitString(ReplaceAll(AHeaders, "\r\n", "\n"), '\n'))
    if (!Trim(Line).empty()) FResponseInfo.CustomHeaders().Add(std::move(Line));
  FResponseInfo.WriteHeader();
  return true;
}

std::string TSkHTTPAppRequest::GetFieldByName(const std::string& AName) {
  const TSkHeaderList& H = FRequestInfo.RawHeaders();
  if (H.IndexOfName(AName) < 0) return {};
  return Trim(H.Values(AName));
}

// ---------------------------------------------------------------------------------------------
// Response

TSkHTTPAppResponse::TSkHTTPAppResponse(TSkHTTPAppRequest& ARequest, TSkHTTPResponseInfo& AResponseInfo,
                                       TSkHTTPRequestInfo& ARequestInfo, TSkContext& AThread)
    : TWebResponse(ARequest), FRequestInfo(ARequestInfo), FResponseInfo(AResponseInfo), FThread(AThread) {
  SetStatusCode(200);
  SetLastModified(-1);
  SetExpires(-1);
  SetDate(-1);
  SetContentType("text/html");
}

TSkHTTPAppResponse::~TSkHTTPAppResponse() {
  // Content the record has not sent yet (a redirect with a body, an unhandled request) stays
  // with the record, which writes it after the bridge returns: hand the stream over.
  if (FRecordStream && FResponseInfo.ContentStream() == FRecordStream.get()) {
    FRecordStream->Own(std::move(FContentStream));
    FResponseInfo.SetFreeContentStream(true);
    (void)FRecordStream.release();
  }
}

std::string TSkHTTPAppResponse::GetStringVariable(int AIndex) {
  TSkHTTPResponseInfo& R = FResponseInfo;
  switch (AIndex) {
    case kVersion: return HTTPRequest().ProtocolVersion();
    case kReasonString: return R.ResponseText();
    case kServer: return R.Server();
    case kWWWAuthenticate: return R.WWWAuthenticate().Count() ? R.WWWAuthenticate()[0] : std::string();
    case kRealm: return R.AuthRealm();
    case kAllow: return FAllow;
    case kLocation: return R.Location();
    case kContentEncoding: return R.ContentEncoding();
    case kContentType: return R.ContentType();
    case kContentVersion: return R.ContentVersion();
    case kDerivedFrom: return FDerivedFrom;
    case kTitle: return FTitle;
    default: throw EWBBInvalidIdxGetStrVariable(IndexError("GetStringVariable", AIndex));
  }
}

void TSkHTTPAppResponse::SetStringVariable(int AIndex, const std::string& AValue) {
  TSkHTTPResponseInfo& R = FResponseInfo;
  switch (AIndex) {
    case kVersion: break;   // the request's version; not settable
    case kReasonString: R.SetResponseText(AValue); break;
    case kServer: R.SetServer(AValue); break;
    case kWWWAuthenticate:
      R.WWWAuthenticate().Clear();
      if (!AValue.empty()) R.WWWAuthenticate().Add(AValue);
      break;
    case kRealm: R.SetAuthRealm(AValue); break;
    case kAllow: FAllow = AValue; break;
    case kLocation: R.SetLocation(AValue); break;
    case kContentEncoding: R.SetContentEncoding(AValue); break;
    case kContentType: R.SetContentType(AValue); break;
    case kContentVersion: R.SetContentVersion(AValue); break;
    case kDerivedFrom: FDerivedFrom = AValue; break;
    case kTitle: FTitle = AValue; break;
    default: throw EWBBInvalidIdxSetStringVar(IndexError("SetStringVariable", AIndex));
  }
}

TDateTime TSkHTTPAppResponse::GetDateVariable(int AIndex) {
  switch (AIndex) {
    case kDate: return FResponseInfo.Date();
    case kExpires: return FResponseInfo.Expires();
    case kLastModified: return FResponseInfo.LastModified();
    default: throw EWBBInvalidIdxGetDateVariable(IndexError("GetDateVariable", AIndex));
  }
}

// The record writes a date only when it is above 0, so -1 stands for "none" on both sides.
void TSkHTTPAppResponse::SetDateVariable(int AIndex, TDateTime AValue) {
  switch (AIndex) {
    case kDate: FResponseInfo.SetDate(AValue); break;
    case kExpires: FResponseInfo.SetExpires(AValue); break;
    case kLastModified: FResponseInfo.SetLastModified(AValue); break;
    default: throw EWBBInvalidIdxSetDateVariable(IndexError("SetDateVariable", AIndex));
  }
}

int TSkHTTPAppResponse::GetIntegerVariable(int AIndex) {
  if (AIndex != kContentLength) throw EWBBInvalidIdxGetIntVariable(IndexError("GetIntegerVariable", AIndex));
  const int64_t N = FResponseInfo.ContentLength();
  if (N > INT32_MAX || N < INT32_MIN) throw ESkRangeError();
  return static_cast<int>(N);
}

void TSkHTTPAppResponse::SetIntegerVariable(int AIndex, int AValue) {
  if (AIndex != kContentLength) throw EWBBInvalidIdxSetIntVariable(IndexError("SetIntegerVariable", AIndex));
  FResponseInfo.SetContentLength(AValue);
}

std::string TSkHTTPAppResponse::GetRawContent() { return FResponseInfo.ContentText(); }

void TSkHTTPAppResponse::SetRawContent(const std::string& AValue) {
  FResponseInfo.SetContentText(AValue);
  FResponseInfo.SetContentLength(static_cast<int64_t>(AValue.size()));
}

void TSkHTTPAppResponse::SetContentStream(std::unique_ptr<TSkStream> AValue) {
  TWebResponse::SetContentStream(std::move(AValue));
  std::unique_ptr<TSkStreamIStream> Next = FContentStream ? std::make_unique<TSkStreamIStream>(FContentStream.get()) : nullptr;
  FResponseInfo.SetFreeContentStream(false);
  FResponseInfo.SetContentStream(Next.get());
  FRecordStream = std::move(Next);
}

int TSkHTTPAppResponse::GetStatusCode() { return FResponseInfo.ResponseNo(); }

void TSkHTTPAppResponse::SetStatusCode(int AValue) { FResponseInfo.SetResponseNo(AValue); }

void TSkHTTPAppResponse::CopyCookiesAndHeaders() {
  for (int I = 0; I < Cookies().Count(); ++I)
    FResponseInfo.Cookies().Add().SetCookieText(Cookies()[I].HeaderValue());
  TSkHeaderList& H = FResponseInfo.CustomHeaders();
  H.Clear();
  for (int I = 0; I < CustomHeaders().Count(); ++I) H.SetValue(CustomHeaders().Names(I), CustomHeaders().ValueFromIndex(I));
}

void TSkHTTPAppResponse::SendResponse() {
  FSent = true;
  FResponseInfo.SetContentLength(-1);   // the record counts what it sends
  CopyCookiesAndHeaders();
  FResponseInfo.WriteContent();
}

void TSkHTTPAppResponse::SendRedirect(const std::string& AURI) {
  FSent = true;
  CopyCookiesAndHeaders();
  FResponseInfo.Redirect(AURI);
}

void TSkHTTPAppResponse::SendStream(TSkStream& AStream) {
  TSkStreamIStream In(&AStream);
  FThread.Connection().IOHandler().Write(In, 0);
}

// ---------------------------------------------------------------------------------------------
// Bridge

TSkHTTPWebBrokerBridge::TSkHTTPWebBrokerBridge() { SetName("TSkHTTPWebBrokerBridge"); }

// Stopped here too: connection threads call DoCommandGet of this class until they end.
TSkHTTPWebBrokerBridge::~TSkHTTPWebBrokerBridge() { StopServer(); }

void TSkHTTPWebBrokerBridge::DoCommandGet(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo,
                                          TSkHTTPResponseInfo& AResponseInfo) {
  // Declared in reverse order of freeing: the dispatcher goes first, then response, then request.
  auto Request = std::make_unique<TSkHTTPAppRequest>(AContext, ARequestInfo, AResponseInfo);
  auto Response = std::make_unique<TSkHTTPAppResponse>(*Request, AResponseInfo, ARequestInfo, AContext);
  AResponseInfo.SetFreeContentStream(false);
  if (!FWebModuleClass) return;
  std::unique_ptr<IWebDispatcher> Dispatcher = FWebModuleClass();
  DispatchWebRequest(*Dispatcher, *Request, *Response);
}
