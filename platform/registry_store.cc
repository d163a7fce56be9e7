#include "platform/registry_store.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

constexpr char kDefaultRegistryFile[] = "/etc/tarnwick/registry";

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

using ValueMap = std::map<std::string, std::vector<uint8_t>, NoCaseLess>;
using KeyMap = std::map<std::string, ValueMap, NoCaseLess>;

}  // namespace

struct RegistryKeyHandle {
  std::string path;  // full key path, "HKEY_LOCAL_MACHINE\SOFTWARE\Halvern"
  ValueMap values;   // the values as read when the key was opened
};

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

const char* RootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  return nullptr;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the whole registry file; a missing file is an empty registry. Lines that do not parse are
// skipped.
KeyMap ReadRegistryFile(const std::string& path) {
  KeyMap keys;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  ValueMap* current = nullptr;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = &keys[line.substr(1, line.size() - 2)];
      continue;
    }
    size_t eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;
    std::string name = line.substr(0, eq);
    std::string_view text(line);
    text.remove_prefix(eq + 1);
    if (text.substr(0, 4) != "hex:") continue;
    text.remove_prefix(4);
    if (text.size() % 2 != 0) continue;
    std::vector<uint8_t> bytes;
    bool ok = true;
    for (size_t i = 0; i < text.size(); i += 2) {
      int hi = Hex(text[i]), lo = Hex(text[i + 1]);
      if (hi < 0 || lo < 0) {
        ok = false;
        break;
      }
      bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    if (ok) (*current)[name] = std::move(bytes);
  }
  return keys;
}

bool WriteRegistryFile(const std::string& path, const KeyMap& keys) {
  std::string tmp = path + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << "# Tarnwick registry: one [key] section per key, values as hex bytes.\n";
    for (const auto& [key, values] : keys) {
      out << '[' << key << "]\n";
      for (const auto& [name, bytes] : values) {
        out << name << "=hex:";
        static const char kDigits[] = "0123456789abcdef";
        for (uint8_t b : bytes) out << kDigits[b >> 4] << kDigits[b & 15];
        out << '\n';
      }
    }
    if (!out.flush()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

LONG OpenKey(HKEY root, const char* subKey, bool create, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_HANDLE;
  *result = nullptr;
  const char* rootName = RootName(root);
  if (rootName == nullptr || subKey == nullptr) return ERROR_INVALID_HANDLE;
  std::string path = std::string(rootName) + "\\" + subKey;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  std::string file = RegistryFilePath();
  KeyMap keys = ReadRegistryFile(file);
  auto it = keys.find(path);
  if (it == keys.end()) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    keys[path];
    if (!WriteRegistryFile(file, keys)) return ERROR_ACCESS_DENIED;
    it = keys.find(path);
  }
  auto* handle = new RegistryKeyHandle{path, it->second};
  *result = handle;
  return ERROR_SUCCESS;
}

}  // namespace

std::string RegistryFilePath() {
  const char* env = std::getenv("TARNWICK_REGISTRY");
  return env != nullptr && *env != '\0' ? env : kDefaultRegistryFile;
}

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, REGSAM, HKEY* result) {
  return OpenKey(root, subKey, false, result);
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, REGSAM, HKEY* result) {
  return OpenKey(root, subKey, true, result);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, uint8_t* data, DWORD* cbData) {
  if (key == nullptr || RootName(key) != nullptr) return ERROR_INVALID_HANDLE;
  auto it = key->values.find(valueName != nullptr ? valueName : "");
  if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = REG_BINARY;
  const std::vector<uint8_t>& bytes = it->second;
  if (cbData == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_DATA;
  DWORD room = *cbData;
  *cbData = static_cast<DWORD>(bytes.size());
  if (data == nullptr) return ERROR_SUCCESS;
  if (bytes.size() > room) return ERROR_MORE_DATA;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD, const uint8_t* data, DWORD cbData) {
  if (key == nullptr || RootName(key) != nullptr || valueName == nullptr) return ERROR_INVALID_HANDLE;
  std::vector<uint8_t> bytes(data, data + (data != nullptr ? cbData : 0));
  std::lock_guard<std::mutex> lock(RegistryMutex());
  std::string file = RegistryFilePath();
  KeyMap keys = ReadRegistryFile(file);
  keys[key->path][valueName] = bytes;
  if (!WriteRegistryFile(file, keys)) return ERROR_ACCESS_DENIED;
  key->values[valueName] = std::move(bytes);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == nullptr || RootName(key) != nullptr) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}
