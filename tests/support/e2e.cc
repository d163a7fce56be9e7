#include "tests/support/e2e.h"

#include <fcntl.h>
#include <iconv.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "tools/registry_scramble.h"
#include "util/md5.h"

namespace twtest {

namespace {

std::string Env(const char* name, const char* def = "") {
  const char* v = std::getenv(name);
  return v != nullptr ? v : def;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint16_t FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* o = out.data();
  size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

bool DatabaseConfigured() { return !Env("PGPORT").empty() && !Env("PGPASSWORD").empty(); }

std::string BuildDir() { return Env("TARNWICK_BUILD_DIR", "build"); }
std::string SourceDir() { return Env("TARNWICK_SOURCE_DIR", "."); }

std::string DefaultIni() {
  return "IP=127.0.0.1\r\nKEY=PartnerKey01\r\nTEST_PASS=TestPass01\r\nURL_ENCODE=0\r\n";
}

std::string TodayForLog() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char day[16];
  std::strftime(day, sizeof day, "%Y_%m_%d", &local);
  return day;
}

std::string ServiceDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tarnwick-pgservice.XXXXXX";
    std::string d = mkdtemp(tmpl);
    WriteFile(d + "/pg_service.conf", "[dorvane]\nhost=" + Env("PGHOST", "127.0.0.1") + "\nport=" +
                                          Env("PGPORT", "5432") + "\ndbname=dorvane\n");
    setenv("PGSERVICEFILE", (d + "/pg_service.conf").c_str(), 1);
    return d;
  }();
  return dir;
}

std::string OdbcDir() { return ServiceDir(); }

std::vector<long long> ReplyInts(const std::string& body, const std::string& key) {
  std::vector<long long> out;
  const std::regex re("\"" + key + "\":(-?[0-9]+)");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), re); it != std::sregex_iterator(); ++it) {
    out.push_back(std::stoll((*it)[1]));
  }
  return out;
}

std::vector<std::string> ReplyTexts(const std::string& body, const std::string& key) {
  std::vector<std::string> out;
  const std::regex re("\"" + key + "\":\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), re); it != std::sregex_iterator(); ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

std::string RequestSignature(const std::string& id, long long stamp, const std::string& key) {
  std::string text = id + std::to_string(stamp) + key;
  char out[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), out);
  return out;
}

std::string Utf8ToGbkText(const std::string& utf8) { return Convert(utf8, "GBK", "UTF-8"); }
std::string GbkToUtf8Text(const std::string& gbk) { return Convert(gbk, "UTF-8", "GBK"); }

// ---------------------------------------------------------------------------------------------------
// TestHost

TestHost::~TestHost() {
  if (pid_ > 0) Stop();
  if (!dir_.empty()) {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
}

std::string TestHost::StderrText() const { return ReadFile(dir_ + "/stderr.txt"); }

std::string TestHost::LogFile(const std::string& category) const {
  return ReadFile(logDir() + "LOG_" + category + "_" + TodayForLog() + ".txt");
}

bool TestHost::Start(const HostConfig& config) {
  char tmpl[] = "/tmp/tarnwick-host.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    error_ = "mkdtemp";
    return false;
  }
  dir_ = tmpl;
  ::mkdir((dir_ + "/module").c_str(), 0755);
  ::mkdir((dir_ + "/log").c_str(), 0755);
  if (config.writeIni && !config.iniText.empty()) WriteFile(moduleDir() + "tarnwick.ini", config.iniText);
  for (const auto& [name, bytes] : config.moduleFiles) WriteFile(moduleDir() + name, bytes);

  std::map<std::string, std::string> values = {
      {"Item1", "dorvane"}, {"Item2", Env("PGPASSWORD")}, {"Item5", Env("PGUSER", "tarnwick")}};
  for (const auto& [k, v] : config.registry) values[k] = v;
  std::string registry = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern]\n";
  std::mt19937 rng(12345);
  for (const auto& [k, v] : values) {
    if (v == kMissingValue) continue;
    registry += k + "=hex:" + Hex(ScrambleRegistryValue(v, kRegistryValueBytes, rng)) + "\n";
  }
  WriteFile(dir_ + "/registry", registry);

  std::string library = BuildDir() + "/Tarnwick.so";
  if (config.libraryName != "Tarnwick.so") {
    std::string copy = dir_ + "/" + config.libraryName;
    WriteFile(copy, ReadFile(library));
    library = copy;
  }
  std::string services = ServiceDir();
  // The port is free when chosen but may be taken before the host listens on it: then another.
  for (int attempt = 1;; ++attempt) {
    const int started = Launch(config, library, services);
    if (started >= 0 || attempt == 3) return started == 1;
  }
}

int TestHost::Launch(const HostConfig& config, const std::string& library, const std::string& services) {
  port_ = FreePort();
  std::string listen = "127.0.0.1:" + std::to_string(port_);
  std::string host = BuildDir() + "/tarnwick-host";

  int out[2];
  if (::pipe(out) != 0) {
    error_ = "pipe";
    return 0;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int err = ::open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    ::close(out[0]);
    setenv("PGSERVICEFILE", (services + "/pg_service.conf").c_str(), 1);
    setenv("TARNWICK_REGISTRY", (dir_ + "/registry").c_str(), 1);
    setenv("TARNWICK_MODULE_DIR", moduleDir().c_str(), 1);
    setenv("TARNWICK_LOG_DIR", logDir().c_str(), 1);
    std::vector<const char*> argv = {host.c_str(), "--listen", listen.c_str(), "--extension", library.c_str()};
    for (const std::string& a : config.extraArgs) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    ::execv(host.c_str(), const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  ::close(out[1]);
  // The ready line, within 60 s.
  std::string seen;
  const auto deadline = std::time(nullptr) + 60;
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  while (seen.find("serving") == std::string::npos) {
    char buf[512];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n > 0) {
      seen.append(buf, static_cast<size_t>(n));
      continue;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "the host ended: " + StderrText();
      ::close(out[0]);
      return error_.find("cannot listen") != std::string::npos ? -1 : 0;
    }
    if (std::time(nullptr) > deadline) {
      error_ = "the host did not get ready: " + StderrText();
      ::close(out[0]);
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(out[0]);
  return 1;
}

int TestHost::Stop(int timeoutMs) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

// ---------------------------------------------------------------------------------------------------
// TestDb

TestDb::TestDb() {
  ServiceDir();
  const std::string user = Env("PGUSER", "tarnwick"), password = Env("PGPASSWORD");
  const char* keys[] = {"service", "user", "password", "client_encoding", nullptr};
  const char* values[] = {"dorvane", user.c_str(), password.c_str(), "GBK", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 0);
  conn_ = conn;
  ok_ = conn != nullptr && PQstatus(conn) == CONNECTION_OK;
  if (!ok_ && conn != nullptr) error_ = PQerrorMessage(conn);
}

TestDb::~TestDb() {
  if (conn_ != nullptr) PQfinish(static_cast<PGconn*>(conn_));
}

namespace {
std::string ResultError(const PGresult* r, PGconn* conn) {
  const char* state = r != nullptr ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
  return std::string(state != nullptr ? state : "") + " " +
         (r != nullptr ? PQresultErrorMessage(r) : PQerrorMessage(conn));
}
}  // namespace

bool TestDb::Exec(const std::string& sql) {
  if (!ok_) return false;
  PGconn* conn = static_cast<PGconn*>(conn_);
  PGresult* r = PQexec(conn, sql.c_str());
  const ExecStatusType st = r != nullptr ? PQresultStatus(r) : PGRES_FATAL_ERROR;
  const bool good = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_EMPTY_QUERY;
  if (!good) error_ = ResultError(r, conn);
  PQclear(r);
  return good;
}

// The type oid of boolean columns.
constexpr Oid kBoolOid = 16;

std::vector<std::vector<std::string>> TestDb::Query(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  if (!ok_) return rows;
  PGconn* conn = static_cast<PGconn*>(conn_);
  PGresult* r = PQexec(conn, sql.c_str());
  if (r != nullptr && PQresultStatus(r) == PGRES_TUPLES_OK) {
    for (int i = 0; i < PQntuples(r); ++i) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(r); ++c) {
        const char* v = PQgetvalue(r, i, c);
        if (PQftype(r, c) == kBoolOid && !PQgetisnull(r, i, c)) {
          row.emplace_back(v[0] == 't' ? "1" : "0");  // booleans read as the library's columns do
        } else {
          row.emplace_back(v, static_cast<size_t>(PQgetlength(r, i, c)));
        }
      }
      rows.push_back(std::move(row));
    }
  } else {
    error_ = ResultError(r, conn);
  }
  PQclear(r);
  return rows;
}

bool UsePdaKey(TestDb& db) {
  const std::string key = kPdaKey;
  return db.Exec("UPDATE dbo.sys_dict SET dcvalue = '" + key + "' WHERE dcname = '77'") &&
         db.Exec("INSERT INTO dbo.sys_dict (dcname, dcvalue) SELECT '77', '" + key +
                 "' WHERE NOT EXISTS (SELECT 1 FROM dbo.sys_dict WHERE dcname = '77')");
}

std::string TestDb::Scalar(const std::string& sql) {
  auto rows = Query(sql);
  return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

}  // namespace twtest
