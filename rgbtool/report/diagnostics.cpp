// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/report/diagnostics.h"

#include <cstdio>
#include <cstring>

namespace rgbtool {

void report(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "rgbtool: %s\n", message.c_str());
}

void reportErrno(const std::string& message, int errnum) {
  report(message + ": " + std::strerror(errnum));
}

}  // namespace rgbtool
