#include "platform/httpserver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

CHttpServer* g_pHttpServerObject = nullptr;
CHttpFilter* g_pHttpFilterObject = nullptr;

namespace {

constexpr char kCommandField[] = "MfcISAPICommand=";

bool IsTrailingBlank(char c) { return c == '\r' || c == '\n' || c == ' '; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one form value: '+' is a blank, %XX a byte.
std::string DecodeFormValue(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Parses a whole decimal number with an optional sign; false when the text is not one or is out of
// [lo, hi].
bool ParseNumber(const std::string& text, long lo, long hi, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool HasHeader(const std::string& headers, const char* name) {
  size_t n = std::strlen(name);
  size_t pos = 0;
  while (pos < headers.size()) {
    if (headers.size() - pos >= n && strncasecmp(headers.c_str() + pos, name, n) == 0) return true;
    size_t eol = headers.find('\n', pos);
    if (eol == std::string::npos) break;
    pos = eol + 1;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// CHttpServerContext

CHttpServerContext::CHttpServerContext(EXTENSION_CONTROL_BLOCK* pECB) : m_pECB(pECB) {}

bool CHttpServerContext::GetServerVariable(const char* name, char* buffer, DWORD* size) const {
  if (m_pECB == nullptr || m_pECB->GetServerVariable == nullptr) return false;
  return m_pECB->GetServerVariable(m_pECB->ConnID, name, buffer, size) != FALSE;
}

CHttpServerContext& CHttpServerContext::operator<<(const char* text) {
  if (text != nullptr) m_body.append(text);
  return *this;
}

CHttpServerContext& CHttpServerContext::operator<<(std::string_view text) {
  m_body.append(text);
  return *this;
}

CHttpServerContext& CHttpServerContext::operator<<(int value) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", value);
  m_body.append(buf, static_cast<size_t>(n));
  return *this;
}

void CHttpServerContext::Write(const void* data, size_t bytes) {
  if (data != nullptr && bytes > 0) m_body.append(static_cast<const char*>(data), bytes);
}

void CHttpServerContext::SetStatus(DWORD code, const char* text) {
  m_dwStatusCode = code;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%u %s", static_cast<unsigned>(code), text);
  m_strStatus = buf;
}

// ---------------------------------------------------------------------------------------------------
// CHttpArgs

const char* CHttpArgs::Text(size_t index) const {
  return index < values_.size() ? values_[index].c_str() : "";
}

int16_t CHttpArgs::Short(size_t index) const {
  return static_cast<int16_t>(std::atoi(Text(index)));
}

int32_t CHttpArgs::Long(size_t index) const {
  return static_cast<int32_t>(std::atol(Text(index)));
}

// ---------------------------------------------------------------------------------------------------
// CHttpServer

CHttpServer::CHttpServer(char delimiter) : delimiter_(delimiter) { g_pHttpServerObject = this; }

CHttpServer::~CHttpServer() {
  if (g_pHttpServerObject == this) g_pHttpServerObject = nullptr;
}

BOOL CHttpServer::GetExtensionVersion(HSE_VERSION_INFO* pVer) {
  if (pVer != nullptr) {
    pVer->dwExtensionVersion = (6u << 16) | 0u;
    pVer->lpszExtensionDesc[0] = '\0';
  }
  return TRUE;
}

BOOL CHttpServer::TerminateExtension(DWORD) { return TRUE; }

BOOL CHttpServer::AddHeader(CHttpServerContext* pCtxt, const char* pszString) {
  if (pCtxt == nullptr || pszString == nullptr) return FALSE;
  pCtxt->m_strHeaders.append(pszString);
  return TRUE;
}

void CHttpServer::StartContent(CHttpServerContext* pCtxt) { *pCtxt << "<html>\r\n"; }

void CHttpServer::WriteTitle(CHttpServerContext* pCtxt) {
  *pCtxt << "<head><title>" << GetTitle() << "</title></head>\r\n";
}

const char* CHttpServer::GetTitle() const { return "Default Server Extension"; }

void CHttpServer::EndContent(CHttpServerContext* pCtxt) { *pCtxt << "</html>\r\n"; }

void CHttpServer::OnParseError(CHttpServerContext* pCtxt, DWORD status, const char* why) {
  const char* text = status == 400   ? "Bad Request"
                     : status == 404 ? "Not Found"
                     : status == 405 ? "Method Not Allowed"
                     : status == 413 ? "Request Entity Too Large"
                                     : "Error";
  pCtxt->SetStatus(status, text);
  pCtxt->m_strHeaders = "Content-Type: text/html\r\n";
  pCtxt->m_body.clear();
  *pCtxt << "<html><body><h1>" << pCtxt->m_strStatus << "</h1><p>" << why << "</p></body></html>\r\n";
}

bool CHttpServer::SendReply(CHttpServerContext& ctxt) {
  EXTENSION_CONTROL_BLOCK* ecb = ctxt.m_pECB;
  if (ecb == nullptr || ecb->ServerSupportFunction == nullptr) return false;
  std::string headers;
  if (!HasHeader(ctxt.m_strHeaders, "Content-Type:")) headers = "Content-Type: text/html\r\n";
  headers += ctxt.m_strHeaders;
  headers += "\r\n";
  HSE_SEND_HEADER_EX_INFO info{};
  info.pszStatus = ctxt.m_strStatus.c_str();
  info.cchStatus = static_cast<DWORD>(ctxt.m_strStatus.size());
  info.pszHeader = headers.c_str();
  info.cchHeader = static_cast<DWORD>(headers.size());
  info.fKeepConn = TRUE;
  ecb->dwHttpStatusCode = ctxt.m_dwStatusCode;
  if (!ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER_EX, &info, nullptr, nullptr)) {
    return false;
  }
  if (!ctxt.m_body.empty()) {
    DWORD bytes = static_cast<DWORD>(ctxt.m_body.size());
    if (!ecb->WriteClient(ecb->ConnID, ctxt.m_body.data(), &bytes, 0)) return false;
  }
  return true;
}

bool CHttpServer::CallTyped(const ParseMapEntry& entry, CHttpServerContext* pCtxt, std::string_view params) {
  // The declaration: names with their defaults.
  std::vector<std::string> names;
  CHttpArgs args;
  std::string_view decl = entry.paramDecl != nullptr ? entry.paramDecl : "";
  size_t pos = 0;
  while (pos < decl.size()) {
    while (pos < decl.size() && decl[pos] == ' ') ++pos;
    if (pos >= decl.size()) break;
    size_t end = decl.find(' ', pos);
    if (end == std::string_view::npos) end = decl.size();
    std::string_view item = decl.substr(pos, end - pos);
    size_t eq = item.find('=');
    names.emplace_back(item.substr(0, eq));
    args.values_.emplace_back(eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1));
    pos = end;
  }
  const std::string_view types = entry.paramTypes != nullptr ? entry.paramTypes : "";
  if (types.size() != names.size()) return false;

  // The request's values: name=value pairs, or bare values by position.
  size_t positional = 0;
  pos = 0;
  while (pos <= params.size() && !params.empty()) {
    size_t end = params.find(delimiter_, pos);
    if (end == std::string_view::npos) end = params.size();
    std::string_view item = params.substr(pos, end - pos);
    if (!item.empty()) {
      size_t eq = item.find('=');
      size_t index = names.size();
      std::string_view value = item;
      if (eq != std::string_view::npos) {
        std::string name = DecodeFormValue(item.substr(0, eq));
        for (size_t i = 0; i < names.size(); ++i) {
          if (names[i] == name) index = i;
        }
        value = item.substr(eq + 1);
      } else {
        index = positional++;
      }
      if (index >= names.size()) return false;
      args.values_[index] = DecodeFormValue(value);
    }
    pos = end + 1;
  }

  for (size_t i = 0; i < types.size(); ++i) {
    long v = 0;
    if (types[i] == 'h' && !ParseNumber(args.values_[i], INT16_MIN, INT16_MAX, &v)) return false;
    if (types[i] == 'l' && !ParseNumber(args.values_[i], INT32_MIN, INT32_MAX, &v)) return false;
  }
  (this->*entry.typed)(pCtxt, args);
  return true;
}

DWORD CHttpServer::HttpExtensionProc(EXTENSION_CONTROL_BLOCK* pECB) {
  if (pECB == nullptr) return HSE_STATUS_ERROR;
  CHttpServerContext ctxt(pECB);
  const char* method = pECB->lpszMethod != nullptr ? pECB->lpszMethod : "";
  const std::string_view query = pECB->lpszQueryString != nullptr ? pECB->lpszQueryString : "";
  const bool isGet = std::strcmp(method, "GET") == 0;
  const bool isPost = std::strcmp(method, "POST") == 0;

  // The body: for a POST the whole of it, read into one buffer with a NUL after it.
  std::string body;
  if (isPost) {
    if (pECB->cbTotalBytes == kUnknownContentLength) {
      OnParseError(&ctxt, 413, "The request has no length.");
      return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
    }
    if (pECB->cbTotalBytes < pECB->cbAvailable) {
      OnParseError(&ctxt, 400, "The request is longer than its announced length.");
      return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
    }
    body.reserve(static_cast<size_t>(pECB->cbTotalBytes) + 1);
    if (pECB->cbAvailable > 0 && pECB->lpbData != nullptr) {
      body.append(reinterpret_cast<const char*>(pECB->lpbData), pECB->cbAvailable);
    }
    while (body.size() < pECB->cbTotalBytes) {
      char chunk[8192];
      DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof chunk, pECB->cbTotalBytes - body.size()));
      if (pECB->ReadClient == nullptr || !pECB->ReadClient(pECB->ConnID, chunk, &want) || want == 0) {
        OnParseError(&ctxt, 400, "The request body ended early.");
        return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
      }
      body.append(chunk, want);
    }
  } else if (!isGet) {
    OnParseError(&ctxt, 405, "Only GET and POST are served.");
    return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
  }

  // The command and the text handed to it.
  std::string command;
  std::string argument;
  bool hasCommand = false;
  if (!query.empty()) {
    size_t cut = query.find(delimiter_);
    command.assign(query.substr(0, cut));
    hasCommand = true;
    if (isGet) {
      if (cut != std::string_view::npos) argument.assign(query.substr(cut + 1));
    } else {
      argument = std::move(body);
      if (cut != std::string_view::npos && argument.empty()) argument.assign(query.substr(cut + 1));
    }
  } else if (isPost && body.compare(0, sizeof kCommandField - 1, kCommandField) == 0) {
    size_t start = sizeof kCommandField - 1;
    size_t cut = body.find(delimiter_, start);
    command = body.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (cut != std::string::npos) argument = body.substr(cut + 1);
    hasCommand = true;
  } else if (isPost) {
    argument = std::move(body);
  }
  while (!argument.empty() && IsTrailingBlank(argument.back())) argument.pop_back();

  const ParseMapEntry* entry = nullptr;
  for (const ParseMapEntry& e : GetParseMap()) {
    if (hasCommand ? (e.command != nullptr && command == e.command) : e.command == nullptr) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) {
    OnParseError(&ctxt, 400, "Unknown command.");
    return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
  }

  switch (entry->kind) {
    case ParseMapEntry::kRaw: {
      // The command gets a writable text with a NUL after it, which it may decode in place.
      argument.push_back('\0');
      (this->*entry->raw)(&ctxt, argument.data(), static_cast<int>(argument.size() - 1));
      break;
    }
    case ParseMapEntry::kEmpty:
      (this->*entry->empty)(&ctxt);
      break;
    case ParseMapEntry::kTyped:
      if (!CallTyped(*entry, &ctxt, argument)) {
        OnParseError(&ctxt, 400, "Bad parameters.");
      }
      break;
  }
  return SendReply(ctxt) ? HSE_STATUS_SUCCESS : HSE_STATUS_ERROR;
}

// ---------------------------------------------------------------------------------------------------
// CHttpFilter

CHttpFilter::CHttpFilter() { g_pHttpFilterObject = this; }

CHttpFilter::~CHttpFilter() {
  if (g_pHttpFilterObject == this) g_pHttpFilterObject = nullptr;
}

BOOL CHttpFilter::GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
  if (pVer != nullptr) {
    pVer->dwFilterVersion = (6u << 16) | 0u;
    pVer->dwFlags = SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT;
    pVer->lpszFilterDesc[0] = '\0';
  }
  return TRUE;
}

DWORD CHttpFilter::HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD dwNotificationType, void*) {
  if (dwNotificationType == SF_NOTIFY_END_OF_NET_SESSION) return OnEndOfNetSession(pfc);
  return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

DWORD CHttpFilter::OnEndOfNetSession(HTTP_FILTER_CONTEXT*) { return SF_STATUS_REQ_NEXT_NOTIFICATION; }

// ---------------------------------------------------------------------------------------------------
// Exported entry points

extern "C" {

__attribute__((visibility("default"))) BOOL GetExtensionVersion(HSE_VERSION_INFO* pVer) {
  return g_pHttpServerObject != nullptr ? g_pHttpServerObject->GetExtensionVersion(pVer) : FALSE;
}

__attribute__((visibility("default"))) DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* pECB) {
  return g_pHttpServerObject != nullptr ? g_pHttpServerObject->HttpExtensionProc(pECB) : HSE_STATUS_ERROR;
}

__attribute__((visibility("default"))) BOOL TerminateExtension(DWORD dwFlags) {
  return g_pHttpServerObject != nullptr ? g_pHttpServerObject->TerminateExtension(dwFlags) : TRUE;
}

__attribute__((visibility("default"))) BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
  return g_pHttpFilterObject != nullptr ? g_pHttpFilterObject->GetFilterVersion(pVer) : FALSE;
}

__attribute__((visibility("default"))) DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD dwNotificationType,
                                                            void* pvNotification) {
  return g_pHttpFilterObject != nullptr ? g_pHttpFilterObject->HttpFilterProc(pfc, dwNotificationType, pvNotification)
                                        : SF_STATUS_REQ_NEXT_NOTIFICATION;
}

}  // extern "C"
