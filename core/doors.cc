// The JSON front doors: DoApp (client applications), DoApi (partner systems), DoPda (PDAs), DoChk
// (return-address service), WeChat (the chat front end on a trusted host) and Do (trusted hosts and
// testers). Each decodes the body, reads the request name, answers the few requests that need no
// check, checks the caller, logs the request and calls the handler from its table. The handler writes
// the whole reply; a door writes only its own refusals.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "carriers/return_address.h"
#include "core/caches.h"
#include "core/config.h"
#include "core/extension.h"
#include "core/pool.h"
#include "core/request_tables.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
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

void ReadAddress(CHttpServerContext* pCtxt, DoorRequest& r) {
  DWORD size = sizeof r.addressText;
  if (!pCtxt->GetServerVariable("REMOTE_ADDR", r.addressText, &size)) r.addressText[0] = '\0';
  CTarnwickExtension::ParseIPv4(r.addressText, r.address);
}

void DecodeBody(char* body) {
  if (ExtensionSettings.urlEncode == 1 || CTarnwickExtension::IsUrlEncodedBody(body) != 0) tw::UrlDecode(body);
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

class RequestLog {
 public:
  RequestLog(CTarnwickExtension& ext, const char* prefix, const char* name, const char* suffix,
             const char* body, const char* bodyCategory)
      : ext_(ext), prefix_(prefix), name_(name), suffix_(suffix) {
    serial_ = ++ext_.m_nRequestSerial;
    start_ = tw::GetTickCount();
    char line[256];
    std::snprintf(line, sizeof line, "%s_%u_%s%s", prefix_, serial_, name_, suffix_.c_str());
    ext_.WriteLog(line, kLogCategory);
    const std::string masked = MaskPasswords(body);
    ext_.WriteLog(masked.empty() ? body : masked.c_str(), bodyCategory);
  }
  ~RequestLog() {
    ++ext_.m_nRequestSerial;
    char line[300];
    std::snprintf(line, sizeof line, "%s_%u_%s%s,time:%u ms", prefix_, serial_, name_, suffix_.c_str(),
                  tw::GetTickCount() - start_);
    ext_.WriteLog(line, kLogCategory);
  }

 private:
  CTarnwickExtension& ext_;
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

// Checks a signature made with the client's API key, on a pool slot of its own: 0 when it matches,
// else the refusal code. A mismatch with a cached key is tried once more when the stored key has
// changed since.
int CheckClientKey(int32_t icid, int64_t stamp, const char* md5) {
  PoolSlotGuard slot;
  if (!slot.ok()) return kRcNoConnection;
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
void Dispatch(CTarnwickExtension& ext, CHttpServerContext* pCtxt, const char* prefix, const char* name,
              const std::string& suffix, const char* body, const char* bodyCategory, Handle handle) {
  bool handled;
  {
    RequestLog log(ext, prefix, name, suffix.c_str(), body, bodyCategory);
    handled = handle();
  }
  if (!handled) ext.WriteCode(pCtxt, kRcNameNotInTable);
}

}  // namespace

int CTarnwickExtension::ParseIPv4(const char* text, unsigned char out[4]) {
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

int CTarnwickExtension::IsUrlEncodedBody(const char* body) {
  if (body == nullptr) return 0;
  for (size_t i = 0; i <= 100 && body[i] != '\0'; ++i) {
    if (body[i] == '%' && body[i + 1] == '2' && body[i + 2] == '2') return 1;
  }
  return 0;
}

void CTarnwickExtension::OnEmptyRequest(CHttpServerContext*, char*, const unsigned char*) {}
void CTarnwickExtension::OnEmptyRequest(CHttpServerContext*, char*, const PdaUser&) {}

// Answers the requests DoApp, DoApi and DoPda serve before any check. Returns true when it did.
static bool AnswerUnchecked(CTarnwickExtension& ext, CHttpServerContext* pCtxt, char* body, const char* name) {
  if (std::strcmp(name, "EmsKindList") == 0) {
    ext.OnEmsKindList(pCtxt);
  } else if (std::strcmp(name, "GenerateMD5") == 0) {
    ext.OnGenerateMD5(pCtxt, body);
  } else if (std::strcmp(name, "TimeStamp") == 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%u000", static_cast<unsigned>(tw::GetUtcTime()));
    ext.WriteReply(pCtxt, text, 1);
  } else {
    return false;
  }
  return true;
}

// The first steps of DoApp, DoApi and DoPda: the caller's address, the body decoded, the request
// name ("-5" when none), and the requests answered before any check. True when the door goes on.
static bool OpenSignedDoor(CTarnwickExtension& ext, CHttpServerContext* pCtxt, char* body, DoorRequest& r) {
  ReadAddress(pCtxt, r);
  DecodeBody(body);
  ReadName(body, r, true);
  if (r.name[0] == '\0') {
    ext.WriteCode(pCtxt, kRcNoRequestName);
    return false;
  }
  return !AnswerUnchecked(ext, pCtxt, body, r.name);
}

void CTarnwickExtension::DoApp(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  if (!OpenSignedDoor(*this, pCtxt, body, r)) return;

  const int32_t icid = tw::JsonGetInt("icID", body, 0);
  int64_t stamp = 0;
  char md5[kMd5FieldMax + 1];
  if (int code = ReadTimeAndSignature(body, &stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  if (std::strcmp(r.name, "GetClientID") == 0) {
    OnGetClientID(pCtxt, body, md5);
    return;
  }
  if (icid <= 0) {
    WriteCode(pCtxt, kRcBadClientId);
    return;
  }
  if (int code = CheckClientKey(icid, stamp, md5); code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  Dispatch(*this, pCtxt, "*DoApp", r.name, IdSuffix(icid), body, kLogCategory, [&] {
    if (std::strcmp(r.name, "ClientInfo") == 0) {
      OnClientAuth(pCtxt, body, 0);
    } else if (ClientHandler handler = FindClientHandler(DoAppTable(), r.name)) {
      (this->*handler)(pCtxt, body, r.address);
    } else {
      return false;
    }
    return true;
  });
}

void CTarnwickExtension::DoApi(CHttpServerContext* pCtxt, char* body, int) {
  DoorRequest r;
  if (!OpenSignedDoor(*this, pCtxt, body, r)) return;

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
  if (keySource == 2) {
    code = SignatureMatches(icid, stamp, SiteKey().c_str(), md5) ? 0 : kRcBadSignature;
  } else if (keySource > 0) {
    code = SignatureMatches(icid, stamp, ExtensionSettings.partnerKey, md5) ? 0 : kRcBadSignature;
  } else {
    code = CheckClientKey(icid, stamp, md5);
  }
  if (code != 0) {
    WriteCode(pCtxt, code);
    return;
  }
  Dispatch(*this, pCtxt, "*DoApi", r.name, IdSuffix(icid), body, kLogCategory, [&] {
    if (std::strcmp(r.name, "EPostPdf") == 0) {
      OnEPostPdf(pCtxt, body);
    } else if (std::strcmp(r.name, "EPostUpload") == 0) {
      OnEPostUpload(pCtxt, body);
    } else if (std::strcmp(r.name, "RecTransBagSet") == 0) {
      // Two such requests never run at once; one that cannot get its turn within 5 s does not run.
      if (g_TransBagLock.Lock(kTransBagLockWaitMs)) {
        OnRecTransBagSet(pCtxt, body, r.address);
        g_TransBagLock.SetEvent();
      } else {
        WriteCode(pCtxt, kRcNoConnection);
      }
    } else if (ClientHandler handler = FindClientHandler(DoApiTable(), r.name)) {
      (this->*handler)(pCtxt, body, r.address);
    } else {
      return false;
    }
    return true;
  });
}

void CTarnwickExtension::DoPda(CHttpServerContext* pCtxt, char* body, int) {
  if (!g_OstrumContainer.IsLoaded()) {
    WriteCode(pCtxt, kRcContainerNotLoaded);
    return;
  }
  DoorRequest r;
  if (!OpenSignedDoor(*this, pCtxt, body, r)) return;

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

  Dispatch(*this, pCtxt, "*DoPda", r.name, std::string(",") + pda, body, kLogCategory, [&] {
    PdaHandler handler = FindPdaHandler(DoPdaTable(), r.name);
    if (handler == nullptr) return false;
    (this->*handler)(pCtxt, body, *user);
    return true;
  });
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
  if (std::strcmp(r.name, "TimeStamp") == 0) {
    AnswerUnchecked(*this, pCtxt, body, r.name);
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

  Dispatch(*this, pCtxt, "*DoChk", r.name, IdSuffix(icid), body, kLogCategory, [&] {
    if (std::strcmp(r.name, "ReturnAddr") != 0) return false;
    char entry[256];
    if (g_ReturnAddressList.PickNext(entry, sizeof entry)) {
      WriteReply(pCtxt, entry, 0);
    } else {
      WriteCode(pCtxt, kRcNotFound);  // no return address is available
    }
    return true;
  });
}

// The requests of the trusted doors (WeChat, Do): "ClientAuth", "EmsKindList", then the door's table.
static bool RunTrustedRequest(CTarnwickExtension& ext, CHttpServerContext* pCtxt, char* body, const char* name,
                              const unsigned char* address, std::span<const ClientRequest> table) {
  if (std::strcmp(name, "ClientAuth") == 0) {
    ext.OnClientAuth(pCtxt, body, 0);
  } else if (std::strcmp(name, "EmsKindList") == 0) {
    ext.OnEmsKindList(pCtxt);
  } else if (ClientHandler handler = FindClientHandler(table, name)) {
    (ext.*handler)(pCtxt, body, address);
  } else {
    return false;
  }
  return true;
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
  Dispatch(*this, pCtxt, "*DoApi", r.name, "", body, kWeChatCategory,
           [&] { return RunTrustedRequest(*this, pCtxt, body, r.name, r.address, WeChatTable()); });
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
  Dispatch(*this, pCtxt, "*Do", r.name, "", body, kLogCategory,
           [&] { return RunTrustedRequest(*this, pCtxt, body, r.name, r.address, DoTable()); });
}
