#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "content/KXFileParser.h"
#include "content/KXFileSaver.h"
#include "core/KXException.h"
#include "KXTestFolders.h"
#include "KXTestWebRequest.h"
#include "SkStream.h"

namespace fs = std::filesystem;

// Requests parsed on their own threads share only the temporary-file table.
TEST(UploadFilesAcrossThreads, EveryFileGoesWithItsLastHolder) {
  KXRegisterFileParser();
  const fs::path Folder = fs::temp_directory_path() / ("kxupload-threads-" + std::to_string(::getpid()));
  fs::remove_all(Folder);
  fs::create_directories(Folder);
  KXSetUploadFolderFunc([Folder] { return Folder.string(); });

  const std::string Body =
      "--b\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x.txt\"\r\n\r\nhello\r\n"
      "--b\r\nContent-Disposition: form-data; name=\"g\"; filename=\"y.txt\"\r\n\r\nworld\r\n--b--\r\n";
  std::vector<std::thread> Threads;
  std::vector<int> Failures(4, 0);
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([&, T] {
      std::vector<std::unique_ptr<THTTPFile>> Kept;   // a control's copies outlive the request
      for (int I = 0; I < 50; ++I) {
        TKXTestWebRequest R("POST", "/upload");
        R.SetContentType("multipart/form-data; boundary=b");
        R.SetBody(Body);
        auto& Files = static_cast<TKXFileParser&>(R.ContentParser()).HTTPFiles();
        if (Files.Count() != 2 || Files.Item(1).Stream()->ReadAll() != "world") ++Failures[T];
        if (I % 2) Kept.push_back(std::make_unique<THTTPFile>(Files.Item(0)));
      }
      for (auto& K : Kept)
        if (K->Stream()->ReadAll() != "hello") ++Failures[T];
    });
  for (auto& T : Threads) T.join();

  EXPECT_EQ(Failures, std::vector<int>(4, 0));
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 0);
  KXSetUploadFolderFunc(nullptr);
  fs::remove_all(Folder);
}

// Saves into one folder at once: the quota holds however they interleave.
TEST(UploadFilesAcrossThreads, SavesNeverTakeAFolderBeyondItsQuota) {
  TKXTempFolder Folder;
  constexpr int kBytes = 1000, kQuota = 10 * kBytes;
  TKXFileSaver::SetFolderQuota(kQuota);
  std::vector<std::thread> Threads;
  std::vector<int> Saved(4, 0), Other(4, 0);
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([&, T] {
      for (int I = 0; I < 10; ++I) {
        TSkMemoryStream Source(std::string(kBytes, 'x'));
        try {
          TKXFileSaver::Save(Source, Folder.Path() + "/f" + std::to_string(T) + "-" + std::to_string(I));
          ++Saved[T];
        } catch (const EKXException& E) {
          if (std::string(E.what()).find("quota of 10000 bytes") == std::string::npos) ++Other[T];
        }
      }
    });
  for (auto& T : Threads) T.join();
  TKXFileSaver::SetFolderQuota(0);

  int Total = 0, Files = 0;
  for (int N : Saved) Total += N;
  for (const auto& E : fs::directory_iterator(Folder.Path())) {
    ++Files;
    EXPECT_EQ(E.file_size(), static_cast<uintmax_t>(kBytes)) << E.path();
  }
  EXPECT_EQ(Other, std::vector<int>(4, 0));
  EXPECT_EQ(Files, Total) << "no temporary file is left";
  EXPECT_GE(Total, 1);
  EXPECT_LE(Total * kBytes, kQuota);
}
