#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/KXException.h"
#include "render/KXHTMLTag.h"
#include "core/KXStreams.h"

namespace fs = std::filesystem;

namespace {

// Restores the process-wide render settings a test changes.
class RenderSettingsTest : public testing::Test {
protected:
  void SetUp() override {
    FDir = fs::temp_directory_path() / ("kxstreams-" + std::to_string(::getpid()) + "-" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FDir);
    const std::string Dir = FDir.string();
    KXSetTempFolderFunc([Dir] { return Dir; });
  }
  void TearDown() override {
    KXSetRenderStorage(rnInMemory);
    KXSetRenderCharSet("");
    KXSetTempFolderFunc(nullptr);
    fs::remove_all(FDir);
  }
  fs::path FDir;
};

std::string ReadAll(TSkStream& S) {
  S.SetPosition(0);
  std::string R(static_cast<size_t>(S.Size()), '\0');
  R.resize(static_cast<size_t>(S.Read(R.data(), static_cast<int64_t>(R.size()))));
  return R;
}

}  // namespace

using RenderStreamTest = RenderSettingsTest;

TEST_F(RenderStreamTest, ExtractReturnsTextAndEmpties) {
  for (TKXRendering Storage : {rnInMemory, rnInFile}) {
    SCOPED_TRACE(Storage == rnInMemory ? "memory" : "file");
    TKXRenderStream S(Storage);
    EXPECT_EQ(S.Extract(), "");
    S.WriteString("");
    EXPECT_EQ(S.Size(), 0);
    S.WriteString("zażółć");
    EXPECT_EQ(S.Size(), 10);   // UTF-8 bytes
    EXPECT_EQ(S.Extract(), "zażółć");
    EXPECT_EQ(S.Size(), 0);
    EXPECT_EQ(S.Extract(), "");
    S.WriteString("again");
    EXPECT_EQ(S.Extract(), "again");
  }
}

TEST_F(RenderStreamTest, ReadWriteSeekAndSize) {
  for (TKXRendering Storage : {rnInMemory, rnInFile}) {
    SCOPED_TRACE(Storage == rnInMemory ? "memory" : "file");
    TKXRenderStream S(Storage);
    S.WriteString("abcdef");
    EXPECT_EQ(S.Seek(2, TSkSeekOrigin::soBeginning), 2);
    S.Write("XY", 2);
    EXPECT_EQ(S.Position(), 4);
    EXPECT_EQ(S.Seek(-1, TSkSeekOrigin::soEnd), 5);
    char C = 0;
    EXPECT_EQ(S.Read(&C, 1), 1);
    EXPECT_EQ(C, 'f');
    EXPECT_EQ(S.Read(&C, 1), 0);
    S.SetSize(3);
    EXPECT_EQ(S.Size(), 3);
    S.Seek(0, TSkSeekOrigin::soEnd);
    S.WriteString("!");
    EXPECT_EQ(ReadAll(S), "abX!");
  }
}

TEST_F(RenderStreamTest, WriteRenderStreamCopiesFromTheStart) {
  for (TKXRendering Storage : {rnInMemory, rnInFile}) {
    SCOPED_TRACE(Storage == rnInMemory ? "memory" : "file");
    TKXRenderStream Source(Storage);
    Source.WriteString("<b>x</b>");
    Source.Seek(3, TSkSeekOrigin::soBeginning);
    TKXRenderStream Target(Storage == rnInMemory ? rnInFile : rnInMemory);
    Target.WriteString(">");
    Target.WriteRenderStream(Source);
    EXPECT_EQ(Source.Position(), 3);
    EXPECT_EQ(Source.Size(), 8);
    Target.WriteRenderStream(Target);
    EXPECT_EQ(Target.Extract(), "><b>x</b>><b>x</b>");
  }
}

TEST_F(RenderStreamTest, AdoptRenderStreamMovesTheBytesAndEmptiesTheSource) {
  // Into an empty memory stream the memory changes hands; anything else is a copy. Either way
  // the target continues at its end and the source is left empty and usable.
  for (TKXRendering From : {rnInMemory, rnInFile})
    for (TKXRendering To : {rnInMemory, rnInFile})
      for (bool TargetEmpty : {true, false}) {
        SCOPED_TRACE(std::string(From == rnInMemory ? "memory" : "file") + " into " +
                     (To == rnInMemory ? "memory" : "file") + (TargetEmpty ? ", empty" : ", written"));
        TKXRenderStream Source(From), Target(To);
        Source.WriteString("<b>ü</b>");
        Source.Seek(2, TSkSeekOrigin::soBeginning);
        if (!TargetEmpty) Target.WriteString(">");
        Target.AdoptRenderStream(Source);
        EXPECT_EQ(Source.Size(), 0);
        EXPECT_EQ(Source.Position(), 0);
        Target.WriteString("!");
        EXPECT_EQ(Target.Extract(), std::string(TargetEmpty ? "" : ">") + "<b>ü</b>!");
        Source.WriteString("again");
        EXPECT_EQ(Source.Extract(), "again");
      }
  TKXRenderStream Self(rnInMemory);
  Self.WriteString("x");
  Self.AdoptRenderStream(Self);
  EXPECT_EQ(Self.Extract(), "x");
}

TEST_F(RenderStreamTest, AdoptedBufferRendersLikeACopiedOne) {
  TKXRenderStream Bytes(rnInMemory);
  Bytes.WriteString("<i>x</i>");
  TKXHTMLTag Div("div");
  Div.Contents().AdoptBuffer(Bytes);
  EXPECT_EQ(Bytes.Size(), 0);
  Bytes.WriteString("<u>y</u>");
  Div.Contents().AddBuffer(Bytes);
  EXPECT_EQ(Div.Render(), "<div><i>x</i><u>y</u></div>");
  EXPECT_EQ(Div.Render(), "<div><i>x</i><u>y</u></div>");   // rendering does not use the bytes up
}

TEST_F(RenderStreamTest, ReserveChangesNothingVisible) {
  for (TKXRendering Storage : {rnInMemory, rnInFile}) {
    SCOPED_TRACE(Storage == rnInMemory ? "memory" : "file");
    TKXRenderStream S(Storage);
    S.WriteString("ab");
    S.Seek(1, TSkSeekOrigin::soBeginning);
    S.Reserve(1 << 16);
    EXPECT_EQ(S.Size(), 2);
    EXPECT_EQ(S.Position(), 1);
    S.WriteString("X");
    EXPECT_EQ(S.Extract(), "aX");
  }
}

TEST_F(RenderStreamTest, EightBitCharSetConvertsBothWays) {
  KXSetRenderCharSet("ISO-8859-1");
  EXPECT_FALSE(KXRenderIsUTF8());
  TKXRenderStream S(rnInMemory);
  S.WriteString("café");
  EXPECT_EQ(S.Size(), 4);   // one byte per character
  EXPECT_EQ(S.Extract(), "café");

  // The comparison with "UTF-8" is exact: a lower-case name is taken for an 8-bit code page.
  KXSetRenderCharSet("utf-8");
  EXPECT_FALSE(KXRenderIsUTF8());
  KXSetRenderCharSet("UTF-8");
  EXPECT_TRUE(KXRenderIsUTF8());
  KXSetRenderCharSet("");
  EXPECT_TRUE(KXRenderIsUTF8());
}

TEST_F(RenderStreamTest, TemporaryFileLivesWithTheStream) {
  std::string Name;
  {
    KXSetRenderStorage(rnInFile);
    TKXRenderStream S;   // storage from the process-wide choice
    auto* File = dynamic_cast<TTempFileStream*>(&S.StorageStream());
    ASSERT_NE(File, nullptr);
    Name = File->FileName();
    const fs::path P(Name);
    EXPECT_EQ(P.parent_path(), FDir / "temp");
    EXPECT_EQ(P.filename().string().rfind("SWK", 0), 0u) << Name;
    S.WriteString("page");
    std::ifstream In(Name);
    std::string OnDisk;
    std::getline(In, OnDisk);
    EXPECT_EQ(OnDisk, "page");

    TTempFileStream Other;   // a second stream gets a file of its own
    EXPECT_NE(Other.FileName(), Name);
  }
  EXPECT_FALSE(fs::exists(Name));
}

TEST_F(RenderStreamTest, TagsRenderIntoFileStreams) {
  KXSetRenderStorage(rnInFile);
  TKXHTMLTag Div("div");
  TKXRenderStream Bytes;
  Bytes.WriteString("<i>ü</i>");
  Div.Contents().AddBuffer(Bytes);
  Div.Contents().AddTag("br");
  EXPECT_EQ(Div.Render(), "<div><i>ü</i><br></div>");
}

TEST_F(RenderStreamTest, UnusableFolderFails) {
  std::ofstream(FDir.string() + ".file") << "x";   // a file where the folder should go
  const std::string Blocked = FDir.string() + ".file";
  KXSetTempFolderFunc([Blocked] { return Blocked; });
  EXPECT_THROW(TKXRenderStream S(rnInFile), EKXException);
  fs::remove(Blocked);
}
