// A PDA lookup over HTTP: signed DoPda "pdaSpInfo" requests for one supplier from 64 keep-alive
// connections (wrk), beside the door's bare signed path in the same run ("pdaRecExcept": the same
// signature check, user cache and request log, then the empty handler). The lookup adds a pool slot,
// one statement and the reply. Prints requests per second and p99 of both and their ratio.
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD) and wrk.
//
//   pda_lookup_bench [seconds]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

constexpr int kConnections = 64;
constexpr int kThreads = 8;
constexpr char kPda[] = "PDABENCH1";
constexpr char kKey[] = "PdaBenchKey1";

struct WrkResult {
  double rps = 0;
  char p99[64] = "?";
};

WrkResult Wrk(const std::string& url, int seconds, const std::string& script) {
  WrkResult r;
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "wrk -t%d -c%d -d%ds --latency -s %s %s 2>&1", kThreads, kConnections, seconds,
                script.c_str(), url.c_str());
  FILE* p = popen(cmd, "r");
  if (p == nullptr) {
    return r;
  }
  char line[512];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::sscanf(line, "Requests/sec: %lf", &r.rps);
    std::sscanf(line, " 99%% %63s", r.p99);
    if (std::strstr(line, "Non-2xx") != nullptr || std::strstr(line, "Socket errors") != nullptr) {
      std::printf("  %s", line);
    }
  }
  pclose(p);
  return r;
}

std::string WriteScript(const std::string& name, const std::string& body) {
  const std::string path = "/tmp/tarnwick-pda-bench-" + name + "-" + std::to_string(getpid()) + ".lua";
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    return path;
  }
  std::string escaped;
  for (char c : body) {
    if (c == '"' || c == '\\') {
      escaped.push_back('\\');
    }
    escaped.push_back(c);
  }
  std::fprintf(f, "wrk.method = \"POST\"\nwrk.body = \"%s\"\nwrk.headers[\"Content-Type\"] = \"application/json\"\n",
               escaped.c_str());
  std::fclose(f);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "pda_lookup_bench needs wrk\n");
    return 1;
  }
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "pda_lookup_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  twtest::TestDb db;
  for (const char* sql : {
           "DELETE FROM dbo.sys_dict WHERE dcname = '77'",
           "INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('77', 'PdaBenchKey1')",
           "DELETE FROM dbo.man_main WHERE cpda = 'PDABENCH1'",
           "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PDABENCH1', 'Bench Op', 'SZX')",
           "DELETE FROM dbo.sp_arc WHERE isid = 939001",
           "INSERT INTO dbo.sp_arc (isid, cname, nbatch, nstate) VALUES (939001, '基准供应商', 12, 0)",
       }) {
    if (!db.Exec(sql)) {
      std::fprintf(stderr, "%s: %s\n", sql, db.error().c_str());
      return 1;
    }
  }
  twtest::HostConfig config;
  config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n";
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }
  twtest::HttpClient http(host.port());
  long long stamp = 0;
  std::sscanf(http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}").body.c_str(),
              "{\"ReturnValue\":%lld}", &stamp);
  auto request = [&](const std::string& name, const std::string& more) {
    return "{\"RequestName\":\"" + name + "\",\"cUserPid\":\"" + kPda + "\",\"TimeStamp\":" + std::to_string(stamp) +
           ",\"MD5\":\"" + twtest::RequestSignature(kPda, stamp, kKey) + "\"" + more + "}";
  };
  const std::string bare = request("pdaRecExcept", "");
  const std::string lookup = request("pdaSpInfo", ",\"iqsID\":939001");
  const std::string reply = http.Post("/cgi-bin/Tarnwick.dll?DoPda", lookup).body;
  std::printf("one answer (%zu bytes): %.160s\n", reply.size(), reply.c_str());
  if (reply.rfind("{\"ReturnValue\":1,", 0) != 0 || !http.Post("/cgi-bin/Tarnwick.dll?DoPda", bare).body.empty()) {
    std::fprintf(stderr, "the requests are not answered as expected\n");
    host.Stop();
    return 1;
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?DoPda";
  const std::string bareScript = WriteScript("bare", bare);
  const std::string lookupScript = WriteScript("lookup", lookup);
  const WrkResult b = Wrk(url, seconds, bareScript);
  const WrkResult l = Wrk(url, seconds, lookupScript);
  std::remove(bareScript.c_str());
  std::remove(lookupScript.c_str());
  std::printf("  bare signed DoPda (pdaRecExcept): %.0f requests/s, p99 %s (%d connections, %d s)\n", b.rps, b.p99,
              kConnections, seconds);
  std::printf("  pdaSpInfo one supplier:           %.0f requests/s, p99 %s\n", l.rps, l.p99);
  std::printf("  lookup / bare: %.2f\n", b.rps > 0 ? l.rps / b.rps : 0.0);
  host.Stop();
  return 0;
}
