#include "carriers/label_store.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "carriers/label_worker.h"
#include "core/db.h"
#include "core/pool.h"
#include "util/escape.h"

namespace {

constexpr char kPlaceholderSql[] = "{?=CALL dorvane.dbo.cp_file_share_set(0,'%s','%s','%s','%s',%d)}";
constexpr char kSaveSql[] = "UPDATE dorvane.dbo.file_share SET ilen=%d,cfilename='%s.%s',vdata=? WHERE iid=%d";
constexpr char kSweepSql[] =
    "SELECT iid,ctitle,ckey FROM dorvane.dbo.file_share WHERE ilen=0 AND ngrade=119 AND ckind='%s' AND ddate>'%s' "
    "ORDER BY iid";
constexpr char kPurgeSql[] =
    "DELETE FROM dorvane.dbo.file_share WHERE ngrade=119 AND ckind IN('%s','%s','%s') AND ddate<'%s'";
constexpr uint32_t kDataAtExecSleepMs = 100;
constexpr time_t kRequeueDays = 4;
constexpr time_t kKeepDays = 26;
constexpr size_t kFileNameMax = 58;  // cfilename holds the name and ".pdf"

const char* const kKinds[3] = {"EUB_Label", "AUPOSTX_Lbl", "SFEX_Label"};

// "%Y.%m.%d %H:%M:%S.0" of a local time.
std::string SqlTime(time_t t) {
  tm local{};
  localtime_r(&t, &local);
  char out[32];
  std::strftime(out, sizeof out, "%Y.%m.%d %H:%M:%S.0", &local);
  return out;
}

// The title of a row: "account:time", or "account@reference:time" when a reference is given.
std::string Title(const char* account, const char* reference, time_t created) {
  std::string title = account != nullptr ? account : "";
  if (reference != nullptr && reference[0] != '\0') {
    title += '@';
    title += reference;
  }
  title += ':';
  title += std::to_string(static_cast<unsigned long long>(created));
  return title;
}

}  // namespace

const char* LabelKindText(int32_t carrier) { return carrier >= 0 && carrier <= 2 ? kKinds[carrier] : nullptr; }

bool IsPdfLabel(int32_t status, const char* body, size_t length) {
  if (status != 200 || body == nullptr) return false;
  const size_t n = length < 1024 ? length : 1024;
  for (size_t i = 0; i + 5 <= n; ++i) {
    if (std::memcmp(body + i, "%PDF-", 5) == 0) return true;
  }
  return false;
}

int CreateLabelPlaceholder(PoolSlot& slot, int32_t carrier, const char* order, const char* account,
                           const char* reference, const char* mailNumber, time_t created) {
  const char* kind = LabelKindText(carrier);
  if (kind == nullptr) return 0;
  const bool withReference = carrier != 0;
  const std::string title = Title(account, withReference ? reference : nullptr, created);
  if (!FormatSql(slot.szSql, sizeof slot.szSql, kPlaceholderSql, kind, tw::SqlEscape(order).c_str(),
                 tw::SqlEscape(title.c_str()).c_str(), tw::SqlEscape(mailNumber).c_str(), kLabelGrade)) {
    return 0;
  }
  DbStatement st(slot.hDbc);
  if (!st.ok()) return kLabelDbFailed;
  int32_t id = 0;
  st.BindOutInt(1, &id);
  if (!DbOk(st.ExecDirect(slot.szSql))) return kLabelDbFailed;
  return id;
}

int SaveLabelRow(PoolSlot& slot, int32_t carrier, int32_t id, const char* mailNumber, const char* data,
                 int32_t length, const char* account, const char* reference, const char* fileName) {
  if (LabelKindText(carrier) == nullptr || data == nullptr || length <= 0) return kLabelDbFailed;
  int created = 0;
  if (id < 1) {
    // EUB rows made here carry the account text alone (no time), as the sweep expects of them.
    int newId;
    if (carrier == 0) {
      const char* kind = LabelKindText(carrier);
      if (!FormatSql(slot.szSql, sizeof slot.szSql, kPlaceholderSql, kind, "0", tw::SqlEscape(account).c_str(),
                     tw::SqlEscape(mailNumber).c_str(), kLabelGrade)) {
        return kLabelDbFailed;
      }
      DbStatement st(slot.hDbc);
      if (!st.ok()) return kLabelDbFailed;
      newId = 0;
      st.BindOutInt(1, &newId);
      if (!DbOk(st.ExecDirect(slot.szSql))) return kLabelDbFailed;
    } else {
      newId = CreateLabelPlaceholder(slot, carrier, "0", account, reference, mailNumber, time(nullptr));
    }
    if (newId < 1) return kLabelDbFailed;
    id = newId;
    created = newId;
  }
  std::string name = tw::SqlEscape(fileName);
  if (name.size() > kFileNameMax) name.resize(kFileNameMax);
  while (!name.empty() && name.back() == '\'') name.pop_back();  // never end inside a doubled quote
  if (!FormatSql(slot.szSql, sizeof slot.szSql, kSaveSql, length, name.c_str(), "pdf", id)) return kLabelDbFailed;
  DbStatement st(slot.hDbc);
  if (!st.ok()) return kLabelDbFailed;
  if (!DbOk(st.ExecWithLongBinary(slot.szSql, data, static_cast<size_t>(length), kDataAtExecSleepMs))) {
    return kLabelDbFailed;
  }
  return created > 0 ? created : kLabelRowUpdated;
}

bool SplitLabelTitle(int32_t carrier, const char* title, LabelJob& job) {
  if (title == nullptr) return false;
  std::string text = title;
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos) text.resize(colon);
  std::string account = text, reference;
  if (carrier == 1 || carrier == 2) {
    const size_t at = text.find('@');
    if (at == std::string::npos) return false;
    account = text.substr(0, at);
    reference = text.substr(at + 1);
  }
  if (account.empty() || account.size() >= sizeof job.account || reference.size() >= sizeof job.reference) {
    return false;
  }
  std::memcpy(job.account, account.c_str(), account.size() + 1);
  std::memcpy(job.reference, reference.c_str(), reference.size() + 1);
  return true;
}

int RequeueAndPurgeLabels(PoolSlot& slot, time_t now, int* keptDay, const bool configured[3]) {
  if (slot.hDbc == SQL_NULL_HDBC) return kLabelDbFailed;
  const std::string since = SqlTime(now - kRequeueDays * 86400);
  int pushed = 0;
  for (int32_t carrier = 0; carrier < 3; ++carrier) {
    if (!configured[carrier]) continue;
    if (!FormatSql(slot.szSql, sizeof slot.szSql, kSweepSql, kKinds[carrier], since.c_str())) return kLabelStmtFailed;
    std::vector<LabelJob> found;
    {
      DbStatement st(slot.hDbc);
      if (!st.ok()) return kLabelDbFailed;
      int32_t iid = 0;
      char title[257];
      char key[64];
      st.BindInt(1, &iid);
      st.BindText(2, title, sizeof title);
      st.BindText(3, key, sizeof key);
      if (!DbOk(st.ExecDirect(slot.szSql))) return kLabelStmtFailed;
      for (SQLRETURN rc = st.Fetch(); DbOk(rc); rc = st.Fetch()) {
        LabelJob job;
        job.kind = carrier;
        job.id = iid;
        // A title of 256 bytes or more, or a key that does not fit, may have been cut: skipped.
        if (std::strlen(title) >= sizeof title - 1 || std::strlen(key) >= sizeof job.mailNumber) continue;
        if (!SplitLabelTitle(carrier, title, job)) continue;
        std::memcpy(job.mailNumber, key, std::strlen(key) + 1);
        found.push_back(job);
      }
    }
    for (const LabelJob& job : found) {
      if (IsLabelJobQueued(job.id)) continue;
      PushLabelJob(job);
      ++pushed;
    }
  }
  tm local{};
  localtime_r(&now, &local);
  if (keptDay != nullptr && local.tm_yday != *keptDay) {
    const std::string before = SqlTime(now - kKeepDays * 86400);
    if (!FormatSql(slot.szSql, sizeof slot.szSql, kPurgeSql, kKinds[0], kKinds[1], kKinds[2], before.c_str())) {
      return kLabelStmtFailed;
    }
    DbStatement st(slot.hDbc);
    if (!st.ok()) return kLabelDbFailed;
    const SQLRETURN rc = st.ExecDirect(slot.szSql);
    if (!DbOk(rc) && rc != SQL_NO_DATA) return kLabelStmtFailed;
    *keptDay = local.tm_yday;
  }
  return pushed;
}
