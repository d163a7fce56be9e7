#pragma once
// What the PDA road's end-to-end tests share: a host with the reference-data container switched on
// (the PDA door needs it), the PDA signing key and requests signed as a PDA signs them.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/http_client.h"

namespace twtest::pda {

using twtest::kPdaKey;

inline std::string Code(long long code) { return "{\"ReturnValue\":" + std::to_string(code) + "}"; }

// Request text in GBK (as the tests' literals are) as the UTF-8 that PDAs send, and back.
inline std::string Utf8(const std::string& gbk) { return GbkToUtf8Text(gbk); }

// The host configuration of the PDA tests: the container is on.
inline HostConfig PdaHostConfig() {
  HostConfig c;
  c.iniText = DefaultIni() + "启用Ostrum容器=1\r\n";
  return c;
}

// Writes the PDA key into the dictionary (before the host starts: the container reads it at load).
inline bool SetPdaKey(TestDb& db) { return UsePdaKey(db); }

// Signed requests of one PDA user to the DoPda door of a running host.
class PdaClient {
 public:
  PdaClient(uint16_t port, std::string pda) : http_(port), pda_(std::move(pda)) {
    HttpReply r = http_.Post("/cgi-bin/Tarnwick.dll?DoApp", "{\"RequestName\":\"TimeStamp\"}");
    std::sscanf(r.body.c_str(), "{\"ReturnValue\":%lld}", &stamp_);
  }
  // Posts {"RequestName":name,"cUserPid":...,"TimeStamp":...,"MD5":...<more>} (more: UTF-8 text
  // beginning with a comma, or empty).
  HttpReply Post(const std::string& name, const std::string& more = "") {
    const std::string body = "{\"RequestName\":\"" + name + "\",\"cUserPid\":\"" + pda_ +
                             "\",\"TimeStamp\":" + std::to_string(stamp_) + ",\"MD5\":\"" +
                             RequestSignature(pda_, stamp_, kPdaKey) + "\"" + more + "}";
    return http_.Post("/cgi-bin/Tarnwick.dll?DoPda", body);
  }
  std::string Body(const std::string& name, const std::string& more = "") { return Post(name, more).body; }

 private:
  HttpClient http_;
  std::string pda_;
  long long stamp_ = 0;
};

}  // namespace twtest::pda
