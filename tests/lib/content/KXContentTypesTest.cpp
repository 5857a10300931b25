#include <gtest/gtest.h>

#include "content/KXContentTypes.h"

namespace {

TEST(ContentTypeOfExtension, FixedTableComesFirst) {
  const struct {
    const char* Extension;
    const char* Expected;
  } Cases[] = {
      {".jpg", "image/jpeg"},  {".JPEG", "image/jpeg"},       {".GIF", "image/gif"},
      {".ico", "image/x-ico"}, {".Html", "text/html"},         {".htm", "text/html"},
      {".js", "application/x-javascript"}, {".pdf", "application/pdf"}, {".zip", "application/zip"},
      {".exe", "application/octet-stream"}, {".Css", "text/css"},
      {"", "application/octet-stream"},     {".", "application/octet-stream"},
      {".no-such-extension", "application/octet-stream"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Extension);
    EXPECT_EQ(ContentTypeOfExtension(C.Extension), C.Expected);
  }
}

TEST(ContentTypeOfExtension, FallsBackToTheHostDatabase) {
  if (SystemMimeDatabase().Find("png").empty()) GTEST_SKIP() << "no MIME database on this host";
  EXPECT_EQ(ContentTypeOfExtension(".PNG"), "image/png");
  EXPECT_EQ(ContentTypeOfFile("/files/readme.txt"), "text/plain");
}

TEST(MimeDatabase, ReadsTheMimeTypesFormat) {
  TKXMimeDatabase Db;
  Db.Load("# comment line\n"
          "text/plain\t\ttxt text   # trailing comment\n"
          "application/x-first  dup\n"
          "application/x-second dup\n"
          "application/x-none\n"
          "\n");
  EXPECT_EQ(Db.Find("txt"), "text/plain");
  EXPECT_EQ(Db.Find(".TEXT"), "text/plain");
  EXPECT_EQ(Db.Find("dup"), "application/x-first");
  EXPECT_EQ(Db.Find("comment"), "");
  EXPECT_EQ(Db.Find("none"), "");
}

TEST(ExtractFileExtension, TakesTheLastComponent) {
  const struct {
    const char* Name;
    const char* Expected;
  } Cases[] = {
      {"a.gif", ".gif"},        {"/gfx/a/b.GIF", ".GIF"}, {"/gfx/LogoKexalo", ""}, {"dir.d/file", ""},
      {"dir.d\\file", ""},      {"x.tar.gz", ".gz"},      {"", ""},                {"KXCommon.js_10.0.0", ".0"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(ExtractFileExtension(C.Name), C.Expected);
  }
}

}  // namespace
