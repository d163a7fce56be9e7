#pragma once
// The carrier clients configured at start-up: China Post EUB accounts (one per settings file
// "EPostApi_set_<n>.txt"), an Australia Post client ("AUPostxApi_set_1.txt") and an SF Express client
// ("SFExApi_set_1.txt"). Each loads its settings file once; the lists do not change afterwards and are
// read without locks.

#include <memory>
#include <vector>

class CEubClient {
 public:
  virtual ~CEubClient() = default;
  // LoadSettings: takes the account's settings file text. Returns 1 when the account can be used.
  virtual int LoadSettings(unsigned n, const char* text);
};

class CAuPostClient {
 public:
  virtual ~CAuPostClient() = default;
  virtual int LoadSettings(unsigned n, const char* text);
};

class CSfClient {
 public:
  virtual ~CSfClient() = default;
  virtual int LoadSettings(unsigned n, const char* text);
};

extern std::vector<std::unique_ptr<CEubClient>> g_EubClients;  // in load order
extern CEubClient* g_pEubClient;                                // the first one, or null
extern std::unique_ptr<CAuPostClient> g_pAuPostClient;
extern std::unique_ptr<CSfClient> g_pSfClient;

// Deletes every client (unload).
void DeleteCarrierClients();
