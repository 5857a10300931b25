#include "core/KXBrowser.h"

#include "core/KXException.h"
#include "SkStrUtils.h"

namespace {

const TKXEnumName kBrowserNames[] = {
    {"brUnknown", brUnknown},       {"brNetscape7", brNetscape7},   {"brIE", brIE},
    {"brGecko", brGecko},           {"brOpera", brOpera},           {"brSafari", brSafari},
    {"brChrome", brChrome},         {"brIE4", brIE4},               {"brNetscape6", brNetscape6},
    {"brNetscape4", brNetscape4},   {"brOther", brOther},           {"brHTML32Test", brHTML32Test},
    {"brWMLTest", brWMLTest},       {"brXHTMLMPTest", brXHTMLMPTest}, {"brWAP", brWAP},
};
static_assert(std::size(kBrowserNames) == kKXBrowserCount);

const TKXEnumName kSubtypeNames[] = {
    {"brsNone", brsNone},           {"brsIE5", brsIE5},             {"brsIE6", brsIE6},
    {"brsIE7", brsIE7},             {"brsIE8", brsIE8},             {"brsIE9", brsIE9},
    {"brsNetscape7", brsNetscape7}, {"brsFireFox1", brsFireFox1},   {"brsFireFox2", brsFireFox2},
    {"brsFireFox3", brsFireFox3},   {"brsFireFox4", brsFireFox4},   {"brsKonquerer", brsKonquerer},
    {"brsIpod", brsIpod},           {"brsIphone", brsIphone},       {"brsAntgalio", brsAntgalio},
};
static_assert(std::size(kSubtypeNames) == kKXBrowserSubtypeCount);

// Display names; nullptr where a kind has none.
const char* const kDisplayNames[] = {
    "Unknown or Unrecognized",
    nullptr,
    "Internet Explorer",
    "Gecko engine (Netscape, FireFox, etc)",
    "Opera",
    "Safari",
    "Chrome",
    nullptr,
    "Netscape 6 (Gecko)",
    "Netscape 4",
    "Other",
    "HTML 32 Test",
    "WML Test",
    "XHTML MP Test",
    "Generic WAP Browser",
};
static_assert(std::size(kDisplayNames) == kKXBrowserCount);

const char kUnknownBrowserType[] = "Unknown browser type.";

// Tested in this order; the first that occurs decides.
const char* const kWAPTokens[] = {"NOKI",      "SIEMENS",    "MOTOROLA", "TRIUM",   "SYMBIAN OS", "SONY",
                                  "SONYERICSSON", "WAP",     "UP.BROWSER", "UP.LINK", "MOT-A820"};

// The first Gecko build that counts as a current Gecko; older ones are the first Netscape 6.
constexpr int kFirstCurrentGeckoBuild = 20020823;

bool Contains(const std::string& U, std::string_view Token) { return U.find(Token) != std::string::npos; }

TKXBrowserType Classify(const std::string& U) {
  if (U == "HTML 3.2") return {brHTML32Test};
  if (U == "WML") return {brWMLTest};
  if (U == "XHTML MP") return {brXHTMLMPTest};
  if (Contains(U, "MOZILLA/2") || Contains(U, "3.02")) return {brOther};
  if (Contains(U, "KONQUEROR")) return {brSafari, brsKonquerer};
  // Chrome's text names Safari and Gecko too, so it is tested before both.
  if (Contains(U, "CHROME")) return {brChrome};
  if (Contains(U, "SAFARI")) {
    if (Contains(U, "IPOD")) return {brSafari, brsIpod};
    if (Contains(U, "IPHONE")) return {brSafari, brsIphone};
    return {brSafari};
  }
  // Old Opera versions also claim to be MSIE.
  if (Contains(U, "OPERA")) return {brOpera};
  if (const size_t P = U.find("GECKO"); P != std::string::npos) {
    const size_t From = P + 6;   // "GECKO" and the separator after it
    int Build = kFirstCurrentGeckoBuild;
    if (From < U.size()) Build = StrToIntDef(std::string_view(U).substr(From, 8), kFirstCurrentGeckoBuild);
    if (Build < kFirstCurrentGeckoBuild) return {brNetscape6};
    // "FIREFOX/1" also matches later two-digit versions; the sub-type is kept as coarse as that.
    static const char* const kFireFox[] = {"FIREFOX/1", "FIREFOX/2", "FIREFOX/3", "FIREFOX/4"};
    for (int I = 0; I < 4; ++I)
      if (Contains(U, kFireFox[I])) return {brGecko, static_cast<TKXBrowserSubtype>(brsFireFox1 + I)};
    return {brGecko};
  }
  if (Contains(U, "ANTGALIO")) return {brGecko, brsAntgalio};
  if (U.starts_with("MOZILLA/4.5") || U.starts_with("MOZILLA/4.7")) return {brNetscape4};
  if (const size_t P = U.find("MSIE "); P != std::string::npos) {
    std::string_view Rest = std::string_view(U).substr(P + 5);
    Rest = Rest.substr(0, Rest.find('.'));
    const int Major = StrToIntDef(Rest, 0);
    if (Major <= 4) return {brIE4};
    if (Major <= 9) return {brIE, static_cast<TKXBrowserSubtype>(brsIE5 + (Major - 5))};
    return {brIE};
  }
  for (const char* Token : kWAPTokens)
    if (Contains(U, Token)) return {brWAP};
  return {brOther};
}

}  // namespace

std::span<const TKXEnumName> KXBrowserNames() { return kBrowserNames; }
std::span<const TKXEnumName> KXBrowserSubtypeNames() { return kSubtypeNames; }

TKXBrowserType DetermineBrowser(std::string_view AUserAgent, bool AWAPOnlyApplication) {
  TKXBrowserType R = Classify(UpperCase(AUserAgent));
  if (AWAPOnlyApplication) {
    switch (R.Browser) {
      case brIE: case brGecko: case brOpera: case brChrome: case brIE4: case brNetscape6:
        R.Browser = brXHTMLMPTest;
        break;
      default:
        break;
    }
  }
  return R;
}

std::string BrowserName(TKXBrowser ABrowser) {
  if (ABrowser >= kKXBrowserCount || !kDisplayNames[ABrowser]) throw EKXException(kUnknownBrowserType);
  return kDisplayNames[ABrowser];
}

bool BrowserSupportsJS(TKXBrowser ABrowser) {
  return ABrowser == brIE || ABrowser == brGecko || ABrowser == brOpera || ABrowser == brSafari ||
         ABrowser == brChrome;
}

std::string CheckBrowser(TKXBrowser ABrowser, const TKXBrowsers& ASupportedBrowsers, std::string_view AUserAgent,
                         bool ARaiseException) {
  if (ASupportedBrowsers.Contains(ABrowser)) return {};
  std::string Msg = "Your browser was detected as " + BrowserName(ABrowser) + ", identifying itself as " +
                    std::string(AUserAgent) + ".\r\nOne of the following browsers is required:\r\n";
  for (int B = 0; B < kKXBrowserCount; ++B)
    if (ASupportedBrowsers.Contains(static_cast<TKXBrowser>(B)))
      Msg += "* " + BrowserName(static_cast<TKXBrowser>(B)) + "\r\n";
  if (ARaiseException) throw EUnknownBrowserException(Msg, BrowserSupportsJS(ABrowser));
  return Msg;
}
