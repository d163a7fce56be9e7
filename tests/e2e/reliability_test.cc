// The frame under the events an operator meets: the database's sessions ended or the database
// restarted (the pool reconnects), thousands of idle connections (the host waits with poll or
// epoll, one address is limited), SIGTERM while batches are being stored (every stored record is
// answered), and request bodies beyond the host's limits (refused before they are read).
//
// The rows of this test use ids no other test uses: client 950001, internal numbers R9....

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace {

using twtest::HostConfig;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::ReplyInts;
using twtest::ReplyTexts;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 950001;
constexpr char kPgCtl[] = "/usr/lib/postgresql/15/bin/pg_ctl";

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A request that reads the database each time: "PreInputData" of a shipment that is not there
// answers its not-found code, a failed statement "-9".
std::string ReadOnce(HttpClient& http) {
  const HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?Do",
                                "{\"RequestName\":\"PreInputData\",\"icID\":" + std::to_string(kClient) +
                                    ",\"iID\":999999999}");
  return r.status == 200 ? r.body : "status " + std::to_string(r.status);
}

bool ReadWorks(HttpClient& http) {
  const std::string body = ReadOnce(http);
  return body.rfind("{\"ReturnValue\":", 0) == 0 && body != "{\"ReturnValue\":-9}" &&
         body != "{\"ReturnValue\":-9999}";
}

// Ends `count` of the host's database sessions (all when count < 0). Returns how many were ended.
int EndSessions(TestDb& db, const TestHost& host, int count) {
  std::string sql = "SELECT count(pg_terminate_backend(pid)) FROM (SELECT pid FROM pg_stat_activity WHERE "
                    "application_name = 'tarnwick:" +
                    std::to_string(host.pid()) + "' ORDER BY pid" +
                    (count >= 0 ? " LIMIT " + std::to_string(count) : std::string()) + ") s";
  return std::atoi(db.Scalar(sql).c_str());
}

int Sessions(TestDb& db, const TestHost& host) {
  return std::atoi(db.Scalar("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'tarnwick:" +
                             std::to_string(host.pid()) + "'")
                       .c_str());
}

bool RestartDatabase() {
  const char* data = std::getenv("TARNWICK_PGDATA");
  if (data == nullptr || *data == '\0') return false;
  const std::string cmd = std::string("su postgres -s /bin/sh -c \"") + kPgCtl + " -D '" + data +
                          "' -m fast -w -t 60 restart >/dev/null 2>&1\"";
  return std::system(cmd.c_str()) == 0;
}

// Sequential reads until a whole round over the pool's 50 slots succeeds; the time that took, or -1
// past `limitMs`.
int64_t MsUntilEverySlotWorks(HttpClient& http, int64_t limitMs) {
  const auto start = Clock::now();
  int inARow = 0;
  while (MsSince(start) < limitMs) {
    if (ReadWorks(http)) {
      if (++inARow >= 60) return MsSince(start);
    } else {
      inARow = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return -1;
}

class ReliabilityTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    db.Exec("DELETE FROM dbo.client_arc WHERE icid = 950001");
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (950001, 'R9Key950001')")) << db.error();
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveShipments(db);
    db.Exec("DELETE FROM dbo.client_arc WHERE icid = 950001");
  }
  static void RemoveShipments(TestDb& db) {
    db.Exec("DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid = "
            "950001)");
    db.Exec("DELETE FROM dbo.rec_pre_input WHERE icid = 950001");
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    // The thousands of sockets of these tests.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
};

TEST_F(ReliabilityTest, ThePoolReconnectsLostSessions) {
  const struct {
    const char* what;
    int end;  // sessions ended, -1 all
    bool restart;
  } cases[] = {
      {"every session ended", -1, false},
      {"ten of fifty sessions ended", 10, false},
      {"the database restarted", 0, true},
  };
  for (const auto& c : cases) {
    if (c.restart && std::getenv("TARNWICK_PGDATA") == nullptr) {
      std::printf("skipped \"%s\": TARNWICK_PGDATA names no cluster\n", c.what);
      continue;
    }
    TestHost host;
    ASSERT_TRUE(host.Start()) << host.error();
    HttpClient http(host.port());
    ASSERT_TRUE(ReadWorks(http)) << ReadOnce(http);
    {
      TestDb db;
      if (c.restart) {
        ASSERT_TRUE(RestartDatabase()) << c.what;
      } else {
        const int ended = EndSessions(db, host, c.end);
        EXPECT_EQ(ended, c.end < 0 ? 50 : c.end) << c.what;
      }
    }
    // Within a few seconds every slot works again, and the pool holds 50 sessions once more.
    const int64_t ms = MsUntilEverySlotWorks(http, 10000);
    EXPECT_GE(ms, 0) << c.what << ": " << ReadOnce(http);
    TestDb db;
    EXPECT_EQ(Sessions(db, host), 50) << c.what;
    EXPECT_NE(host.StderrText().find("reopened"), std::string::npos) << c.what << ": standard error tells it";
    EXPECT_NE(host.LogFile("DATABASE").find("reopened"), std::string::npos) << c.what << ": so does the log";
    EXPECT_EQ(host.Stop(), 0) << c.what;
  }
}

TEST_F(ReliabilityTest, RequestsUnderLoadRecoverFromARestart) {
  if (std::getenv("TARNWICK_PGDATA") == nullptr) GTEST_SKIP() << "TARNWICK_PGDATA names no cluster";
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  std::atomic<bool> stop{false};
  std::atomic<int64_t> lastFailureMs{-1};
  std::atomic<int> works{0};
  const auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int t = 0; t < 8; ++t) {
    clients.emplace_back([&] {
      HttpClient http(host.port());
      while (!stop.load()) {
        if (ReadWorks(http)) {
          ++works;
        } else {
          lastFailureMs.store(MsSince(start));
        }
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(RestartDatabase());
  const int64_t restartedMs = MsSince(start);
  std::this_thread::sleep_for(std::chrono::milliseconds(4000));
  const int before = works.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  stop.store(true);
  for (std::thread& t : clients) t.join();
  // Failures end within a few seconds of the restart; the last second was all successes.
  EXPECT_LT(lastFailureMs.load() - restartedMs, 3000);
  EXPECT_GT(works.load() - before, 100);
  EXPECT_EQ(host.Stop(), 0);
}

// A socket connected to the host from `source` (a loopback address), or -1.
int ConnectFrom(const char* source, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when the host closed the connection (within `ms`).
bool ClosedByHost(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, ms) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

TEST_F(ReliabilityTest, ThousandsOfIdleConnectionsDenyNobody) {
  const struct {
    const char* mode;
    std::vector<std::string> args;
  } modes[] = {{"a thread per connection", {}}, {"a pool of threads", {"--threads", "4"}}};
  constexpr int kIdle = 2000;
  constexpr int kSources = 16;  // 125 connections from each of 127.0.0.2 ... 127.0.0.17
  for (const auto& m : modes) {
    HostConfig config;
    config.extraArgs = m.args;
    TestHost host;
    ASSERT_TRUE(host.Start(config)) << host.error();
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
      const std::string source = "127.0.0." + std::to_string(2 + i % kSources);
      const int fd = ConnectFrom(source.c_str(), host.port());
      ASSERT_GE(fd, 0) << m.mode << ": connection " << i;
      idle.push_back(fd);
    }
    // The host has taken them all (a socket numbered past 1024 among them) and still serves.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    HttpClient http(host.port());
    EXPECT_TRUE(ReadWorks(http)) << m.mode << ": " << ReadOnce(http);
    int open = 0;
    for (int fd : idle) open += ClosedByHost(fd, 0) ? 0 : 1;
    EXPECT_EQ(open, kIdle) << m.mode << ": idle connections are kept until their time-out";

    // One address has at most 256 connections: the next is closed at once.
    std::vector<int> one;
    for (int i = 0; i < 256; ++i) one.push_back(ConnectFrom("127.0.0.40", host.port()));
    const int over = ConnectFrom("127.0.0.40", host.port());
    EXPECT_TRUE(ClosedByHost(over, 10000)) << m.mode;  // the host accepts in order, after the 2 256 before it
    EXPECT_FALSE(ClosedByHost(one.back(), 0)) << m.mode;
    for (int fd : one) ::close(fd);
    ::close(over);
    for (int fd : idle) ::close(fd);
    EXPECT_TRUE(ReadWorks(http)) << m.mode;
    EXPECT_EQ(host.Stop(), 0) << m.mode;
  }
}

TEST_F(ReliabilityTest, AnIdleConnectionIsClosedAfterItsTimeOut) {
  HostConfig config;
  config.extraArgs = {"--idle-timeout", "1"};
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  const int fd = ConnectFrom("127.0.0.1", host.port());
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(ClosedByHost(fd, 300));
  EXPECT_TRUE(ClosedByHost(fd, 4000));
  ::close(fd);
  EXPECT_EQ(host.Stop(), 0);
}

// Sends a request head (and `bodyPart` of its body) and reads the reply's status line within `ms`.
// Returns the status, 0 when none came.
int StatusOf(int fd, const std::string& head, const std::string& bodyPart, int ms) {
  const std::string text = head + bodyPart;
  if (::send(fd, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) return 0;
  std::string got;
  const auto start = Clock::now();
  while (got.find("\r\n") == std::string::npos && MsSince(start) < ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[512];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  int status = 0;
  std::sscanf(got.c_str(), "HTTP/1.1 %d", &status);
  return status;
}

std::string PostHead(const std::string& length) {
  return "POST /cgi-bin/Tarnwick.dll?Do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
         "Content-Length: " +
         length + "\r\n\r\n";
}
std::string PostHead(uint64_t length) { return PostHead(std::to_string(length)); }

TEST_F(ReliabilityTest, BodiesBeyondTheLimitsAreRefusedBeforeTheyAreRead) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    const char* declared;
    int status;
  } cases[] = {
      {"a declared gigabyte", {}, "1073741824", 413},
      {"one byte over the default 16 MB", {}, "16777217", 413},
      {"a declared length past 64 bits", {}, "99999999999999999999", 413},
      {"over a limit of its own", {"--max-body-bytes", "1000"}, "1001", 413},
  };
  for (const auto& c : cases) {
    HostConfig config;
    config.extraArgs = c.args;
    TestHost host;
    ASSERT_TRUE(host.Start(config)) << host.error();
    const int fd = ConnectFrom("127.0.0.1", host.port());
    const std::string head = PostHead(std::string(c.declared));
    const auto start = Clock::now();
    EXPECT_EQ(StatusOf(fd, head, "{\"RequestName\":", 2000), c.status) << c.what;
    EXPECT_LT(MsSince(start), 1000) << c.what << ": answered at once";
    EXPECT_TRUE(ClosedByHost(fd, 2000)) << c.what << ": the unread body is not waited for";
    ::close(fd);
    // The host goes on serving.
    HttpClient http(host.port());
    EXPECT_TRUE(ReadWorks(http)) << c.what;
    EXPECT_EQ(host.Stop(), 0) << c.what;
  }

  // The bodies held at once have a budget: a second one past it is answered 503, the first is
  // served when it is whole.
  HostConfig config;
  config.extraArgs = {"--body-budget-bytes", "1000"};
  TestHost host;
  ASSERT_TRUE(host.Start(config)) << host.error();
  std::string body = "{\"RequestName\":\"PreInputData\",\"icID\":950001,\"iID\":999999999}";
  body += std::string(600 - body.size(), ' ');
  ASSERT_EQ(body.size(), 600u);
  const int first = ConnectFrom("127.0.0.1", host.port());
  ASSERT_EQ(::send(first, PostHead(600).data(), PostHead(600).size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(PostHead(600).size()));
  ASSERT_EQ(::send(first, body.data(), 100, MSG_NOSIGNAL), 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const int second = ConnectFrom("127.0.0.1", host.port());
  EXPECT_EQ(StatusOf(second, PostHead(600), body, 2000), 503);
  EXPECT_EQ(StatusOf(first, "", body.substr(100), 5000), 200);
  ::close(first);
  ::close(second);
  // Both bodies are given back: the budget holds a new one.
  const int third = ConnectFrom("127.0.0.1", host.port());
  EXPECT_EQ(StatusOf(third, PostHead(600), body, 5000), 200);
  ::close(third);
  EXPECT_EQ(host.Stop(), 0);
}

TEST_F(ReliabilityTest, SigtermAnswersEveryStoredRecord) {
  TestDb db;
  RemoveShipments(db);
  TestHost host;
  ASSERT_TRUE(host.Start()) << host.error();
  constexpr int kClients = 32, kRecords = 10;
  std::mutex lock;
  std::set<std::string> answeredStored;  // numbers a reply said were stored
  std::atomic<int> batches{0};
  std::vector<std::thread> clients;
  std::atomic<bool> go{false};
  for (int t = 0; t < kClients; ++t) {
    clients.emplace_back([&, t] {
      HttpClient http(host.port());
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < 100000; ++round) {
        std::string records;
        std::vector<std::string> numbers;
        for (int i = 0; i < kRecords; ++i) {
          char num[24];
          std::snprintf(num, sizeof num, "R9%02d%05d%02d", t, round, i);
          numbers.push_back(num);
          if (i > 0) records += ",";
          records += std::string("{\"iID\":0,\"cNum\":\"") + num + "\",\"cEmsKind\":\"R9K\",\"cDes\":\"US\"" +
                     (i % 2 == 0 ? ",\"GoodsList\":[{\"cxGoods\":\"A\",\"ixQuantity\":1}]" : "") + "}";
        }
        const HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?Do", "{\"RequestName\":\"PreInputSet\",\"icID\":950001,"
                                                                  "\"RecList\":[" + records + "]}");
        if (r.status != 200) break;  // refused while stopping, or the host is gone
        const std::vector<std::string> nums = ReplyTexts(r.body, "cNum");
        const std::vector<std::string> mess = ReplyTexts(r.body, "cMess");
        std::lock_guard<std::mutex> guard(lock);
        for (size_t i = 0; i < nums.size() && i < mess.size(); ++i) {
          if (mess[i].empty()) answeredStored.insert(nums[i]);
        }
        ++batches;
      }
    });
  }
  go.store(true);
  while (batches.load() < 2 * kClients) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto stopAt = Clock::now();
  EXPECT_EQ(host.Stop(15000), 0);
  EXPECT_LT(MsSince(stopAt), 9000) << "the drain is bounded";
  for (std::thread& t : clients) t.join();

  std::set<std::string> stored;
  for (const auto& row : db.Query("SELECT cnum FROM dbo.rec_pre_input WHERE icid = 950001")) stored.insert(row[0]);
  EXPECT_GT(stored.size(), 0u);
  std::vector<std::string> unanswered;
  for (const std::string& n : stored) {
    if (answeredStored.count(n) == 0) unanswered.push_back(n);
  }
  EXPECT_TRUE(unanswered.empty()) << unanswered.size() << " records stored without their reply, e.g. "
                                  << unanswered.front();
  for (const std::string& n : answeredStored) EXPECT_EQ(stored.count(n), 1u) << n << " answered stored, not found";
  RemoveShipments(db);
}

}  // namespace
