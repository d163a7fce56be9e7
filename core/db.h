#pragma once
// The database conventions every handler uses: a statement allocated for one piece of SQL and freed
// after it, result columns bound and fetched, stored procedures called in the ODBC escape form with
// their return value (and any output) bound as output parameters, and long binary data sent at
// execution time.
//
// After each fetched row, a bound column that came back NULL reads as empty (text) or 0 (numbers),
// so a value of one row never shows through in the next.
// Thread-safety: a DbStatement belongs to the thread that holds the pool slot of its connection.
//
// The connections are PostgreSQL's own client library's, under the ODBC names of platform/odbc/sql.h:
// results arrive as text and are converted into the bound buffers as the callers have always read
// them. A text longer than its buffer is cut (never inside a GBK character) and reported with
// SQL_SUCCESS_WITH_INFO; an integer out of its type's range is an error. A call
// "{?=CALL dorvane.dbo.cp_x(a,?,?)}" runs as "SELECT * FROM dorvane.dbo.cp_x(a)", the return value
// and each "?" output taken from the columns of its first row in order.

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct pg_result;

inline bool DbOk(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// DbConnect: a connection to the libpq service `service` (a section of the service file libpq finds
// through PGSERVICEFILE) with the login, client_encoding GBK; nullptr with the reason in `why` when
// it cannot be opened within `timeoutSeconds`.
[[nodiscard]] SQLHDBC DbConnect(const char* service, const char* user, const char* password, int timeoutSeconds,
                                char* why, size_t whySize);
// Closes and frees a connection of DbConnect (nullptr does nothing).
void DbDisconnect(SQLHDBC dbc);
// True when the connection was found broken by its last statement (its server went away, a
// connection-class SQLSTATE): the pool reconnects such a slot.
[[nodiscard]] bool DbConnectionLost(SQLHDBC dbc);
// True when the last statement on the connection wrote nothing the server kept: a failure to reach
// the server before or while the statement was sent, outside a transaction.
[[nodiscard]] bool DbLastFailureWroteNothing(SQLHDBC dbc);
// True while a transaction is open on the connection (BEGIN sent, COMMIT or ROLLBACK not yet).
[[nodiscard]] bool DbInTransaction(SQLHDBC dbc);
// The server process id of the connection (0 when not connected), for logs and tests.
[[nodiscard]] int DbBackendPid(SQLHDBC dbc);
// Where the database layer writes what happened to connections (lost, reopened); standard error
// until the library names its log.
void DbSetLog(void (*log)(const char* text));

// A statement text with $1.. parameters, prepared once on each pool connection that runs it and kept
// there. Objects of this type live for the whole life of the library (namespace-scope constants of
// the handlers' files).
class DbPreparedSql {
 public:
  explicit constexpr DbPreparedSql(const char* sql) : sql_(sql) {}
  DbPreparedSql(const DbPreparedSql&) = delete;
  DbPreparedSql& operator=(const DbPreparedSql&) = delete;
  const char* sql() const { return sql_; }
  // A number of its own within the process, given at the first use.
  int id() const;

 private:
  const char* sql_;
  mutable std::atomic<int> id_{-1};
};

class DbParams;
// One statement of a pipeline of prepared statements.
struct DbPreparedStep {
  const DbPreparedSql& sql;
  const DbParams& params;
};

// DbParams: the values of a prepared statement's $1.. parameters, in order, sent as values (never
// pasted into the text). Texts are GBK, as every other text of the system.
class DbParams {
 public:
  DbParams() = default;
  DbParams(const DbParams& other) { *this = other; }
  DbParams& operator=(const DbParams& other);
  DbParams& Int(int64_t value);
  DbParams& Double(double value);
  // The text up to its NUL.
  DbParams& Text(const char* value);
  DbParams& Text(std::string_view value);
  // The text as it would stand between quotes of a statement text after SqlEscape: trailing white
  // space (blank, TAB, CR, LF, VT, FF) trimmed.
  DbParams& SqlText(const char* value);
  DbParams& Null();
  [[nodiscard]] int count() const { return static_cast<int>(values_.size()); }
  const char* const* values() const { return values_.data(); }
  const int* lengths() const { return lengths_.data(); }

 private:
  DbParams& Push(std::string_view value, bool isNull);
  void Point();
  std::vector<std::string> storage_;
  std::vector<bool> nulls_;
  std::vector<const char*> values_;
  std::vector<int> lengths_;
};

class DbStatement {
 public:
  explicit DbStatement(SQLHDBC dbc);
  DbStatement(const DbStatement&) = delete;
  DbStatement& operator=(const DbStatement&) = delete;
  ~DbStatement();

  // True when the statement handle was allocated (SQL_SUCCESS).
  bool ok() const { return hStmt_ != SQL_NULL_HSTMT; }
  // The handle for the calls of platform/odbc/sql.h.
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

  // Input parameters of "?" markers (1-based, in text order), and output parameters in any C type of
  // SQLBindParameter. Returns SQL_ERROR for a marker beyond the statement's room.
  SQLRETURN BindParameter(SQLUSMALLINT param, SQLSMALLINT direction, SQLSMALLINT cType, void* buffer, SQLLEN size,
                          SQLLEN* indicator);
  SQLRETURN BindColumn(SQLUSMALLINT column, SQLSMALLINT cType, void* buffer, SQLLEN size, SQLLEN* indicator);

  // Runs the SQL text. Returns the ODBC result (DbOk for success; SQL_NO_DATA for an UPDATE or DELETE
  // that touched no row, the first statement of a text deciding; an error when any statement of the
  // text fails).
  SQLRETURN ExecDirect(const char* sql);
  // Runs a prepared statement with its parameter values (prepared on this connection at its first
  // use). Results as for ExecDirect. A call in the escape form takes its values as $1.. and its
  // outputs at its "?" markers: "{?=CALL dorvane.dbo.cp_x(?,$1,$2)}".
  SQLRETURN ExecPrepared(const DbPreparedSql& sql, const DbParams& params);
  // The same for a text built at run time ($1.. parameters): prepared on this connection the second
  // time the same text runs there (a connection keeps up to 32 such texts; the others run with their
  // parameters, unprepared).
  SQLRETURN ExecPrepared(const char* sql, const DbParams& params);
  // Several prepared statements (no calls) sent together, in one round trip: their results follow
  // one another as those of a text of several statements (MoreResults moves to the next), and the
  // failure of any is the failure of all.
  SQLRETURN ExecPrepared(std::initializer_list<DbPreparedStep> steps);
  // The next result of a text of several statements: SQL_SUCCESS, SQL_NO_DATA when none is left.
  SQLRETURN MoreResults();
  // Drops the column bindings (SQL_UNBIND), the parameter bindings (SQL_RESET_PARAMS) or the result
  // (SQL_CLOSE).
  SQLRETURN FreeStmt(SQLUSMALLINT option);
  // The columns of the current result; the rows a statement touched (or returned).
  SQLSMALLINT ResultColumns() const;
  SQLLEN RowCount() const;
  // One column of the current row into a buffer of the C type, as SQLGetData.
  SQLRETURN GetData(SQLUSMALLINT column, SQLSMALLINT cType, void* buffer, SQLLEN size, SQLLEN* indicator);
  // The next row: SQL_SUCCESS (or _WITH_INFO), SQL_NO_DATA at the end, an error otherwise.
  SQLRETURN Fetch();
  // Runs sql, whose one "?" parameter is the long binary `data`, sent with the statement as one
  // binary parameter value. `sleepMs` is the pause its callers give between sending steps; the
  // value goes in one step, so nothing waits.
  SQLRETURN ExecWithLongBinary(const char* sql, const void* data, size_t length, uint32_t sleepMs);

  // The first diagnostic record of the statement ("SQLSTATE message"), for logs.
  std::string Diagnostic() const;
  // The SQLSTATE of the last failure ("" when none).
  const char* State() const { return state_; }

 private:
  struct Bound {
    SQLSMALLINT cType = 0;
    void* buffer = nullptr;
    SQLLEN size = 0;
    SQLLEN* length = nullptr;
    SQLSMALLINT direction = 0;  // parameters only: SQL_PARAM_INPUT, _OUTPUT, _INPUT_OUTPUT
  };
  SQLLEN* NextIndicator();
  void ClearResults();
  SQLRETURN Fail(const char* state, const char* message);
  SQLRETURN Info(const char* state, const char* message);
  bool CallText(const char* sql, std::string* text);
  bool BuildText(const char* sql, std::string* text, std::vector<int>* inputs, bool* isCall);
  bool InputValue(const Bound& b, std::string* out, bool* isNull, bool* isBinary) const;
  template <typename Send, typename Prep>
  SQLRETURN Run(Send&& send, bool isCall, Prep&& prepare);
  SQLRETURN FirstResult(bool isCall);
  SQLRETURN StoreOutputs();
  SQLRETURN StoreField(const Bound& b, const pg_result* r, int row, int column);
  SQLRETURN Convert(const char* value, int length, bool isNull, unsigned type, SQLSMALLINT cType, void* buffer,
                    SQLLEN size, SQLLEN* indicator, size_t offset);

  SQLHDBC dbc_ = SQL_NULL_HDBC;
  SQLHSTMT hStmt_ = SQL_NULL_HSTMT;
  SQLRETURN allocResult_ = SQL_ERROR;
  std::vector<Bound> columns_;  // by column - 1
  std::vector<Bound> params_;   // by parameter - 1
  std::vector<SQLLEN> indicators_;
  size_t usedIndicators_ = 0;
  std::vector<pg_result*> results_;
  size_t current_ = 0;  // the result that Fetch reads (index into results_)
  int row_ = -1;        // its current row
  SQLUSMALLINT getDataColumn_ = 0;
  size_t getDataOffset_ = 0;
  size_t lastTaken_ = 0;
  SQLLEN longLength_ = 0;
  char state_[6] = "";
  std::string message_;
};

// DbTransaction: the statements run on the connection while it lives form one transaction.
// Construction switches the connection's autocommit off; Commit makes the statements permanent; a
// transaction left without a successful Commit is rolled back. Either way the connection is in
// autocommit mode again afterwards, as every other user of the pool slot expects.
// Thread-safety: belongs to the thread that holds the pool slot of its connection.
//
// A statement that fails inside the transaction rolls it back at once; Commit then reports false.
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
