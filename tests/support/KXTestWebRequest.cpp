#include "KXTestWebRequest.h"

#include <algorithm>
#include <cstring>

#include "SkException.h"
#include "SkStrUtils.h"
#include "SkStream.h"

namespace {

// Header name behind each header-backed string variable.
const struct {
  int Index;
  const char* Header;
} kHeaderVariables[] = {
    {TWebRequest::kCacheControl, "Cache-Control"}, {TWebRequest::kDate, "Date"},
    {TWebRequest::kAccept, "Accept"}, {TWebRequest::kFrom, "From"},
    {TWebRequest::kIfModifiedSince, "If-Modified-Since"}, {TWebRequest::kReferer, "Referer"},
    {TWebRequest::kUserAgent, "User-Agent"}, {TWebRequest::kContentEncoding, "Content-Encoding"},
    {TWebRequest::kContentType, "Content-Type"}, {TWebRequest::kContentVersion, "Content-Version"},
    {TWebRequest::kDerivedFrom, "Derived-From"}, {TWebRequest::kExpires, "Expires"},
    {TWebRequest::kTitle, "Title"}, {TWebRequest::kRemoteHost, "Remote-Host"},
    {TWebRequest::kConnection, "Connection"}, {TWebRequest::kAuthorization, "Authorization"},
};

}  // namespace

TKXTestWebRequest::TKXTestWebRequest(std::string AMethod, std::string APathInfo, std::string AQuery)
    : FPathInfo(std::move(APathInfo)), FQuery(std::move(AQuery)) {
  SetMethod(std::move(AMethod));
}

void TKXTestWebRequest::SetMethod(std::string AMethod) {
  FMethod = UpperCase(AMethod);
  FMethodType = MethodTypeFromName(FMethod);
}

void TKXTestWebRequest::SetHeader(const std::string& AName, std::string AValue) {
  std::erase_if(FHeaders, [&](const auto& H) { return SameText(H.first, AName); });
  if (!AValue.empty()) AddHeader(AName, std::move(AValue));
}

void TKXTestWebRequest::OverrideStringVariable(int AIndex, std::string AValue) {
  std::erase_if(FOverrides, [&](const auto& O) { return O.first == AIndex; });
  FOverrides.emplace_back(AIndex, std::move(AValue));
}

std::string TKXTestWebRequest::GetStringVariable(int AIndex) {
  for (const auto& O : FOverrides)
    if (O.first == AIndex) return O.second;
  for (const auto& H : kHeaderVariables)
    if (H.Index == AIndex) return GetFieldByName(H.Header);
  switch (AIndex) {
    case kMethod: return FMethod;
    case kProtocolVersion: return FProtocolVersion;
    case kURL:
    case kPathInfo:
    case kPathTranslated: return FPathInfo;
    case kQuery: return FQuery;
    case kHost: {
      const std::string H = GetFieldByName("Host");
      return H.substr(0, H.find(':'));
    }
    case kContentLength: return std::to_string(FBody.size());
    case kRemoteAddr: return FRemoteAddr;
    case kScriptName: return FScriptName;
    case kServerPort: return std::to_string(FServerPort);
    case kRawContent: return FBody;
    case kCookie: {
      std::string R;
      for (const auto& H : FHeaders)
        if (SameText(H.first, "Cookie")) R += (R.empty() ? "" : "; ") + H.second;
      return R;
    }
    default: return "";
  }
}

TDateTime TKXTestWebRequest::GetDateVariable(int AIndex) {
  TDateTime D = -1;
  const std::string S = GetStringVariable(AIndex);
  return !S.empty() && TryParseHTTPDate(S, D) ? D : -1;
}

int TKXTestWebRequest::GetIntegerVariable(int AIndex) { return StrToIntDef(GetStringVariable(AIndex), -1); }

int TKXTestWebRequest::ReadClient(void* ABuffer, int ACount) {
  const int N = std::max(0, std::min(ACount, static_cast<int>(FBody.size()) - FClientCursor));
  if (N > 0) std::memcpy(ABuffer, FBody.data() + FClientCursor, static_cast<size_t>(N));
  FClientCursor += N;
  return N;
}

std::string TKXTestWebRequest::ReadString(int ACount) {
  std::string R(static_cast<size_t>(std::max(ACount, 0)), '\0');
  R.resize(static_cast<size_t>(ReadClient(R.data(), ACount)));
  return R;
}

int TKXTestWebRequest::WriteClient(const void* ABuffer, int ACount) {
  FWritten.append(static_cast<const char*>(ABuffer), static_cast<size_t>(ACount));
  return ACount;
}

bool TKXTestWebRequest::WriteString(const std::string& AString) {
  FWritten += AString;
  return true;
}

bool TKXTestWebRequest::WriteHeaders(int AStatusCode, const std::string& AReasonString, const std::string& AHeaders) {
  FWritten += "HTTP/1.1 " + std::to_string(AStatusCode) + " " + AReasonString + "\r\n" + AHeaders + "\r\n";
  return true;
}

std::string TKXTestWebRequest::GetFieldByName(const std::string& AName) {
  for (const auto& H : FHeaders)
    if (SameText(H.first, AName)) return Trim(H.second);
  return "";
}

TKXTestWebResponse::TKXTestWebResponse(TWebRequest& ARequest) : TWebResponse(ARequest) {
  FStrings[kContentType] = "text/html";
}

std::string TKXTestWebResponse::GetStringVariable(int AIndex) {
  if (AIndex < 0 || AIndex >= kStringVariableCount) throw ESkException("Invalid Index " + std::to_string(AIndex));
  if (AIndex == kVersion) return HTTPRequest().ProtocolVersion();
  return FStrings[AIndex];
}

void TKXTestWebResponse::SetStringVariable(int AIndex, const std::string& AValue) {
  if (AIndex < 0 || AIndex >= kStringVariableCount) throw ESkException("Invalid Index " + std::to_string(AIndex));
  if (AIndex != kVersion) FStrings[AIndex] = AValue;
}

TDateTime TKXTestWebResponse::GetDateVariable(int AIndex) {
  if (AIndex < 0 || AIndex > 2) throw ESkException("Invalid Index " + std::to_string(AIndex));
  return FDates[AIndex];
}

void TKXTestWebResponse::SetDateVariable(int AIndex, TDateTime AValue) {
  if (AIndex < 0 || AIndex > 2) throw ESkException("Invalid Index " + std::to_string(AIndex));
  FDates[AIndex] = AValue;
}

int TKXTestWebResponse::GetIntegerVariable(int AIndex) {
  if (AIndex != kContentLength) throw ESkException("Invalid Index " + std::to_string(AIndex));
  return FContentLength;
}

void TKXTestWebResponse::SetIntegerVariable(int AIndex, int AValue) {
  if (AIndex != kContentLength) throw ESkException("Invalid Index " + std::to_string(AIndex));
  FContentLength = AValue;
}

void TKXTestWebResponse::SetRawContent(const std::string& AValue) {
  FRawContent = AValue;
  FContentLength = static_cast<int>(AValue.size());
}

void TKXTestWebResponse::CopyCookiesAndHeaders() {
  FSentCookies.clear();
  for (int I = 0; I < Cookies().Count(); ++I) FSentCookies.push_back(Cookies()[I].HeaderValue());
  FSentHeaders.Clear();
  for (int I = 0; I < FCustomHeaders.Count(); ++I)
    FSentHeaders.SetValue(FCustomHeaders.Names(I), FCustomHeaders.ValueFromIndex(I));
}

void TKXTestWebResponse::SendResponse() {
  FSent = true;
  ++FSendCount;
  CopyCookiesAndHeaders();
  FSentBody = ContentStream() ? ContentStream()->ReadAll() : FRawContent;
}

void TKXTestWebResponse::SendRedirect(const std::string& AURI) {
  FSent = true;
  ++FSendCount;
  CopyCookiesAndHeaders();
  FStatusCode = 302;
  FStrings[kLocation] = AURI;
}

void TKXTestWebResponse::SendStream(TSkStream& AStream) { FStreamedBytes += AStream.ReadAll(); }
