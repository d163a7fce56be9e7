#pragma once
// The structures and constants that pass between the web-server host and the extension library.
//
// The host (host/) loads Tarnwick.so, looks up the five entry points below and calls them:
// GetFilterVersion then GetExtensionVersion once before serving, HttpExtensionProc for every request
// to /cgi-bin/Tarnwick.dll, HttpFilterProc when a client connection ends, and TerminateExtension
// before it unloads the library. Everything is plain C data so that both sides agree on the layout
// whatever compiler options they were built with.

#include <cstdint>

// The ODBC headers define BOOL as a macro for int; either way BOOL is int.
#ifndef BOOL
using BOOL = int;
#endif
using DWORD = uint32_t;
using HCONN = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Version records filled by the library at start-up.
inline constexpr DWORD kHseMaxExtensionDescLength = 256;
inline constexpr DWORD kSfMaxFilterDescLength = 256;

struct HSE_VERSION_INFO {
  DWORD dwExtensionVersion;
  char lpszExtensionDesc[kHseMaxExtensionDescLength];
};

struct HTTP_FILTER_VERSION {
  DWORD dwServerFilterVersion;
  DWORD dwFilterVersion;
  char lpszFilterDesc[kSfMaxFilterDescLength + 1];
  DWORD dwFlags;
};

// Results of HttpExtensionProc.
inline constexpr DWORD HSE_STATUS_SUCCESS = 1;
inline constexpr DWORD HSE_STATUS_SUCCESS_AND_KEEP_CONN = 2;
inline constexpr DWORD HSE_STATUS_PENDING = 3;
inline constexpr DWORD HSE_STATUS_ERROR = 4;

// Requests of ServerSupportFunction.
inline constexpr DWORD HSE_REQ_SEND_RESPONSE_HEADER_EX = 1016;

// HSE_REQ_SEND_RESPONSE_HEADER_EX: the status line text ("200 OK") and the header block (lines of
// "Name: value\r\n"), both NUL-terminated, with their lengths.
struct HSE_SEND_HEADER_EX_INFO {
  const char* pszStatus;
  const char* pszHeader;
  DWORD cchStatus;
  DWORD cchHeader;
  BOOL fKeepConn;
};

// cbTotalBytes when the request announced no length.
inline constexpr DWORD kUnknownContentLength = 0xFFFFFFFFu;

// One request, as the host hands it to HttpExtensionProc. The host reads the whole body first:
// lpbData holds cbAvailable bytes of it, and ReadClient has nothing more to give.
struct EXTENSION_CONTROL_BLOCK {
  DWORD cbSize;
  DWORD dwVersion;
  HCONN ConnID;
  DWORD dwHttpStatusCode;
  char lpszLogData[80];
  const char* lpszMethod;
  const char* lpszQueryString;
  const char* lpszPathInfo;
  const char* lpszPathTranslated;
  DWORD cbTotalBytes;
  DWORD cbAvailable;
  unsigned char* lpbData;
  const char* lpszContentType;

  // Copies the named server variable ("REMOTE_ADDR", "REQUEST_METHOD", "HTTP_<HEADER>" ...) with its
  // NUL into buffer; *size is the buffer size on entry and the bytes written (or needed) on return.
  BOOL (*GetServerVariable)(HCONN conn, const char* name, void* buffer, DWORD* size);
  // Appends *bytes bytes to the reply body.
  BOOL (*WriteClient)(HCONN conn, const void* buffer, DWORD* bytes, DWORD reserved);
  // Reads more of the request body (nothing: the host has read it all).
  BOOL (*ReadClient)(HCONN conn, void* buffer, DWORD* size);
  BOOL (*ServerSupportFunction)(HCONN conn, DWORD request, void* buffer, DWORD* size, DWORD* dataType);
};

// Filter notifications and priorities.
inline constexpr DWORD SF_NOTIFY_SECURE_PORT = 0x00000001;
inline constexpr DWORD SF_NOTIFY_NONSECURE_PORT = 0x00000002;
inline constexpr DWORD SF_NOTIFY_END_OF_NET_SESSION = 0x00000100;
inline constexpr DWORD SF_NOTIFY_ORDER_LOW = 0x00020000;
inline constexpr DWORD SF_NOTIFY_ORDER_MEDIUM = 0x00040000;
inline constexpr DWORD SF_NOTIFY_ORDER_HIGH = 0x00080000;

inline constexpr DWORD SF_STATUS_REQ_FINISHED = 0x8000000;
inline constexpr DWORD SF_STATUS_REQ_FINISHED_KEEP_CONN = 0x8000001;
inline constexpr DWORD SF_STATUS_REQ_NEXT_NOTIFICATION = 0x8000002;
inline constexpr DWORD SF_STATUS_REQ_HANDLED_NOTIFICATION = 0x8000003;
inline constexpr DWORD SF_STATUS_REQ_ERROR = 0x8000004;

struct HTTP_FILTER_CONTEXT {
  DWORD cbSize;
  DWORD Revision;
  void* ServerContext;
  DWORD ulReserved;
  BOOL fIsSecurePort;
  void* pFilterContext;
};

// The exported entry points, looked up by these names.
extern "C" {
using PFN_GetExtensionVersion = BOOL (*)(HSE_VERSION_INFO*);
using PFN_HttpExtensionProc = DWORD (*)(EXTENSION_CONTROL_BLOCK*);
using PFN_TerminateExtension = BOOL (*)(DWORD);
using PFN_GetFilterVersion = BOOL (*)(HTTP_FILTER_VERSION*);
using PFN_HttpFilterProc = DWORD (*)(HTTP_FILTER_CONTEXT*, DWORD, void*);
}

inline constexpr DWORD HSE_TERM_MUST_UNLOAD = 1;
