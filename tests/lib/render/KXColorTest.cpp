#include <gtest/gtest.h>

#include <set>

#include "render/KXColor.h"
#include "render/KXFont.h"
#include "SkStrUtils.h"

TEST(ColorToHTMLColor, Conversions) {
  const struct {
    const char* Name;
    TKXColor Color;
    const char* Expected;
  } Cases[] = {
      {"pure red is stored blue-green-red", 0x000000FF, "#FF0000"},
      {"no colour", clNone, ""},
      {"transparent", -1, "transparent"},
      {"azure", clWebAZURE, "#F0FFFF"},
      {"mixed digits", KXColorFromRGBHex(0x0A1B2C), "#0A1B2C"},
      {"light slate blue (not CSS)", clWebLIGHTSLATEBLUE, "#8470FF"},
      {"violet red (not CSS)", clWebVIOLETRED, "#D02090"},
      {"button face", clBtnFace, "#F0F0F0"},
      {"menu highlight", clMenuHighlight, "#3399FF"},
      {"window", clWindow, "#FFFFFF"},
      {"window text", clWindowText, "#000000"},
      {"info background", clInfoBk, "#FFFFE1"},
      {"unknown system colour", KXSystemColor(200), "#000000"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(ColorToHTMLColor(Case.Color), Case.Expected);
  }
  EXPECT_EQ(clBtnFace, static_cast<TKXColor>(0xFF00000F));
  EXPECT_EQ(clWindowText, static_cast<TKXColor>(0xFF000008));
  EXPECT_EQ(clNone, 0x1FFFFFFF);
  EXPECT_TRUE(IsSystemColor(clMenuHighlight));
  EXPECT_FALSE(IsSystemColor(clWebTransparent));
  EXPECT_FALSE(IsSystemColor(clNone));
}

TEST(WebColors, CSSValuesOfTheTable) {
  // Written from the CSS colour list, independently of the table.
  const struct {
    const char* Ident;
    const char* Hex;
    const char* CSS;
  } Cases[] = {
      {"clWebALICEBLUE", "#F0F8FF", "aliceblue"},       {"clWebBLANCHEDALMOND", "#FFEBCD", "blanchedalmond"},
      {"clWebCRIMSON", "#DC143C", "crimson"},           {"clWebDARKGOLDENROD", "#B8860B", "darkgoldenrod"},
      {"clWebDARKSLATEGRAY", "#2F4F4F", "darkslategray"}, {"clWebFIREBRICK", "#B22222", "firebrick"},
      {"clWebGRAY", "#808080", "gray"},                 {"clWebINDIGO", "#4B0082", "indigo"},
      {"clWebLIGHTGOLDENRODYELLOW", "#FAFAD2", "lightgoldenrodyellow"},
      {"clWebMEDIUMSPRINGGREEN", "#00FA9A", "mediumspringgreen"},
      {"clWebNAVAJOWHITE", "#FFDEAD", "navajowhite"},   {"clWebPAPAYAWHIP", "#FFEFD5", "papayawhip"},
      {"clWebREBECCAPURPLE_absent", "", ""},            {"clWebSADDLEBROWN", "#8B4513", "saddlebrown"},
      {"clWebTEAL", "#008080", "teal"},                 {"clWebYELLOW", "#FFFF00", "yellow"},
      {"clWebLIGHTSLATEBLUE", "#8470FF", "#8470FF"},    {"clWebVIOLETRED", "#D02090", "#D02090"},
      {"clWebTransparent", "transparent", "transparent"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Ident);
    TKXColor C = 0;
    if (!*Case.Hex) {
      EXPECT_FALSE(IdentToColor(Case.Ident, C));
      continue;
    }
    ASSERT_TRUE(IdentToColor(Case.Ident, C));
    EXPECT_EQ(ColorToHTMLColor(C), Case.Hex);
    EXPECT_EQ(WebColorToCSS(C), Case.CSS);
  }
  EXPECT_EQ(WebColorToCSS(clBtnFace), "");
}

TEST(WebColors, AllEntriesRoundTrip) {
  std::set<std::string> Names;
  EXPECT_STREQ(KXWebColors[0].Name, "clWebTransparent");
  for (const TKXColorIdent& E : KXWebColors) {
    SCOPED_TRACE(E.Name);
    EXPECT_TRUE(Names.insert(UpperCase(E.Name)).second) << "duplicate name";
    TKXColor C = 0;
    ASSERT_TRUE(IdentToColor(E.Name, C));
    EXPECT_EQ(C, E.Value);
    ASSERT_TRUE(IdentToColor(LowerCase(E.Name), C));   // without regard to case
    EXPECT_EQ(C, E.Value);
    std::string Back;
    ASSERT_TRUE(ColorToIdent(E.Value, Back));
    TKXColor Again = 0;
    ASSERT_TRUE(IdentToColor(Back, Again));
    EXPECT_EQ(Again, E.Value);
    const std::string Name = E.Name;
    if (Name == "clWebCYAN") {
      EXPECT_EQ(Back, "clWebAQUA");
    } else if (Name == "clWebMAGENTA") {
      EXPECT_EQ(Back, "clWebFUCHSIA");
    } else {
      EXPECT_EQ(Back, Name);
    }
    if (E.Value == clWebTransparent) continue;
    EXPECT_EQ(E.Value & ~0xFFFFFF, 0) << "plain colours have an empty top byte";
    const std::string CSS = WebColorToCSS(E.Value);
    if (Name == "clWebLIGHTSLATEBLUE" || Name == "clWebVIOLETRED") EXPECT_EQ(CSS, ColorToHTMLColor(E.Value));
    else EXPECT_EQ(CSS, LowerCase(Back.substr(5)));
  }
  EXPECT_EQ(Names.size(), 142u);
}

TEST(PlatformColors, NamesBothWaysAndFallback) {
  const struct {
    const char* Ident;
    TKXColor Value;
  } Cases[] = {
      {"clNone", clNone},           {"clBtnFace", clBtnFace},     {"clMenuHighlight", clMenuHighlight},
      {"clWindow", clWindow},       {"clWindowText", clWindowText}, {"clHighlight", clHighlight},
      {"clDefault", clDefault},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Ident);
    TKXColor C = 0;
    ASSERT_TRUE(IdentToColor(Case.Ident, C));
    EXPECT_EQ(C, Case.Value);
    std::string Back;
    ASSERT_TRUE(ColorToIdent(Case.Value, Back));
    EXPECT_EQ(Back, Case.Ident);
  }
  // A basic colour that the web table also has maps to the web name first.
  std::string Back;
  ASSERT_TRUE(ColorToIdent(clRed, Back));
  EXPECT_EQ(Back, "clWebRED");
  TKXColor C = 0;
  ASSERT_TRUE(IdentToColor("clRed", C));
  EXPECT_EQ(ColorToHTMLColor(C), "#FF0000");
  EXPECT_FALSE(ColorToIdent(KXColorFromRGBHex(0x123456), Back));
  EXPECT_FALSE(IdentToColor("clNoSuchColour", C));
}

// The style text of a font is kept between pages; every change and every other browser must
// still be seen at once, however the font was changed.
TEST(FontStyle, FollowsEveryChangeAfterBeingKept) {
  TKXFont F;
  const std::string IE = F.FontToStringStyle(brIE);
  const std::string Gecko = F.FontToStringStyle(brGecko);
  EXPECT_EQ(IE, "font-weight:normal;font-style:normal;text-decoration: none;font-size:13px; ");
  EXPECT_EQ(Gecko, "font-style:normal;font-weight:normal;font-size:13px;text-decoration: none;");
  EXPECT_EQ(F.FontToStringStyle(brIE), IE);
  F.SetSize(12);
  EXPECT_EQ(F.FontToStringStyle(brIE), "font-weight:normal;font-style:normal;text-decoration: none;font-size:16px; ");
  F.SetFontFamily("serif");
  EXPECT_NE(F.FontToStringStyle(brIE).find("font-family:serif;"), std::string::npos);
  F.SetFontVariant("small-caps");
  EXPECT_NE(F.FontToStringStyle(brIE).find("font-variant:small-caps;"), std::string::npos);
  F.SetColor(0x000000FF);
  EXPECT_NE(F.FontToStringStyle(brIE).find("color:#FF0000;"), std::string::npos);
  F.SetStyle(TKXFontStyles{fsBold});
  EXPECT_NE(F.FontToStringStyle(brIE).find("font-weight:bold;"), std::string::npos);
  F.SetFontName("Tahoma");
  EXPECT_NE(F.FontToStringStyle(brGecko).find("font-family:'Tahoma';"), std::string::npos);
  TKXFont Other;
  F.Assign(Other);
  EXPECT_EQ(F.FontToStringStyle(brIE), IE);
  F.SetEnabled(false);
  EXPECT_EQ(F.FontToStringStyle(brIE), "");
}
