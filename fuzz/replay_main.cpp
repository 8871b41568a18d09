// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Runs a fuzz target's entry point once on every file found in the folders
// (or files) named on the command line, so that the seed corpus, the corpus
// the fuzzer grew and every past crash file are checked on each build, with
// any compiler. Fails when there is nothing to replay.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsUnder(const fs::path& root) {
  std::vector<fs::path> found;
  if (fs::is_regular_file(root)) {
    found.push_back(root);
  } else {
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file()) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<uint8_t> contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path root(argv[i]);
    if (!fs::exists(root)) {
      std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
      return 1;
    }
    for (const fs::path& input : inputsUnder(root)) {
      // Named before it runs: a crash then shows which input caused it.
      std::fprintf(stderr, "replay: %s\n", input.c_str());
      const std::vector<uint8_t> bytes = contents(input);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "replay: no inputs found\n");
    return 1;
  }
  std::fprintf(stderr, "replay: %zu inputs passed\n", replayed);
  return 0;
}
