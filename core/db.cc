#include "core/db.h"

#include <cstdio>
#include <cstring>

#include "platform/event.h"

namespace {
constexpr size_t kIndicatorRoom = 128;  // bound columns and parameters per statement
}

DbStatement::DbStatement(SQLHDBC dbc) : indicators_(kIndicatorRoom, 0) {
  if (dbc == SQL_NULL_HDBC) return;
  allocResult_ = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &hStmt_);
  if (allocResult_ != SQL_SUCCESS) hStmt_ = SQL_NULL_HSTMT;
}

DbStatement::~DbStatement() {
  if (hStmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, hStmt_);
}

SQLLEN* DbStatement::NextIndicator() {
  if (usedIndicators_ >= indicators_.size()) return nullptr;
  return &indicators_[usedIndicators_++];
}

void DbStatement::BindText(SQLUSMALLINT column, char* buffer, size_t size) {
  if (!ok() || buffer == nullptr || size == 0) return;
  SQLLEN* ind = NextIndicator();
  SQLBindCol(hStmt_, column, SQL_C_CHAR, buffer, static_cast<SQLLEN>(size), ind);
  columns_.push_back({Bound::kText, buffer, size, ind});
}

void DbStatement::BindInt(SQLUSMALLINT column, int32_t* value) {
  if (!ok()) return;
  SQLLEN* ind = NextIndicator();
  SQLBindCol(hStmt_, column, SQL_C_SLONG, value, 0, ind);
  columns_.push_back({Bound::kInt, value, sizeof *value, ind});
}

void DbStatement::BindInt64(SQLUSMALLINT column, int64_t* value) {
  if (!ok()) return;
  SQLLEN* ind = NextIndicator();
  SQLBindCol(hStmt_, column, SQL_C_SBIGINT, value, 0, ind);
  columns_.push_back({Bound::kInt64, value, sizeof *value, ind});
}

void DbStatement::BindDouble(SQLUSMALLINT column, double* value) {
  if (!ok()) return;
  SQLLEN* ind = NextIndicator();
  SQLBindCol(hStmt_, column, SQL_C_DOUBLE, value, 0, ind);
  columns_.push_back({Bound::kDouble, value, sizeof *value, ind});
}

void DbStatement::BindBinary(SQLUSMALLINT column, void* buffer, size_t size, SQLLEN* length) {
  if (!ok()) return;
  SQLLEN* ind = length != nullptr ? length : NextIndicator();
  SQLBindCol(hStmt_, column, SQL_C_BINARY, buffer, static_cast<SQLLEN>(size), ind);
  columns_.push_back({Bound::kBinary, buffer, size, ind});
}

void DbStatement::BindOutInt(SQLUSMALLINT param, int32_t* value) {
  if (!ok()) return;
  SQLBindParameter(hStmt_, param, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, value, 0, NextIndicator());
}

void DbStatement::BindOutInt64(SQLUSMALLINT param, int64_t* value) {
  if (!ok()) return;
  SQLBindParameter(hStmt_, param, SQL_PARAM_OUTPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, value, 0, NextIndicator());
}

void DbStatement::BindOutText(SQLUSMALLINT param, char* buffer, size_t columnSize, size_t bufferSize) {
  if (!ok()) return;
  SQLBindParameter(hStmt_, param, SQL_PARAM_OUTPUT, SQL_C_CHAR, SQL_CHAR, columnSize, 0, buffer,
                   static_cast<SQLLEN>(bufferSize), NextIndicator());
}

void DbStatement::BindOutDouble(SQLUSMALLINT param, double* value) {
  if (!ok()) return;
  SQLBindParameter(hStmt_, param, SQL_PARAM_OUTPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, value, 0, NextIndicator());
}

SQLRETURN DbStatement::ExecDirect(const char* sql) {
  if (!ok()) return SQL_INVALID_HANDLE;
  return SQLExecDirect(hStmt_, (SQLCHAR*)sql, SQL_NTS);
}

SQLRETURN DbStatement::Fetch() {
  if (!ok()) return SQL_INVALID_HANDLE;
  SQLRETURN rc = SQLFetch(hStmt_);
  if (!DbOk(rc)) return rc;
  for (const Bound& b : columns_) {
    if (b.length == nullptr || *b.length != SQL_NULL_DATA) continue;
    switch (b.kind) {
      case Bound::kText:
        static_cast<char*>(b.buffer)[0] = '\0';
        break;
      case Bound::kBinary:
        std::memset(b.buffer, 0, b.size);
        break;
      default:
        std::memset(b.buffer, 0, b.size);
        break;
    }
  }
  return rc;
}

SQLRETURN DbStatement::ExecWithLongBinary(const char* sql, const void* data, size_t length, uint32_t sleepMs) {
  if (!ok()) return SQL_INVALID_HANDLE;
  SQLLEN* ind = NextIndicator();
  if (ind == nullptr) return SQL_ERROR;
  *ind = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(length));
  SQLRETURN rc = SQLBindParameter(hStmt_, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, length, 0,
                                  reinterpret_cast<SQLPOINTER>(1), 0, ind);
  if (!DbOk(rc)) return rc;
  rc = SQLExecDirect(hStmt_, (SQLCHAR*)sql, SQL_NTS);
  if (rc != SQL_NEED_DATA) return rc;
  SQLPOINTER token = nullptr;
  rc = SQLParamData(hStmt_, &token);
  while (rc == SQL_NEED_DATA || rc == SQL_STILL_EXECUTING) {
    if (rc == SQL_NEED_DATA) {
      rc = SQLPutData(hStmt_, const_cast<void*>(data), static_cast<SQLLEN>(length));
      if (!DbOk(rc)) return rc;
    } else {
      tw::Sleep(sleepMs);
    }
    rc = SQLParamData(hStmt_, &token);
  }
  return rc;
}

std::string DbStatement::Diagnostic() const {
  if (!ok()) return "no statement";
  SQLCHAR state[6] = {0};
  SQLCHAR message[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!DbOk(SQLGetDiagRec(SQL_HANDLE_STMT, hStmt_, 1, state, &native, message, sizeof message, &length))) return "";
  return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

DbTransaction::DbTransaction(SQLHDBC dbc) : dbc_(dbc) {
  if (dbc_ == SQL_NULL_HDBC) return;
  open_ = DbOk(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                 SQL_IS_UINTEGER));
}

DbTransaction::~DbTransaction() {
  if (open_) End(SQL_ROLLBACK);
}

bool DbTransaction::Commit() {
  if (!open_) return false;
  const bool committed = DbOk(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT));
  End(committed ? SQL_COMMIT : SQL_ROLLBACK);
  return committed;
}

void DbTransaction::End(SQLSMALLINT completion) {
  if (completion == SQL_ROLLBACK) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
  open_ = false;
}

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
