#pragma once
// The goods definition and depot placement records that "pdawGoodsDefine", "pdawGoodsDepot" and the
// one-step goods in hand to AddGoodsDefine and AddGoodsDepot, and those two writing steps.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/db_columns.h"

struct PdaUser;
struct PoolSlot;

struct GoodsDefineRecord {
  int32_t icid = 0;
  char cccode[64] = "";
  char cgcode[64] = "";
  char chscode[16] = "";
  char cgpccode[64] = "";
  char cname[256] = "";
  char cnamee[256] = "";
  char ckind[32] = "";
  char cproducer[64] = "";
  char cmodel[64] = "";
  char csize[16] = "";
  char ccolor[16] = "";
  char cbrand[16] = "";
  char cunit[16] = "";
  char corigin[4] = "";
  char cmark[16] = "";
  char cmemo[256] = "";
  int64_t ilong = 0, iwidth = 0, iheight = 0;  // ten-thousandths
  double fweight = 0;
  double fwpu = 0;
  int32_t freedays = 0;
  int32_t iedays = 0;
  int32_t ntype = 0;   // 1: counted by serial number
  int32_t bshare = 0;
  int32_t nqc = 0;     // 0..100
  int32_t iweightdiff = 0;
};

struct GoodsDepotRecord {
  int32_t giid = 0;
  int32_t icid = 0;
  char cshelf[32] = "";
  int32_t storyb = 0, storye = 0, columnb = 0, columne = 0;
  int32_t reserve = 0;  // not set by the requests
  int32_t bshare = 0;
  int32_t nqc = 0;
  double fpackm = 0, fpackl = 0, fqcin = 0, flabel = 0, farrange = 0, fqcout = 0;
  double fwpu = 0;
  int32_t freedays = 0;
  char cmoney[4] = "";
  double fprice = 0, fprices = 0, fpriceb = 0, fpricev = 0, fdvalue = 0, fivalue = 0, fevalue = 0;
  double fvaday = 0;
  char cunit[16] = "";
  int32_t imin = 0;
  int32_t imax = 999999;
  int32_t iedays = 0;
  char cmark[16] = "";
  char cmemo[256] = "";
};

namespace tw::warehouse {

// ReadGoodsDefineKeys: "icID", "cAccount", "cgCode", "ccCode" and "cgName" into the record and
// account (31 bytes). Returns 0, or the refusal: -12 neither code, -13 no name, -710 neither client
// id nor account.
[[nodiscard]] int ReadGoodsDefineKeys(std::string_view body, GoodsDefineRecord& r, char account[31]);
// ReadGoodsDefineAttributes: the other keys of a definition (sides in ten-thousandths, nQC's low
// byte held at 100, any nType other than 0 as serial goods), then the default goods code
// "%06u<client code>" when none was sent and the client code has at most 50 characters (else the
// client code itself). REQUIRES: r.icid resolved.
void ReadGoodsDefineAttributes(std::string_view body, GoodsDefineRecord& r);

// AddGoodsDefine: defines the goods of the record (cp_w_goods_define_add) on the slot's
// connection. Returns the new goods id, the procedure's refusal (-1 goods code taken, -3 client
// code taken, -4 client goods name taken ...) or -9 when the statement did not run; mess receives
// the text of a refusal. REQUIRES: the caller holds the slot.
int AddGoodsDefine(PoolSlot& slot, const GoodsDefineRecord& record, const PdaUser& user, std::string& mess);
// AddGoodsDepot: places the goods in the depot (cp_w_goods_depot_add) on the slot's connection.
// Returns the new placement id, -1 when the goods are placed there already, another refusal, or -9;
// mess as above. REQUIRES: the caller holds the slot.
int AddGoodsDepot(PoolSlot& slot, const GoodsDepotRecord& record, const char* depotCode, const PdaUser& user,
                  std::string& mess);

}  // namespace tw::warehouse
