// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool: examine, convert, mark and watch frame streams. The commands live
// in commands/, one file each, listed in commands/list.h.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "rgbtool/cli/command.h"
#include "rgbtool/cli/command_line.h"
#include "rgbtool/report/diagnostics.h"

namespace {

using namespace rgbtool;

constexpr const char* kFooter = R"(Run 'rgbtool COMMAND --help' for the options of a command.

Results go to standard output, messages to standard error, beginning with
'rgbtool: '. Frames are numbered from 0. FILE or OUT '-' stands for standard
input or output. --json prints one JSON object per line.

Examples:
  $ rgbtool info recording.rgb
  $ rgbtool check --strict *.rgb
  $ rgbtool export --all recording.rgb 'frame%04d.png'
  $ rgbtool watch --follow --json recording.rgb
  $ rgbtool video recording.rgb recording.mp4

Exit status:
  0   success
  1   a failure: a file that cannot be read or written, a stream that is not clean
  2   a usage error: the message names the mistake and the nearest valid choice)";

// A closed standard descriptor would be taken by the next file opened, and
// messages or results meant for it would go into that file instead.
void occupyClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened < 0) _exit(kExitFailure);
    if (opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

int run(int argc, char** argv) {
  const cli::Program program{"rgbtool", "Examine, convert, mark and watch RGB frame streams.",
                             std::string("rgbtool ") + RGBTOOL_VERSION, kFooter};
  return cli::runCommandLine(program, cli::commands(), argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  occupyClosedStandardDescriptors();
  int status;
  try {
    status = run(argc, argv);
  } catch (const std::bad_alloc&) {
    report("out of memory");
    return kExitFailure;
  } catch (const std::exception& e) {
    report(e.what());
    return kExitFailure;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    report("cannot write to standard output");
    return kExitFailure;
  }
  return status;
}
