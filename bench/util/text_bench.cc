// The per-request text work against reference implementations on the same inputs:
//   MD5Hex against OpenSSL's MD5 (libcrypto, here only) on 64-byte and 1 KB inputs;
//   GBK <-> UTF-8 through our tables against iconv (a descriptor opened once) on the same mixed text;
//   the JSON readers on a typical 2 KB request, reading its 40 keys.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <openssl/md5.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "util/codepage.h"
#include "util/json.h"
#include "util/md5.h"

namespace {

std::string Bytes(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) {
    s[i] = static_cast<char>('0' + (i * 7) % 75);
  }
  return s;
}

void HexOf(const unsigned char* digest, char* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  out[32] = 0;
}

void BM_MD5Hex_Tarnwick(benchmark::State& state) {
  std::string in = Bytes(static_cast<size_t>(state.range(0)));
  char out[tw::kMd5HexSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::MD5Hex(in.data(), in.size(), out));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MD5Hex_Tarnwick)->Arg(64)->Arg(1024);

void BM_MD5Hex_OpenSSL(benchmark::State& state) {
  std::string in = Bytes(static_cast<size_t>(state.range(0)));
  unsigned char digest[MD5_DIGEST_LENGTH];
  char out[33];
  for (auto _ : state) {
    MD5(reinterpret_cast<const unsigned char*>(in.data()), in.size(), digest);
    HexOf(digest, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_MD5Hex_OpenSSL)->Arg(64)->Arg(1024);

// A reply-sized mixed text: Chinese names and addresses with ASCII numbers and codes.
std::string MixedGbk() {
  std::string piece = "收件人张三丰, 地址: 广东省深圳市南山区科技园南区 No.18 Room 1203, "
                      "电话 13800138000, 物品: 奶粉 2罐 (Milk powder), ";
  std::string s;
  while (s.size() < 1000) {
    s += piece;
  }
  return s;
}

std::string ToUtf8(const std::string& gbk) {
  std::vector<char> out(gbk.size() * 2 + 1);
  tw::GbkToUtf8(gbk.c_str(), out.data(), out.size());
  return std::string(out.data());
}

size_t IconvRun(iconv_t cd, const std::string& in, std::vector<char>& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  return out.size() - ol;
}

void BM_GbkToUtf8_Tarnwick(benchmark::State& state) {
  std::string gbk = MixedGbk();
  std::vector<char> out(gbk.size() * 2 + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::GbkToUtf8(gbk.c_str(), out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(BM_GbkToUtf8_Tarnwick);

void BM_GbkToUtf8_Iconv(benchmark::State& state) {
  std::string gbk = MixedGbk();
  std::vector<char> out(gbk.size() * 2 + 1);
  iconv_t cd = iconv_open("UTF-8", "CP936");
  for (auto _ : state) {
    benchmark::DoNotOptimize(IconvRun(cd, gbk, out));
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(BM_GbkToUtf8_Iconv);

void BM_Utf8ToGbk_Tarnwick(benchmark::State& state) {
  std::string utf8 = ToUtf8(MixedGbk());
  std::vector<char> out(utf8.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::Utf8ToGbkText(utf8, out.data(), utf8.size(), nullptr));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8ToGbk_Tarnwick);

void BM_Utf8ToGbk_Iconv(benchmark::State& state) {
  std::string utf8 = ToUtf8(MixedGbk());
  std::vector<char> out(utf8.size() + 1);
  iconv_t cd = iconv_open("CP936", "UTF-8");
  for (auto _ : state) {
    benchmark::DoNotOptimize(IconvRun(cd, utf8, out));
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8ToGbk_Iconv);

// A typical client request of about 2 KB with 40 keys: numbers, codes, and UTF-8 Chinese names.
std::string TypicalRequest(std::vector<std::string>* keys) {
  std::string utf8Name = ToUtf8("张三丰（深圳分公司收）");
  std::string utf8Addr = ToUtf8("广东省深圳市南山区科技园南区高新南一道18号创维大厦1203室");
  std::string r = "{\"RequestName\":\"PreInputSet\",\"icID\":10086,\"TimeStamp\":1700000000000,"
                  "\"MD5\":\"0123456789abcdef0123456789abcdef\"";
  for (int i = 0; i < 36; ++i) {
    char key[16];
    snprintf(key, sizeof key, "cField%02d", i);
    keys->push_back(key);
    r += ",\"";
    r += key;
    r += "\":";
    switch (i % 4) {
      case 0: r += std::to_string(1000 + i); break;
      case 1: r += "\"" + utf8Name + "\""; break;
      case 2: r += "\"" + utf8Addr + "\""; break;
      default: r += "\"EMS" + std::to_string(123456789 + i) + "CN-SZX-WAREHOUSE-A\""; break;
    }
  }
  r += "}";
  keys->insert(keys->begin(), {"RequestName", "icID", "TimeStamp", "MD5"});
  return r;
}

void BM_JsonRead40Keys(benchmark::State& state) {
  std::vector<std::string> keys;
  std::string request = TypicalRequest(&keys);
  char out[256];
  for (auto _ : state) {
    for (size_t k = 0; k < keys.size(); ++k) {
      tw::JsonGetString(keys[k].c_str(), request, out, 200, static_cast<int>(k % 2));
      benchmark::DoNotOptimize(out);
    }
  }
  state.counters["request_bytes"] = static_cast<double>(request.size());
  state.counters["keys"] = static_cast<double>(keys.size());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
}
BENCHMARK(BM_JsonRead40Keys);

}  // namespace

BENCHMARK_MAIN();
