#pragma once
// ShipmentEntryResult: the outcome of one record of a batch request that enters shipments (the
// client's "PreInputSet", the partner's orders, the PDA's shipment entry). The batch handler zeroes
// it (value-initialises it) before each record and sets iIndex; the entry worker fills the rest;
// the handler writes the filled results into its reply's "ErrList".
//
// A plain record; texts are NUL-terminated GBK. PutEntryResult writes one into a batch reply.

#include <cstdint>

#include "core/paging.h"

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
