// The preference file over wxFileConfig of wxBase. Bytes that are not UTF-8
// are carried through unchanged, and the parser's complaints about lines it
// does not understand are kept quiet: such lines are kept, not shown.
#include "shell/file_preferences.hpp"

#include <wx/fileconf.h>
#include <wx/log.h>

#include <filesystem>
#include <fstream>

#include "shell/platform/xdg_dirs.hpp"

namespace vke {

namespace {

constexpr char kCompanyFolder[] = "Morvath";

void IgnoreAssert(const wxString&, int, const wxString&, const wxString&, const wxString&) {}

wxString Wide(std::string_view text) {
  return wxString::FromUTF8(text.data(), text.size());
}

wxString EntryPath(std::string_view group, std::string_view key) {
  return "/" + Wide(group) + "/" + Wide(key);
}

}  // namespace

std::string PreferencesPath(std::string_view application) {
  const std::string folder = ConfigHome();
  if (folder.empty()) return folder;
  return folder + "/" + kCompanyFolder + "/" + std::string(application) + ".conf";
}

FilePreferences::FilePreferences(std::string path) : path_(std::move(path)) {
  if (path_.empty() || path_[0] != '/') return;
  std::error_code error;
  if (std::filesystem::exists(path_, error) && !std::ifstream(path_).is_open()) return;
  const wxLogNull quiet;
  const wxAssertHandler_t previous = wxSetAssertHandler(IgnoreAssert);
  config_ = std::make_unique<wxFileConfig>(kCompanyFolder, kCompanyFolder, Wide(path_),
                                           wxEmptyString, wxCONFIG_USE_LOCAL_FILE,
                                           wxMBConvUTF8(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA));
  wxSetAssertHandler(previous);
}

FilePreferences::~FilePreferences() = default;

std::optional<std::string> FilePreferences::Read(std::string_view group,
                                                 std::string_view key) const {
  wxString value;
  if (!config_ || !config_->Read(EntryPath(group, key), &value)) return std::nullopt;
  return value.utf8_string();
}

bool FilePreferences::Write(std::string_view group, std::string_view key, std::string_view value) {
  if (!config_) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
  const wxLogNull quiet;
  return config_->Write(EntryPath(group, key), Wide(value)) && config_->Flush();
}

}  // namespace vke
