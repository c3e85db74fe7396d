// The application's "+readlib": the embedded libraries of an instance
// served as its library "_KV_<name>", a library embedded under its own
// name served by that name, names it does not serve left to the
// next hook, texts that do not fit answered 3 and served whole on the
// retry, and a source that uses such a library compiled against it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/natives/app_natives.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

// The payload of an embedded library: the bytes of its names before the
// text (none for the instance's own; for a named library no file name, then
// the library's name), its length, first line 1, a spare word, then the
// names and the text.
std::vector<uint32_t> LibraryPayload(const std::string& text, int32_t length = -2,
                                     const std::string& name = "") {
  const std::string names = name.empty() ? "" : '\0' + name;
  const size_t nameBytes = names.empty() ? 0 : 4 * (names.size() / 4 + 1);
  std::vector<uint32_t> words = {static_cast<uint32_t>(nameBytes),
                                 static_cast<uint32_t>(length == -2 ? text.size() : length), 1, 0};
  std::vector<uint32_t> packed((nameBytes + text.size() + 3) / 4, 0);
  std::memcpy(packed.data(), names.data(), names.size());
  std::memcpy(reinterpret_cast<char*>(packed.data()) + nameBytes, text.data(), text.size());
  words.insert(words.end(), packed.begin(), packed.end());
  return words;
}

class LibraryReader : public ::testing::Test {
 protected:
  LibraryReader() : h({"a"}, 4u << 20) {}
  void Load(uint32_t appLibrary = 0) {
    ElementListBuilder l;
    l.Instance(0, "app.kv", appLibrary).Handler(kElemInit, {h.Fn("useit"), {h.Var("a")}});
    request = test::RequestFor(l);
    l.Instance(1, "tools.v2.kv")
        .Raw(kElemEmbeddedLibrary, LibraryPayload("function r = twice(x)\n r = 2 * x;\n"))
        .Raw(kElemEmbeddedLibrary, LibraryPayload("skipped", -1))
        .Raw(kElemEmbeddedLibrary, LibraryPayload("function r = half(x)\n r = x / 2;"))
        .Raw(kElemEmbeddedLibrary, LibraryPayload("function r = one()\n r = 1;"))
        .Raw(kElemEmbeddedLibrary,
             LibraryPayload("function r = thrice(x)\n r = 3 * x;", -2, "arith"));
    ASSERT_EQ(h.Load(l), kOk);
  }
  ErrCode Read(const char* name, int32_t capacity, std::string* text) {
    std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '#');
    int32_t length = -1;
    const ErrCode e =
        ReadKVLibrary(h.ctx(), name, nullptr, user(), buffer.data(), capacity, &length);
    EXPECT_EQ(buffer[static_cast<size_t>(capacity)], '#');  // nothing beyond the capacity
    text->assign(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
    return e;
  }
  uintptr_t user() { return reinterpret_cast<uintptr_t>(&h.block()->nativeCall); }

  FamilyHost h;
  HandlerRequest request;
};

TEST_F(LibraryReader, ServesTheTextsOfTheInstancesLibraries) {
  Load();
  std::string text;
  ASSERT_EQ(Read("_KV_tools", 4096, &text), kOk);
  EXPECT_EQ(text,
            "function r = twice(x)\n r = 2 * x;\n"
            "function r = half(x)\n r = x / 2;\n"
            "function r = one()\n r = 1;");
  // The file name may go on with "." and more; others are not served.
  EXPECT_EQ(Read("_KV_tools.v2", 4096, &text), kOk);
  EXPECT_EQ(Read("_KV_tool", 4096, &text), kErrFileNotFound);
  EXPECT_EQ(Read("_KV_nosuch", 4096, &text), kErrFileNotFound);
  EXPECT_EQ(Read("tools", 4096, &text), kErrFileNotFound);
  // An instance without embedded libraries has an empty library.
  ASSERT_EQ(Read("_KV_app", 4096, &text), kOk);
  EXPECT_EQ(text, "");
}

TEST_F(LibraryReader, TextsThatDoNotFitAreNotCut) {
  Load();
  std::string text;
  ASSERT_EQ(Read("_KV_tools", 4096, &text), kOk);
  const auto whole = static_cast<int32_t>(text.size());
  for (int32_t capacity : {0, 10, 40, whole - 1})
    EXPECT_EQ(Read("_KV_tools", capacity, &text), kErrDataOverflow) << capacity;
  ASSERT_EQ(Read("_KV_tools", whole, &text), kOk);
  EXPECT_EQ(static_cast<int32_t>(text.size()), whole);
}

TEST_F(LibraryReader, ASourceUsesTheLibraryOfAnotherInstance) {
  Load();
  ASSERT_EQ(h.Compile("use _KV_tools\nfunction a = useit()\n a = twice(half(21)) + one();\n"), kOk);
  Load(h.library());
  ASSERT_EQ(h.Run(request), kOk);
  EXPECT_EQ(h.Scalar(h.Var("a")), 22);
}

// A library embedded under its own name is served by that name alone, from
// whichever instance holds it, and a source that uses it compiles against it.
TEST_F(LibraryReader, ServesALibraryEmbeddedUnderItsName) {
  Load();
  std::string text;
  ASSERT_EQ(Read("arith", 4096, &text), kOk);
  EXPECT_EQ(text, "function r = thrice(x)\n r = 3 * x;");
  EXPECT_EQ(Read("arit", 4096, &text), kErrFileNotFound);
  EXPECT_EQ(Read("arith", 10, &text), kErrDataOverflow);
  ASSERT_EQ(Read("_KV_tools", 4096, &text), kOk);
  EXPECT_EQ(text.find("thrice"), std::string::npos);
  ASSERT_EQ(h.Compile("use arith\nfunction a = useit()\n a = thrice(7);\n"), kOk);
  Load(h.library());
  ASSERT_EQ(h.Run(request), kOk);
  EXPECT_EQ(h.Scalar(h.Var("a")), 21);
}

}  // namespace
}  // namespace vke
