#include "pda/internal/entry_sql.h"

#include <cstdio>

#include "core/db.h"
#include "pricing/ostrum_container.h"
#include "util/datetime.h"
#include "util/escape.h"

namespace tw::pda {

namespace {

constexpr int kCubicCmPerMetre = 1000000;

// The arguments of a call, written one after the other with "," between them.
class CallArgs {
 public:
  explicit CallArgs(std::string& out) : out_(out) {}
  CallArgs& Text(const char* text) {
    Next();
    out_ += '\'';
    out_ += tw::SqlEscape(text);
    out_ += '\'';
    return *this;
  }
  // A text that is already a statement of its own: only its quotes are doubled.
  CallArgs& Statement(std::string_view text) {
    Next();
    out_ += '\'';
    out_ += DoubleQuotes(text);
    out_ += '\'';
    return *this;
  }
  CallArgs& Int(int64_t value) {
    Next();
    out_ += std::to_string(value);
    return *this;
  }
  CallArgs& Real(double value, int decimals) {
    Next();
    out_ += StringPrintf("%.*f", decimals, value);
    return *this;
  }
  // A constant of the call, written as it stands.
  CallArgs& Raw(const char* text) {
    Next();
    out_ += text;
    return *this;
  }
  int count() const { return count_; }

 private:
  void Next() {
    if (count_++ > 0) out_ += ',';
  }
  std::string& out_;
  int count_ = 0;
};

}  // namespace

std::string DoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string BuildWeightDetailInsert(std::span<const PieceItem> pieces, size_t rows, std::string_view recordId) {
  if (rows > pieces.size()) rows = pieces.size();
  if (rows == 0) return {};
  std::string sql = "INSERT INTO dorvane.dbo.client_rec_weight_detail";
  sql += COstrumContainer::kColumnLists[1];
  const std::string id(recordId);
  for (size_t i = 0; i < rows; ++i) {
    const PieceItem& p = pieces[i];
    sql += StringPrintf(
        "%s select %s,%d,%d,%d,%d,%d,'%s',%.2f,%.2f,%d,%d,'%s',%d,%d,'%s','%s','%s','%s','%s','%s',%.2f,%.4f",
        i == 0 ? "" : " union all", id.c_str(), p.length, p.width, p.height, p.weight, static_cast<int>(p.percent),
        tw::SqlEscape(p.cxNo).c_str(), p.famount, p.fcost, p.ibag, static_cast<int>(i + 1),
        tw::SqlEscape(p.cxGoods).c_str(), p.quantity, p.price, tw::SqlEscape(p.cxRNo).c_str(),
        tw::SqlEscape(p.cxNum).c_str(), tw::SqlEscape(p.cxGoodsA).c_str(), tw::SqlEscape(p.cxGCodeA).c_str(),
        tw::SqlEscape(p.cxGCodeB).c_str(), tw::SqlEscape(p.cxGCodeC).c_str(), p.fxGCustom, p.fxGCRate);
  }
  return sql;
}

std::string BuildRecordGoodsInsert(std::span<const GoodsLine> lines, int32_t irid) {
  std::string sql = "INSERT INTO dorvane.dbo.client_rec_goods";
  sql += COstrumContainer::kColumnLists[0];
  for (size_t i = 0; i < lines.size(); ++i) {
    const GoodsLine& g = lines[i];
    sql += StringPrintf("%s select %d,%d,'%s','',%d,%.2f,'%s','%s','%s','%s',%.2f,%.4f ", i == 0 ? "" : " union all",
                        static_cast<int>(i), irid, tw::SqlEscape(g.cxGoods).c_str(), g.ixQuantity, g.fxPrice,
                        tw::SqlEscape(g.cxGoodsA).c_str(), tw::SqlEscape(g.cxGCodeA).c_str(),
                        tw::SqlEscape(g.cxGCodeB).c_str(), tw::SqlEscape(g.cxGCodeC).c_str(), g.fxGCustom,
                        g.fxGCRate);
  }
  return sql;
}

int64_t VolumeCm3(double cubicMetres) {
  if (!(cubicMetres > 0)) return 0;
  if (cubicMetres > kMaxCubicMetres) cubicMetres = kMaxCubicMetres;
  return tw::ScaleToInt(cubicMetres, kCubicCmPerMetre);
}

std::string BuildFastAddCall(const FastAddValues& v) {
  std::string sql = "{?=CALL dorvane.dbo.cp_client_rec_fast_add(CAST(ROW(";
  sql.reserve(4096 + v.weightDetail.size() * 2);
  CallArgs a(sql);
  a.Int(v.icid).Int(v.nitemtype).Int(v.nlanguage).Text(v.ddate).Raw("0").Int(v.npayway);          // 1-6
  a.Text(v.cinput).Text(v.cemskind).Text(v.caddrfrom).Text(v.cdes).Text(v.cnum).Text(v.cserviceno);  // 7-12
  a.Real(v.fweight, 3).Real(v.famount, 2);                                                           // 13-14
  a.Text(v.csender).Text(v.creceiver).Text(v.cphone).Text(v.cunitname).Text(v.cpostcode).Text(v.caddr);  // 15-20
  a.Text(v.ccountry).Text(v.ccity).Text(v.cprovince).Text(v.cmname).Text(v.ctaker);                  // 21-25
  a.Raw("''").Raw("''").Raw("'1900.1.1'").Raw("'1900.1.1'").Raw("''");                               // 26-30
  a.Text(v.cmemo).Int(v.ireserve).Raw("0").Real(v.fweights, 3).Text(v.clwh).Real(v.fweightb, 3);    // 31-36
  a.Int(v.piid).Real(v.fsprice, 2).Real(v.fsprices, 2).Raw("0").Raw("0").Real(0, 2);                 // 37-42
  a.Real(v.fabase, 2).Real(v.faaddon, 2).Real(v.facustom, 2).Real(v.faother, 2).Real(v.faaddrate, 4);  // 43-47
  a.Text(v.cgoods).Int(v.iquantity).Int(v.iprice).Text(v.cpacking).Text(v.ctransnote);              // 48-52
  a.Int(v.idvalue).Int(v.iivalue).Real(v.faget, 2).Real(0, 2).Real(v.fasafe, 2).Real(v.fapack, 2);   // 53-58
  a.Raw("0").Real(0, 2).Text(v.cmoney).Real(v.foprice, 2);                                           // 59-62
  a.Text(v.csunitname).Text(v.csaddr).Text(v.csphone).Text(v.cspostcode).Text(v.cscountry);          // 63-67
  a.Text(v.csprovince).Text(v.cscity).Text(v.cmark).Text(v.cpaydir).Text(v.corigin);                 // 68-72
  a.Int(v.iitem).Statement(v.weightDetail).Int(v.nfrom).Real(v.fweighti, 3);                         // 73-76
  a.Text(v.crno).Text(v.cstation).Raw("0").Raw("0").Text(v.csmsnumber).Real(v.fgoods, 2);            // 77-82
  a.Raw("''").Raw("'1900.1.1'").Text(v.ccno).Text(v.cdepart).Text(v.csemail).Text(v.cremail);       // 83-88
  a.Text(v.crsms).Text(v.creserve).Raw("0").Raw("0").Raw("0").Raw("0").Raw("0").Raw("''");          // 89-96
  a.Text(v.cby1).Text(v.cby2).Text(v.cby3).Text(v.cby4).Text(v.cby5);                               // 97-101
  a.Int(v.icubic).Int(v.iidr).Int(v.iids).Int(v.iidi).Raw("''");                                     // 102-106
  a.Text(v.cgoodsa).Text(v.cgcodea).Text(v.cgcodeb).Text(v.cgcodec);                                 // 107-110
  a.Real(v.fgcustom, 2).Real(v.fgcrate, 4).Real(v.facheck, 2).Real(v.faremote, 2).Real(v.faby, 2);   // 111-115
  a.Real(v.fdiscount, 4).Real(v.focustomc, 2);                                                       // 116-117
  sql += ") AS dbo.client_rec_fast_add_args))}";
  return sql;
}

std::string BuildReweightCall(const ReweightValues& v) {
  std::string sql = "{?=CALL dorvane.dbo.cp_client_rec_reweight_ex(";
  CallArgs a(sql);
  a.Int(v.irid).Int(v.icid).Real(v.fweight, 3).Real(v.famount, 2).Text(v.opname).Real(v.fsprice, 2);
  a.Text(v.ctaker).Text(v.clwh).Real(v.fweights, 3).Real(v.fweightb, 3).Int(v.iitem);
  a.Real(v.fsprices, 2).Real(v.fabase, 2).Real(v.faaddon, 2).Real(v.facustom, 2).Real(v.faother, 2);
  a.Real(v.faaddrate, 4).Real(v.faget, 2).Real(v.facarry, 2).Real(v.fasafe, 2).Real(v.fapack, 2);
  a.Real(v.fabaserate, 2).Real(v.foprice, 2).Int(v.icubic).Statement(v.pieces);
  a.Real(v.facheck, 2).Real(v.faremote, 2).Real(v.faby, 2).Real(v.fdiscount, 4).Real(v.focustomc, 2);
  sql += ")}";
  return sql;
}

}  // namespace tw::pda
