#include "core/KXComponent.h"

#include <gtest/gtest.h>

#include "core/KXException.h"
#include "KXTestClasses.h"

namespace {

// Frees a sibling from its destructor, as a control may free its companion objects.
class TSiblingFreer : public TKXComponent {
public:
  TSiblingFreer(TKXComponent* AOwner, TKXComponent* ASibling, int* ADestroyed)
      : TKXComponent(AOwner), FSibling(ASibling), FDestroyed(ADestroyed) {}
  ~TSiblingFreer() override {
    delete FSibling;
    ++*FDestroyed;
  }
  TKXComponent* FSibling;
  int* FDestroyed;
};

class TCounted : public TKXComponent {
public:
  TCounted(TKXComponent* AOwner, int* ADestroyed) : TKXComponent(AOwner), FDestroyed(ADestroyed) {}
  ~TCounted() override { ++*FDestroyed; }
  int* FDestroyed;
};

// Records every notification it receives.
class TRecorder : public TKXComponent {
public:
  using TKXComponent::TKXComponent;
  void Notification(TKXComponent* AComponent, TKXOperation AOperation) override {
    TKXComponent::Notification(AComponent, AOperation);
    Log.push_back({AComponent, AOperation});
  }
  std::vector<std::pair<TKXComponent*, TKXOperation>> Log;
};

std::string MessageOf(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const std::exception& E) {
    return E.what();
  }
  return "(no exception)";
}

}  // namespace

TEST(ComponentOwnership, OwnerFreesWhatItOwnsAndChildLeavesWhenFreedFirst) {
  int Destroyed = 0;
  auto* Owner = new TKXComponent(nullptr);
  auto* A = new TCounted(Owner, &Destroyed);
  new TCounted(Owner, &Destroyed);
  ASSERT_EQ(Owner->ComponentCount(), 2);
  EXPECT_EQ(A->Owner(), Owner);
  delete A;
  EXPECT_EQ(Owner->ComponentCount(), 1);
  EXPECT_EQ(Destroyed, 1);
  delete Owner;
  EXPECT_EQ(Destroyed, 2);
}

TEST(ComponentOwnership, DestructorThatFreesASiblingIsSafe) {
  int Destroyed = 0;
  auto* Owner = new TKXComponent(nullptr);
  auto* Victim = new TCounted(Owner, &Destroyed);
  new TSiblingFreer(Owner, Victim, &Destroyed);   // freed first (last inserted), frees Victim
  delete Owner;
  EXPECT_EQ(Destroyed, 2);
}

TEST(ComponentOwnership, ReparentingMovesAndNotifiesBothOwners) {
  TRecorder Old(nullptr), New(nullptr);
  auto* Child = new TKXComponent(&Old);
  Child->SetName("Child");
  Old.Log.clear();
  New.InsertComponent(Child);
  EXPECT_EQ(Child->Owner(), &New);
  EXPECT_EQ(Old.ComponentCount(), 0);
  ASSERT_EQ(Old.Log.size(), 1u);
  EXPECT_EQ(Old.Log[0].second, opRemove);
  ASSERT_EQ(New.Log.size(), 1u);
  EXPECT_EQ(New.Log[0].second, opInsert);
  EXPECT_EQ(New.FindComponent("CHILD"), Child);
}

TEST(ComponentOwnership, SiblingsHearOfInsertAndRemove) {
  TKXComponent Owner(nullptr);
  auto* Watcher = new TRecorder(&Owner);
  auto* Other = new TKXComponent(&Owner);
  ASSERT_EQ(Watcher->Log.size(), 1u);
  EXPECT_EQ(Watcher->Log[0], std::make_pair(Other, opInsert));
  delete Other;
  ASSERT_EQ(Watcher->Log.size(), 2u);
  EXPECT_EQ(Watcher->Log[1], std::make_pair(Other, opRemove));
}

TEST(ComponentOwnership, CannotOwnItselfOrAnOwner) {
  TKXComponent Root(nullptr);
  auto* Child = new TKXComponent(&Root);
  EXPECT_THROW(Child->InsertComponent(&Root), EKXException);
  EXPECT_THROW(Child->InsertComponent(Child), EKXException);
  EXPECT_EQ(Child->Owner(), &Root);
}

TEST(ComponentNames, InvalidAndDuplicateNamesAreRefused) {
  TKXComponent Owner(nullptr);
  auto* A = new TKXComponent(&Owner);
  auto* B = new TKXComponent(&Owner);
  A->SetName("Edit1");
  EXPECT_EQ(MessageOf([&] { B->SetName("EDIT1"); }), "A component named EDIT1 already exists.");
  EXPECT_EQ(B->Name(), "");
  const char* Invalid[] = {"1abc", "a b", "a-b", "ä", " x"};
  for (const char* Name : Invalid) {
    SCOPED_TRACE(Name);
    EXPECT_EQ(MessageOf([&] { B->SetName(Name); }), std::string("\"") + Name + "\" is not a valid component name.");
  }
  A->SetName("EDIT1");   // a change of case only is no clash with itself
  EXPECT_EQ(A->Name(), "EDIT1");
  B->SetName("_x9");
  EXPECT_EQ(Owner.FindComponent("_X9"), B);

  TKXComponent Other(nullptr);
  auto* Named = new TKXComponent(&Other);
  Named->SetName("edit1");
  EXPECT_THROW(Owner.InsertComponent(Named), EKXException);
  EXPECT_EQ(Named->Owner(), &Other);
}

TEST(ComponentFreeNotification, ObserverIsClearedWhenTargetGoes) {
  TKXComponent Form(nullptr);
  auto* Observer = new TTestControl(&Form);
  auto* Target = new TTestControl(nullptr);   // not owned by the observer's owner
  Observer->SetPeer(Target);
  delete Target;
  EXPECT_EQ(Observer->Peer(), nullptr);

  // An observer that goes first leaves no link behind in its target.
  auto* Target2 = new TTestControl(nullptr);
  auto* Observer2 = new TTestControl(nullptr);
  Observer2->SetPeer(Target2);
  delete Observer2;
  delete Target2;   // would touch the freed observer if the link had stayed
}

TEST(ComponentFields, PublishedFieldFollowsNamingAndRemoval) {
  TTestRoot Root(nullptr);
  auto* B = new TTestControl(&Root);
  B->SetName("button1");
  EXPECT_EQ(Root.Button1, B);
  B->SetName("Other");
  EXPECT_EQ(Root.Button1, nullptr);
  B->SetName("Button1");
  delete B;
  EXPECT_EQ(Root.Button1, nullptr);

  auto* Wrong = new TTestControl(&Root);   // Panel1 holds a TTestPanel only
  EXPECT_EQ(MessageOf([&] { Wrong->SetName("Panel1"); }), "Field Panel1 of TTestRoot cannot hold a TTestControl.");
  EXPECT_EQ(Wrong->Name(), "");
}

TEST(ClassRegistry, LookupWithoutRegardToCaseAndInheritance) {
  RegisterTestClasses();
  const TKXClassInfo* Info = KXClassRegistry().FindClass("ttestpanel");
  ASSERT_NE(Info, nullptr);
  EXPECT_EQ(Info, &TTestPanel::StaticClassInfo());
  EXPECT_TRUE(Info->InheritsFrom(TTestControl::StaticClassInfo()));
  EXPECT_TRUE(Info->InheritsFrom("TKXCOMPONENT"));
  EXPECT_FALSE(TTestControl::StaticClassInfo().InheritsFrom(*Info));
  EXPECT_EQ(KXClassRegistry().FindClass("TNoSuchClass"), nullptr);
  // The Tag property is inherited from the component base.
  EXPECT_NE(Info->FindProperty("tag"), nullptr);

  TKXComponent Owner(nullptr);
  TKXComponent* Made = Info->Create(&Owner);
  EXPECT_EQ(Made->Owner(), &Owner);
  EXPECT_EQ(Made->ClassName(), "TTestPanel");
  EXPECT_FALSE(TTestFont::StaticClassInfo().CanCreate());

  static const TKXClassInfo Impostor("TTestPanel", nullptr, nullptr);
  EXPECT_THROW(KXClassRegistry().RegisterClass(Impostor), EKXException);
}

TEST(PropertyAdapters, RangeOfNarrowIntegersAndEnumerationsIsChecked) {
  TTestControl C(nullptr);
  const TKXPropInfo* Tab = C.ClassInfo().FindProperty("TabOrder");
  Tab->SetOrdinal(C, 300);
  EXPECT_EQ(C.FTabOrder, 300);
  EXPECT_EQ(MessageOf([&] { Tab->SetOrdinal(C, 70000); }), "Value 70000 is out of range for property TabOrder.");
  EXPECT_THROW(C.ClassInfo().FindProperty("Mode")->SetOrdinal(C, 3), EKXException);
}
