#pragma once
// The batch side of "PreInputSet" and "PreInputDel" (and of the transfer records' batches): cutting
// a batch into its records, reading the list of ids to withdraw, withdrawing one of them, and the
// bound that keeps every batch reply whole.
//
// All functions are reentrant; CutRecords and ReadIdList read only the text they are given.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/pool.h"

class CHttpServerContext;

namespace tw::entry {

// A batch holds at most this many records (or ids); a longer one is refused before anything is
// stored. Together with the largest reply entry this bounds the reply, which is always sent whole.
inline constexpr size_t kBatchRecordsMax = 20000;
// The largest "ErrList" entry of a record: its ten texts (855 bytes of GBK at most) at four reply
// bytes per byte at worst (an escaped special), the keys and two numbers.
inline constexpr size_t kBatchEntryMaxBytes = 4096;
inline constexpr size_t kBatchReplyMaxBytes = kBatchRecordsMax * kBatchEntryMaxBytes + 256;

// CutRecords: the records of a batch, from `list` (the text from the "RecList" key on). Each record
// starts at the byte before a quoted "iID" key (normally its "{") and ends before the byte that
// precedes the next record's "iID" key; the last one runs to the end of the text. So "iID" must be
// the first key of every record. Only a quoted "iID" followed by a colon counts as a key. Returns
// false (records cleared) when there are more than `max` records.
[[nodiscard]] bool CutRecords(std::string_view list, size_t max, std::vector<std::string_view>& records);

// ReadIdList: the ids of the "iIDs" list of body ([12,13]): the first run of digits in the list,
// then the first run of digits after each further ","; a "-" before digits is not part of an id and
// a number beyond the int range reads as the largest int. Returns false (ids cleared) when the key
// is missing, its value is not a list closed by "]", or it holds more than `max` ids.
[[nodiscard]] bool ReadIdList(std::string_view body, size_t max, std::vector<int32_t>& ids);

// OpenWithdrawal: the opening of a withdrawing request: reads "icID" into *icid and the "iIDs" list
// (at most kBatchRecordsMax ids) into ids, then takes a pool slot into `slot`. False, with the
// refusal written, when "icID" is missing or not positive ("-710"), the list is missing, not a list
// or too long ("-3"), or no slot is free ("-9999").
[[nodiscard]] bool OpenWithdrawal(CHttpServerContext* pCtxt, std::string_view body, int32_t* icid,
                                  std::vector<int32_t>& ids, PoolSlotGuard& slot);

// CallWithdraw: runs the withdrawing procedure of one record on the slot's connection; callFormat
// is its call ("{?=CALL dorvane.dbo.cp_..._del(%d,%d)}", the record's id, then the client's).
// Returns false when the call did not run or the procedure answered -9: the request then fails
// (the records withdrawn before stay withdrawn). Else true, with the procedure's result in *result.
[[nodiscard]] bool CallWithdraw(PoolSlot& slot, const char* callFormat, int32_t id, int32_t icid, int32_t* result);

}  // namespace tw::entry

namespace tw::entry {

// The texts of a procedure's refusals of a pre-input shipment, shared by storing and withdrawing.
inline constexpr char kMessTakenOver[] = "记录已经处理。";  // -4: the shipment record exists already
inline constexpr char kMessNotFound[] = "记录不存在。";     // -2: no such pre-input of the client

// Results of cp_rec_pre_input_set and cp_rec_pre_input_del.
inline constexpr int kProcDuplicateNumber = -1;
inline constexpr int kProcNotFound = -2;
inline constexpr int kProcTakenOver = -4;

}  // namespace tw::entry
