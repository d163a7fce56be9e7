#pragma once
// The request tables of the JSON doors: ordered lists of (request name, handler, flags); a door
// searches only its own list, from the first row, with an exact, case-sensitive comparison, and
// answers "-4" for a name that is not in it.
//
// A row's flags say where in the door's order of checks it runs. A row without flags runs after
// every check of the door, between the request's two log lines.

#include <cstdint>
#include <span>

#include "core/request.h"

enum RequestRowFlags : uint8_t {
  // Answered as soon as the name is read, before the caller is checked, and not logged.
  kRowUnchecked = 1 << 0,
  // DoApp: answered after the time stamp and the signature's length are checked, before the client
  // id and the signature itself, and not logged.
  kRowBeforeClientId = 1 << 1,
  // Runs under the transfer-bag lock: two such requests never run at once, and one that cannot get
  // its turn within 5 s is answered "-9999" without running.
  kRowTransBagLock = 1 << 2,
  // The handler works on the pool slot the door took for the caller's key (CRequest::slot), so the
  // request takes one slot, not two in turn.
  kRowDoorSlot = 1 << 3,
};

struct RequestRow {
  const char* name;
  RequestHandler handler;
  uint8_t flags = 0;
};

std::span<const RequestRow> DoAppTable();
std::span<const RequestRow> DoTable();
std::span<const RequestRow> DoApiTable();
std::span<const RequestRow> WeChatTable();
std::span<const RequestRow> DoPdaTable();
std::span<const RequestRow> DoChkTable();

// The row of `name` in a table, or null.
const RequestRow* FindRequest(std::span<const RequestRow> table, const char* name);

// OnEmptyRequest: answers nothing (an empty reply), for the names a door knows but does not serve.
void OnEmptyRequest(const CRequest& rq);
