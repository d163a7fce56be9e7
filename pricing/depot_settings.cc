#include "pricing/depot_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/numbering.h"

namespace {

constexpr double kMinLoad = 0.001;
constexpr size_t kScanBarcodeMin = 20;
constexpr size_t kScanNumberMax = 30;

struct OperationName {
  int32_t code;
  const char* name;
};
constexpr OperationName kOperationNames[] = {
    {1, "入库:预录"},  {2, "入库:审核"},  {3, "入库:提货"},  {4, "入库:质检"},    {5, "入库:确认"},
    {6, "入库:序列号"}, {7, "入库:退件"},  {11, "库内:上架"}, {12, "库内:下架"},   {13, "库内:拣选"},
    {14, "库内:盘库"}, {15, "库内:移库"}, {21, "出库:预录"}, {22, "出库:审核"},   {23, "出库:拣选"},
    {24, "出库:质检"}, {25, "出库:包装"}, {26, "出库:确认"}, {27, "出库:序列号"}, {31, "材料:入库"},
    {32, "材料:出库"}, {41, "扫描:序列号"},
};

bool AllDigits(const std::string& s, size_t from = 0) {
  if (from >= s.size()) return false;
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// Inserts p before the first element whose key is not smaller.
template <typename Key>
void InsertSorted(std::vector<const DepotPackage*>& list, const DepotPackage* p, Key key) {
  auto at = std::find_if(list.begin(), list.end(), [&](const DepotPackage* q) { return !(key(q) < key(p)); });
  list.insert(at, p);
}

}  // namespace

const DepotOperation* CDepotSettings::FindOperation(int32_t ntype) const {
  for (const DepotOperation& op : operations_) {
    if (op.ntype == ntype) return &op;
  }
  return nullptr;
}

const DepotPackage* CDepotSettings::FindPackage(int32_t ipid) const {
  for (const auto& p : packages_) {
    if (p->ipid == ipid) return p.get();
  }
  return nullptr;
}

const DepotCart* CDepotSettings::FindCart(int32_t iaid) const {
  for (const DepotCart& c : carts_) {
    if (c.iaid == iaid) return &c;
  }
  return nullptr;
}

int CDepotSettings::SetOperation(const DepotOperation& op) {
  for (DepotOperation& known : operations_) {
    if (known.ntype == op.ntype) {
      known = op;
      return 1;
    }
  }
  operations_.push_back(op);
  return 0;
}

int CDepotSettings::SetCart(const DepotCart& cart) {
  for (DepotCart& known : carts_) {
    if (known.iaid == cart.iaid) {
      known = cart;
      return 1;
    }
  }
  auto at = std::find_if(carts_.begin(), carts_.end(), [&](const DepotCart& c) { return c.ipos >= cart.ipos; });
  carts_.insert(at, cart);
  return 0;
}

int CDepotSettings::AddPackage(const DepotPackage& package) {
  if (package.fmaxload < kMinLoad) return 0;
  DepotPackage p = package;
  if (p.ilong < p.iwidth) std::swap(p.ilong, p.iwidth);
  if (p.ilong < p.iheight) std::swap(p.ilong, p.iheight);
  if (p.iwidth < p.iheight) std::swap(p.iwidth, p.iheight);
  // Three sides of 2000 overflow 32 bits: the product is taken in 64. A side of 0 or less (two
  // negative sides would make a positive volume) or a volume beyond 64 bits leaves the box out.
  if (p.iheight <= 0) return 0;
  if (__builtin_mul_overflow(static_cast<int64_t>(p.ilong), static_cast<int64_t>(p.iwidth), &p.volume) ||
      __builtin_mul_overflow(p.volume, static_cast<int64_t>(p.iheight), &p.volume)) {
    return 0;
  }
  p.loadPerVolume = p.fmaxload * 1000000.0 / static_cast<double>(p.volume);
  maxSide_ = std::max(maxSide_, p.ilong);
  maxLoad_ = std::max(maxLoad_, p.fmaxload);
  maxVolume_ = std::max(maxVolume_, p.volume);

  for (auto& known : packages_) {
    if (known->ipid == p.ipid) {
      *known = p;
      return 1;
    }
  }
  packages_.push_back(std::make_unique<DepotPackage>(p));
  const DepotPackage* held = packages_.back().get();
  InsertSorted(bySide_, held, [](const DepotPackage* q) { return q->ilong; });
  InsertSorted(byLoad_, held, [](const DepotPackage* q) { return q->fmaxload; });
  InsertSorted(byVolume_, held, [](const DepotPackage* q) { return q->volume; });
  return 0;
}

const char* GetWarehouseOperationName(int32_t code) {
  for (const OperationName& n : kOperationNames) {
    if (n.code == code) return n.name;
  }
  return "未知";
}

void NormalizeScannedBarcode(std::string& text) {
  const size_t n = text.size();
  if (n == 21 && AllDigits(text)) {
    text = text.substr(5);
  } else if (n == 28 && text[0] == '%') {
    // The check character is computed over the upper-cased characters, so it always lies in 0..Z.
    std::string body = text.substr(8, 14);
    const char check = CheckCharMod3736(UpperAscii(body).c_str());
    text = body + check;
  } else if (n == 29 && text.compare(0, 6, "997001") == 0) {
    text = text.substr(8, 16);
  } else if (n == 30 && AllDigits(text)) {
    text = text.substr(8);
  } else if (n == 34 && text.compare(0, 3, "420") == 0) {
    text = text.substr(8);
  } else if (n == 34 && AllDigits(text, 22)) {
    text = text.substr(22);
  }
}

std::string NormalizeScannedNumber(const char* text) {
  std::string scan = text != nullptr ? text : "";
  if (scan.size() >= kScanBarcodeMin) NormalizeScannedBarcode(scan);
  std::string out;
  for (char ch : scan) {
    if (out.size() >= kScanNumberMax) break;
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= ' ' || c >= 0x80 || c == '\'' || c == '"' || c == '&') continue;
    out.push_back(ch);
  }
  return UpperAscii(out);
}

std::string FormatShelfText(const char* shelf, uint32_t column, uint32_t layer) {
  char tail[48];
  std::snprintf(tail, sizeof tail, "|%u列|%u层", column, layer);
  return std::string(shelf != nullptr ? shelf : "") + tail;
}
