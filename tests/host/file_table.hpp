// A native table for tests whose descriptor hooks serve real files in a
// temporary folder: "+write", "+read" (byte-driven), "+fclose" and
// "+iocontrol" for the descriptors it opened, from a range of its own.
// Non-blocking pipes stand for devices whose data arrives later.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/interface.hpp"

namespace vke::test {

class TestFileTable {
 public:
  // Creates the folder and registers the table at the front of the registry.
  explicit TestFileTable(EngineContext* ctx);
  // Closes what is still open and removes the folder.
  ~TestFileTable();
  TestFileTable(const TestFileTable&) = delete;
  TestFileTable& operator=(const TestFileTable&) = delete;

  const std::string& folder() const { return folder_; }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;

  // Opens a file of the folder with a mode "r", "w", "a", "r+" or "w+";
  // the descriptor, or -1.
  int32_t Open(const std::string& name, const char* mode);
  // A pipe whose read end is a descriptor: while it is empty a read gets
  // no bytes (no data yet).
  int32_t OpenPipe();
  void FeedPipe(int32_t fd, const std::string& bytes);
  void ClosePipeInput(int32_t fd);

  bool IsOpen(int32_t fd) const { return files_.count(fd) != 0; }
  // The control requests received, in order.
  const std::vector<int32_t>& requests() const { return requests_; }

 private:
  struct OpenFile {
    int os = -1;
    int pipeInput = -1;  // the write end of a pipe
    bool atEnd = false;
  };
  static ErrCode Write(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t self);
  static ErrCode Read(EngineContext*, int32_t fd, char* buffer, int32_t size, int32_t* count,
                      uintptr_t self);
  static ErrCode Close(EngineContext*, int32_t fd, uintptr_t self);
  static ErrCode Control(EngineContext*, int32_t fd, int32_t code, intptr_t* word, uintptr_t self);
  OpenFile* Find(int32_t fd);
  int32_t Add(OpenFile file);
  void CloseOne(int32_t fd);

  std::string folder_;
  std::vector<NativeFunctionRecord> table_;
  std::map<int32_t, OpenFile> files_;
  std::vector<int32_t> requests_;
  int32_t firstFd_ = 0;  // of the descriptor range; closed ones are used again
};

}  // namespace vke::test
