// tarnwick-registry: writes and reads the scrambled values of the file-backed registry.
//
//   tarnwick-registry [--file F] set KEY NAME VALUE   store VALUE scrambled under KEY\NAME
//   tarnwick-registry [--file F] get KEY NAME         print the unscrambled value
//   tarnwick-registry [--file F] set-raw KEY NAME HEX store bytes as they are
//
// KEY is below HKEY_LOCAL_MACHINE, e.g. 'SOFTWARE\Halvern'. Without --file the registry of
// TARNWICK_REGISTRY (default /etc/tarnwick/registry) is used.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/registry_scramble.h"
#include "util/registry.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarnwick-registry [--file F] set KEY NAME VALUE\n"
               "       tarnwick-registry [--file F] get KEY NAME\n"
               "       tarnwick-registry [--file F] set-raw KEY NAME HEX\n");
  return 2;
}

int Store(const char* key, const char* name, const std::vector<uint8_t>& bytes) {
  CRegistryKey reg;
  LONG rc = reg.Open(HKEY_LOCAL_MACHINE, key, false);
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "tarnwick-registry: cannot open %s (%d)\n", key, rc);
    return 1;
  }
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS ||
      RegSetValueExA(h, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
    std::fprintf(stderr, "tarnwick-registry: cannot write %s\\%s in %s\n", key, name, RegistryFilePath().c_str());
    if (h != nullptr) RegCloseKey(h);
    return 1;
  }
  RegCloseKey(h);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  if (i + 1 < argc && std::strcmp(argv[i], "--file") == 0) {
    setenv("TARNWICK_REGISTRY", argv[i + 1], 1);
    i += 2;
  }
  if (i >= argc) return Usage();
  std::string verb = argv[i++];
  if (verb == "set" && argc - i == 3) {
    std::random_device seed;
    std::mt19937 rng(seed());
    std::vector<uint8_t> value = ScrambleRegistryValue(argv[i + 2], kRegistryValueBytes, rng);
    if (value.empty()) {
      std::fprintf(stderr, "tarnwick-registry: the value must be 0 to %zu bytes without NUL\n",
                   kRegistryValueBytes / 2 - 1);
      return 1;
    }
    return Store(argv[i], argv[i + 1], value);
  }
  if (verb == "set-raw" && argc - i == 3) {
    std::vector<uint8_t> bytes;
    const char* hex = argv[i + 2];
    size_t n = std::strlen(hex);
    if (n % 2 != 0) return Usage();
    for (size_t k = 0; k < n; k += 2) {
      char pair[3] = {hex[k], hex[k + 1], 0};
      char* end = nullptr;
      long v = std::strtol(pair, &end, 16);
      if (*end != '\0') return Usage();
      bytes.push_back(static_cast<uint8_t>(v));
    }
    return Store(argv[i], argv[i + 1], bytes);
  }
  if (verb == "get" && argc - i == 2) {
    CRegistryKey reg;
    if (reg.Open(HKEY_LOCAL_MACHINE, argv[i], true) != ERROR_SUCCESS) {
      std::fprintf(stderr, "tarnwick-registry: no key %s\n", argv[i]);
      return 1;
    }
    uint8_t buffer[kRegistryValueBytes] = {};
    DWORD size = sizeof buffer;
    if (reg.QueryValue(argv[i + 1], buffer, &size) != ERROR_SUCCESS) {
      std::fprintf(stderr, "tarnwick-registry: no value %s\n", argv[i + 1]);
      return 1;
    }
    int rc = UnscrambleRegistryValue(buffer, sizeof buffer);
    if (rc != kUnscrambleOk) {
      std::fprintf(stderr, "tarnwick-registry: the value does not unscramble (%d)\n", rc);
      return 1;
    }
    std::printf("%s\n", reinterpret_cast<char*>(buffer));
    return 0;
  }
  return Usage();
}
