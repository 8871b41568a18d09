// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/image_io.h"

#include <fcntl.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "rgbtool/media/helper_program.h"
#include "toolkit/output.h"
#include "toolkit/write_all.h"

namespace rgbtool {
namespace {

using toolkit::kChannels;
constexpr unsigned kMaxByteSample = 255;
constexpr unsigned kMaxPpmSample = 65535;
constexpr std::size_t kPngSignatureBytes = 8;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::size_t rowBytesOf(int width) { return kChannels * static_cast<std::size_t>(width); }

// Pixels for a width x height picture: the buffer the image holds when it
// has that size already (a run of pictures decodes into the same one, with
// no new pages to fault in), else a new one; false when out of memory.
bool pixelsFor(Image& image, int width, int height) {
  const std::size_t bytes = rowBytesOf(width) * static_cast<std::size_t>(height);
  const bool fits = image.pixels && rowBytesOf(image.width) * static_cast<std::size_t>(image.height) == bytes;
  if (!fits) image.pixels.reset(static_cast<unsigned char*>(std::malloc(bytes)));
  image.width = width;
  image.height = height;
  return image.pixels != nullptr;
}

const unsigned char* frameRow(const unsigned char* frame, int width, int height, int topRow,
                              bool topRowFirst = false) {
  const int row = topRowFirst ? topRow : height - 1 - topRow;
  return frame + static_cast<std::size_t>(row) * rowBytesOf(width);
}

// One writev gathers the header and all rows, top row first, straight from
// the frame: no copy of the pixels. A frame held top row first goes out as
// one piece.
bool writeRows(int fd, const std::string& header, const unsigned char* frame, int width,
               int height, bool topRowFirst, std::string& error) {
  std::vector<iovec> pieces;
  pieces.reserve(static_cast<std::size_t>(height) + 1);
  if (!header.empty()) pieces.push_back({const_cast<char*>(header.data()), header.size()});
  if (topRowFirst) {
    pieces.push_back({const_cast<unsigned char*>(frame),
                      rowBytesOf(width) * static_cast<std::size_t>(height)});
  } else {
    for (int row = 0; row < height; ++row)
      pieces.push_back({const_cast<unsigned char*>(frameRow(frame, width, height, row)),
                        rowBytesOf(width)});
  }
  if (toolkit::writeAll(fd, pieces)) return true;
  error = std::string("cannot write: ") + std::strerror(errno);
  return false;
}

bool writePpm(int fd, const unsigned char* frame, int width, int height, bool topRowFirst,
              std::string& error) {
  const std::string header =
      "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  return writeRows(fd, header, frame, width, height, topRowFirst, error);
}

// ---- libpng ----

struct PngContext {
  std::string error;
};

[[noreturn]] void pngFailed(png_structp png, png_const_charp message) {
  auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
  if (context) context->error = message;
  png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Every PNG is written at zlib's middle level, each row with the filter
// that leaves the smallest sum of magnitudes: small files at a speed that
// keeps up with a camera, and the settings other encoders call "level 6,
// mixed prediction", which makes their speed comparable.
constexpr int kPngLevel = 6;
constexpr std::size_t kPngChunkBytes = 256 * 1024;  // fewer, larger IDAT chunks

// Where libpng's output goes: a FILE, or memory that grows as it comes.
struct PngSink {
  FILE* file = nullptr;
  std::vector<unsigned char>* memory = nullptr;
};

void pngToMemory(png_structp png, png_bytep data, png_size_t length) {
  auto* bytes = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    bytes->insert(bytes->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "out of memory");
}

void pngFlushNothing(png_structp) {}

// libpng reports errors by longjmp. Everything the jump may skip lives in
// the caller, so this function has no local state to lose.
bool pngWriteBody(png_structp png, png_infop info, const PngSink& sink, png_bytepp rows,
                  int width, int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (sink.memory) {
    png_set_write_fn(png, sink.memory, pngToMemory, pngFlushNothing);
  } else {
    png_init_io(png, sink.file);
  }
  png_set_compression_level(png, kPngLevel);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_compression_buffer_size(png, kPngChunkBytes);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
               8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

// The whole PNG into `sink`; false with the reason in `error`.
bool encodePngTo(const PngSink& sink, const unsigned char* frame, int width, int height,
                 bool topRowFirst, std::string& error) {
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row)
    rows[static_cast<std::size_t>(row)] =
        const_cast<png_bytep>(frameRow(frame, width, height, row, topRowFirst));
  PngContext context;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, pngFailed,
                                            pngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && pngWriteBody(png, info, sink, rows.data(), width, height);
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) error = context.error.empty() ? "out of memory" : "PNG: " + context.error;
  return ok;
}

bool writePng(int fd, const unsigned char* frame, int width, int height, bool topRowFirst,
              std::string& error) {
  const int copy = dup(fd);
  FILE* out = copy >= 0 ? fdopen(copy, "wb") : nullptr;
  if (!out) {
    if (copy >= 0) close(copy);
    error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  PngSink sink;
  sink.file = out;
  bool ok = encodePngTo(sink, frame, width, height, topRowFirst, error);
  if (std::fflush(out) != 0 && ok) {
    error = std::string("cannot write: ") + std::strerror(errno);
    ok = false;
  }
  if (std::fclose(out) != 0 && ok) {
    error = std::string("cannot write: ") + std::strerror(errno);
    ok = false;
  }
  return ok;
}

// Everything pngReadBody fills in lives here, in the caller: a longjmp out
// of libpng skips destructors in the function that called setjmp.
struct PngRead {
  bool headerOnly = false;
  Layout layout = Layout::Interleaved;
  std::string tooLarge;
  Image image;
  std::vector<png_bytep> rows;
  std::vector<png_byte> row;
};

// Rows decoded one at a time, each split at once into the planes: the
// picture is never held interleaved, so a stream takes it as it is.
void pngReadPlanes(png_structp png, PngRead& job) {
  const auto width = static_cast<std::size_t>(job.image.width);
  const auto height = static_cast<std::size_t>(job.image.height);
  const std::size_t plane = width * height;
  job.row.resize(rowBytesOf(job.image.width));
  for (std::size_t top = 0; top < height; ++top) {
    png_read_row(png, job.row.data(), nullptr);
    unsigned char* red = job.image.pixels.get() + (height - 1 - top) * width;
    const png_byte* pixel = job.row.data();
    for (std::size_t x = 0; x < width; ++x, pixel += kChannels) {
      red[x] = pixel[0];
      red[plane + x] = pixel[1];
      red[2 * plane + x] = pixel[2];
    }
  }
  job.image.planar = true;
}

bool pngReadBody(png_structp png, png_infop info, FILE* in, PngRead& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, in);
  png_set_sig_bytes(png, static_cast<int>(kPngSignatureBytes));
  // Any size PNG allows, so that a picture too large for a frame is named
  // as such rather than as broken.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(png, info);
  const png_uint_32 pngWidth = png_get_image_width(png, info);
  const png_uint_32 pngHeight = png_get_image_height(png, info);
  if (pngWidth > kMaxSide || pngHeight > kMaxSide) {
    job.tooLarge = "picture is " + std::to_string(pngWidth) + " x " + std::to_string(pngHeight) +
                   "; a frame holds at most " + std::to_string(kMaxSide) + " x " +
                   std::to_string(kMaxSide);
    return false;
  }
  if (job.headerOnly) {
    job.image.width = static_cast<int>(pngWidth);
    job.image.height = static_cast<int>(pngHeight);
    return true;
  }

  png_set_expand(png);
  // Rounds to the nearest 8-bit value, as the PPM reader and netpbm do.
  png_set_scale_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  const bool interlaced = png_set_interlace_handling(png) > 1;
  png_read_update_info(png, info);
  const int width = static_cast<int>(pngWidth);
  const int height = static_cast<int>(pngHeight);
  if (png_get_rowbytes(png, info) != rowBytesOf(width))
    png_error(png, "unexpected row layout after conversion to RGB");
  if (!pixelsFor(job.image, width, height)) png_error(png, "out of memory");
  if (job.layout == Layout::PlanesIfCheap && !interlaced) {
    pngReadPlanes(png, job);
    png_read_end(png, nullptr);
    return true;
  }
  job.rows.resize(static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row)
    job.rows[static_cast<std::size_t>(row)] = const_cast<png_bytep>(
        frameRow(job.image.pixels.get(), width, height, row));
  png_read_image(png, job.rows.data());
  png_read_end(png, nullptr);
  return true;
}

bool readPng(FILE* in, Image& image, bool headerOnly, std::string& error,
             Layout layout = Layout::Interleaved) {
  PngContext context;
  PngRead job;
  job.headerOnly = headerOnly;
  job.layout = layout;
  job.image = std::move(image);
  job.image.planar = false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, pngFailed,
                                           pngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && pngReadBody(png, info, in, job);
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  image = std::move(job.image);
  if (!ok) {
    error = !job.tooLarge.empty()       ? job.tooLarge
            : context.error.empty() ? "out of memory"
                                    : "PNG: " + context.error;
    return false;
  }
  return true;
}

// ---- PPM ----

bool isSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Skips whitespace and comments, then reads a decimal number up to limit.
bool readNumber(FILE* in, unsigned long limit, unsigned long& value) {
  int c = std::getc(in);
  for (;;) {
    if (c == '#') {
      while (c != '\n' && c != '\r' && c != EOF) c = std::getc(in);
    } else if (isSpace(c)) {
      c = std::getc(in);
    } else {
      break;
    }
  }
  if (c < '0' || c > '9') return false;
  value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > limit) return false;
    c = std::getc(in);
  }
  // One separator ends a number; in a binary file the raster begins right
  // after it. A comment may follow directly.
  if (c == '#') {
    std::ungetc(c, in);
    return true;
  }
  return c == EOF || isSpace(c);
}

struct PpmHeader {
  bool binary = true;
  std::size_t channels = kChannels;  // 1 for the grey kinds (P5, P2)
  int width = 0;
  int height = 0;
  unsigned maxval = 0;
};

bool readPpmHeader(FILE* in, char kind, PpmHeader& header, std::string& error) {
  header.binary = kind == '6' || kind == '5';
  header.channels = kind == '5' || kind == '2' ? 1 : kChannels;
  unsigned long width = 0;
  unsigned long height = 0;
  unsigned long maxval = 0;
  if (!readNumber(in, kMaxSide, width) || !readNumber(in, kMaxSide, height)) {
    error = "PPM: bad or too large width or height (a frame holds at most " +
            std::to_string(kMaxSide) + " x " + std::to_string(kMaxSide) + ")";
    return false;
  }
  if (!readNumber(in, kMaxPpmSample, maxval) || maxval == 0) {
    error = "PPM: bad maximum sample value";
    return false;
  }
  if (width == 0 || height == 0) {
    error = "PPM: empty picture";
    return false;
  }
  header.width = static_cast<int>(width);
  header.height = static_cast<int>(height);
  header.maxval = static_cast<unsigned>(maxval);
  return true;
}

unsigned char scaleSample(unsigned long value, unsigned maxval) {
  if (maxval == kMaxByteSample) return static_cast<unsigned char>(value);
  return static_cast<unsigned char>((value * kMaxByteSample + maxval / 2) / maxval);
}

// A binary raster shorter than its header promises is refused before any
// memory is taken for it.
bool rasterFits(FILE* in, const PpmHeader& header, std::size_t bytes) {
  struct stat info;
  if (!header.binary || fstat(fileno(in), &info) != 0 || !S_ISREG(info.st_mode)) return true;
  const off_t at = ftello(in);
  const std::size_t sampleBytes = header.maxval > kMaxByteSample ? 2 : 1;
  return at >= 0 && at <= info.st_size &&
         static_cast<uint64_t>(info.st_size - at) >= uint64_t{bytes} * sampleBytes;
}

bool readPpmRaster(FILE* in, const PpmHeader& header, Image& image, std::string& error) {
  const std::size_t rowBytes = rowBytesOf(header.width);
  const std::size_t rowSamples = header.channels * static_cast<std::size_t>(header.width);
  if (!rasterFits(in, header, rowSamples * static_cast<std::size_t>(header.height))) {
    error = "PPM: picture data ends early";
    return false;
  }
  if (!pixelsFor(image, header.width, header.height)) {
    error = "out of memory";
    return false;
  }
  const std::size_t sampleBytes = header.maxval > kMaxByteSample ? 2 : 1;
  std::vector<unsigned char> line(rowSamples * sampleBytes);
  for (int row = 0; row < header.height; ++row) {
    unsigned char* out =
        image.pixels.get() + static_cast<std::size_t>(header.height - 1 - row) * rowBytes;
    if (header.binary) {
      if (std::fread(line.data(), 1, line.size(), in) != line.size()) {
        error = "PPM: picture data ends early";
        return false;
      }
    }
    for (std::size_t k = 0; k < rowSamples; ++k) {
      unsigned long value = 0;
      if (!header.binary) {
        if (!readNumber(in, kMaxPpmSample, value)) {
          error = "PPM: bad or missing sample";
          return false;
        }
      } else if (sampleBytes == 2) {
        value = static_cast<unsigned long>(line[2 * k]) << 8 | line[2 * k + 1];
      } else {
        value = line[k];
      }
      if (value > header.maxval) {
        error = "PPM: sample above the maximum value";
        return false;
      }
      const unsigned char sample = scaleSample(value, header.maxval);
      if (header.channels == kChannels) {
        out[k] = sample;
      } else {
        // Grey: the one sample in each of red, green and blue.
        std::memset(out + kChannels * k, sample, kChannels);
      }
    }
  }
  return true;
}

bool isPpmKind(int kind) { return kind == '6' || kind == '5' || kind == '3' || kind == '2'; }

// What a picture's first bytes say it is.
enum class Kind { Png, Ppm, Unknown };

// The first bytes of a picture, as read to tell its kind.
struct Opening {
  unsigned char bytes[kPngSignatureBytes] = {};
  std::size_t count = 0;
};

// Reads the first bytes of a picture, as many as telling its kind takes.
Kind readKind(FILE* in, char& ppmKind, Opening& opening) {
  unsigned char* start = opening.bytes;
  opening.count = std::fread(start, 1, 2, in);
  if (opening.count != 2) return Kind::Unknown;
  if (start[0] == 'P' && isPpmKind(start[1])) {
    ppmKind = static_cast<char>(start[1]);
    return Kind::Ppm;
  }
  opening.count += std::fread(start + 2, 1, kPngSignatureBytes - 2, in);
  if (opening.count == kPngSignatureBytes && png_sig_cmp(start, 0, kPngSignatureBytes) == 0)
    return Kind::Png;
  return Kind::Unknown;
}

constexpr const char* kUnknownPicture = "not a PNG, PPM or PGM picture";

// Opens a picture file and tells PNG from PPM by the first bytes.
class PictureFile {
 public:
  ~PictureFile() {
    if (file_) std::fclose(file_);
  }
  bool open(const std::string& path, std::string& error) {
    // Close-on-exec: a helper started meanwhile from another thread must
    // not hold this picture open (a pipe's writer would never see its end).
    file_ = std::fopen(path.c_str(), "rbe");
    if (!file_) {
      error = std::string("cannot open: ") + std::strerror(errno);
      return false;
    }
    struct stat info;
    once_ = fstat(fileno(file_), &info) == 0 && !S_ISREG(info.st_mode);
    kind_ = readKind(file_, ppmKind_, opening_);
    if (kind_ == Kind::Unknown) error = kUnknownPicture;
    return kind_ != Kind::Unknown;
  }
  // Opened, but in a format read by the helper program.
  bool foreign() const { return file_ && kind_ == Kind::Unknown; }
  FILE* get() const { return file_; }
  bool isPng() const { return kind_ == Kind::Png; }
  char ppmKind() const { return ppmKind_; }
  const Opening& opening() const { return opening_; }
  // A pipe or a device: what was read of it cannot be read again.
  bool once() const { return once_; }

 private:
  FILE* file_ = nullptr;
  Kind kind_ = Kind::Unknown;
  char ppmKind_ = 0;
  Opening opening_;
  bool once_ = false;
};

// The largest picture taken whole into memory from a pipe for the helper.
constexpr std::size_t kMaxHeldPicture = std::size_t{1} << 30;

// A picture that can be read only once, in a format the helper decodes:
// the helper opens what it is named, so the picture, with the bytes already
// read to tell its kind, is handed over as a file in memory instead.
bool holdWhole(PictureFile& file, int held, std::string& error) {
  const Opening& opening = file.opening();
  if (!toolkit::writeAll(held, opening.bytes, opening.count)) {
    error = std::string("cannot hold the picture: ") + std::strerror(errno);
    return false;
  }
  std::size_t total = opening.count;
  std::vector<unsigned char> block(std::size_t{1} << 16);
  std::size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
    total += got;
    if (total > kMaxHeldPicture) {
      error = "a picture through a pipe may be at most 1 GiB";
      return false;
    }
    if (!toolkit::writeAll(held, block.data(), got)) {
      error = std::string("cannot hold the picture: ") + std::strerror(errno);
      return false;
    }
  }
  if (!std::ferror(file.get())) return lseek(held, 0, SEEK_SET) == 0;
  error = std::string("cannot read: ") + std::strerror(errno);
  return false;
}

bool decodeHeldWithHelper(PictureFile& file, Image& image, std::string& error) {
  const int held = memfd_create("rgbtool-picture", MFD_CLOEXEC);
  if (held < 0) {
    error = std::string("cannot hold the picture: ") + std::strerror(errno);
    return false;
  }
  const bool decoded = holdWhole(file, held, error) && decodeWithHelper(held, image, error);
  close(held);
  return decoded;
}

bool readPpm(FILE* in, char kind, Image& image, std::string& error) {
  PpmHeader header;
  return readPpmHeader(in, kind, header, error) && readPpmRaster(in, header, image, error);
}

}  // namespace

bool parseFormatName(const std::string& name, ImageFormat& format) {
  const std::string n = lower(name);
  if (n == "png") {
    format = ImageFormat::Png;
    return true;
  }
  if (n == "ppm" || n == "pnm") {
    format = ImageFormat::Ppm;
    return true;
  }
  if (n == "raw") {
    format = ImageFormat::Raw;
    return true;
  }
  if (n == "tiff" || n == "tif") {
    format = ImageFormat::Tiff;
    return true;
  }
  return false;
}

bool formatFromPath(const std::string& path, ImageFormat& format) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return parseFormatName(path.substr(dot + 1), format);
}

namespace {

bool emptyPicture(int width, int height, std::string& error) {
  if (width > 0 && height > 0) return false;
  error = "cannot write an empty picture (" + std::to_string(width) + " x " +
          std::to_string(height) + ")";
  return true;
}

}  // namespace

bool writeImageTo(toolkit::Output& out, ImageFormat format, const unsigned char* frame,
                  int width, int height, std::string& error, bool topRowFirst) {
  if (emptyPicture(width, height, error)) return false;
  bool written = false;
  switch (format) {
    case ImageFormat::Png:
      written = writePng(out.fd(), frame, width, height, topRowFirst, error);
      break;
    case ImageFormat::Ppm:
      written = writePpm(out.fd(), frame, width, height, topRowFirst, error);
      break;
    case ImageFormat::Raw:
      written = writeRows(out.fd(), "", frame, width, height, topRowFirst, error);
      break;
    case ImageFormat::Tiff:
      written = encodeWithHelper(
          "tiff", out.fd(),
          [&](int fd, std::string& why) {
            return writePpm(fd, frame, width, height, topRowFirst, why);
          },
          error);
      break;
  }
  if (!written) return false;
  if (out.commit()) return true;
  error = out.error();
  return false;
}

namespace {

bool openPicture(const std::string& path, const WriteOptions& how, toolkit::Output& out,
                 std::string& error) {
  toolkit::OutputRules rules;
  rules.overwrite = how.replace;
  rules.inputs = how.inputs;
  if (out.open(path, rules)) return true;
  error = out.error();
  return false;
}

}  // namespace

bool writeImage(const std::string& path, ImageFormat format, const unsigned char* frame,
                int width, int height, std::string& error, const WriteOptions& how) {
  if (emptyPicture(width, height, error)) return false;
  toolkit::Output out;
  return openPicture(path, how, out, error) &&
         writeImageTo(out, format, frame, width, height, error, how.topRowFirst);
}

bool encodePng(const unsigned char* frame, int width, int height, bool topRowFirst,
               std::vector<unsigned char>& bytes, std::string& error) {
  bytes.clear();
  if (emptyPicture(width, height, error)) return false;
  PngSink sink;
  sink.memory = &bytes;
  return encodePngTo(sink, frame, width, height, topRowFirst, error);
}

bool writeEncoded(const std::string& path, const std::vector<unsigned char>& bytes,
                  std::string& error, const WriteOptions& how) {
  toolkit::Output out;
  if (!openPicture(path, how, out, error)) return false;
  if (!toolkit::writeAll(out.fd(), bytes.data(), bytes.size())) {
    error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  if (out.commit()) return true;
  error = out.error();
  return false;
}

bool readableOnce(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

SizeRead readImageSize(const std::string& path, int& width, int& height, std::string& error) {
  // Opened now, a pipe's picture would be gone by its turn.
  if (readableOnce(path)) return SizeRead::WhenDecoded;
  PictureFile file;
  if (!file.open(path, error)) return file.foreign() ? SizeRead::WhenDecoded : SizeRead::Failed;
  if (file.isPng()) {
    Image image;
    if (!readPng(file.get(), image, true, error)) return SizeRead::Failed;
    width = image.width;
    height = image.height;
    return SizeRead::Known;
  }
  PpmHeader header;
  if (!readPpmHeader(file.get(), file.ppmKind(), header, error)) return SizeRead::Failed;
  width = header.width;
  height = header.height;
  return SizeRead::Known;
}

bool readImage(const std::string& path, Image& image, std::string& error, Layout layout) {
  image.planar = false;
  PictureFile file;
  if (!file.open(path, error)) {
    if (!file.foreign()) return false;
    return file.once() ? decodeHeldWithHelper(file, image, error)
                       : decodeWithHelper(path, image, error);
  }
  if (file.isPng()) return readPng(file.get(), image, false, error, layout);
  return readPpm(file.get(), file.ppmKind(), image, error);
}

NextPicture readNextPicture(FILE* in, Image& image, std::string& error) {
  // Whitespace may separate plain pictures; none starts with it.
  int c;
  do {
    c = std::getc(in);
  } while (isSpace(c));
  if (c == EOF) {
    if (!std::ferror(in)) return NextPicture::End;
    error = std::string("cannot read: ") + std::strerror(errno);
    return NextPicture::Failed;
  }
  std::ungetc(c, in);
  image.planar = false;
  char ppmKind = 0;
  Opening opening;
  const Kind kind = readKind(in, ppmKind, opening);
  bool read = false;
  if (kind == Kind::Unknown) {
    error = kUnknownPicture;
  } else if (kind == Kind::Png) {
    read = readPng(in, image, false, error);
  } else {
    read = readPpm(in, ppmKind, image, error);
  }
  return read ? NextPicture::Read : NextPicture::Failed;
}

}  // namespace rgbtool
