#include "pda/internal/check_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tw::pda {

namespace {

// The first line's end is searched from here (from here + 4 when the text begins with "V").
constexpr size_t kFirstLineSkip = 2;
constexpr size_t kFirstLineSkipVersioned = 6;

double ReadReal(const std::string& text) {
  const char* s = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  return end == s ? 0 : v;
}

int32_t ReadInt(const std::string& text) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (end == s) return 0;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// A record id: decimal digits only, within the int range, nothing else.
bool ReadRecordId(const std::string& text, int32_t* id) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > INT32_MAX) return false;
  *id = static_cast<int32_t>(v);
  return true;
}

}  // namespace

bool ParseCheckText(std::string_view text, CheckText* out) {
  *out = CheckText();
  const size_t skip = !text.empty() && text[0] == 'V' ? kFirstLineSkipVersioned : kFirstLineSkip;
  if (text.size() < skip) return false;
  size_t pos = text.find('\n', skip);
  if (pos == std::string_view::npos) return false;
  ++pos;
  for (int n = 2; n < kCheckLineCount; ++n) {
    const size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) return false;
    out->lines[n].assign(text.substr(pos, end - pos));
    pos = end + 1;
  }
  std::string memo(text.substr(pos));
  if (!memo.empty() && memo.back() == '\n') memo.pop_back();
  while (!memo.empty() && static_cast<unsigned char>(memo.back()) <= ' ' && memo.back() != '\0') memo.pop_back();
  out->lines[kCheckLineCount] = memo;

  if (!ReadRecordId(out->lines[13], &out->recordId)) return false;
  out->weight = ReadReal(out->lines[6]);
  out->amount = ReadReal(out->lines[7]);
  out->cost = ReadReal(out->lines[8]);
  out->pieces = ReadInt(out->lines[10]);
  out->itemType = ReadInt(out->lines[11]);
  out->code = ReadInt(out->lines[14]);
  out->sortingSupplier = ReadInt(out->lines[18]);
  return true;
}

}  // namespace tw::pda
