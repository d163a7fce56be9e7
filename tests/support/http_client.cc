#include "tests/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace twtest {

namespace {
constexpr int kTimeoutMs = 30000;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

HttpClient::HttpClient(uint16_t port, const char* bindAddress)
    : port_(port), bindAddress_(bindAddress != nullptr ? bindAddress : "") {}

HttpClient::~HttpClient() { Close(); }

void HttpClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
}

bool HttpClient::Connect() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (!bindAddress_.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, bindAddress_.c_str(), &local.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      Close();
      return false;
    }
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port_);
  inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    Close();
    return false;
  }
  return true;
}

HttpReply HttpClient::Get(const std::string& target) {
  return Raw("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

HttpReply HttpClient::Post(const std::string& target, const std::string& body, const std::string& contentType) {
  return Raw("POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + contentType +
             "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

HttpReply HttpClient::Raw(const std::string& requestText) {
  HttpReply reply;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (fd_ < 0 && !Connect()) return reply;
    size_t sent = 0;
    bool failed = false;
    while (sent < requestText.size()) {
      ssize_t n = ::send(fd_, requestText.data() + sent, requestText.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) {
        failed = true;
        break;
      }
      sent += static_cast<size_t>(n);
    }
    if (!failed && ReadReply(&reply)) return reply;
    Close();  // the server had closed the kept-alive connection: once more on a new one
    reply = HttpReply();
  }
  return reply;
}

bool HttpClient::ReadReply(HttpReply* reply) {
  auto fill = [this]() -> bool {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, kTimeoutMs) <= 0) return false;
    char buf[65536];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending_.append(buf, static_cast<size_t>(n));
    return true;
  };
  size_t headEnd;
  while ((headEnd = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!fill()) return false;
  }
  std::string head = pending_.substr(0, headEnd);
  pending_.erase(0, headEnd + 4);
  size_t eol = head.find("\r\n");
  std::string statusLine = head.substr(0, eol);
  size_t sp = statusLine.find(' ');
  reply->status = sp == std::string::npos ? 0 : std::atoi(statusLine.c_str() + sp + 1);
  size_t pos = eol == std::string::npos ? head.size() : eol + 2;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(pos, end - pos);
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      reply->headers[Lower(line.substr(0, colon))] = line.substr(v);
    }
    pos = end + 2;
  }
  std::string te = Lower(reply->Header("transfer-encoding"));
  if (te.find("chunked") != std::string::npos) {
    for (;;) {
      size_t le;
      while ((le = pending_.find("\r\n")) == std::string::npos) {
        if (!fill()) return false;
      }
      size_t size = std::strtoul(pending_.c_str(), nullptr, 16);
      pending_.erase(0, le + 2);
      while (pending_.size() < size + 2) {
        if (!fill()) return false;
      }
      reply->body.append(pending_, 0, size);
      pending_.erase(0, size + 2);
      if (size == 0) break;
    }
  } else {
    size_t length = std::strtoul(reply->Header("content-length").c_str(), nullptr, 10);
    while (pending_.size() < length) {
      if (!fill()) return false;
    }
    reply->body = pending_.substr(0, length);
    pending_.erase(0, length);
  }
  if (Lower(reply->Header("connection")) == "close") Close();
  return true;
}

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

}  // namespace twtest
