#include "testclient/return_codes.h"

#include <cstdio>

namespace tw {

namespace {

// A text longer than 63 GBK bytes does not fit its record and stops the build here.
constexpr ReturnCodeRecord kCodes[] = {
    {-1, "唯一性字段值重复，操作失败"},
    {-2, "记录不存在，操作失败"},
    {-3, "未提供必须的请求参数，操作失败"},
    {-4, "请求不支持，版本错误或请求未实现"},
    {-5, "未解析出\"RequestName\""},
    {-7, "安全校验失败，不是配置的IP或数字签名错误"},
    {-9, "Tarnwick.dll程序错误，通常为数据库查询失败"},
    {-710, "icID 错误，未提供或小于1"},
    {-711, "icID 错误，客户不存在"},
    {-720, "TimeStamp 错误，超出了同步阈值"},
    {-730, "MD5 错误，长度不是32字符"},
    {-731, "MD5 错误，不匹配"},
};

constexpr char kUnknownCode[] = "未知错误！";

}  // namespace

CReturnCodeArray CReturnCodeArray::Default() {
  CReturnCodeArray table;
  for (const ReturnCodeRecord& r : kCodes) {
    table.Add(r);
  }
  return table;
}

const char* CReturnCodeArray::Text(int64_t code) const {
  for (const ReturnCodeRecord& r : records_) {
    if (r.code == code) {
      return r.text;
    }
  }
  return kUnknownCode;
}

std::string CReturnCodeArray::Explanation() const {
  std::string out = "失败返回码含义:\r\n";
  for (const ReturnCodeRecord& r : records_) {
    char line[96];
    std::snprintf(line, sizeof line, "%d \t%s\r\n", r.code, r.text);
    out += line;
  }
  return out;
}

}  // namespace tw
