#include "render/KXHTMLTag.h"

#include "SkStrUtils.h"

namespace {

// Elements that have no closing text in HTML 4.0 (names stored lower-cased).
constexpr std::string_view kVoidElements[] = {"area", "br", "frame", "hr", "img", "input", "link"};
// Elements whose child tags are written without line breaks: a break inside them shows as
// white space in the page.
constexpr std::string_view kPreformattedElements[] = {"pre", "a", "div", "tr", "td"};

bool InList(std::string_view AName, const std::string_view* AList, size_t ACount) {
  // Every tag of every page is looked up here: the first letter rules out most entries.
  for (size_t I = 0; I < ACount; ++I)
    if (!AName.empty() && AList[I][0] == AName[0] && AList[I] == AName) return true;
  return false;
}

}  // namespace

TKXHTMLTag* TKXHTMLTagCollection::AddTag(std::string_view ATag, bool ASetParentElement) {
  return static_cast<TKXHTMLTag*>(TKXMarkupLanguageTagCollection::AddTag(ATag, ASetParentElement));
}

TKXMarkupLanguageTag* TKXHTMLTagCollection::NewChildTag(std::string_view ATag) const {
  return FParentElement ? FParentElement->NewTag(ATag) : new TKXHTMLTag(ATag);
}

TKXHTMLTag::TKXHTMLTag(TNoTag, TKXMarkupLanguageElement* AParentElement)
    : TKXMarkupLanguageTag(TNoTag{}, AParentElement, NewContents<TKXHTMLTagCollection>) {}

TKXHTMLTag::TKXHTMLTag(TKXMarkupLanguageElement* AParentElement) : TKXHTMLTag(TNoTag{}, AParentElement) {}

TKXHTMLTag::TKXHTMLTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement)
    : TKXHTMLTag(ATag, cbTrue, AParentElement) {}

TKXHTMLTag::TKXHTMLTag(std::string_view ATag, TKXCloseTag AClosingTag, TKXMarkupLanguageElement* AParentElement)
    : TKXHTMLTag(TNoTag{}, AParentElement) {
  FClosingTag = AClosingTag;
  TKXHTMLTag::SetTag(ATag);
}

void TKXHTMLTag::SetTag(std::string_view ATag) {
  TKXMarkupLanguageTag::SetTag(ATag);
  if (FTag.empty() || InList(FTag, kVoidElements, std::size(kVoidElements))) FClosingTag = cbFalse;
  if (InList(FTag, kPreformattedElements, std::size(kPreformattedElements))) FIsPreformated = true;
}
