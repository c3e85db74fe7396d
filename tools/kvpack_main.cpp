// kvpack: packs a KV application into an application image, and drives a
// packed application without a window.
//
//   kvpack [--runtime FILE | --bare] [--title TEXT] [--extension NAME]... -o OUT APP.kvd
//   kvpack check IMAGE SCRIPT
//
// Packing reads the application's description (tools/kvpack/description.hpp)
// and the VKE sources it names, builds the application in a block created as
// the runtime creates its own, writes the image behind a copy of the runtime
// (or alone with --bare) and loads it back through the runtime's loader to
// check that it holds what was packed. Each --extension names an extension
// library that the application calls: it is loaded before anything is
// compiled, from the "KVRuntimeExt" folder beside OUT as the runtime loads
// it beside itself, and the image lists it. OUT is never a file the packing
// read (the description, its sources, libraries and embedded files, the
// libraries the sources use, found along the search path, the extensions),
// however it was found, nor the runtime, which must carry
// the runtime's mark (app/runtime_mark.hpp) and no image yet; an OUT that
// exists is a regular file or a link to one. Problems are reported as
// "file:line: message (code): detail". "check" loads the image (a
// description is packed in memory instead) and runs the script
// (tools/kvpack/check.hpp); threads its handlers leave running are counted
// on standard error at its end. Its steps and handlers write no file it
// read to get there (the image, or the description and what packing reads,
// the extensions, the script), under any name or link. Exit status: 0
// done, 1 a problem, 2 a bad command line.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/image.hpp"
#include "engine/threads/threads.hpp"
#include "platform/read_files.hpp"
#include "tools/kvpack/check.hpp"
#include "tools/kvpack/image_io.hpp"
#include "tools/kvpack/pack.hpp"

namespace {

using namespace vke;
using namespace vke::kvpack;

int Usage() {
  std::fprintf(stderr,
               "usage: kvpack [--runtime FILE | --bare] [--title TEXT] [--extension NAME]... "
               "-o OUT APP.kvd\n"
               "       kvpack check IMAGE SCRIPT\n");
  return 2;
}

int Fail(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message.c_str());
  return 1;
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::char_traits<char>::length(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// Parses and packs the description into the host's block.
bool PackDescription(ToolHost* host, const std::string& path, std::string* message) {
  std::string text;
  if (!ReadDiskFile(path, &text)) {
    *message = errno == ENOENT ? PackErrorText({path, {kErrFileNotFound, 0, "", ""}})
                               : PackErrorText({path, {kErrIoErr, 0, DiskFileReason(errno), ""}});
    return false;
  }
  const size_t slash = path.find_last_of('/');
  std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
  base = base.substr(0, base.find('.')) + ".kv";
  AppDescription app;
  PackError error;
  if (!ParseDescription(text, base, &app, &error.error)) {
    error.file = path;
    *message = PackErrorText(error);
    return false;
  }
  const FileReader read = [](const std::string& file, std::string* text) {
    return ReadRegularDiskFile(file, text);
  };
  if (!PackApplication(host, app, path, read, &error)) {
    *message = PackErrorText(error);
    return false;
  }
  return true;
}

// Loads the extensions of the list ("a;b") from beside the image to be
// written, in front of the block's tables, and has the image list them.
bool LoadNamedExtensions(ToolHost* host, const std::string& names, const std::string& out) {
  const uint32_t tables = host->block()->Engine()->registryCount;
  for (size_t start = 0; start < names.size();) {
    const size_t end = std::min(names.find(';', start), names.size());
    const std::string name = names.substr(start, end - start);
    if (AddRuntimeExtensionFolder(host->block(), name.data(), static_cast<int32_t>(name.size()),
                                  reinterpret_cast<uintptr_t>(out.c_str()))) {
      Fail(out + ": " + ErrorText({kErrInit, 0, "extension " + name, ""}));
      return false;
    }
    start = end + 1;
  }
  host->block()->extensionNames = names.c_str();
  // As a load counts them, so that the registry's fingerprint leaves them
  // out here as it does when the image is loaded back.
  host->block()->extensionTables = host->block()->Engine()->registryCount - tables;
  return true;
}

int Check(const std::string& image, const std::string& scriptPath) {
  // The files read up to the script's first step are the ones its steps
  // must not replace.
  StartReadFileRecord(kToolName);
  ToolHost host;
  if (ErrCode e = host.Create())
    return Fail("kvpack: cannot create the block: " + std::to_string(e));
  std::string message;
  if (EndsWith(image, ".kvd")) {
    host.Collect(true);
    const bool packed = PackDescription(&host, image, &message);
    host.Collect(false);
    if (!packed) return Fail(message);
  } else if (!LoadImage(&host, image, &message)) {
    return Fail(message);
  }
  std::string script;
  if (!ReadDiskFile(scriptPath, &script))
    return Fail(scriptPath + ": cannot be read: " + DiskFileReason(errno));
  StopNotingReadFiles();
  if (!RunCheckScript(&host, script, &message)) return Fail(scriptPath + ": " + message);
  if (const int32_t left = CountListedThreads(host.ctx()))
    std::fprintf(stderr, "kvpack: the script ended with %d thread%s still running\n", left,
                 left == 1 ? "" : "s");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "check") return Check(argv[2], argv[3]);
  std::string runtime, title, out, description, extensions;
  bool bare = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    const bool value = a == "--runtime" || a == "--title" || a == "-o" || a == "--extension";
    if (value && i + 1 >= argc) return Usage();
    if (a == "--runtime") {
      runtime = argv[++i];
    } else if (a == "--title") {
      title = argv[++i];
    } else if (a == "-o") {
      out = argv[++i];
    } else if (a == "--extension") {
      extensions += (extensions.empty() ? "" : ";") + std::string(argv[++i]);
    } else if (a == "--bare") {
      bare = true;
    } else if (!a.empty() && a[0] != '-' && description.empty()) {
      description = a;
    } else {
      return Usage();
    }
  }
  if (!description.empty() && !out.empty() && !bare && runtime.empty()) {
    std::fprintf(stderr,
                 "kvpack: no runtime named: --runtime FILE names the runtime kvrt the image goes "
                 "behind (--bare writes the image alone)\n");
    return Usage();
  }
  if (description.empty() || out.empty() || bare == !runtime.empty()) return Usage();
  // Every file opened from here on is one the output must not replace.
  StartReadFileRecord(kToolName);
  ToolHost host;
  if (ErrCode e = host.Create())
    return Fail("kvpack: cannot create the block: " + std::to_string(e));
  if (!LoadNamedExtensions(&host, extensions, out)) return 1;
  host.Collect(true);
  std::string message;
  if (!PackDescription(&host, description, &message)) return Fail(message + host.Take());
  if (!WriteImage(&host, title, bare ? nullptr : runtime.c_str(), out, {}, &message))
    return Fail(message);
  return 0;
}
