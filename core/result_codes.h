#pragma once
// The result codes shared by the front doors and the handlers ("ReturnValue" of a reply).
// Success is 1 or a positive count or id, 0 means nothing was found, a negative code is a refusal.

inline constexpr int kRcNotFound = 0;
inline constexpr int kRcOk = 1;

inline constexpr int kRcNameNotInTable = -4;      // request name not in the door's table
inline constexpr int kRcNoRequestName = -5;       // neither "RequstName" nor "RequestName"
inline constexpr int kRcContainerNotLoaded = -6;  // reference data not loaded (PDA door)
inline constexpr int kRcUntrustedCaller = -7;     // caller address not trusted
inline constexpr int kRcDbFailed = -9;            // a database statement failed
inline constexpr int kRcBadClientId = -710;       // "icID" missing or not positive
inline constexpr int kRcNoClientKey = -711;       // the client has no usable API key
inline constexpr int kRcBadTimeStamp = -720;      // "TimeStamp" more than 7200 s off
inline constexpr int kRcBadMd5Length = -730;      // "MD5" not 32 characters
inline constexpr int kRcBadSignature = -731;      // signature mismatch
inline constexpr int kRcNoPdaUser = -810;         // "cUserPid" missing
inline constexpr int kRcPdaUserNotFound = -811;   // no PDA user with that id
inline constexpr int kRcBadSupplier = -820;       // bad supplier id
inline constexpr int kRcNoDepot = -830;           // no depot code
inline constexpr int kRcDepotNotFound = -831;     // depot code not found or not active
inline constexpr int kRcNoConnection = -9999;     // no free database connection

// "-12", "-13", "-14" ... name the first, second, third ... required key of a handler that is missing
// or invalid.
inline constexpr int MissingKeyCode(int nth) { return -11 - nth; }
