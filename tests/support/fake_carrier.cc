#include "tests/support/fake_carrier.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <thread>
#include <cstring>

namespace twtest {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Compress(const std::string& data, int windowBits, const std::string& fileName) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  gz_header head{};
  std::string name = fileName;
  if (windowBits > 15 && !fileName.empty()) {
    head.name = reinterpret_cast<Bytef*>(name.data());
    head.name_max = static_cast<uInt>(name.size() + 1);
    deflateSetHeader(&z, &head);
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64 + name.size(), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string WithLength(const std::string& head, const std::string& body) {
  return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool SendAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) {
      if (k < 0 && errno == EINTR) continue;
      return false;
    }
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

// Reads into buf until it holds `want` bytes past `from`, or the blank line when want is 0. False
// when the peer closed or nothing came for 10 s.
bool ReadMore(int fd, std::string& buf) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 10000) <= 0) return false;
  char tmp[65536];
  ssize_t k = recv(fd, tmp, sizeof tmp, 0);
  if (k <= 0) return false;
  buf.append(tmp, static_cast<size_t>(k));
  return true;
}

}  // namespace

FakeReply FakeReply::Ok(const std::string& body, const std::string& contentType, int status,
                        const std::string& extraHeaders) {
  FakeReply r;
  r.bytes = WithLength("HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Status") +
                           "\r\nContent-Type: " + contentType + "\r\n" + extraHeaders,
                       body);
  return r;
}

FakeReply FakeReply::Chunked(const std::string& body, std::vector<size_t> sizes, const std::string& extension) {
  FakeReply r;
  r.bytes = "HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nTransfer-Encoding: chunked\r\n\r\n";
  size_t at = 0;
  bool first = true;
  char line[64];
  auto chunk = [&](size_t n) {
    std::snprintf(line, sizeof line, "%zx", n);
    r.bytes += line;
    if (first) r.bytes += extension;
    first = false;
    r.bytes += "\r\n" + body.substr(at, n) + "\r\n";
    at += n;
  };
  for (size_t s : sizes) {
    if (at + s > body.size()) s = body.size() - at;
    if (s > 0) chunk(s);
  }
  if (at < body.size()) chunk(body.size() - at);
  r.bytes += "0\r\n\r\n";
  return r;
}

FakeReply FakeReply::Gzip(const std::string& body, const std::string& fileName) {
  FakeReply r;
  r.bytes = WithLength("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Encoding: gzip\r\n",
                       Compress(body, 15 + 16, fileName));
  return r;
}

FakeReply FakeReply::Deflate(const std::string& body, bool bZlibWrapped) {
  FakeReply r;
  r.bytes = WithLength("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Encoding: deflate\r\n",
                       Compress(body, bZlibWrapped ? 15 : -15, ""));
  return r;
}

FakeReply FakeReply::Raw(const std::string& bytes) {
  FakeReply r;
  r.bytes = bytes;
  return r;
}

std::string FakeRequest::Header(const std::string& name) const {
  const std::string want = Lower(name) + ":";
  size_t start = header.find('\n');
  while (start != std::string::npos && start + 1 < header.size()) {
    size_t eol = header.find('\n', start + 1);
    std::string line = header.substr(start + 1, eol == std::string::npos ? std::string::npos : eol - start - 1);
    if (Lower(line.substr(0, want.size())) == want) {
      std::string v = line.substr(want.size());
      while (!v.empty() && v.front() == ' ') v.erase(0, 1);
      while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
      return v;
    }
    start = eol;
  }
  return "";
}

FakeCarrierServer::~FakeCarrierServer() { Stop(); }

bool FakeCarrierServer::Start(uint16_t port) {
  listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0) return false;
  int one = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listen_, 64) != 0) {
    close(listen_);
    listen_ = -1;
    return false;
  }
  socklen_t len = sizeof addr;
  getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  stopping_ = false;
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FakeCarrierServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (listen_ < 0 && !acceptor_.joinable()) return;
    stopping_ = true;
    for (int fd : open_) shutdown(fd, SHUT_RDWR);
  }
  if (listen_ >= 0) shutdown(listen_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  if (listen_ >= 0) close(listen_);
  listen_ = -1;
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

void FakeCarrierServer::AcceptLoop() {
  for (;;) {
    pollfd p{listen_, POLLIN, 0};
    int k = poll(&p, 1, 100);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    if (k <= 0) continue;
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t n = ++connections_;
    open_.push_back(fd);
    workers_.emplace_back([this, fd, n] { Serve(fd, n); });
  }
}

FakeReply FakeCarrierServer::Next(const std::string& method, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string key = method + " " + path;
  auto it = scripts_.find(key);
  if (it == scripts_.end() || it->second.empty()) {
    return FakeReply::Ok("not scripted", "text/plain", 404);
  }
  size_t& used = used_[key];
  const FakeReply& r = it->second[used < it->second.size() ? used : it->second.size() - 1];
  ++used;
  return r;
}

void FakeCarrierServer::Serve(int fd, uint32_t connection) {
  std::string buf;
  for (;;) {
    size_t end;
    while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
      if (!ReadMore(fd, buf)) goto done;
    }
    {
      FakeRequest req;
      req.header = buf.substr(0, end + 4);
      buf.erase(0, end + 4);
      req.connection = connection;
      size_t sp1 = req.header.find(' ');
      size_t sp2 = req.header.find(' ', sp1 + 1);
      req.method = req.header.substr(0, sp1);
      req.path = sp1 == std::string::npos ? "" : req.header.substr(sp1 + 1, sp2 - sp1 - 1);
      const FakeReply reply = Next(req.method, req.path);
      const size_t length = std::strtoul(req.Header("Content-Length").c_str(), nullptr, 10);
      const bool expects = Lower(req.Header("Expect")) == "100-continue";
      if (expects && reply.sendContinue) {
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        if (!SendAll(fd, kContinue, sizeof kContinue - 1)) goto done;
      }
      if (!reply.replyBeforeBody) {
        while (buf.size() < length) {
          if (!ReadMore(fd, buf)) goto done;
        }
        req.body = buf.substr(0, length);
        buf.erase(0, length);
      }
      req.atMs = NowMs();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(req);
      }
      changed_.notify_all();
      for (int waited = 0; waited < reply.delayMs; waited += 20) {  // a stop ends the wait
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) goto done;
      }
      const size_t n = reply.bytes.size() < reply.closeAfter ? reply.bytes.size() : reply.closeAfter;
      if (reply.dripMs > 0) {
        for (size_t i = 0; i < n; ++i) {
          if (!SendAll(fd, reply.bytes.data() + i, 1)) goto done;
          std::this_thread::sleep_for(std::chrono::milliseconds(reply.dripMs));
          std::lock_guard<std::mutex> lock(mutex_);
          if (stopping_) goto done;
        }
      } else if (!SendAll(fd, reply.bytes.data(), n)) {
        goto done;
      }
      if (!reply.keepOpen || n < reply.bytes.size()) goto done;
    }
  }
done:
  shutdown(fd, SHUT_WR);
  {
    // Let the client read what was sent before the socket goes.
    pollfd p{fd, POLLIN, 0};
    char tmp[4096];
    while (poll(&p, 1, 200) > 0 && recv(fd, tmp, sizeof tmp, 0) > 0) {
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < open_.size(); ++i) {
    if (open_[i] == fd) {
      open_.erase(open_.begin() + static_cast<long>(i));
      break;
    }
  }
  close(fd);
}

void FakeCarrierServer::Script(const std::string& method, const std::string& path, std::vector<FakeReply> replies) {
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_[method + " " + path] = std::move(replies);
  used_[method + " " + path] = 0;
}

void FakeCarrierServer::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_.clear();
  used_.clear();
  requests_.clear();
}

std::vector<FakeRequest> FakeCarrierServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t FakeCarrierServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

bool FakeCarrierServer::WaitForRequests(size_t n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= n; });
}

uint32_t FakeCarrierServer::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

std::string FormField(const std::string& body, const std::string& name) {
  const std::string key = name + "=";
  size_t at = body.rfind(key, 0) == 0 ? 0 : body.find("&" + key);
  if (at == std::string::npos) return "";
  if (at != 0) ++at;
  size_t end = body.find('&', at);
  std::string raw = body.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '+') {
      out += ' ';
    } else if (raw[i] == '%' && i + 2 < raw.size()) {
      out += static_cast<char>(std::strtol(raw.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += raw[i];
    }
  }
  return out;
}

std::string XmlUnescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    static const std::pair<const char*, char> kNames[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    bool done = false;
    for (const auto& [name, c] : kNames) {
      if (text.compare(i, std::strlen(name), name) == 0) {
        out += c;
        i += std::strlen(name) - 1;
        done = true;
        break;
      }
    }
    if (!done) out += '&';
  }
  return out;
}

std::string XmlText(const std::string& xml, const std::string& name) {
  const std::string open = "<" + name + ">", close = "</" + name + ">";
  size_t a = xml.find(open);
  if (a == std::string::npos) return "";
  size_t b = xml.find(close, a);
  if (b == std::string::npos) return "";
  return XmlUnescape(xml.substr(a + open.size(), b - a - open.size()));
}

std::string XmlAttribute(const std::string& xml, const std::string& element, const std::string& attribute) {
  size_t a = xml.find("<" + element + " ");
  if (a == std::string::npos) return "";
  size_t end = xml.find('>', a);
  const std::string key = " " + attribute + "=\"";
  size_t k = xml.find(key, a);
  if (k == std::string::npos || k > end) return "";
  size_t q = xml.find('"', k + key.size());
  return XmlUnescape(xml.substr(k + key.size(), q - k - key.size()));
}

std::string PostAndWait(uint16_t port, const std::string& target, const std::string& body, int waitMs) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return "";
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return "";
  }
  const std::string request = "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                              "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body;
  (void)send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string reply;
  pollfd p{fd, POLLIN, 0};
  char buf[4096];
  while (poll(&p, 1, waitMs) > 0) {
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    reply.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? "" : reply.substr(end + 4);
}

}  // namespace twtest
