#pragma once
// The window-control base under controls, containers and forms: a design-surface rectangle
// (Left, Top, Width, Height), alignment, anchors, visibility and a parent that lists its
// children. Ownership stays with the component owner; the parent only observes its children.
#include <string>
#include <vector>

#include "core/KXComponent.h"
#include "core/KXEnumSet.h"

enum TKXAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TKXAnchorKind { akLeft, akTop, akRight, akBottom };
using TKXAnchors = TKXEnumSet<TKXAnchorKind, akBottom + 1>;

const TKXEnumInfo& KXAlignInfo();
const TKXEnumInfo& KXAnchorKindInfo();

class TKXWinControl : public TKXComponent {
public:
  explicit TKXWinControl(TKXComponent* AOwner) : TKXComponent(AOwner) {}
  ~TKXWinControl() override;
  KX_DECLARE_CLASS_INFO

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int AValue) { SetBounds(AValue, FTop, FWidth, FHeight); }
  void SetTop(int AValue) { SetBounds(FLeft, AValue, FWidth, FHeight); }
  void SetWidth(int AValue) { SetBounds(FLeft, FTop, AValue, FHeight); }
  void SetHeight(int AValue) { SetBounds(FLeft, FTop, FWidth, AValue); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);

  TKXAlign Align() const { return FAlign; }
  void SetAlign(TKXAlign AValue);
  TKXAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TKXAnchors AValue) { FAnchors = AValue; }
  virtual bool Visible() const { return FVisible; }
  virtual void SetVisible(bool AValue) { FVisible = AValue; }

  // The client area's offset inside the control and the scroll position (scrolling containers).
  virtual int ClientLeft() const { return 0; }
  virtual int ClientTop() const { return 0; }
  virtual bool IsScrolling() const { return false; }
  virtual int HorzScrollPosition() const { return 0; }
  virtual int VertScrollPosition() const { return 0; }

  TKXWinControl* Parent() const { return FParent; }
  // Changes whenever the parent link does: lets subclasses cache what they derive from it.
  unsigned ParentGeneration() const { return FParentGeneration; }
  // Leaves the old parent's list (it is told through ChildRemoved) and joins the new one's.
  void SetParent(TKXWinControl* AParent);
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TKXWinControl* Controls(int AIndex) const { return FControls.at(static_cast<size_t>(AIndex)); }

  // Places alTop/alBottom/alLeft/alRight/alClient children inside the client rectangle.
  virtual void AlignControls();

  void SetParentComponent(TKXComponent* AParent) override;
  TKXComponent* GetParentComponent() const override { return FParent; }

protected:
  // A child joined or left this control; containers keep their component lists here.
  virtual void ChildInserted(TKXWinControl*) {}
  virtual void ChildRemoved(TKXWinControl*) {}
  // The parent changed from AOld (controls reset their tab order when a frame is involved).
  virtual void ParentChanged(TKXWinControl*) {}
  // Moves and stretches the alNone children by their anchors after this control's size changed.
  void AnchorControls(int AOldWidth, int AOldHeight);
  // Breaks every child's link to this control without telling anyone: used while this control
  // is destroyed, when its overrides are already gone.
  void DetachChildren();

  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TKXAlign FAlign = alNone;
  TKXAnchors FAnchors{akLeft, akTop};
  bool FVisible = true;

private:
  TKXWinControl* FParent = nullptr;
  unsigned FParentGeneration = 0;
  std::vector<TKXWinControl*> FControls;   // observed children, in joining order
};
