// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/program.h"

#include <cstdio>
#include <cstring>

namespace toolkit {
namespace {

std::string& name() {
  static std::string program = "rgb";
  return program;
}

}  // namespace

void setProgramName(const std::string& program) { name() = program; }

const std::string& programName() { return name(); }

const char* projectVersion() { return TOOLKIT_PROJECT_VERSION; }

std::string versionLine() { return programName() + " " + projectVersion(); }

void report(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", programName().c_str(), message.c_str());
}

void reportErrno(const std::string& message, int errnum) {
  report(message + ": " + std::strerror(errnum));
}

}  // namespace toolkit
