#include "SkWebResponse.h"

#include "SkCodec.h"
#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebRequest.h"

void TCookie::Assign(const TCookie& ASource) {
  FName = ASource.FName;
  FValue = ASource.FValue;
  FPath = ASource.FPath;
  FDomain = ASource.FDomain;
  FExpires = ASource.FExpires;
  FSecure = ASource.FSecure;
}

std::string TCookie::HeaderValue() const {
  // HTTPEncode keeps exactly the characters a cookie name or value may carry unchanged.
  std::string R = HTTPEncode(FName) + "=" + HTTPEncode(FValue) + "; ";
  if (!FDomain.empty()) R += "domain=" + FDomain + "; ";
  if (!FPath.empty()) R += "path=" + FPath + "; ";
  // Written as given: callers pass the expiry already shifted to GMT.
  if (FExpires > -1) R += "expires=" + FormatHTTPDate(FExpires) + "; ";
  if (FSecure) R += "secure";
  if (R.ends_with("; ")) R.resize(R.size() - 2);
  return R;
}

TCookie& TCookieCollection::Add() {
  FItems.push_back(std::make_unique<TCookie>());
  return *FItems.back();
}

TWebResponse::TWebResponse(TWebRequest& AHTTPRequest) : FCookies(this), FHTTPRequest(&AHTTPRequest) {}

TWebResponse::~TWebResponse() = default;

void TWebResponse::SetContentStream(std::unique_ptr<TSkStream> AValue) {
  if (AValue && AValue.get() == FContentStream.get()) {
    (void)AValue.release();   // the same stream handed in again: it is ours already
  } else {
    FContentStream = std::move(AValue);
  }
  if (FContentStream)
    SetContentLength(static_cast<int>(FContentStream->Size()));
  else
    SetContentLength(static_cast<int>(GetRawContent().size()));
}

std::string TWebResponse::Content() {
  std::string Raw = GetRawContent();
  return IsUTF8ContentType(ContentType()) ? Raw : Latin1ToUtf8(Raw);
}

void TWebResponse::SetContent(std::string_view AText) {
  SetRawContent(IsUTF8ContentType(ContentType()) ? std::string(AText) : Utf8ToLatin1(AText));
}

void TWebResponse::SetCookieField(const TSkStringList& AValues, const std::string& ADomain,
                                  const std::string& APath, TDateTime AExpires, bool ASecure) {
  for (int I = 0; I < AValues.Count(); ++I) {
    TCookie& C = FCookies.Add();
    C.SetName(AValues.Names(I));
    C.SetValue(AValues.ValueFromIndex(I));
    C.SetDomain(ADomain);
    C.SetPath(APath);
    C.SetExpires(AExpires);
    C.SetSecure(ASecure);
  }
}

bool DispatchWebRequest(IWebDispatcher& ADispatcher, TWebRequest& ARequest, TWebResponse& AResponse) {
  if (AResponse.Sent()) return true;
  const bool Handled = ADispatcher.HandleRequest(ARequest, AResponse);
  if (Handled && !AResponse.Sent()) AResponse.SendResponse();
  return Handled;
}
