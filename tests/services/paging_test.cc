// The paged-list and batch-reply forms: which rows a page is, the filter pieces and their escaping,
// the reply pieces and the batch reply shape. (The statements themselves run in the end-to-end
// tests of the client requests.)

#include "core/paging.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ReadPagingKeys, DefaultsAndTheCap) {
  struct Case {
    const char* body;
    int32_t page, per;
  } cases[] = {
      {"{}", 0, 0},
      {"{\"iPage\":3,\"iPagePer\":10}", 3, 10},
      {"{\"iPage\":\"2\",\"iPagePer\":\"5000\"}", 2, 1000},  // the cap of 1000 rows
      {"{\"iPagePer\":-4}", 0, -4},                          // 0 or less: the count only
  };
  for (const Case& c : cases) {
    PagingKeys k = ReadPagingKeys(c.body);
    EXPECT_EQ(k.iPage, c.page) << c.body;
    EXPECT_EQ(k.iPagePer, c.per) << c.body;
  }
}

TEST(ChoosePage, PagesCountFromTheNewestRow) {
  // 25 rows, 10 per page: pages of 10, 10 and 5 rows. The nested form selects, for page p, the
  // newest 10 of the oldest 25 - (p - 1) x 10 rows, which is the offset (p - 1) x 10 computed by
  // hand below.
  struct Case {
    int64_t total;
    int32_t page, per;
    int32_t wantPage;
    int64_t wantOffset;
  } cases[] = {
      {25, 0, 10, 1, 0},     // 0 means the first page
      {25, 1, 10, 1, 0},
      {25, 2, 10, 2, 10},
      {25, 3, 10, 3, 20},    // the last page holds rows 5..1
      {25, 7, 10, 3, 20},    // beyond the last page: the last page
      {25, -2, 10, 1, 0},    // a negative page is the first (newest) page
      {20, 3, 10, 2, 10},    // no remainder: two pages
      {1, 1, 1000, 1, 0},
      {0, 4, 10, 1, 0},      // no rows: the first page
      {2500000000LL, 2147483647, 1000, 2500000, 2499999000LL},  // offsets beyond 32 bits
  };
  for (const Case& c : cases) {
    PageWindow w = ChoosePage(c.total, PagingKeys{c.page, c.per});
    EXPECT_EQ(w.page, c.wantPage) << c.total << " " << c.page;
    EXPECT_EQ(w.offset, c.wantOffset) << c.total << " " << c.page;
    EXPECT_EQ(w.limit, c.per) << c.total << " " << c.page;
  }
}

class ListFilterTest : public ::testing::Test {
 protected:
  char buf[64];  // small on purpose: long lists must move to the heap
};

TEST_F(ListFilterTest, PiecesInTheOrderAdded) {
  CListFilter f(buf, sizeof buf);
  f.Base(" FROM t WHERE icid=%d", 7);
  f.AddTwoStateMask("10", " AND irid=0", " AND irid>0");
  f.AddLike("cdes", "  US  ");
  f.AddEqual("cemskind", "EMS");
  f.Add(" AND a.ifid=%d", 12);
  EXPECT_TRUE(f.ok());
  EXPECT_EQ(f.text(), " FROM t WHERE icid=7 AND irid=0 AND cdes LIKE '%US%' AND cemskind='EMS' AND a.ifid=12");
}

TEST_F(ListFilterTest, TextsCannotLeaveTheirQuotes) {
  struct Case {
    const char* what;
    void (*add)(CListFilter&);
    const char* want;
  } cases[] = {
      // LIKE patterns: "%", "_" and "\" escaped with a backslash, "'" doubled, never escaped twice.
      {"literal percent", [](CListFilter& f) { f.AddLike("cmark", "50%"); }, " AND cmark LIKE '%50\\%%'"},
      {"literal underscore", [](CListFilter& f) { f.AddLike("cmark", "A_1"); }, " AND cmark LIKE '%A\\_1%'"},
      {"quote in a pattern", [](CListFilter& f) { f.AddLike("cdes", "O'Hare"); }, " AND cdes LIKE '%O''Hare%'"},
      {"quote in an exact text", [](CListFilter& f) { f.AddEqual("cemskind", "x' OR '1'='1"); },
       " AND cemskind='x'' OR ''1''=''1'"},
      {"empty pattern adds nothing", [](CListFilter& f) { f.AddLike("cdes", "   "); }, ""},
      {"empty exact text adds nothing", [](CListFilter& f) { f.AddEqual("cemskind", ""); }, ""},
  };
  for (const Case& c : cases) {
    CListFilter f(buf, sizeof buf);
    c.add(f);
    EXPECT_EQ(f.text(), c.want) << c.what;
  }
}

TEST(IsGbkText, EveryLeadByteWithItsTrail) {
  struct Case {
    const char* text;
    bool gbk;
  } cases[] = {
      {"", true},
      {"TW001", true},
      {"中文", true},         // GBK literal: two pairs
      {"\x80", true},         // the euro sign stands alone
      {"\xA1\xA1", true},     // the full-width blank
      {"A\x81", false},       // a lead byte at the end
      {"\x81'", false},       // a lead byte before a quote: no GBK trail
      {"\xFF\xA1", false},    // 0xFF leads nothing
      {"\x81\x7F", false},    // 0x7F is no trail
  };
  for (const Case& c : cases) EXPECT_EQ(IsGbkText(c.text), c.gbk) << c.text;
}

TEST_F(ListFilterTest, TextsThatAreNotGbkSelectNothing) {
  struct Case {
    std::string body;
    const char* want;
  } cases[] = {
      {"{\"cqNum\":\"A1,\x81',B2\"}", " AND cnum IN('A1','B2')"},  // the stray item is left out
      {"{\"cqNum\":\"\x81',\xFF\"}", " AND 1=0"},                 // only stray items
      {"{\"cqNum\":\"\x81' OR 1=1\"}", " AND 1=0"},                // a pattern
  };
  for (const Case& c : cases) {
    CListFilter f(buf, sizeof buf);
    char echo[31];
    f.ReadNumberFilter(c.body, "cnum", echo, sizeof echo);
    EXPECT_EQ(f.text(), c.want) << c.body;
  }
  CListFilter like(buf, sizeof buf);
  like.AddLike("cmark", "\x81') OR 1=1 --");
  EXPECT_EQ(like.text(), " AND 1=0");
  CListFilter equal(buf, sizeof buf);
  equal.AddEqual("cemskind", "\x81' OR '1'='1");
  EXPECT_EQ(equal.text(), " AND 1=0");
}

TEST_F(ListFilterTest, StateMasks) {
  struct Case {
    const char* mask;
    int positions;
    size_t exact;
    const char* want;
  } cases[] = {
      {"10100", 5, 0, " AND npayway IN(0,2)"},            // pay ways 0 and 2
      {"11111", 5, 0, ""},                                // only ones: every pay way
      {"00000", 5, 0, ""},                                // only zeros: every pay way
      {"0000001", 5, 0, " AND 1=0"},                      // only a position no pay way has
      {"00000000011", 11, 11, " AND a.nstate IN(9,10)"},  // states 9 and 10
      {"11111111111", 11, 11, ""},                        // no zero: no filter
      {"0000000011", 11, 11, ""},                         // ten characters: no filter
  };
  for (const Case& c : cases) {
    CListFilter f(buf, sizeof buf);
    f.AddPositionMask(c.positions == 5 ? "npayway" : "a.nstate", c.mask, c.positions, c.exact);
    EXPECT_EQ(f.text(), c.want) << c.mask;
  }
  for (const char* mask : {"11", "1", "00", "", "10 "}) {
    CListFilter f(buf, sizeof buf);
    f.AddTwoStateMask(mask, " A", " B");
    EXPECT_EQ(f.text(), "") << mask;
  }
}

TEST_F(ListFilterTest, DateRangeIsWholeDays) {
  struct Case {
    const char* body;
    const char* begin;
    const char* end;
    const char* want;
  } cases[] = {
      {"{\"dqBDate\":\"2026-12-01\",\"dqEDate\":\"2026/12/05\"}", "2026.12.01 00:00:00.0", "2026.12.05 23:59:59.998",
       " AND ddate>='2026.12.01 00:00:00.0' AND ddate<='2026.12.05 23:59:59.998'"},
      {"{\"dqEDate\":\"20261205\"}", "", "2026.12.05 23:59:59.998", " AND ddate<='2026.12.05 23:59:59.998'"},
      {"{\"dqBDate\":\"2026-02-30\",\"dqEDate\":\"x' OR 1=1 --\"}", "", "", ""},  // invalid dates add nothing
  };
  for (const Case& c : cases) {
    CListFilter f(buf, sizeof buf);
    FilterDate begin, end;
    f.ReadDateRange(c.body, "ddate", begin, end);
    EXPECT_STREQ(begin.text, c.begin) << c.body;
    EXPECT_STREQ(end.text, c.end) << c.body;
    EXPECT_EQ(f.text(), c.want) << c.body;
  }
}

TEST_F(ListFilterTest, NumberListOrPattern) {
  struct Case {
    std::string body;
    const char* want;
    const char* echo;
  } cases[] = {
      {"{\"cqNum\":\"TW001,TW002\"}", " AND cnum IN('TW001','TW002')", "TW001,TW002"},
      {"{\"cqNum\":\"TW001, TW002,\"}", " AND cnum IN('TW001','TW002')", "TW001, TW002"},  // trimmed, last "," dropped
      {"{\"cqNum\":\"tw001\"}", " AND cnum LIKE '%TW001%'", "TW001"},                       // one number: upper-cased pattern
      {"{\"cqNum\":\"TW001,\"}", " AND cnum LIKE '%TW001%'", "TW001"},                      // a single number with its ","
      {"{\"cqNum\":\"A',B') OR ('1'='1\"}", " AND cnum IN('A''','B'') OR (''1''=''1')", "A',B') OR ('1'='1"},
      {"{\"cqNum\":\"50%_\"}", " AND cnum LIKE '%50\\%\\_%'", "50%_"},
      {"{\"cqNum\":\",,\"}", "", ","},  // commas only: no number asked for
      {"{}", "", ""},
  };
  for (const Case& c : cases) {
    CListFilter f(buf, sizeof buf);
    char echo[31];
    f.ReadNumberFilter(c.body, "cnum", echo, sizeof echo);
    EXPECT_TRUE(f.ok()) << c.body;
    EXPECT_EQ(f.text(), c.want) << c.body;
    EXPECT_STREQ(echo, c.echo) << c.body;
  }
}

TEST_F(ListFilterTest, LongNumberLists) {
  // 1000 numbers of 11 characters: 11999 bytes, still a list; the filter grows past its buffer.
  std::string list;
  for (int i = 0; i < 1000; ++i) list += (i ? "," : "") + std::to_string(10000000000LL + i);
  ASSERT_EQ(list.size(), 11999u);
  CListFilter f(buf, sizeof buf);
  char echo[31];
  f.ReadNumberFilter("{\"cqNum\":\"" + list + "\"}", "cnum", echo, sizeof echo);
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.text().substr(0, 29), " AND cnum IN('10000000000','1");
  EXPECT_EQ(f.text().size(), std::string(" AND cnum IN()").size() + 1000 * 13 + 999);
  EXPECT_STREQ(echo, "10000000000,10000000001,100000");

  // One byte more: 12000 bytes is no list any more but a pattern of its first 30 bytes.
  CListFilter g(buf, sizeof buf);
  g.ReadNumberFilter("{\"cqNum\":\"" + list + "9\"}", "cnum", echo, sizeof echo);
  EXPECT_EQ(g.text(), " AND cnum LIKE '%10000000000,10000000001,100000%'");
}

TEST(JsonFields, CommasBetweenPieces) {
  char buf[256];
  tw::OutBuf out(buf, sizeof buf);
  out.AppendChar('{');
  CJsonFields(out).Int("i", -3).Int64("l", 2500000000LL).Real("f", 2.5, 2).Bool("b", true).Str("c", "a\"b").Raw("L", "[");
  EXPECT_EQ(out.view(), "{\"i\":-3,\"l\":2500000000,\"f\":2.50,\"b\":true,\"c\":\"a\\x22b\",\"L\":[");
  tw::OutBuf wide(buf, sizeof buf);
  CJsonFields(wide).StrWide("cMess", "记录已经处理。");  // GBK literal; UTF-16 units by hand
  EXPECT_EQ(wide.view(), "\"cMess\":\"\\u8BB0\\u5F55\\u5DF2\\u7ECF\\u5904\\u7406\\u3002\"");
}

TEST(FormatReplyDate, DriverTextsToReplyForms) {
  struct Case {
    const char* text;
    bool time;
    const char* want;
  } cases[] = {
      {"2026-12-04 08:02:10", true, "2026-12-04 08:02:10"},
      {"2026-12-04 08:02:10.123", false, "2026-12-04"},
      {"2026-12-04", true, "2026-12-04 00:00:00"},
      {"2026-2-4 8:2:1", true, "2026-02-04 08:02:01"},
      {"", true, ""},
      {"2026-12", false, ""},
  };
  for (const Case& c : cases) {
    char out[kReplyDateSize];
    FormatReplyDate(c.text, c.time, out);
    EXPECT_STREQ(out, c.want) << c.text;
  }
}

TEST(ParseSides, MissingSidesAreZero) {
  struct Case {
    const char* text;
    int32_t l, w, h;
  } cases[] = {{"30*20*15", 30, 20, 15}, {"30*20", 30, 20, 0}, {"30", 30, 0, 0}, {"", 0, 0, 0}, {"*5*", 0, 5, 0}};
  for (const Case& c : cases) {
    int32_t l = -1, w = -1, h = -1;
    ParseSides(c.text, &l, &w, &h);
    EXPECT_EQ(l, c.l) << c.text;
    EXPECT_EQ(w, c.w) << c.text;
    EXPECT_EQ(h, c.h) << c.text;
  }
}

TEST(BatchReply, ErrListOnlyWithEntries) {
  char buf[512];
  {
    tw::OutBuf out(buf, sizeof buf);
    CBatchReply reply(out, 0, 0);
    ASSERT_TRUE(reply.Finish());
    EXPECT_EQ(out.view(), "{\"ReturnValue\":0,\"OK\":0}");
  }
  {
    // The failure entries of a withdrawal: "iIndex" counts within "ErrList", the text as \u units.
    tw::OutBuf out(buf, sizeof buf);
    CBatchReply reply(out, 3, 2);
    reply.BeginEntry(0).Int("iID", 6).StrWide("cMess", "记录已经处理。");
    reply.EndEntry();
    ASSERT_TRUE(reply.Finish());
    EXPECT_EQ(out.view(),
              "{\"ReturnValue\":3,\"OK\":2,\"ErrList\":[{\"iIndex\":0,\"iID\":6,\"cMess\":"
              "\"\\u8BB0\\u5F55\\u5DF2\\u7ECF\\u5904\\u7406\\u3002\"}]}");
  }
  {
    tw::OutBuf out(buf, sizeof buf);
    CBatchReply reply(out, 2, 1);
    reply.BeginEntry(0).Int("iID", 41).Str("cNum", "TW1").Str("cMess", "");
    reply.EndEntry();
    reply.BeginEntry(1).Int("iID", 9).Str("cNum", "").Str("cMess", "目的地空");
    reply.EndEntry();
    ASSERT_TRUE(reply.Finish());
    EXPECT_EQ(out.view(),
              "{\"ReturnValue\":2,\"OK\":1,\"ErrList\":[{\"iIndex\":0,\"iID\":41,\"cNum\":\"TW1\",\"cMess\":\"\"},"
              "{\"iIndex\":1,\"iID\":9,\"cNum\":\"\",\"cMess\":\"\xE7\x9B\xAE\xE7\x9A\x84\xE5\x9C\xB0\xE7\xA9\xBA\"}]}");
  }
  {
    // A reply that does not fit says so instead of ending half-written.
    char tiny[40];
    tw::OutBuf out(tiny, sizeof tiny);
    CBatchReply reply(out, 1, 0);
    reply.BeginEntry(0).Int("iID", 123456);
    reply.EndEntry();
    EXPECT_FALSE(reply.Finish());
  }
}

}  // namespace
