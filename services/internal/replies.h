#pragma once
// The sending of the client road's replies that are built whole in a reply buffer: the one-object
// replies of the reading requests and the batch replies of the writing requests
// ({"ReturnValue":n,"OK":k[,"ErrList":[...]]}). A reply is never sent cut.
//
// Thread-safety: works on the request's own slot and buffers.

#include "core/paging.h"
#include "core/pool.h"
#include "core/reply.h"
#include "core/result_codes.h"
#include "services/internal/pre_input_batch.h"
#include "util/outbuf.h"

namespace tw::entry {

// BatchReplyBuffer: the reply buffer of a batch, the slot's, growing on the heap up to the largest
// batch reply (kBatchReplyMaxBytes).
inline tw::OutBuf BatchReplyBuffer(PoolSlot& slot) {
  return tw::OutBuf::Growable(slot.szReply, kReplyBytes, kBatchReplyMaxBytes);
}

// SendWholeReply: sends the reply; the bare "-9" instead when it did not fit its buffer.
inline void SendWholeReply(CHttpServerContext* pCtxt, const tw::OutBuf& reply) {
  if (reply.overflowed()) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  WriteJsonReply(pCtxt, reply.data(), reply.size());
}

// SendBatchReply: closes the batch and sends its reply; the bare "-9" when it could not be closed
// (cannot happen within the batch bounds).
inline void SendBatchReply(CHttpServerContext* pCtxt, tw::OutBuf& reply, CBatchReply& batch) {
  if (!batch.Finish()) {
    WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  WriteJsonReply(pCtxt, reply.data(), reply.size());
}

}  // namespace tw::entry
