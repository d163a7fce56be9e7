#pragma once
// Settings files of the three carrier clients pointing at fake carrier servers on 127.0.0.1, a small
// PDF, and a pool connected to the test database for the tests that drive sessions directly.

#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/pool.h"
#include "tests/support/e2e.h"

namespace twcarrier {

// A label as the carriers send it: over 1000 bytes, "%PDF-" at the start.
inline std::string SamplePdf(size_t bytes = 3000) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
  while (pdf.size() < bytes - 6) pdf += static_cast<char>('0' + pdf.size() % 10);
  pdf += "%%EOF\n";
  return pdf;
}

// GBK settings text of an EUB account: orders to port `order`, labels to port `label`; kinds E8EUB
// (operation 0), E8OP2 (operation 2, product 1) and e8low (operation 1).
inline std::string EubSettings(uint16_t order, uint16_t label, const std::string& key = "EubKey-01") {
  return "公司名称=塔恩威克快递\r\n大客户代码=VIP001\r\n服务器=127.0.0.1\r\n端口=" + std::to_string(order) +
         "\r\n密钥=" + key +
         "\r\n接口版本=international_eub_us_1.1\r\n标签纸张=00\r\n揽收类型=3\r\n标签服务器=127.0.0.1\r\n标签端口=" +
         std::to_string(label) +
         "\r\n<揽收地址信息设定开始>\r\n姓名=张三\r\n公司=揽收公司\r\n邮编=200001\r\n电话=021-1234\r\n手机=13800000000\r\n"
         "国家=CN\r\n省份代码=310000\r\n城市代码=310100\r\n区县代码=310101\r\n街道=揽收路1号\r\n电子邮箱=a@b.cn\r\n"
         "<揽收地址信息设定结束>\r\n<发件地址信息设定开始>\r\n姓名=SENDER LI\r\n公司=不用的公司\r\n邮编=200002\r\n"
         "电话=021-5678\r\n手机=13900000000\r\n国家=CN\r\n省份代码=310000\r\n城市代码=310100\r\n区县代码=310102\r\n"
         "街道=Sender Road 2\r\n电子邮箱=s@b.cn\r\n<发件地址信息设定结束>\r\n<目的地与邮编前缀关联开始>\r\n美国=9\r\n"
         "<目的地与邮编前缀关联结束>\r\n<关联快递类别开始>\r\nE8EUB=0\r\nE8OP2=2=1\r\ne8low=1\r\n<关联快递类别结束>\r\n";
}

// Australia Post: orders and prints to port `order`; kinds A8AUP (service "7E").
inline std::string AuSettings(uint16_t order) {
  return "端口=" + std::to_string(order) +
         "\r\n服务器=127.0.0.1\r\n接口=/ay/service.asmx\r\n密钥=AuKey-01\r\n打印纸张=1\r\n<关联快递类别开始>\r\n"
         "A8AUP=7E\r\n<关联快递类别结束>\r\n";
}

// SF Express: calls to port `order`; kinds S8SF (type "9") and S8TWO (type "12").
inline std::string SfSettings(uint16_t order) {
  return "端口=" + std::to_string(order) +
         "\r\n服务器=127.0.0.1\r\n接口=/CBTA/ws\r\n账号=SFACC01\r\n密钥=SfCheck01\r\n是否退件=Y\r\n"
         "<寄件人信息设定开始>\r\n姓名=王五\r\n电话=0755-1\r\n手机=13700000000\r\n邮编=518000\r\n地址=深圳 \"仓\" 1号\r\n"
         "公司=顺丰寄件\r\n国家=CN\r\n省州=广东\r\n城市=深圳\r\n<寄件人信息设定结束>\r\n<关联快递类别开始>\r\nS8SF=9\r\n"
         "S8TWO=12 x\r\n<关联快递类别结束>\r\n";
}

// The statements that remove a client's shipments of both entries (with their goods and weights),
// the client and its PDA user.
inline std::vector<std::string> ClientRowDeletes(int client, const std::string& pda) {
  const std::string id = std::to_string(client);
  return {
      "DELETE FROM dbo.client_rec_weight_detail WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid=" + id + ")",
      "DELETE FROM dbo.client_rec_goods WHERE irid IN (SELECT irid FROM dbo.client_rec WHERE icid=" + id + ")",
      "DELETE FROM dbo.client_rec WHERE icid=" + id,
      "DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (SELECT iid FROM dbo.rec_pre_input WHERE icid=" + id + ")",
      "DELETE FROM dbo.rec_pre_input WHERE icid=" + id,
      "DELETE FROM dbo.client_arc WHERE icid=" + id,
      "DELETE FROM dbo.man_main WHERE cpda='" + pda + "'",
  };
}

// Connects the pool of this process to the test database once. False when it cannot.
inline bool ConnectTestPool() {
  static const bool connected = [] {
    if (!twtest::DatabaseConfigured()) return false;
    twtest::OdbcDir();
    char why[1024];
    const char* user = std::getenv("PGUSER") ? std::getenv("PGUSER") : "tarnwick";
    if (!ConnectPool("dorvane", user, std::getenv("PGPASSWORD"), why, sizeof why)) return false;
    OpenPool();
    char logs[] = "/tmp/tarnwick-carrier-log.XXXXXX";
    ExtensionSettings.logFolder = std::string(mkdtemp(logs)) + "/";
    return true;
  }();
  return connected;
}

}  // namespace twcarrier
