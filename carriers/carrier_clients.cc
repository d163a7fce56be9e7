#include "carriers/carrier_clients.h"

// The carrier clients' own settings readers come with the carrier integrations; until then no
// settings file makes a usable client.
int CEubClient::LoadSettings(unsigned, const char*) { return 0; }
int CAuPostClient::LoadSettings(unsigned, const char*) { return 0; }
int CSfClient::LoadSettings(unsigned, const char*) { return 0; }

void DeleteCarrierClients() {
  g_pEubClient = nullptr;
  g_EubClients.clear();
  g_pAuPostClient.reset();
  g_pSfClient.reset();
}
