#include "pricing/field_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "util/escape.h"
#include "util/text.h"

CFieldCheckList g_FieldCheckList;

namespace {

constexpr size_t kNameMin = 4;
constexpr size_t kNameMax = 15;

// One line of the block: fills *rule and returns true when it is a rule.
bool ParseRule(std::string line, FieldCheck* rule) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) {
    return false;
  }
  std::string name = line.substr(0, equals);
  tw::CleanHtml(name.data(), true);
  name.resize(std::strlen(name.c_str()));
  if (name.size() < kNameMin || name.size() > kNameMax) {
    return false;
  }
  const std::string value = line.substr(equals + 1);
  const size_t dash = value.find('-');
  if (dash == std::string::npos) {
    return false;
  }
  const std::string low = value.substr(0, dash), high = value.substr(dash + 1);
  std::memcpy(rule->name, name.c_str(), name.size() + 1);
  rule->realMin = std::strtod(low.c_str(), nullptr);
  rule->realMax = std::strtod(high.c_str(), nullptr);
  rule->intMin = tw::ParseIntClamped(low.c_str());
  rule->intMax = tw::ParseIntClamped(high.c_str());
  return true;
}

}  // namespace

CFieldCheckList::~CFieldCheckList() = default;

int CFieldCheckList::Load(const char* text) {
  rules_.clear();
  const char* first = text != nullptr ? std::strstr(text, kFieldCheckBlockLine) : nullptr;
  if (first == nullptr) {
    return 0;
  }
  const char* block = first + std::strlen(kFieldCheckBlockLine);
  const char* end = std::strstr(block, kFieldCheckBlockLine);
  if (end == nullptr || static_cast<size_t>(end - block) >= kFieldCheckBlockMax) {
    return 0;
  }
  const std::string_view lines(block, static_cast<size_t>(end - block));
  size_t at = 0;
  while (at < lines.size()) {
    while (at < lines.size() && static_cast<unsigned char>(lines[at]) >= 1 && static_cast<unsigned char>(lines[at]) <= 32) {
      ++at;  // leading blanks and line ends
    }
    const size_t eol = std::min(lines.find('\n', at), lines.size());
    FieldCheck rule;
    if (eol > at && ParseRule(std::string(lines.substr(at, eol - at)), &rule)) {
      rules_.push_back(rule);
    }
    at = eol;
  }
  return rules_.empty() ? 0 : 1;
}

int CFieldCheckList::CheckInt(const char* name, int32_t value, char* message, size_t messageSize) const {
  if (name == nullptr) {
    return 0;
  }
  for (const FieldCheck& r : rules_) {
    if (std::strcmp(r.name, name) == 0 && (value < r.intMin || value > r.intMax)) {
      std::snprintf(message, messageSize, "[%s] allowed values %d - %d", name, r.intMin, r.intMax);
      return 1;
    }
  }
  return 0;
}

int CFieldCheckList::CheckReal(const char* name, double value, char* message, size_t messageSize) const {
  if (name == nullptr) {
    return 0;
  }
  for (const FieldCheck& r : rules_) {
    // Written so that a value that does not compare (NaN) fails.
    if (std::strcmp(r.name, name) == 0 && !(value >= r.realMin && value <= r.realMax)) {
      std::snprintf(message, messageSize, "[%s] allowed values %.3f - %.3f", name, r.realMin, r.realMax);
      return 1;
    }
  }
  return 0;
}

int CFieldCheckList::CheckLength(const char* name, const char* text, char* message, size_t messageSize) const {
  if (name == nullptr) {
    return 0;
  }
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  for (const FieldCheck& r : rules_) {
    if (std::strcmp(r.name, name) == 0 &&
        (static_cast<int64_t>(length) < r.intMin || static_cast<int64_t>(length) > r.intMax)) {
      std::snprintf(message, messageSize, "[%s] allowed length %d - %d bytes", name, r.intMin, r.intMax);
      return 1;
    }
  }
  return 0;
}
