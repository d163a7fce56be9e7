// The HTTP path against a bare libmicrohttpd server, same machine, same run, 64 keep-alive
// connections (wrk):
//   about   tarnwick-host serving the about page
//   doapp   signed DoApp requests: cached key, a name not in the table, so the whole check, both log
//           lines and the body log (needs the test database: PGHOST, PGPORT, PGUSER, PGPASSWORD)
// Prints requests per second of each and the ratio to the bare server.
//
//   http_bench [about|doapp|all] [seconds]

#include <microhttpd.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 64;
// The bare server answers GET with the bytes of the host's about page (same bytes on the wire) and
// POST with the door's refusal {"ReturnValue":-4}.
std::string g_bareGetBody;
constexpr char kBarePostBody[] = "{\"ReturnValue\":-4}";

MHD_Result Bare(void*, MHD_Connection* c, const char*, const char* method, const char*, const char*,
                size_t* uploadSize, void** conCls) {
  if (*conCls == nullptr) {
    *conCls = c;
    return MHD_YES;
  }
  if (*uploadSize > 0) {
    *uploadSize = 0;
    return MHD_YES;
  }
  const bool get = std::strcmp(method, "GET") == 0;
  MHD_Response* r =
      get ? MHD_create_response_from_buffer(g_bareGetBody.size(), g_bareGetBody.data(), MHD_RESPMEM_PERSISTENT)
          : MHD_create_response_from_buffer(sizeof kBarePostBody - 1, const_cast<char*>(kBarePostBody),
                                            MHD_RESPMEM_PERSISTENT);
  MHD_add_response_header(r, "Content-Type", get ? "text/html" : "application/json");
  MHD_Result rc = MHD_queue_response(c, 200, r);
  MHD_destroy_response(r);
  return rc;
}

// Runs wrk against url and returns its requests per second.
double Wrk(const std::string& url, int seconds, const std::string& script) {
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "wrk -t8 -c%d -d%ds --latency %s %s 2>&1", kConnections, seconds,
                script.empty() ? "" : ("-s " + script).c_str(), url.c_str());
  FILE* p = popen(cmd, "r");
  if (p == nullptr) return 0;
  double rps = 0;
  char line[512];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::sscanf(line, "Requests/sec: %lf", &rps);
    if (std::strstr(line, "99%") != nullptr) std::printf("    p99 %s", std::strstr(line, "99%") + 3);
  }
  pclose(p);
  return rps;
}

std::string WriteScript(const std::string& body) {
  std::string path = "/tmp/tarnwick-bench-" + std::to_string(getpid()) + ".lua";
  FILE* f = std::fopen(path.c_str(), "w");
  std::string escaped;
  for (char c : body) {
    if (c == '"' || c == '\\') escaped.push_back('\\');
    escaped.push_back(c);
  }
  std::fprintf(f, "wrk.method = \"POST\"\nwrk.body = \"%s\"\nwrk.headers[\"Content-Type\"] = \"application/json\"\n",
               escaped.c_str());
  std::fclose(f);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "all";
  int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "http_bench needs wrk\n");
    return 1;
  }

  twtest::HostConfig config;
  config.iniText = "IP=127.0.0.1\r\n";
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }
  std::string hostUrl = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll";
  {
    twtest::HttpClient about(host.port());
    g_bareGetBody = about.Get("/cgi-bin/Tarnwick.dll").body;
  }

  // The bare server, thread per connection like the host.
  uint16_t barePort = 18990;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(barePort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  MHD_Daemon* bare = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION, 0, nullptr,
                                      nullptr, &Bare, nullptr, MHD_OPTION_SOCK_ADDR, &addr, MHD_OPTION_END);
  if (bare == nullptr) {
    std::fprintf(stderr, "cannot start the bare server\n");
    return 1;
  }
  std::string bareUrl = "http://127.0.0.1:" + std::to_string(barePort) + "/cgi-bin/Tarnwick.dll";

  std::printf("bare libmicrohttpd, %d connections, %d s:\n", kConnections, seconds);
  double bareRps = Wrk(bareUrl, seconds, "");
  std::printf("  GET  %.0f requests/s (%zu bytes)\n", bareRps, g_bareGetBody.size());

  if (mode == "about" || mode == "all") {
    std::printf("tarnwick-host, about page:\n");
    double rps = Wrk(hostUrl, seconds, "");
    std::printf("  GET  %.0f requests/s, ratio %.2f (target 0.8)\n", rps, rps / bareRps);
  }
  if ((mode == "doapp" || mode == "all") && twtest::DatabaseConfigured()) {
    twtest::TestDb db;
    db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (990001, 'BenchKey0001') ON CONFLICT (icid) DO "
            "UPDATE SET capikey = 'BenchKey0001'");
    long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
    std::string text = "990001" + std::to_string(ts) + "BenchKey0001";
    char md5[tw::kMd5HexSize];
    tw::MD5Hex(text.data(), text.size(), md5);
    std::string body = "{\"RequestName\":\"BenchNope\",\"icID\":990001,\"TimeStamp\":" + std::to_string(ts) +
                       ",\"MD5\":\"" + md5 + "\"}";
    twtest::HttpClient check(host.port());
    std::printf("tarnwick-host, signed DoApp (%s):\n", check.Post("/cgi-bin/Tarnwick.dll?DoApp", body).body.c_str());
    std::string script = WriteScript(body);
    double barePost = Wrk(bareUrl, seconds, script);
    double rps = Wrk(hostUrl + "?DoApp", seconds, script);
    std::printf("  POST %.0f requests/s, bare POST %.0f, ratio %.2f (target 0.5)\n", rps, barePost, rps / barePost);
    std::remove(script.c_str());
  }
  host.Stop();
  MHD_stop_daemon(bare);
  return 0;
}
