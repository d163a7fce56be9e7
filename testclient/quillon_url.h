#pragma once
// Signed test URLs for the two commands of the sibling Quillon extension: a waybill number for an
// express kind (EmsApiGetNo) and the transfer number of an internal number (EmsApiQuery).
//
// The input is the JSON data text, trimmed. The output is the message text the dialog shows: the
// signed text and its signature, an empty line, the URL, and a note for the tester (GBK, CR LF).
#include <cstdint>
#include <string>

#include "testclient/form.h"

namespace tw {

// BuildGetNoUrl: the number request for the express kind in form.jsonData, signed at time t.
// REQUIRES nothing; false with the dialog's message in *refusal when the key is empty, the client id
// is not positive or the kind is not 1 to 15 bytes.
[[nodiscard]] bool BuildGetNoUrl(const TestForm& form, int64_t t, std::string* out, Refusal* refusal);
// BuildQueryUrl: the query request for the internal number in form.jsonData; false with the
// dialog's message when the key is empty, the client id is not positive or the number is not 7 to
// 60 bytes.
[[nodiscard]] bool BuildQueryUrl(const TestForm& form, std::string* out, Refusal* refusal);

}  // namespace tw
