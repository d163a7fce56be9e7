#pragma once
// Client and supplier prices: the client price tables ems_price (class 0), ems_price1 (class 1) and
// ems_price2 (class 2), whose bands are searched per kind, destination area and item type; the
// discount codes and their arithmetic; the records a shipment is priced with (PriceQuery for a
// client, SupplierPriceQuery for a supplier) and the explanation lines of a band.
//
// The entry points that price a whole shipment are methods of the reference-data container
// (COstrumContainer::GetClientPrice, GetSupplierPrice), since they read its dictionary settings and
// caches.
//
// Money: the tables and procedures keep cents and grams as integers; every step of a price is done
// on whole cents (64-bit) and only the results are handed out in yuan, as cents / 100. A percentage
// of an amount is rounded to cents by RoundCents (util/datetime.h). So a price is the same to the
// cent on every run and can be followed by hand from the rows it came from.
//
// Discount codes are in hundredths of a percent: 10000 is no discount, 9500 takes 5 % off, 10500
// adds 5 %.
//
// All functions are reentrant; the ones with a pool slot run their statements on its connection.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/pool.h"
#include "pricing/base_price.h"
#include "pricing/ems_kind.h"

inline constexpr int32_t kDiscountNone = 10000;
inline constexpr int kPriceClassCount = 3;  // ems_price, ems_price1, ems_price2

// One client_discount row: the client's discounts for a kind (or for the undifferentiated price).
struct ClientDiscountRow {
  bool bRead = false;         // a row was read
  uint8_t vdiscount[8] = {};  // bytes 0..3 whole percent of item types 0..3, bytes 4..7 the hundredths
  int32_t baddons = 0;        // 1: the fuel surcharge is charged
  int32_t iother = 0;         // other fee in cents
};

// A supplier as cached by the container (sp_arc).
struct SupplierRecord {
  int32_t isid = 0;
  int32_t nbatch = 0;
  int32_t ntype = 0;
  char cname[64] = "";
};

// A client price request and its result. Zero it (value-initialise), fill the inputs and pass it to
// COstrumContainer::GetClientPrice. Amounts in yuan (whole cents).
struct PriceQuery {
  const CEmsKind* kind = nullptr;  // the service kind
  ClientDiscountRow kindDiscount;  // set during the call: the client's row for the kind
  ClientDiscountRow baseDiscount;  // set during the call: the client's row for the base price
  int32_t clientId = 0;            // icid; below 1: no client
  int32_t recordId = 0;            // carried
  char origin[64] = "";            // carried
  char destination[64] = "";       // the area name of the band search and the place of the base price
  int32_t pieceCount = 0;          // carried
  int32_t weight = 0;              // chargeable grams
  int32_t activeClient = 0;        // 1 when the client's nstate is 0
  uint8_t itemType = 0;            // 0, 1 or 2
  uint8_t customsFlag = 0;         // nonzero: the kind's customs fee is charged
  // Results.
  double freight = 0;         // the client's price: freight after discount plus surcharges
  double baseFreight = 0;     // freight after discount, before surcharges
  double fuelAmount = 0;      // fuel surcharge charged
  double customsFee = 0;      // customs fee charged
  double fuelRate = 0;        // fuel surcharge percentage charged
  double standardPrice = 0;   // list freight plus its fuel surcharge plus the customs fee
  double listFreight = 0;     // undiscounted table or base price
  double discountFactor = 0;  // the discount applied as a factor (0.95), or discounted / list freight
  int32_t otherFeeCents = 0;  // iother of the discount row
  double customsSetting = 0;  // the kind's fcustoms
};

// A supplier price request and its result, for COstrumContainer::GetSupplierPrice. Amounts in yuan.
struct SupplierPriceQuery {
  const CEmsKind* kind = nullptr;
  int32_t supplierId = 0;     // isid
  char destination[64] = "";
  int32_t pieceCount = 0;     // carried
  int32_t pricedWeight = 0;   // out: grams accounted by the band
  int32_t bandStart = 0;      // out: band start, or the accounted grams of the standard price
  int32_t weight = 0;         // chargeable grams
  uint8_t itemType = 0;       // 0, 1 or 2; also picks the supplier discount (document, bag, other)
  uint8_t customsFlag = 0;    // nonzero: the kind's supplier customs fee is charged
  double total = 0;           // out: the supplier cost
  double freight = 0;         // out: after discount and coefficient, before surcharges
  double fuelAmount = 0;      // out
  double customsFee = 0;      // out
  double fixedFee = 0;        // in and out: fixed other fee (the caller may give it)
  double fuelRate = 0;        // out
  double standardPrice = 0;   // out: the standard client price plus its surcharges and fees
  double customsSetting = 0;  // out: the kind's fscustoms
};

// The price kind texts GetClientPrice names (GBK, at most this many bytes with the NUL).
inline constexpr size_t kPriceKindBytes = 16;

// ----- Discounts -------------------------------------------------------------------------------------

// DiscountCodeOf: vdiscount[t] x 100 + vdiscount[4 + t] for item type t (0..3); kDiscountNone for
// any other item type.
[[nodiscard]] int32_t DiscountCodeOf(const uint8_t vdiscount[8], int itemType);
// AdjustByDiscount: cents adjusted by the code: below 10000 P - ((10000 - code) x P + 5000) / 10000,
// above 10000 P + ((code - 10000) x P + 5000) / 10000, 10000 (or a code below 1) P unchanged.
[[nodiscard]] int64_t AdjustByDiscount(int64_t cents, int32_t code);
// DiscountToFactor: 0 for 10000 (no discount), any other code x 0.0001 (9500 -> 0.95).
[[nodiscard]] double DiscountToFactor(int32_t code);
// DiscountRatio: price / base as a factor in whole steps of 0.0001 (truncated), at most 9.9999; 0
// when base is below 0.01 or the two are equal.
[[nodiscard]] double DiscountRatio(double base, double price);

// ----- Money -----------------------------------------------------------------------------------------

// CentsOf: yuan to whole cents (ScaleToInt by 100).
[[nodiscard]] int64_t CentsOf(double yuan);
// Yuan: cents / 100.
[[nodiscard]] inline double Yuan(int64_t cents) { return static_cast<double>(cents) / 100.0; }
// PercentOfCents: RoundCents(rate x amount / 100) in cents, for a percentage rate of an amount in
// cents (0 for a rate that is not a number).
[[nodiscard]] int64_t PercentOfCents(double rate, int64_t cents);
// PerKgCents: the amount of w grams at `perKg` cents a kilogram, rounded to cents (half away from
// zero on the third decimal, as RoundCents).
[[nodiscard]] int64_t PerKgCents(int64_t w, int64_t perKg);

// ----- Bands of the client price tables -------------------------------------------------------------

// How one band prices a weight.
struct BandPrice {
  bool bValid = false;     // false for a stepped rule whose step is not positive
  int64_t cents = 0;       // the band's price
  int64_t steps = 0;       // rules 1 and stepped: the number of steps charged
  int32_t accounted = 0;   // grams accounted: the band start (rules 0, 3) or the whole steps
  int64_t amountCents = 0;  // rule 3: the per-kg amount (cents = amount + itopprice)
};

// ClientBandPrice: w grams priced by a band of a client table (rule 0 itopprice; 1 ceil(w / step)
// x iprice; 3 PerKgCents(w, iprice) + itopprice; any other itopprice + ceil((w - ibweight) / step)
// x iprice).
[[nodiscard]] BandPrice ClientBandPrice(const PriceBand& band, int32_t w);

// AppendBandLines: the explanation of one band, as HTML lines (amounts in yuan): rule 0
// "　%10.2f(速查%d-%d克)<BR>"; rule 1 "　%10.2f(总乘%.2f元/%d克:%.2f*%d)<BR>"; rule 3
// "　%10.2f(直乘%.2f元/公斤:%.2f*%s公斤)<BR>" and, for a base of at least 0.01, "+ %10.2f(额外加价)<BR>";
// any other "　%10.2f(首重%d克)<BR>+ %10.2f(续重%.2f元/%d克:%.2f*%d)<BR>".
void AppendBandLines(std::string& text, const PriceBand& band, const BandPrice& price, int32_t w);

// FindClientPriceBand: the first band (lowest start) of table class 0..2 for the kind, the kind's
// area named `areaName`, the item type and w grams (ibweight < w <= ieweight). Returns the band's
// area number (above 0) with *band filled, 0 when none, -9 when the statement failed.
[[nodiscard]] int FindClientPriceBand(PriceBand* band, PoolSlot& slot, const char* kind, const char* areaName,
                                      int32_t w, int priceClass, int itemType);
// FindClientPriceBandByArea: the same for an area number; 0 without a query for area 0.
[[nodiscard]] int FindClientPriceBandByArea(PriceBand* band, PoolSlot& slot, const char* kind, int area, int32_t w,
                                            int priceClass, int itemType);

// PriceFromClientTable: the price in cents of *weight grams from table class 0..2, found by the
// destination name when one is given, else by the area number; 0 when there is neither, no band
// matches, or a statement failed. On a price, *weight becomes the grams the band accounts
// (BandPrice::accounted) and the band's explanation lines are appended to *explanation when given.
[[nodiscard]] int64_t PriceFromClientTable(PoolSlot& slot, const char* kind, const char* destination, int area,
                                           int32_t* weight, int itemType, int priceClass,
                                           std::string* explanation = nullptr);

// ----- Explanation lines (HTML lines of a price; amounts in yuan) -----------------------------------

// AppendDiscountLine: a discount of `code` taken from (or, above 10000, added to) `beforeCents`,
// changing it by deltaCents: "- %10.2f(折扣:%.2f*%.2f%%)<BR>" for a plain discount, and
// "- %10.2f(段折扣:%.2f*%.2f%%)\r\n" or "+ %10.2f(段折扣:%.2f*%.2f%%)\r\n" for a segment discount,
// with the change, the amount before and the percentage taken or added.
void AppendDiscountLine(std::string& text, bool bSegment, int64_t beforeCents, int32_t code, int64_t deltaCents);
// "+ %10.2f(燃附%.2f%%)<BR>": the fuel surcharge and its percentage.
void AppendFuelLine(std::string& text, int64_t cents, double rate);
// "+ %10.2f(报关费)<BR>".
void AppendCustomsLine(std::string& text, int64_t cents);
// "+ %10.2f(固定杂费)\r\n".
void AppendFixedFeeLine(std::string& text, int64_t cents);
// "────────────────<BR> =%10.2f": the rule and the total.
void AppendTotalLine(std::string& text, int64_t cents);
