// fread into the room of its own result: the values made from the bytes
// that lie under them, for every count, size, precision and number of
// arguments and outputs, at a short read and at the end of the file; and a
// read whose result does not fit given back whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::PopNumbers;
using test::TestFileTable;
using test::TestHost;

using Numbers = std::vector<double>;

// Bytes of every value, in no order a conversion could get right by chance.
std::string Pattern(int32_t n) {
  std::string bytes(static_cast<size_t>(n), '\0');
  for (int32_t i = 0; i < n; i++) bytes[i] = static_cast<char>((i * 37 + 11) % 256);
  return bytes;
}

// The doubles a precision of 1, 2 or 8 bytes (little-endian) makes of the
// bytes: count whole elements, then zeros up to total.
Numbers Expected(const std::string& bytes, const std::string& precision, int64_t count,
                 int64_t total) {
  Numbers out(static_cast<size_t>(total), 0.0);
  for (int64_t i = 0; i < count; i++) {
    const char* at = bytes.data() + i * (precision == "int16" ? 2 : precision == "double" ? 8 : 1);
    if (precision == "int8") {
      out[i] = static_cast<int8_t>(*at);
    } else if (precision == "int16") {
      int16_t v;
      std::memcpy(&v, at, 2);
      out[i] = v;
    } else if (precision == "double") {
      std::memcpy(&out[i], at, 8);
    } else {
      out[i] = static_cast<uint8_t>(*at);
    }
  }
  return out;
}

struct Read {
  ErrCode code;
  Numbers values;
  int32_t rows = 0, columns = 0;
  double count = -1;
};

// fread of fd with the size and precision given (each left out when
// absent), nargout outputs.
Read Fread(EngineContext* ctx, int32_t fd, std::optional<Numbers> size, const char* precision,
           int32_t nargout) {
  PushRealScalar(ctx, fd);
  int32_t nargin = 1;
  if (size || precision) {
    test::PushRow(ctx, "double", size.value_or(Numbers{INFINITY}));
    nargin++;
  }
  if (precision) {
    PushCString(ctx, -1, precision);
    nargin++;
  }
  const int32_t before = EntryCount(ctx);
  Read r{ReadBinaryBuiltin(ctx, nargin, nargout, 0), {}};
  if (r.code) {
    EXPECT_EQ(EntryCount(ctx), before);  // the arguments stay for a run again
    Drop(ctx, nargin);
    return r;
  }
  const NumericView v = ViewNumeric(ctx, 0);
  r.rows = v.shape.dims[0];
  r.columns = v.shape.dims[1];
  r.values = PopNumbers(ctx);
  if (nargout == 2) r.count = PopNumbers(ctx).at(0);
  return r;
}

double Tell(EngineContext* ctx, int32_t fd) {
  PushRealScalar(ctx, fd);
  EXPECT_EQ(FtellBuiltin(ctx, 1, 1, 0), kOk);
  return PopNumbers(ctx).at(0);
}

// fseek to the offset from the start, or from the end with "eof".
void Seek(EngineContext* ctx, int32_t fd, double offset, const char* origin = nullptr) {
  PushRealScalar(ctx, fd);
  PushRealScalar(ctx, offset);
  if (origin) PushCString(ctx, -1, origin);
  ASSERT_EQ(FseekBuiltin(ctx, origin ? 3 : 2, 0, 0), kOk);
}

class FreadIntoItsResult : public ::testing::Test {
 protected:
  // A file of the pattern's first n bytes, opened for reading.
  int32_t OpenPattern(const std::string& name, int32_t n) {
    files.WriteFile(name, Pattern(n));
    return files.Open(name, "r");
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files{ctx};
};

TEST_F(FreadIntoItsResult, EveryCountAndLayoutGivesTheBytesValues) {
  const std::string bytes = Pattern(1000);
  const int32_t fd = OpenPattern("pattern.bin", 1000);
  std::vector<int64_t> counts;
  for (int64_t c = 1; c <= 40; c++) counts.push_back(c);
  counts.insert(counts.end(), {63, 64, 65, 300, 999});
  for (const char* precision :
       {"uint8", "int8", "int16", "double", static_cast<const char*>(nullptr)}) {
    const std::string name = precision ? precision : "uint8";
    const int64_t width = name == "int16" ? 2 : name == "double" ? 8 : 1;
    for (const int64_t c : counts) {
      if (c * width > 1000) continue;
      for (const int32_t nargout : {1, 2}) {
        SCOPED_TRACE(name + " count " + std::to_string(c) + " outputs " + std::to_string(nargout));
        Seek(ctx, fd, 0);
        Read r = Fread(ctx, fd, Numbers{double(c)}, precision, nargout);
        ASSERT_EQ(r.code, kOk);
        EXPECT_EQ(r.values, Expected(bytes, name, c, c));
        EXPECT_EQ(r.rows, c);
        if (nargout == 2) {
          EXPECT_EQ(r.count, c);
        }
        // The last c elements in three rows, up to the end of the file: the
        // last column padded with zeros.
        Seek(ctx, fd, static_cast<double>(-c * width), "eof");
        r = Fread(ctx, fd, Numbers{3, INFINITY}, precision ? precision : "uint8", nargout);
        ASSERT_EQ(r.code, kOk);
        const int64_t columns = (c + 2) / 3;
        EXPECT_EQ(r.values, Expected(bytes.substr(1000 - c * width), name, c, 3 * columns));
        EXPECT_EQ(r.columns, columns);
      }
    }
  }
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST_F(FreadIntoItsResult, ShortReadsAndTheEndOfTheFile) {
  const std::string bytes = Pattern(101);
  const int32_t fd = OpenPattern("odd.bin", 101);
  // More asked than there is: what there is, whole elements only.
  Read r = Fread(ctx, fd, Numbers{500}, "int16", 2);
  ASSERT_EQ(r.code, kOk);
  EXPECT_EQ(r.count, 50);
  EXPECT_EQ(r.values, Expected(bytes, "int16", 50, 50));
  EXPECT_EQ(Tell(ctx, fd), 101);  // the odd byte is passed
  EXPECT_EQ(Fread(ctx, fd, std::nullopt, nullptr, 1).code, kErrEof);
  // The rest of a file read in two steps.
  Seek(ctx, fd, 0);
  ASSERT_EQ(Fread(ctx, fd, Numbers{60}, nullptr, 1).code, kOk);
  r = Fread(ctx, fd, std::nullopt, nullptr, 2);
  ASSERT_EQ(r.code, kOk);
  EXPECT_EQ(r.values, Expected(bytes.substr(60), "uint8", 41, 41));
  EXPECT_EQ(r.count, 41);
  EXPECT_EQ(Fread(ctx, fd, Numbers{3, INFINITY}, "int8", 2).code, kErrEof);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST_F(FreadIntoItsResult, AReadThatDoesNotFitIsGivenBack) {
  uint32_t freeBytes;
  ASSERT_EQ(GetDataStackFree(ctx, &freeBytes, nullptr), kOk);
  const int32_t fd = OpenPattern("large.bin", static_cast<int32_t>(freeBytes / 8 + 100));
  ASSERT_EQ(Fread(ctx, fd, Numbers{5}, nullptr, 1).code, kOk);
  // The doubles of the rest need more than the free data stack.
  EXPECT_EQ(Fread(ctx, fd, std::nullopt, nullptr, 2).code, kErrDataOverflow);
  EXPECT_EQ(Tell(ctx, fd), 5);
  // Bytes that fit, in rows whose padding does not: nothing is read.
  const int32_t small = OpenPattern("small.bin", 10);
  EXPECT_EQ(Fread(ctx, small, Numbers{freeBytes / 8.0, INFINITY}, nullptr, 1).code,
            kErrDataOverflow);
  EXPECT_EQ(Tell(ctx, small), 0);
  const Read r = Fread(ctx, small, Numbers{20, INFINITY}, nullptr, 1);
  ASSERT_EQ(r.code, kOk);
  EXPECT_EQ(r.values, Expected(Pattern(10), "uint8", 10, 20));
  EXPECT_EQ(EntryCount(ctx), 0);
}

}  // namespace
}  // namespace vke
