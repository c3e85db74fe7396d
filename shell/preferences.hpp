// The per-user preferences: texts stored by group and key, the keys of group
// "1.0" with their defaults, and the typed reading that gives a key's
// default for a value that is missing or not a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vke {

enum class PrefKey {
#define VKE_INT_PREF(id, name, value) id,
#define VKE_TEXT_PREF(id, name, value) id,
#include "shell/preference_keys.def"
#undef VKE_INT_PREF
#undef VKE_TEXT_PREF
};

struct PreferenceKey {
  const char* name;
  int32_t number;    // default of an integer
  const char* text;  // default of a text; null for an integer
};
const PreferenceKey& PreferenceKeyOf(PrefKey key);

// The groups: the preferences, the tool-bar and status-bar state, and the
// recent files "File1" to "File4".
inline constexpr std::string_view kPreferenceGroup = "1.0";
inline constexpr std::string_view kBarSettingsGroup = "BarSettings";
inline constexpr std::string_view kRecentFileGroup = "Recent File List";

// An integer as stored: decimal with an optional sign, blanks around it;
// values beyond 32 bits saturate. False for anything else.
bool ParsePreferenceInt(std::string_view text, int32_t* value);

class Preferences {
 public:
  virtual ~Preferences() = default;
  virtual std::optional<std::string> Read(std::string_view group, std::string_view key) const = 0;
  // Stores the value at once; false when it cannot be stored.
  virtual bool Write(std::string_view group, std::string_view key, std::string_view value) = 0;

  // Keys of group "1.0"; the default of the key for a missing value, and
  // for an integer that is not one.
  int32_t ReadInt(PrefKey key) const;
  std::string ReadText(PrefKey key) const;
  bool WriteInt(PrefKey key, int32_t value);
  bool WriteText(PrefKey key, std::string_view value);
};

}  // namespace vke
