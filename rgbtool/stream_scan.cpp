#include "rgbtool/stream_scan.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "rgb/rgb.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/input.h"

namespace rgbtool {
namespace {

constexpr std::size_t kSkipBlock = 1 << 16;

bool sameFixedFields(const RawHeader& a, const RawHeader& b) {
  return a.magic == b.magic && a.storage == b.storage && a.bpc == b.bpc &&
         a.dimension == b.dimension && a.geometry == b.geometry;
}

RawHeader fromLibrary(const RGBHeader& h) {
  RawHeader raw;
  raw.magic = h.MAGIC;
  raw.storage = h.STORAGE;
  raw.bpc = h.BPC;
  raw.dimension = h.DIMENSION;
  raw.geometry = Geometry{h.XSIZE, h.YSIZE, h.ZSIZE};
  raw.stamp = h.TIMESTAMP;
  return raw;
}

// Explains why a later header differs from the first: lets the library
// judge the bytes (it prints its own message when it rejects them).
std::string explainMismatch(unsigned char* bytes, const RawHeader& header,
                            const Geometry& first, std::size_t frame) {
  const std::string where = "frame " + std::to_string(frame) + ": ";
  bool accepted = false;
  if (FILE* memory = fmemopen(bytes, kHeaderBytes, "rb")) {
    RGBHeader parsed;
    {
      LibraryMessagesToStderr guard;
      accepted = readRGBHeader(memory, &parsed) == 1;
    }
    std::fclose(memory);
  }
  if (!accepted) return where + "invalid header";
  return where + describe(header.geometry) + " differs from the first frame's " +
         describe(first);
}

// Reads and drops up to count bytes; returns how many arrived.
uint64_t skipBytes(FILE* stream, uint64_t count) {
  static unsigned char sink[kSkipBlock];
  uint64_t done = 0;
  while (done < count) {
    const std::size_t want = static_cast<std::size_t>(
        count - done < kSkipBlock ? count - done : kSkipBlock);
    const std::size_t got = std::fread(sink, 1, want, stream);
    done += got;
    if (got < want) break;
  }
  return done;
}

class Scanner {
 public:
  // Positions count from start, where the stream stood when opened.
  Scanner(FILE* stream, bool seekable, off_t start, uint64_t size, StreamScan& out)
      : stream_(stream), seekable_(seekable), start_(start), size_(size), out_(out) {}

  void run() {
    if (!readFirstHeader()) return;
    const uint64_t frameBytes = out_.geometry.frameBytes();
    if (!takeFirstFrame()) return;
    for (std::size_t frame = 1;; ++frame) {
      unsigned char bytes[kHeaderBytes];
      if (seekable_) {
        const uint64_t remaining = size_ - position_;
        if (remaining == 0) return;
        if (remaining < frameBytes) {
          out_.strayBytes = remaining;
          return;
        }
        if (fseeko(stream_, start_ + static_cast<off_t>(position_), SEEK_SET) != 0) {
          out_.damage = std::string("cannot seek: ") + std::strerror(errno);
          return;
        }
      }
      const std::size_t got = std::fread(bytes, 1, kHeaderBytes, stream_);
      if (got < kHeaderBytes) {
        if (std::ferror(stream_)) {
          out_.damage = "read error";
        } else {
          out_.strayBytes = got;
        }
        return;
      }
      const RawHeader header = decodeHeader(bytes);
      if (!seekable_) {
        // The bytes only count as a frame once all of them arrived.
        const uint64_t pixels = skipBytes(stream_, out_.geometry.pixelBytes());
        if (pixels < out_.geometry.pixelBytes()) {
          out_.strayBytes = kHeaderBytes + pixels;
          if (std::ferror(stream_)) out_.damage = "read error";
          return;
        }
      }
      if (!sameFixedFields(header, first_)) {
        out_.damage = explainMismatch(bytes, header, out_.geometry, frame);
        return;
      }
      out_.stamps.push_back(header.stamp);
      position_ += frameBytes;
    }
  }

 private:
  bool readFirstHeader() {
    RGBHeader header;
    bool accepted;
    {
      LibraryMessagesToStderr guard;
      accepted = readRGBHeader(stream_, &header) == 1;
    }
    if (!accepted) {
      if (seekable_ && size_ < kHeaderBytes) {
        out_.damage = size_ == 0 ? "empty file"
                                 : "too short for a frame header (" +
                                       std::to_string(size_) + " bytes)";
      } else if (std::ferror(stream_)) {
        out_.damage = "read error";
      } else if (std::feof(stream_)) {
        out_.damage = "ends inside the first frame header";
      } else {
        out_.damage = "frame 0: invalid header";
      }
      return false;
    }
    first_ = fromLibrary(header);
    out_.geometry = first_.geometry;
    out_.haveGeometry = true;
    return true;
  }

  // Counts the first frame once its pixel data is all there.
  bool takeFirstFrame() {
    const uint64_t frameBytes = out_.geometry.frameBytes();
    if (seekable_) {
      if (size_ < frameBytes) {
        out_.strayBytes = size_;
        return false;
      }
    } else {
      const uint64_t pixels = skipBytes(stream_, out_.geometry.pixelBytes());
      if (pixels < out_.geometry.pixelBytes()) {
        out_.strayBytes = kHeaderBytes + pixels;
        if (std::ferror(stream_)) out_.damage = "read error";
        return false;
      }
    }
    out_.stamps.push_back(first_.stamp);
    position_ = frameBytes;
    return true;
  }

  FILE* stream_;
  bool seekable_;
  off_t start_;
  uint64_t size_;
  StreamScan& out_;
  RawHeader first_;
  uint64_t position_ = 0;
};

}  // namespace

StreamScan scanStream(const std::string& path) {
  StreamScan result;
  InputStream input;
  if (!input.open(path, InputStream::Use::Headers)) {
    result.damage = input.error();
    return result;
  }
  result.opened = true;
  Scanner(input.get(), input.seekable(), input.start(), input.size(), result).run();
  return result;
}

}  // namespace rgbtool
