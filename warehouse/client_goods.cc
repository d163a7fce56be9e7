// "VstGoodsList" (DoApp): the goods a client has defined for warehousing, a page at a time in
// ascending order of name, filtered by a name prefix, a scan code prefix or a list of scan codes,
// and a mark prefix. Only the client's own active goods are ever listed.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/db.h"
#include "core/db_columns.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "util/escape.h"
#include "util/json.h"
#include "util/outbuf.h"
#include "warehouse/handlers.h"
#include "warehouse/internal/prefix_filter.h"

namespace {

constexpr size_t kNameMax = 63;
constexpr size_t kScanCodeMax = 30;
constexpr size_t kMarkMax = 15;
// A list of scan codes shorter than this goes into an IN piece.
constexpr size_t kScanListMax = 12000;
// Grams to kilograms.
constexpr double kGramsPerKilogram = 1000.0;

constexpr char kColumns[] =
    " cname,cmodel,cscan,cunit,imin,imax,iin,iout,ibag,giid,cnamee,iweight,clwh,ccolor,csize,cbrand,cgcode,cstore,"
    "cshelf,cmark,cmemo";
// By name; the goods id keeps pages of equal names apart.
constexpr char kOrder[] = " ORDER BY cname,giid";

// The "cqScanCode" value as sent, without unescaping: the text inside the quotes, or a bare value
// up to the next ",", "}" or "]" (so a bare value never runs over the keys after it). A trailing ","
// is dropped.
std::string_view RawScanCodes(std::string_view body) {
  const char* end = nullptr;
  const char* raw = tw::JsonGetRaw("cqScanCode", body, &end);
  if (raw == nullptr || end == nullptr) return {};
  std::string_view value(raw, static_cast<size_t>(end - raw));
  if (raw > body.data() && raw[-1] != '"') value = value.substr(0, value.find_first_of(",}]"));
  if (!value.empty() && value.back() == ',') value.remove_suffix(1);
  return value;
}

// The scan-code filter: a raw value holding "," and shorter than kScanListMax bytes is a list, each
// code decoded as the JSON readers decode texts and sanitised, joined into an IN piece (an empty
// code stands as ''); any other value, read as text of at most 30 bytes (a trailing "," dropped), is a
// prefix.
void AddScanCodeFilter(CListFilter& filter, std::string_view body) {
  const std::string_view raw = RawScanCodes(body);
  if (raw.find(',') != std::string_view::npos && raw.size() < kScanListMax) {
    std::string in;
    bool anyCode = false;
    for (size_t start = 0;;) {
      const size_t comma = raw.find(',', start);
      const std::string_view item = raw.substr(start, comma == std::string_view::npos ? comma : comma - start);
      std::string code(item.size() * 2 + 1, '\0');
      code.resize(tw::JsonUnescape(item, code.data(), code.size() - 1, tw::kJsonModeCodePage));
      // A code that is not GBK text names no stored goods.
      if (IsGbkText(code.c_str())) {
        in += anyCode ? ",'" : "'";
        in += tw::SqlEscape(code.c_str());
        in += '\'';
        anyCode = true;
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    if (!anyCode) {
      filter.Add("%s", kSqlSelectNothing);
      return;
    }
    filter.Add(" AND cscan IN(%s)", in.c_str());
    return;
  }
  char code[kScanCodeMax + 1];
  tw::JsonGetString("cqScanCode", body, code, kScanCodeMax, tw::kJsonModeCodePage);
  const size_t length = std::strlen(code);
  if (length > 0 && code[length - 1] == ',') code[length - 1] = '\0';  // "A1," is the code A1
  tw::warehouse::AddPrefix(filter, "cscan", code);
}

struct ClientGoodsRow {
  DbText<255> cname = "";
  DbText<63> cmodel = "";
  DbText<63> cscan = "";
  DbText<15> cunit = "";
  int32_t imin = 0, imax = 0, iin = 0, iout = 0, ibag = 0, giid = 0;
  DbText<255> cnamee = "";
  int32_t iweight = 0;  // grams
  DbText<63> clwh = "";
  DbText<15> ccolor = "";
  DbText<15> csize = "";
  DbText<15> cbrand = "";
  DbText<63> cgcode = "";
  DbText<63> cstore = "";
  DbText<31> cshelf = "";
  DbText<15> cmark = "";
  DbText<255> cmemo = "";
};

class ClientGoodsRows : public CListRows {
 public:
  void Bind(DbStatement& st) override {
    ClientGoodsRow& r = row_;
    DbColumns b(st);
    b.Text(r.cname).Text(r.cmodel).Text(r.cscan).Text(r.cunit).Int(r.imin).Int(r.imax).Int(r.iin).Int(r.iout);
    b.Int(r.ibag).Int(r.giid).Text(r.cnamee).Int(r.iweight).Text(r.clwh).Text(r.ccolor).Text(r.csize);
    b.Text(r.cbrand).Text(r.cgcode).Text(r.cstore).Text(r.cshelf).Text(r.cmark).Text(r.cmemo);
  }
  void Put(tw::OutBuf& out) override {
    const ClientGoodsRow& r = row_;
    out.AppendChar('{');
    CJsonFields(out).Int("iID", r.giid).Str("cName", r.cname).Str("cNameE", r.cnamee).Str("cScanCode", r.cscan)
        .Str("cGCode", r.cgcode).Str("cUnit", r.cunit).Real("fWeight", r.iweight / kGramsPerKilogram, 3)
        .Str("cLwh", r.clwh).Str("cColor", r.ccolor).Str("cSize", r.csize).Str("cBrand", r.cbrand)
        .Str("cModel", r.cmodel).Str("cMark", r.cmark).Str("cMemo", r.cmemo).Str("cStore", r.cstore)
        .Str("cShelf", r.cshelf).Int("iIn", r.iin).Int("iOut", r.iout).Int("iBag", r.ibag)
        .Int64("iQuantity", static_cast<int64_t>(r.iin) - r.iout).Int("iMin", r.imin).Int("iMax", r.imax);
    out.AppendChar('}');
  }

 private:
  ClientGoodsRow row_;
};

}  // namespace

namespace tw::warehouse {

void OnVstGoodsList(const CRequest& rq) {
  const std::string_view text(rq.body != nullptr ? rq.body : "");
  const int32_t icid = tw::JsonGetInt("icID", text, 0);
  if (icid <= 0) {
    WriteCode(rq.pCtxt, kRcBadClientId);
    return;
  }
  PagingKeys keys = ReadPagingKeys(text);
  if (keys.iPagePer < 0) keys.iPagePer = 0;  // the count-only form shows 0 rows per page
  char name[kNameMax + 1], mark[kMarkMax + 1];
  tw::JsonGetString("cqName", text, name, kNameMax, tw::kJsonModeCodePage);
  tw::JsonGetString("cqMark", text, mark, kMarkMax, tw::kJsonModeCodePage);
  PoolSlotGuard slot;
  if (!slot.ok()) {
    WriteCode(rq.pCtxt, kRcNoConnection);
    return;
  }

  CListFilter filter(slot.slot().szWork, kWorkBytes);
  filter.Base(" FROM dorvane.dbo.vst_goods_define WHERE icid=%d AND bactive=1", icid);
  tw::warehouse::AddPrefix(filter, "cname", name);
  AddScanCodeFilter(filter, text);
  tw::warehouse::AddPrefix(filter, "cmark", mark);

  PagedListShape shape;
  shape.columns = kColumns;
  shape.orderDesc = kOrder;
  ClientGoodsRows rows;
  RunPagedList(rq.pCtxt, slot.slot(), icid, keys, filter, {}, shape, rows);
}

}  // namespace tw::warehouse
