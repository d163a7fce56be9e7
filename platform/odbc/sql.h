#pragma once
// The ODBC names the system's database code uses, as a small layer of ours over libpq: handle and
// length types, return codes, C and SQL type codes, and the statement-level calls that handlers make
// on a DbStatement's handle (binding, execution, fetching, unbinding, further results). The calls are
// defined in core/db.cc; a connection handle is one of the pool's libpq connections.
//
// Thread-safety: as for DbStatement, a handle belongs to the thread that holds its pool slot.

#include <cstdint>

struct DbConnection;
class DbStatement;

using SQLCHAR = unsigned char;
using SQLSCHAR = signed char;
using SQLSMALLINT = int16_t;
using SQLUSMALLINT = uint16_t;
using SQLINTEGER = int32_t;
using SQLUINTEGER = uint32_t;
using SQLLEN = int64_t;
using SQLULEN = uint64_t;
using SQLRETURN = SQLSMALLINT;
using SQLPOINTER = void*;
using SQLHANDLE = void*;
using SQLHENV = void*;
using SQLHDBC = DbConnection*;
using SQLHSTMT = DbStatement*;

#define SQL_NULL_HANDLE nullptr
#define SQL_NULL_HENV nullptr
#define SQL_NULL_HDBC nullptr
#define SQL_NULL_HSTMT nullptr

inline constexpr SQLRETURN SQL_SUCCESS = 0;
inline constexpr SQLRETURN SQL_SUCCESS_WITH_INFO = 1;
inline constexpr SQLRETURN SQL_STILL_EXECUTING = 2;
inline constexpr SQLRETURN SQL_NEED_DATA = 99;
inline constexpr SQLRETURN SQL_NO_DATA = 100;
inline constexpr SQLRETURN SQL_NO_DATA_FOUND = SQL_NO_DATA;
inline constexpr SQLRETURN SQL_ERROR = -1;
inline constexpr SQLRETURN SQL_INVALID_HANDLE = -2;
#define SQL_SUCCEEDED(rc) (((rc) & (~1)) == 0)

inline constexpr SQLINTEGER SQL_NTS = -3;
inline constexpr SQLLEN SQL_NULL_DATA = -1;
inline constexpr SQLLEN SQL_DATA_AT_EXEC = -2;
inline constexpr SQLLEN SQL_NO_TOTAL = -4;
inline constexpr SQLLEN SQL_LEN_DATA_AT_EXEC_OFFSET = -100;
#define SQL_LEN_DATA_AT_EXEC(length) (-(length) + SQL_LEN_DATA_AT_EXEC_OFFSET)

// C types of bound buffers.
inline constexpr SQLSMALLINT SQL_C_CHAR = 1;
inline constexpr SQLSMALLINT SQL_C_LONG = 4;
inline constexpr SQLSMALLINT SQL_C_SHORT = 5;
inline constexpr SQLSMALLINT SQL_C_FLOAT = 7;
inline constexpr SQLSMALLINT SQL_C_DOUBLE = 8;
inline constexpr SQLSMALLINT SQL_C_BINARY = -2;
inline constexpr SQLSMALLINT SQL_C_SSHORT = -15;
inline constexpr SQLSMALLINT SQL_C_SLONG = -16;
inline constexpr SQLSMALLINT SQL_C_SBIGINT = -25;
inline constexpr SQLSMALLINT SQL_C_DEFAULT = 99;

// SQL types of parameters (described only; the server infers the type from the statement).
inline constexpr SQLSMALLINT SQL_CHAR = 1;
inline constexpr SQLSMALLINT SQL_NUMERIC = 2;
inline constexpr SQLSMALLINT SQL_DECIMAL = 3;
inline constexpr SQLSMALLINT SQL_INTEGER = 4;
inline constexpr SQLSMALLINT SQL_SMALLINT = 5;
inline constexpr SQLSMALLINT SQL_FLOAT = 6;
inline constexpr SQLSMALLINT SQL_REAL = 7;
inline constexpr SQLSMALLINT SQL_DOUBLE = 8;
inline constexpr SQLSMALLINT SQL_VARCHAR = 12;
inline constexpr SQLSMALLINT SQL_LONGVARCHAR = -1;
inline constexpr SQLSMALLINT SQL_BINARY = -2;
inline constexpr SQLSMALLINT SQL_VARBINARY = -3;
inline constexpr SQLSMALLINT SQL_LONGVARBINARY = -4;
inline constexpr SQLSMALLINT SQL_BIGINT = -5;
inline constexpr SQLSMALLINT SQL_TINYINT = -6;

inline constexpr SQLSMALLINT SQL_PARAM_INPUT = 1;
inline constexpr SQLSMALLINT SQL_PARAM_INPUT_OUTPUT = 2;
inline constexpr SQLSMALLINT SQL_PARAM_OUTPUT = 4;

inline constexpr SQLUSMALLINT SQL_CLOSE = 0;
inline constexpr SQLUSMALLINT SQL_DROP = 1;
inline constexpr SQLUSMALLINT SQL_UNBIND = 2;
inline constexpr SQLUSMALLINT SQL_RESET_PARAMS = 3;

inline constexpr SQLSMALLINT SQL_HANDLE_ENV = 1;
inline constexpr SQLSMALLINT SQL_HANDLE_DBC = 2;
inline constexpr SQLSMALLINT SQL_HANDLE_STMT = 3;

inline constexpr SQLSMALLINT SQL_COMMIT = 0;
inline constexpr SQLSMALLINT SQL_ROLLBACK = 1;

inline constexpr SQLINTEGER SQL_ATTR_AUTOCOMMIT = 102;
inline constexpr SQLINTEGER SQL_ATTR_LOGIN_TIMEOUT = 103;
inline constexpr SQLULEN SQL_AUTOCOMMIT_OFF = 0;
inline constexpr SQLULEN SQL_AUTOCOMMIT_ON = 1;
inline constexpr SQLINTEGER SQL_IS_UINTEGER = -5;
inline constexpr SQLINTEGER SQL_IS_INTEGER = -6;

inline constexpr SQLINTEGER SQL_ATTR_ODBC_VERSION = 200;
inline constexpr SQLULEN SQL_OV_ODBC3 = 3;

// Handles: an environment (a token, nothing is kept), a connection (opened by SQLConnect with a
// libpq service name as the data source) and statements on a connection.
SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHENV* output);
SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHDBC* output);
SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHSTMT* output);
SQLRETURN SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user, SQLSMALLINT userLength,
                     SQLCHAR* password, SQLSMALLINT passwordLength);
SQLRETURN SQLDisconnect(SQLHDBC dbc);
SQLRETURN SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle);
SQLRETURN SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option);

SQLRETURN SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN size,
                     SQLLEN* indicator);
SQLRETURN SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT param, SQLSMALLINT direction, SQLSMALLINT cType,
                           SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER buffer,
                           SQLLEN size, SQLLEN* indicator);
SQLRETURN SQLExecDirect(SQLHSTMT stmt, SQLCHAR* sql, SQLINTEGER length);
SQLRETURN SQLFetch(SQLHSTMT stmt);
SQLRETURN SQLMoreResults(SQLHSTMT stmt);
SQLRETURN SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count);
SQLRETURN SQLRowCount(SQLHSTMT stmt, SQLLEN* count);
SQLRETURN SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN size,
                     SQLLEN* indicator);
SQLRETURN SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                        SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length);

// Connection-level: autocommit on or off, and the end of a transaction.
SQLRETURN SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
SQLRETURN SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion);
