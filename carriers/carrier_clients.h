#pragma once
// The carrier clients configured at start-up: China Post EUB accounts (one per settings file
// "EPostApi_set_<n>.txt"), an Australia Post client ("AUPostxApi_set_1.txt") and an SF Express client
// ("SFExApi_set_1.txt"). Each loads its settings file once; the lists do not change afterwards and are
// read without locks (an EUB account's order counter is atomic).
//
// Every call to a carrier goes through its client's gate (carriers/carrier_gate.h): at most
// "并发数=" calls in flight (default 8) and a breaker after consecutive failures.
//
// A session binds a client to the pool slot of the request (or of the label worker) that uses it and
// works in that slot's buffers: CreateOrder hands one shipment to the carrier and, when the carrier
// answers with a mail number, leaves a label placeholder and a label job; PrintLabel fetches and
// stores the label PDF of a job. Sessions of a missing client answer every call with -1.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carriers/carrier_gate.h"

struct PoolSlot;
struct LabelJob;

// One line of a kind block: "kind=operation[=product]" (EUB), "kind=service" (Australia Post),
// "kind=type" (SF Express).
struct CarrierKind {
  char kind[16] = "";  // compared without regard to case
  char code[3] = "";   // EUB: the operation character; Australia Post and SF: up to two characters
  char product = '\0'; // EUB only: the product character, or none
};

// An address of an EUB account's settings (its pickup or sender block).
struct EubAddress {
  char name[32] = "";
  char company[128] = "";
  char postcode[16] = "";
  char phone[32] = "";
  char mobile[32] = "";
  char country[16] = "";
  char province[16] = "";
  char city[16] = "";
  char county[16] = "";
  char street[128] = "";
  char email[64] = "";
};

class CEubClient {
 public:
  virtual ~CEubClient() = default;
  // LoadSettings: takes the account's settings file text (file number n). Returns 1 when the account
  // can be used (its kind block is present), else 0.
  virtual int LoadSettings(unsigned n, const char* text);
  // FindKind: the kind entry, compared without case; null when the account does not serve it.
  [[nodiscard]] const CarrierKind* FindKind(const char* kind) const;

  unsigned accountNumber = 0;
  char company[256] = "";
  char customerCode[64] = "";
  char host[64] = "";
  char key[64] = "";  // the "authenticate" header; stored in label rows
  char version[64] = "";
  char labelPaper[8] = "";
  char returnType[32] = "Returned";
  int32_t pickupType = 0;
  int32_t port = 80;
  char labelHost[64] = "";
  int32_t labelPort = 80;
  EubAddress pickup, sender;
  std::vector<std::pair<std::string, std::string>> postcodePrefixes;  // loaded, not used
  std::vector<CarrierKind> kinds;
  mutable std::atomic<uint32_t> orderCounter{0};  // changes after start-up, as the gate does
  mutable CCarrierGate gate;  // every order and label call of the account ("并发数=" its limit)
};

class CAuPostClient {
 public:
  virtual ~CAuPostClient() = default;
  // LoadSettings: 1, or 0 when the kind block, the host or the key is missing.
  virtual int LoadSettings(unsigned n, const char* text);
  [[nodiscard]] const CarrierKind* FindKind(const char* kind) const;
  [[nodiscard]] int SupportsKind(const char* kind) const { return FindKind(kind) != nullptr ? 1 : 0; }

  int32_t port = 80;
  char host[64] = "";
  char interfaceName[256] = "";
  char key[64] = "";       // sent as "Authorization: <key>"
  char printPaper[2] = "0";
  std::vector<CarrierKind> kinds;
  bool bLoaded = false;
  unsigned fileNumber = 0;
  mutable CCarrierGate gate;  // every call of the account ("并发数=" its limit)
};

class CSfClient {
 public:
  virtual ~CSfClient() = default;
  // LoadSettings: 1, or 0 when the kind block is missing or empty, or the host or check word is.
  virtual int LoadSettings(unsigned n, const char* text);
  [[nodiscard]] const CarrierKind* FindKind(const char* kind) const;

  int32_t port = 80;
  char host[64] = "";
  char interfaceName[256] = "";  // kept, not sent
  char account[32] = "";
  char checkWord[64] = "";
  char returns[2] = "N";
  char serviceNamespace[256] = "urn:tarnwick:sfexpressService";
  char senderName[32] = "", senderPhone[64] = "", senderMobile[64] = "", senderPostcode[16] = "";
  char senderAddress[128] = "", senderCompany[128] = "", senderCountry[64] = "", senderProvince[64] = "";
  char senderCity[64] = "";
  std::vector<CarrierKind> kinds;
  mutable CCarrierGate gate;  // every call of the account ("并发数=" its limit)
};

extern std::vector<std::unique_ptr<CEubClient>> g_EubClients;  // in load order
extern CEubClient* g_pEubClient;                                // the first one, or null
extern std::unique_ptr<CAuPostClient> g_pAuPostClient;
extern std::unique_ptr<CSfClient> g_pSfClient;

// Deletes every client (unload).
void DeleteCarrierClients();

// LoadCarrierFiles: the start-up load of the carriers' files of the module folder, read through
// buffer (the start-up slot's reply buffer, at least 500001 bytes): the China Post EUB accounts of
// "EPostApi_set_1.txt", "_2" ... up to 50 (a missing file or one that does not load ends the series),
// then Australia Post ("AUPostxApi_set_1.txt") and SF Express ("SFExApi_set_1.txt"), then the return
// addresses of "Return_addr.txt". REQUIRES: the start-up thread, before requests are served.
void LoadCarrierFiles(char* buffer);

// FindEubClientForKind: the first EUB account in load order that serves the kind, or null.
[[nodiscard]] CEubClient* FindEubClientForKind(const char* kind);
// IsCarrierClientConfigured: whether the client of carrier code 0, 1 or 2 is loaded.
[[nodiscard]] bool IsCarrierClientConfigured(int32_t carrier);
// OpenCarrierBreakers: the names of the accounts whose breaker refuses calls now ("EUB 2,SF Express"),
// "" when none does.
[[nodiscard]] std::string OpenCarrierBreakers();

// ---- orders -----------------------------------------------------------------------------------
// Texts are NUL-terminated GBK. Out: result (on success the label row id, or 0), mail number and
// message (the reason of a refusal).

struct EubOrder {
  uint32_t recordId = 0;
  double weight = 0;
  double weight2 = 0;      // the larger of the two weights is used
  int32_t quantity = 1;    // of the goods line
  double unitPrice = 0;
  int32_t pieces = 1;      // at least 1
  char kind[16] = "";
  char destination[64] = "";
  char postcode[16] = "";
  char orderId[32] = "";   // shorter than 4 characters: generated
  char printCode[16] = "";
  char dimensions[40] = "";  // "L*W*H"
  char receiver[64] = "";
  char receiver2[64] = "";   // used when receiver is empty
  char address[256] = "";
  char city[128] = "";
  char province[64] = "";
  char country[128] = "";
  char phone[64] = "";
  char mobile[64] = "";
  char goods[256] = "";
  char goodsEn[256] = "";
  char remark[256] = "";
  int32_t result = 0;
  char sentOrderId[32] = "";  // the order id sent to the carrier
  char mailNumber[64] = "";
  char message[256] = "";
};

struct AuPostOrder {
  double weight = 0;
  int32_t quantity = 1;
  double unitPrice = 0;
  double goodsValue = 0;
  char kind[16] = "";
  char destination[64] = "";
  char receiver[64] = "";
  char address[256] = "";
  char postcode[16] = "";
  char dimensions[40] = "";  // "L*W*H"
  char company[256] = "";
  char suburb[128] = "";
  char state[64] = "";
  char country[128] = "";
  char phone[64] = "";
  char goods[256] = "";
  char goodsEn[256] = "";
  char reference[64] = "";
  int32_t result = 0;      // the label row id
  char mailNumber[64] = "";
  char barcode[64] = "";
  char bookId[32] = "";
  char message[256] = "";  // the carrier's status text, or the reason of a refusal
};

struct SfOrder {
  double weight = 0;
  int32_t quantity = 1;
  double unitPrice = 0;
  double goodsValue = 0;
  int32_t pieces = 1;
  char kind[16] = "";
  char destination[64] = "";
  char postcode[16] = "";
  char company[256] = "";
  char contact[64] = "";
  char address[256] = "";
  char phone[64] = "";
  char mobile[64] = "";
  char province[64] = "";
  char city[128] = "";
  char country[128] = "";
  char goods[256] = "";
  char goodsEn[256] = "";
  char customsCode[64] = "";
  char orderId[32] = "";
  int32_t result = 0;
  char mailNumber[32] = "";
  char message[256] = "";
};

// The work buffer of a session: the first 384000 bytes of the slot's reply buffer.
inline constexpr size_t kCarrierWorkBytes = 384000;

class CEubSession {
 public:
  CEubSession(PoolSlot& slot, const CEubClient* client) : slot_(slot), client_(client) {}
  // CreateOrder: 1 accepted (mail number set), 0 refused (result code and message set).
  [[nodiscard]] int CreateOrder(EubOrder& order);
  // PrintLabel: 1 or the new row id when the label was fetched and stored; -1 without an account,
  // -2 when no PDF was got, -9 when it could not be stored.
  [[nodiscard]] int PrintLabel(LabelJob& job);
  // SaveLabel: see SaveLabelRow (label_store.h): -1 means the existing row was updated.
  [[nodiscard]] int SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length,
                              const char* account, const char* reference);
  int32_t labelLength = 0;            // of the last label stored
  const char* labelBody = nullptr;     // the last label fetched (in the slot's reply buffer)

 private:
  PoolSlot& slot_;
  const CEubClient* client_;
};

class CAuPostSession {
 public:
  CAuPostSession(PoolSlot& slot, const CAuPostClient* client) : slot_(slot), client_(client) {}
  [[nodiscard]] int CreateOrder(AuPostOrder& order);
  // PrintLabel: 1 or the new row id on success; -1 no account or book id, -2 no PDF, -3 no url, -4 not
  // "http://", -5 no path, -6 path too long, -7 host too long, -9 not stored.
  [[nodiscard]] int PrintLabel(LabelJob& job);
  [[nodiscard]] int SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length,
                              const char* account, const char* reference);
  int32_t labelLength = 0;            // of the last label stored
  const char* labelBody = nullptr;     // the last label fetched (in the slot's reply buffer)

 private:
  PoolSlot& slot_;
  const CAuPostClient* client_;
};

class CSfSession {
 public:
  CSfSession(PoolSlot& slot, const CSfClient* client) : slot_(slot), client_(client) {}
  [[nodiscard]] int CreateOrder(SfOrder& order);
  // PrintLabel: as CAuPostSession::PrintLabel (-2 also when the carrier's Head is not "OK").
  [[nodiscard]] int PrintLabel(LabelJob& job);
  [[nodiscard]] int SaveLabel(int32_t id, const char* mailNumber, const char* data, int32_t length,
                              const char* account, const char* reference);
  // Call: the request XML signed, wrapped and posted; the reply (unescaped, GBK) in out. Returns
  // HttpExecute's result; *status the HTTP status.
  [[nodiscard]] int Call(const std::string& request, std::string& out, int32_t* status);
  int32_t labelLength = 0;            // of the last label stored
  const char* labelBody = nullptr;     // the last label fetched (in the slot's reply buffer)

 private:
  PoolSlot& slot_;
  const CSfClient* client_;
};

// IsEubMailNumber: 13 characters, positions 1, 2, 12 and 13 in '0'..'Z', 3 to 11 digits.
[[nodiscard]] bool IsEubMailNumber(const char* text);
// IsAuPostNumber: a length of 16 or 10.
[[nodiscard]] bool IsAuPostNumber(const char* text);

// SF Express error texts: the message of a code, or null; JoinSfErrors joins the messages of a
// comma-separated code list with CR LF (unknown codes skipped), stopping before outSize.
[[nodiscard]] const char* SfErrorText(const char* code);
void JoinSfErrors(const char* codes, char* out, size_t outSize);
// The SF verify code of a request: Base64(upper-case(lower-case MD5 hex of request + check word)).
[[nodiscard]] std::string SfVerifyCode(const std::string& request, const char* checkWord);
