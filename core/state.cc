// The state the about page reports, until each subsystem answers for its own.

#include "core/state.h"

#include "pricing/ostrum_container.h"

bool IsContainerLoaded() { return g_OstrumContainer.IsLoaded(); }
unsigned EubAccountCount() { return 0; }
bool HasAuPostClient() { return false; }
bool HasSfClient() { return false; }
unsigned KindFillCount() { return 0; }
