// Runs a fuzz target's entry point without libFuzzer: every file named on the
// command line, and every regular file of every directory named (in name
// order), is passed to LLVMFuzzerTestOneInput once. Used to replay the seed
// corpus as a test and to re-run a crash file under a debugger.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool runFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: can't read %s\n", path.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
  // A copy of exactly the input's size, so reading past its end is caught by
  // AddressSanitizer as it would be under libFuzzer.
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  std::size_t count = 0;
  bool ok = true;
  for (int i = 1; i < argc; i++) {
    fs::path arg = argv[i];
    std::vector<fs::path> files;
    std::error_code error;
    if (fs::is_directory(arg, error)) {
      for (const auto& entry : fs::directory_iterator(arg, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(arg);
    }
    if (error) {
      std::fprintf(stderr, "replay: can't list %s: %s\n", arg.c_str(), error.message().c_str());
      ok = false;
    }
    for (const auto& file : files) {
      ok = runFile(file) && ok;
      count++;
    }
  }
  std::fprintf(stderr, "replay: ran %zu inputs\n", count);
  return ok && count > 0 ? 0 : 1;
}
