// Australia Post: the account settings, orders and label prints as form posts of XML, and the label
// PDFs from the address the print service gives.

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
#include "util/escape.h"
#include "util/text.h"

using namespace tw::carrier;

namespace {

constexpr char kOrderPath[] = "/ay/service.asmx/ayorder";
constexpr char kPrintPath[] = "/ay/service.asmx/ayprint";
constexpr size_t kReplyHeaderOffset = 30000;
constexpr size_t kAddressLineMax = 30;
constexpr size_t kAuLongBarcode = 29;

int Refuse(AuPostOrder& order, int code, const char* message) {
  order.result = code;
  std::snprintf(order.message, sizeof order.message, "%s", message);
  return 0;
}

std::string Clean(const char* text) {
  std::string s = CleanField(text);
  tw::TrimBlanksGbk(s.data());
  s.resize(std::strlen(s.c_str()));
  return s;
}

// Posts "<field>=" + the URL-encoded UTF-8 of the XML with the Authorization line; the reply as GBK
// in out. Returns HttpExecute's result.
int PostForm(PoolSlot& slot, const CAuPostClient& c, const char* path, const char* field, const std::string& xml,
             const char* authorization, std::string& out, int32_t* status) {
  const std::string utf8 = ToUtf8(xml);
  std::string encoded(utf8.size() * 3 + 1, '\0');
  tw::UrlEncode(utf8.c_str(), encoded.data(), encoded.size());
  encoded.resize(std::strlen(encoded.c_str()));
  const std::string body = std::string(field) + "=" + encoded;
  const std::string extra = std::string("Authorization: ") + authorization + "\r\n";
  char cookies[1024] = "";
  HttpRequest r;
  r.host = c.host;
  r.port = c.port;
  r.path = path;
  r.body = body.c_str();
  r.bAcceptEncoding = 1;
  r.extraLines = extra.c_str();
  r.cookies = cookies;
  r.cookieCapacity = sizeof cookies;
  r.connectTimeoutS = kConnectTimeoutS;
  r.sendTimeoutMs = kLabelSendTimeoutMs;
  r.recvTimeoutMs = kLabelRecvTimeoutMs;
  UseSessionWork(r, slot, kReplyHeaderOffset);
  const int n = c.gate.Execute(r);
  *status = r.status;
  out = n > 0 ? ToGbk(std::string(r.bodyStart, static_cast<size_t>(n))) : "";
  return n;
}

std::string ElementText(const std::string& xml, const char* name, size_t minLen, size_t maxLen) {
  char out[256];
  if (tw::GetXmlElementText(name, xml.c_str(), out, sizeof out, minLen, maxLen, true) != 1) return "";
  return out;
}

}  // namespace

int CAuPostClient::LoadSettings(unsigned n, const char* text) {
  if (text == nullptr) return 0;
  port = SettingPort("端口=", text, 0);
  Setting("服务器=", text, host, 4, 60);
  Setting("接口=", text, interfaceName, 4, 254);
  Setting("密钥=", text, key, 1, 60);
  std::strcpy(printPaper, "0");  // whatever "打印纸张=" holds, labels are printed with code 0
  std::string block;
  if (!SettingsBlock(text, "<关联快递类别开始>", "<关联快递类别结束>", block)) return 0;
  kinds = ReadKinds(block, 2, false);
  if (host[0] == '\0' || key[0] == '\0') return 0;
  bLoaded = true;
  fileNumber = n;
  gate.Configure("Australia Post", GetSettingInt("并发数=", text, kCarrierCallLimit));
  return 1;
}

const CarrierKind* CAuPostClient::FindKind(const char* kind) const { return FindKindIn(kinds, kind); }

bool IsAuPostNumber(const char* text) {
  const size_t n = text != nullptr ? std::strlen(text) : 0;
  return n == 16 || n == 10;
}

int CAuPostSession::CreateOrder(AuPostOrder& order) {
  order.result = 0;
  order.mailNumber[0] = order.barcode[0] = order.bookId[0] = order.message[0] = '\0';
  if (client_ == nullptr) return Refuse(order, 12, "快递类别或服务不支持");
  const CAuPostClient& c = *client_;
  const CarrierKind* kind = c.FindKind(order.kind);
  if (kind == nullptr) return Refuse(order, 12, "快递类别或服务不支持");
  const char* code = CountryCodeOf(order.destination);
  if (code == nullptr || code[0] == '\0') code = CountryCodeOf(order.country);
  if (code == nullptr || std::strcmp(code, "AU") != 0) return Refuse(order, 12, "目的国家错误");

  const std::string address = Clean(order.address);
  tw::AddressLines lines;
  tw::SplitAddressLines(address.c_str(), lines, kAddressLineMax, 3);
  int length = 0, width = 0, height = 0;
  const bool sides = tw::ParseDimensions(order.dimensions, &length, &width, &height) == 1 && height > 0;
  double value = order.goodsValue;
  if (value < 0.01) value = order.quantity * order.unitPrice;
  char number[64];

  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<order>\r\n";
  Element(xml, "reference", order.reference);
  Element(xml, "dangerous_goods", "false");
  Element(xml, "validate_recipient_address", "false");
  Element(xml, "recipient_name", Clean(order.receiver));
  Element(xml, "recipient_phone_number", Clean(order.phone));
  Element(xml, "recipient_company_name", Clean(order.company));
  Element(xml, "recipient_address_line_1", lines.line[0]);
  Element(xml, "recipient_address_line_2", lines.line[1]);
  Element(xml, "recipient_address_line_3", lines.line[2]);
  Element(xml, "recipient_suburb", Clean(order.suburb));
  Element(xml, "recipient_postcode", Clean(order.postcode));
  Element(xml, "recipient_state", Clean(order.state));
  Element(xml, "recipient_country_code", "AU");
  std::snprintf(number, sizeof number, "%.3f", order.weight);
  Element(xml, "weight", number);
  Element(xml, "width", std::to_string(sides ? width : 0));
  Element(xml, "height", std::to_string(sides ? height : 0));
  Element(xml, "depth", std::to_string(sides ? length : 0));
  std::snprintf(number, sizeof number, "%.2f", value);
  Element(xml, "goods_value", number);
  Element(xml, "goods_currency", "AUD");
  Element(xml, "goods_description", EnglishName(Clean(order.goodsEn).c_str(), order.goods));
  Element(xml, "export_reason", "Sample");
  Element(xml, "courier_service", kind->code);
  xml += "</order>";

  std::string reply;
  int32_t status = 0;
  const int n = PostForm(slot_, c, kOrderPath, "order", xml, c.key, reply, &status);
  if (n < 1) {
    char message[128];
    std::snprintf(message, sizeof message, "澳邮服务器断线!iRet:%d,sState:%d", n, status);
    return Refuse(order, 0, message);
  }
  const std::string statusText = ElementText(reply, "status", 2, 254);
  Copy(order.message, statusText);
  std::string barcode = ElementText(reply, "barcode_number", 7, 30);
  if (barcode.empty()) barcode = ElementText(reply, "consignment_number", 7, 30);
  const std::string bookId = ElementText(reply, "bookid", 1, 30);
  if (barcode.empty()) {
    // A refusal of the carrier: its status text, or the raw barcode element when it was too short.
    const std::string shortCode = ElementText(reply, "barcode_number", 1, 254);
    if (!shortCode.empty()) return Refuse(order, 0, ("澳邮单号不合法:" + shortCode).c_str());
    return Refuse(order, 0, statusText.empty() ? "澳邮服务器异常!" : statusText.c_str());
  }
  if (bookId.empty()) return Refuse(order, 0, statusText.empty() ? "澳邮服务器异常!" : statusText.c_str());
  const std::string mail = barcode.size() == kAuLongBarcode ? barcode.substr(8, 16) : barcode;
  Copy(order.barcode, barcode);
  Copy(order.bookId, bookId);
  Copy(order.mailNumber, mail);

  const int id = CreateLabelPlaceholder(slot_, 1, "0", c.key, bookId.c_str(), mail.c_str(), time(nullptr));
  LabelJob job;
  job.kind = 1;
  job.id = id > 0 ? id : 0;
  Copy(job.account, c.key);
  Copy(job.mailNumber, mail);
  Copy(job.reference, bookId);
  PushLabelJob(job);
  if (id > 0) order.result = id;
  return 1;
}

int CAuPostSession::PrintLabel(LabelJob& job) {
  if (client_ == nullptr || job.account[0] == '\0' || job.reference[0] == '\0') return -1;
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<order>\r\n";
  Element(xml, "printcode", client_->printPaper);
  Element(xml, "bookid", job.reference);
  xml += "</order>";
  std::string reply;
  int32_t status = 0;
  const int n = PostForm(slot_, *client_, kPrintPath, "print", xml, job.account, reply, &status);
  if (n < 1) return -2;
  char url[256];
  if (tw::GetXmlElementText("url", reply.c_str(), url, sizeof url, 2, 254, false) != 1) url[0] = '\0';
  const char* body = nullptr;
  const int length = FetchLabelFromUrl(slot_, client_->gate, url, &body);
  if (length < 0) return length;
  labelBody = body;
  const int saved = SaveLabel(job.id, job.mailNumber, body, length, job.account, job.reference);
  return saved == kLabelRowUpdated ? 1 : saved;
}

int CAuPostSession::SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length,
                              const char* account, const char* reference) {
  const int rc = SaveLabelRow(slot_, 1, id, mailNumber, data, length, account, reference, reference);
  if (rc != kLabelDbFailed) labelLength = length;
  return rc;
}
