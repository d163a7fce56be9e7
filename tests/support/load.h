#pragma once
// Load of the end-to-end tests: many keep-alive connections sending requests over and over for a
// fixed time, and the tally of the shipment entries such a load was answered.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <thread>  // with the durations (<chrono> itself does not build for the GBK character set)
#include <type_traits>
#include <utility>
#include <vector>

#include "tests/support/http_client.h"

namespace twtest {

// SendFor: `connections` threads, each with an HttpClient of its own to `port`, call
// send(http, thread) over and over, from the moment all threads have started until `seconds` have
// passed; the calls under way then finish. Returns what every call returned, of every thread.
template <typename Send>
auto SendFor(uint16_t port, int connections, int seconds, Send send) {
  using Result = std::invoke_result_t<Send, HttpClient&, int>;
  std::vector<std::vector<Result>> results(static_cast<size_t>(connections));
  std::atomic<int> started{0};
  std::atomic<bool> go{false}, stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < connections; ++t) {
    threads.emplace_back([&, t] {
      HttpClient http(port);
      ++started;
      while (!go.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      while (!stop.load()) results[static_cast<size_t>(t)].push_back(send(http, t));
    });
  }
  while (started.load() < connections) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  go.store(true);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  stop.store(true);
  for (std::thread& t : threads) t.join();
  std::vector<Result> all;
  for (auto& list : results) {
    for (Result& r : list) all.push_back(std::move(r));
  }
  return all;
}

// What the records of a load of shipment entries were answered.
struct EntryTally {
  std::vector<std::pair<long long, std::string>> stored;  // id and number of each record stored
  std::vector<std::string> refusals;                      // the reason given for each record refused
  long long bare = 0;  // replies that answered no record (a bare code such as "-9999")
};

// ExpectEachStoredOnce: no record was refused, no number was answered twice, and `rows` (id and
// number of every row of the entering client in the database) are the records answered stored,
// each once.
inline void ExpectEachStoredOnce(const EntryTally& tally, const std::vector<std::vector<std::string>>& rows) {
  EXPECT_TRUE(tally.refusals.empty()) << tally.refusals.size() << " records refused, the first: "
                                      << tally.refusals.front();
  std::set<std::string> numbers;
  for (const auto& record : tally.stored) numbers.insert(record.second);
  EXPECT_EQ(numbers.size(), tally.stored.size()) << "a number was answered twice";
  std::multiset<std::pair<long long, std::string>> stored(tally.stored.begin(), tally.stored.end());
  std::multiset<std::pair<long long, std::string>> inDatabase;
  for (const auto& row : rows) {
    if (row.size() == 2) inDatabase.emplace(std::stoll(row[0]), row[1]);
  }
  EXPECT_EQ(inDatabase.size(), rows.size());
  EXPECT_TRUE(inDatabase == stored) << stored.size() << " records answered stored, " << inDatabase.size()
                                    << " rows in the database";
}

}  // namespace twtest
