// Requests that the doors name but whose handlers are not part of the system yet: each answers "-4"
// (name not served) until its subsystem brings the real one and removes it from here.

#include "core/extension.h"
#include "core/result_codes.h"

void CTarnwickExtension::OnGenerateMD5(CHttpServerContext* pCtxt, char*) { WriteCode(pCtxt, kRcNameNotInTable); }
void CTarnwickExtension::OnGetClientID(CHttpServerContext* pCtxt, char*, const char*) {
  WriteCode(pCtxt, kRcNameNotInTable);
}
void CTarnwickExtension::OnRecTransBagSet(CHttpServerContext* pCtxt, char*, const unsigned char*) {
  WriteCode(pCtxt, kRcNameNotInTable);
}
