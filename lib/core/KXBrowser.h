#pragma once
// Browser detection: the kind and sub-type of a browser from its User-Agent text, the names of
// the kinds for messages, and the check of a kind against a set of admitted kinds.
// Everything here is a pure function of its arguments and safe on any thread.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/KXEnumSet.h"

enum TKXBrowser : uint8_t {
  brUnknown,
  brNetscape7,
  brIE,
  brGecko,
  brOpera,
  brSafari,
  brChrome,
  brIE4,
  brNetscape6,
  brNetscape4,
  brOther,
  brHTML32Test,
  brWMLTest,
  brXHTMLMPTest,
  brWAP,
};
constexpr int kKXBrowserCount = brWAP + 1;

enum TKXBrowserSubtype : uint8_t {
  brsNone,
  brsIE5,
  brsIE6,
  brsIE7,
  brsIE8,
  brsIE9,
  brsNetscape7,
  brsFireFox1,
  brsFireFox2,
  brsFireFox3,
  brsFireFox4,
  brsKonquerer,
  brsIpod,
  brsIphone,
  brsAntgalio,
};
constexpr int kKXBrowserSubtypeCount = brsAntgalio + 1;

using TKXBrowsers = TKXEnumSet<TKXBrowser, kKXBrowserCount>;
using TKXBrowserSubTypes = TKXEnumSet<TKXBrowserSubtype, kKXBrowserSubtypeCount>;

struct TKXBrowserType {
  TKXBrowser Browser = brUnknown;
  TKXBrowserSubtype SubType = brsNone;
  friend bool operator==(const TKXBrowserType&, const TKXBrowserType&) = default;
};

// The controller's shipped SupportedBrowsers and SpecialDeviceSupport.
inline constexpr TKXBrowsers kKXDefaultSupportedBrowsers{brIE, brGecko, brOpera, brSafari, brChrome};
inline constexpr TKXBrowserSubTypes kKXDefaultSpecialDeviceSupport{brsIpod, brsIphone};

// Identifier tables ("brIE", "brsIphone") in enumeration order, for the property tables.
std::span<const TKXEnumName> KXBrowserNames();
std::span<const TKXEnumName> KXBrowserSubtypeNames();

// AWAPOnlyApplication: the application registered a WAP main form class but neither an HTML 4.0
// nor an HTML 3.2 one; then the script browsers (Safari excepted) are answered in XHTML MP.
TKXBrowserType DetermineBrowser(std::string_view AUserAgent, bool AWAPOnlyApplication = false);

// The kind's name for messages; brNetscape7 and brIE4 have none and raise EKXException.
std::string BrowserName(TKXBrowser ABrowser);

// True for the kinds whose pages run the framework's scripts.
bool BrowserSupportsJS(TKXBrowser ABrowser);

// Empty when ABrowser is admitted; otherwise the refusal text, raised as EUnknownBrowserException
// when ARaiseException (AUserAgent appears in it as given).
std::string CheckBrowser(TKXBrowser ABrowser, const TKXBrowsers& ASupportedBrowsers, std::string_view AUserAgent,
                         bool ARaiseException);
