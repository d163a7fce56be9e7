#pragma once
// The CPU time each program on the machine spends while a load runs, so an HTTP benchmark can say
// what one request costs the host, the database server and the load generator. Header-only; each
// benchmark program includes it.
//
// /proc is read every 100 ms and the last reading of every process is kept, so a process that ends
// during the run (a pgbench backend) counts up to its last reading, not its last 100 ms.

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace twbench {

// CPU seconds (user and system) by kind of program.
struct CpuUse {
  double host = 0;      // tarnwick-host, every thread
  double database = 0;  // every postgres process
  double load = 0;      // wrk or pgbench
};

class CpuSampler {
 public:
  CpuSampler() = default;
  CpuSampler(const CpuSampler&) = delete;
  CpuSampler& operator=(const CpuSampler&) = delete;
  ~CpuSampler() {
    if (thread_.joinable()) Stop();
  }

  void Start() {
    first_.clear();
    last_.clear();
    Read(first_);
    stop_ = false;
    thread_ = std::thread([this] {
      while (!stop_) {
        Read(last_);
        ::usleep(100 * 1000);
      }
    });
  }

  // The CPU time used since Start, by kind.
  CpuUse Stop() {
    stop_ = true;
    thread_.join();
    Read(last_);
    CpuUse use;
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    for (const auto& [pid, now] : last_) {
      auto before = first_.find(pid);
      const double seconds =
          static_cast<double>(now.ticks - (before != first_.end() ? before->second.ticks : 0)) / tick;
      if (now.name == "tarnwick-host") use.host += seconds;
      if (now.name == "postgres") use.database += seconds;
      if (now.name == "wrk" || now.name == "pgbench") use.load += seconds;
    }
    return use;
  }

 private:
  struct Reading {
    std::string name;
    long long ticks = 0;  // utime + stime of the process, its ended threads included
  };

  static void Read(std::map<int, Reading>& into) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return;
    while (dirent* e = ::readdir(proc)) {
      const int pid = std::atoi(e->d_name);
      if (pid <= 0) continue;
      char path[64], text[1024];
      std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
      FILE* f = std::fopen(path, "r");
      if (f == nullptr) continue;
      const size_t n = std::fread(text, 1, sizeof text - 1, f);
      std::fclose(f);
      text[n] = 0;
      // "pid (name) state ..." where the name may hold spaces or parentheses: the last ')' ends it.
      const char* open = std::strchr(text, '(');
      const char* close = std::strrchr(text, ')');
      if (open == nullptr || close == nullptr || close < open) continue;
      long long utime = 0, stime = 0;
      // After ") ": state, then fields 4..13; utime and stime are fields 14 and 15.
      if (std::sscanf(close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld", &utime, &stime) != 2) {
        continue;
      }
      Reading& r = into[pid];
      r.name.assign(open + 1, static_cast<size_t>(close - open - 1));
      r.ticks = utime + stime;
    }
    ::closedir(proc);
  }

  std::map<int, Reading> first_, last_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace twbench
