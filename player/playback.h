// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The player's window: frames shown at their pace, keys, the title.
#ifndef RGBPLAY_PLAYBACK_H
#define RGBPLAY_PLAYBACK_H

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "player/frame_queue.h"
#include "player/options.h"
#include "player/pacing.h"

namespace rgbplay {

using Clock = std::chrono::steady_clock;

// The player's state: used only on the GLUT thread. Once playing it is
// alive until the process ends (the reader thread may still be running
// then); before, it is released like any object.
struct Player {
  Options options;
  std::unique_ptr<FrameQueue> source;
  std::unique_ptr<Frame> current;
  bool playing = true;
  bool ended = false;        // the source said End after the current frame
  bool showNext = true;      // show the next frame at once (start, seeks)
  bool stepPending = false;  // Right while paused, frame not read yet
  bool marked = true;
  bool fit = true;
  bool sized = false;  // the window has the picture's size
  double speed = 1;
  // How long the current frame stays when nothing follows it (the end, a
  // loop, damage) and the step into it was none: the last wait between two
  // frames, in stream ms.
  double holdMs = kDefaultHoldMs;
  Clock::time_point due;  // when the current frame was due
  std::deque<Clock::time_point> shown;
  int windowWidth = 0;
  int windowHeight = 0;
  std::string title;
};

// Ends the process with `status` without exit's clean-up of stdio: the
// reader thread may be inside a read on one of those streams.
[[noreturn]] void quit(int status);
// "rgbplay: INPUT: REASON" on stderr, and status 1.
[[noreturn]] void fail(const Player& player, const std::string& reason);

// The window size for a picture: its own, or scaled down with its aspect
// kept until it fits the screen (GLUT must be initialised).
void windowSizeFor(const Player& player, int width, int height, int* windowWidth,
                   int* windowHeight);

// Opens nothing: the window exists. Sets the callbacks, starts the reader
// thread and runs GLUT's loop until a key or the stream ends the process.
[[noreturn]] void play(Player& player);

}  // namespace rgbplay

#endif  // RGBPLAY_PLAYBACK_H
