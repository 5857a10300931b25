#pragma once
// Colours as the framework stores them: a 32-bit value, 0x00BBGGRR for a plain colour,
// 0xFF0000nn for system colour number nn, clNone for "no colour" and -1 for transparent.
// Stored descriptions name colours through the identifier tables below.
#include <cstdint>
#include <string>
#include <string_view>

using TKXColor = int32_t;

// 0xRRGGBB as CSS writes it, turned into the stored 0x00BBGGRR order.
constexpr TKXColor KXColorFromRGBHex(uint32_t ARRGGBB) {
  return static_cast<TKXColor>(((ARRGGBB & 0xFF) << 16) | (ARRGGBB & 0xFF00) | ((ARRGGBB >> 16) & 0xFF));
}
constexpr TKXColor KXSystemColor(uint32_t AIndex) { return static_cast<TKXColor>(0xFF000000u | AIndex); }

constexpr TKXColor clNone = 0x1FFFFFFF;
constexpr TKXColor clDefault = 0x20000000;
constexpr TKXColor clWebTransparent = -1;

// System colours, numbered as the desktop platforms number them. Their RGB values come from
// one fixed table (a light desktop theme, see KXColor.cpp): a server has no user theme to ask.
constexpr TKXColor clScrollBar = KXSystemColor(0);
constexpr TKXColor clBackground = KXSystemColor(1);
constexpr TKXColor clActiveCaption = KXSystemColor(2);
constexpr TKXColor clInactiveCaption = KXSystemColor(3);
constexpr TKXColor clMenu = KXSystemColor(4);
constexpr TKXColor clWindow = KXSystemColor(5);
constexpr TKXColor clWindowFrame = KXSystemColor(6);
constexpr TKXColor clMenuText = KXSystemColor(7);
constexpr TKXColor clWindowText = KXSystemColor(8);
constexpr TKXColor clCaptionText = KXSystemColor(9);
constexpr TKXColor clActiveBorder = KXSystemColor(10);
constexpr TKXColor clInactiveBorder = KXSystemColor(11);
constexpr TKXColor clAppWorkSpace = KXSystemColor(12);
constexpr TKXColor clHighlight = KXSystemColor(13);
constexpr TKXColor clHighlightText = KXSystemColor(14);
constexpr TKXColor clBtnFace = KXSystemColor(15);
constexpr TKXColor clBtnShadow = KXSystemColor(16);
constexpr TKXColor clGrayText = KXSystemColor(17);
constexpr TKXColor clBtnText = KXSystemColor(18);
constexpr TKXColor clInactiveCaptionText = KXSystemColor(19);
constexpr TKXColor clBtnHighlight = KXSystemColor(20);
constexpr TKXColor cl3DDkShadow = KXSystemColor(21);
constexpr TKXColor cl3DLight = KXSystemColor(22);
constexpr TKXColor clInfoText = KXSystemColor(23);
constexpr TKXColor clInfoBk = KXSystemColor(24);
constexpr TKXColor clHotLight = KXSystemColor(26);
constexpr TKXColor clGradientActiveCaption = KXSystemColor(27);
constexpr TKXColor clGradientInactiveCaption = KXSystemColor(28);
constexpr TKXColor clMenuHighlight = KXSystemColor(29);
constexpr TKXColor clMenuBar = KXSystemColor(30);

// The sixteen basic platform colours.
constexpr TKXColor clBlack = KXColorFromRGBHex(0x000000);
constexpr TKXColor clMaroon = KXColorFromRGBHex(0x800000);
constexpr TKXColor clGreen = KXColorFromRGBHex(0x008000);
constexpr TKXColor clOlive = KXColorFromRGBHex(0x808000);
constexpr TKXColor clNavy = KXColorFromRGBHex(0x000080);
constexpr TKXColor clPurple = KXColorFromRGBHex(0x800080);
constexpr TKXColor clTeal = KXColorFromRGBHex(0x008080);
constexpr TKXColor clGray = KXColorFromRGBHex(0x808080);
constexpr TKXColor clSilver = KXColorFromRGBHex(0xC0C0C0);
constexpr TKXColor clRed = KXColorFromRGBHex(0xFF0000);
constexpr TKXColor clLime = KXColorFromRGBHex(0x00FF00);
constexpr TKXColor clYellow = KXColorFromRGBHex(0xFFFF00);
constexpr TKXColor clBlue = KXColorFromRGBHex(0x0000FF);
constexpr TKXColor clFuchsia = KXColorFromRGBHex(0xFF00FF);
constexpr TKXColor clAqua = KXColorFromRGBHex(0x00FFFF);
constexpr TKXColor clWhite = KXColorFromRGBHex(0xFFFFFF);

// Web colours: the CSS colour of the same name, except LIGHTSLATEBLUE and VIOLETRED, which CSS lacks.
constexpr TKXColor clWebALICEBLUE = KXColorFromRGBHex(0xF0F8FF);
constexpr TKXColor clWebANTIQUEWHITE = KXColorFromRGBHex(0xFAEBD7);
constexpr TKXColor clWebAQUA = KXColorFromRGBHex(0x00FFFF);
constexpr TKXColor clWebAQUAMARINE = KXColorFromRGBHex(0x7FFFD4);
constexpr TKXColor clWebAZURE = KXColorFromRGBHex(0xF0FFFF);
constexpr TKXColor clWebBEIGE = KXColorFromRGBHex(0xF5F5DC);
constexpr TKXColor clWebBISQUE = KXColorFromRGBHex(0xFFE4C4);
constexpr TKXColor clWebBLACK = KXColorFromRGBHex(0x000000);
constexpr TKXColor clWebBLANCHEDALMOND = KXColorFromRGBHex(0xFFEBCD);
constexpr TKXColor clWebBLUE = KXColorFromRGBHex(0x0000FF);
constexpr TKXColor clWebBLUEVIOLET = KXColorFromRGBHex(0x8A2BE2);
constexpr TKXColor clWebBROWN = KXColorFromRGBHex(0xA52A2A);
constexpr TKXColor clWebBURLYWOOD = KXColorFromRGBHex(0xDEB887);
constexpr TKXColor clWebCADETBLUE = KXColorFromRGBHex(0x5F9EA0);
constexpr TKXColor clWebCHARTREUSE = KXColorFromRGBHex(0x7FFF00);
constexpr TKXColor clWebCHOCOLATE = KXColorFromRGBHex(0xD2691E);
constexpr TKXColor clWebCORAL = KXColorFromRGBHex(0xFF7F50);
constexpr TKXColor clWebCORNFLOWERBLUE = KXColorFromRGBHex(0x6495ED);
constexpr TKXColor clWebCORNSILK = KXColorFromRGBHex(0xFFF8DC);
constexpr TKXColor clWebCRIMSON = KXColorFromRGBHex(0xDC143C);
constexpr TKXColor clWebCYAN = KXColorFromRGBHex(0x00FFFF);
constexpr TKXColor clWebDARKBLUE = KXColorFromRGBHex(0x00008B);
constexpr TKXColor clWebDARKCYAN = KXColorFromRGBHex(0x008B8B);
constexpr TKXColor clWebDARKGOLDENROD = KXColorFromRGBHex(0xB8860B);
constexpr TKXColor clWebDARKGRAY = KXColorFromRGBHex(0xA9A9A9);
constexpr TKXColor clWebDARKGREEN = KXColorFromRGBHex(0x006400);
constexpr TKXColor clWebDARKKHAKI = KXColorFromRGBHex(0xBDB76B);
constexpr TKXColor clWebDARKMAGENTA = KXColorFromRGBHex(0x8B008B);
constexpr TKXColor clWebDARKOLIVEGREEN = KXColorFromRGBHex(0x556B2F);
constexpr TKXColor clWebDARKORANGE = KXColorFromRGBHex(0xFF8C00);
constexpr TKXColor clWebDARKORCHID = KXColorFromRGBHex(0x9932CC);
constexpr TKXColor clWebDARKRED = KXColorFromRGBHex(0x8B0000);
constexpr TKXColor clWebDARKSALMON = KXColorFromRGBHex(0xE9967A);
constexpr TKXColor clWebDARKSEAGREEN = KXColorFromRGBHex(0x8FBC8F);
constexpr TKXColor clWebDARKSLATEBLUE = KXColorFromRGBHex(0x483D8B);
constexpr TKXColor clWebDARKSLATEGRAY = KXColorFromRGBHex(0x2F4F4F);
constexpr TKXColor clWebDARKTURQUOISE = KXColorFromRGBHex(0x00CED1);
constexpr TKXColor clWebDARKVIOLET = KXColorFromRGBHex(0x9400D3);
constexpr TKXColor clWebDEEPPINK = KXColorFromRGBHex(0xFF1493);
constexpr TKXColor clWebDEEPSKYBLUE = KXColorFromRGBHex(0x00BFFF);
constexpr TKXColor clWebDIMGRAY = KXColorFromRGBHex(0x696969);
constexpr TKXColor clWebDODGERBLUE = KXColorFromRGBHex(0x1E90FF);
constexpr TKXColor clWebFIREBRICK = KXColorFromRGBHex(0xB22222);
constexpr TKXColor clWebFLORALWHITE = KXColorFromRGBHex(0xFFFAF0);
constexpr TKXColor clWebFORESTGREEN = KXColorFromRGBHex(0x228B22);
constexpr TKXColor clWebFUCHSIA = KXColorFromRGBHex(0xFF00FF);
constexpr TKXColor clWebGAINSBORO = KXColorFromRGBHex(0xDCDCDC);
constexpr TKXColor clWebGHOSTWHITE = KXColorFromRGBHex(0xF8F8FF);
constexpr TKXColor clWebGOLD = KXColorFromRGBHex(0xFFD700);
constexpr TKXColor clWebGOLDENROD = KXColorFromRGBHex(0xDAA520);
constexpr TKXColor clWebGRAY = KXColorFromRGBHex(0x808080);
constexpr TKXColor clWebGREEN = KXColorFromRGBHex(0x008000);
constexpr TKXColor clWebGREENYELLOW = KXColorFromRGBHex(0xADFF2F);
constexpr TKXColor clWebHONEYDEW = KXColorFromRGBHex(0xF0FFF0);
constexpr TKXColor clWebHOTPINK = KXColorFromRGBHex(0xFF69B4);
constexpr TKXColor clWebINDIANRED = KXColorFromRGBHex(0xCD5C5C);
constexpr TKXColor clWebINDIGO = KXColorFromRGBHex(0x4B0082);
constexpr TKXColor clWebIVORY = KXColorFromRGBHex(0xFFFFF0);
constexpr TKXColor clWebKHAKI = KXColorFromRGBHex(0xF0E68C);
constexpr TKXColor clWebLAVENDER = KXColorFromRGBHex(0xE6E6FA);
constexpr TKXColor clWebLAVENDERBLUSH = KXColorFromRGBHex(0xFFF0F5);
constexpr TKXColor clWebLAWNGREEN = KXColorFromRGBHex(0x7CFC00);
constexpr TKXColor clWebLEMONCHIFFON = KXColorFromRGBHex(0xFFFACD);
constexpr TKXColor clWebLIGHTBLUE = KXColorFromRGBHex(0xADD8E6);
constexpr TKXColor clWebLIGHTCORAL = KXColorFromRGBHex(0xF08080);
constexpr TKXColor clWebLIGHTCYAN = KXColorFromRGBHex(0xE0FFFF);
constexpr TKXColor clWebLIGHTGOLDENRODYELLOW = KXColorFromRGBHex(0xFAFAD2);
constexpr TKXColor clWebLIGHTGREEN = KXColorFromRGBHex(0x90EE90);
constexpr TKXColor clWebLIGHTGRAY = KXColorFromRGBHex(0xD3D3D3);
constexpr TKXColor clWebLIGHTPINK = KXColorFromRGBHex(0xFFB6C1);
constexpr TKXColor clWebLIGHTSALMON = KXColorFromRGBHex(0xFFA07A);
constexpr TKXColor clWebLIGHTSEAGREEN = KXColorFromRGBHex(0x20B2AA);
constexpr TKXColor clWebLIGHTSKYBLUE = KXColorFromRGBHex(0x87CEFA);
constexpr TKXColor clWebLIGHTSLATEBLUE = KXColorFromRGBHex(0x8470FF);
constexpr TKXColor clWebLIGHTSLATEGRAY = KXColorFromRGBHex(0x778899);
constexpr TKXColor clWebLIGHTSTEELBLUE = KXColorFromRGBHex(0xB0C4DE);
constexpr TKXColor clWebLIGHTYELLOW = KXColorFromRGBHex(0xFFFFE0);
constexpr TKXColor clWebLIME = KXColorFromRGBHex(0x00FF00);
constexpr TKXColor clWebLIMEGREEN = KXColorFromRGBHex(0x32CD32);
constexpr TKXColor clWebLINEN = KXColorFromRGBHex(0xFAF0E6);
constexpr TKXColor clWebMAGENTA = KXColorFromRGBHex(0xFF00FF);
constexpr TKXColor clWebMAROON = KXColorFromRGBHex(0x800000);
constexpr TKXColor clWebMEDIUMAQUAMARINE = KXColorFromRGBHex(0x66CDAA);
constexpr TKXColor clWebMEDIUMBLUE = KXColorFromRGBHex(0x0000CD);
constexpr TKXColor clWebMEDIUMORCHID = KXColorFromRGBHex(0xBA55D3);
constexpr TKXColor clWebMEDIUMPURPLE = KXColorFromRGBHex(0x9370DB);
constexpr TKXColor clWebMEDIUMSEAGREEN = KXColorFromRGBHex(0x3CB371);
constexpr TKXColor clWebMEDIUMSLATEBLUE = KXColorFromRGBHex(0x7B68EE);
constexpr TKXColor clWebMEDIUMSPRINGGREEN = KXColorFromRGBHex(0x00FA9A);
constexpr TKXColor clWebMEDIUMTURQUOISE = KXColorFromRGBHex(0x48D1CC);
constexpr TKXColor clWebMEDIUMVIOLETRED = KXColorFromRGBHex(0xC71585);
constexpr TKXColor clWebMIDNIGHTBLUE = KXColorFromRGBHex(0x191970);
constexpr TKXColor clWebMINTCREAM = KXColorFromRGBHex(0xF5FFFA);
constexpr TKXColor clWebMISTYROSE = KXColorFromRGBHex(0xFFE4E1);
constexpr TKXColor clWebMOCCASIN = KXColorFromRGBHex(0xFFE4B5);
constexpr TKXColor clWebNAVAJOWHITE = KXColorFromRGBHex(0xFFDEAD);
constexpr TKXColor clWebNAVY = KXColorFromRGBHex(0x000080);
constexpr TKXColor clWebOLDLACE = KXColorFromRGBHex(0xFDF5E6);
constexpr TKXColor clWebOLIVE = KXColorFromRGBHex(0x808000);
constexpr TKXColor clWebOLIVEDRAB = KXColorFromRGBHex(0x6B8E23);
constexpr TKXColor clWebORANGE = KXColorFromRGBHex(0xFFA500);
constexpr TKXColor clWebORANGERED = KXColorFromRGBHex(0xFF4500);
constexpr TKXColor clWebORCHID = KXColorFromRGBHex(0xDA70D6);
constexpr TKXColor clWebPALEGOLDENROD = KXColorFromRGBHex(0xEEE8AA);
constexpr TKXColor clWebPALEGREEN = KXColorFromRGBHex(0x98FB98);
constexpr TKXColor clWebPALETURQUOISE = KXColorFromRGBHex(0xAFEEEE);
constexpr TKXColor clWebPALEVIOLETRED = KXColorFromRGBHex(0xDB7093);
constexpr TKXColor clWebPAPAYAWHIP = KXColorFromRGBHex(0xFFEFD5);
constexpr TKXColor clWebPEACHPUFF = KXColorFromRGBHex(0xFFDAB9);
constexpr TKXColor clWebPERU = KXColorFromRGBHex(0xCD853F);
constexpr TKXColor clWebPINK = KXColorFromRGBHex(0xFFC0CB);
constexpr TKXColor clWebPLUM = KXColorFromRGBHex(0xDDA0DD);
constexpr TKXColor clWebPOWDERBLUE = KXColorFromRGBHex(0xB0E0E6);
constexpr TKXColor clWebPURPLE = KXColorFromRGBHex(0x800080);
constexpr TKXColor clWebRED = KXColorFromRGBHex(0xFF0000);
constexpr TKXColor clWebROSYBROWN = KXColorFromRGBHex(0xBC8F8F);
constexpr TKXColor clWebROYALBLUE = KXColorFromRGBHex(0x4169E1);
constexpr TKXColor clWebSADDLEBROWN = KXColorFromRGBHex(0x8B4513);
constexpr TKXColor clWebSALMON = KXColorFromRGBHex(0xFA8072);
constexpr TKXColor clWebSANDYBROWN = KXColorFromRGBHex(0xF4A460);
constexpr TKXColor clWebSEAGREEN = KXColorFromRGBHex(0x2E8B57);
constexpr TKXColor clWebSEASHELL = KXColorFromRGBHex(0xFFF5EE);
constexpr TKXColor clWebSIENNA = KXColorFromRGBHex(0xA0522D);
constexpr TKXColor clWebSILVER = KXColorFromRGBHex(0xC0C0C0);
constexpr TKXColor clWebSKYBLUE = KXColorFromRGBHex(0x87CEEB);
constexpr TKXColor clWebSLATEBLUE = KXColorFromRGBHex(0x6A5ACD);
constexpr TKXColor clWebSLATEGRAY = KXColorFromRGBHex(0x708090);
constexpr TKXColor clWebSNOW = KXColorFromRGBHex(0xFFFAFA);
constexpr TKXColor clWebSPRINGGREEN = KXColorFromRGBHex(0x00FF7F);
constexpr TKXColor clWebSTEELBLUE = KXColorFromRGBHex(0x4682B4);
constexpr TKXColor clWebTAN = KXColorFromRGBHex(0xD2B48C);
constexpr TKXColor clWebTEAL = KXColorFromRGBHex(0x008080);
constexpr TKXColor clWebTHISTLE = KXColorFromRGBHex(0xD8BFD8);
constexpr TKXColor clWebTOMATO = KXColorFromRGBHex(0xFF6347);
constexpr TKXColor clWebTURQUOISE = KXColorFromRGBHex(0x40E0D0);
constexpr TKXColor clWebVIOLET = KXColorFromRGBHex(0xEE82EE);
constexpr TKXColor clWebVIOLETRED = KXColorFromRGBHex(0xD02090);
constexpr TKXColor clWebWHEAT = KXColorFromRGBHex(0xF5DEB3);
constexpr TKXColor clWebWHITE = KXColorFromRGBHex(0xFFFFFF);
constexpr TKXColor clWebWHITESMOKE = KXColorFromRGBHex(0xF5F5F5);
constexpr TKXColor clWebYELLOW = KXColorFromRGBHex(0xFFFF00);

// One identifier of a colour in stored descriptions ("clWebAZURE", "clBtnFace").
struct TKXColorIdent {
  const char* Name;
  TKXColor Value;
};

// The web colours, clWebTransparent first, then in alphabetical order. Two values have two
// names each (AQUA and CYAN, FUCHSIA and MAGENTA); a value maps back to the first of them.
constexpr int KXWebColorCount = 142;
extern const TKXColorIdent KXWebColors[KXWebColorCount];
// The platform names a value falls back to when the web table lacks it: clNone, clDefault,
// the basic colours and the system colours.
extern const TKXColorIdent KXPlatformColors[];
extern const int KXPlatformColorCount;

// Identifier to value, without regard to case: the web table first, then the platform names.
bool IdentToColor(std::string_view AIdent, TKXColor& AColor);
// Value to identifier, in the same order of tables; false for a value no table names.
bool ColorToIdent(TKXColor AColor, std::string& AIdent);

bool IsSystemColor(TKXColor AColor);
// A system colour resolved through the fixed system colour table (black for an unknown number);
// any other value with its top byte cleared.
TKXColor ColorToRGB(TKXColor AColor);
// Markup text: "transparent" for -1, empty for clNone, otherwise "#RRGGBB" (upper-case hex).
std::string ColorToHTMLColor(TKXColor AColor);
// CSS text of a web colour: its lower-case CSS name ("azure"), "transparent", or "#RRGGBB" for
// the two names CSS lacks; empty for a value outside the web table.
std::string WebColorToCSS(TKXColor AColor);
