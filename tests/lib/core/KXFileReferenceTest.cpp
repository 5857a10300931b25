#include <gtest/gtest.h>

#include "core/KXFileReference.h"

namespace {

TEST(FileReference, FileNameAndURLExcludeEachOther) {
  TKXFileReference R;
  int Changes = 0;
  R.OnChange = [&](TKXFileReference* Sender) {
    EXPECT_EQ(Sender, &R);
    ++Changes;
  };
  EXPECT_TRUE(R.Empty());
  R.SetFilename("files\\a.html");
  EXPECT_EQ(R.Filename(), "files/a.html");
  R.SetURL("  http://example.com/x  ");
  EXPECT_EQ(R.URL(), "http://example.com/x");
  EXPECT_EQ(R.Filename(), "");
  R.SetFilename("b.html");
  EXPECT_EQ(R.URL(), "");
  R.SetURL("   ");   // blank: the file name stays
  EXPECT_EQ(R.Filename(), "b.html");
  R.SetFilename("");
  EXPECT_TRUE(R.Empty());
  EXPECT_EQ(Changes, 5);
}

TEST(FileReference, LocationUnderTheFilesURL) {
  const struct {
    const char* Name;
    const char* Filename;
    const char* URL;
    const char* Expected;
  } Cases[] = {
      {"URL only", "", "http://x/y", "http://x/y"},
      {"inside the files folder", "/app/Files/sub/page.html", "", "/Files/sub/page.html"},
      {"folder found without regard to case", "/APP/files/page.html", "", "/Files/page.html"},
      {"back-slashes", "\\app\\Files\\sub\\page.html", "", "/Files/sub/page.html"},
      {"elsewhere: the bare name", "/other/place/page.html", "", "/Files/page.html"},
      {"bare name", "page.html", "", "/Files/page.html"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXFileReference R;
    if (*C.URL) R.SetURL(C.URL);
    if (*C.Filename) R.SetFilename(C.Filename);
    EXPECT_EQ(R.Location("/Files/", "/app/Files/"), C.Expected);
  }
}

TEST(FileReference, QualifiedPathInTheFilesFolder) {
  const struct {
    const char* Name;
    const char* Filename;
    bool AllowSubFolders;
    const char* Expected;
  } Cases[] = {
      {"no file name", "", true, ""},
      {"under files", "files\\a.gif", false, "/app/Files/a.gif"},
      {"sub-folder refused", "files\\sub\\a.gif", false, ""},
      {"sub-folder allowed", "files\\sub\\a.gif", true, "/app/Files/sub/a.gif"},
      {"files in any case", "FILES/a.gif", false, "/app/Files/a.gif"},
      {"elsewhere: the bare name", "/tmp/x/a.gif", false, "/app/Files/a.gif"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXFileReference R;
    R.SetFilename(C.Filename);
    EXPECT_EQ(R.QualifiedPath("/app/Files/", C.AllowSubFolders), C.Expected);
  }
}

}  // namespace
