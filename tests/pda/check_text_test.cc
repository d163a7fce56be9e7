// The send check's text as the handler reads it: lines within the text's real length, numbers
// parsed as data, the record id refused unless it is a plain decimal number.

#include "pda/internal/check_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::pda {
namespace {

// A check text of the given lines 1..n, each followed by a line feed.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// The 24 lines of a shipment, line n at index n - 1.
std::vector<std::string> Shipment() {
  return {"VCHK01", "美国",     "EE123456789CN", "LK000001", "930001", "2.345", "88.50",  "0.00", "EMS", "3",   "1",
          "0",      "930011",   "258",           "SZX",      "",       "AWB-1", "930002", "M1",   "",    "BOX", "note",
          "鞋",     "memo text"};
}

TEST(CheckTextTest, ReadsEveryLineAndNumber) {
  CheckText c;
  ASSERT_TRUE(ParseCheckText(Lines(Shipment()), &c));
  EXPECT_EQ(c.line(2), "美国");
  EXPECT_EQ(c.line(3), "EE123456789CN");
  EXPECT_EQ(c.line(9), "EMS");
  EXPECT_EQ(c.line(17), "AWB-1");
  EXPECT_EQ(c.line(19), "M1");
  EXPECT_EQ(c.line(21), "BOX");
  EXPECT_EQ(c.line(22), "note");
  EXPECT_EQ(c.line(23), "鞋");
  EXPECT_EQ(c.line(24), "memo text");  // its line feed cut
  EXPECT_EQ(c.recordId, 930011);
  EXPECT_DOUBLE_EQ(c.weight, 2.345);
  EXPECT_DOUBLE_EQ(c.amount, 88.5);
  EXPECT_DOUBLE_EQ(c.cost, 0);
  EXPECT_EQ(c.pieces, 3);
  EXPECT_EQ(c.itemType, 1);
  EXPECT_EQ(c.code, 258);
  EXPECT_EQ(c.sortingSupplier, 930002);
}

TEST(CheckTextTest, MemoAndFirstLine) {
  struct Case {
    std::string text;
    std::string memo;
    const char* why;
  };
  std::vector<std::string> lines = Shipment();
  const std::string head23 = Lines(std::vector<std::string>(lines.begin(), lines.begin() + 23));
  std::vector<std::string> plain = lines;
  plain[0] = "12";  // a first line without "V": its end is searched from the third byte
  const Case cases[] = {
      {head23 + "memo  \t\r\n", "memo", "trailing blanks and the line feed trimmed"},
      {head23 + "memo", "memo", "no line feed after the memo"},
      {head23, "", "no memo at all"},
      {head23 + "a\nb\n", "a\nb", "a memo holding a line feed keeps it"},
      {Lines(plain), "memo text", "a plain first line"},
  };
  for (const Case& k : cases) {
    CheckText c;
    ASSERT_TRUE(ParseCheckText(k.text, &c)) << k.why;
    EXPECT_EQ(c.line(24), k.memo) << k.why;
    EXPECT_EQ(c.recordId, 930011) << k.why;
  }
}

TEST(CheckTextTest, RefusesShortAndMalformedTexts) {
  std::vector<std::string> lines = Shipment();
  auto with = [&](int line, const std::string& value) {
    std::vector<std::string> l = lines;
    l[line - 1] = value;
    return Lines(l);
  };
  const std::string head22 = Lines(std::vector<std::string>(lines.begin(), lines.begin() + 22));
  struct Case {
    std::string text;
    const char* why;
  } cases[] = {
      {"", "empty"},
      {"V123", "shorter than the versioned first line's skip"},
      {"1", "shorter than the plain skip"},
      {"VCHK01", "no line feed at all"},
      {head22, "only 22 lines end with a line feed"},
      {head22 + "goods", "line 23 without its line feed"},
      {with(13, ""), "an empty record id"},
      {with(13, "93001x"), "a record id with a letter"},
      {with(13, "930011; DROP TABLE x"), "a record id with SQL after it"},
      {with(13, "-5"), "a negative record id"},
      {with(13, " 930011"), "a blank before the id"},
      {with(13, "2147483648"), "an id beyond the int range"},
      {with(13, "12345678901"), "eleven digits"},
      // "V" makes the first line's end searched from the seventh byte: a versioned first line of
      // four bytes swallows line 2, so a text of 23 lines is one line short.
      {"V1.0\n" + head22.substr(head22.find('\n') + 1) + "goods\n", "a versioned first line too short for its skip"},
  };
  for (const Case& k : cases) {
    CheckText c;
    EXPECT_FALSE(ParseCheckText(k.text, &c)) << k.why;
  }
  CheckText c;
  EXPECT_TRUE(ParseCheckText(with(13, "2147483647"), &c));
  EXPECT_EQ(c.recordId, 2147483647);
}

}  // namespace
}  // namespace tw::pda
