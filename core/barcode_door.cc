// The barcode command.

#include "core/extension.h"

void CTarnwickExtension::DoBarCode(CHttpServerContext* pCtxt, const char*, int16_t, int16_t, int16_t, int16_t,
                                   const char*) {
  *pCtxt << "E!";
}
