#include "carriers/carrier_choice.h"

#include <cstring>

#include "carriers/carrier_clients.h"
#include "core/pool.h"
#include "util/text.h"

namespace {

template <size_t N, size_t M>
void CopyField(char (&out)[N], const char (&in)[M]) {
  tw::CopyTextLimited(out, in, N - 1);
}

template <size_t N>
void CopyMessage(CarrierOrderResult& result, const char (&message)[N]) {
  tw::CopyTextLimited(result.message, message, sizeof result.message - 1);
}

// The carrier clients loaded at start-up: China Post EUB accounts first, then Australia Post, then
// SF Express. A kind that none of them lists is served by none.
class CClientHandOver final : public CCarrierHandOver {
 public:
  int32_t FindCarrier(const char* kind) const override {
    if (FindEubClientForKind(kind) != nullptr) return kCarrierEub;
    if (g_pAuPostClient != nullptr && g_pAuPostClient->SupportsKind(kind)) return kCarrierAuPost;
    if (g_pSfClient != nullptr && g_pSfClient->FindKind(kind) != nullptr) return kCarrierSf;
    return kCarrierNone;
  }

  int CreateOrder(PoolSlot& slot, int32_t carrier, const CarrierShipment& s, CarrierOrderResult& result) override {
    switch (carrier) {
      case kCarrierEub: return Eub(slot, s, result);
      case kCarrierAuPost: return AuPost(slot, s, result);
      case kCarrierSf: return Sf(slot, s, result);
      default: break;
    }
    static constexpr char kNotServed[] = "类别不支持";
    CopyMessage(result, kNotServed);
    return 0;
  }

 private:
  static int Eub(PoolSlot& slot, const CarrierShipment& s, CarrierOrderResult& result) {
    EubOrder o;
    o.recordId = static_cast<uint32_t>(s.clientId);
    o.weight = s.weight;
    o.quantity = s.quantity;
    o.unitPrice = s.unitPrice;
    o.pieces = s.pieces;
    CopyField(o.kind, s.kind);
    CopyField(o.destination, s.destination);
    CopyField(o.postcode, s.postcode);
    CopyField(o.orderId, s.internalNumber);
    CopyField(o.printCode, s.printCode);
    CopyField(o.dimensions, s.dimensions);
    CopyField(o.receiver, s.receiver);
    CopyField(o.address, s.address);
    CopyField(o.city, s.city);
    CopyField(o.province, s.province);
    CopyField(o.country, s.country);
    CopyField(o.phone, s.phone);
    CopyField(o.mobile, s.sms);
    CopyField(o.goods, s.goods);
    CopyField(o.goodsEn, s.goodsA);
    CopyField(o.remark, s.transNote);
    CEubSession session(slot, FindEubClientForKind(s.kind));
    const int rc = session.CreateOrder(o);
    CopyField(result.mailNumber, o.mailNumber);
    CopyMessage(result, o.message);
    return rc;
  }

  static int AuPost(PoolSlot& slot, const CarrierShipment& s, CarrierOrderResult& result) {
    AuPostOrder o;
    o.weight = s.weight;
    o.quantity = s.quantity;
    o.unitPrice = s.unitPrice;
    CopyField(o.kind, s.kind);
    CopyField(o.destination, s.destination);
    CopyField(o.receiver, s.receiver);
    CopyField(o.address, s.address);
    CopyField(o.postcode, s.postcode);
    CopyField(o.dimensions, s.dimensions);
    CopyField(o.company, s.company);
    CopyField(o.suburb, s.city);
    CopyField(o.state, s.province);
    CopyField(o.country, s.country);
    CopyField(o.phone, s.phone);
    CopyField(o.goods, s.goods);
    CopyField(o.goodsEn, s.goodsA);
    CopyField(o.reference, s.internalNumber);
    CAuPostSession session(slot, g_pAuPostClient.get());
    const int rc = session.CreateOrder(o);
    CopyField(result.mailNumber, o.mailNumber);
    CopyMessage(result, o.message);
    if (rc == 1) {
      // The shipment keeps the carrier's barcode and book id.
      result.bReserveFields = true;
      CopyField(result.reserve, o.barcode);
      CopyField(result.by1, o.bookId);
    }
    return rc;
  }

  static int Sf(PoolSlot& slot, const CarrierShipment& s, CarrierOrderResult& result) {
    SfOrder o;
    o.weight = s.weight;
    o.quantity = s.quantity;
    o.unitPrice = s.unitPrice;
    o.goodsValue = s.declaredValue;
    o.pieces = s.pieces;
    CopyField(o.kind, s.kind);
    CopyField(o.destination, s.destination);
    CopyField(o.postcode, s.postcode);
    CopyField(o.company, s.company);
    CopyField(o.contact, s.receiver);
    CopyField(o.address, s.address);
    CopyField(o.phone, s.phone);
    CopyField(o.mobile, s.sms);
    CopyField(o.province, s.province);
    CopyField(o.city, s.city);
    CopyField(o.country, s.country);
    CopyField(o.goods, s.goods);
    CopyField(o.goodsEn, s.goodsA);
    CopyField(o.customsCode, s.goodsCodeA);
    CopyField(o.orderId, s.internalNumber);
    CSfSession session(slot, g_pSfClient.get());
    const int rc = session.CreateOrder(o);
    CopyField(result.mailNumber, o.mailNumber);
    CopyMessage(result, o.message);
    return rc;
  }
};

CClientHandOver& BuiltIn() {
  static CClientHandOver handOver;
  return handOver;
}

CCarrierHandOver* g_pInstalled = nullptr;

}  // namespace

CCarrierHandOver& CarrierHandOver() { return g_pInstalled != nullptr ? *g_pInstalled : BuiltIn(); }

void SetCarrierHandOver(CCarrierHandOver* handOver) { g_pInstalled = handOver; }
