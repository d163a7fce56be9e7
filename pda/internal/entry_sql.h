#pragma once
// The statements that store and re-weigh shipment records from PDAs: the call of
// cp_client_rec_fast_add with its 117 values, the call of cp_client_rec_reweight_ex with its 30,
// the piece rows (client_rec_weight_detail) that travel inside those calls as one INSERT text, and
// the INSERT of a record's goods rows.
//
// Every text value goes through the SQL sanitiser. The piece-row INSERT is built as a statement that
// is valid on its own (its texts sanitised once); inside a call it is one quoted argument, so all
// its quotes are doubled once more. No text of a request can end a literal early at either level.
// Texts are built in strings of any length.
//
// Functions of their arguments alone; reentrant.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pricing/goods_line.h"
#include "pricing/pieces.h"

namespace tw::pda {

// The record id of piece rows whose record does not exist yet; the procedure puts the new id there.
inline constexpr char kRecordIdMarker[] = "#1234567#";
// Where a record was made: typed on a PDA, from a pre-input shipment, from a transfer bag.
inline constexpr int kSourceTyped = 5;
inline constexpr int kSourcePreInput = 2;
inline constexpr int kSourceTransferBag = 3;
// The largest volume a record keeps (m3).
inline constexpr double kMaxCubicMetres = 2100;

// DoubleQuotes: text with every "'" doubled (a statement put inside a quoted argument).
[[nodiscard]] std::string DoubleQuotes(std::string_view text);

// BuildWeightDetailInsert: "INSERT INTO dorvane.dbo.client_rec_weight_detail(<columns>) " then one
// "select ..." per piece of the first `rows` pieces, joined by " union all", with recordId (a
// number or kRecordIdMarker) as irid and wpos 1, 2, ...; the pieces' texts sanitised. Empty when
// rows is 0.
[[nodiscard]] std::string BuildWeightDetailInsert(std::span<const PieceItem> pieces, size_t rows,
                                                  std::string_view recordId);

// BuildRecordGoodsInsert: one INSERT of the lines as goods rows of record irid, wpos from 0.
// REQUIRES: lines is not empty.
[[nodiscard]] std::string BuildRecordGoodsInsert(std::span<const GoodsLine> lines, int32_t irid);

// VolumeCm3: the volume in cm3 of `cubicMetres`, a negative volume as 0 and one above
// kMaxCubicMetres as that (2100000000 fits the column).
[[nodiscard]] int64_t VolumeCm3(double cubicMetres);

// The values of a new shipment record in the order of cp_client_rec_fast_add's arguments (the
// argument number stands before each group). Arguments that every call passes as the same constant
// are not here; BuildFastAddCall writes them.
struct FastAddValues {
  int32_t icid = 0, nitemtype = 1, nlanguage = 0;              // 1-3
  char ddate[16] = "";                                        // 4: "%Y.%m.%d"
  int32_t npayway = 0;                                        // 6
  const char* cinput = "";                                    // 7: the operator
  const char* cemskind = "";                                  // 8
  const char* caddrfrom = "", *cdes = "", *cnum = "", *cserviceno = "";  // 9-12
  double fweight = 0, famount = 0;                            // 13-14
  const char* csender = "", *creceiver = "", *cphone = "", *cunitname = "", *cpostcode = "", *caddr = "",
              *ccountry = "", *ccity = "", *cprovince = "", *cmname = "", *ctaker = "";  // 15-25
  const char* cmemo = "";                                     // 31
  int32_t ireserve = 0;                                       // 32
  double fweights = 0;                                        // 34: the weight charged
  const char* clwh = "";                                      // 35: the dimension text
  double fweightb = 0;                                        // 36: the real weight
  int32_t piid = 0;                                           // 37: the source's id
  double fsprice = 0, fsprices = 0;                           // 38-39: cost amount, amount
  double fabase = 0, faaddon = 0, facustom = 0, faother = 0;  // 43-46
  double faaddrate = 0;                                       // 47
  const char* cgoods = "";                                    // 48
  int32_t iquantity = 0, iprice = 0;                          // 49-50 (cents)
  const char* cpacking = "", *ctransnote = "";                // 51-52
  int32_t idvalue = 0, iivalue = 0;                           // 53-54 (cents)
  double faget = 0, fasafe = 0, fapack = 0;                   // 55, 57, 58
  const char* cmoney = "";                                    // 61
  double foprice = 0;                                         // 62: the list freight
  const char* csunitname = "", *csaddr = "", *csphone = "", *cspostcode = "", *cscountry = "",
              *csprovince = "", *cscity = "", *cmark = "", *cpaydir = "", *corigin = "";  // 63-72
  int32_t iitem = 1;                                          // 73
  std::string_view weightDetail;                              // 74: BuildWeightDetailInsert's text
  int32_t nfrom = kSourceTyped;                               // 75
  double fweighti = 0;                                        // 76: the weight as entered or stored
  const char* crno = "", *cstation = "";                      // 77-78
  const char* csmsnumber = "";                                // 81
  double fgoods = 0;                                          // 82
  const char* ccno = "", *cdepart = "", *csemail = "", *cremail = "", *crsms = "", *creserve = "";  // 85-90
  const char* cby1 = "", *cby2 = "", *cby3 = "", *cby4 = "", *cby5 = "";  // 97-101
  int64_t icubic = 0;                                         // 102 (cm3)
  int32_t iidr = 0, iids = 0, iidi = 0;                       // 103-105
  const char* cgoodsa = "", *cgcodea = "", *cgcodeb = "", *cgcodec = "";  // 107-110
  double fgcustom = 0, fgcrate = 0;                           // 111-112
  double facheck = 0, faremote = 0, faby = 0;                 // 113-115
  double fdiscount = 0, focustomc = 0;                        // 116-117
};

// The number of values cp_client_rec_fast_add receives.
inline constexpr int kFastAddValueCount = 117;

// BuildFastAddCall: "{?=CALL dorvane.dbo.cp_client_rec_fast_add(CAST(ROW(<117 values>) AS
// dbo.client_rec_fast_add_args))}", the values in their order, texts sanitised, the piece rows as
// one quoted argument.
[[nodiscard]] std::string BuildFastAddCall(const FastAddValues& v);

// The values of a re-weighed record in the order of cp_client_rec_reweight_ex's 30 arguments.
struct ReweightValues {
  int32_t irid = 0, icid = 0;
  double fweight = 0, famount = 0;
  const char* opname = "";
  double fsprice = 0;
  const char* ctaker = "";
  const char* clwh = "";
  double fweights = 0, fweightb = 0;
  int32_t iitem = 1;
  double fsprices = 0, fabase = 0, faaddon = 0, facustom = 0, faother = 0, faaddrate = 0, faget = 0, facarry = 0,
         fasafe = 0, fapack = 0, fabaserate = 0, foprice = 0;
  int64_t icubic = 0;
  std::string_view pieces;  // BuildWeightDetailInsert's text, or empty to keep the stored rows
  double facheck = 0, faremote = 0, faby = 0, fdiscount = 0, focustomc = 0;
};

// BuildReweightCall: "{?=CALL dorvane.dbo.cp_client_rec_reweight_ex(<30 values>)}".
[[nodiscard]] std::string BuildReweightCall(const ReweightValues& v);

}  // namespace tw::pda
