#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>

#include "content/KXCompress.h"
#include "KXTestWebRequest.h"
#include "SkStream.h"

namespace {

const char kMSIE6[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
const char kMSIE4[] = "Mozilla/4.0 (compatible; MSIE 4.01; Windows 98)";
const char kOpera6[] = "Opera/6.0 (Windows 2000; U) [en]";
const char kNetscape478[] = "Mozilla/4.78 [en] (X11; U; Linux 2.4.7-10 i686)";
const char kChrome[] = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";

// Text that compresses, but not to nothing.
std::string Text(size_t ASize) {
  std::string R;
  for (size_t I = 0; R.size() < ASize; ++I) R += "<p>line " + std::to_string(I * 2654435761u % 100000) + "</p>\r\n";
  R.resize(ASize);
  return R;
}

// zlib's own decoder: window bits 15 + 16 reads gzip framing (checking CRC and length), -15 raw data.
std::string Inflate(const std::string& ACoded, bool AGZip) {
  z_stream Z{};
  EXPECT_EQ(inflateInit2(&Z, AGZip ? 15 + 16 : -15), Z_OK);
  Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(ACoded.data()));
  Z.avail_in = static_cast<uInt>(ACoded.size());
  std::string R;
  char Buf[65536];
  int Rc = Z_OK;
  while (Rc == Z_OK) {
    Z.next_out = reinterpret_cast<Bytef*>(Buf);
    Z.avail_out = sizeof Buf;
    Rc = inflate(&Z, Z_NO_FLUSH);
    R.append(Buf, sizeof Buf - Z.avail_out);
  }
  EXPECT_EQ(Rc, Z_STREAM_END) << "the coded data does not end as it should";
  EXPECT_EQ(Z.avail_in, 0u) << "bytes after the end of the coded data";
  inflateEnd(&Z);
  return R;
}

uint32_t LE32(const std::string& S, size_t At) {
  uint32_t V = 0;
  for (int I = 3; I >= 0; --I) V = (V << 8) | static_cast<unsigned char>(S[At + static_cast<size_t>(I)]);
  return V;
}

// One response through a fresh compressor.
struct TCompressed {
  TKXTestWebRequest Request;
  TKXTestWebResponse Response{Request};
  std::string Body;
  TCompressed(const std::string& AAccept, const std::string& AUserAgent, const std::string& AType, std::string ABody,
              bool AAsStream = false)
      : Body(std::move(ABody)) {
    if (!AAccept.empty()) Request.AddHeader("Accept-Encoding", AAccept);
    Request.AddHeader("User-Agent", AUserAgent);
    Response.SetContentType(AType);
    if (AAsStream)
      Response.SetContentStream(std::make_unique<TSkMemoryStream>(Body));
    else
      Response.SetRawContent(Body);
  }
  TCompressed& Run(int AStatus = 200) {
    Response.SetStatusCode(AStatus);
    TKXCompressor Compressor;
    bool Handled = true;
    Compressor.Compress(nullptr, &Request, &Response, Handled);
    return *this;
  }
  bool Compressed() { return !Response.ContentEncoding().empty(); }
  std::string Coded() { return Response.ContentStream() ? Response.ContentStream()->ReadAll() : std::string(); }
};

}  // namespace

TEST(KXCompressor, GzipAndDeflateBodiesDecodeToTheExactBytes) {
  const struct {
    const char* Name;
    std::string Accept;
    size_t Size;
    bool AsStream;
    const char* Encoding;
  } Cases[] = {
      {"gzip and deflate: gzip wins", "gzip, deflate", 5000, false, "gzip"},
      {"deflate only", "deflate", 5000, false, "deflate"},
      {"x-gzip", "x-gzip", 5000, false, "x-gzip"},
      {"x-deflate", "x-deflate", 5000, false, "x-deflate"},
      {"q-values above zero", "deflate;q=0.5, gzip;q=0.8", 5000, false, "gzip"},
      {"gzip refused with q=0", "gzip;q=0, deflate", 5000, false, "deflate"},
      {"a body from a stream", "gzip", 5000, true, "gzip"},
      {"the minimum size", "gzip", 1000, false, "gzip"},
      {"a large body, many blocks", "gzip", 3 * 1024 * 1024 + 17, false, "gzip"},
      {"a large body, raw deflate", "deflate", 3 * 1024 * 1024 + 17, true, "deflate"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TCompressed X(Case.Accept, kChrome, "text/html; charset=UTF-8", Text(Case.Size), Case.AsStream);
    X.Run();
    ASSERT_EQ(X.Response.ContentEncoding(), Case.Encoding);
    EXPECT_EQ(X.Response.GetCustomHeader("Vary"), "Accept-Encoding");
    EXPECT_EQ(X.Response.RawContent(), "");
    const std::string Coded = X.Coded();
    EXPECT_EQ(X.Response.ContentLength(), static_cast<int>(Coded.size()));
    EXPECT_LT(Coded.size(), X.Body.size());
    const bool GZip = std::string(Case.Encoding).find("gzip") != std::string::npos;
    if (GZip) {
      ASSERT_GT(Coded.size(), 18u);
      EXPECT_EQ(Coded.substr(0, 10), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10));
      EXPECT_EQ(LE32(Coded, Coded.size() - 8),
                crc32(0, reinterpret_cast<const Bytef*>(X.Body.data()), static_cast<uInt>(X.Body.size())));
      EXPECT_EQ(LE32(Coded, Coded.size() - 4), X.Body.size());
    }
    EXPECT_TRUE(Inflate(Coded, GZip) == X.Body);
  }
}

TEST(KXCompressor, WhatIsLeftUncompressed) {
  const struct {
    const char* Name;
    const char* Accept;
    const char* Agent;
    const char* Type;
    size_t Size;
    int Status;
    const char* PresetEncoding;
    bool Compressed;
  } Cases[] = {
      {"below the minimum size", "gzip", kChrome, "text/html", 999, 200, "", false},
      {"no Accept-Encoding", "", kChrome, "text/html", 5000, 200, "", false},
      {"only codings it does not know", "br, zstd", kChrome, "text/html", 5000, 200, "", false},
      {"q=0 for every coding", "gzip;q=0, deflate;q=0.000", kChrome, "text/html", 5000, 200, "", false},
      {"a q-value that is not a number", "gzip;q=high", kChrome, "text/html", 5000, 200, "", false},
      {"a substring is not a coding", "gzipped", kChrome, "text/html", 5000, 200, "", false},
      {"a redirect", "gzip", kChrome, "text/html", 5000, 302, "", false},
      {"not found", "gzip", kChrome, "text/html", 5000, 404, "", false},
      {"already coded by the application", "gzip", kChrome, "text/html", 5000, 200, "gzip", false},
      {"an image", "gzip", kChrome, "image/gif", 5000, 200, "", false},
      // each browser-table row that decides differently
      {"MSIE 6: text/css skipped", "gzip", kMSIE6, "text/css", 5000, 200, "", false},
      {"MSIE 6: text/html", "gzip", kMSIE6, "text/html", 5000, 200, "", true},
      {"MSIE 6: scripts skipped", "gzip", kMSIE6, "application/x-javascript", 5000, 200, "", false},
      {"MSIE 4: text/html kept by the don't-skip list", "gzip", kMSIE4, "text/html", 5000, 200, "", true},
      {"MSIE 4: text/css skipped", "gzip", kMSIE4, "text/css", 5000, 200, "", false},
      {"MSIE 4: image/gif skipped", "gzip", kMSIE4, "image/gif", 5000, 200, "", false},
      {"Opera 6: scripts kept by the don't-skip list", "gzip", kOpera6, "application/x-javascript", 5000, 200, "",
       true},
      {"Opera 6: text/css", "gzip", kOpera6, "text/css", 5000, 200, "", true},
      {"Mozilla/4.78 reads as MOZILLA 4.78: text/css skipped", "gzip", kNetscape478, "text/css", 5000, 200, "", false},
      {"Mozilla 5.0: text/css skipped", "gzip", kChrome, "text/css", 5000, 200, "", false},
      {"Mozilla 5.0: scripts skipped", "gzip", kChrome, "application/x-javascript", 5000, 200, "", false},
      {"Mozilla 5.0: text/plain", "gzip", kChrome, "text/plain", 5000, 200, "", true},
      {"unknown agent: scripts skipped", "gzip", "curl/8.0", "application/x-javascript", 5000, 200, "", false},
      {"unknown agent: text/html", "gzip", "curl/8.0", "text/html", 5000, 200, "", true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TCompressed X(Case.Accept, Case.Agent, Case.Type, Text(Case.Size));
    X.Response.SetContentEncoding(Case.PresetEncoding);
    X.Run(Case.Status);
    EXPECT_EQ(X.Response.GetCustomHeader("Vary") == "Accept-Encoding", Case.Compressed);
    if (Case.Compressed) continue;
    EXPECT_EQ(X.Response.ContentEncoding(), Case.PresetEncoding);
    EXPECT_EQ(X.Response.RawContent(), X.Body);
    EXPECT_EQ(X.Response.ContentStream(), nullptr);
  }
}

TEST(KXCompressor, ContentTypePatterns) {
  const struct {
    const char* Pattern;
    const char* Type;
    bool Matches;
  } Cases[] = {
      {"*", "TEXT/HTML", true},
      {"*/*", "IMAGE/GIF", true},
      {"TEXT/*", "TEXT/HTML; CHARSET=UTF-8", true},
      {"TEXT/*", "IMAGE/GIF", false},
      {"*/CSS", "TEXT/CSS", true},
      {"*/CSS", "TEXT/CSS; CHARSET=UTF-8", false},
      {"TEXT/*", "TEXT", false},
      {"TEXT*", "IMAGE/GIF", true},
      {"TEXT/HTML", "TEXT/HTML", true},
      {"TEXT/HTML", "TEXT/HTML; CHARSET=UTF-8", false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Pattern) + " ~ " + Case.Type);
    EXPECT_EQ(TKXCompressor::MatchPattern(Case.Pattern, Case.Type), Case.Matches);
  }
  EXPECT_TRUE(TKXCompressor::MatchesList("  ", "TEXT/HTML", true));
  EXPECT_FALSE(TKXCompressor::MatchesList(" , ,", "TEXT/HTML", true));
  EXPECT_TRUE(TKXCompressor::MatchesList("image/gif, text/html", "text/html", false));
}

TEST(KXCompressor, AStreamDeflatesFromItsStartInBlocks) {
  const std::string Body = Text(40000);
  TSkMemoryStream Source(Body), Dest;
  Source.SetPosition(123);
  const int64_t N = TKXCompressor::DeflateStream(Source, Dest, 9, 1000, true);
  EXPECT_EQ(N, Dest.Size());
  EXPECT_TRUE(Inflate(Dest.DataString(), true) == Body);
  EXPECT_EQ(TKXCompressor::DeflateStream(Source, Dest, 42, 1000, true), -1) << "a level zlib refuses";
}
