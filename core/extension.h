#pragma once
// The two objects the web server knows the library by.
//
// CTarnwickFilter does the whole start-up in GetFilterVersion (registry login, the 50 pooled
// connections, the configuration, the label worker) and the pool teardown in its destructor.
// CTarnwickExtension receives the URL commands through its parse map, finishes the start-up in
// GetExtensionVersion and starts the shutdown in TerminateExtension. Every request handler of the
// system is a method of CTarnwickExtension; each subsystem declares its handlers in its own section
// below and defines them in its own folder.
//
// Thread-safety: the web server calls the commands from many threads at once; handlers keep their
// state in the pool slot they hold.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event.h"
#include "platform/httpserver.h"
#include "pricing/zone_table.h"

// The library's version, shown by the about page.
inline constexpr char kTarnwickVersion[] = "4.8";
inline constexpr char kTarnwickUpdated[] = "2015-06-14";

struct GoodsDefineRecord;
struct GoodsDepotRecord;
struct PdaUser;
struct PoolSlot;
struct QuoteRequest;
struct ShipmentEntryResult;
struct SysPlace;

class CTarnwickExtension : public CHttpServer {
 public:
  CTarnwickExtension();
  ~CTarnwickExtension() override;

  BOOL GetExtensionVersion(HSE_VERSION_INFO* pVer) override;
  BOOL TerminateExtension(DWORD dwFlags) override;
  const std::vector<ParseMapEntry>& GetParseMap() const override;

  // ----- URL commands -------------------------------------------------------------------------------
  void Default(CHttpServerContext* pCtxt);
  void DoBarCode(CHttpServerContext* pCtxt, const char* ccode, int16_t ih, int16_t iwz, int16_t idir,
                 int16_t ntype, const char* cmask);
  void DoApp(CHttpServerContext* pCtxt, char* body, int length);
  void DoApi(CHttpServerContext* pCtxt, char* body, int length);
  void DoPda(CHttpServerContext* pCtxt, char* body, int length);
  void DoChk(CHttpServerContext* pCtxt, char* body, int length);
  void WeChat(CHttpServerContext* pCtxt, char* body, int length);
  void Do(CHttpServerContext* pCtxt, char* body, int length);
  void PayWsj(CHttpServerContext* pCtxt, char* body, int length);

  // ----- Reply writer and request log ---------------------------------------------------------------
  // WriteReply: sends text with the JSON headers (bJson: a text not beginning with '{' is wrapped as
  // {"ReturnValue":text}) or as text/html (bJson 0: unchanged). Returns the result of the write.
  int WriteReply(CHttpServerContext* pCtxt, const char* text, int bJson);
  // The same for a reply of `length` bytes (JSON headers; no wrapping).
  int WriteJsonReply(CHttpServerContext* pCtxt, const char* text, size_t length);
  // WriteReply of the number as the bare code ({"ReturnValue":code}).
  int WriteCode(CHttpServerContext* pCtxt, int code);
  // WriteLog: appends one time-stamped entry to the day's log file of the category; a text over
  // 30000 bytes is not written. bBom: a new file starts with the UTF-8 byte order mark.
  void WriteLog(const char* text, const char* category, int bBom = 0);

  // ----- Configuration ------------------------------------------------------------------------------
  // LoadConfiguration: reads tarnwick.ini and the dictionary; 1 when the whole file was processed.
  int LoadConfiguration();
  // GetLocalIp: the first IPv4 address of the host's name as dotted text, empty when there is none.
  static std::string GetLocalIp();

  // ----- Number generation -------------------------------------------------------------------------
  // GenerateNumber: draws a number for the rule text ("8831*": sequence 8831 through
  // cp_x_genno_exx; any other text through cp_get_sys_num) into text (32 bytes) and *value (-1 for
  // the text path), on the connection of `slot`, the pool slot the caller holds. Returns 1, or 0 on
  // a lock time-out (10 s), a failed statement, or a refusal.
  // The caller takes its slot before the number lock, so no drawing holds the lock while it waits
  // for a slot and no request holds two. REQUIRES: no transaction is open on the slot's connection
  // (a drawn number stays used whatever the caller does next).
  int GenerateNumber(PoolSlot& slot, int32_t clientId, const char* ruleText, char text[32], int64_t* value);
  // GenerateTransferNumber: by the first transfer-number rule named `kind`. *ruleId -1 when none.
  int GenerateTransferNumber(PoolSlot& slot, int32_t clientId, const char* kind, char text[32], int32_t* ruleId);
  // GenerateInternalNumber: by the internal-number rule named ruleName, else the default rule.
  int GenerateInternalNumber(PoolSlot& slot, int32_t clientId, const char* ruleName, char text[32],
                             int32_t* ruleId);
  // FindTransferNumberRuleId: the rule id of the first transfer-number rule of the kind, -1 when none.
  static int FindTransferNumberRuleId(const char* kind);

  // ----- Front doors -------------------------------------------------------------------------------
  // ParseIPv4: the four bytes of a dotted address (parts missing stay 0). Non-zero when four parts
  // were found.
  static int ParseIPv4(const char* text, unsigned char out[4]);
  // IsUrlEncodedBody: 1 when "%22" starts at a byte offset from 0 to 100 of the body.
  static int IsUrlEncodedBody(const char* body);
  // OnEmptyRequest: answers nothing (an empty reply).
  void OnEmptyRequest(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnEmptyRequest(CHttpServerContext* pCtxt, char* body, const PdaUser& user);

  // Handlers of the subsystems follow, one section per subsystem. A client handler receives the
  // caller's four address bytes, a PDA handler the calling PDA user.

  // ----- Requests the doors answer before their tables ----------------------------------------------
  void OnEmsKindList(CHttpServerContext* pCtxt);
  void OnGenerateMD5(CHttpServerContext* pCtxt, char* body);
  void OnGetClientID(CHttpServerContext* pCtxt, char* body, const char* md5);
  void OnClientAuth(CHttpServerContext* pCtxt, char* body, int mode);
  void OnEPostPdf(CHttpServerContext* pCtxt, char* body);
  void OnEPostUpload(CHttpServerContext* pCtxt, char* body);
  void OnRecTransBagSet(CHttpServerContext* pCtxt, char* body, const unsigned char* address);

  // ----- Client services (reading) ------------------------------------------------------------------
  // "ClientInfo" and "ClientAuth" are OnClientAuth, "EmsKindList" is OnEmsKindList (above).
  void OnPreInputData(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnPreInputList(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnRecList(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnFeeList(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnPreInputTotal(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // LoadEmsKindAliases: refills g_EmsKindAliases with the kinds clients may enter, on the slot's
  // connection; a query that fails or finds nothing keeps the table as it was. REQUIRES: the caller
  // holds the slot.
  static void LoadEmsKindAliases(PoolSlot& slot);
  // GetEmsKindAlias: copies the input name of the first alias whose kind code equals `code` exactly
  // into out; out stays as it was when there is none. Returns out.
  static char* GetEmsKindAlias(const char* code, char out[16]);

  // ----- Client services (writing) ------------------------------------------------------------------
  // "PreInputSet" (DoApp, Do, DoApi, WeChat): stores the records of "RecList" as pre-input shipments,
  // each through SavePreInputRecord, and answers the batch reply with one entry per record.
  void OnPreInputSet(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // "PreInputDel" (DoApp, Do, WeChat): withdraws the client's pre-input shipments of "iIDs" and
  // answers the batch reply with one entry per id that was not withdrawn.
  void OnPreInputDel(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // SavePreInputRecord: stores one shipment record (its JSON text, "iID" first) of the client as a
  // pre-input shipment, with its goods lines, numbers, zone and kind fill fields, on the slot's
  // connection; a carrier order, when the kind goes to one, is made on the slot too. Returns the
  // stored shipment's id (> 0); -1 when the record was refused before storing, -9 when the database
  // did not run the statements, or the procedure's own refusal (<= 0). result (value-initialised by
  // the caller, iIndex set) receives the numbers and fields as stored, and on failure the reason in
  // cMess. address: the caller's four address bytes. REQUIRES: the caller holds the slot.
  int SavePreInputRecord(PoolSlot& slot, int32_t clientId, std::string_view record, ShipmentEntryResult& result,
                         const unsigned char* address);

  // ----- Client services (identity and numbers) ---------------------------------------------------
  // "GenerateMD5" and "GetClientID" are declared with the requests the doors answer first (above).
  // "DoIDCardPicSet" (DoApp, DoApi, WeChat): joins the two uploaded sides of a receiver's identity
  // card into one watermarked JPEG and stores it on a new x_sri record of the client, or on the
  // client's record "iID"; answers the record id or a refusal code.
  void OnDoIDCardPicSet(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // "DoGetNo" (DoApp, DoApi, Do): a new transfer number (iType 0) or internal number for the kind
  // "cEmsKind", with the kind's default reserve fields.
  void OnDoGetNo(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // "ClientCreate" (Do): opens a client account (cp_client_arc_add); answers the new client id (or
  // the procedure's refusal) with the unit name and the account, made from the name when not given.
  void OnClientCreate(CHttpServerContext* pCtxt, char* body, const unsigned char* address);

  // ----- Client services (money and transfers) ------------------------------------------------------
  // The payment terminals' command "PayWsj" (its envelope) runs one of two operations on the slot it
  // holds, with the decoded request text: OnPayWsjQuery (command 102, what to collect for a waybill)
  // and OnPayWsjResult (command 103, books the payment through cp_client_fee_r_pos under the payment
  // lock; "00" only for a booking that exists). WritePayWsjError sends {"Response":"01",...} with the
  // GBK message as UTF-8.
  void OnPayWsjQuery(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot);
  void OnPayWsjResult(CHttpServerContext* pCtxt, const char* request, PoolSlot& slot);
  void WritePayWsjError(CHttpServerContext* pCtxt, const char* message);
  // Transfer records: "RecTransSet" (DoApi, WeChat) stores the records of "RecList", each through
  // SaveTransferRecord, and answers the batch reply with one entry per record; "RecTransDel",
  // "RecTransData" and "RecTransList" (WeChat) withdraw, read and list the client's records.
  void OnRecTransSet(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnRecTransDel(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnRecTransData(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnRecTransList(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // SaveTransferRecord: stores one transfer record (its own JSON object text) of the client with its
  // goods lines, on the slot's connection. Returns the stored record's id (>= 1), -1 when the record
  // was refused before storing, -9 when the database did not run the call, or the procedure's own
  // refusal (< 1). result (value-initialised by the caller, iIndex set) receives the id, the number
  // as sent and, on failure, the reason in cMess. REQUIRES: the caller holds the slot.
  int SaveTransferRecord(PoolSlot& slot, int32_t clientId, std::string_view record, ShipmentEntryResult& result,
                         const unsigned char* address);
  // "RecDataRG" (DoApi): the receiver and goods data of one of the client's shipment records.
  // ("RecTransBagSet" is OnRecTransBagSet above: DoApi runs it under the transfer-bag lock.)
  void OnRecDataRG(CHttpServerContext* pCtxt, char* body, const unsigned char* address);

  // ----- Prices and quotes --------------------------------------------------------------------------
  // "QueryPrice" (DoApp, Do): what a shipment to a destination costs the client, for one kind or for
  // every kind that serves the destination, with the explanation of each price.
  void OnQueryPrice(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  // QuoteOneKind, QuoteAllKinds: the two quotes of "QueryPrice" for a request that passed its key,
  // destination and weight checks, on the slot the caller holds; each answers the request (its price
  // list or a refusal code).
  void QuoteOneKind(CHttpServerContext* pCtxt, const QuoteRequest& request, PoolSlot& slot);
  void QuoteAllKinds(CHttpServerContext* pCtxt, const QuoteRequest& request, PoolSlot& slot);
  // QuerySysPlace: the place the database knows for a destination text of 1..63 bytes
  // (cp_query_sys_place), on the slot's connection. Returns 1 with *place filled, 0 when there is
  // none (or the text is empty or too long), -9 when the call failed.
  static int QuerySysPlace(PoolSlot& slot, const char* text, SysPlace* place);
  // GetBasePriceByProc: the base price in cents of `grams` to the place for the kind and item type
  // (cp_get_base_price) on the slot's connection: the procedure's return value (-4 when it gives
  // none), -9 when the call failed.
  static int GetBasePriceByProc(PoolSlot& slot, const char* place, const char* kind, int itemType, int32_t grams);
  // LoadZipChoiceTables: fills m_ZoneTable from the zone definitions of file_share (grade 188,
  // "Zip_Choice_Zone_0", "_1" ... then "Zip_Choice_Price_0" ...), on a slot of its own. REQUIRES: the
  // start-up thread, before requests are served.
  void LoadZipChoiceTables();
  // The postcode zones of the quote and sorting lists.
  CZoneTable m_ZoneTable;

  // ----- PDA lookups, events and corrections (DoPda) -------------------------------------------------
  // "pdaSpInfo": the active suppliers, or supplier and kind pairs, with their batch codes.
  void OnPdaSpInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaSpBatch": the batch numbers a supplier has used on one day, newest first.
  void OnPdaSpBatch(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecCtrlCode": attaches a three-character control code to a shipment number.
  void OnPdaRecCtrlCode(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecSend": hands a shipment to a supplier's batch: the check procedure's text, the supplier
  // cost and one of the four scan procedures.
  void OnPdaRecSend(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecPromptQuery": the staff and client prompts of a number for one step of handling.
  void OnPdaRecPromptQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecMod": overwrites the given text fields of a shipment record.
  void OnPdaRecMod(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecReturn": books a shipment as returned (once), with the depot's handling when "cDepot" is
  // given; a refused return is recorded as a failed scan.
  void OnPdaRecReturn(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaTransRcv": receives a transfer parcel: a known transfer, a new one for a client, or unclaimed.
  void OnPdaTransRcv(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaTransShelfPut": records the shelf of a received transfer.
  void OnPdaTransShelfPut(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaUserInfo": the operator of the PDA and the operator's 23 right flags.
  void OnPdaUserInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecPickup": records that a parcel was picked up from a client.
  void OnPdaRecPickup(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecTrackInfo": a tracking event on a shipment record, an export bag or an air waybill.
  void OnPdaRecTrackInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaxBagQuery": one export bag with its pack, and optionally the bags counted by a field.
  void OnPdaxBagQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaxBagSet": changes the mark and reserve fields of an export bag.
  void OnPdaxBagSet(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaTransQuery", "pdaPreInputQuery": one transfer record / pre-input shipment by its number.
  void OnPdaTransQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdaPreInputQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaGetNum": one number of a numbering rule.
  void OnPdaGetNum(CHttpServerContext* pCtxt, char* body, const PdaUser& user);

  // ----- PDA shipment entry and weighing ------------------------------------------------------------
  // "pdaRecAdd": a shipment record typed in on the PDA, for the client of "icID" (or of the account
  // "cAccount"), stored through AddShipmentRecord; the reply carries the outcome.
  void OnPdaRecAdd(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // AddShipmentRecord: stores the shipment record of the request text for the client: its goods
  // lines, pieces, numbers (drawn when missing, a carrier's when its kind goes to one), chargeable
  // weight and price, through cp_client_rec_fast_add, on the slot's connection; the record, its
  // piece rows and its goods rows are stored together or not at all. Returns the new record id
  // (> 0); -1 when the routine refused the record, -9 when the database did not run the call or did
  // not store the rows, or the procedure's own refusal (<= 0). result (value-initialised by the
  // caller) receives the numbers, weight and amount, and on failure the reason in cMess; its iID is
  // the new record id, the procedure's refusal, or else the request's "irID" once that was read.
  // operatorName: who entered the record. REQUIRES: the caller holds the slot.
  int AddShipmentRecord(PoolSlot& slot, int32_t clientId, std::string_view body, ShipmentEntryResult& result,
                        const char* operatorName);
  // "pdaRecReWeight": an existing record weighed (and priced) again.
  void OnPdaRecReWeight(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecReWeightPre": a client's pre-input shipment made into a shipment record as it is weighed.
  void OnPdaRecReWeightPre(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // "pdaRecReWeightTrans" and "pdaTransBagOut": a received and audited transfer bag made into a
  // shipment record as it is weighed.
  void OnPdaRecReWeightTrans(CHttpServerContext* pCtxt, char* body, const PdaUser& user);

  // ----- Warehouse (depot-bound PDA requests) -------------------------------------------------------
  // Each reads "cDepot", takes a pool slot and loads the depot's settings before it acts.
  void OnPdawClientInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawMoveInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawMoveIn(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawMoveOut(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawShelfPut(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawShelfGet(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawShelfQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawShelfGoods(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawShelfChange(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawGoodsInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawGoodsDefine(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawGoodsDepot(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInAdd(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInPicAdd(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInPicQuery(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInPick(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInCheck(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInConfirm(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawInConfirmEx(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawCartInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawCartChoose(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawCartConfirm(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawOrderInfo(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawOrderOut(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawSerialIn(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  void OnPdawSerialOut(CHttpServerContext* pCtxt, char* body, const PdaUser& user);
  // AddGoodsDefine: defines the goods of the record (cp_w_goods_define_add) on the slot's
  // connection. Returns the new goods id, the procedure's refusal (-1 goods code taken, -3 client
  // code taken, -4 client goods name taken ...) or -9 when the statement did not run; mess receives
  // the text of a refusal. REQUIRES: the caller holds the slot.
  int AddGoodsDefine(PoolSlot& slot, const GoodsDefineRecord& record, const PdaUser& user, std::string& mess);
  // AddGoodsDepot: places the goods in the depot (cp_w_goods_depot_add) on the slot's connection.
  // Returns the new placement id, -1 when the goods are placed there already, another refusal, or -9;
  // mess as above. REQUIRES: the caller holds the slot.
  int AddGoodsDepot(PoolSlot& slot, const GoodsDepotRecord& record, const char* depotCode, const PdaUser& user,
                    std::string& mess);

  // ----- Warehouse (partner and client requests) ----------------------------------------------------
  // "wOrderSet" (DoApi): stores each order of "OrderList" (every object with its own "ioID") as a
  // pre-input shipment through SavePreInputRecord and answers the batch reply with one entry per
  // order. "wGoodsInfo", "wInQuery" (DoApi): the client's goods placed in a depot and its goods-in
  // records, as ascending paged lists; "wInTotal" (DoApi): the pieces stored in a depot over a time
  // span, by goods. "VstGoodsList" (DoApp): the client's goods definitions, an ascending paged list.
  void OnWOrderSet(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnWGoodsInfo(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnWInQuery(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnWInTotal(CHttpServerContext* pCtxt, char* body, const unsigned char* address);
  void OnVstGoodsList(CHttpServerContext* pCtxt, char* body, const unsigned char* address);

  // The request counter of the doors (steps by two per logged request).
  std::atomic<uint32_t> m_nRequestSerial{0};
  // The lock of number generation (auto-reset, created closed; opened by GetExtensionVersion).
  CEvent m_NumberLock;

 private:
  void DoBarCodeArgs(CHttpServerContext* pCtxt, const CHttpArgs& args);
};

class CTarnwickFilter : public CHttpFilter {
 public:
  CTarnwickFilter() = default;
  ~CTarnwickFilter() override;

  BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) override;
  DWORD OnEndOfNetSession(HTTP_FILTER_CONTEXT* pfc) override;
};

// ----- Global state of the frame ----------------------------------------------------------------------
// g_bStopping and the pool live in core/pool.h.
extern std::atomic<int32_t> g_bLogEnabled;        // the label worker logs only while 1
extern CEvent g_LabelWorkerStopEvent;             // stop signal of the label worker
extern CEvent g_TransBagLock;                     // serialises "RecTransBagSet"
extern CEvent g_PayWsjLock;                       // the payment gateway's lock
extern int g_nLoadDayOfYear;                      // day of the year (1..366) at library load
extern CTarnwickExtension theExtension;
extern CTarnwickFilter theFilter;

// The start-up progress hook: the texts are not recorded anywhere.
void StartupTrace(const char* text);
