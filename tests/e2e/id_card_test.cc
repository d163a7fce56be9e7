// "DoIDCardPicSet" over HTTP against the test database: the two sides of a card, made here as real
// JPEG photos of different sizes, come back from x_sri as one 610 x 195 JPEG with both sides in their
// order and the watermark on each; every refusal in its order; a second upload replacing the picture
// of the same record; another client's record refused.
//
// Most requests go through the WeChat door (trusted loopback address, no signature); DoApp once.
// The rows of this test use clients 950001-950002 and x_sri ids from 950100.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/raster_image.h"
#include "tests/support/e2e.h"
#include "tests/support/http_client.h"
#include "util/escape.h"

namespace {

using twtest::HttpClient;
using twtest::TestDb;
using twtest::TestHost;

constexpr int kClient = 950001;
constexpr int kOtherClient = 950002;
constexpr char kClientKey[] = "IdKey950001";
constexpr int kForeignRecord = 950100;  // a record of the other client, with a picture
constexpr int kOwnRecord = 950101;      // a record of the client, without picture

// Colours of the test photos (red, green, blue). The watermark, RGB(255, 99, 99) at half opacity,
// stands out on every one of them.
struct Rgb {
  int r, g, b;
};
constexpr Rgb kGreen{0, 150, 0};
constexpr Rgb kBlue{20, 40, 200};
constexpr Rgb kYellow{230, 220, 40};
constexpr Rgb kMagenta{200, 0, 200};
constexpr Rgb kGray{110, 110, 110};

std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// A JPEG photo of width x height in one colour, the top `bandRows` rows (as seen) in another, with a
// little noise so it is no flat synthetic block.
std::string Photo(uint32_t width, uint32_t height, Rgb colour, uint32_t bandRows = 0, Rgb band = kMagenta) {
  CRasterImage img(width, height, 24, kRasterFormatJpg);
  uint32_t seed = width * 31 + height;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = img.GetBits(y);
    const bool inBand = height - 1 - y < bandRows;  // row 0 is the bottom one
    const Rgb c = inBand ? band : colour;
    for (uint32_t x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int n = static_cast<int>((seed >> 16) % 7) - 3;
      auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      row[x * 3] = clamp(c.b + n);
      row[x * 3 + 1] = clamp(c.g + n);
      row[x * 3 + 2] = clamp(c.r + n);
    }
  }
  img.SetJpegQuality(92);
  uint8_t* out = nullptr;
  int64_t size = 0;
  EXPECT_TRUE(img.Encode(out, size, kRasterFormatJpg));
  std::string bytes(reinterpret_cast<char*>(out), static_cast<size_t>(size));
  std::free(out);
  return bytes;
}

std::string Base64(const std::string& bytes) {
  std::string out(bytes.size() * 4 / 3 + 8, '\0');
  size_t needed = 0;
  EXPECT_EQ(tw::Base64Encode(bytes.data(), bytes.size(), out.data(), out.size(), &needed, 0), 0);
  out.resize(needed);
  return out;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

bool Near(RasterQuad q, Rgb c, int tolerance = 30) {
  return std::abs(q.rgbRed - c.r) <= tolerance && std::abs(q.rgbGreen - c.g) <= tolerance &&
         std::abs(q.rgbBlue - c.b) <= tolerance;
}

// Pixels (x0..x1, top-down rows y0..y1) of the picture far from colour c.
int CountOff(const CRasterImage& img, int x0, int x1, int y0, int y1, Rgb c) {
  int n = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      if (!Near(img.GetPixelColor(x, static_cast<int>(img.GetHeight()) - 1 - y, false), c, 45)) ++n;
    }
  }
  return n;
}

class IdCardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    ASSERT_TRUE(db.ok());
    RemoveRows(db);
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.client_arc (icid, capikey) VALUES (950001, 'IdKey950001'), "
                        "(950002, 'IdKey950002')"))
        << db.error();
  }
  static void TearDownTestSuite() {
    if (!twtest::DatabaseConfigured()) return;
    TestDb db;
    RemoveRows(db);
  }
  static void RemoveRows(TestDb& db) {
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.x_sri WHERE icid IN (950001, 950002) OR iid BETWEEN 950100 AND 950199"));
    EXPECT_TRUE(db.Exec("DELETE FROM dbo.client_arc WHERE icid IN (950001, 950002)"));
  }
  void SetUp() override {
    if (!twtest::DatabaseConfigured()) GTEST_SKIP() << "no test database (run ./test.sh)";
    TestDb db;
    ASSERT_TRUE(db.Exec("DELETE FROM dbo.x_sri WHERE icid IN (950001, 950002) OR iid BETWEEN 950100 AND 950199"));
    ASSERT_TRUE(db.Exec("INSERT INTO dbo.x_sri (iid, icid, crname, cidcard, pdata1, ilen1, cfile1) VALUES "
                        "(950100, 950002, 'other', 'X1234567', '\\x0102'::bytea, 2, '950100.jpg'), "
                        "(950101, 950001, 'own', 'Y1234567', NULL, 0, '')"));
    ASSERT_TRUE(host_.Start()) << host_.error();
  }
  void TearDown() override {
    if (host_.pid() > 0) {
      EXPECT_EQ(host_.Stop(), 0);
    }
  }

  // A request of the WeChat door: {"RequestName":"DoIDCardPicSet",<more>}.
  std::string Send(const std::string& more) {
    HttpClient http(host_.port());
    return http.Post("/cgi-bin/Tarnwick.dll?WeChat", "{\"RequestName\":\"DoIDCardPicSet\"" + more + "}").body;
  }

  static std::string Keys(int icid, const std::string& name, const std::string& card, const std::string& more = "") {
    return ",\"icID\":" + std::to_string(icid) + ",\"cRName\":\"" + twtest::GbkToUtf8Text(name) +
           "\",\"cIDCard\":\"" + card + "\"" + more;
  }
  static std::string Pics(const std::string& a, const std::string& b) {
    return ",\"vPic1\":\"" + a + "\",\"vPic2\":\"" + b + "\"";
  }

  // The stored picture of record iid, decoded.
  static bool StoredPicture(int iid, CRasterImage* img, std::string* length = nullptr) {
    TestDb db;
    auto rows = db.Query("SELECT encode(pdata1, 'hex'), ilen1, length(pdata1) FROM dbo.x_sri WHERE iid = " +
                         std::to_string(iid));
    if (rows.empty()) return false;
    const std::vector<uint8_t> bytes = FromHex(rows[0][0]);
    EXPECT_EQ(rows[0][1], rows[0][2]);
    if (length != nullptr) *length = rows[0][1];
    return img->Decode(bytes.data(), static_cast<uint32_t>(bytes.size()), kRasterFormatUnknown);
  }

  TestHost host_;
};

TEST_F(IdCardTest, JoinsBothSidesInOrderWithTheWatermarkOnEach) {
  // One side wider than the card (thumbnailed on white), one narrower (stretched). Through the
  // signed door, as client applications send it.
  const std::string wide = Base64(Photo(1200, 600, kGreen));
  const std::string narrow = Base64(Photo(220, 140, kBlue));
  HttpClient http(host_.port());
  long long ts = 0;
  ASSERT_EQ(std::sscanf(http.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}").body.c_str(),
                        "{\"ReturnValue\":%lld}", &ts),
            1);
  const std::string body = "{\"RequestName\":\"DoIDCardPicSet\",\"TimeStamp\":" + std::to_string(ts) +
                           ",\"MD5\":\"" + twtest::RequestSignature(kClient, ts, kClientKey) + "\"" +
                           Keys(kClient, "张三", "110101199001011234", ",\"cMark\":\"M1\",\"cEx1\":\"E'1\",\"nType\":1") +
                           Pics(wide, narrow) + "}";
  const std::string reply = http.Post("/cgi-bin/Tarnwick.dll?DoApp", body).body;
  int id = 0;
  ASSERT_EQ(std::sscanf(reply.c_str(), "{\"ReturnValue\":%d}", &id), 1) << reply;
  ASSERT_GT(id, 0) << reply;

  TestDb db;
  auto rows = db.Query("SELECT icid, crname, cidcard, cmark, cex1, cinitial, nt1, nt2, nt3, csource, cfile1, "
                       "df1 IS NOT NULL FROM dbo.x_sri WHERE iid = " + std::to_string(id));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"950001", "张三", "110101199001011234", "M1", "E'1", "Z", "0", "1",
                                               "0", "客户", std::to_string(id) + ".jpg", "1"}));

  CRasterImage card;
  ASSERT_TRUE(StoredPicture(id, &card));
  EXPECT_EQ(card.GetWidth(), 610u);
  EXPECT_EQ(card.GetHeight(), 195u);
  // The wide side fits 305 x 153 centred on white (rows 21 to 173 as seen), its aspect kept.
  for (int y : {2, 18}) {
    EXPECT_TRUE(Near(card.GetPixelColor(150, y, false), {255, 255, 255})) << "white below the wide side, row " << y;
    EXPECT_TRUE(Near(card.GetPixelColor(150, 194 - y, false), {255, 255, 255})) << "white above it, row " << y;
  }
  EXPECT_TRUE(Near(card.GetPixelColor(20, 30, false), kGreen));
  EXPECT_TRUE(Near(card.GetPixelColor(300, 165, false), kGreen));
  // The narrow side fills the right half.
  EXPECT_TRUE(Near(card.GetPixelColor(310, 194, false), kBlue));
  EXPECT_TRUE(Near(card.GetPixelColor(600, 5, false), kBlue));
  // The watermark runs from (75, 0) down to the right on each side; the lower left part of each
  // side stays clear of it.
  for (int side = 0; side < 2; ++side) {
    const Rgb base = side == 0 ? kGreen : kBlue;
    const int x0 = side * 305;
    EXPECT_GT(CountOff(card, x0 + 75, x0 + 300, 25, 120, base), 300) << "no watermark on side " << side;
    EXPECT_LT(CountOff(card, x0 + 5, x0 + 60, 120, 168, base), 10) << "side " << side;
  }
}

TEST_F(IdCardTest, ASideExactlyTheCardWidthIsJoinedUnscaled) {
  // 305 x 260 with a magenta band in its top 65 rows: joined as it is, bottom rows first, so the
  // canvas shows its lower 195 rows (all yellow); a thumbnail would have shown the band.
  const std::string exact = Base64(Photo(305, 260, kYellow, 65, kMagenta));
  const std::string reply = Send(Keys(kClient, "Li Si", "G12345678") + Pics(exact, Base64(Photo(305, 195, kGray))));
  int id = 0;
  ASSERT_EQ(std::sscanf(reply.c_str(), "{\"ReturnValue\":%d}", &id), 1) << reply;
  CRasterImage card;
  ASSERT_TRUE(StoredPicture(id, &card));
  ASSERT_EQ(card.GetWidth(), 610u);
  ASSERT_EQ(card.GetHeight(), 195u);
  EXPECT_LT(CountOff(card, 0, 60, 4, 194, kYellow), 10);
  EXPECT_LT(CountOff(card, 310, 365, 100, 194, kGray), 10);
  TestDb db;
  EXPECT_EQ(db.Scalar("SELECT cinitial FROM dbo.x_sri WHERE iid = " + std::to_string(id)), "L");
}

TEST_F(IdCardTest, TheWatermarkTakesItsSettings) {
  // The same upload at the default host (RGB(255, 99, 99) at half opacity) and at a host set to
  // solid blue.
  twtest::HostConfig config;
  config.iniText = twtest::DefaultIni() + "水印颜色=RGB(0,0,255)\r\n水印透明=0\r\n";
  TestHost blueHost;
  ASSERT_TRUE(blueHost.Start(config)) << blueHost.error();
  const std::string more = Keys(kClient, "Sun", "S1234567") + Pics(Base64(Photo(305, 195, kGray)), Base64(Photo(305, 195, kGray)));
  auto count = [](const CRasterImage& card, int x0, bool blue) {
    int n = 0;
    for (int y = 0; y < 195; ++y) {
      for (int x = x0; x < x0 + 305; ++x) {
        const RasterQuad q = card.GetPixelColor(x, y, false);
        const bool isBlue = q.rgbBlue > 180 && q.rgbRed < 80 && q.rgbGreen < 80;
        const bool isRed = q.rgbRed > q.rgbBlue + 40 && q.rgbRed > q.rgbGreen + 40;
        if (blue ? isBlue : isRed) ++n;
      }
    }
    return n;
  };
  for (TestHost* host : {&host_, &blueHost}) {
    HttpClient http(host->port());
    const std::string reply =
        http.Post("/cgi-bin/Tarnwick.dll?WeChat", "{\"RequestName\":\"DoIDCardPicSet\"" + more + "}").body;
    int id = 0;
    ASSERT_EQ(std::sscanf(reply.c_str(), "{\"ReturnValue\":%d}", &id), 1) << reply;
    CRasterImage card;
    ASSERT_TRUE(StoredPicture(id, &card));
    const bool blue = host == &blueHost;
    for (int x0 : {0, 305}) {
      EXPECT_GT(count(card, x0, blue), 50) << (blue ? "blue" : "red") << " side at " << x0;
      EXPECT_LT(count(card, x0, !blue), 10) << (blue ? "blue" : "red") << " side at " << x0;
    }
  }
  EXPECT_EQ(blueHost.Stop(), 0);
}

TEST_F(IdCardTest, RefusalsInTheirOrderStoreNothing) {
  const std::string good = Base64(Photo(400, 260, kGreen));
  const std::string a1000(1000, 'A');         // exactly the shortest text: 750 bytes, no picture
  const std::string a999(999, 'A');
  const std::string tooLong(1000004, 'A');
  const std::string notBase64 = std::string(996, 'A') + "*AAA";
  const std::string noImage = Base64(std::string(900, 'x'));
  const std::string tiny = std::string(1000, '=');  // decodes to nothing
  const std::string card = Keys(kClient, "王五", "E98765432");
  struct Case {
    std::string more;
    int code;
  } cases[] = {
      {",\"icID\":0" + Pics(good, good), -2},
      {Keys(kClient, "王五", "123456") + Pics(good, good), -11},   // six characters
      {Keys(kClient, "", "1234567") + Pics(good, good), -12},
      {card, -13},
      {card + ",\"vPic1\":\"" + a999 + "\"", -14},                // before vPic2 is looked at
      {card + ",\"vPic1\":\"" + tooLong + "\"", -15},
      {card + ",\"vPic1\":\"" + notBase64 + "\"" + ",\"vPic2\":\"" + good + "\"", -16},
      {card + ",\"vPic1\":\"" + tiny + "\"" + ",\"vPic2\":\"" + good + "\"", -16},
      {card + ",\"vPic1\":\"" + a1000 + "\"", -17},                 // 1000 characters pass
      {card + Pics(good, a999), -18},
      {card + Pics(good, tooLong), -19},
      {card + Pics(good, notBase64), -20},
      {card + Pics(noImage, good), -21},
      {card + Pics(good, noImage), -22},
      {card + Pics(a1000, a1000), -21},                             // bytes, but no picture
      // Another client's record, and a record that does not exist.
      {Keys(kClient, "", "", ",\"iID\":950100") + Pics(good, good), -2},
      {Keys(kClient, "", "", ",\"iID\":959999") + Pics(good, good), -2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Send(c.more), Code(c.code)) << c.more.substr(0, 120);
  }
  TestDb db;
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.x_sri WHERE icid IN (950001, 950002)"), "2");
  // The other client's picture is as it was.
  EXPECT_EQ(db.Scalar("SELECT encode(pdata1, 'hex') || ilen1 FROM dbo.x_sri WHERE iid = 950100"), "01022");
}

TEST_F(IdCardTest, BlanksInThePictureTextAreReadAsPlus) {
  std::string text;
  std::string photo;
  // A photo whose base64 holds "+" characters.
  for (uint32_t w = 330; text.find('+') == std::string::npos; w += 7) {
    photo = Photo(w, 210, kGreen);
    text = Base64(photo);
  }
  std::string blanks = text;
  for (char& c : blanks) {
    if (c == '+') c = ' ';
  }
  // As sent with the blanks, and URL-encoded with the "+" left raw (the door's decoding makes
  // them blanks); a JSON writer's escaped "\/" reads as "/".
  std::string escaped;
  for (char c : text) escaped += c == '/' ? std::string("\\/") : std::string(1, c);
  const std::string bodies[] = {
      "{\"RequestName\":\"DoIDCardPicSet\"" + Keys(kClient, "Zhao", "Z7654321") + Pics(blanks, blanks) + "}",
      twtest::UrlEncode("{\"RequestName\":\"DoIDCardPicSet\"" + Keys(kClient, "Zhao", "Z7654321")) +
          twtest::UrlEncode(",\"vPic1\":\"") + text + twtest::UrlEncode("\",\"vPic2\":\"") + text +
          twtest::UrlEncode("\"}"),
      "{\"RequestName\":\"DoIDCardPicSet\"" + Keys(kClient, "Zhao", "Z7654321") + Pics(escaped, text) + "}",
  };
  for (const std::string& body : bodies) {
    HttpClient http(host_.port());
    const std::string reply = http.Post("/cgi-bin/Tarnwick.dll?WeChat", body).body;
    int id = 0;
    ASSERT_EQ(std::sscanf(reply.c_str(), "{\"ReturnValue\":%d}", &id), 1) << reply;
    ASSERT_GT(id, 0) << reply;
    CRasterImage card;
    ASSERT_TRUE(StoredPicture(id, &card));
    EXPECT_EQ(card.GetWidth(), 610u);
    EXPECT_TRUE(Near(card.GetPixelColor(20, 20, false), kGreen));
  }
}

TEST_F(IdCardTest, ASecondUploadReplacesThePictureOfTheSameRecord) {
  // The folder's copy of the record's picture goes when a new one is stored.
  const std::string folder = host_.moduleDir() + "IDCard_PicEx";
  ::mkdir(folder.c_str(), 0755);
  const std::string copy = folder + "/950101.jpg";
  FILE* f = std::fopen(copy.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("old", f);
  std::fclose(f);

  // The record exists: no name or card number is needed (a 3-character card is fine).
  struct Upload {
    Rgb left, right;
  } uploads[] = {{kGreen, kBlue}, {kYellow, kGray}};
  TestDb db;
  const std::string count = db.Scalar("SELECT count(*) FROM dbo.x_sri");
  for (const Upload& u : uploads) {
    const std::string reply =
        Send(Keys(kClient, "", "abc", ",\"iID\":950101") +
             Pics(Base64(Photo(500, 320, u.left)), Base64(Photo(280, 180, u.right))));
    ASSERT_EQ(reply, Code(kOwnRecord));
    CRasterImage card;
    std::string length;
    ASSERT_TRUE(StoredPicture(kOwnRecord, &card, &length));
    EXPECT_TRUE(Near(card.GetPixelColor(20, 20, false), u.left));
    EXPECT_TRUE(Near(card.GetPixelColor(590, 20, false), u.right));
    EXPECT_EQ(db.Scalar("SELECT cfile1 FROM dbo.x_sri WHERE iid = 950101"), "950101.jpg");
    // Replacing a picture keeps the record's own fields.
    EXPECT_EQ(db.Scalar("SELECT crname || cidcard FROM dbo.x_sri WHERE iid = 950101"), "ownY1234567");
  }
  EXPECT_EQ(db.Scalar("SELECT count(*) FROM dbo.x_sri"), count);
  struct stat st;
  EXPECT_NE(::stat(copy.c_str(), &st), 0) << "the folder's copy is still there";

  // New records: nType 7 and -1 are the last and the first type; iKind 1 places the name in the
  // second column.
  struct NewCase {
    std::string more;
    std::string stored;  // nt1 nt2 nt3 | crname | crnamee
  } news[] = {
      {",\"nType\":7", "001|Qian|"},
      {",\"nType\":-1,\"iKind\":1", "100||Qian"},
  };
  for (const NewCase& n : news) {
    const std::string reply =
        Send(Keys(kClient, "Qian", "Q1234567", n.more) + Pics(Base64(Photo(310, 200, kGray)), Base64(Photo(300, 190, kGray))));
    int id = 0;
    ASSERT_EQ(std::sscanf(reply.c_str(), "{\"ReturnValue\":%d}", &id), 1) << reply;
    EXPECT_EQ(db.Scalar("SELECT nt1 || '' || nt2 || nt3 || '|' || crname || '|' || crnamee FROM dbo.x_sri WHERE iid = " +
                        std::to_string(id)),
              n.stored);
  }
}

}  // namespace
