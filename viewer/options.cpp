// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "viewer/options.h"

#include <getopt.h>

#include <cstdio>

namespace zu_korve {
namespace {

constexpr const char* kShortOptions = "0:hu";
const option kLongOptions[] = {
    {"input0", required_argument, nullptr, '0'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// Arguments, program name included: none, or one option and its argument.
constexpr int kBareCount = 1;
constexpr int kWithOptionCount = 3;

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

void printUsage(std::FILE* stream, const char* program) {
  std::fprintf(stream,
               "Usage: %s [options]\n\nOptions:\n"
               "-0 | --input0 name    Name of image pipe\n"
               "-h | --help          Print this message\n",
               program);
}

}  // namespace

int parseCommandLine(int argc, char** argv, std::string& inputName) {
  const char* program = argc > 0 && argv[0] ? argv[0] : "zu_korve";
  inputName = kDefaultInputName;
  for (;;) {
    const int option =
        getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
    if (option == -1) break;
    switch (option) {
      case '0':
        inputName = optarg;  // a later -0 overrides an earlier one
        break;
      case 'h':
        printUsage(stdout, program);
        return kSuccess;
      default:  // -u, or getopt_long has already complained
        printUsage(stderr, program);
        return kFailure;
    }
  }
  if (argc != kBareCount && argc != kWithOptionCount) {
    printUsage(stdout, program);
    return kFailure;
  }
  if (inputName.size() > kMaxInputName) {
    std::fprintf(stderr, "input name is longer than %zu characters.\n",
                 kMaxInputName);
    return kFailure;
  }
  return kContinue;
}

}  // namespace zu_korve
