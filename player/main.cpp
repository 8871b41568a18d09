// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay: plays a frame stream in a window, at the pace of its time stamps
// or at a fixed rate, from a file (with random access) or live from a FIFO
// or standard input, with the region of interest marked as in the viewer.
#include <GL/glut.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "player/frame_source.h"
#include "player/options.h"
#include "rgb/rgb.h"
#include "toolkit/stamps.h"
#include "toolkit/window.h"

namespace rgbplay {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr unsigned char kEscape = 27;
// The window shown while a live source has not sent its first frame.
constexpr int kWaitingWidth = 320;
constexpr int kWaitingHeight = 240;
// The timer never sleeps longer than this, so new frames, keys' effects and
// the title follow within a few milliseconds.
constexpr int kMaxTickMs = 10;
// A frame shown later than this after its due time starts a new schedule
// instead of being caught up with (a producer that paused, a slow machine).
constexpr Millis kResync(250);
// The measured rate covers the frames shown in this span.
constexpr Millis kRateWindow(2000);

// The player's state: one instance, used only on the GLUT thread and alive
// until the process ends (the reader thread may still be running then).
struct Player {
  Options options;
  FrameSource* source = nullptr;
  std::unique_ptr<Frame> current;
  bool playing = true;
  bool ended = false;        // the source said End after the current frame
  bool showNext = true;      // show the next frame at once (start, seeks)
  bool stepPending = false;  // Right while paused, frame not read yet
  bool marked = true;
  bool fit = true;
  bool sized = false;  // the window has the picture's size
  double speed = 1;
  Clock::time_point due;  // when the current frame was due
  std::deque<Clock::time_point> shown;
  int windowWidth = 0;
  int windowHeight = 0;
  std::string title;
};
Player* player = nullptr;

// Ends the process without exit's clean-up of stdio: the reader thread may
// be inside a read on one of those streams.
[[noreturn]] void quit(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

[[noreturn]] void fail(const std::string& reason) {
  std::fprintf(stderr, "rgbplay: %s: %s\n", player->options.input.c_str(), reason.c_str());
  quit(kExitFailure);
}

double measuredRate(Clock::time_point now) {
  while (!player->shown.empty() && now - player->shown.front() > kRateWindow)
    player->shown.pop_front();
  if (player->shown.size() < 2) return 0;
  const double span = Millis(player->shown.back() - player->shown.front()).count();
  return span > 0 ? 1000.0 * static_cast<double>(player->shown.size() - 1) / span : 0;
}

void updateTitle(Clock::time_point now) {
  char text[512];
  const std::string& name = player->options.input;
  if (!player->current) {
    std::snprintf(text, sizeof text, "rgbplay: %s   waiting for frames", name.c_str());
  } else {
    const Frame& frame = *player->current;
    char count[32] = "";
    if (player->source->seekable())
      std::snprintf(count, sizeof count, "/%lld",
                    static_cast<long long>(player->source->frames()));
    char speed[32] = "";
    if (player->speed != 1) std::snprintf(speed, sizeof speed, "   speed x%g", player->speed);
    const char* state = player->ended ? "   end" : player->playing ? "" : "   paused";
    std::snprintf(text, sizeof text, "rgbplay: %s   frame %lld%s   stamp %d ms   %.1f fps%s%s",
                  name.c_str(), static_cast<long long>(frame.index + 1), count,
                  static_cast<int>(frame.stamp), measuredRate(now), speed, state);
  }
  if (player->title != text) {
    player->title = text;
    glutSetWindowTitle(text);
  }
}

// The window size for a picture: its own, or scaled down with its aspect
// kept until it fits the screen.
void windowSizeFor(int width, int height, int* windowWidth, int* windowHeight) {
  *windowWidth = width;
  *windowHeight = height;
  if (!player->options.fit) return;
  const int screenWidth = glutGet(GLUT_SCREEN_WIDTH);
  const int screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
  if (screenWidth <= 0 || screenHeight <= 0) return;
  if (width <= screenWidth && height <= screenHeight) return;
  const double scale = std::min(static_cast<double>(screenWidth) / width,
                                static_cast<double>(screenHeight) / height);
  *windowWidth = std::max(1, static_cast<int>(std::floor(width * scale)));
  *windowHeight = std::max(1, static_cast<int>(std::floor(height * scale)));
}

void show(std::unique_ptr<Frame> frame, Clock::time_point now, Clock::time_point due) {
  if (!player->sized) {
    int width = 0;
    int height = 0;
    windowSizeFor(frame->width, frame->height, &width, &height);
    glutReshapeWindow(width, height);
    player->sized = true;
  }
  player->source->recycle(std::move(player->current));
  player->current = std::move(frame);
  player->due = now - due > kResync ? now : due;
  player->shown.push_back(now);
  glutPostRedisplay();
}

// When frame `next` is due if frame `previous` was due at `due`.
Clock::time_point dueAfter(Clock::time_point due, const Frame& previous, const Frame& next) {
  const double interval = player->options.fps > 0
                              ? 1000.0 / player->options.fps
                              : static_cast<double>(std::max<int64_t>(
                                    0, toolkit::stampDelta(previous.stamp, next.stamp)));
  return due + std::chrono::duration_cast<Clock::duration>(Millis(interval / player->speed));
}

void tick(int) {
  const Clock::time_point now = Clock::now();
  int wait = kMaxTickMs;
  switch (player->source->next()) {
    case Next::Frame: {
      const Frame* next = player->source->peek(0);
      Clock::time_point due = now;
      const bool stepping = !player->playing && player->stepPending;
      if (player->current && !player->showNext && !stepping) {
        if (!player->playing) break;
        due = dueAfter(player->due, *player->current, *next);
        if (now < due) {
          const auto left =
              std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
          wait = static_cast<int>(std::clamp<long long>(left, 1, kMaxTickMs));
          break;
        }
        // Behind the stamps' clock (drawing slower than the frames come):
        // a frame whose successor is due as well is passed over, so the
        // picture keeps to the clock instead of lagging more and more.
        while (const Frame* after = player->source->peek(1)) {
          const Clock::time_point afterDue = dueAfter(due, *next, *after);
          if (now < afterDue) break;
          player->source->recycle(player->source->take());
          due = afterDue;
          next = after;
        }
      }
      player->showNext = false;
      player->stepPending = false;
      player->ended = false;
      show(player->source->take(), now, due);
      wait = 1;  // the next frame may be due at once (equal stamps)
      break;
    }
    case Next::End:
      player->ended = true;
      break;
    case Next::Error:
      // Reached in order: every good frame before the damage has had its
      // turn, and nothing of the damaged one is shown.
      if (!player->current || player->showNext || player->playing || player->stepPending)
        fail(player->source->error());
      break;
    case Next::Nothing:
      break;
  }
  updateTitle(now);
  glutTimerFunc(static_cast<unsigned>(wait), tick, 0);
}

void display() {
  glClear(GL_COLOR_BUFFER_BIT);
  if (player->current) {
    const Frame& frame = *player->current;
    float zoom = 1.0f;
    int left = 0;
    int bottom = 0;
    if (player->fit) {
      zoom = static_cast<float>(std::min(static_cast<double>(player->windowWidth) / frame.width,
                                         static_cast<double>(player->windowHeight) / frame.height));
      left = std::max(0, static_cast<int>((player->windowWidth -
                                           static_cast<double>(frame.width) * zoom) / 2));
      bottom = std::max(0, static_cast<int>((player->windowHeight -
                                             static_cast<double>(frame.height) * zoom) / 2));
    }
    if (zoom > 0)
      toolkit::drawPicture(player->marked ? frame.display.data() : frame.input.data(), frame.width,
                            frame.height, left, bottom, zoom);
  }
  glFlush();
  glutSwapBuffers();
}

void reshape(int width, int height) {
  toolkit::usePixelUnits(width, height);
  player->windowWidth = width;
  player->windowHeight = height;
  glutPostRedisplay();
}

void seekTo(int64_t index) {
  player->source->seek(index);
  player->showNext = true;
  player->ended = false;
}

void key(unsigned char pressed, int, int) {
  switch (pressed) {
    case kEscape:
    case 'q':
      quit(kExitOk);
    case ' ':
      if (player->ended && player->playing && player->source->seekable()) {
        seekTo(0);  // at the end, play again from the start
      } else {
        player->playing = !player->playing;
        player->due = Clock::now();  // resume from now, not from before the pause
      }
      break;
    case '+':
    case '=':
      player->speed = std::min(player->speed * 2, kMaxSpeed);
      break;
    case '-':
      player->speed = std::max(player->speed / 2, kMinSpeed);
      break;
    case 'm':
      player->marked = !player->marked;
      break;
    case 'f':
      player->fit = !player->fit;
      break;
    default:
      return;
  }
  updateTitle(Clock::now());
  glutPostRedisplay();
}

void specialKey(int pressed, int, int) {
  const bool paused = !player->playing;
  const bool seekable = player->source->seekable();
  const int64_t index = player->current ? player->current->index : -1;
  switch (pressed) {
    case GLUT_KEY_LEFT:
      if (paused && seekable && index > 0) seekTo(index - 1);
      break;
    case GLUT_KEY_RIGHT:
      if (paused) player->stepPending = true;
      break;
    case GLUT_KEY_HOME:
      if (seekable) seekTo(0);
      break;
    case GLUT_KEY_END:
      if (seekable) seekTo(FrameSource::kLast);
      break;
    default:
      break;
  }
}

// Opens a regular file here, so that a file that cannot be played fails
// before any window opens; anything else is opened by the reader thread.
FrameSource* openSource(rgb_frame_info* first) {
  const std::string& input = player->options.input;
  struct stat status {};
  if (input == "-") return new FrameSource(input, player->options.region);
  if (stat(input.c_str(), &status) != 0)
    fail(std::string(rgb_strerror(RGB_EOPEN)) + " (" + std::strerror(errno) + ")");
  if (!S_ISREG(status.st_mode)) return new FrameSource(input, player->options.region);
  rgb_reader* reader = nullptr;
  int result = rgb_reader_open(&reader, input.c_str());
  if (result != RGB_OK) {
    const int savedErrno = errno;
    fail(std::string(rgb_strerror(result)) + " (" + std::strerror(savedErrno) + ")");
  }
  result = rgb_reader_info(reader, first);
  const bool waitForGrowth = player->options.follow &&
                             (result == RGB_END || result == RGB_ESHORTHEADER);
  if (result == RGB_END && !waitForGrowth) fail("no frames in the stream");
  if (result != RGB_OK && !waitForGrowth) fail(rgb_strerror(result));
  if (result == RGB_OK && (first->width <= 0 || first->height <= 0))
    fail("pictures of " + std::to_string(first->width) + " x " + std::to_string(first->height) +
         " pixels cannot be shown");
  if (result != RGB_OK) first->width = 0;  // size not known yet
  int64_t frames = 0;
  if (rgb_reader_count(reader, &frames, nullptr) != RGB_OK) frames = 0;
  return new FrameSource(reader, frames, player->options.follow, player->options.region);
}

}  // namespace
}  // namespace rgbplay

int main(int argc, char** argv) {
  using namespace rgbplay;
  player = new Player;
  const int status = parseCommandLine(argc, argv, player->options);
  if (status != kContinue) return status;
  player->speed = player->options.speed;
  player->fit = player->options.fit;

  rgb_frame_info first{};
  player->source = openSource(&first);

  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  int width = kWaitingWidth;
  int height = kWaitingHeight;
  if (first.width > 0) {
    windowSizeFor(first.width, first.height, &width, &height);
    player->sized = true;
  }
  player->windowWidth = width;
  player->windowHeight = height;
  toolkit::openPictureWindow("rgbplay", width, height);
  updateTitle(Clock::now());
  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(key);
  glutSpecialFunc(specialKey);
  player->source->start();
  glutTimerFunc(1, tick, 0);
  glutMainLoop();
  quit(kExitOk);
}
