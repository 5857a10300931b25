#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "content/KXFileSaver.h"
#include "core/KXException.h"
#include "core/KXGlobal.h"
#include "KXTestFolders.h"
#include "SkStream.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& APath) {
  std::ifstream In(APath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& APath, const std::string& AText) { std::ofstream(APath, std::ios::binary) << AText; }

// Every entry of a folder (links not followed) with what it holds: a file's bytes, a link's target.
std::map<std::string, std::string> Snapshot(const fs::path& AFolder) {
  std::map<std::string, std::string> S;
  for (const auto& E : fs::directory_iterator(AFolder)) {
    const std::string Name = E.path().filename().string();
    if (E.is_symlink()) S[Name] = "-> " + fs::read_symlink(E.path()).string();
    else if (E.is_regular_file()) S[Name] = ReadFile(E.path());
    else S[Name] = "(other)";
  }
  return S;
}

std::string SaveError(const std::string& AContent, const std::string& AFileName) {
  TSkMemoryStream Source(AContent);
  try {
    TKXFileSaver::Save(Source, AFileName);
  } catch (const EKXException& E) {
    return E.what();
  }
  return "";
}

class FileSaverTest : public testing::Test {
protected:
  TKXTempFolder Work, Outside;
  const std::string SavedAppFolder = KXApplicationFolder();
  void TearDown() override {
    KXSetApplicationFolder(SavedAppFolder);
    TKXFileSaver::SetFolderQuota(0);
  }
  std::string In(const std::string& AName) const { return Work.Path() + "/" + AName; }
};

}  // namespace

TEST_F(FileSaverTest, WritesANewFileAndReplacesAnOldOneWhole) {
  EXPECT_EQ(SaveError(std::string("bin\0\xff\r\n", 6), In("a.bin")), "");
  EXPECT_EQ(ReadFile(In("a.bin")), std::string("bin\0\xff\r\n", 6));

  // A reader of the old file keeps the old bytes: the new ones arrive under the name at once.
  std::ifstream Reader(In("a.bin"), std::ios::binary);
  EXPECT_EQ(SaveError("newer and longer", In("a.bin")), "");
  EXPECT_EQ(ReadFile(In("a.bin")), "newer and longer");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(Reader), std::istreambuf_iterator<char>()),
            std::string("bin\0\xff\r\n", 6));
  EXPECT_EQ(Snapshot(Work.Path()).size(), 1u) << "no temporary file is left";

  // A relative name is relative to the current folder.
  const fs::path Saved = fs::current_path();
  fs::current_path(Work.Path());
  EXPECT_EQ(SaveError("here", "b.txt"), "");
  fs::current_path(Saved);
  EXPECT_EQ(ReadFile(In("b.txt")), "here");
}

TEST_F(FileSaverTest, RefusesUnusableNamesAndWhatIsNotARegularFile) {
  WriteFile(Outside.Path() + "/secret", "outside");
  fs::create_symlink(Outside.Path() + "/secret", In("planted"));
  fs::create_symlink(Outside.Path() + "/new", In("dangling"));
  fs::create_directory(In("folder"));
  ASSERT_EQ(::mkfifo(In("fifo").c_str(), 0644), 0);
  const auto Before = Snapshot(Work.Path());

  const struct {
    const char* Name;
    std::string Target;
    std::string Message;
  } Cases[] = {
      {"empty", "", "Cannot save to \"\": the name is empty or only dots or blanks."},
      {"dot", In("."), "Cannot save to \"" + In(".") + "\": the name is empty or only dots or blanks."},
      {"dot dot", In(".."), "Cannot save to \"" + In("..") + "\": the name is empty or only dots or blanks."},
      {"dots", "....", "Cannot save to \"....\": the name is empty or only dots or blanks."},
      {"blank", " ", "Cannot save to \" \": the name is empty or only dots or blanks."},
      {"dots and blanks", In(" . \t"), "Cannot save to \"" + In(" . ?") + "\": the name is empty or only dots or blanks."},
      {"ends with a separator", In("x/"), "Cannot save to \"" + In("x/") + "\": the name is empty or only dots or blanks."},
      {"NUL", In(std::string("a\0b", 3)), "Cannot save to \"" + In("a?b") + "\": a file name cannot hold a NUL character."},
      {"link to a file", In("planted"), "Cannot save to \"" + In("planted") + "\": it is a symbolic link."},
      {"link to nothing", In("dangling"), "Cannot save to \"" + In("dangling") + "\": it is a symbolic link."},
      {"folder", In("folder"), "Cannot save to \"" + In("folder") + "\": it is a folder."},
      {"special file", In("fifo"), "Cannot save to \"" + In("fifo") + "\": it is not a regular file."},
      {"missing folder", In("none/a.txt"), "Cannot save to \"" + In("none/a.txt") + "\": No such file or directory."},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(SaveError("evil", Case.Target), Case.Message);
  }
  EXPECT_EQ(Snapshot(Work.Path()), Before);
  EXPECT_EQ(Snapshot(Outside.Path()), (std::map<std::string, std::string>{{"secret", "outside"}}));
}

TEST_F(FileSaverTest, AFailedWriteLeavesTheOldFileAsItWas) {
  WriteFile(In("kept.txt"), "old");
  // Files may grow to 4 bytes only: the write itself fails, as on a full disk.
  rlimit Saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &Saved), 0);
  const auto OldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit Small = Saved;
  Small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Small), 0);
  const std::string Error = SaveError("far more than four bytes", In("kept.txt"));
  ::setrlimit(RLIMIT_FSIZE, &Saved);
  ::signal(SIGXFSZ, OldHandler);
  EXPECT_EQ(Error, "Cannot save to \"" + In("kept.txt") + "\": File too large.");
  EXPECT_EQ(Snapshot(Work.Path()), (std::map<std::string, std::string>{{"kept.txt", "old"}}));

  // A folder that cannot be written (permissions do not stop root, so only as another user).
  if (::geteuid() != 0) {
    fs::permissions(Work.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(SaveError("new", In("kept.txt")), "Cannot save to \"" + In("kept.txt") + "\": Permission denied.");
    fs::permissions(Work.Path(), fs::perms::owner_all);
    EXPECT_EQ(ReadFile(In("kept.txt")), "old");
  }
}

TEST_F(FileSaverTest, TheApplicationsOwnFilesAreNeverReplaced) {
  KXSetApplicationFolder(Work.Path());
  WriteFile(In("port.ini"), "[PORTS]\nPort=8888\n");
  WriteFile(In("Unit1.dat"), "an existing file");
  const auto Before = Snapshot(Work.Path());

  std::vector<std::string> Names = TKXFileSaver::OwnFileNames();
  Names.push_back("PORT.INI");
  Names.push_back("Unit1.dat");
  for (const std::string& Name : Names) {
    SCOPED_TRACE(Name);
    EXPECT_EQ(SaveError("[PORTS]\nPort=6666\n", In(Name)),
              "Cannot save to \"" + In(Name) + "\": it is one of the application's own files.");
    // The same folder by another way of writing it.
    EXPECT_NE(SaveError("x", Work.Path() + "/./" + Name), "");
  }
  EXPECT_EQ(Snapshot(Work.Path()), Before);

  EXPECT_EQ(SaveError("new", In("upload.txt")), "") << "a new file of another name is fine";
  EXPECT_NE(SaveError("again", In("upload.txt")), "") << "but once there, it is one of the folder's files";
  EXPECT_EQ(ReadFile(In("upload.txt")), "new");

  // Elsewhere the same names are ordinary files.
  EXPECT_EQ(SaveError("[PORTS]\nPort=6666\n", Outside.Path() + "/port.ini"), "");
}

TEST_F(FileSaverTest, TheQuotaCapsTheBytesAFolderHolds) {
  TKXFileSaver::SetFolderQuota(10);
  EXPECT_EQ(SaveError("123456", In("a")), "");
  EXPECT_EQ(SaveError("12345", In("b")),
            "Cannot save to \"" + In("b") + "\": the folder would hold more than its quota of 10 bytes.");
  EXPECT_EQ(SaveError("1234", In("b")), "") << "exactly the quota";
  EXPECT_EQ(SaveError("123456", In("a")), "") << "a replaced file no longer counts";
  EXPECT_EQ(Snapshot(Work.Path()), (std::map<std::string, std::string>{{"a", "123456"}, {"b", "1234"}}));
  EXPECT_EQ(SaveError("1", Outside.Path() + "/c"), "") << "each folder has its own";
  TKXFileSaver::SetFolderQuota(0);
  EXPECT_EQ(SaveError(std::string(100, 'x'), In("c")), "") << "0: no cap";
}
