// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The handle API: frames in order and by index, every status, buffers that
// are too small, pipes, the writer, and silence on every failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "rgb/rgb.h"
#include "tests/rgb/pipe_support.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;

constexpr int kWidth = 5;
constexpr int kHeight = 3;
const std::vector<int32_t> kStamps = {9999990, 5, 1234567};

// Reader handles closed at scope exit.
struct Reader {
  rgb_reader* handle = nullptr;
  ~Reader() { rgb_reader_close(handle); }
  int open(const std::string& path) { return rgb_reader_open(&handle, path.c_str()); }
  // The next frame into a buffer of exactly its size (per flags).
  std::pair<int, Bytes> next(int flags, rgb_frame_info* info = nullptr) {
    Bytes pixels(64 * 64 * 4, 0xEE);
    rgb_frame_info local{};
    const int status = rgb_reader_next(handle, pixels.data(), pixels.size(), flags, &local);
    pixels.resize(status == RGB_OK ? rgb_frame_bytes(&local, flags) : 0);
    if (info) *info = local;
    return {status, pixels};
  }
};

// Frame n of an interleaved pattern buffer with its rows reversed.
Bytes topRowFirst(const Bytes& image, int n, int width, int height) {
  const std::size_t row = 3 * static_cast<std::size_t>(width);
  const std::size_t frame = row * static_cast<std::size_t>(height);
  Bytes out;
  for (int r = height - 1; r >= 0; --r) {
    const auto* start = image.data() + static_cast<std::size_t>(n) * frame +
                        static_cast<std::size_t>(r) * row;
    out.insert(out.end(), start, start + row);
  }
  return out;
}

Bytes frameOf(const Bytes& image, int n, int width, int height) {
  const std::size_t frame = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const auto* start = image.data() + static_cast<std::size_t>(n) * frame;
  return Bytes(start, start + frame);
}

using Result = std::pair<int, Bytes>;
Result ok(Bytes pixels) { return {RGB_OK, std::move(pixels)}; }

class Handles : public ::testing::Test {
 protected:
  rgbtest::TempDir dir;
  Bytes image = rgbtest::patternImage(3, kWidth, kHeight, 7);

  std::string streamFile(const Bytes& bytes, const std::string& name = "s.rgb") {
    const std::string path = dir.file(name);
    rgbtest::writeFile(path, bytes);
    return path;
  }
  std::string threeFrames(uint16_t planes = 3) {
    return streamFile(rgbtest::streamBytes(image, 3, kWidth, kHeight, kStamps, planes));
  }
};

TEST_F(Handles, ReadsFramesInOrderInEveryLayout) {
  Reader reader;
  ASSERT_EQ(reader.open(threeFrames(4)), RGB_OK);
  rgb_frame_info first{};
  ASSERT_EQ(rgb_reader_info(reader.handle, &first), RGB_OK);
  EXPECT_EQ(first.width, kWidth);
  EXPECT_EQ(first.height, kHeight);
  EXPECT_EQ(first.planes, 4);
  EXPECT_EQ(first.stamp, 9999990);

  // The first frame is still there after info: bottom row first.
  rgb_frame_info info{};
  EXPECT_EQ(reader.next(0, &info), ok(frameOf(image, 0, kWidth, kHeight)));
  EXPECT_EQ(info.index, 0);
  // Top row first, as numpy and PIL hold pictures; the fresh-buffer hint
  // changes nothing in what is read.
  EXPECT_EQ(reader.next(RGB_TOP_ROW_FIRST | RGB_FRESH_BUFFER, &info),
            ok(topRowFirst(image, 1, kWidth, kHeight)));
  EXPECT_EQ(info.stamp, 5);
  // Planar: the frame's bytes as stored, alpha included.
  const Bytes stored = rgbtest::frameBytes(image, 2, kWidth, kHeight, 1234567, 4);
  EXPECT_EQ(reader.next(RGB_PLANAR, &info),
            ok(Bytes(stored.begin() + 512, stored.end())));
  EXPECT_EQ(info.index, 2);
  EXPECT_EQ(reader.next(0).first, RGB_END);
  EXPECT_EQ(reader.next(0).first, RGB_END);
}

// Frames of a megabyte and more are read in two halves side by side; an odd
// height splits unevenly. Every row must land where it belongs, in both
// row orders, into fresh memory and into memory written before.
TEST_F(Handles, LargeFramesReadWholeInBothRowOrders) {
  constexpr int kWide = 701;
  constexpr int kTall = 601;
  const Bytes large = rgbtest::patternImage(2, kWide, kTall, 5);
  const std::string path = streamFile(rgbtest::streamBytes(large, 2, kWide, kTall, {1, 2}), "l.rgb");
  const rgbtest::Loaded loaded = rgbtest::loadFile(path);
  EXPECT_EQ(loaded.frames, 2);
  EXPECT_EQ(loaded.pixels, large);

  Reader reader;
  ASSERT_EQ(reader.open(path), RGB_OK);
  Bytes pixels(large.size() / 2, 0xEE);
  for (int n = 0; n < 2; ++n) {
    const int flags = RGB_TOP_ROW_FIRST | (n == 0 ? RGB_FRESH_BUFFER : 0);
    ASSERT_EQ(rgb_reader_next(reader.handle, pixels.data(), pixels.size(), flags, nullptr), RGB_OK);
    EXPECT_EQ(pixels, topRowFirst(large, n, kWide, kTall)) << "frame " << n;
  }
}

TEST_F(Handles, CountsAndSeeksOnFiles) {
  Bytes bytes = rgbtest::streamBytes(image, 3, kWidth, kHeight, kStamps);
  bytes.insert(bytes.end(), 100, 0x55);
  Reader reader;
  ASSERT_EQ(reader.open(streamFile(bytes)), RGB_OK);
  int64_t frames = -1;
  uint64_t stray = 0;
  ASSERT_EQ(rgb_reader_count(reader.handle, &frames, &stray), RGB_OK);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(stray, 100u);

  ASSERT_EQ(rgb_reader_seek(reader.handle, 2), RGB_OK);
  rgb_frame_info info{};
  EXPECT_EQ(reader.next(0, &info), ok(frameOf(image, 2, kWidth, kHeight)));
  EXPECT_EQ(info.index, 2);
  ASSERT_EQ(rgb_reader_seek(reader.handle, 0), RGB_OK);
  EXPECT_EQ(reader.next(0).second, frameOf(image, 0, kWidth, kHeight));
  EXPECT_EQ(rgb_reader_seek(reader.handle, 4), RGB_ERANGE);
  EXPECT_EQ(reader.next(0).second, frameOf(image, 1, kWidth, kHeight));  // position kept
  EXPECT_EQ(rgb_reader_seek(reader.handle, -1), RGB_EINVAL);
  ASSERT_EQ(rgb_reader_seek(reader.handle, 3), RGB_OK);
  // Stray bytes at the end are no frame: too short for a header.
  EXPECT_EQ(reader.next(0).first, RGB_ESHORTHEADER);

  Reader empty;
  ASSERT_EQ(empty.open(streamFile({}, "empty.rgb")), RGB_OK);
  ASSERT_EQ(rgb_reader_count(empty.handle, &frames, &stray), RGB_OK);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(empty.next(0).first, RGB_END);
}

TEST_F(Handles, ABufferTooSmallLeavesTheFrameNext) {
  Reader reader;
  ASSERT_EQ(reader.open(threeFrames()), RGB_OK);
  const std::size_t need = 3 * kWidth * kHeight;
  Bytes small(need - 1, 0xEE);
  rgb_frame_info info{};
  EXPECT_EQ(rgb_reader_next(reader.handle, small.data(), small.size(), 0, &info), RGB_ECAPACITY);
  EXPECT_EQ(small, Bytes(need - 1, 0xEE));
  EXPECT_EQ(rgb_frame_bytes(&info, 0), need);
  EXPECT_EQ(reader.next(0), ok(frameOf(image, 0, kWidth, kHeight)));
}

// Every failure has its own status, and none of them prints anything.
TEST_F(Handles, EveryFailureHasItsStatusAndPrintsNothing) {
  struct Damage {
    const char* name;
    rgbtest::HeaderFields fields;
    int status;
  };
  std::vector<Damage> damages(5, Damage{"", {}, 0});
  damages[0] = {"magic", {}, RGB_EMAGIC};
  damages[0].fields.magic = 0xDA01;
  damages[1] = {"storage", {}, RGB_ESTORAGE};
  damages[1].fields.storage = 1;
  damages[2] = {"bpc", {}, RGB_EBPC};
  damages[2].fields.bpc = 2;
  damages[3] = {"dimension", {}, RGB_EDIMENSION};
  damages[3].fields.dimension = 2;
  damages[4] = {"planes", {}, RGB_EPLANES};
  damages[4].fields.zsize = 1;

  const Bytes whole = rgbtest::streamBytes(image, 3, kWidth, kHeight, kStamps);
  const Bytes cutInHeader(whole.begin(), whole.begin() + 100);
  const Bytes cutInPixels(whole.begin(), whole.end() - 7);
  Bytes sizeChange = rgbtest::frameBytes(image, 0, kWidth, kHeight, 1);
  rgbtest::append(sizeChange, rgbtest::frameBytes(image, 0, kWidth - 1, kHeight, 2));

  const rgbtest::Output printed = rgbtest::capture([&] {
    for (const Damage& damage : damages) {
      SCOPED_TRACE(damage.name);
      Reader reader;
      ASSERT_EQ(reader.open(streamFile(rgbtest::headerBytes(damage.fields))), RGB_OK);
      EXPECT_EQ(reader.next(0).first, damage.status);
    }
    Reader magic;
    ASSERT_EQ(magic.open(streamFile(rgbtest::headerBytes(damages[0].fields))), RGB_OK);
    EXPECT_EQ(magic.next(0).first, RGB_EMAGIC);
    EXPECT_STREQ(rgb_reader_message(magic.handle),
                 "frame 0: ERROR: image has wrong magic number: 55809. not an IRIS/RGB file.");

    Reader header;
    ASSERT_EQ(header.open(streamFile(cutInHeader)), RGB_OK);
    EXPECT_EQ(header.next(0).first, RGB_ESHORTHEADER);
    EXPECT_STREQ(rgb_reader_message(header.handle),
                 "the stream ends inside the header of frame 0 (100 of 512 bytes)");

    Reader pixels;
    ASSERT_EQ(pixels.open(streamFile(cutInPixels)), RGB_OK);
    EXPECT_EQ(pixels.next(0).first, RGB_OK);
    EXPECT_EQ(pixels.next(0).first, RGB_OK);
    EXPECT_EQ(pixels.next(0).first, RGB_ETRUNCATED);

    Reader changed;
    ASSERT_EQ(changed.open(streamFile(sizeChange)), RGB_OK);
    EXPECT_EQ(changed.next(0).first, RGB_OK);
    EXPECT_EQ(changed.next(0).first, RGB_ESIZECHANGE);

    Reader missing;
    EXPECT_EQ(missing.open(dir.file("missing.rgb")), RGB_EOPEN);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(missing.open(dir.path()), RGB_EOPEN);
    EXPECT_EQ(rgb_reader_open(nullptr, "x"), RGB_EINVAL);

    Reader flags;
    ASSERT_EQ(flags.open(threeFrames()), RGB_OK);
    EXPECT_EQ(flags.next(8).first, RGB_EINVAL);
  });
  EXPECT_EQ(printed.out, "");
  EXPECT_EQ(printed.err, "");
  std::set<std::string> reasons;
  for (int status = RGB_ETOOLARGE; status <= RGB_END; ++status) reasons.insert(rgb_strerror(status));
  EXPECT_EQ(reasons.size(), static_cast<std::size_t>(RGB_END - RGB_ETOOLARGE + 1));
}

TEST_F(Handles, PeekAndTellFollowTheReader) {
  Reader reader;
  ASSERT_EQ(reader.open(threeFrames()), RGB_OK);
  int64_t index = -1;
  rgb_frame_info next{};
  ASSERT_EQ(rgb_reader_tell(reader.handle, &index), RGB_OK);
  EXPECT_EQ(index, 0);
  // A look leaves the frame next, however often.
  for (int look = 0; look < 2; ++look) {
    ASSERT_EQ(rgb_reader_peek(reader.handle, &next), RGB_OK);
    EXPECT_EQ(next.index, 0);
    EXPECT_EQ(next.stamp, kStamps[0]);
    EXPECT_EQ(next.width, kWidth);
  }
  EXPECT_EQ(reader.next(0).second, frameOf(image, 0, kWidth, kHeight));
  ASSERT_EQ(rgb_reader_tell(reader.handle, &index), RGB_OK);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(rgb_reader_seek(reader.handle, 2), RGB_OK);
  ASSERT_EQ(rgb_reader_tell(reader.handle, &index), RGB_OK);
  EXPECT_EQ(index, 2);
  ASSERT_EQ(rgb_reader_peek(reader.handle, &next), RGB_OK);
  EXPECT_EQ(next.index, 2);
  EXPECT_EQ(next.stamp, kStamps[2]);
  EXPECT_EQ(reader.next(0).second, frameOf(image, 2, kWidth, kHeight));
  next.index = -1;
  EXPECT_EQ(rgb_reader_peek(reader.handle, &next), RGB_END);
  EXPECT_EQ(next.index, 3);
  EXPECT_EQ(rgb_reader_peek(reader.handle, nullptr), RGB_EINVAL);
  EXPECT_EQ(rgb_reader_tell(reader.handle, nullptr), RGB_EINVAL);
}

// Every failure of next and peek names the frame that failed, not frame 0.
TEST_F(Handles, EveryFailureNamesTheFailingFrame) {
  const Bytes whole = rgbtest::streamBytes(image, 3, kWidth, kHeight, kStamps);
  const std::size_t frame = whole.size() / 3;
  Bytes badMagic = whole;
  badMagic[2 * frame] = 0x02;
  Bytes sizeChange(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(frame));
  rgbtest::append(sizeChange, rgbtest::frameBytes(image, 0, kWidth, kHeight - 1, 2));
  struct Case {
    const char* name;
    Bytes bytes;
    int64_t failing;
    int status;
    bool headerFails;  // peek sees it too
  };
  const Case cases[] = {
      {"magic", badMagic, 2, RGB_EMAGIC, true},
      {"size change", sizeChange, 1, RGB_ESIZECHANGE, true},
      {"short header", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(frame + 100)), 1,
       RGB_ESHORTHEADER, true},
      {"cut pixels", Bytes(whole.begin(), whole.end() - 1), 2, RGB_ETRUNCATED, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = streamFile(c.bytes);
    Reader reader;
    ASSERT_EQ(reader.open(path), RGB_OK);
    rgb_frame_info info{};
    int status = RGB_OK;
    for (int64_t n = 0; n <= c.failing && status == RGB_OK; ++n) status = reader.next(0, &info).first;
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(info.index, c.failing);

    Reader peeking;
    ASSERT_EQ(peeking.open(path), RGB_OK);
    for (int64_t n = 0; n < c.failing; ++n) ASSERT_EQ(peeking.next(0).first, RGB_OK);
    rgb_frame_info next{};
    next.index = -1;
    EXPECT_EQ(rgb_reader_peek(peeking.handle, &next), c.headerFails ? c.status : RGB_OK);
    EXPECT_EQ(next.index, c.failing);
  }
}

// A first header still being written is stray bytes, as an empty file and
// a whole header are counted: the reader can still seek to frame 0.
TEST_F(Handles, AStreamShorterThanAHeaderHasNoFrameYet) {
  const Bytes header = rgbtest::headerBytes({});
  for (const std::size_t length : {std::size_t{0}, std::size_t{7}, std::size_t{511}}) {
    SCOPED_TRACE(length);
    Reader reader;
    ASSERT_EQ(reader.open(streamFile(Bytes(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(length)))),
              RGB_OK);
    int64_t frames = -1;
    uint64_t stray = 99;
    ASSERT_EQ(rgb_reader_count(reader.handle, &frames, &stray), RGB_OK);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(stray, length);
    EXPECT_EQ(rgb_reader_seek(reader.handle, 0), RGB_OK);
    EXPECT_EQ(reader.next(0).first, length == 0 ? RGB_END : RGB_ESHORTHEADER);
  }
}

// The reader sizes the buffer, and only from bytes that are there.
TEST_F(Handles, NextGrowSizesTheBufferFromTheFramesBytes) {
  Reader reader;
  ASSERT_EQ(reader.open(threeFrames(4)), RGB_OK);
  unsigned char* pixels = nullptr;
  std::size_t capacity = 0;
  rgb_frame_info info{};
  ASSERT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, 0, &info), RGB_OK);
  ASSERT_EQ(capacity, 3u * kWidth * kHeight);
  EXPECT_EQ(Bytes(pixels, pixels + capacity), frameOf(image, 0, kWidth, kHeight));
  // Large enough already: the same buffer.
  unsigned char* const first = pixels;
  ASSERT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, RGB_TOP_ROW_FIRST, &info), RGB_OK);
  EXPECT_EQ(pixels, first);
  EXPECT_EQ(Bytes(pixels, pixels + capacity), topRowFirst(image, 1, kWidth, kHeight));
  // The planes with alpha need more.
  ASSERT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, RGB_PLANAR, &info), RGB_OK);
  EXPECT_EQ(info.index, 2);
  const Bytes stored = rgbtest::frameBytes(image, 2, kWidth, kHeight, kStamps[2], 4);
  EXPECT_EQ(Bytes(pixels, pixels + capacity), Bytes(stored.begin() + 512, stored.end()));
  EXPECT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, 0, &info), RGB_END);
  std::free(pixels);

  std::size_t some = 5;
  pixels = nullptr;
  EXPECT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &some, 0, nullptr), RGB_EINVAL);
  EXPECT_EQ(rgb_reader_next_grow(reader.handle, nullptr, &capacity, 0, nullptr), RGB_EINVAL);
}

// A file that does not hold the whole frame yet costs nothing, and the
// frame is read once the file has grown.
TEST_F(Handles, NextGrowWaitsForAFileToHoldTheFrame) {
  const Bytes frame = rgbtest::frameBytes(image, 0, kWidth, kHeight, 77);
  const std::size_t cut = 512 + 20;
  const std::string path = streamFile(Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(cut)));
  Reader reader;
  ASSERT_EQ(reader.open(path), RGB_OK);
  unsigned char* pixels = nullptr;
  std::size_t capacity = 0;
  rgb_frame_info info{};
  EXPECT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, 0, &info), RGB_ETRUNCATED);
  EXPECT_EQ(pixels, nullptr);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(info.index, 0);
  rgbtest::writeFile(path, frame);
  ASSERT_EQ(rgb_reader_next_grow(reader.handle, &pixels, &capacity, 0, &info), RGB_OK);
  EXPECT_EQ(info.stamp, 77);
  EXPECT_EQ(Bytes(pixels, pixels + capacity), frameOf(image, 0, kWidth, kHeight));
  std::free(pixels);
}

// A FIFO is read as frames arrive; it cannot be counted or sought.
TEST_F(Handles, PipesAreReadInOrderButNotCountedOrSought) {
  const std::string path = dir.file("live");
  const Bytes stream = rgbtest::streamBytes(image, 3, kWidth, kHeight, kStamps);
  rgbtest::Producer producer(path, [&](FILE* out) {
    return std::fwrite(stream.data(), 1, stream.size(), out) == stream.size() ? 0 : 1;
  });
  Reader reader;
  ASSERT_EQ(reader.open(path), RGB_OK);
  int64_t frames = 0;
  EXPECT_EQ(rgb_reader_count(reader.handle, &frames, nullptr), RGB_EUNSEEKABLE);
  EXPECT_EQ(rgb_reader_seek(reader.handle, 1), RGB_EUNSEEKABLE);
  rgb_frame_info first{};
  ASSERT_EQ(rgb_reader_info(reader.handle, &first), RGB_OK);
  EXPECT_EQ(first.stamp, 9999990);
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(reader.next(0), ok(frameOf(image, n, kWidth, kHeight)));
  EXPECT_EQ(reader.next(0).first, RGB_END);
  EXPECT_EQ(producer.wait(), 0);
}

// The planes of frame n as stored (bottom row first), or top row first.
Bytes storedPlanes(const Bytes& image, int n, bool topFirst) {
  const Bytes stored = rgbtest::frameBytes(image, n, kWidth, kHeight, 0, 3);
  Bytes planes(stored.begin() + 512, stored.end());
  if (!topFirst) return planes;
  const std::size_t width = kWidth;
  const std::size_t height = kHeight;
  Bytes flipped(planes.size());
  for (std::size_t c = 0; c < 3; ++c)
    for (std::size_t r = 0; r < height; ++r)
      std::memcpy(&flipped[(c * height + height - 1 - r) * width], &planes[(c * height + r) * width],
                  width);
  return flipped;
}

// Every layout a frame may be given in, to a file and to a borrowed stream.
TEST_F(Handles, WriterAppendsFramesTheClassicReaderReadsBack) {
  const Bytes flipped = topRowFirst(image, 1, kWidth, kHeight);
  const Bytes planes = storedPlanes(image, 2, false);
  const Bytes planesTopFirst = storedPlanes(image, 0, true);
  auto putAll = [&](rgb_writer* writer) {
    EXPECT_EQ(rgb_writer_put(writer, image.data(), kWidth, kHeight, 11, 0), RGB_OK);
    EXPECT_EQ(rgb_writer_put(writer, flipped.data(), kWidth, kHeight, 12, RGB_TOP_ROW_FIRST),
              RGB_OK);
    EXPECT_EQ(rgb_writer_put(writer, planes.data(), kWidth, kHeight, 13, RGB_PLANAR), RGB_OK);
    EXPECT_EQ(rgb_writer_put(writer, planesTopFirst.data(), kWidth, kHeight, 14,
                             RGB_PLANAR | RGB_TOP_ROW_FIRST),
              RGB_OK);
    EXPECT_EQ(rgb_writer_put(writer, image.data(), 65536, 1, 0, 0), RGB_ETOOLARGE);
    EXPECT_EQ(rgb_writer_put(writer, nullptr, kWidth, kHeight, 0, 0), RGB_EINVAL);
    EXPECT_EQ(rgb_writer_close(writer), RGB_OK);
  };
  Bytes expected = rgbtest::streamBytes(image, 3, kWidth, kHeight, {11, 12, 13});
  const Bytes again = rgbtest::frameBytes(image, 0, kWidth, kHeight, 14, 3);
  expected.insert(expected.end(), again.begin(), again.end());

  const std::string path = dir.file("w.rgb");
  rgb_writer* writer = nullptr;
  ASSERT_EQ(rgb_writer_open(&writer, path.c_str()), RGB_OK);
  putAll(writer);
  EXPECT_EQ(rgbtest::readFile(path), expected);

  const std::string borrowed = dir.file("b.rgb");
  rgbtest::Stream stream(std::fopen(borrowed.c_str(), "wb"));
  ASSERT_TRUE(stream);
  ASSERT_EQ(rgb_writer_from_file(&writer, stream.get()), RGB_OK);
  putAll(writer);
  EXPECT_EQ(rgbtest::readFile(borrowed), expected);
}

TEST_F(Handles, WritersReportAFullDevice) {
  rgb_writer* writer = nullptr;
  ASSERT_EQ(rgb_writer_open(&writer, "/dev/full"), RGB_OK);
  EXPECT_EQ(rgb_writer_put(writer, image.data(), kWidth, kHeight, 1, 0), RGB_EIO);
  EXPECT_EQ(rgb_writer_close(writer), RGB_OK);

  rgbtest::Stream full(std::fopen("/dev/full", "wb"));
  ASSERT_TRUE(full);
  ASSERT_EQ(rgb_writer_from_file(&writer, full.get()), RGB_OK);
  EXPECT_EQ(rgb_writer_put(writer, image.data(), kWidth, kHeight, 1, 0), RGB_EIO);
  rgb_writer_close(writer);
}

// The classic functions' messages reach the handler, byte for byte and with
// their streams, instead of stdout and stderr: a filter that reads frames
// from one stream and writes them to stdout then keeps stdout clean.
TEST_F(Handles, MessageHandlerReceivesTheClassicMessages) {
  using Messages = std::vector<std::pair<FILE*, std::string>>;
  Messages received;
  rgb_set_message_handler(
      [](void* user, FILE* stream, const char* message) {
        static_cast<Messages*>(user)->emplace_back(stream, message);
      },
      &received);
  rgbtest::Stream in = rgbtest::streamOver(rgbtest::streamBytes(image, 2, kWidth, kHeight, {1, 2}));
  rgbtest::Stream out = rgbtest::streamOver({});
  const rgbtest::Output printed = rgbtest::capture([&] {
    rgbtest::ReadBuffers frame;
    while (frame.readPipe(in.get()) == 1)
      EXPECT_EQ(writeRGBTimePipe(out.get(), frame.images, frame.width, frame.height, frame.times), 1);
  });
  rgb_set_message_handler(nullptr, nullptr);
  EXPECT_EQ(printed.out + printed.err, "");
  EXPECT_EQ(received, (Messages{{stdout, "error reading 0 RGB header bytes.\n"},
                                {stdout, "error reading header of frame no 0.\n"}}));
  EXPECT_EQ(rgbtest::contents(out.get()), rgbtest::streamBytes(image, 2, kWidth, kHeight, {1, 2}));

  // Without a handler the messages are printed again.
  rgbtest::Stream empty = rgbtest::streamOver({});
  EXPECT_EQ(rgbtest::capture([&] { EXPECT_EQ(getRGBNoOfFrames(empty.get()), 0); }).out,
            "error reading 0 RGB header bytes.\n");
}

// A null stream is what a failed openRGBReadPipe or openRGBWritePipe hands
// on: every classic function refuses it with one line instead of crashing.
TEST(NullStreams, AreRefusedWithOneLine) {
  const std::string line = "ERROR: no RGB image stream (null stream pointer).\n";
  rgbtest::ReadBuffers buffers;
  RGBHeader header{};
  const unsigned char pixel[3] = {1, 2, 3};
  const int stamp = 0;
  const std::vector<std::pair<const char*, std::function<int()>>> calls = {
      {"readRGBPipe", [&] { return readRGBPipe(nullptr, &buffers.images, &buffers.width, &buffers.height); }},
      {"readRGBTimeStream", [&] { return buffers.readStream(nullptr, 2); }},
      {"getRGBNoOfFrames", [&] { return getRGBNoOfFrames(nullptr); }},
      {"readRGBHeader", [&] { return readRGBHeader(nullptr, &header); }},
      {"writeRGBHeader", [&] { return writeRGBHeader(nullptr, &header); }},
      {"writeRGBPipe", [&] { return writeRGBPipe(nullptr, pixel, 1, 1); }},
      {"writeRGBTimeStream", [&] { return writeRGBTimeStream(nullptr, pixel, 1, 1, 1, &stamp); }},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.first);
    int result = -1;
    const rgbtest::Output printed = rgbtest::capture([&] { result = call.second(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed.err, line);
    EXPECT_EQ(printed.out, "");
  }
}

TEST(Version, MatchesTheHeader) {
  EXPECT_EQ(std::string(rgb_version()), std::to_string(RGB_VERSION_MAJOR) + "." +
                                            std::to_string(RGB_VERSION_MINOR) + "." +
                                            std::to_string(RGB_VERSION_PATCH));
}

}  // namespace
