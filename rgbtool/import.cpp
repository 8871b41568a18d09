// rgbtool import: pictures in, one frame each, appended to a stream.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "rgb/rgb.h"
#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/frame_header.h"
#include "rgbtool/image_io.h"
#include "rgbtool/interrupt.h"
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

// The output stream. Appends hold an exclusive flock on a regular file for
// the whole run, so that appenders taking the same lock do not interleave;
// on failure the file is cut back to where this run's bytes began (or
// removed, if this run created it), but only while it still ends with them.
class Appender {
 public:
  ~Appender() {
    interrupt::clearAppend();
    if (fd_ >= 0 && fd_ != STDOUT_FILENO) close(fd_);
  }
  Appender() = default;
  Appender(const Appender&) = delete;
  Appender& operator=(const Appender&) = delete;

  // Opens and checks an existing stream; a missing one is created only when
  // the first frame is ready, so that a failed run leaves nothing behind.
  bool open(const std::string& out, const Size& size) {
    out_ = out;
    size_ = size;
    if (out == "-") {
      std::fflush(stdout);
      fd_ = STDOUT_FILENO;
      return prepare();
    }
    fd_ = ::open(out.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
      if (errno == ENOENT) return true;
      reportErrno(out + ": cannot open for appending", errno);
      return false;
    }
    return prepare();
  }

  bool append(const Image& image, int32_t stamp) {
    if (fd_ < 0 && !create()) return false;
    char* bytes = nullptr;
    std::size_t length = 0;
    FILE* memory = open_memstream(&bytes, &length);
    if (!memory) {
      reportErrno(out_ + ": cannot prepare a frame", errno);
      return false;
    }
    bool made;
    {
      // The library's messages would otherwise land on stdout, which may
      // be the stream itself.
      LibraryMessagesToStderr guard;
      made = writeRGBTimeStream(memory, image.pixels.get(), image.width, image.height, 1,
                                &stamp) == 1;
      made = std::fclose(memory) == 0 && made;
    }
    std::unique_ptr<char, FreeDeleter> owned(bytes);
    if (!made) {
      report(out_ + ": cannot encode a frame");
      return false;
    }
    return writeAll(bytes, length);
  }

  bool finish() {
    if (fd_ < 0) return true;
    if (regular_ && fsync(fd_) != 0 && errno != EINVAL) {
      reportErrno(out_ + ": cannot write", errno);
      return false;
    }
    interrupt::clearAppend();
    if (fd_ == STDOUT_FILENO) return true;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
      reportErrno(out_ + ": cannot write", errno);
      return false;
    }
    return true;
  }

  // Undoes the appends; says what is left behind.
  void rollBack(std::size_t framesWritten) {
    if (fd_ < 0) {
      // Never created, or closed with an error after its frames went out.
      if (written_ == 0) {
        report(out_ + ": nothing appended");
      } else {
        report(out_ + ": " + std::to_string(framesWritten) + " frame(s) of this run may be in it");
      }
      return;
    }
    bool undone = false;
    struct stat info;
    if (regular_ && fstat(fd_, &info) == 0 && info.st_size >= start_ &&
        info.st_size <= start_ + written_ + pending_) {
      undone = (created_ && start_ == 0 && removeCreated(info)) || ftruncate(fd_, start_) == 0;
    }
    interrupt::clearAppend();
    if (undone) {
      report(out_ + ": nothing appended");
    } else if (regular_) {
      report(out_ + ": changed by another writer; " + std::to_string(framesWritten) +
             " frame(s) of this run left in it");
    } else if (framesWritten > 0) {
      report(out_ + ": " + std::to_string(framesWritten) +
             " frame(s) went out before the failure");
    }
  }

 private:
  // Removes the file this run created, if its name still leads to it.
  bool removeCreated(const struct stat& file) {
    struct stat named;
    return stat(out_.c_str(), &named) == 0 && named.st_dev == file.st_dev &&
           named.st_ino == file.st_ino && unlink(out_.c_str()) == 0;
  }

  bool create() {
    {
      interrupt::Deferred hold;
      fd_ = ::open(out_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        created_ = true;
        interrupt::setAppend(fd_, 0, out_);
      }
    }
    if (fd_ < 0 && errno == EEXIST) {
      // Someone made it meanwhile: continue it like any existing stream.
      fd_ = ::open(out_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
      // Or it is a link to a file yet to be made, which only the link
      // names: made here, but then not ours to remove by this name.
      if (fd_ < 0 && errno == ENOENT)
        fd_ = ::open(out_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd_ < 0) {
      reportErrno(out_ + ": cannot create", errno);
      return false;
    }
    return prepare();
  }

  // Locks a regular file and checks, under the lock, that it can be continued.
  bool prepare() {
    struct stat info;
    if (fstat(fd_, &info) != 0) {
      reportErrno(out_ + ": cannot examine", errno);
      return false;
    }
    if (!S_ISREG(info.st_mode)) return true;
    regular_ = true;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        reportErrno(out_ + ": cannot lock", errno);
        return false;
      }
    }
    if (fstat(fd_, &info) != 0) {
      reportErrno(out_ + ": cannot examine", errno);
      return false;
    }
    start_ = info.st_size;
    if (!continues(info.st_size)) return false;
    interrupt::setAppend(fd_, start_, created_ ? out_ : std::string());
    return true;
  }

  // Frames appended to an existing stream must continue it: same size, RGB,
  // and no partial frame at its end that would shift every later frame.
  bool continues(off_t length) {
    if (length == 0) return true;
    const int reader = ::open(out_ == "-" ? "/dev/stdout" : out_.c_str(), O_RDONLY | O_CLOEXEC);
    unsigned char bytes[kHeaderBytes];
    const bool full =
        reader >= 0 && pread(reader, bytes, kHeaderBytes, 0) == static_cast<ssize_t>(kHeaderBytes);
    if (reader >= 0) close(reader);
    const RawHeader header = decodeHeader(bytes);
    if (!full || !header.valid()) {
      report(out_ + ": not a frame stream; nothing appended");
      return false;
    }
    const Geometry wanted{size_.width, size_.height, kRgbPlanes};
    if (header.geometry != wanted) {
      report(out_ + ": holds " + describe(header.geometry) + " frames, cannot append " +
             describe(wanted) + " frames; nothing appended");
      return false;
    }
    const uint64_t stray = static_cast<uint64_t>(length) % wanted.frameBytes();
    if (stray != 0) {
      report(out_ + ": ends in " + std::to_string(stray) +
             " bytes of a partial frame; nothing appended");
      return false;
    }
    return true;
  }

  bool writeAll(const char* bytes, std::size_t length) {
    while (length > 0) {
      const off_t at = start_ + written_;
      pending_ = static_cast<off_t>(length);
      interrupt::setAppendWindow(at, at + pending_);
      const ssize_t n = write(fd_, bytes, length);
      if (n < 0) {
        if (errno == EINTR) continue;
        reportErrno(out_ + ": cannot write", errno);
        return false;
      }
      written_ += n;
      pending_ = 0;
      interrupt::setAppendWindow(start_ + written_, start_ + written_);
      bytes += n;
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }

  std::string out_;
  Size size_;
  int fd_ = -1;
  bool regular_ = false;
  bool created_ = false;
  off_t start_ = 0;
  off_t written_ = 0;  // this run's bytes known to be in the file
  off_t pending_ = 0;  // bytes of a write that may have partly gone out
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
  if (!commonSize(options.images, size)) return kExitFailure;

  Appender appender;
  if (!appender.open(options.out, size)) return kExitFailure;
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
    appender.rollBack(options.images.size());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace rgbtool
