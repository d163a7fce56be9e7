#pragma once
// The server-extension classes that the system's extension and filter objects derive from.
//
// CHttpServer turns one EXTENSION_CONTROL_BLOCK into one call of a command method, chosen by the
// command name of the request through the derived class's parse map:
//   GET  /cgi-bin/Tarnwick.dll?DoBarCode&ccode=123&ih=40   -> typed parameters
//   POST /cgi-bin/Tarnwick.dll?DoApp   with a JSON body     -> the raw body
//   POST /cgi-bin/Tarnwick.dll   "MfcISAPICommand=DoApp&{...}" -> the raw rest of the form body
//   GET  /cgi-bin/Tarnwick.dll                               -> the default command
// The command writes its reply through the CHttpServerContext: headers with AddHeader, the body with
// operator<< and Write. When the command returns, the headers (a text/html content type unless one was
// added) and the body are sent to the host in one piece.
//
// Thread-safety: one CHttpServer serves many requests at once; each request has its own context.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/isapi.h"

class CHttpServer;

// The web server's per-request object as commands see it.
class CHttpServerContext {
 public:
  explicit CHttpServerContext(EXTENSION_CONTROL_BLOCK* pECB);
  CHttpServerContext(const CHttpServerContext&) = delete;
  CHttpServerContext& operator=(const CHttpServerContext&) = delete;

  // Copies the server variable `name` with its NUL into buffer (*size bytes on entry; the bytes
  // written on return). Returns false when the variable is unknown or does not fit.
  bool GetServerVariable(const char* name, char* buffer, DWORD* size) const;

  // Appends to the reply body.
  CHttpServerContext& operator<<(const char* text);
  CHttpServerContext& operator<<(std::string_view text);
  CHttpServerContext& operator<<(int value);
  void Write(const void* data, size_t bytes);

  // The reply's HTTP status ("200 OK" unless a command sets another).
  void SetStatus(DWORD code, const char* text);

  EXTENSION_CONTROL_BLOCK* m_pECB;
  DWORD m_dwStatusCode = 200;
  std::string m_strStatus = "200 OK";
  std::string m_strHeaders;  // header lines added by the command, each ending in CR LF
  std::string m_body;        // the reply body, sent when the command returns
};

// Typed parameters of a command, in the order of its parameter declaration.
class CHttpArgs {
 public:
  const char* Text(size_t index) const;
  int16_t Short(size_t index) const;
  int32_t Long(size_t index) const;

 private:
  friend class CHttpServer;
  std::vector<std::string> values_;
};

// One row of a parse map.
struct ParseMapEntry {
  enum Kind { kRaw, kEmpty, kTyped };
  using RawCommand = void (CHttpServer::*)(CHttpServerContext*, char* body, int length);
  using EmptyCommand = void (CHttpServer::*)(CHttpServerContext*);
  using TypedCommand = void (CHttpServer::*)(CHttpServerContext*, const CHttpArgs&);

  const char* command;  // nullptr marks the default entry (a request without a command)
  Kind kind;
  RawCommand raw = nullptr;
  EmptyCommand empty = nullptr;
  TypedCommand typed = nullptr;
  // kTyped: the declaration of the parameters, names with their defaults separated by blanks
  // ("ccode= ih=30 iwz=1"); a name without a default after '=' is optional text, empty by default.
  const char* paramDecl = nullptr;
  // kTyped: one type letter per parameter: 's' text, 'h' 16-bit number, 'l' 32-bit number.
  const char* paramTypes = nullptr;
};

class CHttpServer {
 public:
  // delimiter separates the command from its parameters and the parameters from each other.
  explicit CHttpServer(char delimiter = '&');
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;
  virtual ~CHttpServer();

  // Start-up before the first request; fills the version record. Returns TRUE.
  virtual BOOL GetExtensionVersion(HSE_VERSION_INFO* pVer);
  // Serves one request. Returns HSE_STATUS_SUCCESS, or HSE_STATUS_ERROR when the reply could not be
  // handed to the host.
  virtual DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* pECB);
  // The host is about to unload the library. Returns TRUE.
  virtual BOOL TerminateExtension(DWORD dwFlags);

  // The parse map of the derived class; its last entry has command == nullptr only when a default
  // command exists. The table ends at the first entry with kind kEmpty and command == nullptr.
  virtual const std::vector<ParseMapEntry>& GetParseMap() const = 0;

  // Adds header lines ("Name: value\r\n" ...) to the reply.
  BOOL AddHeader(CHttpServerContext* pCtxt, const char* pszString);

  // Page framing for HTML commands.
  virtual void StartContent(CHttpServerContext* pCtxt);
  virtual void WriteTitle(CHttpServerContext* pCtxt);
  virtual const char* GetTitle() const;
  virtual void EndContent(CHttpServerContext* pCtxt);

  char delimiter() const { return delimiter_; }

 protected:
  // A request the parse map cannot serve (unknown command, bad parameters, refused method or body):
  // answers the status with a short HTML page.
  virtual void OnParseError(CHttpServerContext* pCtxt, DWORD status, const char* why);

 private:
  // Sends the collected status, headers and body through the control block.
  static bool SendReply(CHttpServerContext& ctxt);
  bool CallTyped(const ParseMapEntry& entry, CHttpServerContext* pCtxt, std::string_view params);

  const char delimiter_;
};

// The filter side: notified of server events.
class CHttpFilter {
 public:
  CHttpFilter();
  CHttpFilter(const CHttpFilter&) = delete;
  CHttpFilter& operator=(const CHttpFilter&) = delete;
  virtual ~CHttpFilter();

  virtual DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD dwNotificationType, void* pvNotification);
  // Fills the version record with the default notification flags. Returns TRUE.
  virtual BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer);
  virtual DWORD OnEndOfNetSession(HTTP_FILTER_CONTEXT* pfc);
};

// The one extension object and the one filter object of the library (set by their constructors);
// the exported entry points forward to them.
extern CHttpServer* g_pHttpServerObject;
extern CHttpFilter* g_pHttpFilterObject;

extern "C" {
BOOL GetExtensionVersion(HSE_VERSION_INFO* pVer);
DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* pECB);
BOOL TerminateExtension(DWORD dwFlags);
BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer);
DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD dwNotificationType, void* pvNotification);
}
