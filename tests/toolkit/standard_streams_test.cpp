// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Standard streams as a program may find them (closed, full) and the
// program conventions, in forked children.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/hardening/child.h"
#include "toolkit/program.h"
#include "toolkit/standard_streams.h"

namespace {

// What a child with some standard descriptors closed finds after the guard:
// bit 0: stdinClosed, bit 1: stdoutClosed, bit 2: a new file took a
// standard number, bit 3: reading fd 0 worked, bit 4: writing fd 1 worked.
int closedAndGuarded(const std::vector<int>& closed) {
  for (const int fd : closed) close(fd);
  if (!toolkit::guardStandardStreams()) return 0x80;
  int found = 0;
  if (toolkit::stdinClosed()) found |= 1;
  if (toolkit::stdoutClosed()) found |= 2;
  const int file = open("/dev/zero", O_RDONLY);
  if (file <= STDERR_FILENO) found |= 4;
  char byte = 0;
  if (read(STDIN_FILENO, &byte, 1) >= 0) found |= 8;
  if (write(STDOUT_FILENO, "x", 1) == 1) found |= 16;
  return found;
}

TEST(StandardStreams, ClosedOnesStayTakenAndFailWhenUsed) {
  struct Case {
    std::vector<int> closed;
    int found;
  };
  const Case cases[] = {
      {{}, 8 | 16},
      {{STDIN_FILENO}, 1 | 16},
      {{STDOUT_FILENO}, 2 | 8},
      {{STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}, 1 | 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.closed.size());
    const int devNull = open("/dev/null", O_RDONLY);
    const hardening::Ended ended = hardening::runInChild([&] {
      dup2(devNull, STDIN_FILENO);  // something readable, unless closed
      return closedAndGuarded(c.closed);
    });
    close(devNull);
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.status, c.found);
  }
}

TEST(StandardStreams, FinishingReportsOutputThatDidNotArrive) {
  struct Case {
    const char* name;
    void (*arrange)();
    bool ok;
    const char* error;
  };
  const Case cases[] = {
      {"a file", [] {}, true, ""},
      {"closed", [] { close(STDOUT_FILENO); }, false, "standard output is closed"},
      {"a full device",
       [] {
         const int full = open("/dev/full", O_WRONLY);
         dup2(full, STDOUT_FILENO);
       },
       false, "cannot write to standard output: No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const hardening::Ended ended = hardening::runInChild([&] {
      c.arrange();
      if (!toolkit::guardStandardStreams()) return 3;
      std::printf("results\n");
      std::string error;
      const bool finished = toolkit::finishStdout(error);
      std::fprintf(stderr, "%s", error.c_str());
      return finished ? 0 : 1;
    });
    EXPECT_EQ(ended.status, c.ok ? 0 : 1);
    EXPECT_EQ(ended.err, c.error);
  }
}

TEST(Program, MessagesAndVersionFollowTheConventions) {
  EXPECT_EQ(toolkit::kExitOk, 0);
  EXPECT_EQ(toolkit::kExitFailure, 1);
  EXPECT_EQ(toolkit::kExitUsage, 2);
  const hardening::Ended ended = hardening::runInChild([] {
    toolkit::setProgramName("rgbtool");
    std::printf("%s\n", toolkit::versionLine().c_str());
    toolkit::report("s.rgb: frame 2: damaged");
    toolkit::reportErrno("out.png: cannot write", ENOSPC);
    return 0;
  });
  EXPECT_EQ(ended.out, std::string("rgbtool ") + RGB_TEST_PROJECT_VERSION + "\n");
  EXPECT_EQ(ended.err,
            "rgbtool: s.rgb: frame 2: damaged\n"
            "rgbtool: out.png: cannot write: No space left on device\n");
}

}  // namespace
