#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/KXException.h"
#include "content/KXInternalFiles.h"
#include "core/KXResources.h"
#include "SkStrUtils.h"

namespace {

class InternalFileTable : public testing::Test {
protected:
  // Other suites add entries of their own to the process's table; start from the framework's alone.
  void SetUp() override {
    FreeInternalFiles();
    AddInternalFiles();
  }
  void TearDown() override { FreeInternalFiles(); }
};

uint16_t Le16(std::string_view B, size_t At) {
  return static_cast<uint16_t>(static_cast<unsigned char>(B[At]) | (static_cast<unsigned char>(B[At + 1]) << 8));
}

TEST_F(InternalFileTable, EveryEntryHasItsBytesAndContentType) {
  const struct {
    const char* Name;
    const char* FilePath;
    const char* RequestPath;
    const char* ContentType;
    const char* Magic;
  } Cases[] = {
      {"KX_FAVICON", "FAVICON.ICO", "/favicon.ico", "image/x-ico", ""},
      {"KX_GFX_ERROR", "Error.html", "Error.html", "text/html", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">"},
      {"KX_GFX_SESSIONTIMEOUT", "SessionTimeout.html", "SessionTimeout.html", "text/html", "<!DOCTYPE HTML"},
      {"KX_JS_KXCOMMON", "/js/KXCommon.js", "/js/KXCommon.js", "application/x-javascript", "/* KXCommon.js"},
      {"KX_JS_KXEXPLORER", "/js/KXExplorer.js", "/js/KXExplorer.js", "application/x-javascript", "/* KXExplorer.js"},
      {"KX_JS_KXOPERA", "/js/KXOpera.js", "/js/KXOpera.js", "application/x-javascript", "/* KXOpera.js"},
      {"KX_JS_KXGECKO", "/js/KXGecko.js", "/js/KXGecko.js", "application/x-javascript", "/* KXGecko.js"},
      {"KX_JS_KXCL", "/js/KXCL.js", "/js/KXCL.js", "application/x-javascript", "/* KXCL.js"},
      {"KX_JS_KXCSDATA", "/js/KXCSData.js", "/js/KXCSData.js", "application/x-javascript", "/* KXCSData.js"},
      {"KX_JS_KXPRESCRIPT", "/js/KXPreScript.js", "/js/KXPreScript.js", "application/x-javascript", "/* KXPreScript.js"},
      {"KX_JS_KXPARTIALUPDATE", "/js/KXPartialUpdate.js", "/js/KXPartialUpdate.js", "application/x-javascript",
       "/* KXPartialUpdate.js"},
      {"KX_JS_KXAJAX", "/js/KXAjax.js", "/js/KXAjax.js", "application/x-javascript", "/* KXAjax.js"},
      {"KX_GFX_TP", "/gfx/Tp.gif", "/gfx/Tp.gif", "image/gif", "GIF89a"},
      {"KX_GFX_LOGOVELMOR", "/gfx/VelmorLogo.gif", "/gfx/LogoVelmor", "image/gif", "GIF89a"},
      {"KX_GFX_LOGOKEXALO", "/gfx/KexaloLogo.gif", "/gfx/LogoKexalo", "image/gif", "GIF89a"},
      {"KX_GFX_LOADING", "/gfx/loading.gif", "/gfx/loading.gif", "image/gif", "GIF89a"},
      {"KX_JS_PROTOTYPE", "/js/Prototype.js", "/js/Prototype.js", "application/x-javascript", "/*  Prototype"},
      {"KX_JS_RICO", "/js/Rico.js", "/js/Rico.js", "application/x-javascript", "/* Rico.js"},
      {"KX_JS_SILVERLIGHT", "/js/Silverlight.js", "/js/Silverlight.js", "application/x-javascript", "/* Silverlight.js"},
  };
  const std::vector<std::string> Lines = InternalFileLines();
  ASSERT_EQ(Lines.size(), std::size(Cases));
  for (size_t I = 0; I < std::size(Cases); ++I) {
    const auto& C = Cases[I];
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(Lines[I], std::string(C.Name) + "=" + C.FilePath);   // registration order kept
    const TKXInternalFile* F = FindInternalFile(C.Name);
    ASSERT_NE(F, nullptr);
    EXPECT_EQ(F->Name, C.Name);
    EXPECT_FALSE(F->Bytes.empty());
    EXPECT_TRUE(F->Bytes.starts_with(C.Magic));
    EXPECT_EQ(InternalFileContentType(C.RequestPath, C.Name), C.ContentType);
  }
}

// The page scripts stand on their own: Prototype is served for applications, never used by them.
TEST_F(InternalFileTable, PageScriptsDoNotLeanOnPrototype) {
  for (const char* Name : {"KX_JS_KXPRESCRIPT", "KX_JS_KXCOMMON", "KX_JS_KXCL", "KX_JS_KXAJAX", "KX_JS_KXEXPLORER",
                           "KX_JS_KXGECKO", "KX_JS_KXOPERA", "KX_JS_KXPARTIALUPDATE", "KX_JS_KXCSDATA"}) {
    SCOPED_TRACE(Name);
    const std::string_view B = InternalFileBytes(Name);
    for (const char* Use : {"$(", "$F(", "Class.create", "Object.extend", "Ajax.Request", "Prototype"})
      EXPECT_EQ(B.find(Use), std::string_view::npos) << Use;
  }
  // Scripts of controls this server lacks are embedded for the units that would register them.
  for (const char* Name : {"KX_JS_KXMENU", "KX_JS_KXSPLITTER", "KX_JS_TABCONTROL"}) {
    SCOPED_TRACE(Name);
    EXPECT_TRUE(KXFindResource(Name));
    EXPECT_EQ(FindInternalFile(Name), nullptr);
  }
}

TEST_F(InternalFileTable, ImagesHaveTheirSizes) {
  const struct {
    const char* Name;
    int Width, Height;
  } Cases[] = {{"KX_GFX_Tp", 1, 1},          {"KX_GFX_LogoVelmor", 105, 141}, {"KX_GFX_LogoKexalo", 171, 75},
               {"KX_GFX_loading", 32, 32}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string_view B = InternalFileBytes(C.Name);
    ASSERT_GE(B.size(), 10u);
    EXPECT_EQ(Le16(B, 6), C.Width);
    EXPECT_EQ(Le16(B, 8), C.Height);
    EXPECT_EQ(B.back(), ';');   // GIF trailer
  }
  // The loading image is an animation: several image descriptors after a looping extension.
  const std::string_view Loading = InternalFileBytes("KX_GFX_loading");
  EXPECT_NE(Loading.find("NETSCAPE2.0"), std::string_view::npos);
  // The menu arrow is embedded for the menu unit, which registers it itself.
  const auto Arrow = KXFindResource("KX_GFX_menu_arrow_right");
  ASSERT_TRUE(Arrow);
  EXPECT_EQ(Le16(*Arrow, 6), 16);
  EXPECT_EQ(FindInternalFile("KX_GFX_menu_arrow_right"), nullptr);
}

TEST_F(InternalFileTable, FaviconHoldsTwoImagesOf32BitsPerPixel) {
  const std::string_view B = InternalFileBytes("KX_FAVICON");
  ASSERT_GE(B.size(), 6u + 32u);
  EXPECT_EQ(Le16(B, 0), 0);
  EXPECT_EQ(Le16(B, 2), 1);   // icon
  ASSERT_EQ(Le16(B, 4), 2);
  const int Sizes[] = {16, 32};
  for (int I = 0; I < 2; ++I) {
    const size_t Dir = 6 + 16 * I;
    EXPECT_EQ(static_cast<unsigned char>(B[Dir]), Sizes[I]);
    EXPECT_EQ(static_cast<unsigned char>(B[Dir + 1]), Sizes[I]);
    EXPECT_EQ(Le16(B, Dir + 6), 32);
    const uint32_t Size = Le16(B, Dir + 8) | (uint32_t(Le16(B, Dir + 10)) << 16);
    const uint32_t Offset = Le16(B, Dir + 12) | (uint32_t(Le16(B, Dir + 14)) << 16);
    ASSERT_LE(Offset + Size, B.size());
    EXPECT_EQ(Le16(B, Offset + 14), 32);   // the image's own bit count
  }
}

TEST_F(InternalFileTable, PrototypeIsTheLibraryUnchanged) {
  std::ifstream In("/usr/share/javascript/prototype/prototype.js", std::ios::binary);
  if (!In) GTEST_SKIP() << "the Prototype package is not installed on this machine";
  std::ostringstream Disk;
  Disk << In.rdbuf();
  EXPECT_EQ(InternalFileBytes("KX_JS_PROTOTYPE"), Disk.str());
}

TEST_F(InternalFileTable, NamesAreFoundWithoutRegardToCaseAndKeptOnce) {
  EXPECT_EQ(FindInternalFile("kx_gfx_tp"), FindInternalFile("KX_GFX_Tp"));
  AddInternalFile("kx_gfx_tp", "/other/path.gif");   // already there: the first entry stays
  EXPECT_EQ(FindInternalFile("KX_GFX_TP")->FilePath, "/gfx/Tp.gif");
  KXRegisterResource("KX_TEST_EXTRA", "abc");
  AddInternalFile("kx_test_extra", "/gfx/extra.txt");
  EXPECT_EQ(InternalFileBytes("KX_Test_Extra"), "abc");
  EXPECT_EQ(InternalFileLines().back(), "KX_TEST_EXTRA=/gfx/extra.txt");
  FreeInternalFiles();
  EXPECT_EQ(FindInternalFile("KX_GFX_TP"), nullptr);
}

TEST_F(InternalFileTable, UnknownNamesFail) {
  try {
    InternalFileBytes("KX_GFX_nothing");
    ADD_FAILURE() << "no exception";
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Resource KX_GFX_nothing not found.");
  }
  try {
    AddInternalFile("KX_JS_missing", "/js/missing.js");
    ADD_FAILURE() << "no exception";
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Cannot find internal file: KX_JS_MISSING");
  }
  EXPECT_EQ(FindInternalFile("KX_JS_MISSING"), nullptr);
}

TEST(InternalResourceName, FollowsThePath) {
  const struct {
    const char* Name;
    std::string Got, Expected;
  } Cases[] = {
      {"sub-folder", InternalResourceName(kKXGfxResourcePrefix, "a/b.gif"), "KX_GFX_a_b"},
      {"plain image", InternalResourceName(kKXGfxResourcePrefix, "Tp.gif"), "KX_GFX_Tp"},
      {"no extension", InternalResourceName(kKXGfxResourcePrefix, "LogoKexalo"), "KX_GFX_LogoKexalo"},
      {"first dot ends the name", InternalResourceName(kKXCSSResourcePrefix, "x.y.css"), "KX_CSS_x"},
      {"script with the version suffix", ScriptResourceName("KXCommon.js_10.0.0"), "KX_JS_KXCommon"},
      {"script without it", ScriptResourceName("Rico.js"), "KX_JS_Rico"},
      {"script in a sub-folder", ScriptResourceName("lib/x.js_10.0.0"), "KX_JS_lib_x"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(C.Got, C.Expected);
  }
}

// A date-time at whole seconds and the If-Modified-Since text a client sends for it.
TDateTime LocalAt(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond, int AMSec = 0) {
  return UTCToLocal(EncodeDateTime(AYear, AMonth, ADay, AHour, AMinute, ASecond, AMSec));
}

TEST(InternalFileNotModified, ValidatesCopiesFromThisRun) {
  const TDateTime Start = LocalAt(2026, 12, 8, 9, 5, 3);
  const struct {
    const char* Name;
    const char* Header;
    bool NotModified;
  } Cases[] = {
      {"no header", "", false},
      {"not a date", "yesterday", false},
      {"the start time itself", "Tue, 08 Dec 2026 09:05:03 GMT", true},
      {"one second before the start", "Tue, 08 Dec 2026 09:05:02 GMT", true},
      {"two seconds before the start", "Tue, 08 Dec 2026 09:05:01 GMT", false},
      {"after the start", "Tue, 08 Dec 2026 10:00:00 GMT", true},
      {"an earlier run", "Mon, 07 Dec 2026 09:05:03 GMT", false},
      {"RFC 850 form", "Tuesday, 08-Dec-26 09:05:03 GMT", true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(InternalFileNotModified(Start, C.Header), C.NotModified);
  }
}

TEST(DiskFileNotModified, ComparesInWholeSeconds) {
  const TDateTime FileTime = LocalAt(2026, 12, 8, 9, 5, 3, 700);
  EXPECT_TRUE(DiskFileNotModified(FileTime, "Tue, 08 Dec 2026 09:05:03 GMT"));   // its own Last-Modified
  EXPECT_TRUE(DiskFileNotModified(FileTime, "Tue, 08 Dec 2026 09:06:00 GMT"));
  EXPECT_FALSE(DiskFileNotModified(FileTime, "Tue, 08 Dec 2026 09:05:02 GMT"));
  EXPECT_FALSE(DiskFileNotModified(FileTime, ""));
}

TEST(ResponseCacheable, FollowsTheKindOfResponse) {
  const struct {
    const char* Name;
    TKXResponseKind Kind;
    int Status;
    TDateTime LastModified;
    uint32_t TrackID;
    bool Cacheable;
  } Cases[] = {
      {"internal file", rkInternalFile, 200, 0, 0, true},
      {"internal file not modified", rkInternalFile, 304, 0, 0, false},
      {"favicon", rkFavIcon, 304, 0, 0, true},
      {"files folder", rkFilesFolder, 200, 1, 0, true},
      {"files folder not found", rkFilesFolder, 404, 0, 0, false},
      {"files folder, not cached", rkFilesFolderNC, 200, 1, 0, false},
      {"cache folder", rkCacheFolder, 200, 46000, 0, true},
      {"cache folder without a file time", rkCacheFolder, 200, 0, 0, false},
      {"first submit", rkSubmit, 200, 0, 0, false},
      {"later submit", rkSubmit, 200, 0, 5, true},
      {"partial update", rkPartialUpdate, 200, 0, 0, true},
      {"ping", rkUncached, 200, 0, 0, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(ResponseCacheable(C.Kind, C.Status, C.LastModified, C.TrackID), C.Cacheable);
  }
}

TEST(MessageTemplates, CarryTheirTagsAndSurviveLineRemoval) {
  const struct {
    const char* Name;
    std::vector<const char*> Texts;
  } Cases[] = {
      {"KX_GFX_ERROR",
       {"{%APPNAME%} Error</title>", "{%VELMORLOGO%}", "{%KEXALOLOGO%}", "{%EXCEPTIONSPECIFIC%}", "{%CONTENT%}",
        "href=\"{%APPADDRESS%}\"", "charset=ISO-8859-1", "An unhandled application error has occured within <b>{%APPNAME%}</b>.",
        "In order to restart the application, please click the link below:",
        "Click here to restart <b>{%APPNAME%}</b>", "Error message raised by the application:",
        "Please note that depending on the actual exception that occured, restarting the application might not be possible.",
        "If this is the case, please report the error message to the administrator."}},
      {"KX_GFX_SESSIONTIMEOUT",
       {"{%APPNAME%} Error</title>", "{%VELMORLOGO%}", "{%KEXALOLOGO%}", "A time-out has occurred",
        "within <b>{%APPNAME%}</b>.", "href=\"{%APPADDRESS%}\"", "Click here to restart <b>{%APPNAME%}</b>"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const auto Found = KXFindResource(C.Name);
    ASSERT_TRUE(Found);
    const std::string Page(*Found);
    for (const char* T : C.Texts) EXPECT_NE(Page.find(T), std::string::npos) << T;
    // The page is shown through a script that drops every line end and quotes it with '.
    EXPECT_EQ(Page.find('\''), std::string::npos);
    EXPECT_EQ(Page.find('\\'), std::string::npos);
    std::istringstream Lines(Page);
    for (std::string L; std::getline(Lines, L);) {
      if (!L.empty() && L.back() == '\r') L.pop_back();
      EXPECT_TRUE(L.starts_with("<") && L.ends_with(">")) << "a line end inside text: " << L;
    }
  }
}

}  // namespace
