// Anchored children when their parent is resized on the server (as a form is by the browser's
// reported size): the same rules the page applies when it re-flows.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "render/KXWinControl.h"

namespace {

using TRect = std::array<int, 4>;

TRect Bounds(const TKXWinControl& AControl) {
  return {AControl.Left(), AControl.Top(), AControl.Width(), AControl.Height()};
}

struct AnchorsTest : ::testing::Test {
  std::unique_ptr<TKXWinControl> Parent{KXCreate<TKXWinControl>(nullptr)};
  std::vector<std::unique_ptr<TKXWinControl>> Children;

  void SetUp() override { Parent->SetBounds(0, 0, 491, 265); }
  TKXWinControl& Child(TKXAnchors AAnchors, TKXAlign AAlign = alNone) {
    Children.emplace_back(KXCreate<TKXWinControl>(nullptr));
    TKXWinControl& C = *Children.back();
    C.SetParent(Parent.get());
    C.SetAnchors(AAnchors);
    C.SetAlign(AAlign);
    if (AAlign == alNone) C.SetBounds(20, 100, 121, 21);
    return C;
  }
  void TearDown() override {
    for (auto& C : Children) C->SetParent(nullptr);
  }
};

TEST_F(AnchorsTest, ChildrenFollowTheEdgesTheyAreAnchoredTo) {
  TKXWinControl& Plain = Child({akLeft, akTop});
  TKXWinControl& Stretch = Child({akLeft, akTop, akRight});
  TKXWinControl& RightOnly = Child({akRight, akTop});
  TKXWinControl& Centred = Child({akTop});
  TKXWinControl& Bottom = Child({akLeft, akBottom});
  TKXWinControl& Tall = Child({akLeft, akTop, akBottom});
  Parent->SetBounds(0, 0, 591, 365);
  EXPECT_EQ(Bounds(Plain), (TRect{20, 100, 121, 21}));
  EXPECT_EQ(Bounds(Stretch), (TRect{20, 100, 221, 21}));
  EXPECT_EQ(Bounds(RightOnly), (TRect{120, 100, 121, 21}));
  // centre 80.5 of 491 keeps its share of 591: 96.9, so the left edge is 36
  EXPECT_EQ(Bounds(Centred), (TRect{36, 100, 121, 21}));
  EXPECT_EQ(Bounds(Bottom), (TRect{20, 200, 121, 21}));
  EXPECT_EQ(Bounds(Tall), (TRect{20, 100, 121, 121}));

  // Back to the designed size: every child where it started.
  Parent->SetBounds(0, 0, 491, 265);
  EXPECT_EQ(Bounds(Stretch), (TRect{20, 100, 121, 21}));
  EXPECT_EQ(Bounds(RightOnly), (TRect{20, 100, 121, 21}));
  EXPECT_EQ(Bounds(Centred), (TRect{20, 100, 121, 21}));

  // Narrower than the control leaves: no negative size.
  Parent->SetBounds(0, 0, 300, 265);
  EXPECT_EQ(Stretch.Width(), 0);
}

TEST_F(AnchorsTest, MovingTheParentOrAligningLeavesChildrenToTheirOwnRules) {
  TKXWinControl& Stretch = Child({akLeft, akTop, akRight});
  TKXWinControl& Band = Child({akLeft, akTop, akRight, akBottom}, alTop);
  Band.SetHeight(30);
  EXPECT_EQ(Bounds(Band), (TRect{0, 0, 491, 30}));
  Parent->SetBounds(50, 60, 491, 265);   // moved, not resized
  EXPECT_EQ(Bounds(Stretch), (TRect{20, 100, 121, 21}));
  // An aligned child is placed by its parent's alignment alone, never stretched by its anchors.
  Parent->SetBounds(0, 0, 591, 365);
  EXPECT_EQ(Bounds(Band), (TRect{0, 0, 491, 30}));
  EXPECT_EQ(Stretch.Width(), 221);
}

}  // namespace
