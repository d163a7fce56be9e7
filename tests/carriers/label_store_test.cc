// The label store on the test database: placeholders, stored PDFs, the sweep that re-queues recent
// placeholders and the daily purge, and the job queue's bounds.

#include "carriers/label_store.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <thread>

#include "carriers/carrier_clients.h"
#include "carriers/label_worker.h"
#include "core/pool.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/e2e.h"
#include "util/md5.h"

namespace {

using twtest::TestDb;

class LabelStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!twcarrier::ConnectTestPool()) GTEST_SKIP() << "no test database";
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.file_share WHERE ngrade=119")) << db.error();
    ClearLabelJobs();
  }
  void TearDown() override { ClearLabelJobs(); }

  std::string Row(int id, const std::string& columns) {
    auto rows = db.Query("SELECT " + columns + " FROM dbo.file_share WHERE iid=" + std::to_string(id));
    if (rows.empty()) return "<none>";
    std::string out;
    for (size_t i = 0; i < rows[0].size(); ++i) out += (i ? "|" : "") + rows[0][i];
    return out;
  }

  TestDb db;
};

TEST_F(LabelStoreTest, PlaceholderThenStoredPdf) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  const std::string pdf = twcarrier::SamplePdf();
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(pdf.data(), pdf.size(), md5);
  struct Case {
    int32_t carrier;
    const char* account;
    const char* reference;
    const char* mail;
    std::string title, file;
  };
  const Case cases[] = {
      {0, "EubKey'01", "", "LX123456789CN", "EubKey'01:1700000000", "LX123456789CN.pdf"},
      {1, "AuKey", "BOOK'7", "AP0000000000001", "AuKey@BOOK'7:1700000000", "BOOK'7.pdf"},
      {2, "SFACC01", "TW0000123", "444000012345", "SFACC01@TW0000123:1700000000", "444000012345.pdf"},
  };
  for (const Case& c : cases) {
    const int id = CreateLabelPlaceholder(slot.slot(), c.carrier, "42", c.account, c.reference, c.mail, 1700000000);
    ASSERT_GT(id, 0) << c.carrier;
    EXPECT_EQ(Row(id, "ngrade,ckind,corder,ctitle,ckey,ilen,vdata IS NULL"),
              "119|" + std::string(LabelKindText(c.carrier)) + "|42|" + c.title + "|" + c.mail + "|0|1")
        << c.carrier;
    EXPECT_EQ(SaveLabelRow(slot.slot(), c.carrier, id, c.mail, pdf.data(), static_cast<int32_t>(pdf.size()), c.account,
                           c.reference, c.carrier == 1 ? c.reference : c.mail),
              kLabelRowUpdated)
        << c.carrier;
    EXPECT_EQ(Row(id, "ilen,cfilename,octet_length(vdata),md5(vdata)"),
              std::to_string(pdf.size()) + "|" + c.file + "|" + std::to_string(pdf.size()) + "|" +
                  md5)
        << c.carrier;
  }
}

TEST_F(LabelStoreTest, SavingWithoutARowCreatesIt) {
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  const std::string pdf = twcarrier::SamplePdf(1500);
  // An EUB row made here carries the account text alone as its title; the others "key@ref:time".
  const int eub = SaveLabelRow(slot.slot(), 0, 0, "LX000000001CN", pdf.data(), static_cast<int32_t>(pdf.size()),
                               "EubKey", "", "LX000000001CN");
  ASSERT_GT(eub, 0);
  EXPECT_EQ(Row(eub, "ckind,ctitle,ckey,ilen"), "EUB_Label|EubKey|LX000000001CN|1500");
  const int au = SaveLabelRow(slot.slot(), 1, 0, "AP1", pdf.data(), static_cast<int32_t>(pdf.size()), "AuKey", "BK9",
                              "BK9");
  ASSERT_GT(au, 0);
  EXPECT_EQ(Row(au, "ckind,split_part(ctitle,':',1),ckey,ilen,cfilename"), "AUPOSTX_Lbl|AuKey@BK9|AP1|1500|BK9.pdf");
  // A row id that names no row is a failure, not a success.
  EXPECT_EQ(SaveLabelRow(slot.slot(), 0, 999999, "LX", pdf.data(), 10, "k", "", "LX"), kLabelDbFailed);
}

TEST_F(LabelStoreTest, SweepRequeuesRecentPlaceholdersAndPurgesOldRowsOnceADay) {
  // Rows relative to now: d days old, stored (ilen > 0) or a placeholder.
  struct Row {
    const char* kind;
    const char* title;
    const char* key;
    int ilen;
    int daysOld;
  };
  const Row rows[] = {
      {"EUB_Label", "ek:100", "LX000000001CN", 0, 1},       // re-queued, account "ek"
      {"EUB_Label", "ek2", "LX000000002CN", 0, 2},          // no ':' : the whole title is the account
      {"EUB_Label", "ek:100", "LX000000003CN", 0, 5},       // too old to fetch again
      {"EUB_Label", "ek:100", "LX000000004CN", 900, 1},     // already stored
      {"AUPOSTX_Lbl", "ak@BOOK1:100", "AP01", 0, 1},        // account "ak", reference "BOOK1"
      {"AUPOSTX_Lbl", "ak:100", "AP02", 0, 1},              // no '@': skipped
      {"SFEX_Label", "sf@a@b:c:100", "444000012345", 0, 3}, // first '@', last ':'
      {"SFEX_Label", "sf@TW1:100", "444000099999", 0, 27},  // purged
      {"SFEX_Label", "sf@TW1:100", "444000088888", 500, 27},// purged, stored or not
      {"EUB_Label", "ek:100", "LX000000009CN", 500, 25},    // kept
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(db.Exec(std::string("INSERT INTO dbo.file_share (ngrade,ckind,ctitle,ckey,ilen,ddate) VALUES (119,'") +
                        r.kind + "','" + r.title + "','" + r.key + "'," + std::to_string(r.ilen) +
                        ",LOCALTIMESTAMP - interval '" + std::to_string(r.daysOld) + " days')"))
        << db.error();
  }
  // A placeholder already waiting in the queue is not queued twice.
  LabelJob queued;
  queued.id = std::stoi(db.Scalar("SELECT iid FROM dbo.file_share WHERE ckey='LX000000002CN'"));
  PushLabelJob(queued);

  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  const bool all[3] = {true, true, true};
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  int keptDay = local.tm_yday;  // the load day: no purge yet
  EXPECT_EQ(RequeueAndPurgeLabels(slot.slot(), now, &keptDay, all), 3);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119"), "10");
  LabelJob job;
  ASSERT_EQ(PopLabelJob(job), 1);  // the one queued before
  std::string got;
  while (PopLabelJob(job) == 1) {
    got += std::to_string(job.kind) + ":" + job.account + "/" + job.reference + "/" + job.mailNumber + ";";
  }
  EXPECT_EQ(got, "0:ek//LX000000001CN;1:ak/BOOK1/AP01;2:sf/a@b:c/444000012345;");

  // Only configured carriers are swept.
  const bool onlyAu[3] = {false, true, false};
  EXPECT_EQ(RequeueAndPurgeLabels(slot.slot(), now, &keptDay, onlyAu), 1);
  ClearLabelJobs();

  // A new day: rows older than 26 days go, and the day is kept.
  keptDay = (local.tm_yday + 1) % 366;
  EXPECT_EQ(RequeueAndPurgeLabels(slot.slot(), now, &keptDay, all), 4);
  EXPECT_EQ(keptDay, local.tm_yday);
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119"), "8");
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.file_share WHERE ngrade=119 AND ckey LIKE '4440000_8888'"), "0");
}

TEST(LabelQueueTest, CapDropsTheOldest) {
  ClearLabelJobs();
  LabelJob job;
  for (int i = 1; i <= static_cast<int>(kLabelQueueMax) + 2; ++i) {
    job.id = i;
    PushLabelJob(job);
  }
  EXPECT_EQ(LabelJobCount(), kLabelQueueMax);
  EXPECT_FALSE(IsLabelJobQueued(2));
  EXPECT_TRUE(IsLabelJobQueued(3));
  ASSERT_EQ(PopLabelJob(job), 1);
  EXPECT_EQ(job.id, 3);
  ClearLabelJobs();
}

TEST(LabelRulesTest, PdfOnlyWithStatus200AndItsMarkEarly) {
  const std::string pdf = twcarrier::SamplePdf();
  const std::string late = std::string(1020, ' ') + "%PDF-1.4";
  const std::string early = std::string(1019, ' ') + "%PDF-1.4";
  const struct {
    int status;
    std::string body;
    bool ok;
  } cases[] = {{200, pdf, true},   {500, pdf, false},  {200, "<html>error</html>" + std::string(2000, 'x'), false},
               {200, early, true}, {200, late, false}, {200, "%PDF", false}};
  for (const auto& c : cases) EXPECT_EQ(IsPdfLabel(c.status, c.body.data(), c.body.size()), c.ok) << c.body.size();
}

TEST(LabelRulesTest, TitlesSplitIntoJobFields) {
  const std::string tooLong = std::string(70, 'k') + "@r:1";
  const struct {
    int32_t carrier;
    const char* title;
    bool ok;
    const char* account;
    const char* reference;
  } cases[] = {
      {0, "key:123", true, "key", ""},          {0, "key", true, "key", ""},
      {0, "a:b:123", true, "a:b", ""},          {1, "k@B1:123", true, "k", "B1"},
      {1, "k:123", false, "", ""},              {2, "k@a@b:1", true, "k", "a@b"},
      {2, tooLong.c_str(), false, "", ""},
  };
  for (const auto& c : cases) {
    LabelJob job;
    EXPECT_EQ(SplitLabelTitle(c.carrier, c.title, job), c.ok) << c.title;
    if (c.ok) {
      EXPECT_STREQ(job.account, c.account) << c.title;
      EXPECT_STREQ(job.reference, c.reference) << c.title;
    }
  }
}

}  // namespace

namespace {

TEST_F(LabelStoreTest, WithoutACarrierTheWorkerEndsAtOnceAndHoldsNoSlot) {
  ASSERT_FALSE(AnyCarrierConfigured());
  StartLabelWorker();
  int nFree = 0, highest = 0;
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PoolCounts(&nFree, &highest);
    EXPECT_EQ(nFree, kPoolSlotCount);
  }
  StopLabelWorker();
  EXPECT_FALSE(g_LabelJobQueue.worker.joinable());
}

}  // namespace
