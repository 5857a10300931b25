#include "core/KXDescriptionReader.h"
#include "core/KXGlobal.h"

#include <gtest/gtest.h>

#include "core/KXComponent.h"
#include "core/KXResources.h"
#include "KXTestClasses.h"

namespace {

void Read(TKXComponent& ARoot, std::string_view AText, bool AByteWise) {
  TKXDescriptionReader Reader(ARoot);
  if (AByteWise)
    for (char C : AText) Reader.Feed(std::string_view(&C, 1));
  else
    Reader.Feed(AText);
  Reader.Finish();
  for (TKXComponent* C : Reader.LoadedComponents()) C->Loaded();
}

std::string ReadError(std::string_view AText, bool AByteWise, size_t AMaxDepth = 32, size_t AMaxValue = 1 << 20) {
  TTestRoot Root(nullptr);
  TKXDescriptionReader Reader(Root);
  Reader.SetMaxDepth(AMaxDepth);
  Reader.SetMaxValueLength(AMaxValue);
  try {
    if (AByteWise)
      for (char C : AText) Reader.Feed(std::string_view(&C, 1));
    else
      Reader.Feed(AText);
    Reader.Finish();
  } catch (const EKXDescriptionError& E) {
    return E.what();
  }
  return "(no error)";
}

const char* const kFull =
    "object Root1: TTestRoot\n"
    "  Tag = -42\n"
    "  Title = 'Za'#322'aduj' + ' it''s' +\n"
    "    ' hasło'\n"
    "  OnNewSession = NewSession\n"
    "  object Button1: TTestControl\n"
    "    Caption = 'OK'\n"
    "    TabOrder = 3\n"
    "    Visible = False\n"
    "    Ratio = -2.5E1\n"
    "    Mode = TMTHREE\n"
    "    Browsers = [brGecko, brSafari]\n"
    "    Color = clWebAZURE\n"
    "    Font.Size = 12\n"
    "    Font.Color = 255\n"
    "    Font.Style = [fsBold, fsUnderline]\n"
    "    Font.Link.URL = 'http://x/'\n"
    "    Lines.Strings = (\n"
    "      'a=b'\n"
    "      'c' + '=d'\n"
    "      '')\n"
    "    Peer = Inner\n"
    "    OnClick = Button1Click\n"
    "  end\n"
    "  object Panel1: TTestPanel\n"
    "    Color = $00FF00\n"
    "    Font.Style = []\n"
    "    object Inner: TTestControl\n"
    "      Lines = ('x'#13#10'y')\n"
    "    end\n"
    "  end\n"
    "end\n";

}  // namespace

TEST(DescriptionReader, EveryPropertyKindWholeAndByteByByte) {
  RegisterTestClasses();
  for (bool ByteWise : {false, true}) {
    SCOPED_TRACE(ByteWise ? "one byte at a time" : "whole");
    TTestRoot Root(nullptr);
    Read(Root, kFull, ByteWise);
    EXPECT_EQ(Root.Name(), "Root1");
    EXPECT_EQ(Root.Tag(), -42);
    EXPECT_EQ(Root.FTitle, "Załaduj it's hasło");
    EXPECT_EQ(Root.FLoadedCount, 1);
    EXPECT_FALSE(Root.Loading());
    ASSERT_EQ(Root.ComponentCount(), 3);

    TTestControl* B = Root.Button1;
    ASSERT_NE(B, nullptr);
    EXPECT_EQ(B->Owner(), &Root);
    EXPECT_EQ(B->GetParentComponent(), &Root);
    EXPECT_EQ(B->FCaption, "OK");
    EXPECT_EQ(B->FTabOrder, 3);
    EXPECT_FALSE(B->FVisible);
    EXPECT_DOUBLE_EQ(B->FRatio, -25.0);
    EXPECT_EQ(B->FMode, tmThree);
    EXPECT_EQ(B->FBrowsers, (1u << brGecko) | (1u << brSafari));
    EXPECT_EQ(B->FColor, clTestAzure);
    EXPECT_EQ(B->FFont->FSize, 12);
    EXPECT_EQ(B->FFont->FColor, 255);
    EXPECT_EQ(B->FFont->FStyle, (std::set<TTestStyle>{TTestStyle::fsBold, TTestStyle::fsUnderline}));
    EXPECT_EQ(B->FFont->FLink.FURL, "http://x/");
    EXPECT_EQ(B->FLines.Lines(), (std::vector<std::string>{"a=b", "c=d", ""}));
    EXPECT_EQ(B->FLoadedCount, 1);

    ASSERT_NE(Root.Panel1, nullptr);
    EXPECT_EQ(Root.Panel1->FColor, 0x00FF00);
    EXPECT_TRUE(Root.Panel1->FFont->FStyle.empty());
    auto* Inner = dynamic_cast<TTestControl*>(Root.FindComponent("inner"));
    ASSERT_NE(Inner, nullptr);
    EXPECT_EQ(Inner->Owner(), &Root);   // the root owns nested blocks...
    EXPECT_EQ(Inner->GetParentComponent(), Root.Panel1);   // ...the enclosing block parents them
    EXPECT_EQ(Inner->FLines.Lines(), (std::vector<std::string>{"x\r\ny"}));
    EXPECT_EQ(B->Peer(), Inner);   // a reference to a later block

    ASSERT_TRUE(B->OnClick);
    B->OnClick(B);
    EXPECT_EQ(Root.Clicked, std::vector<TKXComponent*>{B});
    TTestForm* MainForm = nullptr;
    ASSERT_TRUE(Root.OnNewSession);
    Root.OnNewSession(nullptr, MainForm);   // a reference parameter reaches the handler
    EXPECT_EQ(MainForm, reinterpret_cast<TTestForm*>(&Root));
  }
}

TEST(DescriptionReader, SecondRootUnderOneOwnerGetsASuffixedName) {
  TKXComponent Session(nullptr);
  auto* A = new TTestRoot(&Session);
  auto* B = new TTestRoot(&Session);
  Read(*A, "object Form1: TTestRoot\nend", false);
  Read(*B, "object Form1: TTestRoot\nend", false);
  EXPECT_EQ(A->Name(), "Form1");
  EXPECT_EQ(B->Name(), "Form1_1");
}

TEST(DescriptionReader, ErrorsNameTheLine) {
  RegisterTestClasses();
  const struct {
    const char* Name;
    const char* Text;
    const char* Message;
  } Cases[] = {
      {"unknown property", "object R: TTestRoot\n  Title = 'x'\n  Foo = 1\nend", "Line 3: Property Foo does not exist"},
      {"unknown nested property", "object R: TTestRoot\n object B: TTestControl\n  Font.Sise = 1\n end\nend",
       "Line 3: Property Font.Sise does not exist"},
      {"unknown class", "object R: TTestRoot\n  object B: TNoSuch\n  end\nend", "Line 2: Class TNoSuch not found"},
      {"wrong root class", "object R: TTestControl\nend", "Line 1: A TTestControl description cannot be applied to a TTestRoot"},
      {"unknown enumeration value", "object R: TTestRoot\n object B: TTestControl\n  Mode = tmFour\n end\nend",
       "Line 3: tmFour is not a valid TTestMode value"},
      {"unknown set member", "object R: TTestRoot\n object B: TTestControl\n  Browsers = [brIE, brLynx]\n end\nend",
       "Line 3: brLynx is not a valid TTestBrowser value"},
      {"unknown colour", "object R: TTestRoot\n object B: TTestControl\n  Color = clPurpleish\n end\nend",
       "Line 3: clPurpleish is not a valid colour"},
      {"string for an integer", "object R: TTestRoot\n  Tag = '1'\nend", "Line 2: Invalid value for property Tag"},
      {"setter refuses", "object R: TTestRoot\n object B: TTestControl\n  TabOrder = 70000\n end\nend",
       "Line 3: Value 70000 is out of range for property TabOrder."},
      {"unknown method", "object R: TTestRoot\n\n  OnCreate = Nope\nend", "Line 3: Method Nope not found in TTestRoot"},
      {"signature mismatch", "object R: TTestRoot\n  OnCreate = NewSession\nend",
       "Line 2: Method NewSession does not match the signature of OnCreate"},
      {"missing equals", "object R: TTestRoot\n  Title 'x'\nend", "Line 2: '=' expected"},
      {"unterminated string", "object R: TTestRoot\n  Title = 'x\nend", "Line 2: Unterminated string"},
      {"bad character code", "object R: TTestRoot\n  Title = #1114112\nend", "Line 2: Invalid character code"},
      {"lone surrogate", "object R: TTestRoot\n  Title = #55357'x'\nend", "Line 2: Invalid character code"},
      {"invalid number", "object R: TTestRoot\n  Tag = 1.2.3\nend", "Line 2: Invalid number"},
      {"integer overflow", "object R: TTestRoot\n  Tag = 99999999999999999999\nend", "Line 2: Invalid number"},
      {"text after the end", "object R: TTestRoot\nend\nobject", "Line 3: Unexpected text after the end of the description"},
      {"unexpected end", "object R: TTestRoot\n  object B: TTestControl\n", "Line 3: Unexpected end of description"},
      {"unresolved reference", "object R: TTestRoot\n object B: TTestControl\n  Peer = Ghost\n end\nend",
       "Line 3: Component Ghost not found"},
      {"duplicate component", "object R: TTestRoot\n object B: TTestControl\n end\n object b: TTestPanel\n end\nend",
       "Line 4: A component named b already exists."},
      {"field of another class", "object R: TTestRoot\n object Panel1: TTestControl\n end\nend",
       "Line 2: Field Panel1 of TTestRoot cannot hold a TTestControl."},
      {"invalid UTF-8", "object R: TTestRoot\n  Title = '\xC3'\nend", "Line 2: Invalid UTF-8 text"},
      {"stray character", "object R: TTestRoot\n  Title = ;\nend", "Line 2: Invalid character #59"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(ReadError(Case.Text, false), Case.Message);
    EXPECT_EQ(ReadError(Case.Text, true), Case.Message);
  }
}

TEST(DescriptionReader, LimitsOnDepthAndValueLength) {
  RegisterTestClasses();
  std::string Deep = "object R: TTestRoot\n";
  for (int I = 0; I < 5; ++I) Deep += " object P" + std::to_string(I) + ": TTestPanel\n";
  for (int I = 0; I < 5; ++I) Deep += " end\n";
  Deep += "end\n";
  EXPECT_EQ(ReadError(Deep, false, 6), "(no error)");
  EXPECT_EQ(ReadError(Deep, false, 5), "Line 6: Objects nested deeper than 5 levels");

  const std::string Long = "object R: TTestRoot\n  Title = '" + std::string(40, 'x') + "'\nend";
  EXPECT_EQ(ReadError(Long, false, 32, 40), "(no error)");
  EXPECT_EQ(ReadError(Long, true, 32, 39), "Line 2: Value longer than 39 bytes");
  const std::string Joined = "object R: TTestRoot\n  Title = '" + std::string(20, 'x') + "' + '" + std::string(20, 'y') + "'\nend";
  EXPECT_EQ(ReadError(Joined, false, 32, 39), "Line 2: Value longer than 39 bytes");
  const std::string List = "object R: TTestRoot\n object B: TTestControl\n  Lines.Strings = ('" + std::string(20, 'x') +
                           "' '" + std::string(20, 'y') + "')\n end\nend";
  EXPECT_EQ(ReadError(List, false, 32, 39), "Line 3: Value longer than 39 bytes");
}

TEST(DescriptionReader, AFailedReaderStaysFailed) {
  TTestRoot Root(nullptr);
  TKXDescriptionReader Reader(Root);
  EXPECT_THROW(Reader.Feed("object R: TTestRoot\n  Foo = 1\n"), EKXDescriptionError);
  EXPECT_THROW(Reader.Feed("end\n"), EKXDescriptionError);
  EXPECT_THROW(Reader.Finish(), EKXDescriptionError);
}

namespace {

class TResourceRoot : public TTestRoot {
public:
  using TTestRoot::TTestRoot;
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TResourceRoot::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TResourceRoot, TTestRoot>("TResourceRoot");
  return Info;
}

class TNoResourceRoot : public TTestRoot {
public:
  using TTestRoot::TTestRoot;
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TNoResourceRoot::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TNoResourceRoot, TTestRoot>("TNoResourceRoot");
  return Info;
}

}  // namespace

TEST(DescriptionResource, AppliedByClassNameOrRefusedExactly) {
  RegisterTestClasses();
  KXRegisterResource("tresourceroot", "object ResourceRoot: TResourceRoot\n  Title = 'stored'\nend\n");
  TResourceRoot Root(nullptr);
  KXReadComponentResource(Root);
  EXPECT_EQ(Root.FTitle, "stored");
  EXPECT_EQ(Root.FLoadedCount, 1);

  TNoResourceRoot Bare(nullptr);
  try {
    KXReadComponentResource(Bare);
    FAIL() << "no exception";
  } catch (const EKXResNotFound& E) {
    EXPECT_STREQ(E.what(), "TNoResourceRoot not found.");
  }
}

namespace {

class TDerivedRoot : public TResourceRoot {
public:
  using TResourceRoot::TResourceRoot;
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TDerivedRoot::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TDerivedRoot, TResourceRoot>("TDerivedRoot");
  return Info;
}

}  // namespace

TEST(DescriptionResource, AncestorDescriptionFirstThenTheClassOwn) {
  RegisterTestClasses();
  KXRegisterResource("TResourceRoot", "object ResourceRoot: TResourceRoot\n  Title = 'stored'\nend\n");
  KXRegisterResource("TDerivedRoot",
                     "inherited DerivedRoot: TDerivedRoot\n  Tag = 5\n"
                     "  object Button1: TTestControl\n    Caption = 'derived'\n  end\nend\n");
  TDerivedRoot Root(nullptr);
  KXReadComponentResource(Root);
  EXPECT_EQ(Root.FTitle, "stored");
  EXPECT_EQ(Root.Tag(), 5);
  EXPECT_EQ(Root.Name(), "DerivedRoot");
  ASSERT_NE(Root.Button1, nullptr);
  EXPECT_EQ(Root.Button1->FCaption, "derived");
  EXPECT_EQ(Root.FLoadedCount, 1);   // once, after both descriptions
}

// The thread's current session for the scope of a test, knowing one other root as "Other".
struct TOneRootScope : IKXSessionScope {
  explicit TOneRootScope(TKXComponent& ARoot) : Root(ARoot), Previous(SetCurrentSessionScope(this)) {}
  ~TOneRootScope() { Leave(); }
  void Leave() { SetCurrentSessionScope(Previous); }
  void AdoptDataModule(TKXComponent*) override {}
  void DropDataModule(TKXComponent*) override {}
  TKXComponent* FindSessionComponent(std::string_view AName) override { return SameText(AName, "other") ? &Root : nullptr; }
  TKXComponent& Root;
  IKXSessionScope* Previous;
};

TEST(DescriptionReader, ReferenceToAnotherRootGoesThroughTheSession) {
  RegisterTestClasses();
  TTestRoot Other(nullptr);
  KXReadComponentText(Other, "object Other: TTestRoot\n object Button1: TTestControl\n end\nend");
  TOneRootScope Lookup(Other);
  TTestRoot Root(nullptr);
  KXReadComponentText(Root, "object R: TTestRoot\n object Button1: TTestControl\n  Peer = Other.Button1\n end\nend");
  Lookup.Leave();
  ASSERT_NE(Root.Button1, nullptr);
  EXPECT_EQ(Root.Button1->Peer(), Other.Button1);
}

namespace {

class TReplayRoot : public TTestRoot {
public:
  using TTestRoot::TTestRoot;
  KX_DECLARE_CLASS_INFO
};

const TKXClassInfo& TReplayRoot::StaticClassInfo() {
  static const TKXClassInfo Info = KXClass<TReplayRoot, TTestRoot>("TReplayRoot");
  return Info;
}

}  // namespace

// The stored text is read once and replayed onto later instances: each gets every value, its own
// components and references, and a free name under the shared owner.
TEST(DescriptionResource, LaterInstancesGetTheSameValuesAndTheirOwnComponents) {
  RegisterTestClasses();
  std::string Text = kFull;
  Text.replace(Text.find("object Root1: TTestRoot"), 23, "object Root1: TReplayRoot");
  KXRegisterResource("TReplayRoot", Text);
  TKXComponent Session(nullptr);
  std::vector<TReplayRoot*> Roots;
  for (int I = 0; I < 3; ++I) {
    Roots.push_back(new TReplayRoot(&Session));
    KXReadComponentResource(*Roots.back());
  }
  EXPECT_EQ(Roots[0]->Name(), "Root1");
  EXPECT_EQ(Roots[1]->Name(), "Root1_1");
  EXPECT_EQ(Roots[2]->Name(), "Root1_2");
  for (TReplayRoot* R : Roots) {
    SCOPED_TRACE(R->Name());
    EXPECT_EQ(R->FTitle, "Załaduj it's hasło");
    EXPECT_EQ(R->FLoadedCount, 1);
    ASSERT_NE(R->Button1, nullptr);
    EXPECT_EQ(R->Button1->Owner(), R);
    EXPECT_EQ(R->Button1->FFont->FStyle, (std::set<TTestStyle>{TTestStyle::fsBold, TTestStyle::fsUnderline}));
    EXPECT_EQ(R->Button1->FLines.Lines(), (std::vector<std::string>{"a=b", "c=d", ""}));
    EXPECT_EQ(R->Button1->Peer(), R->FindComponent("Inner"));
    ASSERT_TRUE(R->Button1->OnClick);
    R->Button1->OnClick(R->Button1);
    EXPECT_EQ(R->Clicked, std::vector<TKXComponent*>{R->Button1});
  }

  // A text that reads for one instance and not for the next fails there as a fresh read would.
  KXRegisterResource("TReplayRoot", "object Linked: TReplayRoot\n object Button1: TTestControl\n"
                                    "  Peer = Other.Button1\n end\nend");
  TTestRoot Other(nullptr);
  KXReadComponentText(Other, "object Other: TTestRoot\n object Button1: TTestControl\n end\nend");
  TOneRootScope Lookup(Other);
  TReplayRoot Linked(nullptr);
  KXReadComponentResource(Linked);
  Lookup.Leave();
  EXPECT_EQ(Linked.Button1->Peer(), Other.Button1);
  TReplayRoot Unlinked(nullptr);
  try {
    KXReadComponentResource(Unlinked);
    FAIL() << "no exception";
  } catch (const EKXDescriptionError& E) {
    EXPECT_STREQ(E.what(), "Line 3: Component Other.Button1 not found");
  }
}

TEST(DescriptionReader, SuffixedNameTakesTheFirstFreeOne) {
  TKXComponent Session(nullptr);
  auto* A = new TTestRoot(&Session);
  A->SetName("form1");   // names compare without regard to case
  (new TTestRoot(&Session))->SetName("Form1_2");
  (new TTestRoot(&Session))->SetName("Form1_01");   // not a suffix Form1_1 would collide with
  auto* B = new TTestRoot(&Session);
  auto* C = new TTestRoot(&Session);
  Read(*B, "object Form1: TTestRoot\nend", false);
  Read(*C, "object Form1: TTestRoot\nend", false);
  EXPECT_EQ(B->Name(), "Form1_1");
  EXPECT_EQ(C->Name(), "Form1_3");
  Read(*C, "object Form1: TTestRoot\nend", false);   // read again: it keeps a name that is its own
  EXPECT_EQ(C->Name(), "Form1_3");
}
