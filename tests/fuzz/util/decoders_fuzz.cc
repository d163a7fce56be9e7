// The decoders and text helpers that read outside input (request bodies, form fields, carrier
// replies) under arbitrary bytes: base64, URL, HTML entities, HTML cleaning, code pages, dates,
// pinyin and the SQL helpers.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "util/codepage.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/pinyin.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::string text(bytes, strnlen(bytes, size));  // as a C string

  // Base64 on the raw bytes and on the C string, into exact and short buffers.
  std::vector<char> out(size + 2);
  size_t count = 0;
  (void)tw::Base64Decode(bytes, size, out.data(), out.size(), &count);
  (void)tw::Base64Decode(bytes, size, out.data(), 1 + size / 4, &count);
  std::string work = text;
  (void)tw::Base64DecodeInPlace(work.data());
  work = text;
  tw::DecodeBase64Field(work.data());
  std::vector<char> utf8(64);
  tw::DecodeField(text.c_str(), utf8.data(), utf8.size());
  size_t needed = 0;
  std::vector<char> encoded(size * 2 + 8);
  (void)tw::Base64Encode(data, size, encoded.data(), encoded.size(), &needed, 19);

  // URL forms.
  work = text;
  tw::UrlDecode(work.data());
  char field[32];
  tw::GetFormField("name", text.c_str(), field, sizeof field - 1);
  std::vector<char> url(3 * text.size() + 1);
  tw::UrlEncode(text.c_str(), url.data(), url.size());

  // HTML and code pages.
  work = text;
  tw::CleanHtml(work.data(), true);
  work = text;
  tw::CleanHtml(work.data(), false);
  std::vector<char16_t> units(size / 2 + 1);
  if (size >= 2) {
    memcpy(units.data(), data, (size / 2) * sizeof(char16_t));
  }
  units[size / 2] = 0;
  for (char16_t& u : units) {
    if (u == 0) {
      u = u'&';
    }
  }
  units.back() = 0;
  std::vector<char16_t> copy = units;
  tw::DecodeHtmlEntitiesWide(copy.data());
  char gbk[48];
  tw::WideToGbkWithEntities(units.data(), gbk, sizeof gbk, true);
  tw::WideToUtf8(units.data(), gbk, sizeof gbk);
  std::vector<char16_t> wide(text.size() + 1);
  tw::MultiByteToWideDecoded(text.c_str(), wide.data(), wide.size(), 936);
  tw::MultiByteToWideDecoded(text.c_str(), wide.data(), wide.size(), 65001);
  tw::MultiByteToGbkTable(65001, text.c_str(), gbk, sizeof gbk, true);
  tw::GbkToUtf8(text.c_str(), gbk, sizeof gbk);
  work = text;
  int flag = 0;
  tw::Utf8ToGbk(work.data(), true, &flag);

  // Text helpers, SQL, dates and pinyin.
  (void)tw::SqlEscape(text.c_str());
  (void)tw::MakeLikePattern(text.c_str(), size % 4);
  work = text;
  work.resize(text.size() * 2 + 1);
  (void)tw::ReplaceAll(work.data(), work.size(), "'", "''");
  work = text;
  tw::FullWidthToAscii(work.data());
  tw::TrimBlanksGbk(work.data());
  tw::TruncateText(work.data(), size % 17);
  tw::AddressLines lines;
  tw::SplitAddressLines(text.c_str(), lines, size % 70, 4);
  char xml[24];
  (void)tw::GetXmlElementText("a", text.c_str(), xml, sizeof xml, 0, 10, true);
  (void)tw::NormalizeQueryDate(text.c_str(), true);
  (void)tw::NormalizeDateTime(text.c_str());
  (void)tw::NormalizeDateOrToday(text.c_str(), false);
  (void)tw::DayIndex(text.c_str());
  char pinyin[40];
  tw::GbkToPinyin(text.c_str(), pinyin, sizeof pinyin, true, true, true);
  tw::GbkToPinyinInitials(text.c_str(), pinyin, sizeof pinyin, true);
  (void)tw::GetNameInitial(text.c_str(), nullptr);
  return 0;
}
