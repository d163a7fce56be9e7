#pragma once
// The picture work of "DoIDCardPicSet": the two sides of an identity card, as uploaded, made into
// one watermarked JPEG of both sides next to each other (610 x 195).
//
// Thread-safety: reentrant; each call works on pictures of its own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/config.h"

namespace tw::idcard {

// The card size each side is brought to, and the joined picture.
inline constexpr uint32_t kCardWidth = 305;
inline constexpr uint32_t kCardHeight = 195;
inline constexpr uint32_t kJoinedWidth = 2 * kCardWidth;
// Where the watermark starts on each side (top-down coordinates) and its turn: 45 degrees clockwise.
inline constexpr int64_t kWatermarkX = 75;
inline constexpr int64_t kWatermarkY = -5;
inline constexpr int32_t kWatermarkEscapement = -450;

// Refusals of the picture work, in the handler's codes.
inline constexpr int kRcBadPicture1 = -21;   // the first side is no picture the library reads
inline constexpr int kRcBadPicture2 = -22;   // nor the second
inline constexpr int kRcEncodeFailed = -23;  // the joined picture could not be encoded
inline constexpr int kRcNoJpeg = -24;        // no JPEG came out, or it is too large to keep

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};
using JpegBytes = std::unique_ptr<uint8_t, FreeDeleter>;

// MakeCardJpeg: decodes both sides (any format the image library detects), fits each to 305 x 195
// (a wider side thumbnailed on white, aspect kept; a narrower one stretched bilinearly; one exactly
// 305 wide left as it is), stamps the watermark of `mark` on each, joins them (first side left) and
// encodes the result as JPEG of the configured quality, at most maxBytes long. Returns 0 with the
// JPEG in *jpeg and its length in *length, else one of the refusal codes above. *drawn receives
// how many sides got their watermark (2 unless no installed font can draw it).
[[nodiscard]] int MakeCardJpeg(const uint8_t* side1, size_t length1, const uint8_t* side2, size_t length2,
                               const WatermarkSettingsRecord& mark, size_t maxBytes, JpegBytes* jpeg, size_t* length,
                               int* drawn);

// DecodePictureField: turns a picture value of the request, in place, from its base64 text into the
// bytes it holds. The text runs from raw to end (end is overwritten with a NUL); blanks are read as
// "+" (a URL-decoded body turned them into blanks) and a backslash before "/" (JSON's escaped
// solidus) is dropped. Returns the byte count, or a negative value when the text is no base64.
[[nodiscard]] long DecodePictureField(char* raw, char* end);

}  // namespace tw::idcard
