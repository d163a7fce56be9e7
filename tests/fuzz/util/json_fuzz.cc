// The JSON readers and writers under arbitrary request text: nothing may read or write outside its
// buffers, a read value never exceeds its max, and the request text is never changed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "util/json.h"

namespace {

constexpr const char* kKeys[] = {"cNum", "iID", "c", "GoodsList", "TransNums", "MD5", "i", ""};

void Check(bool ok) {
  if (!ok) {
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) {
    return 0;
  }
  const size_t max = data[0] % 70;
  const int mode = data[1] & 1;
  const std::string original(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string_view text(original);
  const std::string copy = original;

  std::vector<char> out(max + 1);
  for (const char* key : kKeys) {
    tw::JsonGetString(key, text, out.data(), max, mode);
    Check(strlen(out.data()) <= max);
    (void)tw::JsonGetInt(key, text, -1);
    (void)tw::JsonGetDouble(key, text, -1);
    (void)tw::JsonGetInt64(key, text);
    (void)tw::JsonGetBool(key, text, 2);
    const char* found = tw::JsonFindKey(key, text);
    Check(found == nullptr || (found >= text.data() && found < text.data() + text.size()));
    const char* end = nullptr;
    const char* raw = tw::JsonGetRaw(key, text, &end);
    Check(raw == nullptr || (raw <= end && end <= text.data() + text.size()));
    std::vector<std::string> items;
    tw::JsonGetStringArray(key, text, items, 0, 64);
  }
  // The C-string form of the same text (up to its first NUL).
  tw::JsonGetString("c", copy.c_str(), out.data(), max, mode);

  std::string_view rest = text;
  std::string_view item;
  for (int n = 0; n < 64 && tw::JsonNextObject(rest, item); ++n) {
    tw::JsonGetString("cNum", item, out.data(), max, mode);
    Check(strlen(out.data()) <= max);
  }

  // The text as a GBK value for the writers, into a small fixed buffer and a growable one.
  std::string value(original.c_str());
  char small[64];
  tw::OutBuf fixed(small, 1 + data[0] % sizeof small);
  tw::JsonPutString(fixed, "k", value.c_str(), true, 936, mode == 1);
  Check(fixed.size() < 1 + data[0] % sizeof small);
  tw::JsonEscapeWide(value.c_str(), fixed, 936, false);
  char slot[32];
  tw::OutBuf grow = tw::OutBuf::Growable(slot, sizeof slot, 1 << 20);
  tw::JsonPutString(grow, "k", value.c_str(), false, 65001, false);
  tw::JsonEscapeWide(value.c_str(), grow, 936, true);
  tw::JsonPutDouble(grow, "d", tw::JsonGetDouble("d", text, 0), data[1] % 9, false);

  Check(original == copy);
  return 0;
}
