#include "core/KXDescriptionWriter.h"

#include <gtest/gtest.h>

#include "core/KXDescriptionReader.h"
#include "KXTestClasses.h"

TEST(DescriptionWriter, FreshInstanceWritesOnlyItsHeader) {
  TTestRoot Root(nullptr);
  EXPECT_EQ(KXWriteDescription(Root), "object TTestRoot\nend\n");
}

TEST(DescriptionWriter, WritesChangedValuesOfEveryKind) {
  RegisterTestClasses();
  TTestRoot Root(nullptr);
  Root.SetName("Root1");
  auto* B = new TTestControl(&Root);
  B->SetName("Button1");
  B->SetParentComponent(&Root);
  B->FCaption = "It's \xC5\x82\n";
  B->FMode = tmTwo;
  B->FVisible = false;
  B->FRatio = 0.25;
  B->FColor = clTestAzure;
  B->FBrowsers = 0;
  B->FFont->FStyle = {TTestStyle::fsItalic};
  B->FFont->FLink.FFilename = "a.html";
  B->FLines = {"x=1", ""};
  KXReadComponentText(Root, "object Root1: TTestRoot\n object Button1: TTestControl\n  OnClick = Button1Click\n end\nend");
  EXPECT_EQ(KXWriteDescription(Root),
            "object Root1: TTestRoot\n"
            "  object Button1: TTestControl\n"
            "    Caption = 'It''s '#322#10\n"
            "    Visible = False\n"
            "    Ratio = 0.25\n"
            "    Mode = tmTwo\n"
            "    Browsers = []\n"
            "    Color = clWebAZURE\n"
            "    Font.Style = [fsItalic]\n"
            "    Font.Link.Filename = 'a.html'\n"
            "    Lines.Strings = (\n"
            "      'x=1'\n"
            "      '')\n"
            "    OnClick = Button1Click\n"
            "  end\n"
            "end\n");
}

TEST(DescriptionWriter, RoundTripKeepsValuesAndNesting) {
  RegisterTestClasses();
  const char* Text =
      "object Root1: TTestRoot\n"
      "  Tag = 7\n"
      "  Title = 'Za'#322'aduj'\n"
      "  OnNewSession = NewSession\n"
      "  object Panel1: TTestPanel\n"
      "    Color = 536870911\n"
      "    object Button1: TTestControl\n"
      "      Caption = 'OK'\n"
      "      Browsers = [brIE, brOpera]\n"
      "      Color = 123456\n"
      "      Font.Size = 14\n"
      "      Peer = Panel1\n"
      "      OnClick = Button1Click\n"
      "    end\n"
      "  end\n"
      "end\n";
  for (bool ByteWise : {false, true}) {
    SCOPED_TRACE(ByteWise ? "one byte at a time" : "whole");
    TTestRoot First(nullptr);
    KXReadComponentText(First, Text);
    const std::string Written = KXWriteDescription(First);
    TTestRoot Second(nullptr);
    TKXDescriptionReader Reader(Second);
    if (ByteWise)
      for (char C : Written) Reader.Feed(std::string_view(&C, 1));
    else
      Reader.Feed(Written);
    Reader.Finish();
    EXPECT_EQ(KXWriteDescription(Second), Written);
    ASSERT_NE(Second.Button1, nullptr);
    EXPECT_EQ(Second.Button1->GetParentComponent(), Second.Panel1);
    EXPECT_EQ(Second.Button1->Peer(), Second.Panel1);
    EXPECT_EQ(Second.FTitle, "Załaduj");
    EXPECT_EQ(Second.Panel1->FColor, clTestNone);   // written back by name
    EXPECT_NE(Written.find("Color = clNone"), std::string::npos);
  }
}
