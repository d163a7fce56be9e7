// SF Express: the account settings, orders and label requests as signed XML in a SOAP envelope, the
// carrier's error table, and the label PDFs from the address its label service gives.

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "carriers/carrier_clients.h"
#include "carriers/http_client.h"
#include "carriers/internal/carrier_text.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/config.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "pricing/country.h"
#include "util/codepage.h"
#include "util/escape.h"
#include "util/md5.h"
#include "util/text.h"

using namespace tw::carrier;

namespace {

constexpr char kServicePath[] = "/CBTA/ws/sfexpressService";
constexpr char kCallHeader[] =
    "POST %s HTTP/1.1\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; MS Web Services Client Protocol "
    "2.0.50727.3662)\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: \"\"\r\nHost: %s:%d\r\n"
    "Content-Length: %zu\r\nExpect: 100-continue\r\nConnection: Keep-Alive\r\n\r\n";
constexpr uint32_t kIdleLimitMs = 90000;
constexpr size_t kReplyHeaderOffset = 30000;
constexpr size_t kMessageMax = 255;

struct SfError {
  char code[5];
  const char* text;
};

// The carrier's error table, in code order; the texts not published to us read "错误代码<code>".
const std::vector<SfError>& ErrorTable() {
  static const std::vector<SfError> table = [] {
    static const struct {
      int code;
      const char* text;
    } kKnown[] = {{6101, "缺少必要参数"},
                  {6114, "必须提供客户订单号"},
                  {6150, "订单不存在"},
                  {8001, "IP未授权"},
                  {4001, "系统发生数据错误或运行时异常"},
                  {4002, "报文解析错误"},
                  {9000, "身份验证失败"},
                  {9110, "【州╲省】APO/FPO军事区域不支持派送！"}};
    static std::vector<std::string> neutral;
    std::vector<int> codes = {6101, 6102, 6103, 6106, 6107, 6108, 6111, 6112};
    for (int c = 6114; c <= 6146; ++c) codes.push_back(c);
    codes.push_back(6150);
    codes.push_back(4001);
    codes.push_back(4002);
    for (int c = 8000; c <= 8044; ++c) codes.push_back(c);
    for (int c = 9000; c <= 9110; ++c) codes.push_back(c);
    neutral.reserve(codes.size());
    std::vector<SfError> rows;
    for (int c : codes) {
      SfError row{};
      std::snprintf(row.code, sizeof row.code, "%04d", c);
      row.text = nullptr;
      for (const auto& k : kKnown) {
        if (k.code == c) row.text = k.text;
      }
      if (row.text == nullptr) {
        neutral.push_back("错误代码" + std::string(row.code));
        row.text = neutral.back().c_str();
      }
      rows.push_back(row);
    }
    return rows;
  }();
  return table;
}

int Refuse(SfOrder& order, int code, const char* message) {
  order.result = code;
  std::snprintf(order.message, sizeof order.message, "%s", message);
  return 0;
}

// A value of the request: GBK through UTF-16 with HTML entities decoded, to UTF-8, then escaped for
// a double-quoted attribute.
std::string Value(const char* gbk) {
  const size_t n = gbk != nullptr ? std::strlen(gbk) : 0;
  std::vector<char16_t> wide(n + 1);
  tw::MultiByteToWideDecoded(gbk != nullptr ? gbk : "", wide.data(), wide.size(), tw::kCodePageGbk);
  std::string utf8(n * 4 + 1, '\0');
  tw::WideToUtf8(wide.data(), utf8.data(), utf8.size());
  utf8.resize(std::strlen(utf8.c_str()));
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void Attribute(std::string& xml, const char* name, const std::string& value) {
  xml += ' ';
  xml += name;
  xml += "=\"";
  xml += value;
  xml += '"';
}

std::string Head(const std::string& reply) {
  std::string head;
  Between(reply, "<Head>", "</Head>", head);
  if (head.size() < 2 || head.size() > 254) head.clear();
  return head;
}

std::string Quoted(const std::string& reply, const char* key) {
  const size_t a = reply.find(key);
  if (a == std::string::npos) return "";
  const size_t start = a + std::strlen(key);
  const size_t b = reply.find('"', start);
  if (b == std::string::npos) return "";
  return reply.substr(start, b - start);
}

}  // namespace

int CSfClient::LoadSettings(unsigned, const char* text) {
  if (text == nullptr) return 0;
  port = SettingPort("端口=", text, 0);
  Setting("服务器=", text, host, 4, 60);
  Setting("接口=", text, interfaceName, 4, 255);
  Setting("账号=", text, account, 1, 30);
  Setting("密钥=", text, checkWord, 1, 60);
  char flag[4] = "";
  Setting("是否退件=", text, flag, 1, 1);
  std::strcpy(returns, flag[0] == 'Y' ? "Y" : "N");
  char ns[256] = "";
  Setting("命名空间=", text, ns, 1, 254);
  if (ns[0] != '\0') std::memcpy(serviceNamespace, ns, sizeof ns);
  std::string block;
  if (SettingsBlock(text, "<寄件人信息设定开始>", "<寄件人信息设定结束>", block)) {
    const char* b = block.c_str();
    Setting("姓名=", b, senderName, 1, 31);
    Setting("电话=", b, senderPhone, 1, 63);
    Setting("手机=", b, senderMobile, 1, 63);
    Setting("邮编=", b, senderPostcode, 1, 15);
    Setting("地址=", b, senderAddress, 1, 126);
    Setting("公司=", b, senderCompany, 0, 126);
    Setting("国家=", b, senderCountry, 0, 63);
    Setting("省州=", b, senderProvince, 0, 63);
    Setting("城市=", b, senderCity, 0, 63);
  }
  if (!SettingsBlock(text, "<关联快递类别开始>", "<关联快递类别结束>", block)) return 0;
  kinds = ReadKinds(block, 2, false);
  if (kinds.empty() || host[0] == '\0' || checkWord[0] == '\0') return 0;
  gate.Configure("SF Express", GetSettingInt("并发数=", text, kCarrierCallLimit));
  return 1;
}

const CarrierKind* CSfClient::FindKind(const char* kind) const { return FindKindIn(kinds, kind); }

const char* SfErrorText(const char* code) {
  if (code == nullptr) return nullptr;
  for (const SfError& e : ErrorTable()) {
    if (std::strcmp(e.code, code) == 0) return e.text;
  }
  return nullptr;
}

void JoinSfErrors(const char* codes, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  out[0] = '\0';
  if (codes == nullptr) return;
  size_t n = 0;
  std::string list = codes;
  size_t at = 0;
  while (at <= list.size()) {
    size_t comma = list.find(',', at);
    std::string code = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    at = comma == std::string::npos ? list.size() + 1 : comma + 1;
    tw::TrimBlanksGbk(code.data());
    code.resize(std::strlen(code.c_str()));
    const char* text = SfErrorText(code.c_str());
    if (text == nullptr) continue;
    const size_t sep = n > 0 ? 2 : 0;
    const size_t len = std::strlen(text);
    if (n + sep + len + 1 > outSize) break;
    if (sep > 0) std::memcpy(out + n, "\r\n", 2);
    std::memcpy(out + n + sep, text, len + 1);
    n += sep + len;
  }
}

std::string SfVerifyCode(const std::string& request, const char* checkWord) {
  const std::string signedText = request + (checkWord != nullptr ? checkWord : "");
  char md5[tw::kMd5HexSize];
  tw::MD5Hex(signedText.data(), signedText.size(), md5);
  std::string upper = UpperAscii(md5);
  char out[64];
  size_t needed = 0;
  if (tw::Base64Encode(upper.data(), upper.size(), out, sizeof out, &needed, 0) != 0) return "";
  return std::string(out, needed);
}

int CSfSession::Call(const std::string& request, std::string& out, int32_t* status) {
  out.clear();
  *status = 0;
  if (client_ == nullptr) return -1;
  const CSfClient& c = *client_;
  const std::string verify = SfVerifyCode(request, ToUtf8(c.checkWord).c_str());
  std::string escaped;
  for (char ch : request) {
    if (ch == '&') {
      escaped += "&amp;";
    } else if (ch == '<') {
      escaped += "&lt;";
    } else if (ch == '>') {
      escaped += "&gt;";
    } else {
      escaped += ch;
    }
  }
  const std::string envelope =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
      "<soap:Body><sfexpressService xmlns=\"" +
      XmlEscape(ToUtf8(c.serviceNamespace)) + "\"><xml xmlns=\"\">" + escaped + "</xml><verifyCode xmlns=\"\">" +
      verify + "</verifyCode></sfexpressService></soap:Body></soap:Envelope>";
  char header[768];
  const int hn = std::snprintf(header, sizeof header, kCallHeader, kServicePath, c.host, c.port, envelope.size());
  if (hn < 0 || static_cast<size_t>(hn) >= sizeof header) return kHttpWorkTooSmall;
  HttpRequest r;
  r.host = c.host;
  r.port = c.port;
  r.path = kServicePath;
  r.body = envelope.c_str();
  r.prebuiltHeader = header;
  r.bExpectContinue = 1;
  r.SetKeepAlive(kIdleLimitMs);
  r.connectTimeoutS = kConnectTimeoutS;
  r.sendTimeoutMs = kOrderTimeoutMs;
  r.recvTimeoutMs = kOrderTimeoutMs;
  UseSessionWork(r, slot_, kReplyHeaderOffset);
  const int n = c.gate.Execute(r);
  r.CloseConnection();  // the header asks for keep-alive, but every call has a connection of its own
  *status = r.status;
  if (n > 0) {
    std::string reply = ToGbk(std::string(r.bodyStart, static_cast<size_t>(n)));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                   {"&amp;", "&"}}) {
      for (size_t at = reply.find(from); at != std::string::npos; at = reply.find(from, at + to.size())) {
        reply.replace(at, from.size(), to);
      }
    }
    out = reply;
  }
  return n;
}

int CSfSession::CreateOrder(SfOrder& order) {
  order.result = 0;
  order.mailNumber[0] = order.message[0] = '\0';
  if (client_ == nullptr) return Refuse(order, 12, "类别不支持");
  const CSfClient& c = *client_;
  const CarrierKind* kind = c.FindKind(order.kind);
  if (kind == nullptr) return Refuse(order, 12, "类别不支持");
  const char* code = CountryCodeOf(order.destination);
  if (code == nullptr || code[0] == '\0') code = CountryCodeOf(order.country);
  if (code == nullptr || code[0] == '\0') return Refuse(order, 12, "目的国家错误");
  const int32_t pieces = order.pieces >= 1 ? order.pieces : 1;
  const int32_t quantity = order.quantity >= 1 ? order.quantity : 1;

  std::string address;
  for (const char* p = order.address; *p != '\0'; ++p) {
    if (*p == '\r') continue;
    address += (*p == '\n' || *p == '"') ? ' ' : *p;
  }
  char number[64];
  std::string xml = "<Request service=\"OrderService\" lang=\"zh-CN\"><Head>" + Value(c.account) + "</Head><Body><Order";
  Attribute(xml, "orderid", Value(order.orderId));
  Attribute(xml, "express_type", Value(kind->code));
  Attribute(xml, "j_company", Value(c.senderCompany));
  Attribute(xml, "j_contact", Value(c.senderName));
  Attribute(xml, "j_tel", Value(c.senderPhone));
  Attribute(xml, "j_mobile", Value(c.senderMobile));
  Attribute(xml, "j_address", Value(c.senderAddress));
  Attribute(xml, "d_company", Value(order.company));
  Attribute(xml, "d_contact", Value(order.contact));
  Attribute(xml, "d_tel", Value(order.phone));
  Attribute(xml, "d_mobile", Value(order.mobile));
  Attribute(xml, "operate_flag", "1");
  Attribute(xml, "d_address", Value(address.c_str()));
  Attribute(xml, "parcel_quantity", std::to_string(pieces));
  Attribute(xml, "j_province", Value(c.senderProvince));
  Attribute(xml, "j_city", Value(c.senderCity));
  Attribute(xml, "d_province", Value(order.province));
  Attribute(xml, "d_city", Value(order.city));
  Attribute(xml, "j_country", Value(c.senderCountry));
  Attribute(xml, "j_post_code", Value(c.senderPostcode));
  Attribute(xml, "d_country", Value(code));
  Attribute(xml, "d_post_code", Value(order.postcode));
  std::snprintf(number, sizeof number, "%.3f", order.weight);
  Attribute(xml, "cargo_total_weight", number);
  Attribute(xml, "returnsign", c.returns);
  xml += "><Cargo";
  Attribute(xml, "name", Value(order.goods));
  Attribute(xml, "ename", Value(UpperAscii(EnglishName(order.goodsEn, order.goods)).c_str()));
  if (tw::IsAllDigits(order.customsCode) == 1) Attribute(xml, "hscode", order.customsCode);
  Attribute(xml, "count", std::to_string(quantity));
  Attribute(xml, "unit", "PCE");
  std::snprintf(number, sizeof number, "%.3f", order.weight / quantity);
  Attribute(xml, "weight", number);
  double amount = order.goodsValue;
  if (amount < 0.01) amount = quantity * order.unitPrice;
  std::snprintf(number, sizeof number, "%.2f", amount);
  Attribute(xml, "amount", number);
  xml += "/></Order></Body></Request>";

  std::string reply;
  int32_t status = 0;
  const int n = Call(xml, reply, &status);
  if (n < 1) {
    char message[128];
    std::snprintf(message, sizeof message, "顺丰服务器断线!iRet:%d,sState:%d", n, status);
    return Refuse(order, 0, message);
  }
  const std::string head = Head(reply);
  Copy(order.message, head);
  if (head != "OK") {
    char joined[kMessageMax + 1];
    JoinSfErrors(Quoted(reply, " code=\"").c_str(), joined, sizeof joined);
    if (joined[0] == '\0') std::snprintf(joined, sizeof joined, "%s", head.empty() ? "顺丰服务器异常!" : head.c_str());
    return Refuse(order, 0, joined);
  }
  const std::string mail = Quoted(reply, " mailno=\"");
  if (mail.size() < 7 || mail.size() > 30) return Refuse(order, 0, ("顺丰单号不合法:" + mail).c_str());
  Copy(order.mailNumber, mail);
  if (IsValidTwelveDigitNumber(mail.c_str()) == 1) {
    const int id = CreateLabelPlaceholder(slot_, 2, "0", c.account, order.orderId, mail.c_str(), time(nullptr));
    LabelJob job;
    job.kind = 2;
    job.id = id > 0 ? id : 0;
    Copy(job.account, c.account);
    Copy(job.mailNumber, mail);
    Copy(job.reference, order.orderId);
    PushLabelJob(job);
    if (id > 0) order.result = id;
  }
  return 1;
}

int CSfSession::PrintLabel(LabelJob& job) {
  if (client_ == nullptr || job.account[0] == '\0' || std::strlen(job.reference) < 7) return -1;
  std::string xml = "<Request service=\"OrderLabelPrintService\" lang=\"zh-CN\"><Head>" + Value(client_->account) +
                    "</Head><Body><OrderLabelPrint";
  Attribute(xml, "orderid", Value(job.reference));
  Attribute(xml, "mailno", Value(job.mailNumber));
  Attribute(xml, "dealtype", "1");
  xml += "/></Body></Request>";
  std::string reply;
  int32_t status = 0;
  if (Call(xml, reply, &status) < 1 || Head(reply) != "OK") return -2;
  const size_t at = reply.find("pdfUrl=\"");
  if (at == std::string::npos) return -3;
  const size_t end = reply.find('"', at + 8);
  if (end == std::string::npos) return -3;
  const char* body = nullptr;
  const int length = FetchLabelFromUrl(slot_, client_->gate, reply.substr(at + 8, end - at - 8), &body);
  if (length < 0) return length;
  labelBody = body;
  const int saved = SaveLabel(job.id, job.mailNumber, body, length, job.account, job.reference);
  return saved == kLabelRowUpdated ? 1 : saved;
}

int CSfSession::SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length, const char* account,
                          const char* reference) {
  const int rc = SaveLabelRow(slot_, 2, id, mailNumber, data, length, account, reference, mailNumber);
  if (rc != kLabelDbFailed) labelLength = length;
  return rc;
}
