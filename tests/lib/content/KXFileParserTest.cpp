#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/KXException.h"
#include "content/KXFileParser.h"
#include "KXTestWebRequest.h"
#include "SkStream.h"
#include "SkStringList.h"

namespace fs = std::filesystem;

namespace {

const char kType[] = "multipart/form-data; boundary=XyZ";

std::string Field(const std::string& AName, const std::string& AValue) {
  return "--XyZ\r\nContent-Disposition: form-data; name=\"" + AName + "\"\r\n\r\n" + AValue + "\r\n";
}

std::string FilePart(const std::string& AName, const std::string& AFileName, const std::string& AData,
                     const std::string& AType = "Content-Type: text/plain\r\n") {
  return "--XyZ\r\nContent-Disposition: form-data; name=\"" + AName + "\"; filename=\"" + AFileName + "\"\r\n" + AType +
         "\r\n" + AData + "\r\n";
}

const char kEnd[] = "--XyZ--\r\n";

// Delivers only the first APrefix bytes as RawContent and the rest through ReadClient, one
// byte per call: a transport that had not read the whole body yet.
class TTrickleRequest : public TKXTestWebRequest {
public:
  TTrickleRequest(std::string ABody, size_t APrefix) : TKXTestWebRequest("POST", "/upload"), FPrefix(APrefix) {
    SetContentType(kType);
    SetBody(ABody);
    FAll = std::move(ABody);
  }
  std::string GetStringVariable(int AIndex) override {
    return AIndex == kRawContent ? FAll.substr(0, FPrefix) : TKXTestWebRequest::GetStringVariable(AIndex);
  }
  int ReadClient(void* ABuffer, int ACount) override {
    if (ACount <= 0 || FCursor >= FAll.size()) return 0;
    static_cast<char*>(ABuffer)[0] = FAll[FCursor++];
    return 1;
  }

private:
  std::string FAll;
  size_t FPrefix;
  size_t FCursor = FPrefix;
};

class FileParserTest : public testing::Test {
protected:
  void SetUp() override {
    KXRegisterFileParser();
    FFolder = fs::temp_directory_path() / ("kxupload-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FFolder);
    fs::create_directories(FFolder);
    KXSetUploadFolderFunc([this] { return FFolder.string(); });
  }
  void TearDown() override {
    EXPECT_EQ(FilesInFolder(), 0) << "temporary files left behind";
    KXSetUploadFolderFunc(nullptr);
    fs::remove_all(FFolder);
  }
  int FilesInFolder() const {
    return static_cast<int>(std::distance(fs::directory_iterator(FFolder), fs::directory_iterator()));
  }
  static std::unique_ptr<TKXTestWebRequest> Post(const std::string& ABody, const std::string& AType = kType) {
    auto R = std::make_unique<TKXTestWebRequest>("POST", "/upload");
    R->SetContentType(AType);
    R->SetBody(ABody);
    return R;
  }
  static std::string ErrorOf(TWebRequest& R) {
    try {
      R.ContentFields();
    } catch (const EKXException& E) {
      return E.what();
    }
    return "";
  }

  fs::path FFolder;
};

}  // namespace

TEST_F(FileParserTest, FieldsAndFiles) {
  const std::string Body = Field("a", "1") + FilePart("f", "x.txt", "hello") + kEnd;
  for (size_t Prefix : {Body.size(), size_t(0), size_t(17)}) {
    SCOPED_TRACE("RawContent holds " + std::to_string(Prefix) + " bytes");
    {
      TTrickleRequest R(Body, Prefix);
      ASSERT_EQ(R.ContentParser().ClassName(), std::string("TKXFileParser"));
      EXPECT_EQ(R.ContentFields().Lines(), (std::vector<std::string>{"a=1", "f=x.txt"}));
      ASSERT_EQ(R.Files().Count(), 1);
      auto& F = static_cast<THTTPFile&>(R.Files().Item(0));
      EXPECT_EQ(F.FieldName(), "f");
      EXPECT_EQ(F.FileName(), "x.txt");
      EXPECT_EQ(F.ContentType(), " text/plain");
      EXPECT_EQ(F.FileSize(), -1);
      EXPECT_EQ(F.Size(), 5);
      EXPECT_EQ(F.Stream()->ReadAll(), "hello");
      EXPECT_EQ(fs::path(F.TmpStreamName()).parent_path(), FFolder);
      EXPECT_EQ(fs::path(F.TmpStreamName()).filename().string().substr(0, 3), "MIM");
      EXPECT_EQ(FilesInFolder(), 1);
    }
    EXPECT_EQ(FilesInFolder(), 0);
  }
}

TEST_F(FileParserTest, FieldValuesKeepEveryByte) {
  const struct {
    const char* Name;
    std::string Value;
  } Cases[] = {
      {"leading blank", " kqzv"},
      {"blanks at both ends", "  abc  "},
      {"UTF-8 one character per byte", "Powr\xc3\xb3t \xc5\x82\xc3\xb3" "d\xc5\xba"},
      {"CR LF inside", "line1\r\nline2\r\n"},
      {"empty", ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    auto R = Post(Field("t", C.Value) + kEnd);
    EXPECT_EQ(R->ContentFields().Lines(), std::vector<std::string>{"t=" + C.Value});
  }
}

TEST_F(FileParserTest, PartKinds) {
  const std::string Body = FilePart("bin", "raw.dat", std::string("\r\n\x00\xff\r\n", 6), "") +      // no Content-Type line
                           FilePart("none", "", "", "Content-Type: application/octet-stream\r\n") +  // no file chosen
                           "--XyZ\r\nContent-Disposition: form-data; name=\"typed\"\r\nContent-Type: text/plain\r\n\r\n"
                           "v\r\n" +
                           "--XyZ\r\nContent-Disposition: form-data; filename=\"anon.txt\"\r\n\r\nlost\r\n" +  // nameless
                           FilePart("e", "empty.txt", "") + kEnd;
  auto R = Post(Body);
  EXPECT_EQ(R->ContentFields().Lines(), (std::vector<std::string>{"bin=raw.dat", "none=", "typed=v", "e=empty.txt"}));
  ASSERT_EQ(R->Files().Count(), 2);
  auto& Bin = static_cast<THTTPFile&>(R->Files().Item(0));
  EXPECT_EQ(Bin.ContentType(), "application/octet-stream");
  EXPECT_EQ(Bin.Stream()->ReadAll(), std::string("\r\n\x00\xff\r\n", 6));
  EXPECT_EQ(static_cast<THTTPFile&>(R->Files().Item(1)).Size(), 0);
  EXPECT_EQ(FilesInFolder(), 2);
}

TEST_F(FileParserTest, ChosenOnlyForMultipartPosts) {
  const struct {
    const char* Name;
    const char* Method;
    const char* Type;
    bool Chosen;
  } Cases[] = {
      {"multipart POST", "POST", "multipart/form-data; boundary=XyZ", true},
      {"any case, blank before the separator", "POST", "Multipart/Form-Data ; boundary=XyZ", true},
      {"multipart GET", "GET", "multipart/form-data; boundary=XyZ", false},
      {"form POST", "POST", "application/x-www-form-urlencoded", false},
      {"other multipart", "POST", "multipart/mixed; boundary=XyZ", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest R(C.Method);
    R.SetContentType(C.Type);
    EXPECT_EQ(R.ContentParser().ClassName() == std::string("TKXFileParser"), C.Chosen);
  }
  KXRegisterFileParser();   // a second call registers nothing more
  TKXTestWebRequest R("POST");
  R.SetContentType(kType);
  R.ContentParser();
  EXPECT_TRUE(UnregisterContentParser("TKXFileParser"));
  EXPECT_FALSE(UnregisterContentParser("TKXFileParser"));
}

TEST_F(FileParserTest, MalformedBodiesLeaveNothingBehind) {
  const std::string Good = FilePart("f", "x.txt", "hello");
  const struct {
    const char* Name;
    std::string Type;
    std::string Body;
    std::string Message;
  } Cases[] = {
      {"no boundary parameter", "multipart/form-data", Good + kEnd,
       "Malformed multipart body: no boundary in the content type"},
      {"wrong boundary", "multipart/form-data; boundary=Other", Good + kEnd,
       "Malformed multipart body: boundary delimiter not found"},
      {"truncated file part", kType, Good + FilePart("g", "y.txt", "partial"),
       "Malformed multipart body: closing boundary delimiter not found"},
      {"header block without an end", kType, Good + "--XyZ\r\nContent-Disposition: form-data; name=\"a\"",
       "Malformed multipart body: part header block without an end"},
      {"huge part header", kType, Good + "--XyZ\r\nX-Pad: " + std::string(20000, 'p') + "\r\n\r\nv\r\n" + kEnd,
       "Malformed multipart body: part header larger than 16384 bytes"},
      {"junk after a delimiter", kType, Good + "--XyZjunk\r\n\r\n" + kEnd,
       "Malformed multipart body: invalid text after a boundary delimiter"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    for (size_t Prefix : {C.Body.size(), size_t(0)}) {
      TTrickleRequest R(C.Body, Prefix);
      R.SetContentType(C.Type);
      EXPECT_EQ(ErrorOf(R), C.Message);
      EXPECT_EQ(FilesInFolder(), 0);
      // Never a silent success later on.
      EXPECT_THROW(R.Files(), EKXException);
      EXPECT_EQ(ErrorOf(R), C.Message);
    }
  }
  auto Empty = Post("");   // nothing posted at all: no fields, no error
  EXPECT_TRUE(Empty->ContentFields().Empty());
}

TEST_F(FileParserTest, SharedTemporaryFiles) {
  auto R = Post(FilePart("f", "x.txt", "hello") + kEnd);
  auto& Parser = static_cast<TKXFileParser&>(R->ContentParser());
  std::shared_ptr<THTTPFiles> Files = Parser.SharedHTTPFiles();
  THTTPFile* Original = Files->FindFile("F");
  ASSERT_NE(Original, nullptr);
  EXPECT_EQ(Files->FindFile("g"), nullptr);
  const std::string Name = Original->TmpStreamName();
  auto Copy = std::make_unique<THTTPFile>(*Original);
  EXPECT_EQ(KXTempFiles().Holders(Name), 2);
  EXPECT_EQ(Copy->FileName(), "x.txt");

  Files.reset();
  R.reset();   // the request's record goes: the control's copy keeps the file
  EXPECT_TRUE(fs::exists(Name));
  EXPECT_EQ(Copy->Stream()->ReadAll(), "hello");

  const fs::path Saved = FFolder / "saved" / "a.txt";
  fs::create_directories(Saved.parent_path());
  Copy->SaveToFile(Saved.string());
  EXPECT_EQ(TSkFileStream(Saved.string(), TSkFileMode::fmOpenRead).ReadAll(), "hello");
  fs::remove_all(Saved.parent_path());
  TSkMemoryStream Target("ab");
  Target.SetPosition(2);
  Copy->SaveToStream(Target);
  EXPECT_EQ(Target.DataString(), "abhello");

  Copy.reset();
  EXPECT_FALSE(fs::exists(Name));
  EXPECT_EQ(KXTempFiles().Holders(Name), 0);
}

TEST_F(FileParserTest, TemporaryFileTable) {
  const std::string Name = (FFolder / "MIMtable.tmp").string();
  std::ofstream(Name) << "x";
  KXTempFiles().Take(Name);
  KXTempFiles().Take(Name);
  KXTempFiles().Release(Name);
  EXPECT_TRUE(fs::exists(Name));
  KXTempFiles().Release(Name);
  EXPECT_FALSE(fs::exists(Name));
  try {
    KXTempFiles().Release(Name);
    ADD_FAILURE() << "no exception";
  } catch (const EKXException& E) {
    EXPECT_STREQ(E.what(), "Incorrect unlock");
  }
}

TEST_F(FileParserTest, UploadFolderThatCannotTakeFiles) {
  KXSetUploadFolderFunc([this] { return (FFolder / "missing").string(); });
  auto R = Post(Field("a", "1") + FilePart("f", "x.txt", "hello") + kEnd);
  EXPECT_EQ(ErrorOf(*R),
            "An error occurred while writing to the Cache Directory, please make sure the permissions are set correctly.");
  EXPECT_FALSE(fs::exists(FFolder / "missing"));
}
