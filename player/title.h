// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The window title: where playing stands, in words a script can read back.
#ifndef RGBPLAY_TITLE_H
#define RGBPLAY_TITLE_H

#include <cstdint>
#include <string>

namespace rgbplay {

struct TitleFacts {
  std::string name;
  bool haveFrame = false;  // false: nothing shown yet
  int64_t index = 0;
  int64_t frames = -1;  // the stream's frames, or -1 when not known (live)
  int64_t time = 0;     // ms on the continuous timeline
  int32_t stamp = 0;
  int64_t step = 0;     // ms from the frame before's stamp
  double rate = 0;      // frames per second shown lately
  double speed = 1;
  bool paused = false;
  bool ended = false;
  bool loop = false;
  bool follow = false;
};

// "rgbplay: NAME   frame 199 of 200   time 1500.100 s   stamp 100 ms
// 25.0 fps" and the markers that apply ("speed x2", "paused", "end",
// "jump", "back", "loop", "follow"), three spaces apart; before the first
// frame "rgbplay: NAME   waiting for frames".
std::string titleText(const TitleFacts& facts);

}  // namespace rgbplay

#endif  // RGBPLAY_TITLE_H
