// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Helpers shared by the test suites: captured output, temporary folders,
// frame streams built byte by byte, whole-file I/O.
#ifndef RGB_TESTS_SUPPORT_H
#define RGB_TESTS_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rgbtest {

using Bytes = std::vector<unsigned char>;

// What a piece of code printed on stdout and stderr, captured at the file
// descriptor level so that stdio, printf and child writes all count.
struct Output {
  std::string out;
  std::string err;
};
Output capture(const std::function<void()>& body);

// A fresh folder under TMPDIR (or /tmp), removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Header fields as they go into the stream; defaults make a valid RGB frame.
struct HeaderFields {
  uint16_t magic = 474;
  uint8_t storage = 0;
  uint8_t bpc = 1;
  uint16_t dimension = 3;
  uint16_t xsize = 1;
  uint16_t ysize = 1;
  uint16_t zsize = 3;
  int32_t pixmin = 0;
  int32_t pixmax = 255;
  int32_t colormap = 0;
  int32_t timestamp = 0;
};
Bytes headerBytes(const HeaderFields& fields);

// Interleaved RGB frames with a deterministic, position-dependent pattern
// (differs per frame, channel, row and column).
Bytes patternImage(int frames, int width, int height, unsigned seed = 0);

// One frame in stream form: header, then the planes of frame `index` of the
// interleaved buffer; with zsize 4 an alpha plane of `alpha` follows.
Bytes frameBytes(const Bytes& interleaved, int index, int width, int height,
                 int32_t stamp, uint16_t zsize = 3, unsigned char alpha = 0x7f);
// A whole stream of `frames` frames of the interleaved buffer.
Bytes streamBytes(const Bytes& interleaved, int frames, int width, int height,
                  const std::vector<int32_t>& stamps, uint16_t zsize = 3);

// The display image of one interleaved frame (row 0 at the bottom), worked
// out pixel by pixel from the marking rules and independent of the viewer's
// own code: inside rows 300..500 and columns 200..400 (exclusive), pixels
// with all channels above 190 turn pure green; then the edges, clipped to
// the picture, set single channels to 255: left blue, right green, bottom
// red, top red and green.
Bytes markedDisplay(const Bytes& frame, int width, int height);

void writeFile(const std::string& path, const Bytes& bytes);
// A stdio stream closed when it goes out of scope.
struct StreamCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using Stream = std::unique_ptr<FILE, StreamCloser>;
// A seekable stream (an unlinked temporary file) holding the bytes, at 0.
Stream streamOver(const Bytes& bytes);
// Everything a stream holds, after flushing it.
Bytes contents(FILE* stream);

// The reader's out-parameters, with the buffers it allocates released at
// the end of the scope.
struct ReadBuffers {
  unsigned char* images = nullptr;
  int* times = nullptr;
  int width = -1;
  int height = -1;
  ReadBuffers() = default;
  ReadBuffers(const ReadBuffers&) = delete;
  ReadBuffers& operator=(const ReadBuffers&) = delete;
  ~ReadBuffers();
  int readStream(FILE* stream, int frames);  // readRGBTimeStream
  int readPipe(FILE* stream);                // readRGBTimePipe
  int readFile(const std::string& path);     // readRGBTimeFile
};

// A whole frame file read back through the library's readRGBTimeFile.
struct Loaded {
  int frames = 0;
  int width = 0;
  int height = 0;
  Bytes pixels;
  std::vector<int> stamps;
};
Loaded loadFile(const std::string& path);

Bytes readFile(const std::string& path);
void append(Bytes& to, const Bytes& more);

}  // namespace rgbtest

#endif  // RGB_TESTS_SUPPORT_H
