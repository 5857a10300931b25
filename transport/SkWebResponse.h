#pragma once
// The abstract web response: status, headers, cookies and content, sent once. Header-like
// values are 8-bit strings; Content() is UTF-8 text, RawContent() the body's bytes.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SkDateTime.h"
#include "SkStringList.h"

class TSkStream;
class TWebRequest;
class TWebResponse;

class TCookie {
public:
  const std::string& Name() const { return FName; }
  void SetName(std::string AValue) { FName = std::move(AValue); }
  const std::string& Value() const { return FValue; }
  void SetValue(std::string AValue) { FValue = std::move(AValue); }
  const std::string& Path() const { return FPath; }
  void SetPath(std::string AValue) { FPath = std::move(AValue); }
  const std::string& Domain() const { return FDomain; }
  void SetDomain(std::string AValue) { FDomain = std::move(AValue); }
  TDateTime Expires() const { return FExpires; }   // -1: a session cookie
  void SetExpires(TDateTime AValue) { FExpires = AValue; }
  bool Secure() const { return FSecure; }
  void SetSecure(bool AValue) { FSecure = AValue; }

  void Assign(const TCookie& ASource);
  // The Set-Cookie text: name=value; domain=..; path=..; expires=..; secure
  std::string HeaderValue() const;

private:
  std::string FName;
  std::string FValue;
  std::string FPath;
  std::string FDomain;
  TDateTime FExpires = -1;
  bool FSecure = false;
};

class TCookieCollection {
public:
  explicit TCookieCollection(TWebResponse* AWebResponse) : FWebResponse(AWebResponse) {}
  TCookie& Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  TCookie& Items(int AIndex) { return *FItems.at(static_cast<size_t>(AIndex)); }
  const TCookie& Items(int AIndex) const { return *FItems.at(static_cast<size_t>(AIndex)); }
  TCookie& operator[](int AIndex) { return Items(AIndex); }
  void Clear() { FItems.clear(); }
  TWebResponse* WebResponse() const { return FWebResponse; }

private:
  TWebResponse* FWebResponse;
  std::vector<std::unique_ptr<TCookie>> FItems;
};

class TWebResponse {
public:
  enum : int {   // string variables
    kVersion = 0, kReasonString, kServer, kWWWAuthenticate, kRealm, kAllow, kLocation, kContentEncoding,
    kContentType, kContentVersion, kDerivedFrom, kTitle, kStringVariableCount
  };
  enum : int { kContentLength = 0 };                // integer variable
  enum : int { kDate = 0, kExpires, kLastModified };  // date variables

  explicit TWebResponse(TWebRequest& AHTTPRequest);
  TWebResponse(const TWebResponse&) = delete;
  TWebResponse& operator=(const TWebResponse&) = delete;
  virtual ~TWebResponse();

  virtual std::string GetStringVariable(int AIndex) = 0;
  virtual void SetStringVariable(int AIndex, const std::string& AValue) = 0;
  virtual TDateTime GetDateVariable(int AIndex) = 0;
  virtual void SetDateVariable(int AIndex, TDateTime AValue) = 0;
  virtual int GetIntegerVariable(int AIndex) = 0;
  virtual void SetIntegerVariable(int AIndex, int AValue) = 0;
  // The body's bytes.
  virtual std::string GetRawContent() = 0;
  virtual void SetRawContent(const std::string& AValue) = 0;
  // Takes ownership; frees the previous stream and sets ContentLength to the new stream's size
  // (to the byte count of RawContent when set to none).
  virtual void SetContentStream(std::unique_ptr<TSkStream> AValue);
  virtual int GetStatusCode() = 0;
  virtual void SetStatusCode(int AValue) = 0;
  virtual std::string GetLogMessage() = 0;
  virtual void SetLogMessage(const std::string& AValue) = 0;
  virtual void SendResponse() = 0;
  virtual void SendRedirect(const std::string& AURI) = 0;
  virtual void SendStream(TSkStream& AStream) = 0;
  virtual bool Sent() { return false; }

  std::string Version() { return GetStringVariable(kVersion); }
  void SetVersion(const std::string& V) { SetStringVariable(kVersion, V); }
  std::string ReasonString() { return GetStringVariable(kReasonString); }
  void SetReasonString(const std::string& V) { SetStringVariable(kReasonString, V); }
  std::string Server() { return GetStringVariable(kServer); }
  void SetServer(const std::string& V) { SetStringVariable(kServer, V); }
  std::string WWWAuthenticate() { return GetStringVariable(kWWWAuthenticate); }
  void SetWWWAuthenticate(const std::string& V) { SetStringVariable(kWWWAuthenticate, V); }
  std::string Realm() { return GetStringVariable(kRealm); }
  void SetRealm(const std::string& V) { SetStringVariable(kRealm, V); }
  std::string Allow() { return GetStringVariable(kAllow); }
  void SetAllow(const std::string& V) { SetStringVariable(kAllow, V); }
  std::string Location() { return GetStringVariable(kLocation); }
  void SetLocation(const std::string& V) { SetStringVariable(kLocation, V); }
  std::string ContentEncoding() { return GetStringVariable(kContentEncoding); }
  void SetContentEncoding(const std::string& V) { SetStringVariable(kContentEncoding, V); }
  std::string ContentType() { return GetStringVariable(kContentType); }
  void SetContentType(const std::string& V) { SetStringVariable(kContentType, V); }
  std::string ContentVersion() { return GetStringVariable(kContentVersion); }
  void SetContentVersion(const std::string& V) { SetStringVariable(kContentVersion, V); }
  std::string DerivedFrom() { return GetStringVariable(kDerivedFrom); }
  void SetDerivedFrom(const std::string& V) { SetStringVariable(kDerivedFrom, V); }
  std::string Title() { return GetStringVariable(kTitle); }
  void SetTitle(const std::string& V) { SetStringVariable(kTitle, V); }
  int ContentLength() { return GetIntegerVariable(kContentLength); }
  void SetContentLength(int V) { SetIntegerVariable(kContentLength, V); }
  TDateTime Date() { return GetDateVariable(kDate); }
  void SetDate(TDateTime V) { SetDateVariable(kDate, V); }
  TDateTime Expires() { return GetDateVariable(kExpires); }
  void SetExpires(TDateTime V) { SetDateVariable(kExpires, V); }
  TDateTime LastModified() { return GetDateVariable(kLastModified); }
  void SetLastModified(TDateTime V) { SetDateVariable(kLastModified, V); }
  int StatusCode() { return GetStatusCode(); }
  std::string LogMessage() { return GetLogMessage(); }

  std::string RawContent() { return GetRawContent(); }
  // UTF-8 text, encoded to and from RawContent as ContentType says (UTF-8 with a UTF-8
  // charset, else ISO 8859-1).
  std::string Content();
  void SetContent(std::string_view AText);

  TSkStream* ContentStream() const { return FContentStream.get(); }
  TSkStringList& CustomHeaders() { return FCustomHeaders; }
  // An empty value removes the header.
  void SetCustomHeader(std::string_view AName, std::string_view AValue) { FCustomHeaders.SetValue(AName, AValue); }
  std::string GetCustomHeader(std::string_view AName) const { return FCustomHeaders.Values(AName); }
  TCookieCollection& Cookies() { return FCookies; }
  // One cookie per name=value line of AValues.
  void SetCookieField(const TSkStringList& AValues, const std::string& ADomain, const std::string& APath,
                      TDateTime AExpires, bool ASecure);
  TWebRequest& HTTPRequest() const { return *FHTTPRequest; }

protected:
  std::unique_ptr<TSkStream> FContentStream;
  TCookieCollection FCookies;
  TWebRequest* FHTTPRequest;   // the request this answers; not owned
  TSkStringList FCustomHeaders;
};

// The contract between the transport and the dispatcher.
class IWebDispatcher {
public:
  virtual ~IWebDispatcher() = default;
  // True when handled. An implementation returns true at once when AResponse.Sent() is true.
  virtual bool HandleRequest(TWebRequest& ARequest, TWebResponse& AResponse) = 0;
};

// What the transport does with a dispatcher: an already sent response is a no-op (true);
// otherwise dispatch and, when handled and not yet sent, send. Returns the handled flag.
bool DispatchWebRequest(IWebDispatcher& ADispatcher, TWebRequest& ARequest, TWebResponse& AResponse);
