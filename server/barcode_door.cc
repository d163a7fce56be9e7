// The barcode command: a picture of the text in its query, as PNG or BMP, for label printing.

#include <cstdio>

#include "server/extension.h"
#include "image/barcode_query.h"

void CTarnwickExtension::DoBarCode(CHttpServerContext* pCtxt, const char* ccode, int16_t ih, int16_t iwz,
                                   int16_t idir, int16_t ntype, const char* cmask) {
  BarcodeQuery query;
  query.ccode = ccode != nullptr ? ccode : "";
  query.ih = ih;
  query.iwz = iwz;
  query.idir = idir;
  query.ntype = ntype;
  query.cmask = cmask != nullptr ? cmask : "";
  CBarcodeImage image;
  BarcodeAnswer answer = RenderBarcodeQuery(query, image);
  if (answer.imageType == nullptr) {
    pCtxt->Write(answer.data, answer.size);  // the refusal, with no header of its own
    return;
  }
  char header[128];
  std::snprintf(header, sizeof header, "Content-Type: image/%s\r\nAccept-Ranges: bytes\r\nContent-Length: %u\r\n",
                answer.imageType, answer.size);
  AddHeader(pCtxt, header);
  pCtxt->Write(answer.data, answer.size);
}
