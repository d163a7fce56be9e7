#include "testclient/request_builder.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "testclient/settings.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/md5.h"
#include "util/outbuf.h"

namespace tw {

namespace {

constexpr char kPrefixNameValue[] = "MfcISAPICommand=DoApp&d=";
constexpr char kPrefixStandard[] = "d=";
constexpr char kPictureMark[] = "xx...";

// Sample values of the request kinds.
constexpr char kDefaultKind[] = "EMS国际";
constexpr char kDefaultDestination[] = "美国";
constexpr char kSampleReceiver[] = "John Smith";
constexpr char kSampleStreet[] = "100 Main Street";
constexpr char kSampleCardName[] = "张三";

// The members of one JSON object, written once for the body and once for the readable copy.
class MemberWriter {
 public:
  void Text(const char* key, const std::string& gbkValue) {
    Key(key);
    Both("\"");
    Both(Escape(gbkValue));
    Both("\"");
  }
  void Bare(const char* key, const std::string& value) {
    Key(key);
    Both(value);
  }
  void Int(const char* key, long long value) { Bare(key, std::to_string(value)); }
  // A picture: base64 in the body, "xx..." in the readable copy.
  void Picture(const char* key, const std::string& base64) {
    Key(key);
    json_ += "\"" + base64 + "\"";
    readable_ += std::string("\"") + kPictureMark + "\"";
  }
  // Raw pieces (brackets and braces of a nested list); the next member needs no comma.
  void Open(const char* key, const char* opening) {
    Key(key);
    Both(opening);
    first_ = true;
  }
  void Close(const char* closing) {
    Both(closing);
    first_ = false;
  }

  std::string& json() { return json_; }
  std::string& readable() { return readable_; }

 private:
  void Key(const char* key) {
    if (!first_) {
      Both(",");
    }
    first_ = false;
    Both(std::string("\"") + key + "\":");
  }
  void Both(const std::string& piece) {
    json_ += piece;
    readable_ += piece;
  }
  static std::string Escape(const std::string& gbk) {
    // At most six bytes ("\uXXXX") for each input byte.
    std::vector<char> room(gbk.size() * 6 + 8);
    OutBuf out(room.data(), room.size());
    JsonEscapeWide(gbk.c_str(), out, kCodePageGbk, false);
    return std::string(out.view());
  }

  std::string json_ = "{";
  std::string readable_ = "{";
  bool first_ = true;
};

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// Which side of the card a picture is, with its messages.
struct PictureSide {
  const char* missing;
  const char* unopened;
  const char* badSize;
  FormField field;
};
constexpr PictureSide kFront = {"请先选择身份证正面图片文件！", "身份证正面图片文件无法打开！",
                                "身份证正面图片文件大小不合适(2k - 64k)！", FormField::kFrontPicture};
constexpr PictureSide kBack = {"请先选择身份证背面图片文件！", "身份证背面图片文件无法打开！",
                               "身份证背面图片文件大小不合适(2k - 64k)！", FormField::kBackPicture};

using File = std::unique_ptr<FILE, FileCloser>;

// Opens a picture file (its GBK path as the file system's name).
File OpenPicture(const std::string& gbkPath) {
  return File(std::fopen(GbkPathToFileSystem(gbkPath).c_str(), "rb"));
}

// Reads an opened picture of 2000 to 64000 bytes as base64; false when its size is outside.
bool ReadPicture(FILE* f, std::string* base64) {
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < kPictureMinBytes ||
      st.st_size > kPictureMaxBytes) {
    return false;
  }
  // Read no more than the largest accepted picture, whatever the file has grown to since.
  std::vector<unsigned char> data(static_cast<size_t>(kPictureMaxBytes) + 1);
  size_t n = std::fread(data.data(), 1, data.size(), f);
  if (n < static_cast<size_t>(kPictureMinBytes) || n > static_cast<size_t>(kPictureMaxBytes)) {
    return false;
  }
  size_t needed = 0;
  std::vector<char> text((n + 2) / 3 * 4 + 1);
  if (Base64Encode(data.data(), n, text.data(), text.size(), &needed, 0) != 0) {
    return false;
  }
  base64->assign(text.data(), needed);
  return true;
}

// The two pictures of an ID-card request, with the checks in the dialog's order.
bool ReadPictures(const TestForm& form, std::string* front, std::string* back, Refusal* refusal) {
  if (form.frontPath.empty()) {
    *refusal = {kFront.missing, kFront.field};
    return false;
  }
  if (form.backPath.empty()) {
    *refusal = {kBack.missing, kBack.field};
    return false;
  }
  File f = OpenPicture(form.frontPath);
  if (!f) {
    *refusal = {kFront.unopened, kFront.field};
    return false;
  }
  File b = OpenPicture(form.backPath);
  if (!b) {
    *refusal = {kBack.unopened, kBack.field};
    return false;
  }
  if (!ReadPicture(f.get(), front)) {
    *refusal = {kFront.badSize, kFront.field};
    return false;
  }
  if (!ReadPicture(b.get(), back)) {
    *refusal = {kBack.badSize, kBack.field};
    return false;
  }
  return true;
}

const char* Prefix(int apiType) {
  switch (apiType) {
    case kApiNameValue:
      return kPrefixNameValue;
    case kApiStandard:
      return kPrefixStandard;
    default:
      return "";
  }
}

}  // namespace

bool IsUnsignedRequest(const std::string& requestName) {
  return requestName == "TimeStamp" || requestName == "EmsKindList";
}

bool WrapBody(int apiType, const std::string& json, size_t room, std::string* body) {
  if (apiType != kApiNameValue && apiType != kApiStandard) {
    if (json.size() + 1 > room) {
      return false;
    }
    *body = json;
    return true;
  }
  std::vector<char> encoded(json.size() * 3 + 1);
  UrlEncode(json.c_str(), encoded.data(), encoded.size());
  size_t n = std::strlen(encoded.data());
  if (n + 1 > room || (n == 0 && !json.empty())) {
    return false;
  }
  *body = std::string(Prefix(apiType)) + encoded.data();
  return true;
}

bool BuildSampleRequest(const TestForm& form, int64_t t, BuiltRequest* out, Refusal* refusal) {
  const std::string& name = form.requestName;
  MemberWriter w;
  w.Text("RequestName", name);
  BuiltRequest built;
  size_t room = kRequestBufferSize - sizeof kPrefixNameValue;
  if (IsUnsignedRequest(name)) {
    room = kUnsignedFormSize;
  } else {
    if (form.key.empty()) {
      *refusal = {"密钥不能为空！", FormField::kKey};
      return false;
    }
    if (form.clientId <= 0) {
      *refusal = {"客户ID必须大于零！", FormField::kClientId};
      return false;
    }
    std::string front, back;
    if (name == "DoIDCardPicSet" && !ReadPictures(form, &front, &back, refusal)) {
      return false;
    }
    // The time stamp is whole seconds written in milliseconds.
    const unsigned seconds = static_cast<unsigned>(t);
    const std::string stamp = std::to_string(seconds) + "000";
    char md5[kMd5HexSize];
    std::string signedText = std::to_string(form.clientId) + stamp + form.key;
    MD5Hex(signedText.data(), signedText.size(), md5);
    built.md5 = md5;

    w.Int("icID", form.clientId);
    w.Bare("TimeStamp", stamp);
    w.Text("MD5", built.md5);
    if (name == "PreInputSet") {
      w.Open("RecList", "[{");
      w.Int("iID", 0);
      w.Int("nItemType", 1);
      w.Int("nLanguage", 2);
      w.Text("cEmsKind", form.kind.empty() ? std::string(kDefaultKind) : form.kind);
      w.Text("cDes", form.destination.empty() ? std::string(kDefaultDestination) : form.destination);
      w.Bare("fWeight", "2.123");
      w.Text("cReceiver", kSampleReceiver);
      w.Text("cRAddr", kSampleStreet);
      w.Text("cRCity", "Bridgeville");
      w.Text("cRPostcode", "19933");
      w.Text("cRProvince", "DE");
      w.Text("cRCountry", "United States of America");
      w.Text("cRPhone", "4232342343");
      w.Text("cGoods", "礼品");
      w.Int("iQuantity", 1);
      w.Bare("fPrice", "3.25");
      w.Text("cNum", "TS" + std::to_string(seconds) + "XX");
      w.Close("}]");
    } else if (name == "DoGetNo") {
      w.Text("cEmsKind", form.kind);
    } else if (name == "DoIDCardPicSet") {
      w.Int("iID", 0);
      w.Int("nType", 1);
      w.Text("cRName", form.name.empty() ? std::string(kSampleCardName) : form.name);
      w.Text("cIDCard", form.idCardNo.empty() ? "65030019" + std::to_string(seconds) : form.idCardNo);
      w.Picture("vPic1", front);
      w.Picture("vPic2", back);
    }
  }
  w.json() += "}";
  w.readable() += "}";
  built.json = std::move(w.json());
  built.readable = std::move(w.readable());
  if (!WrapBody(form.apiType, built.json, room, &built.body)) {
    *refusal = {"请求数据太长，超出了请求缓冲区！", FormField::kJsonData};
    return false;
  }
  built.message = "[POST Data]:\r\n" + built.body;
  *out = std::move(built);
  return true;
}

}  // namespace tw
