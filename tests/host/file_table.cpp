#include "tests/host/file_table.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vke::test {

namespace {

constexpr int32_t kFdRange = 64;

int OpenFlags(const std::string& mode) {
  if (mode == "r") return O_RDONLY;
  if (mode == "w") return O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == "a") return O_WRONLY | O_CREAT | O_APPEND;
  if (mode == "r+") return O_RDWR;
  if (mode == "w+") return O_RDWR | O_CREAT | O_TRUNC;
  return -1;
}

}  // namespace

TestFileTable::TestFileTable(EngineContext* ctx) {
  char pattern[] = "/tmp/vke_files_XXXXXX";
  EXPECT_NE(mkdtemp(pattern), nullptr);
  folder_ = pattern;
  firstFd_ = AllocateFdRange(ctx, kFdRange);
  const auto self = reinterpret_cast<uintptr_t>(this);
  table_ = {
      MakeRecord("@testfiles"),
      MakeRecord("+write", &Write, 1, 0, 0, 0, self),
      MakeRecord("+read", &Read, 0, 0, 0, 0, self),
      MakeRecord("+fclose", &Close, 0, 0, 0, 0, self),
      MakeRecord("+iocontrol", &Control, 0, 0, 0, 0, self),
      MakeRecord(""),
  };
  EXPECT_EQ(RegisterLibrary(ctx, table_.data(), true), kOk);
}

TestFileTable::~TestFileTable() {
  while (!files_.empty()) CloseOne(files_.begin()->first);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TestFileTable::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream(Path(name), std::ios::binary) << bytes;
}

std::string TestFileTable::ReadFile(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int32_t TestFileTable::Add(OpenFile file) {
  int32_t fd = firstFd_;
  while (files_.count(fd)) fd++;
  EXPECT_LT(fd, firstFd_ + kFdRange);
  files_[fd] = file;
  return fd;
}

int32_t TestFileTable::Open(const std::string& name, const char* mode) {
  const int flags = OpenFlags(mode);
  if (flags < 0) return -1;
  OpenFile file;
  file.os = ::open(Path(name).c_str(), flags, 0644);
  return file.os < 0 ? -1 : Add(file);
}

int32_t TestFileTable::OpenPipe() {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
  OpenFile file;
  file.os = ends[0];
  file.pipeInput = ends[1];
  return Add(file);
}

void TestFileTable::FeedPipe(int32_t fd, const std::string& bytes) {
  EXPECT_EQ(::write(Find(fd)->pipeInput, bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
}

void TestFileTable::ClosePipeInput(int32_t fd) {
  OpenFile* file = Find(fd);
  ::close(file->pipeInput);
  file->pipeInput = -1;
}

TestFileTable::OpenFile* TestFileTable::Find(int32_t fd) {
  auto it = files_.find(fd);
  return it == files_.end() ? nullptr : &it->second;
}

void TestFileTable::CloseOne(int32_t fd) {
  OpenFile* file = Find(fd);
  ::close(file->os);
  if (file->pipeInput >= 0) ::close(file->pipeInput);
  files_.erase(fd);
}

ErrCode TestFileTable::Write(EngineContext*, int32_t fd, const char* bytes, int32_t n,
                             uintptr_t self) {
  OpenFile* file = reinterpret_cast<TestFileTable*>(self)->Find(fd);
  if (!file) return kErrBadFileID;
  for (int32_t done = 0; done < n;) {
    const ssize_t w = ::write(file->os, bytes + done, static_cast<size_t>(n - done));
    if (w <= 0) return kErrIoErr;
    done += static_cast<int32_t>(w);
  }
  return kOk;
}

ErrCode TestFileTable::Read(EngineContext*, int32_t fd, char* buffer, int32_t size, int32_t* count,
                            uintptr_t self) {
  OpenFile* file = reinterpret_cast<TestFileTable*>(self)->Find(fd);
  if (!file) return kErrBadFileID;
  *count = 0;
  const ssize_t r = ::read(file->os, buffer, static_cast<size_t>(size));
  if (r > 0) {
    *count = static_cast<int32_t>(r);
    return kOk;
  }
  if (r == 0) {
    file->atEnd = true;
    return kErrEof;
  }
  return errno == EAGAIN ? kOk : kErrIoErr;  // nothing there yet, or a failure
}

ErrCode TestFileTable::Close(EngineContext*, int32_t fd, uintptr_t self) {
  auto* table = reinterpret_cast<TestFileTable*>(self);
  if (fd == -1) {
    while (!table->files_.empty()) table->CloseOne(table->files_.begin()->first);
    return kErrBadFileID;  // the other libraries close theirs
  }
  if (!table->Find(fd)) return kErrBadFileID;
  table->CloseOne(fd);
  return kOk;
}

ErrCode TestFileTable::Control(EngineContext*, int32_t fd, int32_t code, intptr_t* word,
                               uintptr_t self) {
  auto* table = reinterpret_cast<TestFileTable*>(self);
  OpenFile* file = table->Find(fd);
  if (!file) return kErrBadFileID;
  table->requests_.push_back(code);
  switch (code) {
    case 0:  // end-of-file test
      *word = file->atEnd;
      return kOk;
    case 1:  // seeks from the beginning, the current position, the end
    case 2:
    case 3: {
      const int whence = code == 1 ? SEEK_SET : code == 2 ? SEEK_CUR : SEEK_END;
      if (::lseek(file->os, static_cast<off_t>(*word), whence) < 0) return kErrIoErr;
      file->atEnd = false;
      return kOk;
    }
    case 4: {  // tell
      const off_t at = ::lseek(file->os, 0, SEEK_CUR);
      if (at < 0) return kErrIoErr;
      *word = static_cast<intptr_t>(at);
      return kOk;
    }
    case 6:  // clear
      file->atEnd = false;
      return kOk;
    case 5:  // flush: writes are unbuffered
    case 7:  // before a binary read
      return kOk;
    default:
      return kErrBadArg;
  }
}

}  // namespace vke::test
