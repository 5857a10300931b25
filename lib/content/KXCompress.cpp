#include "content/KXCompress.h"

#include <zlib.h>

#include <cstdlib>
#include <memory>

#include "SkStrUtils.h"
#include "SkStream.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

namespace {

// Tried in order; a row applies when its key occurs in the user agent (both with every "/" read
// as a blank). No row: the last one's lists.
const struct TBrowserRow {
  const char* Key;
  const char* Skip;
  const char* DontSkip;
} kBrowserTable[] = {
    {"MSIE 5.5", "image/jpeg, text/css", ""},
    {"MSIE 5", "text/css, text/js, application/x-javascript", ""},
    {"MSIE 6", "image/jpeg, text/css, text/js, application/x-javascript", ""},
    {"MSIE 4", "image/*, application/*, text/*",
     "application/ms-excel, application/ms-powerpoint, application/msword, application/ms-works, "
     "application/x-msaccess, image/bmp, text/html, text/plain, text/xml"},
    {"OPERA 5", "application/*", "application/x-javascript"},
    {"OPERA 6", "application/*", "application/x-javascript"},
    {"MOZILLA/4.78", "text/css, text/javascript, text/js, application/*, image/*", ""},
    {"MOZILLA 4.6", "image/*, application/*", ""},
    {"MOZILLA 4.7", "image/*, application/*", ""},
    {"MOZILLA 4", "text/css, text/javascript, text/js, application/*, image/*", ""},
    {"MOZILLA 5.0", "text/css, text/javascript, text/js, application/*, image/*", ""},
    {"UNKNOWN", "text/css, text/javascript, text/js, application/*, image/*", ""},
};

std::string SlashesAsBlanks(std::string_view AText) { return UpperCase(ReplaceAll(AText, "/", " ")); }

const TBrowserRow& BrowserRow(std::string_view AUserAgent) {
  const std::string Agent = SlashesAsBlanks(AUserAgent);
  for (const TBrowserRow& Row : kBrowserTable)
    if (Agent.find(SlashesAsBlanks(Row.Key)) != std::string::npos) return Row;
  return kBrowserTable[std::size(kBrowserTable) - 1];
}

// What an Accept-Encoding header accepts. A coding listed with q=0 is refused, as HTTP says;
// a q-value that is not a number refuses it too (an uncompressed answer is always understood).
struct TAcceptedCodings {
  bool GZip = false, XGZip = false, Deflate = false, XDeflate = false;
};

double QValue(std::string_view AParams) {
  for (const std::string& Param : SplitString(AParams, ';')) {
    const std::string P = Trim(Param);
    if (P.size() < 2 || UpCaseChar(P[0]) != 'Q' || P[1] != '=') continue;
    const std::string Value = Trim(std::string_view(P).substr(2));
    char* End = nullptr;
    const double Q = std::strtod(Value.c_str(), &End);
    return Value.empty() || *End != '\0' ? 0 : Q;
  }
  return 1;
}

TAcceptedCodings ParseAcceptEncoding(std::string_view AHeader) {
  TAcceptedCodings R;
  for (const std::string& Element : SplitString(AHeader, ',')) {
    const size_t Semi = Element.find(';');
    const std::string Name = UpperCase(Trim(std::string_view(Element).substr(0, Semi)));
    if (Semi != std::string::npos && QValue(std::string_view(Element).substr(Semi + 1)) <= 0) continue;
    if (Name == "GZIP") R.GZip = true;
    if (Name == "X-GZIP") R.XGZip = true;
    if (Name == "DEFLATE") R.Deflate = true;
    if (Name == "X-DEFLATE") R.XDeflate = true;
  }
  return R;
}

// The library's memory comes zero-filled from the process's allocator.
voidpf ZAlloc(voidpf, uInt AItems, uInt ASize) { return std::calloc(AItems, ASize); }
void ZFree(voidpf, voidpf AAddress) { std::free(AAddress); }

void PutLE32(std::string& ADest, uint32_t AValue) {
  for (int I = 0; I < 4; ++I) ADest += static_cast<char>((AValue >> (8 * I)) & 0xff);
}

}  // namespace

const TKXClassInfo& TKXCompressor::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TKXCompressor, TKXComponent>("TKXCompressor");
  return Info;
}

TKXCompressor::TKXCompressor(TKXComponent* AOwner) : TKXComponent(AOwner) {}

void TKXCompressor::Compress(void*, TWebRequest* Request, TWebResponse* Response, bool&) const {
  if (Response->Sent() || Response->StatusCode() != 200) return;
  // an answer the application coded itself is left as it is
  if (!Trim(Response->ContentEncoding()).empty()) return;
  const TAcceptedCodings Accepted = ParseAcceptEncoding(Request->GetFieldByName("Accept-Encoding"));
  const bool GZip = FAllowGZIP && (Accepted.GZip || Accepted.XGZip);
  const bool UseDeflate = FAllowDeflate && (Accepted.Deflate || Accepted.XDeflate);
  if (FMinSize != 0 && Response->ContentLength() < FMinSize) return;
  if (!GZip && !UseDeflate) return;
  if (!ContentTypeAllowed(Response->ContentType(), Request->UserAgent())) return;

  std::string Body = Response->RawContent();
  if (!Body.empty()) {
    Response->SetRawContent("");
  } else if (TSkStream* Stream = Response->ContentStream()) {
    Body = Stream->ReadAll();
  }
  std::string Coded;
  Deflate(Body, Coded, FLevel, FBufSize, GZip);
  if (GZip)
    Response->SetContentEncoding(Accepted.XGZip ? "x-gzip" : "gzip");
  else
    Response->SetContentEncoding(Accepted.XDeflate ? "x-deflate" : "deflate");
  // a cache in front must not hand this body to a client that did not ask for it
  Response->SetCustomHeader("Vary", "Accept-Encoding");
  // the length sent is the compressed size: the stream's
  Response->SetContentStream(std::make_unique<TSkMemoryStream>(std::move(Coded)));
}

bool TKXCompressor::ContentTypeAllowed(std::string_view AContentType, std::string_view AUserAgent) const {
  std::string_view Skip = FSkipContentTypes, DontSkip = FDontSkipContentTypes;
  if (FSkipAuto) {
    const TBrowserRow& Row = BrowserRow(AUserAgent);
    Skip = Row.Skip;
    DontSkip = Row.DontSkip;
  }
  const std::string Type = UpperCase(AContentType);
  if (MatchesList(DontSkip, Type, false)) return MatchesList(FContentTypes, Type, true);
  return !MatchesList(Skip, Type, false) && MatchesList(FContentTypes, Type, true);
}

bool TKXCompressor::MatchesList(std::string_view AList, std::string_view AContentType, bool AEmptyResult) {
  if (Trim(AList).empty()) return AEmptyResult;
  const std::string Type = UpperCase(AContentType);
  for (const std::string& Piece : SplitString(AList, ',')) {
    const std::string Pattern = UpperCase(Trim(Piece));
    if (!Pattern.empty() && MatchPattern(Pattern, Type)) return true;
  }
  return false;
}

bool TKXCompressor::MatchPattern(std::string_view APattern, std::string_view AContentType) {
  if (APattern == "*" || APattern == "*/*") return true;
  const size_t Star = APattern.find('*');
  if (Star == std::string_view::npos) return APattern == AContentType;
  const size_t Slash = APattern.find('/');
  if (Slash == std::string_view::npos) return true;
  const size_t TypeSlash = AContentType.find('/');
  if (TypeSlash == std::string_view::npos) return false;
  if (Star < Slash) return Trim(APattern.substr(Slash + 1)) == Trim(AContentType.substr(TypeSlash + 1));
  return APattern.substr(0, Slash) == AContentType.substr(0, TypeSlash);
}

int64_t TKXCompressor::Deflate(std::string_view ASource, std::string& ADest, int ALevel, int ABlockSize, bool AGZip) {
  z_stream Z{};
  Z.zalloc = ZAlloc;
  Z.zfree = ZFree;
  // window bits -15: raw deflate data, no zlib header or check value (gzip adds its own)
  if (deflateInit2(&Z, ALevel, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return -1;
  const size_t Start = ADest.size();
  ADest.reserve(Start + deflateBound(&Z, static_cast<uLong>(ASource.size())) + 18);
  if (AGZip) ADest.append("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  const size_t Block = static_cast<size_t>(ABlockSize > 0 ? ABlockSize : 16384);
  std::string Out(Block, '\0');
  uLong Crc = crc32(0, nullptr, 0);
  size_t Pos = 0;
  int Rc = Z_OK;
  for (;;) {
    const size_t Take = std::min(Block, ASource.size() - Pos);
    const bool Last = Pos + Take == ASource.size();
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ASource.data() + Pos));
    Z.avail_in = static_cast<uInt>(Take);
    Crc = crc32(Crc, Z.next_in, Z.avail_in);
    do {
      Z.next_out = reinterpret_cast<Bytef*>(Out.data());
      Z.avail_out = static_cast<uInt>(Out.size());
      Rc = deflate(&Z, Last ? Z_FINISH : Z_NO_FLUSH);
      ADest.append(Out.data(), Out.size() - Z.avail_out);
    } while (Rc == Z_OK && (Z.avail_in > 0 || (Last && Z.avail_out == 0)));
    Pos += Take;
    // a library error leaves what was produced so far
    if (Last || (Rc != Z_OK && Rc != Z_BUF_ERROR)) break;
  }
  if (AGZip) {
    PutLE32(ADest, static_cast<uint32_t>(Crc));
    PutLE32(ADest, static_cast<uint32_t>(ASource.size()));
  }
  deflateEnd(&Z);
  return static_cast<int64_t>(ADest.size() - Start);
}

int64_t TKXCompressor::DeflateStream(TSkStream& ASource, TSkStream& ADest, int ALevel, int ABlockSize, bool AGZip) {
  ASource.SetPosition(0);
  std::string Coded;
  const int64_t N = Deflate(ASource.ReadAll(), Coded, ALevel, ABlockSize, AGZip);
  if (N > 0) ADest.WriteString(Coded);
  return N;
}
