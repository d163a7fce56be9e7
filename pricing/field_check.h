#pragma once
// CFieldCheckList: the allowed ranges of shipment fields (weights, values, text lengths) that the
// business sets in tarnwick.ini, in the block that starts with the line
// "<快递业务字段检查定义开始>" and ends at the next occurrence of that same line:
//   <快递业务字段检查定义开始>
//   fWeight=0.001-30
//   cRAddr=1-60
//   <快递业务字段检查定义开始>
// Each line "name=min-max" gives a rule; the bounds are read once as floating point (CheckReal) and
// once as integers (CheckInt, CheckLength). A minimum cannot be negative: the first "-" separates
// the bounds. The shipment entries ask the list about each field and put its message into the
// record's error text.
//
// Thread-safety: g_FieldCheckList is filled once by the configuration loader on the start-up thread
// before requests are served and read-only afterwards.

#include <cstddef>
#include <cstdint>
#include <vector>

// One rule (40 bytes, a plain record).
struct FieldCheck {
  char name[16] = "";  // 4 to 15 characters
  double realMin = 0;
  double realMax = 0;
  int32_t intMin = 0;
  int32_t intMax = 0;
};

inline constexpr char kFieldCheckBlockLine[] = "<快递业务字段检查定义开始>";
// A block of this many bytes or more is not read.
inline constexpr size_t kFieldCheckBlockMax = 2048;
// The room a message needs (a 15-byte name and two bounds fit easily).
inline constexpr size_t kFieldCheckMessageBytes = 128;

class CFieldCheckList {
 public:
  CFieldCheckList() = default;
  CFieldCheckList(const CFieldCheckList&) = delete;
  CFieldCheckList& operator=(const CFieldCheckList&) = delete;
  virtual ~CFieldCheckList();

  // Load: the rules become those of the block in `text` (null or a text without the block gives
  // none): lines holding "=", whose cleaned name before it has 4 to 15 bytes and whose value after
  // it holds "-"; other lines are skipped. No block, no closing line or a block of
  // kFieldCheckBlockMax bytes or more give no rules. Returns 1 when at least one rule was read, else 0.
  int Load(const char* text);

  // Each check looks at every rule of that name (exact, case-sensitive) in file order; the first that
  // rejects the value writes its message into `message` (messageSize bytes, cut when smaller) and
  // returns 1. 0 when no rule rejects it (message untouched).
  // CheckInt: value outside the integer bounds: "[%s] allowed values %d - %d".
  int CheckInt(const char* name, int32_t value, char* message, size_t messageSize) const;
  // CheckReal: value outside the real bounds, or not a number: "[%s] allowed values %.3f - %.3f".
  int CheckReal(const char* name, double value, char* message, size_t messageSize) const;
  // CheckLength: the text's byte length outside the integer bounds (null counts as empty):
  // "[%s] allowed length %d - %d bytes".
  int CheckLength(const char* name, const char* text, char* message, size_t messageSize) const;

  [[nodiscard]] size_t size() const { return rules_.size(); }
  [[nodiscard]] const std::vector<FieldCheck>& rules() const { return rules_; }

 private:
  std::vector<FieldCheck> rules_;
};

extern CFieldCheckList g_FieldCheckList;
