// Runs a fuzzer's harness once on every file of the folders given (or on
// the files given), without libFuzzer: how the normal build checks the
// seed corpora.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The file name of the seed being run, for a harness that checks more of
// a seed than that it runs.
extern "C" {
const char* gSeedName = "";
}

// A custom mutator's call into libFuzzer; nothing is mutated here.
extern "C" size_t LLVMFuzzerMutate(uint8_t*, size_t size, size_t) {
  return size;
}

namespace {

void RunSeed(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string name = path.filename().string();
  gSeedName = name.c_str();
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

// Each argument is a folder of seeds or one seed.
int main(int argc, char** argv) {
  int files = 0;
  for (int i = 1; i < argc; i++) {
    if (std::filesystem::is_regular_file(argv[i])) {
      RunSeed(argv[i]);
      files++;
      continue;
    }
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      RunSeed(entry.path());
      files++;
    }
  }
  std::printf("%d seeds ran\n", files);
  return files > 0 ? 0 : 1;
}
