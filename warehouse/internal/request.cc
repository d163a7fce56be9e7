#include "warehouse/internal/request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/reply.h"
#include "core/result_codes.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/json.h"

namespace tw::warehouse {

namespace {
// The reply buffer of a request that holds no slot.
constexpr size_t kOwnReplyBytes = 4096;
// The partner's requests act for no PDA operator.
const PdaUser kNoOperator{};
}  // namespace

CDepotRequest::CDepotRequest(const CRequest& rq)
    : pCtxt_(rq.pCtxt),
      body_(rq.body != nullptr ? rq.body : ""),
      user_(rq.user != nullptr ? *rq.user : kNoOperator) {}

bool CDepotRequest::ReadDepot() {
  tw::JsonGetString("cDepot", body_, depotCode_, kDepotCodeMax, tw::kJsonModeCodePage);
  if (depotCode_[0] == '\0') {
    Code(kRcNoDepot);
    return false;
  }
  sqlDepot_ = tw::SqlEscape(depotCode_);
  return true;
}

bool CDepotRequest::TakeSlot() {
  if (!slot_.Acquire()) {
    Code(kRcNoConnection);
    return false;
  }
  return true;
}

bool CDepotRequest::LoadDepot() {
  depot_ = g_OstrumContainer.LoadDepotSettings(depotCode_, slot_.dbc());
  if (depot_ == nullptr) {
    Code(kRcDepotNotFound);
    return false;
  }
  return true;
}

bool CDepotRequest::Open() { return TakeSlot() && LoadDepot(); }

void CDepotRequest::Code(int code) { WriteCode(pCtxt_, code); }

tw::OutBuf& CDepotRequest::Reply() {
  if (!replyOpen_) {
    if (slot_.ok()) {
      reply_ = tw::OutBuf::Growable(slot_.slot().szReply, kReplyBytes, kListReplyMaxBytes);
    } else {
      ownReply_.resize(kOwnReplyBytes);
      reply_ = tw::OutBuf::Growable(ownReply_.data(), ownReply_.size(), kListReplyMaxBytes);
    }
    replyOpen_ = true;
  }
  return reply_;
}

void CDepotRequest::Send() {
  tw::OutBuf& out = Reply();
  if (out.overflowed()) {
    Code(kRcDbFailed);
    return;
  }
  WriteJsonReply(pCtxt_, out.data(), out.size());
}

void CloseWithMess(tw::OutBuf& out, const char* mess) {
  CJsonFields(out, false).Str("cMess", mess);
  out.AppendChar('}');
}

// ---- procedure calls ----------------------------------------------------------------------------

CProcCall::CProcCall(const char* name) {
  text_ = "{?=CALL dorvane.dbo.";
  text_ += name;
  text_ += '(';
}

void CProcCall::Separator() {
  if (!first_) text_ += ',';
  first_ = false;
}

CProcCall& CProcCall::Int(int64_t value) {
  Separator();
  text_ += std::to_string(value);
  return *this;
}

CProcCall& CProcCall::Text(const char* value) {
  Separator();
  text_ += '\'';
  text_ += tw::SqlEscape(value);
  text_ += '\'';
  return *this;
}

CProcCall& CProcCall::Real(double value, int decimals) {
  Separator();
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  text_ += text;
  return *this;
}

CProcCall& CProcCall::OutInt(int32_t* value) {
  Separator();
  text_ += '?';
  outputs_.push_back({value, nullptr});
  return *this;
}

CProcCall& CProcCall::OutInt64(int64_t* value) {
  Separator();
  text_ += '?';
  outputs_.push_back({nullptr, value});
  return *this;
}

CProcCall& CProcCall::Fees(const CDepotSettings& depot, std::initializer_list<int32_t> codes, int64_t quantity) {
  for (int32_t code : codes) {
    const DepotOperation* op = depot.FindOperation(code);
    Text(GetWarehouseOperationName(code));
    Int(op != nullptr ? static_cast<int64_t>(op->iseconds) * quantity : 0);
    Int(0);
    Real(op != nullptr ? op->fwage * static_cast<double>(quantity) : 0.0, 2);
  }
  return *this;
}

bool CProcCall::Run(SQLHDBC dbc, int32_t* result) {
  *result = -1;
  DbStatement st(dbc);
  if (!st.ok()) return false;
  st.BindOutInt(1, result);
  SQLUSMALLINT param = 2;
  for (const Output& o : outputs_) {
    if (o.i32 != nullptr) {
      st.BindOutInt(param++, o.i32);
    } else {
      st.BindOutInt64(param++, o.i64);
    }
  }
  const std::string call = text_ + ")}";
  return DbOk(st.ExecDirect(call.c_str()));
}

// ---- shared pieces ------------------------------------------------------------------------------

std::string GoodsCondition(int32_t giid, const char* cgcode, int32_t icid, const char* cccode, const char* alias) {
  const std::string a = alias;
  if (giid > 0) return a + "giid=" + std::to_string(giid);
  // A text that is not GBK names no stored goods: the condition then selects nothing.
  if (cgcode != nullptr && cgcode[0] != '\0') {
    return IsGbkText(cgcode) ? a + "cgcode='" + tw::SqlEscape(cgcode) + "'" : std::string("1=0");
  }
  if (icid > 0 && cccode != nullptr && cccode[0] != '\0') {
    if (!IsGbkText(cccode)) return "1=0";
    return a + "icid=" + std::to_string(icid) + " AND " + a + "cccode='" + tw::SqlEscape(cccode) + "'";
  }
  return std::string();
}

void GoodsKeys::Read(std::string_view body, const char* idKey, const char* codeKey, const char* clientCodeKey,
                     const char* accountKey) {
  giid = tw::JsonGetInt(idKey, body, 0);
  tw::JsonGetString(codeKey, body, cgcode, sizeof cgcode - 1, tw::kJsonModeCodePage);
  tw::JsonGetString(clientCodeKey, body, cccode, sizeof cccode - 1, tw::kJsonModeCodePage);
  tw::JsonGetString(accountKey, body, account, sizeof account - 1, tw::kJsonModeCodePage);
}

void GoodsKeys::ResolveAccount(SQLHDBC dbc) {
  icid = 0;
  bUnknownAccount = false;
  if (account[0] == '\0') return;
  const int32_t id = g_OstrumContainer.GetClientId(account, dbc);
  if (id > 0) {
    icid = id;
  } else {
    bUnknownAccount = true;
  }
}

bool IsSignedTime(const char* dbText) { return dbText != nullptr && std::atoi(dbText) >= 2000; }

}  // namespace tw::warehouse
