#pragma once
// The test client's settings record: the 144 bytes of "TestQuillon.ini" in the program folder.
//
// Layout, little-endian, read and written field by field:
//   0   host       64 bytes, NUL-terminated GBK text (byte 63 always ends it)
//   64  port       int32
//   68  API type   int32
//   72  client id  int32
//   76  page code  int32
//   80  key        64 bytes, NUL-terminated GBK text (byte 63 always ends it)
// A file of any other size is not a settings record. Saved texts are zero-filled after their end.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "testclient/form.h"

namespace tw {

inline constexpr size_t kSettingsRecordSize = 144;
inline constexpr size_t kSettingsTextSize = 64;
inline constexpr char kSettingsFileName[] = "TestQuillon.ini";

using SettingsRecord = std::array<unsigned char, kSettingsRecordSize>;

// EncodeSettings: the record of the form's host, port, API type, client id, page code and key
// (texts cut to 63 bytes).
[[nodiscard]] SettingsRecord EncodeSettings(const TestForm& form);
// DecodeSettings: puts the record's six values into form. An API type outside 0..2 reads as 2 and a
// page code outside 0..1 as 0 (a hand-made file cannot select a path that does not exist).
void DecodeSettings(const SettingsRecord& record, TestForm& form);

// LoadSettingsFile: reads `path` into form when the file is exactly 144 bytes long; false (form
// unchanged) when it cannot be read or has another size.
bool LoadSettingsFile(const std::string& path, TestForm& form);
// SaveSettingsFile: writes the record of form to `path`; false when it cannot be written.
[[nodiscard]] bool SaveSettingsFile(const std::string& path, const TestForm& form);

// ProgramFolder: the folder of the running executable with a trailing "/" (its case kept); "./"
// when it cannot be found.
[[nodiscard]] std::string ProgramFolder();

// GbkPathToFileSystem: a path typed in a GBK field as the UTF-8 name the file system uses.
[[nodiscard]] std::string GbkPathToFileSystem(std::string_view gbkPath);

}  // namespace tw
