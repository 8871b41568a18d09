// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay in a real X server: pace against the stamps (also when they go
// back or jump), keys and seeking, --start, --loop and --exit-at-end,
// fitting to a small screen, a live FIFO, a followed file, the region
// options, damaged input, memory for huge declared frames and the command
// line.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"
#include "tests/viewer/pictures.h"
#include "tests/viewer/xserver.h"

namespace {

using viewertest::Picture;
using viewertest::difference;
using viewertest::expectedDisplay;
using viewertest::samplePicture;
using Window = xtest::Connection::WindowId;

const std::string kTitlePrefix = "rgbplay: ";

Picture solid(int width, int height, unsigned char red, unsigned char green, unsigned char blue) {
  Picture picture{width, height, rgbtest::Bytes(3 * static_cast<std::size_t>(width * height))};
  for (int i = 0; i < height; ++i)
    for (int j = 0; j < width; ++j) picture.set(i, j, red, green, blue);
  return picture;
}

rgbtest::Bytes streamOf(const std::vector<Picture>& pictures, const std::vector<int32_t>& stamps) {
  rgbtest::Bytes stream;
  for (std::size_t k = 0; k < pictures.size(); ++k)
    rgbtest::append(stream, rgbtest::frameBytes(pictures[k].rgb, 0, pictures[k].width,
                                                pictures[k].height, stamps.at(k)));
  return stream;
}

void appendToFile(const std::string& path, const unsigned char* bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  if (!out.flush()) throw std::runtime_error("cannot append to " + path);
}

// The frame index in a title, or -1 when it names none.
int frameIndex(const std::string& title) {
  const std::string word = "   frame ";
  const std::size_t at = title.find(word);
  if (at == std::string::npos) return -1;
  int index = 0;
  for (std::size_t k = at + word.size(); k < title.size() && title[k] >= '0' && title[k] <= '9'; ++k)
    index = 10 * index + (title[k] - '0');
  return index;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// One line on stderr that begins with `start` (the program, the input and
// the frame that failed) and gives the library's detail, which says
// `word`.
void expectOneMessage(const std::string& err, const std::string& start, const std::string& word) {
  EXPECT_EQ(err.rfind(start, 0), 0u) << err;
  EXPECT_NE(err.find(word, start.size()), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
}

// The window region of a picture's size at its bottom-left corner.
Picture bottomLeft(const xtest::Pixels& window, int width, int height) {
  if (window.width < width || window.height < height) return Picture{};
  Picture picture = solid(width, height, 0, 0, 0);
  for (int i = 0; i < height; ++i)
    for (int j = 0; j < width; ++j) {
      const unsigned char* p = window.at(window.height - 1 - i, j);
      picture.set(i, j, p[0], p[1], p[2]);
    }
  return picture;
}

// Each test gets a private X server (of the given screen size), a client
// connection to it and a folder.
class Player : public ::testing::Test {
 protected:
  explicit Player(int screenWidth = 2048, int screenHeight = 1536)
      : server(screenWidth, screenHeight), x(server.display()) {}

  std::unique_ptr<xtest::Child> start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{RGBPLAY_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<xtest::Child>(argv, server.display());
  }
  // Starts the player on a file holding these frames and waits for its
  // window.
  Window play(const std::vector<Picture>& pictures, const std::vector<int32_t>& stamps,
              const std::vector<std::string>& options = {}) {
    path = dir.file("frames.rgb");
    rgbtest::writeFile(path, streamOf(pictures, stamps));
    std::vector<std::string> args = options;
    args.push_back(path);
    player = start(args);
    return x.waitForWindow(kTitlePrefix);
  }
  // Polls the title until `accept` takes it; fails the test otherwise.
  template <typename Predicate>
  std::string waitForTitle(Window window, Predicate accept, const std::string& what,
                           xtest::Millis timeout = xtest::Millis(15000)) {
    const auto deadline = xtest::Clock::now() + timeout;
    std::string title = x.title(window);
    while (!accept(title) && xtest::Clock::now() < deadline) {
      xtest::Connection::pause(xtest::Millis(5));
      title = x.title(window);
    }
    EXPECT_TRUE(accept(title)) << "waiting for " << what << "; the title is \"" << title << "\"";
    return title;
  }
  std::string waitForFrame(Window window, int index) {
    return waitForTitle(window, [&](const std::string& t) { return frameIndex(t) == index; },
                        "frame " + std::to_string(index));
  }
  std::string waitForWord(Window window, const std::string& word) {
    return waitForTitle(window, [&](const std::string& t) { return has(t, word); }, word);
  }
  // Waits until the bottom-left corner shows `expected` at its own size.
  void expectShows(Window window, const Picture& expected) {
    const xtest::Pixels pixels = x.grabUntil(window, [&](const xtest::Pixels& p) {
      return difference(expected, bottomLeft(p, expected.width, expected.height)).empty();
    });
    EXPECT_EQ(difference(expected, bottomLeft(pixels, expected.width, expected.height)), "");
  }
  void quitWithSuccess(Window window) {
    x.typeKey(window, 'q');
    const xtest::Exit exit = player->wait();
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.status, 0);
    EXPECT_EQ(exit.err, "");
  }

  xtest::Xvfb server;
  xtest::Connection x;
  rgbtest::TempDir dir;
  std::string path;
  std::unique_ptr<xtest::Child> player;
};

// The titles a window showed, each with when it was first read.
struct TitleChange {
  xtest::Clock::time_point at;
  std::string title;
};
using TitleLog = std::vector<TitleChange>;

// Reads the title every millisecond until `done` accepts the log, the
// window goes away (the player ended) or `timeout` passes.
template <typename Done>
TitleLog recordTitles(xtest::Connection& x, Window window, Done done,
                      xtest::Millis timeout = xtest::Millis(30000)) {
  TitleLog log;
  const auto deadline = xtest::Clock::now() + timeout;
  try {
    while (!done(log) && xtest::Clock::now() < deadline) {
      std::string title = x.title(window);
      if (log.empty() || log.back().title != title)
        log.push_back({xtest::Clock::now(), std::move(title)});
      xtest::Connection::pause(xtest::Millis(1));
    }
  } catch (const std::runtime_error&) {
    // The window went away with the process.
  }
  return log;
}

// When frame `index` first showed in the log.
std::optional<xtest::Clock::time_point> firstSeen(const TitleLog& log, int index) {
  for (const TitleChange& change : log)
    if (frameIndex(change.title) == index) return change.at;
  return std::nullopt;
}

// The title frame `index` first showed with ("" when it never did).
std::string titleOf(const TitleLog& log, int index) {
  for (const TitleChange& change : log)
    if (frameIndex(change.title) == index) return change.title;
  return "";
}

// The frame indexes in the order they showed, each run of one counted once.
std::vector<int> indexesShown(const TitleLog& log) {
  std::vector<int> shown;
  for (const TitleChange& change : log) {
    const int index = frameIndex(change.title);
    if (index >= 0 && (shown.empty() || shown.back() != index)) shown.push_back(index);
  }
  return shown;
}

auto untilFrame(int index) {
  return [index](const TitleLog& log) { return firstSeen(log, index).has_value(); };
}

double msBetween(xtest::Clock::time_point from, xtest::Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// When each of `frames` first showed, in ms from when frame `origin` did
// (-1 for a frame that never showed).
std::vector<double> frameTimes(const TitleLog& log, int origin, const std::vector<int>& frames) {
  std::vector<double> times;
  const auto from = firstSeen(log, origin);
  for (const int k : frames) {
    const auto seen = firstSeen(log, k);
    times.push_back(from && seen ? msBetween(*from, *seen) : -1);
  }
  return times;
}

// Frames 1 .. frames - 1 from frame 1 (frame 0 may already be showing when
// reading starts).
std::vector<double> frameTimes(const TitleLog& log, int frames) {
  std::vector<int> indexes;
  for (int k = 1; k < frames; ++k) indexes.push_back(k);
  return frameTimes(log, 1, indexes);
}

// Every frame must show within this of its time from the first frame. The
// player schedules each frame from the previous frame's due time, so its
// own lateness does not add up; what is left is the sampling (a title read
// every few ms) and scheduling delays on a loaded machine, on either side.
// 100 ms still tells the stamps' pace (gaps of 300 and 600 ms here) from a
// fixed rate or from frames shown as fast as they are read.
constexpr double kPaceTolerance = 100;

void expectPace(const std::vector<double>& seen, const std::vector<double>& expected) {
  double worst = 0;
  for (std::size_t k = 0; k < expected.size(); ++k) {
    ASSERT_GE(seen[k], 0) << "frame #" << k << " never showed in the title";
    EXPECT_NEAR(seen[k], expected[k], kPaceTolerance) << "frame #" << k;
    worst = std::max(worst, std::fabs(seen[k] - expected[k]));
  }
  std::cout << "pace: worst " << worst << " ms off over " << expected.size() << " frames\n";
}

TEST_F(Player, ShowsFramesAtThePaceOfTheirStampsAcrossTheWrapOrAtAFixedRate) {
  // Gaps of 300 ms and one of 600 ms that crosses the end of the cycle.
  const std::vector<int32_t> stamps{9999100, 9999400, 9999700, 300,  600,
                                    900,     1200,    1500,    1800};
  // Times from frame 1 on.
  const std::vector<double> byStamps{0, 300, 900, 1200, 1500, 1800, 2100, 2400};
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < stamps.size(); ++k) pictures.push_back(samplePicture(48, 32, k));
  Window window = play(pictures, stamps);
  expectPace(frameTimes(recordTitles(x, window, untilFrame(8)), 9), byStamps);
  quitWithSuccess(window);

  // --fps ignores the stamps and --speed divides every interval.
  window = play(pictures, stamps, {"--fps", "4", "--speed", "2"});
  std::vector<double> fixed;
  for (int k = 0; k < 8; ++k) fixed.push_back(125.0 * k);
  expectPace(frameTimes(recordTitles(x, window, untilFrame(8)), 9), fixed);
  quitWithSuccess(window);
}

TEST_F(Player, StampsThatGoBackOrRepeatShowAtOnceAndAJumpWaitsOnlyTheCap) {
  // 400 ms steps with a step back of 200 ms (frame 2), a repeat (frame 4),
  // then a gap of 1,500 s (more than a 1,000 s cycle could hold) before
  // frame 6; played four times as fast. The frames before a step back or a
  // repeat are due at the same instant as the next one, so they may pass
  // unseen.
  const std::vector<int32_t> stamps{1000, 1400, 1200, 1600, 1600, 2000, 1502000, 1502400};
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < stamps.size(); ++k) pictures.push_back(samplePicture(48, 32, k));
  const Window window = play(pictures, stamps, {"--speed", "4"});
  const TitleLog log = recordTitles(x, window, untilFrame(7));
  // From frame 2: frame 4 at once after frame 3's 400 ms, frame 5 400 ms
  // later, frame 6 after the documented 5 s cap, frame 7 400 ms after; all
  // divided by 4.
  expectPace(frameTimes(log, 2, {4, 5, 6, 7}), {100, 200, 1450, 1550});
  // Times on the continuous timeline: steps back add nothing, the gap all.
  const std::vector<std::string> times{"0.000", "0.400", "0.400",    "0.800",
                                       "0.800", "1.200", "1501.200", "1501.600"};
  for (int k = 0; k < 8; ++k) {
    const std::string title = titleOf(log, k);
    if (title.empty()) continue;  // checked above for the frames that must show
    EXPECT_TRUE(has(title, "   frame " + std::to_string(k) + " of 8   time " +
                               times[static_cast<std::size_t>(k)] + " s   stamp " +
                               std::to_string(stamps[static_cast<std::size_t>(k)]) + " ms   "))
        << title;
    EXPECT_EQ(has(title, "   back"), k == 2 || k == 4) << title;
    EXPECT_EQ(has(title, "   jump"), k == 6) << title;
    EXPECT_TRUE(has(title, "   speed x4")) << title;
  }
  quitWithSuccess(window);
}

TEST_F(Player, StartsAtAnIndexOrATimeLoopsAndExitsAtTheEnd) {
  // Six frames 100 ms apart.
  const std::vector<int32_t> stamps{7000, 7100, 7200, 7300, 7400, 7500};
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < stamps.size(); ++k) pictures.push_back(samplePicture(48, 32, 30 + k));
  struct Case {
    std::vector<std::string> options;
    int first;  // the first frame played
  };
  const std::vector<Case> cases{
      {{}, 0},
      {{"--start", "3"}, 3},
      {{"--start", "250ms"}, 3},  // the first frame at or after 250 ms
      {{"--start", "0.3s"}, 3},
      {{"--start", "0.5s"}, 5},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.push_back("--exit-at-end");
    const Window window = play(pictures, stamps, options);
    const auto began = xtest::Clock::now();
    const TitleLog log =
        recordTitles(x, window, [&](const TitleLog&) { return !player->running(); });
    const xtest::Exit exit = player->wait();
    const std::string what = options.size() > 1 ? options[1] : "from the start";
    EXPECT_TRUE(exit.exited) << what;
    EXPECT_EQ(exit.status, 0) << what;
    EXPECT_EQ(exit.err, "") << what;
    // From the start to the last frame, in order. (A frame whose successor
    // is due as well may be passed over on a loaded machine.)
    const std::vector<int> shown = indexesShown(log);
    ASSERT_FALSE(shown.empty()) << what;
    EXPECT_EQ(shown.front(), c.first) << what;
    EXPECT_EQ(shown.back(), 5) << what;
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << what;
    // The frames' steps, and the last frame held for the step before it.
    EXPECT_GE(msBetween(began, xtest::Clock::now()), 100.0 * (6 - c.first) - kPaceTolerance)
        << what;
  }

  // A start the file never reaches is refused before any window opens.
  x.windowsCreatedSinceLastCall();
  for (const auto& [where, message] :
       {std::pair<std::string, std::string>{"6", "--start frame 6: the stream has 6 frames"},
        {"0.501s", "--start 0.501 s is after the last frame (at 0.500 s)"}}) {
    const xtest::Exit refused =
        xtest::run({RGBPLAY_PATH, "--start", where, path}, server.display());
    EXPECT_EQ(refused.status, 1) << where;
    EXPECT_EQ(refused.err, "rgbplay: " + path + ": " + message + "\n");
  }
  EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);

  // --loop: after the last frame, the first again.
  const Window window = play(pictures, stamps, {"--loop"});
  // Played on after the wrap: a frame from 2 on after the first frame 5.
  const auto playedOn = [](const std::vector<int>& shown) {
    const auto wrap = std::find(shown.begin(), shown.end(), 5);
    return std::find_if(wrap, shown.end(), [](int k) { return k >= 2 && k < 5; }) != shown.end();
  };
  const TitleLog log = recordTitles(
      x, window, [&](const TitleLog& sofar) { return playedOn(indexesShown(sofar)); });
  const std::vector<int> shown = indexesShown(log);
  ASSERT_TRUE(playedOn(shown)) << "no second round";
  const auto wrap = std::find(shown.begin(), shown.end(), 5);
  EXPECT_EQ(*(wrap + 1), 0) << "the first frame did not follow the last";
  EXPECT_TRUE(std::is_sorted(wrap + 1, shown.end()));
  EXPECT_TRUE(has(log.back().title, "   loop")) << log.back().title;
  quitWithSuccess(window);
}

TEST_F(Player, SeekKeysMoveFiveSecondsOnTheTimelineAndAtLeastOneFrame) {
  // One frame a second, then a gap of 20 s.
  constexpr int32_t kCycle = 10000000;  // the stamps' documented cycle, in ms
  std::vector<int32_t> stamps;
  for (int32_t k = 0; k < 10; ++k) stamps.push_back((9995000 + 1000 * k) % kCycle);  // wraps
  stamps.push_back((stamps.back() + 20000) % kCycle);
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < stamps.size(); ++k) pictures.push_back(samplePicture(64, 48, 50 + k));
  const Window window = play(pictures, stamps);
  waitForFrame(window, 0);
  x.typeKey(window, ' ');
  const int at = frameIndex(waitForWord(window, "paused"));
  ASSERT_TRUE(at == 0 || at == 1) << at;
  constexpr unsigned long kUp = 0xff52;
  constexpr unsigned long kDown = 0xff54;
  // Paused: each key shows its frame and stays paused.
  // Frame k is at k s up to frame 9; frame 10 at 29 s. A seek goes to the
  // first frame at or after its time, but at least one frame on or back.
  const std::vector<std::pair<unsigned long, int>> steps{
      {kUp, at + 5}, {kUp, 10},  // across the gap
      {kUp, 10},                 // the last frame stays
      {kDown, 9},                // 24 s: back one frame at least
      {kDown, 4},    {kDown, 0}, {kDown, 0}};
  for (const auto& [key, index] : steps) {
    x.typeKey(window, key);
    waitForFrame(window, index);
    expectShows(window, expectedDisplay(pictures[static_cast<std::size_t>(index)]));
    EXPECT_TRUE(has(x.title(window), "   paused")) << x.title(window);
  }
  // Playing: five seconds on from wherever it is, at once.
  x.typeKey(window, ' ');
  waitForFrame(window, 1);
  const auto pressed = xtest::Clock::now();
  x.typeKey(window, kUp);
  const std::string title = waitForTitle(
      window, [](const std::string& t) { return frameIndex(t) >= 6; }, "a frame 5 s on");
  EXPECT_LE(frameIndex(title), 7) << title;
  EXPECT_LT(msBetween(pressed, xtest::Clock::now()), 900) << title;
  quitWithSuccess(window);
}

TEST_F(Player, PausesStepsAndJumpsOnKeysAndSwitchesTheMarking) {
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < 5; ++k) pictures.push_back(samplePicture(431, 520, 20 + k));
  // Ten seconds apart (played as 5 s): playing never gets past frame 1
  // before the pause.
  const Window window = play(pictures, {1000, 11000, 21000, 31000, 41000});
  EXPECT_EQ(x.size(window), std::make_pair(431, 520));
  waitForFrame(window, 0);
  x.typeKey(window, ' ');
  const int at = frameIndex(waitForWord(window, "paused"));
  ASSERT_TRUE(at == 0 || at == 1) << at;
  const auto shows = [&](int index) {
    waitForFrame(window, index);
    expectShows(window, expectedDisplay(pictures[static_cast<std::size_t>(index)]));
  };
  shows(at);
  x.typeKey(window, 0xff53);  // Right
  shows(at + 1);
  x.typeKey(window, 0xff51);  // Left
  shows(at);
  x.typeKey(window, 0xff57);  // End
  shows(4);
  EXPECT_TRUE(has(x.title(window), "   frame 4 of 5   ")) << x.title(window);
  x.typeKey(window, 0xff50);  // Home
  shows(0);
  x.typeKey(window, 0xff51);  // Left at the first frame stays there
  x.typeKey(window, 'm');
  expectShows(window, pictures[0]);
  x.typeKey(window, 'm');
  expectShows(window, expectedDisplay(pictures[0]));
  EXPECT_EQ(frameIndex(x.title(window)), 0);
  x.typeKey(window, ' ');
  waitForTitle(window, [](const std::string& t) { return !has(t, "paused"); }, "playing again");
  quitWithSuccess(window);
}

// A picture of four quadrants, so that cropping or stretching shows.
Picture quadrants(int width, int height) {
  Picture picture = solid(width, height, 0, 0, 0);
  for (int i = 0; i < height; ++i)
    for (int j = 0; j < width; ++j) {
      const bool top = i >= height / 2;
      const bool right = j >= width / 2;
      picture.set(i, j, top ? 0 : 200, right ? 200 : 0, top ? 200 : 0);
    }
  return picture;
}

// The bounding box of the window's non-black pixels: left, top, width,
// height (from the top, X order).
std::vector<int> litBox(const xtest::Pixels& pixels) {
  int left = pixels.width, top = pixels.height, right = -1, bottom = -1;
  for (int i = 0; i < pixels.height; ++i)
    for (int j = 0; j < pixels.width; ++j) {
      const unsigned char* p = pixels.at(i, j);
      if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
      left = std::min(left, j);
      right = std::max(right, j);
      top = std::min(top, i);
      bottom = std::max(bottom, i);
    }
  return {left, top, right - left + 1, bottom - top + 1};
}

// Every lit pixel has its quadrant's colour, away from the middle lines.
std::string quadrantMismatch(const xtest::Pixels& pixels, const std::vector<int>& box) {
  for (int i = box[1]; i < box[1] + box[3]; ++i)
    for (int j = box[0]; j < box[0] + box[2]; ++j) {
      const int fromMiddleRow = 2 * (i - box[1]) - box[3];
      const int fromMiddleColumn = 2 * (j - box[0]) - box[2];
      if (std::abs(fromMiddleRow) <= 4 || std::abs(fromMiddleColumn) <= 4) continue;
      const bool top = fromMiddleRow < 0;
      const bool right = fromMiddleColumn > 0;
      const unsigned char* p = pixels.at(i, j);
      if (p[0] != (top ? 0 : 200) || p[1] != (right ? 200 : 0) || p[2] != (top ? 200 : 0))
        return "pixel (" + std::to_string(i) + " from the top, column " + std::to_string(j) +
               ") has the wrong quadrant's colour";
    }
  return "";
}

class PlayerOnASmallScreen : public Player {
 protected:
  PlayerOnASmallScreen() : Player(640, 480) {}
};

TEST_F(PlayerOnASmallScreen, ScalesALargePictureToTheScreenAndFollowsResizes) {
  const Window window = play({quadrants(1280, 960)}, {0});
  const auto [width, height] = x.size(window);
  EXPECT_LE(width, 640);
  EXPECT_LE(height, 480);
  waitForFrame(window, 0);
  x.typeKey(window, 'm');  // the plain view: no region edges across the quadrants
  // Scaled by a half: the whole picture, its aspect kept.
  xtest::Pixels pixels = x.grabUntil(window, [](const xtest::Pixels& p) {
    const std::vector<int> box = litBox(p);
    return box[2] >= 630 && box[3] >= 470 && quadrantMismatch(p, box).empty();
  });
  std::vector<int> box = litBox(pixels);
  EXPECT_NEAR(box[2], 640, 2);
  EXPECT_NEAR(box[3], 480, 2);
  EXPECT_EQ(quadrantMismatch(pixels, box), "");

  // Fit off: the picture at its own size from the bottom-left corner, so
  // the window holds only the bottom-left (red) quadrant.
  x.typeKey(window, 'f');
  pixels = x.grabUntil(window, [&](const xtest::Pixels& p) {
    return p.at(0, p.width - 1)[0] == 200 && p.at(0, p.width - 1)[2] == 0;
  });
  for (const auto& [i, j] : {std::pair{0, 0}, {0, width - 1}, {height - 1, width - 1}}) {
    const unsigned char* p = pixels.at(i, j);
    EXPECT_EQ(std::vector<int>({p[0], p[1], p[2]}), std::vector<int>({200, 0, 0}))
        << "at " << i << ", " << j;
  }

  // Fit on again in a wide, low window: scaled to its height and centred.
  x.typeKey(window, 'f');
  x.resize(window, 400, 200);
  pixels = x.grabUntil(window, [](const xtest::Pixels& p) {
    const std::vector<int> lit = litBox(p);
    return lit[3] == 200 && std::abs(lit[2] - 267) <= 2 && quadrantMismatch(p, lit).empty();
  });
  box = litBox(pixels);
  EXPECT_NEAR(box[2], 267, 2);
  EXPECT_EQ(box[3], 200);
  EXPECT_NEAR(box[0], (400 - 267) / 2, 2);
  EXPECT_EQ(quadrantMismatch(pixels, box), "");
  quitWithSuccess(window);
}

// The write end of a FIFO, opened once the reader is there.
class Producer {
 public:
  explicit Producer(const std::string& fifo) : fd_(open(fifo.c_str(), O_WRONLY)) {
    if (fd_ < 0) throw std::runtime_error("cannot open the FIFO " + fifo + " for writing");
  }
  ~Producer() { close(); }
  void write(const rgbtest::Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("cannot write to the FIFO");
      done += static_cast<std::size_t>(n);
    }
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

TEST_F(Player, ShowsALiveFifoAsFramesArriveAndAnswersWhileTheProducerWaits) {
  path = dir.file("live");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  player = start({path});
  // No producer yet: the reader waits in open(2), the window does not.
  const Window window = x.waitForWindow(kTitlePrefix);
  waitForWord(window, "waiting for frames");
  // Paint over it from outside; a key makes the player redraw its black.
  x.fill(window, 255, 255, 255);
  x.typeKey(window, 'm');
  x.grabUntil(window, [](const xtest::Pixels& p) { return p.at(5, 5)[0] == 0; });
  EXPECT_EQ(x.grab(window).at(5, 5)[0], 0) << "no redraw while waiting for the producer";
  x.typeKey(window, 'm');

  const Picture first = samplePicture(431, 520, 40);
  const Picture second = samplePicture(431, 520, 41);
  Producer producer(path);
  producer.write(rgbtest::frameBytes(first.rgb, 0, first.width, first.height, 5000));
  waitForFrame(window, 0);
  expectShows(window, expectedDisplay(first));
  EXPECT_EQ(x.size(window), std::make_pair(431, 520));
  // The producer is silent: keys and redraws still work.
  x.typeKey(window, 'm');
  expectShows(window, first);
  x.fill(window, 0, 0, 0);
  x.typeKey(window, 'f');  // fit off: the same picture, redrawn
  expectShows(window, first);
  x.typeKey(window, 'f');
  x.typeKey(window, 'm');
  expectShows(window, expectedDisplay(first));

  producer.write(rgbtest::frameBytes(second.rgb, 0, second.width, second.height, 5100));
  waitForFrame(window, 1);
  expectShows(window, expectedDisplay(second));
  producer.close();
  waitForWord(window, "end");
  quitWithSuccess(window);
}

TEST_F(Player, PlaysStandardInputToItsEnd) {
  const Picture first = samplePicture(120, 90, 60);
  const Picture second = samplePicture(120, 90, 61);
  path = dir.file("frames.rgb");
  rgbtest::writeFile(path, streamOf({first, second}, {700, 800}));
  player = std::make_unique<xtest::Child>(
      std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" - < \"$1\"", RGBPLAY_PATH, path},
      server.display());
  const Window window = x.waitForWindow(kTitlePrefix);
  const std::string title = waitForWord(window, "end");
  // Standard input redirected from a file is a file: counted and seekable.
  EXPECT_EQ(title.find("rgbplay: -   frame 1 of 2   time 0.100 s   stamp 800 ms   "), 0u)
      << title;
  expectShows(window, expectedDisplay(second));
  quitWithSuccess(window);
}

TEST_F(Player, FollowsAFileThatGrowsEvenThroughAHalfWrittenFrameOrIsWrittenAnew) {
  const Picture first = samplePicture(120, 90, 50);
  const Picture second = samplePicture(120, 90, 51);
  const Window window = play({first}, {2000}, {"--follow"});
  waitForTitle(
      window, [](const std::string& t) { return has(t, "frame 0 of 1"); },
      "frame 0 of 1");
  expectShows(window, expectedDisplay(first));

  const rgbtest::Bytes more = rgbtest::frameBytes(second.rgb, 0, 120, 90, 2040);
  const std::size_t half = more.size() / 2;
  appendToFile(path, more.data(), half);
  // Give the player time to meet the half-written frame (no assertion on
  // timing: a player that took it for damage would end and never show it).
  xtest::Connection::pause(xtest::Millis(300));
  appendToFile(path, more.data() + half, more.size() - half);
  waitForTitle(
      window, [](const std::string& t) { return has(t, "frame 1 of 2"); },
      "frame 1 of 2");
  expectShows(window, expectedDisplay(second));
  EXPECT_TRUE(player->running());

  // The recorder starts over: the file is cut and written anew. It is read
  // again from its frame 0, with its own timeline, and the player says so.
  const Picture third = samplePicture(120, 90, 52);
  const Picture fourth = samplePicture(120, 90, 53);
  rgbtest::writeFile(path, streamOf({third, fourth}, {9000, 9500}));
  waitForTitle(
      window, [](const std::string& t) { return has(t, "frame 1 of 2   time 0.500 s   "); },
      "frame 1 of 2 at 0.5 s");
  expectShows(window, expectedDisplay(fourth));
  x.typeKey(window, 'q');
  const xtest::Exit exit = player->wait();
  EXPECT_EQ(exit.status, 0);
  EXPECT_TRUE(has(exit.err, "rgbplay: " + path + ": cut short")) << exit.err;
}

TEST_F(Player, MarksTheRegionAndThresholdGivenOnTheCommandLine) {
  // 40 x 30 of (10, 20, 30); region columns 5 .. 25, rows 4 .. 14 (from the
  // bottom), threshold 100.
  Picture input = solid(40, 30, 10, 20, 30);
  input.set(8, 10, 101, 101, 101);   // inside, just above the threshold
  input.set(5, 6, 255, 255, 255);    // inside, next to the bottom-left corner
  input.set(13, 24, 250, 240, 230);  // inside, next to the top-right corner
  input.set(9, 12, 100, 200, 200);   // inside, one channel at the threshold
  input.set(2, 2, 255, 255, 255);    // outside
  input.set(14, 30, 255, 255, 255);  // outside, beside the top edge's row
  input.set(9, 5, 255, 255, 255);    // on the left edge

  Picture expected = input;
  expected.set(8, 10, 0, 255, 0);
  expected.set(5, 6, 0, 255, 0);
  expected.set(13, 24, 0, 255, 0);
  for (int row = 4; row < 14; ++row) {
    expected.at(row, 5)[2] = 255;   // left: blue
    expected.at(row, 25)[1] = 255;  // right: green
  }
  for (int column = 5; column < 25; ++column) {
    expected.at(4, column)[0] = 255;   // bottom: red
    expected.at(14, column)[0] = 255;  // top: red and green
    expected.at(14, column)[1] = 255;
  }
  const Window window = play({input}, {0}, {"--roi", "5,4,20,10", "--threshold", "100"});
  waitForFrame(window, 0);
  expectShows(window, expected);
  x.typeKey(window, 'm');
  expectShows(window, input);
  quitWithSuccess(window);
}

TEST_F(Player, ShowsTheLastGoodFrameForItsTimeThenStopsAtTheDamageWithTheReason) {
  // Two good frames 500 ms apart, then a third cut inside its pixels: the
  // second stays its 500 ms (the step before it) before the run ends.
  const Picture red = solid(64, 48, 200, 0, 0);
  const Picture green = solid(64, 48, 0, 200, 0);
  const Picture blue = solid(64, 48, 0, 0, 200);
  rgbtest::Bytes stream = streamOf({red, green, blue}, {100, 600, 1100});
  stream.resize(stream.size() - 64 * 10);
  path = dir.file("cut.rgb");
  rgbtest::writeFile(path, stream);
  player = start({path});
  const Window window = x.waitForWindow(kTitlePrefix);
  std::optional<xtest::Clock::time_point> firstGreen;
  std::optional<xtest::Clock::time_point> lastGreen;
  bool sawBlue = false;
  try {
    while (player->running()) {
      const xtest::Pixels pixels = x.grab(window);
      const auto now = xtest::Clock::now();
      const unsigned char* p = pixels.at(pixels.height / 2, pixels.width / 2);
      if (p[1] == 200 && p[0] == 0) {
        if (!firstGreen) firstGreen = now;
        lastGreen = now;
      }
      sawBlue = sawBlue || (p[2] == 200 && p[0] == 0);
    }
  } catch (const std::runtime_error&) {
    // The window went away with the process between two reads.
  }
  const xtest::Exit exit = player->wait();
  EXPECT_TRUE(exit.exited);
  EXPECT_EQ(exit.status, 1);
  expectOneMessage(exit.err, "rgbplay: " + path + ": frame 2: ", "ends inside frame 2");
  ASSERT_TRUE(firstGreen) << "the last good frame was not shown";
  EXPECT_GE(msBetween(*firstGreen, *lastGreen), 500 - kPaceTolerance)
      << "the last good frame was not shown for its time";
  EXPECT_FALSE(sawBlue) << "pixels of the damaged frame were shown";

  // Not a frame stream at all: refused before any window opens.
  x.windowsCreatedSinceLastCall();
  path = dir.file("text.rgb");
  rgbtest::Bytes text(600, 'x');
  rgbtest::writeFile(path, text);
  const xtest::Exit refused = xtest::run({RGBPLAY_PATH, path}, server.display());
  EXPECT_EQ(refused.status, 1);
  expectOneMessage(refused.err, "rgbplay: " + path + ": frame 0: ", "magic");
  // A closed standard input: the X connection would take its descriptor.
  const xtest::Exit closed = xtest::run(
      {"/bin/sh", "-c", "exec \"$0\" - <&-", RGBPLAY_PATH}, server.display());
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "rgbplay: -: standard input is closed\n");
  EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);
}

// The peak resident memory of a running process, in KiB.
long peakKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  throw std::runtime_error("no VmHWM for process " + std::to_string(pid));
}

rgbtest::Bytes hugeHeader(uint16_t side) {
  rgbtest::HeaderFields fields;
  fields.xsize = side;
  fields.ysize = side;
  return rgbtest::headerBytes(fields);
}

// Far below one frame of the sides declared here (1.2 GB, 2.7 GB): what
// the player needs to run in the X server, and the target for a program
// that fails before it opens a window.
constexpr long kPeakLimitKiB = 192 * 1024;
constexpr long kNoWindowPeakLimitKiB = 64 * 1024;

TEST_F(Player, HugeDeclaredFramesCostNoMemoryUntilTheirPixelsArrive) {
  // A file of nothing but a 30000 x 30000 header: the reason at once,
  // before any window opens. Run first, so that it is the only child
  // reaped when the peak of the children is taken.
  x.windowsCreatedSinceLastCall();
  path = dir.file("header.rgb");
  rgbtest::writeFile(path, hugeHeader(30000));
  const xtest::Exit exit = xtest::run({RGBPLAY_PATH, path}, server.display());
  EXPECT_EQ(exit.status, 1);
  expectOneMessage(exit.err, "rgbplay: " + path + ": frame 0: ", "ends inside frame 0");
  EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);
  rusage children{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &children), 0);
  std::cout << "peak on the header file: " << children.ru_maxrss / 1024 << " MiB\n";
  EXPECT_LT(children.ru_maxrss, kNoWindowPeakLimitKiB);

  // A FIFO whose producer declares 20000 x 20000, sends 1 MiB and stalls.
  path = dir.file("live");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  player = start({path});
  Producer producer(path);
  rgbtest::Bytes sent = hugeHeader(20000);
  sent.resize(sent.size() + (1u << 20), 0x55);
  producer.write(sent);
  const Window window = x.waitForWindow(kTitlePrefix);
  waitForWord(window, "waiting for frames");
  xtest::Connection::pause(xtest::Millis(1000));
  const long peak = peakKiB(player->pid());
  std::cout << "peak while stalled: " << peak / 1024 << " MiB\n";
  EXPECT_LT(peak, kPeakLimitKiB);
  // Still answering keys.
  x.typeKey(window, '+');
  waitForWord(window, "speed x2");
  quitWithSuccess(window);
}

TEST(PlayerCommandLine, HelpVersionAndUsageErrorsFollowTheToolsConventions) {
  for (const char* flag : {"--help", "-h"}) {
    const xtest::Exit help = xtest::run({RGBPLAY_PATH, flag}, "");
    EXPECT_EQ(help.status, 0) << flag;
    EXPECT_EQ(help.out.rfind("Usage: rgbplay [options] FILE|FIFO|-\n", 0), 0u) << help.out;
    for (const char* documented : {"--start WHERE", "--loop", "--exit-at-end", "+ (or =), -",
                                   "Down, Up", "\"jump\"", "Examples:"})
      EXPECT_TRUE(has(help.out, documented)) << documented;
    EXPECT_EQ(help.err, "") << flag;
  }
  for (const char* flag : {"--version", "-V"}) {
    const xtest::Exit version = xtest::run({RGBPLAY_PATH, flag}, "");
    EXPECT_EQ(version.status, 0) << flag;
    EXPECT_EQ(version.out, std::string("rgbplay ") + RGB_PROJECT_VERSION + "\n");
    EXPECT_EQ(version.err, "") << flag;
  }

  rgbtest::TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> wrong{
      {},
      {"a.rgb", "b.rgb"},
      {"--fps", "0", "a.rgb"},
      {"--speed", "100", "a.rgb"},
      {"--roi", "1,2,3", "a.rgb"},
      {"--roi", "1,2,0,4", "a.rgb"},
      {"--threshold", "256", "a.rgb"},
      {"--bogus", "a.rgb"},
      {"-x", "a.rgb"},
      {"a.rgb", "--fps"},
      {"--start", "-1", "a.rgb"},
      {"--start", "4.5", "a.rgb"},
      {"--start", "1.2345s", "a.rgb"},
      {"--start", "1e3", "a.rgb"},
      {"--start", "0x10", "a.rgb"},
      {"--start", "s", "a.rgb"},
      {"--start", "4.ms", "a.rgb"},
      {"--start", "2m", "a.rgb"},
      {"--loop", "--exit-at-end", "a.rgb"},
      {"--follow", "--loop", "a.rgb"},
      {"--follow", "--exit-at-end", "a.rgb"},
      {"--loop", "-"},
      {"--loop", fifo},
  };
  for (const auto& args : wrong) {
    std::vector<std::string> argv{RGBPLAY_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const xtest::Exit exit = xtest::run(argv, "");
    std::string words;
    for (const std::string& arg : args) words += " " + arg;
    EXPECT_TRUE(exit.exited) << words;
    EXPECT_EQ(exit.status, 2) << words;
    EXPECT_EQ(exit.out, "") << words;
    EXPECT_EQ(exit.err.rfind("rgbplay: ", 0), 0u) << words << ": " << exit.err;
  }

  const xtest::Exit missing = xtest::run({RGBPLAY_PATH, "/nonexistent/a.rgb"}, "");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("rgbplay: /nonexistent/a.rgb: ", 0), 0u) << missing.err;
}

}  // namespace
