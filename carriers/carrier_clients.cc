#include "carriers/carrier_clients.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "carriers/label_worker.h"
#include "carriers/return_address.h"
#include "core/config.h"
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

std::string OpenCarrierBreakers() {
  std::string names;
  auto add = [&names](const CCarrierGate& gate) {
    if (!gate.Open()) return;
    if (!names.empty()) names += ',';
    names += gate.Name();
  };
  for (const auto& client : g_EubClients) add(client->gate);
  if (g_pAuPostClient != nullptr) add(g_pAuPostClient->gate);
  if (g_pSfClient != nullptr) add(g_pSfClient->gate);
  return names;
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

std::vector<std::unique_ptr<CEubClient>> g_EubClients;
CEubClient* g_pEubClient = nullptr;
std::unique_ptr<CAuPostClient> g_pAuPostClient;
std::unique_ptr<CSfClient> g_pSfClient;

// ---------------------------------------------------------------------------------------------------
// The carriers' files of the module folder, read at start-up.

namespace {

constexpr unsigned kMaxEubAccounts = 50;
constexpr long kCarrierFileMinBytes = 50;
constexpr size_t kCarrierFileClearBytes = 8192;
constexpr char kReturnAddressFileName[] = "Return_addr.txt";
constexpr size_t kReturnAddressFileMaxBytes = 500000;
constexpr size_t kReturnAddressClearBytes = 64000;

// Reads one carrier settings file into buffer; true when it has at least 50 bytes.
bool ReadCarrierFile(const std::string& name, char* buffer) {
  std::memset(buffer, 0, kCarrierFileClearBytes);
  std::string path = ExtensionSettings.moduleFolder + name;
  return ReadWholeFile(path.c_str(), buffer, kSettingsFileMaxBytes) >= kCarrierFileMinBytes;
}

// The carrier clients of the module folder's settings files: China Post EUB accounts 1, 2, ... up to
// 50 (a missing file or one that does not load ends the series), then Australia Post and SF Express.
void LoadCarrierSettings(char* buffer) {
  for (unsigned n = 1; n <= kMaxEubAccounts; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "EPostApi_set_%u.txt", n);
    if (!ReadCarrierFile(name, buffer)) break;
    auto client = std::make_unique<CEubClient>();
    if (client->LoadSettings(n, buffer) == 0) break;
    g_EubClients.push_back(std::move(client));
    if (g_pEubClient == nullptr) g_pEubClient = g_EubClients.front().get();
  }
  if (ReadCarrierFile("AUPostxApi_set_1.txt", buffer)) {
    g_pAuPostClient = std::make_unique<CAuPostClient>();
    if (g_pAuPostClient->LoadSettings(1, buffer) == 0) g_pAuPostClient.reset();
  }
  if (ReadCarrierFile("SFExApi_set_1.txt", buffer)) {
    g_pSfClient = std::make_unique<CSfClient>();
    if (g_pSfClient->LoadSettings(1, buffer) == 0) g_pSfClient.reset();
  }
}

}  // namespace

void LoadCarrierFiles(char* buffer) {
  LoadCarrierSettings(buffer);

  std::memset(buffer, 0, kReturnAddressClearBytes);
  const std::string path = ExtensionSettings.moduleFolder + kReturnAddressFileName;
  if (ReadWholeFile(path.c_str(), buffer, kReturnAddressFileMaxBytes) > 0) g_ReturnAddressList.Load(buffer);
}
