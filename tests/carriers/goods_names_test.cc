// The goods name each carrier client sends for the same shipment, side by side: EUB's enname and
// SF's ename in capitals, Australia Post's goods_description as the name stands.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "carriers/carrier_clients.h"
#include "core/pool.h"
#include "tests/carriers/carrier_fixtures.h"
#include "tests/support/fake_carrier.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;

// Every carrier refuses the order, so nothing is stored and no label job is queued.
FakeReply SfRefusal() {
  FakeReply r = FakeReply::Ok("<Response><Head>ERR</Head><ERROR code=\"4001\">x</ERROR></Response>");
  r.sendContinue = true;
  return r;
}

TEST(CarrierGoodsNamesTest, OnlyEubAndSfUpperCase) {
  FakeCarrierServer server;
  ASSERT_TRUE(server.Start());
  CEubClient eub;
  CAuPostClient au;
  CSfClient sf;
  ASSERT_EQ(eub.LoadSettings(1, twcarrier::EubSettings(server.port(), server.port()).c_str()), 1);
  ASSERT_EQ(au.LoadSettings(1, twcarrier::AuSettings(server.port()).c_str()), 1);
  ASSERT_EQ(sf.LoadSettings(1, twcarrier::SfSettings(server.port()).c_str()), 1);
  if (!twcarrier::ConnectTestPool()) GTEST_SKIP() << "no test database";

  const struct {
    const char* english;
    const char* chinese;
    const char* eub;
    const char* au;
    const char* sf;
  } cases[] = {
      {"T-shirt", "衣服", "T-SHIRT", "T-shirt", "T-SHIRT"},
      {"", "衣服", "YI FU", "yi fu", "YI FU"},          // the pinyin of the Chinese name
      {"", "LED灯", "LEDDENG", "LEDdeng", "LEDDENG"},   // Latin letters inside the Chinese name
  };
  PoolSlotGuard slot;
  ASSERT_TRUE(slot.ok());
  for (const auto& c : cases) {
    server.Clear();
    server.Script("POST", "/partner/api/public/p/order/",
                  {FakeReply::Ok("<response><status>error</status><description>x</description></response>")});
    server.Script("POST", "/ay/service.asmx/ayorder",
                  {FakeReply::Ok("<response><status>refused</status></response>")});
    server.Script("POST", "/CBTA/ws/sfexpressService", {SfRefusal()});

    EubOrder e;
    e.recordId = 1;
    e.weight = 1;
    e.quantity = 1;
    e.unitPrice = 5;
    e.pieces = 1;
    std::strcpy(e.kind, "E8EUB");
    std::strcpy(e.destination, "美国");
    std::strcpy(e.country, "美国");
    std::strcpy(e.postcode, "10001");
    std::strcpy(e.province, "NY");
    std::strcpy(e.city, "New York");
    std::strcpy(e.address, "1 Main St");
    std::strcpy(e.receiver, "John");
    std::strcpy(e.goods, c.chinese);
    std::strcpy(e.goodsEn, c.english);
    CEubSession(slot.slot(), &eub).CreateOrder(e);

    AuPostOrder a;
    a.weight = 1;
    a.quantity = 1;
    a.unitPrice = 5;
    std::strcpy(a.kind, "A8AUP");
    std::strcpy(a.destination, "澳大利亚");
    std::strcpy(a.receiver, "Bob");
    std::strcpy(a.address, "5 Smith St");
    std::strcpy(a.postcode, "3053");
    std::strcpy(a.goods, c.chinese);
    std::strcpy(a.goodsEn, c.english);
    CAuPostSession(slot.slot(), &au).CreateOrder(a);

    SfOrder s;
    s.weight = 1;
    s.quantity = 1;
    s.unitPrice = 5;
    s.pieces = 1;
    std::strcpy(s.kind, "S8SF");
    std::strcpy(s.destination, "美国");
    std::strcpy(s.orderId, "TW0000001");
    std::strcpy(s.goods, c.chinese);
    std::strcpy(s.goodsEn, c.english);
    CSfSession(slot.slot(), &sf).CreateOrder(s);

    std::string eubBody, auBody, sfBody;
    for (const twtest::FakeRequest& r : server.Requests()) {
      if (r.path == "/partner/api/public/p/order/") eubBody = r.body;
      if (r.path == "/ay/service.asmx/ayorder") auBody = twtest::FormField(r.body, "order");
      if (r.path == "/CBTA/ws/sfexpressService") sfBody = twtest::XmlUnescape(r.body);
    }
    EXPECT_EQ(twtest::XmlText(eubBody, "enname"), c.eub) << c.english << c.chinese;
    EXPECT_EQ(twtest::XmlText(auBody, "goods_description"), c.au) << c.english << c.chinese;
    EXPECT_EQ(twtest::XmlAttribute(sfBody, "Cargo", "ename"), c.sf) << c.english << c.chinese;
  }
}

}  // namespace
