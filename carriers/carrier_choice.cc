#include "carriers/carrier_choice.h"

#include <cstring>

namespace {

// No carrier account is configured: no kind is served, so no order is ever placed.
class CNoCarrierHandOver final : public CCarrierHandOver {
 public:
  int32_t FindCarrier(const char*) const override { return kCarrierNone; }
  int CreateOrder(PoolSlot&, int32_t, const CarrierShipment&, CarrierOrderResult& result) override {
    static constexpr char kNotServed[] = "类别不支持";
    std::memcpy(result.message, kNotServed, sizeof kNotServed);
    return 0;
  }
};

CNoCarrierHandOver& BuiltIn() {
  static CNoCarrierHandOver handOver;
  return handOver;
}

CCarrierHandOver* g_pInstalled = nullptr;

}  // namespace

CCarrierHandOver& CarrierHandOver() { return g_pInstalled != nullptr ? *g_pInstalled : BuiltIn(); }

void SetCarrierHandOver(CCarrierHandOver* handOver) { g_pInstalled = handOver; }
