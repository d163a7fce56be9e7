// The pieces of the client's identity requests: texts made safe for the database, accounts made from
// unit names, picture values decoded in place, and the refusals of the ID-card picture work.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/config.h"
#include "image/raster_image.h"
#include "services/internal/client_id_text.h"
#include "services/internal/id_card_image.h"

namespace {

using tw::clientid::MakeAccount;
using tw::clientid::MakeGbkSafe;

TEST(ClientIdText, MakeGbkSafeReplacesOnlyBrokenCharacters) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"abc 'x'", "abc 'x'"},
      {"中文", "中文"},                       // D6 D0 CE C4: whole characters stay
      {"\x81'; DROP", "?'; DROP"},            // a lead byte would swallow the quote
      {"ab\x81", "ab?"},                      // a lead byte at the end
      {"\xFF" "A", "?A"},                     // 0xFF leads nothing
      {"\x81\x7F", "?\x7F"},                  // 0x7F is no trail byte
      {"\x81\x40\x81", "\x81\x40?"},          // the first pair is a character
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    MakeGbkSafe(text.data());
    EXPECT_EQ(text, c.out) << c.in;
  }
}

TEST(ClientIdText, AccountsFromUnitNames) {
  struct Case {
    const char* name;
    const char* account;
  } cases[] = {
      {"深圳测试公司", "SZCSGS"},              // pinyin initials
      {"ABC深圳", "SZ"},                       // the Chinese decides when there is any
      {"ab co", "ABCO"},                        // letters upper-cased, blanks dropped
      {"O'Brien & Sons 2", "OBRIENSONS2"},
      {"abcdefghijklmnopqrstuvwxyz0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"},  // 30 at most
      {"!! --", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[tw::clientid::kAccountBytes];
    MakeAccount(c.name, out);
    EXPECT_STREQ(out, c.account) << c.name;
  }
  // 40 Chinese characters give 30 initials.
  std::string longName;
  for (int i = 0; i < 20; ++i) longName += "公司";
  char out[tw::clientid::kAccountBytes];
  MakeAccount(longName.c_str(), out);
  EXPECT_EQ(std::strlen(out), 30u);
  EXPECT_EQ(std::string(out).substr(0, 4), "GSGS");
}

TEST(IdCardPicture, PictureValuesDecodeInPlace) {
  // Bytes FB EF FF are "++//" in base64: blanks stand for "+", "\/" for "/"; the value ends at the
  // closing quote of the request text.
  struct Case {
    std::string text;  // with the closing quote and what follows
    long count;
    std::string bytes;
  } cases[] = {
      {"++//\",\"x\":1}", 3, "\xFB\xEF\xFF"},
      {"  \\/\\/\"}", 3, "\xFB\xEF\xFF"},
      {"QUJD\"QUJD", 3, "ABC"},
      {"QU\r\nJD\"", 3, "ABC"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    char* end = text.data() + text.find('"');
    const long count = tw::idcard::DecodePictureField(text.data(), end);
    ASSERT_EQ(count, c.count) << c.text;
    EXPECT_EQ(std::string(text.data(), static_cast<size_t>(count)), c.bytes) << c.text;
  }
  for (const char* bad : {"AB*D\"", "ABCDE\"", "A\\nCD\""}) {
    std::string text = bad;
    EXPECT_LT(tw::idcard::DecodePictureField(text.data(), text.data() + text.find('"')), 0) << bad;
  }
}

std::string Jpeg(uint32_t width, uint32_t height) {
  CRasterImage img(width, height, 24, kRasterFormatJpg);
  img.Clear(128);
  uint8_t* out = nullptr;
  int64_t size = 0;
  EXPECT_TRUE(img.Encode(out, size, kRasterFormatJpg));
  std::string bytes(reinterpret_cast<char*>(out), static_cast<size_t>(size));
  std::free(out);
  return bytes;
}

TEST(IdCardPicture, RefusalsOfThePictureWork) {
  const std::string good = Jpeg(640, 480);
  const std::string noise(2000, 'x');
  const auto* g = reinterpret_cast<const uint8_t*>(good.data());
  const auto* n = reinterpret_cast<const uint8_t*>(noise.data());
  const WatermarkSettingsRecord mark;
  struct Case {
    const uint8_t* a;
    size_t na;
    const uint8_t* b;
    size_t nb;
    size_t maxBytes;
    int code;
  } cases[] = {
      {n, noise.size(), g, good.size(), 2097152, tw::idcard::kRcBadPicture1},
      {g, good.size(), n, noise.size(), 2097152, tw::idcard::kRcBadPicture2},
      {n, noise.size(), n, noise.size(), 2097152, tw::idcard::kRcBadPicture1},  // the first side first
      {g, 300, g, good.size(), 2097152, tw::idcard::kRcBadPicture1},             // cut short
      {g, good.size(), g, good.size(), 100, tw::idcard::kRcNoJpeg},              // does not fit the buffer
      {g, good.size(), g, good.size(), 2097152, 0},
  };
  for (const Case& c : cases) {
    tw::idcard::JpegBytes jpeg;
    size_t length = 0;
    int drawn = 0;
    EXPECT_EQ(tw::idcard::MakeCardJpeg(c.a, c.na, c.b, c.nb, mark, c.maxBytes, &jpeg, &length, &drawn), c.code)
        << c.na << " " << c.nb << " " << c.maxBytes;
    EXPECT_EQ(jpeg != nullptr, c.code == 0);
    if (c.code == 0) {
      CRasterImage card;
      ASSERT_TRUE(card.Decode(jpeg.get(), static_cast<uint32_t>(length), kRasterFormatUnknown));
      EXPECT_EQ(card.GetWidth(), 610u);
      EXPECT_EQ(card.GetHeight(), 195u);
      EXPECT_EQ(drawn, 2);
    }
  }
}

}  // namespace
