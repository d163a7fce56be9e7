// China Post EUB: the account settings, orders as XML and the label PDFs.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "carriers/carrier_clients.h"
#include "carriers/http_client.h"
#include "carriers/internal/carrier_text.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/config.h"
#include "core/pool.h"
#include "pricing/country.h"
#include "util/codepage.h"
#include "util/md5.h"
#include "util/text.h"

using namespace tw::carrier;

namespace {

constexpr char kOrderPath[] = "/partner/api/public/p/order/";
constexpr char kLabelPathFormat[] = "/partner/api/public/p/static/label/download/%s/%s.pdf";
constexpr char kOrderHeader[] =
    "POST %s HTTP/1.1\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\nHost: %s:%d\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nversion: %s\r\nauthenticate: %s\r\n"
    "Content-Length: %zu\r\nContent-Type: text/xml; charset=utf-8\r\nCache-Control: no-cache\r\nConnection: "
    "Close\r\n\r\n";
constexpr size_t kReplyHeaderOffset = 100000;  // the reply header lies this far into the work buffer
constexpr size_t kDescriptionMax = 254;
constexpr char kReturnBlock[] =
    "<retreat>\r\n<name></name>\r\n<postcode>3043</postcode>\r\n<phone></phone>\r\n<mobile></mobile>\r\n"
    "<country>AUSTRALIA</country>\r\n<province>VIC</province>\r\n<city>Tullamarine</city>\r\n<county></county>\r\n"
    "<street>StarTrack International,38 Annandale Road</street>\r\n</retreat>\r\n";

void ReadAddress(const char* text, const char* start, const char* end, EubAddress& a) {
  std::string block;
  if (!SettingsBlock(text, start, end, block)) return;
  const char* b = block.c_str();
  Setting("姓名=", b, a.name, 1, 31);
  Setting("公司=", b, a.company, 0, 126);
  Setting("邮编=", b, a.postcode, 1, 15);
  Setting("电话=", b, a.phone, 1, 31);
  Setting("手机=", b, a.mobile, 1, 31);
  Setting("国家=", b, a.country, 1, 15);
  Setting("省份代码=", b, a.province, 1, 15);
  Setting("城市代码=", b, a.city, 1, 15);
  Setting("区县代码=", b, a.county, 1, 15);
  Setting("街道=", b, a.street, 1, 126);
  Setting("电子邮箱=", b, a.email, 1, 63);
}

int Refuse(EubOrder& order, int code, const char* message) {
  order.result = code;
  std::snprintf(order.message, sizeof order.message, "%s", message);
  return 0;
}

std::string Trimmed(const std::string& s) {
  std::string t = s;
  tw::TrimBlanksGbk(t.data());
  t.resize(std::strlen(t.c_str()));
  return t;
}

// The receiver's address as street and county: split at its first line break, else at its last
// blank, else in its middle (never inside a two-byte character).
void SplitAddress(const std::string& address, std::string& street, std::string& county) {
  std::string a;
  for (char c : address) {
    if (c != '\r') a += c;
  }
  a = Trimmed(a);
  size_t at = a.find('\n');
  size_t skip = 1;
  if (at == std::string::npos) at = a.rfind(' ');
  if (at == std::string::npos) {
    at = tw::GbkPrefixLength(a.c_str(), a.size(), a.size() / 2);
    skip = 0;
  }
  street = a.substr(0, at);
  county = at + skip <= a.size() ? a.substr(at + skip) : "";
  for (std::string* s : {&street, &county}) {
    for (char& c : *s) {
      if (c == '\n') c = ' ';
    }
    *s = Trimmed(*s);
  }
}

std::string JapanesePostcode(const char* postcode) {
  std::string p;
  for (const char* c = postcode; *c != '\0'; ++c) {
    if (*c != ' ') p += *c;
  }
  if (p.size() > 3 && p[3] != '-') p.insert(3, "-");
  return p;
}

std::string ReceiverCountry(const EubOrder& order) {
  const std::string destination = order.destination;
  if (destination == "美国") return "UNITED STATES OF AMERICA";
  if (destination == "澳大利亚") return "AUSTRALIA";
  const char* code = CountryCodeOf(order.destination);
  if (code != nullptr && code[0] != '\0') return code;
  return UpperAscii(order.country);
}

void AddressElements(std::string& xml, const EubAddress& a, const char* country, const char* company) {
  Element(xml, "name", a.name);
  Element(xml, "postcode", a.postcode);
  Element(xml, "phone", a.phone);
  Element(xml, "mobile", a.mobile);
  Element(xml, "country", country);
  Element(xml, "province", a.province);
  Element(xml, "city", a.city);
  Element(xml, "county", a.county);
  Element(xml, "company", company);
  Element(xml, "street", a.street);
  Element(xml, "email", a.email);
}

std::string TimeText(time_t t) {
  tm local{};
  localtime_r(&t, &local);
  char out[32];
  std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S", &local);
  return out;
}

}  // namespace

int CEubClient::LoadSettings(unsigned n, const char* text) {
  if (text == nullptr) return 0;
  accountNumber = n;
  Setting("公司名称=", text, company, 2, 254);
  Setting("大客户代码=", text, customerCode, 1, 62);
  Setting("服务器=", text, host, 4, 60);
  Setting("密钥=", text, key, 1, 60);
  Setting("接口版本=", text, version, 3, 60);
  Setting("标签纸张=", text, labelPaper, 2, 7);
  if (std::strcmp(labelPaper, "00") == 0 || std::strcmp(labelPaper, "03") == 0) std::strcpy(labelPaper, "01");
  Setting("退回类型=", text, returnType, 1, 30);
  if (returnType[0] == '\0') std::strcpy(returnType, "Returned");
  pickupType = GetSettingInt("揽收类型=", text, 0);
  if (pickupType > 1 || pickupType < 0) pickupType = 0;
  port = SettingPort("端口=", text, 80);
  Setting("标签服务器=", text, labelHost, 4, 60);
  if (labelHost[0] == '\0') std::memcpy(labelHost, host, sizeof labelHost);
  labelPort = SettingPort("标签端口=", text, 80);
  gate.Configure("EUB " + std::to_string(n), GetSettingInt("并发数=", text, kCarrierCallLimit));
  ReadAddress(text, "<揽收地址信息设定开始>", "<揽收地址信息设定结束>", pickup);
  ReadAddress(text, "<发件地址信息设定开始>", "<发件地址信息设定结束>", sender);
  std::string block;
  if (SettingsBlock(text, "<目的地与邮编前缀关联开始>", "<目的地与邮编前缀关联结束>", block)) {
    size_t at = 0;
    while (at < block.size()) {
      size_t eol = block.find('\n', at);
      std::string line = Trimmed(block.substr(at, eol == std::string::npos ? std::string::npos : eol - at));
      at = eol == std::string::npos ? block.size() : eol + 1;
      const size_t eq = line.find('=');
      if (eq != std::string::npos && eq > 0) postcodePrefixes.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  if (!SettingsBlock(text, "<关联快递类别开始>", "<关联快递类别结束>", block)) return 0;
  kinds = ReadKinds(block, 1, true);
  return 1;
}

const CarrierKind* CEubClient::FindKind(const char* kind) const { return FindKindIn(kinds, kind); }

bool IsEubMailNumber(const char* text) {
  if (text == nullptr || std::strlen(text) != 13) return false;
  for (int i = 0; i < 13; ++i) {
    const char c = text[i];
    const bool letterPlace = i < 2 || i >= 11;
    if (letterPlace ? (c < '0' || c > 'Z') : (c < '0' || c > '9')) return false;
  }
  return true;
}

int CEubSession::CreateOrder(EubOrder& order) {
  order.result = 0;
  order.mailNumber[0] = '\0';
  order.message[0] = '\0';
  if (client_ == nullptr) return Refuse(order, 12, "类别不支持");
  const CEubClient& c = *client_;
  const CarrierKind* kind = c.FindKind(order.kind);
  if (kind == nullptr) return Refuse(order, 12, "类别不支持");
  const char op = kind->code[0];
  if (op == '2' ? IsPostcodeValidForCountry(order.postcode, order.destination) == 0 : std::strlen(order.postcode) <= 3) {
    return Refuse(order, 3, "收件邮编错");
  }
  const std::string receiverCountry = Trimmed(CleanField(order.country));
  if (receiverCountry.empty()) return Refuse(order, 3, "收件国家空");
  const std::string province = Trimmed(CleanField(order.province));
  if (op == '0' && province.empty()) return Refuse(order, 3, "收件省州空");
  const std::string city = Trimmed(CleanField(order.city));
  if (city.empty()) return Refuse(order, 3, "收件城市空");
  const std::string address = CleanField(order.address);
  if (Trimmed(address).empty()) return Refuse(order, 4, "收件地址空");
  std::string name = Trimmed(CleanField(order.receiver));
  if (name.empty()) name = Trimmed(CleanField(order.receiver2));
  if (name.empty()) return Refuse(order, 5, "收件人空");
  double weight = order.weight > order.weight2 ? order.weight : order.weight2;
  if (weight < 0.01) return Refuse(order, 6, "重量错");
  if (std::strlen(order.goods) <= 3) return Refuse(order, 14, "物品空或太短");
  if (op == '0' && weight > 2) weight = 1.9;

  // The order id: the shipment's own, else "KMWT" + account number + local time + counter.
  std::string orderId = order.orderId;
  if (orderId.size() < 4) {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    const long offset = local.tm_gmtoff / 3600 * 3600;
    char id[48];
    std::snprintf(id, sizeof id, "KMWT%u%lld%03u", c.accountNumber, static_cast<long long>(now) + offset,
                  (c.orderCounter.fetch_add(1) + 1) % 1000);
    orderId = id;
  }
  Copy(order.sentOrderId, orderId);

  const int32_t pieces = order.pieces >= 1 ? order.pieces : 1;
  int length = 0, width = 0, height = 0;
  double volume = 0;
  if (tw::ParseDimensions(order.dimensions, &length, &width, &height) == 1 && height > 0) {
    volume = static_cast<double>(length) * width * height / 6000.0;
  }
  const double volWeight = weight > volume ? weight : volume;
  const time_t now = time(nullptr);

  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<orders xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
      "\r\n<order>\r\n<orderid>\r\n" +
      XmlEscape(orderId) + "</orderid>\r\n";
  Element(xml, "operationtype", std::string(1, op));
  if (kind->product > '0') Element(xml, "producttype", std::string(1, kind->product));
  char number[64];
  std::snprintf(number, sizeof number, "X%010u", order.recordId);
  Element(xml, "customercode", number);
  Element(xml, "vipcode", c.customerCode);
  Element(xml, "clcttype", std::to_string(c.pickupType));
  xml += "<pod>false</pod>\r\n";
  Element(xml, "untread", c.returnType);
  std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(std::lround(volWeight)));
  xml += std::string("<volweight>") + number + "</volweight>\r\n<startdate>" + TimeText(now) +
         "</startdate>\r\n<enddate>" + TimeText(now + 10 * 86400) + "</enddate>\r\n";
  const std::string printCode = order.printCode;
  Element(xml, "printcode",
          printCode == "00" || printCode == "01" || printCode == "03" ? printCode : std::string(c.labelPaper));
  xml += "<sender>\r\n";
  AddressElements(xml, c.sender, "CN", c.pickup.company);
  xml += "</sender>\r\n<receiver>\r\n";
  Element(xml, "name", name);
  Element(xml, "postcode",
          std::strcmp(order.destination, "日本") == 0 ? JapanesePostcode(order.postcode) : std::string(order.postcode));
  Element(xml, "phone", CleanField(order.phone));
  Element(xml, "mobile", CleanField(order.mobile));
  Element(xml, "country", UpperAscii(ReceiverCountry(order)));
  Element(xml, "province", province);
  Element(xml, "city", city);
  std::string street, county;
  SplitAddress(address, street, county);
  Element(xml, "county", county);
  Element(xml, "street", street);
  xml += "</receiver>\r\n<collect>\r\n";
  AddressElements(xml, c.pickup, c.pickup.country, c.pickup.company);
  xml += "</collect>\r\n";
  xml += kReturnBlock;
  xml += "<items>\r\n<item>\r\n";
  Element(xml, "cnname", CleanField(order.goods));
  Element(xml, "enname", UpperAscii(EnglishName(CleanField(order.goodsEn).c_str(), order.goods)));
  Element(xml, "count", std::to_string(order.quantity > 0 ? order.quantity : 0));
  std::snprintf(number, sizeof number, "%.3f", weight / pieces);
  xml += std::string("<weight>") + number + "</weight>\r\n";
  double declared = order.quantity * order.unitPrice;
  if (!(declared > 0)) declared = 10.0;
  std::snprintf(number, sizeof number, "%.2f", declared);
  Element(xml, "delcarevalue", number);
  xml += "<origin>CN</origin>\r\n</item>\r\n</items>\r\n";
  Element(xml, "remark", CleanField(order.remark));
  xml += "</order>\r\n</orders>\r\n";

  const std::string body = ToUtf8(xml);
  char header[1024];
  const int hn = std::snprintf(header, sizeof header, kOrderHeader, kOrderPath, c.host, c.port, c.version, c.key,
                               body.size());
  if (hn < 0 || static_cast<size_t>(hn) >= sizeof header) return Refuse(order, 0, "邮政服务器断线!iRet:-900,sState:0");

  HttpRequest r;
  r.host = c.host;
  r.port = c.port;
  r.path = kOrderPath;
  r.body = body.c_str();
  r.prebuiltHeader = header;
  r.bAcceptEncoding = 1;
  r.connectTimeoutS = kConnectTimeoutS;
  r.sendTimeoutMs = kOrderTimeoutMs;
  r.recvTimeoutMs = kOrderTimeoutMs;
  UseSessionWork(r, slot_, kReplyHeaderOffset);
  const int n = c.gate.Execute(r);
  if (n < 1) {
    char message[128];
    std::snprintf(message, sizeof message, "邮政服务器断线!iRet:%d,sState:%d", n, r.status);
    return Refuse(order, 0, message);
  }
  const std::string reply = ToGbk(std::string(r.bodyStart, static_cast<size_t>(n)));
  const size_t error = reply.find(">error<");
  if (error != std::string::npos) {
    std::string description;
    const size_t d = reply.find("<description>", error);
    if (d != std::string::npos) {
      const size_t e = reply.find("</description>", d);
      description = reply.substr(d + 13, e == std::string::npos ? std::string::npos : e - d - 13);
    }
    description.resize(tw::GbkPrefixLength(description.c_str(), description.size(), kDescriptionMax));
    if (description.empty()) description = "邮政服务器异常!";
    return Refuse(order, 0, description.c_str());
  }
  const size_t m = reply.find("<mailnum>");
  if (m == std::string::npos) return Refuse(order, 0, "邮政服务器异常!");
  const size_t e = reply.find('<', m + 9);
  const std::string mail = Trimmed(reply.substr(m + 9, e == std::string::npos ? std::string::npos : e - m - 9));
  if (!IsEubMailNumber(mail.c_str())) return Refuse(order, 0, "邮政服务器异常!");
  Copy(order.mailNumber, mail);

  // The label placeholder and its job; the job goes also when the row could not be made (the
  // label is then stored in a new row).
  const int id = CreateLabelPlaceholder(slot_, 0, std::to_string(order.recordId).c_str(), c.key, nullptr,
                                        mail.c_str(), time(nullptr));
  LabelJob job;
  job.kind = 0;
  job.id = id > 0 ? id : 0;
  Copy(job.account, c.key);
  Copy(job.mailNumber, mail);
  PushLabelJob(job);
  if (id > 0) order.result = id;
  return 1;
}

int CEubSession::PrintLabel(LabelJob& job) {
  if (client_ == nullptr || job.account[0] == '\0') return -1;
  const std::string signed_ = std::string(job.account) + job.mailNumber;
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(signed_.data(), signed_.size(), md5);
  char path[256];
  std::snprintf(path, sizeof path, kLabelPathFormat, md5, job.mailNumber);
  const char* body = nullptr;
  const int n = FetchLabel(slot_, client_->gate, client_->labelHost, client_->labelPort, path, false, &body);
  if (n < 0) return -2;
  labelBody = body;
  const int saved = SaveLabel(job.id, job.mailNumber, body, n, job.account, "");
  return saved == kLabelRowUpdated ? 1 : saved;
}

int CEubSession::SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length, const char* account,
                           const char* reference) {
  const int rc = SaveLabelRow(slot_, 0, id, mailNumber, data, length, account, reference, mailNumber);
  if (rc != kLabelDbFailed) labelLength = length;
  return rc;
}
