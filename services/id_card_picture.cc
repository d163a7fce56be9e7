// "DoIDCardPicSet": the two sides of a receiver's identity card, uploaded as base64 pictures, made
// into one watermarked JPEG and kept with the receiver's name and card number in x_sri, where
// customs clearance finds it. A new record is made for the client, or the picture of one of the
// client's own records replaced; the record and its picture are stored together or not at all.

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/config.h"
#include "core/db.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/client_codes.h"
#include "services/handlers.h"
#include "services/internal/client_id_text.h"
#include "services/internal/id_card_image.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/pinyin.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";

// Key limits (bytes).
constexpr size_t kNameMax = 30;
constexpr size_t kCardMax = 30;
constexpr size_t kMarkMax = 15;
constexpr size_t kEx1Max = 63;
constexpr size_t kFileTypeMax = 3;
constexpr size_t kCardNumberMin = 7;
// The base64 text of each side, in characters, and the fewest bytes a picture can have.
constexpr size_t kPictureTextMin = 1000;
constexpr size_t kPictureTextMax = 1000000;
constexpr long kPictureBytesMin = 100;
// How often the driver is asked again while it is still taking the picture.
constexpr uint32_t kPutDataSleepMs = 500;

// The refusals of this request, in the order they are tested.
constexpr int kRcBadClient = -2;     // "icID" not positive, or "iID" not a record of the client
constexpr int kRcShortCard = -11;    // a new record's card number has fewer than 7 characters
constexpr int kRcNoName = -12;       // a new record without the receiver's name
constexpr int kRcNoPicture1 = -13;   // "vPic1" missing; -14 shorter, -15 longer than allowed, -16 no picture bytes
constexpr int kRcNoPicture2 = -17;   // the same four for "vPic2" (-17 .. -20)

// The picture-type flags of nType 0, 1 and 2.
constexpr const char* kTypeFlags[3] = {"1,0,0", "0,1,0", "0,0,1"};

constexpr char kCallHead[] = "{?=CALL dorvane.dbo.cp_x_sri_set('客户',%s,1,0,0,%d,0,0,%d,'',";
constexpr char kCallNamesKind0[] = "'%s','','','','%s','','','','','','',";
constexpr char kCallNamesOther[] = "'','%s','','','','%s','','','','','',";
constexpr char kCallTail[] = "'%s','','','','','%s','','','','','','','%s','','','','','%c')}";
constexpr char kOwnRecordSql[] = "SELECT iid FROM dorvane.dbo.x_sri WHERE iid=%d AND icid=%d FOR UPDATE";
constexpr char kPictureSql[] =
    "UPDATE dorvane.dbo.x_sri SET pdata1=?,df1=LOCALTIMESTAMP,cfile1='%d.jpg',ilen1=%d,dmod=LOCALTIMESTAMP "
    "WHERE iid=%d AND icid=%d";

struct CardRecord {
  int32_t icid = 0;
  int32_t iid = 0;  // as sent: 0 or less makes a new record
  int32_t kind = 0;
  int32_t type = 0;  // 0..2
  char name[kNameMax + 1] = "";
  char card[kCardMax + 1] = "";
  char mark[kMarkMax + 1] = "";
  char ex1[kEx1Max + 1] = "";
};

// One side's base64 text as found in the body (raw null when the key is missing), checked and
// decoded in place. Returns the byte count, or the side's refusal (-13 .. -16 from `firstCode`).
long ReadPicture(char* body, std::string_view whole, const char* raw, const char* end, int firstCode,
                 uint8_t** bytes) {
  if (raw == nullptr || end == nullptr) return firstCode;
  const size_t length = static_cast<size_t>(end - raw);
  if (length < kPictureTextMin) return firstCode - 1;
  if (length > kPictureTextMax) return firstCode - 2;
  char* text = body + (raw - whole.data());
  const long count = tw::idcard::DecodePictureField(text, body + (end - whole.data()));
  if (count < kPictureBytesMin) return firstCode - 3;
  *bytes = reinterpret_cast<uint8_t*>(text);
  return count;
}

// The call that makes the record, every text escaped.
std::string BuildCall(const CardRecord& r) {
  const std::string name = tw::SqlEscape(r.name), card = tw::SqlEscape(r.card);
  std::string call = StringPrintf(kCallHead, kTypeFlags[r.type], r.icid, r.kind);
  call += StringPrintf(r.kind == 0 ? kCallNamesKind0 : kCallNamesOther, name.c_str(), card.c_str());
  call += StringPrintf(kCallTail, card.c_str(), tw::SqlEscape(r.mark).c_str(), tw::SqlEscape(r.ex1).c_str(),
                       tw::GetNameInitial(r.name, nullptr));
  return call;
}

// Makes the record (new) or locks the client's own record, then stores the picture, all in one
// transaction. Returns the record id or the refusal code.
int StoreCard(SQLHDBC dbc, const CardRecord& r, const uint8_t* jpeg, size_t length) {
  DbTransaction tx(dbc);
  if (!tx.ok()) return kRcDbFailed;
  int32_t id = r.iid;
  if (r.iid < 1) {
    DbStatement st(dbc);
    int32_t made = 0;
    st.BindOutInt(1, &made);
    const std::string call = BuildCall(r);
    if (!st.ok() || !DbOk(st.ExecDirect(call.c_str()))) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      return kRcDbFailed;
    }
    if (made <= 0) return kRcDbFailed;
    id = made;
  } else {
    DbStatement st(dbc);
    char sql[sizeof kOwnRecordSql + 32];
    if (!st.ok() || !FormatSql(sql, sizeof sql, kOwnRecordSql, r.iid, r.icid) || !DbOk(st.ExecDirect(sql))) {
      return kRcDbFailed;
    }
    int32_t found = 0;
    st.BindInt(1, &found);
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return kRcBadClient;  // no such record, or another client's
    if (!DbOk(rc)) return kRcDbFailed;
  }
  {
    DbStatement st(dbc);
    char sql[sizeof kPictureSql + 48];
    if (!st.ok() || !FormatSql(sql, sizeof sql, kPictureSql, id, static_cast<int>(length), id, r.icid)) {
      return kRcDbFailed;
    }
    const SQLRETURN rc = st.ExecWithLongBinary(sql, jpeg, length, kPutDataSleepMs);
    if (rc == SQL_NO_DATA) return kRcBadClient;
    if (!DbOk(rc)) {
      WriteLog(st.Diagnostic().c_str(), kLogCategory);
      return kRcDbFailed;
    }
  }
  return tx.Commit() ? id : kRcDbFailed;
}

}  // namespace

namespace tw::services {

void OnDoIDCardPicSet(const CRequest& rq) {
  // The pictures are decoded in place; their keys are looked up in the whole body as it came.
  const std::string_view whole(rq.body, std::strlen(rq.body));
  CardRecord r;
  r.icid = tw::JsonGetInt("icID", whole, 0);
  if (r.icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClient);
    return;
  }
  tw::JsonGetString("cRName", whole, r.name, kNameMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cIDCard", whole, r.card, kCardMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cMark", whole, r.mark, kMarkMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cEx1", whole, r.ex1, kEx1Max, tw::kJsonModeCodePage);
  char fileType[kFileTypeMax + 1];  // accepted, not used: the format is read from the bytes
  tw::JsonGetString("cFileType", whole, fileType, kFileTypeMax, tw::kJsonModeCodePage);
  for (char* text : {r.name, r.card, r.mark, r.ex1}) tw::clientid::MakeGbkSafe(text);
  r.iid = tw::JsonGetInt("iID", whole, 0);
  r.kind = tw::JsonGetInt("iKind", whole, 0);
  const int type = tw::JsonGetInt("nType", whole, 0);
  r.type = type < 0 ? 0 : type > 2 ? 2 : type;
  if (r.iid < 1) {
    if (std::strlen(r.card) < kCardNumberMin) {
      WriteCode(rq.pCtxt, kRcShortCard);
      return;
    }
    if (r.name[0] == '\0') {
      WriteCode(rq.pCtxt, kRcNoName);
      return;
    }
  }

  // Both texts are found before either is decoded (decoding writes over the body); every check of
  // the first side comes before any of the second. A quoted value holds no quote, so the two texts
  // never overlap.
  const char* ends[2] = {nullptr, nullptr};
  const char* raws[2] = {tw::JsonGetRaw("vPic1", whole, &ends[0]), tw::JsonGetRaw("vPic2", whole, &ends[1])};
  const int firstCodes[2] = {kRcNoPicture1, kRcNoPicture2};
  uint8_t* bytes[2] = {nullptr, nullptr};
  long counts[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    counts[i] = ReadPicture(rq.body, whole, raws[i], ends[i], firstCodes[i], &bytes[i]);
    if (counts[i] < 0) {
      WriteCode(rq.pCtxt, static_cast<int>(counts[i]));
      return;
    }
  }

  tw::idcard::JpegBytes jpeg;
  size_t length = 0;
  int drawn = 0;
  const int made = tw::idcard::MakeCardJpeg(bytes[0], static_cast<size_t>(counts[0]), bytes[1],
                                             static_cast<size_t>(counts[1]), WatermarkSettings, kReplyBytes, &jpeg,
                                             &length, &drawn);
  if (made != 0) {
    WriteCode(rq.pCtxt, made);
    return;
  }
  if (drawn != 2) WriteLog("IDCardPicSet: the watermark could not be drawn (no font)", kLogCategory);

  int code;
  {
    PoolSlotGuard slot;
    if (!slot.ok()) {
      WriteCode(rq.pCtxt, kRcNoConnection);
      return;
    }
    code = StoreCard(slot.dbc(), r, jpeg.get(), length);
  }
  if (code > 0) {
    // A copy of the picture the folder may hold from an earlier upload of this record.
    const std::string file =
        ExtensionSettings.moduleFolder + kPictureFolderName + "/" + std::to_string(r.iid) + ".jpg";
    ::unlink(file.c_str());
  }
  WriteCode(rq.pCtxt, code);
}

}  // namespace tw::services
