// The desktop registration of the document types and of the program path.
#include "shell/file_types.hpp"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell/file_type_icons.hpp"
#include "shell/platform/desktop_files.hpp"

namespace vke {

const DocumentType kDocumentTypes[2] = {
    {"Corvanel.KVFile", "Corvanel KV File", ".kv", "application/x-corvanel", "", &kKVIconPng},
    // ".kvd" has no MIME type of its own elsewhere; this one exists only so
    // that the desktop can associate the files.
    {"Corvanel.KVDFile", "Corvanel KVD File", ".kvd", "application/x-corvanel-kvd", "-kvd",
     &kKVDIconPng},
};

namespace {

constexpr char kFilePrefix[] = "morvath-";
constexpr char kRuntimeName[] = "Corvanel Runtime";

// The icon of a MIME type, by the icon-naming rule: '/' becomes '-'.
std::string IconName(const DocumentType& type) {
  std::string name = type.mimeType;
  name[name.find('/')] = '-';
  return name;
}

std::string_view Bytes(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A path as one argument of a desktop entry's Exec key: quoted, with the
// characters the quotes reserve escaped, field codes doubled, and then the
// backslashes of the string value doubled. False for control characters,
// which an entry cannot hold.
bool ExecArgument(const std::string& path, std::string* out) {
  std::string quoted = "\"";
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  out->clear();
  for (char c : quoted) {
    if (c == '\\') *out += '\\';
    *out += c;
  }
  return true;
}

// A path as a plain string value.
std::string StringValue(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// True when the user's mimeapps.list names an application for the type.
bool HasAssociation(const std::string& mimeappsList, const char* mimeType) {
  std::ifstream in(mimeappsList);
  const std::string key = std::string(mimeType) + "=";
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, key.size(), key) == 0) return true;
  }
  return false;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

void UpdateMimeDatabase(const std::string& mimeFolder) {
  RunProgram("update-mime-database", mimeFolder);
}

std::string MimePackageText(const DocumentType& type) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n" +
         "  <mime-type type=\"" + type.mimeType + "\">\n" + "    <comment>" + type.description +
         "</comment>\n" + "    <icon name=\"" + IconName(type) + "\"/>\n" +
         "    <glob pattern=\"*" + type.extension + "\"/>\n" +
         "  </mime-type>\n"
         "</mime-info>\n";
}

bool DesktopEntryText(const std::string& executable, std::string* text) {
  std::string exec;
  if (!ExecArgument(executable, &exec)) return false;
  *text = std::string("[Desktop Entry]\n") + "Type=Application\n" + "Name=" + kRuntimeName + "\n" +
          "TryExec=" + StringValue(executable) + "\n" + "Exec=" + exec + " %f\n" + "MimeType=";
  for (const DocumentType& type : kDocumentTypes) *text += std::string(type.mimeType) + ";";
  *text += "\nIcon=" + IconName(kDocumentTypes[0]) + "\n" + "Terminal=false\n" +
           "Actions=Print;\n" + "\n" + "[Desktop Action Print]\n" + "Name=Print\n" +
           "Exec=" + exec + " -p %f\n";
  return true;
}

FileTypeRegistration::FileTypeRegistration(DesktopPlaces places, std::string executable,
                                           MimeCacheUpdate updateCache)
    : places_(std::move(places)),
      executable_(std::move(executable)),
      realExecutable_(RealPath(executable_)),
      updateCache_(updateCache) {}

std::string FileTypeRegistration::PackagePath(const DocumentType& type) const {
  return places_.dataHome + "/mime/packages/" + kFilePrefix + places_.application +
         type.packageSuffix + ".xml";
}

std::string FileTypeRegistration::DesktopEntryPath() const {
  return places_.dataHome + "/applications/" + kFilePrefix + places_.application + ".desktop";
}

std::string FileTypeRegistration::IconPath(const DocumentType& type) const {
  return places_.dataHome + "/icons/hicolor/48x48/mimetypes/" + IconName(type) + ".png";
}

std::string FileTypeRegistration::AppPathLink() const {
  return places_.binFolder + "/" + places_.application;
}

const std::string& FileTypeRegistration::PathFor(bool longPath) const {
  return longPath ? realExecutable_ : executable_;
}

bool FileTypeRegistration::CheckFileTypeRegistration(const DocumentType& type) const {
  std::error_code error;
  const auto exists = [&](const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
  };
  return exists(PackagePath(type)) || exists(DesktopEntryPath()) || exists(IconPath(type)) ||
         HasAssociation(places_.configHome + "/mimeapps.list", type.mimeType);
}

bool FileTypeRegistration::RegisterFileTypes(const DocumentType& type) {
  if (places_.dataHome.empty()) return false;
  std::string entry;
  return ReplaceFile(PackagePath(type), MimePackageText(type)) &&
         DesktopEntryText(executable_, &entry) && ReplaceFile(DesktopEntryPath(), entry) &&
         ReplaceFile(IconPath(type), Bytes(*type.icon));
}

bool FileTypeRegistration::VerifyFileTypeRegistration(const DocumentType& type,
                                                      bool longPath) const {
  std::string entry;
  return !places_.dataHome.empty() && FileHolds(PackagePath(type), MimePackageText(type)) &&
         DesktopEntryText(PathFor(longPath), &entry) && FileHolds(DesktopEntryPath(), entry) &&
         FileHolds(IconPath(type), Bytes(*type.icon));
}

bool FileTypeRegistration::RegisterAppPath() {
  if (places_.binFolder.empty()) return false;
  const std::string link = AppPathLink();
  std::error_code error;
  const auto status = std::filesystem::symlink_status(link, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) return false;
  std::filesystem::create_directories(places_.binFolder, error);
  const std::string temporary = link + ".new";
  unlink(temporary.c_str());
  if (symlink(executable_.c_str(), temporary.c_str()) != 0) return false;
  if (std::rename(temporary.c_str(), link.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

bool FileTypeRegistration::CheckAppPath() const {
  std::error_code error;
  return !places_.binFolder.empty() &&
         std::filesystem::exists(std::filesystem::symlink_status(AppPathLink(), error));
}

bool FileTypeRegistration::VerifyAppPath(bool longPath) const {
  if (places_.binFolder.empty()) return false;
  std::error_code error;
  const std::filesystem::path link = AppPathLink();
  if (std::filesystem::is_symlink(link, error)) {
    return std::filesystem::read_symlink(link, error).string() == PathFor(longPath) && !error;
  }
  // The executable itself installed under its name.
  return std::filesystem::equivalent(link, PathFor(longPath), error);
}

void FileTypeRegistration::RegisterAtStart() {
  // The types share the desktop entry: what is missing is decided before
  // anything is written, so that one type's entry does not hide the other.
  bool missing[std::size(kDocumentTypes)];
  for (size_t i = 0; i < std::size(kDocumentTypes); ++i) {
    missing[i] = !CheckFileTypeRegistration(kDocumentTypes[i]);
  }
  bool written = false;
  for (size_t i = 0; i < std::size(kDocumentTypes); ++i) {
    if (!missing[i]) continue;
    RegisterFileTypes(kDocumentTypes[i]);
    written = true;
  }
  if (written && !places_.dataHome.empty()) updateCache_(places_.dataHome + "/mime");
  if (!CheckAppPath()) RegisterAppPath();
}

void FileTypeRegistration::RegisterAgain() {
  for (const DocumentType& type : kDocumentTypes) RegisterFileTypes(type);
  if (!places_.dataHome.empty()) updateCache_(places_.dataHome + "/mime");
  RegisterAppPath();
}

CommandState FileTypeRegistration::RegisterCommandState() const {
  const DocumentType& kv = kDocumentTypes[0];
  const bool registered =
      (VerifyFileTypeRegistration(kv, false) || VerifyFileTypeRegistration(kv, true)) &&
      (VerifyAppPath(false) || VerifyAppPath(true));
  return {!registered, registered};
}

}  // namespace vke
