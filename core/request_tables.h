#pragma once
// The request tables of the JSON doors: ordered lists of (request name, handler); a door searches
// only its own list, from the first entry, with an exact, case-sensitive comparison.

#include <span>

#include "core/caches.h"
#include "core/extension.h"

using ClientHandler = void (CTarnwickExtension::*)(CHttpServerContext*, char* body, const unsigned char* address);
using PdaHandler = void (CTarnwickExtension::*)(CHttpServerContext*, char* body, const PdaUser& user);

struct ClientRequest {
  const char* name;
  ClientHandler handler;
};

struct PdaRequest {
  const char* name;
  PdaHandler handler;
};

std::span<const ClientRequest> DoAppTable();
std::span<const ClientRequest> DoTable();
std::span<const ClientRequest> DoApiTable();
// The names WeChat tries, in their order (besides "ClientAuth" and "EmsKindList").
std::span<const ClientRequest> WeChatTable();
std::span<const PdaRequest> DoPdaTable();

// The handler of `name` in a table, or null.
ClientHandler FindClientHandler(std::span<const ClientRequest> table, const char* name);
PdaHandler FindPdaHandler(std::span<const PdaRequest> table, const char* name);
