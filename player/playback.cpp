// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/playback.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "player/title.h"
#include "toolkit/program.h"
#include "toolkit/window.h"

namespace rgbplay {
namespace {

using Millis = std::chrono::duration<double, std::milli>;
using Target = FrameQueue::Target;

constexpr unsigned char kEscape = 27;
// The timer never sleeps longer than this, so new frames, keys' effects and
// the title follow within a few milliseconds.
constexpr int kMaxTickMs = 10;
// A frame shown later than this after its due time starts a new schedule
// instead of being caught up with (a producer that paused, a slow machine).
constexpr Millis kResync(250);
// The measured rate covers the frames shown in this span.
constexpr Millis kRateWindow(2000);

Player* player = nullptr;

// Stream milliseconds as time on the wall clock, at the current speed.
Clock::duration wallTime(double streamMs) {
  return std::chrono::duration_cast<Clock::duration>(Millis(streamMs / player->speed));
}

double measuredRate(Clock::time_point now) {
  while (!player->shown.empty() && now - player->shown.front() > kRateWindow)
    player->shown.pop_front();
  if (player->shown.size() < 2) return 0;
  const double span = Millis(player->shown.back() - player->shown.front()).count();
  return span > 0 ? 1000.0 * static_cast<double>(player->shown.size() - 1) / span : 0;
}

void updateTitle(Clock::time_point now) {
  TitleFacts facts;
  facts.name = player->options.input;
  if (const Frame* frame = player->current.get()) {
    facts.haveFrame = true;
    facts.index = frame->index();
    facts.frames = player->source->seekable() ? player->source->frames() : -1;
    facts.time = frame->time;
    facts.stamp = frame->stamp();
    facts.step = frame->step;
    facts.rate = measuredRate(now);
  }
  facts.speed = player->speed;
  facts.paused = !player->playing;
  facts.ended = player->ended;
  facts.loop = player->options.loop;
  facts.follow = player->options.follow;
  const std::string text = titleText(facts);
  if (player->title != text) {
    player->title = text;
    glutSetWindowTitle(text.c_str());
  }
}

void show(std::unique_ptr<Frame> frame, Clock::time_point now, Clock::time_point due) {
  if (!player->sized) {
    int width = 0;
    int height = 0;
    windowSizeFor(*player, frame->width(), frame->height(), &width, &height);
    glutReshapeWindow(width, height);
    player->sized = true;
  }
  player->source->recycle(std::move(player->current));
  player->current = std::move(frame);
  player->due = now - due > kResync ? now : due;
  player->shown.push_back(now);
  glutPostRedisplay();
}

// The wait before `next` after the frame before it, in stream ms.
double waitMs(const Frame& next) { return waitBefore(next.step, player->options.fps); }

// When frame `next` is due if the frame before it was due at `due`.
Clock::time_point dueAfter(Clock::time_point due, const Frame& next) {
  return due + wallTime(waitMs(next));
}

// When the current frame's time is over with nothing after it: the step
// into it, or the last wait between frames when that step was none.
Clock::time_point holdEnds() {
  const double step = waitMs(*player->current);
  return player->due + wallTime(step > 0 ? step : player->holdMs);
}

// Whether `until` has come; if not, shortens the next tick to it.
bool reached(Clock::time_point until, Clock::time_point now, int* wait) {
  if (now >= until) return true;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  *wait = static_cast<int>(std::clamp<long long>(left, 1, kMaxTickMs));
  return false;
}

void seekTo(const Target& target) {
  player->source->seek(target);
  player->showNext = true;
  player->ended = false;
}

void showNextFrame(Clock::time_point now, int* wait) {
  const Frame* next = player->source->peek(0);
  Clock::time_point due = now;
  const bool stepping = !player->playing && player->stepPending;
  if (player->current && !player->showNext && !stepping) {
    if (!player->playing) return;
    due = dueAfter(player->due, *next);
    if (!reached(due, now, wait)) return;
    // Behind the stamps' clock (drawing slower than the frames come): a
    // frame whose successor is due as well is passed over, so the picture
    // keeps to the clock instead of lagging more and more.
    while (const Frame* after = player->source->peek(1)) {
      const Clock::time_point afterDue = dueAfter(due, *after);
      if (now < afterDue) break;
      player->source->recycle(player->source->take());
      due = afterDue;
      next = after;
    }
    if (waitMs(*next) > 0) player->holdMs = waitMs(*next);
  }
  player->showNext = false;
  player->stepPending = false;
  player->ended = false;
  show(player->source->take(), now, due);
  *wait = 1;  // the next frame may be due at once (equal stamps)
}

// The clean end: with --loop or --exit-at-end, once the last frame has had
// its time, play again or leave.
void atEnd(Clock::time_point now, int* wait) {
  player->ended = true;
  const Options& options = player->options;
  if (!player->playing || !player->current || !(options.loop || options.exitAtEnd)) return;
  if (!reached(holdEnds(), now, wait)) return;
  if (options.exitAtEnd) quit(kExitOk);
  seekTo({Target::Kind::Index, 0});
}

// Reached in order: every good frame before the damage has had its turn,
// the last one its time too, and nothing of the damaged one is shown.
void atDamage(Clock::time_point now, int* wait) {
  const bool asked = !player->current || player->showNext || player->stepPending;
  if (asked || (player->playing && reached(holdEnds(), now, wait)))
    fail(*player, player->source->error());
}

void tick(int) {
  const Clock::time_point now = Clock::now();
  int wait = kMaxTickMs;
  switch (player->source->next()) {
    case Next::Frame:
      showNextFrame(now, &wait);
      break;
    case Next::End:
      atEnd(now, &wait);
      break;
    case Next::Error:
      atDamage(now, &wait);
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
      zoom = static_cast<float>(std::min(static_cast<double>(player->windowWidth) / frame.width(),
                                         static_cast<double>(player->windowHeight) / frame.height()));
      left = std::max(0, static_cast<int>((player->windowWidth -
                                           static_cast<double>(frame.width()) * zoom) / 2));
      bottom = std::max(0, static_cast<int>((player->windowHeight -
                                             static_cast<double>(frame.height()) * zoom) / 2));
    }
    if (zoom > 0)
      toolkit::drawPicture(player->marked ? frame.display.get() : frame.picture.pixels(),
                           frame.width(), frame.height(), left, bottom, zoom);
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

// Down and Up: a few seconds along the timeline, at least one frame.
void seekBy(int direction) {
  if (!player->source->seekable() || !player->current) return;
  const Frame& at = *player->current;
  seekTo({Target::Kind::Time, at.time + direction * kSeekStepMs, at.index(), direction});
}

void key(unsigned char pressed, int, int) {
  switch (pressed) {
    case kEscape:
    case 'q':
      quit(kExitOk);
    case ' ':
      if (player->ended && player->playing && player->source->seekable()) {
        seekTo({Target::Kind::Index, 0});  // at the end, play again from the start
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
  const int64_t index = player->current ? player->current->index() : -1;
  switch (pressed) {
    case GLUT_KEY_LEFT:
      if (paused && seekable && index > 0) seekTo({Target::Kind::Index, index - 1});
      break;
    case GLUT_KEY_RIGHT:
      if (paused) player->stepPending = true;
      break;
    case GLUT_KEY_DOWN:
      seekBy(-1);
      break;
    case GLUT_KEY_UP:
      seekBy(1);
      break;
    case GLUT_KEY_HOME:
      if (seekable) seekTo({Target::Kind::Index, 0});
      break;
    case GLUT_KEY_END:
      if (seekable) seekTo({Target::Kind::Last});
      break;
    default:
      break;
  }
}

}  // namespace

void quit(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

void fail(const Player& failing, const std::string& reason) {
  toolkit::report(failing.options.input + ": " + reason);
  quit(kExitFailure);
}

void windowSizeFor(const Player& shown, int width, int height, int* windowWidth,
                   int* windowHeight) {
  *windowWidth = width;
  *windowHeight = height;
  if (!shown.options.fit) return;
  const int screenWidth = glutGet(GLUT_SCREEN_WIDTH);
  const int screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
  if (screenWidth <= 0 || screenHeight <= 0) return;
  if (width <= screenWidth && height <= screenHeight) return;
  const double scale = std::min(static_cast<double>(screenWidth) / width,
                                static_cast<double>(screenHeight) / height);
  *windowWidth = std::max(1, static_cast<int>(std::floor(width * scale)));
  *windowHeight = std::max(1, static_cast<int>(std::floor(height * scale)));
}

void play(Player& playing) {
  player = &playing;
  if (player->options.fps > 0) player->holdMs = waitBefore(0, player->options.fps);
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

}  // namespace rgbplay
