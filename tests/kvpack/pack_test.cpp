// Packing: the element list, name buffer and undo set a description and its
// sources give, the generated "_menuFlags", and the problems a packing
// reports with their file and line.
#include "tools/kvpack/pack.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "app/image.hpp"
#include "app/kv_sources.hpp"
#include "app/menu_items.hpp"
#include "app/name_buffer.hpp"
#include "app/reset_data.hpp"
#include "app/runtime_mark.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/code/function_table.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"
#include "tools/disk_file.hpp"
#include "tools/kvpack/image_io.hpp"

namespace vke::kvpack {
namespace {

constexpr char kSource[] =
    "function (x, y) = setup()\n x = 1;\n y = 2;\nfunction x = one()\n x = 1;\n";

class Packing : public ::testing::Test {
 protected:
  void SetUp() override {
    NewHost();
    files["app/a.vke"] = kSource;
    files["app/d.txt"] = "hello";
  }

  void NewHost() {
    owned = std::make_unique<ToolHost>();
    ASSERT_EQ(owned->Create(), kOk);
    owned->Collect(true);
  }
  ToolHost& Host() { return *owned; }

  // Packs the description as app/app.kvd.
  bool Pack(const std::string& kvd) {
    AppDescription app;
    if (!ParseDescription(kvd, "app.kv", &app, &error.error)) {
      ADD_FAILURE() << ErrorText(error.error);
      return false;
    }
    const FileReader read = [&](const std::string& path, std::string* text) {
      auto it = files.find(path);
      if (it == files.end()) return false;
      *text = it->second;
      return true;
    };
    return PackApplication(owned.get(), app, "app/app.kvd", read, &error);
  }
  uint32_t Word(uint32_t pos) { return Load<uint32_t>(Host().block()->ElementArea() + 4 * pos); }
  std::string Name(int32_t id) {
    const char* name;
    int32_t length;
    if (FindVariableSlot(Host().block()->NameArea(), id, &name, &length)) return "?";
    return std::string(name, static_cast<size_t>(length));
  }
  // The words of the element at pos, and pos moved behind it.
  std::vector<uint32_t> Next(uint32_t* pos) {
    const uint32_t length = Word(*pos + 1);
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < length; i++) words.push_back(Word(*pos + i));
    *pos += length;
    return words;
  }

  std::unique_ptr<ToolHost> owned;
  std::map<std::string, std::string> files;
  PackError error;
};

constexpr uint32_t C(int32_t k) {
  return static_cast<uint32_t>(k >= 0 ? k + (1 << 30) : k - (1 << 30));
}
constexpr uint32_t kNone = UINT32_MAX;

TEST_F(Packing, ElementsNamesAndVariables) {
  ASSERT_TRUE(Pack(R"(source "a.vke"
var x y
title "T"
init (x, y) = setup()
figure "P"
  mousedown target 4 (x, y) = (_x, -7)
after x: y = one()
embed "d.txt" file "d.txt"
language "en;English"
  init x = one()
language "fr;Francais"
language "EN"
endlanguage
)")) << PackErrorText(error);
  int32_t library;
  ASSERT_EQ(FindLibraryEntry(Host().ctx(), "_KV_app", 7, false, &library), kOk);
  uint32_t pos = 0;
  std::vector<uint32_t> e = Next(&pos);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0], uint32_t{kElemInstanceStart});
  EXPECT_EQ(e[2], 0u);
  EXPECT_EQ(e[3], static_cast<uint32_t>(library));
  EXPECT_STREQ(reinterpret_cast<const char*>(&e[4]), "app.kv");
  e = Next(&pos);
  EXPECT_EQ(e[0], uint32_t{kElemEmbeddedLibrary});
  EXPECT_EQ(std::vector<uint32_t>(e.begin() + 2, e.begin() + 6),
            (std::vector<uint32_t>{8, sizeof kSource - 1, 1, 0}));
  EXPECT_STREQ(reinterpret_cast<const char*>(&e[6]), "a.vke");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e[8]), sizeof kSource - 1), kSource);
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemTitle});
  EXPECT_EQ(Next(&pos), (std::vector<uint32_t>{kElemInit, 7, 1000, 0, 2, 106, 107}));
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemFigure});
  // No function: the inputs in reverse, so that x takes _x.
  EXPECT_EQ(Next(&pos),
            (std::vector<uint32_t>{kElemMouseDown, 10, 4, kNone, 2, 2, 106, 107, C(-7), 5}));
  EXPECT_EQ(Next(&pos), (std::vector<uint32_t>{kElemPostEvent, 8, 1, 106, 1001, 0, 1, 107}));
  e = Next(&pos);
  EXPECT_EQ(e[0], uint32_t{kElemEmbeddedFile});
  EXPECT_EQ(e[2], 5u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&e[3]), "d.txt");
  EXPECT_EQ(e[5], 5u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&e[6]), 5), "hello");
  const uint32_t en = pos;
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemLanguageSection});
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemInit});
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemLanguageSection});
  EXPECT_EQ(Next(&pos), (std::vector<uint32_t>{kElemLanguageBlock, 3, en}));
  EXPECT_EQ(Next(&pos), (std::vector<uint32_t>{kElemLanguageEnd, 2}));
  EXPECT_EQ(pos, Host().block()->elementWords);
  EXPECT_EQ(CheckElementList(Host().block()->ElementArea(), pos), kOk);

  EXPECT_EQ(Name(106), "x");
  EXPECT_EQ(Name(107), "y");
  EXPECT_EQ(Name(1000), "setup");
  EXPECT_EQ(Name(1001), "one");
  int32_t variable;
  ASSERT_EQ(GetUndoSetVariableId(Host().block()->UndoArea(), 0, 6, false, &variable), kOk);
  EXPECT_EQ(variable, 106);
  // The packed application runs: its first paint resets its data.
  ASSERT_EQ(ResetInstanceData(Host().slot(), 0), kOk);
  ASSERT_EQ(PushUndoValue(Host().block(), 0, 0, 107), kOk);
  EXPECT_EQ(test::TopScalar(Host().ctx()), 2);
  Drop(Host().ctx());
}

TEST_F(Packing, InstanceWideCodeFollowsTheInstanceStartWithoutSources) {
  ASSERT_TRUE(Pack("title \"T\"\ncode <<END\nx = 1;\nEND\n")) << PackErrorText(error);
  uint32_t pos = 0;
  Next(&pos);
  EXPECT_EQ(Next(&pos), (std::vector<uint32_t>{kElemInstanceCode, 5, 6, Load<uint32_t>("x = "),
                                               Load<uint32_t>("1;\0\0")}));
  EXPECT_EQ(Next(&pos)[0], uint32_t{kElemTitle});  // no source: no library element
}

TEST_F(Packing, MenuFlagsAreGeneratedFromTheItems) {
  AppDescription app;
  ASSERT_TRUE(ParseDescription(R"(var a b
menu "M"
  item "One" f() enabled "a > 0"
  item "Two" f() checked "b"
endmenu
copy "C" g()
paste "P" h()
paste "" h() enabled "1"
)",
                               "app.kv", &app, &error.error));
  std::vector<int32_t> lines;
  EXPECT_EQ(MenuFlagsSource(app, &lines),
            "function (_items, _pastes, _copies) = _menuFlags(a, b, _xdatatype, _param)\n"
            "_items = [1, -1, 1, 0];\n"
            "_items(1) = any((a > 0) ~= 0);\n"
            "_items(4) = any((b) > 0);\n"
            "_pastes = [1, 1];\n"
            "_pastes(2) = any((1) ~= 0);\n"
            "_copies = [1];\n");
  EXPECT_EQ(lines, (std::vector<int32_t>{0, 0, 3, 4, 0, 8, 0}));
  // Packed, the generated function gives the items their states.
  files["app/a.vke"] = "function f()\nfunction g()\nfunction h()\n";
  ASSERT_TRUE(
      Pack("source \"a.vke\"\nvar a\nmenu \"M\"\n item \"One\" f() enabled \"a > 0\"\n"
           "endmenu\n"))
      << PackErrorText(error);
  ASSERT_EQ(RunMenuFlagsFunction(Host().slot(), 0, nullptr, 0), kOk);
  // a has no value: a > 0 is empty, which disables the item and keeps the
  // place of its flag.
  EXPECT_EQ(MenuFlagAt(Host().ctx(), 0, 0), 0);
  EXPECT_EQ(MenuFlagAt(Host().ctx(), 0, 1), -1);
  Drop(Host().ctx(), 3);
}

// Only an item with a checked expression carries a check mark; an empty
// value checks nothing and leaves the flags of the items after it in place.
TEST_F(Packing, OnlyItemsWithACheckedExpressionCarryACheckMark) {
  files["app/a.vke"] = "function f()\n";
  ASSERT_TRUE(
      Pack("source \"a.vke\"\nvar a b\nmenu \"M\"\n item \"Plain\" f()\n"
           " item \"Unset\" f() checked \"a\"\n item \"Set\" f() checked \"b == 0\"\n"
           " item \"Last\" f() enabled \"isempty(a)\"\nendmenu\n"))
      << PackErrorText(error);
  const int32_t version = UndoSetCurrentVersion(Host().block()->UndoArea(), 0);
  std::vector<int> states;
  MenuEntry entry;
  for (int32_t at = -1; GetMenuItemInfo(Host().block(), 0, 'm', &at, &entry) == kOk;) {
    uint8_t state = 0;
    EXPECT_EQ(GetMenuItemState(Host().slot(), 0, at, version, nullptr, 0, &state), kOk);
    states.push_back(state);
  }
  constexpr int kOn = kMenuStateEnabled, kNoMark = kMenuStateNoCheckMark;
  // b has no value either: b == 0 is empty.
  EXPECT_EQ(states, (std::vector<int>{kOn | kNoMark, kOn, kOn, kOn | kNoMark}));
}

struct BadPack {
  const char* kvd;
  const char* source;
  ErrCode code;
  const char* file;
  int32_t line;
};

TEST_F(Packing, ProblemsGiveTheirFileAndLine) {
  std::string many = "source \"a.vke\"\nmenu \"M\"\n";
  for (int i = 0; i < 65; i++) many += " item \"i\" one()\n";
  many += "endmenu\n";
  const BadPack cases[] = {
      {"var x\nsource \"none.vke\"\n", kSource, kErrFileNotFound, "app/app.kvd", 2},
      {"source \"a.vke\"\n", "function a = f(x)\n a = x +;\n", 0, "a.vke", 2},
      {"source \"a.vke\"\ninit nothere()\n", kSource, kErrUndefFun, "app/app.kvd", 2},
      {"source \"a.vke\"\ninit q = one()\n", kSource, kKvVarNotFound, "app/app.kvd", 2},
      {"source \"a.vke\"\n\ninit _x = one()\n", kSource, kKvUnexpectedStdVar, "app/app.kvd", 3},
      {"source \"a.vke\"\nvar one\ninit one()\n", kSource, kKvVarNameAsFunName, "app/app.kvd", 3},
      {"source \"a.vke\"\ninit _xdata()\n", kSource, kKvBadFunName, "app/app.kvd", 2},
      {"source \"a.vke\"\nmenu \"M\"\n item \"i\" one() enabled \"1\"\nendmenu\n",
       "function one()\nfunction (m, p, c) = _menuFlags(_xdatatype, _param)\n",
       kKvInvalidMultipleDecl, "app/app.kvd", 3},
      {many.c_str(), kSource, kKvExhaustedRsrc, "app/app.kvd", 67},
      {"source \"a.vke\"\nvar a\nmenu \"M\"\n item \"i\" one() enabled \"a +\"\nendmenu\n", kSource,
       0, "app/app.kvd", 4},
      {"instance \"no name.kv\"\n", kSource, kErrBadLibName, "app/app.kvd", 1},
      {"embed \"x\" file \"none.txt\"\n", kSource, kErrFileNotFound, "app/app.kvd", 1},
      {"library \"none.vkl\"\n", kSource, kErrFileNotFound, "app/app.kvd", 1},
      {"library \"no name.vkl\"\n", kSource, kErrBadLibName, "app/app.kvd", 1},
      {"library \"_KV_app.vkl\"\n", kSource, kErrBadLibName, "app/app.kvd", 1},
      {"library \"a.vke\"\n", "function a = f(x)\n a = x +;\n", 0, "a.vke", 2},
      {"source \"a.vke\"\nvar a b c\nmake b = one(a)\nmake c = one(b)\nmake a = one(c)\n", kSource,
       kKvCircularMakeDep, "app/app.kvd", 5},
      {"source \"a.vke\"\nvar a\nmake a = one(a, 3)\n", kSource, kKvCircularMakeDep, "app/app.kvd",
       3},
  };
  for (const BadPack& c : cases) {
    NewHost();
    files["app/a.vke"] = c.source;
    EXPECT_FALSE(Pack(c.kvd)) << c.kvd;
    if (c.code) {
      EXPECT_EQ(error.error.code, c.code) << c.kvd << PackErrorText(error);
    }
    EXPECT_NE(error.error.code, kOk);
    EXPECT_EQ(error.file, c.file) << c.kvd << PackErrorText(error);
    EXPECT_EQ(error.error.line, c.line) << c.kvd << PackErrorText(error);
  }
  // The cycle is named in the order its variables need each other.
  NewHost();
  EXPECT_FALSE(Pack("source \"a.vke\"\nvar z a b\nmake b = one(a)\nmake a = one(b, z)\n"));
  EXPECT_EQ(error.error.detail, "a -> b -> a");
  // A constant text in a flag expression may hold what would otherwise end it.
  NewHost();
  EXPECT_TRUE(
      Pack("source \"a.vke\"\nvar a\nmenu \"M\"\n item \"i\" one() enabled "
           "\"~strcmp(a', ');%')\"\nendmenu\n"))
      << PackErrorText(error);
  EXPECT_EQ(PackErrorText({"a.kvd", {kKvVarNotFound, 4, "q", ""}}),
            "a.kvd:4: Variable not found (10010): q");
}

// A source that does not compile is told with its file and line and the
// compiler's message, which names what it found there.
TEST_F(Packing, ASourceThatDoesNotCompileSaysWhatAndWhere) {
  const struct {
    const char* source;
    const char* said;
  } cases[] = {
      {"function x = f(s)\n x = 1;\n if all(s == sort(s)) disp('ok'); end\n",
       "a.vke:3: Unrecognized token 'd' (174)"},
      {"function x = f()\n x = \"text\";\n",
       "a.vke:2: Unrecognized token '\"': text is written between single quotes, as in 'text' "
       "(174)"},
  };
  for (const auto& c : cases) {
    NewHost();
    files["app/a.vke"] = c.source;
    EXPECT_FALSE(Pack("source \"a.vke\"\n")) << c.source;
    EXPECT_EQ(PackErrorText(error), c.said) << c.source;
  }
  // After that error, a source whose failure the compiler raises no error
  // for is told with its own code's message, neither the earlier error's
  // text nor its line and place.
  files["app/a.vke"] = "use 1abc\nfunction x = f()\n x = 1;\n";
  EXPECT_FALSE(Pack("source \"a.vke\"\n"));
  EXPECT_EQ(PackErrorText(error), "a.vke: Bad library name (157)");
}

// An embedded library is compiled before the sources that use it and
// written under its file's name and its own, which precede its text.
TEST_F(Packing, AnEmbeddedLibraryIsWrittenUnderItsName) {
  const std::string library = "function r = area(x)\n r = x * x;\n";
  files["app/lib/geo.v1.vkl"] = library;
  files["app/a.vke"] = std::string("use geo\n") + kSource;
  ASSERT_TRUE(Pack("source \"a.vke\"\nlibrary \"lib/geo.v1.vkl\"\n")) << PackErrorText(error);
  std::vector<std::vector<uint32_t>> libraries;
  for (uint32_t pos = 0; pos < Host().block()->elementWords;) {
    std::vector<uint32_t> words = Next(&pos);
    if (words[0] == kElemEmbeddedLibrary) libraries.push_back(std::move(words));
  }
  ASSERT_EQ(libraries.size(), 2u);
  // The sources: their file's name and no library name.
  ASSERT_EQ(libraries[0][2], 8u);
  EXPECT_STREQ(reinterpret_cast<const char*>(libraries[0].data() + 6), "a.vke");
  EXPECT_EQ(reinterpret_cast<const char*>(libraries[0].data() + 6)[6], '\0');
  // The library: its file's name, then its own name.
  const std::vector<uint32_t>& geo = libraries[1];
  ASSERT_EQ(geo[2], 16u);
  ASSERT_EQ(geo[3], library.size());
  const char* bytes = reinterpret_cast<const char*>(geo.data() + 6);
  EXPECT_STREQ(bytes, "geo.v1.vkl");
  EXPECT_STREQ(bytes + 11, "geo");
  EXPECT_EQ(std::string(bytes + 16, library.size()), library);
}

// Every embedded source reads back as its file, under its file's name,
// whatever the length of the name: names of a whole number of words (whose
// NUL takes a word of its own) as much as the others.
TEST_F(Packing, EmbeddedSourcesReadBackAsTheirFiles) {
  files["app/demo.vke"] = kSource;
  files["app/loop.vke"] = "function y = two()\n y = 2;\n";
  files["app/abc.vke"] = "function y = three()\n y = 3;\n";
  files["app/lib/abcd.vkl"] = "function r = area(x)\n r = x * x;\n";
  files["app/lib/geom.vkl"] = "function r = cube(x)\n r = x ^ 3;\n";
  ASSERT_TRUE(
      Pack("source \"demo.vke\"\nsource \"loop.vke\"\nsource \"abc.vke\"\n"
           "library \"lib/abcd.vkl\"\nlibrary \"lib/geom.vkl\"\n"))
      << PackErrorText(error);
  KVContextBlock* b = Host().block();
  const ElementListView list{reinterpret_cast<const std::byte*>(b->ElementArea()), b->elementWords,
                             0, -2};
  std::map<std::string, std::string> read;
  for (uint32_t pos = 0; pos < b->elementWords;) {
    ElementRef element;
    ASSERT_TRUE(ReadElementAt(list, pos, &element));
    pos += element.length;
    EmbeddedSource source;
    if (element.kind != kElemEmbeddedLibrary) continue;
    ASSERT_TRUE(ReadEmbeddedSource(list, element, &source));
    if (source.fileName == "_menuFlags") continue;
    read[std::string(source.fileName)] = source.text;
    EXPECT_EQ(source.library, source.fileName.ends_with(".vkl")
                                  ? source.fileName.substr(0, source.fileName.size() - 4)
                                  : "");
  }
  EXPECT_EQ(read, (std::map<std::string, std::string>{
                      {"demo.vke", files["app/demo.vke"]},
                      {"loop.vke", files["app/loop.vke"]},
                      {"abc.vke", files["app/abc.vke"]},
                      {"abcd.vkl", files["app/lib/abcd.vkl"]},
                      {"geom.vkl", files["app/lib/geom.vkl"]},
                  }));
}

// A folder named as a source or an embedded file is refused with the
// system's reason, not packed as empty.
TEST_F(Packing, AFolderIsNoFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kvpack_folder_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "sub");
  for (const char* kvd : {"source \"sub\"\n", "embed \"x\" file \"sub\"\n"}) {
    NewHost();
    AppDescription app;
    ASSERT_TRUE(ParseDescription(kvd, "app.kv", &app, &error.error));
    EXPECT_FALSE(
        PackApplication(&Host(), app, (folder / "app.kvd").string(), &ReadDiskFile, &error));
    EXPECT_EQ(error.error.code, kErrIoErr) << PackErrorText(error);
    EXPECT_EQ(error.error.line, 1);
  }
  std::filesystem::remove_all(folder);
}

// An endless device named as a source or an embedded file stops at the
// tools' limit with a read error instead of filling the memory.
TEST_F(Packing, AnEndlessFileIsRefused) {
  for (const char* kvd : {"source \"/dev/zero\"\n", "var a\nembed \"x\" file \"/dev/zero\"\n"}) {
    NewHost();
    AppDescription app;
    ASSERT_TRUE(ParseDescription(kvd, "app.kv", &app, &error.error));
    EXPECT_FALSE(PackApplication(&Host(), app, "/nowhere/app.kvd", &ReadDiskFile, &error));
    EXPECT_EQ(error.error.code, kErrIoErr) << PackErrorText(error);
    EXPECT_NE(PackErrorText(error).find("larger than"), std::string::npos) << PackErrorText(error);
  }
}

// The packing tool reads only regular files: a named pipe (which would wait
// for a writer for ever) or a device named as a source or an embedded file
// is refused at once with the reason.
TEST_F(Packing, OnlyRegularFilesAreTakenIn) {
  const std::filesystem::path fifo =
      std::filesystem::temp_directory_path() / ("kvpack_fifo_" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& kvd :
       {"var a\nembed \"x\" file \"" + fifo.string() + "\"\n", "source \"" + fifo.string() + "\"\n",
        std::string("var a\nembed \"x\" file \"/dev/zero\"\n")}) {
    NewHost();
    AppDescription app;
    ASSERT_TRUE(ParseDescription(kvd, "app.kv", &app, &error.error));
    EXPECT_FALSE(PackApplication(&Host(), app, "/nowhere/app.kvd", &ReadRegularDiskFile, &error));
    EXPECT_EQ(error.error.code, kErrIoErr) << PackErrorText(error);
    EXPECT_NE(PackErrorText(error).find("not a regular file"), std::string::npos)
        << PackErrorText(error);
  }
  std::filesystem::remove(fifo);
}

// Absolute paths of sources and embedded files are taken as they are; only
// relative ones are found beside the description. A source saved with a
// byte-order mark compiles as without it.
TEST_F(Packing, AbsolutePathsStayAsTheyAre) {
  files["/src/a.vke"] = std::string("\xEF\xBB\xBF") + kSource;  // with a byte-order mark
  files["/data/d.txt"] = "hello";
  EXPECT_TRUE(Pack(
      "source \"/src/a.vke\"\nvar x y\ninit (x, y) = setup()\nembed \"d\" file \"/data/d.txt\"\n"))
      << PackErrorText(error);
}

// A block that grows while packing (a large embedded file, many handlers)
// still loads back into a fresh block as it was packed.
TEST_F(Packing, AGrownBlockLoadsBackAsPacked) {
  files["app/big.txt"] = std::string(300000, 'b');
  std::string kvd = "source \"a.vke\"\nvar x y\nembed \"big.txt\" file \"big.txt\"\n";
  for (int i = 0; i < 8000; i++) kvd += "after x: (y) = (x)\n";
  ASSERT_TRUE(Pack(kvd)) << PackErrorText(error);
  const std::string out = (std::filesystem::temp_directory_path() /
                           ("kvpack_grown_" + std::to_string(::getpid()) + ".img"))
                              .string();
  std::string message;
  EXPECT_TRUE(WriteImage(&Host(), "Grown", nullptr, out, {}, &message)) << message;
  std::filesystem::remove(out);
}

// An output that cannot be written is named with the system's reason, and
// a runtime that cannot be read with its own.
TEST_F(Packing, WriteProblemsNameTheFileAndTheReason) {
  ASSERT_TRUE(Pack("source \"a.vke\"\nvar x y\ninit (x, y) = setup()\n")) << PackErrorText(error);
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("kvpack_out_" + std::to_string(::getpid())))
          .string();
  std::filesystem::create_directories(folder + "/app");
  std::string message;
  EXPECT_FALSE(WriteImage(&Host(), "T", nullptr, folder + "/none/app", {}, &message));
  EXPECT_EQ(message, folder + "/none/app: cannot be written: No such file or directory");
  EXPECT_FALSE(WriteImage(&Host(), "T", nullptr, folder + "/app", {}, &message));
  EXPECT_EQ(message, folder + "/app: cannot be written: Is a directory");
  EXPECT_FALSE(WriteImage(&Host(), "T", (folder + "/kvrt").c_str(), folder + "/out", {}, &message));
  EXPECT_EQ(message, folder + "/kvrt: the runtime cannot be read: No such file or directory");
  std::filesystem::remove_all(folder);
}

// A handler written with a name where its function or inputs belong is
// refused with the table's code and message, and the forms it may take.
TEST_F(Packing, BindingErrorsTellTheFormsOfAHandler) {
  const std::string forms = "; " + std::string(kDescriptorForms);
  EXPECT_FALSE(Pack("source \"a.vke\"\nvar x\nfigure \"P\"\n  mousedown x = _x\n"));
  EXPECT_EQ(PackErrorText(error),
            "app/app.kvd:4: Bad function name in function declaration (10033): _x" + forms);
  NewHost();
  EXPECT_FALSE(Pack("source \"a.vke\"\nvar x y\ninit y = x\n"));
  EXPECT_EQ(error.error.code, kKvVarNameAsFunName);
  EXPECT_EQ(error.error.detail, "x" + forms);
  AppDescription app;
  EXPECT_FALSE(ParseDescription("var x\ninit x = \n", "app.kv", &app, &error.error));
  EXPECT_EQ(ErrorText(error.error),
            "Bad function name in function declaration (10033): " + std::string(kDescriptorForms));
  // Where the form is not the fault, none is told.
  NewHost();
  EXPECT_FALSE(Pack("source \"a.vke\"\ninit nothere()\n"));
  EXPECT_EQ(error.error.detail, "nothere");
}

// This program carries the runtime's mark, so that it can stand for the
// runtime here.
VKE_DEFINE_RUNTIME_MARK();

// Only a file with the runtime's mark is taken as the runtime; and the
// output is never the runtime or a file the application is made from,
// whatever name or link leads to it: each stays as it was.
TEST_F(Packing, TheRuntimeMustBeOneAndNoInputIsWrittenOver) {
  ASSERT_TRUE(Pack("source \"a.vke\"\nvar x y\ninit (x, y) = setup()\n")) << PackErrorText(error);
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("kvpack_inputs_" + std::to_string(::getpid())))
          .string();
  std::filesystem::create_directories(folder + "/sub");
  const std::string source = folder + "/a.vke";
  std::ofstream(source) << kSource;
  std::ofstream(folder + "/notes.txt") << "notes";
  ASSERT_EQ(::link(source.c_str(), (folder + "/hard.vke").c_str()), 0);
  ASSERT_EQ(::symlink("../a.vke", (folder + "/sub/soft.vke").c_str()), 0);
  // A copy of this program whose mark says something else is no runtime.
  std::string self;
  ASSERT_TRUE(ReadDiskFile("/proc/self/exe", &self));
  for (size_t at = 0; (at = self.find(kRuntimeMarkText, at)) != std::string::npos; at++)
    self[at] = 'v';
  std::ofstream(folder + "/unmarked", std::ios::binary) << self;

  std::string message;
  const auto write = [&](const char* runtime, const std::string& out) {
    return WriteImage(&Host(), "T", runtime, out, {folder + "/app.kvd", source}, &message);
  };
  for (const std::string& out :
       {source, folder + "/hard.vke", folder + "/sub/soft.vke", folder + "/sub/../a.vke"}) {
    EXPECT_FALSE(write(nullptr, out)) << out;
    EXPECT_EQ(message, out + ": not written: it is " + source + ", which kvpack reads");
  }
  std::string text;
  ASSERT_TRUE(ReadDiskFile(source, &text));
  EXPECT_EQ(text, kSource);

  const std::string runtime = folder + "/notes.txt";
  EXPECT_FALSE(write(runtime.c_str(), folder + "/app"));
  EXPECT_EQ(message, runtime + ": not a runtime (only the runtime kvrt carries its mark)");
  const std::string unmarked = folder + "/unmarked";
  EXPECT_FALSE(write(unmarked.c_str(), folder + "/app"));
  EXPECT_EQ(message, unmarked + ": not a runtime (only the runtime kvrt carries its mark)");
  EXPECT_FALSE(write(folder.c_str(), folder + "/app"));
  EXPECT_EQ(message, folder + ": the runtime cannot be read: Is a directory");
  EXPECT_FALSE(std::filesystem::exists(folder + "/app"));

  // This program is a runtime: an image goes behind it, but never over it.
  const std::string copy = folder + "/runtime";
  std::filesystem::copy_file("/proc/self/exe", copy);
  EXPECT_TRUE(write(copy.c_str(), folder + "/app")) << message;
  EXPECT_TRUE(FileCarriesImage((folder + "/app").c_str()));
  EXPECT_FALSE(write(copy.c_str(), copy));
  EXPECT_EQ(message, copy + ": not written: it is " + copy + ", which kvpack reads");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vke::kvpack
