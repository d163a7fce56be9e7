#include "testclient/sender.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/codepage.h"
#include "util/json.h"

namespace tw {

namespace {

constexpr size_t kMinJsonData = 9;  // the JSON data must be longer than this
constexpr char kTruncatedNote[] = "…(响应实体已截断)";

// Closes the socket once, on every path.
class SocketGuard {
 public:
  explicit SocketGuard(int fd) : fd_(fd) {}
  SocketGuard(const SocketGuard&) = delete;
  SocketGuard& operator=(const SocketGuard&) = delete;
  ~SocketGuard() { Close(); }
  int fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_;
};

bool SetBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) {
    return false;
  }
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

void SetTimeouts(int fd) {
  struct timeval tv;
  tv.tv_sec = kSocketTimeoutMs / 1000;
  tv.tv_usec = (kSocketTimeoutMs % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// Connects the non-blocking socket within the time limit; a refused connection also makes the
// socket writable, so the outcome is read from SO_ERROR.
bool Connect(int fd, const sockaddr* addr, socklen_t len) {
  if (::connect(fd, addr, len) == 0) {
    return true;
  }
  if (errno != EINPROGRESS) {
    return false;
  }
  struct pollfd p = {fd, POLLOUT, 0};
  int n;
  do {
    n = poll(&p, 1, kConnectTimeoutMs);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    return false;
  }
  int error = 0;
  socklen_t errorLen = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLen) == 0 && error == 0;
}

bool SendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Reads the reply through a small buffer; a read error or time-out counts as the end.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd) {}
  // The next byte, or -1 at the end.
  int Next() {
    if (pos_ == len_ && !Fill()) {
      return -1;
    }
    return static_cast<unsigned char>(buf_[pos_++]);
  }

 private:
  bool Fill() {
    if (ended_) {
      return false;
    }
    ssize_t n;
    do {
      n = ::recv(fd_, buf_, sizeof buf_, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    pos_ = 0;
    len_ = static_cast<size_t>(n);
    return true;
  }

  int fd_;
  char buf_[4096];
  size_t pos_ = 0;
  size_t len_ = 0;
  bool ended_ = false;
};

// Appends one line (its line feed included) to the header area while room is left; false when the
// reply ended or the area is full before a line feed.
bool ReadLine(Reader& r, std::string& area, std::string* line) {
  line->clear();
  while (area.size() < kResponseTextMax) {
    int c = r.Next();
    if (c < 0) {
      return false;
    }
    area.push_back(static_cast<char>(c));
    line->push_back(static_cast<char>(c));
    if (c == '\n') {
      return true;
    }
  }
  return false;
}

// Reads header lines up to and including the empty line (CR LF or LF alone).
void ReadHeaderLines(Reader& r, std::string& area) {
  std::string line;
  while (ReadLine(r, area, &line)) {
    if (line == "\r\n" || line == "\n") {
      return;
    }
  }
}

// The body length the header announces: "Content-Length: " matched as written; missing, below 1 or
// above the body room gives the room (read to the room or the end). *announced receives the number.
size_t BodyLimit(const std::string& header, long long* announced) {
  *announced = 0;
  size_t at = header.find("Content-Length: ");
  if (at == std::string::npos) {
    return kResponseTextMax;
  }
  *announced = std::atoll(header.c_str() + at + std::strlen("Content-Length: "));
  if (*announced < 1 || *announced > static_cast<long long>(kResponseTextMax)) {
    return kResponseTextMax;
  }
  return static_cast<size_t>(*announced);
}

std::string FormatConnecting(const std::string& host, uint16_t port) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "连接=>>>%s:%u...", host.c_str(), static_cast<unsigned>(port));
  return buf;
}

}  // namespace

bool PrepareSend(const TestForm& form, const BuiltRequest* built, SendJob* job, Refusal* refusal) {
  std::string host = TrimText(form.host);
  std::string data = TrimText(form.jsonData);
  if (data.size() <= kMinJsonData) {
    *refusal = {"没有准备JSON数据!\r\n先点击“JSON样例(Example)>>>”", FormField::kJsonData};
    return false;
  }
  if (host.empty()) {
    *refusal = {"服务器(Host)不能为空！", FormField::kHost};
    return false;
  }
  if (form.port < 1 || form.port > 65535) {
    *refusal = {"端口(Port)无效！", FormField::kPort};
    return false;
  }
  // An unchanged sample posts its own JSON: the edit shows its pictures abbreviated.
  const std::string& json = (built != nullptr && data == TrimText(built->readable)) ? built->json : data;
  SendJob out;
  if (!WrapBody(form.apiType, json, kRequestBufferSize - 32, &out.body)) {
    *refusal = {"请求数据太长，超出了请求缓冲区！", FormField::kJsonData};
    return false;
  }
  out.host = host;
  out.port = static_cast<uint16_t>(form.port);
  out.path = RequestPath(form.apiType);
  char header[4096];
  std::snprintf(header, sizeof header,
                "POST %s HTTP/1.0\r\nAccept: */*\r\nHost: %s\r\n"
                "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                "Content-Length: %zu\r\nContent-Type: %s\r\nConnection: close\r\n\r\n",
                out.path.c_str(), out.host.c_str(), out.body.size(),
                form.apiType == kApiOriginal ? "application/json" : "application/x-www-form-urlencoded");
  out.header = header;
  *job = std::move(out);
  return true;
}

int SenderThread(const SendJob& job, const ReportSink& sink) {
  auto report = [&sink](int code, std::string status, std::string text = std::string(),
                        bool truncated = false) {
    SendReport r;
    r.code = code;
    r.status = std::move(status);
    r.text = std::move(text);
    r.truncated = truncated;
    sink(r);
  };

  SocketGuard sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (sock.fd() < 0) {
    report(kSendSocketFailed, "套节字创建失败。");
    return kSendSocketFailed;
  }
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  char service[8];
  std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(job.port));
  if (getaddrinfo(job.host.c_str(), service, &hints, &found) != 0 || found == nullptr) {
    sock.Close();
    report(kSendResolveFailed, "域名解析失败。");
    return kSendResolveFailed;
  }
  sockaddr_in addr;
  std::memcpy(&addr, found->ai_addr, sizeof addr);
  freeaddrinfo(found);

  SetTimeouts(sock.fd());
  if (!SetBlocking(sock.fd(), false)) {
    sock.Close();
    report(kSendResolveFailed, "套节字配置失败。");
    return kSendResolveFailed;
  }
  report(kSendConnecting, FormatConnecting(job.host, job.port));
  if (!Connect(sock.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) ||
      !SetBlocking(sock.fd(), true)) {
    sock.Close();
    report(kSendConnectFailed, "连接服务器失败!");
    return kSendConnectFailed;
  }

  // A failed send shows as a reply without status line, which the next steps report.
  report(kSendHeader, "发送=>>>请求头:", job.header);
  bool sent = SendAll(sock.fd(), job.header);
  report(kSendBody, "发送=>>>POST数据:", job.body);
  if (sent) {
    SendAll(sock.fd(), job.body);
  }

  report(kSendStatusLine, "接收=<<< 服务器响应头:");
  Reader reader(sock.fd());
  std::string header;
  std::string line;
  bool complete = ReadLine(reader, header, &line);
  if (line.find("200") == std::string::npos) {
    if (complete) {
      ReadHeaderLines(reader, header);
    }
    sock.Close();
    report(kSendBadStatus, "失败响应头:", header);
    return 0;
  }
  ReadHeaderLines(reader, header);
  long long announced = 0;
  size_t limit = BodyLimit(header, &announced);

  report(kSendReadBody, "接收=<<< 服务器响应实体:", header);
  std::string body;
  while (body.size() < limit) {
    int c = reader.Next();
    if (c < 0) {
      break;
    }
    body.push_back(static_cast<char>(c));
  }
  // A body that fills the room was cut when the header announced more, or when more follows.
  bool truncated = false;
  if (body.size() == kResponseTextMax) {
    truncated = announced > static_cast<long long>(kResponseTextMax) ||
                (announced != static_cast<long long>(kResponseTextMax) && reader.Next() >= 0);
  }
  sock.Close();
  int length = static_cast<int>(body.size());
  report(kSendDone, "请求完成。响应实体:", std::move(body), truncated);
  return length;
}

std::string DecodeUnicodeEscapes(const std::string& gbk) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(gbk.size());
  size_t i = 0;
  while (i < gbk.size()) {
    unsigned char b = static_cast<unsigned char>(gbk[i]);
    if (b >= 0x80 && i + 1 < gbk.size()) {
      out.append(gbk, i, 2);  // a two-byte character is never part of an escape
      i += 2;
      continue;
    }
    if (b == '\\' && i + 1 < gbk.size() && gbk[i + 1] == '\\') {
      out.append("\\\\");  // an escaped backslash: what follows it is text
      i += 2;
      continue;
    }
    if (b == '\\' && i + 5 < gbk.size() && gbk[i + 1] == 'u') {
      int v = 0;
      bool ok = true;
      for (size_t k = 2; k < 6; ++k) {
        int h = hex(gbk[i + k]);
        ok = ok && h >= 0;
        v = v * 16 + (h >= 0 ? h : 0);
      }
      if (ok) {
        char bytes[2];
        int n = WideCharToGbkBytes(static_cast<char16_t>(v), bytes);
        out.append(bytes, static_cast<size_t>(n));
        i += 6;
        continue;
      }
    }
    out.push_back(static_cast<char>(b));
    ++i;
  }
  return out;
}

ReportEffect AppendReport(const SendReport& report, const CReturnCodeArray& codes, std::string* out) {
  ReportEffect effect;
  if (report.code == kSendReadBody) {
    *out += "\r\n" + report.text;
  }
  *out += "\r\n" + report.status;
  switch (report.code) {
    case kSendHeader:
    case kSendBody:
    case kSendBadStatus:
      *out += "\r\n" + report.text;
      break;
    default:
      break;
  }
  if (report.code < 0 || report.code == kSendBadStatus) {
    effect.beep = Beep::kFailure;
    effect.enableSend = true;
    return effect;
  }
  if (report.code != kSendDone) {
    return effect;
  }
  std::vector<char> text(report.text.begin(), report.text.end());
  text.push_back('\0');
  Utf8ToGbk(text.data(), false, nullptr);
  std::string body(text.data());
  *out += "\r\n" + body;
  if (report.truncated) {
    *out += "\r\n";
    *out += kTruncatedNote;
  }
  if (body.find("\\u") != std::string::npos) {
    *out += "\r\n解码(json Decode):\r\n" + DecodeUnicodeEscapes(body);
  }
  int64_t value = JsonGetInt64("ReturnValue", body);
  if (value > 0) {
    *out += "\r\n数据提交成功！";
  } else {
    *out += "\r\n数据提交失败，原因:";
    *out += codes.Text(value);
  }
  effect.beep = Beep::kSuccess;
  effect.enableSend = true;
  return effect;
}

}  // namespace tw
