#include "SkWebRequest.h"

#include "SkCodec.h"
#include "SkException.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

namespace {

// Parser classes in registration order; the choice walks it backwards.
std::vector<TContentParserClass>& ParserRegistry() {
  static std::vector<TContentParserClass> Registry;
  return Registry;
}

const char kQuerySeparators[] = "&\r\n";
const char kQueryWhiteSpace[] = "\r\n";

}  // namespace

TMethodType MethodTypeFromName(std::string_view AMethod) {
  if (AMethod == "GET") return mtGet;
  if (AMethod == "PUT") return mtPut;
  if (AMethod == "POST") return mtPost;
  if (AMethod == "HEAD") return mtHead;
  return mtAny;
}

bool IsUTF8ContentType(std::string_view AContentType) {
  const std::string Upper = UpperCase(AContentType);
  const size_t P = Upper.find("CHARSET");
  return P != std::string::npos && Upper.find("UTF-8", P + 7) != std::string::npos;
}

TAbstractWebRequestFile& TEmptyRequestFiles::Item(int AIndex) {
  throw ESkException("List index out of bounds (" + std::to_string(AIndex) + ")");
}

TContentParser::~TContentParser() = default;

TSkStringList& TContentParser::GetContentFields() {
  if (!FContentFields) {
    FContentFields = std::make_unique<TSkStringList>();
    if (FWebRequest.ContentLength() > 0)
      ExtractHeaderFields(kQuerySeparators, kQueryWhiteSpace, FWebRequest.RawContent(), *FContentFields, true);
  }
  return *FContentFields;
}

void RegisterContentParser(const TContentParserClass& AClass) { ParserRegistry().push_back(AClass); }

bool UnregisterContentParser(std::string_view AName) {
  auto& R = ParserRegistry();
  const auto Old = R.size();
  std::erase_if(R, [&](const TContentParserClass& C) { return AName == C.Name; });
  return R.size() != Old;
}

bool IsContentParserRegistered(std::string_view AName) {
  for (const auto& C : ParserRegistry())
    if (AName == C.Name) return true;
  return false;
}

void ExtractHeaderFields(std::string_view ASeparators, std::string_view AWhiteSpace, std::string_view AText,
                         TSkStringList& AFields, bool ADecode) {
  size_t I = 0;
  const size_t N = AText.size();
  while (I < N) {
    while (I < N && AWhiteSpace.find(AText[I]) != std::string_view::npos) ++I;
    const size_t Start = I;
    bool InQuote = false;
    for (; I < N; ++I) {
      const char C = AText[I];
      if (C == '"') InQuote = !InQuote;
      else if (!InQuote && ASeparators.find(C) != std::string_view::npos) break;
    }
    const std::string_view Field = AText.substr(Start, I - Start);
    if (!Field.empty()) AFields.Add(ADecode ? HTTPDecode(Field) : std::string(Field));
    ++I;   // past the separator
  }
}

TWebRequest::TWebRequest() = default;

TWebRequest::~TWebRequest() {
  FCookieFields.reset();
  FQueryFields.reset();
  FContentParser.reset();
}

std::string TWebRequest::Content() {
  std::string Raw = RawContent();
  return IsUTF8ContentType(ContentType()) ? Raw : Latin1ToUtf8(Raw);
}

TAbstractContentParser& TWebRequest::ContentParser() {
  if (!FContentParser) {
    const auto& R = ParserRegistry();
    for (auto It = R.rbegin(); It != R.rend() && !FContentParser; ++It)
      if (It->CanParse(*this)) FContentParser = It->Create(*this);
    if (!FContentParser) FContentParser = std::make_unique<TContentParser>(*this);
  }
  return *FContentParser;
}

TSkStringList& TWebRequest::QueryFields() {
  if (!FQueryFields) {
    FQueryFields = std::make_unique<TSkStringList>();
    ExtractHeaderFields(kQuerySeparators, kQueryWhiteSpace, Query(), *FQueryFields, true);
  }
  return *FQueryFields;
}

TSkStringList& TWebRequest::CookieFields() {
  if (!FCookieFields) {
    FCookieFields = std::make_unique<TSkStringList>();
    ExtractHeaderFields(";,", " ", Cookie(), *FCookieFields, false);
  }
  return *FCookieFields;
}
