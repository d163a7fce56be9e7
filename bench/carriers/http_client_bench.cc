// GETs of a 100 KB body from the fake carrier server on 127.0.0.1 over one kept-alive connection, one
// thread: HttpExecute, then libcurl doing the same in the same run. Prints requests per second of
// each and their ratio.
//
// Usage: carriers_http_bench [requests]   (default 3000 each)

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "carriers/http_client.h"
#include "tests/support/fake_carrier.h"

namespace {

double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

size_t Collect(char* data, size_t size, size_t n, void* user) {
  static_cast<std::string*>(user)->append(data, size * n);
  return size * n;
}

}  // namespace

int main(int argc, char** argv) {
  const int requests = argc > 1 ? std::atoi(argv[1]) : 3000;
  std::string body(100 * 1024, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 26);
  twtest::FakeCarrierServer server;
  if (!server.Start()) {
    std::fprintf(stderr, "cannot listen\n");
    return 1;
  }
  twtest::FakeReply reply = twtest::FakeReply::Ok(body, "application/pdf");
  reply.keepOpen = true;
  server.Script("GET", "/label.pdf", {reply});

  // HttpExecute on keep-alive: the header into its own area, the body into a 384000-byte buffer, as
  // the label fetches do.
  std::vector<char> work(384000), header(32000);
  HttpRequest r;
  r.host = "127.0.0.1";
  r.port = server.port();
  r.path = "/label.pdf";
  r.work = work.data();
  r.workSize = static_cast<int32_t>(work.size());
  r.headerBuffer = header.data();
  r.headerRoom = static_cast<int32_t>(header.size());
  r.SetKeepAlive(60000);
  double t0 = NowSeconds();
  for (int i = 0; i < requests; ++i) {
    if (HttpExecute(r) != static_cast<int>(body.size())) {
      std::fprintf(stderr, "HttpExecute failed at request %d\n", i);
      return 1;
    }
  }
  const double ours = requests / (NowSeconds() - t0);
  r.CloseConnection();

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/label.pdf";
  std::string got;
  got.reserve(body.size());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &got);
  t0 = NowSeconds();
  for (int i = 0; i < requests; ++i) {
    got.clear();
    if (curl_easy_perform(curl) != CURLE_OK || got.size() != body.size()) {
      std::fprintf(stderr, "libcurl failed at request %d\n", i);
      return 1;
    }
  }
  const double theirs = requests / (NowSeconds() - t0);
  curl_easy_cleanup(curl);
  curl_global_cleanup();

  std::printf("HttpExecute GET 100 KB keep-alive: %.0f requests/s (%u connections)\n", ours, 1u);
  std::printf("libcurl     GET 100 KB keep-alive: %.0f requests/s\n", theirs);
  std::printf("ratio HttpExecute / libcurl: %.2f\n", ours / theirs);
  std::printf("connections accepted by the server: %u\n", server.Connections());
  server.Stop();
  return 0;
}
