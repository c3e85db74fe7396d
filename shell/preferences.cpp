// The key table of group "1.0" and the typed reading and writing.
#include "shell/preferences.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "graphics/port.hpp"

namespace vke {

namespace {

constexpr PreferenceKey kKeys[] = {
#define VKE_INT_PREF(id, name, value) {name, value, nullptr},
#define VKE_TEXT_PREF(id, name, value) {name, 0, value},
#include "shell/preference_keys.def"
#undef VKE_INT_PREF
#undef VKE_TEXT_PREF
};

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

const PreferenceKey& PreferenceKeyOf(PrefKey key) {
  return kKeys[static_cast<int>(key)];
}

bool ParsePreferenceInt(std::string_view text, int32_t* value) {
  text = Trimmed(text);
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  if (text.empty()) return false;
  uint64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude =
        std::min<uint64_t>(magnitude * 10 + static_cast<uint64_t>(c - '0'), uint64_t{1} << 32);
  }
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  const int64_t signedValue =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  *value = static_cast<int32_t>(std::clamp(signedValue, kLow, kHigh));
  return true;
}

int32_t Preferences::ReadInt(PrefKey key) const {
  const PreferenceKey& k = PreferenceKeyOf(key);
  int32_t value;
  const std::optional<std::string> text = Read(kPreferenceGroup, k.name);
  return text && ParsePreferenceInt(*text, &value) ? value : k.number;
}

std::string Preferences::ReadText(PrefKey key) const {
  const PreferenceKey& k = PreferenceKeyOf(key);
  std::optional<std::string> text = Read(kPreferenceGroup, k.name);
  return text ? std::move(*text) : std::string(k.text ? k.text : "");
}

bool Preferences::WriteInt(PrefKey key, int32_t value) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return Write(kPreferenceGroup, PreferenceKeyOf(key).name, std::string_view(digits, end - digits));
}

bool Preferences::WriteText(PrefKey key, std::string_view value) {
  return Write(kPreferenceGroup, PreferenceKeyOf(key).name, value);
}

}  // namespace vke
