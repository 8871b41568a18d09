#include "rgbtool/diagnostics.h"

#include <unistd.h>

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

LibraryMessagesToStderr::LibraryMessagesToStderr() {
  std::fflush(stdout);
  savedStdout_ = dup(STDOUT_FILENO);
  if (savedStdout_ >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    close(savedStdout_);
    savedStdout_ = -1;
  }
}

LibraryMessagesToStderr::~LibraryMessagesToStderr() {
  std::fflush(stdout);
  if (savedStdout_ < 0) return;
  dup2(savedStdout_, STDOUT_FILENO);
  close(savedStdout_);
}

}  // namespace rgbtool
