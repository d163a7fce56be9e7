// The about page: the library's version and the state of its pool and carrier settings.

#include <cstdio>

#include <string>

#include "server/extension.h"
#include "carriers/carrier_clients.h"
#include "core/pool.h"
#include "server/state.h"

void CTarnwickExtension::Default(CHttpServerContext* pCtxt) {
  char line[256];
  CHttpServerContext& out = *pCtxt;
  out << "<html><head><title>About Tarnwick.dll version " << kTarnwickVersion << "</title>"
      << "<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
      << "<style type='text/css'>td{font-size:12px;} a{font-size:12px;text-decoration:none;}"
      << " a:link{color:#000033;text-decoration:none;} a:visited{color:#999999;text-decoration:none;}"
      << " a:hover{text-decoration:none;}</style></head><body>\r\n";
  out << "<table width='370' border='0' align='center' cellpadding='0' cellspacing='0'>\r\n"
      << "<tr><td height='20'>&nbsp;</td></tr>\r\n"
      << "<tr><td height='1' bgcolor='#000000'></td></tr>\r\n";
  std::snprintf(line, sizeof line, "<tr><td> Tarnwick.dll V%s [OstrumContainer:%c]</td></tr>\r\n", kTarnwickVersion,
                IsContainerLoaded() ? '1' : '0');
  out << line;
  std::snprintf(line, sizeof line, "<tr><td> SPX: EUB_%u,AUPOST_%c,SFE_%c</td></tr>\r\n", EubAccountCount(),
                HasAuPostClient() ? '1' : '0', HasSfClient() ? '1' : '0');
  out << line;
  if (const std::string open = OpenCarrierBreakers(); !open.empty()) {
    std::snprintf(line, sizeof line, "<tr><td> SPX breaker open: %.200s</td></tr>\r\n", open.c_str());
    out << line;
  }
  if (unsigned fills = KindFillCount(); fills > 0) {
    std::snprintf(line, sizeof line, "<tr><td> EXX: EmsKindExFields_Fill_%u</td></tr>\r\n", fills);
    out << line;
  }
  out << "<tr><td>Updated on " << kTarnwickUpdated << "</td></tr>\r\n"
      << "<tr><td height='1' bgcolor='#000000'></td></tr>\r\n"
      << "<tr><td height='20'>&nbsp;</td></tr>\r\n"
      << "</table>\r\n";

  int nFree = 0, highest = 0;
  PoolCounts(&nFree, &highest);
  out << "<BR><table width=370 border='0' align='center' cellpadding='0' cellspacing='0'>\r\n"
      << "<tr><td>DB</td><td>Used</td><td>Idle</td><td>Pos</td></tr>";
  std::snprintf(line, sizeof line, "<tr><td>DBC</td><td>%d</td><td>%d</td><td>%d</td></tr>", kPoolSlotCount - nFree,
                nFree, highest);
  out << line << "\r\n</table>\r\n</body></html>\r\n";
}
