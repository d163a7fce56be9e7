#pragma once
// ShipmentEntryResult: the outcome of one record of a batch request that enters shipments (the
// client's "PreInputSet", the partner's orders, the PDA's shipment entry). The batch handler zeroes
// it (value-initialises it) before each record and sets iIndex; the entry worker fills the rest;
// the handler writes the filled results into its reply's "ErrList".
//
// A plain record; texts are NUL-terminated GBK. PutEntryResult writes one into a batch reply.
// SavePreInputRecord is the client road's entry worker, which the partner's orders use too.

#include <cstdint>
#include <string_view>

#include "core/paging.h"

struct PoolSlot;

struct ShipmentEntryResult {
  int32_t iIndex = 0;      // 0-based position of the record in the request
  int32_t iID = 0;         // the record's id from the request; the stored record's id on success
  double fWeight = 0;      // weight (the PDA entry only)
  double fAmount = 0;      // amount (the PDA entry only)
  char cNum[32] = "";      // internal number as finally used
  char cNo[32] = "";       // transfer (waybill) number as finally used
  char cMess[256] = "";    // why the record was refused or failed; empty on success
  char cReserve[32] = "";  // reserve field as stored
  char cBy1[64] = "";      // free fields 1 to 5 as stored
  char cBy2[64] = "";
  char cBy3[64] = "";
  char cBy4[64] = "";
  char cBy5[256] = "";
};

// PutEntryResult: the "ErrList" entry of one entered record: "iIndex", the record's id under idKey
// ("iID"; the partner's orders answer "ioID"), then "cNum", "cNo", "cMess", "cReserve" and "cBy1"
// to "cBy5".
inline void PutEntryResult(CBatchReply& batch, const char* idKey, const ShipmentEntryResult& r) {
  batch.BeginEntry(r.iIndex)
      .Int(idKey, r.iID)
      .Str("cNum", r.cNum)
      .Str("cNo", r.cNo)
      .Str("cMess", r.cMess)
      .Str("cReserve", r.cReserve)
      .Str("cBy1", r.cBy1)
      .Str("cBy2", r.cBy2)
      .Str("cBy3", r.cBy3)
      .Str("cBy4", r.cBy4)
      .Str("cBy5", r.cBy5);
  batch.EndEntry();
}

namespace tw::services {

// SavePreInputRecord: stores one shipment record (its JSON text, "iID" first) of the client as a
// pre-input shipment, with its goods lines, numbers, zone and kind fill fields, on the slot's
// connection; a carrier order, when the kind goes to one, is made on the slot too. Returns the
// stored shipment's id (> 0); -1 when the record was refused before storing, -9 when the database
// did not run the statements, or the procedure's own refusal (<= 0). result (value-initialised by
// the caller, iIndex set) receives the numbers and fields as stored, and on failure the reason in
// cMess. address: the caller's four address bytes. REQUIRES: the caller holds the slot.
int SavePreInputRecord(PoolSlot& slot, int32_t clientId, std::string_view record, ShipmentEntryResult& result,
                       const unsigned char* address);

}  // namespace tw::services
