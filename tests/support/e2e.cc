#include "tests/support/e2e.h"

#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <signal.h>
#include <sql.h>
#include <sqlext.h>
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

std::string OdbcDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tarnwick-odbc.XXXXXX";
    std::string d = mkdtemp(tmpl);
    WriteFile(d + "/odbc.ini", "[dorvane]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so\nServername=" +
                                   Env("PGHOST", "127.0.0.1") + "\nPort=" + Env("PGPORT", "5432") +
                                   "\nDatabase=dorvane\nConnSettings=SET client_encoding TO 'GBK'; SET "
                                   "standard_conforming_strings TO on\nCommLog=0\nDebug=0\nByteaAsLongVarBinary=1\n");
    WriteFile(d + "/odbcinst.ini", "");
    setenv("ODBCINI", (d + "/odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", d.c_str(), 1);
    return d;
  }();
  return dir;
}

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
  std::string odbc = OdbcDir();
  port_ = FreePort();
  std::string listen = "127.0.0.1:" + std::to_string(port_);
  std::string host = BuildDir() + "/tarnwick-host";

  int out[2];
  if (::pipe(out) != 0) {
    error_ = "pipe";
    return false;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    int err = ::open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    ::close(out[0]);
    setenv("ODBCINI", (odbc + "/odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", odbc.c_str(), 1);
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
      return false;
    }
    if (std::time(nullptr) > deadline) {
      error_ = "the host did not get ready: " + StderrText();
      ::close(out[0]);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(out[0]);
  return true;
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
  OdbcDir();
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  env_ = env;
  dbc_ = dbc;
  std::string user = Env("PGUSER", "tarnwick"), password = Env("PGPASSWORD");
  SQLRETURN rc = SQLConnect(dbc, (SQLCHAR*)"dorvane", SQL_NTS, (SQLCHAR*)user.c_str(), SQL_NTS,
                            (SQLCHAR*)password.c_str(), SQL_NTS);
  ok_ = SQL_SUCCEEDED(rc);
}

TestDb::~TestDb() {
  if (dbc_ != nullptr) {
    if (ok_) SQLDisconnect(static_cast<SQLHDBC>(dbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_));
  }
  if (env_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(env_));
}

bool TestDb::Exec(const std::string& sql) {
  SQLHSTMT st = SQL_NULL_HSTMT;
  if (!ok_ || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &st))) return false;
  SQLRETURN rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
  bool good = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
  if (!good) {
    SQLCHAR state[6] = {0}, message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLGetDiagRec(SQL_HANDLE_STMT, st, 1, state, &native, message, sizeof message, &len);
    error_ = std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  return good;
}

std::vector<std::vector<std::string>> TestDb::Query(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  SQLHSTMT st = SQL_NULL_HSTMT;
  if (!ok_ || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &st))) return rows;
  if (SQL_SUCCEEDED(SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
    SQLSMALLINT cols = 0;
    SQLNumResultCols(st, &cols);
    while (SQL_SUCCEEDED(SQLFetch(st))) {
      std::vector<std::string> row;
      for (SQLSMALLINT c = 1; c <= cols; ++c) {
        std::string value;
        char buf[4096];
        SQLLEN ind = 0;
        SQLRETURN rc;
        while ((rc = SQLGetData(st, c, SQL_C_CHAR, buf, sizeof buf, &ind)) != SQL_NO_DATA && SQL_SUCCEEDED(rc)) {
          if (ind == SQL_NULL_DATA) break;
          size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf)) ? sizeof buf - 1
                                                                                      : static_cast<size_t>(ind);
          value.append(buf, got);
          if (rc == SQL_SUCCESS) break;
        }
        row.push_back(value);
      }
      rows.push_back(std::move(row));
    }
  } else {
    SQLCHAR state[6] = {0}, message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLGetDiagRec(SQL_HANDLE_STMT, st, 1, state, &native, message, sizeof message, &len);
    error_ = std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  return rows;
}

std::string TestDb::Scalar(const std::string& sql) {
  auto rows = Query(sql);
  return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

}  // namespace twtest
