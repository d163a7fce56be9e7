// The GBK tables, generated at build time by tools/gen/gen_gbk_table.
#include "util/codepage.h"

namespace tw {
#include "gbk_table.inc"
}  // namespace tw
