// The 144-byte settings record, the return-code table and the signed sibling URLs.

#include "testclient/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "testclient/quillon_url.h"
#include "testclient/return_codes.h"

namespace {

using tw::SettingsRecord;
using tw::TestForm;

std::string TempPath() {
  char tmpl[] = "/tmp/tw-testclient-ini.XXXXXX";
  int fd = mkstemp(tmpl);
  close(fd);
  return tmpl;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string ReadBytes(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// A record written byte by byte: host, port 8080, API type 1, client id 0x01020304, page code 1, key.
std::string HandMadeRecord(const std::string& host, const std::string& key) {
  std::string r(144, '\0');
  r.replace(0, host.size(), host);
  const unsigned char ints[16] = {0x90, 0x1F, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0};
  r.replace(64, 16, reinterpret_cast<const char*>(ints), 16);
  r.replace(80, key.size(), key);
  return r;
}

TEST(SettingsRecord, EncodesEachFieldLittleEndianAndZeroFilled) {
  TestForm f;
  f.host = "h.example";
  f.port = 8080;
  f.apiType = 1;
  f.clientId = 0x01020304;
  f.pageCode = 1;
  f.key = "K2";
  SettingsRecord r = tw::EncodeSettings(f);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()), r.size()), HandMadeRecord("h.example", "K2"));

  // A negative number keeps its two's complement; a text of 63 bytes or more keeps 63 whole bytes
  // and never half of a two-byte character.
  f.clientId = -2;
  f.host = std::string(62, 'a') + "国";
  f.key = std::string(70, 'k');
  r = tw::EncodeSettings(f);
  EXPECT_EQ(r[72], 0xFE);
  EXPECT_EQ(r[75], 0xFF);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()), 64), std::string(62, 'a') + std::string(2, '\0'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()) + 80, 64), std::string(63, 'k') + '\0');
}

TEST(SettingsRecord, LoadsOnlyARecordOfExactly144Bytes) {
  const std::string path = TempPath();
  struct Case {
    std::string bytes;
    bool loads;
  } cases[] = {
      {HandMadeRecord("srv", "key9"), true},
      {HandMadeRecord("srv", "key9").substr(0, 143), false},
      {HandMadeRecord("srv", "key9") + '\0', false},
      {"", false},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.bytes);
    TestForm f;
    EXPECT_EQ(tw::LoadSettingsFile(path, f), c.loads) << c.bytes.size();
    TestForm defaults;
    if (c.loads) {
      EXPECT_EQ(f.host, "srv");
      EXPECT_EQ(f.port, 8080);
      EXPECT_EQ(f.apiType, 1);
      EXPECT_EQ(f.clientId, 0x01020304);
      EXPECT_EQ(f.pageCode, 1);
      EXPECT_EQ(f.key, "key9");
    } else {
      EXPECT_EQ(f.host, defaults.host);
      EXPECT_EQ(f.port, defaults.port);
      EXPECT_EQ(f.apiType, defaults.apiType);
      EXPECT_EQ(f.key, defaults.key);
    }
  }
  TestForm f;
  EXPECT_FALSE(tw::LoadSettingsFile(path + ".none", f));
  std::remove(path.c_str());
}

TEST(SettingsRecord, AHandMadeFileCannotOverrunOrSelectWhatDoesNotExist) {
  // Texts without a NUL end at byte 63; an API type or page code out of range reads as the default.
  std::string r = HandMadeRecord(std::string(64, 'h'), std::string(64, 'k'));
  r[68] = 7;
  r[76] = 5;
  SettingsRecord record;
  std::copy(r.begin(), r.end(), record.begin());
  TestForm f;
  tw::DecodeSettings(record, f);
  EXPECT_EQ(f.host, std::string(63, 'h'));
  EXPECT_EQ(f.key, std::string(63, 'k'));
  EXPECT_EQ(f.apiType, 2);
  EXPECT_EQ(f.pageCode, 0);
}

TEST(SettingsRecord, SavedRecordLoadsBack) {
  const std::string path = TempPath();
  TestForm f;
  f.host = "服务器.example";
  f.port = 65535;
  f.apiType = 0;
  f.clientId = 910002;
  f.pageCode = 1;
  f.key = "RdKey910002";
  ASSERT_TRUE(tw::SaveSettingsFile(path, f));
  EXPECT_EQ(ReadBytes(path).size(), 144u);
  TestForm back;
  ASSERT_TRUE(tw::LoadSettingsFile(path, back));
  EXPECT_EQ(back.host, f.host);
  EXPECT_EQ(back.port, f.port);
  EXPECT_EQ(back.apiType, f.apiType);
  EXPECT_EQ(back.clientId, f.clientId);
  EXPECT_EQ(back.pageCode, f.pageCode);
  EXPECT_EQ(back.key, f.key);
  EXPECT_FALSE(tw::SaveSettingsFile("/nonexistent-folder/x.ini", f));
  std::remove(path.c_str());
}

TEST(SettingsRecord, ProgramFolderIsTheExecutablesFolder) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  ASSERT_GT(n, 0);
  std::string exe(buf, static_cast<size_t>(n));
  EXPECT_EQ(tw::ProgramFolder(), exe.substr(0, exe.rfind('/') + 1));
}

TEST(ReturnCodes, TableTextsAndUnknownCodes) {
  const tw::CReturnCodeArray codes = tw::CReturnCodeArray::Default();
  ASSERT_EQ(codes.records().size(), 12u);
  EXPECT_EQ(codes.records().front().code, -1);
  EXPECT_EQ(codes.records().back().code, -731);
  struct Case {
    int64_t code;
    const char* text;
  } cases[] = {
      {-5, "未解析出\"RequestName\""},
      {-731, "MD5 错误，不匹配"},
      {-9, "Tarnwick.dll程序错误，通常为数据库查询失败"},
      {0, "未知错误！"},
      {-6, "未知错误！"},
      {-1LL - 0x100000000LL, "未知错误！"},  // -1 in its low 32 bits: not the table's -1
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(codes.Text(c.code), c.text) << c.code;
  }
  const std::string explanation = codes.Explanation();
  EXPECT_EQ(explanation.rfind("失败返回码含义:\r\n-1 \t唯一性字段值重复，操作失败\r\n-2 \t", 0), 0u) << explanation;
  EXPECT_NE(explanation.find("\r\n-5 \t未解析出\"RequestName\"\r\n"), std::string::npos);
  EXPECT_EQ(explanation.substr(explanation.size() - 24), "-731 \tMD5 错误，不匹配\r\n");
}

TestForm UrlForm(const std::string& input) {
  TestForm f;
  f.host = "qu.example";
  f.clientId = 77;
  f.key = "qrst5821LMN";
  f.jsonData = input;
  return f;
}

TEST(QuillonUrl, NumberRequestSignsKindTimeAnd123) {
  // Digests by md5sum: "EMS国际" in GBK, then in UTF-8, each followed by "1700000000123qrst5821LMN".
  struct Case {
    int pageCode;
    const char* md5;
    const char* encodedKind;
    const char* tail;
  } cases[] = {
      {0, "4e440f564d37637fd4d05bd8c0c25bd1", "EMS%B9%FA%BC%CA", ""},
      {1, "eb5a315083e7f31836e111106c37b853", "EMS%E5%9B%BD%E9%99%85", "&cp=65001"},
  };
  for (const Case& c : cases) {
    TestForm f = UrlForm("  EMS国际\r\n");
    f.pageCode = c.pageCode;
    std::string text;
    tw::Refusal refusal;
    ASSERT_TRUE(tw::BuildGetNoUrl(f, 1700000000, &text, &refusal));
    EXPECT_EQ(text, std::string("MD5(\"EMS国际1700000000123qrst5821LMN\")=") + c.md5 +
                        "\r\n\r\nhttp://qu.example/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiGetNo&icid=77"
                        "&cemskind=" + c.encodedKind + "&timestamp=1700000000123&md5=" + c.md5 + c.tail +
                        "\r\n\r\n将上面URL拷贝，在浏览器中提交测试!\r\n返回\"-3\"表示没有可用的单号。\r\n");
  }
}

TEST(QuillonUrl, QueryRequestEncodesTheNumberAndSignsItRaw) {
  // md5sum of "AB&12 #3+" "qrst5821LMN".
  std::string text;
  tw::Refusal refusal;
  ASSERT_TRUE(tw::BuildQueryUrl(UrlForm("AB&12 #3+"), &text, &refusal));
  EXPECT_EQ(text,
            "MD5(\"AB&12 #3+qrst5821LMN\")=886e7a235bf210f2e966073b70e18815\r\n\r\n"
            "http://qu.example/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiQuery&icid=77&cno=AB%2612+%233%2B"
            "&md5=886e7a235bf210f2e966073b70e18815\r\n\r\n将上面URL拷贝，在浏览器中提交测试!\r\n");
  TestForm utf8 = UrlForm("TW20261210001");
  utf8.pageCode = 1;
  ASSERT_TRUE(tw::BuildQueryUrl(utf8, &text, &refusal));
  EXPECT_NE(text.find("&cno=TW20261210001&md5="), std::string::npos);
  EXPECT_NE(text.find("&cp=65001\r\n"), std::string::npos);
}

TEST(QuillonUrl, RefusalsAndLengthsInBytes) {
  struct Case {
    bool getNo;
    const char* key;
    int clientId;
    std::string input;
    const char* message;
  } cases[] = {
      {true, "", 0, "EMS", "密钥不能为空！"},
      {true, "k", 0, "EMS", "必须填写客户ID"},
      {false, "", 5, "1234567", "密钥不能为空！"},
      {false, "k", -1, "1234567", "必须填写客户ID"},
      {true, "k", 5, "   ", "快递类别错误(1-15字符)"},
      {true, "k", 5, "E", ""},
      {true, "k", 5, "EMS国际国际国际", ""},      // 15 GBK bytes
      {true, "k", 5, "EMS国际国际国际X", "快递类别错误(1-15字符)"},
      {false, "k", 5, "123456", "内单号错误(7 - 60字符)"},
      {false, "k", 5, "单号1234", ""},               // 8 GBK bytes
      {false, "k", 5, std::string(60, '9'), ""},
      {false, "k", 5, std::string(61, '9'), "内单号错误(7 - 60字符)"},
  };
  for (const Case& c : cases) {
    TestForm f = UrlForm(c.input);
    f.key = c.key;
    f.clientId = c.clientId;
    std::string text;
    tw::Refusal refusal;
    bool ok = c.getNo ? tw::BuildGetNoUrl(f, 1700000000, &text, &refusal) : tw::BuildQueryUrl(f, &text, &refusal);
    EXPECT_EQ(ok, *c.message == '\0') << c.input;
    EXPECT_EQ(refusal.message, c.message) << c.input;
  }
}

}  // namespace
