// Error tables, raising, the pending and last error, printing, and the error
// builtins.
#include "engine/errors/raise.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/code/names.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::TestHost;
using test::TestHostOptions;
using test::TopString;

std::string BlockText(EngineContext* ctx, int32_t block) {
  const char* text;
  int32_t n;
  return ReadErrorBlock(ctx, block, nullptr, &text, &n) ? std::string(text, n) : "<none>";
}
std::string Pending(EngineContext* ctx) {
  return BlockText(ctx, ctx->pendingError);
}
std::string Last(EngineContext* ctx) {
  return BlockText(ctx, ctx->lastError);
}

std::string Text(EngineContext* ctx, ErrCode code, bool fromPending = false, int32_t size = 256) {
  char buffer[256];
  int32_t n = -1;
  GetErrorText(ctx, code, fromPending, buffer, size, &n);
  EXPECT_EQ(n, static_cast<int32_t>(std::strlen(buffer)));
  return buffer;
}

std::string PopString(EngineContext* ctx) {
  std::string s = TopString(ctx);
  Drop(ctx);
  return s;
}

// Fills every free unit of the block heap.
void FillBlockHeap(EngineContext* ctx) {
  int32_t index;
  for (uint32_t n = ctx->heapSize; n > 0; n /= 2)
    while (AllocEngineBlock(ctx, n, &index) == kOk) {
    }
}

// Records the innermost frame's function and position for error locations.
void SetFrameLocation(EngineContext* ctx, int32_t function, int32_t position) {
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  w[kFwFunction] = static_cast<uint32_t>(function);
  w[kFwPosition] = static_cast<uint32_t>(position);
}

// Function 1 of the function table, named "myfun".
void AddNamedFunction(EngineContext* ctx) {
  int32_t id;
  ASSERT_EQ(InternName(ctx, "myfun", 5, kMaxIdentifierLength, &id), kOk);
  uint8_t* entry = ctx->CodeBytes() + 16;
  std::memset(entry, 0, 16);
  Store<int32_t>(entry, id);
  ctx->funcCount = 2;
}

TEST(ErrorTables, EngineTableHoldsPlainRecordsThenTemplates) {
  std::set<ErrCode> plain;
  int i = 0;
  for (; i < kEngineErrorPlainCount; i++) {
    const ErrorTableRecord& r = kEngineErrorTable[i];
    ASSERT_TRUE(r.message && r.id && r.id[0]) << i;
    EXPECT_TRUE(plain.insert(r.code).second) << "code listed twice: " << r.code;
  }
  for (; i < kEngineErrorPlainCount + kEngineErrorTemplateCount; i++) {
    const ErrorTableRecord& r = kEngineErrorTable[i];
    ASSERT_TRUE(r.message && r.id) << i;
    EXPECT_TRUE(plain.count(r.code)) << "template without plain record: " << r.code;
    EXPECT_TRUE(std::strchr(r.message, '%')) << r.message;
  }
  EXPECT_EQ(kEngineErrorTable[i].message, nullptr);
}

TEST(ErrorTables, LookupTakesTheTablesInRegistryOrder) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_STREQ(FindErrorMessage(ctx, 29, false)->message, "Index out of range");
  EXPECT_STREQ(FindErrorMessage(ctx, 29, true)->message, "Index out of range (%i) for variable %v");
  EXPECT_STREQ(FindErrorMessage(ctx, 120, true)->message, "Undefined variable %v");
  EXPECT_STREQ(FindErrorMessage(ctx, 21, true)->message, "Bad size");  // no template
  EXPECT_EQ(FindErrorMessage(ctx, 777, false), nullptr);

  static const ErrorTableRecord kApp[] = {
      {10001, "appPlot", "Application plot message"}, {10002, "appOther", "Other"}, {0, 0, 0}};
  static const NativeFunctionRecord kBack[] = {MakeRecord("@apptest"),
                                               MakeRecord("+errmsgtable", kApp), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, kBack, false), kOk);
  EXPECT_STREQ(FindErrorMessage(ctx, 10001, false)->message, "Not enough memory for plot");
  EXPECT_STREQ(FindErrorMessage(ctx, 10002, false)->message, "Other");
}

TEST(ErrorIdentifiers, TableCodesAndInternedNames) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(FindErrorIdInTables(ctx, "VKE:badSize", -1), 21);
  EXPECT_EQ(FindErrorIdInTables(ctx, "VKE:stackOverflow", -1), 1);  // the first of 1 and 2
  EXPECT_EQ(FindErrorIdInTables(ctx, "VKE:plotOverflow", -1), 10001);
  for (const char* other : {"VKE:", "badSize", "VKE:badSizeX", "VKE:badsize"})
    EXPECT_EQ(FindErrorIdInTables(ctx, other, -1), 0) << other;

  ASSERT_EQ(GetErrorIdentifier(ctx, 21), kOk);
  EXPECT_EQ(PopString(ctx), "VKE:badSize");
  for (ErrCode none : {0, 777}) {
    ASSERT_EQ(GetErrorIdentifier(ctx, none), kOk);
    EXPECT_EQ(PopString(ctx), "") << none;
  }

  ErrCode code = RaiseErrorById(ctx, "myLib:thing", -1, "It broke", -1);
  EXPECT_LT(code, 0);
  EXPECT_EQ(Pending(ctx), "It broke");
  ASSERT_EQ(GetErrorIdentifier(ctx, code), kOk);
  EXPECT_EQ(PopString(ctx), "myLib:thing");
  EXPECT_EQ(RaiseErrorById(ctx, "VKE:badSize", -1, nullptr, -1), 21);
  EXPECT_EQ(RaiseErrorById(ctx, nullptr, 0, "plain", -1), kErrUser);
  EXPECT_EQ(Pending(ctx), "plain");
  const std::string longId(kMaxErrorIdentifierLength + 1, 'a');
  EXPECT_EQ(RaiseErrorById(ctx, longId.c_str(), -1, "x", -1), kErrNameTooLong);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(RaiseError, TemplatesTakeTheDetails) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t field;
  ASSERT_EQ(InternName(ctx, "alpha", 5, kMaxIdentifierLength, &field), kOk);
  struct Case {
    ErrCode code;
    ErrorDetails details;
    const char* text;
  };
  const Case cases[] = {
      {29, {"x", 0, 7, nullptr}, "Index out of range (7) for variable 'x'"},
      {29, {"x", 0, -1, nullptr}, "Index out of range for variable 'x'"},
      {120, {"x", 0, -1, "fn"}, "Undefined variable 'x'"},
      {174, {nullptr, 0, 10, nullptr}, "Unrecognized token 0x0a"},
      {174, {nullptr, 0, 'a', nullptr}, "Unrecognized token 'a'"},
      {201, {nullptr, 0, 3, "foobar"}, "Unknown variable or function 'foo'"},
      {201, {nullptr, 0, 0, "foobar"}, "Unknown variable or function"},
      {121, {nullptr, 0, -1, "my_fun2(x)"}, "Undefined function 'my_fun2'"},
      {39, {nullptr, field, -1, nullptr}, "Undefined structure field 'alpha'"},
      {190, {nullptr, 0, -1, "while"}, "Unbounded language construct 'while'"},
      {186, {nullptr, 0, 3, "f"}, "Wrong number of input arguments (3) for function 'f'"},
      {186, {}, "Wrong number of input arguments for function"},
      {37, {"s", field, -1, nullptr}, "Attempt to access field 'alpha' of non-struct variable 's'"},
      {21, {"x", 0, 7, nullptr}, "Bad size"},
      {777, {"x", 0, 7, nullptr}, "Error 777"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RaiseErrorWithDetails(ctx, c.code, c.details), c.code);
    EXPECT_EQ(Pending(ctx), c.text);
  }
  ErrCode stored = 0;
  ReadErrorBlock(ctx, ctx->pendingError, &stored, nullptr, nullptr);
  EXPECT_EQ(stored, 777);
  // A long variable name is cut to 32 characters.
  const std::string longName(40, 'v');
  RaiseErrorWithDetails(ctx, 120, {longName.c_str(), 0, -1, nullptr});
  EXPECT_EQ(Pending(ctx), "Undefined variable '" + longName.substr(0, 32) + "'");
  // Without a variable index no name is looked up.
  EXPECT_EQ(RaiseError(ctx, 29, -1, 0, 7, nullptr), 29);
  EXPECT_EQ(Pending(ctx), "Index out of range (7) for variable");
  EXPECT_EQ(RaiseError(ctx, 0, -1, 0, 7, nullptr), kOk);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(RaiseError, TextsAreCutToTheirBuffers) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  char buffer[32];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(ExpandErrorTemplate(ctx, "Index (%i) for %v", {"x", 0, 7, nullptr}, buffer, 8), 7);
  EXPECT_STREQ(buffer, "Index (");
  EXPECT_EQ(buffer[8], 'Z');
  EXPECT_EQ(Text(ctx, 29, false, 6), "Index");
  EXPECT_EQ(Text(ctx, 29, false, 1), "");

  // A full data stack leaves a local buffer for the text.
  ctx->dataTop = ctx->dataCap - 4;
  EXPECT_EQ(RaiseErrorWithDetails(ctx, 4, {"x", 0, -1, nullptr}), 4);
  EXPECT_EQ(Pending(ctx), "Data stack overflow for variable 'x'");
  ctx->dataTop = 0;

  // A pending text longer than the print buffer is printed cut.
  const std::string longText(300, 'm');
  ASSERT_EQ(FormatErrorMessage(ctx, kErrUser, longText.c_str(), -1, false), kOk);
  ASSERT_EQ(PrintError(ctx, kErrUser, false), kOk);
  EXPECT_EQ(host.Output(2), longText.substr(0, 123) + "\n");
  EXPECT_EQ(Last(ctx), longText);
}

TEST(RaiseError, LocationSuffix) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const ErrorDetails x{"x", 0, 7, nullptr};
  const std::string text = "Index out of range (7) for variable 'x'";
  struct Case {
    int32_t function, position;
    const char* suffix;
  };
  AddNamedFunction(ctx);
  const Case cases[] = {{-1, -1, ""},
                        {-2, 12, " ((inline);12)"},
                        {0, 12, " ((base);12)"},
                        {1, 1234567890, " (myfun;1234567890)"},
                        {1, 1, ""}};
  for (const Case& c : cases) {
    SetFrameLocation(ctx, c.function, c.position);
    RaiseErrorWithDetails(ctx, 29, x);
    EXPECT_EQ(Pending(ctx), text + c.suffix);
  }
  SetFrameLocation(ctx, 1, 12);
  EXPECT_EQ(RaiseErrorById(ctx, nullptr, 0, "user text", -1), kErrUser);
  EXPECT_EQ(Pending(ctx), "user text (myfun;12)");
  FormatErrorMessage(ctx, 21, "no location", -1, false);
  EXPECT_EQ(Pending(ctx), "no location");

  // GetErrorText adds the recorded location and error name to plain messages
  // when 71 bytes remain.
  std::memcpy(ctx->errLocName, "size", 5);
  EXPECT_EQ(Text(ctx, 21), "Bad size (myfun;12) 'size'");
  EXPECT_EQ(Text(ctx, 21, false, 78), "Bad size");
  EXPECT_EQ(Text(ctx, 21, false, 79), "Bad size (myfun;12) 'size'");
  ctx->errLocName[0] = 0;
  ctx->errLocPos = -1;
  EXPECT_EQ(Text(ctx, 21), "Bad size (myfun)");
  ctx->errLocFunc = -1;
  EXPECT_EQ(Text(ctx, 21), "Bad size");
}

// Function 2, "typed", of library entry 1, "_cli": a function a command
// defined.
void AddCommandLineFunction(EngineContext* ctx) {
  int32_t library, name;
  ASSERT_EQ(InternName(ctx, "_cli", 4, kMaxIdentifierLength, &library), kOk);
  ASSERT_EQ(InternName(ctx, "typed", 5, kMaxIdentifierLength, &name), kOk);
  uint8_t* entries = ctx->CodeBytes() + 16;
  std::memset(entries, 0, 32);
  Store<int32_t>(entries + 4, library);
  Store<int32_t>(entries + 16, name);
  Store<int32_t>(entries + 20, 1);
  ctx->funcCount = 3;
}

// With the host's file placing the runs of its code, an error of a
// command's code or of a function it defined names the file and the line,
// the first line too; no line recorded (0) names no place.
TEST(RaiseError, ThePlaceInTheHostsFile) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  AddCommandLineFunction(ctx);
  const ErrorDetails x{"x", 0, 7, nullptr};
  const std::string text = "Index out of range (7) for variable 'x'";
  struct Case {
    int32_t function, position;
    const char* suffix;
  };
  const Case placed[] = {{-1, 1, " (console, line 1)"},
                         {-1, 0, ""},
                         {2, 1, " (console, line 1)"},
                         {2, 14, " (console, line 14)"},
                         {2, 0, ""}};
  ctx->sourceFileName = "console";
  ctx->sourceFilePlacesRuns = 1;
  for (const Case& c : placed) {
    SetFrameLocation(ctx, c.function, c.position);
    RaiseErrorWithDetails(ctx, 29, x);
    EXPECT_EQ(Pending(ctx), text + c.suffix) << c.function << ";" << c.position;
  }
  ctx->errLocFunc = 2;
  ctx->errLocPos = 1;
  EXPECT_EQ(Text(ctx, 21), "Bad size (console, line 1)");
  ctx->errLocFunc = -1;
  ctx->errLocPos = 0;
  EXPECT_EQ(Text(ctx, 21), "Bad size");
  // Without it, the engine's own place.
  ctx->sourceFilePlacesRuns = 0;
  SetFrameLocation(ctx, 2, 14);
  RaiseErrorWithDetails(ctx, 29, x);
  EXPECT_EQ(Pending(ctx), text + " (_cli/typed;14)");
  ctx->sourceFileName = nullptr;
}

TEST(FormatErrorMessage, PlainMessagesAndFailedAllocation) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(FormatErrorMessage(ctx, 21, nullptr, 0, true), kOk);
  EXPECT_EQ(Pending(ctx), "Bad size");
  ASSERT_EQ(FormatErrorMessage(ctx, 777, nullptr, 0, true), kOk);
  EXPECT_EQ(Pending(ctx), "Error 777");
  ASSERT_EQ(FormatErrorMessage(ctx, 10, "abcdef", 3, true), kOk);
  EXPECT_EQ(Pending(ctx), "abc");
  ASSERT_EQ(FormatErrorMessage(ctx, 0, nullptr, 0, true), kOk);  // only frees
  EXPECT_EQ(ctx->pendingError, -1);

  ASSERT_EQ(FormatErrorMessage(ctx, 10, "old", -1, true), kOk);
  FillBlockHeap(ctx);
  const std::string text(100, 't');
  EXPECT_EQ(FormatErrorMessage(ctx, 10, text.c_str(), -1, true), kErrVarOverflow);
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(RaiseErrorWithDetails(ctx, 29, {"x", 0, 7, nullptr}), kErrVarOverflow);
  EXPECT_EQ(RaiseErrorById(ctx, "a:b", -1, text.c_str(), -1), kErrVarOverflow);
  EXPECT_EQ(ctx->pendingError, -1);
}

TEST(PendingAndLastError, GetErrorTextSources) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(Text(ctx, 777), "Error 777");
  EXPECT_EQ(Text(ctx, kErrUser), "User error");
  EXPECT_EQ(Text(ctx, 0), "");

  RaiseErrorById(ctx, nullptr, 0, "boom", -1);
  EXPECT_EQ(Text(ctx, kErrUser), "User error");  // pending, not yet the last error
  EXPECT_EQ(Text(ctx, 0, true), "");
  EXPECT_EQ(Text(ctx, kErrUser, true), "boom");
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(Last(ctx), "boom");
  for (ErrCode code : std::initializer_list<ErrCode>{kErrUser, -5, 777})
    EXPECT_EQ(Text(ctx, code), "boom") << code;
  EXPECT_EQ(Text(ctx, 21, true), "Bad size");

  // Every clear frees the previous last error: no block leaks.
  for (int i = 0; i < 100000; i++) {
    ASSERT_EQ(RaiseErrorById(ctx, nullptr, 0, "again and again", -1), kErrUser) << i;
    ClearPendingError(ctx);
  }
  EXPECT_EQ(Last(ctx), "again and again");
}

TEST(PrintError, WritesToDescriptorTwoWithTheHostsLineEnd) {
  TestHostOptions options;
  options.lineEnd = 2;
  TestHost host(options);
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(PrintError(ctx, 777, false), kOk);
  RaiseErrorWithDetails(ctx, 29, {"x", 0, 7, nullptr});
  ASSERT_EQ(PrintError(ctx, 29, false), kOk);
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(Last(ctx), "Index out of range (7) for variable 'x'");
  ASSERT_EQ(PrintError(ctx, 21, true), kOk);
  EXPECT_EQ(Last(ctx), "Bad size");
  EXPECT_EQ(host.Output(2), "Error 777\r\nIndex out of range (7) for variable 'x'\r\nBad size\r\n");
  EXPECT_EQ(host.Output(1), "");
}

TEST(ErrorBuiltin, IdentifiersAndMessages) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "VKE:badSize");
  EXPECT_EQ(IssueErrorOrWarning(ctx, 1, false), 21);
  EXPECT_EQ(ctx->pendingError, -1);

  PushCString(ctx, -1, "myLib:thing");
  const ErrCode code = IssueErrorOrWarning(ctx, 1, false);
  EXPECT_LT(code, 0);
  ASSERT_EQ(GetErrorIdentifier(ctx, code), kOk);
  EXPECT_EQ(PopString(ctx), "myLib:thing");
  PushCString(ctx, -1, "myLib:thing");
  PushCString(ctx, -1, "It went wrong");
  EXPECT_EQ(IssueErrorOrWarning(ctx, 2, false), code);
  EXPECT_EQ(Pending(ctx), "It went wrong");

  // Not identifiers: a blank, no colon, more than 66 characters.
  const std::string tooLong = "a:" + std::string(65, 'b');
  for (const std::string& text : {std::string("has space: x"), std::string("nocolon"), tooLong}) {
    PushCString(ctx, -1, text.c_str());
    EXPECT_EQ(IssueErrorOrWarning(ctx, 1, false), kErrUser) << text;
    EXPECT_EQ(Pending(ctx), text);
  }
  PushCString(ctx, -1, tooLong.c_str() + 1);  // 66 characters
  EXPECT_LT(IssueErrorOrWarning(ctx, 1, false), 0);
  EXPECT_EQ(EntryCount(ctx), 0);

  // A template without values: "%%" is "%", a conversion ends the text.
  struct Case {
    const char* tmpl;
    const char* text;
  };
  const Case cases[] = {
      {"100%% sure", "100% sure"},  {"count %d left", "count "}, {"odd %-5.2q here", "odd %q here"},
      {"trailing %", "trailing %"}, {"width %*d", "width "},     {"%_x", "%_x"}};
  for (const Case& c : cases) {
    PushCString(ctx, -1, c.tmpl);
    EXPECT_EQ(IssueErrorOrWarning(ctx, 1, false), kErrUser) << c.tmpl;
    EXPECT_EQ(Pending(ctx), c.text);
  }
  FormatErrorMessage(ctx, 0, nullptr, 0, false);
  for (const char* empty : {"", "%d"}) {
    PushCString(ctx, -1, empty);
    EXPECT_EQ(IssueErrorOrWarning(ctx, 1, false), kOk);
  }
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(EntryCount(ctx), 0);

  EXPECT_EQ(IssueErrorOrWarning(ctx, 0, false), kErrTooFewArgin);
  PushRealScalar(ctx, 42);
  EXPECT_EQ(IssueErrorOrWarning(ctx, 1, false), kErrBadArg);
}

TEST(WarningBuiltin, WritesAndRaisesNothing) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "careful: 50%% done");
  EXPECT_EQ(IssueErrorOrWarning(ctx, 1, true), kOk);
  // An identifier does not turn a warning into an error.
  PushCString(ctx, -1, "VKE:badSize");
  PushCString(ctx, -1, "check the size");
  EXPECT_EQ(IssueErrorOrWarning(ctx, 2, true), kOk);
  PushCString(ctx, -1, "my:id");
  EXPECT_EQ(IssueErrorOrWarning(ctx, 1, true), kOk);
  EXPECT_EQ(host.Output(2), "careful: 50% done\ncheck the size\n");
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(LastErrorBuiltins, TextIdentifierStructureAndRethrow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(LastErrorBuiltin(ctx, 2, false), kOk);  // nothing raised yet
  EXPECT_EQ(PopString(ctx), "");
  EXPECT_EQ(PopString(ctx), "");

  PushCString(ctx, -1, "my:id");
  PushCString(ctx, -1, "It failed");
  const ErrCode code = IssueErrorOrWarning(ctx, 2, false);
  ClearPendingError(ctx);  // as the execution loop does when it takes the error
  ASSERT_EQ(LastErrorBuiltin(ctx, 2, false), kOk);
  EXPECT_EQ(PopString(ctx), "It failed");
  EXPECT_EQ(PopString(ctx), "my:id");

  ASSERT_EQ(LastErrorBuiltin(ctx, 1, true), kOk);
  ASSERT_EQ(GetStructField(ctx, 0, "message", -1), kOk);
  EXPECT_EQ(PopString(ctx), "It failed");
  ASSERT_EQ(GetStructField(ctx, 0, "identifier", -1), kOk);
  EXPECT_EQ(PopString(ctx), "my:id");
  ASSERT_EQ(RethrowBuiltin(ctx, 1), code);
  EXPECT_EQ(Pending(ctx), "It failed");
  EXPECT_EQ(EntryCount(ctx), 0);

  PushCString(ctx, -1, "plain");
  ASSERT_EQ(IssueErrorOrWarning(ctx, 1, false), kErrUser);
  ClearPendingError(ctx);
  ASSERT_EQ(LastErrorBuiltin(ctx, 2, false), kOk);
  EXPECT_EQ(PopString(ctx), "plain");
  EXPECT_EQ(PopString(ctx), "VKE:user");
}

TEST(RethrowBuiltin, FieldsOfTheStructure) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto push = [&](const char* message, const char* id) {
    if (message) PushCString(ctx, -1, message);
    if (message) PushListFromEntries(ctx, 1, false, "message", -1);
    if (id) PushCString(ctx, -1, id);
    if (id) PushListFromEntries(ctx, 1, message != nullptr, "identifier", -1);
  };
  push("50% off: now", "my:id");  // taken as it is, "%" and all
  EXPECT_LT(RethrowBuiltin(ctx, 1), 0);
  EXPECT_EQ(Pending(ctx), "50% off: now");
  push("a:b", nullptr);  // without identifier the message is not read as one
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kErrUser);
  EXPECT_EQ(Pending(ctx), "a:b");
  push("boom", "");
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kErrUser);
  EXPECT_EQ(Pending(ctx), "boom");

  FormatErrorMessage(ctx, 0, nullptr, 0, false);
  push(nullptr, "VKE:badSize");
  EXPECT_EQ(RethrowBuiltin(ctx, 1), 21);
  push("", "VKE:badSize");
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kOk);
  EXPECT_EQ(ctx->pendingError, -1);
  EXPECT_EQ(EntryCount(ctx), 0);

  PushRealScalar(ctx, 1);
  PushListFromEntries(ctx, 1, false, "other", -1);
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kErrUndefField);
  Drop(ctx);
  PushCString(ctx, -1, "not a structure");
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kErrWrongType);
  EXPECT_EQ(RethrowBuiltin(ctx, 0), kErrTooFewArgin);
  Drop(ctx);
  push("boom", nullptr);
  PushRealScalar(ctx, 1);
  PushListFromEntries(ctx, 1, true, "identifier", -1);
  EXPECT_EQ(RethrowBuiltin(ctx, 1), kErrBadArg);
}

}  // namespace
}  // namespace vke
