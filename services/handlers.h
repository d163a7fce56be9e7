#pragma once
// The client road: the handlers of the client applications' and partner systems' requests
// (DoApp, DoApi, WeChat, Do) and the payment terminals' command.
//
// A handler answers one request on rq.pCtxt (core/request.h) and writes its whole reply before it
// returns. Thread-safety: the doors call the handlers from many threads at once; a handler keeps its
// state in the pool slot it holds.

#include <cstdint>
#include <string_view>

#include "core/request.h"
#include "platform/event.h"

struct PoolSlot;
struct QuoteRequest;
struct ShipmentEntryResult;

// The payment gateway's lock (auto-reset, created closed; opened at the end of start-up).
extern CEvent g_PayWsjLock;

namespace tw::services {

// ----- Requests the doors answer before their tables ----------------------------------------------
void OnEmsKindList(const CRequest& rq);
void OnGenerateMD5(const CRequest& rq);
// "GetClientID": reads the request's "MD5" (at most 33 bytes, lower-cased), which masks the key.
void OnGetClientID(const CRequest& rq);
void OnClientAuth(const CRequest& rq);
void OnRecTransBagSet(const CRequest& rq);

// ----- Client services (reading) ------------------------------------------------------------------
// "ClientInfo" and "ClientAuth" are OnClientAuth, "EmsKindList" is OnEmsKindList (above).
void OnPreInputData(const CRequest& rq);
void OnPreInputList(const CRequest& rq);
void OnRecList(const CRequest& rq);
void OnFeeList(const CRequest& rq);
void OnPreInputTotal(const CRequest& rq);
// ----- Client services (writing) ------------------------------------------------------------------
// "PreInputSet" (DoApp, Do, DoApi, WeChat): stores the records of "RecList" as pre-input shipments,
// each through SavePreInputRecord (services/shipment_entry.h), and answers the batch reply with one
// entry per record.
void OnPreInputSet(const CRequest& rq);
// "PreInputDel" (DoApp, Do, WeChat): withdraws the client's pre-input shipments of "iIDs" and
// answers the batch reply with one entry per id that was not withdrawn.
void OnPreInputDel(const CRequest& rq);

// ----- Client services (identity and numbers) ---------------------------------------------------
// "GenerateMD5" and "GetClientID" are declared with the requests the doors answer first (above).
// "DoIDCardPicSet" (DoApp, DoApi, WeChat): joins the two uploaded sides of a receiver's identity
// card into one watermarked JPEG and stores it on a new x_sri record of the client, or on the
// client's record "iID"; answers the record id or a refusal code.
void OnDoIDCardPicSet(const CRequest& rq);
// "DoGetNo" (DoApp, DoApi, Do): a new transfer number (iType 0) or internal number for the kind
// "cEmsKind", with the kind's default reserve fields.
void OnDoGetNo(const CRequest& rq);
// "ClientCreate" (Do): opens a client account (cp_client_arc_add); answers the new client id (or
// the procedure's refusal) with the unit name and the account, made from the name when not given.
void OnClientCreate(const CRequest& rq);

// ----- Client services (money and transfers) ------------------------------------------------------
// PayWsj: the payment terminals' command "PayWsj" (its envelope; length is not used). It runs one
// of two operations on the slot it holds, with the decoded request text: OnPayWsjQuery (command
// 102, what to collect for a waybill) and OnPayWsjResult (command 103, books the payment through
// cp_client_fee_r_pos under the payment lock; "00" only for a booking that exists).
// WritePayWsjError sends {"Response":"01",...} with the GBK message as UTF-8.
void PayWsj(CHttpServerContext* pCtxt, char* body, int length);
void OnPayWsjQuery(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot);
void OnPayWsjResult(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot);
void WritePayWsjError(CHttpServerContext* pCtxt, const char* message);
// Transfer records: "RecTransSet" (DoApi, WeChat) stores the records of "RecList", each through
// SaveTransferRecord, and answers the batch reply with one entry per record; "RecTransDel",
// "RecTransData" and "RecTransList" (WeChat) withdraw, read and list the client's records.
void OnRecTransSet(const CRequest& rq);
void OnRecTransDel(const CRequest& rq);
void OnRecTransData(const CRequest& rq);
void OnRecTransList(const CRequest& rq);
// SaveTransferRecord: stores one transfer record (its own JSON object text) of the client with its
// goods lines, on the slot's connection. Returns the stored record's id (>= 1), -1 when the record
// was refused before storing, -9 when the database did not run the call, or the procedure's own
// refusal (< 1). result (value-initialised by the caller, iIndex set) receives the id, the number
// as sent and, on failure, the reason in cMess. REQUIRES: the caller holds the slot.
int SaveTransferRecord(PoolSlot& slot, int32_t clientId, std::string_view record, ShipmentEntryResult& result,
                       const unsigned char* address);
// "RecDataRG" (DoApi): the receiver and goods data of one of the client's shipment records.
// ("RecTransBagSet" is OnRecTransBagSet above: DoApi runs it under the transfer-bag lock.)
void OnRecDataRG(const CRequest& rq);

// ----- Prices and quotes --------------------------------------------------------------------------
// "QueryPrice" (DoApp, Do): what a shipment to a destination costs the client, for one kind or for
// every kind that serves the destination, with the explanation of each price.
void OnQueryPrice(const CRequest& rq);
// QuoteOneKind, QuoteAllKinds: the two quotes of "QueryPrice" for a request that passed its key,
// destination and weight checks, on the slot the caller holds; each answers the request (its price
// list or a refusal code).
void QuoteOneKind(CHttpServerContext* pCtxt, const QuoteRequest& request, PoolSlot& slot);
void QuoteAllKinds(CHttpServerContext* pCtxt, const QuoteRequest& request, PoolSlot& slot);

}  // namespace tw::services
