#include "render/KXColor.h"

#include "SkStrUtils.h"

const TKXColorIdent KXWebColors[KXWebColorCount] = {
    {"clWebTransparent", clWebTransparent},
    {"clWebALICEBLUE", clWebALICEBLUE},
    {"clWebANTIQUEWHITE", clWebANTIQUEWHITE},
    {"clWebAQUA", clWebAQUA},
    {"clWebAQUAMARINE", clWebAQUAMARINE},
    {"clWebAZURE", clWebAZURE},
    {"clWebBEIGE", clWebBEIGE},
    {"clWebBISQUE", clWebBISQUE},
    {"clWebBLACK", clWebBLACK},
    {"clWebBLANCHEDALMOND", clWebBLANCHEDALMOND},
    {"clWebBLUE", clWebBLUE},
    {"clWebBLUEVIOLET", clWebBLUEVIOLET},
    {"clWebBROWN", clWebBROWN},
    {"clWebBURLYWOOD", clWebBURLYWOOD},
    {"clWebCADETBLUE", clWebCADETBLUE},
    {"clWebCHARTREUSE", clWebCHARTREUSE},
    {"clWebCHOCOLATE", clWebCHOCOLATE},
    {"clWebCORAL", clWebCORAL},
    {"clWebCORNFLOWERBLUE", clWebCORNFLOWERBLUE},
    {"clWebCORNSILK", clWebCORNSILK},
    {"clWebCRIMSON", clWebCRIMSON},
    {"clWebCYAN", clWebCYAN},
    {"clWebDARKBLUE", clWebDARKBLUE},
    {"clWebDARKCYAN", clWebDARKCYAN},
    {"clWebDARKGOLDENROD", clWebDARKGOLDENROD},
    {"clWebDARKGRAY", clWebDARKGRAY},
    {"clWebDARKGREEN", clWebDARKGREEN},
    {"clWebDARKKHAKI", clWebDARKKHAKI},
    {"clWebDARKMAGENTA", clWebDARKMAGENTA},
    {"clWebDARKOLIVEGREEN", clWebDARKOLIVEGREEN},
    {"clWebDARKORANGE", clWebDARKORANGE},
    {"clWebDARKORCHID", clWebDARKORCHID},
    {"clWebDARKRED", clWebDARKRED},
    {"clWebDARKSALMON", clWebDARKSALMON},
    {"clWebDARKSEAGREEN", clWebDARKSEAGREEN},
    {"clWebDARKSLATEBLUE", clWebDARKSLATEBLUE},
    {"clWebDARKSLATEGRAY", clWebDARKSLATEGRAY},
    {"clWebDARKTURQUOISE", clWebDARKTURQUOISE},
    {"clWebDARKVIOLET", clWebDARKVIOLET},
    {"clWebDEEPPINK", clWebDEEPPINK},
    {"clWebDEEPSKYBLUE", clWebDEEPSKYBLUE},
    {"clWebDIMGRAY", clWebDIMGRAY},
    {"clWebDODGERBLUE", clWebDODGERBLUE},
    {"clWebFIREBRICK", clWebFIREBRICK},
    {"clWebFLORALWHITE", clWebFLORALWHITE},
    {"clWebFORESTGREEN", clWebFORESTGREEN},
    {"clWebFUCHSIA", clWebFUCHSIA},
    {"clWebGAINSBORO", clWebGAINSBORO},
    {"clWebGHOSTWHITE", clWebGHOSTWHITE},
    {"clWebGOLD", clWebGOLD},
    {"clWebGOLDENROD", clWebGOLDENROD},
    {"clWebGRAY", clWebGRAY},
    {"clWebGREEN", clWebGREEN},
    {"clWebGREENYELLOW", clWebGREENYELLOW},
    {"clWebHONEYDEW", clWebHONEYDEW},
    {"clWebHOTPINK", clWebHOTPINK},
    {"clWebINDIANRED", clWebINDIANRED},
    {"clWebINDIGO", clWebINDIGO},
    {"clWebIVORY", clWebIVORY},
    {"clWebKHAKI", clWebKHAKI},
    {"clWebLAVENDER", clWebLAVENDER},
    {"clWebLAVENDERBLUSH", clWebLAVENDERBLUSH},
    {"clWebLAWNGREEN", clWebLAWNGREEN},
    {"clWebLEMONCHIFFON", clWebLEMONCHIFFON},
    {"clWebLIGHTBLUE", clWebLIGHTBLUE},
    {"clWebLIGHTCORAL", clWebLIGHTCORAL},
    {"clWebLIGHTCYAN", clWebLIGHTCYAN},
    {"clWebLIGHTGOLDENRODYELLOW", clWebLIGHTGOLDENRODYELLOW},
    {"clWebLIGHTGREEN", clWebLIGHTGREEN},
    {"clWebLIGHTGRAY", clWebLIGHTGRAY},
    {"clWebLIGHTPINK", clWebLIGHTPINK},
    {"clWebLIGHTSALMON", clWebLIGHTSALMON},
    {"clWebLIGHTSEAGREEN", clWebLIGHTSEAGREEN},
    {"clWebLIGHTSKYBLUE", clWebLIGHTSKYBLUE},
    {"clWebLIGHTSLATEBLUE", clWebLIGHTSLATEBLUE},
    {"clWebLIGHTSLATEGRAY", clWebLIGHTSLATEGRAY},
    {"clWebLIGHTSTEELBLUE", clWebLIGHTSTEELBLUE},
    {"clWebLIGHTYELLOW", clWebLIGHTYELLOW},
    {"clWebLIME", clWebLIME},
    {"clWebLIMEGREEN", clWebLIMEGREEN},
    {"clWebLINEN", clWebLINEN},
    {"clWebMAGENTA", clWebMAGENTA},
    {"clWebMAROON", clWebMAROON},
    {"clWebMEDIUMAQUAMARINE", clWebMEDIUMAQUAMARINE},
    {"clWebMEDIUMBLUE", clWebMEDIUMBLUE},
    {"clWebMEDIUMORCHID", clWebMEDIUMORCHID},
    {"clWebMEDIUMPURPLE", clWebMEDIUMPURPLE},
    {"clWebMEDIUMSEAGREEN", clWebMEDIUMSEAGREEN},
    {"clWebMEDIUMSLATEBLUE", clWebMEDIUMSLATEBLUE},
    {"clWebMEDIUMSPRINGGREEN", clWebMEDIUMSPRINGGREEN},
    {"clWebMEDIUMTURQUOISE", clWebMEDIUMTURQUOISE},
    {"clWebMEDIUMVIOLETRED", clWebMEDIUMVIOLETRED},
    {"clWebMIDNIGHTBLUE", clWebMIDNIGHTBLUE},
    {"clWebMINTCREAM", clWebMINTCREAM},
    {"clWebMISTYROSE", clWebMISTYROSE},
    {"clWebMOCCASIN", clWebMOCCASIN},
    {"clWebNAVAJOWHITE", clWebNAVAJOWHITE},
    {"clWebNAVY", clWebNAVY},
    {"clWebOLDLACE", clWebOLDLACE},
    {"clWebOLIVE", clWebOLIVE},
    {"clWebOLIVEDRAB", clWebOLIVEDRAB},
    {"clWebORANGE", clWebORANGE},
    {"clWebORANGERED", clWebORANGERED},
    {"clWebORCHID", clWebORCHID},
    {"clWebPALEGOLDENROD", clWebPALEGOLDENROD},
    {"clWebPALEGREEN", clWebPALEGREEN},
    {"clWebPALETURQUOISE", clWebPALETURQUOISE},
    {"clWebPALEVIOLETRED", clWebPALEVIOLETRED},
    {"clWebPAPAYAWHIP", clWebPAPAYAWHIP},
    {"clWebPEACHPUFF", clWebPEACHPUFF},
    {"clWebPERU", clWebPERU},
    {"clWebPINK", clWebPINK},
    {"clWebPLUM", clWebPLUM},
    {"clWebPOWDERBLUE", clWebPOWDERBLUE},
    {"clWebPURPLE", clWebPURPLE},
    {"clWebRED", clWebRED},
    {"clWebROSYBROWN", clWebROSYBROWN},
    {"clWebROYALBLUE", clWebROYALBLUE},
    {"clWebSADDLEBROWN", clWebSADDLEBROWN},
    {"clWebSALMON", clWebSALMON},
    {"clWebSANDYBROWN", clWebSANDYBROWN},
    {"clWebSEAGREEN", clWebSEAGREEN},
    {"clWebSEASHELL", clWebSEASHELL},
    {"clWebSIENNA", clWebSIENNA},
    {"clWebSILVER", clWebSILVER},
    {"clWebSKYBLUE", clWebSKYBLUE},
    {"clWebSLATEBLUE", clWebSLATEBLUE},
    {"clWebSLATEGRAY", clWebSLATEGRAY},
    {"clWebSNOW", clWebSNOW},
    {"clWebSPRINGGREEN", clWebSPRINGGREEN},
    {"clWebSTEELBLUE", clWebSTEELBLUE},
    {"clWebTAN", clWebTAN},
    {"clWebTEAL", clWebTEAL},
    {"clWebTHISTLE", clWebTHISTLE},
    {"clWebTOMATO", clWebTOMATO},
    {"clWebTURQUOISE", clWebTURQUOISE},
    {"clWebVIOLET", clWebVIOLET},
    {"clWebVIOLETRED", clWebVIOLETRED},
    {"clWebWHEAT", clWebWHEAT},
    {"clWebWHITE", clWebWHITE},
    {"clWebWHITESMOKE", clWebWHITESMOKE},
    {"clWebYELLOW", clWebYELLOW},
};

const TKXColorIdent KXPlatformColors[] = {
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
};
const int KXPlatformColorCount = static_cast<int>(sizeof(KXPlatformColors) / sizeof(KXPlatformColors[0]));

namespace {

// RGB of each system colour number (0xRRGGBB; index 25 has no colour and resolves to black).
// A light desktop theme: pages rendered by a server cannot follow the visitor's theme.
constexpr uint32_t kSystemColorTable[] = {
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 desktop background
    0x99B4D1,  // 2 active caption
    0xBFCDDB,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xF4F7FC,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0x3399FF,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 gray text
    0x000000,  // 18 button text
    0x434E54,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3D dark shadow
    0xE3E3E3,  // 22 3D light
    0x000000,  // 23 info text
    0xFFFFE1,  // 24 info background
    0x000000,  // 25 (unused)
    0x0066CC,  // 26 hot light
    0xB9D1EA,  // 27 gradient active caption
    0xD7E4F2,  // 28 gradient inactive caption
    0x3399FF,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};
constexpr uint32_t kSystemColorCount = sizeof(kSystemColorTable) / sizeof(kSystemColorTable[0]);

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexRGB(TKXColor ARGB) {
  const uint32_t V = static_cast<uint32_t>(ARGB);
  const unsigned char Bytes[3] = {static_cast<unsigned char>(V & 0xFF), static_cast<unsigned char>((V >> 8) & 0xFF),
                                  static_cast<unsigned char>((V >> 16) & 0xFF)};
  std::string R(7, '#');
  for (int I = 0; I < 3; ++I) {
    R[1 + 2 * I] = kHexDigits[Bytes[I] >> 4];
    R[2 + 2 * I] = kHexDigits[Bytes[I] & 0xF];
  }
  return R;
}

const TKXColorIdent* FindByValue(const TKXColorIdent* ATable, int ACount, TKXColor AColor) {
  for (int I = 0; I < ACount; ++I)
    if (ATable[I].Value == AColor) return &ATable[I];
  return nullptr;
}

const TKXColorIdent* FindByName(const TKXColorIdent* ATable, int ACount, std::string_view AName) {
  for (int I = 0; I < ACount; ++I)
    if (SameText(ATable[I].Name, AName)) return &ATable[I];
  return nullptr;
}

}  // namespace

bool IdentToColor(std::string_view AIdent, TKXColor& AColor) {
  const TKXColorIdent* E = FindByName(KXWebColors, KXWebColorCount, AIdent);
  if (!E) E = FindByName(KXPlatformColors, KXPlatformColorCount, AIdent);
  if (!E) return false;
  AColor = E->Value;
  return true;
}

bool ColorToIdent(TKXColor AColor, std::string& AIdent) {
  const TKXColorIdent* E = FindByValue(KXWebColors, KXWebColorCount, AColor);
  if (!E) E = FindByValue(KXPlatformColors, KXPlatformColorCount, AColor);
  if (!E) return false;
  AIdent = E->Name;
  return true;
}

bool IsSystemColor(TKXColor AColor) { return (static_cast<uint32_t>(AColor) & 0xFF000000u) == 0xFF000000u && AColor != -1; }

TKXColor ColorToRGB(TKXColor AColor) {
  if (IsSystemColor(AColor)) {
    const uint32_t Index = static_cast<uint32_t>(AColor) & 0xFFFFFF;
    return Index < kSystemColorCount ? KXColorFromRGBHex(kSystemColorTable[Index]) : clBlack;
  }
  return static_cast<TKXColor>(static_cast<uint32_t>(AColor) & 0xFFFFFF);
}

std::string ColorToHTMLColor(TKXColor AColor) {
  if (AColor == clWebTransparent) return "transparent";
  if (AColor == clNone) return std::string();
  return HexRGB(ColorToRGB(AColor));
}

std::string WebColorToCSS(TKXColor AColor) {
  if (AColor == clWebTransparent) return "transparent";
  if (AColor == clWebLIGHTSLATEBLUE || AColor == clWebVIOLETRED) return HexRGB(AColor);
  const TKXColorIdent* E = FindByValue(KXWebColors, KXWebColorCount, AColor);
  if (!E) return std::string();
  return LowerCase(std::string_view(E->Name).substr(5));   // after "clWeb"
}
