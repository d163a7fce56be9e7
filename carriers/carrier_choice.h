#pragma once
// The hand-over of a shipment to a carrier's web service: which carrier serves an express kind, and
// the order that gives the shipment the carrier's mail number. Both shipment entries use it the same
// way (the client road's pre-input records and the PDA road's shipment records): when a kind has a
// transfer-number rule of its own, FindCarrier names the carrier whose account lists the kind (China
// Post EUB first, then Australia Post, then SF Express); CreateOrder then hands the shipment over on
// the entry's own pool slot. A kind that no carrier serves is numbered locally by its transfer rule.
//
// The built-in hand-over serves the kinds of the carrier clients loaded at start-up
// (carriers/carrier_clients.h); a test may install another (SetCarrierHandOver).
//
// Thread-safety: the hand-over is installed on the start-up thread before requests are served and
// only read afterwards. FindCarrier reads account data that does not change after start-up;
// CreateOrder works in the buffers of the slot it is given, which the calling request holds.

#include <cstdint>

struct PoolSlot;

// Carrier codes.
inline constexpr int32_t kCarrierNone = -1;
inline constexpr int32_t kCarrierEub = 0;     // China Post EUB
inline constexpr int32_t kCarrierAuPost = 1;  // Australia Post
inline constexpr int32_t kCarrierSf = 2;      // SF Express

// What an entry hands to a carrier: the shipment as the entry will store it, with the carrier's own
// floors already applied. Texts are NUL-terminated GBK.
struct CarrierShipment {
  int32_t clientId = 0;
  double weight = 0;         // kg; 0.5 when the shipment's weight is below 0.001
  int32_t quantity = 1;      // pieces of the goods, at least 1
  double unitPrice = 1.0;    // 1.0 when the shipment's is below 0.01
  int32_t pieces = 1;        // parcels: always 1 for a pre-input shipment
  double declaredValue = 0;  // SF Express only
  char kind[16] = "";
  char destination[64] = "";
  char postcode[16] = "";    // the receiver's
  char receiver[64] = "";
  char address[256] = "";
  char company[256] = "";
  char city[128] = "";
  char province[64] = "";
  char country[128] = "";
  char phone[64] = "";
  char email[64] = "";
  char sms[24] = "";
  char transNote[64] = "";
  char internalNumber[32] = "";
  char dimensions[40] = "";  // "L*W*H" when all three sides are above 0, else empty
  char goods[256] = "";      // of the first goods line when there are lines
  char goodsA[256] = "";     // the goods name in a second language, likewise
  char goodsCodeA[64] = "";  // SF Express only: customs code, likewise
  char printCode[16] = "";   // China Post EUB only
};

// What comes back from an order.
struct CarrierOrderResult {
  char mailNumber[64] = "";  // accepted: the carrier's number for the shipment
  // Australia Post answers two further values, which the shipment keeps as its reserve field and
  // free field 1 (bReserveFields set).
  bool bReserveFields = false;
  char reserve[32] = "";
  char by1[64] = "";
  char message[256] = "";  // refused: the carrier's reason
};

class CCarrierHandOver {
 public:
  virtual ~CCarrierHandOver() = default;
  // FindCarrier: the code of the first carrier (EUB, Australia Post, SF Express, in that order)
  // whose configured account serves the kind; kCarrierNone when none does.
  [[nodiscard]] virtual int32_t FindCarrier(const char* kind) const = 0;
  // CreateOrder: hands the shipment to the carrier FindCarrier named, on the caller's slot. Returns 1
  // when the carrier accepted it (result.mailNumber set), 0 when it was refused (result.message says
  // why). REQUIRES: the caller holds the slot; result is value-initialised.
  [[nodiscard]] virtual int CreateOrder(PoolSlot& slot, int32_t carrier, const CarrierShipment& shipment,
                                        CarrierOrderResult& result) = 0;
};

// CarrierHandOver: the hand-over in use (the built-in one over the loaded carrier clients, unless
// another is installed).
[[nodiscard]] CCarrierHandOver& CarrierHandOver();
// SetCarrierHandOver: installs a hand-over that outlives every request (null restores the built-in
// one). REQUIRES: no request is being served.
void SetCarrierHandOver(CCarrierHandOver* handOver);
