// The field-fill block of tarnwick.ini and the lookups of kind fill records by kind and by alias.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "pricing/kind_fill.h"

namespace {

const std::string kStart = "<字段填写定义开始>\r\n";
const std::string kEnd = "<字段填写定义结束>\r\n";

std::vector<EmsKindExFields> Parse(const std::string& text) {
  std::vector<EmsKindExFields> out;
  ParseEmsKindExFields(text.c_str(), out);
  return out;
}

TEST(KindFill, SevenPiecesMakeARecordSixAreSkipped) {
  const auto r = Parse("IP=127.0.0.1\r\n" + kStart +
                       "K1=|R1|a|b|c|d|e\r\n"
                       "K2=|R2|a|b|c|d\r\n"       // six pieces: skipped, reading goes on
                       "K3=x|R3|||c||e|extra\n"   // empty pieces stay empty; an eighth is ignored
                       "\r\n\r\n"                 // blank lines are stepped over
                       "K4=|R4|1|2|3|4|5\r\n" +
                       kEnd + "K5=|after|the|end|marker|x|y\r\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_STREQ(r[0].cEmsKind, "K1");
  EXPECT_STREQ(r[0].cReserve, "R1");
  EXPECT_STREQ(r[0].cBy1, "a");
  EXPECT_STREQ(r[0].cBy2, "b");
  EXPECT_STREQ(r[0].cBy3, "c");
  EXPECT_STREQ(r[0].cBy4, "d");
  EXPECT_STREQ(r[0].cBy5, "e");
  EXPECT_STREQ(r[1].cEmsKind, "K3");
  EXPECT_STREQ(r[1].cReserve, "R3");
  EXPECT_STREQ(r[1].cBy1, "");
  EXPECT_STREQ(r[1].cBy2, "");
  EXPECT_STREQ(r[1].cBy3, "c");
  EXPECT_STREQ(r[1].cBy4, "");
  EXPECT_STREQ(r[1].cBy5, "e");
  EXPECT_STREQ(r[2].cEmsKind, "K4");
  EXPECT_STREQ(r[2].cBy5, "5");
}

TEST(KindFill, AKindOfMoreThan15BytesOrALineWithoutEqualsEndsTheBlock) {
  struct Case {
    std::string block;
    size_t want;
    const char* why;
  } cases[] = {
      {"K12345678901234=|R|a|b|c|d|e\r\nK2=|R|a|b|c|d|e\r\n", 2, "15 bytes is the longest kind"},
      {"K123456789012345=|R|a|b|c|d|e\r\nK2=|R|a|b|c|d|e\r\n", 0, "16 bytes ends the block"},
      {"快递类别一二三四=|R|a|b|c|d|e\r\n", 0, "eight Chinese characters are 16 bytes"},
      {"K1=|R|a|b|c|d|e\r\nno equals here\r\nK2=|R|a|b|c|d|e\r\n", 1, "a line without = ends it"},
      {"=|R|a|b|c|d|e\r\nK2=|R|a|b|c|d|e\r\n", 1, "a line without a kind is skipped"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(kStart + c.block).size(), c.want) << c.why;
  }
}

TEST(KindFill, TheLastLineNeedsNoLineBreak) {
  const auto r = Parse(kStart + "K1=|R1|a|b|c|d|e\r\nK2=|R2|a|b|c|d|last");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_STREQ(r[1].cEmsKind, "K2");
  EXPECT_STREQ(r[1].cBy5, "last");
}

TEST(KindFill, FieldsTooLongStayEmptyInTheirOwnPlace) {
  const std::string r31(31, 'r'), r30(30, 'r'), b63(63, 'b'), b62(62, 'b'), f255(255, 'f'), f254(254, 'f');
  const auto r = Parse(kStart + "K1=|" + r31 + "|" + b63 + "|x|y|z|" + f255 + "\r\n" + "K2=|" + r30 + "|" + b62 +
                       "|x|y|z|" + f254 + "\r\n");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_STREQ(r[0].cReserve, "") << "31 bytes do not fit 30";
  EXPECT_STREQ(r[0].cBy1, "") << "63 bytes do not fit 62";
  EXPECT_STREQ(r[0].cBy2, "x") << "the pieces after an over-long one keep their places";
  EXPECT_STREQ(r[0].cBy4, "z");
  EXPECT_STREQ(r[0].cBy5, "");
  EXPECT_EQ(r[1].cReserve, r30);
  EXPECT_EQ(r[1].cBy1, b62);
  EXPECT_EQ(r[1].cBy5, f254);
}

TEST(KindFill, ABarInsideATwoByteCharacterDoesNotSplit) {
  // 0x81 0x7C is one GBK character whose second byte is "|".
  const auto r = Parse(kStart + "K1=|R\x81\x7C|a|b|c|d|e\r\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_STREQ(r[0].cReserve, "R\x81\x7C");
  EXPECT_STREQ(r[0].cBy5, "e");
}

TEST(KindFill, NoBlockNoRecords) {
  EXPECT_EQ(Parse("IP=127.0.0.1\r\nK1=|R1|a|b|c|d|e\r\n").size(), 0u);
  EXPECT_EQ(Parse(kStart).size(), 0u);
  std::vector<EmsKindExFields> out;
  EXPECT_EQ(ParseEmsKindExFields(nullptr, out), 0u);
}

TEST(KindFill, FindsARecordByKindOrByTheKindOfAnAlias) {
  ASSERT_EQ(LoadEmsKindExFields((kStart + "EMS=|R-EMS|a|b|c|d|e\r\nEUB=|R-EUB|1|2|3|4|5\r\n" + kEnd).c_str()), 2u);
  std::vector<EmsKindAlias> aliases(3);
  std::snprintf(aliases[0].cemskind, sizeof aliases[0].cemskind, "%s", "EUB");
  std::snprintf(aliases[0].cemskindi, sizeof aliases[0].cemskindi, "%s", "E邮宝");
  std::snprintf(aliases[1].cemskind, sizeof aliases[1].cemskind, "%s", "SFX");
  std::snprintf(aliases[1].cemskindi, sizeof aliases[1].cemskindi, "%s", "顺丰");
  std::snprintf(aliases[2].cemskind, sizeof aliases[2].cemskind, "%s", "EMS");
  std::snprintf(aliases[2].cemskindi, sizeof aliases[2].cemskindi, "%s", "E邮宝");  // a later duplicate
  g_EmsKindAliases.Replace(aliases);

  struct Case {
    const char* name;
    int want;
    const char* reserve;
    const char* why;
  } cases[] = {
      {"EMS", 1, "R-EMS", "by kind"},
      {"E邮宝", 1, "R-EUB", "by the first alias with that input name"},
      {"ems", 0, "", "kinds compare exactly"},
      {"顺丰", 0, "", "an alias whose kind has no record"},
      {"DHL", 0, "", "unknown"},
  };
  for (const Case& c : cases) {
    EmsKindExFields out;
    std::snprintf(out.cReserve, sizeof out.cReserve, "%s", "untouched");
    EXPECT_EQ(FindEmsKindExFields(c.name, &out), c.want) << c.why;
    EXPECT_STREQ(out.cReserve, c.want == 1 ? c.reserve : "untouched") << c.why;
  }
  g_EmsKindAliases.Replace({});
  g_EmsKindExFields.clear();
}

TEST(KindAliases, ReplaceIsSeenWholeByReaders) {
  CEmsKindAliasTable table;
  auto rows = [](const char* kind, int n) {
    std::vector<EmsKindAlias> v(static_cast<size_t>(n));
    for (auto& a : v) {
      std::snprintf(a.cemskind, sizeof a.cemskind, "%s", kind);
      std::snprintf(a.cemskindi, sizeof a.cemskindi, "%s", kind);
    }
    return v;
  };
  table.Replace(rows("A", 50));
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::thread reader([&] {
    while (!stop.load()) {
      const auto snap = table.Snapshot();
      for (const auto& a : snap) {
        if (std::strcmp(a.cemskind, snap.front().cemskind) != 0) {
          ++mixed;
          break;
        }
      }
      EmsKindAlias out;
      if (table.FindByKind("A", &out) && std::strcmp(out.cemskindi, "A") != 0) {
        ++mixed;
      }
    }
  });
  for (int i = 0; i < 2000; ++i) {
    table.Replace(rows(i % 2 == 0 ? "B" : "A", 10 + i % 90));
  }
  stop.store(true);
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
  EmsKindAlias out;
  EXPECT_TRUE(table.FindByInputName("A", &out));
  EXPECT_FALSE(table.FindByInputName("a", &out)) << "input names compare exactly";
}

}  // namespace
