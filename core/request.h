#pragma once
// What a door hands the handler of a request: the connection to answer on, the request text and who
// is calling. A handler writes its whole reply (core/reply.h) before it returns; the door writes only
// its own refusals.
//
// The doors of the signed and trusted clients (DoApp, DoApi, WeChat, Do) give the caller's address;
// DoPda gives the address and the PDA operator whose signature it checked. The warehouse's depot-bound
// handlers read the depot from the text themselves (warehouse/internal/request.h).
//
// Thread-safety: a request belongs to the thread that serves it; nothing here is shared.

#include <cstdint>

#include "core/pool.h"
#include "platform/httpserver.h"

struct PdaUser;

struct CRequest {
  CHttpServerContext* pCtxt = nullptr;
  // The decoded request text; a handler may read it in place (the doors keep it NUL-terminated).
  char* body = nullptr;
  // The caller's four address bytes (zeros when the address was not dotted IPv4).
  const unsigned char* address = nullptr;
  // DoPda: the operator of the calling PDA; null at the other doors.
  const PdaUser* user = nullptr;
  // The pool slot the door took to check the caller's key, handed on to a handler that reads on it
  // (its row says so); null otherwise. The handler may give it back early; the door's guard gives it
  // back after the handler returns.
  PoolSlotGuard* slot = nullptr;
};

// The slot a handler reads on: the one its door handed on, else `own` (which the handler takes).
inline PoolSlotGuard& HandlerSlot(const CRequest& rq, PoolSlotGuard& own) {
  return rq.slot != nullptr ? *rq.slot : own;
}

// The handler of a request name: answers the request on rq.pCtxt.
using RequestHandler = void (*)(const CRequest& rq);
