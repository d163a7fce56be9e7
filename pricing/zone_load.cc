// The zone definitions of file_share (grade 188), loaded into the zone table at start.

#include <cstdio>
#include <string>

#include "core/db.h"
#include "core/pool.h"
#include "core/reply.h"
#include "pricing/zone_table.h"

namespace {

constexpr char kZoneSql[] = "SELECT ilen,vdata FROM dorvane.dbo.file_share WHERE ctitle='Zip_Choice_%s_%u' AND ngrade=188";
constexpr const char* kTitles[] = {"Zone", "Price"};
constexpr int32_t kMinLength = 10;
// A definition is read into the slot's reply buffer; a longer one is left out whole rather than cut.
constexpr size_t kDefinitionMax = kReplyBytes - 1;

// Reads definition `u` of the title into the slot's reply buffer as a NUL-terminated text. Returns 1,
// 0 when the row is missing, shorter than kMinLength or a statement failed (the end of the list),
// -1 when it is too long (it is skipped and the list goes on).
int ReadDefinition(PoolSlot& slot, const char* title, unsigned u) {
  DbStatement st(slot.hDbc);
  if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kZoneSql, title, u)) {
    return 0;
  }
  int32_t ilen = 0;
  SQLLEN got = 0;
  st.BindInt(1, &ilen);
  st.BindBinary(2, slot.szReply, kDefinitionMax, &got);
  if (!DbOk(st.ExecDirect(slot.szSql)) || !DbOk(st.Fetch()) || ilen < kMinLength) {
    return 0;
  }
  if (got == SQL_NULL_DATA || got < 0) {
    return 0;
  }
  if (got > static_cast<SQLLEN>(kDefinitionMax)) {
    return -1;
  }
  // The stored length counts the text; bytes beyond it are not part of it.
  const size_t length = static_cast<size_t>(got) < static_cast<size_t>(ilen) ? static_cast<size_t>(got)
                                                                             : static_cast<size_t>(ilen);
  slot.szReply[length] = '\0';
  return 1;
}

}  // namespace

CZoneTable g_ZoneTable;

void LoadZipChoiceTables() {
  PoolSlotGuard guard;
  if (!guard.ok()) {
    return;
  }
  PoolSlot& slot = guard.slot();
  for (const char* title : kTitles) {
    for (unsigned u = 0;; ++u) {
      const int read = ReadDefinition(slot, title, u);
      if (read == 0) {
        break;
      }
      if (read == 1) {
        (void)g_ZoneTable.ParseDefinition(slot.szReply);
      } else {
        char line[128];
        std::snprintf(line, sizeof line, "Zip_Choice_%s_%u: longer than %zu bytes, not loaded", title, u,
                      kDefinitionMax);
        WriteLog(line, "TARNWICK");
      }
    }
  }
}
