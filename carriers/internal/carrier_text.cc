#include "carriers/internal/carrier_text.h"

#include <cstdlib>
#include <cstring>

#include "carriers/http_client.h"
#include "carriers/label_store.h"
#include "carriers/label_worker.h"
#include "core/config.h"
#include "core/pool.h"
#include "util/codepage.h"
#include "util/escape.h"
#include "util/pinyin.h"
#include "util/text.h"

namespace tw::carrier {

namespace {

constexpr int kLabelAttempts = 3;
constexpr uint32_t kLabelRetryMs = 1000;

bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

}  // namespace

bool SettingsBlock(const char* text, const char* start, const char* end, std::string& out) {
  out.clear();
  if (text == nullptr) return false;
  const char* a = std::strstr(text, start);
  if (a == nullptr) return false;
  a += std::strlen(start);
  const char* b = std::strstr(a, end);
  out.assign(a, b != nullptr ? static_cast<size_t>(b - a) : std::strlen(a));
  return true;
}

std::vector<CarrierKind> ReadKinds(const std::string& block, size_t codeLength, bool bProduct) {
  std::vector<CarrierKind> kinds;
  size_t at = 0;
  while (at < block.size()) {
    size_t eol = block.find('\n', at);
    std::string line = block.substr(at, eol == std::string::npos ? std::string::npos : eol - at);
    at = eol == std::string::npos ? block.size() : eol + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string kind = line.substr(0, eq);
    tw::TrimBlanksGbk(kind.data());
    kind.resize(std::strlen(kind.c_str()));
    if (kind.empty() || kind.size() > 15) continue;
    CarrierKind k;
    std::memcpy(k.kind, kind.c_str(), kind.size() + 1);
    size_t i = eq + 1, n = 0;
    while (n < codeLength && i < line.size() && line[i] != '\r' && line[i] != '\n' && line[i] != ' ' &&
           line[i] != '=') {
      k.code[n++] = line[i++];
    }
    k.code[n] = '\0';
    if (n == 0) continue;
    if (bProduct) {
      const size_t eq2 = line.find('=', eq + 1);
      if (eq2 != std::string::npos && eq2 + 1 < line.size() && line[eq2 + 1] != '\r') k.product = line[eq2 + 1];
    }
    kinds.push_back(k);
  }
  return kinds;
}

const CarrierKind* FindKindIn(const std::vector<CarrierKind>& kinds, const char* kind) {
  if (kind == nullptr || kind[0] == '\0') return nullptr;
  for (const CarrierKind& k : kinds) {
    if (EqualNoCase(k.kind, kind)) return &k;
  }
  return nullptr;
}

int32_t SettingPort(const char* key, const char* text, int32_t def) {
  const int port = GetSettingInt(key, text, def);
  return port >= 80 && port <= 65535 ? port : 80;
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '&': {
        size_t j = i + 1;
        if (j < text.size() && text[j] == '#') {
          size_t k = j + 1;
          while (k < text.size() && k - j <= 6 && text[k] >= '0' && text[k] <= '9') ++k;
          if (k > j + 1 && k < text.size() && text[k] == ';') {
            out.append(text, i, k - i + 1);
            i = k;
            break;
          }
        }
        out += "&amp;";
        break;
      }
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        out += c;
        // The trail byte (0x40 or more) of a two-byte character is never taken for markup; a lead
        // byte before anything else stands alone.
        if (static_cast<unsigned char>(c) >= 0x81 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0x40) {
          out += text[++i];
        }
    }
  }
  return out;
}

std::string CleanField(const char* text) {
  std::string s = text != nullptr ? text : "";
  tw::CleanHtml(s.data(), false);
  s.resize(std::strlen(s.c_str()));
  return s;
}

void Element(std::string& xml, const char* name, const std::string& value) {
  if (value.empty()) {
    xml += "<";
    xml += name;
    xml += "/>\r\n";
    return;
  }
  xml += "<";
  xml += name;
  xml += ">";
  xml += XmlEscape(value);
  xml += "</";
  xml += name;
  xml += ">\r\n";
}

std::string ToUtf8(const std::string& gbk) {
  std::string out(gbk.size() * 3 + 1, '\0');
  tw::GbkToUtf8(gbk.c_str(), out.data(), out.size());
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::string ToGbk(const std::string& utf8) {
  std::string s = utf8;
  tw::Utf8ToGbk(s.data(), false, nullptr);
  s.resize(std::strlen(s.c_str()));
  return s;
}

std::string UpperAscii(std::string text) {
  tw::MakeUpperAscii(text.data());
  return text;
}

std::string EnglishName(const char* english, const char* chinese) {
  std::string name = english != nullptr ? english : "";
  tw::TrimBlanksGbk(name.data());
  name.resize(std::strlen(name.c_str()));
  if (name.empty() && chinese != nullptr) {
    std::string out(std::strlen(chinese) * 8 + 16, '\0');
    tw::GbkToPinyin(chinese, out.data(), out.size(), true, false, false);
    out.resize(std::strlen(out.c_str()));
    tw::TrimBlanksGbk(out.data());
    out.resize(std::strlen(out.c_str()));
    name = out;
  }
  return name;
}

bool Between(const std::string& text, const std::string& open, const std::string& close, std::string& out) {
  out.clear();
  const size_t a = text.find(open);
  if (a == std::string::npos) return false;
  const size_t b = text.find(close, a + open.size());
  if (b == std::string::npos) return false;
  out = text.substr(a + open.size(), b - a - open.size());
  return true;
}

int SplitLabelUrl(const std::string& raw, std::string& host, int32_t* port, std::string& path) {
  std::string url = raw;
  // Carrier URLs arrive inside XML: "&amp;" last, so "&amp;lt;" stays "&lt;".
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                 {"&amp;", "&"}}) {
    for (size_t at = url.find(from); at != std::string::npos; at = url.find(from, at + to.size())) {
      url.replace(at, from.size(), to);
    }
  }
  if (url.empty()) return -3;
  const char* p = tw::FindNoCase(url.c_str(), "http://");
  if (p == nullptr) return -4;
  const std::string rest = url.substr(static_cast<size_t>(p - url.c_str()) + 7);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return -5;
  host = rest.substr(0, slash);
  path = rest.substr(slash);
  if (path.size() >= 256) return -6;
  if (host.size() >= 64) return -7;
  if (host.empty() || host.find_first_of("\r\n \t") != std::string::npos ||
      path.find_first_of("\r\n \t") != std::string::npos) {
    return -4;
  }
  *port = 80;
  const size_t colon = host.find(':');
  if (colon != std::string::npos) {
    const std::string digits = host.substr(colon + 1);
    host.resize(colon);
    if (digits.empty() || digits.size() > 5 || !tw::IsAllDigits(digits.c_str())) return -4;
    const int v = std::atoi(digits.c_str());
    if (v < 1 || v > 65535) return -4;
    *port = v;
  }
  return host.empty() ? -4 : 0;
}

void UseSessionWork(HttpRequest& r, PoolSlot& slot, size_t headerOffset) {
  r.work = slot.szReply;
  r.workSize = static_cast<int32_t>(kCarrierWorkBytes);
  r.headerBuffer = slot.szReply + headerOffset;
  r.headerRoom = static_cast<int32_t>(kReplyHeaderRoom);
}

int FetchLabel(PoolSlot& slot, CCarrierGate& gate, const char* host, int32_t port, const char* path, bool bAcceptEncoding,
               const char** body) {
  for (int attempt = 1; attempt <= kLabelAttempts; ++attempt) {
    HttpRequest r;
    r.host = host;
    r.port = port;
    r.path = path;
    r.bAcceptEncoding = bAcceptEncoding ? 1 : 0;
    r.connectTimeoutS = kConnectTimeoutS;
    r.sendTimeoutMs = kLabelSendTimeoutMs;
    r.recvTimeoutMs = kLabelRecvTimeoutMs;
    // Labels go into the whole reply buffer; the reply header into the work area.
    r.work = slot.szReply;
    r.workSize = static_cast<int32_t>(kReplyBytes);
    r.headerBuffer = slot.szWork;
    r.headerRoom = static_cast<int32_t>(kWorkBytes);
    const int n = gate.Execute(r);
    if (n < 0) return -2;
    if (IsPdfLabel(r.status, r.bodyStart, static_cast<size_t>(n))) {
      *body = r.bodyStart;
      return n;
    }
    if (attempt < kLabelAttempts && WaitForLabelStop(kLabelRetryMs)) break;
  }
  return -2;
}

int FetchLabelFromUrl(PoolSlot& slot, CCarrierGate& gate, const std::string& url, const char** body) {
  std::string host, path;
  int32_t port = 80;
  const int split = SplitLabelUrl(url, host, &port, path);
  if (split != 0) return split;
  return FetchLabel(slot, gate, host.c_str(), port, path.c_str(), true, body);
}

}  // namespace tw::carrier
