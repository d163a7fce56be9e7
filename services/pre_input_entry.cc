// The shipment-entry worker of the client road: one record of a "PreInputSet" batch (or of a
// partner's orders) becomes a pre-input shipment. The record is read and refused early when it has
// no usable internal number, kind or destination; its number is drawn when it has none; its goods
// lines are read; the field checks run; the zone, the transfer number (a carrier's mail number or a
// local one) and the kind's fill fields are added; then cp_rec_pre_input_set stores it, and its
// goods rows go in with it, in the same transaction.

#include <cstring>
#include <optional>
#include <string>

#include "carriers/carrier_choice.h"
#include "core/config.h"
#include "core/db.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pricing/field_check.h"
#include "pricing/kind_fill.h"
#include "pricing/zone_table.h"
#include "services/internal/pre_input_batch.h"
#include "services/internal/pre_input_record.h"
#include "services/shipment_entry.h"
#include "util/text.h"

namespace {

using tw::entry::CopyText;
using tw::entry::PreInputRecord;

constexpr char kLogCategory[] = "TARNWICK";

// The worker's own results besides the new id and the procedure's refusals.
constexpr int kEntryRefused = -1;

constexpr char kMessBadNumber[] = "内单号不合法(7-30字符)";
constexpr char kMessNoKind[] = "快递类别空";
constexpr char kMessNoDestination[] = "目的地空";
constexpr char kMessNoNumber[] = "内单号获取失败";
constexpr char kMessBusy[] = "系统忙";
constexpr char kMessNotRun[] = "系统未执行";
constexpr char kMessDuplicate[] = "同样内单号的记录已经存在。";
constexpr char kMessFailed[] = "系统执行错误";

// The text of a procedure result of 0 or less.
const char* ProcedureMessage(int result) {
  switch (result) {
    case tw::entry::kProcTakenOver:
      return tw::entry::kMessTakenOver;
    case tw::entry::kProcNotFound:
      return tw::entry::kMessNotFound;
    case tw::entry::kProcDuplicateNumber:
      return kMessDuplicate;
    default:
      return kMessFailed;
  }
}

// Replaces each field that the kind's fill record sets.
void ApplyKindFill(const EmsKindExFields& fill, PreInputRecord& r) {
  if (fill.cReserve[0] != '\0') CopyText(r.cReserve, fill.cReserve);
  if (fill.cBy1[0] != '\0') CopyText(r.cBy1, fill.cBy1);
  if (fill.cBy2[0] != '\0') CopyText(r.cBy2, fill.cBy2);
  if (fill.cBy3[0] != '\0') CopyText(r.cBy3, fill.cBy3);
  if (fill.cBy4[0] != '\0') CopyText(r.cBy4, fill.cBy4);
  if (fill.cBy5[0] != '\0') CopyText(r.cBy5, fill.cBy5);
}

}  // namespace

namespace tw::services {

int SavePreInputRecord(PoolSlot& slot, int32_t clientId, std::string_view text, ShipmentEntryResult& result,
                       const unsigned char* address) {
  WriteLog(std::string(text).c_str(), kLogCategory);
  auto refuse = [&result](const char* why) {
    CopyText(result.cMess, why);
    return kEntryRefused;
  };

  // ---- the record and its first refusals ----
  PreInputRecord r;
  tw::entry::ReadRecord(text, r);
  CopyText(result.cNum, r.cNum);
  result.iID = r.iID;
  const int32_t defaultRule = ExtensionSettings.defaultInternalRuleId;
  if (defaultRule <= 0 && std::strlen(r.cNum) < tw::entry::kNumberMinLength) return refuse(kMessBadNumber);
  if (r.cEmsKind[0] == '\0') return refuse(kMessNoKind);
  if (r.cDes[0] == '\0') return refuse(kMessNoDestination);

  // The rule that drew the internal number, when one did.
  bool bDrawn = false;
  int32_t internalRule = -1;
  if (std::strlen(r.cNum) < tw::entry::kNumberMinLength) {
    if (GenerateInternalNumber(slot, clientId, r.cEmsKind, r.cNum, &internalRule) == 0) {
      return refuse(kMessNoNumber);
    }
    bDrawn = true;
    // A drawn number stays used even when the record is refused later.
    WriteLog(("drew internal number " + std::string(r.cNum)).c_str(), kLogCategory);
  }
  const bool bDefaultRule = bDrawn && internalRule == defaultRule;
  tw::MakeUpperAscii(r.cNum);
  CopyText(result.cNum, r.cNum);

  // ---- goods lines ----
  const tw::entry::GoodsListText list = tw::entry::FindGoodsList(text);
  if (!list.list.empty()) WriteLog(std::string(list.list).c_str(), kLogCategory);
  for (std::string_view object : list.objects) {
    WriteLog(std::string(object).c_str(), kLogCategory);
    GoodsLine line;
    if (!tw::entry::ReadGoodsLine(object, line)) break;
    r.goods.push_back(line);
  }
  tw::entry::FoldGoodsLines(r);

  // ---- checks ----
  if (tw::entry::CheckFields(r, g_FieldCheckList, result.cMess, sizeof result.cMess) != 0) return kEntryRefused;
  tw::entry::Normalize(r);
  if (tw::entry::CheckStorable(r, result.cMess, sizeof result.cMess) != 0) return kEntryRefused;

  char zoneNumber[kZoneNumberBytes], zoneLetter[kZoneLetterBytes];
  if (g_ZoneTable.FindZone(r.cRPostcode, r.cEmsKind, zoneNumber, zoneLetter) != 0) {
    if (zoneNumber[0] != '\0') CopyText(r.cBy1, zoneNumber);
    if (zoneLetter[0] != '\0') CopyText(r.cBy2, zoneLetter);
  }

  // ---- transfer number: the client's own, the internal number, a carrier's or a local one ----
  if (std::strlen(r.cNo) < tw::entry::kNumberMinLength) {
    const int32_t transferRule = FindTransferNumberRuleId(r.cEmsKind);
    if (transferRule == -1 || (bDrawn && transferRule == internalRule)) {
      CopyText(r.cNo, r.cNum);
    } else if (const int32_t carrier = CarrierHandOver().FindCarrier(r.cEmsKind); carrier != kCarrierNone) {
      CarrierShipment shipment;
      tw::entry::FillCarrierShipment(r, clientId, shipment);
      CarrierOrderResult order;
      if (CarrierHandOver().CreateOrder(slot, carrier, shipment, order) == 0) {
        WriteLog(order.message, kLogCategory);
        return refuse(order.message);
      }
      // The order stays made even when the record is refused later.
      WriteLog(("carrier order " + std::string(r.cNum) + " " + order.mailNumber).c_str(), kLogCategory);
      CopyText(r.cNo, order.mailNumber);
      if (order.bReserveFields) {
        CopyText(r.cReserve, order.reserve);
        CopyText(r.cBy1, order.by1);
      }
      if (bDefaultRule) {
        CopyText(r.cNum, order.mailNumber);
        CopyText(result.cNum, r.cNum);
      }
    } else {
      // A failed drawing is no refusal: the record keeps what the generator left.
      int32_t usedRule = -1;
      if (GenerateTransferNumber(slot, clientId, r.cEmsKind, r.cNo, &usedRule) != 0) {
        WriteLog(("drew transfer number " + std::string(r.cNo)).c_str(), kLogCategory);
      }
    }
  }
  tw::MakeUpperAscii(r.cNo);
  CopyText(result.cNo, r.cNo);

  EmsKindExFields fill;
  if (FindEmsKindExFields(r.cEmsKind, &fill) != 0) ApplyKindFill(fill, r);
  CopyText(result.cReserve, r.cReserve);
  CopyText(result.cBy1, r.cBy1);
  CopyText(result.cBy2, r.cBy2);
  CopyText(result.cBy3, r.cBy3);
  CopyText(result.cBy4, r.cBy4);
  CopyText(result.cBy5, r.cBy5);

  // ---- storing: the shipment and its goods rows, all or nothing ----
  static constexpr unsigned char kNoAddress[4] = {0, 0, 0, 0};
  const unsigned char* caller = address != nullptr ? address : kNoAddress;
  const bool bGoodsRows = tw::entry::StoresGoodsRows(r);
  DbStatement st(slot.hDbc);
  if (!st.ok()) {
    CopyText(result.cMess, kMessBusy);
    return kRcDbFailed;
  }
  std::optional<DbTransaction> transaction;
  if (bGoodsRows) {
    transaction.emplace(slot.hDbc);
    if (!transaction->ok()) {
      CopyText(result.cMess, kMessNotRun);
      return kRcDbFailed;
    }
  }
  int32_t stored = 0;
  st.BindOutInt(1, &stored);
  const std::string call = tw::entry::BuildSetCall(r, clientId, caller);
  if (!DbOk(st.ExecDirect(call.c_str()))) {
    WriteLog(st.Diagnostic().c_str(), kLogCategory);
    CopyText(result.cMess, kMessNotRun);
    return kRcDbFailed;
  }
  if (stored <= 0) {
    CopyText(result.cMess, ProcedureMessage(stored));
    return stored;
  }
  if (bGoodsRows) {
    DbStatement goods(slot.hDbc);
    const std::string insert = tw::entry::BuildGoodsInsert(r.goods, stored);
    const bool inserted = goods.ok() && DbOk(goods.ExecDirect(insert.c_str()));
    if (!inserted) WriteLog(goods.Diagnostic().c_str(), kLogCategory);
    if (!inserted || !transaction->Commit()) {
      CopyText(result.cMess, kMessNotRun);
      return kRcDbFailed;
    }
  }
  result.iID = stored;
  return stored;
}

}  // namespace tw::services
