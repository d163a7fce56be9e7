#pragma once
// The shape every depot-bound warehouse request shares: "cDepot" (at most 3 characters, empty
// "-830"), the handler's own key checks, a pool slot ("-9999") held for the whole request and given
// back on every path, the depot's settings ("-831"), then the handler's statements and its reply,
// grown on the heap when the slot's reply buffer is too small. A procedure's refusal is answered
// with "ReturnValue" -14 and a "cMess".
//
// CProcCall builds one stored-procedure call: every text argument passes the SQL sanitiser, the
// return value and any further "?" outputs are bound by their position.
//
// Thread-safety: everything here belongs to the request's thread and its pool slot.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/caches.h"
#include "core/db.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/request.h"
#include "pricing/depot_settings.h"
#include "util/outbuf.h"

namespace tw::warehouse {

inline constexpr size_t kDepotCodeMax = 3;
// A procedure refused: the reply carries this code and "cMess".
inline constexpr int kRcRefused = -14;
// The usual texts of a refusal.
inline constexpr char kMessGone[] = "记录不存在，可能刚被删除。";
inline constexpr char kMessSystem[] = "系统错误。";

class CDepotRequest {
 public:
  // rq: the request as its door hands it; without a PDA operator (the partner door) it acts for none.
  explicit CDepotRequest(const CRequest& rq);
  CDepotRequest(const CDepotRequest&) = delete;
  CDepotRequest& operator=(const CDepotRequest&) = delete;

  // ReadDepot: reads "cDepot". False, with "-830" answered, when it is empty.
  [[nodiscard]] bool ReadDepot();
  // Open: takes the pool slot and loads the depot's settings. False, with "-9999" or "-831"
  // answered, when either fails. REQUIRES: ReadDepot succeeded.
  [[nodiscard]] bool Open();
  // TakeSlot / LoadDepot: the two halves of Open, for handlers that test keys between them.
  [[nodiscard]] bool TakeSlot();
  [[nodiscard]] bool LoadDepot();

  std::string_view body() const { return body_; }
  const PdaUser& user() const { return user_; }
  const char* depotCode() const { return depotCode_; }
  // The depot code as SQL text (sanitised).
  const std::string& sqlDepot() const { return sqlDepot_; }
  const CDepotSettings& depot() const { return *depot_; }
  PoolSlot& slot() const { return slot_.slot(); }
  SQLHDBC dbc() const { return slot_.dbc(); }

  // Code: answers the bare code.
  void Code(int code);
  // Reply: the request's reply buffer (the slot's, growing on the heap; a buffer of its own when no
  // slot is held).
  tw::OutBuf& Reply();
  // Send: answers what Reply() holds ("-9" instead when it overflowed).
  void Send();

 private:
  CHttpServerContext* pCtxt_;
  std::string_view body_;
  const PdaUser& user_;
  char depotCode_[kDepotCodeMax + 1] = "";
  std::string sqlDepot_;
  PoolSlotGuard slot_{-1};
  const CDepotSettings* depot_ = nullptr;
  std::vector<char> ownReply_;
  tw::OutBuf reply_{nullptr, 0};
  bool replyOpen_ = false;
};

// CloseWithMess: closes a refusal reply: "cMess" as the last key and "}".
void CloseWithMess(tw::OutBuf& out, const char* mess);

// A stored-procedure call "{?=CALL dorvane.dbo.<name>(...)}": the return value is bound as output 1
// (initial -1), each Out* marker as the next output.
class CProcCall {
 public:
  explicit CProcCall(const char* name);
  CProcCall& Int(int64_t value);
  // Text: the value sanitised and quoted.
  CProcCall& Text(const char* value);
  CProcCall& Text(const std::string& value) { return Text(value.c_str()); }
  // Real: the value with that many decimals ("%.2f").
  CProcCall& Real(double value, int decimals);
  CProcCall& OutInt(int32_t* value);
  CProcCall& OutInt64(int64_t* value);
  // Fees: one item per operation code, each (name, seconds x quantity, 0, wage x quantity "%.2f");
  // an operation the depot does not define gives (name, 0, 0, 0.00).
  CProcCall& Fees(const CDepotSettings& depot, std::initializer_list<int32_t> codes, int64_t quantity);

  const std::string& text() const { return text_; }
  // Run: runs the call on dbc and stores the return value in *result. False when the statement
  // could not be allocated or run.
  [[nodiscard]] bool Run(SQLHDBC dbc, int32_t* result);

 private:
  void Separator();
  struct Output {
    int32_t* i32;
    int64_t* i64;
  };
  std::string text_;
  bool first_ = true;
  std::vector<Output> outputs_;
};

// GoodsCondition: the condition that names a goods item of the request, in preference order
// "<alias>giid=<id>" (id above 0), "<alias>cgcode='<code>'", "<alias>icid=<client> AND
// <alias>cccode='<client code>'" (client above 0); "" when none can be used.
[[nodiscard]] std::string GoodsCondition(int32_t giid, const char* cgcode, int32_t icid, const char* cccode,
                                         const char* alias = "b.");

// The goods named by a request: by id, goods code, or the owner's account with the client's code.
struct GoodsKeys {
  int32_t giid = 0;
  char cgcode[64] = "";
  char cccode[64] = "";
  char account[31] = "";
  int32_t icid = 0;          // the account's client, 0 when none is given or it names none
  bool bUnknownAccount = false;  // an account was given that names no client

  // Read: the four keys under their names in this request (id, goods code, client code, account).
  void Read(std::string_view body, const char* idKey, const char* codeKey, const char* clientCodeKey,
            const char* accountKey);
  // ResolveAccount: turns the account into the client id on dbc (through the container's cache).
  void ResolveAccount(SQLHDBC dbc);
  [[nodiscard]] std::string Condition(const char* alias = "b.") const {
    return GoodsCondition(giid, cgcode, icid, cccode, alias);
  }
};

// IsSignedTime: a stored time stamp text whose year is 2000 or later (a signature, a stored date).
[[nodiscard]] bool IsSignedTime(const char* dbText);

}  // namespace tw::warehouse
