#include <gtest/gtest.h>

#include <random>

#include "content/KXMultipartReader.h"

namespace {

// Feeds ABody in pieces of AStep bytes (0: whole) and writes what the reader reported as
// "[name|file|type]{data}" per part, then "!" and the error on rejection.
std::string Transcript(std::string_view ABoundary, std::string_view ABody, size_t AStep, size_t AMaxHeader = 0,
                       int AMaxParts = 0) {
  TKXMultipartReader R(ABoundary);
  if (AMaxHeader) R.SetMaxPartHeaderSize(AMaxHeader);
  if (AMaxParts) R.SetMaxParts(AMaxParts);
  std::string T;
  R.OnPartBegin = [&](const TKXPartHeader& H) {
    T += "[" + H.Name + "|" + (H.HasFileName ? H.FileName : "-") + "|" + (H.HasContentType ? H.ContentType : "-") + "]{";
  };
  R.OnPartData = [&](std::string_view D) { T += D; };
  R.OnPartEnd = [&] { T += "}"; };
  TKXMultipartResult Result = TKXMultipartResult::NeedMore;
  const size_t Step = AStep ? AStep : ABody.size() + 1;
  for (size_t I = 0; I < ABody.size() && Result == TKXMultipartResult::NeedMore; I += Step)
    Result = R.Feed(ABody.substr(I, Step));
  if (Result != TKXMultipartResult::Rejected) Result = R.Finish();
  if (Result == TKXMultipartResult::Rejected) T += "!" + R.ErrorMessage();
  return T;
}

const char kFieldAndFile[] =
    "--XyZ\r\n"
    "Content-Disposition: form-data; name=\"a\"\r\n\r\n"
    "1\r\n"
    "--XyZ\r\n"
    "Content-Disposition: form-data; name=\"f\"; filename=\"x.txt\"\r\n"
    "Content-Type: text/plain\r\n\r\n"
    "hello\r\n"
    "--XyZ--\r\n";

}  // namespace

TEST(MultipartReader, WellFormedBodies) {
  const struct {
    const char* Name;
    std::string Boundary, Body, Expected;
  } Cases[] = {
      {"field and file", "XyZ", kFieldAndFile, "[a|-|-]{1}[f|x.txt| text/plain]{hello}"},
      {"CR LF and near-delimiters inside data", "XyZ",
       "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"b\"\r\n\r\n"
       "\r\n\r\n--XyQ\r\n--Xy\r\r\n-\r\n\r\n--XyZ--",
       "[f|b|-]{\r\n\r\n--XyQ\r\n--Xy\r\r\n-\r\n}"},
      {"empty file and empty field", "b",
       "--b\r\nContent-Disposition: form-data; name=\"f\"; filename=\"e.bin\"\r\n\r\n\r\n"
       "--b\r\nContent-Disposition: form-data; name=\"g\"\r\n\r\n\r\n--b--",
       "[f|e.bin|-]{}[g|-|-]{}"},
      {"preamble, padding and epilogue", "b",
       "ignored preamble\r\n--b \t\r\nContent-Disposition: form-data; name=x\r\n\r\nv\r\n--b--\r\ntrailing junk --b",
       "[x|-|-]{v}"},
      {"part without headers", "b", "--b\r\n\r\nraw\r\n--b--", "[|-|-]{raw}"},
      {"blanks and high bytes kept", "b", "--b\r\nContent-Disposition: form-data; name=\"t\"\r\n\r\n  \xc5\x82 \r\n--b--",
       "[t|-|-]{  \xc5\x82 }"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Transcript(C.Boundary, C.Body, 0), C.Expected);
    EXPECT_EQ(Transcript(C.Boundary, C.Body, 1), C.Expected);
    EXPECT_EQ(Transcript(C.Boundary, C.Body, 7), C.Expected);
  }
}

TEST(MultipartReader, MalformedBodiesAreRejected) {
  const std::string Part = "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1";
  const struct {
    const char* Name;
    std::string Body;
    std::string Message;
    size_t MaxHeader = 0;
    int MaxParts = 0;
  } Cases[] = {
      {"no delimiter at all", "a=1&b=2", "Malformed multipart body: boundary delimiter not found"},
      {"wrong boundary", "--other\r\n\r\nx\r\n--other--", "Malformed multipart body: boundary delimiter not found"},
      {"text after a delimiter", "--b junk\r\n\r\nx\r\n--b--",
       "Malformed multipart body: invalid text after a boundary delimiter"},
      {"single dash after a delimiter", "--b-x", "Malformed multipart body: invalid text after a boundary delimiter"},
      {"header block without an end", "--b\r\nContent-Disposition: form-data; name=\"a\"\r\n",
       "Malformed multipart body: part header block without an end"},
      {"truncated part", Part, "Malformed multipart body: closing boundary delimiter not found"},
      {"truncated after a delimiter", Part + "\r\n--b", "Malformed multipart body: closing boundary delimiter not found"},
      {"huge part header", "--b\r\nX-Long: " + std::string(200, 'x') + "\r\n\r\nv\r\n--b--",
       "Malformed multipart body: part header larger than 100 bytes", 100},
      {"too many parts", Part + "\r\n" + Part + "\r\n" + Part + "\r\n--b--", "Malformed multipart body: more than 2 parts",
       0, 2},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    for (size_t Step : {0, 1}) {
      const std::string T = Transcript("b", C.Body, Step, C.MaxHeader, C.MaxParts);
      ASSERT_NE(T.find('!'), std::string::npos) << T;
      EXPECT_EQ(T.substr(T.find('!') + 1), C.Message);
    }
  }
}

TEST(MultipartReader, DataNeverLosesOrGainsBytes) {
  // Self-overlapping boundaries over a tiny alphabet: every way a partial match can fail.
  std::mt19937 Rng(20240611);
  const char Alphabet[] = "\r\n-a";
  for (const std::string Boundary : {"a", "a-a", "-\r\n--a", "aa-aa"}) {
    const std::string Delimiter = "\r\n--" + Boundary;
    for (int Round = 0; Round < 300; ++Round) {
      std::string Data;
      const int Len = static_cast<int>(Rng() % 40);
      for (int I = 0; I < Len; ++I) Data += Alphabet[Rng() % 4];
      if ((Data + "\r\n--").find(Delimiter) != std::string::npos) continue;
      const std::string Body = "--" + Boundary + "\r\n\r\n" + Data + Delimiter + "--";
      SCOPED_TRACE(testing::PrintToString(Body));
      EXPECT_EQ(Transcript(Boundary, Body, 1), "[|-|-]{" + Data + "}");
      EXPECT_EQ(Transcript(Boundary, Body, 0), "[|-|-]{" + Data + "}");
    }
  }
}

TEST(MultipartReader, BoundaryFromContentType) {
  const struct {
    const char* Name;
    const char* ContentType;
    const char* Boundary;
  } Cases[] = {
      {"unquoted", "multipart/form-data; boundary=----WebKitFormBoundaryA1", "----WebKitFormBoundaryA1"},
      {"quoted", "multipart/form-data; boundary=\"a b;c\"", "a b;c"},
      {"after another parameter, any case", "Multipart/Form-Data; charset=utf-8; BOUNDARY = xyz ", "xyz"},
      {"missing", "multipart/form-data", ""},
      {"empty", "multipart/form-data; boundary=", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(TKXMultipartReader::BoundaryFromContentType(C.ContentType), C.Boundary);
  }
}

TEST(MultipartReader, PartHeaders) {
  const struct {
    const char* Name;
    const char* Block;
    const char* FieldName;
    const char* FileName;
    int64_t FileSize;
    const char* ContentType;
  } Cases[] = {
      {"quoted client path loses its folder", "Content-Disposition: form-data; name=\"f\"; filename=\"C:\\docs\\a.txt\"",
       "f", "a.txt", -1, ""},
      {"unquoted client path stays", "Content-Disposition: form-data; name=f; filename=C:\\docs\\a.txt", "f",
       "C:\\docs\\a.txt", -1, ""},
      {"drive colon", "Content-Disposition: form-data; name=\"f\"; filename=\"D:a.txt\"", "f", "a.txt", -1, ""},
      {"separator inside quotes", "Content-Disposition: form-data; name=\"f\"; filename=\"a;b.txt\"", "f", "a;b.txt",
       -1, ""},
      {"quoted filesize", "Content-Disposition: form-data; name=\"f\"; filename=\"a\"; filesize=\"42\"", "f", "a", 42,
       ""},
      {"unquoted filesize ignored", "Content-Disposition: form-data; name=\"f\"; filename=\"a\"; filesize=42", "f", "a",
       -1, ""},
      {"content type as it stands, any header case",
       "content-disposition: form-data; name=\"f\"; filename=\"a\"\r\ncontent-type: text/plain; charset=utf-8", "f", "a",
       -1, " text/plain; charset=utf-8"},
      {"other headers ignored", "Content-Disposition: form-data; name=\"n\"\r\nContent-Transfer-Encoding: binary", "n",
       "", -1, ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TKXPartHeader H = TKXMultipartReader::ParsePartHeader(C.Block);
    EXPECT_EQ(H.Name, C.FieldName);
    EXPECT_EQ(H.FileName, C.FileName);
    EXPECT_EQ(H.FileSize, C.FileSize);
    EXPECT_EQ(H.ContentType, C.ContentType);
  }
}
