#pragma once
// A fake carrier web server on 127.0.0.1 for the tests of the outgoing HTTP client and the carrier
// clients: canned replies by method and path, every request recorded byte for byte.
//
// Each (method, path) has a list of replies used in order, the last one repeated; a request without
// one gets a 404. A reply is raw bytes (status line, headers, body, exactly as they go on the wire)
// with actions: send "HTTP/1.1 100 Continue" once the header arrived, wait before answering, drip the
// bytes slowly, close after a number of bytes, or keep the connection for a following request.
// Helpers build the usual reply forms (plain, chunked, gzip, deflate).
//
// Thread-safety: one accepting thread and one thread per connection; every public method may be
// called from the test thread while the server runs.

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twtest {

struct FakeReply {
  std::string bytes;           // everything sent, as it stands
  bool sendContinue = false;   // "HTTP/1.1 100 Continue\r\n\r\n" when the request asked for it
  bool replyBeforeBody = false;  // answer as soon as the header arrived, without reading the body
  int delayMs = 0;             // wait before the reply
  int dripMs = 0;              // wait between two bytes of the reply
  size_t closeAfter = SIZE_MAX;  // bytes sent before the connection is closed
  bool keepOpen = false;       // read a further request on the same connection

  // A complete reply with Content-Length (and Connection: close unless keepOpen).
  static FakeReply Ok(const std::string& body, const std::string& contentType = "text/xml; charset=utf-8",
                      int status = 200, const std::string& extraHeaders = "");
  // The body in chunks of the given sizes (the rest in one last chunk), a size line extension on the
  // first one when given.
  static FakeReply Chunked(const std::string& body, std::vector<size_t> sizes, const std::string& extension = "");
  // The body gzip-compressed (with a file name in its header when given), or deflate (zlib-wrapped
  // or raw).
  static FakeReply Gzip(const std::string& body, const std::string& fileName = "");
  static FakeReply Deflate(const std::string& body, bool bZlibWrapped);
  // Raw bytes.
  static FakeReply Raw(const std::string& bytes);
};

struct FakeRequest {
  std::string method, path;
  std::string header;  // the header block as received, blank line included
  std::string body;    // the body by its Content-Length
  uint32_t connection = 0;  // which accepted connection carried it (1, 2, ...)
  int64_t atMs = 0;         // when it was complete (steady clock, ms)

  // The value of a header line (first occurrence, name without case), "" when absent.
  std::string Header(const std::string& name) const;
  std::string Raw() const { return header + body; }
};

class FakeCarrierServer {
 public:
  FakeCarrierServer() = default;
  FakeCarrierServer(const FakeCarrierServer&) = delete;
  FakeCarrierServer& operator=(const FakeCarrierServer&) = delete;
  ~FakeCarrierServer();

  // Listens on 127.0.0.1 (port 0: any free port). False when it cannot.
  bool Start(uint16_t port = 0);
  void Stop();
  uint16_t port() const { return port_; }

  void Script(const std::string& method, const std::string& path, std::vector<FakeReply> replies);
  void Clear();  // scripts and recorded requests

  std::vector<FakeRequest> Requests() const;
  size_t RequestCount() const;
  // Waits until at least n requests were recorded (up to timeoutMs). True when they were.
  bool WaitForRequests(size_t n, int timeoutMs) const;
  uint32_t Connections() const;

 private:
  void AcceptLoop();
  void Serve(int fd, uint32_t connection);
  FakeReply Next(const std::string& method, const std::string& path);

  int listen_ = -1;
  uint16_t port_ = 0;
  bool stopping_ = false;
  std::thread acceptor_;
  std::vector<std::thread> workers_;
  std::vector<int> open_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<std::string, std::vector<FakeReply>> scripts_;
  std::map<std::string, size_t> used_;
  std::vector<FakeRequest> requests_;
  uint32_t connections_ = 0;
};

// Decoding aids: URL-decoding of a form field ("order=..."), the text of the first element `name`
// of an XML text (XML entities decoded once), and of an attribute of the first element that has it.
// The steady clock in milliseconds, for the tests' time bounds.
int64_t NowMs();

std::string FormField(const std::string& body, const std::string& name);
std::string XmlText(const std::string& xml, const std::string& name);
std::string XmlAttribute(const std::string& xml, const std::string& element, const std::string& attribute);
std::string XmlUnescape(const std::string& text);

// One POST to 127.0.0.1:port on a connection of its own, waiting up to waitMs for the whole reply
// (the end-to-end test client gives up after 30 s, a carrier's time-out is as long); the reply's
// body, "" when there was none.
std::string PostAndWait(uint16_t port, const std::string& target, const std::string& body, int waitMs = 60000);

}  // namespace twtest
