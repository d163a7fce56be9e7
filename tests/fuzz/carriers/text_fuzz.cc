// Texts from carriers and settings files through the carrier clients' parsers: nothing may read or
// write outside the given bytes, escaped XML never holds markup of its own, and what a label URL
// splits into is a host and path a request line can carry.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "carriers/carrier_clients.h"
#include "carriers/http_client.h"
#include "carriers/internal/carrier_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string cstr(text.c_str());  // the NUL-terminated prefix, as the readers see a file

  std::string host, path;
  int32_t port = 0;
  if (tw::carrier::SplitLabelUrl(text, host, &port, path) == 0) {
    if (host.empty() || host.size() >= 64 || path.size() >= 256 || path[0] != '/') std::abort();
    if (host.find_first_of("\r\n \t/") != std::string::npos || path.find_first_of("\r\n \t") != std::string::npos) {
      std::abort();
    }
    if (port < 1 || port > 65535) std::abort();
  }

  const std::string escaped = tw::carrier::XmlEscape(cstr);
  if (escaped.find_first_of("<>\"") != std::string::npos) std::abort();

  (void)ParseChunkSize(cstr.c_str());

  std::vector<char> out(65536);
  (void)InflateBody(data, size, out.data(), out.size(), true);
  (void)InflateBody(data, size, out.data(), out.size(), false);

  char joined[64];
  JoinSfErrors(cstr.c_str(), joined, sizeof joined);
  if (std::memchr(joined, '\0', sizeof joined) == nullptr) std::abort();

  CEubClient eub;
  (void)eub.LoadSettings(1, cstr.c_str());
  CAuPostClient au;
  (void)au.LoadSettings(1, cstr.c_str());
  CSfClient sf;
  (void)sf.LoadSettings(1, cstr.c_str());
  (void)eub.FindKind(cstr.c_str());
  return 0;
}
