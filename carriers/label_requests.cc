// The partners' carrier requests of the DoApi door: "EPostUpload" makes a carrier order from the
// request's shipment fields and answers the mail number; "EPostPdf" answers the label PDF of a mail
// number, fetching it on the spot when the label worker has not stored it yet.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "carriers/carrier_clients.h"
#include "carriers/handlers.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/db.h"
#include "core/numbering.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/request.h"
#include "core/result_codes.h"
#include "pricing/kind_fill.h"
#include "pricing/zone_table.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"
#include "util/text.h"

namespace {

constexpr int kRcUploadRefused = -12;     // the carrier did not accept the order
constexpr int kRcNoKind = -810;           // "cEmsKind" empty, or the carrier does not serve it
constexpr int kRcBadCarrier = -820;       // no carrier for the kind, or a code outside 0..2
constexpr int kRcNotConfigured = -821;    // the carrier's client is not configured
constexpr int kRcPdfNoRow = -2;           // no label row for the mail number
constexpr int kRcPdfBadNumber = -3;       // not a mail number of the carrier
constexpr int kRcPdfNotReady = -10;       // no PDF yet and none could be fetched
constexpr time_t kFetchAfterSeconds = 20;  // a younger placeholder is left to the worker
constexpr int32_t kMinPdfBytes = 101;

constexpr char kFindSql[] =
    "SELECT iid,ctitle,ilen FROM dorvane.dbo.file_share WHERE ngrade=119 AND ckind='%s' AND ckey='%s' ORDER BY "
    "ilen DESC,iid DESC LIMIT 1";
constexpr char kDataSql[] = "SELECT vdata FROM dorvane.dbo.file_share WHERE iid=%d";

// The carrier that serves a kind: EUB, then Australia Post, then SF Express; -1 when none.
int32_t CarrierForKind(const char* kind) {
  if (FindEubClientForKind(kind) != nullptr) return 0;
  if (g_pAuPostClient != nullptr && g_pAuPostClient->SupportsKind(kind)) return 1;
  if (g_pSfClient != nullptr && g_pSfClient->FindKind(kind) != nullptr) return 2;
  return -1;
}

// The carrier of a request: "iSP_Type" when nonzero, else chosen from the kind.
int32_t RequestCarrier(std::string_view text, const char* kind) {
  const int type = tw::JsonGetInt("iSP_Type", text, 0);
  return type != 0 ? type : CarrierForKind(kind);
}

template <size_t N>
void Key(std::string_view text, const char* key, char (&out)[N], size_t max, int mode = tw::kJsonModeCodePage) {
  tw::JsonGetString(key, text, out, max < N - 1 ? max : N - 1, mode);
}

template <size_t N>
void CopyField(char (&out)[N], const char* text) {
  tw::CopyTextLimited(out, text, N - 1);
}

// The request's shipment fields, read once for whichever carrier takes them.
struct UploadFields {
  int32_t clientId = 0;
  double weight = 0, price = 0, value = 0;
  int32_t quantity = 0;
  char dimensions[40] = "";
  char kind[16] = "", postcode[16] = "", number[32] = "", destination[64] = "", printCode[16] = "";
  char receiver[64] = "", company[256] = "", address[256] = "", city[128] = "", province[64] = "";
  char country[128] = "", phone[64] = "", email[64] = "", sms[24] = "", note[64] = "";
  char goods[256] = "", goodsA[256] = "", codeA[64] = "";
};

void ReadFields(std::string_view text, UploadFields& f) {
  f.weight = tw::JsonGetDouble("fWeight", text, 0);
  f.quantity = tw::JsonGetInt("iQuantity", text, 0);
  f.price = tw::JsonGetDouble("fPrice", text, 0);
  f.value = tw::JsonGetDouble("fDValue", text, 0);
  const int l = tw::JsonGetInt("iLong", text, 0), w = tw::JsonGetInt("iWidth", text, 0),
            h = tw::JsonGetInt("iHeight", text, 0);
  if (l > 0 && w > 0 && h > 0) std::snprintf(f.dimensions, sizeof f.dimensions, "%u*%u*%u", l, w, h);
  Key(text, "cRPostcode", f.postcode, 15);
  Key(text, "cNum", f.number, 30);
  Key(text, "cDes", f.destination, 63);
  Key(text, "cPrintCode", f.printCode, 15);
  Key(text, "cReceiver", f.receiver, 63, tw::kJsonModeTable);
  Key(text, "cRUnit", f.company, 254, tw::kJsonModeTable);
  Key(text, "cRAddr", f.address, 254, tw::kJsonModeTable);
  Key(text, "cRCity", f.city, 126, tw::kJsonModeTable);
  Key(text, "cRProvince", f.province, 63, tw::kJsonModeTable);
  Key(text, "cRCountry", f.country, 126, tw::kJsonModeTable);
  Key(text, "cRPhone", f.phone, 63);
  Key(text, "cREMail", f.email, 63);
  Key(text, "cRSms", f.sms, 22);
  Key(text, "cTransNote", f.note, 63);
  Key(text, "cGoods", f.goods, 254);
  Key(text, "cGoodsA", f.goodsA, 254);
  Key(text, "cGCodeA", f.codeA, 63);
}

// The file name of the PDF reply: letters, digits, '_' and '-' only.
std::string SafeFileName(const char* text) {
  std::string name = text;
  for (char& c : name) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
    if (!ok) c = '_';
  }
  return name;
}

bool IsCarrierMailNumber(int32_t carrier, const char* number) {
  switch (carrier) {
    case 0: return IsEubMailNumber(number);
    case 1: return IsAuPostNumber(number);
    case 2: return IsValidTwelveDigitNumber(number) == 1;
    default: return false;
  }
}

// The EUB account of a label row: the one whose key the row carries, else the first.
const CEubClient* EubAccountOf(const char* key) {
  for (const auto& c : g_EubClients) {
    if (std::strcmp(c->key, key) == 0) return c.get();
  }
  return g_pEubClient;
}

}  // namespace

namespace tw::carriers {

void OnEPostUpload(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  UploadFields f;
  f.clientId = tw::JsonGetInt("icID", text, 0);
  if (f.clientId <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  Key(text, "cEmsKind", f.kind, 15);
  if (f.kind[0] == '\0') {
    WriteCode(rq.pCtxt, kRcNoKind);
    return;
  }
  const int32_t carrier = RequestCarrier(text, f.kind);
  if (carrier < 0 || carrier > 2) {
    WriteCode(rq.pCtxt, kRcBadCarrier);
    return;
  }
  if (!IsCarrierClientConfigured(carrier)) {
    WriteCode(rq.pCtxt, kRcNotConfigured);
    return;
  }
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  ReadFields(text, f);
  EmsKindExFields fill;
  (void)FindEmsKindExFields(f.kind, &fill);
  // The zone of the postcode stands in for a province and a city the request leaves empty.
  char zoneNumber[kZoneNumberBytes], zoneLetter[kZoneLetterBytes];
  if (g_ZoneTable.FindZone(f.postcode, f.kind, zoneNumber, zoneLetter) == 1) {
    if (f.province[0] == '\0') CopyField(f.province, zoneNumber);
    if (f.city[0] == '\0') CopyField(f.city, zoneLetter);
  }

  int rc = 0;
  std::string sentNumber = f.number, mail, message, by1 = fill.cBy1;
  const char* unserved = nullptr;
  if (carrier == 0) {
    const CEubClient* account = FindEubClientForKind(f.kind);
    if (account == nullptr) {
      unserved = "EUB_null";
    } else {
      EubOrder o;
      o.recordId = static_cast<uint32_t>(f.clientId);
      o.pieces = 1;
      o.weight = f.weight;
      o.quantity = f.quantity;
      o.unitPrice = f.price;
      CopyField(o.dimensions, f.dimensions);
      CopyField(o.kind, f.kind);
      CopyField(o.postcode, f.postcode);
      CopyField(o.orderId, f.number);
      CopyField(o.destination, f.destination);
      CopyField(o.printCode, f.printCode);
      CopyField(o.receiver, f.receiver);
      CopyField(o.address, f.address);
      CopyField(o.city, f.city);
      CopyField(o.province, f.province);
      CopyField(o.country, f.country);
      CopyField(o.phone, f.phone);
      CopyField(o.mobile, f.sms);
      CopyField(o.goods, f.goods);
      CopyField(o.goodsEn, f.goodsA);
      CopyField(o.remark, f.note);
      CEubSession session(slot.slot(), account);
      rc = session.CreateOrder(o);
      if (o.sentOrderId[0] != '\0') sentNumber = o.sentOrderId;
      mail = o.mailNumber;
      message = o.message;
    }
  } else if (carrier == 1) {
    if (g_pAuPostClient->SupportsKind(f.kind) == 0) {
      unserved = "AUPost_null";
    } else {
      AuPostOrder o;
      o.weight = f.weight;
      o.quantity = f.quantity;
      o.unitPrice = f.price;
      o.goodsValue = f.value;
      CopyField(o.kind, f.kind);
      CopyField(o.destination, f.destination);
      CopyField(o.receiver, f.receiver);
      CopyField(o.address, f.address);
      CopyField(o.postcode, f.postcode);
      CopyField(o.dimensions, f.dimensions);
      CopyField(o.company, f.company);
      CopyField(o.suburb, f.city);
      CopyField(o.state, f.province);
      CopyField(o.country, f.country);
      CopyField(o.phone, f.phone);
      CopyField(o.goods, f.goods);
      CopyField(o.goodsEn, f.goodsA);
      CopyField(o.reference, f.number);
      CAuPostSession session(slot.slot(), g_pAuPostClient.get());
      rc = session.CreateOrder(o);
      mail = o.mailNumber;
      message = o.message;
      if (rc == 1) by1 = o.barcode;
    }
  } else {
    if (g_pSfClient->FindKind(f.kind) == nullptr) {
      unserved = "SFE_null";
    } else {
      SfOrder o;
      o.weight = f.weight;
      o.quantity = f.quantity;
      o.unitPrice = f.price;
      o.goodsValue = f.value;
      o.pieces = 1;
      CopyField(o.kind, f.kind);
      CopyField(o.destination, f.destination);
      CopyField(o.postcode, f.postcode);
      CopyField(o.company, f.company);
      CopyField(o.contact, f.receiver);
      CopyField(o.address, f.address);
      CopyField(o.phone, f.phone);
      CopyField(o.mobile, f.sms);
      CopyField(o.province, f.province);
      CopyField(o.city, f.city);
      CopyField(o.country, f.country);
      CopyField(o.goods, f.goods);
      CopyField(o.goodsEn, f.goodsA);
      CopyField(o.customsCode, f.codeA);
      CopyField(o.orderId, f.number);
      CSfSession session(slot.slot(), g_pSfClient.get());
      rc = session.CreateOrder(o);
      mail = o.mailNumber;
      message = o.message;
    }
  }

  tw::OutBuf out(slot.slot().szWork, kWorkBytes);
  if (unserved != nullptr) {
    out.Append("{", 1);
    tw::JsonPutInt(out, "ReturnValue", kRcNoKind, true);
    tw::JsonPutString(out, "cMess", unserved, false);
    out.Append("}", 1);
  } else {
    out.Append("{", 1);
    tw::JsonPutInt(out, "ReturnValue", rc == 1 ? kRcOk : kRcUploadRefused, true);
    tw::JsonPutString(out, "cNum", sentNumber.c_str(), true);
    tw::JsonPutString(out, "cNo", mail.c_str(), true);
    tw::JsonPutString(out, "cMess", rc == 1 ? "" : message.c_str(), true);
    tw::JsonPutString(out, "cReserve", fill.cReserve, true);
    tw::JsonPutString(out, "cBy1", by1.c_str(), true);
    tw::JsonPutString(out, "cBy2", fill.cBy2, true);
    tw::JsonPutString(out, "cBy3", fill.cBy3, true);
    tw::JsonPutString(out, "cBy4", fill.cBy4, true);
    tw::JsonPutString(out, "cBy5", fill.cBy5, false);
    out.Append("}", 1);
  }
  WriteJsonReply(rq.pCtxt, out.data(), out.size());
}

void OnEPostPdf(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  if (tw::JsonGetInt("icID", text, 0) <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  char kind[16], number[32];
  Key(text, "cEmsKind", kind, 15);
  Key(text, "cqNo", number, 30);
  tw::MakeUpperAscii(number);
  const int32_t carrier = RequestCarrier(text, kind);
  if (carrier < 0 || carrier > 2) {
    WriteCode(rq.pCtxt, kRcBadCarrier);
    return;
  }
  if (!IsCarrierMailNumber(carrier, number)) {
    WriteCode(rq.pCtxt, kRcPdfBadNumber);
    return;
  }
  PoolSlotGuard guard;
  if (!guard.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }
  PoolSlot& slot = guard.slot();
  int32_t id = 0, length = 0;
  char title[257] = "";
  {
    if (!FormatSql(slot.szSql, sizeof slot.szSql, kFindSql, LabelKindText(carrier), tw::SqlEscape(number).c_str())) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbStatement st(slot.hDbc);
    st.BindInt(1, &id);
    st.BindText(2, title, sizeof title);
    st.BindInt(3, &length);
    if (!st.ok() || !DbOk(st.ExecDirect(slot.szSql))) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) {
      WriteCode(rq.pCtxt, kRcPdfNoRow);
      return;
    }
    if (!DbOk(rc)) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
  }
  auto sendPdf = [&](const char* data, size_t size) {
    char header[256];
    std::snprintf(header, sizeof header,
                  "Content-Type: application/pdf\r\nContent-Disposition: attachment; filename=%s.pdf\r\n"
                  "Accept-Ranges: bytes\r\nContent-Length: %zu\r\n",
                  SafeFileName(number).c_str(), size);
    AddReplyHeader(rq.pCtxt, header);
    rq.pCtxt->Write(data, size);
  };
  if (length >= 1 && static_cast<size_t>(length) <= kReplyBytes) {
    if (!FormatSql(slot.szSql, sizeof slot.szSql, kDataSql, id)) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    DbStatement st(slot.hDbc);
    SQLLEN read = 0;
    st.BindBinary(1, slot.szReply, kReplyBytes, &read);
    if (!st.ok() || !DbOk(st.ExecDirect(slot.szSql)) || !DbOk(st.Fetch()) || read <= 0) {
      WriteCode(rq.pCtxt, kRcDbFailed);
      return;
    }
    // The bytes actually read, whatever ilen says.
    sendPdf(slot.szReply, static_cast<size_t>(read) < kReplyBytes ? static_cast<size_t>(read) : kReplyBytes);
    return;
  }

  // No PDF yet: fetch it now, unless the placeholder is young enough to leave to the worker.
  const char* colon = std::strrchr(title, ':');
  LabelJob job;
  job.kind = carrier;
  job.id = id;
  CopyField(job.mailNumber, number);
  if (colon == nullptr || time(nullptr) - static_cast<time_t>(std::strtoll(colon + 1, nullptr, 10)) <= kFetchAfterSeconds ||
      !SplitLabelTitle(carrier, title, job)) {
    WriteCode(rq.pCtxt, kRcPdfNotReady);
    return;
  }
  int rc = -1;
  const char* pdf = nullptr;
  int32_t pdfLength = 0;
  if (carrier == 0) {
    CEubSession session(slot, EubAccountOf(job.account));
    rc = session.PrintLabel(job);
    pdf = session.labelBody;
    pdfLength = session.labelLength;
  } else if (carrier == 1) {
    CAuPostSession session(slot, g_pAuPostClient.get());
    rc = session.PrintLabel(job);
    pdf = session.labelBody;
    pdfLength = session.labelLength;
  } else {
    CSfSession session(slot, g_pSfClient.get());
    rc = session.PrintLabel(job);
    pdf = session.labelBody;
    pdfLength = session.labelLength;
  }
  if (rc < 1 || pdf == nullptr || pdfLength < kMinPdfBytes) {
    WriteCode(rq.pCtxt, kRcPdfNotReady);
    return;
  }
  sendPdf(pdf, static_cast<size_t>(pdfLength));
}

}  // namespace tw::carriers
