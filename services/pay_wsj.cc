// The payment-terminal gateway: the URL command "PayWsj" of the card-and-cash terminals that
// couriers carry. A terminal asks what is to be collected for a waybill (command 102) and reports the
// payment afterwards (command 103), which is booked as the client's fee by cp_client_fee_r_pos.
//
// The command has an envelope of its own: a form body with "Command", "Data" (base64 of the request
// JSON, URL-encoded, "@" standing for every "+") and "Md5" (16 characters that must occur in the MD5
// of the Data text followed by the terminal key). Every reply is UTF-8 JSON: {"Response":"00",...} on
// success, {"Response":"01","ErrorDescription":"..."} on a refusal. A payment is answered "00" only
// when it was booked (or its deal was booked before); the terminal is told "01" otherwise, so a
// courier never hands over goods for a payment that the books do not hold.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/config.h"
#include "core/db.h"
#include "core/db_columns.h"
#include "core/pool.h"
#include "core/reply.h"
#include "services/handlers.h"
#include "services/internal/transfer_record.h"
#include "util/codepage.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/md5.h"
#include "util/outbuf.h"
#include "util/text.h"

CEvent g_PayWsjLock(false, false);

namespace {

constexpr char kLogCategory[] = "PAYWSJ";
constexpr int kCommandQuery = 102;
constexpr int kCommandResult = 103;
constexpr size_t kCommandMax = 15;
constexpr size_t kMd5ValueLength = 16;
// The error reply in GBK, and its UTF-8 form (at most 255 bytes).
constexpr size_t kErrorBytes = 160;
constexpr size_t kErrorUtf8Bytes = 256;
// The waybill number: 7 to 31 characters; the other texts of a request at most 31.
constexpr size_t kBarCodeMin = 7;
constexpr size_t kTextMax = 31;
// The query reply is built in 8 KB of the slot's reply buffer.
constexpr size_t kQueryReplyBytes = 8192;
constexpr uint32_t kPayLockWaitMs = 5000;
constexpr double kLeastPayment = 0.01;

constexpr char kMessNoKey[] = "没有配置密钥。";
constexpr char kMessNoCommand[] = "没有解析出Command参数。";
constexpr char kMessBadCommand[] = "Command 不支持。";
constexpr char kMessNoData[] = "没有解析出Data参数。";
constexpr char kMessNoMd5[] = "没有解析出Md5参数。";
constexpr char kMessBadMd5[] = "Md5参数。";
constexpr char kMessDataTooLong[] = "Data参数太长。";
constexpr char kMessBusy[] = "数据库忙，稍后再试！";
constexpr char kMessBadBarCode[] = "BarCode参数错误(7-30字符)";
constexpr char kMessLongBusinessTime[] = "BusinessTime参数太长。";
constexpr char kMessLongTerminalDeal[] = "TerminalDealID参数太长。";
constexpr char kMessLongUnionpayDeal[] = "UnionpayDealID参数太长。";
constexpr char kMessLongState[] = "State参数太长。";
constexpr char kMessSystemError[] = "系统错误(-9)";
constexpr char kMessNotFound[] = "记录不存在(-2)";
constexpr char kMessDbFailed[] = "数据库执行错误(-9)";
constexpr char kMessPaid[] = "记录已经回款(-4)";
constexpr char kMessNothingToPay[] = "没有需要支付的款项(-1)";

constexpr char kQuerySql[] =
    "SELECT irid,icid,iquantity,iprice,npayway,cpaydir,fweight,famount,fgoods,cmark,cnum,cserviceno,crno,ccno,"
    "creceiver,cunitname,caddr,cpostcode,cphone,cgoods,cpacking,ctransnote,ifsid FROM dorvane.dbo.client_rec "
    "WHERE cnum='%s'";
constexpr char kBookSql[] =
    "{?=CALL dorvane.dbo.cp_client_fee_r_pos(0,'%s',%d,%.2f,'%s','%s','%08u,%08u','万事捷POS','万事捷POS,%s,[%08u]%s',"
    "'%s',2,'%s','%s','',0,'CNY',0.0,%d)}";
constexpr char kSuccessReply[] = "{\"Response\":\"00\",\"ErrorDescription\":\"\"}";

// Results of cp_client_fee_r_pos.
constexpr int kProcNotFound = -2;
constexpr int kProcPaid = -4;

// The shipment record a terminal asks about.
struct PayRecord {
  int32_t irid = 0;
  int32_t icid = 0;
  int32_t iquantity = 0;
  int32_t iprice = 0;
  int32_t npayway = 0;
  DbText<3> cpaydir = "";
  double fweight = 0;
  double famount = 0;
  double fgoods = 0;
  DbText<15> cmark = "";
  DbText<31> cnum = "";
  DbText<31> cserviceno = "";
  DbText<31> crno = "";
  DbText<31> ccno = "";
  DbText<63> creceiver = "";
  DbText<254> cunitname = "";
  DbText<254> caddr = "";
  DbText<15> cpostcode = "";
  DbText<63> cphone = "";
  DbText<254> cgoods = "";
  DbText<15> cpacking = "";
  DbText<63> ctransnote = "";
  int32_t ifsid = 0;
};

// A request text copied for an error message: printable ASCII, with the two characters that would
// end or bend a JSON string escaped and everything else shown as "?".
std::string EchoText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The value of a form field found byte-exact as `marker` ("&Data="), up to the next "&". False when
// the marker is absent.
bool FindFormValue(const char* body, const char* marker, std::string* value) {
  const char* at = std::strstr(body, marker);
  if (at == nullptr) return false;
  at += std::strlen(marker);
  const char* end = std::strchr(at, '&');
  value->assign(at, end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at));
  return true;
}

// A text of the decoded request: false when it is longer than 31 bytes, which is refused rather
// than cut (a cut waybill or deal number would name another shipment or deal).
bool ReadText(const char* request, const char* key, char (&out)[kTextMax + 2]) {
  tw::JsonGetString(key, request, out, kTextMax + 1, tw::kJsonModeCodePage);
  return std::strlen(out) <= kTextMax;
}

// The waybill number of a decoded request, upper-cased; false when it has fewer than 7 or more than
// 31 characters.
bool ReadBarCode(const char* request, char (&barCode)[kTextMax + 2]) {
  if (!ReadText(request, "BarCode", barCode) || std::strlen(barCode) < kBarCodeMin) return false;
  tw::MakeUpperAscii(barCode);
  return true;
}

// The pay way of a terminal state: "POS", "CASH", "CASH." or null for a state that pays nothing.
const char* PayWayOf(const char* state) {
  if (std::strcmp(state, "00") == 0 || std::strcmp(state, "01") == 0) return "POS";
  if (std::strcmp(state, "30") == 0 || std::strcmp(state, "31") == 0) return "CASH";
  if (std::strcmp(state, "60") == 0) return "CASH.";
  return nullptr;
}

// Holds the payment lock for a scope once Take succeeded.
class PayLock {
 public:
  PayLock() = default;
  PayLock(const PayLock&) = delete;
  PayLock& operator=(const PayLock&) = delete;
  ~PayLock() {
    if (held_) g_PayWsjLock.SetEvent();
  }
  [[nodiscard]] bool Take() {
    held_ = g_PayWsjLock.Lock(kPayLockWaitMs);
    return held_;
  }

 private:
  bool held_ = false;
};

}  // namespace

namespace tw::services {

void WritePayWsjError(CHttpServerContext* pCtxt, const char* message) {
  char text[kErrorBytes];
  std::snprintf(text, sizeof text, "{\"Response\":\"01\",\"ErrorDescription\":\"%s\"}", message);
  char utf8[kErrorUtf8Bytes];
  tw::GbkToUtf8(text, utf8, sizeof utf8);
  const size_t length = std::strlen(utf8);
  char header[96];
  std::snprintf(header, sizeof header, "Content-Type: application/json\r\nContent-Length: %zu\r\n", length);
  AddReplyHeader(pCtxt, header);
  pCtxt->Write(utf8, length);
}

void PayWsj(CHttpServerContext* pCtxt, char* body, int) {
  if (body == nullptr) body = const_cast<char*>("");
  const std::string key = ExtensionSettings.payWsjKey;
  if (key.empty()) {
    WritePayWsjError(pCtxt, kMessNoKey);
    return;
  }
  char command[kCommandMax + 1];
  if (tw::GetFormField("Command", body, command, kCommandMax) == nullptr) {
    WritePayWsjError(pCtxt, kMessNoCommand);
    return;
  }
  const int commandNo = std::atoi(command);
  if (commandNo != kCommandQuery && commandNo != kCommandResult) {
    WritePayWsjError(pCtxt, kMessBadCommand);
    return;
  }
  WriteLog(body, kLogCategory);

  std::string data, md5;
  if (!FindFormValue(body, "&Data=", &data)) {
    WritePayWsjError(pCtxt, kMessNoData);
    return;
  }
  if (!FindFormValue(body, "&Md5=", &md5)) {
    WritePayWsjError(pCtxt, kMessNoMd5);
    return;
  }
  if (md5.size() != kMd5ValueLength) {
    WritePayWsjError(pCtxt, kMessBadMd5);
    return;
  }
  // URL decoding turns "+" into a blank; the signature is taken over the text with its "@".
  data.resize(std::strlen(tw::UrlDecode(data.data())));
  WriteLog(("Data=" + data).c_str(), kLogCategory);
  // The Data text followed by the key must fit the slot's work buffer with its NUL.
  if (data.size() + key.size() >= kWorkBytes) {
    WritePayWsjError(pCtxt, kMessDataTooLong);
    return;
  }

  PoolSlotGuard slot;
  if (!slot.ok()) {
    WritePayWsjError(pCtxt, kMessBusy);
    return;
  }
  PoolSlot& s = slot.slot();
  const std::string signedText = data + key;
  char digest[tw::kMd5HexSize];
  tw::MD5Hex(signedText.data(), signedText.size(), digest);
  if (tw::FindNoCase(digest, md5.c_str()) == nullptr) {
    char message[kErrorBytes];
    std::snprintf(message, sizeof message, "MD5验证失败:[%s]不在[%s]里面。", EchoText(md5).c_str(), digest);
    WriteLog(message, kLogCategory);
    WritePayWsjError(pCtxt, message);
    return;
  }

  tw::ReplaceChar(data.data(), '@', '+');
  std::memset(s.szWork, 0, kWorkBytes);
  size_t count = 0;
  // A text that is not base64 decodes to what the decoder could read (nothing at worst); the command
  // then refuses the request for its missing keys.
  (void)tw::Base64Decode(data.data(), data.size(), s.szWork, kWorkBytes, &count);
  WriteLog(s.szWork, kLogCategory);
  if (commandNo == kCommandQuery) {
    OnPayWsjQuery(pCtxt, s.szWork, s);
  } else {
    OnPayWsjResult(pCtxt, s.szWork, s);
  }
}

void OnPayWsjQuery(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot) {
  char barCode[kTextMax + 2];
  if (!ReadBarCode(request, barCode)) {
    WritePayWsjError(pCtxt, kMessBadBarCode);
    return;
  }
  const std::string sql = StringPrintf(kQuerySql, tw::SqlEscape(barCode).c_str());
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) {
    WritePayWsjError(pCtxt, kMessSystemError);
    return;
  }
  PayRecord r;
  DbColumns(st)
      .Int(r.irid)
      .Int(r.icid)
      .Int(r.iquantity)
      .Int(r.iprice)
      .Int(r.npayway)
      .Text(r.cpaydir)
      .Double(r.fweight)
      .Double(r.famount)
      .Double(r.fgoods)
      .Text(r.cmark)
      .Text(r.cnum)
      .Text(r.cserviceno)
      .Text(r.crno)
      .Text(r.ccno)
      .Text(r.creceiver)
      .Text(r.cunitname)
      .Text(r.caddr)
      .Text(r.cpostcode)
      .Text(r.cphone)
      .Text(r.cgoods)
      .Text(r.cpacking)
      .Text(r.ctransnote)
      .Int(r.ifsid);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) {
    WritePayWsjError(pCtxt, kMessNotFound);
    return;
  }
  if (!DbOk(rc)) {
    WritePayWsjError(pCtxt, kMessDbFailed);
    return;
  }
  if (r.ifsid > 0) {
    WritePayWsjError(pCtxt, kMessPaid);
    return;
  }
  if (r.fgoods < kLeastPayment) {
    WritePayWsjError(pCtxt, kMessNothingToPay);
    return;
  }

  std::memset(slot.szReply, 0, kQueryReplyBytes);
  tw::OutBuf out(slot.szReply, kQueryReplyBytes);
  out.Append("{\"Response\":\"00\",\"ErrorDescription\":\"\",");
  tw::JsonPutString(out, "BarCode", r.cnum, true);
  out.Printf("\"EnterpriseID\":%d,", r.icid);
  tw::JsonPutString(out, "OrderNumber", r.crno, true);
  tw::JsonPutString(out, "RecipientCode", r.cpostcode, true);
  tw::JsonPutString(out, "RecipientName", r.creceiver, true);
  tw::JsonPutString(out, "RecipientAddress", r.caddr, true);
  tw::JsonPutString(out, "RecipientPhone", r.cphone, true);
  // The postage is settled with the client, never at the door: the terminal collects the goods only.
  out.Printf(
      "\"Payment\":%.2f,\"Weight\":%.2f,\"Postage\":0.00,\"ServiceCharge\":0.00,\"PostagePostPaidFlag\":1,"
      "\"ExchangeFlag\":1,\"OriginMailBarcode\":\"\",\"Description\":\"\"}",
      r.fgoods, r.fweight);
  if (out.overflowed()) {
    WritePayWsjError(pCtxt, kMessSystemError);  // cannot happen: the texts are bounded
    return;
  }
  WriteJsonReply(pCtxt, out.data(), out.size());
}

void OnPayWsjResult(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot) {
  char barCode[kTextMax + 2];
  if (!ReadBarCode(request, barCode)) {
    WritePayWsjError(pCtxt, kMessBadBarCode);
    return;
  }
  const int32_t terminalNo = tw::JsonGetInt("TerminalNo", request, 0);
  const int32_t loginName = tw::JsonGetInt("LoginName", request, 0);
  const double totalPayment = tw::JsonGetDouble("TotalPayment", request, 0);
  char businessTime[kTextMax + 2], terminalDeal[kTextMax + 2], unionpayDeal[kTextMax + 2], state[kTextMax + 2];
  const struct {
    const char* key;
    char (&out)[kTextMax + 2];
    const char* refusal;
  } texts[] = {{"BusinessTime", businessTime, kMessLongBusinessTime},
               {"TerminalDealID", terminalDeal, kMessLongTerminalDeal},
               {"UnionpayDealID", unionpayDeal, kMessLongUnionpayDeal},
               {"State", state, kMessLongState}};
  for (const auto& t : texts) {
    if (!ReadText(request, t.key, t.out)) {
      WritePayWsjError(pCtxt, t.refusal);
      return;
    }
  }

  const char* payWay = PayWayOf(state);
  if (payWay == nullptr) {
    // A state that moves no money books nothing.
    char line[64];
    std::snprintf(line, sizeof line, "****State:%s", state);
    WriteLog(line, kLogCategory);
    WriteJsonReply(pCtxt, kSuccessReply, sizeof kSuccessReply - 1);
    return;
  }

  const std::string code = tw::SqlEscape(barCode);
  const std::string unionpay = tw::SqlEscape(unionpayDeal);
  const std::string sql =
      StringPrintf(kBookSql, code.c_str(), ExtensionSettings.payWsjAccount, totalPayment, code.c_str(),
                   tw::entry::LocalTimeText().c_str(), static_cast<unsigned>(loginName),
                   static_cast<unsigned>(terminalNo), tw::SqlEscape(businessTime).c_str(),
                   static_cast<unsigned>(terminalNo), tw::SqlEscape(terminalDeal).c_str(), unionpay.c_str(),
                   unionpay.c_str(), payWay, 1);

  int32_t result = 0;
  bool ran = false;
  {
    PayLock lock;
    if (!lock.Take()) {
      WriteLog("*FAIL*lock", kLogCategory);
      WritePayWsjError(pCtxt, kMessBusy);
      return;
    }
    DbStatement st(slot.hDbc);
    if (st.ok()) {
      st.BindOutInt(1, &result);
      ran = DbOk(st.ExecDirect(sql.c_str()));
    }
  }
  char line[64];
  std::snprintf(line, sizeof line, "%sRet:%d", !ran || result < 0 ? "*FAIL*" : "OK,", result);
  WriteLog(line, kLogCategory);

  if (!ran) {
    WritePayWsjError(pCtxt, kMessDbFailed);
  } else if (result == kProcNotFound) {
    WritePayWsjError(pCtxt, kMessNotFound);
  } else if (result == kProcPaid) {
    WritePayWsjError(pCtxt, kMessPaid);
  } else if (result < 0) {
    char message[48];
    std::snprintf(message, sizeof message, "数据库执行错误(%d)", result);
    WritePayWsjError(pCtxt, message);
  } else {
    WriteJsonReply(pCtxt, kSuccessReply, sizeof kSuccessReply - 1);
  }
}

}  // namespace tw::services
