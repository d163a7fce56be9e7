#pragma once
// The sending of the client road's replies that are built whole in the pool slot's reply buffer:
// the batch replies of the writing requests ({"ReturnValue":n,"OK":k[,"ErrList":[...]]}).
//
// Thread-safety: works on the request's own slot and buffers.

#include "core/extension.h"
#include "core/paging.h"
#include "core/pool.h"
#include "core/result_codes.h"
#include "services/internal/pre_input_batch.h"
#include "util/outbuf.h"

namespace tw::entry {

// BatchReplyBuffer: the reply buffer of a batch, the slot's, growing on the heap up to the largest
// batch reply (kBatchReplyMaxBytes).
inline tw::OutBuf BatchReplyBuffer(PoolSlot& slot) {
  return tw::OutBuf::Growable(slot.szReply, kReplyBytes, kBatchReplyMaxBytes);
}

// SendBatchReply: closes the batch and sends its reply; the bare "-9" when it could not be closed
// (cannot happen within the batch bounds).
inline void SendBatchReply(CTarnwickExtension& ext, CHttpServerContext* pCtxt, tw::OutBuf& reply,
                           CBatchReply& batch) {
  if (!batch.Finish()) {
    ext.WriteCode(pCtxt, kRcDbFailed);
    return;
  }
  ext.WriteJsonReply(pCtxt, reply.data(), reply.size());
}

}  // namespace tw::entry
