// "QueryPrice" over HTTP: the whole answer for one kind, every kind of a destination cheapest first,
// the kind filters and the origin station, item types, the volume weight, every refusal code, a
// destination no kind serves, and the signed client door.
//
// Prices are computed by hand from the rows inserted below (the client has no discounts, so kinds are
// priced at their table price, "同行报价").

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/md5.h"

namespace {

using twtest::GbkToUtf8Text;
using twtest::HttpClient;
using twtest::HttpReply;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 920101;
constexpr char kClientKey[] = "QpHKey0001";
constexpr char kDo[] = "/cgi-bin/Tarnwick.dll?Do";

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// A "QueryPrice" body (GBK pieces, sent as UTF-8).
std::string Query(const std::string& more, int icid = kClient) {
  return GbkToUtf8Text("{\"RequestName\":\"QueryPrice\",\"icID\":" + std::to_string(icid) + more + "}");
}

// The kinds of an answer's "RecList", in order, with their prices ("QPH2=35.00").
std::vector<std::string> Kinds(const std::string& body) {
  std::vector<std::string> kinds;
  size_t at = 0;
  while ((at = body.find("\"cEmsKind\":\"", at)) != std::string::npos) {
    at += 12;
    const std::string kind = body.substr(at, body.find('"', at) - at);
    const size_t price = body.find("\"fPrice\":", at) + 9;
    kinds.push_back(kind + "=" + body.substr(price, body.find(',', price) - price));
  }
  return kinds;
}

class QueryPriceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) {
      return;
    }
    TestDb db;
    ASSERT_TRUE(db.ok());
    for (const char* sql : {
             "DELETE FROM dbo.sys_place WHERE iid BETWEEN 920100 AND 920199",
             "DELETE FROM dbo.ems_price WHERE cemskind LIKE 'QPH%'",
             "DELETE FROM dbo.ems_area WHERE cemskind LIKE 'QPH%'",
             "DELETE FROM dbo.ems_kind WHERE cemskind LIKE 'QPH%'",
             "DELETE FROM dbo.client_arc WHERE icid BETWEEN 920100 AND 920199",
             "DELETE FROM dbo.client_discount WHERE icid BETWEEN 920100 AND 920199",
             "DELETE FROM dbo.sys_dict WHERE dcname IN ('27', '75')",
             "INSERT INTO dbo.sys_place (iid, ccode, carea, careae, narea) VALUES (920101, 'QPHS', 'QPH悉尼', 'QPH Sydney', "
             "246), (920102, 'QPHW', 'QPH无服务', '', 245)",
             "INSERT INTO dbo.client_arc (icid, capikey, nstate) VALUES (920101, 'QpHKey0001', 0)",
             "INSERT INTO dbo.ems_kind (cemskind, cemskindd, cpmemo, b1price, faddons, fcustoms, ninput, npubprice, "
             "cstation) VALUES ('QPH1', 'QP快递一', E'时效快\\n可跟踪 \"全程\"', 1, 10, 12, 1, 0, 'QPS'), "
             "('QPH2', 'QP快递二', NULL, 1, 0, 0, 0, 1, 'QPT'), ('QPH3', 'QP零价', NULL, 1, 0, 0, 0, 0, 'QPS'), "
             "('QPH4', 'QP轻件', NULL, 1, 0, 0, 0, 0, 'QPS')",
             "INSERT INTO dbo.ems_area (cemskind, carea, narea, ntype, ccode, cmemo, ilong, iweight, icubic) VALUES "
             "('QPH1', 'QPH悉尼', 3, 1, '3,5', '悉尼限重30公斤', 1200, 30000, 250000), "
             "('QPH2', 'QPH悉尼', 4, 0, '5,9', '', 0, 0, 0), ('QPH3', 'QPH悉尼', 5, 0, '', '', 0, 0, 0), "
             "('QPH4', 'QPH悉尼', 6, 0, '', '', 0, 0, 0)",
             "INSERT INTO dbo.ems_price (cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, "
             "itopprice) VALUES ('QPH1', 3, 1, 0, 30000, 500, 1, 1000, 0), ('QPH1', 3, 0, 0, 30000, 0, 0, 0, 2222), "
             "('QPH1', 3, 2, 0, 30000, 0, 0, 0, 3333), ('QPH2', 4, 1, 0, 30000, 0, 0, 0, 3500), "
             "('QPH3', 5, 1, 0, 30000, 0, 0, 0, 0), ('QPH4', 6, 1, 0, 1000, 0, 0, 0, 100)",
         }) {
      ASSERT_TRUE(db.Exec(sql)) << db.error() << "\n" << sql;
    }
    host_ = new TestHost;
    twtest::HostConfig config;
    config.iniText = twtest::DefaultIni() + "启用Ostrum容器=1\r\n";
    ASSERT_TRUE(host_->Start(config)) << host_->error();
  }
  static void TearDownTestSuite() {
    if (host_ != nullptr) {
      EXPECT_EQ(host_->Stop(), 0);
      delete host_;
      host_ = nullptr;
    }
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) {
      GTEST_SKIP() << "no test database (run ./test.sh)";
    }
    ASSERT_NE(host_, nullptr);
  }

  static TestHost* host_;
};

TestHost* QueryPriceTest::host_ = nullptr;

TEST_F(QueryPriceTest, OneKindAnswersItsPriceAndExplanation) {
  HttpClient http(host_->port());
  const HttpReply r = http.Post(kDo, Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH1\",\"fqWeight\":2,\"nqItemType\":1"));
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("content-type"), "application/json");
  // 2000 g in steps of 500 g at 10.00: 40.00; fuel 10 % 4.00; customs 12.00 (the area's ntype is 1).
  const std::string expected = GbkToUtf8Text(
      "{\"ReturnValue\":1,\"icID\":920101,\"cqFrom\":\"\",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH1\",\"nqItemType\":1,"
      "\"fqWeight\":2.000,\"fqLong\":0.0,\"fqWidth\":0.0,\"fqHeight\":0.0,\"frWeight\":2.000,\"nqFilter\":0,"
      "\"RecList\":[{\"cEmsKind\":\"QPH1\",\"cEmsKindi\":\"QP快递一\",\"fPrice\":56.00,\"fsPrice\":0.00,\"fAddOn\":10.00,"
      "\"fCustoms\":12.00,\"fDiscount\":0.00,\"nDaysB\":3,\"nDaysE\":5,\"fcWeight\":30.000,\"fcLong\":1.20,"
      "\"fcCubic\":0.2500,\"cMemo\":\"时效快<BR>可跟踪 \\x22全程\\x22<BR>悉尼限重30公斤\","
      "\"cMethod\":\"　     40.00(总乘10.00元\\x2F500克:10.00*4)<BR>+       4.00(燃附10.00%)<BR>"
      "+      12.00(报关费)<BR>────────────────<BR> =     56.00(同行报价)<BR>\",\"cStation\":\"QPS\"}]}");
  EXPECT_EQ(r.body, expected);
  EXPECT_EQ(r.Header("content-length"), std::to_string(expected.size()));
}

TEST_F(QueryPriceTest, AllKindsCheapestFirst) {
  HttpClient http(host_->port());
  struct Case {
    std::string more;
    std::vector<std::string> kinds;
    const char* why;
  } cases[] = {
      {"", {"QPH2=35.00", "QPH1=56.00"}, "QPH3 costs nothing and QPH4 has no band for 2 kg: both left out"},
      {",\"nqFilter\":1", {"QPH1=56.00"}, "kinds that take input"},
      {",\"nqFilter\":2", {"QPH2=35.00"}, "kinds with public prices"},
      {",\"nqFilter\":3", {"QPH2=35.00", "QPH1=56.00"}, "another filter limits nothing"},
      {",\"cqFrom\":\"QPT\"", {"QPH2=35.00"}, "the origin station"},
  };
  for (const Case& c : cases) {
    const HttpReply r = http.Post(kDo, Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":2,\"nqItemType\":1" + c.more));
    EXPECT_EQ(Kinds(r.body), c.kinds) << c.why << ": " << r.body;
    EXPECT_EQ(r.body.rfind("{\"ReturnValue\":" + std::to_string(c.kinds.size()) + ",\"icID\":920101,", 0), 0u)
        << c.why << ": " << r.body;
    EXPECT_NE(r.body.find("\"cqEmsKind\":\"\""), std::string::npos) << c.why;
  }
  // Repeated, the same bytes.
  const std::string body = Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":2,\"nqItemType\":1");
  EXPECT_EQ(http.Post(kDo, body).body, http.Post(kDo, body).body);
}

TEST_F(QueryPriceTest, ItemTypesAndVolumeWeight) {
  HttpClient http(host_->port());
  struct Case {
    std::string more;
    const char* price;
    const char* quoted;
    const char* itemType;
    const char* why;
  } cases[] = {
      {",\"fqWeight\":2,\"nqItemType\":7", "48.66", "2.000", "2", "item type 7 is 2: 33.33 + 3.33 + 12.00"},
      {",\"fqWeight\":2,\"nqItemType\":-1", "36.44", "2.000", "0", "item type -1 is 0: 22.22 + 2.22 + 12.00"},
      {",\"fqWeight\":1,\"fqLong\":40,\"fqWidth\":30,\"fqHeight\":20,\"nqItemType\":1", "100.00", "4.000", "1",
       "24000 cm3 / 6000: 4 kg, 8 steps: 80.00 + 8.00 + 12.00"},
      {",\"fqWeight\":5,\"fqLong\":40,\"fqWidth\":30,\"fqHeight\":20,\"nqItemType\":1", "122.00", "5.000", "1",
       "the real weight is larger: 10 steps"},
      {",\"fqWeight\":1,\"fqLong\":39.05,\"fqWidth\":30.1,\"fqHeight\":20,\"nqItemType\":1", "111.00", "4.030", "1",
       "39.05 counts as 39 and 30.1 as 31: 24180 cm3 is 4.03 kg, 9 steps"},
      {",\"fqWeight\":0,\"fqLong\":1,\"fqWidth\":1,\"fqHeight\":5,\"nqItemType\":1", "23.00", "0.010", "1",
       "5 cm3 passes the size check and is charged 10 g: 10.00 + 1.00 + 12.00"},
  };
  for (const Case& c : cases) {
    const HttpReply r = http.Post(kDo, Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH1\"" + c.more));
    EXPECT_NE(r.body.find(std::string("\"fPrice\":") + c.price + ","), std::string::npos) << c.why << ": " << r.body;
    EXPECT_NE(r.body.find(std::string("\"frWeight\":") + c.quoted + ","), std::string::npos) << c.why << ": " << r.body;
    EXPECT_NE(r.body.find(std::string("\"nqItemType\":") + c.itemType + ","), std::string::npos) << c.why;
  }
}

TEST_F(QueryPriceTest, RefusalCodes) {
  HttpClient http(host_->port());
  struct Case {
    std::string body;
    int code;
    const char* why;
  } cases[] = {
      {Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":2", 0), -710, "icID 0"},
      {Query(",\"fqWeight\":2"), -15, "no cqDes"},
      {Query(",\"cqDes\":\"\",\"fqWeight\":2"), -15, "an empty cqDes"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":0,\"fqLong\":1,\"fqWidth\":1,\"fqHeight\":4"), -16,
       "no weight and 4 cm3"},
      {Query(",\"cqDes\":\"QPH悉尼\""), -16, "neither weight nor sides"},
      {Query(",\"cqDes\":\"QPH未知\",\"fqWeight\":2"), -15, "a place unknown to the database, all kinds"},
      {Query(",\"cqDes\":\"QPH未知\",\"cqEmsKind\":\"QPH1\",\"fqWeight\":2"), -14, "the same, one kind"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":99999"), -14, "99999 kg or more, all kinds"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH1\",\"fqWeight\":3000000"), -14,
       "grams beyond 32 bits, one kind"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"fqWeight\":\"nan\""), -14, "a weight that is not a number"},
      {Query(",\"cqDes\":\"QPH无服务\",\"fqWeight\":2"), -2, "a destination no kind serves"},
      {Query(",\"cqDes\":\"QPH无服务\",\"cqEmsKind\":\"QPH1\",\"fqWeight\":2"), -2, "one kind that does not serve it"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH4\",\"fqWeight\":2"), -2, "no band for the weight"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH3\",\"fqWeight\":2"), -2, "a price of nothing"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH2\",\"cqFrom\":\"QPS\",\"fqWeight\":2"), -2,
       "the kind leaves from another station"},
      {Query(",\"cqDes\":\"QPH悉尼' OR '1'='1\",\"fqWeight\":2"), -15, "a quote in the destination is only text"},
      {Query(",\"cqDes\":\"QPH悉尼\",\"cqEmsKind\":\"QPH1' OR '1'='1\",\"fqWeight\":2"), -2, "and in the kind"},
  };
  for (const Case& c : cases) {
    const HttpReply r = http.Post(kDo, c.body);
    EXPECT_EQ(r.body, Code(c.code)) << c.why;
  }
}

TEST_F(QueryPriceTest, SignedClientDoor) {
  HttpClient http(host_->port());
  const long long stamp = static_cast<long long>(std::time(nullptr)) * 1000;
  const std::string text = std::to_string(kClient) + std::to_string(stamp) + kClientKey;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), md5);
  const std::string signature =
      ",\"TimeStamp\":" + std::to_string(stamp) + ",\"MD5\":\"" + md5 + "\",\"cqDes\":\"QPH悉尼\",\"fqWeight\":2";
  HttpReply r = http.Post("/cgi-bin/Tarnwick.dll?DoApp", Query(signature + ",\"nqItemType\":1"));
  EXPECT_EQ(Kinds(r.body), (std::vector<std::string>{"QPH2=35.00", "QPH1=56.00"})) << r.body;
  r = http.Post("/cgi-bin/Tarnwick.dll?DoApp", Query(signature + ",\"cqEmsKind\":\"QPH2\",\"nqItemType\":1"));
  EXPECT_EQ(Kinds(r.body), (std::vector<std::string>{"QPH2=35.00"})) << r.body;
}

}  // namespace
