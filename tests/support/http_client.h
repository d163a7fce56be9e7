#pragma once
// A small blocking HTTP/1.1 client for the end-to-end tests: one connection, kept alive between
// requests, reconnected when the server closed it.

#include <cstdint>
#include <map>
#include <string>

namespace twtest {

struct HttpReply {
  int status = 0;                             // 0 when the exchange failed
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
  std::string Header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
  }
};

class HttpClient {
 public:
  explicit HttpClient(uint16_t port, const char* bindAddress = nullptr);
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;
  ~HttpClient();

  HttpReply Get(const std::string& target);
  HttpReply Post(const std::string& target, const std::string& body,
                 const std::string& contentType = "application/json");
  // Sends the request text as it stands and reads one reply.
  HttpReply Raw(const std::string& requestText);

 private:
  bool Connect();
  void Close();
  bool ReadReply(HttpReply* reply);

  uint16_t port_;
  std::string bindAddress_;
  int fd_ = -1;
  std::string pending_;
};

// URL-encodes every byte outside letters, digits and "-._~".
std::string UrlEncode(const std::string& text);

}  // namespace twtest
