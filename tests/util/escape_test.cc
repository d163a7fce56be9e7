#include "util/escape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "util/codepage.h"

namespace tw {
namespace {

// A GBK character whose trail byte is "\" (0x5C): U+5F4C in CP936.
#define GBK_TRAIL_BACKSLASH "\x95\x5C"
// A GBK character whose trail byte is "_" (0x5F).
#define GBK_TRAIL_UNDERSCORE "\x81\x5F"

TEST(SqlEscapeTest, Cases) {
  struct Case {
    const char* in;
    const char* out;
    const char* why;
  } cases[] = {
      {"O'Brien  ", "O''Brien", "quotes doubled, trailing blanks trimmed"},
      {"  lead\t\r\n\v\f", "  lead", "leading blanks kept, all trailing white space trimmed"},
      {"''", "''''", "every quote"},
      {"<SCRIPT>a&gt;b</SCRIPT>", "<SCRIPT>a&gt;b</SCRIPT>", "escaped markup is never turned live"},
      {"a&gt;b", "a&gt;b", "entities kept"},
      {GBK_TRAIL_BACKSLASH "'", GBK_TRAIL_BACKSLASH "''", "a trail byte 0x5C is no escape"},
      {"", "", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SqlEscape(c.in), c.out) << c.why;
  }
  EXPECT_EQ(SqlEscape(nullptr), "");
}

TEST(MakeLikePatternTest, Cases) {
  struct Case {
    const char* in;
    int mode;
    const char* out;
    const char* why;
  } cases[] = {
      {" 50%_x ", kLikeContains, "%50\\%\\_x%", "wildcards escaped with a backslash"},
      {"a\\b", 9, "a\\\\b", "backslash escaped"},
      {"O'B", kLikeBeginsWith, "O''B%", "quote doubled, begins with"},
      {"[x]", kLikeEndsWith, "%[x]", "brackets are ordinary in PostgreSQL"},
      {GBK_TRAIL_UNDERSCORE GBK_TRAIL_BACKSLASH, kLikeContains,
       "%" GBK_TRAIL_UNDERSCORE GBK_TRAIL_BACKSLASH "%", "trail bytes are never escaped"},
      {"\x81'x", 9, "\x81''x", "a stray lead byte does not swallow the quote after it"},
      {"\xB0%", 9, "\xB0\\%", "nor the wildcard after it"},
      {"   ", kLikeContains, "", "only blanks"},
      {"", kLikeContains, "", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeLikePattern(c.in, c.mode), c.out) << c.why;
  }
}

TEST(UrlTest, Decode) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a+b%2Bc%2b", "a b+c+"},  // plus, upper- and lower-case hex
      {"100%", "100%"},
      {"%zz%4", "%zz%4"},
      {"%22%D6%D0%22", "\"\xD6\xD0\""},
      {"%%41", "%A"},
  };
  for (const Case& c : cases) {
    char buf[32];
    strcpy(buf, c.in);
    EXPECT_STREQ(UrlDecode(buf), c.out) << c.in;
  }
}

TEST(UrlTest, Encode) {
  char out[32];
  EXPECT_STREQ(UrlEncode("a b*-._~", out, sizeof out), "a+b*-._%7E");
  EXPECT_STREQ(UrlEncode("\xD6\xD0", out, sizeof out), "%D6%D0");
  // 3 x length + 1 is needed; one byte less gives an empty text.
  char room[10];
  EXPECT_STREQ(UrlEncode("abc", room, 10), "abc");
  EXPECT_STREQ(UrlEncode("abc", room, 9), "") << "one byte short of 3 x 3 + 1";
}

TEST(FormFieldTest, Cases) {
  const char* body = "amount=12&name=A%2BB+C&xname=no&empty=&last=1";
  char out[16];
  EXPECT_STREQ(GetFormField("name", body, out, 15), "A+B C");
  EXPECT_STREQ(GetFormField("amount", body, out, 15), "12");
  EXPECT_STREQ(GetFormField("empty", body, out, 15), "");
  EXPECT_STREQ(GetFormField("last", body, out, 15), "1");
  EXPECT_EQ(GetFormField("missing", body, out, 15), nullptr);
  EXPECT_STREQ(GetFormField("name", body, out, 2), "A+");
  const char* raw = GetFormField("xname", body, nullptr, 0);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::string(raw, 2), "no");
}

TEST(Base64Test, EncodeSizesAndPadding) {
  struct Case {
    const char* in;
    const char* out;  // RFC 4648 section 10
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const Case& c : cases) {
    char out[16];
    size_t needed = 0;
    ASSERT_EQ(Base64Encode(c.in, strlen(c.in), out, sizeof out, &needed, 0), 0);
    EXPECT_STREQ(out, c.out);
    EXPECT_EQ(needed, strlen(c.out));
  }
  char out[8];
  size_t needed = 0;
  EXPECT_EQ(Base64Encode("abcd", 4, out, 7, &needed, 0), kBadLength);
  EXPECT_EQ(needed, 8u);
  // Exactly the text length: written without a NUL.
  memset(out, '#', sizeof out);
  EXPECT_EQ(Base64Encode("abcd", 4, out, 8, nullptr, 0), 0);
  EXPECT_EQ(std::string(out, 8), "YWJjZA==");
  char lines[32];
  EXPECT_EQ(Base64Encode("foobarfoobar", 12, lines, sizeof lines, &needed, 2), 0);
  EXPECT_STREQ(lines, "Zm9vYmFy\r\nZm9vYmFy\r\n");
  EXPECT_EQ(needed, 20u);
}

TEST(Base64Test, Decode) {
  struct Case {
    const char* in;
    int result;
    const char* out;
    const char* why;
  } cases[] = {
      {"QQ==", 0, "A", "padding"},
      {"QUI=", 0, "AB", "one pad"},
      {"QQ", 0, "", "a partial group is ignored"},
      {"Q!==", kBadCharacter, "", "bad character"},
      {"", kBadCharacter, "", "empty"},
      {"QU\r\nJD", 0, "ABC", "line breaks skipped"},
      {"+ QUJD", 0, "ABC", "a + turned blank by form decoding"},
      {"QQ==QUJD", 0, "AABC", "padding accepted in any group"},
      {"=QQQ", kBadCharacter, "", "padding first"},
  };
  for (const Case& c : cases) {
    char out[16];
    size_t count = 99;
    EXPECT_EQ(Base64Decode(c.in, strlen(c.in), out, sizeof out, &count), c.result) << c.why;
    if (c.result == 0) {
      EXPECT_EQ(std::string(out, count), c.out) << c.why;
    }
  }
  char tiny[3];
  size_t count = 0;
  EXPECT_EQ(Base64Decode("QUJD", 4, tiny, sizeof tiny, &count), kBadLength) << "no room for 3 + NUL";
}

TEST(Base64Test, DecodeInPlace) {
  char text[] = "QUJD\r\nREVG";
  EXPECT_EQ(Base64DecodeInPlace(text), 6);
  EXPECT_EQ(std::string(text, 6), "ABCDEF");
  char odd[] = "QUJDR";
  EXPECT_EQ(Base64DecodeInPlace(odd), kBadLength);
  char shortText[] = "QQ=";
  EXPECT_EQ(Base64DecodeInPlace(shortText), 0);
  char bad[] = "QU*D";
  EXPECT_EQ(Base64DecodeInPlace(bad), kBadCharacter);
}

TEST(Base64Test, CarrierFields) {
  // Flag byte 6, then base64 of the UTF-8 text "Caf", U+00E9, " ", U+4E2D.
  char field[64] = "\x06" "Q2Fmw6kg5Lit";  // base64 of 43 61 66 C3 A9 20 E4 B8 AD
  EXPECT_STREQ(DecodeBase64Field(field), "Cafe \xD6\xD0");  // accent folded, then GBK
  char plain[] = "plain";
  EXPECT_STREQ(DecodeBase64Field(plain), "plain");
  char out[32];
  EXPECT_STREQ(DecodeField("\x07" "Q2Fmw6kg5Lit", out, sizeof out), "Caf\xC3\xA9 \xE4\xB8\xAD");
  EXPECT_STREQ(DecodeField("a&amp;\xD6\xD0", out, sizeof out), "a&\xE4\xB8\xAD");
  EXPECT_STREQ(DecodeField("", out, sizeof out), "");
}

TEST(HtmlEntityTest, TableOrderAndSize) {
  EXPECT_EQ(std::u16string_view(u"&"), std::u16string_view(&HtmlEntityTable[1].ch, 1));
  EXPECT_STREQ(HtmlEntityTable[0].name, "&quot;");
  EXPECT_STREQ(HtmlEntityTable[5].name, "&nbsp;");
  EXPECT_EQ(HtmlEntityTable[5].ch, 0xA0);
  EXPECT_STREQ(HtmlEntityTable[6].name, "&iexcl;");
  EXPECT_STREQ(HtmlEntityTable[kHtmlEntityCount - 1].name, "&diams;");
}

TEST(HtmlEntityTest, Decode) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
    const char* why;
  } cases[] = {
      {u"&#20013;", u"\u4E2D", "decimal reference"},
      {u"&#9;", u"&#9;", "below 10 stays"},
      {u"&#65;B", u"AB", "the semicolon is optional"},
      {u"&#65536;", u"&#65536;", "above 65535 stays"},
      {u"&#x41;", u"&#x41;", "hex references stay"},
      {u"&lt;p&gt;&nbsp;&hearts;", u"<p>\u00A0\u2665", "named references"},
      {u"&amp;lt;", u"<", "&amp; is decoded before &lt;"},
      {u"&amp;quot;", u"&quot;", "&quot; comes before &amp;"},
      {u"&amp;amp;", u"&amp;", "one pass per name"},
      {u"&#38;lt;", u"<", "a numeric & meets the named pass"},
      {u"&unknown; & &", u"&unknown; & &", "not references"},
  };
  for (const Case& c : cases) {
    char16_t buf[32];
    std::u16string in(c.in);
    memcpy(buf, in.c_str(), (in.size() + 1) * sizeof(char16_t));
    DecodeHtmlEntitiesWide(buf);
    EXPECT_EQ(std::u16string(buf), std::u16string(c.out)) << c.why;
  }
}

TEST(CleanHtmlTest, Cases) {
  struct Case {
    const char* in;
    bool collapse;
    const char* out;
    const char* why;
  } cases[] = {
      {"<p>a&amp;b<br>c</p>", true, "a&b c", "entity, break and tags"},
      {"x<!-- c -->y<script type=x>bad()</SCRIPT>z", false, "xyz", "comments and scripts"},
      {"a <BR/>b", false, "a b", "a break after a blank is removed"},
      {"\xA1\xA1  a \t\r\n b  \xA1\xA1", true, "a b", "collapsed, full-width blanks trimmed"},
      {"a<b", false, "a<b", "a < without > stays"},
      {"&lt;&gt;&quot;&nbsp;", false, "<>\" ", "basic entities"},
      {"x<!-- open", false, "x<!-- open", "a comment without an end stays"},
  };
  for (const Case& c : cases) {
    char buf[128];
    strcpy(buf, c.in);
    EXPECT_STREQ(CleanHtml(buf, c.collapse), c.out) << c.why;
  }
}

TEST(ContainsNoCaseTest, Cases) {
  EXPECT_EQ(ContainsNoCase("text/html; Charset=UTF-8", "CHARSET=UTF-8"), 1);
  EXPECT_EQ(ContainsNoCase("abc", "abcd"), 0);
  EXPECT_EQ(ContainsNoCase("abc", ""), 1);
  const char needle[] = "script";  // const: nothing writes into it
  EXPECT_EQ(ContainsNoCase("<SCRIPT>", needle), 1);
}

}  // namespace
}  // namespace tw
