#pragma once
// The return-code table of the test client: what each refusal code of the library's replies means.
// Texts are GBK; every one fits its 64-byte record (the table does not compile otherwise).
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

struct ReturnCodeRecord {
  int32_t code;
  char text[64];
};

// CReturnCodeArray: the records in the order added.
class CReturnCodeArray {
 public:
  // The table of the library's refusal codes, -1 first and -731 last.
  [[nodiscard]] static CReturnCodeArray Default();

  void Add(const ReturnCodeRecord& record) { records_.push_back(record); }
  [[nodiscard]] const std::vector<ReturnCodeRecord>& records() const { return records_; }

  // Text: the text of `code`; "未知错误！" for a code the table does not hold.
  [[nodiscard]] const char* Text(int64_t code) const;
  // Explanation: "失败返回码含义:\r\n" followed by one line "%d \t%s\r\n" per record, in order
  // (what the "查看返回码含义" button shows).
  [[nodiscard]] std::string Explanation() const;

 private:
  std::vector<ReturnCodeRecord> records_;
};

}  // namespace tw
