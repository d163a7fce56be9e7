#pragma once
// Pinyin: GBK Chinese text as Hanyu Pinyin (whole syllables or initial letters) for carriers abroad
// and for grouping lists by a name's first letter. The tables are read-only; all functions are
// reentrant. Writers stay inside the size they are given (a syllable that does not fit whole ends
// the output) and NUL-terminate.
#include <cstddef>
#include <cstdint>

namespace tw {

inline constexpr size_t kPinyinInitialCount = 24;
inline constexpr size_t kPinyinFinalCount = 77;
// Syllable codes: high byte the initial's index (kPinyinNoInitial or more: none), low byte the
// final's index (more than 76: the character has no reading).
inline constexpr unsigned kPinyinNoInitial = 24;

extern const char* const PinyinInitials[kPinyinInitialCount];
extern const char* const PinyinFinals[kPinyinFinalCount];

// GbkToPinyin: the text with every Chinese character replaced by its syllable (ASCII and characters
// without a reading copied). bSpaceAfterSyllable appends a blank after each syllable; without it a
// syllable without an initial that follows ASCII other than a blank gets "'" first ("xi'an").
// bUpper upper-cases the syllables; bSurname reads the first character from the surname table.
// out holds outSize bytes. Returns out.
char* GbkToPinyin(const char* text, char* out, size_t outSize, bool bSpaceAfterSyllable, bool bUpper,
                  bool bSurname);
// GbkToPinyinInitials: one upper-case letter per character with a reading (ASCII and characters
// without one are skipped). Returns out.
char* GbkToPinyinInitials(const char* text, char* out, size_t outSize, bool bSurname);
// GetNameInitial: "A"-"Z" from the first 6 bytes of name1 (its first letter, or the first initial
// of its Chinese), else the same from name2 (may be null), else "$".
[[nodiscard]] char GetNameInitial(const char* name1, const char* name2);
// FindPinyinIndex: the index of the two-byte GBK code (lead byte high) in the character table, -1
// when absent.
[[nodiscard]] int FindPinyinIndex(uint16_t gbkCode);
// PinyinSyllableAt: the syllable code at an index returned by FindPinyinIndex.
[[nodiscard]] uint16_t PinyinSyllableAt(int index);
// FindSurnameReading: the surname reading of the two-byte GBK character (lead byte high), or null.
[[nodiscard]] const char* FindSurnameReading(uint16_t gbkCode);

}  // namespace tw
