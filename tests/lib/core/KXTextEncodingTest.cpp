#include <gtest/gtest.h>

#include "render/KXRenderContext.h"
#include "core/KXTextEncoding.h"

TEST(TextToHTML, EscapesAndOptions) {
  const struct {
    const char* Name;
    std::string Text;
    bool EOLs, Spaces;
    std::string Expected;
  } Cases[] = {
      {"specials", "a<b & 'c'", false, false, "a&lt;b &amp; &#39;c&#39;"},
      {"specials with spaces", "a<b & 'c'", false, true, "a&lt;b&nbsp;&amp;&nbsp;&#39;c&#39;"},
      {"quote and greater-than", "\"x\">", false, false, "&quot;x&quot;&gt;"},
      {"line feed converted", "x\ny", true, false, "x<br>y"},
      {"CR LF converted", "x\r\ny\r", true, false, "x<br>y"},
      {"line ends kept", "x\r\ny", false, false, "x\r\ny"},
      {"non-ASCII kept", "čaj ż€😀", true, true, "čaj&nbsp;ż€😀"},
      // U+010D and U+0A0D share a byte value with CR and LF in other encodings, never in UTF-8.
      {"no false line breaks", "č\u0A0D\u010A", true, false, "č\u0A0D\u010A"},
      {"empty", "", true, true, ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(TextToHTML(Case.Text, Case.EOLs, Case.Spaces), Case.Expected);
  }
}

TEST(TextToJSStringLiteral, EscapesForBothQuoteKinds) {
  const struct {
    const char* Name;
    std::string Text;
    std::string Expected;
  } Cases[] = {
      {"quotes and tags", "It's \"</b>\"", "It\\'s \\\"\\</b\\>\\\""},
      {"backslash", "a\\b", "a\\\\b"},
      {"line ends", "a\r\nb\nc\r", "a\\nb\\nc"},
      {"non-ASCII kept", "zażółć €", "zażółć €"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(TextToJSStringLiteral(Case.Text), Case.Expected);
  }
}

TEST(TextToHTMLStringLiteral, KeepsSafeCharactersAndNumbersTheRest) {
  const struct {
    const char* Name;
    std::string Text;
    std::string Expected;
  } Cases[] = {
      {"blank", "a b", "a&#32;b"},
      {"kept characters", "Az09,-._", "Az09,-._"},
      {"markup and quotes", "<\"'&>", "&#60;&#34;&#39;&#38;&#62;"},
      {"line end", "\r\n", "&#13;&#10;"},
      {"characters, not bytes", "żé€", "&#380;&#233;&#8364;"},
      {"beyond the basic plane", "😀", "&#128512;"},
      {"invalid bytes", std::string("a\xFF") + "\xC4", "a&#65533;&#65533;"},
      {"overlong form", "\xC0\xAF", "&#65533;&#65533;"},
      {"empty", "", ""},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(TextToHTMLStringLiteral(Case.Text), Case.Expected);
  }
}


