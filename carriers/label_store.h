#pragma once
// The label store: carrier label PDFs kept as rows of dorvane.dbo.file_share with ngrade 119.
//
// A carrier order that is accepted leaves a placeholder row (ilen 0) through cp_file_share_set; the
// label worker (or a label request) fetches the PDF later and stores it in that row. The sweep
// re-queues recent placeholders and purges old rows. Kinds and titles:
//   China Post EUB  "EUB_Label"    ctitle "key:time"            cfilename "<mail number>.pdf"
//   Australia Post  "AUPOSTX_Lbl"  ctitle "key@book id:time"    cfilename "<book id>.pdf"
//   SF Express      "SFEX_Label"   ctitle "account@order id:time" cfilename "<mail number>.pdf"
// (time: the decimal time() at creation).
//
// Thread-safety: every function works on the pool slot its caller holds.

#include <cstddef>
#include <cstdint>
#include <ctime>

struct PoolSlot;
struct LabelJob;

inline constexpr int32_t kLabelGrade = 119;
inline constexpr int kLabelDbFailed = -9;     // a statement failed on the connection
inline constexpr int kLabelStmtFailed = -10;  // a sweep statement could not be run
// SaveLabelRow's result when the row existed and was updated. It is a success.
inline constexpr int kLabelRowUpdated = -1;

// The label kind text of a carrier code (0, 1, 2), or null.
[[nodiscard]] const char* LabelKindText(int32_t carrier);

// IsPdfLabel: true when the reply is a label: status 200 and "%PDF-" within the body's first 1024
// bytes.
[[nodiscard]] bool IsPdfLabel(int32_t status, const char* body, size_t length);

// CreateLabelPlaceholder: a new placeholder row of the carrier with the order id text, the account
// text, the reference (Australia Post and SF Express; the title is then "account@reference:time"),
// the creation time and the mail number. Returns the row id (> 0), or 0 or less on failure.
[[nodiscard]] int CreateLabelPlaceholder(PoolSlot& slot, int32_t carrier, const char* order, const char* account,
                                         const char* reference, const char* mailNumber, time_t created);

// SaveLabelRow: stores the PDF in row `id` (creating the row first when id is below 1) with the file
// name "<name>.pdf". Returns kLabelDbFailed on a database failure; otherwise the new row's id when it
// had to create the row, else kLabelRowUpdated (-1), which is a success.
[[nodiscard]] int SaveLabelRow(PoolSlot& slot, int32_t carrier, int32_t id, const char* mailNumber, const char* data,
                               int32_t length, const char* account, const char* reference, const char* fileName);

// RequeueAndPurgeLabels: pushes a job for every placeholder of the configured carriers created after
// now - 4 days (skipping rows already queued and rows whose title does not split into the job's
// fields); when the day of the year of `now` differs from *keptDay, deletes label rows older than
// now - 26 days and sets *keptDay. Returns the number of jobs pushed, or kLabelDbFailed /
// kLabelStmtFailed. `configured[c]` says whether carrier c (0, 1, 2) is configured.
[[nodiscard]] int RequeueAndPurgeLabels(PoolSlot& slot, time_t now, int* keptDay, const bool configured[3]);

// SplitLabelTitle: the job's account text and reference of a ctitle: cut at the last ':' (the whole
// title when it has none); for Australia Post and SF Express split at the first '@'. False when the
// title does not split (no '@' for those two) or a part does not fit the job's fields.
[[nodiscard]] bool SplitLabelTitle(int32_t carrier, const char* title, LabelJob& job);
