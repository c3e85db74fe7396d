// The runtime's two document types and its program path, registered with
// the desktop for the running executable, per user: each type gets a
// shared-MIME package and an icon, both share one desktop entry that opens
// and prints them with this executable, and a link in the user's program
// folder finds the executable by its name. At start what is missing is
// written, and a registration present in any part is left as it is; command
// 10103 writes everything again, and is checked once everything is in
// place for the running executable.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "shell/command_state.hpp"
#include "shell/desktop_places.hpp"

namespace vke {

struct DocumentType {
  const char* progId;       // the type's name
  const char* description;  // the MIME type's comment
  const char* extension;
  const char* mimeType;
  const char* packageSuffix;  // behind the application's name in the package's file name
  const std::span<const uint8_t>* icon;
};

// ".kv" and ".kvd"; the first is the one command 10103's update rule verifies.
extern const DocumentType kDocumentTypes[2];

// Brings the desktop's MIME cache up to date with a MIME folder.
using MimeCacheUpdate = void (*)(const std::string& mimeFolder);
// Runs update-mime-database when it is installed; its failure is ignored.
void UpdateMimeDatabase(const std::string& mimeFolder);

class FileTypeRegistration {
 public:
  // executable: the path as obtained; its long form is its real path.
  FileTypeRegistration(DesktopPlaces places, std::string executable,
                       MimeCacheUpdate updateCache = &UpdateMimeDatabase);

  // True when any part of the type's registration exists: its package, the
  // desktop entry, its icon, or an association of its MIME type in the
  // user's mimeapps.list.
  bool CheckFileTypeRegistration(const DocumentType& type) const;
  // Writes the package, the desktop entry and the icon, stopping at the
  // first that fails; false then.
  bool RegisterFileTypes(const DocumentType& type);
  // True when the package, the desktop entry and the icon hold exactly what
  // RegisterFileTypes writes, with the executable's path as obtained, or
  // with its real path when longPath.
  bool VerifyFileTypeRegistration(const DocumentType& type, bool longPath) const;

  // The link named after the application in the user's program folder. It
  // replaces a link but never a file that is not one.
  bool RegisterAppPath();
  bool CheckAppPath() const;
  bool VerifyAppPath(bool longPath) const;

  // At start: the types and the program path that are missing in every part.
  void RegisterAtStart();
  // Command 10103: everything written again.
  void RegisterAgain();
  // Command 10103's update rule: enabled while the ".kv" type or the program
  // path is not verified in either form; checked when both are.
  CommandState RegisterCommandState() const;

  // The files of the registration.
  std::string PackagePath(const DocumentType& type) const;
  std::string DesktopEntryPath() const;
  std::string IconPath(const DocumentType& type) const;
  std::string AppPathLink() const;

 private:
  const std::string& PathFor(bool longPath) const;

  DesktopPlaces places_;
  std::string executable_;
  std::string realExecutable_;
  MimeCacheUpdate updateCache_;
};

// The texts written: the shared-MIME package of a type, and the desktop
// entry for an executable (none for a path that an entry cannot hold).
std::string MimePackageText(const DocumentType& type);
bool DesktopEntryText(const std::string& executable, std::string* text);

}  // namespace vke
