#include "core/db.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include <unistd.h>

#include "platform/event.h"

// One pool connection: the libpq connection and what the library keeps beside it (the login for a
// reconnection, the transaction state, the statements prepared on it).
struct DbConnection {
  PGconn* conn = nullptr;
  std::string service, user, password;
  bool inTransaction = false;      // BEGIN sent, COMMIT or ROLLBACK not yet
  bool transactionFailed = false;  // a statement of the open transaction failed: it was rolled back
  bool lost = false;               // the last statement found the connection broken
  bool wroteNothing = false;       // ... and nothing of it reached the server's tables
  std::vector<bool> prepared;      // by DbPreparedSql::id
  std::unordered_map<std::string, int> preparedTexts;  // texts of ExecPrepared(text), by their number
  std::unordered_set<size_t> seenTexts;                // hashes of such texts run once, unprepared
  int nextTextId = 0;
  std::string lastError;
};

namespace {

constexpr size_t kIndicatorRoom = 128;  // bound columns and parameters per statement
constexpr Oid kByteaOid = 17;
constexpr Oid kBoolOid = 16;
constexpr int kReconnectTimeoutSeconds = 5;
// Texts built at run time are prepared on a connection the second time they run there (a text
// made for one search, its filter written in, runs once and is never prepared); a connection keeps
// this many, further ones run unprepared (still with their values as parameters).
constexpr size_t kPreparedTextRoom = 32;
constexpr size_t kSeenTextRoom = 512;

std::atomic<int> g_nextPreparedId{0};

void DefaultDbLog(const char* text) { std::fprintf(stderr, "[tarnwick] %s\n", text); }
std::atomic<void (*)(const char*)> g_dbLog{&DefaultDbLog};

void DbLogf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void DbLogf(const char* fmt, ...) {
  char text[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  g_dbLog.load()(text);
}

// The first line of a libpq message, without its "ERROR:  " / "FATAL:  " prefix.
std::string OneLine(const char* message) {
  if (message == nullptr) return std::string();
  std::string s(message);
  for (const char* prefix : {"ERROR:  ", "FATAL:  "}) {
    if (s.rfind(prefix, 0) == 0) s.erase(0, std::strlen(prefix));
  }
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  for (char& c : s) {
    if (c == '\n') c = ' ';
  }
  return s;
}

// A connection-class failure: the server is gone or has ended this session.
bool IsConnectionState(const char* state) {
  if (state == nullptr || state[0] == '\0') return false;
  if (std::strncmp(state, "08", 2) == 0) return true;
  return std::strcmp(state, "57P01") == 0 || std::strcmp(state, "57P02") == 0 || std::strcmp(state, "57P03") == 0;
}

// The server ended the session before or instead of running the statement: it wrote nothing.
bool EndedBeforeWork(const char* state) {
  return state != nullptr &&
         (std::strcmp(state, "57P01") == 0 || std::strcmp(state, "57P02") == 0 || std::strcmp(state, "57P03") == 0);
}

PGconn* OpenConnection(const std::string& service, const std::string& user, const std::string& password,
                       int timeoutSeconds, std::string* why) {
  const std::string timeout = std::to_string(timeoutSeconds > 0 ? timeoutSeconds : 20);
  // The server's list of sessions names the process that holds each connection.
  const std::string application = "tarnwick:" + std::to_string(getpid());
  // Floats as the server writes them exactly; standard strings, as the statements are written for.
  const char* keys[] = {"service", "user", "password", "connect_timeout", "client_encoding", "options",
                        "application_name", nullptr};
  const char* values[] = {service.c_str(),
                          user.empty() ? nullptr : user.c_str(),
                          password.empty() ? nullptr : password.c_str(),
                          timeout.c_str(),
                          "GBK",
                          "-c extra_float_digits=2 -c standard_conforming_strings=on",
                          application.c_str(),
                          nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 0);
  if (conn == nullptr) {
    *why = "out of memory";
    return nullptr;
  }
  if (PQstatus(conn) != CONNECTION_OK) {
    *why = OneLine(PQerrorMessage(conn));
    PQfinish(conn);
    return nullptr;
  }
  return conn;
}

// Opens the connection again with its login. True when it is open.
bool Reconnect(DbConnection* c) {
  if (c->conn != nullptr) PQfinish(c->conn);
  c->conn = nullptr;
  c->prepared.assign(c->prepared.size(), false);
  c->preparedTexts.clear();
  c->seenTexts.clear();
  c->inTransaction = false;
  std::string why;
  c->conn = OpenConnection(c->service, c->user, c->password, kReconnectTimeoutSeconds, &why);
  if (c->conn == nullptr) {
    c->lastError = why;
    DbLogf("database connection to service \"%s\" could not be reopened: %s", c->service.c_str(), why.c_str());
    return false;
  }
  c->lost = false;
  DbLogf("database connection to service \"%s\" reopened (server process %d)", c->service.c_str(),
         PQbackendPID(c->conn));
  return true;
}

// A usable connection: the one there, or a new one when it was found broken.
bool EnsureConnected(DbConnection* c) {
  if (c->conn != nullptr && !c->lost && PQstatus(c->conn) == CONNECTION_OK) return true;
  return Reconnect(c);
}

// Runs a command of the transaction frame (BEGIN, COMMIT, ROLLBACK). The command status, or "" when
// it failed.
std::string FrameCommand(DbConnection* c, const char* command) {
  if (c->conn == nullptr) return std::string();
  PGresult* r = PQexec(c->conn, command);
  std::string status;
  if (r != nullptr && PQresultStatus(r) == PGRES_COMMAND_OK) status = PQcmdStatus(r);
  if (status.empty()) {
    const char* state = r != nullptr ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    if (IsConnectionState(state) || PQstatus(c->conn) != CONNECTION_OK) c->lost = true;
  }
  PQclear(r);
  return status;
}

bool BeginTransaction(DbConnection* c) {
  if (c == nullptr) return false;
  if (c->inTransaction) return true;
  if (!EnsureConnected(c)) return false;
  if (FrameCommand(c, "BEGIN").empty()) {
    // A session the server had ended is found here: open a new one and begin there.
    if (!c->lost || !Reconnect(c) || FrameCommand(c, "BEGIN").empty()) return false;
  }
  c->inTransaction = true;
  c->transactionFailed = false;
  return true;
}

// Ends the open transaction. True when it was committed.
bool EndTransaction(DbConnection* c, bool commit) {
  if (c == nullptr) return false;
  const bool failed = c->transactionFailed;
  c->transactionFailed = false;
  if (!c->inTransaction) return false;
  c->inTransaction = false;
  if (commit && !failed) {
    // A transaction the server had aborted answers COMMIT with ROLLBACK.
    return FrameCommand(c, "COMMIT") == "COMMIT";
  }
  FrameCommand(c, "ROLLBACK");
  return false;
}

// A GBK text cut to at most `room` bytes, never between the two bytes of a character.
size_t GbkCut(const char* text, size_t length, size_t room) {
  if (length <= room) return length;
  size_t i = 0;
  while (i < room) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    const size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < length) ? 2 : 1;
    if (i + width > room) break;
    i += width;
  }
  return i;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a bytea value in the server's hex form ("\x0a0b"); the escape form is taken as it is.
std::string DecodeBytea(const char* value, size_t length) {
  if (length >= 2 && value[0] == '\\' && value[1] == 'x') {
    std::string out;
    out.reserve((length - 2) / 2);
    for (size_t i = 2; i + 1 < length; i += 2) {
      const int hi = HexDigit(value[i]), lo = HexDigit(value[i + 1]);
      if (hi < 0 || lo < 0) break;
      out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
  }
  size_t n = 0;
  unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &n);
  std::string out(reinterpret_cast<char*>(bytes), n);
  PQfreemem(bytes);
  return out;
}

enum class Parsed { kOk, kFraction, kRange, kInvalid };

// An integer from the text of a column: integers as written, "t"/"f" as 1/0, a number with a
// fraction or exponent truncated toward zero. Out of [lo, hi] is kRange.
Parsed ParseInteger(const char* text, int64_t lo, int64_t hi, int64_t* out) {
  while (*text == ' ') ++text;
  if (text[0] == '\0') return Parsed::kInvalid;
  if ((text[0] == 't' || text[0] == 'f') && text[1] == '\0') {
    *out = text[0] == 't' ? 1 : 0;
    return Parsed::kOk;
  }
  // The database writes plain integers; from_chars reads them without the locale. Anything else
  // (a sign of +, a fraction, a value out of range) takes the long way below.
  const char* textEnd = text + std::strlen(text);
  int64_t quick = 0;
  if (const auto [at, ec] = std::from_chars(text, textEnd, quick); ec == std::errc() && at == textEnd) {
    if (quick < lo || quick > hi) return Parsed::kRange;
    *out = quick;
    return Parsed::kOk;
  }
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end != text && *end == '\0') {
    if (errno == ERANGE || v < lo || v > hi) return Parsed::kRange;
    *out = v;
    return Parsed::kOk;
  }
  errno = 0;
  const double d = std::strtod(text, &end);
  if (end == text || *end != '\0' || std::isnan(d)) return Parsed::kInvalid;
  const double t = std::trunc(d);
  if (errno == ERANGE || t < static_cast<double>(lo) || t > static_cast<double>(hi)) return Parsed::kRange;
  *out = static_cast<int64_t>(t);
  return t == d ? Parsed::kOk : Parsed::kFraction;
}

bool IsCallText(const char* sql) {
  while (*sql == ' ' || *sql == '\t' || *sql == '\r' || *sql == '\n') ++sql;
  return *sql == '{';
}

// Skips a quoted part of a statement text starting at text[i] (a ' or "). Returns the index after it.
size_t SkipQuoted(const std::string_view text, size_t i) {
  const char quote = text[i++];
  while (i < text.size()) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return i;
}

void TrimView(std::string_view* v) {
  while (!v->empty() && std::isspace(static_cast<unsigned char>(v->front()))) v->remove_prefix(1);
  while (!v->empty() && std::isspace(static_cast<unsigned char>(v->back()))) v->remove_suffix(1);
}

bool StartsWithWord(std::string_view v, const char* word) {
  const size_t n = std::strlen(word);
  if (v.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(v[i])) != word[i]) return false;
  }
  return v.size() == n || !std::isalnum(static_cast<unsigned char>(v[n]));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Connections

SQLHDBC DbConnect(const char* service, const char* user, const char* password, int timeoutSeconds, char* why,
                  size_t whySize) {
  if (whySize > 0) why[0] = '\0';
  auto* c = new DbConnection;
  c->service = service != nullptr ? service : "";
  c->user = user != nullptr ? user : "";
  c->password = password != nullptr ? password : "";
  std::string reason;
  c->conn = OpenConnection(c->service, c->user, c->password, timeoutSeconds, &reason);
  if (c->conn == nullptr) {
    std::snprintf(why, whySize, "%s", reason.c_str());
    delete c;
    return nullptr;
  }
  return c;
}

void DbDisconnect(SQLHDBC dbc) {
  if (dbc == nullptr) return;
  if (dbc->conn != nullptr) PQfinish(dbc->conn);
  delete dbc;
}

bool DbConnectionLost(SQLHDBC dbc) {
  return dbc != nullptr && (dbc->lost || dbc->conn == nullptr || PQstatus(dbc->conn) != CONNECTION_OK);
}

bool DbLastFailureWroteNothing(SQLHDBC dbc) { return dbc != nullptr && dbc->wroteNothing; }

bool DbInTransaction(SQLHDBC dbc) { return dbc != nullptr && dbc->inTransaction; }

int DbBackendPid(SQLHDBC dbc) {
  return dbc != nullptr && dbc->conn != nullptr && PQstatus(dbc->conn) == CONNECTION_OK ? PQbackendPID(dbc->conn)
                                                                                         : 0;
}

void DbSetLog(void (*log)(const char* text)) { g_dbLog.store(log != nullptr ? log : &DefaultDbLog); }

int DbPreparedSql::id() const {
  int id = id_.load(std::memory_order_acquire);
  if (id >= 0) return id;
  const int fresh = g_nextPreparedId.fetch_add(1);
  if (id_.compare_exchange_strong(id, fresh, std::memory_order_acq_rel)) return fresh;
  return id;  // another thread gave it its number first
}

DbParams& DbParams::Push(std::string_view value, bool isNull) {
  storage_.emplace_back(value);
  nulls_.push_back(isNull);
  lengths_.push_back(static_cast<int>(value.size()));
  Point();
  return *this;
}

// The texts may have moved (the list grew, or this is a copy): their addresses are taken anew.
void DbParams::Point() {
  values_.clear();
  for (size_t i = 0; i < storage_.size(); ++i) values_.push_back(nulls_[i] ? nullptr : storage_[i].c_str());
}

DbParams& DbParams::operator=(const DbParams& other) {
  if (this == &other) return *this;
  storage_ = other.storage_;
  nulls_ = other.nulls_;
  lengths_ = other.lengths_;
  Point();
  return *this;
}

DbParams& DbParams::Int(int64_t value) { return Push(std::to_string(value), false); }

DbParams& DbParams::Double(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return Push(text, false);
}

DbParams& DbParams::Text(const char* value) { return Push(value != nullptr ? value : "", false); }
DbParams& DbParams::Text(std::string_view value) { return Push(value, false); }
DbParams& DbParams::SqlText(const char* value) {
  std::string_view v(value != nullptr ? value : "");
  while (!v.empty() && std::strchr(" \t\r\n\v\f", v.back()) != nullptr) v.remove_suffix(1);
  return Push(v, false);
}

DbParams& DbParams::Null() { return Push(std::string_view(), true); }

// ---------------------------------------------------------------------------------------------------
// DbStatement

DbStatement::DbStatement(SQLHDBC dbc) : dbc_(dbc), indicators_(kIndicatorRoom, 0) {
  if (dbc == SQL_NULL_HDBC) return;
  hStmt_ = this;
  allocResult_ = SQL_SUCCESS;
}

DbStatement::~DbStatement() { ClearResults(); }

SQLLEN* DbStatement::NextIndicator() {
  if (usedIndicators_ >= indicators_.size()) return nullptr;
  return &indicators_[usedIndicators_++];
}

void DbStatement::ClearResults() {
  for (pg_result* r : results_) PQclear(r);
  results_.clear();
  current_ = 0;
  row_ = -1;
  getDataColumn_ = 0;
  getDataOffset_ = 0;
}

SQLRETURN DbStatement::Fail(const char* state, const char* message) {
  std::snprintf(state_, sizeof state_, "%s", state);
  message_ = message;
  return SQL_ERROR;
}

SQLRETURN DbStatement::Info(const char* state, const char* message) {
  std::snprintf(state_, sizeof state_, "%s", state);
  message_ = message;
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN DbStatement::BindColumn(SQLUSMALLINT column, SQLSMALLINT cType, void* buffer, SQLLEN size,
                                  SQLLEN* indicator) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (column == 0 || column > kIndicatorRoom) return Fail("07009", "invalid column number");
  if (columns_.size() < column) columns_.resize(column);
  if (buffer == nullptr) {
    columns_[column - 1] = Bound{};
    return SQL_SUCCESS;
  }
  if (indicator == nullptr) indicator = NextIndicator();
  columns_[column - 1] = Bound{cType, buffer, size, indicator, 0};
  return SQL_SUCCESS;
}

SQLRETURN DbStatement::BindParameter(SQLUSMALLINT param, SQLSMALLINT direction, SQLSMALLINT cType, void* buffer,
                                     SQLLEN size, SQLLEN* indicator) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (param == 0 || param > kIndicatorRoom) return Fail("07009", "invalid parameter number");
  if (params_.size() < param) params_.resize(param);
  if (indicator == nullptr && direction != SQL_PARAM_INPUT) indicator = NextIndicator();
  params_[param - 1] = Bound{cType, buffer, size, indicator, direction};
  return SQL_SUCCESS;
}

void DbStatement::BindText(SQLUSMALLINT column, char* buffer, size_t size) {
  if (!ok() || buffer == nullptr || size == 0) return;
  BindColumn(column, SQL_C_CHAR, buffer, static_cast<SQLLEN>(size), nullptr);
}

void DbStatement::BindInt(SQLUSMALLINT column, int32_t* value) {
  BindColumn(column, SQL_C_SLONG, value, sizeof *value, nullptr);
}

void DbStatement::BindInt64(SQLUSMALLINT column, int64_t* value) {
  BindColumn(column, SQL_C_SBIGINT, value, sizeof *value, nullptr);
}

void DbStatement::BindDouble(SQLUSMALLINT column, double* value) {
  BindColumn(column, SQL_C_DOUBLE, value, sizeof *value, nullptr);
}

void DbStatement::BindBinary(SQLUSMALLINT column, void* buffer, size_t size, SQLLEN* length) {
  BindColumn(column, SQL_C_BINARY, buffer, static_cast<SQLLEN>(size), length);
}

void DbStatement::BindOutInt(SQLUSMALLINT param, int32_t* value) {
  BindParameter(param, SQL_PARAM_OUTPUT, SQL_C_SLONG, value, sizeof *value, nullptr);
}

void DbStatement::BindOutInt64(SQLUSMALLINT param, int64_t* value) {
  BindParameter(param, SQL_PARAM_OUTPUT, SQL_C_SBIGINT, value, sizeof *value, nullptr);
}

void DbStatement::BindOutText(SQLUSMALLINT param, char* buffer, size_t, size_t bufferSize) {
  BindParameter(param, SQL_PARAM_OUTPUT, SQL_C_CHAR, buffer, static_cast<SQLLEN>(bufferSize), nullptr);
}

void DbStatement::BindOutDouble(SQLUSMALLINT param, double* value) {
  BindParameter(param, SQL_PARAM_OUTPUT, SQL_C_DOUBLE, value, sizeof *value, nullptr);
}

// The value of an input parameter as text (or bytes, for binary data) for libpq.
bool DbStatement::InputValue(const Bound& b, std::string* out, bool* isNull, bool* isBinary) const {
  *isNull = false;
  *isBinary = false;
  const SQLLEN ind = b.length != nullptr ? *b.length : SQL_NTS;
  if (ind == SQL_NULL_DATA || b.buffer == nullptr) {
    *isNull = true;
    return true;
  }
  char text[64];
  switch (b.cType) {
    case SQL_C_CHAR: {
      const char* s = static_cast<const char*>(b.buffer);
      size_t n = ind == SQL_NTS ? std::strlen(s) : static_cast<size_t>(ind >= 0 ? ind : 0);
      if (ind == SQL_NTS && b.size > 0) n = strnlen(s, static_cast<size_t>(b.size));
      out->assign(s, n);
      return true;
    }
    case SQL_C_BINARY:
      if (ind < 0) return false;
      out->assign(static_cast<const char*>(b.buffer), static_cast<size_t>(ind));
      *isBinary = true;
      return true;
    case SQL_C_SLONG:
    case SQL_C_LONG:
      std::snprintf(text, sizeof text, "%d", *static_cast<const int32_t*>(b.buffer));
      break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      std::snprintf(text, sizeof text, "%d", *static_cast<const int16_t*>(b.buffer));
      break;
    case SQL_C_SBIGINT:
      std::snprintf(text, sizeof text, "%lld", static_cast<long long>(*static_cast<const int64_t*>(b.buffer)));
      break;
    case SQL_C_DOUBLE:
      std::snprintf(text, sizeof text, "%.17g", *static_cast<const double*>(b.buffer));
      break;
    case SQL_C_FLOAT:
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(*static_cast<const float*>(b.buffer)));
      break;
    default:
      return false;
  }
  out->assign(text);
  return true;
}

// Builds the text to send: a call in the escape form becomes a SELECT of the function, and "?"
// markers of input parameters become $1.. (their values in `inputs`). False for a malformed call.
bool DbStatement::BuildText(const char* sql, std::string* text, std::vector<int>* inputs, bool* isCall) {
  inputs->clear();
  *isCall = IsCallText(sql);
  const std::string_view all(sql);
  auto isInput = [&](int marker) {
    return marker >= 1 && static_cast<size_t>(marker) <= params_.size() &&
           params_[marker - 1].direction == SQL_PARAM_INPUT;
  };
  if (!*isCall) {
    bool anyInput = false;
    for (const Bound& b : params_) anyInput = anyInput || b.direction == SQL_PARAM_INPUT;
    if (!anyInput) return true;
    text->clear();
    int marker = 0;
    for (size_t i = 0; i < all.size();) {
      const char ch = all[i];
      if (ch == '\'' || ch == '"') {
        const size_t end = SkipQuoted(all, i);
        text->append(all.substr(i, end - i));
        i = end;
      } else if (ch == '?') {
        ++marker;
        if (!isInput(marker)) return false;
        inputs->push_back(marker);
        *text += "$" + std::to_string(inputs->size());
        ++i;
      } else {
        text->push_back(ch);
        ++i;
      }
    }
    return true;
  }
  // {?=CALL name(args)} or {CALL name(args)}
  std::string_view v = all;
  TrimView(&v);
  if (v.size() < 2 || v.front() != '{' || v.back() != '}') return false;
  v = v.substr(1, v.size() - 2);
  TrimView(&v);
  int marker = 0;
  if (!v.empty() && v.front() == '?') {
    v.remove_prefix(1);
    TrimView(&v);
    if (v.empty() || v.front() != '=') return false;
    v.remove_prefix(1);
    TrimView(&v);
    marker = 1;  // the return value
  }
  if (!StartsWithWord(v, "CALL")) return false;
  v.remove_prefix(4);
  TrimView(&v);
  const size_t open = v.find('(');
  std::string_view name = open == std::string_view::npos ? v : v.substr(0, open);
  TrimView(&name);
  if (name.empty()) return false;
  std::string_view args;
  if (open != std::string_view::npos) {
    if (v.back() != ')') return false;
    args = v.substr(open + 1, v.size() - open - 2);
  }
  *text = "SELECT * FROM ";
  text->append(name);
  text->push_back('(');
  bool first = true;
  auto addArgument = [&](std::string_view arg) {
    TrimView(&arg);
    if (arg.empty() && args.empty()) return;
    if (arg == "?") {
      ++marker;
      if (!isInput(marker)) return;  // an output: one of the function's result columns
      inputs->push_back(marker);
      if (!first) text->push_back(',');
      *text += "$" + std::to_string(inputs->size());
    } else {
      if (!first) text->push_back(',');
      text->append(arg);
    }
    first = false;
  };
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < args.size();) {
    const char ch = args[i];
    if (ch == '\'' || ch == '"') {
      i = SkipQuoted(args, i);
      continue;
    }
    if (ch == '(') ++depth;
    if (ch == ')') --depth;
    if (ch == ',' && depth == 0) {
      addArgument(args.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  addArgument(args.substr(start));
  text->push_back(')');
  return true;
}

SQLRETURN DbStatement::ExecDirect(const char* sql) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (sql == nullptr) return Fail("HY009", "no statement text");
  std::string text;
  std::vector<int> inputs;
  bool isCall = false;
  if (!BuildText(sql, &text, &inputs, &isCall)) return Fail("42000", "malformed call or parameter marker");
  const char* send = text.empty() ? sql : text.c_str();
  std::vector<std::string> values(inputs.size());
  std::vector<const char*> pointers(inputs.size());
  std::vector<int> lengths(inputs.size()), formats(inputs.size());
  std::vector<Oid> types(inputs.size(), 0);
  for (size_t i = 0; i < inputs.size(); ++i) {
    bool isNull = false, isBinary = false;
    if (!InputValue(params_[inputs[i] - 1], &values[i], &isNull, &isBinary)) {
      return Fail("HY105", "parameter type not supported");
    }
    pointers[i] = isNull ? nullptr : values[i].data();
    lengths[i] = static_cast<int>(values[i].size());
    formats[i] = isBinary ? 1 : 0;
    if (isBinary) types[i] = kByteaOid;
  }
  return Run([&](PGconn* conn) {
    if (inputs.empty()) return PQsendQuery(conn, send);
    return PQsendQueryParams(conn, send, static_cast<int>(inputs.size()), types.data(), pointers.data(),
                             lengths.data(), formats.data(), 0);
  }, isCall, [](PGconn*) -> PGresult* { return nullptr; });
}

SQLRETURN DbStatement::ExecPrepared(const DbPreparedSql& sql, const DbParams& params) {
  if (!ok()) return SQL_INVALID_HANDLE;
  const int id = sql.id();
  char name[24];
  std::snprintf(name, sizeof name, "tw_p%d", id);
  DbConnection* c = dbc_;
  const bool isCall = IsCallText(sql.sql());
  auto prepare = [&](PGconn* conn) -> PGresult* {
    const size_t at = static_cast<size_t>(id);
    if (c->prepared.size() <= at) c->prepared.resize(at + 1, false);
    if (c->prepared[at]) return nullptr;
    std::string text;
    if (isCall && !CallText(sql.sql(), &text)) return PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
    PGresult* r = PQprepare(conn, name, isCall ? text.c_str() : sql.sql(), 0, nullptr);
    if (r != nullptr && PQresultStatus(r) == PGRES_COMMAND_OK) {
      c->prepared[at] = true;
      PQclear(r);
      return nullptr;
    }
    return r != nullptr ? r : PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
  };
  auto send = [&](PGconn* conn) {
    return PQsendQueryPrepared(conn, name, params.count(), params.values(), params.lengths(), nullptr, 0);
  };
  return Run(send, isCall, prepare);
}

SQLRETURN DbStatement::ExecPrepared(std::initializer_list<DbPreparedStep> steps) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (steps.size() == 0) return Fail("HY009", "no statement");
  DbConnection* c = dbc_;
  for (const DbPreparedStep& step : steps) {
    if (IsCallText(step.sql.sql())) return Fail("HY000", "calls run one at a time");
  }
  auto send = [&](PGconn* conn) -> int {
    // Every statement (and the preparing of those not yet prepared here) goes in one pipeline:
    // one round trip for all.
    if (PQenterPipelineMode(conn) == 0) return 0;
    std::vector<int> prepares;  // the statements prepared in this pipeline
    bool queued = true;
    for (const DbPreparedStep& step : steps) {
      const int id = step.sql.id();
      char name[24];
      std::snprintf(name, sizeof name, "tw_p%d", id);
      const size_t at = static_cast<size_t>(id);
      if (c->prepared.size() <= at) c->prepared.resize(at + 1, false);
      const bool fresh = !c->prepared[at] && std::find(prepares.begin(), prepares.end(), id) == prepares.end();
      if (fresh) {
        queued = queued && PQsendPrepare(conn, name, step.sql.sql(), 0, nullptr) != 0;
        prepares.push_back(id);
      }
      queued = queued && PQsendQueryPrepared(conn, name, step.params.count(), step.params.values(),
                                             step.params.lengths(), nullptr, 0) != 0;
    }
    queued = queued && PQpipelineSync(conn) != 0;
    if (!queued) {
      PQexitPipelineMode(conn);
      return 0;
    }
    // Each piece's result is followed by a null; the sync ends the pipeline.
    size_t prepareIndex = 0;
    size_t step = 0;
    const size_t pieces = steps.size() + prepares.size();
    bool expectPrepare = false;
    auto nextIsPrepare = [&]() {
      if (step >= steps.size()) return false;
      const int id = (steps.begin() + step)->sql.id();
      return prepareIndex < prepares.size() && prepares[prepareIndex] == id;
    };
    expectPrepare = nextIsPrepare();
    for (size_t nulls = 0; nulls <= pieces + 1;) {
      PGresult* r = PQgetResult(conn);
      if (r == nullptr) {
        if (PQstatus(conn) != CONNECTION_OK) break;
        ++nulls;
        continue;
      }
      const ExecStatusType st = PQresultStatus(r);
      if (st == PGRES_PIPELINE_SYNC) {
        PQclear(r);
        break;
      }
      if (expectPrepare) {
        if (st == PGRES_COMMAND_OK) {
          c->prepared[static_cast<size_t>(prepares[prepareIndex])] = true;
          PQclear(r);
        } else {
          results_.push_back(r);
        }
        ++prepareIndex;
        expectPrepare = false;
        continue;
      }
      results_.push_back(r);
      ++step;
      expectPrepare = nextIsPrepare();
    }
    PQexitPipelineMode(conn);
    return 2;
  };
  return Run(send, false, [](PGconn*) -> PGresult* { return nullptr; });
}

bool DbStatement::CallText(const char* sql, std::string* text) {
  // The "?" markers of a prepared call are its outputs; its values are $1.. parameters.
  std::vector<int> inputs;
  bool isCall = false;
  std::vector<Bound> params;
  params.swap(params_);
  params_.resize(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    params_[i] = params[i];
    if (params_[i].direction == SQL_PARAM_INPUT) params_[i].direction = SQL_PARAM_OUTPUT;
  }
  const bool built = BuildText(sql, text, &inputs, &isCall);
  params_.swap(params);
  return built && inputs.empty();
}

SQLRETURN DbStatement::ExecPrepared(const char* sqlText, const DbParams& params) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (sqlText == nullptr) return Fail("HY009", "no statement text");
  const bool isCall = IsCallText(sqlText);
  std::string callText;
  if (isCall && !CallText(sqlText, &callText)) return Fail("42000", "malformed call");
  const char* sql = isCall ? callText.c_str() : sqlText;
  DbConnection* c = dbc_;
  char name[24] = "";
  auto prepare = [&](PGconn* conn) -> PGresult* {
    name[0] = '\0';
    auto it = c->preparedTexts.find(sql);
    if (it != c->preparedTexts.end()) {
      std::snprintf(name, sizeof name, "tw_t%d", it->second);
      return nullptr;
    }
    if (c->preparedTexts.size() >= kPreparedTextRoom) return nullptr;  // sent unprepared
    const size_t hash = std::hash<std::string_view>()(std::string_view(sql));
    if (c->seenTexts.insert(hash).second) {
      if (c->seenTexts.size() > kSeenTextRoom) c->seenTexts.clear();
      return nullptr;  // the first time: unprepared
    }
    const int id = c->nextTextId++;
    std::snprintf(name, sizeof name, "tw_t%d", id);
    PGresult* r = PQprepare(conn, name, sql, 0, nullptr);
    if (r != nullptr && PQresultStatus(r) == PGRES_COMMAND_OK) {
      c->preparedTexts.emplace(sql, id);
      PQclear(r);
      return nullptr;
    }
    name[0] = '\0';
    return r != nullptr ? r : PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR);
  };
  auto send = [&](PGconn* conn) {
    if (name[0] == '\0') {
      return PQsendQueryParams(conn, sql, params.count(), nullptr, params.values(), params.lengths(), nullptr, 0);
    }
    return PQsendQueryPrepared(conn, name, params.count(), params.values(), params.lengths(), nullptr, 0);
  };
  return Run(send, isCall, prepare);
}

SQLRETURN DbStatement::ExecWithLongBinary(const char* sql, const void* data, size_t length, uint32_t) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (length > 0x7FFFFFFF) return Fail("22001", "binary data too long");
  SQLLEN size = static_cast<SQLLEN>(length);
  params_.clear();
  SQLRETURN rc = BindParameter(1, SQL_PARAM_INPUT, SQL_C_BINARY, const_cast<void*>(data), size, &longLength_);
  longLength_ = size;
  if (!DbOk(rc)) return rc;
  rc = ExecDirect(sql);
  params_.clear();
  return rc;
}

// Sends with `send`, takes every result, and decides the outcome: the connection's loss (reopened,
// and the statement sent once more when it wrote nothing), a failure of any statement (a transaction
// is rolled back), SQL_NO_DATA for an UPDATE or DELETE that touched no row.
template <typename Send, typename Prep>
SQLRETURN DbStatement::Run(Send&& send, bool isCall, Prep&& prepare) {
  ClearResults();
  state_[0] = '\0';
  message_.clear();
  DbConnection* c = dbc_;
  if (c->transactionFailed) return Fail("25P02", "the transaction was rolled back by an earlier failure");
  for (int attempt = 0;; ++attempt) {
    ClearResults();
    c->wroteNothing = false;
    if (!c->inTransaction && !EnsureConnected(c)) {
      c->wroteNothing = true;
      return Fail("08001", c->lastError.c_str());
    }
    if (c->conn == nullptr) return Fail("08003", "the connection is closed");
    bool sent = true;
    // A prepared statement is prepared on this connection at its first use; a failure to prepare
    // is the statement's failure.
    if (PGresult* r = prepare(c->conn)) {
      results_.push_back(r);
      sent = false;
    }
    if (sent) {
      // 1: sent, its results are read here; 2: sent and read by `send` itself.
      const int how = send(c->conn);
      if (how == 0) {
        sent = false;
      } else if (how == 1) {
        while (PGresult* r = PQgetResult(c->conn)) results_.push_back(r);
      }
    }
    // The first failure among the statement's results.
    const pg_result* failed = nullptr;
    for (const pg_result* r : results_) {
      const ExecStatusType st = PQresultStatus(r);
      if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK && st != PGRES_EMPTY_QUERY) {
        failed = r;
        break;
      }
    }
    if (sent && failed == nullptr && !results_.empty()) return FirstResult(isCall);
    const char* state = failed != nullptr ? PQresultErrorField(failed, PG_DIAG_SQLSTATE) : nullptr;
    const char* message = failed != nullptr ? PQresultErrorMessage(failed) : PQerrorMessage(c->conn);
    std::snprintf(state_, sizeof state_, "%s", state != nullptr ? state : "08S01");
    message_ = OneLine(message);
    if (message_.empty()) message_ = OneLine(PQerrorMessage(c->conn));
    const bool lost = IsConnectionState(state) || PQstatus(c->conn) != CONNECTION_OK;
    if (!lost) {
      if (std::strcmp(state_, "26000") == 0 && attempt == 0) {
        // The server forgot its prepared statements (DISCARD ALL): they are prepared again.
        c->prepared.assign(c->prepared.size(), false);
        c->preparedTexts.clear();
        continue;
      }
      if (c->inTransaction) {
        c->transactionFailed = true;
        FrameCommand(c, "ROLLBACK");
        c->inTransaction = false;
      }
      ClearResults();
      return SQL_ERROR;
    }
    c->lost = true;
    c->wroteNothing = !sent || EndedBeforeWork(state);
    const bool inTransaction = c->inTransaction;
    if (inTransaction) {
      c->transactionFailed = true;
      c->inTransaction = false;
    }
    DbLogf("database connection to service \"%s\" lost (%s %s)%s", c->service.c_str(), state_, message_.c_str(),
           inTransaction ? " inside a transaction: it was rolled back" : "");
    ClearResults();
    const bool reopened = Reconnect(c);
    if (!reopened || inTransaction || !c->wroteNothing || attempt > 0) return SQL_ERROR;
    // The statement never reached the server's tables: once more on the new connection.
  }
}

SQLRETURN DbStatement::FirstResult(bool isCall) {
  current_ = 0;
  row_ = -1;
  const pg_result* first = results_.front();
  if (isCall) return StoreOutputs();
  if (PQresultStatus(first) == PGRES_COMMAND_OK) {
    const char* status = PQcmdStatus(const_cast<pg_result*>(first));
    const char* tuples = PQcmdTuples(const_cast<pg_result*>(first));
    if ((std::strncmp(status, "UPDATE", 6) == 0 || std::strncmp(status, "DELETE", 6) == 0) &&
        std::strcmp(tuples, "0") == 0) {
      return SQL_NO_DATA;
    }
  }
  return SQL_SUCCESS;
}

SQLRETURN DbStatement::StoreOutputs() {
  const pg_result* r = results_.front();
  if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) == 0) return SQL_SUCCESS;
  SQLRETURN rc = SQL_SUCCESS;
  int column = 0;
  for (const Bound& b : params_) {
    if (b.direction == SQL_PARAM_INPUT) continue;
    const int at = column++;
    if (b.direction == 0 || b.buffer == nullptr) continue;
    if (at >= PQnfields(r)) break;
    const SQLRETURN one = StoreField(b, r, 0, at);
    if (one == SQL_ERROR) return one;
    if (one == SQL_SUCCESS_WITH_INFO) rc = one;
  }
  return rc;
}

SQLRETURN DbStatement::StoreField(const Bound& b, const pg_result* r, int row, int column) {
  const bool isNull = PQgetisnull(r, row, column) != 0;
  const Oid type = PQftype(r, column);
  return Convert(PQgetvalue(r, row, column), PQgetlength(r, row, column), isNull, type, b.cType, b.buffer, b.size,
                 b.length, 0);
}

SQLRETURN DbStatement::Convert(const char* value, int length, bool isNull, unsigned type, SQLSMALLINT cType,
                               void* buffer, SQLLEN size, SQLLEN* indicator, size_t offset) {
  if (isNull) {
    if (indicator != nullptr) *indicator = SQL_NULL_DATA;
    switch (cType) {
      case SQL_C_CHAR:
        if (size > 0) static_cast<char*>(buffer)[0] = '\0';
        break;
      case SQL_C_BINARY:
        if (size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
        break;
      case SQL_C_SLONG:
      case SQL_C_LONG:
        *static_cast<int32_t*>(buffer) = 0;
        break;
      case SQL_C_SSHORT:
      case SQL_C_SHORT:
        *static_cast<int16_t*>(buffer) = 0;
        break;
      case SQL_C_SBIGINT:
        *static_cast<int64_t*>(buffer) = 0;
        break;
      case SQL_C_DOUBLE:
        *static_cast<double*>(buffer) = 0;
        break;
      case SQL_C_FLOAT:
        *static_cast<float*>(buffer) = 0;
        break;
      default:
        break;
    }
    return SQL_SUCCESS;
  }
  const size_t n = static_cast<size_t>(length);
  switch (cType) {
    case SQL_C_CHAR: {
      const char* text = value;
      size_t total = n;
      if (type == kByteaOid && n >= 2 && value[0] == '\\' && value[1] == 'x') {
        text = value + 2;
        total = n - 2;
      } else if (type == kBoolOid && n == 1) {
        text = value[0] == 't' ? "1" : "0";  // booleans read as the characters 1 and 0
      }
      if (offset > total) offset = total;
      text += offset;
      total -= offset;
      if (indicator != nullptr) *indicator = static_cast<SQLLEN>(total);
      if (size <= 0) return total > 0 ? Info("01004", "string data, right truncated") : SQL_SUCCESS;
      const size_t room = static_cast<size_t>(size) - 1;
      const size_t take = GbkCut(text, total, room);
      std::memcpy(buffer, text, take);
      static_cast<char*>(buffer)[take] = '\0';
      lastTaken_ = take;
      return take < total ? Info("01004", "string data, right truncated") : SQL_SUCCESS;
    }
    case SQL_C_BINARY: {
      std::string decoded;
      const char* bytes = value;
      size_t total = n;
      if (type == kByteaOid) {
        decoded = DecodeBytea(value, n);
        bytes = decoded.data();
        total = decoded.size();
      }
      if (offset > total) offset = total;
      bytes += offset;
      total -= offset;
      if (indicator != nullptr) *indicator = static_cast<SQLLEN>(total);
      const size_t room = size > 0 ? static_cast<size_t>(size) : 0;
      const size_t take = total < room ? total : room;
      std::memcpy(buffer, bytes, take);
      lastTaken_ = take;
      return take < total ? Info("01004", "binary data, right truncated") : SQL_SUCCESS;
    }
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_SBIGINT: {
      const bool isShort = cType == SQL_C_SSHORT || cType == SQL_C_SHORT;
      const bool isLong = cType == SQL_C_SLONG || cType == SQL_C_LONG;
      const int64_t lo = isShort ? INT16_MIN : isLong ? INT32_MIN : INT64_MIN;
      const int64_t hi = isShort ? INT16_MAX : isLong ? INT32_MAX : INT64_MAX;
      int64_t v = 0;
      const Parsed p = type == kBoolOid && n == 1 ? ParseInteger(value, 0, 1, &v) : ParseInteger(value, lo, hi, &v);
      if (p == Parsed::kRange) return Fail("22003", "numeric value out of range");
      if (p == Parsed::kInvalid) return Fail("22018", "invalid character value for the column type");
      if (isShort) {
        *static_cast<int16_t*>(buffer) = static_cast<int16_t>(v);
      } else if (isLong) {
        *static_cast<int32_t*>(buffer) = static_cast<int32_t>(v);
      } else {
        *static_cast<int64_t*>(buffer) = v;
      }
      if (indicator != nullptr) *indicator = isShort ? 2 : isLong ? 4 : 8;
      return p == Parsed::kFraction ? Info("01S07", "fractional truncation") : SQL_SUCCESS;
    }
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: {
      char* end = nullptr;
      double d = 0;
      if (type == kBoolOid && n == 1) {
        d = value[0] == 't' ? 1 : 0;
      } else {
        // from_chars rounds as strtod does and reads the database's forms (NaN and Infinity
        // included) without the locale; what it does not take whole goes to strtod.
        const auto [at, ec] = std::from_chars(value, value + n, d);
        if (ec != std::errc() || at != value + n || value[n] != '\0') {
          d = std::strtod(value, &end);
          if (end == value || *end != '\0') return Fail("22018", "invalid character value for the column type");
        }
      }
      if (cType == SQL_C_DOUBLE) {
        *static_cast<double*>(buffer) = d;
      } else {
        if (std::isfinite(d) && std::fabs(d) > 3.4028234663852886e38) {
          return Fail("22003", "numeric value out of range");
        }
        *static_cast<float*>(buffer) = static_cast<float>(d);
      }
      if (indicator != nullptr) *indicator = cType == SQL_C_DOUBLE ? 8 : 4;
      return SQL_SUCCESS;
    }
    default:
      return Fail("HY003", "C type not supported");
  }
}

SQLRETURN DbStatement::Fetch() {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (current_ >= results_.size() || PQresultStatus(results_[current_]) != PGRES_TUPLES_OK) {
    return Fail("24000", "no result set to fetch from");
  }
  const pg_result* r = results_[current_];
  if (row_ + 1 >= PQntuples(r)) {
    row_ = PQntuples(r);
    return SQL_NO_DATA;
  }
  ++row_;
  getDataColumn_ = 0;
  getDataOffset_ = 0;
  SQLRETURN rc = SQL_SUCCESS;
  const int fields = PQnfields(r);
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Bound& b = columns_[i];
    if (b.buffer == nullptr) continue;
    if (static_cast<int>(i) >= fields) return Fail("07009", "bound column beyond the result's columns");
    const SQLRETURN one = StoreField(b, r, row_, static_cast<int>(i));
    if (one == SQL_ERROR) return one;
    if (one == SQL_SUCCESS_WITH_INFO) rc = one;
  }
  return rc;
}

SQLRETURN DbStatement::MoreResults() {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (current_ + 1 >= results_.size()) {
    current_ = results_.size();
    return SQL_NO_DATA;
  }
  ++current_;
  row_ = -1;
  return SQL_SUCCESS;
}

SQLRETURN DbStatement::FreeStmt(SQLUSMALLINT option) {
  if (!ok()) return SQL_INVALID_HANDLE;
  switch (option) {
    case SQL_UNBIND:
      columns_.clear();
      break;
    case SQL_RESET_PARAMS:
      params_.clear();
      break;
    case SQL_CLOSE:
      ClearResults();
      break;
    default:
      break;
  }
  return SQL_SUCCESS;
}

SQLSMALLINT DbStatement::ResultColumns() const {
  if (current_ >= results_.size()) return 0;
  return static_cast<SQLSMALLINT>(PQnfields(results_[current_]));
}

SQLLEN DbStatement::RowCount() const {
  if (current_ >= results_.size()) return -1;
  const pg_result* r = results_[current_];
  if (PQresultStatus(r) == PGRES_TUPLES_OK) return PQntuples(r);
  const char* tuples = PQcmdTuples(const_cast<pg_result*>(r));
  return tuples[0] != '\0' ? std::strtoll(tuples, nullptr, 10) : -1;
}

SQLRETURN DbStatement::GetData(SQLUSMALLINT column, SQLSMALLINT cType, void* buffer, SQLLEN size,
                               SQLLEN* indicator) {
  if (!ok()) return SQL_INVALID_HANDLE;
  if (current_ >= results_.size()) return Fail("24000", "no result set");
  const pg_result* r = results_[current_];
  if (row_ < 0 || row_ >= PQntuples(r)) return Fail("24000", "no current row");
  if (column == 0 || column > PQnfields(r)) return Fail("07009", "invalid column number");
  if (getDataColumn_ != column) {
    getDataColumn_ = column;
    getDataOffset_ = 0;
  } else if (getDataOffset_ == SIZE_MAX) {
    return SQL_NO_DATA;
  }
  const int c = column - 1;
  lastTaken_ = 0;
  const SQLRETURN rc = Convert(PQgetvalue(r, row_, c), PQgetlength(r, row_, c), PQgetisnull(r, row_, c) != 0,
                               PQftype(r, c), cType, buffer, size, indicator, getDataOffset_);
  if ((cType == SQL_C_CHAR || cType == SQL_C_BINARY) && rc == SQL_SUCCESS_WITH_INFO &&
      std::strcmp(state_, "01004") == 0) {
    getDataOffset_ += lastTaken_;  // the rest comes with the next call
  } else {
    getDataOffset_ = SIZE_MAX;
  }
  return rc;
}

std::string DbStatement::Diagnostic() const {
  if (!ok()) return "no statement";
  if (state_[0] == '\0') return "";
  return std::string(state_) + " " + message_;
}

// ---------------------------------------------------------------------------------------------------
// DbTransaction

DbTransaction::DbTransaction(SQLHDBC dbc) : dbc_(dbc) { open_ = BeginTransaction(dbc_); }

DbTransaction::~DbTransaction() {
  if (open_) EndTransaction(dbc_, false);
}

bool DbTransaction::Commit() {
  if (!open_) return false;
  open_ = false;
  return EndTransaction(dbc_, true);
}

// ---------------------------------------------------------------------------------------------------
// The ODBC calls of platform/odbc/sql.h

namespace {
int g_environmentToken = 0;

std::string HandleText(const SQLCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return std::string();
  const char* s = reinterpret_cast<const char*>(text);
  return length == SQL_NTS || length < 0 ? std::string(s) : std::string(s, static_cast<size_t>(length));
}
}  // namespace

SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE, SQLHENV* output) {
  if (output == nullptr || type != SQL_HANDLE_ENV) return SQL_ERROR;
  *output = &g_environmentToken;
  return SQL_SUCCESS;
}

SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHDBC* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = SQL_NULL_HDBC;
  if (type != SQL_HANDLE_DBC || input == nullptr) return SQL_ERROR;
  *output = new DbConnection;
  return SQL_SUCCESS;
}

SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHSTMT* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = SQL_NULL_HSTMT;
  if (type != SQL_HANDLE_STMT || input == nullptr) return SQL_ERROR;
  *output = new DbStatement(static_cast<SQLHDBC>(input));
  return SQL_SUCCESS;
}

SQLRETURN SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }

SQLRETURN SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user, SQLSMALLINT userLength,
                     SQLCHAR* password, SQLSMALLINT passwordLength) {
  if (dbc == nullptr) return SQL_INVALID_HANDLE;
  if (dbc->conn != nullptr) PQfinish(dbc->conn);
  dbc->service = HandleText(dsn, dsnLength);
  dbc->user = HandleText(user, userLength);
  dbc->password = HandleText(password, passwordLength);
  dbc->conn = OpenConnection(dbc->service, dbc->user, dbc->password, 20, &dbc->lastError);
  return dbc->conn != nullptr ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN SQLDisconnect(SQLHDBC dbc) {
  if (dbc == nullptr) return SQL_INVALID_HANDLE;
  if (dbc->conn != nullptr) PQfinish(dbc->conn);
  dbc->conn = nullptr;
  dbc->inTransaction = false;
  dbc->transactionFailed = false;
  return SQL_SUCCESS;
}

SQLRETURN SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (handle == nullptr) return SQL_INVALID_HANDLE;
  switch (type) {
    case SQL_HANDLE_STMT:
      delete static_cast<SQLHSTMT>(handle);
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      DbDisconnect(static_cast<SQLHDBC>(handle));
      return SQL_SUCCESS;
    case SQL_HANDLE_ENV:
      return SQL_SUCCESS;
    default:
      return SQL_INVALID_HANDLE;
  }
}

SQLRETURN SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
  return stmt != nullptr ? stmt->FreeStmt(option) : SQL_INVALID_HANDLE;
}

SQLRETURN SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN size,
                     SQLLEN* indicator) {
  return stmt != nullptr ? stmt->BindColumn(column, cType, buffer, size, indicator) : SQL_INVALID_HANDLE;
}

SQLRETURN SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT param, SQLSMALLINT direction, SQLSMALLINT cType,
                           SQLSMALLINT, SQLULEN, SQLSMALLINT, SQLPOINTER buffer, SQLLEN size, SQLLEN* indicator) {
  return stmt != nullptr ? stmt->BindParameter(param, direction, cType, buffer, size, indicator)
                         : SQL_INVALID_HANDLE;
}

SQLRETURN SQLExecDirect(SQLHSTMT stmt, SQLCHAR* sql, SQLINTEGER length) {
  if (stmt == nullptr) return SQL_INVALID_HANDLE;
  if (length == SQL_NTS) return stmt->ExecDirect(reinterpret_cast<const char*>(sql));
  const std::string text(reinterpret_cast<const char*>(sql), length > 0 ? static_cast<size_t>(length) : 0);
  return stmt->ExecDirect(text.c_str());
}

SQLRETURN SQLFetch(SQLHSTMT stmt) { return stmt != nullptr ? stmt->Fetch() : SQL_INVALID_HANDLE; }
SQLRETURN SQLMoreResults(SQLHSTMT stmt) { return stmt != nullptr ? stmt->MoreResults() : SQL_INVALID_HANDLE; }

SQLRETURN SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
  if (stmt == nullptr || count == nullptr) return SQL_INVALID_HANDLE;
  *count = stmt->ResultColumns();
  return SQL_SUCCESS;
}

SQLRETURN SQLRowCount(SQLHSTMT stmt, SQLLEN* count) {
  if (stmt == nullptr || count == nullptr) return SQL_INVALID_HANDLE;
  *count = stmt->RowCount();
  return SQL_SUCCESS;
}

SQLRETURN SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN size,
                     SQLLEN* indicator) {
  return stmt != nullptr ? stmt->GetData(column, cType, buffer, size, indicator) : SQL_INVALID_HANDLE;
}

SQLRETURN SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                        SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length) {
  if (handle == nullptr || record != 1) return SQL_NO_DATA;
  std::string st, text;
  if (type == SQL_HANDLE_STMT) {
    const auto* s = static_cast<const DbStatement*>(handle);
    if (s->State()[0] == '\0') return SQL_NO_DATA;
    st = s->State();
    const std::string d = s->Diagnostic();
    text = d.size() > st.size() + 1 ? d.substr(st.size() + 1) : "";
  } else if (type == SQL_HANDLE_DBC) {
    const auto* c = static_cast<const DbConnection*>(handle);
    if (c->lastError.empty()) return SQL_NO_DATA;
    st = "08001";
    text = c->lastError;
  } else {
    return SQL_NO_DATA;
  }
  if (state != nullptr) std::snprintf(reinterpret_cast<char*>(state), 6, "%s", st.c_str());
  if (native != nullptr) *native = 0;
  if (message != nullptr && size > 0) std::snprintf(reinterpret_cast<char*>(message), size, "%s", text.c_str());
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(text.size());
  return SQL_SUCCESS;
}

SQLRETURN SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  if (dbc == nullptr) return SQL_INVALID_HANDLE;
  if (attribute != SQL_ATTR_AUTOCOMMIT) return SQL_SUCCESS;
  const auto on = reinterpret_cast<SQLULEN>(value) == SQL_AUTOCOMMIT_ON;
  if (!on) return BeginTransaction(dbc) ? SQL_SUCCESS : SQL_ERROR;
  if (dbc->inTransaction) EndTransaction(dbc, true);
  dbc->transactionFailed = false;
  return SQL_SUCCESS;
}

SQLRETURN SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  if (type != SQL_HANDLE_DBC || handle == nullptr) return SQL_INVALID_HANDLE;
  auto* c = static_cast<SQLHDBC>(handle);
  const bool wasOpen = c->inTransaction || c->transactionFailed;
  const bool committed = EndTransaction(c, completion == SQL_COMMIT);
  // Autocommit stays off until it is switched on: the next transaction begins at once.
  if (wasOpen) BeginTransaction(c);
  if (completion == SQL_COMMIT && !committed) return SQL_ERROR;
  return SQL_SUCCESS;
}

// ---------------------------------------------------------------------------------------------------
// Statement texts

bool FormatSql(char* buf, size_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = std::vsnprintf(buf, size, fmt, args);
  va_end(args);
  if (n < 0 || static_cast<size_t>(n) >= size) {
    if (size > 0) buf[0] = '\0';
    return false;
  }
  return true;
}

std::string StringPrintfV(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

std::string StringPrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = StringPrintfV(fmt, args);
  va_end(args);
  return out;
}

std::string AddressLiteral(const unsigned char address[4]) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "'\\x%02X%02X%02X%02X'::bytea", address[0], address[1], address[2], address[3]);
  return buf;
}
