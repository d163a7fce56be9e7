#pragma once
// The outgoing HTTP/1.1 client the carrier clients reach the carriers' web services with (plain HTTP,
// no TLS). One call sends one request over a TCP socket, reads the status line and headers, accepts
// or refuses the reply by its status and reads a Content-Length, chunked or until-close body into the
// caller's buffer, inflating gzip and deflate bodies.
//
// The caller owns every buffer: it fills an HttpRequest (defaults below), points it at its work
// buffer and calls HttpExecute. Every read is bounded by the caller's sizes and by the announced
// lengths; one call never takes longer than connect time-out + 2 x receive time-out. Every wait looks
// at the stop flag (g_bStopping) at least every 100 ms: once it is set, a call in flight is cut and
// a new one is not made (kHttpStopped).
//
// Thread-safety: reentrant; a call uses only the record and the buffers its caller passes.

#include <cstddef>
#include <cstdint>

// Results of HttpExecute below 0.
inline constexpr int kHttpNoBuffer = -1;        // no work buffer, header buffer or host
inline constexpr int kHttpStateSet = -2;        // the state word is set
inline constexpr int kHttpNoPath = -3;          // no path
inline constexpr int kHttpNoSocket = -100;      // the socket could not be created
inline constexpr int kHttpRefused = -102;       // status refused, reply unreadable, send failed
inline constexpr int kHttpNoHost = -103;        // the host name did not resolve
inline constexpr int kHttpSendTimeout = -120;   // SO_SNDTIMEO could not be set
inline constexpr int kHttpRecvTimeout = -121;   // SO_RCVTIMEO could not be set
inline constexpr int kHttpNonBlocking = -122;   // non-blocking mode could not be switched on
inline constexpr int kHttpNotConnected = -123;  // no connection within the connect time-out
inline constexpr int kHttpBlocking = -124;      // non-blocking mode could not be switched off
inline constexpr int kHttpStopped = -125;       // the service is stopping: the call was cut or not made
inline constexpr int kHttpNoMemory = -200;      // no memory for the copy of a compressed body
inline constexpr int kHttpInflate = -201;       // inflating failed or filled the whole room
inline constexpr int kHttpTooLarge = -204;      // the body does not fit the room
inline constexpr int kHttpCut = -205;           // a body with an announced length was cut short
inline constexpr int kHttpWorkTooSmall = -900;  // work size below 4096, or the header does not fit

inline constexpr int32_t kHttpMinWorkSize = 4096;

struct HttpRequest {
  int32_t socket = -1;      // kept for a following request when keep-alive was agreed; -1 when none
  int32_t state = 0;        // nonzero refuses the call
  double version = 1.1;     // printed with "%3.1f"
  int32_t bAcceptEncoding = 0;  // adds "Accept-Encoding: gzip, deflate"
  int32_t bKeepAlive = 0;       // asks for Keep-Alive and allows reuse of the socket
  int32_t ajax = 0;             // 1 adds "x-requested-with: XMLHttpRequest"
  int32_t bEnglish = 0;         // Accept-Language en-us, else zh-cn
  int32_t port = 80;            // outside 1..65535 means 80
  int32_t sendTimeoutMs = 30000;
  int32_t recvTimeoutMs = 30000;
  int32_t connectTimeoutS = 20;
  int32_t workSize = 0;         // bytes of work
  int32_t cookieCapacity = 0;   // bytes of cookies
  char* work = nullptr;         // the header text is built here; the body lands here
  char* cookies = nullptr;      // "name=value;..." NUL-terminated, merged from Set-Cookie; may be null
  const char* host = nullptr;
  const char* path = nullptr;
  const char* body = nullptr;           // NUL-terminated request body: present means POST
  const char* referer = nullptr;
  const char* prebuiltHeader = nullptr; // a complete header (ending with the blank line) sent as is
  const char* boundary = nullptr;       // multipart/form-data boundary of the body
  uint32_t lastUse = 0;         // tick of the end of the last call
  uint32_t idleLimitMs = 0;     // a kept socket idle longer than this is closed instead of reused
  int32_t bExpectContinue = 0;  // wait for the interim reply before sending the body
  int32_t status = 400;         // status of the reply
  int32_t bServerKeeps = 0;     // keep-alive asked and the reply did not say close
  int32_t contentEncoding = 0;  // 0 none, 1 gzip, 2 deflate
  int32_t bChunked = 0;
  char* headerBuffer = nullptr; // where the status line and headers are read; may equal work
  char* bodyStart = nullptr;    // where the body begins
  int32_t contentLength = -1;   // "Content-Length", -1 when absent; on return the body length
  int32_t headerRoom = 0;       // bytes of headerBuffer when it is not work
  int32_t userAgent = 0;        // 1 the Chrome line, else the MSIE line
  char contentType[256] = "";   // "Content-Type" of the reply
  const char* bodyType = nullptr;        // Content-Type of the body; null: form-urlencoded
  const char* bodyTypeSuffix = nullptr;  // appended right after the body type
  const char* acceptLine = nullptr;      // a complete Accept line; null: the default line
  const char* extraLines = nullptr;      // further header lines, each ending in CR LF

  // SetKeepAlive: asks for keep-alive with the idle limit.
  void SetKeepAlive(uint32_t idleLimit) {
    bKeepAlive = 1;
    idleLimitMs = idleLimit;
  }
  // CloseConnection: shuts down and closes a kept socket; socket -1, keep-alive flags 0.
  void CloseConnection();
  // BuildHeader: the prebuilt header when set, else the header built into out (outSize bytes).
  // Null when the built header does not fit.
  [[nodiscard]] const char* BuildHeader(char* out, int32_t outSize) const;
};

// HttpExecute: the body length (0 or more) on success, or one of the codes above. Also fills status,
// content type, content encoding, chunked flag, body start and content length, and merges cookies.
// The body is NUL-terminated at bodyStart[length]. Status 100-399 and 500-999 are accepted (a 500 is
// read like a success); others answer kHttpRefused without reading a body.
[[nodiscard]] int HttpExecute(HttpRequest& request);

// The fixed header lines.
[[nodiscard]] const char* GetUserAgentHeader(int32_t choice);
[[nodiscard]] const char* GetDefaultAcceptHeader();
[[nodiscard]] const char* GetAjaxHeader(int32_t flag);

// ParseChunkSize: the hexadecimal size at the start of a chunk-size line (an extension after ';' or a
// blank is ignored); -1 when the line holds no hex digit first or the size exceeds 2^31 - 1.
[[nodiscard]] long ParseChunkSize(const char* line);

// InflateBody: inflates data (gzip when bGzip, else zlib-wrapped or raw deflate) into out of outSize
// bytes. Returns the length, or a negative value when the data is not valid or does not fit.
[[nodiscard]] long InflateBody(const void* data, size_t length, char* out, size_t outSize, bool bGzip);
