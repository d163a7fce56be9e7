#pragma once
// The text of the send check: LF-ended lines describing the scanned shipment, read as data within
// its real length (never pasted into SQL). Line 1 is skipped; lines 2 to 23 must each end with a
// line feed; line 24, the memo, runs to the end (a trailing line feed cut, trailing blanks trimmed).
//
// Reentrant: the parsed lines are copies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::pda {

inline constexpr int kCheckLineCount = 24;

struct CheckText {
  std::string lines[kCheckLineCount + 1];  // 1-based: lines[2] .. lines[24]; lines[0], lines[1] unused
  int32_t recordId = 0;                    // line 13
  double weight = 0;                       // line 6 (kg)
  double amount = 0;                       // line 7
  double cost = 0;                         // line 8
  int32_t pieces = 0;                      // line 10
  int32_t itemType = 0;                    // line 11
  int32_t code = 0;                        // line 14
  int32_t sortingSupplier = 0;             // line 18
  const std::string& line(int n) const { return lines[n]; }
};

// ParseCheckText: splits the text and reads its numbers. False when the text is too short for
// its first line, lacks one of the line feeds of lines 1 to 23, or its record id (line 13) is not
// a decimal number of the int range (digits only).
[[nodiscard]] bool ParseCheckText(std::string_view text, CheckText* out);

}  // namespace tw::pda
