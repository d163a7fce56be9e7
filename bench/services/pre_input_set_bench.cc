// Signed "PreInputSet" batches through tarnwick-host (wrk, keep-alive connections), into a table
// that already holds 100000 shipments of other clients. Every batch carries new internal numbers,
// half of its records two goods lines (stored with the shipment in one transaction), the other half
// their goods in the record. Prints batches and records per second, the rows stored (counted in the
// database afterwards) and the latency percentiles of a batch.
//   given  batches of 20 records at 16 connections; the records carry their own internal numbers
//   drawn  the same, but the records carry none: each draws one from the default internal rule (the
//          number lock serialises the drawing)
//   scale  drawn numbers in batches of 5 at 16, 48, 64 and 128 connections, more than the pool's
//          50 slots, each count twice (up, then down again): the records stored per second (the rows
//          stored while wrk ran), the batch latency, the batches answered "-9999" (no slot free in
//          time), the records refused and the CPU per record; then each count's mean rate and the
//          rates at 64 and 128 against that at 48
//
// First it prints the database's durability (fsync, synchronous_commit, full_page_writes).
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE) and wrk; tools/bench-db.sh
// runs it on a throw-away one with the settings chosen.
//
//   pre_input_set_bench [given|drawn|scale|all] [seconds]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/support/cpu_use.h"
#include "bench/support/db_settings.h"
#include "bench/support/wrk.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 16;
constexpr int kThreads = 4;
constexpr int kRecords = 20;
constexpr int kScaleRecords = 5;
constexpr int kScaleConnections[] = {16, 48, 64, 128};
constexpr int kClient = 990201;
constexpr char kKey[] = "BenchKey0201";
constexpr int kNumberRule = 99201;

// One record (GBK; sent as UTF-8). "@NUM@" stands for the internal number key, "@GOODS@" for the
// goods of the record.
constexpr char kRecord[] =
    "{\"iID\":0@NUM@,\"cEmsKind\":\"EMS\",\"cDes\":\"美国\",\"fWeight\":2.35,\"fAmount\":268,"
    "\"cReceiver\":\"John Carter\",\"cRUnit\":\"Acme Imports LLC\",\"cRAddr\":\"1200 Market St, Suite 400\","
    "\"cRCity\":\"San Francisco\",\"cRPostcode\":\"94102\",\"cRCountry\":\"United States\","
    "\"cRPhone\":\"+1 415 555 0134\",\"cSender\":\"李明\",\"cSUnit\":\"深圳示例贸易有限公司\","
    "\"cSAddr\":\"深圳市南山区科技园南路 88 号\",\"cSPhone\":\"0755-86001234\",\"cSCity\":\"深圳\","
    "\"cMoney\":\"USD\",\"cReserve\":\"R2026\",\"iLong\":30,\"iWidth\":20,\"iHeight\":15@GOODS@}";
constexpr char kGoodsLines[] =
    ",\"GoodsList\":[{\"cxGoods\":\"丝绸围巾\",\"cxGoodsA\":\"Silk scarf\",\"cxGCodeA\":\"6214.40\","
    "\"ixQuantity\":2,\"fxPrice\":38,\"fxGCustom\":76,\"fxGCRate\":0.13},{\"cxGoods\":\"陶瓷茶杯\","
    "\"cxGoodsA\":\"Ceramic cup\",\"cxGCodeA\":\"6912.00\",\"ixQuantity\":4,\"fxPrice\":15.5,\"fxGCustom\":62,"
    "\"fxGCRate\":0.1}]";
constexpr char kOwnGoods[] = ",\"cGoods\":\"竹制筷子\",\"iQuantity\":5,\"fPrice\":7.6";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The wrk script: every request is a new batch of `count` records whose numbers are the thread, a
// counter and the record's position ("B" + 2 + 7 + 2 characters), so no number is ever sent twice
// in a run. bCount: the script also reads every reply and prints, at the end, the records stored
// ("OK"), the batches answered without a batch reply (a bare code such as "-9999") and the records
// the batch replies refused.
std::string WriteScript(const std::string& head, bool bOwnNumbers, int count, bool bCount) {
  std::string records;
  for (int i = 0; i < count; ++i) {
    const std::string number = ",\"cNum\":\"B%02d%07d" + std::to_string(10 + i) + "\"";
    std::string r = Replace(kRecord, "@NUM@", bOwnNumbers ? number : "");
    r = Replace(r, "@GOODS@", i % 2 == 0 ? kGoodsLines : kOwnGoods);
    records += (i == 0 ? "" : ",") + twtest::GbkToUtf8Text(r);
  }
  const std::string path = "/tmp/tarnwick-bench-" + std::to_string(getpid()) + ".lua";
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return "";
  std::fprintf(f,
               "local threads = 0\n"
               "function setup(thread) thread:set(\"tid\", threads); threads = threads + 1 end\n"
               "local counter = 0\n"
               "local head = [==[%s]==]\n"
               "local records = [==[%s]==]\n"
               "function request()\n"
               "  counter = counter + 1\n"
               "  local numbers = string.format(\"B%%02d%%07d\", tid, counter)\n"
               "  local body = head .. string.gsub(records, \"B%%%%02d%%%%07d\", numbers) .. \"]}\"\n"
               "  return wrk.format(\"POST\", nil, {[\"Content-Type\"] = \"application/json\"}, body)\n"
               "end\n",
               head.c_str(), records.c_str());
  if (bCount) {
    // Each thread counts in globals of its own; done() adds them up through the thread objects.
    std::fprintf(f,
                 "stored, bare, refused = 0, 0, 0\n"
                 "local all = {}\n"
                 "local setupThread = setup\n"
                 "function setup(thread) setupThread(thread); table.insert(all, thread) end\n"
                 "function response(status, headers, body)\n"
                 "  local ok = tonumber(string.match(body, '\"OK\":(%%d+)'))\n"
                 "  if ok == nil then bare = bare + 1 else stored = stored + ok; refused = refused + %d - ok end\n"
                 "end\n"
                 "function done(summary, latency, requests)\n"
                 "  local s, b, r = 0, 0, 0\n"
                 "  for _, t in ipairs(all) do\n"
                 "    s, b, r = s + t:get('stored'), b + t:get('bare'), r + t:get('refused')\n"
                 "  end\n"
                 "  io.write(string.format('counted %%d %%d %%d\\n', s, b, r))\n"
                 "end\n",
                 count);
  }
  std::fclose(f);
  return path;
}

long long StoredRows(twtest::TestDb& db) {
  const std::string n = db.Scalar("SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 990201");
  return n.empty() ? 0 : std::atoll(n.c_str());
}

// Removes the rows of the last run and vacuums what they and the drawings left behind, so every run
// starts from the same tables (a run at 128 connections must not pay for the dead rows of the runs
// before it).
void ClearRows(twtest::TestDb& db) {
  db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid = 990201)");
  db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 990201");
  db.Exec("VACUUM ANALYZE dbo.rec_pre_input, dbo.rec_pre_input_goods, dbo.sys_genno");
}

// What a run reports.
struct RunFigures {
  twbench::WrkFigures wrk;
  long long storedInRun = 0;  // rows in the database as wrk ended
  long long stored = 0;       // rows in the database once the host stopped (the batches in flight done)
  // From the replies (scale runs only): records answered stored, bare-code replies, records refused.
  long long okRecords = 0, bareReplies = 0, refusedRecords = 0;
  twbench::CpuUse cpu;  // while wrk ran
};

// One run of `seconds` at `connections` with batches of `count` records against a host started
// with `iniText`.
bool Run(twtest::TestDb& db, const std::string& iniText, bool bOwnNumbers, int seconds, int connections, int count,
         bool bCount, RunFigures& out) {
  ClearRows(db);
  twtest::HostConfig config;
  config.iniText = iniText;
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return false;
  }
  // One signature for the whole run (the time window is two hours).
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string text = std::to_string(kClient) + std::to_string(ts) + kKey;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), md5);
  const std::string head = "{\"RequestName\":\"PreInputSet\",\"icID\":" + std::to_string(kClient) +
                           ",\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" + md5 + "\",\"RecList\":[";
  const std::string script = WriteScript(head, bOwnNumbers, count, bCount);
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?DoApp";
  twbench::WrkFigures& f = out.wrk;
  // A long time-out, so that the slowest batches count in the latency rather than as errors.
  twbench::CpuSampler sampler;
  sampler.Start();
  const bool ran = twbench::RunWrk(url, script, kThreads, connections, seconds, f, bCount ? "--timeout 30s" : "");
  out.cpu = sampler.Stop();
  out.storedInRun = StoredRows(db);
  host.Stop();
  std::remove(script.c_str());
  if (!ran || f.requests == 0) {
    std::fprintf(stderr, "wrk did not run\n");
    return false;
  }
  out.stored = StoredRows(db);
  if (bCount) {
    const size_t at = f.output.find("counted ");
    if (at == std::string::npos || std::sscanf(f.output.c_str() + at, "counted %lld %lld %lld", &out.okRecords,
                                               &out.bareReplies, &out.refusedRecords) != 3) {
      std::fprintf(stderr, "the script counted nothing\n");
      return false;
    }
  }
  return true;
}

bool RunAndPrint(twtest::TestDb& db, const char* label, const std::string& iniText, bool bOwnNumbers, int seconds) {
  RunFigures r;
  if (!Run(db, iniText, bOwnNumbers, seconds, kConnections, kRecords, false, r)) return false;
  const twbench::WrkFigures& f = r.wrk;
  // wrk counts the batches answered within the run; the database also holds those still in flight
  // at its end, so the rate of records is that of the batches.
  std::printf("  %-6s %6.0f batches/s = %6.0f records/s (%lld stored, %lld answered), batch latency p50 %s p90 %s "
              "p99 %s\n",
              label, f.rps, f.rps * kRecords, r.stored, f.requests * kRecords, f.p50.c_str(), f.p90.c_str(),
              f.p99.c_str());
  return true;
}

// The drawn-number runs at each connection count: past 50 connections requests wait for a slot,
// and the rate must hold. The counts run up and then down again (16 48 64 128 128 64 48 16), so
// that a machine growing faster or slower during the run favours no count; each count's rate is the
// mean of its two runs.
bool RunScale(twtest::TestDb& db, const std::string& iniText, int seconds) {
  std::printf("PreInputSet scale: drawn numbers, %d records per batch, %d s at each count, the counts up and "
              "down again\n",
              kScaleRecords, seconds);
  constexpr size_t kCounts = sizeof kScaleConnections / sizeof kScaleConnections[0];
  double rates[kCounts] = {};
  for (size_t step = 0; step < 2 * kCounts; ++step) {
    const size_t which = step < kCounts ? step : 2 * kCounts - 1 - step;
    const int connections = kScaleConnections[which];
    RunFigures r;
    if (!Run(db, iniText, false, seconds, connections, kScaleRecords, true, r)) return false;
    const twbench::WrkFigures& f = r.wrk;
    // Each record is stored on its own, so the rows stored while wrk ran give the rate from the
    // first second on; the replies (all five records of a batch at once) would miss the time the
    // first batches take, which is longer the more connections wait.
    const double rows = r.storedInRun > 0 ? static_cast<double>(r.storedInRun) : 1;
    rates[which] += static_cast<double>(r.storedInRun) / seconds / 2;
    std::printf("  %4d connections %6.0f records/s, batch latency p50 %s p99 %s; %lld batches answered: %lld "
                "records stored, %lld without a batch reply, %lld records refused; CPU per record: host %.2f ms, "
                "database %.2f ms\n",
                connections, static_cast<double>(r.storedInRun) / seconds, f.p50.c_str(), f.p99.c_str(), f.requests,
                r.okRecords, r.bareReplies, r.refusedRecords, r.cpu.host * 1000 / rows, r.cpu.database * 1000 / rows);
  }
  std::printf("  records/s, the mean of both runs:");
  for (size_t i = 0; i < kCounts; ++i) std::printf(" %d connections %.0f%s", kScaleConnections[i], rates[i],
                                                   i + 1 < kCounts ? "," : "\n");
  std::printf("  against 48 connections: 64 connections %.2f, 128 connections %.2f (target: at least 1)\n",
              rates[2] / rates[1], rates[3] / rates[1]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "all";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "pre_input_set_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "pre_input_set_bench needs wrk\n");
    return 1;
  }
  twtest::TestDb db;
  // A table like a working one: 100000 shipments of 5000 other clients, analysed, so the planner
  // knows what a client's rows and its numbers look like.
  if (!db.ok() || !db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 980000 AND 984999") ||
      !db.Exec("INSERT INTO dbo.rec_pre_input (icid, cnum, cemskind, cdes) SELECT 980000 + i % 5000, 'BS' || i, "
               "'EMS', 'US' FROM generate_series(1, 100000) AS i") ||
      !db.Exec("ANALYZE dbo.rec_pre_input") ||
      !db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (990201, 'BenchKey0201') ON CONFLICT (icid) DO "
               "UPDATE SET capikey = EXCLUDED.capikey") ||
      !db.Exec("DELETE FROM dbo.sys_genno WHERE iid = 99201") ||
      !db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext) VALUES "
               "(99201, 'BD', '', 10, 0, 1)")) {
    std::fprintf(stderr, "cannot prepare the rows: %s\n", db.error().c_str());
    return 1;
  }

  std::printf("%s\n", twbench::DurabilityLine(db).c_str());
  if (mode != "scale") {
    std::printf("PreInputSet, %d records per batch, %d connections, %d s each\n", kRecords, kConnections, seconds);
  }
  const std::string ini = "IP=127.0.0.1\r\n";
  const std::string drawnIni = ini + "内单号生成ID=" + std::to_string(kNumberRule) + "\r\n";
  bool ok = true;
  if (mode == "given" || mode == "all") ok = RunAndPrint(db, "given", ini, true, seconds) && ok;
  if (mode == "drawn" || mode == "all") ok = RunAndPrint(db, "drawn", drawnIni, false, seconds) && ok;
  if (mode == "scale" || mode == "all") ok = RunScale(db, drawnIni, seconds) && ok;
  ClearRows(db);
  db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid BETWEEN 980000 AND 984999");
  db.Exec("DELETE FROM dbo.sys_genno WHERE iid = 99201");
  return ok ? 0 : 1;
}
