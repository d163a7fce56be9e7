#pragma once
// The two objects the web server knows the library by.
//
// CTarnwickFilter does the whole start-up in GetFilterVersion (registry login, the 50 pooled
// connections, the configuration, the label worker) and the pool teardown in its destructor.
// CTarnwickExtension receives the URL commands through its parse map, finishes the start-up in
// GetExtensionVersion and starts the shutdown in TerminateExtension. The JSON commands are the doors
// (server/doors.cc): each checks its caller and runs the handler its request table
// (server/request_tables.cc) names, a function of its road (services/, pda/, warehouse/,
// carriers/handlers.h).
//
// Thread-safety: the web server calls the commands from many threads at once; handlers keep their
// state in the pool slot they hold.

#include <cstdint>
#include <vector>

#include "platform/event.h"
#include "platform/httpserver.h"

// The library's version, shown by the about page.
inline constexpr char kTarnwickVersion[] = "4.8";
inline constexpr char kTarnwickUpdated[] = "2015-06-14";

class CTarnwickExtension : public CHttpServer {
 public:
  CTarnwickExtension();
  ~CTarnwickExtension() override;

  BOOL GetExtensionVersion(HSE_VERSION_INFO* pVer) override;
  BOOL TerminateExtension(DWORD dwFlags) override;
  const std::vector<ParseMapEntry>& GetParseMap() const override;

  // ----- URL commands -------------------------------------------------------------------------------
  void Default(CHttpServerContext* pCtxt);
  void DoBarCode(CHttpServerContext* pCtxt, const char* ccode, int16_t ih, int16_t iwz, int16_t idir,
                 int16_t ntype, const char* cmask);
  void DoApp(CHttpServerContext* pCtxt, char* body, int length);
  void DoApi(CHttpServerContext* pCtxt, char* body, int length);
  void DoPda(CHttpServerContext* pCtxt, char* body, int length);
  void DoChk(CHttpServerContext* pCtxt, char* body, int length);
  void WeChat(CHttpServerContext* pCtxt, char* body, int length);
  void Do(CHttpServerContext* pCtxt, char* body, int length);
  void PayWsj(CHttpServerContext* pCtxt, char* body, int length);

  // ----- Configuration ------------------------------------------------------------------------------
  // LoadConfiguration: reads tarnwick.ini and the dictionary; 1 when the whole file was processed.
  int LoadConfiguration();

 private:
  void DoBarCodeArgs(CHttpServerContext* pCtxt, const CHttpArgs& args);
};

class CTarnwickFilter : public CHttpFilter {
 public:
  CTarnwickFilter() = default;
  ~CTarnwickFilter() override;

  BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) override;
  DWORD OnEndOfNetSession(HTTP_FILTER_CONTEXT* pfc) override;
};

// ----- The server's static objects (server/globals.cc) -------------------------------------------------
// Each room below declares its own: the pool and g_bStopping in core/pool.h, the label worker's in
// carriers/label_worker.h, the payment gateway's lock in services/handlers.h.
extern CEvent g_TransBagLock;                     // serialises "RecTransBagSet"
extern int g_nLoadDayOfYear;                      // day of the year (1..366) at library load
extern CTarnwickExtension theExtension;
extern CTarnwickFilter theFilter;

// The start-up progress hook: the texts are not recorded anywhere.
void StartupTrace(const char* text);
