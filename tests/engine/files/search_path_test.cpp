// The library search path: the "path" native, the candidates of a search
// and library sources found along the path.
#include "engine/files/search_path.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/library_source.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::PopText;
using test::TestHost;

class SearchPath : public ::testing::Test {
 protected:
  void TearDown() override { ResetSearchPathForTest(); }

  // path(texts...) with one output.
  std::string SetPath(std::initializer_list<std::string> texts) {
    for (const std::string& t : texts) PushCString(ctx, -1, t.c_str());
    EXPECT_EQ(PathNative(ctx, static_cast<int32_t>(texts.size()), 1, 0), kOk);
    return PopText(ctx);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(SearchPath, PathNative) {
  EXPECT_EQ(SetPath({}), ";");
  EXPECT_EQ(SetPath({"a", "b"}), "a;b;");
  EXPECT_EQ(SetPath({"a;b"}), "a;b;");
  EXPECT_EQ(SetPath({"x;", "y;"}), "x;y;");
  EXPECT_EQ(SetPath({""}), ";");
  PushCString(ctx, -1, "lib;;other");
  ASSERT_EQ(PathNative(ctx, 1, 0, 0), kOk);  // a change without output gives nothing
  EXPECT_EQ(EntryCount(ctx), 0);
  // As statements they leave the no-value marker, never nothing.
  for (int32_t nargin : {0, 1}) {
    if (nargin) PushCString(ctx, -1, "lib;;other");
    ASSERT_EQ(PathNative(ctx, nargin, -1, 0), kOk);
    ASSERT_EQ(EntryCount(ctx), 1);
    EXPECT_TRUE(DescAt(ctx, 0)->flags & kFlagNoValue);
    Drop(ctx);
  }
  EXPECT_EQ(host.Output(1), "lib\n\nother\n");

  // Long texts are cut so that the path, its final ";" and its end mark fit.
  const std::string longText(2000, 'p');
  EXPECT_EQ(SetPath({longText}), std::string(1022, 'p') + ";");
  const std::string both = SetPath({longText, "b"});
  EXPECT_EQ(both, std::string(1022, 'p') + ";");
  const std::string second = SetPath({"a", longText});
  EXPECT_EQ(second.size(), 1023u);
  EXPECT_EQ(second.substr(0, 3), "a;p");
  EXPECT_EQ(second.back(), ';');

  PushRealScalar(ctx, 1);
  EXPECT_EQ(PathNative(ctx, 1, 1, 0), kErrWrongType);
  Drop(ctx);
}

// Records every candidate and accepts the one named `accept`.
struct Recorder {
  std::vector<std::string> candidates;
  std::vector<bool> schemes;
  std::string accept;

  static ErrCode Open(const char* candidate, bool scheme, void* self) {
    auto* r = static_cast<Recorder*>(self);
    r->candidates.push_back(candidate);
    r->schemes.push_back(scheme);
    return r->accept == candidate ? kOk : kErrFileNotFound;
  }
};

TEST_F(SearchPath, CandidatesOfASearch) {
  SetPath({"a;b"});
  Recorder r;
  char found[kCandidateBytes];
  bool scheme = true;
  EXPECT_EQ(SplitSearchPath("f", "vkl", nullptr, found, &Recorder::Open, &r, &scheme),
            kErrFileNotFound);
  EXPECT_EQ(r.candidates, (std::vector<std::string>{"a/f.vkl", "b/f.vkl"}));

  SetPath({"lib/%b/%f;%%x%s;x%q;;http://host/%f;C:/lib/;"});
  r = Recorder();
  r.accept = "C:/lib/f";
  EXPECT_EQ(SplitSearchPath("f", nullptr, "dir/sub/main.vkl", found, &Recorder::Open, &r, &scheme),
            kOk);
  EXPECT_EQ(r.candidates, (std::vector<std::string>{"dir/sub/f", "lib/f/f", "%x", "x%q/f", "f",
                                                    "http://host/f", "C:/lib/f"}));
  EXPECT_EQ(r.schemes, (std::vector<bool>{false, false, false, false, false, true, false}));
  EXPECT_STREQ(found, "C:/lib/f");
  EXPECT_FALSE(scheme);

  SetPathSeparator('\\');
  SetPath({"a;b\\"});
  r = Recorder();
  SplitSearchPath("f", "vkl", "c:\\x\\main", nullptr, &Recorder::Open, &r, nullptr);
  EXPECT_EQ(r.candidates, (std::vector<std::string>{"c:\\x\\f.vkl", "a\\f.vkl", "b\\f.vkl"}));

  // Candidates are cut at 254 characters.
  SetPath({std::string(300, 'd')});
  r = Recorder();
  SplitSearchPath("f", "vkl", nullptr, nullptr, &Recorder::Open, &r, nullptr);
  EXPECT_EQ(r.candidates.at(0), std::string(254, 'd'));
  EXPECT_EQ(SplitSearchPath("f", "vkl", nullptr, nullptr, nullptr, &r, nullptr), kErrFileNotFound);
}

TEST_F(SearchPath, LibrariesAreFoundAlongThePath) {
  test::TestFileTable files(ctx);  // for its folder
  files.WriteFile("mylib.vkl", "function y = f(x)\ny = x;\n");
  files.WriteFile("mylib.hlp", "help text\n");
  char source[256];
  int32_t length = 0;
  EXPECT_EQ(
      LoadLibrarySource(ctx, "mylib", 5, nullptr, true, source, sizeof source, &length, 0, false),
      kErrLibNotFound);
  SetPath({"/nowhere", files.folder()});
  ASSERT_EQ(
      LoadLibrarySource(ctx, "mylib", 5, nullptr, true, source, sizeof source, &length, 0, false),
      kOk);
  EXPECT_EQ(std::string(source, length), "function y = f(x)\ny = x;\n");

  // A name with an extension keeps it; a folder given by the caller comes first.
  ResetSearchPathForTest();
  ASSERT_EQ(FindLibraryFileHook(ctx, "mylib.hlp", files.folder().c_str(), 0, source, sizeof source,
                                &length),
            kOk);
  EXPECT_EQ(std::string(source, length), "help text\n");
  EXPECT_EQ(FindLibraryFileHook(ctx, "mylib", files.folder().c_str(), 0, source, 4, &length),
            kErrDataOverflow);
  EXPECT_EQ(
      FindLibraryFileHook(ctx, "other", files.folder().c_str(), 0, source, sizeof source, &length),
      kErrFileNotFound);
}

}  // namespace
}  // namespace vke
