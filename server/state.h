#pragma once
// What the about page reports of the other subsystems. Each subsystem answers for its own state.

// The reference-data container is loaded.
bool IsContainerLoaded();
// China Post EUB accounts loaded.
unsigned EubAccountCount();
// An Australia Post / SF Express client is configured.
bool HasAuPostClient();
bool HasSfClient();
// Records of the kind fill table.
unsigned KindFillCount();
