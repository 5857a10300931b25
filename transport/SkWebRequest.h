#pragma once
// The abstract web request the dispatcher works on, and the content parsers that turn its body
// into fields and files. Header-like values are 8-bit strings (one character per byte);
// Content() is UTF-8 text; RawContent() is the body's bytes.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SkDateTime.h"

class TSkStream;
class TSkStringList;
class TWebRequest;

enum TMethodType { mtAny = 0, mtGet = 1, mtPut = 2, mtPost = 3, mtHead = 4 };

// "GET" -> mtGet, "PUT" -> mtPut, "POST" -> mtPost, "HEAD" -> mtHead, anything else -> mtAny.
TMethodType MethodTypeFromName(std::string_view AMethod);

// True when the upper-cased content type contains "CHARSET" and, after it, "UTF-8": the body is
// UTF-8 text; otherwise it is 8-bit text in ISO 8859-1.
bool IsUTF8ContentType(std::string_view AContentType);

class TAbstractWebRequestFile {
public:
  virtual ~TAbstractWebRequestFile() = default;
  virtual std::string FieldName() const = 0;
  virtual std::string FileName() const = 0;
  // The file's content; owned by the file.
  virtual TSkStream* Stream() = 0;
  virtual std::string ContentType() const = 0;
};

class TAbstractWebRequestFiles {
public:
  virtual ~TAbstractWebRequestFiles() = default;
  virtual int Count() const = 0;
  // Raises "List index out of bounds (N)" outside 0..Count-1.
  virtual TAbstractWebRequestFile& Item(int AIndex) = 0;
};

class TEmptyRequestFiles : public TAbstractWebRequestFiles {
public:
  int Count() const override { return 0; }
  TAbstractWebRequestFile& Item(int AIndex) override;
};

class TAbstractContentParser {
public:
  explicit TAbstractContentParser(TWebRequest& AWebRequest) : FWebRequest(AWebRequest) {}
  TAbstractContentParser(const TAbstractContentParser&) = delete;
  TAbstractContentParser& operator=(const TAbstractContentParser&) = delete;
  virtual ~TAbstractContentParser() = default;

  static bool CanParse(TWebRequest&) { return false; }
  // The class name, e.g. "TContentParser": the dispatcher tells parsers apart by it.
  virtual const char* ClassName() const = 0;
  virtual TSkStringList& GetContentFields() = 0;
  virtual TAbstractWebRequestFiles& GetFiles() = 0;

  TWebRequest& WebRequest() const { return FWebRequest; }

protected:
  TWebRequest& FWebRequest;   // the request that owns this parser
};

// The default parser: URL-encoded fields from the body, no files.
class TContentParser : public TAbstractContentParser {
public:
  using TAbstractContentParser::TAbstractContentParser;
  ~TContentParser() override;
  static bool CanParse(TWebRequest&) { return true; }
  const char* ClassName() const override { return "TContentParser"; }
  TSkStringList& GetContentFields() override;
  TAbstractWebRequestFiles& GetFiles() override { return FFiles; }

private:
  std::unique_ptr<TSkStringList> FContentFields;
  TEmptyRequestFiles FFiles;
};

// A registered parser class: its name, its CanParse test and its factory.
struct TContentParserClass {
  const char* Name;
  bool (*CanParse)(TWebRequest& ARequest);
  std::unique_ptr<TAbstractContentParser> (*Create)(TWebRequest& ARequest);
};

// The process-wide parser registry. Written only during start-up (and by tests), read
// concurrently afterwards without a lock.
void RegisterContentParser(const TContentParserClass& AClass);
template <class TParser>
void RegisterContentParser() {
  RegisterContentParser(TContentParserClass{
      TParser::StaticClassName(), &TParser::CanParse,
      [](TWebRequest& R) -> std::unique_ptr<TAbstractContentParser> { return std::make_unique<TParser>(R); }});
}
// Removes every registration of the named class; true when one was found.
bool UnregisterContentParser(std::string_view AName);
bool IsContentParserRegistered(std::string_view AName);

// Splits AText into fields as query strings, form bodies and cookie headers are split: a field
// ends at any of ASeparators (a double-quoted run is taken whole), characters of AWhiteSpace
// before a field are skipped, empty fields are skipped, and with ADecode each field is
// HTTPDecode'd. A decoding error raises after the earlier fields were added.
void ExtractHeaderFields(std::string_view ASeparators, std::string_view AWhiteSpace, std::string_view AText,
                         TSkStringList& AFields, bool ADecode);

class TWebRequest {
public:
  // String variable indices; Date, IfModifiedSince and Expires are date variables,
  // ContentLength and ServerPort integer variables.
  enum : int {
    kMethod = 0, kProtocolVersion, kURL, kQuery, kPathInfo, kPathTranslated, kCacheControl, kDate, kAccept,
    kFrom, kHost, kIfModifiedSince, kReferer, kUserAgent, kContentEncoding, kContentType, kContentLength,
    kContentVersion, kDerivedFrom, kExpires, kTitle, kRemoteAddr, kRemoteHost, kScriptName, kServerPort,
    kRawContent, kConnection, kCookie, kAuthorization, kVariableCount
  };

  TWebRequest();
  TWebRequest(const TWebRequest&) = delete;
  TWebRequest& operator=(const TWebRequest&) = delete;
  virtual ~TWebRequest();

  virtual std::string GetStringVariable(int AIndex) = 0;
  virtual TDateTime GetDateVariable(int AIndex) = 0;
  virtual int GetIntegerVariable(int AIndex) = 0;
  virtual std::string GetInternalPathInfo() { return GetStringVariable(kPathInfo); }
  virtual std::string GetInternalScriptName() { return GetStringVariable(kScriptName); }
  virtual int ReadClient(void* ABuffer, int ACount) = 0;
  virtual std::string ReadString(int ACount) = 0;
  virtual std::string TranslateURI(const std::string& AURI) = 0;
  virtual int WriteClient(const void* ABuffer, int ACount) = 0;
  virtual bool WriteString(const std::string& AString) = 0;
  virtual bool WriteHeaders(int AStatusCode, const std::string& AReasonString, const std::string& AHeaders) = 0;
  virtual std::string GetFieldByName(const std::string& AName) = 0;

  std::string Method() { return GetStringVariable(kMethod); }
  std::string ProtocolVersion() { return GetStringVariable(kProtocolVersion); }
  std::string URL() { return GetStringVariable(kURL); }
  std::string Query() { return GetStringVariable(kQuery); }
  std::string PathInfo() { return GetStringVariable(kPathInfo); }
  std::string PathTranslated() { return GetStringVariable(kPathTranslated); }
  std::string CacheControl() { return GetStringVariable(kCacheControl); }
  TDateTime Date() { return GetDateVariable(kDate); }
  std::string Accept() { return GetStringVariable(kAccept); }
  std::string From() { return GetStringVariable(kFrom); }
  std::string Host() { return GetStringVariable(kHost); }
  TDateTime IfModifiedSince() { return GetDateVariable(kIfModifiedSince); }
  std::string Referer() { return GetStringVariable(kReferer); }
  std::string UserAgent() { return GetStringVariable(kUserAgent); }
  std::string ContentEncoding() { return GetStringVariable(kContentEncoding); }
  std::string ContentType() { return GetStringVariable(kContentType); }
  int ContentLength() { return GetIntegerVariable(kContentLength); }
  std::string ContentVersion() { return GetStringVariable(kContentVersion); }
  std::string DerivedFrom() { return GetStringVariable(kDerivedFrom); }
  TDateTime Expires() { return GetDateVariable(kExpires); }
  std::string Title() { return GetStringVariable(kTitle); }
  std::string RemoteAddr() { return GetStringVariable(kRemoteAddr); }
  std::string RemoteHost() { return GetStringVariable(kRemoteHost); }
  std::string ScriptName() { return GetStringVariable(kScriptName); }
  int ServerPort() { return GetIntegerVariable(kServerPort); }
  std::string RawContent() { return GetStringVariable(kRawContent); }
  std::string Connection() { return GetStringVariable(kConnection); }
  std::string Cookie() { return GetStringVariable(kCookie); }
  std::string Authorization() { return GetStringVariable(kAuthorization); }
  std::string InternalPathInfo() { return GetInternalPathInfo(); }
  std::string InternalScriptName() { return GetInternalScriptName(); }

  TMethodType MethodType() const { return FMethodType; }
  // The body as UTF-8 text, decoded as ContentType says.
  std::string Content();

  // The parser chosen on first use: the last registered class whose CanParse accepts this
  // request, else TContentParser. It serves the request until the request is freed.
  TAbstractContentParser& ContentParser();
  TSkStringList& ContentFields() { return ContentParser().GetContentFields(); }
  TAbstractWebRequestFiles& Files() { return ContentParser().GetFiles(); }
  // Built on first use from Query ("&", CR, LF separate fields; each is URL-decoded).
  TSkStringList& QueryFields();
  // Built on first use from Cookie (";" and "," separate, leading blanks skipped, no decoding).
  TSkStringList& CookieFields();

protected:
  std::unique_ptr<TAbstractContentParser> FContentParser;
  TMethodType FMethodType = mtAny;   // set by the subclass's constructor
  std::unique_ptr<TSkStringList> FCookieFields;
  std::unique_ptr<TSkStringList> FQueryFields;
};
