// Command 102 of the payment-terminal gateway ("PayWsj": what to collect for a waybill) through
// tarnwick-host against the host's bare signed DoApp path (a signed request whose name the table does
// not serve: the signature check with its key lookup and nothing else), both with 64 connections,
// in the same run. Prints the rate of each, their ratio and the latency percentiles from wrk.
//
// Needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD, PGDATABASE) and wrk.
//
//   pay_wsj_bench [seconds]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "bench/support/wrk.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/escape.h"
#include "util/md5.h"

namespace {

constexpr int kConnections = 64;
constexpr int kThreads = 8;
constexpr int kClient = 990201;
constexpr char kClientKey[] = "BenchKey0201";
constexpr char kTerminalKey[] = "BenchTerminal0201";

std::string TempPath(const char* suffix) { return "/tmp/tarnwick-bench-" + std::to_string(getpid()) + suffix; }

bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  std::fputs(text.c_str(), f);
  return std::fclose(f) == 0;
}

std::string Md5Hex(const std::string& text) {
  char digest[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), digest);
  return digest;
}

bool PrepareRows(twtest::TestDb& db) {
  const char* statements[] = {
      "INSERT INTO dbo.client_arc (icid, capikey) VALUES (990201, 'BenchKey0201') ON CONFLICT (icid) DO UPDATE SET "
      "capikey = EXCLUDED.capikey",
      "DELETE FROM dbo.client_rec WHERE irid = 990201",
      "INSERT INTO dbo.client_rec (irid, icid, cnum, crno, fgoods, fweight, famount, cpostcode, creceiver, caddr, "
      "cphone, cgoods) VALUES (990201, 990201, 'PWBENCH00001', 'ORDER-0201', 268.5, 2.35, 30, '518057', '李明', "
      "'深圳市南山区科技园南路 88 号', '0755-86001234', '丝绸围巾')",
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

std::string LuaString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

bool WriteScript(const std::string& path, const std::string& body, const char* contentType) {
  return WriteText(path, "wrk.method = \"POST\"\nwrk.body = \"" + LuaString(body) +
                             "\"\nwrk.headers[\"Content-Type\"] = \"" + contentType + "\"\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (!twtest::DatabaseConfigured()) {
    std::fprintf(stderr, "pay_wsj_bench needs the test database (PGHOST, PGPORT, PGUSER, PGPASSWORD)\n");
    return 1;
  }
  if (std::system("command -v wrk >/dev/null") != 0) {
    std::fprintf(stderr, "pay_wsj_bench needs wrk\n");
    return 1;
  }
  twtest::TestDb db;
  if (!db.ok() || !PrepareRows(db)) return 1;

  twtest::HostConfig config;
  config.iniText = "IP=127.0.0.1\r\nPAYWSJ_KEY=" + std::string(kTerminalKey) + "\r\n";
  twtest::TestHost host;
  if (!host.Start(config)) {
    std::fprintf(stderr, "cannot start tarnwick-host: %s\n", host.error().c_str());
    return 1;
  }

  // The terminal's query: base64 of the JSON with "@" for "+", and 16 characters of its digest.
  const std::string json = "{\"BarCode\":\"PWBENCH00001\"}";
  char base64[128];
  size_t needed = 0;
  if (tw::Base64Encode(json.data(), json.size(), base64, sizeof base64, &needed, 0) != 0) return 1;
  std::string data(base64, needed);
  for (char& c : data) {
    if (c == '+') c = '@';
  }
  const std::string payBody = "Command=102&Data=" + twtest::UrlEncode(data) + "&Md5=" +
                              Md5Hex(data + kTerminalKey).substr(8, 16);
  // One signed DoApp request, valid for the whole run, whose name no table serves.
  const long long ts = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string doAppBody = "{\"RequestName\":\"BenchNothing\",\"icID\":" + std::to_string(kClient) +
                                ",\"TimeStamp\":" + std::to_string(ts) + ",\"MD5\":\"" +
                                Md5Hex(std::to_string(kClient) + std::to_string(ts) + kClientKey) + "\"}";

  const std::string base = "http://127.0.0.1:" + std::to_string(host.port()) + "/cgi-bin/Tarnwick.dll?";
  twtest::HttpClient check(host.port());
  const std::string payReply =
      check.Post("/cgi-bin/Tarnwick.dll?PayWsj", payBody, "application/x-www-form-urlencoded").body;
  const std::string doAppReply = check.Post("/cgi-bin/Tarnwick.dll?DoApp", doAppBody).body;
  if (payReply.find("\"Response\":\"00\"") == std::string::npos || doAppReply != "{\"ReturnValue\":-4}") {
    std::fprintf(stderr, "unexpected replies: %s / %s\n", payReply.c_str(), doAppReply.c_str());
    return 1;
  }

  const std::string payScript = TempPath("-pay.lua");
  const std::string doAppScript = TempPath("-doapp.lua");
  WriteScript(payScript, payBody, "application/x-www-form-urlencoded");
  WriteScript(doAppScript, doAppBody, "application/json");

  std::printf("PayWsj command 102, %d connections, %d s each, reply %zu bytes\n", kConnections, seconds,
              payReply.size());
  const twbench::WrkFigures bare = RunWrk(base + "DoApp", doAppScript, seconds);
  std::printf("  DoApp, signed, bare:    %8.0f per second, latency p50 %s p90 %s p99 %s\n", bare.rps,
              bare.p50.c_str(), bare.p90.c_str(), bare.p99.c_str());
  const twbench::WrkFigures pay = RunWrk(base + "PayWsj", payScript, seconds);
  std::printf("  PayWsj 102:             %8.0f per second, latency p50 %s p90 %s p99 %s\n", pay.rps, pay.p50.c_str(),
              pay.p90.c_str(), pay.p99.c_str());
  std::printf("  ratio %.2f\n", bare.rps > 0 ? pay.rps / bare.rps : 0.0);

  std::remove(payScript.c_str());
  std::remove(doAppScript.c_str());
  host.Stop();
  db.Exec("DELETE FROM dbo.client_rec WHERE irid = 990201");
  return 0;
}
