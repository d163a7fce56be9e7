// The state the about page reports, until each subsystem answers for its own.

#include "server/state.h"

#include "carriers/carrier_clients.h"
#include "pricing/kind_fill.h"
#include "pricing/ostrum_container.h"

bool IsContainerLoaded() { return g_OstrumContainer.IsLoaded(); }
unsigned EubAccountCount() { return static_cast<unsigned>(g_EubClients.size()); }
bool HasAuPostClient() { return g_pAuPostClient != nullptr; }
bool HasSfClient() { return g_pSfClient != nullptr; }
unsigned KindFillCount() { return static_cast<unsigned>(g_EmsKindExFields.size()); }
