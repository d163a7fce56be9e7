// Drawing numbers from the database's sequences on the caller's pool slot: both procedures, the rule
// lists, the DPD form, the fallback to the default internal rule, the lock time-out, no number twice
// under concurrent drawing, drawing while every slot of the pool is held, and the drawings a holder of
// the lock draws with its own.

#include <unistd.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/db.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "tests/support/e2e.h"

namespace {

using twtest::TestDb;

class NumberingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_genno WHERE iid BETWEEN 88300 AND 88399"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                        "(88301, 'AB', '', 8, 3, 12345, NULL), (88302, 'RR', 'CN', 8, 2, 47312482, NULL), "
                        "(88303, '', '', 6, 0, 1, NULL), (88304, 'X', '', 40, 0, 1, NULL), "
                        "(88305, '', '', 8, 0, 5, 5), (88306, '', '', 3, 0, 1, NULL)"));
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.sys_num WHERE crule IN ('K1', 'K2')"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_num (crule, icid, cprefix, iwidth, inext) VALUES "
                        "('K1', 0, 'KN', 8, 1), ('K1', 42, 'KC', 4, 99999)"));
    twtest::OdbcDir();
    char why[1024];
    std::string user = std::getenv("PGUSER") ? std::getenv("PGUSER") : "tarnwick";
    ASSERT_TRUE(ConnectPool("dorvane", user.c_str(), std::getenv("PGPASSWORD"), why, sizeof why)) << why;
    OpenPool();
    g_NumberLock.SetEvent();

    const std::string ini = std::string(kTransferRulesStart) +
                            "\r\nEMS=88301=\r\nDPDK=88303=DPD,01234567\r\nK1=0=\r\nGONE=88399=\r\n" +
                            kTransferRulesEnd + "\r\n" + kInternalRulesStart +
                            "\r\nIN1=88302=\r\nINGONE=88399=\r\n" + kInternalRulesEnd + "\r\n";
    g_TransferNumberRules = ParseNumberRules(ini.c_str(), kTransferRulesStart, kTransferRulesEnd);
    g_InternalNumberRules = ParseNumberRules(ini.c_str(), kInternalRulesStart, kInternalRulesEnd);
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
  }
};

TEST_F(NumberingTest, DrawsFromBothProcedures) {
  struct Case {
    const char* rule;
    int client;
    const char* text;  // null: refused
    int64_t value;
  } cases[] = {
      {"88301*", 0, "AB-000123454", 12345},        // 12345 mod 7 = 4
      {"88301*", 0, "AB-000123465", 12346},        // the next one
      {"88302*", 0, "RR473124829CN", 47312482},    // S10 check digit
      {"88306*", 0, "1", 1},                       // width 3: the number alone
      {"88304*", 0, nullptr, -1},                  // a width that does not fit the text
      {"88399*", 0, nullptr, -1},                  // no such sequence
      {"88305*", 0, "00000005", 5},                // the last number of its range
      {"88305*", 0, nullptr, -1},                  // the range is used up
      {"K1", 7, "KN00000001", -1},                 // by rule text, for every client
      {"K1", 42, "KC99999", -1},                   // the client's own sequence; more digits than the width
      {"K2", 7, nullptr, -1},                      // a rule text without a sequence
  };
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  for (const Case& c : cases) {
    char text[kNumberTextBytes];
    int64_t value = 0;
    int ok = GenerateNumber(slot.slot(), c.client, c.rule, text, &value);
    if (c.text == nullptr) {
      EXPECT_EQ(ok, 0) << c.rule;
    } else {
      EXPECT_EQ(ok, 1) << c.rule;
      EXPECT_STREQ(text, c.text) << c.rule;
      EXPECT_EQ(value, c.value) << c.rule;
    }
  }
}

TEST_F(NumberingTest, TransferAndInternalRules) {
  PoolSlotGuard held;
  ASSERT_TRUE(held.ok());
  PoolSlot& slot = held.slot();
  char text[kNumberTextBytes];
  int32_t rule = 0;
  ASSERT_EQ(GenerateTransferNumber(slot, 1, "DPDK", text, &rule), 1);
  EXPECT_EQ(rule, 88303);
  std::string dpd = text;
  ASSERT_EQ(dpd.size(), 15u);
  EXPECT_EQ(dpd.substr(0, 14).substr(0, 8), "01234567");
  EXPECT_EQ(dpd[14], CheckCharMod3736(dpd.substr(0, 14).c_str()));
  // A rule with id 0 draws by the kind itself.
  ASSERT_EQ(GenerateTransferNumber(slot, 1, "K1", text, &rule), 1);
  EXPECT_EQ(std::string(text).substr(0, 2), "KN");
  EXPECT_EQ(rule, 0);
  // No rule, and a rule that fails: no number, rule id -1; a transfer rule never falls back.
  ExtensionSettings.defaultInternalRuleId = 88303;
  EXPECT_EQ(GenerateTransferNumber(slot, 1, "NONE", text, &rule), 0);
  EXPECT_EQ(rule, -1);
  EXPECT_EQ(GenerateTransferNumber(slot, 1, "GONE", text, &rule), 0);
  EXPECT_EQ(FindTransferNumberRuleId("EMS"), 88301);
  EXPECT_EQ(FindTransferNumberRuleId("ems"), -1);  // names compare exactly

  ASSERT_EQ(GenerateInternalNumber(slot, 1, "IN1", text, &rule), 1);
  EXPECT_EQ(rule, 88302);
  // An internal rule whose drawing fails, and a name without a rule, fall back to the default id.
  ASSERT_EQ(GenerateInternalNumber(slot, 1, "INGONE", text, &rule), 1);
  EXPECT_EQ(rule, 88303);
  ASSERT_EQ(GenerateInternalNumber(slot, 1, "NOSUCH", text, &rule), 1);
  EXPECT_EQ(rule, 88303);
  ExtensionSettings.defaultInternalRuleId = 0;
  EXPECT_EQ(GenerateInternalNumber(slot, 1, "NOSUCH", text, &rule), 0);
  EXPECT_EQ(rule, -1);
}

// Takes `n` pool slots (fewer when the pool has fewer free).
std::vector<std::unique_ptr<PoolSlotGuard>> TakeSlots(int n) {
  std::vector<std::unique_ptr<PoolSlotGuard>> slots;
  for (int i = 0; i < n; ++i) {
    auto slot = std::make_unique<PoolSlotGuard>();
    if (!slot->ok()) break;
    slots.push_back(std::move(slot));
  }
  return slots;
}

// One thread for each slot draws `each` numbers of sequence 88303 on it, all at once; the numbers
// drawn, of every thread.
std::vector<std::string> DrawOnEach(const std::vector<std::unique_ptr<PoolSlotGuard>>& slots, int each) {
  std::vector<std::vector<std::string>> drawn(slots.size());
  std::vector<std::thread> threads;
  for (size_t t = 0; t < slots.size(); ++t) {
    threads.emplace_back([t, each, &drawn, &slots] {
      for (int i = 0; i < each; ++i) {
        char text[kNumberTextBytes];
        int64_t value = 0;
        if (GenerateNumber(slots[t]->slot(), 1, "88303*", text, &value) == 1) drawn[t].push_back(text);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::vector<std::string> all;
  for (const auto& list : drawn) all.insert(all.end(), list.begin(), list.end());
  return all;
}

TEST_F(NumberingTest, SixteenThreadsNeverDrawTheSameNumber) {
  TestDb db;
  const int64_t before = std::atoll(db.Scalar("SELECT inext FROM dbo.sys_genno WHERE iid = 88303").c_str());
  const auto slots = TakeSlots(16);
  ASSERT_EQ(slots.size(), 16u);
  const std::vector<std::string> drawn = DrawOnEach(slots, 50);
  EXPECT_EQ(drawn.size(), 800u);
  EXPECT_EQ(std::set<std::string>(drawn.begin(), drawn.end()).size(), 800u);
  EXPECT_EQ(std::atoll(db.Scalar("SELECT inext FROM dbo.sys_genno WHERE iid = 88303").c_str()), before + 800);
}

TEST_F(NumberingTest, EveryHolderOfTheWholePoolDraws) {
  // All 50 slots are held, each by a thread that draws on it: the lock's holder needs no slot of
  // the pool, so no drawing fails however many wait for the lock.
  const auto slots = TakeSlots(kPoolSlotCount);
  ASSERT_EQ(slots.size(), static_cast<size_t>(kPoolSlotCount));
  {
    PoolSlotGuard none;
    EXPECT_FALSE(none.ok());  // the pool is empty
  }
  const std::vector<std::string> drawn = DrawOnEach(slots, 10);
  EXPECT_EQ(drawn.size(), 10u * kPoolSlotCount);
  EXPECT_EQ(std::set<std::string>(drawn.begin(), drawn.end()).size(), 10u * kPoolSlotCount);
}

// Drawings that queue while the lock is held: the first to take it draws them all in one round, each
// with its own rule's prefix, suffix, width and check character.
TEST_F(NumberingTest, DrawingsQueuedBehindTheLockAreDrawnTogether) {
  struct Rule {
    const char* text;
    const char* prefix;
    const char* suffix;
    int width, checkType;
  };
  static constexpr Rule kRules[] = {{"88301*", "AB", "", 8, 3}, {"88302*", "RR", "CN", 8, 2}, {"88303*", "", "", 6, 0}};
  constexpr int kEach = 4;
  const auto slots = TakeSlots(3 * kEach);
  ASSERT_EQ(slots.size(), 3u * kEach);
  struct Drawn {
    int result = -1;
    char text[kNumberTextBytes] = "";
    int64_t value = 0;
  };
  std::vector<Drawn> drawn(slots.size());
  ASSERT_TRUE(g_NumberLock.Lock(0));
  std::vector<std::thread> threads;
  for (size_t i = 0; i < slots.size(); ++i) {
    threads.emplace_back([i, &slots, &drawn] {
      Drawn& d = drawn[i];
      d.result = GenerateNumber(slots[i]->slot(), 1, kRules[i % 3].text, d.text, &d.value);
    });
  }
  usleep(300 * 1000);
  OpenNumberLock();
  for (std::thread& t : threads) t.join();
  for (int r = 0; r < 3; ++r) {
    std::set<int64_t> values;
    for (size_t i = r; i < drawn.size(); i += 3) {
      ASSERT_EQ(drawn[i].result, 1) << kRules[r].text;
      char expected[kNumberTextBytes];
      ASSERT_TRUE(FormatDrawnNumber(drawn[i].value, kRules[r].prefix, kRules[r].suffix, kRules[r].width,
                                    kRules[r].checkType, expected));
      EXPECT_STREQ(drawn[i].text, expected);
      values.insert(drawn[i].value);
    }
    ASSERT_EQ(values.size(), static_cast<size_t>(kEach)) << kRules[r].text;
    EXPECT_EQ(*values.rbegin() - *values.begin(), kEach - 1) << kRules[r].text;
  }
}

// A holder of the lock inside a transaction draws only its own number: the numbers of the others must
// not go back when its transaction does.
TEST_F(NumberingTest, AHolderInsideATransactionDrawsOnlyItsOwn) {
  TestDb db;
  const char* kNext = "SELECT inext FROM dbo.sys_genno WHERE iid = 88303";
  const int64_t before = std::atoll(db.Scalar(kNext).c_str());
  const auto slots = TakeSlots(3);
  ASSERT_EQ(slots.size(), 3u);
  ASSERT_TRUE(g_NumberLock.Lock(0));
  char texts[3][kNumberTextBytes] = {};
  int results[3] = {-1, -1, -1};
  std::atomic<bool> rollBack{false};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    DbTransaction transaction(slots[0]->slot().hDbc);
    ASSERT_TRUE(transaction.ok());
    int64_t value = 0;
    results[0] = GenerateNumber(slots[0]->slot(), 1, "88303*", texts[0], &value);
    while (!rollBack.load()) usleep(10 * 1000);
  });  // rolled back here
  usleep(200 * 1000);  // the holder-to-be queues first
  for (int i = 1; i < 3; ++i) {
    threads.emplace_back([i, &slots, &texts, &results] {
      int64_t value = 0;
      results[i] = GenerateNumber(slots[i]->slot(), 1, "88303*", texts[i], &value);
    });
  }
  usleep(200 * 1000);
  OpenNumberLock();
  usleep(300 * 1000);
  rollBack = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(results[0], 1);
  EXPECT_EQ(results[1], 1);
  EXPECT_EQ(results[2], 1);
  EXPECT_STRNE(texts[1], texts[2]);
  EXPECT_EQ(std::atoll(db.Scalar(kNext).c_str()), before + 2);
}

// Many drawings in one statement give what one call each would give, in the order of the list: a
// range with fewer numbers left than asked gives what it has and fails the rest.
TEST_F(NumberingTest, ManyDrawingsAtOnceAreTheCallsOneAfterTheOther) {
  TestDb db;
  ASSERT_TRUE(db.Exec("INSERT INTO dbo.sys_genno (iid, cprefix, csuffix, iwidth, nchecktype, inext, ilast) VALUES "
                      "(88311, 'P', 'S', 7, 1, 40, 42), (88312, 'Q', '', 5, 0, 900, NULL), "
                      "(88313, '', '', 4, 0, 10, 9)"));
  const std::string drawn = db.Scalar(
      "SELECT string_agg(ret || ':' || num || ':' || prefix || ':' || suffix || ':' || width || ':' || checktype, ' ') "
      "FROM dorvane.dbo.genno_draw_many('{88311,88312,88311,88399,88311,88313,88312,88311}')");
  EXPECT_EQ(drawn,
            "1:40:P:S:7:1 1:900:Q::5:0 1:41:P:S:7:1 0:-1:::0:0 1:42:P:S:7:1 0:-1:::0:0 1:901:Q::5:0 "
            "0:-1:::0:0");
  EXPECT_EQ(db.Scalar("SELECT string_agg(inext::text, ' ' ORDER BY iid) FROM dbo.sys_genno "
                      "WHERE iid BETWEEN 88311 AND 88313"),
            "43 902 10");
}

TEST_F(NumberingTest, TheProceduresAreSafeOnConcurrentConnections) {
  // Eight connections of their own draw at once, without the library's lock.
  std::vector<std::vector<std::string>> drawn(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &drawn] {
      TestDb db;
      for (int i = 0; i < 40; ++i) {
        drawn[t].push_back(db.Scalar("SELECT num FROM dbo.cp_x_genno_exx(88303)"));
        drawn[t].push_back(db.Scalar("SELECT numtext FROM dbo.cp_get_sys_num(7, 'K1')"));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<std::string> all;
  for (const auto& list : drawn) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), 640u);
  EXPECT_EQ(all.count(""), 0u);
}

TEST_F(NumberingTest, ALockHeldTenSecondsFailsTheDrawing) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  ASSERT_TRUE(g_NumberLock.Lock(0));
  char text[kNumberTextBytes];
  int64_t value = 0;
  uint32_t start = tw::GetTickCount();
  EXPECT_EQ(GenerateNumber(slot.slot(), 1, "88301*", text, &value), 0);
  EXPECT_GE(tw::GetTickCount() - start, kNumberLockWaitMs - 50);
  g_NumberLock.SetEvent();
  EXPECT_EQ(GenerateNumber(slot.slot(), 1, "88301*", text, &value), 1);
}

}  // namespace
