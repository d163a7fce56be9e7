// The request tables, in their order. A request whose handler is not part of the system yet is
// left out (its door answers "-4" for it); its place is kept as a comment.

#include "server/request_tables.h"

#include <cstdio>
#include <cstring>

#include "carriers/handlers.h"
#include "core/reply.h"
#include "pda/handlers.h"
#include "services/handlers.h"
#include "util/datetime.h"
#include "warehouse/handlers.h"

namespace {

// "TimeStamp": the server's clock in milliseconds (whole seconds).
void OnTimeStamp(const CRequest& rq) {
  char text[32];
  std::snprintf(text, sizeof text, "%u000", static_cast<unsigned>(tw::GetUtcTime()));
  WriteReply(rq.pCtxt, text, 1);
}

const RequestRow kDoApp[] = {
    {"EmsKindList", &tw::services::OnEmsKindList, kRowUnchecked},
    {"GenerateMD5", &tw::services::OnGenerateMD5, kRowUnchecked},
    {"TimeStamp", &OnTimeStamp, kRowUnchecked},
    {"GetClientID", &tw::services::OnGetClientID, kRowBeforeClientId},
    {"ClientInfo", &tw::services::OnClientAuth},
    {"PreInputSet", &tw::services::OnPreInputSet, kRowDoorSlot},
    {"PreInputDel", &tw::services::OnPreInputDel},
    {"PreInputData", &tw::services::OnPreInputData, kRowDoorSlot},
    {"PreInputList", &tw::services::OnPreInputList, kRowDoorSlot},
    {"RecList", &tw::services::OnRecList, kRowDoorSlot},
    {"PreInputTotal", &tw::services::OnPreInputTotal},
    {"QueryPrice", &tw::services::OnQueryPrice},
    {"FeeList", &tw::services::OnFeeList},
    {"DoIDCardPicSet", &tw::services::OnDoIDCardPicSet},
    {"DoGetNo", &tw::services::OnDoGetNo},
    {"VstGoodsList", &tw::warehouse::OnVstGoodsList},
    {nullptr, nullptr, 0},
};

const RequestRow kDo[] = {
    {"ClientAuth", &tw::services::OnClientAuth},
    {"EmsKindList", &tw::services::OnEmsKindList},
    {"PreInputSet", &tw::services::OnPreInputSet, kRowDoorSlot},
    {"PreInputDel", &tw::services::OnPreInputDel},
    {"PreInputData", &tw::services::OnPreInputData, kRowDoorSlot},
    {"PreInputList", &tw::services::OnPreInputList, kRowDoorSlot},
    {"RecList", &tw::services::OnRecList, kRowDoorSlot},
    {"PreInputTotal", &tw::services::OnPreInputTotal},
    {"QueryPrice", &tw::services::OnQueryPrice},
    {"FeeList", &tw::services::OnFeeList},
    {"ClientCreate", &tw::services::OnClientCreate},
    {"DoGetNo", &tw::services::OnDoGetNo},
    {nullptr, nullptr, 0},
};

const RequestRow kDoApi[] = {
    {"EmsKindList", &tw::services::OnEmsKindList, kRowUnchecked},
    {"GenerateMD5", &tw::services::OnGenerateMD5, kRowUnchecked},
    {"TimeStamp", &OnTimeStamp, kRowUnchecked},
    {"EPostPdf", &tw::carriers::OnEPostPdf},
    {"EPostUpload", &tw::carriers::OnEPostUpload},
    {"RecTransBagSet", &tw::services::OnRecTransBagSet, kRowTransBagLock},
    {"PreInputSet", &tw::services::OnPreInputSet, kRowDoorSlot},
    {"RecTransSet", &tw::services::OnRecTransSet},
    {"RecDataRG", &tw::services::OnRecDataRG},
    {"DoIDCardPicSet", &tw::services::OnDoIDCardPicSet},
    {"DoGetNo", &tw::services::OnDoGetNo},
    {"wOrderSet", &tw::warehouse::OnWOrderSet},
    {"wOrderDel", &OnEmptyRequest},
    {"wGoodsInfo", &tw::warehouse::OnWGoodsInfo},
    {"wInQuery", &tw::warehouse::OnWInQuery},
    {"wInTotal", &tw::warehouse::OnWInTotal},
    {"wOutQuery", &OnEmptyRequest},
    {"wOutTotal", &OnEmptyRequest},
    {"wOrderInfo", &OnEmptyRequest},
    {nullptr, nullptr, 0},
};

const RequestRow kWeChat[] = {
    {"ClientAuth", &tw::services::OnClientAuth},
    {"EmsKindList", &tw::services::OnEmsKindList},
    {"PreInputSet", &tw::services::OnPreInputSet},
    {"PreInputDel", &tw::services::OnPreInputDel},
    {"PreInputData", &tw::services::OnPreInputData},
    {"PreInputList", &tw::services::OnPreInputList},
    {"RecTransSet", &tw::services::OnRecTransSet},
    {"RecTransDel", &tw::services::OnRecTransDel},
    {"RecTransData", &tw::services::OnRecTransData},
    {"RecTransList", &tw::services::OnRecTransList},
    {"RecList", &tw::services::OnRecList},
    {"FeeList", &tw::services::OnFeeList},
    {"DoIDCardPicSet", &tw::services::OnDoIDCardPicSet},
    {nullptr, nullptr, 0},
};

const RequestRow kDoPda[] = {
    {"EmsKindList", &tw::services::OnEmsKindList, kRowUnchecked},
    {"GenerateMD5", &tw::services::OnGenerateMD5, kRowUnchecked},
    {"TimeStamp", &OnTimeStamp, kRowUnchecked},
    {"pdaSpInfo", &tw::pda::OnPdaSpInfo},
    {"pdaSpBatch", &tw::pda::OnPdaSpBatch},
    {"pdaRecCtrlCode", &tw::pda::OnPdaRecCtrlCode},
    {"pdaRecSend", &tw::pda::OnPdaRecSend},
    {"pdaRecPromptQuery", &tw::pda::OnPdaRecPromptQuery},
    {"pdaRecReWeight", &tw::pda::OnPdaRecReWeight},
    {"pdaRecReWeightPre", &tw::pda::OnPdaRecReWeightPre},
    {"pdaRecReWeightTrans", &tw::pda::OnPdaRecReWeightTrans},
    {"pdaRecMod", &tw::pda::OnPdaRecMod},
    {"pdaRecReturn", &tw::pda::OnPdaRecReturn},
    {"pdaRecExcept", &OnEmptyRequest},
    {"pdaTransRcv", &tw::pda::OnPdaTransRcv},
    {"pdaTransShelfPut", &tw::pda::OnPdaTransShelfPut},
    {"pdaTransBagOut", &tw::pda::OnPdaRecReWeightTrans},
    {"pdawShelfPut", &tw::warehouse::OnPdawShelfPut},
    {"pdawShelfGet", &tw::warehouse::OnPdawShelfGet},
    {"pdawShelfQuery", &tw::warehouse::OnPdawShelfQuery},
    {"pdawShelfGoods", &tw::warehouse::OnPdawShelfGoods},
    {"pdawClientInfo", &tw::warehouse::OnPdawClientInfo},
    {"pdawGoodsInfo", &tw::warehouse::OnPdawGoodsInfo},
    {"pdawInPick", &tw::warehouse::OnPdawInPick},
    {"pdawInCheck", &tw::warehouse::OnPdawInCheck},
    {"pdawInConfirm", &tw::warehouse::OnPdawInConfirm},
    {"pdawShelfChange", &tw::warehouse::OnPdawShelfChange},
    {"pdawCartInfo", &tw::warehouse::OnPdawCartInfo},
    {"pdawCartChoose", &tw::warehouse::OnPdawCartChoose},
    {"pdawOrderInfo", &tw::warehouse::OnPdawOrderInfo},
    {"pdawCartConfirm", &tw::warehouse::OnPdawCartConfirm},
    {"pdawOrderOut", &tw::warehouse::OnPdawOrderOut},
    {"pdawMoveInfo", &tw::warehouse::OnPdawMoveInfo},
    {"pdawMoveIn", &tw::warehouse::OnPdawMoveIn},
    {"pdawMoveOut", &tw::warehouse::OnPdawMoveOut},
    {"pdawSerialIn", &tw::warehouse::OnPdawSerialIn},
    {"pdawSerialOut", &tw::warehouse::OnPdawSerialOut},
    {"pdaUserInfo", &tw::pda::OnPdaUserInfo},
    {"pdaRecPickup", &tw::pda::OnPdaRecPickup},
    {"pdaRecTrackInfo", &tw::pda::OnPdaRecTrackInfo},
    {"pdaxBagQuery", &tw::pda::OnPdaxBagQuery},
    {"pdaxBagSet", &tw::pda::OnPdaxBagSet},
    {"pdawInAdd", &tw::warehouse::OnPdawInAdd},
    {"pdawInQuery", &tw::warehouse::OnPdawInQuery},
    {"pdaTransQuery", &tw::pda::OnPdaTransQuery},
    {"pdaPreInputQuery", &tw::pda::OnPdaPreInputQuery},
    {"pdaRecAdd", &tw::pda::OnPdaRecAdd},
    {"pdaGetNum", &tw::pda::OnPdaGetNum},
    {"pdawInPicAdd", &tw::warehouse::OnPdawInPicAdd},
    {"pdawInPicQuery", &tw::warehouse::OnPdawInPicQuery},
    {"pdawGoodsDefine", &tw::warehouse::OnPdawGoodsDefine},
    {"pdawGoodsDepot", &tw::warehouse::OnPdawGoodsDepot},
    {"pdawInConfirmEx", &tw::warehouse::OnPdawInConfirmEx},
    {nullptr, nullptr, 0},
};

const RequestRow kDoChk[] = {
    {"TimeStamp", &OnTimeStamp, kRowUnchecked},
    {"ReturnAddr", &tw::carriers::OnReturnAddr},
    {nullptr, nullptr, 0},
};

template <size_t N>
std::span<const RequestRow> Rows(const RequestRow (&table)[N]) {
  return std::span<const RequestRow>(table, N - 1);  // without the closing row
}

}  // namespace

void OnEmptyRequest(const CRequest&) {}

std::span<const RequestRow> DoAppTable() { return Rows(kDoApp); }
std::span<const RequestRow> DoTable() { return Rows(kDo); }
std::span<const RequestRow> DoApiTable() { return Rows(kDoApi); }
std::span<const RequestRow> WeChatTable() { return Rows(kWeChat); }
std::span<const RequestRow> DoPdaTable() { return Rows(kDoPda); }
std::span<const RequestRow> DoChkTable() { return Rows(kDoChk); }

const RequestRow* FindRequest(std::span<const RequestRow> table, const char* name) {
  for (const RequestRow& r : table) {
    if (std::strcmp(r.name, name) == 0) return &r;
  }
  return nullptr;
}
