#pragma once
// A loopback HTTP server for the test client's tests: it accepts connections on 127.0.0.1, reads
// each request (the header up to its empty line and the body its Content-Length announces), keeps
// the bytes, answers with a fixed reply and closes. Replies can be held back until Release().
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twtest {

class FakeHttpServer {
 public:
  FakeHttpServer() = default;
  FakeHttpServer(const FakeHttpServer&) = delete;
  FakeHttpServer& operator=(const FakeHttpServer&) = delete;
  ~FakeHttpServer();

  // Starts serving `reply` (the exact bytes sent back, status line included). With hold, every
  // reply waits for Release(). False when no loopback port could be had.
  bool Start(std::string reply, bool hold = false);
  void Release();
  uint16_t port() const { return port_; }
  // The requests received so far, each as its bytes; waits up to two seconds for `count` of them.
  std::vector<std::string> Requests(size_t count = 1);

 private:
  void Serve();
  void Answer(int fd);

  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::string reply_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  std::vector<std::string> requests_;
};

// A loopback port where nothing listens (a bound socket that never listens refuses connections);
// the port stays refused for the life of the object.
class RefusedPort {
 public:
  RefusedPort();
  ~RefusedPort();
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace twtest
