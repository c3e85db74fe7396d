// Preferences held in memory, for the shell's tests.
#pragma once

#include <map>
#include <utility>

#include "shell/preferences.hpp"

namespace vke::test {

class MemoryPreferences : public Preferences {
 public:
  std::optional<std::string> Read(std::string_view group, std::string_view key) const override {
    auto it = values.find({std::string(group), std::string(key)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool Write(std::string_view group, std::string_view key, std::string_view value) override {
    values[{std::string(group), std::string(key)}] = std::string(value);
    return true;
  }
  void Set(PrefKey key, std::string value) {
    values[{std::string(kPreferenceGroup), PreferenceKeyOf(key).name}] = std::move(value);
  }

  std::map<std::pair<std::string, std::string>, std::string> values;
};

}  // namespace vke::test
