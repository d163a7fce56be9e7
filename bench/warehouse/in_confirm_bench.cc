// Signed "pdawInConfirm" through tarnwick-host at 16 keep-alive connections, each confirming goods-in
// notices of its own (checked, 3 pieces each) in one depot, so every request stores goods: the
// notice's row lock, the placement's stock counter (shared by all), the handover check and four fee
// rows. Prints confirms per second and the latency percentiles of one confirm, and checks that the
// stock counter grew by exactly what was confirmed.
//
// First it prints the database's durability (fsync, synchronous_commit, full_page_writes).
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE); tools/bench-db.sh runs it
// on a throw-away one with the settings chosen.
//
//   in_confirm_bench [notices per connection]

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/db_settings.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

constexpr int kConnections = 16;

// Milliseconds of the monotonic clock (<chrono> does not build with the GBK execution character set).
double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}
constexpr char kPda[] = "WBPDA";
// The PDA signing key the end-to-end tests use too (the dictionary has one).
constexpr char kKey[] = "E2ePdaKey77";

bool Seed(twtest::TestDb& db, int notices) {
  for (const std::string& sql : std::vector<std::string>{
           "DELETE FROM dbo.w_operate_log WHERE irefid IN (SELECT iid FROM dbo.w_g_in WHERE cdepot = 'WB1')",
           "DELETE FROM dbo.w_g_in WHERE cdepot = 'WB1'",
           "DELETE FROM dbo.w_goods_depot WHERE cdepot = 'WB1'",
           "DELETE FROM dbo.w_goods_define WHERE giid = 990301",
           "DELETE FROM dbo.w_depot WHERE cdepot = 'WB1'",
           "DELETE FROM dbo.w_operate_define WHERE cdepot = 'WB1'",
           "DELETE FROM dbo.w_depot_role WHERE cdepot = 'WB1'",
           "DELETE FROM dbo.sys_dict WHERE dcname = '77'",
           "DELETE FROM dbo.man_main WHERE cpda = 'WBPDA'",
           std::string("INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('77', '") + kKey + "')",
           "INSERT INTO dbo.man_main (cpda, mcname) VALUES ('WBPDA', 'Bench')",
           "INSERT INTO dbo.w_depot (cdepot) VALUES ('WB1')",
           "INSERT INTO dbo.w_operate_define (cdepot, ntype, iseconds, fwage) VALUES ('WB1', 2, 10, 0.5), ('WB1', 3, "
           "20, 1.25), ('WB1', 4, 30, 1), ('WB1', 5, 5, 0.1)",
           "INSERT INTO dbo.w_depot_role (cname, cdepot, nrights, cpassword) VALUES ('Keeper', 'WB1', 1, 'Secret')",
           "INSERT INTO dbo.w_goods_define (giid, icid, cgcode, cname) VALUES (990301, 990301, 'WBG1', 'Bench goods')",
           "INSERT INTO dbo.w_goods_depot (giid, icid, cdepot, cshelfb, cmoney) VALUES (990301, 990301, 'WB1', 'A01', "
           "'AUD')",
           "INSERT INTO dbo.w_g_in (crno, cdepot, giid, icid, nstate, iquantity, inormal, idefective) SELECT 'WBN' || "
           "g, 'WB1', 990301, 990301, 30, 3, 2, 1 FROM generate_series(1, " + std::to_string(notices) + ") AS g",
           "ANALYZE dbo.w_g_in",
       }) {
    if (!db.Exec(sql)) {
      std::fprintf(stderr, "seed: %s\n%s\n", db.error().c_str(), sql.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int perConnection = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "no test database configured\n");
    return 2;
  }
  twtest::TestDb db;
  if (!db.ok() || !Seed(db, perConnection * kConnections)) return 1;
  std::printf("%s\n", twbench::DurabilityLine(db).c_str());

  twtest::TestHost host;
  twtest::HostConfig config;
  config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n";
  if (!host.Start(config)) {
    std::fprintf(stderr, "host: %s\n", host.error().c_str());
    return 1;
  }
  twtest::HttpClient clock(host.port());
  long long stamp = 0;
  std::sscanf(clock.Post("/cgi-bin/Tarnwick.dll?DoPda", "{\"RequestName\":\"TimeStamp\"}").body.c_str(),
              "{\"ReturnValue\":%lld}", &stamp);
  const std::string head = std::string("{\"RequestName\":\"pdawInConfirm\",\"cUserPid\":\"") + kPda +
                           "\",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" +
                           twtest::RequestSignature(kPda, stamp, kKey) +
                           "\",\"cDepot\":\"WB1\",\"iNormal\":2,\"iDefective\":1,\"cConfirm\":\"Keeper\","
                           "\"cPassword\":\"Secret\",\"cRNo\":\"WBN";

  std::vector<std::vector<double>> latencies(kConnections);
  std::vector<int> failures(kConnections, 0);
  const double start = NowMs();
  std::vector<std::thread> threads;
  for (int c = 0; c < kConnections; ++c) {
    threads.emplace_back([&, c] {
      twtest::HttpClient http(host.port());
      for (int i = 0; i < perConnection; ++i) {
        const int notice = c * perConnection + i + 1;
        const std::string body = head + std::to_string(notice) + "\"}";
        const double t0 = NowMs();
        const twtest::HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoPda", body);
        const double t1 = NowMs();
        latencies[c].push_back(t1 - t0);
        if (r.status != 200 || r.body.rfind("{\"ReturnValue\":1,", 0) != 0) ++failures[c];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  const double seconds = (NowMs() - start) / 1000.0;

  std::vector<double> all;
  int failed = 0;
  for (int c = 0; c < kConnections; ++c) {
    all.insert(all.end(), latencies[c].begin(), latencies[c].end());
    failed += failures[c];
  }
  std::sort(all.begin(), all.end());
  auto pct = [&](double p) { return all[std::min(all.size() - 1, static_cast<size_t>(p * all.size()))]; };
  const std::string stock = db.Scalar("SELECT iin FROM dbo.w_goods_depot WHERE cdepot = 'WB1'");
  std::printf("pdawInConfirm: %zu confirms at %d connections in %.2f s: %.0f per second; latency p50 %.2f ms, "
              "p90 %.2f ms, p99 %.2f ms, max %.2f ms; %d refused; stock %s (expected %zu)\n",
              all.size(), kConnections, seconds, all.size() / seconds, pct(0.50), pct(0.90), pct(0.99), all.back(),
              failed, stock.c_str(), (all.size() - failed) * 3);
  host.Stop();
  return failed == 0 && stock == std::to_string(all.size() * 3) ? 0 : 1;
}
