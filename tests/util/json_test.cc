#include "util/json.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace tw {
namespace {

// UTF-8 and GBK forms of the characters the cases use (bytes from the Unicode and CP936 tables).
#define U8_ZHONG "\xE4\xB8\xAD"   // U+4E2D
#define U8_WEN "\xE6\x96\x87"     // U+6587
#define GBK_ZHONG "\xD6\xD0"
#define GBK_WEN "\xCE\xC4"
#define U8_GRIN "\xF0\x9F\x98\x80"  // U+1F600, the units D83D DE00
#define U8_EURO "\xE2\x82\xAC"      // U+20AC

struct ReadCase {
  const char* text;
  const char* key;
  size_t max;
  int mode;
  const char* expected;
  const char* why;
};

TEST(JsonReadTest, GetString) {
  const ReadCase cases[] = {
      {R"({"cNum":"A1"})", "cNum", 30, 0, "A1", "plain value"},
      {R"({"cNum" : "A1"})", "cNum", 30, 0, "A1", "blanks around the colon"},
      {R"({"cNum"%20:%20"A1"})", "cNum", 30, 0, "A1", "%20 blanks of a URL-encoded body"},
      {"{\"cNum\"\t\r\n:\n \"A1\"}", "cNum", 30, 0, "A1", "TAB, CR, LF blanks"},
      {R"({"cMess":"cNum","cNum":"X"})", "cNum", 30, 0, "", "first occurrence is not a key"},
      {R"({"c":"a\x22b"})", "c", 30, 0, "a\"b", "own \\xHH escape"},
      {R"({"c":"a\"b"})", "c", 30, 0, "a\"b", "backslash-quote"},
      {R"({"c":"a\x00b"})", "c", 30, 0, "a\\x00b", "a zero byte is not decoded"},
      {R"({"c":"a\x2fb\x5C"})", "c", 30, 0, "a/b\\", "lower-case hex digits too"},
      {R"({"c":"a\\","d":"x"})", "c", 30, 0, "a\\", "an escaped backslash ends before the quote"},
      {R"({"c":"1\n2\t3\r"})", "c", 30, 0, "1\n2\t3\r", "usual escapes"},
      {R"({"c":"C:\\new"})", "c", 30, 0, "C:\\new", "escaped backslash then n stays two bytes"},
      {R"({"c":"a\/b"})", "c", 30, 0, "a\\/b", "backslash-slash is kept"},
      {"{\"c\":\"" U8_ZHONG U8_WEN "\"}", "c", 30, 0, GBK_ZHONG GBK_WEN, "UTF-8 to GBK, mode 0"},
      {"{\"c\":\"" U8_ZHONG U8_WEN "\"}", "c", 30, 1, GBK_ZHONG GBK_WEN, "UTF-8 to GBK, mode 1"},
      {"{\"c\":\"" U8_GRIN "\"}", "c", 30, 1, "&#55357;&#56832;", "no GBK code: one reference per unit"},
      {"{\"c\":\"" U8_GRIN "\"}", "c", 30, 0, "??", "no GBK code: ? per unit"},
      {"{\"c\":\"" U8_EURO "x\"}", "c", 30, 1, "&#8364;x", "the euro has no two-byte code"},
      {"{\"c\":\"" U8_EURO "x\"}", "c", 30, 0, "\x80x", "code page 936 writes the euro as 0x80"},
      {R"({"c":"\u4E2D\u6587A"})", "c", 30, 0, GBK_ZHONG GBK_WEN "A", "\\u escapes, mode 0"},
      {R"({"c":"\u4e2d"})", "c", 30, 1, GBK_ZHONG, "\\u escapes, lower-case hex, mode 1"},
      {R"({"c":"\u00e9"})", "c", 30, 1, "\xA8\xA6", "e-acute has a GBK code"},
      {R"({"i":123})", "i", 30, 0, "123", "bare value stops at }"},
      {R"({"i":123 ,"j":1})", "i", 30, 0, "123", "bare value stops at a blank"},
      {R"({"i":null})", "i", 30, 0, "", "null"},
      {R"({"i":""})", "i", 30, 0, "", "empty quoted value"},
      {R"({"i":"abc)", "i", 30, 0, "", "unterminated value"},
      {R"({"i")", "i", 30, 0, "", "key at the end of the text"},
      {R"({"i":)", "i", 30, 0, "", "colon at the end of the text"},
      {R"({"i":"ABCDEF"})", "i", 3, 0, "ABC", "cut at max"},
      {"{\"i\":\"" U8_ZHONG U8_WEN "\"}", "i", 3, 0, GBK_ZHONG, "never half a character, mode 0"},
      {"{\"i\":\"" U8_ZHONG U8_WEN "\"}", "i", 3, 1, GBK_ZHONG, "never half a character, mode 1"},
      {"{\"i\":\"" U8_GRIN "\"}", "i", 10, 1, "&#55357;", "a reference is written whole or not"},
      {"{\"i\":\"A\x81\x40\"}", "i", 2, 0, "A", "raw GBK is cut at a character boundary"},
      {"{\"i\":\"A\x81\x40\"}", "i", 3, 0, "A\x81\x40", "raw GBK without a high-byte pair"},
      {"{\"i\":\"" GBK_ZHONG "\"}", "i", 9, 0, "??", "raw GBK with a high-byte pair reads as UTF-8"},
      {R"({"missing":1})", "i", 30, 0, "", "missing key"},
  };
  for (const ReadCase& c : cases) {
    char out[64];
    memset(out, 'Z', sizeof out);
    JsonGetString(c.key, c.text, out, c.max, c.mode);
    EXPECT_STREQ(out, c.expected) << c.why << ": " << c.text;
    EXPECT_LE(strlen(out), c.max) << c.why;
  }
}

TEST(JsonReadTest, ReaderLeavesTheRequestTextAlone) {
  const std::string request = R"({"a":"x\x22y","b":[{"c":"1"}],"d":"\u4E2D"})";
  std::string copy = request;
  char out[32];
  JsonGetString("a", copy, out, 31, 0);
  JsonGetString("d", copy, out, 31, 1);
  (void)JsonGetInt("c", copy, 0);
  EXPECT_EQ(copy, request);
}

TEST(JsonReadTest, LongKeysFindNothing) {
  std::string key(62, 'k');
  std::string text = "{\"" + key + "\":\"v\"}";
  char out[8];
  EXPECT_STREQ(JsonGetString(key.c_str(), text, out, 7, 0), "");
  key.pop_back();  // 61 characters still work
  text = "{\"" + key + "\":\"v\"}";
  EXPECT_STREQ(JsonGetString(key.c_str(), text, out, 7, 0), "v");
}

TEST(JsonReadTest, Numbers) {
  struct IntCase {
    const char* text;
    int expected;
  } ints[] = {
      {R"({"iID":"12"})", 12},          {R"({"iID":12})", 12},
      {R"({"iID":null})", -7},          {R"({"x":1})", -7},
      {R"({"iID":""})", -7},            {R"({"iID":-15})", -15},
      {R"({"iID":"abc"})", 0},          {R"({"iID":" 42x"})", 42},
      {R"({"iID":99999999999})", INT_MAX}, {R"({"iID":-99999999999})", INT_MIN},
  };
  for (const IntCase& c : ints) {
    EXPECT_EQ(JsonGetInt("iID", c.text, -7), c.expected) << c.text;
  }
  EXPECT_EQ(JsonGetInt64("n", R"({"n":9007199254740993})"), 9007199254740993LL);
  EXPECT_EQ(JsonGetInt64("n", R"({"n":"-9223372036854775808"})"), INT64_MIN);
  EXPECT_EQ(JsonGetInt64("n", R"({"m":1})"), 0);
  EXPECT_DOUBLE_EQ(JsonGetDouble("f", R"({"f":2.5})", -1), 2.5);
  EXPECT_DOUBLE_EQ(JsonGetDouble("f", R"({"f":"1e3"})", -1), 1000.0);
  EXPECT_DOUBLE_EQ(JsonGetDouble("f", R"({"g":2})", -1), -1.0);
}

TEST(JsonReadTest, Bool) {
  struct BoolCase {
    const char* text;
    int expected;
  } cases[] = {
      {R"({"bA":1})", 0},  // only a value beginning with T or t is true
      {R"({"bA":true})", 1}, {R"({"bA":"True"})", 1}, {R"({"bA":false})", 0},
      {R"({"bB":true})", 5}, {R"({"bA":null})", 5},
  };
  for (const BoolCase& c : cases) {
    EXPECT_EQ(JsonGetBool("bA", c.text, 5), c.expected) << c.text;
  }
}

TEST(JsonReadTest, FindKeyAndRawTryLaterOccurrences) {
  const char* text = R"({"a":"k","k" : "v1" ,"n":12;x})";
  const char* key = JsonFindKey("k", text);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(std::string(key, 3), "\"k\"");
  EXPECT_EQ(key - text, 9);
  const char* end = nullptr;
  const char* raw = JsonGetRaw("k", text, &end);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::string(raw, end), "v1");
  raw = JsonGetRaw("n", text, &end);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::string(raw, end), "12");  // a bare raw value ends at ";"
  EXPECT_EQ(JsonGetRaw("z", text, &end), nullptr);
  EXPECT_EQ(JsonGetRaw("u", R"({"u":"open)", &end), nullptr);
  // The value readers do not try again: the first "k" decides.
  char out[8];
  EXPECT_STREQ(JsonGetString("k", text, out, 7, 0), "");
}

TEST(JsonReadTest, StringArray) {
  std::vector<std::string> items{"kept"};
  EXPECT_EQ(JsonGetStringArray("TransNums", R"({"TransNums":["A","","BB"]})", items, 1, 5), 3u);
  EXPECT_EQ(items, (std::vector<std::string>{"kept", "A", "BB"}));
  items.clear();
  EXPECT_EQ(JsonGetStringArray("TransNums", R"({"TransNums":["ABCDEF","B"]})", items, 1, 5), 1u);
  EXPECT_EQ(items, std::vector<std::string>{"B"});
  items.clear();
  // "[" further than the key's length plus 10 bytes from the key's quote is not its list.
  EXPECT_EQ(JsonGetStringArray("T", R"({"T":          ["A"]})", items, 0, 9), 0u);
  EXPECT_EQ(JsonGetStringArray("T", R"({"T":  ["A"]})", items, 0, 9), 1u);
  EXPECT_EQ(JsonGetStringArray("T", R"({"T":["A")", items, 0, 9), 0u);  // no "]"
  EXPECT_EQ(items.size(), 1u);
}

TEST(JsonReadTest, WalkingAListOfObjects) {
  const char* text = R"({"cNum":"top","GoodsList":[{"cNum":"}1{","i":1},{"cNum":"B","i":2}],"x":{}})";
  const char* list = JsonGetRaw("GoodsList", text, nullptr);
  ASSERT_NE(list, nullptr);
  std::string_view rest(list);
  std::string_view item;
  std::vector<std::string> nums;
  while (JsonNextObject(rest, item)) {
    char num[16];
    nums.push_back(JsonGetString("cNum", item, num, 15, 0));
    if (nums.size() == 2) {
      break;
    }
  }
  EXPECT_EQ(nums, (std::vector<std::string>{"}1{", "B"}));
  EXPECT_EQ(JsonGetInt("i", text, 0), 1);  // the first occurrence is inside the list
  EXPECT_EQ(JsonNextObjectStart(R"("{" x)"), nullptr);
  EXPECT_EQ(JsonNextObjectEnd(R"(a"})"), nullptr);
}

TEST(JsonReadTest, AnEscapedQuoteStaysInsideItsString) {
  // The reader takes \" as part of a value; the object walk must too, or the brace after it would
  // end the object.
  std::string_view rest = R"([{"cxGoods":"12\" TV}","n":1},{"cxGoods":"x\\","n":2}])";
  std::string_view item;
  ASSERT_TRUE(JsonNextObject(rest, item));
  EXPECT_EQ(item, R"({"cxGoods":"12\" TV}","n":1})");
  EXPECT_EQ(JsonGetString("cxGoods", item, 31, 0), "12\" TV}");
  ASSERT_TRUE(JsonNextObject(rest, item));  // an escaped backslash ends no string early
  EXPECT_EQ(item, R"({"cxGoods":"x\\","n":2})");
  EXPECT_EQ(JsonGetInt("n", item, 0), 2);
}

TEST(JsonReadTest, UnescapeOfLongValuesIsARawCopy) {
  std::string value(kJsonUnescapeMax, 'a');
  value.replace(0, 4, "\\x41");
  std::string text = "{\"p\":\"" + value + "\"}";
  std::string out = JsonGetString("p", text, 8, 0);
  EXPECT_EQ(out, "\\x41aaaa");
}

struct WriteCase {
  const char* value;
  bool bFlat;
  const char* expected;
  const char* why;
};

TEST(JsonWriteTest, PutString) {
  const WriteCase cases[] = {
      {"a\"b/c", false, R"("k":"a\x22b\x2Fc")", "specials as \\xHH"},
      {"a\\b\b\f\t", false, R"("k":"a\x5Cb\x08\x0C\x09")", "the rest of the escape table"},
      {"1\r\n2", false, R"("k":"1\x0D\x0A2")", "CR LF escaped"},
      {"1\r\n2", true, R"("k":"1 2")", "flat: CR dropped, LF a blank"},
      {"", false, R"("k":"")", "empty value"},
      {GBK_ZHONG GBK_WEN, false, "\"k\":\"" U8_ZHONG U8_WEN "\"", "GBK to UTF-8"},
      {"\x80", false, "\"k\":\"" U8_EURO "\"", "0x80 is the euro sign"},
      {"&lt;b&gt;&amp;lt;", false, R"("k":"<b><")", "entities decoded, &amp; first"},
      {"&#20013;&#9;", false, "\"k\":\"" U8_ZHONG "&#9;\"", "numeric references of 10 and more"},
      {"x2D4E", false, "\"k\":\"" U8_ZHONG "\"", "the x-hex form is little-endian UTF-16"},
      {"x2d4e", false, R"("k":"x2d4e")", "lower-case hex is not the x-hex form"},
  };
  for (const WriteCase& c : cases) {
    char buf[128];
    OutBuf out(buf, sizeof buf);
    EXPECT_TRUE(JsonPutString(out, "k", c.value, false, kCodePageGbk, c.bFlat));
    EXPECT_STREQ(out.data(), c.expected) << c.why;
  }
}

TEST(JsonWriteTest, NumbersAndCommas) {
  char buf[256];
  OutBuf out(buf, sizeof buf);
  out.AppendChar('{');
  JsonPutInt(out, "ReturnValue", -731, true);
  JsonPutInt64(out, "n", 9007199254740993LL, true);
  JsonPutBool(out, "b", true, true);
  JsonPutDouble(out, "d2", 2.5, 2, true);
  JsonPutDouble(out, "d0", 2.5, 0, true);
  JsonPutDouble(out, "d7", 2.5, 7, true);
  JsonPutDouble(out, "r", 0.125, 2, true);
  JsonPutDouble(out, "neg", -1.005, 1, false);
  out.AppendChar('}');
  EXPECT_STREQ(out.data(),
               R"({"ReturnValue":-731,"n":9007199254740993,"b":true,"d2":2.50,"d0":2.500000,)"
               R"("d7":2.500000,"r":0.12,"neg":-1.0})");
}

TEST(JsonWriteTest, OverflowKeepsTheLastWholePiece) {
  char buf[24];
  OutBuf out(buf, sizeof buf);
  EXPECT_TRUE(JsonPutInt(out, "iID", 12, true));
  EXPECT_FALSE(JsonPutString(out, "cName", GBK_ZHONG GBK_WEN GBK_ZHONG GBK_WEN, true));
  EXPECT_TRUE(out.overflowed());
  EXPECT_STREQ(out.data(), "\"iID\":12,");
  EXPECT_FALSE(JsonPutInt(out, "i", 1, false));
  EXPECT_STREQ(out.data(), "\"iID\":12,");
}

TEST(JsonWriteTest, EscapedValueThatFitsExactlyIsWritten) {
  // The escaper measures exactly when its worst case does not fit.
  const char* value = GBK_ZHONG "\"";  // 3 UTF-8 bytes + 4
  char buf[10];
  OutBuf out(buf, sizeof buf);
  out.Append("ab");
  EXPECT_TRUE(JsonEscapeUtf8(value, out, kCodePageGbk, false));
  EXPECT_STREQ(out.data(), "ab" U8_ZHONG "\\x22");
}

TEST(JsonWriteTest, EscapeWide) {
  char buf[64];
  OutBuf out(buf, sizeof buf);
  EXPECT_TRUE(JsonEscapeWide(GBK_ZHONG "a/\r\n", out, kCodePageGbk, false));
  EXPECT_STREQ(out.data(), R"(\u4E2Da\x2F\x0D\x0A)");
  out.Clear();
  EXPECT_TRUE(JsonEscapeWide("\xA8\xA6\r\n", out, kCodePageGbk, true));
  EXPECT_STREQ(out.data(), R"(\u00E9 )");
}

TEST(JsonWriteTest, GrowableReplyTakesAnyLength) {
  char slot[16];
  OutBuf out = OutBuf::Growable(slot, sizeof slot, 1 << 20);
  std::string big(5000, 'x');
  EXPECT_TRUE(JsonPutString(out, "k", big.c_str(), false));
  EXPECT_EQ(out.size(), big.size() + 6);
}

TEST(JsonRoundTripTest, WriterOutputReadsBack) {
  const char* values[] = {"plain", "q\"uote/slash\\back", "tab\tcr\rlf\n", GBK_ZHONG GBK_WEN "A"};
  for (const char* v : values) {
    char buf[128];
    OutBuf out(buf, sizeof buf);
    out.AppendChar('{');
    JsonPutString(out, "v", v, false);
    out.AppendChar('}');
    char back[64];
    EXPECT_STREQ(JsonGetString("v", out.view(), back, 63, 0), v) << out.data();
  }
}

}  // namespace
}  // namespace tw
