// The application's files on disk: the 32 slots and their descriptors, the
// modes, text mode's line breaks both ways, the position requests, streams
// without a length (pipes, devices, the system's own files), folders, and
// bad arguments that leave open files as they were.
#include "app/natives/app_files.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "engine/engine.hpp"
#include "engine/fast_forms.hpp"
#include "tests/app/block_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

class AppFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(h.init(), kOk);
    char pattern[] = "/tmp/vke_app_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ClearAppFileTable();
  }
  void TearDown() override {
    CloseAllAppFiles();
    std::filesystem::remove_all(folder);
  }
  std::string Eval(const std::string& text) { return test::EvaluateToText(h.ctx(), text); }
  // Statements, which leave no value.
  void Run(const std::string& text) { EXPECT_EQ(Eval(text + " 0"), "0") << text; }
  std::string Path(const std::string& name) { return folder + "/" + name; }
  std::string Bytes(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Store(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  test::BlockHost h{4u << 20};
  std::string folder;
};

TEST_F(AppFiles, ThirtyTwoSlotsWhoseDescriptorsAreReused) {
  ASSERT_EQ(Eval("d = zeros(1, 32); for i = 1:32, d(i) = fopen(sprintf('" + folder +
                 "/f%d', i), 'w'); end; all(d > 2) && all(diff(d) == 1)"),
            "true");
  EXPECT_EQ(CountOpenAppFiles(), 32);
  EXPECT_EQ(Eval("fopen('" + Path("one-more") + "', 'w')"), "error 304");
  EXPECT_FALSE(std::filesystem::exists(Path("one-more")));
  EXPECT_EQ(Eval("fclose(d(5)); fopen('" + Path("again") + "', 'w') == d(5)"), "true");
  CloseAllAppFiles();
  EXPECT_EQ(CountOpenAppFiles(), 0);
  EXPECT_EQ(Eval("fclose(-1); 0"), "0");
}

TEST_F(AppFiles, ModesAndArguments) {
  // Missing files give -1; "a" does not create.
  EXPECT_EQ(Eval("fopen('" + Path("missing") + "')"), "-1");
  EXPECT_EQ(Eval("fopen('" + Path("missing") + "', 'a')"), "-1");
  EXPECT_FALSE(std::filesystem::exists(Path("missing")));
  EXPECT_EQ(Eval("fopen('" + Path("x") + "', 'q')"), "error 108");
  EXPECT_EQ(Eval("fopen(3)"), "error 43");
  EXPECT_EQ(Eval("fopen('" + Path("x") + "', 5)"), "error 43");
  EXPECT_EQ(CountOpenAppFiles(), 0);
  // "a" writes after what the file holds and reads it too.
  Store("log", "abc");
  Run("fd = fopen('" + Path("log") + "', 'a'); fwrite(fd, 'de');");
  EXPECT_EQ(Eval("fseek(fd, 1, 'b'); s = char(fread(fd)'); fclose(fd); s"), "'bcde'");
  EXPECT_EQ(Bytes("log"), "abcde");
  // "w" truncates; an empty file is at its end at once.
  EXPECT_EQ(Eval("fd = fopen('" + Path("log") + "', 'w'); e = feof(fd); fclose(fd); e"), "true");
  EXPECT_EQ(Bytes("log"), "");
}

TEST_F(AppFiles, TextModeKeepsCrLfOnDiskAndLfInTheProgram) {
  Run("fd = fopen('" + Path("t") + "', 'wt');");
  Run("fwrite(fd, ['a' 10 'b']); fwrite(fd, ['x' 13 10]); fwrite(fd, [13 'y' 10 13 'z']);");
  Run("fclose(fd);");
  EXPECT_EQ(Bytes("t"), "a\r\nbx\r\n\r\ny\r\nz");
  Store("r", "a\r\nb\rc\n\r\nd");
  Run("fd = fopen('" + Path("r") + "', 'rt');");
  EXPECT_EQ(Eval("[fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd)]"),
            "'a|b|c||d'");
  EXPECT_EQ(Eval("fclose(fd); fd = fopen('" + Path("r") + "', 'rt'); double(fread(fd)')"),
            "[97,10,98,10,99,10,10,100]");
  // Without "t" the bytes are as stored.
  EXPECT_EQ(
      Eval("fclose(fd); fd = fopen('" + Path("r") + "'); n = numel(fread(fd)); fclose(fd); n"),
      "10");
}

TEST_F(AppFiles, PositionRequests) {
  Store("p", "0123456789");
  Run("fd = fopen('" + Path("p") + "');");
  EXPECT_EQ(Eval("fseek(fd, -3, 'e'); ftell(fd)"), "7");
  EXPECT_EQ(Eval("fseek(fd, 2, 'b'); char(fread(fd, 2)')"), "'23'");
  EXPECT_EQ(Eval("fseek(fd, 1, 'c'); char(fread(fd, 1)')"), "'5'");
  EXPECT_EQ(Eval("feof(fd)"), "false");
  EXPECT_EQ(Eval("fread(fd); feof(fd)"), "true");
  Run("fclose(fd);");
}

// Line reads of files opened without "t": a CR LF pair is one line end and
// a lone CR ends a line too; the bytes read ahead of the program never show
// in positions, the end-of-file test or where a write lands.
TEST_F(AppFiles, LineEndsAndPositionsAroundReadAhead) {
  Store("r", "a\r\nb\rc\n\r\nd");
  Run("fd = fopen('" + Path("r") + "');");
  EXPECT_EQ(Eval("s = fgetl(fd); sprintf('%s|%d', s, ftell(fd))"), "'a|3'");
  EXPECT_EQ(Eval("[fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd)]"), "'b|c||d'");
  EXPECT_EQ(Eval("fseek(fd, 0, 'b'); double(fgets(fd))"), "[97,10]");
  Run("fclose(fd);");
  Store("mix", "one\ntwo\nthree");
  Run("fd = fopen('" + Path("mix") + "', 'a'); fseek(fd, 0, 'b');");
  EXPECT_EQ(Eval("s = fgetl(fd); sprintf('%s|%d', s, ftell(fd))"), "'one|4'");
  EXPECT_EQ(Eval("char(fread(fd, 3)')"), "'two'");
  EXPECT_EQ(Eval("fseek(fd, -2, 'c'); fgetl(fd)"), "'wo'");
  EXPECT_EQ(Eval("e = feof(fd); s = fgetl(fd); sprintf('%s|%d%d', s, e, feof(fd))"), "'three|01'");
  Run("fseek(fd, 4, 'b'); fgetl(fd); fseek(fd, 4, 'b'); fwrite(fd, 'T'); fclose(fd);");
  EXPECT_EQ(Bytes("mix"), "one\nTwo\nthree");
}

// Lines are read from the bytes read ahead a run at a time: line ends that
// straddle the end of those bytes, every kind of line end, and a last line
// without one come out as a byte-at-a-time read gives them, in both modes.
TEST_F(AppFiles, LinesAcrossTheReadAheadBoundary) {
  // 655 lines of 100 bytes, then a line whose CR is the last byte read
  // ahead and whose LF is the first byte of the next read.
  std::string text;
  for (int i = 0; i < 655; i++) text += std::string(99, 'p') + "\n";
  text += std::string(35, 'o') + "\r\nq\n\rr\r\rs" + std::string(2000, 'u') + "\r";
  Store("edge", text);
  for (const char* mode : {"r", "rt"}) {
    Run("fd = fopen('" + Path("edge") + "', '" + mode + "');");
    EXPECT_EQ(Eval("for i = 1:655, a = fgetl(fd); end; [numel(a), all(a == 'p'), ftell(fd)]"),
              "[99,1,65500]")
        << mode;
    EXPECT_EQ(Eval("a = fgetl(fd); [numel(a), all(a == 'o'), ftell(fd)]"), "[35,1,65537]") << mode;
    EXPECT_EQ(Eval("[fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd)]"), "'q||r|'")
        << mode;
    EXPECT_EQ(Eval("a = fgets(fd); [numel(a), a(1) == 's', a(end) == 10, feof(fd)]"),
              "[2002,1,1,1]")
        << mode;
    EXPECT_EQ(Eval("fgetl(fd)"), "''") << mode;
    Run("fclose(fd);");
  }
}

// A line (or a whole read) longer than the room for it fails for lack of
// room, and its bytes stay in the file for the next read: it is never
// returned in pieces.
TEST_F(AppFiles, ALineIsNeverCutIntoTwo) {
  Store("long", std::string(3000000, 'x') + "\nshort\n");
  Run("fd = fopen('" + Path("long") + "');");
  EXPECT_EQ(Eval("fgetl(fd)"), "error 3");
  EXPECT_EQ(Eval("ftell(fd)"), "0");
  EXPECT_EQ(Eval("fread(fd)"), "error 3");
  EXPECT_EQ(Eval("ftell(fd)"), "0");
  EXPECT_EQ(Eval("fseek(fd, 3000001, 'b'); fgetl(fd)"), "'short'");
  Run("fclose(fd);");
}

// Lines of random bytes (text below 0x80, UTF-8 characters, bytes that
// start none, CR and LF) read by fgetl come out the same with the engine's
// fast forms off, in both modes.
TEST_F(AppFiles, LinesReadTheSameWithTheFastFormsOff) {
  SetTextEncoding(h.ctx(), 'u');
  std::string bytes;
  uint32_t seed = 12345;
  for (int32_t line = 0; line < 400; line++) {
    seed = seed * 1103515245 + 12345;
    const int32_t length = static_cast<int32_t>(seed >> 16) % 50;
    for (int32_t i = 0; i < length; i++) {
      seed = seed * 1103515245 + 12345;
      const uint32_t r = seed >> 16;
      bytes += r % 9 == 0 ? "\xC3\xA9" : r % 13 == 0 ? "\xFF" : std::string(1, 32 + r % 95);
    }
    bytes += line % 5 == 0 ? "\r\n" : line % 7 == 0 ? "\r" : "\n";
  }
  Store("random.txt", bytes);
  for (const char* mode : {"r", "rt"}) {
    const std::string read =
        "fd = fopen('" + Path("random.txt") + "', '" + mode +
        "'); n = 0; s = 0; while ~feof(fd), l = double(fgetl(fd)); n = n + numel(l); "
        "s = s + sum(l .* (1:numel(l))) + n; end; fclose(fd); sprintf('%d %d', n, s)";
    const std::string fast = Eval(read);
    SetFastForms(false);
    EXPECT_EQ(Eval(read), fast) << mode;
    SetFastForms(true);
  }
}

// A pipe whose read end the program opens by its name under /proc; a
// writer thread feeds it the bytes and closes it.
class FedPipe {
 public:
  explicit FedPipe(std::string bytes) {
    std::signal(SIGPIPE, SIG_IGN);  // a reader that stops early ends the writer
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    read_ = ends[0];
    writer_ = std::thread([fd = ends[1], bytes = std::move(bytes)] {
      for (size_t at = 0; at < bytes.size();) {
        const ssize_t k = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (k <= 0) break;
        at += static_cast<size_t>(k);
      }
      ::close(fd);
    });
  }
  // The program's descriptors of the pipe are closed too, so that a writer
  // left with bytes to write ends.
  ~FedPipe() {
    CloseAllAppFiles();
    ::close(read_);
    writer_.join();
  }
  std::string Path() const { return "/proc/self/fd/" + std::to_string(read_); }

 private:
  int read_ = -1;
  std::thread writer_;
};

// Streams that report no length, or a length of 0 (pipes, devices and the
// system's own files), are read until the count is met or they end, and are
// at their end once a read gives nothing.
TEST_F(AppFiles, StreamsWithoutALength) {
  EXPECT_EQ(Eval("fd = fopen('/dev/urandom'); [d, n] = fread(fd, 16, 'uint8'); fclose(fd); "
                 "[n, size(d)]"),
            "[16,16,1]");
  EXPECT_EQ(Eval("fd = fopen('/dev/zero'); e = feof(fd); [d, n] = fread(fd, [3 4]); fclose(fd); "
                 "[n, size(d), any(d(:)), e]"),
            "[12,3,4,0,0]");
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(cmdline.size(), 12u);
  EXPECT_EQ(Eval("fd = fopen('/proc/self/cmdline'); d = fread(fd); fclose(fd); numel(d)"),
            std::to_string(cmdline.size()));
  EXPECT_EQ(Eval("fd = fopen('/proc/self/cmdline'); [d, n] = fread(fd, [3 4]); fclose(fd); "
                 "[n, d(1, 1), d(3, 4)]"),
            "[12," + std::to_string(static_cast<uint8_t>(cmdline[0])) + "," +
                std::to_string(static_cast<uint8_t>(cmdline[11])) + "]");
  std::ifstream host("/proc/sys/kernel/hostname");
  std::string name;
  std::getline(host, name);
  EXPECT_EQ(Eval("fd = fopen('/proc/sys/kernel/hostname'); e = feof(fd); s = fgetl(fd); "
                 "f = feof(fd); fclose(fd); sprintf('%d%d%s', e, f, s)"),
            "'01" + name + "'");
  // A pipe's lines up to its end, then its bytes.
  FedPipe lines("a\nb\r\nc");
  EXPECT_EQ(Eval("fd = fopen('" + lines.Path() +
                 "'); s = ''; while ~feof(fd), s = [s, fgetl(fd), '|']; end; "
                 "[s, sprintf('%d', feof(fd))]"),
            "'a|b|c|1'");
  EXPECT_EQ(Eval("[d, n] = fread(fd); fclose(fd); n"), "error 305");
  FedPipe bytes("0123456789");
  EXPECT_EQ(Eval("fd = fopen('" + bytes.Path() +
                 "'); [d, n] = fread(fd, 4); s = char(fread(fd)'); fclose(fd); "
                 "sprintf('%d %s %s', n, char(d'), s)"),
            "'4 0123 456789'");
}

// A folder opened as a file holds no bytes: reading it fails as a read of
// the system does, whatever the count, and it has no end to seek. (Some
// file systems give a folder an end far away, others none: the working
// folder and the test's own are both tried.)
TEST_F(AppFiles, AFolderIsReadAsNoBytes) {
  for (const std::string& name : {folder, std::string(".")}) {
    SCOPED_TRACE(name);
    Run("fd = fopen('" + name + "');");
    EXPECT_EQ(Eval("fread(fd)"), "error 302");
    EXPECT_EQ(Eval("fread(fd, 10)"), "error 302");
    EXPECT_EQ(Eval("fseek(fd, 0, 'e')"), "-1");
    Run("fclose(fd);");
  }
}

// A read from a stream without a length that fills the room short of its
// request gives its bytes back: the read that follows has them, so that a
// read run again once the area has grown loses nothing and repeats nothing.
TEST_F(AppFiles, AReadThatFindsNoRoomGivesItsBytesBack) {
  constexpr int32_t kBytes = 3000000;
  std::string pattern(kBytes, '\0');
  for (int32_t i = 0; i < kBytes; i++) pattern[i] = static_cast<char>((i * 37 + 11) % 251);
  for (const bool text : {false, true}) {
    SCOPED_TRACE(text ? "text" : "bytes");
    // The count and sum of the bytes the program reads: in text mode each
    // CR, or CR LF, is one LF.
    int64_t count = 0, sum = 0;
    for (int32_t i = 0; i < kBytes; i++) {
      const auto c = static_cast<uint8_t>(pattern[i]);
      if (text && c == '\n' && i > 0 && pattern[i - 1] == '\r') continue;
      count++;
      sum += text && c == '\r' ? '\n' : c;
    }
    FedPipe pipe(pattern);
    Run("fd = fopen('" + pipe.Path() + "', '" + (text ? "rt" : "r") + "');");
    EXPECT_EQ(Eval("fread(fd)"), "error 3");
    EXPECT_EQ(Eval("d = fread(fd, 3); d'"), "[11,48,85]");
    EXPECT_EQ(Eval("s = sum(d); n = 3; while ~feof(fd), d = fread(fd, 1000); "
                   "s = s + sum(d); n = n + numel(d); end; fclose(fd); sprintf('%d %d', n, s)"),
              "'" + std::to_string(count) + " " + std::to_string(sum) + "'");
  }
  // A line longer than the room, then a short one.
  FedPipe lines(std::string(kBytes, 'x') + "\nshort\n");
  Run("fd = fopen('" + lines.Path() + "');");
  EXPECT_EQ(Eval("fgetl(fd)"), "error 3");
  EXPECT_EQ(Eval("n = 0; a = repmat('x', 1, 1000); while numel(a) == 1000, a = fgetl(fd, 1000); n "
                 "= n + numel(a); "
                 "end; sprintf('%d %s', n, fgetl(fd))"),
            "'" + std::to_string(kBytes) + " short'");
  Run("fclose(fd);");
}

// Names reach the system whole, through the encoder the runtime sets: a
// name the system cannot take is refused, and a name is never cut into
// another file's, however long it is or whatever it holds.
TEST_F(AppFiles, NamesAreNeverCutIntoOtherNames) {
  SetTextEncoding(h.ctx(), 'u');
  Store("ab", "keep");
  // folder/././.../ab is 4,092 bytes, so that "ab" is what a cut leaves.
  std::string head = folder + "/";
  if ((4090 - head.size()) % 2) head += "/";
  const size_t steps = (4090 - head.size()) / 2;
  Run("p = ['" + head + "', repmat('./', 1, " + std::to_string(steps) + ")];");
  ASSERT_EQ(Eval("numel(p)"), "4090");
  Run("fd = fopen([p 'abcd'], 'wt'); fwrite(fd, 'new'); fclose(fd);");
  EXPECT_EQ(Bytes("abcd"), "new");
  EXPECT_EQ(Bytes("ab"), "keep");
  // 4,095 bytes are the longest path the system takes.
  Run("fd = fopen([p 'abcde'], 'w'); fclose(fd);");
  EXPECT_TRUE(std::filesystem::exists(Path("abcde")));
  EXPECT_EQ(Eval("fopen([p 'abcdef'], 'w')"), "error 205");
  EXPECT_EQ(Eval("fopen(['" + Path("ab") + "' char(0) 'x'], 'w')"), "-1");
  EXPECT_EQ(Bytes("ab"), "keep");
  EXPECT_EQ(CountOpenAppFiles(), 0);
  // A character beyond ASCII reaches the system as its UTF-8 bytes.
  Run("fd = fopen(['" + Path("") + "' char(233) 't'], 'w'); fwrite(fd, 'e'); fclose(fd);");
  EXPECT_EQ(Bytes("\xC3\xA9t"), "e");
}

}  // namespace
}  // namespace vke
