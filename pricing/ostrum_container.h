#pragma once
// COstrumContainer: the reference data kept in memory so that pricing and the PDA requests need not
// ask the database each time: the place and base-price tables, lists of service kinds, suppliers,
// clients, depots and PDA users filled on demand, dictionary settings and the PDA signing key.
//
// Load runs once at start-up (when the configuration switches the container on) before requests are
// served; until then the container is empty and the PDA door refuses. The lists grow while requests
// search them: searches take the container's lock shared and copy records out, inserts take it
// exclusively (waiting up to 5000 ms).

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/caches.h"
#include "core/pool.h"

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

  // ----- PDA users ----------------------------------------------------------------------------------
  // GetPdaUser: the user from the list or, on a miss, from the database on `dbc` (then kept). Empty
  // for an empty id, an unknown one, or one whose operator has no name.
  [[nodiscard]] std::optional<PdaUser> GetPdaUser(const char* cpda, SQLHDBC dbc);
  [[nodiscard]] std::optional<PdaUser> FindPdaUser(const char* cpda) const;
  PdaUser InsertPdaUser(const PdaUser& user, bool bLock);

  // ----- Dictionary settings ------------------------------------------------------------------------
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
      "(irid,ilong,iwidth,iheight,iweight,npercent,cno,famount,fcost,ibag,wpos,cgoods,iquantity,iprice,crno,cnum,"
      "cgoodsa,cgcodea,cgcodeb,cgcodec,fgcustom,fgcrate) ",
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
  char status_[256] = "";
};

extern COstrumContainer g_OstrumContainer;

// ReadSysDict: the value of the first dictionary row named dcname into out (128 bytes). Returns 1
// when a row was read, 0 when none, -9 when the statement failed.
int ReadSysDict(const char* dcname, char out[128], PoolSlot& slot);
