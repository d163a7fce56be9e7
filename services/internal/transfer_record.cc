#include "services/internal/transfer_record.h"

#include <cstring>
#include <ctime>

#include "core/db.h"
#include "util/datetime.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::entry {

namespace {

constexpr int kCents = 100;
constexpr char kZeroBytes[] = "'\\x000000000000000000000000'::bytea";

struct IntKey {
  const char* key;
  int32_t TransferRecord::*field;
};
constexpr IntKey kIntKeys[] = {
    {"iID", &TransferRecord::iID},         {"nItemType", &TransferRecord::nItemType},
    {"iItem", &TransferRecord::iItem},     {"nOpen", &TransferRecord::nOpen},
    {"iQuantity", &TransferRecord::iQuantity}, {"nEx1", &TransferRecord::nEx1},
    {"nEx2", &TransferRecord::nEx2},       {"nEx3", &TransferRecord::nEx3},
};

struct RealKey {
  const char* key;
  double TransferRecord::*field;
};
constexpr RealKey kRealKeys[] = {
    {"fWeight", &TransferRecord::fWeight}, {"fAmount", &TransferRecord::fAmount},
    {"fPrice", &TransferRecord::fPrice},   {"fGoods", &TransferRecord::fGoods},
    {"fGoodsc", &TransferRecord::fGoodsc}, {"fDValue", &TransferRecord::fDValue},
    {"fIValue", &TransferRecord::fIValue}, {"fGCustom", &TransferRecord::fGCustom},
    {"fGCRate", &TransferRecord::fGCRate},
};

// A text key, its field and the longest value kept (its buffer less the NUL).
struct TextKey {
  const char* key;
  char* (*field)(TransferRecord&);
  size_t max;
};
#define TW_TEXT_KEY(name, member) \
  {name, [](TransferRecord& r) { return r.member; }, sizeof(TransferRecord::member) - 1}
const TextKey kTextKeys[] = {
    TW_TEXT_KEY("cNum", cNum),         TW_TEXT_KEY("cEmsKind", cEmsKind),   TW_TEXT_KEY("cMark", cMark),
    TW_TEXT_KEY("cMemo", cMemo),       TW_TEXT_KEY("cEx1", cEx1),           TW_TEXT_KEY("cEx2", cEx2),
    TW_TEXT_KEY("cEx3", cEx3),         TW_TEXT_KEY("cGoods", cGoods),       TW_TEXT_KEY("cGoodsA", cGoodsA),
    TW_TEXT_KEY("cPayDir", cPayDir),   TW_TEXT_KEY("cMoney", cMoney),       TW_TEXT_KEY("cGCodeA", cGCodeA),
    TW_TEXT_KEY("cGCodeB", cGCodeB),   TW_TEXT_KEY("cGCodeC", cGCodeC),     TW_TEXT_KEY("cPacking", cPacking),
    TW_TEXT_KEY("cTransNote", cTransNote), TW_TEXT_KEY("cStationc", cStationc),
};
#undef TW_TEXT_KEY

template <size_t N>
void CopyField(char (&out)[N], const char* text) {
  tw::CopyTextLimited(out, text, N - 1);
}

std::string Sql(const char* text) { return tw::SqlEscape(text); }
long long Cents(double value) { return static_cast<long long>(tw::ScaleToInt(value, kCents)); }

// The end of the JSON string that starts at text[at] (its opening quote): the index after its
// closing quote, or text.size() when it is not closed.
size_t SkipString(std::string_view text, size_t at) {
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return i + 1;
    }
  }
  return text.size();
}

// Whether the object text ({...}) has `key` among its own keys (not those of nested values).
bool HasTopLevelKey(std::string_view object, std::string_view key) {
  int depth = 0;
  for (size_t i = 0; i < object.size();) {
    const char c = object[i];
    if (c == '"') {
      const size_t end = SkipString(object, i);
      if (depth == 1 && end - i == key.size() + 2 && object.substr(i + 1, key.size()) == key) {
        size_t j = end;
        while (j < object.size() && (object[j] == ' ' || object[j] == '\t' || object[j] == '\r' || object[j] == '\n')) {
          ++j;
        }
        if (j < object.size() && object[j] == ':') return true;
      }
      i = end;
      continue;
    }
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') --depth;
    ++i;
  }
  return false;
}

}  // namespace

bool CutRecordObjects(std::string_view list, size_t max, std::vector<std::string_view>& records) {
  records.clear();
  // The key, its colon and the list's opening bracket.
  size_t at = list.find(':');
  if (at == std::string_view::npos) return false;
  at = tw::JsonSkipBlanks(list, at + 1);
  if (at >= list.size() || list[at] != '[') return false;
  int depth = 0;  // inside the list: 0; inside one of its objects: 1 and more
  size_t start = 0;
  for (size_t i = at + 1; i < list.size();) {
    const char c = list[i];
    if (c == '"') {
      i = SkipString(list, i);
      continue;
    }
    if (c == '{' || c == '[') {
      if (depth == 0 && c == '{') start = i;
      ++depth;
    } else if (c == '}' || c == ']') {
      if (depth == 0) break;  // the end of the list
      --depth;
      if (depth == 0 && c == '}') {
        const std::string_view object = list.substr(start, i + 1 - start);
        if (HasTopLevelKey(object, "iID")) {
          if (records.size() == max) {
            records.clear();
            return false;
          }
          records.push_back(object);
        }
      }
    }
    ++i;
  }
  return true;
}

void ReadTransferRecord(std::string_view text, TransferRecord& r) {
  for (const IntKey& k : kIntKeys) r.*k.field = tw::JsonGetInt(k.key, text, 0);
  for (const RealKey& k : kRealKeys) r.*k.field = tw::JsonGetDouble(k.key, text, 0);
  for (const TextKey& k : kTextKeys) tw::JsonGetString(k.key, text, k.field(r), k.max, tw::kJsonModeCodePage);
}

void FoldTransferGoods(TransferRecord& r) {
  if (r.iQuantity >= 1 || r.cGoods[0] != '\0' || r.goods.empty()) return;
  double totalValue = 0, totalCustom = 0;
  int64_t totalQuantity = 0;
  for (const GoodsLine& line : r.goods) {
    totalQuantity += line.ixQuantity;
    totalValue += line.ixQuantity * line.fxPrice;
    totalCustom += line.fxGCustom;
  }
  if (totalQuantity < 1) return;
  const GoodsLine& first = r.goods.front();
  if (r.goods.size() == 1) {
    r.fPrice = first.fxPrice;
    r.iQuantity = first.ixQuantity;
  } else {
    r.fPrice = totalValue;
    r.iQuantity = 1;
  }
  r.fDValue = totalValue;
  r.fGCustom = totalCustom;
  r.fGCRate = first.fxGCRate;
  CopyField(r.cGoods, first.cxGoods);
  CopyField(r.cGoodsA, first.cxGoodsA);
  CopyField(r.cGCodeA, first.cxGCodeA);
  CopyField(r.cGCodeB, first.cxGCodeB);
  CopyField(r.cGCodeC, first.cxGCodeC);
}

void NormalizeTransferRecord(TransferRecord& r) {
  if (r.nItemType < 0 || r.nItemType > 2) r.nItemType = 1;
  if (r.iItem < 1) r.iItem = 1;
  if (r.nOpen != 1) r.nOpen = 0;
  if (r.iQuantity < 0) r.iQuantity = 0;
  for (const RealKey& k : kRealKeys) {
    if (k.field != &TransferRecord::fAmount && r.*k.field < 0) r.*k.field = 0;
  }
  tw::MakeUpperAscii(r.cNum);
}

std::string BuildTransferSetCall(const TransferRecord& r, int32_t clientId, const unsigned char address[4],
                                 const char* localTime) {
  return StringPrintf(
      "{?=CALL dorvane.dbo.cp_rec_trans_set(%d,%d,%d,%.3f,%.2f,'%s',0,'%s',%d,%.2f,%.2f,'%s',%d,%lld,'%s','%s','%s',"
      "%lld,%lld,1,%s,%s,'%s','%s','%s','%s',%d,'','%s',0,0,%d,%d,%d,'%s','%s','%s','%s','%s','%s','%s',%.2f,%.4f)}",
      r.iID, clientId, r.nItemType, r.fWeight, r.fAmount, Sql(localTime).c_str(), Sql(r.cMemo).c_str(), r.iItem,
      r.fGoods, r.fGoodsc, Sql(r.cGoods).c_str(), r.iQuantity, Cents(r.fPrice), Sql(r.cMoney).c_str(),
      Sql(r.cPacking).c_str(), Sql(r.cTransNote).c_str(), Cents(r.fDValue), Cents(r.fIValue),
      AddressLiteral(address).c_str(), kZeroBytes, Sql(r.cEmsKind).c_str(), Sql(r.cNum).c_str(),
      Sql(r.cPayDir).c_str(), Sql(r.cMark).c_str(), r.nOpen, Sql(r.cStationc).c_str(), r.nEx1, r.nEx2, r.nEx3,
      Sql(r.cEx1).c_str(), Sql(r.cEx2).c_str(), Sql(r.cEx3).c_str(), Sql(r.cGoodsA).c_str(), Sql(r.cGCodeA).c_str(),
      Sql(r.cGCodeB).c_str(), Sql(r.cGCodeC).c_str(), r.fGCustom, r.fGCRate);
}

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y.%m.%d %H:%M:%S", &local);
  return text;
}

}  // namespace tw::entry
