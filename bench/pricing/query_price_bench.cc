// "QueryPrice" over HTTP: signed DoApp requests for one kind to one destination, from 64 keep-alive
// connections (wrk), against a tarnwick-host with the reference-data container on and the client's
// key cached. Each request checks the signature, logs, takes a pool slot and runs the place call, the
// kind statement and the client price procedure. Prints requests per second and the p99 latency.
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD) and wrk.
//
//   query_price_bench [seconds]

#include <unistd.h>

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
constexpr int kThreads = 8;
constexpr int kClient = 929001;
constexpr char kKey[] = "QpBenchKey01";

// Runs wrk and prints its requests per second and p99 latency.
void Wrk(const std::string& url, int seconds, const std::string& script) {
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd, "wrk -t%d -c%d -d%ds --latency -s %s %s 2>&1", kThreads, kConnections, seconds,
                script.c_str(), url.c_str());
  FILE* p = popen(cmd, "r");
  if (p == nullptr) {
    return;
  }
  double rps = 0;
  char p99[64] = "?";
  char line[512];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::sscanf(line, "Requests/sec: %lf", &rps);
    std::sscanf(line, " 99%% %63s", p99);
    if (std::strstr(line, "Non-2xx") != nullptr || std::strstr(line, "Socket errors") != nullptr) {
      std::printf("  %s", line);
    }
  }
  pclose(p);
  std::printf("  QueryPrice one kind: %.0f requests/s, p99 %s (%d connections, %d s)\n", rps, p99, kConnections,
              seconds);
}

std::string WriteScript(const std::string& body) {
  const std::string path = "/tmp/tarnwick-qp-bench-" + std::to_string(getpid()) + ".lua";
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
  std::fprintf(f,
               "wrk.method = \"POST\"\nwrk.body = \"%s\"\nwrk.headers[\"Content-Type\"] = \"application/json\"\n",
               escaped.c_str());
  std::fclose(f);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "query_price_bench needs wrk\n");
    return 1;
  }
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "query_price_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  twtest::TestDb db;
  for (const char* sql : {
           "DELETE FROM dbo.sys_place WHERE iid = 929001",
           "DELETE FROM dbo.ems_price WHERE cemskind = 'QPBN'",
           "DELETE FROM dbo.ems_area WHERE cemskind = 'QPBN'",
           "DELETE FROM dbo.ems_kind WHERE cemskind = 'QPBN'",
           "DELETE FROM dbo.client_discount WHERE icid = 929001",
           "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES (929001, 'QPBN', 'QP基准港', '', 240)",
           "INSERT INTO dbo.ems_kind (cemskind, cemskindd, b1price, faddons, fcustoms) VALUES ('QPBN', 'QP基准', 1, "
           "12.5, 20)",
           "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype, ccode, cmemo) VALUES ('QPBN', 'QP基准港', 5, 1, "
           "'3,6', '基准')",
           "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
           "itopprice) VALUES ('QPBN', 5, 1, 0, 500, 0, 0, 0, 16000), ('QPBN', 5, 1, 500, 30000, 500, 2, 4500, 16000)",
           "INSERT INTO dbo.client_arc (icid, capikey) VALUES (929001, 'QpBenchKey01') ON CONFLICT (icid) DO UPDATE "
           "SET capikey = 'QpBenchKey01'",
           "INSERT INTO dbo.client_discount (icid, cemskind, vdiscount) VALUES (929001, 'QPBN', "
           "'\\x5a5a5a5a00000000'::bytea)",
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
  const long long stamp = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string signed_ = std::to_string(kClient) + std::to_string(stamp) + kKey;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(signed_.data(), signed_.size(), md5);
  const std::string body = twtest::GbkToUtf8Text(
      "{\"RequestName\":\"QueryPrice\",\"icID\":" + std::to_string(kClient) + ",\"TimeStamp\":" +
      std::to_string(stamp) + ",\"MD5\":\"" + md5 +
      "\",\"cqDes\":\"QP基准港\",\"cqEmsKind\":\"QPBN\",\"fqWeight\":2.35,\"fqLong\":30,\"fqWidth\":20,"
      "\"fqHeight\":15,\"nqItemType\":1}");
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?DoApp";
  {
    twtest::HttpClient check(host.port());
    const std::string reply = check.Post("/cgi-bin/Tarnwick.dll?DoApp", body).body;
    std::printf("one answer (%zu bytes): %.120s...\n", reply.size(), reply.c_str());
    if (reply.rfind("{\"ReturnValue\":1,", 0) != 0) {
      std::fprintf(stderr, "the request is not priced\n");
      host.Stop();
      return 1;
    }
  }
  const std::string script = WriteScript(body);
  Wrk(url, seconds, script);
  std::remove(script.c_str());
  host.Stop();
  return 0;
}
