// The carrier clients' shared text helpers: XML escaping of texts that reach a carrier, the label
// URLs carriers hand back, and kind lines of the settings files.

#include "carriers/internal/carrier_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tw::carrier::ReadKinds;
using tw::carrier::SplitLabelUrl;
using tw::carrier::XmlEscape;

TEST(CarrierTextTest, XmlEscapeLeavesNoMarkup) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"A&B <x>", "A&amp;B &lt;x&gt;"},
      {"\"q\" 'a'", "&quot;q&quot; &apos;a&apos;"},
      {"&#1234; kept", "&#1234; kept"},  // a decimal reference the JSON reader wrote
      {"&#12a; &#; &amp;", "&amp;#12a; &amp;#; &amp;amp;"},
      {"衣服<", "衣服&lt;"},
      {"\x81<b>", "\x81&lt;b&gt;"},  // a lead byte without its trail byte never hides a '<'
      {"\x81", "\x81"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlEscape(c.in), c.out) << c.in;
}

TEST(CarrierTextTest, LabelUrls) {
  const struct {
    std::string url;
    int result;
    std::string host;
    int32_t port;
    std::string path;
  } cases[] = {
      {"http://labels.example/a.pdf?x=1&amp;y=2", 0, "labels.example", 80, "/a.pdf?x=1&y=2"},
      {"HTTP://127.0.0.1:8081/a.pdf", 0, "127.0.0.1", 8081, "/a.pdf"},
      {"see http://h/a", 0, "h", 80, "/a"},
      {"", -3, "", 0, ""},
      {"https://h/a", -4, "", 0, ""},
      {"http://h", -5, "", 0, ""},
      {"http://h:0/a", -4, "", 0, ""},
      {"http://h:99999/a", -4, "", 0, ""},
      {"http://h/a b", -4, "", 0, ""},
      {"http://h/a&#13;&#10;X: y", -4, "", 0, ""},  // no header can be smuggled in
  };
  for (const auto& c : cases) {
    std::string host, path;
    int32_t port = 0;
    const int rc = SplitLabelUrl(c.url, host, &port, path);
    EXPECT_EQ(rc, c.result) << c.url;
    if (rc == 0) {
      EXPECT_EQ(host, c.host) << c.url;
      EXPECT_EQ(port, c.port) << c.url;
      EXPECT_EQ(path, c.path) << c.url;
    }
  }
}

TEST(CarrierTextTest, KindLines) {
  const auto eub = ReadKinds("\r\nK1=0\r\n  k2 =2=1\r\nbad line\r\n=1\r\nK3=\r\n" + std::string(16, 'L') + "=1\r\n", 1, true);
  ASSERT_EQ(eub.size(), 2u);
  EXPECT_STREQ(eub[0].kind, "K1");
  EXPECT_STREQ(eub[0].code, "0");
  EXPECT_EQ(eub[0].product, '\0');
  EXPECT_STREQ(eub[1].kind, "k2");
  EXPECT_EQ(eub[1].product, '1');
  EXPECT_NE(tw::carrier::FindKindIn(eub, "K2"), nullptr);
  const auto sf = ReadKinds("S=1\r\nT=12 x\r\nU=123\r\n", 2, false);
  ASSERT_EQ(sf.size(), 3u);
  EXPECT_STREQ(sf[0].code, "1");
  EXPECT_STREQ(sf[1].code, "12");
  EXPECT_STREQ(sf[2].code, "12");
}

}  // namespace
