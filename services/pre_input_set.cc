// The client's writing requests on its pre-input shipments: "PreInputSet" stores a batch of them
// (each through the shipment-entry worker) and "PreInputDel" withdraws a list of them. Both answer
// with the batch reply {"ReturnValue":n,"OK":k[,"ErrList":[...]]}, which is always sent whole.

#include <string_view>
#include <vector>

#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "services/handlers.h"
#include "services/internal/pre_input_batch.h"
#include "services/internal/replies.h"
#include "services/shipment_entry.h"
#include "util/json.h"
#include "util/outbuf.h"

namespace {

constexpr char kDelCallSql[] = "{?=CALL dorvane.dbo.cp_rec_pre_input_del(%d,%d)}";
constexpr char kMessDelFailed[] = "处理失败。";

}  // namespace

namespace tw::services {

void OnPreInputSet(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  const int32_t icid = tw::JsonGetInt("icID", text, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  const char* list = tw::JsonFindKey("RecList", text);
  std::vector<std::string_view> records;
  if (list == nullptr ||
      !tw::entry::CutRecords(text.substr(static_cast<size_t>(list - text.data())), tw::entry::kBatchRecordsMax, records)) {
    WriteCode(rq.pCtxt, kRcNoBatchList);
    return;
  }
  // The door's key-check slot when it handed it on, else one of its own.
  PoolSlotGuard own(-1);
  PoolSlotGuard& slot = HandlerSlot(rq, own);
  if (!slot.ok() && !slot.Acquire()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }

  std::vector<ShipmentEntryResult> results(records.size());
  int32_t stored = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    results[i].iIndex = static_cast<int32_t>(i);
    if (SavePreInputRecord(slot.slot(), icid, records[i], results[i], rq.address) > 0) ++stored;
  }

  // The reply is written once every record is done: a carrier order works in the slot's reply buffer.
  tw::OutBuf reply = tw::entry::BatchReplyBuffer(slot.slot());
  CBatchReply batch(reply, static_cast<int32_t>(records.size()), stored);
  for (const ShipmentEntryResult& r : results) PutEntryResult(batch, "iID", r);
  tw::entry::SendBatchReply(rq.pCtxt, reply, batch);
}

void OnPreInputDel(const CRequest& rq) {
  int32_t icid = 0;
  std::vector<int32_t> ids;
  PoolSlotGuard slot(-1);
  if (!tw::entry::OpenWithdrawal(rq.pCtxt, rq.body != nullptr ? rq.body : "", &icid, ids, slot)) return;

  struct Failure {
    int32_t id;
    const char* message;
  };
  std::vector<Failure> failures;
  for (int32_t id : ids) {
    int32_t result = 0;
    if (!tw::entry::CallWithdraw(slot.slot(), kDelCallSql, id, icid, &result)) {
      WriteCode(rq.pCtxt, kRcDbFailed);  // the ids before this one stay withdrawn
      return;
    }
    if (result == tw::entry::kProcTakenOver) {
      failures.push_back({id, tw::entry::kMessTakenOver});
    } else if (result == tw::entry::kProcNotFound) {
      failures.push_back({id, tw::entry::kMessNotFound});
    } else if (result < 0) {
      failures.push_back({id, kMessDelFailed});
    }
  }

  tw::OutBuf reply = tw::entry::BatchReplyBuffer(slot.slot());
  CBatchReply batch(reply, static_cast<int32_t>(ids.size()), static_cast<int32_t>(ids.size() - failures.size()));
  for (size_t i = 0; i < failures.size(); ++i) {
    batch.BeginEntry(static_cast<int32_t>(i)).Int("iID", failures[i].id).StrWide("cMess", failures[i].message);
    batch.EndEntry();
  }
  tw::entry::SendBatchReply(rq.pCtxt, reply, batch);
}

}  // namespace tw::services
