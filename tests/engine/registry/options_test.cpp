// Option tables, option structures built and updated from name/value pairs,
// and the readers that take single options with their defaults.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "engine/errors/errors.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::TestHost;

// A table as text: name(type[,h])=defaults; ...
std::string Describe(const OptionRecord* table) {
  std::ostringstream os;
  for (const OptionRecord* r = table; r->type != kOptionEndOfTable; r++) {
    os << r->name << "(" << r->type << (r->hidden ? ",h" : "") << ")";
    int n = r->type == kOptionLogical ? 1 : r->type <= kOptionRow4 ? int(r->type) + 1 : 0;
    for (int i = 0; i < n; i++) os << (i ? "," : "=") << r->def.values[i];
    os << "; ";
  }
  return os.str();
}

// The value on top as short text: 'chars', true/false, a list, or numbers.
std::string Show(EngineContext* ctx) {
  if (IsListValue(ctx, 0)) return "list";
  NumericView v = ViewNumeric(ctx, 0);
  std::ostringstream os;
  for (int32_t i = 0; i < v.shape.count; i++) {
    if (v.cls == ValueClass::kChar) os << char(v.elements[2 * i]);
    if (v.cls == ValueClass::kLogical) os << (v.elements[i] ? "true" : "false");
    if (v.cls == ValueClass::kDouble) os << (i ? " " : "") << Load<double>(v.elements + 8 * i);
  }
  if (v.cls == ValueClass::kChar) return "'" + os.str() + "'";
  return v.shape.count == 1 ? os.str() : "[" + os.str() + "]";
}

// The field names of the structure on top, then the values of the named
// fields.
std::string Fields(EngineContext* ctx, std::initializer_list<const char*> names = {}) {
  std::string out;
  const char* name;
  int32_t len;
  for (int32_t i = 1; GetStructFieldName(ctx, 0, i, &name, &len) == kOk; i++)
    out.append(i > 1 ? " " : "").append(name, static_cast<size_t>(len));
  for (const char* field : names) {
    if (GetStructField(ctx, 0, field, -1) != kOk) return out + " / no " + field;
    out += (field == *names.begin() ? " / " : " ") + Show(ctx);
    Drop(ctx);
  }
  return out;
}

void PushPair(EngineContext* ctx, const char* name, double value) {
  PushCString(ctx, -1, name);
  PushRealScalar(ctx, value);
}

TEST(OptionTables, HoldTheOptionsOfEachNative) {
  EXPECT_EQ(Describe(kOptimsetTable), "Display(4)=0; MaxFunEvals(5); MaxIter(5); TolX(5); ");
  EXPECT_EQ(Describe(kOdesetTable),
            "AbsTol(0)=1e-06; Events(5); EventTime(5); InitialStep(5); MaxStep(5); MinStep(5); "
            "NormControl(4)=0; OnEvent(5); OutputFcn(5); Past(4)=0; PreArg(6); Refine(5); "
            "RelTol(0)=0.001; Stats(4)=0; ");
  EXPECT_EQ(Describe(kSerialdevsetTable),
            "BPS(0)=19200; Delay(0)=0; Handshake(4)=0; StopBits(0)=2; TextMode(4)=0; "
            "Timeout(0)=1; ");
  EXPECT_EQ(Describe(kThreadsetTable),
            "Priority(0)=0; Running(4,h)=1; Sandbox(4)=0; StackSize(0)=8192; ");
  EXPECT_EQ(Describe(kResponsesetTable), "Delay(0)=0; NegFreq(4)=0; Range(5,h); tOnly(4,h)=0; ");
  EXPECT_EQ(Describe(kDialogsetTable), "NPrec(0)=15; Prompt(7); Title(7); Format(7,h); ");
  EXPECT_EQ(Describe(kFontsetTable),
            "Font(7); Size(0)=10; Bold(4)=0; Italic(4)=0; Underline(4)=0; Outline(4,h)=0; "
            "Color(2)=0,0,0; ");
  EXPECT_EQ(FindOptionRecord(kThreadsetTable, "StackSizeX", 9), 3);  // the length counts
  EXPECT_EQ(FindOptionRecord(kThreadsetTable, "StackSize", 8), -1);
}

TEST(SetOptions, BuildsDefaultsAndTakesNameValuePairs) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(SetOptions(ctx, 0, kThreadsetTable), kOk);
  EXPECT_EQ(Fields(ctx, {"Priority", "Sandbox", "StackSize"}),
            "Priority Sandbox StackSize / 0 false 8192");
  ASSERT_EQ(SetOptions(ctx, 0, kFontsetTable), kOk);
  EXPECT_EQ(Fields(ctx, {"Font", "Color"}), "Font Size Bold Italic Underline Color / '' [0 0 0]");
  ASSERT_EQ(SetOptions(ctx, 0, kOdesetTable), kOk);
  EXPECT_EQ(Fields(ctx, {"PreArg", "Events", "RelTol"}),
            "AbsTol Events EventTime InitialStep MaxStep MinStep NormControl OnEvent OutputFcn "
            "Past PreArg Refine RelTol Stats / list [] 0.001");
  Drop(ctx, 3);
  // A hidden option is set on request; a later pair wins.
  PushCString(ctx, -1, "Running");
  PushLogicalScalar(ctx, 0);
  PushPair(ctx, "Priority", 3);
  PushPair(ctx, "Priority", 4);
  ASSERT_EQ(SetOptions(ctx, 6, kThreadsetTable), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(Fields(ctx, {"Running", "Priority"}), "Priority Sandbox StackSize Running / false 4");
}

TEST(SetOptions, UpdatesAGivenStructureInPlace) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  PushListFromEntries(ctx, 1, false, "Extra", -1);  // a field no table knows
  PushPair(ctx, "Priority", 2);
  ASSERT_EQ(SetOptions(ctx, 3, kThreadsetTable), kOk);
  // A longer value, then a shorter one, keep the other fields and their order.
  PushCString(ctx, -1, "Priority");
  double* re;
  PushNewMatrix(ctx, 1, 5, &re, nullptr);
  for (int i = 0; i < 5; i++) re[i] = i + 1;
  PushPair(ctx, "Sandbox", 1);
  ASSERT_EQ(SetOptions(ctx, 5, kThreadsetTable), kOk);
  EXPECT_EQ(Fields(ctx, {"Extra", "Priority"}), "Extra Priority Sandbox / 1 [1 2 3 4 5]");
  PushPair(ctx, "Priority", 7);
  ASSERT_EQ(SetOptions(ctx, 3, kThreadsetTable), kOk);
  EXPECT_EQ(Fields(ctx, {"Priority", "Sandbox"}), "Extra Priority Sandbox / 7 1");
  EXPECT_EQ(EntryCount(ctx), 1);
}

TEST(SetOptions, BadArgumentsAreLeftAsGiven) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  auto fails = [&](int32_t nargin) {
    ErrCode e = SetOptions(ctx, nargin, kThreadsetTable);
    EXPECT_EQ(EntryCount(ctx), nargin);
    Drop(ctx, nargin);
    return e;
  };
  PushPair(ctx, "stacksize", 1);  // names are case-sensitive
  EXPECT_EQ(fails(2), kErrUnknownOpt);
  uint16_t* chars;
  PushNewCharRow(ctx, 7, &chars);  // "Sandbox" with a wide first character whose low byte is 'S'
  for (int i = 0; i < 7; i++) chars[i] = static_cast<uint16_t>("Sandbox"[i]);
  chars[0] = 0x153;
  PushRealScalar(ctx, 1);
  EXPECT_EQ(fails(2), kErrUnknownOpt);
  PushRealScalar(ctx, 1);  // a name that is no text
  PushRealScalar(ctx, 1);
  EXPECT_EQ(fails(2), kErrWrongType);
  PushRealScalar(ctx, 5);  // an odd count needs a structure first
  PushPair(ctx, "Priority", 1);
  EXPECT_EQ(fails(3), kErrWrongType);
  SetOptions(ctx, 0, kThreadsetTable);
  PushPair(ctx, "Priority", 1);
  PushPair(ctx, "Nice", 1);
  EXPECT_EQ(SetOptions(ctx, 5, kThreadsetTable), kErrUnknownOpt);
  EXPECT_TRUE(IsStructValue(ctx, 4));
  Drop(ctx, 4);
  // The data stack full but for two units: no room to grow a field.
  PushCString(ctx, -1, "Priority");
  PushNewMatrix(ctx, 1, static_cast<int32_t>(ctx->dataCap - ctx->dataTop - 2), nullptr, nullptr);
  EXPECT_EQ(SetOptions(ctx, 3, kThreadsetTable), kErrDataOverflow);
  Drop(ctx, 2);
  EXPECT_EQ(Fields(ctx, {"Priority"}), "Priority Sandbox StackSize / 0");
  // Nor for a new structure of defaults.
  PushNewMatrix(ctx, 1, static_cast<int32_t>(ctx->dataCap - ctx->dataTop - 6), nullptr, nullptr);
  EXPECT_EQ(SetOptions(ctx, 0, kOdesetTable), kErrDataOverflow);
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST(OptionReaders, EmptyAndAbsentOptionsGiveDefaults) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushEmptyMatrix(ctx);  // [] in place of a structure
  ASSERT_EQ(GetOptionsArg(ctx, 0, "AbsTol", kOdesetTable), kOk);
  EXPECT_EQ(Show(ctx), "1e-06");
  Drop(ctx, 2);
  PushCString(ctx, -1, "TolX");
  double* re;
  PushNewMatrix(ctx, 1, 2, &re, nullptr);
  re[0] = re[1] = 1;
  PushCString(ctx, -1, "MaxIter");
  PushEmptyMatrix(ctx);
  PushCString(ctx, -1, "Display");
  PushCString(ctx, -1, "");  // empty, but not a plain double
  ASSERT_EQ(SetOptions(ctx, 6, kOptimsetTable), kOk);
  double x = 0;
  EXPECT_EQ(GetOptionField(ctx, 0, "TolX", kOptimsetTable, 5, &x), kErrBadSize);
  EXPECT_EQ(GetOptionField(ctx, 0, "MaxIter", kOptimsetTable, 500, &x), kOk);
  EXPECT_EQ(x, 500);  // no default of its own: the caller's
  EXPECT_EQ(GetOptionField(ctx, 0, "Display", kOptimsetTable, 5, &x), kOk);
  EXPECT_EQ(x, 0);  // a logical option's own default wins over the caller's
  uint8_t b = 9;
  EXPECT_EQ(GetBooleanOption(ctx, 0, "MaxIter", kOptimsetTable, 7, &b), kOk);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(GetOptionField(ctx, 0, "Tolx", kOptimsetTable, 5, &x), kErrUndefField);
  EXPECT_EQ(EntryCount(ctx), 1);
  // A hidden option is absent from a new structure: its default.
  ASSERT_EQ(SetOptions(ctx, 0, kResponsesetTable), kOk);
  EXPECT_EQ(GetBooleanOption(ctx, 0, "tOnly", kResponsesetTable, 1, &b), kOk);
  EXPECT_EQ(b, 0);
  ASSERT_EQ(GetOptionsArg(ctx, 0, "Range", kResponsesetTable), kOk);
  EXPECT_EQ(Show(ctx), "[]");
  PushRealScalar(ctx, 3);
  EXPECT_EQ(GetOptionsArg(ctx, 0, "Delay", kResponsesetTable), kErrWrongType);  // not a structure
  EXPECT_EQ(EntryCount(ctx), 4);
}

// A field set to [] stands for the record's own default, whatever its
// type: the number, the logical, the text, the empty list.
TEST(OptionReaders, AFieldSetEmptyTakesTheRecordsDefault) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (const char* name : {"RelTol", "Stats", "PreArg"}) {
    PushCString(ctx, -1, name);
    PushEmptyMatrix(ctx);
  }
  ASSERT_EQ(SetOptions(ctx, 6, kOdesetTable), kOk);
  ASSERT_EQ(GetOptionsArg(ctx, 0, "RelTol", kOdesetTable), kOk);
  EXPECT_EQ(Show(ctx), "0.001");
  ASSERT_EQ(GetOptionsArg(ctx, 1, "Stats", kOdesetTable), kOk);
  EXPECT_EQ(Show(ctx), "false");
  ASSERT_EQ(GetOptionsArg(ctx, 2, "PreArg", kOdesetTable), kOk);
  EXPECT_EQ(Show(ctx), "list");
  Drop(ctx, 3);
  PushCString(ctx, -1, "Size");
  PushEmptyMatrix(ctx);
  PushCString(ctx, -1, "Color");
  PushEmptyMatrix(ctx);
  ASSERT_EQ(SetOptions(ctx, 5, kFontsetTable), kOk);
  double size = 0;
  ASSERT_EQ(GetOptionField(ctx, 0, "Size", kFontsetTable, 99, &size), kOk);
  EXPECT_EQ(size, 10);
  ASSERT_EQ(GetOptionsArg(ctx, 0, "Color", kFontsetTable), kOk);
  EXPECT_EQ(Show(ctx), "[0 0 0]");
}

TEST(OptionReaders, ScalarValuesAreConvertedAndAlwaysPopped) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  double x = 0;
  void* p;
  const int32_t one[2] = {1, 1};
  PushNewTypedArray(ctx, 2, one, 4, false, &p);
  Store<int32_t>(p, -9);
  EXPECT_EQ(PopScalarOptionValue(ctx, 0, &x), kOk);
  EXPECT_EQ(x, -9);
  PushComplexScalar(ctx, 1, 2);
  EXPECT_EQ(PopScalarOptionValue(ctx, 0, &x), kErrWrongType);
  PushListFromEntries(ctx, 0, false, nullptr, 0);
  EXPECT_EQ(PopScalarOptionValue(ctx, 0, &x), kErrWrongType);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(OptionRecords, EveryTypeBuildsItsDefault) {
  auto record = [](const char* name, uint32_t type, std::initializer_list<double> values) {
    OptionRecord r{};
    std::strncpy(r.name, name, sizeof r.name - 1);
    r.type = type;
    std::copy(values.begin(), values.end(), r.def.values);
    return r;
  };
  OptionRecord table[] = {
      record("Row", kOptionRow4, {1, 2, 3, 4}), record("Short", kOptionText0 + 2, {'o', 'k'}),
      record("Long", kOptionTextPtr, {}),       record("None", kOptionTextPtr, {}),
      record("", kOptionEndOfTable, {}),
  };
  table[2].def.text = "a longer text";
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(SetOptions(ctx, 0, table), kOk);
  EXPECT_EQ(Fields(ctx, {"Row", "Short", "Long", "None"}),
            "Row Short Long None / [1 2 3 4] 'ok' 'a longer text' ''");
  Drop(ctx);
  table[1].type = 20;  // no such type
  EXPECT_EQ(SetOptions(ctx, 0, table), kErrIllegal);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(OptionNatives, OptimsetAndOdesetAreInTheStaticTable) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (const char* name : {"optimset", "odeset"}) {
    const NativeFunctionRecord* r = FindLibraryRecord(ctx, name, nullptr, 0, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(reinterpret_cast<NativeFn>(r->function)(ctx, 0, 1, r->option), kOk);
  }
  EXPECT_EQ(Fields(ctx).substr(0, 14), "AbsTol Events ");  // odeset
  Drop(ctx);
  EXPECT_EQ(Fields(ctx, {"Display", "TolX"}), "Display MaxFunEvals MaxIter TolX / false []");
}

}  // namespace
}  // namespace vke
