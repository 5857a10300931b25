// The name index a render registers its components and hidden inputs in.
#include <gtest/gtest.h>

#include <string>

#include "core/KXNameIndex.h"

namespace {

TEST(NameIndex, CaseIsIgnoredAndTheFirstNameStays) {
  TKXNameIndex Index;
  EXPECT_EQ(Index.Find("Edit1"), -1);   // never added to: no slots yet
  EXPECT_TRUE(Index.Add("Edit1", 3));
  EXPECT_TRUE(Index.Add("Edit10", 0));
  EXPECT_TRUE(Index.Add("", 7));
  EXPECT_FALSE(Index.Add("EDIT1", 9));
  EXPECT_FALSE(Index.Add("edit1", 4));
  EXPECT_EQ(Index.Count(), 3u);
  EXPECT_EQ(Index.Find("eDiT1"), 3);
  EXPECT_EQ(Index.Find("EDIT10"), 0);
  EXPECT_EQ(Index.Find(""), 7);
  EXPECT_EQ(Index.Find("Edit"), -1);
  EXPECT_EQ(Index.Find("Edit11"), -1);
}

TEST(NameIndex, GrowthKeepsEveryEntry) {
  TKXNameIndex Index;
  constexpr int kNames = 700;   // from 16 slots through several doublings
  for (int I = 0; I < kNames; ++I) {
    ASSERT_TRUE(Index.Add("Button" + std::to_string(I), static_cast<size_t>(I)));
    // the earliest names are still there after every growth so far
    ASSERT_EQ(Index.Find("BUTTON0"), 0) << "after " << I;
  }
  for (int I = 0; I < kNames; ++I) {
    EXPECT_EQ(Index.Find("BUTTON" + std::to_string(I)), I);
    EXPECT_FALSE(Index.Add("button" + std::to_string(I), 0));
  }
  EXPECT_EQ(Index.Count(), static_cast<size_t>(kNames));
  EXPECT_EQ(Index.Find("Button" + std::to_string(kNames)), -1);
}

TEST(NameIndex, ClearedIndexIsUsableAgain) {
  TKXNameIndex Index;
  Index.Reserve(4);
  for (int I = 0; I < 40; ++I) Index.Add("Name" + std::to_string(I), static_cast<size_t>(I));
  Index.Clear();
  EXPECT_EQ(Index.Count(), 0u);
  EXPECT_EQ(Index.Find("Name0"), -1);
  EXPECT_EQ(Index.Find("Name39"), -1);
  // The old names come back with new positions, and more of them than before fit.
  for (int I = 0; I < 100; ++I) ASSERT_TRUE(Index.Add("NAME" + std::to_string(I), static_cast<size_t>(100 + I)));
  EXPECT_EQ(Index.Find("name0"), 100);
  EXPECT_EQ(Index.Find("name99"), 199);
  EXPECT_EQ(Index.Count(), 100u);
}

}  // namespace
