// The compile driver and the libraries: functions defined from sources and
// compiled in the code area, compiled on demand, libraries loaded through
// "+readlib" hooks with their use lists, private functions and reloading.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "compiler/compile_calls.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/code_text.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Disassemble;
using test::TestHost;

// Library sources served by a "+readlib" hook.
std::map<std::string, std::string> g_libraries;

ErrCode ReadLibrary(EngineContext*, const char* name, const char*, uintptr_t, char* buffer,
                    int32_t capacity, int32_t* length) {
  auto it = g_libraries.find(name);
  if (it == g_libraries.end()) return kErrFileNotFound;
  if (static_cast<int32_t>(it->second.size()) > capacity) return kErrDataOverflow;
  std::memcpy(buffer, it->second.data(), it->second.size());
  *length = static_cast<int32_t>(it->second.size());
  return kOk;
}

const NativeFunctionRecord kLibraryTable[] = {
    MakeRecord("@libraries"),
    MakeRecord("+readlib", &ReadLibrary),
    MakeRecord(""),
};

int32_t Find(EngineContext* ctx, const char* name, int32_t scope) {
  return FindFunction(ctx, name, static_cast<int32_t>(std::strlen(name)), nullptr, 0, scope, true,
                      nullptr);
}

// The code part of a compiled function.
std::string CodeOf(EngineContext* ctx, int32_t index) {
  const FunctionTableEntry* e = GetFunctionEntry(ctx, index);
  if (!e || e->code <= 0) return "(not compiled)";
  const auto* block = reinterpret_cast<const int16_t*>(ctx->CodeBytes()) + e->code;
  const FunctionHeader h = ReadFunctionHeader(reinterpret_cast<const uint8_t*>(block));
  int32_t end = static_cast<int32_t>(h.CodeAt());
  while (block[end] != kOpReturn) end += GetInstructionLength(block + end);
  return Disassemble(block + h.CodeAt(), end + 1 - static_cast<int32_t>(h.CodeAt()));
}

TEST(CompileDriver, SourceFunctionsCompileOnceIntoTheCodeArea) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const std::string text =
      "function y = one(x)\n  y = x + 1;\nendfunction\n"
      "function y = two(x)\n  y = one(x) * 2;\n";
  ASSERT_EQ(DefineSourceFunctions(ctx, text.data(), static_cast<int32_t>(text.size()), 0), kOk);
  const int32_t one = Find(ctx, "one", 0), two = Find(ctx, "two", 0);
  ASSERT_GT(one, 0);
  ASSERT_GT(two, 0);
  EXPECT_EQ(CodeOf(ctx, one), "loadvar 1 pushone plus storevar 0 return");
  EXPECT_EQ(CodeOf(ctx, two), "loadvar 1 callfn " + std::to_string(one) +
                                  " 1 1 pushsmallint 2 mtimes storevar 0 return");
  EXPECT_EQ(GetFunctionEntry(ctx, one)->code % 4, 0);
  // A function calls one defined after it in the same text directly.
  const std::string forward =
      "function y = first(x)\n  y = second(x);\nendfunction\nfunction y = second(x)\n  y = x;\n";
  ASSERT_EQ(DefineSourceFunctions(ctx, forward.data(), static_cast<int32_t>(forward.size()), 0),
            kOk);
  EXPECT_EQ(
      CodeOf(ctx, Find(ctx, "first", 0)),
      "loadvar 1 callfn " + std::to_string(Find(ctx, "second", 0)) + " 1 1 storevar 0 return");
  // A second compilation is refused and keeps the first code.
  const int32_t code = GetFunctionEntry(ctx, one)->code;
  EXPECT_EQ(CompileFunctionEntry(ctx, one, text.data(), static_cast<int32_t>(text.size()), 1),
            kErrFunAlreadyDefined);
  EXPECT_EQ(GetFunctionEntry(ctx, one)->code, code);
}

TEST(CompileDriver, UnknownNamesBecomeFunctionsFoundLater) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const std::string text = "function f\n  later(1);\n";
  // "later" has no source anywhere: the pending compilation reports it.
  EXPECT_EQ(DefineSourceFunctions(ctx, text.data(), static_cast<int32_t>(text.size()), 0),
            kErrFunNotFound);
  const int32_t later = FindFunctionGlobally(ctx, "later", 5, nullptr, 0);
  ASSERT_GT(later, 0);
  EXPECT_EQ(GetFunctionEntry(ctx, later)->code, kCodeNotCompiled);
  EXPECT_GT(GetFunctionEntry(ctx, Find(ctx, "f", 0))->code, 0);
  // A failed compilation leaves the fill position where it was.
  const uint32_t end = ctx->codeEnd;
  const std::string bad = "function g\n  x = (1;\n";
  EXPECT_NE(DefineSourceFunctions(ctx, bad.data(), static_cast<int32_t>(bad.size()), 0), kOk);
  EXPECT_EQ(ctx->codeEnd, end);
}

TEST(CompileDriver, AFailedDefinitionLeavesNothingThatBreaksTheNext) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto define = [&](const std::string& text) {
    return DefineSourceFunctions(ctx, text.data(), static_cast<int32_t>(text.size()), 0);
  };
  // A text that does not compile, then one that misses a function: the
  // texts after them compile and report only what they miss themselves.
  EXPECT_EQ(define("function g\n  soon(1);\n  x = (1;\n"), kErrUnexpectedSemicolon);
  EXPECT_EQ(define("function y = h(x)\n  y = x;\n"), kOk);
  EXPECT_EQ(CodeOf(ctx, Find(ctx, "h", 0)), "loadvar 1 storevar 0 return");
  EXPECT_EQ(define("function f\n  later(1);\n"), kErrFunNotFound);
  EXPECT_EQ(define("function y = k(x)\n  y = x;\n"), kOk);
  EXPECT_GT(GetFunctionEntry(ctx, Find(ctx, "k", 0))->code, 0);
  EXPECT_EQ(define("function m\n  later(2);\n  missing(3);\n"), kErrFunNotFound);
}

// "private" or "public" before "function" on its line sets the visibility
// of that definition: the definition begins there, for the command line's
// text as for the function before it, which ends there.
TEST(CompileDriver, AVisibilityWordBeforeADefinitionOnItsLine) {
  TestHost host;
  EXPECT_EQ(test::RunForOutput(host,
                               "private function r = h(x)\n  r = x + 1;\nendfunction\n"
                               "function r = g(x)\n  r = 10 * x;\n"
                               "public function r = k(x)\n  r = x - 1;\nendfunction\n"
                               "fprintf('%d %d %d\\n', h(1), g(2), k(3));"),
            "2 20 2\n");
}

TEST(CompileDriver, LibrariesLoadTheLibrariesTheyUse) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(RegisterLibrary(ctx, kLibraryTable, true), kOk);
  g_libraries = {
      {"t",
       "use u\nfunction y = sq(x)\n  y = helper(x) ^ 2;\nendfunction\n"
       "private\nfunction z = helper(x)\n  z = x + 1;\nendfunction\n"},
      {"u", "function y = cube(x)\n  y = x ^ 3;\nendfunction\ndefine limit = 10\n"},
  };
  int32_t cli;
  ASSERT_EQ(CommandLineLibrary(ctx, &cli), kOk);
  const std::string line = "use t";
  ASSERT_EQ(ProcessUseStatements(ctx, cli, line.data(), 5, nullptr, 0, true), kOk);
  ASSERT_EQ(LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0), kOk);
  // Visible from the command line: t's public functions, not its private
  // one, and not u's (only t uses u).
  const int32_t sq = Find(ctx, "sq", cli);
  ASSERT_GT(sq, 0);
  EXPECT_LT(Find(ctx, "helper", cli), 0);
  EXPECT_LT(Find(ctx, "cube", cli), 0);
  int32_t t = -1;
  ASSERT_EQ(FindLibraryEntry(ctx, "t", 1, false, &t), kOk);
  EXPECT_GT(Find(ctx, "helper", t), 0);
  EXPECT_GT(Find(ctx, "cube", t), 0);
  // Compiled on first use; a constant returns its value.
  ErrCode e;
  EXPECT_EQ(FindFunctionByName(ctx, "sq", 2, cli, 0, &e), sq);
  EXPECT_EQ(e, kOk);
  EXPECT_EQ(CodeOf(ctx, sq), "loadvar 1 callfn " + std::to_string(Find(ctx, "helper", t)) +
                                 " 1 1 pushsmallint 2 mpower storevar 0 return");
  int32_t u = -1;
  ASSERT_EQ(FindLibraryEntry(ctx, "u", 1, false, &u), kOk);
  const int32_t limit = FindFunctionByName(ctx, "limit", 5, t, 0, &e);
  ASSERT_GT(limit, 0);
  EXPECT_EQ(CodeOf(ctx, limit), "pushsmallint 10 storevar 0 return");
  int32_t maxIn, maxOut;
  ASSERT_EQ(ResolveFunctionInScope(ctx, "sq", 2, cli, &maxIn, &maxOut, nullptr, nullptr), kOk);
  EXPECT_EQ(maxIn, 1);
  EXPECT_EQ(maxOut, 1);
}

TEST(CompileDriver, UseOnTheCommandLineReadsAChangedLibraryAgain) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(RegisterLibrary(ctx, kLibraryTable, true), kOk);
  g_libraries = {{"m", "function y = f\n  y = 1;\n"}};
  int32_t cli;
  ASSERT_EQ(CommandLineLibrary(ctx, &cli), kOk);
  auto use = [&] {
    EXPECT_EQ(ProcessUseStatements(ctx, cli, "use m", 5, nullptr, 0, true), kOk);
    EXPECT_EQ(LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0), kOk);
    ErrCode e;
    int32_t f = FindFunctionByName(ctx, "f", 1, cli, 0, &e);
    EXPECT_EQ(e, kOk);
    return CodeOf(ctx, f);
  };
  EXPECT_EQ(use(), "pushone storevar 0 return");
  g_libraries["m"] = "function y = f\n  y = 2;\n";
  EXPECT_EQ(use(), "pushsmallint 2 storevar 0 return");
  // A library that is not there: "useifexists" skips it, "use" reports it.
  EXPECT_EQ(ProcessUseStatements(ctx, cli, "useifexists nothere", 19, nullptr, 0, true), kOk);
  EXPECT_EQ(LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0), kOk);
  EXPECT_EQ(ProcessUseStatements(ctx, cli, "use nothere", 11, nullptr, 0, true), kOk);
  EXPECT_EQ(LoadLibraryDefinitions(ctx, cli, "", 0, nullptr, 0), kErrLibNotFound);
  EXPECT_EQ(ProcessUseStatements(ctx, cli, "use 3x", 6, nullptr, 0, true), kErrBadLibName);
}

// A script's compile errors are placed in its file, at the line of the
// file, in its text and in the functions it defines; a text compiled from
// elsewhere (an eval text) keeps the engine's place.
TEST(CompileDriver, AScriptsCompileErrorsNameItsFileAndLine) {
  const std::string script =
      "s = [1 2 3];\n% sorted?\n\n\nif all(s == sort(s)) disp('sorted ok'); end\n";
  const std::string defines = "x = 1;\nf(2)\nfunction f(a)\n disp(a)\n y = \"b\";\n";
  const std::string header = "x = 1;\n\nfunction [a = f(x)\n a = 1;\n";
  const std::string eval = "x = 1;\n\neval('y = [1 $ 2]')\n";
  const struct {
    const std::string& text;
    const char* said;
  } cases[] = {
      {script, "Unrecognized token 'd' (script.vke, line 5)\n"},
      {defines,
       "Unrecognized token '\"': text is written between single quotes, as in 'text' "
       "(script.vke, line 5)\n"},
      {header, "Bad function header (script.vke, line 3)\n"},
      {eval, "Unrecognized token '$'\n"},
  };
  for (const auto& c : cases) {
    TestHost host;
    SetSourceFile(host.ctx(), "script.vke", c.text.data(), static_cast<int32_t>(c.text.size()));
    EXPECT_NE(test::RunCommandLine(host.ctx(), c.text), kOk) << c.text;
    EXPECT_EQ(host.Output(2), c.said) << c.text;
  }
  // The same text read from no file keeps the engine's place.
  TestHost host;
  EXPECT_NE(test::RunCommandLine(host.ctx(), script), kOk);
  EXPECT_EQ(host.Output(2), "Unrecognized token 'd' (5)\n");
}

// The errors a script's text makes before its code compiles (a function
// name too long, a "use" of a library that is not there) and a statement
// nested too deep over several lines name the line where they stand, from
// the start of the file or of a console's command that starts on a later
// line; a library that a library uses has no line of the script.
TEST(CompileDriver, ErrorsBeforeAndAcrossStatementsNameTheirLine) {
  const std::string tooLong = "x = 1;\n\nfunction r = " + std::string(40, 'n') + "(a)\n r = a;\n";
  const std::string use = "x = 1;\n% libraries\nuse present, absent\n";
  const std::string nested = "x = 1;\ny = " + std::string(40, '(') + " ...\n" +
                             std::string(40, '(') + " ...\n1" + std::string(80, ')') + ";\n";
  const std::string deeper = "use present\nuse uses_absent\n";
  const struct {
    const std::string& text;
    int32_t firstLine;
    const char* said;
  } cases[] = {
      {tooLong, 1,
       "Name too long 'nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn' (script.vke, line 3)\n"},
      {tooLong, 5,
       "Name too long 'nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn' (script.vke, line 7)\n"},
      {use, 1, "Library not found 'absent' (script.vke, line 3)\n"},
      {use, 10, "Library not found 'absent' (script.vke, line 12)\n"},
      {nested, 1, "Too many nested parentheses (script.vke, line 2)\n"},
      {nested, 3, "Too many nested parentheses (script.vke, line 4)\n"},
      {deeper, 1, "Library not found 'absent'\n"},
  };
  g_libraries = {{"present", "function y = here\n  y = 1;\n"},
                 {"uses_absent", "use absent\nfunction y = there\n  y = 2;\n"}};
  for (const auto& c : cases) {
    TestHost host;
    ASSERT_EQ(RegisterLibrary(host.ctx(), kLibraryTable, true), kOk);
    SetSourceFile(host.ctx(), "script.vke", c.text.data(), static_cast<int32_t>(c.text.size()),
                  c.firstLine, true);
    EXPECT_NE(test::RunCommandLine(host.ctx(), c.text), kOk) << c.text;
    EXPECT_EQ(host.Output(2), c.said) << c.text;
  }
  // Read from no file they name no place.
  TestHost host;
  ASSERT_EQ(RegisterLibrary(host.ctx(), kLibraryTable, true), kOk);
  EXPECT_NE(test::RunCommandLine(host.ctx(), use), kOk);
  EXPECT_EQ(host.Output(2), "Library not found 'absent'\n");
}

}  // namespace
}  // namespace vke
