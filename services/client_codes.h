#pragma once
// Result codes of the client services beside the shared ones of core/result_codes.h.

inline constexpr int kRcRecordNotFound = -2;  // no such record (or client) for this caller
inline constexpr int kRcNoLookupKey = -3;     // none of the keys that name the record was given
inline constexpr int kRcNoBatchList = -3;  // a batch's list ("RecList", "iIDs") missing, not a list, or too long
