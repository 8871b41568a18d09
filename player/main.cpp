// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay: plays a frame stream in a window, at the pace of its time stamps
// or at a fixed rate, from a file (with random access) or live from a FIFO
// or standard input, with the region of interest marked as in the viewer.
#include <GL/glut.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "player/frame_source.h"
#include "player/options.h"
#include "player/playback.h"
#include "rgb/rgb.h"
#include "toolkit/window.h"

namespace rgbplay {
namespace {

// The window shown while a live source has not sent its first frame.
constexpr int kWaitingWidth = 320;
constexpr int kWaitingHeight = 240;

// Whether standard input was open when the program started. A closed one
// is given to /dev/null at once: the next file opened (the X server's
// socket) would otherwise take descriptor 0 and be read as frames by "-".
bool claimStandardInput() {
  if (fcntl(STDIN_FILENO, F_GETFD) != -1 || errno != EBADF) return true;
  const int fd = open("/dev/null", O_RDONLY);
  if (fd > STDIN_FILENO) close(fd);
  return false;
}

std::string openFailure(int status, int savedErrno) {
  return std::string(rgb_strerror(status)) + " (" + std::strerror(savedErrno) + ")";
}

// Opens a regular file here, so that a file that cannot be played fails
// before any window opens; anything else is opened by the reader thread.
// Returns the exit status of a usage error, or kContinue.
int openSource(Player& player, rgb_frame_info* first) {
  const Options& options = player.options;
  const std::string& input = options.input;
  struct stat status {};
  if (input != "-" && stat(input.c_str(), &status) != 0) fail(player, openFailure(RGB_EOPEN, errno));
  if (input == "-" || !S_ISREG(status.st_mode)) {
    if (options.loop) return usageError("--loop needs a file; " + input + " plays once");
    player.source = new FrameSource(input, options.region);
    player.source->startAt(options.start);
    return kContinue;
  }
  rgb_reader* reader = nullptr;
  int result = rgb_reader_open(&reader, input.c_str());
  if (result != RGB_OK) fail(player, openFailure(result, errno));
  result = rgb_reader_info(reader, first);
  const bool waitForGrowth = options.follow && (result == RGB_END || result == RGB_ESHORTHEADER);
  if (result == RGB_END && !waitForGrowth) fail(player, "no frames in the stream");
  if (result != RGB_OK && !waitForGrowth) fail(player, rgb_strerror(result));
  if (result == RGB_OK && (first->width <= 0 || first->height <= 0))
    fail(player, "pictures of " + std::to_string(first->width) + " x " +
                     std::to_string(first->height) + " pixels cannot be shown");
  if (result != RGB_OK) first->width = 0;  // size not known yet
  int64_t frames = 0;
  if (rgb_reader_count(reader, &frames, nullptr) != RGB_OK) frames = 0;
  player.source = new FrameSource(reader, frames, options.follow, options.region);
  const std::string unreachable = player.source->startAt(options.start);
  if (!unreachable.empty()) fail(player, unreachable);
  return kContinue;
}

}  // namespace
}  // namespace rgbplay

int main(int argc, char** argv) {
  using namespace rgbplay;
  const bool haveStandardInput = claimStandardInput();
  auto* player = new Player;
  int status = parseCommandLine(argc, argv, player->options);
  if (status != kContinue) return status;
  if (player->options.input == "-" && !haveStandardInput)
    fail(*player, "standard input is closed");
  player->speed = player->options.speed;
  player->fit = player->options.fit;

  rgb_frame_info first{};
  status = openSource(*player, &first);
  if (status != kContinue) return status;

  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  int width = kWaitingWidth;
  int height = kWaitingHeight;
  if (first.width > 0) {
    windowSizeFor(*player, first.width, first.height, &width, &height);
    player->sized = true;
  }
  player->windowWidth = width;
  player->windowHeight = height;
  toolkit::openPictureWindow("rgbplay", width, height);
  play(*player);
}
