#pragma once
// What the warehouse end-to-end tests share: a host with the reference-data container switched on,
// the PDA user "WPDA1" (operator "WOp1") with the signing key, and signed DoPda requests.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace twtest::warehouse {

using twtest::kPdaKey;
inline constexpr char kPda[] = "WPDA1";
inline constexpr char kOperator[] = "WOp1";

inline std::string Code(int code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }
// GBK text of the test's literals as the UTF-8 that replies carry.
inline std::string Utf8(const std::string& gbk) { return GbkToUtf8Text(gbk); }

// The dictionary key and the PDA user of the warehouse tests.
inline void SeedPdaUser(TestDb& db) {
  ASSERT_TRUE(UsePdaKey(db)) << db.error();
  ASSERT_TRUE(db.Exec(std::string("DELETE FROM dbo.man_main WHERE cpda = '") + kPda + "'"));
  ASSERT_TRUE(db.Exec(std::string("INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('") + kPda + "', '" +
                      kOperator + "', 'SZX')"));
}

// A started host and a client that signs PDA requests.
class PdaSession {
 public:
  bool Start() {
    HostConfig c;
    c.iniText = DefaultIni() + "启用Ostrum容器=1\r\n";
    if (!host_.Start(c)) return false;
    http_ = std::make_unique<HttpClient>(host_.port());
    HttpReply r = http_->Post("/cgi-bin/Tarnwick.dll?DoPda", "{\"RequestName\":\"TimeStamp\"}");
    long long ms = 0;
    std::sscanf(r.body.c_str(), "{\"ReturnValue\":%lld}", &ms);
    stamp_ = ms;
    return stamp_ > 0;
  }
  // The signed request `name` with the further keys `more` (a JSON text of ,"key":value pieces,
  // UTF-8). Returns the reply body.
  std::string Call(const std::string& name, const std::string& more) { return Post(Body(name, more)); }
  std::string Body(const std::string& name, const std::string& more) const {
    return "{\"RequestName\":\"" + name + "\",\"cUserPid\":\"" + kPda + "\",\"TimeStamp\":" + std::to_string(stamp_) +
           ",\"MD5\":\"" + RequestSignature(kPda, stamp_, kPdaKey) + "\"" + more + "}";
  }
  std::string Post(const std::string& body) { return http_->Post("/cgi-bin/Tarnwick.dll?DoPda", body).body; }
  TestHost& host() { return host_; }
  uint16_t port() const { return host_.port(); }

 private:
  TestHost host_;
  std::unique_ptr<HttpClient> http_;
  long long stamp_ = 0;
};

}  // namespace twtest::warehouse
