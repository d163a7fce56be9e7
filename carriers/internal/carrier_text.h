#pragma once
// Helpers the three carrier clients share: settings blocks and kind maps, XML and attribute
// escaping, the field cleaner, code-page conversions sized from the actual length, label URLs and
// the label fetch with its retries.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "carriers/carrier_clients.h"

struct HttpRequest;
class CCarrierGate;
struct PoolSlot;

namespace tw::carrier {

// SettingsBlock: the text between the line "<start>" and "<end>" (both included in the search as
// given), NUL-terminated in a string of its own; false when the start marker is absent.
bool SettingsBlock(const char* text, const char* start, const char* end, std::string& out);

// ReadKinds: the kind lines "kind=code[=product]" of a block. codeLength: how many characters of
// the code to keep after '=' (1 for EUB, with the product after a second '='; 2 for the others,
// stopping at CR, LF, blank or the end).
std::vector<CarrierKind> ReadKinds(const std::string& block, size_t codeLength, bool bProduct);
const CarrierKind* FindKindIn(const std::vector<CarrierKind>& kinds, const char* kind);

// A setting text into a fixed field (empty unless its length lies within minLen..maxLen).
template <size_t N>
void Setting(const char* key, const char* text, char (&out)[N], size_t minLen, size_t maxLen);

// A port of a settings file: outside 80..65535 (0 included) it is 80.
int32_t SettingPort(const char* key, const char* text, int32_t def);

// XmlEscape: &, <, >, " and ' as entities; a well-formed decimal reference "&#NNN;" is kept.
std::string XmlEscape(const std::string& text);
// CleanField: markup removed and the basic entities decoded, line breaks kept.
std::string CleanField(const char* text);

// Element: "<name>escaped value</name>\r\n", or "<name/>\r\n" for an empty value.
void Element(std::string& xml, const char* name, const std::string& value);

// GBK to UTF-8 and back, of any length.
std::string ToUtf8(const std::string& gbk);
std::string ToGbk(const std::string& utf8);

// UpperAscii: ASCII letters upper-cased.
std::string UpperAscii(std::string text);
// EnglishName: the English goods name, else the pinyin of the Chinese one, as it is (the carriers
// that want it in capitals upper-case it themselves).
std::string EnglishName(const char* english, const char* chinese);

// Between: the text after `open` up to `close` (from the first `open`), false when either is absent.
bool Between(const std::string& text, const std::string& open, const std::string& close, std::string& out);

// SplitLabelUrl: host (with ":port" removed into *port, default 80) and path of an "http://" URL
// given by a carrier, its XML entities decoded first. 0, or -3 empty, -4 not "http://", -5 no path,
// -6 path of 256 characters or more, -7 host of 64 or more (CR, LF or blanks in either, or a bad
// port: -4).
int SplitLabelUrl(const std::string& url, std::string& host, int32_t* port, std::string& path);

// FetchLabel: GETs the label from host:port path on the slot (the body into the slot's reply buffer,
// the header into its work area), up to three attempts 1000 ms apart while the reply is not a PDF.
// Returns the PDF's length with *body set, or -2 (a failed request ends at once; the stop of the
// worker ends the wait between attempts). Every attempt goes through the account's gate; a refused
// one (busy, breaker open) is a failed request.
int FetchLabel(PoolSlot& slot, CCarrierGate& gate, const char* host, int32_t port, const char* path, bool bAcceptEncoding,
               const char** body);
// FetchLabelFromUrl: FetchLabel (with Accept-Encoding) of the label at a URL a carrier gave. Returns
// the PDF's length with *body set, SplitLabelUrl's code (-3 to -7) for a URL it refuses, or -2.
int FetchLabelFromUrl(PoolSlot& slot, CCarrierGate& gate, const std::string& url, const char** body);

// The carriers' fixed time-outs.
inline constexpr int32_t kConnectTimeoutS = 20;
inline constexpr int32_t kOrderTimeoutMs = 30000;
inline constexpr int32_t kLabelSendTimeoutMs = 60000;
inline constexpr int32_t kLabelRecvTimeoutMs = 180000;

// How many bytes a carrier's reply header may take.
inline constexpr size_t kReplyHeaderRoom = 32000;
// UseSessionWork: gives a session's request its work in the slot: the first kCarrierWorkBytes of
// the reply buffer, with the reply header kept headerOffset bytes into it (kReplyHeaderRoom bytes).
// REQUIRES: headerOffset + kReplyHeaderRoom within the reply buffer.
void UseSessionWork(HttpRequest& r, PoolSlot& slot, size_t headerOffset);

// Text copy into a fixed field, cut on a character boundary.
template <size_t N>
void Copy(char (&out)[N], const std::string& text);

}  // namespace tw::carrier

#include "carriers/internal/carrier_text_inl.h"
