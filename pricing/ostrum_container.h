#pragma once
// COstrumContainer: the reference data kept in memory so that pricing and the PDA requests need not
// ask the database each time: the place and base-price tables, lists of service kinds, suppliers,
// clients, depots and PDA users filled on demand, dictionary settings and the PDA signing key.
//
// Load runs once at start-up (when the configuration switches the container on) before requests are
// served; until then the container is empty and the PDA door refuses. The place and base-price
// tables are read-only once loaded. The lists grow while requests search them: searches take the
// list's lock shared, inserts exclusively. PDA users are copied out (an insert waits up to 5000 ms
// for the lock); service kinds and suppliers are held by unique_ptr and never removed, so a pointer handed
// out stays valid for the life of the container.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/caches.h"
#include "core/pool.h"
#include "pricing/base_price.h"
#include "pricing/depot_settings.h"
#include "pricing/ems_kind.h"
#include "pricing/pieces.h"
#include "pricing/place_table.h"
#include "pricing/prices.h"

class COstrumContainer {
 public:
  COstrumContainer();
  COstrumContainer(const COstrumContainer&) = delete;
  COstrumContainer& operator=(const COstrumContainer&) = delete;
  virtual ~COstrumContainer();

  // Load: loads the place and base-price tables and the dictionary settings on the slot's
  // connection; sets the container loaded. Returns the number of places plus price bands.
  int Load(PoolSlot& slot);
  bool IsLoaded() const { return loaded_.load(std::memory_order_acquire) != 0; }
  // The status text "Pl:%d,Pr:%d".
  const char* GetLoadSummary() const { return status_; }

  // ----- Places and base prices (read-only once loaded) ---------------------------------------------
  CPlaceTable places;
  CBasePriceTable basePrices;
  // GetBasePrice: the base price in cents of `weight` grams to the area of the place named `place`
  // (kUnknownArea when no place has that name) for the item type; 0 when there is none.
  [[nodiscard]] int32_t GetBasePrice(int32_t weight, const char* place, int itemType) const;

  // ----- Service kinds ------------------------------------------------------------------------------
  // LoadEmsKind: the kind whose code (mode kKindByCode), input name (kKindByInputName) or either
  // (any other mode) equals `kind` (case ignored), from the list or, on a miss, from ems_kind on the
  // slot's connection (then kept). Null for an empty text, one longer than 15 bytes, an unknown kind
  // (nothing is kept then) or a failed statement.
  [[nodiscard]] const CEmsKind* LoadEmsKind(const char* kind, PoolSlot& slot, int mode);
  // FindEmsKind: the kept kind as LoadEmsKind matches it, without the database; null when none.
  [[nodiscard]] const CEmsKind* FindEmsKind(const char* kind, int mode) const;
  // InsertEmsKind: keeps a kind built from the row. Returns the kind held (the one already there
  // when a kind of that code was kept before).
  const CEmsKind* InsertEmsKind(const EmsKindRow& row);
  size_t EmsKindCount() const;

  // ----- Chargeable weight -------------------------------------------------------------------------
  // CalcVolumeWeight: the chargeable grams of one piece of sides L x W x H cm and `weight` grams.
  // With a volume code 1..4 (divisors 5, 6, 8, 3 cm3 per gram): the larger of the real and the volume
  // weight, rounded up to a multiple of 500 g. Otherwise by the divisor letter ('D' 5, 'T' 3, 'E' 8,
  // else 6): percent 0 charges the real weight; else the volume weight (rounded to 10 g by
  // weightRounding when that is not -1), or the real weight when it is not smaller, or with a
  // percent below 100 the blend percent x volume + (100 - percent) x real, / 100 (rounded the same
  // way). Integer arithmetic throughout; a result beyond the 32-bit range is held at INT32_MAX.
  [[nodiscard]] int32_t CalcVolumeWeight(int32_t length, int32_t width, int32_t height, int32_t weight, int percent,
                                         char letter, int code) const;
  // CalcChargeWeight: the chargeable weight in kg of the pieces: per piece (the sum of
  // CalcVolumeWeight) unless the shipment is weighed whole (wholeShipmentWeight or bWholeShipment,
  // and no volume code), when the summed volume and the summed real weight are compared once with
  // the last piece's percent. With weightRounding set and no volume code the grams are then kept in
  // whole 10 g ((grams + 1) / 10 tens). Outputs: *grams the chargeable grams (the result x 1000),
  // *realKg the summed real weight, *cubicMetres the summed volume in m3 (0 below 500 cm3, whole
  // litres rounded, at most 2100). All outputs 0 without pieces.
  [[nodiscard]] double CalcChargeWeight(const PieceList& pieces, char letter, int bWholeShipment, int32_t* grams,
                                        double* realKg, double* cubicMetres, int code) const;

  // ----- Suppliers and prices -----------------------------------------------------------------------
  // LoadSupplier: the active supplier (sp_arc, nstate 0) from the list or, on a miss, from the
  // database on the slot's connection (then kept). Null when none or the statement failed.
  [[nodiscard]] const SupplierRecord* LoadSupplier(int32_t isid, PoolSlot& slot);
  [[nodiscard]] const SupplierRecord* FindSupplier(int32_t isid) const;
  // GetClientPrice: prices q (kind, client, destination, grams, item type, customs flag) for the
  // client: the table or base price, the client's special price, discount row and discount codes,
  // then the fuel surcharge and the customs fee; fills q's results. priceKind (kPriceKindBytes, or
  // null) receives the price kind's name ("无差别价", "同行价", "特殊价") or "". Returns 0 when priced,
  // -1 when there is no price or a statement failed. REQUIRES: q.kind set.
  [[nodiscard]] int GetClientPrice(PriceQuery& q, PoolSlot& slot, char* priceKind = nullptr) const;
  // GetSupplierPrice: prices q for the supplier: its special price (cp_ee_get_sp_price) or the
  // standard client price with the supplier's discount, its coefficient, the fuel surcharge, the
  // customs fee and the fixed fee (taken from the supplier's price record when bTakeFixedFee and q
  // gives none). Appends the explanation lines to *breakdown when given. Returns 0 when priced, -1
  // when there is no price, no supplier price record, or a statement failed. REQUIRES: q.kind set.
  [[nodiscard]] int GetSupplierPrice(SupplierPriceQuery& q, int bTakeFixedFee, PoolSlot& slot,
                                     std::string* breakdown = nullptr) const;

  // ----- PDA users ----------------------------------------------------------------------------------
  // GetPdaUser: the user from the list or, on a miss, from the database on `dbc` (then kept). Empty
  // for an empty id, an unknown one, or one whose operator has no name.
  [[nodiscard]] std::optional<PdaUser> GetPdaUser(const char* cpda, SQLHDBC dbc);
  [[nodiscard]] std::optional<PdaUser> FindPdaUser(const char* cpda) const;
  PdaUser InsertPdaUser(const PdaUser& user, bool bLock);

  // ----- Depots and clients -------------------------------------------------------------------------
  // Both lists only grow: a depot or client read once is served from the list until the library is
  // unloaded. Searches take the list's lock shared; a miss reads the database without the lock, then
  // searches again under the exclusive lock before appending, so two simultaneous misses keep one
  // object.
  //
  // LoadDepotSettings: the settings of the active depot whose code equals `code` byte by byte, from
  // the list or, on a miss, from the database on `dbc` (header, operations, packages and carts;
  // then kept). Null when the code is not exactly 3 bytes, there is no active depot of that code, or
  // a statement failed (nothing is kept then, so a later request tries again).
  [[nodiscard]] const CDepotSettings* LoadDepotSettings(const char* code, SQLHDBC dbc);
  // FindClientById / FindClientByAccount: the client from the list (the account compared byte by
  // byte) or, on a miss, through LoadClient. Null when the database has no such client.
  [[nodiscard]] const ClientRef* FindClientById(int32_t icid, SQLHDBC dbc);
  [[nodiscard]] const ClientRef* FindClientByAccount(const char* account, SQLHDBC dbc);
  // GetClientId: the id of FindClientByAccount, or -1.
  [[nodiscard]] int32_t GetClientId(const char* account, SQLHDBC dbc);
  // LoadClient: reads client_arc by id (when at least 1) or else by account (when not empty) and
  // keeps the row; a client of that id already kept is returned instead. Null when there is no row,
  // nothing to look up by, or the statement failed. The client's state does not matter.
  [[nodiscard]] const ClientRef* LoadClient(int32_t icid, const char* account, SQLHDBC dbc);

  // ----- Dictionary settings ------------------------------------------------------------------------
  // SetDictValue: stores the value of dictionary row `dcname` in its setting as Load does ("75" the
  // volume divisor, "47" the weight rounding, "27", "64", "115" flags ...); other names are ignored.
  void SetDictValue(const char* dcname, const char* value);
  double dict86 = 0, dict87 = 0;  // rows "86" and "87"
  int32_t volumeDivisor = 6000;   // row "75": D 5000, E 8000, T 3000, else 6000 (cm3 per kg)
  char volumeLetter = 0;          // row "75"'s first letter, 0 when the row is absent
  bool dict27 = false;            // row "27" is "1"
  char pdaKey[64] = "";           // row "77": the signing key of PDA requests
  int32_t dict39 = 0;             // row "39"
  bool dict64 = true;             // row "64" is "1"
  int32_t weightRounding = -1;    // row "47": 1 -> 5, 2 -> 9, 3 -> -1, else the number; -1 none
  bool wholeShipmentWeight = false;  // row "115" is "1"
  char dict65[16] = "";              // row "65"
  std::vector<std::string> controlCodes;  // rows "d_ctrlcode" in diposition order
  char dict89[4] = "", dict90[4] = "", dict128[4] = "", dict132[4] = "";  // first three characters

  // The INSERT column lists of goods, piece and order rows.
  static constexpr const char* kColumnLists[6] = {
      "(wpos,irid,cgoods,cunit,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate) ",
      ("(irid,ilong,iwidth,iheight,iweight,npercent,cno,famount,fcost,ibag,wpos,cgoods,iquantity,iprice,crno,cnum,"
       "cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate) "),
      "(wpos,iid,cgoods,cunit,iquantity,fprice,cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate) ",
      "(iid,ilong,iwidth,iheight,iweight,npercent,cno,famount,fcost,ibag,wpos,cgoods,iquantity,iprice,crno) ",
      "(ioid,giid,iquantity,irealout,ntype,wpos,fprice,fweight,cex1,cex2) ",
      "(ioid,ipid,iquantity,cmoney,fprice) ",
  };

 private:
  void ReadDictionary(PoolSlot& slot);

  std::atomic<int32_t> loaded_{0};
  mutable std::shared_timed_mutex lock_;
  std::vector<std::unique_ptr<PdaUser>> pdaUsers_;
  mutable std::shared_mutex kindsLock_;
  std::vector<std::unique_ptr<CEmsKind>> kinds_;
  mutable std::shared_mutex suppliersLock_;
  std::vector<std::unique_ptr<SupplierRecord>> suppliers_;
  mutable std::shared_mutex depotsLock_;
  std::vector<std::unique_ptr<CDepotSettings>> depots_;
  mutable std::shared_mutex clientsLock_;
  std::vector<std::unique_ptr<ClientRef>> clients_;
  char status_[256] = "";
};

extern COstrumContainer g_OstrumContainer;

// ReadSysDict: the value of the first dictionary row named dcname into out (128 bytes). Returns 1
// when a row was read, 0 when none, -9 when the statement failed.
int ReadSysDict(const char* dcname, char out[128], PoolSlot& slot);
