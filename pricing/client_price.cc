// The client's price of a shipment: the table price of the kind (or the undifferentiated base price),
// the client's special price and discounts, the fuel surcharge and the customs fee.

#include <cstring>
#include <string>

#include "core/db.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr char kClientPriceGetSql[] = "{?=CALL dorvane.dbo.cp_ee_client_price_get(?,?,%d,%d,%d,'%s','%s',%s)}";
constexpr char kDiscountSql[] = "SELECT baddons,vdiscount,iother FROM dorvane.dbo.client_discount WHERE icid=%d AND cemskind='%s'";
// The discount row of the undifferentiated (base) price is kept under this kind name.
constexpr char kBaseDiscountKind[] = "无差别价格";
constexpr char kKindBase[] = "无差别价";
constexpr char kKindPeer[] = "同行价";
constexpr char kKindSpecial[] = "特殊价";
constexpr int kNoBusiness = 1;    // nbusitype 1: the kind is priced at nothing
constexpr double kMinRate = 0.0001;
constexpr double kMinFee = 0.001;

void SetKindText(char* priceKind, const char* text) {
  if (priceKind != nullptr) {
    tw::CopyTextLimited(priceKind, text, kPriceKindBytes - 1);
  }
}

struct SpecialPrice {
  int32_t cents = 0;     // the client's special price, 0 when none
  int32_t code = 0;      // discount code of the procedure
  int32_t addons = 0;    // 1: the fuel surcharge is charged on the special price
};

// cp_ee_client_price_get on a statement of its own. False when the call failed.
bool ReadSpecialPrice(PoolSlot& slot, const PriceQuery& q, bool fromBase, SpecialPrice* out) {
  DbStatement st(slot.hDbc);
  if (!st.ok() || !FormatSql(slot.szSql, sizeof slot.szSql, kClientPriceGetSql, q.clientId, q.itemType, q.weight,
                             tw::SqlEscape(q.kind->cemskind).c_str(), tw::SqlEscape(q.destination).c_str(),
                             fromBase ? "1" : "0")) {
    return false;
  }
  st.BindOutInt(1, &out->cents);
  st.BindOutInt(2, &out->code);
  st.BindOutInt(3, &out->addons);
  return DbOk(st.ExecDirect(slot.szSql));
}

// The client's client_discount row for the kind (or the base price). False when the statement failed.
bool ReadDiscountRow(PoolSlot& slot, int32_t clientId, const char* kind, ClientDiscountRow* row) {
  *row = ClientDiscountRow{};
  DbStatement st(slot.hDbc);
  if (!st.ok() ||
      !FormatSql(slot.szSql, sizeof slot.szSql, kDiscountSql, clientId, tw::SqlEscape(kind).c_str())) {
    return false;
  }
  SQLLEN length = 0;
  st.BindInt(1, &row->baddons);
  st.BindBinary(2, row->vdiscount, sizeof row->vdiscount, &length);
  st.BindInt(3, &row->iother);
  if (!DbOk(st.ExecDirect(slot.szSql))) {
    return false;
  }
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) {
    return true;
  }
  if (!DbOk(rc)) {
    return false;
  }
  // A table shorter than eight bytes counts its missing bytes as 0.
  if (length >= 0 && length < static_cast<SQLLEN>(sizeof row->vdiscount)) {
    std::memset(row->vdiscount + length, 0, sizeof row->vdiscount - static_cast<size_t>(length));
  }
  row->bRead = true;
  return true;
}

}  // namespace

int COstrumContainer::GetClientPrice(PriceQuery& q, PoolSlot& slot, char* priceKind) const {
  SetKindText(priceKind, "");
  const CEmsKind& kind = *q.kind;
  q.discountFactor = 0;
  q.customsSetting = kind.fcustoms;
  if (kind.nbusitype == kNoBusiness) {
    q.standardPrice = q.listFreight = q.freight = 0;
    return 0;
  }

  // The table price: ems_price1 for kinds with b1price 0, else ems_price.
  const int tableClass = kind.b1price == 0 ? 1 : 0;
  auto lookup = [&](int priceClass) {
    int32_t w = q.weight;
    return PriceFromClientTable(slot, kind.cemskind, q.destination, 0, &w, q.itemType, priceClass);
  };
  int64_t price = 0;
  bool fromBase = false, retry = false;
  if (!dict27) {
    price = lookup(tableClass);
    retry = kind.b1price == 0;
  } else if (q.clientId < 1) {
    price = lookup(0);
  } else if (q.activeClient == 1) {
    if (kind.ibagweighte == 1) {
      price = lookup(0);
    } else {
      price = GetBasePrice(q.weight, q.destination, q.itemType);
      fromBase = price > 0;
      retry = true;
      if (fromBase) {
        SetKindText(priceKind, kKindBase);
      }
    }
  } else {
    price = lookup(tableClass);
    if (kind.b1price == 0) {
      retry = true;
      if (price > 0) {
        SetKindText(priceKind, kKindPeer);
      }
    }
  }
  if (price <= 0 && retry) {
    price = lookup(0);
  }
  if (price <= 0) {
    return -1;
  }

  int64_t standard = price;
  q.listFreight = Yuan(price);
  int64_t freight = 0;
  int32_t procedureCode = 0, used = 0;
  bool addons = false;
  SpecialPrice special;
  if (q.clientId >= 1) {
    if (!ReadSpecialPrice(slot, q, fromBase, &special)) {
      return -1;
    }
    // The procedure's discount code holds with or without a special price; the special price
    // itself is not discounted again.
    procedureCode = special.code;
    if (special.cents > 0) {
      freight = special.cents;
      addons = special.addons == 1;
    }
    ClientDiscountRow* row = fromBase ? &q.baseDiscount : &q.kindDiscount;
    if (!ReadDiscountRow(slot, q.clientId, fromBase ? kBaseDiscountKind : kind.cemskind, row)) {
      return -1;
    }
  }
  if (special.cents <= 0) {
    addons = true;
    const ClientDiscountRow& row = fromBase ? q.baseDiscount : q.kindDiscount;
    if (row.bRead) {
      q.otherFeeCents = row.iother;
      addons = row.baddons != 0;
    }
    if (procedureCode != 0) {
      q.discountFactor = DiscountToFactor(procedureCode);
      price = AdjustByDiscount(price, procedureCode);
      used = procedureCode;
    } else if (row.bRead) {
      const int32_t code = DiscountCodeOf(row.vdiscount, q.itemType);
      used = code;
      if (code > 0 && code < kDiscountNone) {
        q.discountFactor = DiscountToFactor(code);
        price = AdjustByDiscount(price, code);
      }
    }
    freight = price;
  } else {
    if (q.kindDiscount.bRead) {
      q.otherFeeCents = q.kindDiscount.iother;
    }
    fromBase = false;
    SetKindText(priceKind, kKindSpecial);
  }

  const int64_t baseFreight = freight;
  double rate = kind.faddons, fee = kind.fcustoms;
  bool extra = kind.nextra != 0;
  if (fromBase) {
    rate = dict86;
    fee = dict87;
    extra = false;
  }
  if (q.discountFactor == 0) {
    q.discountFactor = DiscountRatio(Yuan(standard), Yuan(freight));
  }
  if (rate >= kMinRate) {
    int64_t surcharge = PercentOfCents(rate, standard);
    standard += surcharge;
    if (addons) {
      q.fuelRate = rate;
      if (!extra) {
        surcharge = PercentOfCents(rate, baseFreight);
      }
      q.fuelAmount = Yuan(surcharge);
      freight += surcharge;
    }
  }
  q.customsFee = 0;
  if ((q.customsFlag != 0 || kind.nallcustoms != 0) && fee > kMinFee) {
    int64_t customs = CentsOf(fee);
    standard += customs;
    if (kind.ndiscountc == 1 && used > 0) {
      customs = AdjustByDiscount(customs, used);
    }
    q.customsFee = Yuan(customs);
    freight += customs;
  }
  q.baseFreight = Yuan(baseFreight);
  q.standardPrice = Yuan(standard);
  q.freight = Yuan(freight);
  return 0;
}
