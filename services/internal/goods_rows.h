#pragma once
// The "GoodsList" of the client's reading replies: the goods lines of one shipment, pre-input
// shipment or transfer record, each table of goods rows selected with the same nine columns
// (cgoods, iquantity, fprice, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom, fgcrate) in wpos order.
//
// Functions work on the request's own statement, slot and reply buffer.

#include "core/db.h"
#include "core/pool.h"
#include "util/outbuf.h"

namespace tw::entry {

// PutGoodsRows: appends ,"GoodsList":[...] with the goods lines of the statement's current result
// set (its nine columns bound here); nothing when it has none. Lines that would outgrow the reply
// are left out, so the reply stays whole.
void PutGoodsRows(tw::OutBuf& out, DbStatement& st);

// PutGoodsList: runs the goods-line SELECT `sql` on the slot's connection and appends its lines as
// PutGoodsRows does; nothing when the statement does not run. REQUIRES: the caller holds the slot.
void PutGoodsList(tw::OutBuf& out, PoolSlot& slot, const char* sql);

}  // namespace tw::entry
