#pragma once
// The values of the test client's dialog, shared by the dialog, the command line and the core.
//
// Every text is GBK, the system's own encoding; the dialog and the command line convert at their
// edges. A TestForm is a plain value: the core reads it and never keeps it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

// The controls a refusal can point at (the dialog gives the named control the focus).
enum class FormField {
  kNone,
  kHost,
  kPort,
  kKey,
  kClientId,
  kRequestName,
  kJsonData,
  kFrontPicture,
  kBackPicture,
};

// Input limits of the controls while typing, in GBK bytes.
inline constexpr size_t kHostMax = 62;
inline constexpr size_t kKeyMax = 62;
inline constexpr size_t kRequestNameMax = 60;
inline constexpr size_t kJsonDataMax = 1600000;
inline constexpr size_t kPicturePathMax = 255;
inline constexpr size_t kKindMax = 15;
inline constexpr size_t kDestinationMax = 62;
inline constexpr size_t kIdCardNoMax = 30;
inline constexpr size_t kNameMax = 30;

// API types: the three shapes of a request body.
inline constexpr int kApiNameValue = 0;  // "MfcISAPICommand=DoApp&d=<URL-encoded JSON>"
inline constexpr int kApiStandard = 1;   // "d=<URL-encoded JSON>"
inline constexpr int kApiOriginal = 2;   // the JSON itself
// Page codes.
inline constexpr int kPageGbk = 0;
inline constexpr int kPageUtf8 = 1;

struct TestForm {
  std::string host = "localhost";
  int port = 80;
  int apiType = kApiOriginal;
  int pageCode = kPageGbk;
  std::string key = "qrst5821LMN";
  int clientId = 0;
  std::string requestName = "TimeStamp";
  std::string jsonData;
  std::string frontPath;
  std::string backPath;
  std::string kind = "EMS国际";
  std::string destination = "美国";
  std::string idCardNo;
  std::string name;
};

// A refusal of a button: the dialog's message text (GBK) and the control to focus.
struct Refusal {
  std::string message;
  FormField field = FormField::kNone;
};

// ApplyLimits: cuts every text of form that was typed, that is differs from its value in `shown`
// (what the controls were given, or what the settings file and the defaults gave), to its control's
// limit (never inside a two-byte character), as the controls do while typing. A text not typed keeps
// its length: a host or key from the settings file may hold 63 bytes.
void ApplyLimits(TestForm& form, const TestForm& shown);

// TrimText: text without blanks, TAB, CR, LF, VT and FF at both ends.
[[nodiscard]] std::string TrimText(const std::string& text);

// RequestPath: the request path of an API type ("/cgi-bin/Tarnwick.dll" for type 0, with "?DoApp"
// for types 1 and 2). REQUIRES: 0 <= apiType <= 2.
[[nodiscard]] const char* RequestPath(int apiType);

// GbkToUtf8String, Utf8ToGbkString: the text in the other encoding (GBK lacking a character: "?").
[[nodiscard]] std::string GbkToUtf8String(const std::string& gbk);
[[nodiscard]] std::string Utf8ToGbkString(const std::string& utf8);

// TestClientTime: the clock of the signatures: TARNWICK_TESTCLIENT_TIME (seconds) when that
// variable holds a number, else GetUtcTime().
[[nodiscard]] int64_t TestClientTime();

}  // namespace tw
