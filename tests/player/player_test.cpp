// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay in a real X server: pace against the stamps, keys, fitting to a
// small screen, a live FIFO, a followed file, the region options, damaged
// input and the command line.
#include <fcntl.h>
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

// The 1-based frame number in a title, or 0 when it names none.
int frameNumber(const std::string& title) {
  const std::string word = "   frame ";
  const std::size_t at = title.find(word);
  if (at == std::string::npos) return 0;
  int number = 0;
  for (std::size_t k = at + word.size(); k < title.size() && title[k] >= '0' && title[k] <= '9'; ++k)
    number = 10 * number + (title[k] - '0');
  return number;
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
  std::string waitForFrame(Window window, int number) {
    return waitForTitle(window, [&](const std::string& t) { return frameNumber(t) == number; },
                        "frame " + std::to_string(number));
  }
  std::string waitForWord(Window window, const std::string& word) {
    return waitForTitle(
        window, [&](const std::string& t) { return t.find(word) != std::string::npos; }, word);
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

// When each frame number first shows in the title, in ms from when the
// second one does: frame 1 may already be showing when sampling starts, so
// only frame 2 and later give exact times.
std::vector<double> sampleFrameTimes(xtest::Connection& x, Window window, int frames) {
  std::vector<xtest::Clock::time_point> seen(static_cast<std::size_t>(frames));
  std::vector<bool> have(static_cast<std::size_t>(frames), false);
  const auto deadline = xtest::Clock::now() + xtest::Millis(30000);
  while (!have.back() && xtest::Clock::now() < deadline) {
    const int number = frameNumber(x.title(window));
    if (number >= 1 && number <= frames && !have[static_cast<std::size_t>(number - 1)]) {
      have[static_cast<std::size_t>(number - 1)] = true;
      seen[static_cast<std::size_t>(number - 1)] = xtest::Clock::now();
    }
    xtest::Connection::pause(xtest::Millis(1));
  }
  std::vector<double> times;
  for (int k = 1; k < frames; ++k)
    times.push_back(have[static_cast<std::size_t>(k)] && have[1]
                        ? std::chrono::duration<double, std::milli>(
                              seen[static_cast<std::size_t>(k)] - seen[1])
                              .count()
                        : -1);
  return times;
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
    ASSERT_GE(seen[k], 0) << "frame " << k + 2 << " never showed in the title";
    EXPECT_NEAR(seen[k], expected[k], kPaceTolerance) << "frame " << k + 2;
    worst = std::max(worst, std::fabs(seen[k] - expected[k]));
  }
  std::cout << "pace: worst " << worst << " ms off over " << expected.size() << " frames\n";
}

TEST_F(Player, ShowsFramesAtThePaceOfTheirStampsAcrossTheWrapOrAtAFixedRate) {
  // Gaps of 300 ms and one of 600 ms that crosses the end of the cycle.
  const std::vector<int32_t> stamps{9999100, 9999400, 9999700, 300,  600,
                                    900,     1200,    1500,    1800};
  // Times from frame 2 on.
  const std::vector<double> byStamps{0, 300, 900, 1200, 1500, 1800, 2100, 2400};
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < stamps.size(); ++k) pictures.push_back(samplePicture(48, 32, k));
  Window window = play(pictures, stamps);
  expectPace(sampleFrameTimes(x, window, 9), byStamps);
  quitWithSuccess(window);

  // --fps ignores the stamps and --speed divides every interval.
  window = play(pictures, stamps, {"--fps", "4", "--speed", "2"});
  std::vector<double> fixed;
  for (int k = 0; k < 8; ++k) fixed.push_back(125.0 * k);
  expectPace(sampleFrameTimes(x, window, 9), fixed);
  quitWithSuccess(window);
}

TEST_F(Player, PausesStepsAndJumpsOnKeysAndSwitchesTheMarking) {
  std::vector<Picture> pictures;
  for (unsigned k = 0; k < 5; ++k) pictures.push_back(samplePicture(431, 520, 20 + k));
  // Ten seconds apart: playing never gets past frame 2 before the pause.
  const Window window = play(pictures, {1000, 11000, 21000, 31000, 41000});
  EXPECT_EQ(x.size(window), std::make_pair(431, 520));
  waitForFrame(window, 1);
  x.typeKey(window, ' ');
  const int at = frameNumber(waitForWord(window, "paused"));
  ASSERT_TRUE(at == 1 || at == 2) << at;
  const auto shows = [&](int number) {
    waitForFrame(window, number);
    expectShows(window, expectedDisplay(pictures[static_cast<std::size_t>(number - 1)]));
  };
  shows(at);
  x.typeKey(window, 0xff53);  // Right
  shows(at + 1);
  x.typeKey(window, 0xff51);  // Left
  shows(at);
  x.typeKey(window, 0xff57);  // End
  shows(5);
  EXPECT_NE(x.title(window).find("frame 5/5"), std::string::npos) << x.title(window);
  x.typeKey(window, 0xff50);  // Home
  shows(1);
  x.typeKey(window, 0xff51);  // Left at the first frame stays there
  x.typeKey(window, 'm');
  expectShows(window, pictures[0]);
  x.typeKey(window, 'm');
  expectShows(window, expectedDisplay(pictures[0]));
  EXPECT_EQ(frameNumber(x.title(window)), 1);
  x.typeKey(window, ' ');
  waitForTitle(
      window, [](const std::string& t) { return t.find("paused") == std::string::npos; },
      "playing again");
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
  waitForFrame(window, 1);
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
  waitForFrame(window, 1);
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
  waitForFrame(window, 2);
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
  EXPECT_EQ(title.find("rgbplay: -   frame 2   stamp 800 ms"), 0u) << title;
  expectShows(window, expectedDisplay(second));
  quitWithSuccess(window);
}

TEST_F(Player, FollowsAFileThatGrowsEvenThroughAHalfWrittenFrame) {
  const Picture first = samplePicture(120, 90, 50);
  const Picture second = samplePicture(120, 90, 51);
  const Window window = play({first}, {2000}, {"--follow"});
  waitForTitle(
      window, [](const std::string& t) { return t.find("frame 1/1") != std::string::npos; },
      "frame 1/1");
  expectShows(window, expectedDisplay(first));

  const rgbtest::Bytes more = rgbtest::frameBytes(second.rgb, 0, 120, 90, 2040);
  const std::size_t half = more.size() / 2;
  appendToFile(path, more.data(), half);
  // Give the player time to meet the half-written frame (no assertion on
  // timing: a player that took it for damage would end and never show it).
  xtest::Connection::pause(xtest::Millis(300));
  appendToFile(path, more.data() + half, more.size() - half);
  waitForTitle(
      window, [](const std::string& t) { return t.find("frame 2/2") != std::string::npos; },
      "frame 2/2");
  expectShows(window, expectedDisplay(second));
  EXPECT_TRUE(player->running());
  quitWithSuccess(window);
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
  waitForFrame(window, 1);
  expectShows(window, expected);
  x.typeKey(window, 'm');
  expectShows(window, input);
  quitWithSuccess(window);
}

TEST_F(Player, StopsAtDamagedInputWithTheReasonAndNeverShowsIt) {
  // Two good frames, then a third cut inside its pixels.
  const Picture red = solid(64, 48, 200, 0, 0);
  const Picture green = solid(64, 48, 0, 200, 0);
  const Picture blue = solid(64, 48, 0, 0, 200);
  rgbtest::Bytes stream = streamOf({red, green, blue}, {100, 400, 700});
  stream.resize(stream.size() - 64 * 10);
  path = dir.file("cut.rgb");
  rgbtest::writeFile(path, stream);
  player = start({path});
  const Window window = x.waitForWindow(kTitlePrefix);
  bool sawGreen = false;
  bool sawBlue = false;
  try {
    while (player->running()) {
      const xtest::Pixels pixels = x.grab(window);
      const unsigned char* p = pixels.at(pixels.height / 2, pixels.width / 2);
      sawGreen = sawGreen || (p[1] == 200 && p[0] == 0);
      sawBlue = sawBlue || (p[2] == 200 && p[0] == 0);
    }
  } catch (const std::runtime_error&) {
    // The window went away with the process between two reads.
  }
  const xtest::Exit exit = player->wait();
  EXPECT_TRUE(exit.exited);
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.err, "rgbplay: " + path + ": " + rgb_strerror(RGB_ETRUNCATED) + "\n");
  EXPECT_TRUE(sawGreen) << "the last good frame was not shown";
  EXPECT_FALSE(sawBlue) << "pixels of the damaged frame were shown";

  // Not a frame stream at all: refused before any window opens.
  x.windowsCreatedSinceLastCall();
  path = dir.file("text.rgb");
  rgbtest::Bytes text(600, 'x');
  rgbtest::writeFile(path, text);
  const xtest::Exit refused = xtest::run({RGBPLAY_PATH, path}, server.display());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "rgbplay: " + path + ": " + rgb_strerror(RGB_EMAGIC) + "\n");
  EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);
}

TEST(PlayerCommandLine, HelpGoesToStdoutAndUsageErrorsEndWithStatusTwo) {
  const xtest::Exit help = xtest::run({RGBPLAY_PATH, "--help"}, "");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: rgbplay [options] FILE|FIFO|-\n", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");

  const std::vector<std::vector<std::string>> wrong{
      {},
      {"a.rgb", "b.rgb"},
      {"--fps", "0", "a.rgb"},
      {"--speed", "100", "a.rgb"},
      {"--roi", "1,2,3", "a.rgb"},
      {"--roi", "1,2,0,4", "a.rgb"},
      {"--threshold", "256", "a.rgb"},
      {"--bogus", "a.rgb"},
      {"a.rgb", "--fps"},
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
