#include "warehouse/internal/goods.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/result_codes.h"
#include "util/datetime.h"
#include "util/json.h"
#include "util/text.h"

namespace tw::warehouse {

namespace {

constexpr int kSideScale = 10000;
constexpr int32_t kQcMax = 100;
constexpr size_t kDefaultCodeClientCodeMax = 50;

template <size_t N>
void ReadText(std::string_view body, const char* key, char (&out)[N], size_t max) {
  tw::JsonGetString(key, body, out, std::min(max, N - 1), tw::kJsonModeCodePage);
}

}  // namespace

int ReadGoodsDefineKeys(std::string_view body, GoodsDefineRecord& r, char account[31]) {
  r.icid = tw::JsonGetInt("icID", body, 0);
  tw::JsonGetString("cAccount", body, account, 30, tw::kJsonModeCodePage);
  ReadText(body, "cgCode", r.cgcode, 63);
  ReadText(body, "ccCode", r.cccode, 63);
  ReadText(body, "cgName", r.cname, 63);
  if (r.cgcode[0] == '\0' && r.cccode[0] == '\0') return MissingKeyCode(1);
  if (r.cname[0] == '\0') return MissingKeyCode(2);
  if (r.icid <= 0 && account[0] == '\0') return kRcBadClientId;
  return 0;
}

void ReadGoodsDefineAttributes(std::string_view body, GoodsDefineRecord& r) {
  r.bshare = tw::JsonGetBool("bShare", body, 0);
  r.ntype = tw::JsonGetInt("nType", body, 0) != 0 ? 1 : 0;
  r.ilong = tw::ScaleToInt(tw::JsonGetDouble("fLong", body, 0), kSideScale);
  r.iwidth = tw::ScaleToInt(tw::JsonGetDouble("fWidth", body, 0), kSideScale);
  r.iheight = tw::ScaleToInt(tw::JsonGetDouble("fHeight", body, 0), kSideScale);
  r.nqc = std::min<int32_t>(tw::JsonGetInt("nQC", body, 0) & 0xFF, kQcMax);
  r.iedays = tw::JsonGetInt("iEDays", body, 0);
  r.freedays = tw::JsonGetInt("iFreeDays", body, 0);
  r.fweight = tw::JsonGetDouble("fWeight", body, 0);
  r.iweightdiff = tw::JsonGetInt("iWeightDiff", body, 0);
  r.fwpu = tw::JsonGetDouble("fWPU", body, 0);
  ReadText(body, "cHSCode", r.chscode, 15);
  ReadText(body, "cGPCCode", r.cgpccode, 63);
  ReadText(body, "cKind", r.ckind, 30);
  ReadText(body, "cgNameE", r.cnamee, 254);
  ReadText(body, "cProducer", r.cproducer, 63);
  ReadText(body, "cColor", r.ccolor, 15);
  ReadText(body, "cSize", r.csize, 15);
  ReadText(body, "cBrand", r.cbrand, 15);
  ReadText(body, "cModel", r.cmodel, 63);
  ReadText(body, "cOrigin", r.corigin, 3);
  ReadText(body, "cUnit", r.cunit, 15);
  ReadText(body, "cMark", r.cmark, 15);
  ReadText(body, "cMemo", r.cmemo, 254);
  if (r.cgcode[0] == '\0') {
    if (std::strlen(r.cccode) <= kDefaultCodeClientCodeMax) {
      std::snprintf(r.cgcode, sizeof r.cgcode, "%06u%s", static_cast<unsigned>(r.icid), r.cccode);
    } else {
      tw::CopyTextLimited(r.cgcode, r.cccode, sizeof r.cgcode - 1);
    }
  }
}

}  // namespace tw::warehouse
