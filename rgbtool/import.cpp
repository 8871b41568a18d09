// rgbtool import: pictures in, one frame each, appended to a stream.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rgb/rgb.h"
#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/frame_header.h"
#include "rgbtool/image_io.h"
#include "rgbtool/intervals.h"
#include "rgbtool/progress.h"

namespace rgbtool {
namespace {

struct Size {
  int width = 0;
  int height = 0;
};

std::string sizeText(const Size& size) {
  return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// All pictures must share one size; this reads only their headers.
bool commonSize(const std::vector<std::string>& images, Size& size) {
  for (std::size_t i = 0; i < images.size(); ++i) {
    Size s;
    std::string error;
    if (!readImageSize(images[i], s.width, s.height, error)) {
      report(images[i] + ": " + error + "; nothing appended");
      return false;
    }
    if (i == 0) {
      size = s;
    } else if (s.width != size.width || s.height != size.height) {
      report(images[i] + " is " + sizeText(s) + " but " + images[0] + " is " +
             sizeText(size) + ": all pictures must have the same size; nothing appended");
      return false;
    }
  }
  return true;
}

// Frames appended to an existing stream must continue it: same size, RGB,
// and no partial frame at its end that would shift every later frame.
bool fitsExistingStream(const std::string& out, const Size& size) {
  struct stat info;
  if (out == "-" || stat(out.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
    return true;
  FILE* stream = std::fopen(out.c_str(), "rb");
  if (!stream) {
    reportErrno(out + ": cannot open", errno);
    return false;
  }
  unsigned char bytes[kHeaderBytes];
  const bool full = std::fread(bytes, 1, kHeaderBytes, stream) == kHeaderBytes;
  std::fclose(stream);
  const RawHeader header = decodeHeader(bytes);
  if (!full || !header.valid()) {
    report(out + ": not a frame stream; nothing appended");
    return false;
  }
  const Geometry wanted{size.width, size.height, kRgbPlanes};
  if (header.geometry != wanted) {
    report(out + ": holds " + describe(header.geometry) + " frames, cannot append " +
           describe(wanted) + " frames; nothing appended");
    return false;
  }
  const uint64_t stray = static_cast<uint64_t>(info.st_size) % wanted.frameBytes();
  if (stray != 0) {
    report(out + ": ends in " + std::to_string(stray) +
           " bytes of a partial frame; nothing appended");
    return false;
  }
  return true;
}

// The output stream; on failure a regular file is cut back to its length
// before the run, so that a failed import appends nothing.
class Appender {
 public:
  ~Appender() {
    if (stream_ && stream_ != stdout) std::fclose(stream_);
  }
  bool open(const std::string& out) {
    out_ = out;
    if (out == "-") {
      stream_ = stdout;
    } else {
      stream_ = std::fopen(out.c_str(), "ab");
      if (!stream_) {
        reportErrno(out + ": cannot open for appending", errno);
        return false;
      }
    }
    struct stat info;
    if (fstat(fileno(stream_), &info) == 0 && S_ISREG(info.st_mode)) {
      regular_ = true;
      originalSize_ = info.st_size;
    }
    return true;
  }
  bool append(const Image& image, int32_t stamp) {
    if (stream_ == stdout) {
      // The frames are this run's result on stdout, so the library's
      // messages cannot be moved out of their way.
      return writeRGBTimeStream(stream_, image.pixels.get(), image.width, image.height, 1,
                                &stamp) == 1;
    }
    LibraryMessagesToStderr guard;
    return writeRGBTimeStream(stream_, image.pixels.get(), image.width, image.height, 1,
                              &stamp) == 1;
  }
  bool finish() {
    if (stream_ == stdout) return std::fflush(stdout) == 0;
    FILE* stream = stream_;
    stream_ = nullptr;
    return std::fclose(stream) == 0;
  }
  // Undoes the appends; says what is left behind.
  void rollBack(std::size_t framesWritten) {
    if (stream_) std::fflush(stream_);
    const bool cut = regular_ && (stream_ ? ftruncate(fileno(stream_), originalSize_)
                                          : truncate(out_.c_str(), originalSize_)) == 0;
    if (cut) {
      report(out_ + ": nothing appended");
    } else if (framesWritten > 0) {
      report(out_ + ": " + std::to_string(framesWritten) +
             " frame(s) went out before the failure");
    }
  }

 private:
  std::string out_;
  FILE* stream_ = nullptr;
  bool regular_ = false;
  off_t originalSize_ = 0;
};

int32_t stampFor(const ImportOptions& options, std::size_t frame) {
  if (!options.fixedStamps) return get_time();
  const int64_t stamp =
      (options.startMs + static_cast<int64_t>(frame) * options.intervalMs) % kClockCycleMs;
  return static_cast<int32_t>(stamp);
}

}  // namespace

int runImport(const ImportOptions& options) {
  Size size;
  if (!commonSize(options.images, size) || !fitsExistingStream(options.out, size))
    return kExitFailure;

  Appender appender;
  if (!appender.open(options.out)) return kExitFailure;
  Progress progress("importing", options.images.size());
  for (std::size_t i = 0; i < options.images.size(); ++i) {
    Image image;
    std::string error;
    if (!readImage(options.images[i], image, error)) {
      report(options.images[i] + ": " + error);
      appender.rollBack(i);
      return kExitFailure;
    }
    if (image.width != size.width || image.height != size.height) {
      report(options.images[i] + ": changed size while importing");
      appender.rollBack(i);
      return kExitFailure;
    }
    if (!appender.append(image, stampFor(options, i))) {
      report(options.out + ": cannot write frame " + std::to_string(i));
      appender.rollBack(i);
      return kExitFailure;
    }
    progress.update(i + 1);
  }
  if (!appender.finish()) {
    reportErrno(options.out + ": cannot write", errno);
    appender.rollBack(options.images.size());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace rgbtool
