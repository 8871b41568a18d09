// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool: examine, convert, mark and watch frame streams.
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <new>

#include "rgbtool/cli_options.h"
#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/interrupt.h"
#include "toolkit/stamps.h"

namespace {

using namespace rgbtool;

constexpr int64_t kLastStamp = toolkit::kLastStamp;

// Declares the frame selection, --format and --overwrite, shared by export
// and mark.
void addFrameOutputOptions(CLI::App* command, FrameOutputOptions& options,
                           const std::string& what) {
  cli::addFrameSelectionOptions(command, options.frames, what);
  command
      ->add_option("--format", options.format,
                   "png, ppm or raw (bare RGB rows, top row first) (default: from OUT's "
                   "extension; needed for -)")
      ->check(CLI::IsMember({"png", "ppm", "pnm", "raw"}, CLI::ignore_case));
  command->add_flag("-y,--overwrite", options.overwrite, "Replace pictures that exist");
  command->add_option("FILE", options.file, "Frame stream (- reads standard input)")
      ->required();
  command
      ->add_option("OUT", options.out,
                   "Picture to write (.png, .ppm or .raw); for several frames a name with %d "
                   "(or %04d etc.) for the frame number, or - to write them one after another "
                   "to standard output")
      ->required();
}

std::string commandList(const CLI::App& app) {
  std::string list;
  for (const std::string& name : cli::commandNames(app)) list += (list.empty() ? "" : ", ") + name;
  return list;
}

int usageError(const std::string& message) {
  report(message);
  std::fprintf(stderr, "Run 'rgbtool --help' or 'rgbtool COMMAND --help' for usage.\n");
  return kExitUsage;
}

int run(int argc, char** argv) {
  CLI::App app{"Examine, convert, mark and watch RGB frame streams.", "rgbtool"};
  app.set_version_flag("-V,--version", std::string("rgbtool ") + RGBTOOL_VERSION);
  app.require_subcommand(1);
  app.footer("Run 'rgbtool COMMAND --help' for the options of a command.");

  InfoOptions info;
  auto* infoCommand = app.add_subcommand(
      "info", "Frames, size, stray bytes, time stamps and frame rate of streams");
  infoCommand->add_flag("--frames", info.frames, "Add one line per frame");
  infoCommand->add_flag(
      "--json", info.json,
      "Print JSON for scripts. A file name that is not UTF-8 shows each byte that is not part "
      "of a valid UTF-8 sequence as the character U+00XX of the same value, and \"file_hex\" "
      "then gives the name's bytes in hexadecimal");
  infoCommand->add_option("FILE", info.files, "Frame streams (- reads standard input)")
      ->required();
  infoCommand->add_option("--plot", info.plot,
                          "Also draw the frame intervals of the one FILE into a PNG: a blue "
                          "line, stamps going backwards in red below the zero line");

  FrameOutputOptions exportOptions;
  auto* exportCommand =
      app.add_subcommand("export", "Write frames as PNG, PPM or raw pictures, right way up");
  addFrameOutputOptions(exportCommand, exportOptions, "export");

  ImportOptions import;
  auto* importCommand = app.add_subcommand(
      "import", "Append one frame per PNG or PPM picture to a stream");
  auto* start = importCommand->add_option(
      "--start-ms", import.startMs, "Time stamp of the first frame, in ms (default: the clock)");
  start->check(cli::wholeNumber(0, kLastStamp, "milliseconds"));
  auto* interval = importCommand->add_option(
      "--interval-ms", import.intervalMs, "Time between frames in ms, with --start-ms");
  interval->check(cli::wholeNumber(0, kLastStamp, "milliseconds"));
  start->needs(interval);
  interval->needs(start);
  importCommand->add_flag("--new", import.fresh,
                          "Start the stream afresh instead of appending; the old stream stays "
                          "until the new one is complete");
  importCommand
      ->add_option("--start", import.pictureStart,
                   "First number of a numbered picture name (default: the lowest that exists)")
      ->check(cli::wholeNumber(0, cli::kMaxFrameNumber, "pictures"));
  importCommand->add_option("OUT", import.out, "Stream to append to (- for stdout)")
      ->required();
  importCommand
      ->add_option("IMAGE", import.images,
                   "Pictures, all of one size; - reads one from standard input; a name with "
                   "%d (or %04d etc.) stands for the numbered pictures from --start on")
      ->required();

  FrameOutputOptions markOptions;
  auto* markCommand = app.add_subcommand(
      "mark", "Write the region-of-interest display image of frames as pictures");
  addFrameOutputOptions(markCommand, markOptions, "mark");

  WatchOptions watch;
  auto* watchCommand = app.add_subcommand(
      "watch", "Print a line per frame arriving on a named pipe, then a summary");
  watchCommand->add_flag("--json", watch.json,
                         "One JSON object per line for each frame, then one for the summary");
  auto* follow = watchCommand->add_flag(
      "--follow", watch.follow,
      "PIPE is a regular file that grows: wait for new frames (from its current end) until "
      "interrupted");
  watchCommand->add_flag("--from-start", watch.fromStart, "With --follow: from the first frame")
      ->needs(follow);
  watchCommand->add_option("PIPE", watch.pipe, "Named pipe (- reads standard input)")
      ->required();

  VideoOptions video;
  auto* videoCommand = app.add_subcommand(
      "video", "Encode a stream as a video whose frame times are the recorded stamps");
  auto* crf = videoCommand->add_option("--crf", video.crf,
                                       "Quality for x264-like encoders, 0 = lossless (default 23)");
  crf->check(CLI::Range(0, 51));
  videoCommand->add_option("--codec", video.codec,
                           "FFmpeg encoder, e.g. libx264, libx264rgb or ffv1 (default: H.264)");
  videoCommand->add_option("FILE", video.file, "Frame stream (- reads standard input)")
      ->required();
  videoCommand->add_option("OUT", video.out, "Video to write; .mp4 or .mkv picks the container")
      ->required();

  SheetOptions sheet;
  auto* sheetCommand = app.add_subcommand(
      "sheet", "A PNG contact sheet of frames with their number and stamp under each");
  sheetCommand->add_option("--every", sheet.every, "Every Nth frame from frame 0 (default 1)")
      ->check(CLI::PositiveNumber);
  sheetCommand->add_option("--columns", sheet.columns, "Tiles per row (default 8)")
      ->check(CLI::Range(1, 1000));
  sheetCommand
      ->add_option("--tile-width", sheet.tileWidth,
                   "Tile width in pixels (default: the frame's, at most 320)")
      ->check(CLI::Range(1, 65535));
  sheetCommand->add_option("FILE", sheet.file, "Frame stream (- reads standard input)")
      ->required();
  sheetCommand->add_option("OUT", sheet.out, "PNG picture to write")->required();

  CheckOptions check;
  auto* checkCommand = app.add_subcommand(
      "check", "Validate every frame; succeeds only if every file is a clean stream");
  checkCommand->add_flag("-q,--quiet", check.quiet, "Print nothing; the exit status tells");
  checkCommand->add_flag(
      "--strict", check.strict,
      "Stamps that go backwards or repeat fail the file (else they are warnings). Stamps wrap "
      "every 10,000 s; a step of more than half that counts as going backwards");
  checkCommand->add_flag("--json", check.json, "One JSON object per line for each file");
  checkCommand->add_option("FILE", check.files, "Frame streams (- reads standard input)")
      ->required();

  // The word where a command belongs is judged first, so that a slip there
  // is named rather than reported as a missing command.
  if (argc < 2) return usageError("no command given; the commands are " + commandList(app));
  const std::string commandMistake = cli::commandMistake(app, argv[1]);
  if (!commandMistake.empty()) return usageError(commandMistake);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e);
      return kExitOk;
    }
    const CLI::App_p command = app.get_subcommand_ptr(argv[1]);
    const std::string optionMistake =
        command && dynamic_cast<const CLI::ExtrasError*>(&e)
            ? cli::optionMistake(*command, argc, argv, 2)
            : std::string();
    return usageError(optionMistake.empty() ? e.what() : optionMistake);
  }
  import.fixedStamps = start->count() > 0;
  video.crfGiven = crf->count() > 0;
  if (*infoCommand && !info.plot.empty() && info.files.size() != 1)
    return usageError("info --plot takes one FILE");
  if (*exportCommand || *importCommand || *markCommand || *videoCommand || *sheetCommand ||
      !info.plot.empty())
    interrupt::install();

  if (*infoCommand) return runInfo(info);
  if (*exportCommand) return runExport(exportOptions);
  if (*importCommand) return runImport(import);
  if (*markCommand) return runMark(markOptions);
  if (*watchCommand) return runWatch(watch);
  if (*checkCommand) return runCheck(check);
  if (*videoCommand) return launchVideo(video);
  if (*sheetCommand) return runSheet(sheet);
  return usageError("no command given");
}

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
