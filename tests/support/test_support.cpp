// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/support/test_support.h"

#include "rgb/rgb.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace rgbtest {
namespace {

std::string slurp(int fd) {
  std::string text;
  char block[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, block, sizeof block)) > 0;)
    text.append(block, static_cast<size_t>(n));
  return text;
}

// Points fd at a fresh unlinked temporary file until restored.
class Redirect {
 public:
  explicit Redirect(int fd) : fd_(fd), saved_(dup(fd)) {
    char name[] = "/tmp/rgbtest-capture-XXXXXX";
    file_ = mkstemp(name);
    if (saved_ < 0 || file_ < 0) throw std::runtime_error("cannot capture output");
    unlink(name);
    dup2(file_, fd_);
  }
  ~Redirect() {
    if (saved_ >= 0) close(saved_);
    if (file_ >= 0) close(file_);
  }
  std::string finish() {
    dup2(saved_, fd_);
    return slurp(file_);
  }

 private:
  int fd_;
  int saved_;
  int file_;
};

void putBE16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<unsigned char>(v >> 8);
  b[at + 1] = static_cast<unsigned char>(v);
}

void putBE32(Bytes& b, size_t at, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

}  // namespace

Output capture(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  Redirect out(STDOUT_FILENO);
  Redirect err(STDERR_FILENO);
  body();
  std::fflush(stdout);
  std::fflush(stderr);
  Output result;
  result.out = out.finish();
  result.err = err.finish();
  return result;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/rgbtest-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Bytes headerBytes(const HeaderFields& s) {
  Bytes b(512, 0);
  putBE16(b, 0, s.magic);
  b[2] = s.storage;
  b[3] = s.bpc;
  putBE16(b, 4, s.dimension);
  putBE16(b, 6, s.xsize);
  putBE16(b, 8, s.ysize);
  putBE16(b, 10, s.zsize);
  putBE32(b, 12, s.pixmin);
  putBE32(b, 16, s.pixmax);
  putBE32(b, 104, s.colormap);
  putBE32(b, 108, s.timestamp);
  return b;
}

Bytes patternImage(int frames, int width, int height, unsigned seed) {
  Bytes image(static_cast<size_t>(frames) * static_cast<size_t>(width) *
              static_cast<size_t>(height) * 3);
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<unsigned char>((i * 7 + i / 3 * 13 + seed * 31 + i / 1000) & 0xff);
  return image;
}

Bytes frameBytes(const Bytes& interleaved, int index, int width, int height,
                 int32_t stamp, uint16_t zsize, unsigned char alpha) {
  HeaderFields fields;
  fields.xsize = static_cast<uint16_t>(width);
  fields.ysize = static_cast<uint16_t>(height);
  fields.zsize = zsize;
  fields.timestamp = stamp;
  Bytes frame = headerBytes(fields);
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t base = static_cast<size_t>(index) * pixels * 3;
  for (size_t c = 0; c < 3; ++c)
    for (size_t p = 0; p < pixels; ++p) frame.push_back(interleaved[base + 3 * p + c]);
  if (zsize == 4) frame.insert(frame.end(), pixels, alpha);
  return frame;
}

Bytes streamBytes(const Bytes& interleaved, int frames, int width, int height,
                  const std::vector<int32_t>& stamps, uint16_t zsize) {
  Bytes stream;
  for (int n = 0; n < frames; ++n)
    append(stream, frameBytes(interleaved, n, width, height,
                              stamps.at(static_cast<size_t>(n)), zsize));
  return stream;
}

Bytes markedDisplay(const Bytes& frame, int width, int height) {
  Bytes display = frame;
  auto pixel = [&](int row, int column) {
    return display.data() + 3 * (static_cast<size_t>(row) * static_cast<size_t>(width) +
                                 static_cast<size_t>(column));
  };
  for (int i = 301; i < 500 && i < height; ++i)
    for (int j = 201; j < 400 && j < width; ++j) {
      unsigned char* p = pixel(i, j);
      if (p[0] > 190 && p[1] > 190 && p[2] > 190) {
        p[0] = 0;
        p[1] = 255;
        p[2] = 0;
      }
    }
  auto light = [&](int i, int j, size_t channel) {
    if (i < height && j < width) pixel(i, j)[channel] = 255;
  };
  for (int i = 300; i < 500; ++i) light(i, 200, 2);  // left: blue
  for (int i = 300; i < 500; ++i) light(i, 400, 1);  // right: green
  for (int j = 200; j < 400; ++j) light(300, j, 0);  // bottom: red
  for (int j = 200; j < 400; ++j) {                  // top: red, green
    light(500, j, 0);
    light(500, j, 1);
  }
  return display;
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Stream streamOver(const Bytes& bytes) {
  Stream stream(std::tmpfile());
  if (!stream) throw std::runtime_error("tmpfile failed");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
  std::rewind(stream.get());
  return stream;
}

Bytes contents(FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  Bytes bytes;
  for (int c; (c = std::fgetc(stream)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
  return bytes;
}

ReadBuffers::~ReadBuffers() {
  std::free(images);
  std::free(times);
}

int ReadBuffers::readStream(FILE* stream, int frames) {
  return readRGBTimeStream(stream, &images, &width, &height, frames, &times);
}

int ReadBuffers::readPipe(FILE* stream) {
  return readRGBTimePipe(stream, &images, &width, &height, &times);
}

int ReadBuffers::readFile(const std::string& path) {
  return readRGBTimeFile(path.c_str(), &images, &width, &height, &times);
}

Loaded loadFile(const std::string& path) {
  Loaded loaded;
  unsigned char* images = nullptr;
  int* times = nullptr;
  loaded.frames = readRGBTimeFile(path.c_str(), &images, &loaded.width, &loaded.height, &times);
  if (loaded.frames > 0) {
    loaded.pixels.assign(images, images + static_cast<size_t>(loaded.frames) * 3u *
                                              static_cast<size_t>(loaded.width) *
                                              static_cast<size_t>(loaded.height));
    loaded.stamps.assign(times, times + loaded.frames);
  }
  std::free(images);
  std::free(times);
  return loaded;
}

void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

}  // namespace rgbtest
