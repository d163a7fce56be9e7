#pragma once
// The database conventions every handler uses: a statement allocated for one piece of SQL and freed
// after it, result columns bound and fetched, stored procedures called in the ODBC escape form with
// their return value (and any output) bound as output parameters, and long binary data sent at
// execution time.
//
// After each fetched row, a bound column that came back NULL reads as empty (text) or 0 (numbers),
// so a value of one row never shows through in the next.
// Thread-safety: a DbStatement belongs to the thread that holds the pool slot of its connection.

#include <sql.h>
#include <sqlext.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline bool DbOk(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

class DbStatement {
 public:
  explicit DbStatement(SQLHDBC dbc);
  DbStatement(const DbStatement&) = delete;
  DbStatement& operator=(const DbStatement&) = delete;
  ~DbStatement();

  // True when the statement handle was allocated (SQL_SUCCESS).
  bool ok() const { return hStmt_ != SQL_NULL_HSTMT; }
  SQLHSTMT handle() const { return hStmt_; }
  // The SQLAllocHandle result.
  SQLRETURN allocResult() const { return allocResult_; }

  // Result columns (1-based). The buffer must live until the last Fetch.
  void BindText(SQLUSMALLINT column, char* buffer, size_t size);
  void BindInt(SQLUSMALLINT column, int32_t* value);
  void BindInt64(SQLUSMALLINT column, int64_t* value);
  void BindDouble(SQLUSMALLINT column, double* value);
  // Raw bytes; *length receives the byte count (or SQL_NULL_DATA) when given.
  void BindBinary(SQLUSMALLINT column, void* buffer, size_t size, SQLLEN* length = nullptr);

  // Output parameters (1-based; parameter 1 of a procedure call is its return value).
  void BindOutInt(SQLUSMALLINT param, int32_t* value);
  void BindOutInt64(SQLUSMALLINT param, int64_t* value);
  // A text output of columnSize characters into a buffer of bufferSize bytes.
  void BindOutText(SQLUSMALLINT param, char* buffer, size_t columnSize, size_t bufferSize);
  void BindOutDouble(SQLUSMALLINT param, double* value);

  // Runs the SQL text. Returns the ODBC result (DbOk for success; SQL_NO_DATA for a statement that
  // touched no row).
  SQLRETURN ExecDirect(const char* sql);
  // The next row: SQL_SUCCESS (or _WITH_INFO), SQL_NO_DATA at the end, an error otherwise.
  SQLRETURN Fetch();
  // Runs sql, whose one "?" parameter is the long binary `data`, sent at execution time; while the
  // driver reports that it is still executing the parameter step is repeated after `sleepMs`.
  SQLRETURN ExecWithLongBinary(const char* sql, const void* data, size_t length, uint32_t sleepMs);

  // The first diagnostic record of the statement ("SQLSTATE message"), for logs.
  std::string Diagnostic() const;

 private:
  struct Bound {
    enum Kind { kText, kInt, kInt64, kDouble, kBinary } kind;
    void* buffer;
    size_t size;
    SQLLEN* length;
  };
  SQLLEN* NextIndicator();

  SQLHSTMT hStmt_ = SQL_NULL_HSTMT;
  SQLRETURN allocResult_ = SQL_ERROR;
  std::vector<Bound> columns_;
  std::vector<SQLLEN> indicators_;
  size_t usedIndicators_ = 0;
};

// DbTransaction: the statements run on the connection while it lives form one transaction.
// Construction switches the connection's autocommit off; Commit makes the statements permanent; a
// transaction left without a successful Commit is rolled back. Either way the connection is in
// autocommit mode again afterwards, as every other user of the pool slot expects.
// Thread-safety: belongs to the thread that holds the pool slot of its connection.
class DbTransaction {
 public:
  explicit DbTransaction(SQLHDBC dbc);
  DbTransaction(const DbTransaction&) = delete;
  DbTransaction& operator=(const DbTransaction&) = delete;
  ~DbTransaction();

  // True when the connection is in the transaction (autocommit could be switched off).
  [[nodiscard]] bool ok() const { return open_; }
  // Commit: ends the transaction keeping its changes. False when it was not open or the commit
  // failed (the changes are then rolled back).
  [[nodiscard]] bool Commit();

 private:
  void End(SQLSMALLINT completion);

  SQLHDBC dbc_;
  bool open_ = false;
};

// Formats into buf (size bytes). Returns false, with buf cut to an empty text, when the result does
// not fit: a statement is never run half-built.
[[nodiscard]] bool FormatSql(char* buf, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));

// Formats into a string of any length.
std::string StringPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* fmt, va_list args);

// The caller's address bytes as the binary literal "0x%02X%02X%02X%02X" that procedures recording who
// acted receive, in PostgreSQL form ('\x...'::bytea).
std::string AddressLiteral(const unsigned char address[4]);
