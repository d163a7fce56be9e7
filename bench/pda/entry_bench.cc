// PDA shipment entry through tarnwick-host at 16 keep-alive connections (wrk), beside the client's
// "PreInputSet" of single records in the same run and against the same database:
//   pdaRecAdd    signed PDA requests, each a new shipment record with its own internal and carrier
//                numbers, two pieces (weight-detail rows), two goods lines (goods rows) and the price
//                computed from the client price table
//   PreInputSet  signed client batches of one pre-input shipment each, with two goods lines
// Prints records per second, the records stored (counted in the database afterwards) and the latency
// percentiles of a request.
//
// First it prints the database's durability (fsync, synchronous_commit, full_page_writes).
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE) and wrk; tools/bench-db.sh
// runs it on a throw-away one with the settings chosen.
//
//   pda_entry_bench [pda|client|all] [seconds]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/support/db_settings.h"
#include "bench/support/wrk.h"
#include "tests/support/e2e.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 16;
constexpr int kThreads = 4;
constexpr int kClient = 990401;
constexpr char kClientKey[] = "BenchKey0401";
constexpr char kPda[] = "BENCHPDA1";
constexpr char kPdaKey[] = "E2ePdaKey77";

// The body of one "pdaRecAdd" (GBK; sent as UTF-8); "N%02d%07d" becomes the thread and a counter.
constexpr char kPdaRecord[] =
    ",\"icID\":990401,\"cNum\":\"BPN%02d%07d\",\"cNo\":\"BPC%02d%07d\",\"cEmsKind\":\"BPK1\",\"cDes\":\"BP悉尼\","
    "\"nItemType\":1,\"iItem\":2,\"fWeight\":2.35,\"faPack\":2,\"cReceiver\":\"John Carter\","
    "\"cRUnit\":\"Acme Imports LLC\",\"cRAddr\":\"1200 Market St, Suite 400\",\"cRCity\":\"San Francisco\","
    "\"cRPostcode\":\"94102\",\"cRCountry\":\"United States\",\"cRPhone\":\"+1 415 555 0134\",\"cSender\":\"李明\","
    "\"cSUnit\":\"深圳示例贸易有限公司\",\"cSAddr\":\"深圳市南山区科技园南路 88 号\",\"cMName\":\"王师傅\","
    "\"ItemList\":[{\"fxWeight\":1.2,\"ixLong\":30,\"ixWidth\":20,\"ixHeight\":15,\"cxNo\":\"P1\"},"
    "{\"fxWeight\":1.15,\"ixLong\":25,\"ixWidth\":20,\"ixHeight\":10,\"cxNo\":\"P2\"}],"
    "\"GoodsList\":[{\"cxGoods\":\"丝绸围巾\",\"cxGoodsA\":\"Silk scarf\",\"ixQuantity\":2,\"fxPrice\":38,"
    "\"fxGCustom\":76},{\"cxGoods\":\"陶瓷茶杯\",\"cxGoodsA\":\"Ceramic cup\",\"ixQuantity\":4,\"fxPrice\":15.5,"
    "\"fxGCustom\":62}]}";

// One pre-input record of "PreInputSet" (GBK).
constexpr char kClientRecord[] =
    "{\"iID\":0,\"cNum\":\"BCN%02d%07d\",\"cEmsKind\":\"BPK1\",\"cDes\":\"BP悉尼\",\"fWeight\":2.35,\"fAmount\":268,"
    "\"cReceiver\":\"John Carter\",\"cRUnit\":\"Acme Imports LLC\",\"cRAddr\":\"1200 Market St, Suite 400\","
    "\"cRCity\":\"San Francisco\",\"cRPostcode\":\"94102\",\"cRCountry\":\"United States\","
    "\"cRPhone\":\"+1 415 555 0134\",\"cSender\":\"李明\",\"cSUnit\":\"深圳示例贸易有限公司\","
    "\"cSAddr\":\"深圳市南山区科技园南路 88 号\",\"iLong\":30,\"iWidth\":20,\"iHeight\":15,"
    "\"GoodsList\":[{\"cxGoods\":\"丝绸围巾\",\"cxGoodsA\":\"Silk scarf\",\"ixQuantity\":2,\"fxPrice\":38,"
    "\"fxGCustom\":76},{\"cxGoods\":\"陶瓷茶杯\",\"cxGoodsA\":\"Ceramic cup\",\"ixQuantity\":4,\"fxPrice\":15.5,"
    "\"fxGCustom\":62}]}";

// The wrk script: every request carries the thread and a counter in its numbers, so no number is
// sent twice in a run.
std::string WriteScript(const std::string& head, const std::string& record, const std::string& tail) {
  const std::string path = "/tmp/tarnwick-pda-bench-" + std::to_string(getpid()) + ".lua";
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return "";
  std::fprintf(f,
               "local threads = 0\n"
               "function setup(thread) thread:set(\"tid\", threads); threads = threads + 1 end\n"
               "local counter = 0\n"
               "local head = [==[%s]==]\n"
               "local record = [==[%s]==]\n"
               "local tail = [==[%s]==]\n"
               "function request()\n"
               "  counter = counter + 1\n"
               "  local body = head .. string.format(record, tid, counter, tid, counter) .. tail\n"
               "  return wrk.format(\"POST\", nil, {[\"Content-Type\"] = \"application/json\"}, body)\n"
               "end\n",
               head.c_str(), record.c_str(), tail.c_str());
  std::fclose(f);
  return path;
}

long long Count(twtest::TestDb& db, const char* sql) {
  const std::string n = db.Scalar(sql);
  return n.empty() ? 0 : std::atoll(n.c_str());
}

void ClearRows(twtest::TestDb& db) {
  db.Exec("DELETE FROM dbo.client_rec_weight_detail WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid = 990401)");
  db.Exec("DELETE FROM dbo.client_rec_goods WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid = 990401)");
  db.Exec("DELETE FROM dbo.client_rec WHERE icid = 990401");
  db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid = 990401)");
  db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 990401");
}

// One wrk run of `seconds` at the door `door` with the script's pieces.
bool Run(twtest::TestHost& host, const char* label, const char* door, const std::string& head,
         const std::string& record, const std::string& tail, int seconds, twtest::TestDb& db, const char* countSql) {
  const std::string script = WriteScript(head, record, tail);
  const std::string url = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?" + door;
  twbench::WrkFigures f;
  const bool ran = twbench::RunWrk(url, script, kThreads, kConnections, seconds, f);
  std::remove(script.c_str());
  if (!ran || f.requests == 0) {
    std::fprintf(stderr, "wrk did not run\n");
    return false;
  }
  std::printf("  %-11s %6.0f records/s (%lld stored, %lld answered), latency p50 %s p90 %s p99 %s\n", label, f.rps,
              Count(db, countSql), f.requests, f.p50.c_str(), f.p90.c_str(), f.p99.c_str());
  return true;
}

std::string Md5Hex(const std::string& text) {
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), md5);
  return md5;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "all";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "pda_entry_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "pda_entry_bench needs wrk\n");
    return 1;
  }
  twtest::TestDb db;
  // 100000 shipment records of 5000 other clients, so the unique numbers are checked against a
  // table of some size.
  bool prepared = db.ok();
  for (const char* sql : {
           "DELETE FROM dbo.client_rec WHERE icid BETWEEN 980000 AND 984999",
           "INSERT INTO dbo.client_rec (icid, cnum, cserviceno, cemskind, cdes) SELECT 980000 + i % 5000, 'BR' || i, "
           "'BS' || i, 'EMS', 'US' FROM generate_series(1, 100000) AS i",
           "ANALYZE dbo.client_rec",
           "DELETE FROM dbo.sys_dict WHERE dcname = '77'",
           "INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('77', 'E2ePdaKey77')",
           "DELETE FROM dbo.man_main WHERE cpda = 'BENCHPDA1'",
           "INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('BENCHPDA1', 'Bench', '')",
           "INSERT INTO dbo.client_arc (icid, capikey, nstate) VALUES (990401, 'BenchKey0401', 0) ON CONFLICT (icid) "
           "DO UPDATE SET capikey = EXCLUDED.capikey",
           "DELETE FROM dbo.sys_place WHERE iid = 990401",
           "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES (990401, 'BPSY', 'BP悉尼', 'BP Sydney', 246)",
           "DELETE FROM dbo.ems_price WHERE cemskind = 'BPK1'",
           "DELETE FROM dbo.ems_area WHERE cemskind = 'BPK1'",
           "DELETE FROM dbo.ems_kind WHERE cemskind = 'BPK1'",
           "INSERT INTO dbo.ems_kind (cemskind, b1price, faddons) VALUES ('BPK1', 1, 10)",
           "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype) VALUES ('BPK1', 'BP悉尼', 3, 0)",
           "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
           "itopprice) VALUES ('BPK1', 3, 1, 0, 1000000, 500, 1, 1000, 0)",
       }) {
    if (prepared && !db.Exec(sql)) prepared = false;
  }
  if (!prepared) {
    std::fprintf(stderr, "cannot prepare the rows: %s\n", db.error().c_str());
    return 1;
  }
  ClearRows(db);

  twtest::HostConfig config;
  config.iniText = "IP=127.0.0.1\r\n启用Ostrum容器=1\r\n";
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }
  // One signature per door for the whole run (the time window is two hours).
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string stamp = std::to_string(ts);
  std::printf("PDA shipment entry beside PreInputSet of single records, %d connections, %d s each\n", kConnections,
              seconds);
  std::printf("%s\n", twbench::DurabilityLine(db).c_str());
  bool ok = true;
  if (mode == "pda" || mode == "all") {
    const std::string head = "{\"RequestName\":\"pdaRecAdd\",\"cUserPid\":\"" + std::string(kPda) +
                             "\",\"TimeStamp\":" + stamp + ",\"MD5\":\"" + Md5Hex(kPda + stamp + kPdaKey) + "\"";
    ok = Run(host, "pdaRecAdd", "DoPda", head, twtest::GbkToUtf8Text(kPdaRecord), "", seconds, db,
             "SELECT count(*) FROM dbo.client_rec WHERE icid = 990401") &&
         ok;
  }
  if (mode == "client" || mode == "all") {
    const std::string head = "{\"RequestName\":\"PreInputSet\",\"icID\":" + std::to_string(kClient) +
                             ",\"TimeStamp\":" + stamp + ",\"MD5\":\"" +
                             Md5Hex(std::to_string(kClient) + stamp + kClientKey) + "\",\"RecList\":[";
    // The script fills two numbers per request; a pre-input record has one, so the second goes to a
    // key the entry does not read.
    std::string record = twtest::GbkToUtf8Text(kClientRecord);
    record.insert(record.size() - 1, ",\"xBench\":\"%02d%07d\"");
    ok = Run(host, "PreInputSet", "DoApp", head, record, "]}", seconds, db,
             "SELECT count(*) FROM dbo.rec_pre_input WHERE icid = 990401") &&
         ok;
  }
  host.Stop();
  ClearRows(db);
  db.Exec("DELETE FROM dbo.client_rec WHERE icid BETWEEN 980000 AND 984999");
  return ok ? 0 : 1;
}
