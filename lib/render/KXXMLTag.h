#pragma once
// XML flavour of markup tags, used by callback answers: an "innerhtml" element wraps its
// contents in a CDATA section so that the HTML inside needs no escaping.
#include "render/KXMarkupLanguageTag.h"

class TKXXMLTag : public TKXMarkupLanguageTag {
public:
  explicit TKXXMLTag(TKXMarkupLanguageElement* AParentElement = nullptr);
  // The tag constructor; CDATA is on exactly for the name "innerhtml".
  explicit TKXXMLTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement = nullptr);

  const char* ClassName() const override { return "TKXXMLTag"; }
  TKXMarkupLanguageElement* NewInstance() const override { return new TKXXMLTag(); }
  TKXMarkupLanguageTag* NewTag(std::string_view ATag) const override { return new TKXXMLTag(ATag); }
  void Assign(const TKXMarkupLanguageElement* ASource) override;
  void RenderContents(TKXRenderStream& ABuffer, int AIndent) override;

  bool CDATA() const { return FCDATA; }
  void SetCDATA(bool AValue) { FCDATA = AValue; }

private:
  bool FCDATA = false;
};
