#pragma once
// What the write benchmarks print first: the durability of the database they write to, since
// fsync, synchronous_commit and full_page_writes change their figures several times over.
// Header-only; each benchmark program includes it.

#include <string>

#include "tests/support/e2e.h"

namespace twbench {

// DurabilityLine: "database: fsync on, synchronous_commit on, full_page_writes on (durable)", with
// "(fast, not crash-safe)" when all three are off and "(mixed)" otherwise.
inline std::string DurabilityLine(twtest::TestDb& db) {
  std::string line = "database:";
  int on = 0, off = 0;
  for (const char* name : {"fsync", "synchronous_commit", "full_page_writes"}) {
    const std::string value = db.Scalar(std::string("SHOW ") + name);
    line += std::string(on + off == 0 ? " " : ", ") + name + " " + (value.empty() ? "?" : value);
    if (value == "off") {
      ++off;
    } else if (value == "on") {
      ++on;
    }
  }
  return line + (on == 3 ? " (durable)" : off == 3 ? " (fast, not crash-safe)" : " (mixed)");
}

}  // namespace twbench
