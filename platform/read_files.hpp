// The files this process opened to read, noted where they are opened while
// a tool keeps the record: a tool that writes a file refuses to write over
// any file it read, however that file was found (named on its command line,
// named by a description, found along a search path or beside another).
#pragma once

#include <string>

namespace vke {

// Starts the record, empty, for the program of that name, which refusals
// give; the notes below are dropped until then.
void StartReadFileRecord(const char* program);
// Ends the noting: the files noted so far stay in the record, those opened
// from here on are not added.
void StopNotingReadFiles();

// Notes the file open at fd, which was opened under the path.
void NoteReadFile(int fd, const char* path);
// Notes the file at the path, opened by the system for this process (a
// shared library).
void NoteReadFile(const char* path);

// The path under which the file that `path` leads to (the same file, by
// device and inode, whatever link or spelling leads to it) was noted; null
// when it was not, or no file is there.
const std::string* FindReadFile(const std::string& path);

// "OUT: not written: it is READ, which PROGRAM reads": the refusal of a
// write at `out`, which leads to the file read as `read`; the program is
// the record's when none is given.
std::string ReadFileRefusal(const std::string& out, const std::string& read,
                            const char* program = nullptr);

}  // namespace vke
