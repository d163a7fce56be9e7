// The PDA's shipment entry: "pdaRecAdd" and the routine behind it, AddShipmentRecord. A courier
// types a whole shipment on the PDA; the routine finds the client, reads the keys, goods lines and
// pieces, checks the fields, numbers the shipment, computes its chargeable weight and (when asked,
// or when no amount was sent) its price, hands it to a carrier when its kind goes to one and no
// carrier number was sent, and stores the record with its piece rows through cp_client_rec_fast_add.
// The goods rows follow once the record exists, in the same transaction: a record is stored with all
// its rows or not at all.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "carriers/carrier_choice.h"
#include "core/config.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pda/handlers.h"
#include "pda/internal/entry_record.h"
#include "pda/internal/entry_sql.h"
#include "pda/internal/entry_steps.h"
#include "pda/internal/pda_common.h"
#include "pricing/field_check.h"
#include "pricing/goods_list.h"
#include "pricing/ostrum_container.h"
#include "services/shipment_entry.h"
#include "util/datetime.h"
#include "util/json.h"
#include "util/text.h"

namespace {

using tw::pda::PdaEntryRecord;

constexpr char kLogCategory[] = "TARNWICK";
constexpr int kEntryRefused = -1;
constexpr size_t kAccountMax = 30;
constexpr int kCents = 100;
constexpr double kMinKg = 0.001;

constexpr char kMessNoClient[] = "客户不存在";
constexpr char kMessBadWeight[] = "重量不合法(必须大于零)";
constexpr char kMessBadNumber[] = "内单号不合法(7-30字符)";
constexpr char kMessNoKind[] = "快递类别空";
constexpr char kMessNoDestination[] = "目的地空";
constexpr char kMessUnknownKind[] = "快递类别[%s]不存在。";
constexpr char kMessNoNumber[] = "内单号获取失败";
constexpr char kMessBusy[] = "系统忙";
constexpr char kMessNotRun[] = "系统未执行";

// The text of a procedure result of 0 or less.
const char* FastAddMessage(int result) {
  switch (result) {
    case -8:
      return "内单号重复，操作未完成。";
    case -7:
      return "转单号重复，操作未完成。";
    case -6:
      return "运单号不能为空，操作未完成。";
    case -1:
      return "客户不存在。";
    default:
      return "系统执行错误";
  }
}

template <size_t N>
void Copy(char (&out)[N], const char* text) {
  tw::CopyTextLimited(out, text, N - 1);
}

// The shipment a carrier receives, with the carriers' floors (0.5 kg, quantity 1, unit price 1.0)
// and the first goods line's goods when there are lines.
void FillCarrierShipment(const PdaEntryRecord& r, int32_t clientId, CarrierShipment& s) {
  s.clientId = clientId;
  s.weight = r.fWeight < kMinKg ? 0.5 : r.fWeight;
  s.quantity = r.iQuantity < 1 ? 1 : r.iQuantity;
  s.unitPrice = r.fPrice < 0.01 ? 1.0 : r.fPrice;
  s.pieces = r.iItem;
  s.declaredValue = r.fDValue;
  Copy(s.kind, r.cEmsKind);
  Copy(s.destination, r.cDes);
  Copy(s.postcode, r.cRPostcode);
  Copy(s.receiver, r.cReceiver);
  Copy(s.address, r.cRAddr);
  Copy(s.company, r.cRUnit);
  Copy(s.city, r.cRCity);
  Copy(s.province, r.cRProvince);
  Copy(s.country, r.cRCountry);
  Copy(s.phone, r.cRPhone);
  Copy(s.email, r.cREMail);
  Copy(s.sms, r.cRSms);
  Copy(s.transNote, r.cTransNote);
  Copy(s.internalNumber, r.cNum);
  Copy(s.printCode, r.cPrintCode);
  if (r.iLong > 0 && r.iWidth > 0 && r.iHeight > 0) {
    std::snprintf(s.dimensions, sizeof s.dimensions, "%u*%u*%u", static_cast<unsigned>(r.iLong),
                  static_cast<unsigned>(r.iWidth), static_cast<unsigned>(r.iHeight));
  }
  if (r.goods.empty()) {
    Copy(s.goods, r.cGoods);
    Copy(s.goodsA, r.cGoodsA);
    Copy(s.goodsCodeA, r.cGCodeA);
  } else {
    Copy(s.goods, r.goods.front().cxGoods);
    Copy(s.goodsA, r.goods.front().cxGoodsA);
    Copy(s.goodsCodeA, r.goods.front().cxGCodeA);
  }
}

}  // namespace

namespace tw::pda {

int AddShipmentRecord(PoolSlot& slot, int32_t clientId, std::string_view text, ShipmentEntryResult& result,
                      const char* operatorName) {
  auto refuse = [&result](const char* why) {
    Copy(result.cMess, why);
    return kEntryRefused;
  };

  // ---- client, weight, internal number, kind and destination ----
  const ClientRef* client = g_OstrumContainer.FindClientById(clientId, slot.hDbc);
  if (client == nullptr) return refuse(kMessNoClient);

  PdaEntryRecord r;
  tw::pda::ReadEntryNumbers(text, r);
  if (r.bPriceCalc != 0 && r.fWeight < kMinKg) return refuse(kMessBadWeight);

  tw::pda::ReadEntryNumber(text, r);
  Copy(result.cNum, r.cNum);
  result.iID = r.irID;
  const int32_t defaultRule = ExtensionSettings.defaultInternalRuleId;
  if (defaultRule < 1 && std::strlen(r.cNum) < tw::pda::kEntryNumberMinLength) return refuse(kMessBadNumber);

  tw::pda::ReadEntryTexts(text, r);
  if (r.cEmsKind[0] == '\0') return refuse(kMessNoKind);
  if (r.cDes[0] == '\0') return refuse(kMessNoDestination);
  const CEmsKind* kind = g_OstrumContainer.LoadEmsKind(r.cEmsKind, slot, kKindByCode);
  if (kind == nullptr) {
    std::snprintf(result.cMess, sizeof result.cMess, kMessUnknownKind, r.cEmsKind);
    return kEntryRefused;
  }

  // ---- numbering ----
  int32_t internalRule = -1;
  if (std::strlen(r.cNum) < tw::pda::kEntryNumberMinLength) {
    if (GenerateInternalNumber(slot, clientId, r.cEmsKind, r.cNum, &internalRule) == 0) {
      return refuse(kMessNoNumber);
    }
    WriteLog(("pdaRecAdd drew internal number " + std::string(r.cNum)).c_str(), kLogCategory);
  }
  const bool bDefaultRule = internalRule >= 1 && internalRule == defaultRule;
  tw::MakeUpperAscii(r.cNum);
  Copy(result.cNum, r.cNum);

  // ---- goods lines: the list, each object and what follows it go to the log ----
  const tw::entry::GoodsListText list = tw::entry::FindGoodsList(text);
  if (!list.list.empty()) WriteLog(std::string(list.list).c_str(), kLogCategory);
  for (size_t i = 0; i < list.objects.size(); ++i) {
    const std::string_view object = list.objects[i];
    WriteLog(std::string(object).c_str(), kLogCategory);
    GoodsLine line;
    const bool accepted = tw::entry::ReadGoodsLine(object, line);
    const char* after = object.data() + object.size();
    const char* next = i + 1 < list.objects.size() ? list.objects[i + 1].data() : list.list.data() + list.list.size();
    if (next > after) WriteLog(std::string(after, static_cast<size_t>(next - after)).c_str(), kLogCategory);
    if (!accepted) break;
    r.goods.push_back(line);
  }
  tw::pda::FoldEntryGoods(r);

  // ---- checks, then clamps ----
  if (tw::pda::CheckEntryFields(r, g_FieldCheckList, result.cMess, sizeof result.cMess) != 0) return kEntryRefused;
  tw::pda::ClampEntry(r);

  // ---- pieces and weights ----
  const char letter = GetVolumeDivisorCode(*kind);
  std::string dims;
  if (r.iLong >= 1 && r.iWidth >= 1 && r.iHeight >= 1) {
    dims = StringPrintf("%u*%u*%u", static_cast<unsigned>(r.iLong), static_cast<unsigned>(r.iWidth),
                        static_cast<unsigned>(r.iHeight));
    if (letter != 0) dims += letter;
  }
  PieceList pieces;
  const tw::entry::GoodsListText items = tw::entry::FindObjectList("ItemList", text);
  if (!items.list.empty()) ParsePieceItems(pieces, items.list);
  if (pieces.empty() && !dims.empty()) AddPieceFromDimensions(pieces, dims.c_str(), r.fWeight);
  int32_t grams = 0;
  double realKg = 0, cubicMetres = 0;
  const double charged =
      g_OstrumContainer.CalcChargeWeight(pieces, letter, kind->ncuball, &grams, &realKg, &cubicMetres, kind->nwtypec);
  if (charged > r.fWeight) r.fWeight = charged;
  const double recordWeight = (kind->nweights & 0xFF) != 0 ? realKg : r.fWeight;

  std::string weightDetail;
  if (pieces.size() > 1) {
    weightDetail =
        tw::pda::BuildWeightDetailInsert(pieces, static_cast<size_t>(r.iItem), tw::pda::kRecordIdMarker);
  }

  // ---- price ----
  tw::pda::RecordFees fees;
  fees.famount = r.fAmount;
  fees.faother = r.faOther;
  fees.fapack = r.faPack;
  fees.fasafe = r.faSafe;
  fees.faget = r.faGet;
  fees.faby = r.faBy;
  fees.faremote = r.faRemote;
  fees.facheck = r.faCheck;
  tw::pda::RepriceQuery query;
  query.kind = kind;
  query.clientId = clientId;
  query.origin = r.cAddrFrom;
  query.destination = r.cDes;
  query.pieceCount = r.iItem;
  query.weightKg = r.fWeight;
  query.bActiveClient = client->nstate == 0;
  query.itemType = r.nItemType;
  query.customsFlag = r.nLanguage;
  (void)tw::pda::PriceAgain(query, r.bPriceCalc != 0, slot, fees);
  r.fAmount = fees.famount;
  r.faOther = fees.faother;

  // ---- carrier number: the one sent, the internal number, a carrier's or a local one ----
  if (std::strlen(r.cNo) < tw::pda::kEntryNumberMinLength) {
    const int32_t transferRule = FindTransferNumberRuleId(r.cEmsKind);
    if (transferRule < 0 || transferRule == internalRule) {
      Copy(r.cNo, r.cNum);
    } else if (const int32_t carrier = CarrierHandOver().FindCarrier(r.cEmsKind); carrier != kCarrierNone) {
      CarrierShipment shipment;
      FillCarrierShipment(r, clientId, shipment);
      CarrierOrderResult order;
      if (CarrierHandOver().CreateOrder(slot, carrier, shipment, order) == 0) {
        WriteLog(order.message, kLogCategory);
        return refuse(order.message);
      }
      WriteLog(("pdaRecAdd carrier order " + std::string(r.cNum) + " " + order.mailNumber).c_str(), kLogCategory);
      Copy(r.cNo, order.mailNumber);
      // Australia Post's barcode and book id are kept as the reserve field and free field 1.
      if (order.bReserveFields) {
        Copy(r.cReserve, order.reserve);
        Copy(r.cBy1, order.by1);
      }
      if (bDefaultRule) {
        Copy(r.cNum, order.mailNumber);
        Copy(result.cNum, r.cNum);
      }
    } else {
      // A failed drawing leaves the number empty; the procedure refuses an empty number.
      int32_t usedRule = -1;
      if (GenerateTransferNumber(slot, clientId, r.cEmsKind, r.cNo, &usedRule) != 0) {
        WriteLog(("pdaRecAdd drew transfer number " + std::string(r.cNo)).c_str(), kLogCategory);
      }
    }
  }
  tw::MakeUpperAscii(r.cNo);
  Copy(result.cNo, r.cNo);

  // ---- storing: the record with its piece rows (inside the call) and its goods rows, all or nothing ----
  tw::pda::FastAddValues v;
  v.icid = clientId;
  v.nitemtype = r.nItemType;
  v.nlanguage = r.nLanguage;
  Copy(v.ddate, tw::pda::TodayDotted().c_str());
  v.npayway = r.nPayWay;
  v.cinput = operatorName != nullptr ? operatorName : "";
  v.cemskind = kind->cemskind;
  v.caddrfrom = r.cAddrFrom;
  v.cdes = r.cDes;
  v.cnum = r.cNum;
  v.cserviceno = r.cNo;
  v.fweight = r.fWeight;
  v.famount = r.fAmount;
  v.csender = r.cSender;
  v.creceiver = r.cReceiver;
  v.cphone = r.cRPhone;
  v.cunitname = r.cRUnit;
  v.cpostcode = r.cRPostcode;
  v.caddr = r.cRAddr;
  v.ccountry = r.cRCountry;
  v.ccity = r.cRCity;
  v.cprovince = r.cRProvince;
  v.cmname = r.cMName;
  v.ctaker = r.cTaker;
  v.cmemo = r.cMemo;
  v.ireserve = r.iReserve;
  v.fweights = recordWeight;
  v.clwh = dims.c_str();
  v.fweightb = realKg;
  v.fsprice = fees.fsprice;
  v.fsprices = r.fAmount;
  v.fabase = fees.fabase;
  v.faaddon = fees.faaddon;
  v.facustom = fees.facustom;
  v.faother = r.faOther;
  v.faaddrate = fees.faaddrate;
  v.cgoods = r.cGoods;
  v.iquantity = r.iQuantity;
  v.iprice = static_cast<int32_t>(tw::ScaleToInt(r.fPrice, kCents));
  v.cpacking = r.cPacking;
  v.ctransnote = r.cTransNote;
  v.idvalue = static_cast<int32_t>(tw::ScaleToInt(r.fDValue, kCents));
  v.iivalue = static_cast<int32_t>(tw::ScaleToInt(r.fIValue, kCents));
  v.faget = r.faGet;
  v.fasafe = r.faSafe;
  v.fapack = r.faPack;
  v.cmoney = r.cMoney;
  v.foprice = fees.foprice;
  v.csunitname = r.cSUnit;
  v.csaddr = r.cSAddr;
  v.csphone = r.cSPhone;
  v.cspostcode = r.cSPostcode;
  v.cscountry = r.cSCountry;
  v.csprovince = r.cSProvince;
  v.cscity = r.cSCity;
  v.cmark = r.cMark;
  v.cpaydir = r.cPayDir;
  v.corigin = r.cOrigin;
  v.iitem = r.iItem;
  v.weightDetail = weightDetail;
  v.nfrom = tw::pda::kSourceTyped;
  v.fweighti = r.fWeight;
  v.crno = r.cRNo;
  v.cstation = r.cStation;
  v.csmsnumber = r.cSSms;
  v.fgoods = r.fGoods;
  v.ccno = r.cCNo;
  v.cdepart = r.cDepart;
  v.csemail = r.cSEMail;
  v.cremail = r.cREMail;
  v.crsms = r.cRSms;
  v.creserve = r.cReserve;
  v.cby1 = r.cBy1;
  v.cby2 = r.cBy2;
  v.cby3 = r.cBy3;
  v.cby4 = r.cBy4;
  v.cby5 = r.cBy5;
  v.icubic = tw::pda::VolumeCm3(cubicMetres);
  v.cgoodsa = r.cGoodsA;
  v.cgcodea = r.cGCodeA;
  v.cgcodeb = r.cGCodeB;
  v.cgcodec = r.cGCodeC;
  v.fgcustom = r.fGCustom;
  v.fgcrate = r.fGCRate;
  v.facheck = r.faCheck;
  v.faremote = r.faRemote;
  v.faby = r.faBy;
  v.fdiscount = fees.fdiscount;
  v.focustomc = fees.focustomc;

  const bool bGoodsRows = r.goods.size() > 1;
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    Copy(result.cMess, kMessBusy);
    return kRcDbFailed;
  }
  std::optional<DbTransaction> transaction;
  if (bGoodsRows) {
    transaction.emplace(slot.hDbc);
    if (!transaction->ok()) {
      Copy(result.cMess, kMessNotRun);
      return kRcDbFailed;
    }
  }
  int32_t stored = 0;
  st.BindOutInt(1, &stored);
  const std::string call = tw::pda::BuildFastAddCall(v);
  if (!DbOk(st.ExecDirect(call.c_str()))) {
    WriteLog(st.Diagnostic().c_str(), kLogCategory);
    Copy(result.cMess, kMessNotRun);
    return kRcDbFailed;
  }
  if (stored <= 0) {
    result.iID = stored;
    Copy(result.cMess, FastAddMessage(stored));
    return stored;
  }
  if (bGoodsRows) {
    DbStatement goods(slot.hDbc);
    const std::string insert = tw::pda::BuildRecordGoodsInsert(r.goods, stored);
    const bool inserted = goods.ok() && DbOk(goods.ExecDirect(insert.c_str()));
    if (!inserted) {
      WriteLog(("pdaRecAdd goods rows of " + std::to_string(stored) + ": " + goods.Diagnostic()).c_str(),
               kLogCategory);
    }
    if (!inserted || !transaction->Commit()) {
      Copy(result.cMess, kMessNotRun);
      return kRcDbFailed;
    }
  }
  result.iID = stored;
  result.fWeight = r.fWeight;
  result.fAmount = r.fAmount;
  return stored;
}

void OnPdaRecAdd(const CRequest& rq) {
  const PdaUser& user = *rq.user;
  int32_t clientId = tw::JsonGetInt("icID", rq.body, 0);
  char account[kAccountMax + 1];
  tw::JsonGetString("cAccount", rq.body, account, kAccountMax, tw::kJsonModeCodePage);
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  if (account[0] != '\0' && clientId <= 0) clientId = g_OstrumContainer.GetClientId(account, slot.dbc());
  if (clientId <= 0) {
    slot.Release();
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  ShipmentEntryResult result;
  const int code = AddShipmentRecord(slot.slot(), clientId, rq.body, result, user.mcname);
  const int returnValue = code <= 0 ? code : result.iID;

  tw::OutBuf reply = tw::pda::OpenReply(slot.slot());
  reply.AppendChar('{');
  CJsonFields(reply)
      .Int("ReturnValue", returnValue)
      .Int("irID", result.iID)
      .Int("icID", clientId)
      .Str("cNum", result.cNum)
      .Str("cNo", result.cNo)
      .Real("fWeight", result.fWeight, 3)
      .Real("fAmount", result.fAmount, 2)
      .Str("cMess", result.cMess);
  reply.AppendChar('}');
  tw::pda::SendReply(rq.pCtxt, reply);
}

}  // namespace tw::pda
