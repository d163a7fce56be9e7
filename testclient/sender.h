#pragma once
// The test client's sender: posts one prepared request over HTTP/1.0 and reports each step.
//
// PrepareSend turns the dialog's values into a SendJob; SenderThread runs the exchange (on a thread
// of the dialog's, or synchronously for the command line) and hands every step to its sink as a
// SendReport that owns copies of the texts it shows, so a report handled later never sees the
// sender's later state. AppendReport turns one report into the text of the message output.
//
// Progress codes and their status texts (GBK):
//   -100 "套节字创建失败。"   the socket cannot be created
//   -103 "域名解析失败。"     the host name does not resolve
//   -103 "套节字配置失败。"   the socket cannot be made non-blocking
//      0 "连接=>>>host:port..." connecting
//   -120 "连接服务器失败!"    no connection within 40 s (refused included), or not blocking again
//      1 "发送=>>>请求头:"     the header is being sent (the report holds it)
//      2 "发送=>>>POST数据:"   the body is being sent (the report holds it)
//     11 "接收=<<< 服务器响应头:" the status line is being read
//     21 "失败响应头:"         the status line lacks "200" (the report holds the response header)
//     12 "接收=<<< 服务器响应实体:" the body is being read (the report holds the response header)
//    100 "请求完成。响应实体:" done (the report holds the body)
// A report of a negative code, 21 or 100 is the last one.
#include <cstdint>
#include <functional>
#include <string>

#include "testclient/form.h"
#include "testclient/request_builder.h"
#include "testclient/return_codes.h"

namespace tw {

inline constexpr int kSendSocketFailed = -100;
inline constexpr int kSendResolveFailed = -103;
inline constexpr int kSendConnectFailed = -120;
inline constexpr int kSendConnecting = 0;
inline constexpr int kSendHeader = 1;
inline constexpr int kSendBody = 2;
inline constexpr int kSendStatusLine = 11;
inline constexpr int kSendBadStatus = 21;
inline constexpr int kSendReadBody = 12;
inline constexpr int kSendDone = 100;

// The response header area and the body each hold at most this many bytes.
inline constexpr size_t kResponseTextMax = 15999;
// Time limits of the exchange.
inline constexpr int kConnectTimeoutMs = 40000;
inline constexpr int kSocketTimeoutMs = 30000;

struct SendJob {
  std::string host;
  uint16_t port = 0;
  std::string path;
  std::string header;  // the request header, ending with its empty line
  std::string body;    // the bytes posted
};

struct SendReport {
  int code = 0;
  std::string status;      // the status text of the step
  std::string text;        // what the step shows besides: request header, body, response header or body
  bool truncated = false;  // code 100: the body was cut at kResponseTextMax bytes
};

using ReportSink = std::function<void(const SendReport&)>;

// IsFinalReport: true for the last report of an exchange (negative codes, 21 and 100).
[[nodiscard]] inline bool IsFinalReport(int code) {
  return code < 0 || code == kSendBadStatus || code == kSendDone;
}

// PrepareSend: the job of posting the JSON data text. The body is built from form.jsonData
// (trimmed) in the shape of form.apiType; when that text is the readable copy of `built` (the last
// sample, may be null), the sample's own JSON is posted, pictures included. False with the
// dialog's message when the text has 9 characters or fewer, the host is empty, the port lies
// outside 1..65535 or the body would not fit the request buffer.
[[nodiscard]] bool PrepareSend(const TestForm& form, const BuiltRequest* built, SendJob* job,
                               Refusal* refusal);

// SenderThread: posts job.body to job.host:job.port and reports each step to sink, the socket
// closed before the last report. Returns the body length after code 100, 0 after code 21, or the
// negative code.
int SenderThread(const SendJob& job, const ReportSink& sink);

// What the dialog does after a report besides showing it.
enum class Beep { kNone, kFailure, kSuccess };
struct ReportEffect {
  Beep beep = Beep::kNone;
  bool enableSend = false;  // the send button is enabled again
};

// AppendReport: appends one report to the message output text (GBK): a line break and the status
// text, with the request header (1), the body (2), the response header before the status (12) or
// after it (21); for 100 the body converted from UTF-8 to GBK, a note when it was cut, its "\u"
// escapes decoded when it holds any, and the verdict on its "ReturnValue" with the code's text.
ReportEffect AppendReport(const SendReport& report, const CReturnCodeArray& codes, std::string* out);

// DecodeUnicodeEscapes: GBK text with every "\uXXXX" replaced by the GBK form of that unit ("?"
// when GBK has none); other bytes unchanged.
[[nodiscard]] std::string DecodeUnicodeEscapes(const std::string& gbk);

}  // namespace tw
