#pragma once
// The PDA road's shared helpers: the reply forms of the PDA handlers, the presence of request keys,
// the field-mapping UPDATE of the record edits, procedure calls with an integer result, batch
// numbers and the date texts of the PDA replies.
//
// PDA handlers refuse in two ways besides the bare codes:
//  - a stored procedure's refusal: "ReturnValue" = the procedure's result - 100, the scanned number
//    as "cNum" and a Chinese "cMess" chosen by the result (WriteProcedureRefusal);
//  - a refusal the handler decides itself: "ReturnValue" -14, the scanned number and a "cMess"
//    (WriteHandlerRefusal).
// Full replies are built in the pool slot's reply buffer (OpenReply) and sent whole (SendReply).
//
// All functions are reentrant; those taking a PoolSlot work in the buffers of the slot the caller
// holds.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/pool.h"
#include "util/datetime.h"
#include "util/outbuf.h"

class CHttpServerContext;
class DbStatement;
struct PdaUser;

namespace tw::pda {

// ---- Replies and refusals ---------------------------------------------------------------------------

// The "ReturnValue" of a refusal that the handler decides itself.
inline constexpr int kRcHandlerRefusal = -14;
// A procedure's refusal is answered as its result minus this.
inline constexpr int kProcedureRefusalOffset = 100;
// The record (or bag, transfer) the request names does not exist.
inline constexpr int kRcNoRecord = -2;
// A procedure result that means the database failed.
inline constexpr int kProcFailed = -9;

// The refusal texts that several PDA requests share.
inline constexpr char kMessNoRecord[] = "记录不存在,请检查运单号。";
inline constexpr char kMessClientUnknown[] = "客户不存在,原因不明确。";
inline constexpr char kMessAlreadySent[] = "快件已经发送,或转单号不唯一。";
inline constexpr char kMessSystemError[] = "系统错误。";

// SendRefusalText: the "cMess" of a shipment procedure's refusal: -2 no record, -3 client unknown,
// -5 already sent, any other result the system error.
[[nodiscard]] const char* SendRefusalText(int result);

// OpenReply: a reply buffer over the slot's reply memory that grows on the heap up to 32 MB.
[[nodiscard]] tw::OutBuf OpenReply(PoolSlot& slot);

// SendReply: sends the reply as built; "-9" instead when it did not fit.
void SendReply(CHttpServerContext* pCtxt, const tw::OutBuf& reply);

// WriteRefusal: {"ReturnValue":code,"<numberKey>":"<number>","cMess":"<mess>"} (texts GBK, written
// as escaped UTF-8).
void WriteRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, int code, const char* numberKey, const char* number,
                  const char* mess);
// WriteProcedureRefusal: the refusal of a procedure that returned `result`: code result - 100 with
// "cNum".
void WriteProcedureRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, int result, const char* cNum, const char* mess);
// WriteHandlerRefusal: the handler's own refusal, code -14, with the number under numberKey.
void WriteHandlerRefusal(CHttpServerContext* pCtxt, PoolSlot& slot, const char* number, const char* mess,
                         const char* numberKey = "cNum");

// ---- Request keys -----------------------------------------------------------------------------------

// KeyGiven: true when the body holds the quoted key followed by a colon, whatever its value (an
// empty text counts as given).
[[nodiscard]] bool KeyGiven(const char* key, std::string_view body);

// StationDiffers: true when the operator has a station and it is not, byte for byte, `station`.
[[nodiscard]] bool StationDiffers(const PdaUser& user, const char* station);

// ---- Record edits -----------------------------------------------------------------------------------

// One editable column: the request key, the column it writes and the longest value read (bytes).
struct FieldMapping {
  const char* key;
  const char* column;
  size_t max;
};

// CountGivenFields: how many of the mapped keys the body gives.
[[nodiscard]] int CountGivenFields(std::span<const FieldMapping> fields, std::string_view body);

// BuildFieldUpdate: "UPDATE <table> SET dlastmod=LOCALTIMESTAMP" then ",<column>='<value>'" for each
// given key in the mapping's order (the value read with the entry's maximum and sanitised; column
// names come only from the mapping), then ",clastmod='<operator>' WHERE <idColumn>=<id>".
[[nodiscard]] std::string BuildFieldUpdate(const char* table, std::span<const FieldMapping> fields,
                                           std::string_view body, const char* operatorName, const char* idColumn,
                                           int64_t id);

// The outcome of an UPDATE.
inline constexpr int kUpdateTouched = 1;
inline constexpr int kUpdateNoRow = 0;
// RunUpdate: runs the statement on the slot's connection: kUpdateTouched when it changed a row,
// kUpdateNoRow when it touched none, -9 when it did not run.
[[nodiscard]] int RunUpdate(PoolSlot& slot, const char* sql);
// RunUpdateOrReply: runs the UPDATE of a row the handler has just found. True when it changed the
// row; otherwise the reply is written ("-2" when it touched none, the row having gone since, "-9"
// when it did not run) and the handler only has to return.
[[nodiscard]] bool RunUpdateOrReply(CHttpServerContext* pCtxt, PoolSlot& slot, const char* sql);

// ---- Single rows ------------------------------------------------------------------------------------

// FetchRowOrReply: fetches the next row of a statement that has run. True when a row came;
// otherwise the reply is written (noRowCode when there is no row, "-9" when the fetch failed) and
// the handler only has to return.
[[nodiscard]] bool FetchRowOrReply(CHttpServerContext* pCtxt, DbStatement& st, int noRowCode);

// ---- Procedures -------------------------------------------------------------------------------------

// CallIntProcedure: runs "{?=CALL ...}" whose first "?" is the integer return value, into *result.
// False when the statement did not run (*result is then 0).
[[nodiscard]] bool CallIntProcedure(PoolSlot& slot, const char* sql, int32_t* result);

// ---- Clients ----------------------------------------------------------------------------------------

// FindClient: the client of the id (when icid > 0) or else of the account, from client_arc on the
// slot's connection, into *found. Returns 1 when found, 0 when there is none (or neither is given),
// -9 when the statement failed.
[[nodiscard]] int FindClient(PoolSlot& slot, int32_t icid, const char* account, int32_t* found);

// ---- Numbers and dates ------------------------------------------------------------------------------

// The longest scanned number that names nothing: numbers must be longer.
inline constexpr size_t kShortNumberMax = 6;

// ExtractBatchNumber: the digits of text from its first digit 1-9 on, other bytes dropped, as a
// 64-bit number ("260601-012-0" gives 2606010120); 0 when there is no such digit or more than 18
// digits follow it.
[[nodiscard]] int64_t ExtractBatchNumber(const char* text);

// BatchDayText: the six-digit day of batch numbers ("150601") for a request date, today when the
// date is empty or invalid (NormalizeDateOrToday).
[[nodiscard]] tw::ShortText BatchDayText(const char* date);

// TodayDotted: today as "%Y.%m.%d" (local time); TodayNumber: today as the number yyyymmdd.
[[nodiscard]] tw::ShortText TodayDotted();
[[nodiscard]] int32_t TodayNumber();

// DateYear: the year of a date or time stamp as the driver writes it; 1900 (the stored default)
// for an empty (NULL) value.
[[nodiscard]] int DateYear(const char* dbText);

// FormatSecondText: "%d-%02d-%02d %02d:%02d:%02d" of a stored time stamp, "1900-01-01 00:00:00" for
// an empty (NULL) one. FormatMinuteText: the same without the seconds.
[[nodiscard]] tw::ShortText FormatSecondText(const char* dbText);
[[nodiscard]] tw::ShortText FormatMinuteText(const char* dbText);

}  // namespace tw::pda
