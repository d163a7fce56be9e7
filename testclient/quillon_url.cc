#include "testclient/quillon_url.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "util/codepage.h"
#include "util/escape.h"
#include "util/md5.h"

namespace tw {

namespace {

constexpr size_t kGetNoKindMin = 1;
constexpr size_t kGetNoKindMax = 15;
constexpr size_t kUtf8KindMax = 63;
constexpr size_t kQueryNumberMin = 7;
constexpr size_t kQueryNumberMax = 60;

constexpr char kGetNoNote[] =
    "\r\n\r\n将上面URL拷贝，在浏览器中提交测试!\r\n返回\"-3\"表示没有可用的单号。\r\n";
constexpr char kQueryNote[] = "\r\n\r\n将上面URL拷贝，在浏览器中提交测试!\r\n";
constexpr char kUtf8Mark[] = "&cp=65001";

bool CheckKeyAndClient(const TestForm& form, Refusal* refusal) {
  if (form.key.empty()) {
    *refusal = {"密钥不能为空！", FormField::kKey};
    return false;
  }
  if (form.clientId <= 0) {
    *refusal = {"必须填写客户ID", FormField::kClientId};
    return false;
  }
  return true;
}

std::string Encode(const std::string& text) {
  std::vector<char> out(text.size() * 3 + 1);
  UrlEncode(text.c_str(), out.data(), out.size());
  return std::string(out.data());
}

std::string Md5Of(const std::string& text) {
  char hex[kMd5HexSize];
  MD5Hex(text.data(), text.size(), hex);
  return hex;
}

}  // namespace

bool BuildGetNoUrl(const TestForm& form, int64_t t, std::string* out, Refusal* refusal) {
  if (!CheckKeyAndClient(form, refusal)) {
    return false;
  }
  std::string kind = TrimText(form.jsonData);
  if (kind.size() < kGetNoKindMin || kind.size() > kGetNoKindMax) {
    *refusal = {"快递类别错误(1-15字符)", FormField::kJsonData};
    return false;
  }
  std::string signedKind = kind;
  if (form.pageCode == kPageUtf8) {
    char utf8[kUtf8KindMax + 1];
    GbkToUtf8(kind.c_str(), utf8, sizeof utf8);
    signedKind = utf8;
  }
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%" PRId64 "123", t);
  std::string md5 = Md5Of(signedKind + stamp + form.key);

  // The signed text is shown as the tester reads it (GBK), whatever bytes were signed.
  std::string text = "MD5(\"" + kind + stamp + form.key + "\")=" + md5 + "\r\n\r\n";
  char query[64];
  std::snprintf(query, sizeof query, "&icid=%d&cemskind=", form.clientId);
  text += "http://" + form.host + "/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiGetNo" + query +
          Encode(signedKind) + "&timestamp=" + stamp + "&md5=" + md5;
  if (form.pageCode == kPageUtf8) {
    text += kUtf8Mark;
  }
  text += kGetNoNote;
  *out = std::move(text);
  return true;
}

bool BuildQueryUrl(const TestForm& form, std::string* out, Refusal* refusal) {
  if (!CheckKeyAndClient(form, refusal)) {
    return false;
  }
  std::string number = TrimText(form.jsonData);
  if (number.size() < kQueryNumberMin || number.size() > kQueryNumberMax) {
    *refusal = {"内单号错误(7 - 60字符)", FormField::kJsonData};
    return false;
  }
  // The signature covers the number as typed; the URL carries it encoded, so "&", "#", "+" and
  // blanks reach the server as part of the number.
  std::string md5 = Md5Of(number + form.key);
  std::string text = "MD5(\"" + number + form.key + "\")=" + md5 + "\r\n\r\n";
  char query[64];
  std::snprintf(query, sizeof query, "&icid=%d&cno=", form.clientId);
  text += "http://" + form.host + "/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiQuery" + query +
          Encode(number) + "&md5=" + md5;
  if (form.pageCode == kPageUtf8) {
    text += kUtf8Mark;
  }
  text += kQueryNote;
  *out = std::move(text);
  return true;
}

}  // namespace tw
