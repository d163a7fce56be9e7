#pragma once
// The service kinds clients may enter (g_EmsKindAliases, pricing/kind_fill.h), as the client
// services load them at start-up and on every "EmsKindList".

struct PoolSlot;

// LoadEmsKindAliases: refills g_EmsKindAliases with the kinds clients may enter, on the slot's
// connection; a query that fails or finds nothing keeps the table as it was. REQUIRES: the caller
// holds the slot.
void LoadEmsKindAliases(PoolSlot& slot);
// GetEmsKindAlias: copies the input name of the first alias whose kind code equals `code` exactly
// into out; out stays as it was when there is none. Returns out.
char* GetEmsKindAlias(const char* code, char out[16]);
