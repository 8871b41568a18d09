// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay: plays a frame stream in a window, at the pace of its time stamps
// or at a fixed rate, from a file (with random access) or live from a FIFO
// or standard input, with the region of interest marked as in the viewer.
#include <GL/glut.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "player/frame_queue.h"
#include "player/options.h"
#include "player/playback.h"
#include "toolkit/program.h"
#include "toolkit/standard_streams.h"
#include "toolkit/window.h"

namespace rgbplay {
namespace {

// The window shown while a live source has not sent its first frame.
constexpr int kWaitingWidth = 320;
constexpr int kWaitingHeight = 240;

// Whether opening the input and reading its first frame cannot wait on
// another process: anything but standard input, a FIFO, a terminal or a
// socket (a name that does not exist fails at once).
bool opensAtOnce(const std::string& input) {
  struct stat status {};
  if (input == "-") return false;
  if (stat(input.c_str(), &status) != 0) return true;
  return !S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode) && !S_ISSOCK(status.st_mode);
}

// A file is opened and read up to its first frame here, so that one that
// cannot be played fails before any window opens; other inputs are opened
// by the reader thread, since a FIFO waits for its producer. Returns the
// exit status of a usage error, or kContinue.
int openSource(Player& player) {
  const Options& options = player.options;
  const bool atOnce = opensAtOnce(options.input);
  if (options.input == "-" && toolkit::stdinClosed()) fail(player, "standard input is closed");
  player.source =
      std::make_unique<FrameQueue>(options.input, options.follow, options.start, options.region);
  if (atOnce) {
    const std::string unplayable = player.source->openFile();
    if (!unplayable.empty()) fail(player, unplayable);
  }
  if (options.loop && !player.source->seekable())
    return usageError("--loop plays a file again; " + options.input + " is not one");
  return kContinue;
}

}  // namespace
}  // namespace rgbplay

int main(int argc, char** argv) {
  using namespace rgbplay;
  toolkit::setProgramName("rgbplay");
  // Before anything opens a file: the X connection must not take a closed
  // standard descriptor.
  if (!toolkit::guardStandardStreams()) {
    toolkit::report("cannot keep the closed standard streams closed");
    return kExitFailure;
  }
  // Never destroyed once playing: play() ends the process without
  // unwinding, while the reader thread may still use its queue.
  const auto player = std::make_unique<Player>();
  int status = parseCommandLine(argc, argv, player->options);
  if (status != kContinue) return status;
  player->speed = player->options.speed;
  player->fit = player->options.fit;
  status = openSource(*player);
  if (status != kContinue) return status;

  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  int width = kWaitingWidth;
  int height = kWaitingHeight;
  if (player->source->firstWidth() > 0) {
    windowSizeFor(*player, player->source->firstWidth(), player->source->firstHeight(), &width,
                  &height);
    player->sized = true;
  }
  player->windowWidth = width;
  player->windowHeight = height;
  toolkit::openPictureWindow("rgbplay", width, height);
  play(*player);
}
