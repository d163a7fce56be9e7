#include "tests/testclient/fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace twtest {

namespace {

int BindLoopback(uint16_t* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -1;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

FakeHttpServer::~FakeHttpServer() {
  Release();
  if (stopPipe_[1] >= 0) {
    char c = 'x';
    (void)!::write(stopPipe_[1], &c, 1);
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1]}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool FakeHttpServer::Start(std::string reply, bool hold) {
  reply_ = std::move(reply);
  held_ = hold;
  listenFd_ = BindLoopback(&port_);
  if (listenFd_ < 0 || ::listen(listenFd_, 8) != 0 || ::pipe(stopPipe_) != 0) {
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void FakeHttpServer::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = false;
  changed_.notify_all();
}

std::vector<std::string> FakeHttpServer::Requests(size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(2), [&] { return requests_.size() >= count; });
  return requests_;
}

void FakeHttpServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      return;
    }
    if (fds[1].revents != 0) {
      return;
    }
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      Answer(fd);
      ::close(fd);
    }
  }
}

void FakeHttpServer::Answer(int fd) {
  std::string got;
  size_t wanted = std::string::npos;
  char buf[4096];
  while (wanted == std::string::npos || got.size() < wanted) {
    pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) <= 0) {
      break;
    }
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) {
      break;
    }
    got.append(buf, static_cast<size_t>(n));
    size_t end = got.find("\r\n\r\n");
    if (wanted == std::string::npos && end != std::string::npos) {
      size_t at = got.find("Content-Length: ");
      size_t length = at != std::string::npos && at < end ? std::strtoul(got.c_str() + at + 16, nullptr, 10) : 0;
      wanted = end + 4 + length;
    }
  }
  {
    std::unique_lock<std::mutex> lock(mutex_);
    requests_.push_back(got);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
  }
  size_t done = 0;
  while (done < reply_.size()) {
    ssize_t n = ::send(fd, reply_.data() + done, reply_.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      break;
    }
    done += static_cast<size_t>(n);
  }
}

RefusedPort::RefusedPort() { fd_ = BindLoopback(&port_); }

RefusedPort::~RefusedPort() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

}  // namespace twtest
