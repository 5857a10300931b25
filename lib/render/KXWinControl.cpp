#include "render/KXWinControl.h"

#include <algorithm>
#include <cmath>

namespace {

const bool GRegistered = KXRegisterClass<TKXWinControl>();

}  // namespace

const TKXEnumInfo& KXAlignInfo() {
  static const TKXEnumInfo Info{"TKXAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};
  return Info;
}

const TKXEnumInfo& KXAnchorKindInfo() {
  static const TKXEnumInfo Info{"TKXAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"}};
  return Info;
}

const TKXClassInfo& TKXWinControl::StaticClassInfo() {
  using T = TKXWinControl;
  static const TKXClassInfo Info = KXClass<T, TKXComponent>("TKXWinControl").Props({
      KXIntProp("Left", &T::Left, &T::SetLeft),
      KXIntProp("Top", &T::Top, &T::SetTop),
      KXIntProp("Width", &T::Width, &T::SetWidth),
      KXIntProp("Height", &T::Height, &T::SetHeight),
      KXEnumProp("Align", &T::Align, &T::SetAlign, KXAlignInfo()),
      KXSetProp("Anchors", &T::Anchors, &T::SetAnchors, KXAnchorKindInfo()),
      KXBoolProp("Visible", &T::Visible, &T::SetVisible),
  });
  return Info;
}

TKXWinControl::~TKXWinControl() {
  (void)GRegistered;
  DetachChildren();
  if (FParent) {
    TKXWinControl* P = FParent;
    P->FControls.erase(std::remove(P->FControls.begin(), P->FControls.end(), this), P->FControls.end());
    FParent = nullptr;
  }
}

void TKXWinControl::DetachChildren() {
  for (TKXWinControl* C : FControls) {
    C->FParent = nullptr;
    ++C->FParentGeneration;
  }
  FControls.clear();
}

namespace {

// One axis of an anchored child when its parent's extent changes from AOld to ANew: anchored to
// both edges it stretches, to the far edge only it moves, to neither its centre keeps its share.
void FollowAnchors(bool ANear, bool AFar, int AOld, int ANew, int& VPos, int& VSize) {
  if (ANear && AFar)
    VSize = std::max(0, VSize + ANew - AOld);
  else if (AFar)
    VPos += ANew - AOld;
  else if (!ANear && AOld > 0)
    VPos = static_cast<int>(std::lround((VPos + VSize / 2.0) * ANew / AOld - VSize / 2.0));
}

}  // namespace

void TKXWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const int OldWidth = FWidth, OldHeight = FHeight;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (Loading()) return;
  if (OldWidth != FWidth || OldHeight != FHeight) AnchorControls(OldWidth, OldHeight);
  if (FAlign != alNone && FParent) FParent->AlignControls();
}

// The page re-flows anchored controls from the sizes it was rendered with, so the server keeps
// them where the browser put them: the next page then shows them unchanged.
void TKXWinControl::AnchorControls(int AOldWidth, int AOldHeight) {
  for (TKXWinControl* C : FControls) {
    if (C->FAlign != alNone) continue;   // placed by AlignControls
    int L = C->FLeft, T = C->FTop, W = C->FWidth, H = C->FHeight;
    FollowAnchors(C->FAnchors.Contains(akLeft), C->FAnchors.Contains(akRight), AOldWidth, FWidth, L, W);
    FollowAnchors(C->FAnchors.Contains(akTop), C->FAnchors.Contains(akBottom), AOldHeight, FHeight, T, H);
    if (L != C->FLeft || T != C->FTop || W != C->FWidth || H != C->FHeight) C->SetBounds(L, T, W, H);
  }
}

void TKXWinControl::SetAlign(TKXAlign AValue) {
  if (FAlign == AValue) return;
  FAlign = AValue;
  if (!Loading() && FParent) FParent->AlignControls();
}

void TKXWinControl::SetParent(TKXWinControl* AParent) {
  if (AParent == FParent) return;
  TKXWinControl* Old = FParent;
  if (Old) {
    Old->FControls.erase(std::remove(Old->FControls.begin(), Old->FControls.end(), this), Old->FControls.end());
    FParent = nullptr;
    ++FParentGeneration;
    if (!Old->Destroying()) Old->ChildRemoved(this);
  }
  FParent = AParent;
  ++FParentGeneration;
  if (AParent) {
    AParent->FControls.push_back(this);
    AParent->ChildInserted(this);
  }
  ParentChanged(Old);
}

void TKXWinControl::SetParentComponent(TKXComponent* AParent) { SetParent(dynamic_cast<TKXWinControl*>(AParent)); }

void TKXWinControl::AlignControls() {
  if (Loading()) return;
  int L = 0, T = 0, R = FWidth, B = FHeight;
  // The same order a desktop layout uses: top and bottom bands first, then the sides, then the rest.
  static const TKXAlign kOrder[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TKXAlign A : kOrder) {
    for (TKXWinControl* C : FControls) {
      if (C->FAlign != A || !C->Visible()) continue;
      switch (A) {
        case alTop:
          C->FLeft = L, C->FTop = T, C->FWidth = R - L;
          T += C->FHeight;
          break;
        case alBottom:
          C->FLeft = L, C->FTop = B - C->FHeight, C->FWidth = R - L;
          B -= C->FHeight;
          break;
        case alLeft:
          C->FLeft = L, C->FTop = T, C->FHeight = B - T;
          L += C->FWidth;
          break;
        case alRight:
          C->FLeft = R - C->FWidth, C->FTop = T, C->FHeight = B - T;
          R -= C->FWidth;
          break;
        case alClient:
          C->FLeft = L, C->FTop = T, C->FWidth = R - L, C->FHeight = B - T;
          break;
        case alNone:
          break;
      }
      C->AlignControls();
    }
  }
}
