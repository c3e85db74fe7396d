// Embedded files as the application reads them: text with its line breaks
// made LF (also across the one-byte reads that assemble lines), base64
// decoded with an exact end of file, the position requests, the limits and
// refusals, and a stream that keeps reading the instance that opened it.
#include "app/natives/embedded_files.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;

// The payload of an embedded file: the name's length, the name with its
// NUL padded to words, the data's length and the data.
std::vector<uint32_t> FilePayload(const std::string& name, const std::string& data) {
  std::vector<uint32_t> words = {static_cast<uint32_t>(name.size())};
  std::vector<uint32_t> packed(name.size() / 4 + 1, 0);
  std::memcpy(packed.data(), name.data(), name.size());
  words.insert(words.end(), packed.begin(), packed.end());
  words.push_back(static_cast<uint32_t>(data.size()));
  std::vector<uint32_t> bytes((data.size() + 3) / 4, 0);
  std::memcpy(bytes.data(), data.data(), data.size());
  words.insert(words.end(), bytes.begin(), bytes.end());
  return words;
}

class EmbeddedFiles : public ::testing::Test {
 protected:
  EmbeddedFiles() : h({"a"}) {}
  void SetUp() override {
    ElementListBuilder l;
    l.Instance(0, "app.kv")
        .Raw(kElemEmbeddedFile, FilePayload("lines", "a\r\nb\rc\n"))
        .Raw(kElemEmbeddedFile, FilePayload("abc64", "YWJj\n"))
        .Raw(kElemEmbeddedFile, FilePayload("long64", "MDEyMzQ1\nNjc4OQ==\n"))
        .Raw(kElemEmbeddedFile, FilePayload("same", "first"))
        .Raw(kElemEmbeddedFile, FilePayload("breaks64", "YQ0KYg1jCg=="));
    l.Instance(1, "other.kv").Raw(kElemEmbeddedFile, FilePayload("same", "second"));
    ASSERT_EQ(h.Load(l), kOk);
    h.block()->nativeCall.instanceId = 0;
  }
  std::string Eval(const std::string& text) { return test::EvaluateToText(h.ctx(), text); }
  // Statements, which leave no value.
  void Run(const std::string& text) { EXPECT_EQ(Eval(text + " 0"), "0") << text; }

  test::FamilyHost h;
};

TEST_F(EmbeddedFiles, TextReadsLineBreaksAsLineFeeds) {
  EXPECT_EQ(Eval("fd = efopen('lines'); s = double(fread(fd)'); fclose(fd); s"),
            "[97,10,98,10,99,10]");
  // Lines come from one-byte reads: no empty line after a CR LF.
  Run("fd = efopen('lines', 'text'); s = '';");
  EXPECT_EQ(Eval("while ~feof(fd), s = [s, fgetl(fd), '|']; end; fclose(fd); s"), "'a|b|c|'");
}

TEST_F(EmbeddedFiles, Base64DecodesWithAnExactEndOfFile) {
  EXPECT_EQ(Eval("fd = efopen('abc64', 'base64'); char(fread(fd)')"), "'abc'");
  EXPECT_EQ(Eval("e = feof(fd); fclose(fd); e"), "true");
  // A loop testing the end before each byte loses none.
  Run("fd = efopen('long64', 'base64'); s = '';");
  EXPECT_EQ(Eval("while ~feof(fd), s(end + 1) = char(fread(fd, 1)); end; fclose(fd); s"),
            "'0123456789'");
  Run("fd = efopen('long64', 'base64');");
  EXPECT_EQ(Eval("fread(fd, 5); ftell(fd)"), "5");
  EXPECT_EQ(Eval("fseek(fd, 2, 'b'); char(fread(fd, 3)')"), "'234'");
  EXPECT_EQ(Eval("fseek(fd, -2, 'e'); char(fread(fd)')"), "'89'");
  Run("fclose(fd);");
}

TEST_F(EmbeddedFiles, StreamsAreReadOnlyLimitedAndChecked) {
  EXPECT_EQ(Eval("efopen('none')"), "error 300");
  EXPECT_EQ(Eval("efopen('lines', 'Text')"), "error 108");
  EXPECT_EQ(Eval("efopen(1)"), "error 43");
  EXPECT_EQ(Eval("fd = efopen('lines'); fwrite(fd, 'x')"), "error 302");
  // Two opens of one file read on their own.
  Run("fclose(fd); f = efopen('same'); g = efopen('same');");
  EXPECT_EQ(Eval("[char(fread(f, 2)'), '|', char(fread(g, 3)')]"), "'fi|fir'");
  EXPECT_EQ(Eval("fclose(f); fclose(g); f ~= g"), "true");
  EXPECT_EQ(Eval("d = zeros(1, 32); for i = 1:32, d(i) = efopen('same'); end; efopen('same')"),
            "error 304");
  EXPECT_EQ(Eval("fclose(d(7)); efopen('same') == d(7)"), "true");
  EXPECT_EQ(Eval("fclose('all'); 0"), "0");
  h.block()->nativeCall.instanceId = 99;
  EXPECT_EQ(Eval("efopen('same')"), "error 400");
}

// Decoded bytes keep their line breaks: a CR LF pair ends one line, a lone
// CR too, and a step back gives the bytes again.
TEST_F(EmbeddedFiles, Base64LinesAndStepsBack) {
  Run("fd = efopen('breaks64', 'base64');");
  EXPECT_EQ(Eval("[fgetl(fd), '|', fgetl(fd), '|', fgetl(fd)]"), "'a|b|c'");
  EXPECT_EQ(Eval("fseek(fd, -3, 'c'); double(fread(fd)')"), "[13,99,10]");
  EXPECT_EQ(Eval("fseek(fd, -6, 'c'); ftell(fd)"), "1");
  Run("fclose(fd);");
}

// The runtime's UTF-8 encoder needs room beyond each character: the
// encoding and the name still arrive whole, and only exact ones are taken.
TEST_F(EmbeddedFiles, NamesAndEncodingsArriveWholeThroughTheEncoder) {
  SetTextEncoding(h.ctx(), 'u');
  EXPECT_EQ(Eval("fd = efopen('long64', 'base64'); s = char(fread(fd, 5)'); fclose(fd); s"),
            "'01234'");
  EXPECT_EQ(Eval("efopen('long64', 'base64 ')"), "error 108");
  EXPECT_EQ(Eval("efopen('long64x', 'base64')"), "error 300");
  EXPECT_EQ(Eval("efopen('long6', 'base64')"), "error 300");
}

TEST_F(EmbeddedFiles, StreamKeepsReadingTheInstanceThatOpenedIt) {
  ASSERT_EQ(Eval("fd = efopen('same'); char(fread(fd, 2)')"), "'fi'");
  h.block()->nativeCall.instanceId = 1;
  EXPECT_EQ(Eval("s = char(fread(fd)'); fclose(fd); s"), "'rst'");
}

}  // namespace
}  // namespace vke
