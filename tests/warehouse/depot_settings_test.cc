// The depot settings object, the scanned-number normalisers, the operation names and the fee items
// of the warehouse procedure calls.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/numbering.h"
#include "pricing/depot_settings.h"
#include "warehouse/internal/request.h"

namespace {

DepotPackage Package(int32_t id, int32_t a, int32_t b, int32_t c, double load) {
  DepotPackage p;
  p.ipid = id;
  p.ilong = a;
  p.iwidth = b;
  p.iheight = c;
  p.fmaxload = load;
  return p;
}

std::vector<int32_t> Ids(const std::vector<const DepotPackage*>& list) {
  std::vector<int32_t> out;
  for (const DepotPackage* p : list) out.push_back(p->ipid);
  return out;
}

TEST(DepotSettings, PackagesAreSortedLargestSideFirstAndLeftOutWithoutLoadOrVolume) {
  struct Case {
    const char* why;
    DepotPackage in;
    int kept;  // 1 when listed
    int32_t l, w, h;
    int64_t volume;
  } cases[] = {
      {"10 x 30 x 20 is held as 30, 20, 10", Package(1, 10, 30, 20, 5), 1, 30, 20, 10, 6000},
      {"already descending", Package(2, 9, 8, 7, 1), 1, 9, 8, 7, 504},
      {"ascending", Package(3, 1, 2, 3, 1), 1, 3, 2, 1, 6},
      // Three sides of 2000 overflow 32 bits.
      {"volume past 32 bits", Package(4, 2000, 2000, 2000, 1), 1, 2000, 2000, 2000, 8000000000LL},
      {"no load", Package(5, 10, 10, 10, 0), 0, 0, 0, 0, 0},
      {"load below 0.001", Package(6, 10, 10, 10, 0.0009), 0, 0, 0, 0, 0},
      {"a zero side", Package(7, 10, 0, 10, 1), 0, 0, 0, 0, 0},
      {"a negative side", Package(8, 10, -2, 10, 1), 0, 0, 0, 0, 0},
      // Two negative sides give a positive product: still no box.
      {"two negative sides", Package(9, -10, -2, 10, 1), 0, 0, 0, 0, 0},
      {"a volume beyond 64 bits", Package(10, INT32_MAX, INT32_MAX, INT32_MAX, 1), 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CDepotSettings d;
    EXPECT_EQ(d.AddPackage(c.in), 0) << c.why;
    const DepotPackage* p = d.FindPackage(c.in.ipid);
    ASSERT_EQ(p != nullptr, c.kept == 1) << c.why;
    EXPECT_EQ(d.packagesBySide().size(), static_cast<size_t>(c.kept)) << c.why;
    if (p == nullptr) continue;
    EXPECT_EQ(p->ilong, c.l) << c.why;
    EXPECT_EQ(p->iwidth, c.w) << c.why;
    EXPECT_EQ(p->iheight, c.h) << c.why;
    EXPECT_EQ(p->volume, c.volume) << c.why;
    EXPECT_DOUBLE_EQ(p->loadPerVolume, c.in.fmaxload * 1e6 / static_cast<double>(c.volume)) << c.why;
  }
}

TEST(DepotSettings, PackageListsAscendWithTheLaterOfEqualKeysFirst) {
  CDepotSettings d;
  d.AddPackage(Package(1, 50, 40, 30, 20));  // side 50, load 20, volume 60000
  d.AddPackage(Package(2, 60, 10, 10, 5));   // side 60, load 5, volume 6000
  d.AddPackage(Package(3, 50, 20, 10, 30));  // side 50 (equal to 1), load 30, volume 10000
  d.AddPackage(Package(4, 10, 10, 10, 20));  // side 10, load 20 (equal to 1), volume 1000
  EXPECT_EQ(Ids(d.packagesBySide()), (std::vector<int32_t>{4, 3, 1, 2}));
  EXPECT_EQ(Ids(d.packagesByLoad()), (std::vector<int32_t>{2, 4, 1, 3}));
  EXPECT_EQ(Ids(d.packagesByVolume()), (std::vector<int32_t>{4, 2, 3, 1}));
  EXPECT_EQ(d.maxSide(), 60);
  EXPECT_DOUBLE_EQ(d.maxLoad(), 30);
  EXPECT_EQ(d.maxVolume(), 60000);

  // A known id is overwritten in place: same lists, same order, new values.
  EXPECT_EQ(d.AddPackage(Package(2, 5, 5, 5, 1)), 1);
  EXPECT_EQ(Ids(d.packagesBySide()), (std::vector<int32_t>{4, 3, 1, 2}));
  EXPECT_EQ(d.FindPackage(2)->volume, 125);
  EXPECT_EQ(d.FindPackage(99), nullptr);
}

TEST(DepotSettings, CartsByPositionAndOperationsInLoadOrder) {
  CDepotSettings d;
  auto cart = [](int32_t id, int32_t pos) {
    DepotCart c;
    c.iaid = id;
    c.ipos = pos;
    return c;
  };
  EXPECT_EQ(d.SetCart(cart(10, 3)), 0);
  EXPECT_EQ(d.SetCart(cart(11, 1)), 0);
  EXPECT_EQ(d.SetCart(cart(12, 3)), 0);  // equal position: before the earlier one
  EXPECT_EQ(d.SetCart(cart(13, 2)), 0);
  std::vector<int32_t> ids;
  for (const DepotCart& c : d.carts()) ids.push_back(c.iaid);
  EXPECT_EQ(ids, (std::vector<int32_t>{11, 13, 12, 10}));
  EXPECT_EQ(d.SetCart(cart(13, 9)), 1);  // replaced where it stands
  EXPECT_EQ(d.FindCart(13)->ipos, 9);
  EXPECT_EQ(d.carts()[1].iaid, 13);
  EXPECT_EQ(d.FindCart(99), nullptr);

  DepotOperation op;
  op.ntype = 5;
  op.iseconds = 30;
  EXPECT_EQ(d.SetOperation(op), 0);
  op.ntype = 2;
  EXPECT_EQ(d.SetOperation(op), 0);
  op.ntype = 5;
  op.iseconds = 45;
  EXPECT_EQ(d.SetOperation(op), 1);
  ASSERT_EQ(d.operations().size(), 2u);
  EXPECT_EQ(d.operations()[0].ntype, 5);
  EXPECT_EQ(d.FindOperation(5)->iseconds, 45);
  EXPECT_EQ(d.FindOperation(3), nullptr);
}

TEST(WarehouseOperationName, NamesEveryCodeOfTheTable) {
  struct Case {
    int32_t code;
    const char* name;
  } cases[] = {
      {1, "入库:预录"},  {2, "入库:审核"},  {5, "入库:确认"},  {7, "入库:退件"},   {11, "库内:上架"},
      {15, "库内:移库"}, {21, "出库:预录"}, {26, "出库:确认"}, {27, "出库:序列号"}, {31, "材料:入库"},
      {32, "材料:出库"}, {41, "扫描:序列号"}, {0, "未知"},      {8, "未知"},       {-1, "未知"},
  };
  for (const Case& c : cases) EXPECT_STREQ(GetWarehouseOperationName(c.code), c.name) << c.code;
}

TEST(NormalizeScannedNumber, CarrierBarcodesAndFiltering) {
  const std::string dpdBody = "0123456789ABCD";
  const std::string dpd = "%0000000" + dpdBody + "123456";  // 28 characters
  const std::string dpdLower = "%0000000" + std::string("0123456789abcd") + "123456";
  struct Case {
    const char* why;
    std::string in, want;
  } cases[] = {
      {"21 digits keep the last 16", "123451234567890123456", "1234567890123456"},
      {"21 characters with a letter stay", "12345123456789012345A", "12345123456789012345A"},
      {"28 with % : 14 from 8 and the check", dpd, dpdBody + CheckCharMod3736(dpdBody.c_str())},
      // Lower case letters are checked as upper-case ones.
      {"28 lower-case", dpdLower, dpdBody + CheckCharMod3736(dpdBody.c_str())},
      {"29 beginning 997001", "99700199" + std::string("ABCDEFGH12345678") + "XXXXX", "ABCDEFGH12345678"},
      {"30 digits keep the last 22", "12345678" + std::string(22, '7'), std::string(22, '7')},
      {"34 beginning 420", "42012345" + std::string(26, 'Z'), std::string(26, 'Z')},
      {"34 ending in 12 digits", std::string(22, 'Q') + "123456789012", "123456789012"},
      {"34 neither", std::string(34, 'Q'), std::string(30, 'Q')},
      {"blanks, quotes and & dropped, upper-cased", " ab'c\"d&e f", "ABCDEF"},
      {"GBK bytes dropped", "A\xB0\xA1" "B", "AB"},
      {"cut at 30 kept characters", std::string(19, 'x') + " " + std::string(19, 'y'),
       std::string(19, 'X') + std::string(11, 'Y')},
      {"DEL kept", "A\x7F", "A\x7F"},
      {"short scans are not barcodes", "1234567890123456789", "1234567890123456789"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeScannedNumber(c.in.c_str()), c.want) << c.why;
  // The 28-character form yields 15 characters.
  EXPECT_EQ(NormalizeScannedNumber(dpd.c_str()).size(), 15u);
}

TEST(NormalizeScannedBarcode, CheckCharacterStaysInRangeForPunctuation) {
  // Lower-case letters and punctuation at positions 8..21 must still give a character of 0-9, A-Z.
  std::string scan = "%0000000" + std::string("a-b.c/d e!f?gh") + "000000";
  ASSERT_EQ(scan.size(), 28u);
  NormalizeScannedBarcode(scan);
  ASSERT_EQ(scan.size(), 15u);
  const char check = scan.back();
  EXPECT_TRUE((check >= '0' && check <= '9') || (check >= 'A' && check <= 'Z')) << check;
}

TEST(FormatShelfText, ShelfColumnAndLayer) {
  EXPECT_EQ(FormatShelfText("A01", 2, 1), "A01|2列|1层");
  EXPECT_EQ(FormatShelfText("E1", 0, 0), "E1|0列|0层");
  EXPECT_EQ(FormatShelfText("", 30000, 255), "|30000列|255层");
}

TEST(ProcCall, FeeItemsMultiplyByTheQuantityAndZeroMissingOperations) {
  CDepotSettings d;
  DepotOperation op;
  op.ntype = 3;
  op.iseconds = 12;
  op.fwage = 0.125;
  d.SetOperation(op);
  op.ntype = 5;
  op.iseconds = 7;
  op.fwage = 1.5;
  d.SetOperation(op);
  tw::warehouse::CProcCall call("cp_x");
  call.Int(7).Text("O'Brien  ").Fees(d, {2, 3, 4, 5}, 4);
  EXPECT_EQ(call.text(),
            "{?=CALL dorvane.dbo.cp_x(7,'O''Brien','入库:审核',0,0,0.00,'入库:提货',48,0,0.50,'入库:质检',0,0,0.00,"
            "'入库:确认',28,0,6.00");
}

TEST(GoodsCondition, PrefersIdThenCodeThenClientCode) {
  using tw::warehouse::GoodsCondition;
  EXPECT_EQ(GoodsCondition(12, "G1", 5, "C1"), "b.giid=12");
  EXPECT_EQ(GoodsCondition(0, "G'1", 5, "C1"), "b.cgcode='G''1'");
  EXPECT_EQ(GoodsCondition(-3, "", 5, "C1"), "b.icid=5 AND b.cccode='C1'");
  EXPECT_EQ(GoodsCondition(0, "", 0, "C1"), "");
  EXPECT_EQ(GoodsCondition(0, "", 5, ""), "");
}

}  // namespace
