#pragma once
// The sample requests of the test client ("JSON样例(Example)>>>") and the body that a send posts.
//
// A sample is a JSON object: "RequestName", then for signed requests "icID", "TimeStamp" (the time t
// in seconds followed by "000") and "MD5" (the lower-case hex MD5 of the decimal client id, that time
// stamp and the key), then the members of the request kind. Text values are escaped with every
// character above 127 as "\uXXXX"; picture data is base64, whose alphabet needs no escape. There is
// no comma after the last member. The body is the JSON in the shape of the API type.
#include <cstdint>
#include <string>

#include "testclient/form.h"

namespace tw {

// The largest body a request can post (the request buffer).
inline constexpr size_t kRequestBufferSize = 1800000;
// The room of the URL-encoded JSON of an unsigned request.
inline constexpr size_t kUnsignedFormSize = 1024;
// Picture files are accepted from 2000 to 64000 bytes.
inline constexpr long kPictureMinBytes = 2000;
inline constexpr long kPictureMaxBytes = 64000;

struct BuiltRequest {
  std::string json;      // the whole JSON object, pictures included
  std::string readable;  // what the JSON data edit shows: the JSON with each picture as "xx..."
  std::string body;      // the bytes posted for the form's API type
  std::string md5;       // the signature; empty for unsigned requests
  std::string message;   // what the message output shows: "[POST Data]:\r\n" and the body
};

// IsUnsignedRequest: true for "TimeStamp" and "EmsKindList", which carry no signature.
[[nodiscard]] bool IsUnsignedRequest(const std::string& requestName);

// BuildSampleRequest: the sample of form.requestName at time t. False with the dialog's message in
// *refusal when a signed request lacks its key or client id, or a picture request its files.
[[nodiscard]] bool BuildSampleRequest(const TestForm& form, int64_t t, BuiltRequest* out,
                                      Refusal* refusal);

// WrapBody: the body for the API type: the JSON with "MfcISAPICommand=DoApp&d=" (type 0) or "d="
// (type 1) before its URL-encoded form, or the JSON itself (type 2). False when the encoded body
// would not fit `room` bytes with its NUL (nothing is sent then).
[[nodiscard]] bool WrapBody(int apiType, const std::string& json, size_t room, std::string* body);

}  // namespace tw
