#pragma once
// The steps that the PDA's shipment entry, re-weighing and conversions share: the stored pieces of a
// record or pre-input shipment, the chargeable weight of the pieces with the record's dimension
// text, and pricing a record again.
//
// Functions that take a PoolSlot run their statements on its connection (REQUIRES: the caller
// holds the slot); the others are functions of their arguments alone.

#include <cstdint>
#include <string>

#include "core/pool.h"
#include "pricing/ems_kind.h"
#include "pricing/pieces.h"

namespace tw::pda {

// ReadStoredPieces: appends the pieces a query gives, its columns ilong, iwidth, iheight, iweight,
// npercent and, with bGoods, cgoods, iquantity, iprice, cgoodsa, cgcodea, cgcodeb, cgcodec,
// fgcustom, fgcrate. Returns the number of pieces read, -9 when the statement failed.
[[nodiscard]] int ReadStoredPieces(PoolSlot& slot, const char* sql, bool bGoods, PieceList& pieces);

// The weight of a re-weighed record.
struct WeighOutcome {
  double weight = 0;        // kg: the chargeable weight, else the weight asked, else the stored one
  double recordWeight = 0;  // the weight the record is charged by (the real weight for some kinds)
  double realKg = 0;        // the pieces' summed weight
  double cubicMetres = 0;   // the pieces' summed volume
  std::string dims;         // "L*W*H" of a single piece with three sides, then the divisor letter
};

// WeighPieces: the chargeable weight of the pieces by the kind's rules; it replaces the weight
// asked when larger, and a weight still below 1 g takes the stored weight. REQUIRES: the
// reference-data container is loaded.
void WeighPieces(const CEmsKind& kind, const PieceList& pieces, double requestKg, double storedKg, WeighOutcome& out);

// The amount and fee columns of a record that is priced again. Before PriceAgain they hold the
// record's values; afterwards the values to store.
struct RecordFees {
  double famount = 0, fsprice = 0;
  double faother = 0, faaddrate = 0, fabase = 0, faaddon = 0, facustom = 0, foprice = 0, fdiscount = 0,
         focustomc = 0;
  double fapack = 0, fasafe = 0, facarry = 0, faget = 0, faby = 0, faremote = 0, facheck = 0;
  // The eight fees that come on top of the freight.
  [[nodiscard]] double Fees() const { return fapack + fasafe + facarry + faget + faother + faby + faremote + facheck; }
};

// What is priced.
struct RepriceQuery {
  const CEmsKind* kind = nullptr;
  int32_t clientId = 0;
  int32_t recordId = 0;
  const char* origin = "";
  const char* destination = "";
  int32_t pieceCount = 0;
  double weightKg = 0;
  bool bActiveClient = false;
  int32_t itemType = 0;
  int32_t customsFlag = 0;
};

// The outcomes of PriceAgain.
inline constexpr int kPriceNotAsked = 0;
inline constexpr int kPriced = 1;
inline constexpr int kPriceFailed = -1;

// PriceAgain: when bPriceCalc is set or the amount is below 0.01, and the weight is at least 1 g,
// the client price of the record: priced, the amount becomes the freight plus the eight fees and
// fsprice the standard price plus the same fees (a positive other fee of the client's discount row
// fills an empty faother), and the detail columns take the price's values; not priced, the amount
// becomes the eight fees alone and everything else stays. Returns kPriced, kPriceFailed or
// kPriceNotAsked (nothing changed).
[[nodiscard]] int PriceAgain(const RepriceQuery& q, bool bPriceCalc, PoolSlot& slot, RecordFees& fees);

}  // namespace tw::pda
