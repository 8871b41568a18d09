// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool: examine, record, edit, convert, mark and watch frame streams. The commands live
// in commands/, one file each, listed in commands/list.h.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "rgbtool/cli/command.h"
#include "rgbtool/cli/command_line.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/signals.h"
#include "toolkit/standard_streams.h"

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

int run(int argc, char** argv) {
  const cli::Program program{"rgbtool", "Examine, record, edit, convert, mark and watch RGB frame streams.",
                             std::string("rgbtool ") + RGBTOOL_VERSION, kFooter};
  return cli::runCommandLine(program, cli::commands(), argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  toolkit::setProgramName("rgbtool");
  if (!toolkit::guardStandardStreams()) return kExitFailure;
  // Every command's outputs roll back on a stop signal and on a write past
  // the file-size limit.
  toolkit::signals::install();
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
  std::string error;
  if (!toolkit::finishStdout(error)) {
    report(error);
    return kExitFailure;
  }
  return status;
}
