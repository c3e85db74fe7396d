// The record of the files the process read.
#include "platform/read_files.hpp"

#include <sys/stat.h>

#include <vector>

namespace vke {

namespace {

struct ReadFile {
  std::string path;
  dev_t device;
  ino_t inode;
};

bool g_recording = false;
std::string g_program;
std::vector<ReadFile> g_files;

void Note(const struct stat& st, const char* path) {
  for (const ReadFile& f : g_files)
    if (f.device == st.st_dev && f.inode == st.st_ino) return;
  g_files.push_back({path, st.st_dev, st.st_ino});
}

}  // namespace

void StartReadFileRecord(const char* program) {
  g_files.clear();
  g_program = program;
  g_recording = true;
}

void StopNotingReadFiles() {
  g_recording = false;
}

void NoteReadFile(int fd, const char* path) {
  struct stat st;
  if (g_recording && fstat(fd, &st) == 0) Note(st, path);
}

void NoteReadFile(const char* path) {
  struct stat st;
  if (g_recording && stat(path, &st) == 0) Note(st, path);
}

const std::string* FindReadFile(const std::string& path) {
  struct stat st;
  if (g_files.empty() || stat(path.c_str(), &st) != 0) return nullptr;
  for (const ReadFile& f : g_files)
    if (f.device == st.st_dev && f.inode == st.st_ino) return &f.path;
  return nullptr;
}

std::string ReadFileRefusal(const std::string& out, const std::string& read, const char* program) {
  return out + ": not written: it is " + read + ", which " + (program ? program : g_program) +
         " reads";
}

}  // namespace vke
