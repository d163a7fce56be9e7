// The request tables, in their order. A request whose handler is not part of the system yet is
// left out (its door answers "-4" for it); its place is kept as a comment.

#include "core/request_tables.h"

#include <cstring>

namespace {

using X = CTarnwickExtension;
constexpr ClientHandler kEmptyClient = static_cast<ClientHandler>(&X::OnEmptyRequest);
constexpr PdaHandler kEmptyPda = static_cast<PdaHandler>(&X::OnEmptyRequest);

const ClientRequest kDoApp[] = {
    {"PreInputSet", &X::OnPreInputSet},
    {"PreInputDel", &X::OnPreInputDel},
    {"PreInputData", &X::OnPreInputData},
    {"PreInputList", &X::OnPreInputList},
    {"RecList", &X::OnRecList},
    {"PreInputTotal", &X::OnPreInputTotal},
    {"QueryPrice", &X::OnQueryPrice},
    {"FeeList", &X::OnFeeList},
    {"DoIDCardPicSet", &X::OnDoIDCardPicSet},
    {"DoGetNo", &X::OnDoGetNo},
    {"VstGoodsList", &X::OnVstGoodsList},
    {nullptr, nullptr},
};

const ClientRequest kDo[] = {
    {"PreInputSet", &X::OnPreInputSet},
    {"PreInputDel", &X::OnPreInputDel},
    {"PreInputData", &X::OnPreInputData},
    {"PreInputList", &X::OnPreInputList},
    {"RecList", &X::OnRecList},
    {"PreInputTotal", &X::OnPreInputTotal},
    {"QueryPrice", &X::OnQueryPrice},
    {"FeeList", &X::OnFeeList},
    {"ClientCreate", &X::OnClientCreate},
    {"DoGetNo", &X::OnDoGetNo},
    {nullptr, nullptr},
};

const ClientRequest kDoApi[] = {
    {"PreInputSet", &X::OnPreInputSet},
    {"RecTransSet", &X::OnRecTransSet},
    {"RecDataRG", &X::OnRecDataRG},
    {"DoIDCardPicSet", &X::OnDoIDCardPicSet},
    {"DoGetNo", &X::OnDoGetNo},
    {"wOrderSet", &X::OnWOrderSet},
    {"wOrderDel", kEmptyClient},
    {"wGoodsInfo", &X::OnWGoodsInfo},
    {"wInQuery", &X::OnWInQuery},
    {"wInTotal", &X::OnWInTotal},
    {"wOutQuery", kEmptyClient},
    {"wOutTotal", kEmptyClient},
    {"wOrderInfo", kEmptyClient},
    {nullptr, nullptr},
};

const ClientRequest kWeChat[] = {
    {"PreInputSet", &X::OnPreInputSet},
    {"PreInputDel", &X::OnPreInputDel},
    {"PreInputData", &X::OnPreInputData},
    {"PreInputList", &X::OnPreInputList},
    {"RecTransSet", &X::OnRecTransSet},
    {"RecTransDel", &X::OnRecTransDel},
    {"RecTransData", &X::OnRecTransData},
    {"RecTransList", &X::OnRecTransList},
    {"RecList", &X::OnRecList},
    {"FeeList", &X::OnFeeList},
    {"DoIDCardPicSet", &X::OnDoIDCardPicSet},
    {nullptr, nullptr},
};

const PdaRequest kDoPda[] = {
    {"pdaSpInfo", &X::OnPdaSpInfo},
    {"pdaSpBatch", &X::OnPdaSpBatch},
    {"pdaRecCtrlCode", &X::OnPdaRecCtrlCode},
    {"pdaRecSend", &X::OnPdaRecSend},
    {"pdaRecPromptQuery", &X::OnPdaRecPromptQuery},
    {"pdaRecReWeight", &X::OnPdaRecReWeight},
    {"pdaRecReWeightPre", &X::OnPdaRecReWeightPre},
    {"pdaRecReWeightTrans", &X::OnPdaRecReWeightTrans},
    {"pdaRecMod", &X::OnPdaRecMod},
    {"pdaRecReturn", &X::OnPdaRecReturn},
    {"pdaRecExcept", kEmptyPda},
    {"pdaTransRcv", &X::OnPdaTransRcv},
    {"pdaTransShelfPut", &X::OnPdaTransShelfPut},
    {"pdaTransBagOut", &X::OnPdaRecReWeightTrans},
    {"pdawShelfPut", &X::OnPdawShelfPut},
    {"pdawShelfGet", &X::OnPdawShelfGet},
    {"pdawShelfQuery", &X::OnPdawShelfQuery},
    {"pdawShelfGoods", &X::OnPdawShelfGoods},
    {"pdawClientInfo", &X::OnPdawClientInfo},
    {"pdawGoodsInfo", &X::OnPdawGoodsInfo},
    {"pdawInPick", &X::OnPdawInPick},
    {"pdawInCheck", &X::OnPdawInCheck},
    {"pdawInConfirm", &X::OnPdawInConfirm},
    {"pdawShelfChange", &X::OnPdawShelfChange},
    {"pdawCartInfo", &X::OnPdawCartInfo},
    {"pdawCartChoose", &X::OnPdawCartChoose},
    {"pdawOrderInfo", &X::OnPdawOrderInfo},
    {"pdawCartConfirm", &X::OnPdawCartConfirm},
    {"pdawOrderOut", &X::OnPdawOrderOut},
    {"pdawMoveInfo", &X::OnPdawMoveInfo},
    {"pdawMoveIn", &X::OnPdawMoveIn},
    {"pdawMoveOut", &X::OnPdawMoveOut},
    {"pdawSerialIn", &X::OnPdawSerialIn},
    {"pdawSerialOut", &X::OnPdawSerialOut},
    {"pdaUserInfo", &X::OnPdaUserInfo},
    {"pdaRecPickup", &X::OnPdaRecPickup},
    {"pdaRecTrackInfo", &X::OnPdaRecTrackInfo},
    {"pdaxBagQuery", &X::OnPdaxBagQuery},
    {"pdaxBagSet", &X::OnPdaxBagSet},
    {"pdawInAdd", &X::OnPdawInAdd},
    {"pdawInQuery", &X::OnPdawInQuery},
    {"pdaTransQuery", &X::OnPdaTransQuery},
    {"pdaPreInputQuery", &X::OnPdaPreInputQuery},
    {"pdaRecAdd", &X::OnPdaRecAdd},
    {"pdaGetNum", &X::OnPdaGetNum},
    {"pdawInPicAdd", &X::OnPdawInPicAdd},
    {"pdawInPicQuery", &X::OnPdawInPicQuery},
    {"pdawGoodsDefine", &X::OnPdawGoodsDefine},
    {"pdawGoodsDepot", &X::OnPdawGoodsDepot},
    {"pdawInConfirmEx", &X::OnPdawInConfirmEx},
    {nullptr, nullptr},
};

template <typename Entry, size_t N>
std::span<const Entry> Entries(const Entry (&table)[N]) {
  return std::span<const Entry>(table, N - 1);  // without the closing row
}

}  // namespace

std::span<const ClientRequest> DoAppTable() { return Entries(kDoApp); }
std::span<const ClientRequest> DoTable() { return Entries(kDo); }
std::span<const ClientRequest> DoApiTable() { return Entries(kDoApi); }
std::span<const ClientRequest> WeChatTable() { return Entries(kWeChat); }
std::span<const PdaRequest> DoPdaTable() { return Entries(kDoPda); }

ClientHandler FindClientHandler(std::span<const ClientRequest> table, const char* name) {
  for (const ClientRequest& r : table) {
    if (std::strcmp(r.name, name) == 0) return r.handler;
  }
  return nullptr;
}

PdaHandler FindPdaHandler(std::span<const PdaRequest> table, const char* name) {
  for (const PdaRequest& r : table) {
    if (std::strcmp(r.name, name) == 0) return r.handler;
  }
  return nullptr;
}
