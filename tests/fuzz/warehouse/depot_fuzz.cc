// The depot settings' inputs that come from scans and requests: a scanned number is always at most
// 30 printable characters without quotes, ampersands or lower-case letters; a goods condition never
// lets a quote out of its literal; packing boxes of any sides keep their three lists sorted.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pricing/depot_settings.h"
#include "warehouse/internal/request.h"

namespace {

void CheckScannedNumber(const std::string& text) {
  const std::string n = NormalizeScannedNumber(text.c_str());
  if (n.size() > 30) std::abort();
  for (char ch : n) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= ' ' || c >= 0x80 || c == '\'' || c == '"' || c == '&' || (c >= 'a' && c <= 'z')) std::abort();
  }
  std::string scan = text;
  NormalizeScannedBarcode(scan);
  if (scan.size() > text.size()) std::abort();
}

// Every quote inside the literal of "b.cgcode='...'" is doubled.
void CheckCondition(const std::string& text) {
  const std::string c = tw::warehouse::GoodsCondition(0, text.c_str(), 0, "");
  if (c.empty() || c == "1=0") return;
  const std::string head = "b.cgcode='";
  if (c.compare(0, head.size(), head) != 0 || c.back() != '\'') std::abort();
  const std::string inner = c.substr(head.size(), c.size() - head.size() - 1);
  for (size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] != '\'') continue;
    if (i + 1 >= inner.size() || inner[i + 1] != '\'') std::abort();
    ++i;
  }
}

template <typename Key>
void CheckAscending(const std::vector<const DepotPackage*>& list, Key key) {
  for (size_t i = 1; i < list.size(); ++i) {
    if (key(list[i]) < key(list[i - 1])) std::abort();
  }
}

void CheckPackages(const uint8_t* data, size_t size) {
  CDepotSettings d;
  for (size_t at = 0; at + 14 <= size; at += 14) {
    DepotPackage p;
    int32_t v[3];
    std::memcpy(v, data + at, sizeof v);
    // Distinct ids: a box overwritten in place keeps its place in the lists, whatever its new sides.
    p.ipid = static_cast<int32_t>(at / 14) * 256 + data[at + 12];
    p.ilong = v[0];
    p.iwidth = v[1];
    p.iheight = v[2];
    p.fmaxload = data[at + 13] / 16.0;
    d.AddPackage(p);
  }
  for (const DepotPackage* p : d.packagesBySide()) {
    if (!(p->ilong >= p->iwidth && p->iwidth >= p->iheight) || p->volume <= 0) std::abort();
  }
  CheckAscending(d.packagesBySide(), [](const DepotPackage* p) { return p->ilong; });
  CheckAscending(d.packagesByLoad(), [](const DepotPackage* p) { return p->fmaxload; });
  CheckAscending(d.packagesByVolume(), [](const DepotPackage* p) { return p->volume; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  CheckScannedNumber(text);
  CheckCondition(text);
  CheckPackages(data, size);
  return 0;
}
