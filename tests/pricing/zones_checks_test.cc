// The postcode zone table (definitions, zone numbers, sorting letters) and the field-check rules
// of the configuration (each rule kind and its message).

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "pricing/field_check.h"
#include "pricing/zone_table.h"

namespace {

// A definition text with the given header lines and zone lists (zone u = lists[u - 1]).
std::string Definition(const std::string& header, std::initializer_list<const char*> lists) {
  std::string text = "; zones of a price list\r\n[定义开始]\r\n" + header;
  unsigned u = 1;
  for (const char* list : lists) {
    const std::string line = "<第" + std::to_string(u++) + "区定义>";
    text += line + "," + list + "\r\n" + line + "\r\n";
  }
  return text;
}

TEST(ZoneTable, QuoteAndSortingZones) {
  CZoneTable table;
  ASSERT_EQ(table.ParseDefinition(
                Definition("类型=报价\r\n快递类别=AUP\r\n邮编找不到时的分区=5\r\n",
                           {"2000,2001,2002", "3000, 3001,\r\n 3002", "20001,20002", "sw1a1aa,ec1a1bb"})
                    .c_str()),
            kZoneAdded);
  ASSERT_EQ(table.ParseDefinition(Definition("类型=分拣\r\n快递类别=AUP\r\n备用1数字=1\r\n备用2字母=1\r\n",
                                             {"2000,2001", "3000,3001", "20001,29999"})
                                      .c_str()),
            kZoneAdded);
  EXPECT_EQ(table.count(), 2u);

  struct Case {
    const char* postcode;
    int number;
    int found;
    const char* numberText;
    const char* letter;
    const char* why;
  } cases[] = {
      {"2000-1", 3, 1, "3", "C", "blanks and '-' removed: ,20001, is in zone 3"},
      {"3002", 2, 0, "", "", "zone 2 of the quote list (its list ran over lines); no sorting zone"},
      {"3001", 2, 1, "2", "B", "both lists"},
      {"SW1A 1AA", 4, 0, "", "", "letters compare upper-cased"},
      {"ec1a-1bb", 4, 0, "", "", "lower case and '-'"},
      {"9999", 5, 0, "", "", "in no zone: the default zone 5"},
      {"200", 5, 0, "", "", "only whole postcodes match, never a part of one"},
      {"2000,2001", 0, 0, "", "", "a postcode holding ',' never picks out neighbouring entries"},
      {"", 0, 0, "", "", "an empty postcode"},
      {" - ", 0, 0, "", "", "nothing left after cleaning"},
  };
  for (const Case& c : cases) {
    char number[kZoneNumberBytes] = "x", letter[kZoneLetterBytes] = "x";
    EXPECT_EQ(table.FindZoneNumber(c.postcode, "AUP"), c.number) << c.why;
    EXPECT_EQ(table.FindZone(c.postcode, "AUP", number, letter), c.found) << c.why;
    EXPECT_STREQ(number, c.numberText) << c.why;
    EXPECT_STREQ(letter, c.letter) << c.why;
  }
  EXPECT_EQ(table.FindZoneNumber("2000", "aup"), -1) << "kinds compare exactly";
  EXPECT_EQ(table.FindZoneNumber("2000", "NONE"), -1);
  char number[kZoneNumberBytes], letter[kZoneLetterBytes];
  EXPECT_EQ(table.FindZone("2000", "NONE", number, letter), 0);
}

TEST(ZoneTable, Definitions) {
  CZoneTable table;
  const std::string quote = Definition("类型=报价\r\n快递类别=K1\r\n", {"100001,100002"});
  EXPECT_EQ(table.ParseDefinition(quote.c_str()), kZoneAdded);
  EXPECT_EQ(table.ParseDefinition(quote.c_str()), kZoneDuplicateKind) << "a second quote list of the kind";
  EXPECT_EQ(table.ParseDefinition(Definition("类型=分拣\r\n快递类别=K1\r\n", {"100001"}).c_str()), kZoneAdded)
      << "a sorting list of the same kind";
  EXPECT_EQ(table.ParseDefinition(Definition("类型=其它\r\n快递类别=K2\r\n", {"100001"}).c_str()), kZoneBadText);
  EXPECT_EQ(table.ParseDefinition(Definition("类型=报价\r\n快递类别=\r\n", {"100001"}).c_str()), kZoneBadText);
  EXPECT_EQ(table.ParseDefinition("类型=报价\r\n快递类别=K3\r\n"), kZoneBadText) << "no start line";
  EXPECT_EQ(table.ParseDefinition(nullptr), kZoneBadText);
  EXPECT_EQ(table.count(), 2u);

  // Zones end at the first list shorter than 6 bytes and at an unclosed zone line.
  CZoneTable ends;
  ASSERT_EQ(ends.ParseDefinition(Definition("类型=报价\r\n快递类别=K4\r\n", {"100001", "12345", "300001"}).c_str()),
            kZoneAdded);
  EXPECT_EQ(ends.FindZoneNumber("100001", "K4"), 1);
  EXPECT_EQ(ends.FindZoneNumber("300001", "K4"), -1) << "zone 3 comes after the short zone 2";
  ASSERT_EQ(ends.ParseDefinition(
                "[定义开始]\r\n类型=报价\r\n快递类别=K5\r\n<第1区定义>,111111\r\n<第1区定义>\r\n<第2区定义>,222222\r\n"),
            kZoneAdded);
  EXPECT_EQ(ends.FindZoneNumber("111111", "K5"), 1);
  EXPECT_EQ(ends.FindZoneNumber("222222", "K5"), -1) << "zone 2 is never closed";

  // A sorting list whose zone is the default -1 finds nothing; a default above 0 is a zone.
  CZoneTable sorting;
  ASSERT_EQ(sorting.ParseDefinition(Definition("类型=分拣\r\n快递类别=K6\r\n备用2字母=1\r\n", {"100001"}).c_str()),
            kZoneAdded);
  ASSERT_EQ(sorting.ParseDefinition(
                Definition("类型=分拣\r\n快递类别=K7\r\n邮编找不到时的分区=28\r\n备用2字母=1\r\n", {"100001"}).c_str()),
            kZoneAdded);
  char number[kZoneNumberBytes], letter[kZoneLetterBytes];
  EXPECT_EQ(sorting.FindZone("999999", "K6", number, letter), 0);
  EXPECT_EQ(sorting.FindZone("999999", "K7", number, letter), 1);
  EXPECT_STREQ(letter, "AB");
  EXPECT_STREQ(number, "") << "no quote list of K7, and 备用1数字 is off";
}

TEST(ZoneTable, Letters) {
  struct Case {
    int n;
    const char* letter;
  } cases[] = {{1, "A"}, {3, "C"}, {26, "Z"}, {27, "AA"}, {28, "AB"}, {52, "AZ"}, {53, "BA"}, {256, "IV"},
               {0, ""},  {-1, ""}, {257, ""}};
  for (const Case& c : cases) {
    char out[kZoneLetterBytes];
    EXPECT_STREQ(ZoneLetter(c.n, out), c.letter) << c.n;
  }
}

constexpr char kChecks[] =
    "IP=127.0.0.1\r\n<快递业务字段检查定义开始>\r\n"
    "fWeight=0.001-30\r\n"
    "cRAddr=1-60\r\n"
    "  iQuantity  =1-999\r\n"
    "abc=1-2\r\n"                 // a name of three bytes
    "cNameOfSixteen16=1-2\r\n"    // a name of sixteen bytes
    "fNoDash=5\r\n"
    "no rule here\r\n"
    "fPrice=0-100\r\n"
    "fPrice=10-20\r\n"            // a second rule of the same name
    "<快递业务字段检查定义开始>\r\nKEY=x\r\n";

TEST(FieldChecks, LoadsTheBlock) {
  CFieldCheckList list;
  ASSERT_EQ(list.Load(kChecks), 1);
  ASSERT_EQ(list.size(), 5u);
  const FieldCheck& weight = list.rules()[0];
  EXPECT_STREQ(weight.name, "fWeight");
  EXPECT_DOUBLE_EQ(weight.realMin, 0.001);
  EXPECT_DOUBLE_EQ(weight.realMax, 30);
  EXPECT_EQ(weight.intMin, 0);
  EXPECT_EQ(weight.intMax, 30);
  EXPECT_STREQ(list.rules()[2].name, "iQuantity");

  EXPECT_EQ(list.Load("<快递业务字段检查定义开始>\r\nfWeight=0-1\r\n"), 0) << "no closing line";
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(list.Load(nullptr), 0);
  EXPECT_EQ(list.Load("fWeight=0-1\r\n"), 0);
  const std::string big = std::string("<快递业务字段检查定义开始>\r\nfWeight=0-1\r\n") + std::string(2048, ' ') +
                          "\r\n<快递业务字段检查定义开始>";
  EXPECT_EQ(list.Load(big.c_str()), 0) << "a block of 2048 bytes or more";
}

TEST(FieldChecks, EachRuleAndItsMessage) {
  CFieldCheckList list;
  ASSERT_EQ(list.Load(kChecks), 1);
  const std::string text61(61, 'a'), text60(60, 'a');
  struct Case {
    char kind;  // 'r' real, 'i' integer, 'l' length
    const char* name;
    double value;
    const char* text;
    int result;
    const char* message;
  } cases[] = {
      {'r', "fWeight", 31.5, nullptr, 1, "[fWeight] allowed values 0.001 - 30.000"},
      {'r', "fWeight", 0.0005, nullptr, 1, "[fWeight] allowed values 0.001 - 30.000"},
      {'r', "fWeight", 30, nullptr, 0, "untouched"},
      {'r', "fWeight", 0.001, nullptr, 0, "untouched"},
      {'r', "fWeight", NAN, nullptr, 1, "[fWeight] allowed values 0.001 - 30.000"},
      {'i', "fWeight", 31, nullptr, 1, "[fWeight] allowed values 0 - 30"},
      {'i', "iQuantity", 0, nullptr, 1, "[iQuantity] allowed values 1 - 999"},
      {'i', "iQuantity", 999, nullptr, 0, "untouched"},
      {'l', "cRAddr", 0, text61.c_str(), 1, "[cRAddr] allowed length 1 - 60 bytes"},
      {'l', "cRAddr", 0, text60.c_str(), 0, "untouched"},
      {'l', "cRAddr", 0, "", 1, "[cRAddr] allowed length 1 - 60 bytes"},
      {'l', "cRAddr", 0, nullptr, 1, "[cRAddr] allowed length 1 - 60 bytes"},
      {'r', "fPrice", 50, nullptr, 1, "[fPrice] allowed values 10.000 - 20.000"},  // the second rule rejects
      {'r', "fPrice", 15, nullptr, 0, "untouched"},
      {'r', "fprice", 500, nullptr, 0, "untouched"},  // names compare exactly
      {'r', "abc", 5, nullptr, 0, "untouched"},
      {'r', "fNoDash", 50, nullptr, 0, "untouched"},
      {'i', "cNameOfSixteen16", 50, nullptr, 0, "untouched"},
  };
  for (const Case& c : cases) {
    char message[kFieldCheckMessageBytes] = "untouched";
    int got = c.kind == 'r'   ? list.CheckReal(c.name, c.value, message, sizeof message)
              : c.kind == 'i' ? list.CheckInt(c.name, static_cast<int32_t>(c.value), message, sizeof message)
                              : list.CheckLength(c.name, c.text, message, sizeof message);
    EXPECT_EQ(got, c.result) << c.name << " " << c.value;
    EXPECT_STREQ(message, c.message) << c.name << " " << c.value;
  }
  char small[8] = "";
  EXPECT_EQ(list.CheckReal("fWeight", 99, small, sizeof small), 1);
  EXPECT_STREQ(small, "[fWeigh") << "a short buffer gets the message cut";
}

}  // namespace
