#pragma once
// HTML flavour of markup tags: void elements never get a closing text, and a few elements keep
// their child tags on one line.
#include "render/KXMarkupLanguageTag.h"

class TKXHTMLTag;

class TKXHTMLTagCollection : public TKXMarkupLanguageTagCollection {
public:
  using TKXMarkupLanguageTagCollection::TKXMarkupLanguageTagCollection;
  TKXHTMLTag* AddTag(std::string_view ATag, bool ASetParentElement = false);

protected:
  TKXMarkupLanguageTag* NewChildTag(std::string_view ATag) const override;
};

class TKXHTMLTag : public TKXMarkupLanguageTag {
public:
  // The plain constructor: no name (a fragment that renders only its contents).
  explicit TKXHTMLTag(TKXMarkupLanguageElement* AParentElement = nullptr);
  // The tag constructor: closing kind cbTrue, then the name with the HTML rules applied.
  explicit TKXHTMLTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement = nullptr);
  // The closing kind is given first; the name's rules may override it (a void element created
  // with cbSimpleClose still ends in ">").
  TKXHTMLTag(std::string_view ATag, TKXCloseTag AClosingTag, TKXMarkupLanguageElement* AParentElement = nullptr);

  const char* ClassName() const override { return "TKXHTMLTag"; }
  TKXMarkupLanguageElement* NewInstance() const override { return new TKXHTMLTag(); }
  TKXMarkupLanguageTag* NewTag(std::string_view ATag) const override { return new TKXHTMLTag(ATag); }

  // Lower-cases the name; "area", "br", "frame", "hr", "img", "input", "link" and the empty name
  // set cbFalse, and "pre", "a", "div", "tr", "td" set IsPreformated. Neither is ever reset.
  void SetTag(std::string_view ATag) override;
  TKXHTMLTagCollection& Contents() { return static_cast<TKXHTMLTagCollection&>(TKXMarkupLanguageTag::Contents()); }
  const TKXHTMLTagCollection& Contents() const {
    return static_cast<const TKXHTMLTagCollection&>(TKXMarkupLanguageTag::Contents());
  }

protected:
  // For subclasses that apply their own SetTag: no name yet, HTML contents.
  TKXHTMLTag(TNoTag, TKXMarkupLanguageElement* AParentElement);
};
