#pragma once
// The columns of a pre-input shipment (a rec_pre_input row) that the client's and the PDA's reading
// requests both select, and the keys both answer for them. Each road binds the columns in the order
// of its own statement and adds the columns of its own.
//
// A plain record and a function of its arguments; reentrant.

#include <cstdint>

#include "core/db.h"
#include "core/paging.h"
#include "util/datetime.h"

struct PreInputColumns {
  int32_t iid = 0;
  int32_t irid = 0;
  int32_t nitemtype = 0;
  DbText<15> cemskind = "";
  DbText<63> cdes = "";
  double fweight = 0;
  DbText<254> cunitname = "";
  DbText<254> caddr = "";
  DbText<126> ccity = "";
  DbText<15> cpostcode = "";
  DbText<63> cprovince = "";
  DbText<126> ccountry = "";
  DbText<63> creceiver = "";
  DbText<63> cphone = "";
  int32_t nstate = 0;
  DbText<254> cmemo = "";
  int32_t npayway = 0;
  DbText<30> csender = "";
  DbText<40> clwh = "";
  int32_t iitem = 0;
  double fgoods = 0;
  double fgoodsc = 0;
  DbText<254> cgoods = "";
  int32_t iquantity = 0;
  int64_t iprice = 0;  // cents
  DbText<15> cpacking = "";
  DbText<63> ctransnote = "";
  int64_t idvalue = 0;  // cents
  int64_t iivalue = 0;  // cents
  DbText<3> cmoney = "";
  DbText<127> csunitname = "";
  DbText<127> csaddr = "";
  DbText<63> csphone = "";
  DbText<15> cspostcode = "";
  DbText<63> cscountry = "";
  DbText<30> csprovince = "";
  DbText<63> cscity = "";
  int32_t nlanguage = 0;
  DbText<3> cpaydir = "";
  double famount = 0;
  DbText<30> crefer = "";
  DbText<22> csmsnumber = "";
  DbText<63> csemail = "";
  DbText<63> cremail = "";
  DbText<22> crsms = "";
  DbText<15> cmark = "";
  DbText<30> cdepart = "";
  DbText<30> cno = "";
  DbText<30> crno = "";
  DbText<30> ccno = "";
  DbText<30> creserve = "";
  int32_t ireserve = 0;
  DbText<15> cunit = "";
  DbText<63> cby1 = "";
  DbText<63> cby2 = "";
  DbText<63> cby3 = "";
  DbText<63> cby4 = "";
  DbText<254> cby5 = "";
  DbText<254> cgoodsa = "";
  DbText<63> cgcodea = "";
  DbText<63> cgcodeb = "";
  DbText<63> cgcodec = "";
  double fgcustom = 0;
  double fgcrate = 0;
  DbText<30> cnum = "";
  DbText<63> caddrfrom = "";
  DbText<3> corigin = "";
  DbText<15> cemskindc = "";
  DbText<15> cemskindw = "";
  double faget = 0;
  double fasafe = 0;
  double fapack = 0;
  double faother = 0;
  double facheck = 0;
  double faremote = 0;
  double faby = 0;
};

// PutPreInputKeys: the keys of a pre-input shipment from "cAddrFrom" to "cTransNote", in the order
// of the replies ("cAddrFrom", "cDes", "fWeight", the sides from "clwh", ..., the fee parts,
// "cPacking", "cTransNote"); amounts kept in cents are answered in units with two decimals.
inline void PutPreInputKeys(CJsonFields& f, const PreInputColumns& r) {
  constexpr int kCents = 100;
  int32_t length = 0, width = 0, height = 0;
  ParseSides(r.clwh, &length, &width, &height);
  f.Str("cAddrFrom", r.caddrfrom).Str("cDes", r.cdes).Real("fWeight", r.fweight, 3);
  f.Int("iLong", length).Int("iWidth", width).Int("iHeight", height);
  f.Int("iItem", r.iitem).Int("siPayWay", r.npayway).Real("fAmount", r.famount, 2);
  f.Str("cReceiver", r.creceiver).Str("cRUnit", r.cunitname).Str("cRAddr", r.caddr).Str("cRCity", r.ccity);
  f.Str("cRPostcode", r.cpostcode).Str("cRProvince", r.cprovince).Str("cRCountry", r.ccountry);
  f.Str("cRPhone", r.cphone).Str("cREMail", r.cremail).Str("cRSms", r.crsms);
  f.Str("cNum", r.cnum).Str("cNo", r.cno).Str("cRNo", r.crno).Str("cCNo", r.ccno);
  f.Str("cSender", r.csender).Str("cSUnit", r.csunitname).Str("cSAddr", r.csaddr).Str("cSCity", r.cscity);
  f.Str("cSPostcode", r.cspostcode).Str("cSProvince", r.csprovince).Str("cSCountry", r.cscountry);
  f.Str("cSPhone", r.csphone).Str("cSEMail", r.csemail).Str("cSSms", r.csmsnumber);
  f.Str("cDepart", r.cdepart).Str("cMark", r.cmark).Str("cMemo", r.cmemo).Str("cReserve", r.creserve);
  f.Int("iReserve", r.ireserve);
  f.Str("cBy1", r.cby1).Str("cBy2", r.cby2).Str("cBy3", r.cby3).Str("cBy4", r.cby4).Str("cBy5", r.cby5);
  f.Str("cGoods", r.cgoods).Int("iQuantity", r.iquantity);
  f.Real("fPrice", tw::Ratio64(r.iprice, kCents), 2).Real("fGoods", r.fgoods, 2).Real("fGoodsc", r.fgoodsc, 2);
  f.Real("fDValue", tw::Ratio64(r.idvalue, kCents), 2).Real("fIValue", tw::Ratio64(r.iivalue, kCents), 2);
  f.Str("cMoney", r.cmoney).Str("cPayDir", r.cpaydir).Str("cOrigin", r.corigin);
  f.Str("cGoodsA", r.cgoodsa).Str("cGCodeA", r.cgcodea).Str("cGCodeB", r.cgcodeb).Str("cGCodeC", r.cgcodec);
  f.Real("fGCustom", r.fgcustom, 2).Real("fGCRate", r.fgcrate, 4);
  f.Real("faGet", r.faget, 2).Real("faSafe", r.fasafe, 2).Real("faPack", r.fapack, 2);
  f.Real("faOther", r.faother, 2).Real("faCheck", r.facheck, 2).Real("faRemote", r.faremote, 2);
  f.Real("faBy", r.faby, 2);
  f.Str("cPacking", r.cpacking).Str("cTransNote", r.ctransnote);
}
