// The sample requests: every request kind in the three body shapes, byte for byte, the signature,
// the refusals in their order, the ID-card pictures and their size limits.

#include "testclient/request_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "util/escape.h"

namespace {

using tw::BuildSampleRequest;
using tw::BuiltRequest;
using tw::Refusal;
using tw::TestForm;

constexpr int64_t kTime = 1700000000;
// md5sum of "1001" "1700000000000" "qrst5821LMN", worked out with the md5sum tool.
constexpr char kSignature[] = "47869a556eda394518c301235e95666f";
const std::string kSigned = std::string("{\"RequestName\":\"%s\",\"icID\":1001,\"TimeStamp\":1700000000000,\"MD5\":\"") +
                            kSignature + "\"";

std::string Signed(const std::string& name, const std::string& more) {
  std::string head = kSigned;
  head.replace(head.find("%s"), 2, name);
  return head + more + "}";
}

// Form encoding written out for the tests: letters, digits and "*-._" as they are, a blank as "+",
// every other byte as %XX.
std::string FormEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

TestForm Form(const std::string& name, int apiType) {
  TestForm f;
  f.requestName = name;
  f.apiType = apiType;
  f.clientId = 1001;
  return f;
}

TEST(SampleRequest, EveryKindInEveryShape) {
  const std::string preInput =
      ",\"RecList\":[{\"iID\":0,\"nItemType\":1,\"nLanguage\":2,\"cEmsKind\":\"EMS\\u56FD\\u9645\","
      "\"cDes\":\"\\u7F8E\\u56FD\",\"fWeight\":2.123,\"cReceiver\":\"John Smith\",\"cRAddr\":\"100 Main Street\","
      "\"cRCity\":\"Bridgeville\",\"cRPostcode\":\"19933\",\"cRProvince\":\"DE\","
      "\"cRCountry\":\"United States of America\",\"cRPhone\":\"4232342343\",\"cGoods\":\"\\u793C\\u54C1\","
      "\"iQuantity\":1,\"fPrice\":3.25,\"cNum\":\"TS1700000000XX\"}]";
  struct Case {
    const char* name;
    std::string json;
    bool isSigned;
  } cases[] = {
      {"TimeStamp", "{\"RequestName\":\"TimeStamp\"}", false},
      {"EmsKindList", "{\"RequestName\":\"EmsKindList\"}", false},
      // No extra members: the object ends right after the signature, without a comma.
      {"ClientInfo", Signed("ClientInfo", ""), true},
      {"PreInputData", Signed("PreInputData", ""), true},
      {"DoGetNo", Signed("DoGetNo", ",\"cEmsKind\":\"EMS\\u56FD\\u9645\""), true},
      {"PreInputSet", Signed("PreInputSet", preInput), true},
  };
  const char* prefixes[3] = {"MfcISAPICommand=DoApp&d=", "d=", ""};
  for (const Case& c : cases) {
    for (int api = 0; api < 3; ++api) {
      SCOPED_TRACE(std::string(c.name) + " type " + std::to_string(api));
      BuiltRequest built;
      Refusal refusal;
      ASSERT_TRUE(BuildSampleRequest(Form(c.name, api), kTime, &built, &refusal)) << refusal.message;
      EXPECT_EQ(built.json, c.json);
      EXPECT_EQ(built.readable, c.json);
      std::string body = api == 2 ? c.json : prefixes[api] + FormEncode(c.json);
      EXPECT_EQ(built.body, body);
      EXPECT_EQ(built.message, "[POST Data]:\r\n" + body);
      EXPECT_EQ(built.md5, c.isSigned ? kSignature : "");
    }
  }
}

TEST(SampleRequest, UnsignedFormsWrittenOut) {
  // The two URL-encoded shapes of the shortest request, by hand.
  BuiltRequest built;
  Refusal refusal;
  ASSERT_TRUE(BuildSampleRequest(Form("TimeStamp", 0), kTime, &built, &refusal));
  EXPECT_EQ(built.body, "MfcISAPICommand=DoApp&d=%7B%22RequestName%22%3A%22TimeStamp%22%7D");
  ASSERT_TRUE(BuildSampleRequest(Form("TimeStamp", 1), kTime, &built, &refusal));
  EXPECT_EQ(built.body, "d=%7B%22RequestName%22%3A%22TimeStamp%22%7D");
}

TEST(SampleRequest, SignatureFollowsClientTimeAndKey) {
  // Each row's expected digest was computed with md5sum over "<id><t>000<key>".
  struct Case {
    int clientId;
    int64_t t;
    const char* key;
    const char* md5;
  } cases[] = {
      {1001, 1700000000, "qrst5821LMN", "47869a556eda394518c301235e95666f"},
      {7, 1234567890, "k", "9651d95af61ea8ca7e0c4bd4b0519f37"},
      {2147483647, 4000000000, "DemoKey2026xyz", "9220f193aa80c95332c0b621d7950c25"},
  };
  for (const Case& c : cases) {
    TestForm f = Form("ClientInfo", 2);
    f.clientId = c.clientId;
    f.key = c.key;
    BuiltRequest built;
    Refusal refusal;
    ASSERT_TRUE(BuildSampleRequest(f, c.t, &built, &refusal));
    EXPECT_EQ(built.md5, c.md5) << c.clientId;
    EXPECT_NE(built.json.find("\"TimeStamp\":" + std::to_string(c.t) + "000,"), std::string::npos);
  }
}

TEST(SampleRequest, KindDestinationAndDefaults) {
  struct Case {
    const char* kind;
    const char* destination;
    const char* expectKind;
    const char* expectDestination;
  } cases[] = {
      {"", "", "EMS\\u56FD\\u9645", "\\u7F8E\\u56FD"},
      {"EUB", "英国", "EUB", "\\u82F1\\u56FD"},
      // The eight specials take the system's "\xHH" escapes.
      {"A\"B", "x/y", "A\\x22B", "x\\x2Fy"},
  };
  for (const Case& c : cases) {
    TestForm f = Form("PreInputSet", 2);
    f.kind = c.kind;
    f.destination = c.destination;
    BuiltRequest built;
    Refusal refusal;
    ASSERT_TRUE(BuildSampleRequest(f, kTime, &built, &refusal));
    EXPECT_NE(built.json.find(std::string("\"cEmsKind\":\"") + c.expectKind + "\",\"cDes\":\"" +
                              c.expectDestination + "\","),
              std::string::npos)
        << built.json;
  }
  // DoGetNo sends the kind as it stands, even empty.
  TestForm f = Form("DoGetNo", 2);
  f.kind = "";
  BuiltRequest built;
  Refusal refusal;
  ASSERT_TRUE(BuildSampleRequest(f, kTime, &built, &refusal));
  EXPECT_EQ(built.json, Signed("DoGetNo", ",\"cEmsKind\":\"\""));
}

class PictureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tw-testclient-pics.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // A file of n bytes that vary, so each base64 group differs. The name is GBK, as the path field
  // holds it; the file system's name is its UTF-8 form. Returns the path as the field holds it.
  std::string File(const std::string& name, size_t n) {
    std::string path = dir_ + "/" + name;
    std::string bytes;
    for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>((i * 7 + n) & 0xFF));
    FILE* f = std::fopen(tw::GbkToUtf8String(path).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    contents_[path] = bytes;
    return path;
  }

  std::string dir_;
  std::map<std::string, std::string> contents_;
};

std::string Decode(const std::string& base64) {
  std::vector<char> out(base64.size());
  size_t n = 0;
  EXPECT_EQ(tw::Base64Decode(base64.data(), base64.size(), out.data(), out.size(), &n), 0);
  return std::string(out.data(), n);
}

// The text between `"key":"` and the next quote.
std::string Member(const std::string& json, const std::string& key) {
  size_t at = json.find("\"" + key + "\":\"");
  if (at == std::string::npos) return "<missing>";
  at += key.size() + 4;
  return json.substr(at, json.find('"', at) - at);
}

TEST_F(PictureFiles, EachAcceptedPictureIsSentWholeInBase64) {
  TestForm f = Form("DoIDCardPicSet", 2);
  f.frontPath = File("front.jpg", 2000);
  f.backPath = File("背面.png", 64000);  // a GBK name opens as its UTF-8 file name
  BuiltRequest built;
  Refusal refusal;
  ASSERT_TRUE(BuildSampleRequest(f, kTime, &built, &refusal)) << refusal.message;
  EXPECT_EQ(Decode(Member(built.json, "vPic1")), contents_[f.frontPath]);
  EXPECT_EQ(Decode(Member(built.json, "vPic2")), contents_[f.backPath]);
  const std::string head = Signed("DoIDCardPicSet", ",\"iID\":0,\"nType\":1,\"cRName\":\"\\u5F20\\u4E09\","
                                                    "\"cIDCard\":\"650300191700000000\",\"vPic1\":\"");
  EXPECT_EQ(built.json.substr(0, head.size() - 1), head.substr(0, head.size() - 1));
  // The edit's copy abbreviates both pictures; the body keeps them.
  EXPECT_EQ(built.readable, Signed("DoIDCardPicSet",
                                   ",\"iID\":0,\"nType\":1,\"cRName\":\"\\u5F20\\u4E09\","
                                   "\"cIDCard\":\"650300191700000000\",\"vPic1\":\"xx...\",\"vPic2\":\"xx...\""));
  EXPECT_EQ(built.body, built.json);

  // Typed name and number replace the samples; the URL-encoded shape keeps "+" and "/" as %2B, %2F.
  f.name = "O'Neil";
  f.idCardNo = "110101199001011234";
  f.apiType = 1;
  ASSERT_TRUE(BuildSampleRequest(f, kTime, &built, &refusal));
  EXPECT_EQ(Member(built.json, "cRName"), "O'Neil");
  EXPECT_EQ(Member(built.json, "cIDCard"), "110101199001011234");
  EXPECT_EQ(built.body, "d=" + FormEncode(built.json));
}

TEST_F(PictureFiles, RefusalsInTheirOrder) {
  const std::string small = File("small.jpg", 1999);
  const std::string least = File("least.jpg", 2000);
  const std::string most = File("most.jpg", 64000);
  const std::string large = File("large.jpg", 64001);
  const std::string missing = dir_ + "/missing.jpg";
  struct Case {
    const char* key;
    int clientId;
    std::string front, back;
    const char* message;  // "" when the sample is built
    tw::FormField field;
  } cases[] = {
      {"", 0, "", "", "密钥不能为空！", tw::FormField::kKey},
      {"k", 0, least, most, "客户ID必须大于零！", tw::FormField::kClientId},
      {"k", -5, least, most, "客户ID必须大于零！", tw::FormField::kClientId},
      {"k", 1, "", "", "请先选择身份证正面图片文件！", tw::FormField::kFrontPicture},
      {"k", 1, least, "", "请先选择身份证背面图片文件！", tw::FormField::kBackPicture},
      {"k", 1, missing, missing, "身份证正面图片文件无法打开！", tw::FormField::kFrontPicture},
      {"k", 1, small, missing, "身份证背面图片文件无法打开！", tw::FormField::kBackPicture},
      {"k", 1, small, large, "身份证正面图片文件大小不合适(2k - 64k)！", tw::FormField::kFrontPicture},
      {"k", 1, least, large, "身份证背面图片文件大小不合适(2k - 64k)！", tw::FormField::kBackPicture},
      {"k", 1, large, least, "身份证正面图片文件大小不合适(2k - 64k)！", tw::FormField::kFrontPicture},
      {"k", 1, most, small, "身份证背面图片文件大小不合适(2k - 64k)！", tw::FormField::kBackPicture},
      {"k", 1, dir_, least, "身份证正面图片文件大小不合适(2k - 64k)！", tw::FormField::kFrontPicture},
      {"k", 1, least, most, "", tw::FormField::kNone},
  };
  for (const Case& c : cases) {
    TestForm f = Form("DoIDCardPicSet", 2);
    f.key = c.key;
    f.clientId = c.clientId;
    f.frontPath = c.front;
    f.backPath = c.back;
    BuiltRequest built;
    Refusal refusal;
    bool ok = BuildSampleRequest(f, kTime, &built, &refusal);
    EXPECT_EQ(ok, *c.message == '\0') << c.message;
    EXPECT_EQ(refusal.message, c.message);
    EXPECT_EQ(refusal.field, c.field) << c.message;
  }
}

TEST(SampleRequest, UnsignedNamesNeedNoKeyOthersDo) {
  for (const char* name : {"TimeStamp", "EmsKindList"}) {
    TestForm f = Form(name, 2);
    f.key = "";
    f.clientId = 0;
    BuiltRequest built;
    Refusal refusal;
    EXPECT_TRUE(BuildSampleRequest(f, kTime, &built, &refusal)) << name;
  }
  // The names are matched exactly: another spelling is a signed request.
  TestForm f = Form("timestamp", 2);
  f.key = "";
  BuiltRequest built;
  Refusal refusal;
  EXPECT_FALSE(BuildSampleRequest(f, kTime, &built, &refusal));
  EXPECT_EQ(refusal.message, "密钥不能为空！");
}

TEST(WrapBody, RefusesWhatDoesNotFitItsRoom) {
  std::string body;
  // "{}" encodes to six bytes: it needs a room of seven with the NUL.
  EXPECT_TRUE(tw::WrapBody(1, "{}", 7, &body));
  EXPECT_EQ(body, "d=%7B%7D");
  EXPECT_FALSE(tw::WrapBody(1, "{}", 6, &body));
  EXPECT_FALSE(tw::WrapBody(2, std::string(100, 'a'), 100, &body));
  EXPECT_TRUE(tw::WrapBody(2, std::string(99, 'a'), 100, &body));
}

}  // namespace
