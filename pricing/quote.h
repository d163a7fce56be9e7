#pragma once
// The pieces of a price quote ("QueryPrice") that need no database: the quoted weight of a request
// (its weight against the volume weight of its sides), the place record the database answers for a
// destination, and the explanation text of one kind's price, which the client shows beside it.
//
// All functions are reentrant.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pricing/base_price.h"

// Sides are held within this many cm (the volume weight is computed in 64 bits).
inline constexpr int32_t kQuoteSideMaxCm = 100000;

// QuoteSide: a side in whole cm, counted after adding 0.9 (so 30.05 cm counts as 30 and 30.1 as
// 31); 0 for a side that is not positive or not a number; at most kQuoteSideMaxCm.
[[nodiscard]] int32_t QuoteSide(double cm);

// QuotedWeightKg: the quoted weight: `kg`, or the volume weight of the sides when all three are
// positive and it is larger. The volume weight in hundredths of a kilogram is (V x 100 + 5) / D for
// V = L x W x H (whole cm, QuoteSide) and the divisor D in cm3 per kg, or (V / 6 + 5) / 10 when D is
// not positive (integer divisions).
[[nodiscard]] double QuotedWeightKg(double kg, double length, double width, double height, int32_t divisor);

// The place the database answers for a destination (cp_query_sys_place).
struct SysPlace {
  int32_t iid = 0;
  int32_t narea = 0;
  char carea[64] = "";     // the place's name (up to 30 characters)
  char careae[128] = "";   // English name (up to 63)
  char czipcode[24] = "";  // postcode (up to 11)
  char ccode[16] = "";     // place code (up to 7)
};

struct PoolSlot;

// QuerySysPlace: the place the database knows for a destination text of 1..63 bytes
// (cp_query_sys_place), on the slot's connection. Returns 1 with *place filled, 0 when there is
// none (or the text is empty or too long), -9 when the call failed. REQUIRES: the caller holds the
// slot.
int QuerySysPlace(PoolSlot& slot, const char* text, SysPlace* place);
// GetBasePriceByProc: the base price in cents of `grams` to the place for the kind and item type
// (cp_get_base_price) on the slot's connection: the procedure's return value (-4 when it gives
// none), -9 when the call failed. REQUIRES: the caller holds the slot.
int GetBasePriceByProc(PoolSlot& slot, const char* place, const char* kind, int itemType, int32_t grams);

// What the explanation of one kind's price is made from: the outputs of cp_ee_get_client_price
// and the settings of the kind and its area.
struct PriceExplainInput {
  int32_t grams = 0;
  PriceBand band;                // band start, end, step, step price, top price, rule (outputs 2-7)
  int32_t discountCode = 10000;  // from the discount table (output 8) for peer and member prices
  int32_t addons = 0;            // output 9: the fuel surcharge flag
  int32_t fixedFeeCents = 0;     // output 10
  int32_t segmentCode = 0;       // output 11
  int32_t result = 0;            // output 1: 0 special destination, 1 special zone, 2 peer, 3+ member price
  double fuelRate = 0;           // the kind's faddons (percent)
  double customsFee = 0;         // the kind's fcustoms (yuan)
  int32_t nextra = 0;            // the kind's nextra: the fuel surcharge is a rate of the base price
  int32_t ndiscountc = 0;        // 1: the customs fee takes the discount
  int32_t nallcustoms = 0;       // 1: every area charges the customs fee
  int32_t areaType = 0;          // the area's ntype: above 0 charges the customs fee
  int64_t basePriceCents = 0;    // cp_get_base_price, for nextra
  double dict86 = 0;             // the member price's fuel rate and customs fee
  double dict87 = 0;
};

struct PriceExplanation {
  bool bPriced = false;  // false when the band cannot price (a stepped rule without a step)
  int64_t totalCents = 0;
  std::string text;      // HTML lines
};

// The price kind texts by result.
inline constexpr int kResultSpecialPlace = 0;
inline constexpr int kResultSpecialZone = 1;
inline constexpr int kResultPeer = 2;
inline constexpr int kResultMember = 3;

// FormatPriceHtml: the price of the band for the grams and its explanation, line by line: the band's
// lines (AppendBandLines); for peer and member prices the segment discount (which then stands for the
// discount code) or else the discount; the fuel surcharge when its rate (member price: dict86) is
// above 0.001 and the flag is set or the price is a peer or member price (a rate of the base price
// when nextra is set, except for member prices); the customs fee (member price: dict87) when the
// area's type is above 0 or nallcustoms is 1 and the fee is above 0.001 (discounted with ndiscountc
// 1); the fixed fee; the rule, the total and the price kind ("(特殊目的地价)<BR>", "(特殊分区价)<BR>",
// "(同行报价)<BR>", "(会员价)<BR>"). Every line's amount is whole cents; the total is their sum.
[[nodiscard]] PriceExplanation FormatPriceHtml(const PriceExplainInput& in);

// QuoteMemo: the memo of a quote entry: the kind's memo followed by "<BR>" when it is not empty, then
// the area's memo; LF becomes "<BR>" and CR is dropped.
[[nodiscard]] std::string QuoteMemo(const char* kindMemo, const char* areaMemo);
