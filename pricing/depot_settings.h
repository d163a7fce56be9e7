#pragma once
// The settings of one depot as the warehouse and PDA requests use them: the header row of w_depot,
// the fees and standard times of its operations, its packing boxes and its picking carts; the
// clients as the container caches them; the warehouse operation names; and the normalising of
// scanned shipment numbers and shelf texts.
//
// A CDepotSettings is built once by COstrumContainer::LoadDepotSettings and then only read: the
// container keeps it for the life of the library, so a pointer handed out stays valid and many
// request threads may read it at once. The Set/Add operations are for the loader alone.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/db_columns.h"

// The header of a depot (its w_depot row).
struct DepotInfo {
  double fwpufee = 0;          // fee per weight unit
  char cdepot[4] = "";         // the depot code, 3 characters
  DbText<63> cname = "";
  DbText<127> caddr = "";
  DbText<3> cmoney = "";       // currency
  DbText<15> cshelfb = "";     // first shelf
  DbText<15> cshelfe = "";     // last shelf
  bool nconfirm0 = false, nconfirm1 = false, nconfirm2 = false;  // each true for a column value of 1
  bool ncheck0 = false, ncheck1 = false, ncheck2 = false;
  double iex1 = 0, iex2 = 0, iex3 = 0;  // the stored integers / 1,000,000
  unsigned char voption[16] = {};
};

// The fee and standard time of one warehouse operation (a w_operate_define row).
struct DepotOperation {
  int32_t ntype = 0;     // operation code (see GetWarehouseOperationName)
  int32_t ngrade = 0;
  int32_t iseconds = 0;  // standard time per piece
  double fwage = 0;      // wage per piece
  DbText<31> cname = "";
  DbText<63> cnamee = "";
  DbText<255> cpoint = "";
  DbText<3> cmoney = "";
};

// A packing box (a w_package row). Sides are kept largest first.
struct DepotPackage {
  int32_t ipid = 0;
  int32_t ilong = 0, iwidth = 0, iheight = 0;
  double fmaxload = 0;
  int64_t volume = 0;          // ilong x iwidth x iheight
  double loadPerVolume = 0;    // fmaxload x 1,000,000 / volume
  DbText<15> cname = "";
  DbText<15> cmark = "";
};

// A picking cart (a w_depot_cart row).
struct DepotCart {
  int32_t iaid = 0;
  int32_t ipos = 0;
  int32_t iorder = 0;
  int32_t iitem = 0;
  int32_t icubic = 0;
  double fweight = 0;
  DbText<15> ccode = "";
  DbText<15> cname = "";
};

// A client as the container caches it (client_arc).
struct ClientRef {
  int32_t icid = 0;
  DbText<63> caccount = "";
  int32_t nstate = 0;
};

class CDepotSettings {
 public:
  CDepotSettings() = default;
  CDepotSettings(const CDepotSettings&) = delete;
  CDepotSettings& operator=(const CDepotSettings&) = delete;
  virtual ~CDepotSettings() = default;

  DepotInfo info;

  // FindOperation: the operation with that code, or null.
  [[nodiscard]] const DepotOperation* FindOperation(int32_t ntype) const;
  // FindPackage: the package with that id, or null.
  [[nodiscard]] const DepotPackage* FindPackage(int32_t ipid) const;
  // FindCart: the cart with that id, or null.
  [[nodiscard]] const DepotCart* FindCart(int32_t iaid) const;

  // SetOperation: replaces the operation with the same code (returns 1) or appends it (returns 0).
  int SetOperation(const DepotOperation& op);
  // SetCart: replaces the cart with the same id (returns 1) or inserts it before the first cart
  // whose position is not smaller (returns 0).
  int SetCart(const DepotCart& cart);
  // AddPackage: a package with a maximum load of 0.001 or more and three positive sides (whose
  // product fits 64 bits) is kept with its sides sorted largest first; the maxima are raised; a package of a known id is overwritten in
  // place (returns 1, the lists keep their order), a new one is inserted into the three lists before
  // the first package whose largest side / maximum load / volume is not smaller (returns 0). A
  // package left out returns 0.
  int AddPackage(const DepotPackage& package);

  // A step the goods-in confirm, order-out and serial-number requests make; it changes nothing.
  int Touch(int32_t, int32_t) const { return 0; }

  const std::vector<DepotOperation>& operations() const { return operations_; }
  const std::vector<DepotCart>& carts() const { return carts_; }
  const std::vector<const DepotPackage*>& packagesBySide() const { return bySide_; }
  const std::vector<const DepotPackage*>& packagesByLoad() const { return byLoad_; }
  const std::vector<const DepotPackage*>& packagesByVolume() const { return byVolume_; }
  int32_t maxSide() const { return maxSide_; }
  double maxLoad() const { return maxLoad_; }
  int64_t maxVolume() const { return maxVolume_; }

 private:
  std::vector<DepotOperation> operations_;  // in load order
  std::vector<DepotCart> carts_;            // ascending by position
  std::vector<std::unique_ptr<DepotPackage>> packages_;
  std::vector<const DepotPackage*> bySide_, byLoad_, byVolume_;
  int32_t maxSide_ = 0;
  double maxLoad_ = 0;
  int64_t maxVolume_ = 0;
};

// GetWarehouseOperationName: the name of a warehouse operation code ("入库:审核" for 2 ...), "未知" for
// any other code. The text is a constant.
[[nodiscard]] const char* GetWarehouseOperationName(int32_t code);

// NormalizeScannedBarcode: the carrier barcodes whose shipment number sits inside a longer scan, by
// the length of the text (21 digits: the last 16; 28 beginning "%": the 14 characters from position
// 8 and their MOD 37,36 check character; 29 beginning "997001": the 16 from position 8; 30 digits:
// the last 22; 34 beginning "420": the last 26; other 34 whose last 12 are digits: those 12);
// anything else stays as it is.
void NormalizeScannedBarcode(std::string& text);
// NormalizeScannedNumber: a scanned number as stored: a scan of 20 characters or more first through
// NormalizeScannedBarcode; then the bytes 0x21..0x7F other than ', " and & in order, at most 30,
// upper-cased.
[[nodiscard]] std::string NormalizeScannedNumber(const char* text);
// FormatShelfText: "<shelf>|<column>列|<layer>层".
[[nodiscard]] std::string FormatShelfText(const char* shelf, uint32_t column, uint32_t layer);
