// The pieces of the PDA's shipment entry that need no database: the 117 values of
// cp_client_rec_fast_add and the 30 of cp_client_rec_reweight_ex in their places, the piece rows
// that travel inside those calls (quoted twice over), the goods rows, the volume limits, and the
// entry's keys, goods folding, checks and clamps.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "pda/internal/entry_record.h"
#include "pda/internal/entry_sql.h"
#include "pda/internal/entry_steps.h"
#include "pricing/field_check.h"

namespace {

using tw::pda::FastAddValues;

// The items of a comma-separated SQL list, split outside quoted texts (a doubled quote inside a
// text toggles twice and so stays inside) and outside parentheses.
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::string piece;
  bool quoted = false;
  int depth = 0;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (c == ',' && !quoted && depth == 0) {
      out.push_back(piece);
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  out.push_back(piece);
  return out;
}

// The values between "ROW(" and ") AS" of a fast-add call, or between the call's parentheses.
std::vector<std::string> CallValues(const std::string& call, const std::string& open, const std::string& close) {
  const size_t from = call.find(open), to = call.rfind(close);
  if (from == std::string::npos || to == std::string::npos) return {};
  return SplitList(call.substr(from + open.size(), to - from - open.size()));
}

// A quoted SQL text's content with its doubled quotes made single.
std::string Unquote(const std::string& literal) {
  std::string out;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    out += literal[i];
    if (literal[i] == '\'' && literal[i + 1] == '\'') ++i;
  }
  return out;
}

TEST(PdaEntrySql, FastAddCallCarriesEveryValueInItsPlace) {
  const std::string detail = "INSERT INTO dorvane.dbo.client_rec_weight_detail(irid) select 'x''y'";
  FastAddValues v;
  v.icid = 940001;
  v.nitemtype = 2;
  v.nlanguage = 1;
  std::snprintf(v.ddate, sizeof v.ddate, "2026.12.10");
  v.npayway = 2;
  v.cinput = "op";
  v.cemskind = "K1";
  v.cdes = "D'es";
  v.cnum = "PE1";
  v.cserviceno = "SN1";
  v.fweight = 1.2345;
  v.famount = 7.005;
  v.csender = "sender ";  // trailing blanks are trimmed by the sanitiser
  v.ctaker = "tk";
  v.ireserve = 9;
  v.fweights = 2.5;
  v.clwh = "1*2*3D";
  v.piid = 77;
  v.fsprice = 3;
  v.fsprices = 4;
  v.faaddrate = 0.12345;
  v.iquantity = 5;
  v.iprice = 1700;
  v.foprice = 40;
  v.iitem = 3;
  v.weightDetail = detail;
  v.nfrom = tw::pda::kSourcePreInput;
  v.fweighti = 0.8;
  v.crno = "RN";
  v.cby5 = "b5";
  v.icubic = 2100000000;
  v.iidr = 11;
  v.iids = 12;
  v.iidi = 13;
  v.fgcrate = 0.5;
  v.fdiscount = 0.95;
  v.focustomc = 12;
  const std::string call = tw::pda::BuildFastAddCall(v);
  EXPECT_EQ(call.rfind("{?=CALL dorvane.dbo.cp_client_rec_fast_add(CAST(ROW(", 0), 0u) << call;
  EXPECT_EQ(call.substr(call.size() - 36), ") AS dbo.client_rec_fast_add_args))}");
  const std::vector<std::string> a = CallValues(call, "ROW(", ") AS");
  ASSERT_EQ(a.size(), static_cast<size_t>(tw::pda::kFastAddValueCount)) << call;
  // Argument number (1-based) and its text, as the procedure's row type reads them.
  const std::pair<int, std::string> expected[] = {
      {1, "940001"},      {2, "2"},          {3, "1"},      {4, "'2026.12.10'"}, {5, "0"},      {6, "2"},
      {7, "'op'"},        {8, "'K1'"},       {10, "'D''es'"}, {11, "'PE1'"},    {12, "'SN1'"}, {13, "1.234"},
      {14, "7.00"},       {15, "'sender'"},  {25, "'tk'"},  {26, "''"},          {28, "'1900.1.1'"},
      {29, "'1900.1.1'"}, {32, "9"},         {33, "0"},     {34, "2.500"},       {35, "'1*2*3D'"}, {37, "77"},
      {38, "3.00"},       {39, "4.00"},      {42, "0.00"},  {47, "0.1235"},      {49, "5"},     {50, "1700"},
      {62, "40.00"},      {73, "3"},         {75, "2"},     {76, "0.800"},       {77, "'RN'"},  {84, "'1900.1.1'"},
      {101, "'b5'"},      {102, "2100000000"}, {103, "11"}, {104, "12"},         {105, "13"},   {106, "''"},
      {112, "0.5000"},    {116, "0.9500"},   {117, "12.00"},
  };
  for (const auto& [n, text] : expected) {
    EXPECT_EQ(a[n - 1], text) << "argument " << n;
  }
  // The piece rows arrive as one text that is, once unquoted, the statement as built.
  EXPECT_EQ(Unquote(a[73]), detail);
}

TEST(PdaEntrySql, WeightDetailIsAStatementOfItsOwnWithEscapedTexts) {
  PieceList pieces(3);
  for (int i = 0; i < 3; ++i) {
    pieces[i].length = 10 + i;
    pieces[i].weight = 100 * (i + 1);
    std::snprintf(pieces[i].cxNo, sizeof pieces[i].cxNo, "N'%d", i);
  }
  std::snprintf(pieces[0].cxGoods, sizeof pieces[0].cxGoods, "x');DROP TABLE y;--");
  struct Case {
    size_t rows;
    size_t wantRows;
  } cases[] = {{0, 0}, {2, 2}, {3, 3}, {9, 3}};
  for (const Case& c : cases) {
    const std::string sql = tw::pda::BuildWeightDetailInsert(pieces, c.rows, tw::pda::kRecordIdMarker);
    if (c.wantRows == 0) {
      EXPECT_EQ(sql, "") << c.rows;
      continue;
    }
    EXPECT_EQ(sql.rfind("INSERT INTO dorvane.dbo.client_rec_weight_detail(irid,ilong,", 0), 0u);
    size_t selects = 0;
    for (size_t at = 0; (at = sql.find(" select ", at)) != std::string::npos; ++at) ++selects;
    EXPECT_EQ(selects, c.wantRows) << sql;
    // Quotes balance: every text literal closes, so nothing of a piece's text runs as SQL.
    size_t quotes = 0;
    for (char ch : sql) quotes += ch == '\'';
    EXPECT_EQ(quotes % 2, 0u) << sql;
  }
  const std::string sql = tw::pda::BuildWeightDetailInsert(pieces, 2, "4321");
  const std::string first = sql.substr(sql.find(" select ") + 8, sql.find(" union all") - sql.find(" select ") - 8);
  const std::vector<std::string> row = SplitList(first);
  ASSERT_EQ(row.size(), 22u) << first;
  EXPECT_EQ(row[0], "4321");
  EXPECT_EQ(row[1], "10");
  EXPECT_EQ(row[4], "100");
  EXPECT_EQ(row[6], "'N''0'");
  EXPECT_EQ(row[10], "1");  // wpos from 1
  EXPECT_EQ(row[11], "'x'');DROP TABLE y;--'");
}

TEST(PdaEntrySql, ReweightCallHasItsThirtyValues) {
  tw::pda::ReweightValues v;
  v.irid = 5;
  v.icid = 6;
  v.fweight = 1.5;
  v.opname = "o'p";
  v.iitem = 2;
  v.icubic = 123456;
  const std::string pieces = "INSERT INTO dorvane.dbo.client_rec_weight_detail(irid) select 'a''b'";
  v.pieces = pieces;
  v.fdiscount = 0.9;
  const std::vector<std::string> a =
      CallValues(tw::pda::BuildReweightCall(v), "cp_client_rec_reweight_ex(", ")}");
  ASSERT_EQ(a.size(), 30u);
  EXPECT_EQ(a[0], "5");
  EXPECT_EQ(a[1], "6");
  EXPECT_EQ(a[2], "1.500");
  EXPECT_EQ(a[4], "'o''p'");
  EXPECT_EQ(a[10], "2");
  EXPECT_EQ(a[23], "123456");
  EXPECT_EQ(Unquote(a[24]), pieces);
  EXPECT_EQ(a[28], "0.9000");
  // Without new pieces the argument is empty and the stored rows stay.
  v.pieces = {};
  EXPECT_EQ(CallValues(tw::pda::BuildReweightCall(v), "cp_client_rec_reweight_ex(", ")}")[24], "''");
}

TEST(PdaEntrySql, GoodsRowsNumberFromZero) {
  std::vector<GoodsLine> lines(2);
  std::snprintf(lines[0].cxGoods, sizeof lines[0].cxGoods, "t'ea");
  lines[0].ixQuantity = 2;
  lines[1].ixQuantity = 1;
  const std::string sql = tw::pda::BuildRecordGoodsInsert(lines, 42);
  EXPECT_EQ(sql.rfind("INSERT INTO dorvane.dbo.client_rec_goods(wpos,irid,cgoods,", 0), 0u);
  EXPECT_NE(sql.find(" select 0,42,'t''ea','',2,"), std::string::npos) << sql;
  EXPECT_NE(sql.find(" union all select 1,42,'','',1,"), std::string::npos) << sql;
}

TEST(PdaEntrySql, VolumeIsHeldWithinWhatARecordKeeps) {
  const std::pair<double, int64_t> cases[] = {
      {-1, 0},
      {0, 0},
      {0.5, 500000},
      {2100, 2100000000},
      {2200, 2100000000},  // 2000 x 1100 x 1000 cm: more than a 32-bit product
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& [m3, want] : cases) {
    EXPECT_EQ(tw::pda::VolumeCm3(m3), want) << m3;
  }
}

TEST(PdaEntrySql, AHugePieceWeighsWithoutOverflow) {
  EmsKindRow row;
  std::snprintf(row.cemskind, sizeof row.cemskind, "K");
  const CEmsKind kind(row);
  PieceList pieces(1);
  pieces[0].length = 2000;
  pieces[0].width = 1100;
  pieces[0].height = 1000;
  pieces[0].weight = 10000;
  tw::pda::WeighOutcome w;
  tw::pda::WeighPieces(kind, pieces, 0, 3, w);
  EXPECT_EQ(tw::pda::VolumeCm3(w.cubicMetres), 2100000000);
  EXPECT_GT(w.weight, 10.0);
  EXPECT_EQ(w.dims, "2000*1100*1000");
}

// ---- the entry's keys ----------------------------------------------------------------------------------

TEST(PdaEntryRecord, DefaultsClampsAndFolding) {
  tw::pda::PdaEntryRecord r;
  tw::pda::ReadEntryNumbers("{\"iItem\":0,\"nItemType\":7,\"nPayWay\":-1,\"iQuantity\":-3,\"fWeight\":-2}", r);
  EXPECT_EQ(r.iItem, 1);      // read as at least 1
  EXPECT_EQ(r.nItemType, 7);  // the checks see it as sent
  tw::pda::ClampEntry(r);
  EXPECT_EQ(r.nItemType, 1);
  EXPECT_EQ(r.nPayWay, 0);
  EXPECT_EQ(r.iQuantity, 0);
  EXPECT_EQ(r.fWeight, 0);
  tw::pda::PdaEntryRecord empty;
  tw::pda::ReadEntryNumbers("{}", empty);
  EXPECT_EQ(empty.nItemType, 1);
  EXPECT_EQ(empty.iQuantity, 1);
  EXPECT_EQ(empty.bPriceCalc, 0);

  struct Case {
    const char* what;
    std::vector<std::pair<int, double>> lines;  // quantity, unit price
    const char* cGoods;
    double wantPrice;
    int wantQuantity;
    double wantDValue;
  } cases[] = {
      {"one line: its price and quantity", {{3, 2.5}}, "", 2.5, 3, 7.5},
      {"two lines: the total value at quantity 1", {{2, 3.5}, {1, 10}}, "", 17, 1, 17},
      {"goods named: the lines change nothing", {{2, 3.5}}, "own", 0, 1, 0},
  };
  for (const Case& c : cases) {
    tw::pda::PdaEntryRecord e;
    std::snprintf(e.cGoods, sizeof e.cGoods, "%s", c.cGoods);
    for (const auto& [q, p] : c.lines) {
      GoodsLine g;
      g.ixQuantity = q;
      g.fxPrice = p;
      std::snprintf(g.cxGoods, sizeof g.cxGoods, "g%d", q);
      e.goods.push_back(g);
    }
    tw::pda::FoldEntryGoods(e);
    EXPECT_DOUBLE_EQ(e.fPrice, c.wantPrice) << c.what;
    EXPECT_EQ(e.iQuantity, c.wantQuantity) << c.what;
    EXPECT_DOUBLE_EQ(e.fDValue, c.wantDValue) << c.what;
  }
}

TEST(PdaEntryRecord, ChecksComeInTheirOrderAndRefuseWhatNoColumnKeeps) {
  CFieldCheckList checks;
  ASSERT_EQ(checks.Load("<快递业务字段检查定义开始>\r\ncReceiver=0-3\r\nfWeight=0-30\r\n<快递业务字段检查定义开始>\r\n"), 1);
  struct Case {
    const char* what;
    const char* json;
    const char* want;  // "" when every check passes
  } cases[] = {
      {"passes", "{\"cReceiver\":\"abc\",\"fWeight\":2}", ""},
      {"a text length first", "{\"cReceiver\":\"abcd\",\"fWeight\":31}", "[cReceiver] allowed length 0 - 3 bytes"},
      {"then the weight", "{\"fWeight\":31}", "[fWeight] allowed values 0.000 - 30.000"},
      {"an amount beyond its column", "{\"fAmount\":1e13}", "[fAmount]数值不合法"},
      {"a value kept in cents beyond 32 bits", "{\"fDValue\":30000000}", "[fDValue]数值不合法"},
      {"not a number", "{\"faGet\":\"nan\"}", "[faGet]数值不合法"},
  };
  for (const Case& c : cases) {
    tw::pda::PdaEntryRecord r;
    tw::pda::ReadEntryNumbers(c.json, r);
    tw::pda::ReadEntryTexts(c.json, r);
    char message[128] = "";
    const int failed = tw::pda::CheckEntryFields(r, checks, message, sizeof message);
    EXPECT_EQ(failed, c.want[0] != '\0' ? 1 : 0) << c.what;
    EXPECT_STREQ(message, c.want) << c.what;
  }
}

}  // namespace
