#pragma once
// The PDA road: the handlers of the couriers' PDA requests (DoPda) other than the warehouse's, and
// the PDA's shipment entry routine.
//
// Each handler answers the request on rq.pCtxt; rq.user is the operator of the calling PDA.
// Handlers keep their state in the pool slot they hold and may run on many threads at once.

#include <cstdint>
#include <string_view>

#include "core/request.h"

struct PoolSlot;
struct ShipmentEntryResult;

namespace tw::pda {

// ----- Lookups, events and corrections ----------------------------------------------------------------
// "pdaSpInfo": the active suppliers, or supplier and kind pairs, with their batch codes.
void OnPdaSpInfo(const CRequest& rq);
// "pdaSpBatch": the batch numbers a supplier has used on one day, newest first.
void OnPdaSpBatch(const CRequest& rq);
// "pdaRecCtrlCode": attaches a three-character control code to a shipment number.
void OnPdaRecCtrlCode(const CRequest& rq);
// "pdaRecSend": hands a shipment to a supplier's batch: the check procedure's text, the supplier
// cost and one of the four scan procedures.
void OnPdaRecSend(const CRequest& rq);
// "pdaRecPromptQuery": the staff and client prompts of a number for one step of handling.
void OnPdaRecPromptQuery(const CRequest& rq);
// "pdaRecMod": overwrites the given text fields of a shipment record.
void OnPdaRecMod(const CRequest& rq);
// "pdaRecReturn": books a shipment as returned (once), with the depot's handling when "cDepot" is
// given; a refused return is recorded as a failed scan.
void OnPdaRecReturn(const CRequest& rq);
// "pdaTransRcv": receives a transfer parcel: a known transfer, a new one for a client, or unclaimed.
void OnPdaTransRcv(const CRequest& rq);
// "pdaTransShelfPut": records the shelf of a received transfer.
void OnPdaTransShelfPut(const CRequest& rq);
// "pdaUserInfo": the operator of the PDA and the operator's 23 right flags.
void OnPdaUserInfo(const CRequest& rq);
// "pdaRecPickup": records that a parcel was picked up from a client.
void OnPdaRecPickup(const CRequest& rq);
// "pdaRecTrackInfo": a tracking event on a shipment record, an export bag or an air waybill.
void OnPdaRecTrackInfo(const CRequest& rq);
// "pdaxBagQuery": one export bag with its pack, and optionally the bags counted by a field.
void OnPdaxBagQuery(const CRequest& rq);
// "pdaxBagSet": changes the mark and reserve fields of an export bag.
void OnPdaxBagSet(const CRequest& rq);
// "pdaTransQuery", "pdaPreInputQuery": one transfer record / pre-input shipment by its number.
void OnPdaTransQuery(const CRequest& rq);
void OnPdaPreInputQuery(const CRequest& rq);
// "pdaGetNum": one number of a numbering rule.
void OnPdaGetNum(const CRequest& rq);

// ----- Shipment entry and weighing ----------------------------------------------------------------------
// "pdaRecAdd": a shipment record typed in on the PDA, for the client of "icID" (or of the account
// "cAccount"), stored through AddShipmentRecord; the reply carries the outcome.
void OnPdaRecAdd(const CRequest& rq);
// AddShipmentRecord: stores the shipment record of the request text for the client: its goods
// lines, pieces, numbers (drawn when missing, a carrier's when its kind goes to one), chargeable
// weight and price, through cp_client_rec_fast_add, on the slot's connection; the record, its
// piece rows and its goods rows are stored together or not at all. Returns the new record id
// (> 0); -1 when the routine refused the record, -9 when the database did not run the call or did
// not store the rows, or the procedure's own refusal (<= 0). result (value-initialised by the
// caller) receives the numbers, weight and amount, and on failure the reason in cMess; its iID is
// the new record id, the procedure's refusal, or else the request's "irID" once that was read.
// operatorName: who entered the record. REQUIRES: the caller holds the slot.
int AddShipmentRecord(PoolSlot& slot, int32_t clientId, std::string_view body, ShipmentEntryResult& result,
                      const char* operatorName);
// "pdaRecReWeight": an existing record weighed (and priced) again.
void OnPdaRecReWeight(const CRequest& rq);
// "pdaRecReWeightPre": a client's pre-input shipment made into a shipment record as it is weighed.
void OnPdaRecReWeightPre(const CRequest& rq);
// "pdaRecReWeightTrans" and "pdaTransBagOut": a received and audited transfer bag made into a
// shipment record as it is weighed.
void OnPdaRecReWeightTrans(const CRequest& rq);

}  // namespace tw::pda
