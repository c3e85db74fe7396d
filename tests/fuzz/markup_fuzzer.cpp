// Fuzzes the markup converter with libFuzzer. The input's first bytes pick
// the output format, the option flags, the font size and the size of the
// first buffer (header below); the rest is the markup. The conversion grows
// its buffer as kvmarkup does until it fits, and whatever the text it ends
// done. Its property: the text written as markup and read back gives the
// HTML the text gives.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/markup/markup_convert.hpp"
#include "tests/markup/round_trip.hpp"

namespace vke {
namespace {

// Header: format (byte 0, modulo the formats), flags (bytes 1-4, little
// endian), font size (byte 5, signed), first buffer size (bytes 6-7).
constexpr size_t kHeaderBytes = 8;
constexpr int32_t kFormats = static_cast<int32_t>(MarkupFormat::kRichEdit) + 1;

}  // namespace
}  // namespace vke

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vke;
  if (size < kHeaderBytes) return 0;
  const auto format = static_cast<MarkupFormat>(data[0] % kFormats);
  uint32_t flags;
  std::memcpy(&flags, data + 1, 4);
  const int32_t fontSize = static_cast<int8_t>(data[5]);
  const int64_t firstSize = data[6] | data[7] << 8;
  const std::string text(reinterpret_cast<const char*>(data) + kHeaderBytes, size - kHeaderBytes);

  std::string out;
  if (const int32_t e = MarkupConvertGrown(text, flags, "\n", &BuiltinMarkupDescriptor(format),
                                           fontSize, firstSize, &out)) {
    std::fprintf(stderr, "the conversion to format %d failed: %d\n", data[0] % kFormats, e);
    std::abort();
  }
  const RoundTrip r = MarkupRoundTrip(text, flags, fontSize, firstSize);
  if (!r.same) {
    // Whole, NUL bytes and all.
    const std::string report = "--- text\n" + text + "\n--- markup\n" + r.markup + "\n--- html\n" +
                               r.html + "\n--- read back (" + std::to_string(r.result) + ")\n" +
                               r.again + "\n";
    std::fwrite(report.data(), 1, report.size(), stderr);
    std::abort();
  }
  return 0;
}
