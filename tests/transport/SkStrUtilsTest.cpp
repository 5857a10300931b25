#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "SkCodec.h"
#include "SkDateTime.h"
#include "SkException.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

TEST(SkStrUtils, CaseInsensitiveComparison) {
  EXPECT_TRUE(SameText("Exec", "EXEC"));
  EXPECT_FALSE(SameText("Exec", "EXECS"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(PosText("exec/", "/callback/EXEC/1"), 10u);
  EXPECT_EQ(ReplaceAllText("a../FILES/b../files/", "../files/", "/x/"), "a/x/b/x/");
}

TEST(SkStrUtils, IntegersAreWholeStrings) {
  int V = 0;
  EXPECT_TRUE(TryStrToInt("-12", V));
  EXPECT_EQ(V, -12);
  EXPECT_FALSE(TryStrToInt("12a", V));
  EXPECT_FALSE(TryStrToInt("", V));
  EXPECT_FALSE(TryStrToInt("99999999999", V));
}

TEST(SkStrUtils, AppendAllKeepsOrderAndWhatWasThere) {
  // Pieces of every length class the copy treats on its own: 1-3, 4-7, 8-16 and longer.
  std::string S = "x=";
  EXPECT_EQ(AppendAll(S, {"", "1", "22", "333", "", "4444", "7777777", "88888888", "0123456789abcdef",
                          "0123456789abcdefg", ""}),
            58u);
  EXPECT_EQ(S, "x=1223334444777777788888888" "0123456789abcdef" "0123456789abcdefg");

  std::string Empty;
  EXPECT_EQ(AppendAll(Empty, {"", ""}), 0u);
  EXPECT_EQ(Empty, "");
  std::string Kept = "kept";
  EXPECT_EQ(AppendAll(Kept, {}), 0u);
  EXPECT_EQ(Kept, "kept");
}

TEST(SkStrUtils, DigitsAsAPiece) {
  std::string S = "size=";
  AppendAll(S, {TSkDigits(-42), ";", TSkDigits(0), ";", TSkDigits(1234567890123)});
  EXPECT_EQ(S, "size=-42;0;1234567890123");
  EXPECT_EQ(std::string_view(TSkDigits(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(std::string_view(TSkDigits(std::numeric_limits<int64_t>::max())), "9223372036854775807");
  std::string A = "n";
  AppendInt(A, -7);
  EXPECT_EQ(A, "n-7");
}

TEST(SkStrUtils, Latin1AndUtf8RoundTrip) {
  EXPECT_EQ(Latin1ToUtf8("\xe9"), "\xc3\xa9");
  EXPECT_EQ(Utf8ToLatin1("\xc3\xa9"), "\xe9");
  EXPECT_EQ(Utf8ToLatin1("\xc5\x82"), "?");   // U+0142 has no Latin-1 form
  EXPECT_TRUE(IsValidUtf8("Powr\xc3\xb3t"));
  EXPECT_FALSE(IsValidUtf8("\xc3"));
}

TEST(SkStringList, NameValueLines) {
  TSkStringList L{"a=1", "B=2", "c"};
  EXPECT_EQ(L.Values("b"), "2");
  EXPECT_EQ(L.Values("c"), "");
  L.SetValue("A", "9");
  EXPECT_EQ(L[0], "A=9");
  L.SetValue("b", "");
  EXPECT_EQ(L.Count(), 2);
  L.SetText("x=1\r\ny=2\n");
  EXPECT_EQ(L.Count(), 2);
  EXPECT_EQ(L.Text(), "x=1\r\ny=2\r\n");
}

TEST(SkCodec, FormDecoding) {
  EXPECT_EQ(HTTPDecode("a=%41%42"), "a=AB");
  EXPECT_EQ(HTTPDecode("b=c+d"), "b=c d");
  EXPECT_EQ(HTTPDecode("100%%"), "100%");
  try {
    HTTPDecode("x=%4");
    FAIL();
  } catch (const ESkException& E) {
    EXPECT_STREQ(E.what(), "Error decoding URL style (%XX) encoded string at position 3");
  }
  try {
    HTTPDecode("x=%zz");
    FAIL();
  } catch (const ESkException& E) {
    EXPECT_STREQ(E.what(), "Invalid URL encoded character (%zz) at position 3");
  }
  std::string Out;
  EXPECT_TRUE(TryURLDecodePath("/a%2e%2E/b", Out));
  EXPECT_EQ(Out, "/a../b");
  EXPECT_FALSE(TryURLDecodePath("/a%2", Out));
  EXPECT_FALSE(TryURLDecodePath("/a%g1", Out));
}

TEST(SkCodec, Base64) {
  EXPECT_EQ(Base64Encode("kqzv:kqzv"), "a3F6djprcXp2");
  EXPECT_EQ(Base64Decode("a3F6djprcXp2"), "kqzv:kqzv");
  EXPECT_EQ(Base64Encode("ab"), "YWI=");
  EXPECT_EQ(Base64Decode("YWI="), "ab");
}

TEST(SkDateTime, EncodesDaysSince1899) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1970, 1, 1), 25569.0);
  const TSkDateParts P = DecodeDateTime(EncodeDateTime(2026, 12, 8, 9, 5, 3));
  EXPECT_EQ(P.Year, 2026);
  EXPECT_EQ(P.Month, 12);
  EXPECT_EQ(P.Day, 8);
  EXPECT_EQ(P.Hour, 9);
  EXPECT_EQ(P.Minute, 5);
  EXPECT_EQ(P.Second, 3);
  EXPECT_EQ(P.DayOfWeek, 2);   // Tuesday
}

TEST(SkDateTime, HTTPDateForms) {
  EXPECT_EQ(FormatHTTPDate(EncodeDateTime(2026, 12, 8, 9, 5, 3)), "Tue, 08 Dec 2026 09:05:03 GMT");
  TDateTime D;
  for (const char* Text : {"Tue, 08 Dec 2026 09:05:03 GMT", "Tuesday, 08-Dec-26 09:05:03 GMT", "Tue Dec  8 09:05:03 2026"}) {
    SCOPED_TRACE(Text);
    ASSERT_TRUE(TryParseHTTPDate(Text, D));
    EXPECT_NEAR(D, EncodeDateTime(2026, 12, 8, 9, 5, 3), 1e-9);
  }
  EXPECT_FALSE(TryParseHTTPDate("yesterday", D));
  EXPECT_FALSE(TryParseHTTPDate("", D));
}
