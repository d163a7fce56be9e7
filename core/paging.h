#pragma once
// The two reply shapes of the list and batch requests, shared by the client, partner and warehouse
// handlers:
//  - the paged list: a filtered query answered one page at a time, newest first. The handler reads
//    its keys and filters into a CListFilter (the FROM-and-WHERE text), then RunPagedList counts,
//    answers the count alone or selects the page with LIMIT/OFFSET and writes its rows;
//  - the batch reply {"ReturnValue":n,"OK":k[,"ErrList":[...]]} of the requests that handle several
//    records at once (CBatchReply).
// CJsonFields writes the key-and-value pieces of one reply object with the commas between them.
//
// Replies are built in the pool slot's 2 MB reply buffer, which grows on the heap when a page of
// wide rows needs more (up to kListReplyMaxBytes); a page that would still not fit ends early after
// its last whole row, so a reply is always whole JSON.
//
// Thread-safety: everything here works on the request's own slot and buffers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/db.h"
#include "core/pool.h"
#include "util/outbuf.h"

class CHttpServerContext;

// ---- Paging keys ------------------------------------------------------------------------------------

// Rows per page are capped here.
inline constexpr int32_t kPagePerMax = 1000;
// A reply (page, record with its goods) grows up to this many bytes.
inline constexpr size_t kListReplyMaxBytes = 32u << 20;
// A list ends before its reply comes this close to kListReplyMaxBytes, so its closing brackets fit.
inline constexpr size_t kListCloseRoom = 64;
// The FROM-and-WHERE text and the statements built from it grow up to this many bytes (a long
// number list makes them longer than the slot's 16 KB SQL buffer).
inline constexpr size_t kListSqlMaxBytes = 256u << 10;

// "iPage" (0 means 1, 1 is the newest page) and "iPagePer" (0 or less: the count only).
struct PagingKeys {
  int32_t iPage = 0;
  int32_t iPagePer = 0;
};

// ReadPagingKeys: "iPage" and "iPagePer" of the request (default 0 each), "iPagePer" cut to
// kPagePerMax.
[[nodiscard]] PagingKeys ReadPagingKeys(std::string_view body);

// The rows of the page to select: the page number shown in the reply, and LIMIT/OFFSET.
struct PageWindow {
  int32_t page = 1;
  int64_t offset = 0;
  int32_t limit = 0;
};

// ChoosePage: the page for `total` rows: "iPage" 0 or less is the first page, a page beyond the
// last is the last page (the first when there are no rows). Page p shows the rows from position
// (p - 1) x per on in the newest-first order, which are the rows the nested form "the newest `per`
// of the oldest total - (p - 1) x per" selects. REQUIRES: keys.iPagePer > 0.
[[nodiscard]] PageWindow ChoosePage(int64_t total, PagingKeys keys);

// ---- Filters ----------------------------------------------------------------------------------------

// Text keys of the filters are read at most this long: dates 30, masks 15.
inline constexpr size_t kFilterDateMax = 30;
inline constexpr size_t kFilterMaskMax = 15;
// "cqNum": a list of at most this many bytes (less one) goes into an IN piece; the text value used
// as a pattern is at most kNumberPatternMax bytes.
inline constexpr size_t kNumberListMax = 12000;
inline constexpr size_t kNumberPatternMax = 30;

// A condition that selects no row.
inline constexpr char kSqlSelectNothing[] = " AND 1=0";

// IsGbkText: true when every byte of 0x81 or more leads a GBK character with its trail byte. A
// request text that is not (a stray lead byte, say) matches no stored value, so the filters and
// look-ups that meet one select nothing instead of sending the database text it cannot read.
[[nodiscard]] bool IsGbkText(const char* text);

// A date bound as read and as applied (normalised in place; empty when invalid).
struct FilterDate {
  char text[kFilterDateMax + 1] = "";
};

// The FROM-and-WHERE text of a list: the handler's base condition on the client, then one AND piece
// per filter given, in the handler's order. Every text of the request passes the SQL sanitiser or
// the LIKE-pattern builder, so no filter can leave its quotes.
class CListFilter {
 public:
  // The text is built in buf (size bytes, normally the slot's work buffer) and moves to the heap
  // when a long number list needs it.
  CListFilter(char* buf, size_t size);
  CListFilter(const CListFilter&) = delete;
  CListFilter& operator=(const CListFilter&) = delete;

  // Base: the handler's fixed text (" FROM ... WHERE icid=%d").
  void Base(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // Add: a piece of the handler's own (" AND a.ifid=%d").
  void Add(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  // ReadDateRange: "dqBDate" and "dqEDate" (mode 1, at most 30 bytes) normalised as whole-day
  // bounds into begin and end (empty when invalid), each valid one added as
  // " AND <column>>='...'" / " AND <column><='...'".
  void ReadDateRange(std::string_view body, const char* column, FilterDate& begin, FilterDate& end);
  // AddLike: " AND <column> LIKE '%text%'" when the trimmed text is not empty (a text that is not
  // GBK selects nothing).
  void AddLike(const char* column, const char* text);
  // AddEqual: " AND <column>='text'" when the text is not empty (a text that is not GBK selects
  // nothing).
  void AddEqual(const char* column, const char* text);
  // AddTwoStateMask: mask "10" adds ifFirst, "01" ifSecond, anything else nothing.
  void AddTwoStateMask(const char* mask, const char* ifFirst, const char* ifSecond);
  // AddPositionMask: when the mask holds both a "0" and a "1" (and, with exactLength > 0, has
  // exactly that length): " AND <column> IN(i,...)" of the positions 0..positions-1 holding "1".
  // When none of those positions holds "1" the condition selects nothing.
  void AddPositionMask(const char* column, const char* mask, int positions, size_t exactLength);
  // ReadNumberFilter: the "cqNum" key: a value holding "," (a trailing one dropped) and shorter than
  // kNumberListMax bytes gives " AND <column> IN('a','b',...)" with each number trimmed and
  // sanitised (empty ones and ones that are not GBK skipped; when only such ones are given, the
  // filter selects nothing); any other non-empty value, cut to 30 bytes and upper-cased, a
  // LIKE piece with "%" on both sides. echo receives that 30-byte text (echoSize bytes).
  void ReadNumberFilter(std::string_view body, const char* column, char* echo, size_t echoSize);

  // The text, and whether it was built whole.
  [[nodiscard]] std::string_view text() const { return out_.view(); }
  [[nodiscard]] bool ok() const { return !out_.overflowed(); }

 private:
  tw::OutBuf out_;
};

// ---- Reply pieces -----------------------------------------------------------------------------------

// CJsonFields: the pieces of one JSON object, each after a "," except the first (first = false
// when the object already holds pieces). Texts are GBK, written as escaped UTF-8. Writes stop once
// the buffer has overflowed.
class CJsonFields {
 public:
  explicit CJsonFields(tw::OutBuf& out, bool first = true) : out_(out), first_(first) {}
  CJsonFields& Str(const char* key, const char* gbkValue);
  // StrWide: the text as pure ASCII, "\uXXXX" for everything above 127.
  CJsonFields& StrWide(const char* key, const char* gbkValue);
  CJsonFields& Int(const char* key, int32_t value);
  CJsonFields& Int64(const char* key, int64_t value);
  CJsonFields& Real(const char* key, double value, int decimals);
  CJsonFields& Bool(const char* key, bool value);
  // Raw: "key": followed by rawValue as it stands (a list's "[").
  CJsonFields& Raw(const char* key, const char* rawValue);

 private:
  bool Comma();
  tw::OutBuf& out_;
  bool first_;
};

// Date forms of replies.
inline constexpr size_t kReplyDateSize = 24;
// FormatReplyDate: a date or time stamp as the database driver writes it ("2015-06-14" or
// "2015-06-14 09:05:01[.123]") as "%d-%02d-%02d", with bTime "%d-%02d-%02d %02d:%02d:%02d" (a
// missing time part as zeros), into out; "" when the text holds no date.
void FormatReplyDate(const char* dbText, bool bTime, char out[kReplyDateSize]);

// ParseSides: "clwh" (length, width and height joined by "*") as three numbers; a missing one is 0.
void ParseSides(const char* text, int32_t* length, int32_t* width, int32_t* height);

// ---- Paged lists ------------------------------------------------------------------------------------

// One text filter of the request, written back in the reply ("filter echo").
struct FilterEcho {
  const char* key;
  const char* value;
};

// The rows of one paged list: binds its columns once and writes one row object per fetched row.
class CListRows {
 public:
  virtual ~CListRows() = default;
  // Bind: binds the result columns of the page statement.
  virtual void Bind(DbStatement& st) = 0;
  // Put: writes the current row as one object "{...}" (braces included).
  virtual void Put(tw::OutBuf& out) = 0;
};

struct PagedListShape {
  const char* columns;           // the column list, starting with a blank
  const char* orderDesc;         // the newest-first ordering (" ORDER BY iid DESC")
  const char* listKey = "RecList";
  bool bEmptyAsList = false;     // nothing found: the head with an empty list instead of "0"
  // The filter names the client as $1: the count and the page run prepared on the connection,
  // with the client, the page's LIMIT and its OFFSET as parameter values.
  bool bClientParam = false;
};

// RunPagedList: counts the rows of the filter (the count statement goes to the request log),
// answers "-9" (database failure), "0" (nothing found) or the count-only form when "iPagePer" is 0
// or less, else selects the page and answers
//   {"ReturnValue":1,"icID":%d,"iPage":%d,"iPagePer":%d,"iTotalRec":%d,<echo>,"<listKey>":[rows]}
// The statements run on the slot's connection; its SQL and reply buffers hold the texts.
// REQUIRES: the slot is held (and stays held until this returns).
void RunPagedList(CHttpServerContext* pCtxt, PoolSlot& slot, int32_t icid,
                  PagingKeys keys, const CListFilter& filter, std::span<const FilterEcho> echo,
                  const PagedListShape& shape, CListRows& rows);

// ---- Batch replies ----------------------------------------------------------------------------------

// CBatchReply: {"ReturnValue":count,"OK":ok then, when any entry is written, ,"ErrList":[{...},...]
// and the closing "}". An entry starts with its "iIndex"; the caller adds its keys through the
// CJsonFields that BeginEntry returns and closes it with EndEntry.
class CBatchReply {
 public:
  CBatchReply(tw::OutBuf& out, int32_t count, int32_t ok);
  // BeginEntry: opens the next entry (and the list, with the first one) and writes "iIndex".
  CJsonFields BeginEntry(int32_t index);
  void EndEntry();
  // Finish: closes the list when one was opened, then the reply. False when the buffer overflowed.
  [[nodiscard]] bool Finish();

 private:
  tw::OutBuf& out_;
  bool listOpen_ = false;
};
