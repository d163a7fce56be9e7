#pragma once
// The extended ODBC names live with the core ones in our layer.
#include "sql.h"
