#include "carriers/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/pool.h"
#include "platform/event.h"

namespace {

constexpr int32_t kContinueWaitMs = 2000;  // the wait for "100 Continue" before the body goes anyway
constexpr int kMaxInterimBlocks = 8;       // "100" blocks accepted before the real reply
constexpr size_t kChunkLineMax = 1024;     // a chunk-size line with its extensions
constexpr size_t kInterimBlockMax = 1024;  // an interim reply block
constexpr size_t kReadAhead = 16384;       // bytes read ahead of the parser
constexpr size_t kBodyZeroMax = 64000;     // the body area cleared before the read
constexpr size_t kCookieReserve = 64;      // cookie room kept free when old pairs are merged back
constexpr int32_t kStopSliceMs = 100;      // every wait looks at the stop flag this often

const char kChromeAgent[] =
    "User-Agent: Mozilla/5.0 (Windows NT 5.2) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/39.0.2171.95 "
    "Safari/537.36\r\n";
const char kMsieAgent[] =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.2; Trident/4.0; .NET CLR 1.1.4322)\r\n";
const char kDefaultAccept[] =
    "Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-ms-application, "
    "application/x-ms-xbap, application/vnd.ms-xpsdocument, application/xaml+xml, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, */*\r\n";

bool Accepted(int status) { return (status >= 100 && status <= 399) || (status >= 500 && status <= 999); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return false;
  for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
    if (EqualNoCase(text.substr(i, needle.size()), needle)) return true;
  }
  return false;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The milliseconds left before the deadline (a wrap-safe tick difference), at least 0.
int32_t Remaining(uint32_t deadline) {
  int32_t left = static_cast<int32_t>(deadline - tw::GetTickCount());
  return left > 0 ? left : 0;
}

bool Stopping() { return g_bStopping.load(std::memory_order_relaxed) != 0; }

// poll in slices, so that a stop cuts the wait within a slice: > 0 ready, 0 time-out or stop, < 0
// error.
int PollSliced(pollfd& p, int32_t timeoutMs) {
  const uint32_t deadline = tw::GetTickCount() + static_cast<uint32_t>(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    if (Stopping()) return 0;
    int32_t wait = Remaining(deadline);
    if (wait > kStopSliceMs) wait = kStopSliceMs;
    int r = poll(&p, 1, wait);
    if (r > 0) return r;
    if (r < 0 && errno != EINTR) return r;
    if (r == 0 && Remaining(deadline) == 0) return 0;
  }
}

void CloseSocket(int& fd) {
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
  fd = -1;
}

// The socket of one call with its read-ahead: every read waits at most the receive time-out and never
// past the call's deadline.
class CConnection {
 public:
  CConnection(int fd, int32_t recvTimeoutMs, int32_t sendTimeoutMs, uint32_t deadline)
      : fd_(fd), recvTimeout_(recvTimeoutMs), sendTimeout_(sendTimeoutMs), deadline_(deadline) {}

  // Waits for the socket; false on time-out or error.
  bool Wait(short events, int32_t timeoutMs) {
    int32_t wait = timeoutMs;
    int32_t left = Remaining(deadline_);
    if (wait > left) wait = left;
    if (wait <= 0) return false;
    pollfd p{fd_, events, 0};
    return PollSliced(p, wait) > 0;
  }

  // Sends every byte. False on error or time-out.
  bool SendAll(const char* data, size_t n) {
    while (n > 0) {
      ssize_t k = send(fd_, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (k > 0) {
        data += k;
        n -= static_cast<size_t>(k);
        continue;
      }
      if (k < 0 && errno == EINTR) continue;
      if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && Wait(POLLOUT, sendTimeout_)) continue;
      return false;
    }
    return true;
  }

  // Bytes ready in the read-ahead, reading more when it is empty: > 0 available, 0 peer closed,
  // -1 time-out or error.
  int Fill(int32_t timeoutMs) {
    if (pos_ < len_) return 1;
    pos_ = len_ = 0;
    for (;;) {
      if (!Wait(POLLIN, timeoutMs)) return -1;
      ssize_t k = recv(fd_, buf_, sizeof buf_, MSG_DONTWAIT);
      if (k > 0) {
        len_ = static_cast<size_t>(k);
        return 1;
      }
      if (k == 0) return 0;
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return -1;
    }
  }
  int Fill() { return Fill(recvTimeout_); }

  // One byte into *c: 1, 0 closed, -1 failed.
  int Byte(char* c) {
    int r = Fill();
    if (r <= 0) return r;
    *c = buf_[pos_++];
    return 1;
  }

  // Up to n bytes into out: the count (> 0), 0 closed, -1 failed. Large reads bypass the read-ahead.
  long Some(char* out, size_t n) {
    if (pos_ < len_) {
      size_t k = len_ - pos_ < n ? len_ - pos_ : n;
      std::memcpy(out, buf_ + pos_, k);
      pos_ += k;
      return static_cast<long>(k);
    }
    if (n < sizeof buf_) {
      int r = Fill();
      if (r <= 0) return r;
      return Some(out, n);
    }
    for (;;) {
      if (!Wait(POLLIN, recvTimeout_)) return -1;
      ssize_t k = recv(fd_, out, n, MSG_DONTWAIT);
      if (k >= 0) return static_cast<long>(k);
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return -1;
    }
  }

  // Exactly n bytes into out. False when the peer closed or a read failed first.
  bool Exact(char* out, size_t n) {
    while (n > 0) {
      long k = Some(out, n);
      if (k <= 0) return false;
      out += k;
      n -= static_cast<size_t>(k);
    }
    return true;
  }

  // A header block (up to and including the blank line, CR LF or LF ends) into out of outSize bytes,
  // NUL-terminated. The length, or -1 when it did not end within outSize - 1 bytes or the read
  // failed.
  long HeaderBlock(char* out, size_t outSize) {
    size_t n = 0;
    for (;;) {
      char c;
      if (n + 1 >= outSize) return -1;
      if (Byte(&c) <= 0) return -1;
      out[n++] = c;
      out[n] = '\0';
      if (c != '\n') continue;
      if (n >= 2 && out[n - 2] == '\n') break;
      if (n >= 3 && out[n - 2] == '\r' && out[n - 3] == '\n') break;
      if (n == 1 || (n == 2 && out[0] == '\r')) {  // a blank line before any status line: skip it
        n = 0;
        out[0] = '\0';
      }
    }
    return static_cast<long>(n);
  }

  // A line up to its LF (CR and LF kept out) into out; -1 when longer than outSize - 1 or cut.
  long Line(char* out, size_t outSize) {
    size_t n = 0;
    for (;;) {
      char c;
      if (Byte(&c) <= 0) return -1;
      if (c == '\n') break;
      if (n + 1 >= outSize) return -1;
      out[n++] = c;
    }
    if (n > 0 && out[n - 1] == '\r') --n;
    out[n] = '\0';
    return static_cast<long>(n);
  }

 private:
  int fd_;
  int32_t recvTimeout_, sendTimeout_;
  uint32_t deadline_;
  char buf_[kReadAhead];
  size_t pos_ = 0, len_ = 0;
};

// The status of a header block: the number after the first blank of its first line; 0 when none.
int ParseStatus(std::string_view block) {
  size_t eol = block.find('\n');
  if (eol == std::string_view::npos) return 0;
  std::string_view line = block.substr(0, eol);
  if (line.size() < 5 || !EqualNoCase(line.substr(0, 5), "HTTP/")) return 0;
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  size_t i = blank + 1;
  int status = 0, digits = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 4) {
    status = status * 10 + (line[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0) return 0;
  if (i < line.size() && line[i] >= '0' && line[i] <= '9') return 0;
  return status;
}

// Appends the cookie pairs of the reply's Set-Cookie lines to the cookie text: the new pairs first,
// then each old pair whose name the new ones do not set, as long as the room (less its reserve) lasts.
void MergeCookies(HttpRequest& r, std::string_view block) {
  if (r.cookies == nullptr || r.cookieCapacity <= 0) return;
  const size_t capacity = static_cast<size_t>(r.cookieCapacity);
  std::string_view fresh[32];
  size_t nFresh = 0, freshBytes = 0;
  size_t start = 0;
  while (start < block.size()) {
    size_t eol = block.find('\n', start);
    std::string_view line = block.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
    start = eol == std::string_view::npos ? block.size() : eol + 1;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualNoCase(TrimView(line.substr(0, colon)), "Set-Cookie")) continue;
    std::string_view v = TrimView(line.substr(colon + 1));
    while (!v.empty() && (v.front() == '=' || v.front() == ' ')) v.remove_prefix(1);
    size_t semi = v.find(';');
    v = TrimView(v.substr(0, semi));
    if (v.empty() || v.find('=') == std::string_view::npos || nFresh == 32) continue;
    fresh[nFresh++] = v;
    freshBytes += v.size() + 1;
  }
  if (nFresh == 0 || freshBytes >= capacity) return;
  char merged[8192];
  if (capacity > sizeof merged) return;
  size_t n = 0;
  for (size_t i = 0; i < nFresh; ++i) {
    std::memcpy(merged + n, fresh[i].data(), fresh[i].size());
    n += fresh[i].size();
    merged[n++] = ';';
  }
  std::string_view old(r.cookies);
  while (!old.empty()) {
    size_t semi = old.find(';');
    std::string_view pair = TrimView(old.substr(0, semi));
    old = semi == std::string_view::npos ? std::string_view() : old.substr(semi + 1);
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = pair.substr(0, eq + 1);
    bool shadowed = false;
    for (size_t i = 0; i < nFresh && !shadowed; ++i) shadowed = fresh[i].substr(0, name.size()) == name;
    if (shadowed) continue;
    if (n + pair.size() + 1 + kCookieReserve > capacity) break;
    std::memcpy(merged + n, pair.data(), pair.size());
    n += pair.size();
    merged[n++] = ';';
  }
  if (n > 0 && merged[n - 1] == ';') --n;
  std::memcpy(r.cookies, merged, n);
  r.cookies[n] = '\0';
}

// Reads the headers of a final reply block: connection, length, type, transfer and content coding.
// False when Content-Length is not a number of 0..INT_MAX.
bool ParseHeaders(HttpRequest& r, std::string_view block) {
  r.contentLength = -1;
  r.contentType[0] = '\0';
  r.bChunked = 0;
  r.contentEncoding = 0;
  r.bServerKeeps = r.bKeepAlive ? 1 : 0;
  size_t start = block.find('\n');
  start = start == std::string_view::npos ? block.size() : start + 1;
  while (start < block.size()) {
    size_t eol = block.find('\n', start);
    std::string_view line = block.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
    start = eol == std::string_view::npos ? block.size() : eol + 1;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = TrimView(line.substr(0, colon));
    std::string_view value = TrimView(line.substr(colon + 1));
    if (EqualNoCase(name, "Connection")) {
      if (ContainsNoCase(value, "close")) r.bServerKeeps = 0;
    } else if (EqualNoCase(name, "Content-Length")) {
      char digits[24];
      if (value.empty() || value.size() >= sizeof digits) return false;
      std::memcpy(digits, value.data(), value.size());
      digits[value.size()] = '\0';
      if (digits[0] < '0' || digits[0] > '9') return false;
      char* end = nullptr;
      errno = 0;
      long long v = std::strtoll(digits, &end, 10);
      if (errno != 0 || *end != '\0' || v < 0 || v > INT_MAX) return false;
      r.contentLength = static_cast<int32_t>(v);
    } else if (EqualNoCase(name, "Content-Type")) {
      size_t n = value.size() < 254 ? value.size() : 254;
      std::memcpy(r.contentType, value.data(), n);
      r.contentType[n] = '\0';
    } else if (EqualNoCase(name, "Transfer-Encoding")) {
      if (ContainsNoCase(value, "chunked")) r.bChunked = 1;
    } else if (EqualNoCase(name, "Content-Encoding")) {
      if (ContainsNoCase(value, "gzip")) {
        r.contentEncoding = 1;
      } else if (ContainsNoCase(value, "deflate")) {
        r.contentEncoding = 2;
      }
    }
  }
  MergeCookies(r, block);
  return true;
}

// Opens the connection: resolve, socket, time-outs, non-blocking connect within the connect time-out.
int Connect(HttpRequest& r, int& fd) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    fd = -1;
    return kHttpNoSocket;
  }
  if (getaddrinfo(r.host, nullptr, &hints, &found) != 0 || found == nullptr) {
    CloseSocket(fd);
    return kHttpNoHost;
  }
  sockaddr_in addr;
  std::memcpy(&addr, found->ai_addr, sizeof addr);
  freeaddrinfo(found);
  const int port = (r.port >= 1 && r.port <= 65535) ? r.port : 80;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  timeval tv{r.sendTimeoutMs / 1000, (r.sendTimeoutMs % 1000) * 1000};
  if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
    CloseSocket(fd);
    return kHttpSendTimeout;
  }
  tv = timeval{r.recvTimeoutMs / 1000, (r.recvTimeoutMs % 1000) * 1000};
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
    CloseSocket(fd);
    return kHttpRecvTimeout;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    CloseSocket(fd);
    return kHttpNonBlocking;
  }
  int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (rc != 0 && errno != EINPROGRESS) {
    CloseSocket(fd);
    return kHttpNotConnected;
  }
  if (rc != 0) {
    pollfd p{fd, POLLOUT, 0};
    int wait = r.connectTimeoutS > 0 ? r.connectTimeoutS * 1000 : 0;
    const int k = PollSliced(p, wait);
    int error = 0;
    socklen_t len = sizeof error;
    if (k <= 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
      CloseSocket(fd);
      return kHttpNotConnected;
    }
  }
  if (fcntl(fd, F_SETFL, flags) != 0) {
    CloseSocket(fd);
    return kHttpBlocking;
  }
  return 0;
}

// Reads a chunked body into out (room bytes, NUL kept free). The data length, or a negative code.
long ReadChunked(CConnection& c, char* out, size_t room) {
  size_t count = 0;
  char line[kChunkLineMax + 1];
  for (;;) {
    if (c.Line(line, sizeof line) < 0) return kHttpCut;
    long size = ParseChunkSize(line);
    if (size < 0) return kHttpRefused;
    if (size == 0) break;
    if (count + static_cast<size_t>(size) + 1 > room) return kHttpTooLarge;
    if (!c.Exact(out + count, static_cast<size_t>(size))) return kHttpCut;
    count += static_cast<size_t>(size);
    char crlf[2];
    if (c.Line(crlf, sizeof crlf) != 0) return kHttpCut;  // the data's own CR LF, nothing before it
  }
  for (;;) {  // trailers up to the empty line
    long n = c.Line(line, sizeof line);
    if (n < 0) return kHttpCut;
    if (n == 0) break;
  }
  return static_cast<long>(count);
}

}  // namespace

const char* GetUserAgentHeader(int32_t choice) { return choice == 1 ? kChromeAgent : kMsieAgent; }
const char* GetDefaultAcceptHeader() { return kDefaultAccept; }
const char* GetAjaxHeader(int32_t flag) { return flag == 1 ? "x-requested-with: XMLHttpRequest\r\n" : ""; }

long ParseChunkSize(const char* line) {
  if (line == nullptr) return -1;
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  if (!std::isxdigit(static_cast<unsigned char>(*p))) return -1;
  errno = 0;
  char* end = nullptr;
  unsigned long v = std::strtoul(p, &end, 16);
  if (errno != 0 || v > static_cast<unsigned long>(INT_MAX)) return -1;
  if (*end != '\0' && *end != ';' && *end != ' ' && *end != '\t' && *end != '\r') return -1;
  return static_cast<long>(v);
}

long InflateBody(const void* data, size_t length, char* out, size_t outSize, bool bGzip) {
  const int attempts[2] = {bGzip ? 15 + 16 : 15, -15};
  const int tries = bGzip ? 1 : 2;
  for (int t = 0; t < tries; ++t) {
    z_stream z{};
    if (inflateInit2(&z, attempts[t]) != Z_OK) return -1;
    z.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    z.avail_in = static_cast<uInt>(length);
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(outSize);
    int rc = inflate(&z, Z_FINISH);
    long produced = static_cast<long>(z.total_out);
    inflateEnd(&z);
    if (rc == Z_STREAM_END) return produced;
    if (rc == Z_BUF_ERROR && z.avail_out == 0) return -2;  // does not fit
  }
  return -1;
}

void HttpRequest::CloseConnection() {
  int fd = socket;
  CloseSocket(fd);
  socket = -1;
  bKeepAlive = 0;
  bServerKeeps = 0;
}

const char* HttpRequest::BuildHeader(char* out, int32_t outSize) const {
  if (prebuiltHeader != nullptr) return prebuiltHeader;
  if (out == nullptr || outSize <= 0) return nullptr;
  const size_t size = static_cast<size_t>(outSize);
  size_t n = 0;
  bool fits = true;
  auto add = [&](const char* fmt, auto... args) {
    if (!fits) return;
    int k = std::snprintf(out + n, size - n, fmt, args...);
    if (k < 0 || static_cast<size_t>(k) >= size - n) {
      fits = false;
      return;
    }
    n += static_cast<size_t>(k);
  };
  char portText[16] = "";
  const int p = (port >= 1 && port <= 65535) ? port : 80;
  if (p != 80) std::snprintf(portText, sizeof portText, ":%d", p);
  add("%s %s HTTP/%3.1f\r\n%s%sAccept-Language: %s\r\n%sHost: %s%s\r\n", body != nullptr ? "POST" : "GET", path,
      version, GetAjaxHeader(ajax), acceptLine != nullptr ? acceptLine : kDefaultAccept, bEnglish ? "en-us" : "zh-cn",
      bAcceptEncoding ? "Accept-Encoding: gzip, deflate\r\n" : "", host, portText);
  if (referer != nullptr) add("Referer: %s\r\n", referer);
  if (extraLines != nullptr) add("%s", extraLines);
  add("%s", GetUserAgentHeader(userAgent));
  if (body != nullptr) {
    const size_t len = std::strlen(body);
    if (boundary != nullptr) {
      add("Content-Length: %zu\r\nContent-Type: multipart/form-data; boundary=%s\r\nCache-Control: no-cache\r\n", len,
          boundary);
    } else {
      add("Content-Length: %zu\r\nContent-Type: %s%s\r\nCache-Control: no-cache\r\n", len,
          bodyType != nullptr ? bodyType : "application/x-www-form-urlencoded",
          bodyTypeSuffix != nullptr ? bodyTypeSuffix : "");
    }
  }
  if (bExpectContinue) add("Expect: 100-continue\r\n");
  add("Connection: %s\r\n", bKeepAlive ? "Keep-Alive" : "Close");
  if (cookies != nullptr) {
    std::string_view c(cookies);
    if (c.size() >= 3) {
      while (!c.empty() && (c.back() == '\r' || c.back() == '\n' || c.back() == ' ' || c.back() == ';')) {
        c.remove_suffix(1);
      }
    }
    if (c.size() > 2) add("Cookie: %.*s\r\n", static_cast<int>(c.size()), c.data());
  }
  add("\r\n");
  return fits ? out : nullptr;
}

int HttpExecute(HttpRequest& r) {
  if (r.work == nullptr || r.headerBuffer == nullptr || r.host == nullptr) return kHttpNoBuffer;
  if (r.state != 0) return kHttpStateSet;
  if (r.path == nullptr) return kHttpNoPath;
  if (r.workSize < kHttpMinWorkSize) return kHttpWorkTooSmall;
  const bool headerInWork = r.headerBuffer == r.work;
  const size_t headerArea = headerInWork ? static_cast<size_t>(r.workSize) : static_cast<size_t>(r.headerRoom);
  if (headerArea < 64) return kHttpWorkTooSmall;

  const uint32_t start = tw::GetTickCount();
  const int64_t budget = static_cast<int64_t>(r.connectTimeoutS > 0 ? r.connectTimeoutS : 0) * 1000 +
                         2 * static_cast<int64_t>(r.recvTimeoutMs > 0 ? r.recvTimeoutMs : 0);
  const uint32_t deadline = start + static_cast<uint32_t>(budget < INT32_MAX ? budget : INT32_MAX);

  int fd = r.socket;
  r.socket = -1;
  if (fd >= 0 && !(r.bKeepAlive && r.bServerKeeps && tw::GetTickCount() - r.lastUse <= r.idleLimitMs)) {
    CloseSocket(fd);
  }
  r.bServerKeeps = 0;
  auto fail = [&](int code) {
    CloseSocket(fd);
    r.lastUse = tw::GetTickCount();
    return Stopping() ? kHttpStopped : code;
  };
  if (Stopping()) return fail(kHttpStopped);
  if (fd < 0) {
    int rc = Connect(r, fd);
    if (rc != 0) return fail(rc);
  }

  // The header is built at the start of the work buffer unless a prebuilt one is given; the pending
  // body is never inside the header area (the caller's layout), and nothing here writes to the work
  // buffer before the body has been sent.
  const char* header = r.BuildHeader(r.work, r.workSize);
  if (header == nullptr) return fail(kHttpWorkTooSmall);
  CConnection c(fd, r.recvTimeoutMs > 0 ? r.recvTimeoutMs : 1, r.sendTimeoutMs > 0 ? r.sendTimeoutMs : 1, deadline);
  if (!c.SendAll(header, std::strlen(header))) return fail(kHttpRefused);

  r.status = 400;
  int interim = 0;
  bool finalRead = false;  // a final reply's block is already in the header buffer
  if (r.body != nullptr) {
    bool sendBody = true;
    if (r.bExpectContinue && c.Fill(kContinueWaitMs) > 0) {
      char block[kInterimBlockMax];
      long n = c.HeaderBlock(block, sizeof block);
      if (n < 0) return fail(kHttpRefused);
      int status = ParseStatus(std::string_view(block, static_cast<size_t>(n)));
      if (status == 100) {
        ++interim;
      } else {
        // A final reply instead of the interim one: it is the reply, the body is not sent.
        if (static_cast<size_t>(n) + 1 > headerArea) return fail(kHttpRefused);
        std::memcpy(r.headerBuffer, block, static_cast<size_t>(n) + 1);
        r.status = status;
        finalRead = true;
        sendBody = false;
      }
    }
    if (sendBody && !c.SendAll(r.body, std::strlen(r.body))) return fail(kHttpRefused);
  }

  // The header block of the final reply, after any "100" blocks.
  long headerLen = finalRead ? static_cast<long>(std::strlen(r.headerBuffer)) : 0;
  while (!finalRead) {
    headerLen = c.HeaderBlock(r.headerBuffer, headerArea);
    if (headerLen < 0) return fail(kHttpRefused);
    r.status = ParseStatus(std::string_view(r.headerBuffer, static_cast<size_t>(headerLen)));
    if (r.status != 100) break;
    if (++interim > kMaxInterimBlocks) return fail(kHttpRefused);
  }
  if (!Accepted(r.status)) {
    r.status = r.status == 0 ? 400 : r.status;
    return fail(kHttpRefused);
  }
  const std::string_view block(r.headerBuffer, static_cast<size_t>(headerLen));
  if (r.status >= 200 && !ParseHeaders(r, block)) return fail(kHttpRefused);
  if (r.status < 200) {
    r.contentLength = -1;
    r.bChunked = 0;
    r.contentEncoding = 0;
  }

  // Body room: after the header text when the header is read into the work buffer, else the whole
  // work buffer. Everything the body needs from the header has been taken out of it above.
  char* body = headerInWork ? r.work + headerLen : r.work;
  const size_t room = headerInWork ? static_cast<size_t>(r.workSize - headerLen) : static_cast<size_t>(r.workSize);
  r.bodyStart = body;
  if (room < 1) return fail(kHttpTooLarge);
  // A connection whose request body was withheld is not reused.
  if (finalRead) r.bServerKeeps = 0;
  const bool keep = r.bKeepAlive && r.bServerKeeps;
  auto finish = [&](long length) {
    body[length] = '\0';
    if (keep) {
      r.socket = fd;
    } else {
      CloseSocket(fd);
    }
    r.lastUse = tw::GetTickCount();
    r.contentLength = static_cast<int32_t>(length);
    return static_cast<int>(length);
  };
  if (r.contentLength == 0 && !r.bChunked) return finish(0);
  std::memset(body, 0, room < kBodyZeroMax ? room : kBodyZeroMax);

  long length = 0;
  if (r.bChunked) {
    length = ReadChunked(c, body, room);
    if (length < 0) return fail(static_cast<int>(length));
  } else if (r.contentLength > 0) {
    if (static_cast<size_t>(r.contentLength) + 1 > room) return fail(kHttpTooLarge);
    if (!c.Exact(body, static_cast<size_t>(r.contentLength))) return fail(kHttpCut);
    length = r.contentLength;
  } else {
    // No length: read until the peer closes; a body that would not fit is refused.
    for (;;) {
      if (static_cast<size_t>(length) + 1 >= room) {
        char extra;
        long k = c.Some(&extra, 1);
        if (k == 0) break;
        return fail(k > 0 ? kHttpTooLarge : kHttpCut);
      }
      long k = c.Some(body + length, room - 1 - static_cast<size_t>(length));
      if (k == 0) break;
      if (k < 0) return fail(kHttpCut);
      length += k;
    }
    CloseSocket(fd);
    r.bServerKeeps = 0;
  }

  if (r.contentEncoding != 0 && length > 1) {
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length)));
    if (copy == nullptr) return fail(kHttpNoMemory);
    std::memcpy(copy, body, static_cast<size_t>(length));
    long inflated = InflateBody(copy, static_cast<size_t>(length), body, room - 1, r.contentEncoding == 1);
    std::free(copy);
    if (inflated <= 0) return fail(kHttpInflate);
    length = inflated;
  }
  if (fd < 0) {
    body[length] = '\0';
    r.lastUse = tw::GetTickCount();
    r.contentLength = static_cast<int32_t>(length);
    return static_cast<int>(length);
  }
  return finish(length);
}
