// Finding the runtime's mark in a file: its ELF section table, the section
// of the mark's name and what that section holds.
#include "app/runtime_mark.hpp"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/read_files.hpp"

namespace vke {

namespace {

// Reads exactly size bytes at offset; false at a short read (errno 0) or a
// failing one.
bool ReadAt(int fd, uint64_t offset, void* to, size_t size) {
  errno = 0;
  auto* bytes = static_cast<char*>(to);
  for (size_t done = 0; done < size;) {
    const ssize_t n = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Whether the open file's section table names a section of the mark's name
// that holds the mark's text.
bool HasMarkSection(int fd) {
  Elf64_Ehdr header;
  if (!ReadAt(fd, 0, &header, sizeof header)) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum)
    return false;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!ReadAt(fd, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
    return false;
  const Elf64_Shdr& names = sections[header.e_shstrndx];
  constexpr size_t kNameBytes = sizeof kRuntimeMarkSection;
  constexpr size_t kTextBytes = sizeof kRuntimeMarkText;
  for (const Elf64_Shdr& s : sections) {
    char name[kNameBytes];
    if (s.sh_size != kTextBytes || s.sh_name > names.sh_size ||
        names.sh_size - s.sh_name < kNameBytes ||
        !ReadAt(fd, names.sh_offset + s.sh_name, name, kNameBytes) ||
        std::memcmp(name, kRuntimeMarkSection, kNameBytes) != 0)
      continue;
    char text[kTextBytes];
    return ReadAt(fd, s.sh_offset, text, kTextBytes) &&
           std::memcmp(text, kRuntimeMarkText, kTextBytes) == 0;
  }
  return false;
}

}  // namespace

bool CarriesRuntimeMark(const std::string& path, int* cause) {
  *cause = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *cause = errno;
    return false;
  }
  NoteReadFile(fd, path.c_str());
  const bool marked = HasMarkSection(fd);
  // A read the system refused (a folder) is its reason; a short one none.
  if (!marked) *cause = errno;
  close(fd);
  return marked;
}

}  // namespace vke
