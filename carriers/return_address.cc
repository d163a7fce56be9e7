#include "carriers/return_address.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "carriers/handlers.h"
#include "core/reply.h"
#include "core/result_codes.h"

namespace {

bool IsEdge(char c) { return c == '\t' || c == '\r' || c == '\n' || c == ' ' || c == '"'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsEdge(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsEdge(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

int CReturnAddressList::Load(const char* text) {
  if (text == nullptr) return 0;
  std::string_view rest(text);
  while (!rest.empty()) {
    size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    while (!line.empty() && (line.front() == '\r' || line.front() == '\n' || line.front() == ' ')) {
      line.remove_prefix(1);
    }
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, tab));
    std::string_view address = Trim(line.substr(tab + 1));
    if (name.size() < 4 || name.size() > 30 || address.size() < 10 || address.size() > 63) continue;
    ReturnAddress entry;
    std::memcpy(entry.name, name.data(), name.size());
    std::memcpy(entry.address, address.data(), address.size());
    entries_.push_back(entry);
  }
  return entries_.empty() ? 0 : 1;
}

bool CReturnAddressList::PickNext(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  if (entries_.empty()) return false;
  uint32_t n = picks_.fetch_add(1, std::memory_order_relaxed) + 1;
  const ReturnAddress& e = entries_[n % entries_.size()];
  std::snprintf(out, outSize, "%s\t%s", e.name, e.address);
  return true;
}

CReturnAddressList g_ReturnAddressList;

namespace tw::carriers {

void OnReturnAddr(const CRequest& rq) {
  char entry[256];
  if (g_ReturnAddressList.PickNext(entry, sizeof entry)) {
    WriteReply(rq.pCtxt, entry, 0);
  } else {
    WriteCode(rq.pCtxt, kRcNotFound);  // no return address is available
  }
}

}  // namespace tw::carriers
