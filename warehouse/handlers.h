#pragma once
// The warehouse road: the depot-bound requests of the PDAs (DoPda) and the partner and client
// requests about a client's goods in the depots (DoApi, DoApp). Each handler answers its request on
// rq.pCtxt before it returns.
//
// Thread-safety: the doors call the handlers from many threads at once; a handler keeps its state
// in the pool slot it holds.

#include "core/request.h"

namespace tw::warehouse {

// ----- Depot-bound PDA requests (DoPda) -----------------------------------------------------------
// Each reads "cDepot", takes a pool slot and loads the depot's settings before it acts.
void OnPdawClientInfo(const CRequest& rq);
void OnPdawMoveInfo(const CRequest& rq);
void OnPdawMoveIn(const CRequest& rq);
void OnPdawMoveOut(const CRequest& rq);
void OnPdawShelfPut(const CRequest& rq);
void OnPdawShelfGet(const CRequest& rq);
void OnPdawShelfQuery(const CRequest& rq);
void OnPdawShelfGoods(const CRequest& rq);
void OnPdawShelfChange(const CRequest& rq);
void OnPdawGoodsInfo(const CRequest& rq);
void OnPdawGoodsDefine(const CRequest& rq);
void OnPdawGoodsDepot(const CRequest& rq);
void OnPdawInAdd(const CRequest& rq);
void OnPdawInQuery(const CRequest& rq);
void OnPdawInPicAdd(const CRequest& rq);
void OnPdawInPicQuery(const CRequest& rq);
void OnPdawInPick(const CRequest& rq);
void OnPdawInCheck(const CRequest& rq);
void OnPdawInConfirm(const CRequest& rq);
void OnPdawInConfirmEx(const CRequest& rq);
void OnPdawCartInfo(const CRequest& rq);
void OnPdawCartChoose(const CRequest& rq);
void OnPdawCartConfirm(const CRequest& rq);
void OnPdawOrderInfo(const CRequest& rq);
void OnPdawOrderOut(const CRequest& rq);
void OnPdawSerialIn(const CRequest& rq);
void OnPdawSerialOut(const CRequest& rq);

// ----- Partner and client requests ----------------------------------------------------------------
// "wOrderSet" (DoApi): stores each order of "OrderList" (every object with its own "ioID") as a
// pre-input shipment through SavePreInputRecord and answers the batch reply with one entry per
// order. "wGoodsInfo", "wInQuery" (DoApi): the client's goods placed in a depot and its goods-in
// records, as ascending paged lists; "wInTotal" (DoApi): the pieces stored in a depot over a time
// span, by goods. "VstGoodsList" (DoApp): the client's goods definitions, an ascending paged list.
void OnWOrderSet(const CRequest& rq);
void OnWGoodsInfo(const CRequest& rq);
void OnWInQuery(const CRequest& rq);
void OnWInTotal(const CRequest& rq);
void OnVstGoodsList(const CRequest& rq);

}  // namespace tw::warehouse
