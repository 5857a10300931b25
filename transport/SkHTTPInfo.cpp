#include "SkHTTPInfo.h"

#include <istream>

#include "SkIOHandler.h"
#include "SkStrUtils.h"
#include "SkTCPServer.h"

namespace {

const char kHeaderAlreadyWritten[] = "Header has already been written.";

const struct {
  int Code;
  const char* Text;
} kResponseTexts[] = {
    {100, "Continue"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {301, "Moved Permanently"},
    {302, "Moved Temporarily"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method not allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity To Long"},
    {414, "Request-URI Too Long. 256 Chars max"},
    {415, "Unsupported Media Type"},
    {417, "Expectation Failed"},
    {431, "Request Header Fields Too Large"},   // the header block cap's answer
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway timeout"},
    {505, "HTTP version not supported"},
};

const char* const kCommandNames[] = {"UNKNOWN", "HEAD", "GET", "POST", "DELETE", "PUT", "TRACE", "OPTIONS"};

TDateTime HeaderDate(const TSkHeaderList& AHeaders, std::string_view AName) {
  TDateTime D = 0;
  const std::string V = AHeaders.Values(AName);
  return !V.empty() && TryParseHTTPDate(V, D) ? D : 0;
}

}  // namespace

THTTPCommandType SkCommandType(std::string_view ACommand) {
  for (int I = 1; I < 8; ++I)
    if (SameText(ACommand, kCommandNames[I])) return static_cast<THTTPCommandType>(I);
  return THTTPCommandType::hcUnknown;
}

std::string SkResponseText(int ACode) {
  for (const auto& R : kResponseTexts)
    if (R.Code == ACode) return R.Text;
  return "Unknown Response Code";
}

// ---- entity headers ----

TSkEntityHeaderInfo::TSkEntityHeaderInfo() {
  FRawHeaders.SetFoldLinesLength(1024);
}

void TSkEntityHeaderInfo::ProcessHeaders() {
  const TSkHeaderList& H = FRawHeaders;
  FConnection = H.Values("Connection");
  FContentVersion = H.Values("Content-Version");
  FContentDisposition = H.Values("Content-Disposition");
  FContentEncoding = H.Values("Content-Encoding");
  FContentLanguage = H.Values("Content-Language");
  FContentType = H.Values("Content-Type");
  int64_t N = -1;
  FContentLength = TryStrToInt64(H.Values("Content-Length"), N) && N >= 0 ? N : -1;
  FHasContentLength = FContentLength >= 0;
  FCacheControl = H.Values("Cache-control");
  // "bytes start-end/total"
  const std::string Range = H.Values("Content-Range");
  if (StartsText("bytes", Range)) {
    const std::string Spec = Trim(std::string_view(Range).substr(5));
    const size_t Dash = Spec.find('-'), Slash = Spec.find('/');
    int64_t V = 0;
    if (Dash != std::string::npos && TryStrToInt64(Spec.substr(0, Dash), V)) FContentRangeStart = V;
    if (Dash != std::string::npos &&
        TryStrToInt64(Spec.substr(Dash + 1, Slash == std::string::npos ? std::string::npos : Slash - Dash - 1), V))
      FContentRangeEnd = V;
    if (Slash != std::string::npos && TryStrToInt64(Spec.substr(Slash + 1), V)) FContentRangeInstanceLength = V;
  }
  FDate = HeaderDate(H, "Date");
  FLastModified = HeaderDate(H, "Last-Modified");
  // Expires: seconds from now (negative: none) or an HTTP date
  const std::string Exp = H.Values("Expires");
  int64_t Secs = 0;
  if (TryStrToInt64(Exp, Secs))
    FExpires = Secs >= 0 ? NowUTC() + static_cast<double>(Secs) / 86400.0 : 0;
  else
    FExpires = HeaderDate(H, "Expires");
  FPragma = H.Values("Pragma");
}

void TSkRequestHeaderInfo::ProcessHeaders() {
  TSkEntityHeaderInfo::ProcessHeaders();
  const TSkHeaderList& H = FRawHeaders;
  FAccept = H.Values("Accept");
  FAcceptCharSet = H.Values("Accept-Charset");
  FAcceptEncoding = H.Values("Accept-Encoding");
  FAcceptLanguage = H.Values("Accept-Language");
  FExpect = H.Values("Expect");
  FHost = H.Values("Host");
  FFrom = H.Values("From");
  FReferer = H.Values("Referer");
  FUserAgent = H.Values("User-Agent");
  FProxyConnection = H.Values("Proxy-Connection");
  const std::string R = H.Values("Range");
  const size_t Eq = R.find('=');
  FRange = Eq == std::string::npos ? std::string() : R.substr(Eq + 1);
}

// ---- response ----

TSkHTTPResponseInfo::TSkHTTPResponseInfo(TSkTCPConnection* AConnection, TSkCustomHTTPServer* AServer)
    : FTCPConnection(AConnection), FHTTPServer(AServer) {
  FRawHeaders.SetFoldLines(false);
}

TSkHTTPResponseInfo::~TSkHTTPResponseInfo() { ReleaseContentStream(); }

void TSkHTTPResponseInfo::SetResponseNo(int ACode) {
  FResponseNo = ACode;
  FResponseText = SkResponseText(ACode);
  if (ACode == 404) FCloseConnection = true;
}

void TSkHTTPResponseInfo::SetContentStream(std::istream* AStream) {
  if (AStream == FContentStream) return;
  ReleaseContentStream();
  FContentStream = AStream;
}

void TSkHTTPResponseInfo::ReleaseContentStream() {
  if (FFreeContentStream) delete FContentStream;
  FContentStream = nullptr;
}

void TSkHTTPResponseInfo::Redirect(std::string_view AURL) {
  SetResponseNo(302);
  FLocation = std::string(AURL);
}

std::string TSkHTTPResponseInfo::StatusPage() const {
  return "<HTML><BODY><B>" + std::to_string(FResponseNo) + " " + FResponseText + "</B></BODY></HTML>";
}

void TSkHTTPResponseInfo::WriteHeader() {
  if (FHeaderHasBeenWritten) throw ESkHTTPHeaderAlreadyWritten(kHeaderAlreadyWritten);
  FHeaderHasBeenWritten = true;
  if (FContentLength == -1) {
    if (!FContentText.empty()) {
      FContentLength = static_cast<int64_t>(FContentText.size());
    } else if (FContentStream) {
      FContentStream->clear();
      const auto Pos = FContentStream->tellg();
      FContentStream->seekg(0, std::ios::end);
      FContentLength = static_cast<int64_t>(FContentStream->tellg());
      FContentStream->seekg(Pos);
    }
  }
  TSkHeaderList& H = FRawHeaders;
  H.Clear();
  H.AddValue("Connection", FCloseConnection ? "close" : "keep-alive");
  const std::pair<const char*, const std::string*> Entity[] = {
      {"Content-Version", &FContentVersion}, {"Content-Disposition", &FContentDisposition},
      {"Content-Encoding", &FContentEncoding}, {"Content-Language", &FContentLanguage},
      {"Content-Type", &FContentType}};
  for (const auto& [Name, Value] : Entity)
    if (!Value->empty()) H.AddValue(Name, *Value);
  if (FContentLength >= 0) H.AddValue("Content-Length", IntToStr(FContentLength));
  if (!FCacheControl.empty()) H.AddValue("Cache-control", FCacheControl);
  if (FDate > 0) H.AddValue("Date", FormatHTTPDate(FDate));
  if (FExpires > 0) H.AddValue("Expires", FormatHTTPDate(FExpires));
  if (!FPragma.empty()) H.AddValue("Pragma", FPragma);
  for (const std::string& L : FCustomHeaders) H.Add(L);
  if (FContentRangeStart >= 0 || FContentRangeEnd >= 0 || FContentRangeInstanceLength >= 0) {
    const std::string Part = FContentRangeStart >= 0 && FContentRangeEnd >= 0
                                 ? IntToStr(FContentRangeStart) + "-" + IntToStr(FContentRangeEnd)
                                 : "*";
    H.AddValue("Content-Range", "bytes " + Part + "/" +
                                    (FContentRangeInstanceLength >= 0 ? IntToStr(FContentRangeInstanceLength) : "*"));
  }
  if (!FAcceptRanges.empty()) H.AddValue("Accept-Ranges", FAcceptRanges);
  H.SetValue("Server", FServer);
  H.SetValue("Location", FLocation);
  if (FLastModified > 0) H.SetValue("Last-Modified", FormatHTTPDate(FLastModified));
  if (!FAuthRealm.empty()) {
    SetResponseNo(401);
    H.SetValue("WWW-Authenticate", "Basic realm=\"" + FAuthRealm + "\"");
    H.SetValue("Content-Type", "text/html");
    FContentText = StatusPage();
    FContentLength = static_cast<int64_t>(FContentText.size());
    H.SetValue("Content-Length", IntToStr(FContentLength));
  }

  TSkIOHandler& IO = FTCPConnection->IOHandler();
  std::string Block = "HTTP/1.1 " + std::to_string(FResponseNo) + " " + FResponseText + "\r\n";
  for (const std::string& L : H) Block += L + "\r\n";
  for (const TSkCookieRFC2109& C : FCookies) Block += "Set-Cookie: " + C.ServerCookie() + "\r\n";
  Block += "\r\n";
  // one send for the whole block, through the write buffer as every header block goes
  IO.WriteBufferOpen();
  try {
    IO.Write(Block);
    IO.WriteBufferClose();
  } catch (...) {
    IO.WriteBufferCancel();
    throw;
  }
}

void TSkHTTPResponseInfo::WriteContent() {
  if (!FHeaderHasBeenWritten) WriteHeader();
  TSkIOHandler& IO = FTCPConnection->IOHandler();
  if (!FHeadRequest) {
    if (!FContentText.empty())
      IO.Write(FContentText);
    else if (FContentStream)
      IO.Write(*FContentStream, 0);
    else
      IO.Write(StatusPage() + "\r\n");
  }
  FContentText.clear();
  ReleaseContentStream();
}
