#pragma once
// What the HTTP benchmarks share: running a load program and reading wrk's figures.
// Header-only; each benchmark program includes it.

#include <cstdio>
#include <string>

namespace twbench {

// The figures wrk prints: requests per second, requests answered, answers other than 2xx or 3xx,
// the latency percentiles as wrk writes them ("1.23ms"), and all that wrk and its script printed.
struct WrkFigures {
  double rps = 0;
  long long requests = 0, non2xx = 0;
  std::string p50, p90, p99;
  std::string output;
};

// RunLines: runs a command and hands every output line to `line`. False when it could not run or
// did not exit 0.
template <typename Line>
bool RunLines(const std::string& cmd, Line line) {
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return false;
  char text[512];
  while (std::fgets(text, sizeof text, p) != nullptr) line(text);
  return pclose(p) == 0;
}

// RunWrk: wrk with `threads` threads and `connections` connections for `seconds` against url with the
// Lua script (`options`: further wrk options, such as "--timeout 10s"), its figures into f. False when
// wrk could not run.
inline bool RunWrk(const std::string& url, const std::string& script, int threads, int connections, int seconds,
                   WrkFigures& f, const std::string& options = "") {
  const std::string cmd = "wrk -t" + std::to_string(threads) + " -c" + std::to_string(connections) + " -d" +
                          std::to_string(seconds) + "s " + (options.empty() ? "" : options + " ") + "--latency -s " +
                          script + " " + url + " 2>&1";
  return RunLines(cmd, [&](const char* text) {
    f.output += text;
    char value[32];
    std::sscanf(text, "Requests/sec: %lf", &f.rps);
    std::sscanf(text, " %lld requests in", &f.requests);
    std::sscanf(text, " Non-2xx or 3xx responses: %lld", &f.non2xx);
    if (std::sscanf(text, " 50%% %31s", value) == 1) f.p50 = value;
    if (std::sscanf(text, " 90%% %31s", value) == 1) f.p90 = value;
    if (std::sscanf(text, " 99%% %31s", value) == 1) f.p99 = value;
  });
}

}  // namespace twbench
