// Writing and reading the bars' records.
#include "shell/bar_settings.hpp"

#include <algorithm>
#include <optional>
#include <string>

namespace vke {

namespace {

constexpr std::string_view kBarCount = "Bars";

std::string RecordKey(int32_t k, std::string_view field) {
  return "Bar" + std::to_string(k) + std::string(field);
}

std::optional<int32_t> ReadNumber(const Preferences& preferences, const std::string& key) {
  const std::optional<std::string> text = preferences.Read(kBarSettingsGroup, key);
  int32_t value;
  if (!text || !ParsePreferenceInt(*text, &value)) return std::nullopt;
  return value;
}

}  // namespace

void SaveBarStates(Preferences& preferences, std::span<const BarState> bars) {
  const auto count = static_cast<int32_t>(std::min<size_t>(bars.size(), kMaxBarRecords));
  for (int32_t k = 0; k < count; k++) {
    preferences.Write(kBarSettingsGroup, RecordKey(k, "ID"), std::to_string(bars[k].id));
    preferences.Write(kBarSettingsGroup, RecordKey(k, "Visible"), bars[k].visible ? "1" : "0");
  }
  preferences.Write(kBarSettingsGroup, kBarCount, std::to_string(count));
}

std::vector<BarState> LoadBarStates(const Preferences& preferences) {
  std::vector<BarState> bars;
  const int32_t count =
      std::clamp(ReadNumber(preferences, std::string(kBarCount)).value_or(0), 0, kMaxBarRecords);
  for (int32_t k = 0; k < count; k++) {
    const std::optional<int32_t> id = ReadNumber(preferences, RecordKey(k, "ID"));
    const std::optional<int32_t> visible = ReadNumber(preferences, RecordKey(k, "Visible"));
    if (id && visible && (*visible == 0 || *visible == 1)) bars.push_back({*id, *visible == 1});
  }
  return bars;
}

}  // namespace vke
