// The place table built from rows in memory: exact names, codes and English names with letter case
// ignored (two-byte characters exactly), the prefix search, and the destination rules of MatchPlace
// in their order.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pricing/place_table.h"
#include "util/text.h"

namespace {

PlaceRecord Place(int32_t iid, const char* carea, const char* careae, const char* ccode, uint8_t narea) {
  PlaceRecord r;
  r.iid = iid;
  tw::CopyTextLimited(r.carea, carea, sizeof r.carea - 1);
  tw::CopyTextLimited(r.careae, careae, sizeof r.careae - 1);
  tw::CopyTextLimited(r.ccode, ccode, sizeof r.ccode - 1);
  r.narea = narea;
  return r;
}

// Rows given out of iid order on purpose: the table keeps them in iid order.
std::vector<PlaceRecord> Fixture() {
  return {
      Place(20, "湖南岳阳", "Yueyang", "YYA", 2),
      Place(1, "广州", "Guangzhou", "CAN", 1),
      Place(2, "广东东莞", "Dongguan", "DGG", 1),
      Place(3, "东莞南城", "Nancheng", "DGN", 1),
      Place(4, "辽宁大连市", "Dalian", "DLC", 2),
      Place(5, "大连湾", "Dalian Bay", "DLW", 2),
      Place(6, "印度尼西亚", "Indonesia", "IDN", 4),
      Place(7, "内蒙古", "Inner Mongolia", "NMG", 3),
      Place(8, "北京", "Beijing", "PEK", 2),
      Place(9, "湖南长沙县", "Changsha", "CSX", 2),
      Place(10, "哈尔滨东站", "Harbin East", "HBE", 3),
      Place(11, "黑龙江哈尔滨", "Harbin", "HRB", 3),
      Place(12, "HK机场", "Hong Kong Airport", "HKA", 3),
      // Two names that differ only in the second byte of their characters: "A" (0x41) and "a"
      // (0x61). They are different characters and must never fold together.
      Place(13, "\x81\x41\x81\x41", "Trail Upper", "TU", 5),
      Place(14, "\x81\x61\x81\x61", "Trail Lower", "TL", 6),
      // 啊阿 (B0A1 B0A2): its middle bytes A1 B0 are a character of their own elsewhere.
      Place(15, "\xB0\xA1\xB0\xA2", "Ah", "AH", 7),
      Place(16, "Abc1", "", "A1", 8),
      Place(17, "aBc22", "", "A2", 8),
      Place(18, "abc3", "", "A3", 8),
  };
}

class PlaceTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(table_.LoadRows(Fixture()), 19); }
  static std::string Name(const PlaceRecord* r) { return r == nullptr ? "<none>" : r->carea; }
  CPlaceTable table_;
};

TEST_F(PlaceTableTest, KeepsRecordsInIidOrder) {
  ASSERT_TRUE(table_.IsLoaded());
  const auto& rows = table_.records();
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_LT(rows[i - 1].iid, rows[i].iid);
  }
}

TEST_F(PlaceTableTest, ExactLookupsIgnoreLetterCaseOnly) {
  struct Case {
    const char* text;
    const char* want;  // carea, or "<none>"
    const char* why;
  } cases[] = {
      {"广州", "广州", "exact Chinese name"},
      {"hk机场", "HK机场", "ASCII letters fold"},
      {"\x81\x61\x81\x61", "\x81\x61\x81\x61", "the lower-trail name is found as itself"},
      {"\x81\x41\x81\x41", "\x81\x41\x81\x41", "and the upper-trail one as itself"},
      {"广", "<none>", "no prefix without bPrefix"},
      {"", "<none>", "empty text"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Name(table_.FindByName(c.text, false)), c.want) << c.why;
  }
  EXPECT_EQ(Name(table_.FindByCode("can")), "广州");
  EXPECT_EQ(Name(table_.FindByCode("DGG")), "广东东莞");
  EXPECT_EQ(Name(table_.FindByCode("XXX")), "<none>");
  EXPECT_EQ(Name(table_.FindByNameE("GUANGZHOU")), "广州");
  EXPECT_EQ(Name(table_.FindByNameE("inner mongolia")), "内蒙古");
  EXPECT_EQ(Name(table_.FindByNameE("Inner")), "<none>");
}

TEST_F(PlaceTableTest, PrefixSearchTakesTheShortestOfTheFirstRun) {
  struct Case {
    const char* text;
    const char* want;
    const char* why;
  } cases[] = {
      {"湖南", "湖南岳阳", "湖南长沙县 comes first in name order but is longer"},
      {"广东", "广东东莞", "the only name beginning with it"},
      {"ab", "abc3", "prefix bytes compare exactly: only abc3 begins with ab"},
      {"Ab", "Abc1", "Abc1 begins with Ab; aBc22 after it ends the run"},
      {"上海", "<none>", "nothing begins with it"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Name(table_.FindByName(c.text, true)), c.want) << c.why;
  }
}

TEST_F(PlaceTableTest, MatchPlaceAppliesItsRulesInOrder) {
  struct Case {
    const char* text;
    const char* want;
    const char* why;
  } cases[] = {
      {"广州", "广州", "1: exact name"},
      {"大连", "辽宁大连市", "2: fixed rule (containment alone would answer 大连湾)"},
      {"长沙", "湖南长沙县", "2: fixed rule by prefix"},
      {"印度", "<none>", "3: 印度 only exactly, though 印度尼西亚 contains it"},
      {"内蒙", "内蒙古", "3: 内蒙 by prefix"},
      {"哈尔滨", "黑龙江哈尔滨", "4: a three-character prefix then the text wins over an earlier candidate"},
      {"东莞", "广东东莞", "5: of two candidates, the one ending with the text after two characters"},
      {"南城", "东莞南城", "5: a single candidate"},
      {"莞", "广东东莞", "4: 广东东 then 莞 (three-character prefix) wins over the earlier 东莞南城"},
      {"南", "东莞南城", "5: several candidates, none ending with it: the first in name order"},
      {"广州市", "广州", "6: 市 dropped, matched again"},
      {"东莞县", "广东东莞", "6: 县 dropped, then the candidate rule"},
      {"大连市", "辽宁大连市", "5: the one name containing it (no ending dropped)"},
      {"京市", "<none>", "6: shorter than six bytes: no ending is dropped"},
      {"上海市", "<none>", "6: dropped, still nothing"},
      {"\xA1\xB0", "<none>", "4: bytes inside 啊阿 that straddle two characters do not count"},
      {"", "<none>", "empty"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Name(table_.MatchPlace(c.text, 0)), c.want) << c.text << ": " << c.why;
  }
}

TEST_F(PlaceTableTest, LongTextsEndQuickly) {
  // Hundreds of trailing 市: each round drops one; the text is refused outright when over the limit.
  std::string many = "广州";
  while (many.size() < 200) {
    many += "市";
  }
  EXPECT_EQ(Name(table_.MatchPlace(many.c_str(), 0)), "广州");
  std::string tooLong = "广州" + std::string(kPlaceTextMaxBytes, 'x');
  EXPECT_EQ(table_.MatchPlace(tooLong.c_str(), 0), nullptr);
  EXPECT_EQ(table_.FindByName(tooLong.c_str(), true), nullptr);
  EXPECT_EQ(table_.FindByCode(tooLong.c_str()), nullptr);
}

TEST_F(PlaceTableTest, GetAreaOfUnknownIs255) {
  EXPECT_EQ(table_.GetArea("广州"), 1);
  EXPECT_EQ(table_.GetArea("内蒙古"), 3);
  EXPECT_EQ(table_.GetArea("火星"), kUnknownArea);
  EXPECT_EQ(table_.GetArea(""), kUnknownArea);
}

TEST(PlaceTable, EqualNamesStaySideBySideAndTheFirstInIidOrderIsFound) {
  CPlaceTable t;
  t.LoadRows({Place(3, "Paris", "", "P3", 3), Place(1, "PARIS", "", "P1", 1), Place(2, "paris", "", "P2", 2)});
  const PlaceRecord* r = t.FindByName("pArIs", false);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->iid, 1);
}

TEST(PlaceTable, ReloadingReplacesTheRows) {
  CPlaceTable t;
  t.LoadRows({Place(1, "广州", "", "CAN", 1)});
  EXPECT_EQ(t.LoadRows({Place(2, "北京", "", "PEK", 2)}), 1);
  EXPECT_EQ(t.FindByName("广州", false), nullptr);
  EXPECT_NE(t.FindByName("北京", false), nullptr);
}

}  // namespace
