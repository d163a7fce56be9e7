#include "services/internal/goods_rows.h"

#include "core/db_columns.h"
#include "core/paging.h"

namespace tw::entry {

namespace {

struct GoodsRow {
  DbText<63> cgoods = "";
  int32_t iquantity = 0;
  double fprice = 0;
  DbText<63> cgoodsa = "";
  DbText<63> cgcodea = "";
  DbText<63> cgcodeb = "";
  DbText<63> cgcodec = "";
  double fgcustom = 0;
  double fgcrate = 0;
};

}  // namespace

void PutGoodsRows(tw::OutBuf& out, DbStatement& st) {
  GoodsRow g;
  DbColumns(st).Text(g.cgoods).Int(g.iquantity).Double(g.fprice).Text(g.cgoodsa).Text(g.cgcodea).Text(g.cgcodeb)
      .Text(g.cgcodec).Double(g.fgcustom).Double(g.fgcrate);
  bool first = true;
  for (; DbOk(st.Fetch()); first = false) {
    const size_t mark = out.Mark();
    out.Append(first ? ",\"GoodsList\":[{" : ",{");
    CJsonFields(out)
        .Str("cxGoods", g.cgoods)
        .Int("ixQuantity", g.iquantity)
        .Real("fxPrice", g.fprice, 2)
        .Str("cxGoodsA", g.cgoodsa)
        .Str("cxGCodeA", g.cgcodea)
        .Str("cxGCodeB", g.cgcodeb)
        .Str("cxGCodeC", g.cgcodec)
        .Real("fxGCustom", g.fgcustom, 2)
        .Real("fxGCRate", g.fgcrate, 4);
    out.AppendChar('}');
    if (out.overflowed() || out.size() > kListReplyMaxBytes - kListCloseRoom) {
      out.Rewind(mark);
      break;
    }
  }
  if (!first) out.AppendChar(']');
}

void PutGoodsList(tw::OutBuf& out, PoolSlot& slot, const char* sql) {
  DbStatement st(slot.hDbc);
  if (!st.ok() || !DbOk(st.ExecDirect(sql))) return;
  PutGoodsRows(out, st);
}

}  // namespace tw::entry
