#include "render/KXXMLTag.h"

#include "core/KXStreams.h"
#include "SkStrUtils.h"

TKXXMLTag::TKXXMLTag(TKXMarkupLanguageElement* AParentElement) : TKXMarkupLanguageTag(AParentElement) {}

TKXXMLTag::TKXXMLTag(std::string_view ATag, TKXMarkupLanguageElement* AParentElement)
    : TKXMarkupLanguageTag(ATag, AParentElement) {
  FCDATA = FTag == "innerhtml";
}

void TKXXMLTag::Assign(const TKXMarkupLanguageElement* ASource) {
  TKXMarkupLanguageTag::Assign(ASource);
  // A copy keeps the wrapping: an unwrapped copy of "innerhtml" would break the XML answer.
  if (const auto* Source = dynamic_cast<const TKXXMLTag*>(ASource)) FCDATA = Source->FCDATA;
}

void TKXXMLTag::RenderContents(TKXRenderStream& ABuffer, int AIndent) {
  if (!FCDATA) {
    TKXMarkupLanguageTag::RenderContents(ABuffer, AIndent);
    return;
  }
  // Contents holding "]]>" (user text can) would end the section early and break the answer:
  // such a sequence is split across two sections.
  TKXRenderStream Inner(rnInMemory);
  TKXMarkupLanguageTag::RenderContents(Inner, AIndent);
  ABuffer.WriteString("<![CDATA[");
  ABuffer.WriteString(ReplaceAll(Inner.Extract(), "]]>", "]]]]><![CDATA[>"));
  ABuffer.WriteString("]]>");
}
