#include "carriers/carrier_clients.h"

#include <string>

#include "carriers/label_worker.h"
#include "core/pool.h"

void DeleteCarrierClients() {
  g_pEubClient = nullptr;
  g_EubClients.clear();
  g_pAuPostClient.reset();
  g_pSfClient.reset();
}

CEubClient* FindEubClientForKind(const char* kind) {
  for (const auto& client : g_EubClients) {
    if (client->FindKind(kind) != nullptr) return client.get();
  }
  return nullptr;
}

bool IsCarrierClientConfigured(int32_t carrier) {
  switch (carrier) {
    case 0: return g_pEubClient != nullptr;
    case 1: return g_pAuPostClient != nullptr;
    case 2: return g_pSfClient != nullptr;
    default: return false;
  }
}

bool AnyCarrierConfigured() {
  return IsCarrierClientConfigured(0) || IsCarrierClientConfigured(1) || IsCarrierClientConfigured(2);
}

int RunLabelJob(PoolSlot& slot, LabelJob& job) {
  switch (job.kind) {
    case 0: {
      // A job names no account of its own: the account whose key it carries, else the first.
      const CEubClient* client = g_pEubClient;
      for (const auto& c : g_EubClients) {
        if (std::string(c->key) == job.account) client = c.get();
      }
      CEubSession session(slot, client);
      return session.PrintLabel(job);
    }
    case 1: {
      CAuPostSession session(slot, g_pAuPostClient.get());
      return session.PrintLabel(job);
    }
    case 2: {
      CSfSession session(slot, g_pSfClient.get());
      return session.PrintLabel(job);
    }
    default:
      return 0;
  }
}
