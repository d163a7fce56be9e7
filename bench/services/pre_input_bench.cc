// Signed "PreInputData" (one pre-input shipment with three goods lines) through tarnwick-host at 64
// client connections against pgbench running the handler's two SELECT statements prepared
// (-M prepared) at the pool's 50 connections on the same PostgreSQL, in the same run. Prints the
// rate of each, their ratio (target 0.7) and the host's latency percentiles from wrk (target: p99
// under 10 ms).
//
// Beside them, what one request costs each program in CPU time (host, database server, load
// generator), and a third run: pgbench sending what the host sends (the two statements with their
// values as parameters, in one pipelined round trip, client_encoding GBK) at the rate the host
// reached, so the database server's cost per request can be compared at the same rate.
//
// After the host's run, its about page (the pool's counts at the end of the load).
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE), wrk and pgbench.
//
//   pre_input_bench [seconds] [host threads] [unix|tcp]
//
// With host threads > 0 the host serves from a pool of that many threads (--threads) instead of a
// thread per connection. The pool and pgbench reach the database through its Unix socket, as
// run.sh's pool does (the folder TARNWICK_PGDATA names, which tools/bench-db.sh exports), or with
// "tcp" through PGHOST over TCP.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/support/cpu_use.h"
#include "bench/support/wrk.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 64;
constexpr int kPoolConnections = 50;
constexpr int kThreads = 8;
constexpr int kClient = 990101;
constexpr int kRecord = 990101;
constexpr char kKey[] = "BenchKey0101";
constexpr char kPgBench[] = "/usr/lib/postgresql/15/bin/pgbench";

// The two statements of the handler, as it sends them for this record.
constexpr char kRecordSql[] =
    "SELECT iid,irid,nitemtype,cemskind,cdes,fweight,cunitname,caddr,ccity,cpostcode,cprovince,ccountry,"
    "creceiver,cphone,nstate,cmemo,npayway,csender,clwh,iitem,fgoods,fgoodsc,cgoods,iquantity,iprice,cpacking,"
    "ctransnote,idvalue,iivalue,cmoney,csunitname,csaddr,csphone,cspostcode,cscountry,csprovince,cscity,"
    "nlanguage,cpaydir,famount,crefer,csmsnumber,csemail,cremail,crsms,cmark,cdepart,cno,crno,ccno,creserve,"
    "ireserve,cunit,cby1,cby2,cby3,cby4,cby5,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate,cnum,caddrfrom,"
    "corigin,cemskindc,cemskindw,faget,fasafe,fapack,faother,facheck,faremote,faby FROM dorvane.dbo.rec_pre_input "
    "WHERE icid=990101 AND iid=990101;";
constexpr char kGoodsSql[] =
    "SELECT cgoods,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate FROM "
    "dorvane.dbo.rec_pre_input_goods WHERE iid=990101 ORDER BY wpos;";

std::string TempPath(const char* suffix) { return "/tmp/tarnwick-bench-" + std::to_string(getpid()) + suffix; }

bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  std::fputs(text.c_str(), f);
  return std::fclose(f) == 0;
}

bool PrepareRows(twtest::TestDb& db) {
  const char* statements[] = {
      "INSERT INTO dbo.client_arc (icid, capikey) VALUES (990101, 'BenchKey0101') ON CONFLICT (icid) DO UPDATE SET "
      "capikey = EXCLUDED.capikey",
      "DELETE FROM dbo.rec_pre_input_goods WHERE iid = 990101",
      "DELETE FROM dbo.rec_pre_input WHERE iid = 990101",
      "INSERT INTO dbo.rec_pre_input (iid, icid, cemskind, cdes, fweight, famount, cunitname, caddr, ccity, "
      "cpostcode, ccountry, creceiver, cphone, cnum, csender, clwh, cgoods, iquantity, iprice, cmoney, idvalue, "
      "csunitname, csaddr, csphone, cscity, creserve, cgoodsa, cgcodea, fgcustom, fgcrate) VALUES (990101, 990101, "
      "'EMS', '美国', 2.35, 268, 'Acme Imports LLC', '1200 Market St, Suite 400', 'San Francisco', '94102', "
      "'United States', 'John Carter', '+1 415 555 0134', 'TWBENCH000001', '李明', '30*20*15', '丝绸围巾', 1, 8800, "
      "'USD', 17600, '深圳示例贸易有限公司', '深圳市南山区科技园南路 88 号', '0755-86001234', '深圳', 'R2026', "
      "'Silk scarf', '6214.40', 176, 0.13)",
      "INSERT INTO dbo.rec_pre_input_goods (iid, wpos, cgoods, iquantity, fprice, cgoodsa, cgcodea, fgcustom, fgcrate) "
      "VALUES (990101, 0, '丝绸围巾', 2, 38, 'Silk scarf', '6214.40', 76, 0.13), (990101, 1, '陶瓷茶杯', 4, 15.5, "
      "'Ceramic cup', '6912.00', 62, 0.1), (990101, 2, '竹制筷子', 5, 7.6, 'Bamboo chopsticks', '4419.90', 38, 0.08)",

      // Compact tables and fresh statistics, so that the plans do not depend on what other benchmarks
      // left behind (a goods table emptied by one is read whole instead of through its index).
      "VACUUM FULL ANALYZE dbo.rec_pre_input, dbo.rec_pre_input_goods",
  };
  for (const char* sql : statements) {
    if (!db.Exec(sql)) {
      std::fprintf(stderr, "cannot prepare the rows: %s\n", db.error().c_str());
      return false;
    }
  }
  return true;
}

// wrk at the benchmark's threads and connections.
twbench::WrkFigures RunWrk(const std::string& url, const std::string& script, int seconds) {
  twbench::WrkFigures f;
  twbench::RunWrk(url, script, kThreads, kConnections, seconds, f);
  return f;
}

// pgbench with the pool's 50 connections over the script's statements, prepared: transactions per
// second and the average latency of one transaction. `prefix`: environment for pgbench
// ("PGCLIENTENCODING=GBK "); `options`: further pgbench options ("-R 40000").
twbench::WrkFigures RunPgBench(const std::string& script, int seconds, const std::string& prefix = "",
                               const std::string& options = "") {
  twbench::WrkFigures f;
  const std::string cmd = prefix + kPgBench + " -n -M prepared -c " + std::to_string(kPoolConnections) + " -j " +
                          std::to_string(kThreads) + " -T " + std::to_string(seconds) + " " + options + " -f " +
                          script + " 2>&1";
  twbench::RunLines(cmd, [&](const char* text) {
    char value[32];
    std::sscanf(text, "tps = %lf", &f.rps);
    std::sscanf(text, "number of transactions actually processed: %lld", &f.requests);
    if (std::sscanf(text, "latency average = %31s", value) == 1) f.p50 = std::string(value) + "ms (average)";
  });
  return f;
}

// What one request cost each program, in microseconds of CPU time.
void PrintCpu(const char* load, const twbench::CpuUse& use, long long requests) {
  if (requests <= 0) return;
  const double perRequest = 1e6 / static_cast<double>(requests);
  std::printf("      CPU per request: ");
  if (use.host > 0) std::printf("host %.1f us, ", use.host * perRequest);
  std::printf("database server %.1f us, %s %.1f us\n", use.database * perRequest, load, use.load * perRequest);
}

// The about page as text: its tags dropped, one line per table row.
std::string AboutText(const std::string& html) {
  std::string out, line;
  bool inTag = false;
  for (size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (html.compare(i, 6, "<style") == 0) {
      const size_t end = html.find("</style>", i);
      if (end == std::string::npos) break;
      i = end + 7;
      continue;
    }
    if (html.compare(i, 6, "&nbsp;") == 0) {
      i += 5;
      continue;
    }
    if (c == '<') {
      inTag = true;
      if (html.compare(i, 4, "</tr") == 0 || html.compare(i, 4, "</TR") == 0) {
        if (line.find_first_not_of(" ") != std::string::npos) out += "    " + line + "\n";
        line.clear();
      } else if (html.compare(i, 4, "</td") == 0 && !line.empty()) {
        line += ' ';
      }
    } else if (c == '>') {
      inTag = false;
    } else if (!inTag && c != '\r' && c != '\n') {
      line += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const int hostThreads = argc > 2 ? std::atoi(argv[2]) : 0;
  const std::string socketKind = argc > 3 ? argv[3] : "unix";
  if (socketKind != "unix" && socketKind != "tcp") {
    std::fprintf(stderr, "usage: pre_input_bench [seconds] [host threads] [unix|tcp]\n");
    return 2;
  }
  if (socketKind == "unix") {
    // Before the service file of the host is written and pgbench starts: both read PGHOST.
    const char* folder = std::getenv("TARNWICK_PGDATA");
    if (folder == nullptr || *folder == '\0') {
      std::fprintf(stderr, "pre_input_bench: the Unix socket needs TARNWICK_PGDATA (tools/bench-db.sh sets it); "
                           "or run it with \"tcp\"\n");
      return 1;
    }
    setenv("PGHOST", folder, 1);
  }
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "pre_input_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  if (std::system("command -v wrk >/dev/null") != 0 || access(kPgBench, X_OK) != 0) {
    std::fprintf(stderr, "pre_input_bench needs wrk and %s\n", kPgBench);
    return 1;
  }
  twtest::TestDb db;
  if (!db.ok() || !PrepareRows(db)) return 1;

  twtest::HostConfig config;
  config.iniText = "IP=127.0.0.1\r\n";
  if (hostThreads > 0) config.extraArgs = {"--threads", std::to_string(hostThreads)};
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }

  // One signed request, valid for the whole run (the time window is two hours).
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string text = std::to_string(kClient) + std::to_string(ts) + kKey;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), md5);
  const std::string body = "{\"RequestName\":\"PreInputData\",\"icID\":" + std::to_string(kClient) +
                           ",\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" + md5 + "\",\"iID\":" +
                           std::to_string(kRecord) + "}";
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?DoApp";
  twtest::HttpClient check(host.port());
  const std::string reply = check.Post("/cgi-bin/Tarnwick.dll?DoApp", body).body;
  if (reply.find("\"GoodsList\":[") == std::string::npos) {
    std::fprintf(stderr, "unexpected reply: %s\n", reply.c_str());
    return 1;
  }

  std::string escaped;
  for (char c : body) {
    if (c == '"' || c == '\\') escaped.push_back('\\');
    escaped.push_back(c);
  }
  const std::string wrkScript = TempPath(".lua");
  const std::string pgScript = TempPath(".sql");
  WriteText(wrkScript, "wrk.method = \"POST\"\nwrk.body = \"" + escaped +
                           "\"\nwrk.headers[\"Content-Type\"] = \"application/json\"\n");
  WriteText(pgScript, std::string(kRecordSql) + "\n" + kGoodsSql + "\n");
  // What the host sends: the values as parameters, both statements in one round trip.
  const std::string hostLikeScript = TempPath("-host.sql");
  auto parameterised = [](std::string sql, const std::string& literal, const std::string& marker) {
    for (size_t at = sql.find(literal); at != std::string::npos; at = sql.find(literal, at + marker.size())) {
      sql.replace(at, literal.size(), marker);
    }
    return sql;
  };
  WriteText(hostLikeScript, "\\set id " + std::to_string(kRecord) + "\n\\startpipeline\n" +
                                parameterised(kRecordSql, "=990101", "=:id") + "\n" +
                                parameterised(kGoodsSql, "=990101", "=:id") + "\n\\endpipeline\n");

  const char* pgHost = std::getenv("PGHOST");
  const std::string threading = hostThreads > 0 ? "--threads " + std::to_string(hostThreads) : "thread per connection";
  const std::string database = (socketKind == "unix" ? "the Unix socket in " : "TCP to ") +
                               std::string(pgHost != nullptr ? pgHost : "");
  std::printf("PreInputData, %d connections, %d s each, reply %zu bytes, host %s, database over %s\n", kConnections,
              seconds, reply.size(), threading.c_str(), database.c_str());
  twbench::CpuSampler cpu;
  cpu.Start();
  const twbench::WrkFigures pg = RunPgBench(pgScript, seconds);
  const twbench::CpuUse pgCpu = cpu.Stop();
  std::printf("  pgbench, the two SELECTs prepared, %d connections: %8.0f per second, latency %s\n",
              kPoolConnections, pg.rps, pg.p50.c_str());
  PrintCpu("pgbench", pgCpu, pg.requests);
  cpu.Start();
  const twbench::WrkFigures tw = RunWrk(url, wrkScript, seconds);
  const twbench::CpuUse twCpu = cpu.Stop();
  std::printf("  tarnwick-host, signed, %d connections:          %8.0f per second, latency p50 %s p90 %s p99 %s\n",
              kConnections, tw.rps, tw.p50.c_str(), tw.p90.c_str(), tw.p99.c_str());
  PrintCpu("wrk", twCpu, tw.requests);
  std::printf("  ratio %.2f (target 0.7), p99 target under 10 ms\n", pg.rps > 0 ? tw.rps / pg.rps : 0.0);
  std::printf("  about page after the run:\n%s", AboutText(check.Get("/cgi-bin/Tarnwick.dll").body).c_str());
  if (tw.rps > 0) {
    cpu.Start();
    const twbench::WrkFigures same =
        RunPgBench(hostLikeScript, seconds, "PGCLIENTENCODING=GBK ", "-R " + std::to_string(static_cast<long>(tw.rps)));
    const twbench::CpuUse sameCpu = cpu.Stop();
    std::printf("  pgbench as the host sends, GBK, at the host's rate: %8.0f per second, latency %s\n", same.rps,
                same.p50.c_str());
    PrintCpu("pgbench", sameCpu, same.requests);
  }

  std::remove(wrkScript.c_str());
  std::remove(pgScript.c_str());
  std::remove(hostLikeScript.c_str());
  host.Stop();
  db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid = 990101");
  db.Exec("DELETE FROM dbo.rec_pre_input WHERE iid = 990101");
  return 0;
}
