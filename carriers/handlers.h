#pragma once
// The carriers' road: the requests that reach the carrier clients directly.
//   "EPostUpload" (DoApi): makes a carrier order from the request's shipment fields and answers the
//     mail number.
//   "EPostPdf" (DoApi): answers the label PDF of a mail number, fetching it on the spot when the label
//     worker has not stored it yet.
//   "ReturnAddr" (DoChk): the next return address of the list, in turn; "0" when there is none.

#include "core/request.h"

namespace tw::carriers {

void OnEPostUpload(const CRequest& rq);
void OnEPostPdf(const CRequest& rq);
void OnReturnAddr(const CRequest& rq);

}  // namespace tw::carriers
