// The container's depot and client lists: LoadDepotSettings and the client look-ups.

#include <cstring>
#include <mutex>
#include <string>

#include "core/db.h"
#include "core/db_columns.h"
#include "pricing/ostrum_container.h"
#include "util/escape.h"
#include "util/text.h"

namespace {

constexpr size_t kDepotCodeLength = 3;
constexpr double kExScale = 1000000.0;

constexpr char kDepotSql[] =
    "SELECT nconfirm0,nconfirm1,nconfirm2,ncheck0,ncheck1,ncheck2,cname,caddr,cshelfb,cshelfe,cmoney,fwpufee,"
    "iex1,iex2,iex3,voption FROM dorvane.dbo.w_depot WHERE nstate=0 AND cdepot='%s'";
constexpr char kOperationsSql[] =
    "SELECT ntype,ngrade,cname,cnamee,iseconds,cpoint,cmoney,fwage FROM dorvane.dbo.w_operate_define "
    "WHERE cdepot='%s'";
constexpr char kPackagesSql[] =
    "SELECT ipid,cname,ilong,iwidth,iheight,fmaxload,cmark FROM dorvane.dbo.w_package WHERE cdepot='%s' AND "
    "nbox=1 AND nstate=0";
constexpr char kCartsSql[] =
    "SELECT iaid,ccode,cname,iorder,iitem,fweight,icubic,ipos FROM dorvane.dbo.w_depot_cart WHERE cdepot='%s' "
    "AND nstate=0 ORDER BY ipos";
constexpr char kClientSql[] = "SELECT icid,caccount,nstate FROM dorvane.dbo.client_arc WHERE ";

// Reads the header row into info. 1 read, 0 no such active depot, -1 the statement failed.
int ReadDepotHeader(SQLHDBC dbc, const std::string& code, DepotInfo& info) {
  DbStatement st(dbc);
  if (!st.ok()) return -1;
  const std::string sql = StringPrintf(kDepotSql, code.c_str());
  if (!DbOk(st.ExecDirect(sql.c_str()))) return -1;
  int32_t confirm[3] = {0, 0, 0}, check[3] = {0, 0, 0}, ex[3] = {0, 0, 0};
  SQLLEN optionLength = 0;
  DbColumns b(st);
  b.Int(confirm[0]).Int(confirm[1]).Int(confirm[2]).Int(check[0]).Int(check[1]).Int(check[2]);
  b.Text(info.cname).Text(info.caddr).Text(info.cshelfb).Text(info.cshelfe).Text(info.cmoney).Double(info.fwpufee);
  b.Int(ex[0]).Int(ex[1]).Int(ex[2]);
  st.BindBinary(16, info.voption, sizeof info.voption, &optionLength);
  const SQLRETURN rc = st.Fetch();
  if (rc == SQL_NO_DATA) return 0;
  if (!DbOk(rc)) return -1;
  info.nconfirm0 = confirm[0] == 1;
  info.nconfirm1 = confirm[1] == 1;
  info.nconfirm2 = confirm[2] == 1;
  info.ncheck0 = check[0] == 1;
  info.ncheck1 = check[1] == 1;
  info.ncheck2 = check[2] == 1;
  info.iex1 = ex[0] / kExScale;
  info.iex2 = ex[1] / kExScale;
  info.iex3 = ex[2] / kExScale;
  return 1;
}

// Runs one follow-up statement and hands every row to `take`. False when it failed.
template <typename Row, typename BindRow, typename Take>
bool ReadRows(SQLHDBC dbc, const char* fmt, const std::string& code, BindRow bind, Take take) {
  DbStatement st(dbc);
  if (!st.ok()) return false;
  const std::string sql = StringPrintf(fmt, code.c_str());
  if (!DbOk(st.ExecDirect(sql.c_str()))) return false;
  Row row;
  bind(st, row);
  for (;;) {
    const SQLRETURN rc = st.Fetch();
    if (rc == SQL_NO_DATA) return true;
    if (!DbOk(rc)) return false;
    take(row);
  }
}

// Reads the whole depot. Null when there is none or a statement failed.
std::unique_ptr<CDepotSettings> ReadDepot(SQLHDBC dbc, const char* code) {
  auto depot = std::make_unique<CDepotSettings>();
  std::memcpy(depot->info.cdepot, code, kDepotCodeLength + 1);
  const std::string sqlCode = tw::SqlEscape(code);
  if (ReadDepotHeader(dbc, sqlCode, depot->info) != 1) return nullptr;

  CDepotSettings& d = *depot;
  const bool ok =
      ReadRows<DepotOperation>(
          dbc, kOperationsSql, sqlCode,
          [](DbStatement& st, DepotOperation& r) {
            DbColumns(st).Int(r.ntype).Int(r.ngrade).Text(r.cname).Text(r.cnamee).Int(r.iseconds).Text(r.cpoint)
                .Text(r.cmoney).Double(r.fwage);
          },
          [&](const DepotOperation& r) { d.SetOperation(r); }) &&
      ReadRows<DepotPackage>(
          dbc, kPackagesSql, sqlCode,
          [](DbStatement& st, DepotPackage& r) {
            DbColumns(st).Int(r.ipid).Text(r.cname).Int(r.ilong).Int(r.iwidth).Int(r.iheight).Double(r.fmaxload)
                .Text(r.cmark);
          },
          [&](const DepotPackage& r) { d.AddPackage(r); }) &&
      ReadRows<DepotCart>(
          dbc, kCartsSql, sqlCode,
          [](DbStatement& st, DepotCart& r) {
            DbColumns(st).Int(r.iaid).Text(r.ccode).Text(r.cname).Int(r.iorder).Int(r.iitem).Double(r.fweight)
                .Int(r.icubic).Int(r.ipos);
          },
          [&](const DepotCart& r) { d.SetCart(r); });
  // A depot whose operations could not be read would charge no fee for the life of the library.
  if (!ok) return nullptr;
  return depot;
}

}  // namespace

const CDepotSettings* COstrumContainer::LoadDepotSettings(const char* code, SQLHDBC dbc) {
  if (code == nullptr || std::strlen(code) != kDepotCodeLength) return nullptr;
  auto find = [&]() -> const CDepotSettings* {
    for (const auto& d : depots_) {
      if (std::memcmp(d->info.cdepot, code, kDepotCodeLength) == 0) return d.get();
    }
    return nullptr;
  };
  {
    std::shared_lock lock(depotsLock_);
    if (const CDepotSettings* d = find()) return d;
  }
  std::unique_ptr<CDepotSettings> loaded = ReadDepot(dbc, code);
  if (!loaded) return nullptr;
  std::unique_lock lock(depotsLock_);
  if (const CDepotSettings* d = find()) return d;
  depots_.push_back(std::move(loaded));
  return depots_.back().get();
}

const ClientRef* COstrumContainer::LoadClient(int32_t icid, const char* account, SQLHDBC dbc) {
  std::string sql = kClientSql;
  if (icid >= 1) {
    sql += "icid=" + std::to_string(icid);
  } else if (account != nullptr && account[0] != '\0') {
    sql += "caccount='" + tw::SqlEscape(account) + "'";
  } else {
    return nullptr;
  }
  auto client = std::make_unique<ClientRef>();
  {
    DbStatement st(dbc);
    if (!st.ok() || !DbOk(st.ExecDirect(sql.c_str()))) return nullptr;
    DbColumns(st).Int(client->icid).Text(client->caccount).Int(client->nstate);
    if (!DbOk(st.Fetch())) return nullptr;
  }
  std::unique_lock lock(clientsLock_);
  // The database may match an account the byte search did not (a client read by id, or a row a
  // moment ago): the id decides whether it is new.
  for (const auto& c : clients_) {
    if (c->icid == client->icid) return c.get();
  }
  clients_.push_back(std::move(client));
  return clients_.back().get();
}

const ClientRef* COstrumContainer::FindClientById(int32_t icid, SQLHDBC dbc) {
  {
    std::shared_lock lock(clientsLock_);
    for (const auto& c : clients_) {
      if (c->icid == icid) return c.get();
    }
  }
  return LoadClient(icid, nullptr, dbc);
}

const ClientRef* COstrumContainer::FindClientByAccount(const char* account, SQLHDBC dbc) {
  if (account == nullptr || account[0] == '\0') return nullptr;
  {
    std::shared_lock lock(clientsLock_);
    for (const auto& c : clients_) {
      if (std::strcmp(c->caccount, account) == 0) return c.get();
    }
  }
  return LoadClient(0, account, dbc);
}

int32_t COstrumContainer::GetClientId(const char* account, SQLHDBC dbc) {
  const ClientRef* c = FindClientByAccount(account, dbc);
  return c != nullptr ? c->icid : -1;
}
