// The JSON front doors.

#include "core/extension.h"
#include "core/result_codes.h"

void CTarnwickExtension::DoApp(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::DoApi(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::DoPda(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::DoChk(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::WeChat(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::Do(CHttpServerContext* pCtxt, char*, int) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::PayWsj(CHttpServerContext*, char*, int) {}
