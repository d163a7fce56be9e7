#pragma once
// Shipment numbers: transfer numbers, internal numbers and goods-in batch numbers, drawn from
// sequences of the database and dressed with a prefix, leading zeros, a check character and a suffix.
//
// Which sequence a request uses is decided by two rule lists read from tarnwick.ini at start-up
// (transfer-number rules by express kind, internal-number rules by rule name, with a configured
// default). The lists do not change after start-up and are read without locks; all drawing is
// serialised by g_NumberLock, each on the pool slot its caller already holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/event.h"

struct PoolSlot;

// One numbering rule: "name=ruleId=kind,extra" of a rule block.
struct NumberRule {
  int32_t ruleId = 0;
  char name[16] = "";
  char kind[16] = "";   // "DPD": numbers in the DPD form, with `extra` as prefix
  char extra[16] = "";
};

extern std::vector<NumberRule> g_TransferNumberRules;
extern std::vector<NumberRule> g_InternalNumberRules;
// The lock of number generation (auto-reset, created closed; opened at the end of start-up by
// OpenNumberLock). Only GenerateNumber takes it.
extern CEvent g_NumberLock;
// Opens the number lock and lets a drawing already waiting take it.
void OpenNumberLock();

// The block markers of the two rule lists.
inline constexpr char kTransferRulesStart[] = "<转单号生成定义开始>";
inline constexpr char kTransferRulesEnd[] = "<转单号生成定义结束>";
inline constexpr char kInternalRulesStart[] = "<内单号生成定义开始>";
inline constexpr char kInternalRulesEnd[] = "<内单号生成定义结束>";

// The number text of a caller holds 32 bytes (31 characters).
inline constexpr size_t kNumberTextBytes = 32;
// How long a drawing waits for the number lock.
inline constexpr uint32_t kNumberLockWaitMs = 10000;

// ParseNumberRules: the rules of the block from `startMarker` to `endMarker` in text, in file order.
// A block without its end marker gives no rules. Lines: leading blanks, tabs, CR and LF skipped,
// "name=ruleId=kind,extra"; a name of 1 to 15 bytes; kind and extra kept when at most 15 bytes; a
// line without '=' skipped; the last line counts only when a line feed ends it.
std::vector<NumberRule> ParseNumberRules(const char* text, const char* startMarker, const char* endMarker);

// FormatDrawnNumber: the number text of a value drawn from a sequence with its prefix, suffix, width
// and check type, into out (kNumberTextBytes). Width over 5: the prefix's leading characters in
// '0'..'Z', '-' for check type 3, the value zero-padded to the width, the check character (type 3:
// value mod 7; type 2: CheckDigitS10; other positive types: the weighted digit), the suffix's leading
// characters in '0'..'Z'. Width 5 or less: the value alone. Returns false when the text would not fit.
[[nodiscard]] bool FormatDrawnNumber(int64_t value, const char* prefix, const char* suffix, int32_t width,
                                     int32_t checkType, char out[kNumberTextBytes]);

// FormatDpdNumber: the DPD form of a drawn value: the prefix, the value with at least six digits,
// then the ISO/IEC 7064 MOD 37,36 check character of all that. With the usual 8-character prefix and
// a 6-digit value the text has 14 characters and the check character. Returns false (out empty) when
// it would not fit 31 characters.
[[nodiscard]] bool FormatDpdNumber(int64_t value, char out[kNumberTextBytes], const char* prefix);

// The ISO/IEC 7064 MOD 37,36 check character ('0'..'9', 'A'..'Z') of a text of digits and upper-case
// letters (other bytes count as 0).
char CheckCharMod3736(const char* text);

// CheckDigitS10: the UPU S10 check digit (0..9) of n written as eight digits.
[[nodiscard]] int CheckDigitS10(uint32_t n);
// CheckDigitWeighted: the weighted check digit (0..9) of n written as eight digits (weights 15, 13,
// ..., 1; each product adds its digit sum).
[[nodiscard]] int CheckDigitWeighted(uint32_t n);
// IsValidTwelveDigitNumber: 1 when text is 12 digits whose 12th is CheckDigitWeighted of the 4th to
// 11th, else 0.
[[nodiscard]] int IsValidTwelveDigitNumber(const char* text);

// GenerateNumber: draws a number for the rule text ("8831*": sequence 8831 through cp_x_genno_exx;
// any other text through cp_get_sys_num) into text (32 bytes) and *value (-1 for the text path).
// Returns 1, or 0 on a lock time-out (10 s), a failed statement, or a refusal.
// The drawing runs under the number lock on the connection of `slot`, the pool slot the caller holds,
// or on the slot of the thread holding the lock when it draws this sequence number together with its
// own (one statement; each number what its own call of cp_x_genno_exx would give). The caller takes
// its slot before the number lock, so no drawing holds the lock while it waits for a slot and no
// request holds two.
// REQUIRES: no transaction is open on the slot's connection (a drawn number stays used whatever the
// caller does next); a holder inside one draws only its own number.
int GenerateNumber(PoolSlot& slot, int32_t clientId, const char* ruleText, char text[kNumberTextBytes],
                   int64_t* value);
// GenerateTransferNumber: by the first transfer-number rule named `kind`. *ruleId -1 when none.
int GenerateTransferNumber(PoolSlot& slot, int32_t clientId, const char* kind, char text[kNumberTextBytes],
                           int32_t* ruleId);
// GenerateInternalNumber: by the internal-number rule named ruleName, else the default rule.
int GenerateInternalNumber(PoolSlot& slot, int32_t clientId, const char* ruleName, char text[kNumberTextBytes],
                           int32_t* ruleId);
// FindTransferNumberRuleId: the rule id of the first transfer-number rule of the kind, -1 when none.
int FindTransferNumberRuleId(const char* kind);
