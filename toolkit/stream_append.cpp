// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/stream_append.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/frame.h"
#include "toolkit/signals.h"
#include "toolkit/standard_streams.h"

namespace toolkit {
namespace {

constexpr int kRgbPlanes = 3;
constexpr mode_t kNewFileMode = 0666;  // less the umask
// A path replaced again each time it has been locked is given up on.
constexpr int kLockAttempts = 16;

std::string because(const std::string& what, int errnum) {
  return what + ": " + std::strerror(errnum);
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Waits for the lock. A file system without locks lets the append go
// ahead, as the library's writers do: the lock only orders those who take
// it.
void lockExclusive(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

// The stream as the library's reader sees it, through a descriptor of its
// own: the appending one may be write-only.
struct Held {
  int status = RGB_OK;
  std::string words;
  rgb_frame_info first{};
  int64_t frames = 0;
  uint64_t stray = 0;
};

Held examine(int fd, off_t size) {
  Held held;
  const std::string alias = "/proc/self/fd/" + std::to_string(fd);
  const int look = ::open(alias.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat a;
  struct stat b;
  if (look < 0 || fstat(look, &a) != 0 || fstat(fd, &b) != 0 || !sameFile(a, b)) {
    held.status = RGB_EOPEN;
    held.words = look < 0 ? because("cannot read it", errno) : "cannot read it";
    if (look >= 0) close(look);
    return held;
  }
  FILE* stream = fdopen(look, "rb");
  rgb_reader* reader = nullptr;
  if (!stream || rgb_reader_from_file(&reader, stream) != RGB_OK) {
    held.status = RGB_ENOMEM;
    held.words = "cannot read it";
  } else {
    errno = 0;
    held.status = rgb_reader_info(reader, &held.first);
    if (held.status == RGB_OK) held.status = rgb_reader_count(reader, &held.frames, &held.stray);
    // A first header cut short: all of it is a partial frame.
    if (held.status == RGB_ESHORTHEADER && !held.frames) {
      held.status = RGB_OK;
      held.stray = static_cast<uint64_t>(size);
    }
    if (held.status != RGB_OK)
      held.words = frameFailure(0, rgb_reader_message(reader), held.status, errno);
  }
  if (reader) rgb_reader_close(reader);
  if (stream) {
    std::fclose(stream);
  } else {
    close(look);
  }
  return held;
}

}  // namespace

StreamAppender::~StreamAppender() {
  if (!committed_) rollback();
}

bool StreamAppender::open(const std::string& path, int width, int height,
                          const AppendRules& rules) {
  rollback();
  error_.clear();
  regular_ = created_ = committed_ = began_ = false;
  start_ = written_ = 0;
  framesBefore_ = -1;
  appended_ = 0;
  path_ = path;
  width_ = width;
  height_ = height;
  rules_ = rules;
  const rgb_frame_info shape{width, height, kRgbPlanes, 0, 0};
  frameBytes_ = sizeof(RGBHeader) + rgb_frame_bytes(&shape, RGB_PLANAR);
  if (path != "-") return openPath() && prepare();
  if (stdoutClosed()) {
    error_ = "standard output is closed";
    return false;
  }
  std::fflush(stdout);
  fd_ = STDOUT_FILENO;
  return prepare();
}

bool StreamAppender::openPath() {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT) {
      if (!create()) return false;
    } else if (fd_ < 0) {
      error_ = because("cannot open for appending", errno);
      return false;
    }
    if (lockCurrent()) return true;
    // Replaced meanwhile: the new file is the stream now.
    if (created_) signals::clearAppend();
    created_ = regular_ = false;
    close(fd_);
    fd_ = -1;
  }
  error_ = "cannot open for appending: replaced each time it was locked";
  return false;
}

bool StreamAppender::create() {
  {
    const signals::Hold hold;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd_ >= 0) {
      created_ = true;
      regular_ = true;
      signals::setAppend(fd_, 0, path_);
      return true;
    }
  }
  if (errno == EEXIST) {
    // Made meanwhile; or a link to a file yet to be made, which only the
    // link names: made here, but then not ours to remove by this name.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT)
      fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  }
  if (fd_ < 0) error_ = because("cannot create", errno);
  return fd_ >= 0;
}

// Locks a regular file; true when the path still names it then.
bool StreamAppender::lockCurrent() {
  struct stat held;
  if (fstat(fd_, &held) != 0 || !S_ISREG(held.st_mode)) return true;
  lockExclusive(fd_);
  struct stat named;
  return stat(path_.c_str(), &named) == 0 && sameFile(named, held);
}

bool StreamAppender::prepare() {
  struct stat file;
  if (fstat(fd_, &file) != 0) {
    error_ = because("cannot examine", errno);
    return false;
  }
  regular_ = S_ISREG(file.st_mode);
  if (regular_) {
    if (fd_ == STDOUT_FILENO) lockExclusive(fd_);
    if (!continues(file.st_size)) return false;
    // A descriptor opened without O_APPEND (1<>s.rgb) writes where it
    // stands: the frames go after the stream's end all the same.
    start_ = lseek(fd_, 0, SEEK_END);
    if (start_ < 0) {
      error_ = because("cannot examine", errno);
      return false;
    }
    signals::setAppend(fd_, start_, created_ ? path_ : std::string());
  }
  return startWriter();
}

bool StreamAppender::continues(off_t size) {
  framesBefore_ = 0;
  if (size == 0) return true;
  const Held held = examine(fd_, size);
  if (held.status != RGB_OK) {
    error_ = "not a frame stream (" + held.words + ")";
    return false;
  }
  const rgb_frame_info wanted{width_, height_, kRgbPlanes, 0, 0};
  if (held.frames > 0 && !sameShape(held.first, wanted)) {
    error_ = "holds " + describeShape(held.first) + " frames, cannot append " +
             describeShape(wanted) + " frames";
    return false;
  }
  if (held.stray > 0 && !rules_.cutPartial) {
    error_ = "ends in " + std::to_string(held.stray) + " bytes of a partial frame";
    return false;
  }
  if (held.stray > 0 && ftruncate(fd_, size - static_cast<off_t>(held.stray)) != 0) {
    error_ = because("cannot cut the partial frame", errno);
    return false;
  }
  framesBefore_ = held.frames;
  return true;
}

// The library's writer over a copy of the descriptor, unbuffered: a failed
// frame leaves nothing in a buffer that a later close would write.
bool StreamAppender::startWriter() {
  const int copy = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  stream_ = copy >= 0 ? fdopen(copy, "wb") : nullptr;
  if (!stream_) {
    error_ = because("cannot write", errno);
    if (copy >= 0) close(copy);
    return false;
  }
  setvbuf(stream_, nullptr, _IONBF, 0);
  const int status = rgb_writer_from_file(&writer_, stream_);
  if (status != RGB_OK) {
    error_ = rgb_strerror(status);
    return false;
  }
  began_ = true;
  return true;
}

bool StreamAppender::append(const unsigned char* pixels, int32_t stamp, int flags) {
  if (!writer_) {
    error_ = "cannot write: not open";
    return false;
  }
  const off_t at = start_ + written_;
  if (regular_) signals::setAppendWindow(at, at + static_cast<off_t>(frameBytes_));
  errno = 0;
  const int status = rgb_writer_put(writer_, pixels, width_, height_, stamp, flags);
  if (status != RGB_OK) {
    // The window stays open over the frame's bytes until the rollback.
    error_ = status == RGB_EIO ? because("cannot write", errno) : rgb_strerror(status);
    return false;
  }
  written_ += static_cast<off_t>(frameBytes_);
  ++appended_;
  if (regular_) signals::setAppendWindow(start_ + written_, start_ + written_);
  return true;
}

bool StreamAppender::closeWriter() {
  bool closed = true;
  if (writer_) closed = rgb_writer_close(writer_) == RGB_OK;
  writer_ = nullptr;
  if (stream_) closed = std::fclose(stream_) == 0 && closed;
  stream_ = nullptr;
  return closed;
}

bool StreamAppender::commit() {
  if (!began_) {
    if (error_.empty()) error_ = "cannot write: not open";
    return false;
  }
  const bool closed = closeWriter();
  const int reason = errno;
  if (!closed || (regular_ && rules_.durable && fsync(fd_) != 0 && errno != EINVAL)) {
    error_ = because("cannot write", closed ? errno : reason);
    rollback();
    return false;
  }
  signals::clearAppend();
  committed_ = true;
  release();
  return true;
}

bool StreamAppender::rollback() {
  closeWriter();
  bool undone = appended_ == 0;
  if ((began_ || created_) && regular_ && fd_ >= 0) {
    // Up to one frame more than this run's known bytes: the one that failed.
    const off_t high = start_ + written_ + static_cast<off_t>(frameBytes_);
    struct stat file;
    undone = fstat(fd_, &file) == 0 && file.st_size >= start_ && file.st_size <= high &&
             ((created_ && start_ == 0 && removeCreated(file)) || ftruncate(fd_, start_) == 0);
  }
  if (regular_ || created_) signals::clearAppend();
  release();
  began_ = false;
  return undone;
}

// Removes the file this run made, while its name still leads to it.
bool StreamAppender::removeCreated(const struct stat& file) {
  struct stat named;
  return stat(path_.c_str(), &named) == 0 && sameFile(named, file) && unlink(path_.c_str()) == 0;
}

void StreamAppender::release() {
  if (fd_ == STDOUT_FILENO) {
    if (regular_) flock(fd_, LOCK_UN);
  } else if (fd_ >= 0) {
    close(fd_);
  }
  fd_ = -1;
}

}  // namespace toolkit
