// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/frame_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "toolkit/program.h"
#include "toolkit/signals.h"
#include "toolkit/standard_streams.h"

namespace toolkit {
namespace {

// Stamps are gathered into a vector reserved up front, but never for more
// than this many frames on the word of a file's size alone.
constexpr std::size_t kStampReserve = std::size_t{1} << 20;

// A frame still being written shows as a header or pixels cut short; the
// reader has gone back to the frame's start.
bool stillArriving(int status) { return status == RGB_ESHORTHEADER || status == RGB_ETRUNCATED; }

void sleepFor(std::chrono::milliseconds pause) {
  using namespace std::chrono;
  const auto whole = duration_cast<seconds>(pause);
  timespec wait{static_cast<time_t>(whole.count()),
                static_cast<long>(duration_cast<nanoseconds>(pause - whole).count())};
  nanosleep(&wait, nullptr);  // a signal ends it early: the stop is asked at once
}

}  // namespace

FrameSource::~FrameSource() { close(); }

void FrameSource::close() {
  if (reader_) rgb_reader_close(reader_);
  reader_ = nullptr;
  // Before the descriptor can be closed and its number given to a file.
  if (stream_) signals::dropFinishInput(fileno(stream_));
  if (stream_ && ownsStream_) std::fclose(stream_);
  stream_ = nullptr;
  ownsStream_ = false;
  haveLast_ = false;
  timeline_ = Timeline();
}

bool FrameSource::open(const std::string& path) {
  close();
  path_ = path;
  error_.clear();
  lastStatus_ = RGB_OK;
  if (path == "-") {
    if (stdinClosed()) {
      error_ = "standard input is closed";
      return false;
    }
    return adopt(stdin, false);
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int reason = errno;
    error_ = reason == EINTR && signals::finishRequested()
                 ? std::string("stopped before the stream began")
                 : std::string("cannot open: ") + std::strerror(reason);
    return false;
  }
  struct stat file;
  if (fstat(fd, &file) == 0 && S_ISDIR(file.st_mode)) {
    ::close(fd);
    error_ = std::string("cannot read: ") + std::strerror(EISDIR);
    return false;
  }
  FILE* stream = fdopen(fd, "rb");
  if (!stream) {
    error_ = std::string("cannot open: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  return adopt(stream, true);
}

bool FrameSource::adopt(FILE* stream, bool owned) {
  stream_ = stream;
  ownsStream_ = owned;
  struct stat file;
  if (fstat(fileno(stream), &file) != 0) {
    error_ = std::string("cannot read: ") + std::strerror(errno);
    close();
    return false;
  }
  const off_t at = S_ISREG(file.st_mode) ? ftello(stream) : -1;
  seekable_ = at >= 0;
  start_ = seekable_ ? at : 0;
  if (!seekable_) signals::finishInput(fileno(stream));
  const int status = rgb_reader_from_file(&reader_, stream);
  if (status != RGB_OK) {
    error_ = rgb_strerror(status);
    close();
    return false;
  }
  return true;
}

// Reads the file again from `from` as a stream of its own: a file cut
// short or rewritten may hold frames of another size now.
bool FrameSource::restart(off_t from) {
  rgb_reader_close(reader_);
  reader_ = nullptr;
  haveLast_ = false;
  if (fseeko(stream_, from, SEEK_SET) != 0) {
    error_ = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  start_ = from;
  const int status = rgb_reader_from_file(&reader_, stream_);
  if (status != RGB_OK) error_ = rgb_strerror(status);
  return status == RGB_OK;
}

FrameSource::Read FrameSource::failed(int status, int64_t index, int savedErrno) {
  lastStatus_ = status;
  // A read that a stop signal interrupted is no damage.
  if (signals::finishRequested()) return Read::Stopped;
  error_ = frameFailure(index, reader_ ? rgb_reader_message(reader_) : "", status, savedErrno);
  return Read::Failed;
}

bool FrameSource::count(int64_t& frames, uint64_t& stray) {
  if (!reader_) return false;
  if (!seekable_) {
    error_ = "cannot count the frames of a pipe";
    return false;
  }
  errno = 0;
  const int status = rgb_reader_count(reader_, &frames, &stray);
  if (status == RGB_OK) return true;
  failed(status, 0, errno);  // counting reads only the first header
  return false;
}

int64_t FrameSource::tell() const {
  int64_t index = 0;
  if (reader_) rgb_reader_tell(reader_, &index);
  return index;
}

FrameSource::Read FrameSource::seek(int64_t index) {
  if (!reader_) return Read::Failed;
  if (index < 0) {
    error_ = "no frame " + std::to_string(index);
    return Read::Failed;
  }
  if (!seekable_) return readThrough(index);
  int64_t frames = 0;
  uint64_t stray = 0;
  if (!count(frames, stray)) return Read::Failed;
  errno = 0;
  const int status = rgb_reader_seek(reader_, std::min(index, frames));
  if (status != RGB_OK) return failed(status, std::min(index, frames), errno);
  // Where the file ends inside a frame, that frame is a position: next()
  // reports it.
  return index < frames || (index == frames && stray > 0) ? Read::Frame : Read::End;
}

FrameSource::Read FrameSource::readThrough(int64_t index) {
  if (index < tell()) {
    error_ = "cannot go back to frame " + std::to_string(index) + " on a pipe";
    return Read::Failed;
  }
  Frame skipped;
  while (tell() < index) {
    const Read got = next(skipped);
    if (got != Read::Frame) return got;
  }
  return Read::Frame;
}

FrameSource::Read FrameSource::seekTime(int64_t ms) {
  if (!reader_) return Read::Failed;
  if (seekable_) {
    std::vector<int32_t> all;
    const bool whole = stamps(all);
    const std::vector<int64_t> times = timelineOf(all);
    const int64_t first = framesBetween(times, ms, ms).first;
    if (!whole && first >= static_cast<int64_t>(all.size())) return Read::Failed;
    return seek(first);
  }
  Frame skipped;
  for (;;) {
    rgb_frame_info info{};
    const Read got = peek(info);
    if (got != Read::Frame) return got;
    Timeline ahead = timeline_;
    if (ahead.add(info.stamp) >= ms) return Read::Frame;
    const Read read = next(skipped);
    if (read != Read::Frame) return read;
  }
}

FrameSource::Read FrameSource::peek(rgb_frame_info& info) {
  if (!reader_) return Read::Failed;
  errno = 0;
  info = rgb_frame_info{};
  info.index = tell();
  const int status = rgb_reader_peek(reader_, &info);
  if (status == RGB_OK) return Read::Frame;
  if (status == RGB_END) return signals::finishRequested() ? Read::Stopped : Read::End;
  return failed(status, info.index, errno);
}

FrameSource::Read FrameSource::next(Frame& frame) {
  if (!reader_) return Read::Failed;
  if (signals::finishRequested()) return Read::Stopped;
  rgb_frame_info info{};
  info.index = tell();
  errno = 0;
  lastStatus_ =
      rgb_reader_next_grow(reader_, &frame.pixels_, &frame.capacity_, flags_, &info);
  // A finish ends the input as if the producer had closed it.
  if (lastStatus_ == RGB_END) return signals::finishRequested() ? Read::Stopped : Read::End;
  if (lastStatus_ != RGB_OK) return failed(lastStatus_, info.index, errno);
  frame.info_ = info;
  frame.flags_ = flags_;
  if (!seekable_) timeline_.add(info.stamp);
  return Read::Frame;
}

bool FrameSource::stamps(std::vector<int32_t>& stamps) {
  stamps.clear();
  if (!reader_) return false;
  if (!seekable_) {
    Frame frame;
    for (;;) {
      const Read got = next(frame);
      if (got == Read::End) return true;
      if (got != Read::Frame) return false;
      stamps.push_back(frame.stamp());
    }
  }
  int64_t frames = 0;
  uint64_t stray = 0;
  if (!count(frames, stray)) return false;
  const int64_t here = tell();
  stamps.reserve(std::min(static_cast<std::size_t>(frames), kStampReserve));
  bool whole = true;
  for (int64_t i = 0; i < frames && whole; ++i) {
    errno = 0;
    const int status = rgb_reader_seek(reader_, i);
    rgb_frame_info info{};
    whole = status == RGB_OK ? peek(info) == Read::Frame : failed(status, i, errno) == Read::Frame;
    if (whole) stamps.push_back(info.stamp);
  }
  const std::string damage = error_;
  const bool back = rgb_reader_seek(reader_, here) == RGB_OK;
  if (!whole) error_ = damage;
  if (whole && !back) error_ = "cannot go back to frame " + std::to_string(here);
  return whole && back;
}

void FrameSource::notify(const std::string& words) {
  if (notice_) {
    notice_(words);
  } else {
    report(path_ + ": " + words);
  }
}

// The path names another file now (renamed over it, or removed and made
// again): that one is read from its start.
bool FrameSource::replaced() {
  if (path_ == "-") return false;
  struct stat named;
  struct stat held;
  if (stat(path_.c_str(), &named) != 0 || fstat(fileno(stream_), &held) != 0) return false;
  return named.st_dev != held.st_dev || named.st_ino != held.st_ino;
}

// Cut shorter than the position, or cut and written again (the frame
// delivered last is no longer there as it was).
bool FrameSource::truncated() {
  const int64_t at = tell();
  int64_t frames = 0;
  uint64_t stray = 0;
  if (rgb_reader_count(reader_, &frames, &stray) == RGB_OK && frames < at) return true;
  if (!haveLast_) return false;
  rgb_frame_info now{};
  const bool same = rgb_reader_seek(reader_, last_.index) == RGB_OK &&
                    rgb_reader_peek(reader_, &now) == RGB_OK && sameShape(now, last_) &&
                    now.stamp == last_.stamp;
  return rgb_reader_seek(reader_, at) != RGB_OK || !same;
}

bool FrameSource::checkFollowed() {
  // Bytes stdio holds from an earlier read may have changed in the file
  // since: they are dropped (fflush on a stream being read), so that what
  // is looked at below is the file as it is now.
  std::fflush(stream_);
  if (replaced()) {
    notify("replaced by another file; reading that one from its start");
    const std::string path = path_;
    Notice notice = std::move(notice_);
    const bool opened = open(path);
    notice_ = std::move(notice);
    return opened;
  }
  if (!truncated()) return true;
  struct stat file;
  const off_t size = fstat(fileno(stream_), &file) == 0 ? file.st_size : 0;
  notify("cut short (now " + std::to_string(size) + " bytes); reading again from its frame 0");
  return restart(size >= start_ ? start_ : 0);
}

FrameSource::Read FrameSource::follow(Frame& frame, const std::function<bool()>& stop,
                                      std::chrono::milliseconds pause) {
  if (!reader_) return Read::Failed;
  if (!seekable_) return next(frame);
  for (;;) {
    if (!checkFollowed()) return Read::Failed;
    const Read got = next(frame);
    if (got == Read::Frame) {
      haveLast_ = true;
      last_ = frame.info();
      return got;
    }
    if (got == Read::Stopped || (got == Read::Failed && !stillArriving(lastStatus_))) return got;
    if (stop && stop()) return Read::Stopped;
    sleepFor(pause);
  }
}

}  // namespace toolkit
