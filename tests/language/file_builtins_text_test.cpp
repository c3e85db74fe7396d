// The file builtins used from VKE text: a file of a temporary folder written,
// read back and positioned; every precision round-tripped; a line read that
// waits for a device; failed writes; fprintf's line ends.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/command_line.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestFileTable;
using test::TestHost;

// A host with the test file table and the descriptor of one open file as the
// variable fd of the base workspace.
class FileText : public ::testing::Test {
 protected:
  void Open(const std::string& name, const char* mode) {
    const int32_t fd = files.Open(name, mode);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(Run("fd = " + std::to_string(fd) + ";"), kOk);
  }
  ErrCode Run(const std::string& text) { return RunCommandLine(host.ctx(), text + "\n"); }
  std::string Out() {
    std::string out = host.Output(1) + host.Output(2);
    host.ClearOutput();
    return out;
  }

  TestHost host;
  TestFileTable files{host.ctx()};
};

TEST_F(FileText, WrittenReadBackAndPositioned) {
  Open("data.txt", "w+");
  ASSERT_EQ(Run("n = fprintf(fd, '%d;', [1 2 3]);\n"
                "c = fwrite(fd, 'AB');\n"
                "fprintf(1, '%d %d %d\\n', n, c, ftell(fd));\n"
                "fseek(fd, 0, 'b');\n"
                "line = fgetl(fd)\n"
                "at_end = feof(fd)\n"
                "fseek(fd, -2, 'e');\n"
                "tail = fgets(fd)\n"
                "fseek(fd, 2, 'b');\n"
                "fseek(fd, 2, 'c');\n"
                "v = fscanf(fd, '%d;')\n"
                "fseek(fd, 0);\n"
                "[text, count] = fread(fd, [1 Inf], '*char')\n"
                "fclose(fd);"),
            kOk);
  EXPECT_EQ(Out(),
            "6 2 8\n"
            "line =\n1;2;3;AB\n"
            "at_end =\ntrue\n"
            "tail =\nAB\n"
            "v =\n         3\n"
            "text =\n1;2;3;AB\n"
            "count =\n         8\n");
  EXPECT_EQ(files.ReadFile("data.txt"), "1;2;3;AB");

  // A closed descriptor, a bad origin, a bad descriptor argument.
  for (const char* text : {"fclose(fd)", "fprintf(fd, 'x')", "fseek(1e6, 0)", "fseek(fd, 0, 'q')",
                           "fclose({1})", "fclose('some')"}) {
    ASSERT_EQ(Run(std::string("try, ") + text + ", catch, e = lasterror; disp(e.identifier), end"),
              kOk);
  }
  EXPECT_EQ(Out(),
            "VKE:badFileID\nVKE:badFileID\nVKE:badFileID\nVKE:unknownOpt\nVKE:wrongType\n"
            "VKE:unknownOpt\n");
}

TEST_F(FileText, EveryPrecisionRoundTrips) {
  Open("binary.bin", "w+");
  ASSERT_EQ(Run("names = {'int8', 'int16', 'int32', 'int64', 'uint8', 'uint16', 'uint32', ...\n"
                "  'uint64', 'char', 'uchar', 'single', 'double'};\n"
                "values = [0 1 100 127];\n"
                "for k = 1:numel(names)\n"
                "  for order = {'', ';l', ';b'}\n"
                "    p = [names{k}, order];\n"
                "    fseek(fd, 0);\n"
                "    written = fwrite(fd, values, p);\n"
                "    fseek(fd, 0);\n"
                "    [back, n] = fread(fd, 4, p);\n"
                "    if written ~= 4 || n ~= 4 || any(back' ~= values)\n"
                "      fprintf(1, '%s differs\\n', p);\n"
                "    end\n"
                "  end\n"
                "end\n"
                "disp('compared')"),
            kOk);
  EXPECT_EQ(Out(), "compared\n");

  // Byte order on the file itself; "*" keeps the class.
  ASSERT_EQ(Run("fseek(fd, 0);\n"
                "fwrite(fd, 258, 'int16;b');\n"
                "fwrite(fd, [258 -2], 'int16');\n"
                "fseek(fd, 0);\n"
                "v = fread(fd, [1 3], '*int16;b')"),
            kOk);
  EXPECT_EQ(files.ReadFile("binary.bin").substr(0, 6), std::string("\x01\x02\x02\x01\xFE\xFF", 6));
  EXPECT_EQ(Out(), "v =\n1x3 int16 array\n    258    513   -257\n");
}

TEST_F(FileText, FailedWritesReportTheirError) {
  files.WriteFile("read_only.txt", "abc");
  Open("read_only.txt", "r");
  ASSERT_EQ(Run("for text = {'fwrite(fd, [65 66])', 'fprintf(fd, ''xy'')'}\n"
                "  try\n"
                "    c = eval(text)\n"
                "  catch\n"
                "    e = lasterror;\n"
                "    disp(e.identifier)\n"
                "  end\n"
                "end"),
            kOk);
  EXPECT_EQ(Out(), "VKE:ioErr\nVKE:ioErr\n");
  EXPECT_EQ(files.ReadFile("read_only.txt"), "abc");
}

TEST_F(FileText, LineReadWaitsForItsDevice) {
  const int32_t pipe = files.OpenPipe();
  const std::string fd = std::to_string(pipe);
  // No whole line yet: the run stays suspended, nothing is shown.
  ASSERT_EQ(
      RunCommandLine(host.ctx(), "first = fgetl(" + fd + ")\nsecond = fgets(" + fd + ")\n", 5),
      kStatusSuspended);
  files.FeedPipe(pipe, "hel");
  EXPECT_EQ(test::ResumeRun(host.ctx(), 5), kStatusSuspended);
  EXPECT_EQ(Out(), "");
  files.FeedPipe(pipe, "lo\nwor");
  EXPECT_EQ(test::ResumeRun(host.ctx(), 5), kStatusSuspended);
  EXPECT_EQ(Out(), "first =\nhello\n");
  files.FeedPipe(pipe, "ld\nrest");
  EXPECT_EQ(test::ResumeRun(host.ctx(), 5), kOk);
  EXPECT_EQ(Out(), "second =\nworld\n\n");
  // What is left before the end of the input, then nothing.
  files.ClosePipeInput(pipe);
  ASSERT_EQ(Run("last = fgetl(" + fd + ")\nnone = isempty(fgetl(" + fd + "))"), kOk);
  EXPECT_EQ(Out(), "last =\nrest\nnone =\ntrue\n");
}

TEST(FprintfLineEnds, TranslatedForTheDescriptorNeverBySprintf) {
  test::TestHostOptions options;
  options.lineEnd = 2;
  TestHost host(options);
  ASSERT_EQ(RunCommandLine(host.ctx(),
                           "fprintf(1, 'a\\nb%s\\n', sprintf('\\nc'));\n"
                           "n = numel(sprintf('x\\ny\\n'));\n"
                           "fprintf(1, '%d', n);\n"),
            kOk);
  EXPECT_EQ(host.Output(1), "a\r\nb\r\nc\r\n4");
}

}  // namespace
}  // namespace vke
