#pragma once
// End-to-end test support: a tarnwick-host started against the test database with a module folder,
// registry and libpq service file of its own, and direct access to that database.
//
// The database comes from the standard PostgreSQL environment (PGHOST, PGPORT, PGUSER, PGPASSWORD,
// PGDATABASE) that test.sh exports; without it the tests skip.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace twtest {

// True when the test database is configured (else GTEST_SKIP()).
bool DatabaseConfigured();

// The PDA signing key of every end-to-end test (dictionary row '77'). The test programs run at once
// against one database, so they all use this one key and never remove it.
inline constexpr char kPdaKey[] = "E2ePdaKey77";

// The default tarnwick.ini of the tests (GBK): trusted address 127.0.0.1, partner key, test password.
std::string DefaultIni();

struct HostConfig {
  std::string iniText = DefaultIni();  // GBK; written as module/tarnwick.ini unless empty
  bool writeIni = true;
  // Registry values of SOFTWARE\Halvern in clear text; a value mapped to "\x01missing" is left out.
  std::map<std::string, std::string> registry;  // defaults: Item1 dorvane, Item2 the password, Item5 user
  std::string libraryName = "Tarnwick.so";      // the file name the library is loaded under
  std::map<std::string, std::string> moduleFiles;  // further files of the module folder (name -> bytes)
  std::vector<std::string> extraArgs;              // further host arguments
};

inline const std::string kMissingValue = "\x01missing";

class TestHost {
 public:
  TestHost() = default;
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;
  ~TestHost();

  // Starts the host and waits for its ready line. False (with the reason in error()) otherwise.
  bool Start(const HostConfig& config = HostConfig());
  // SIGTERM and wait; returns the exit status (-1 when it had to be killed after `timeoutMs`).
  int Stop(int timeoutMs = 15000);

  uint16_t port() const { return port_; }
  pid_t pid() const { return pid_; }
  const std::string& dir() const { return dir_; }
  std::string moduleDir() const { return dir_ + "/module/"; }
  std::string logDir() const { return dir_ + "/log/"; }
  std::string StderrText() const;
  const std::string& error() const { return error_; }
  // The content of today's log file of a category ("" when there is none).
  std::string LogFile(const std::string& category) const;

 private:
  // Launch: starts the host on a port chosen now and waits for its ready line. 1 when it serves, -1
  // when the port was taken meanwhile (nothing is left running), 0 on any other failure.
  int Launch(const HostConfig& config, const std::string& library, const std::string& services);

  pid_t pid_ = -1;
  uint16_t port_ = 0;
  std::string dir_;
  std::string error_;
};

// Direct SQL on the test database (client encoding GBK, as the library sees it).
class TestDb {
 public:
  TestDb();
  ~TestDb();
  bool ok() const { return ok_; }
  // Runs a statement; false (the diagnostic in error()) when it fails.
  bool Exec(const std::string& sql);
  // Rows of a query, every column as text (NULL as "").
  std::vector<std::vector<std::string>> Query(const std::string& sql);
  // The first column of the first row ("" when none).
  std::string Scalar(const std::string& sql);
  const std::string& error() const { return error_; }

 private:
  void* conn_ = nullptr;
  bool ok_ = false;
  std::string error_;
};

// UsePdaKey: makes dictionary row '77' hold kPdaKey, with no moment in which it holds another or none
// (a host starting meanwhile reads it). False when a statement failed.
bool UsePdaKey(TestDb& db);

// The folder with the libpq service file of the tests, pg_service.conf with the service "dorvane"
// (written once per test process, and named by PGSERVICEFILE from then on).
std::string ServiceDir();
// The same folder, under the name the tests used while the data source was an ODBC one.
std::string OdbcDir();
// The built files.
std::string BuildDir();
std::string SourceDir();

// The signature of a request: the lower-case hex MD5 of the caller's id, the time stamp and the key
// written one after the other.
std::string RequestSignature(const std::string& id, long long stamp, const std::string& key);
inline std::string RequestSignature(int id, long long stamp, const std::string& key) {
  return RequestSignature(std::to_string(id), stamp, key);
}

// Converts UTF-8 text to GBK and back (for tests whose data arrives as UTF-8 on the wire).
std::string Utf8ToGbkText(const std::string& utf8);
std::string GbkToUtf8Text(const std::string& gbk);

// The values of every "key":number of a JSON reply, and of every "key":"text" (UTF-8, escapes as
// sent), in reply order.
std::vector<long long> ReplyInts(const std::string& body, const std::string& key);
std::vector<std::string> ReplyTexts(const std::string& body, const std::string& key);

// Today's date in the log file form "%Y_%m_%d".
std::string TodayForLog();

}  // namespace twtest
