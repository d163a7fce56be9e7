// The JSON front doors: DoApp (client applications), DoApi (partner systems), DoPda (PDAs), DoChk
// (return-address service), WeChat (the chat front end on a trusted host) and Do (trusted hosts and
// testers). Each decodes the body, reads the request name, answers the few requests that need no
// check, checks the caller, logs the request and calls the handler from its table. The handler writes
// the whole reply; a door writes only its own refusals. The payment terminals' command PayWsj, with
// an envelope of its own, is handed whole to the client road.

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "core/caches.h"
#include "core/config.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
#include "server/extension.h"
#include "server/request_tables.h"
#include "services/handlers.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/md5.h"

namespace {

constexpr char kLogCategory[] = "TARNWICK";
constexpr char kWeChatCategory[] = "WECHATDATA";
constexpr int64_t kTimeWindowSeconds = 7200;
constexpr size_t kNameMax = 63;        // request names: 64-byte field
constexpr size_t kMd5FieldMax = 33;    // "MD5": 34-byte field
constexpr size_t kPdaIdMax = 63;       // "cUserPid": 64-byte field
constexpr size_t kTestPassMax = 30;    // "TestPass": a full 30-character TEST_PASS= can match
constexpr size_t kAddressBytes = 64;   // REMOTE_ADDR
constexpr uint32_t kTransBagLockWaitMs = 5000;
constexpr char kTrustedLoopback[] = "127.0.0.1";

// What every door reads first.
struct DoorRequest {
  char addressText[kAddressBytes] = "";
  unsigned char address[4] = {0, 0, 0, 0};
  char name[kNameMax + 1] = "";
};

// The four bytes of a dotted address (parts missing stay 0). Non-zero when four parts were found.
int ParseIPv4(const char* text, unsigned char out[4]) {
  std::memset(out, 0, 4);
  if (text == nullptr) return 0;
  int parts = 0;
  const char* p = text;
  while (parts < 4) {
    out[parts++] = static_cast<unsigned char>(std::atoi(p));
    const char* dot = std::strchr(p, '.');
    if (dot == nullptr) break;
    p = dot + 1;
  }
  return parts == 4 ? 1 : 0;
}

// 1 when "%22" starts at a byte offset from 0 to 100 of the body.
int IsUrlEncodedBody(const char* body) {
  if (body == nullptr) return 0;
  for (size_t i = 0; i <= 100 && body[i] != '\0'; ++i) {
    if (body[i] == '%' && body[i + 1] == '2' && body[i + 2] == '2') return 1;
  }
  return 0;
}

void ReadAddress(CHttpServerContext* pCtxt, DoorRequest& r) {
  DWORD size = sizeof r.addressText;
  if (!pCtxt->GetServerVariable("REMOTE_ADDR", r.addressText, &size)) r.addressText[0] = '\0';
  ParseIPv4(r.addressText, r.address);
}

void DecodeBody(char* body) {
  if (ExtensionSettings.urlEncode == 1 || IsUrlEncodedBody(body) != 0) tw::UrlDecode(body);
}

// "RequstName" first, then "RequestName".
void ReadName(const char* body, DoorRequest& r, bool bothSpellings) {
  if (bothSpellings) tw::JsonGetString("RequstName", body, r.name, kNameMax, tw::kJsonModeCodePage);
  if (r.name[0] == '\0') tw::JsonGetString("RequestName", body, r.name, kNameMax, tw::kJsonModeCodePage);
}

// The time stamp in milliseconds lies within 7200 seconds of the server clock (64-bit arithmetic).
bool TimeStampInWindow(int64_t stampMs) {
  const int64_t t = stampMs / 1000;
  const int64_t now = static_cast<int64_t>(tw::GetUtcTime());
  const int64_t diff = t - now;
  return diff >= -kTimeWindowSeconds && diff <= kTimeWindowSeconds;
}

// The request's "MD5", lower-cased.
void ReadSignature(const char* body, char out[kMd5FieldMax + 1]) {
  tw::JsonGetString("MD5", body, out, kMd5FieldMax, tw::kJsonModeCodePage);
  for (char* p = out; *p != '\0'; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

// Compares two 32-character signatures in time independent of where they differ.
bool SameSignature(const char* a, const char* b) {
  unsigned char diff = 0;
  for (size_t i = 0; i < tw::kMd5HexSize - 1; ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return diff == 0;
}

// The MD5 of the caller's id, the time stamp and the key, joined without separators.
bool SignatureMatches(const char* callerId, int64_t stamp, const char* key, const char* given) {
  std::string text = callerId;
  text += std::to_string(static_cast<uint64_t>(stamp));
  text += key;
  char digest[tw::kMd5HexSize];
  tw::MD5Hex(text.data(), text.size(), digest);
  return SameSignature(digest, given);
}

bool SignatureMatches(int32_t icid, int64_t stamp, const char* key, const char* given) {
  return SignatureMatches(std::to_string(icid).c_str(), stamp, key, given);
}

// The site key of DoChk and of DoApi with "xSetx" 2.
std::string SiteKey() { return std::string("7k_Pav_") + ExtensionSettings.site + "_Qrm"; }

// The caller is the local host, the configured trusted address or the server itself.
bool IsTrustedCaller(const char* addressText) {
  return std::strcmp(addressText, kTrustedLoopback) == 0 ||
         (ExtensionSettings.trustedAddress[0] != '\0' &&
          std::strcmp(addressText, ExtensionSettings.trustedAddress) == 0) ||
         (!ExtensionSettings.ownAddress.empty() && ExtensionSettings.ownAddress == addressText);
}

// The log lines around a dispatched request: "<prefix>_<serial>_<name><suffix>" then the body, and
// after the handler the same line with ",time:%u ms".
// The body as the log keeps it: the value of every "cPassword" key (the handover passwords of the
// warehouse requests) replaced by "***". Empty when the body holds no such key; it is then logged
// as it stands.
std::string MaskPasswords(const char* body) {
  static constexpr char kKey[] = "\"cPassword\"";
  const char* p = std::strstr(body, kKey);
  if (p == nullptr) return std::string();
  std::string out;
  const char* from = body;
  for (; p != nullptr; p = std::strstr(from, kKey)) {
    const char* q = p + sizeof kKey - 1;
    while (*q == ' ' || *q == '\t') ++q;
    if (*q != ':') {
      out.append(from, q);
      from = q;
      continue;
    }
    ++q;
    while (*q == ' ' || *q == '\t') ++q;
    out.append(from, q);
    const char* v = q;
    if (*v == '"') {
      for (++v; *v != '\0' && *v != '"'; ++v) {
        if (*v == '\\' && v[1] != '\0') ++v;
      }
      if (*v == '"') ++v;
      out += "\"***\"";
    } else {
      while (*v != '\0' && *v != ',' && *v != '}' && *v != ']' && *v != ' ') ++v;
      out += "***";
    }
    from = v;
  }
  out.append(from);
  return out;
}

// The request counter of the doors (steps by two per logged request).
std::atomic<uint32_t> g_nRequestSerial{0};

class RequestLog {
 public:
  RequestLog(const char* prefix, const char* name, const char* suffix, const char* body, const char* bodyCategory)
      : prefix_(prefix), name_(name), suffix_(suffix) {
    serial_ = ++g_nRequestSerial;
    start_ = tw::GetTickCount();
    char line[256];
    std::snprintf(line, sizeof line, "%s_%u_%s%s", prefix_, serial_, name_, suffix_.c_str());
    const std::string masked = MaskPasswords(body);
    const char* logged = masked.empty() ? body : masked.c_str();
    if (std::strcmp(bodyCategory, kLogCategory) == 0) {
      WriteLogPair(line, logged, kLogCategory);
    } else {
      WriteLog(line, kLogCategory);
      WriteLog(logged, bodyCategory);
    }
  }
  ~RequestLog() {
    ++g_nRequestSerial;
    char line[300];
    std::snprintf(line, sizeof line, "%s_%u_%s%s,time:%u ms", prefix_, serial_, name_, suffix_.c_str(),
                  tw::GetTickCount() - start_);
    WriteLog(line, kLogCategory);
  }

 private:
  const char* prefix_;
  const char* name_;
  std::string suffix_;
  uint32_t serial_;
  uint32_t start_;
};

std::string IdSuffix(int32_t icid) { return "," + std::to_string(icid); }

// The time stamp and the signature of a request: 0 when both are usable, else the refusal code.
int ReadTimeAndSignature(const char* body, int64_t* stamp, char md5[kMd5FieldMax + 1]) {
  *stamp = tw::JsonGetInt64("TimeStamp", body);
  if (!TimeStampInWindow(*stamp)) return kRcBadTimeStamp;
  ReadSignature(body, md5);
  if (std::strlen(md5) != tw::kMd5HexSize - 1) return kRcBadMd5Length;
  return 0;
}

// Checks a signature made with the client's API key, on a pool slot it takes into `slot`: 0 when it
// matches, else the refusal code. A mismatch with a cached key is tried once more when the stored key
// has changed since.
int CheckClientKey(int32_t icid, int64_t stamp, const char* md5, PoolSlotGuard& slot) {
  if (!slot.Acquire()) return kRcNoConnection;
  int loaded = 0;
  std::optional<ClientKeyRecord> key = g_ClientKeyCache.Find(icid, slot.dbc(), &loaded);
  if (!key) return kRcNoClientKey;
  bool match = SignatureMatches(icid, stamp, key->capikey, md5);
  if (!match && loaded == 0 && g_ClientKeyCache.Reload(*key, slot.dbc()) != 0) {
    match = SignatureMatches(icid, stamp, key->capikey, md5);
  }
  return match ? 0 : kRcBadSignature;
}

// Logs and runs a request that passed its door's checks: `handle` calls the handler and returns false
// when the name has none, which is answered "-4" after the end line.
template <typename Handle>
void Dispatch(CHttpServerContext* pCtxt, const char* prefix, const char* name, const std::string& suffix,
              const char* body, const char* bodyCategory, Handle handle) {
  bool handled;
  {
    RequestLog log(prefix, name, suffix.c_str(), body, bodyCategory);
    handled = handle();
  }
  if (!handled) WriteCode(pCtxt, kRcNameNotInTable);
}

// Runs a row's handler for the request.
void Run(const RequestRow& row, CHttpServerContext* pCtxt, char* body, const unsigned char* address,
         const PdaUser* user = nullptr, PoolSlotGuard* slot = nullptr) {
  CRequest rq;
  rq.pCtxt = pCtxt;
  rq.body = body;
  rq.address = address;
  rq.user = user;
  rq.slot = slot;
  row.handler(rq);
}

// Runs the row of a request that passed its door's checks, under the transfer-bag lock when the row
// asks for it. Returns false when the name has no row. `slot`: the door's, for a row that reads on it.
bool RunChecked(const RequestRow* row, CHttpServerContext* pCtxt, char* body, const unsigned char* address,
                const PdaUser* user = nullptr, PoolSlotGuard* slot = nullptr) {
  if (row == nullptr) return false;
  if ((row->flags & kRowTransBagLock) == 0) {
    Run(*row, pCtxt, body, address, user, slot);
  } else if (g_TransBagLock.Lock(kTransBagLockWaitMs)) {
    Run(*row, pCtxt, body, address, user, slot);
    g_TransBagLock.SetEvent();
  } else {
    WriteCode(pCtxt, kRcNoConnection);
  }
  return true;
}

// The door's key-check slot, kept for a row that works on it (kRowDoorSlot) and else given back
// before the request is logged and run. Null when it was given back.
PoolSlotGuard* KeepSlotFor(const RequestRow* row, PoolSlotGuard& slot) {
  if (row != nullptr && (row->flags & kRowDoorSlot) != 0 && slot.ok()) return &slot;
  slot.Release();
  return nullptr;
}

// The first steps of DoApp, DoApi and DoPda: the caller's address, the body decoded, the request
// name ("-5" when none), and the door's rows answered before any check. Returns the row of the name
// (null when it has none); false when the door is done.
bool OpenSignedDoor(CHttpServerContext* pCtxt, char* body, std::span<const RequestRow> table, DoorRequest& r,
                    const RequestRow** row) {
  ReadAddress(pCtxt, r);
  DecodeBody(body);
  ReadName(body, r, true);
  if (r.name[0] == '\0') {
    WriteCode(pCtxt, kRcNoRequestName);
    return false;
  }
  *row = FindRequest(table, r.name);
  if (*row != nullptr && ((*row)->flags & kRowUnchecked) != 0) {
    Run(**row, pCtxt, body, r.address);
    return false;
  }
  return true;
}

}  // namespace

void CTarnwickExtension::DoApp(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  const RequestRow* row = nullptr;
  if (!OpenSignedDoor(pCtxt, body, DoAppTable(), r, &row)) return;

  const int32_t icid = tw::JsonGetInt("icID", body, 0);
  int64_t stamp = 0;
  char md5[kMd5FieldMax + 1];
  if (int code = ReadTimeAndSignature(body, &stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  if (row != nullptr && (row->flags & kRowBeforeClientId) != 0) {
    Run(*row, pCtxt, body, r.address);
    return;
  }
  if (icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return;
  }
  PoolSlotGuard slot(-1);
  if (int code = CheckClientKey(icid, stamp, md5, slot); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  PoolSlotGuard* kept = KeepSlotFor(row, slot);
  Dispatch(pCtxt, "*DoApp", r.name, IdSuffix(icid), body, kLogCategory,
           [&] { return RunChecked(row, pCtxt, body, r.address, nullptr, kept); });
}

void CTarnwickExtension::DoApi(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  const RequestRow* row = nullptr;
  if (!OpenSignedDoor(pCtxt, body, DoApiTable(), r, &row)) return;

  const int32_t keySource = tw::JsonGetInt("xSetx", body, 0);
  const int32_t icid = tw::JsonGetInt("icID", body, 0);
  if (icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return;
  }
  int64_t stamp = 0;
  char md5[kMd5FieldMax + 1];
  if (int code = ReadTimeAndSignature(body, &stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  int code = 0;
  PoolSlotGuard slot(-1);
  if (keySource == 2) {
    code = SignatureMatches(icid, stamp, SiteKey().c_str(), md5) ? 0 : kRcBadSignature;
  } else if (keySource > 0) {
    code = SignatureMatches(icid, stamp, ExtensionSettings.partnerKey, md5) ? 0 : kRcBadSignature;
  } else {
    code = CheckClientKey(icid, stamp, md5, slot);
  }
  if (code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  PoolSlotGuard* kept = KeepSlotFor(row, slot);
  Dispatch(pCtxt, "*DoApi", r.name, IdSuffix(icid), body, kLogCategory,
           [&] { return RunChecked(row, pCtxt, body, r.address, nullptr, kept); });
}

void CTarnwickExtension::DoPda(CHttpServerContext* pCtxt, char* body, int) {
  if (!g_OstrumContainer.IsLoaded()) {
    WriteCode(pCtxt, kRcContainerNotLoaded);
    return;
  }
  DoorRequest r;
  const RequestRow* row = nullptr;
  if (!OpenSignedDoor(pCtxt, body, DoPdaTable(), r, &row)) return;

  char pda[kPdaIdMax + 1];
  tw::JsonGetString("cUserPid", body, pda, kPdaIdMax, tw::kJsonModeCodePage);
  if (pda[0] == '\0') {
    WriteCode(pCtxt, kRcNoPdaUser);
    return;
  }
  int64_t stamp = 0;
  char md5[kMd5FieldMax + 1];
  if (int code = ReadTimeAndSignature(body, &stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  // An id too long for a PDA user's record names no user.
  if (std::strlen(pda) >= sizeof PdaUser::cpda) {
    WriteCode(pCtxt, kRcPdaUserNotFound);
    return;
  }
  std::optional<PdaUser> user;
  {
    PoolSlotGuard slot;
    if (!slot.ok()) {
      WriteCode(pCtxt, kRcNoConnection);
      return;
    }
    user = g_OstrumContainer.GetPdaUser(pda, slot.dbc());
  }
  if (!user) {
    WriteCode(pCtxt, kRcPdaUserNotFound);
    return;
  }
  if (!SignatureMatches(pda, stamp, g_OstrumContainer.pdaKey, md5)) {
    WriteCode(pCtxt, kRcBadSignature);
    return;
  }

  Dispatch(pCtxt, "*DoPda", r.name, std::string(",") + pda, body, kLogCategory,
           [&] { return RunChecked(row, pCtxt, body, r.address, &*user); });
}

void CTarnwickExtension::DoChk(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  ReadAddress(pCtxt, r);
  DecodeBody(body);
  ReadName(body, r, true);
  if (r.name[0] == '\0') {
    WriteCode(pCtxt, kRcNameNotInTable);
    return;
  }
  const RequestRow* row = FindRequest(DoChkTable(), r.name);
  if (row != nullptr && (row->flags & kRowUnchecked) != 0) {
    Run(*row, pCtxt, body, r.address);
    return;
  }
  const int32_t icid = tw::JsonGetInt("icID", body, 0);
  if (icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return;
  }
  int64_t stamp = 0;
  char md5[kMd5FieldMax + 1];
  if (int code = ReadTimeAndSignature(body, &stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  if (!SignatureMatches(icid, stamp, SiteKey().c_str(), md5)) {
    WriteCode(pCtxt, kRcBadSignature);
    return;
  }

  Dispatch(pCtxt, "*DoChk", r.name, IdSuffix(icid), body, kLogCategory,
           [&] { return RunChecked(row, pCtxt, body, r.address); });
}

void CTarnwickExtension::WeChat(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  ReadAddress(pCtxt, r);
  DecodeBody(body);
  if (!IsTrustedCaller(r.addressText)) {
    WriteCode(pCtxt, kRcUntrustedCaller);
    return;
  }
  ReadName(body, r, false);
  if (r.name[0] == '\0') {
    WriteCode(pCtxt, kRcNameNotInTable);
    return;
  }
  Dispatch(pCtxt, "*DoApi", r.name, "", body, kWeChatCategory,
           [&] { return RunChecked(FindRequest(WeChatTable(), r.name), pCtxt, body, r.address); });
}

void CTarnwickExtension::Do(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  ReadAddress(pCtxt, r);
  DecodeBody(body);
  if (!IsTrustedCaller(r.addressText)) {
    char pass[kTestPassMax + 1];
    tw::JsonGetString("TestPass", body, pass, kTestPassMax, tw::kJsonModeCodePage);
    if (pass[0] == '\0' || std::strcmp(pass, ExtensionSettings.testPassword) != 0) {
      WriteReply(pCtxt, r.addressText, 0);
      return;
    }
  }
  ReadName(body, r, true);
  if (r.name[0] == '\0') {
    WriteCode(pCtxt, kRcNoRequestName);
    return;
  }
  Dispatch(pCtxt, "*Do", r.name, "", body, kLogCategory,
           [&] { return RunChecked(FindRequest(DoTable(), r.name), pCtxt, body, r.address); });
}

// The payment terminals' command: its envelope and both of its operations are the client road's.
void CTarnwickExtension::PayWsj(CHttpServerContext* pCtxt, char* body, int length) {
  tw::services::PayWsj(pCtxt, body, length);
}
