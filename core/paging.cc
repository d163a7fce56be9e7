#include "core/paging.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/reply.h"
#include "core/result_codes.h"
#include "platform/codepage.h"
#include "util/codepage.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The number list's items, trimmed, without the empty ones.
std::string_view TrimmedItem(std::string_view item) {
  while (!item.empty() && IsBlank(item.front())) item.remove_prefix(1);
  while (!item.empty() && IsBlank(item.back())) item.remove_suffix(1);
  return item;
}

}  // namespace

// ---- Paging keys ------------------------------------------------------------------------------------

PagingKeys ReadPagingKeys(std::string_view body) {
  PagingKeys keys;
  keys.iPage = tw::JsonGetInt("iPage", body, 0);
  keys.iPagePer = tw::JsonGetInt("iPagePer", body, 0);
  if (keys.iPagePer > kPagePerMax) keys.iPagePer = kPagePerMax;
  return keys;
}

PageWindow ChoosePage(int64_t total, PagingKeys keys) {
  PageWindow w;
  w.limit = keys.iPagePer > 0 ? keys.iPagePer : 1;
  const int64_t per = w.limit;
  const int64_t pages = total > 0 ? (total + per - 1) / per : 0;
  int64_t page = keys.iPage < 1 ? 1 : keys.iPage;
  if (page > pages) page = pages > 0 ? pages : 1;
  w.page = static_cast<int32_t>(page);
  w.offset = (page - 1) * per;
  return w;
}

// ---- Filters ----------------------------------------------------------------------------------------

bool IsGbkText(const char* text) {
  if (text == nullptr) return true;
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    if (*p <= 0x80) continue;  // ASCII, and 0x80 (the euro sign) on its own
    if (p[1] == '\0' || tw::UnitOfGbkPair(p[0], p[1]) == 0) return false;
    ++p;
  }
  return true;
}

CListFilter::CListFilter(char* buf, size_t size) : out_(tw::OutBuf::Growable(buf, size, kListSqlMaxBytes)) {}

void CListFilter::Base(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  out_.VPrintf(fmt, args);
  va_end(args);
}

void CListFilter::Add(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  out_.VPrintf(fmt, args);
  va_end(args);
}

void CListFilter::ReadDateRange(std::string_view body, const char* column, FilterDate& begin, FilterDate& end) {
  tw::JsonGetString("dqBDate", body, begin.text, kFilterDateMax, tw::kJsonModeTable);
  tw::JsonGetString("dqEDate", body, end.text, kFilterDateMax, tw::kJsonModeTable);
  if (tw::NormalizeQueryDate(begin.text, sizeof begin.text, false)) {
    out_.Printf(" AND %s>='%s'", column, begin.text);
  }
  if (tw::NormalizeQueryDate(end.text, sizeof end.text, true)) {
    out_.Printf(" AND %s<='%s'", column, end.text);
  }
}

void CListFilter::AddLike(const char* column, const char* text) {
  const std::string pattern = tw::MakeLikePattern(text, tw::kLikeContains);
  if (pattern.empty()) return;
  if (!IsGbkText(text)) {
    out_.Append(kSqlSelectNothing);
    return;
  }
  out_.Printf(" AND %s LIKE '", column);
  out_.Append(pattern);
  out_.AppendChar('\'');
}

void CListFilter::AddEqual(const char* column, const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  if (!IsGbkText(text)) {
    out_.Append(kSqlSelectNothing);
    return;
  }
  out_.Printf(" AND %s='", column);
  out_.Append(tw::SqlEscape(text));
  out_.AppendChar('\'');
}

void CListFilter::AddTwoStateMask(const char* mask, const char* ifFirst, const char* ifSecond) {
  if (std::strcmp(mask, "10") == 0) {
    out_.Append(ifFirst);
  } else if (std::strcmp(mask, "01") == 0) {
    out_.Append(ifSecond);
  }
}

void CListFilter::AddPositionMask(const char* column, const char* mask, int positions, size_t exactLength) {
  const size_t length = std::strlen(mask);
  if (exactLength > 0 && length != exactLength) return;
  if (std::strchr(mask, '0') == nullptr || std::strchr(mask, '1') == nullptr) return;
  std::string in;
  for (int i = 0; i < positions && static_cast<size_t>(i) < length; ++i) {
    if (mask[i] != '1') continue;
    in += in.empty() ? "" : ",";
    in += std::to_string(i);
  }
  if (in.empty()) {
    // Only positions no value can take are asked for.
    out_.Append(kSqlSelectNothing);
    return;
  }
  out_.Printf(" AND %s IN(%s)", column, in.c_str());
}

void CListFilter::ReadNumberFilter(std::string_view body, const char* column, char* echo, size_t echoSize) {
  std::string value = tw::JsonGetString("cqNum", body, kNumberListMax, tw::kJsonModeCodePage);
  if (!value.empty() && value.back() == ',') value.pop_back();
  char text[kNumberPatternMax + 1];
  tw::CopyTextLimited(text, value.c_str(), kNumberPatternMax);

  if (value.find(',') != std::string::npos && value.size() < kNumberListMax) {
    std::snprintf(echo, echoSize, "%s", text);
    std::string in;
    bool anyItem = false;
    const std::string_view list = value;
    for (size_t start = 0;;) {
      const size_t comma = list.find(',', start);
      const std::string item(TrimmedItem(list.substr(start, comma == std::string_view::npos ? comma : comma - start)));
      anyItem = anyItem || !item.empty();
      if (!item.empty() && IsGbkText(item.c_str())) {
        in += in.empty() ? "'" : ",'";
        in += tw::SqlEscape(item.c_str());
        in += '\'';
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    if (in.empty()) {
      if (anyItem) out_.Append(kSqlSelectNothing);  // only numbers no record can have
      return;                                    // nothing but commas: no number asked for
    }
    out_.Printf(" AND %s IN(", column);
    out_.Append(in);
    out_.AppendChar(')');
    return;
  }
  tw::MakeUpperAscii(text);
  std::snprintf(echo, echoSize, "%s", text);
  AddLike(column, text);
}

// ---- Reply pieces -----------------------------------------------------------------------------------

bool CJsonFields::Comma() {
  if (first_) {
    first_ = false;
    return !out_.overflowed();
  }
  return out_.AppendChar(',');
}

CJsonFields& CJsonFields::Str(const char* key, const char* gbkValue) {
  if (Comma()) tw::JsonPutString(out_, key, gbkValue, false);
  return *this;
}

CJsonFields& CJsonFields::StrWide(const char* key, const char* gbkValue) {
  if (!Comma()) return *this;
  const size_t mark = out_.Mark();
  out_.AppendChar('"');
  out_.Append(key);
  out_.Append("\":\"");
  tw::JsonEscapeWide(gbkValue, out_, tw::kCodePageGbk, false);
  if (!out_.AppendChar('"')) out_.Truncate(mark);
  return *this;
}

CJsonFields& CJsonFields::Int(const char* key, int32_t value) {
  if (Comma()) tw::JsonPutInt(out_, key, value, false);
  return *this;
}

CJsonFields& CJsonFields::Int64(const char* key, int64_t value) {
  if (Comma()) tw::JsonPutInt64(out_, key, value, false);
  return *this;
}

CJsonFields& CJsonFields::Real(const char* key, double value, int decimals) {
  if (Comma()) tw::JsonPutDouble(out_, key, value, decimals, false);
  return *this;
}

CJsonFields& CJsonFields::Bool(const char* key, bool value) {
  if (Comma()) tw::JsonPutBool(out_, key, value, false);
  return *this;
}

CJsonFields& CJsonFields::Raw(const char* key, const char* rawValue) {
  if (Comma()) out_.Printf("\"%s\":%s", key, rawValue);
  return *this;
}

void FormatReplyDate(const char* dbText, bool bTime, char out[kReplyDateSize]) {
  out[0] = '\0';
  if (dbText == nullptr) return;
  int v[6] = {0, 0, 0, 0, 0, 0};
  int n = 0;
  for (const char* p = dbText; *p != '\0' && n < 6;) {
    if (*p < '0' || *p > '9') {
      ++p;
      continue;
    }
    int value = 0;
    for (int digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (digits < 9) value = value * 10 + (*p - '0');
    }
    v[n++] = value;
    if (n == 6) break;
  }
  if (n < 3) return;
  if (bTime) {
    std::snprintf(out, kReplyDateSize, "%d-%02d-%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
  } else {
    std::snprintf(out, kReplyDateSize, "%d-%02d-%02d", v[0], v[1], v[2]);
  }
}

void ParseSides(const char* text, int32_t* length, int32_t* width, int32_t* height) {
  *length = *width = *height = 0;
  if (text == nullptr) return;
  int32_t* sides[3] = {length, width, height};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    *sides[i] = tw::ParseIntClamped(p);
    p = std::strchr(p, '*');
    if (p == nullptr) break;
    ++p;
  }
}

// ---- Paged lists ------------------------------------------------------------------------------------

namespace {

// The head of a paged reply; the caller continues with the echo.
CJsonFields PutListHead(tw::OutBuf& out, int32_t icid, int32_t page, int32_t per, int64_t total) {
  out.AppendChar('{');
  CJsonFields f(out);
  f.Int("ReturnValue", kRcOk).Int("icID", icid).Int("iPage", page).Int("iPagePer", per).Int64("iTotalRec", total);
  return f;
}

}  // namespace

void RunPagedList(CHttpServerContext* pCtxt, PoolSlot& s, int32_t icid,
                  PagingKeys keys, const CListFilter& filter, std::span<const FilterEcho> echo,
                  const PagedListShape& shape, CListRows& rows) {
  auto refuse = [&](int code) { WriteCode(pCtxt, code); };
  tw::OutBuf sql = tw::OutBuf::Growable(s.szSql, kSqlBytes, kListSqlMaxBytes);
  sql.Append("SELECT COUNT(*)");
  sql.Append(filter.text());
  if (!filter.ok() || sql.overflowed()) return refuse(kRcDbFailed);
  const DbParams client = shape.bClientParam ? DbParams().Int(icid) : DbParams();
  if (shape.bClientParam) {
    // The log shows the count statement with the client written in, as it always has.
    std::string logged(sql.view());
    const size_t at = logged.find("$1");
    if (at != std::string::npos) logged.replace(at, 2, std::to_string(icid));
    WriteLog(logged.c_str(), kLogCategory);
  } else {
    WriteLog(sql.data(), kLogCategory);
  }

  int64_t total = 0;
  {
    DbStatement st(s.hDbc);
    const SQLRETURN rc = !st.ok()                ? SQL_ERROR
                         : shape.bClientParam ? st.ExecPrepared(sql.data(), client)
                                              : st.ExecDirect(sql.data());
    if (!DbOk(rc)) return refuse(kRcDbFailed);
    st.BindInt64(1, &total);
    if (!DbOk(st.Fetch())) return refuse(kRcDbFailed);
  }
  if (total < 1 && !shape.bEmptyAsList) return refuse(kRcNotFound);

  tw::OutBuf reply = tw::OutBuf::Growable(s.szReply, kReplyBytes, kListReplyMaxBytes);
  if (keys.iPagePer <= 0) {
    CJsonFields f = PutListHead(reply, icid, keys.iPage, keys.iPagePer, total);
    for (const FilterEcho& e : echo) f.Str(e.key, e.value);
    reply.AppendChar('}');
    WriteJsonReply(pCtxt, reply.data(), reply.size());
    return;
  }

  const PageWindow w = ChoosePage(total, keys);
  DbStatement st(s.hDbc);
  bool haveRow = false;
  if (total > 0) {
    sql.Clear();
    sql.Append("SELECT");
    sql.Append(shape.columns);
    sql.Append(filter.text());
    sql.Append(shape.orderDesc);
    SQLRETURN rc = SQL_ERROR;
    if (shape.bClientParam) {
      sql.Append(" LIMIT $2 OFFSET $3");
      if (!sql.overflowed() && st.ok()) {
        rc = st.ExecPrepared(sql.data(), DbParams().Int(icid).Int(w.limit).Int(w.offset));
      }
    } else {
      sql.Printf(" LIMIT %d", w.limit);
      if (w.offset > 0) sql.Printf(" OFFSET %lld", static_cast<long long>(w.offset));
      if (!sql.overflowed() && st.ok()) rc = st.ExecDirect(sql.data());
    }
    if (!DbOk(rc)) return refuse(kRcDbFailed);
    rows.Bind(st);
    haveRow = DbOk(st.Fetch());
  }
  if (!haveRow && !shape.bEmptyAsList) return refuse(kRcNotFound);

  CJsonFields f = PutListHead(reply, icid, w.page, keys.iPagePer, total);
  for (const FilterEcho& e : echo) f.Str(e.key, e.value);
  f.Raw(shape.listKey, "[");
  for (bool first = true; haveRow; first = false) {
    const size_t mark = reply.Mark();
    if (!first) reply.AppendChar(',');
    rows.Put(reply);
    // A page that would outgrow the reply ends after its last whole row.
    if (reply.overflowed() || reply.size() > kListReplyMaxBytes - kListCloseRoom) {
      reply.Rewind(mark);
      break;
    }
    haveRow = DbOk(st.Fetch());
  }
  reply.Append("]}");
  if (reply.overflowed()) return refuse(kRcDbFailed);
  WriteJsonReply(pCtxt, reply.data(), reply.size());
}

// ---- Batch replies ----------------------------------------------------------------------------------

CBatchReply::CBatchReply(tw::OutBuf& out, int32_t count, int32_t ok) : out_(out) {
  out_.AppendChar('{');
  CJsonFields(out_).Int("ReturnValue", count).Int("OK", ok);
}

CJsonFields CBatchReply::BeginEntry(int32_t index) {
  out_.Append(listOpen_ ? ",{" : ",\"ErrList\":[{");
  listOpen_ = true;
  CJsonFields f(out_);
  f.Int("iIndex", index);
  return f;
}

void CBatchReply::EndEntry() { out_.AppendChar('}'); }

bool CBatchReply::Finish() {
  if (listOpen_) out_.AppendChar(']');
  out_.AppendChar('}');
  return !out_.overflowed();
}
