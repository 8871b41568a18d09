// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool import: pictures in, one frame each, appended to a stream.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "rgbtool/cli/options.h"
#include "rgbtool/media/helper_program.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/input/frame_reader.h"
#include "rgbtool/output/interrupt.h"
#include "rgbtool/output/output_file.h"
#include "rgbtool/output/output_name.h"
#include "rgbtool/pictures/image_io.h"
#include "rgbtool/pictures/picture_sequence.h"
#include "rgbtool/pictures/picture_stamps.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/progress.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

struct Options {
  std::string out;
  std::vector<std::string> images;
  bool fixedStamps = false;
  int64_t startMs = 0;
  int64_t intervalMs = 0;
  bool fresh = false;         // --new: the stream starts afresh
  int64_t pictureStart = -1;  // first number of a numbered picture name; -1: the lowest there is
  std::string stampsFile;     // --stamps: stamps by picture, as export --stamps writes them
};

constexpr const char* kFooter = R"(Examples:
  $ rgbtool import --start-ms 0 --interval-ms 40 demo.rgb 'frames/f%04d.png'
  $ rgbtool import --new demo.rgb a.png b.png
  $ convert photo.jpg ppm:- | rgbtool import demo.rgb -
  $ ffmpeg -i clip.mkv -f image2pipe -c:v ppm - | rgbtool import clip.rgb -
  $ rgbtool import --stamps frames/stamps.csv demo.rgb      # as export --stamps left them
  $ rgbtool import clip.rgb clip.mkv        # a video: its frames at their own times
  $ mkfifo live; rgbtool watch live & rgbtool import live a.png b.png

Exit status:
  0   every picture was appended (the count before and after is on stderr)
  1   a picture or the stream failed; nothing was appended
  2   a usage error)";

// Frames made here are RGB, without alpha.
constexpr int kRgbPlanes = 3;

struct Size {
  int width = 0;
  int height = 0;
};

std::string sizeText(const Size& size) {
  return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// One frame as the stream holds it, made in memory by the library's writer.
bool encodeFrame(const Image& image, int32_t stamp, std::string& bytes, std::string& error) {
  char* data = nullptr;
  std::size_t length = 0;
  FILE* memory = open_memstream(&data, &length);
  if (!memory) {
    error = std::string("cannot prepare a frame: ") + std::strerror(errno);
    return false;
  }
  rgb_writer* writer = nullptr;
  int status = rgb_writer_from_file(&writer, memory);
  if (status == RGB_OK) {
    status = rgb_writer_put(writer, image.pixels.get(), image.width, image.height, stamp, 0);
    const int closed = rgb_writer_close(writer);
    if (status == RGB_OK) status = closed;
  }
  const bool flushed = std::fclose(memory) == 0;
  std::unique_ptr<char, FreeDeleter> owned(data);
  if (status != RGB_OK || !flushed) {
    error = std::string("cannot encode a frame: ") + rgb_strerror(status);
    return false;
  }
  bytes.assign(data, length);
  return true;
}

// What an existing stream holds, read by the library; false when it is not
// a frame stream at all.
struct Held {
  Geometry geometry;
  int64_t frames = 0;
  uint64_t stray = 0;
};

bool examineStream(const std::string& path, Held& held) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  rgb_reader* reader = nullptr;
  rgb_frame_info first{};
  bool known = rgb_reader_from_file(&reader, file) == RGB_OK &&
               rgb_reader_info(reader, &first) == RGB_OK &&
               rgb_reader_count(reader, &held.frames, &held.stray) == RGB_OK;
  held.geometry = Geometry{first.width, first.height, first.planes};
  if (reader) rgb_reader_close(reader);
  std::fclose(file);
  return known;
}

std::string framesText(int64_t n) {
  return std::to_string(n) + " frame" + (n == 1 ? "" : "s");
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
    std::string bytes;
    std::string error;
    if (!encodeFrame(image, stamp, bytes, error)) {
      report(out_ + ": " + error);
      return false;
    }
    return writeAll(bytes.data(), bytes.size());
  }

  // Whole frames in the stream before this run; -1 when it is no file.
  int64_t framesBefore() const { return framesBefore_; }

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
    Held held;
    if (!examineStream(out_ == "-" ? "/dev/stdout" : out_, held)) {
      report(out_ + ": not a frame stream; nothing appended");
      return false;
    }
    const Geometry wanted{size_.width, size_.height, kRgbPlanes};
    if (held.geometry != wanted) {
      report(out_ + ": holds " + describe(held.geometry) + " frames, cannot append " +
             describe(wanted) + " frames; nothing appended");
      return false;
    }
    if (held.stray != 0) {
      report(out_ + ": ends in " + std::to_string(held.stray) +
             " bytes of a partial frame; nothing appended");
      return false;
    }
    framesBefore_ = held.frames;
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
  int64_t framesBefore_ = 0;
};

// --new: the stream is made afresh under a temporary name and put in place of
// the old one only when every frame is in it; a failure or an interrupt
// leaves the old stream as it was.
class Replacer {
 public:
  bool open(const std::string& out) {
    out_ = out;
    Held held;
    if (out != "-" && examineStream(out, held)) framesBefore_ = held.frames;
    std::string error;
    if (!file_.open(out, error)) {
      report(out + ": " + error + "; nothing written");
      return false;
    }
    return true;
  }

  bool append(const Image& image, int32_t stamp) {
    std::string bytes;
    std::string error;
    if (!encodeFrame(image, stamp, bytes, error)) {
      report(out_ + ": " + error);
      return false;
    }
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = write(file_.fd(), at, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        reportErrno(out_ + ": cannot write", errno);
        return false;
      }
      at += n;
      left -= static_cast<std::size_t>(n);
    }
    return true;
  }

  bool finish() {
    std::string error;
    if (!file_.commit(error, true)) {
      report(out_ + ": " + error);
      return false;
    }
    return true;
  }

  void rollBack() { report(out_ + ": left as it was"); }
  int64_t framesBefore() const { return framesBefore_; }

 private:
  std::string out_;
  OutputFile file_;
  int64_t framesBefore_ = 0;
};

// Pictures carry no time of their own. Without --stamps or --start-ms a
// frame takes the clock when it is appended: for pictures that arrive live
// down a pipe that is when they were made, and for files the order at least.
bool stampFor(const Options& options, const StampLookup& stamps, const PictureSequence& pictures,
              std::size_t frame, int32_t& stamp) {
  if (!options.stampsFile.empty()) {
    std::string error;
    if (stamps.stampOf(pictures.lastName(), pictures.lastFromInput(), stamp, error)) return true;
    report(error);
    return false;
  }
  stamp = options.fixedStamps ? toolkit::stampOnCycle(options.startMs +
                                                      static_cast<int64_t>(frame) * options.intervalMs)
                              : get_time();
  return true;
}

}  // namespace

namespace {

// The numbers a numbered picture name may take: from `first` on while the
// pictures exist. Without a first number, the lowest one a file in the
// directory has.
bool expandNumbered(const std::string& pattern, int64_t first, std::vector<std::string>& names) {
  if (first < 0) {
    const std::size_t slash = pattern.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : pattern.substr(0, slash);
    DIR* listing = opendir(directory.empty() ? "/" : directory.c_str());
    if (!listing) {
      reportErrno(directory + ": cannot list", errno);
      return false;
    }
    constexpr std::size_t kMaxDigits = 9;
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      for (std::size_t i = 0; i < name.size();) {
        std::size_t end = i;
        while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
        if (end > i && end - i <= kMaxDigits) {
          const int64_t n = std::stoll(name.substr(i, end - i));
          const std::string path = (slash == std::string::npos ? "" : directory + "/") + name;
          if (expandFramePattern(pattern, static_cast<int>(n)) == path &&
              (first < 0 || n < first))
            first = n;
        }
        i = end > i ? end : i + 1;
      }
    }
    closedir(listing);
    if (first < 0) {
      report("no picture matches '" + pattern + "'");
      return false;
    }
  }
  struct stat info;
  for (int64_t n = first; n <= INT32_MAX; ++n) {
    const std::string name = expandFramePattern(pattern, static_cast<int>(n));
    if (stat(name.c_str(), &info) != 0) break;
    names.push_back(name);
  }
  if (names.empty()) {
    report("no picture '" + expandFramePattern(pattern, static_cast<int>(first)) + "'");
    return false;
  }
  return true;
}

// The pictures named on the command line, numbered names expanded. A name
// that exists is taken as it is, even with a % in it.
bool pictureList(const Options& options, std::vector<std::string>& images) {
  int stdinUses = 0;
  for (const std::string& name : options.images) {
    struct stat info;
    std::string error;
    if (name == "-") {
      if (++stdinUses > 1) {
        report("- (standard input) can be given once");
        return false;
      }
      images.push_back(name);
    } else if (name.find('%') != std::string::npos && stat(name.c_str(), &info) != 0 &&
               validFramePattern(name, error)) {
      std::vector<std::string> numbered;
      if (!expandNumbered(name, options.pictureStart, numbered)) return false;
      images.insert(images.end(), numbered.begin(), numbered.end());
    } else {
      images.push_back(name);
    }
  }
  return true;
}

template <typename Output>
int importInto(Output& output, const Options& options, PictureSequence& pictures,
               const StampLookup& stamps, const Size& size) {
  Progress progress("importing", pictures.knownTotal());
  std::size_t done = 0;
  for (Image image; pictures.next(image); ++done) {
    if (image.width != size.width || image.height != size.height) {
      report("picture " + std::to_string(done) + " is " + sizeText({image.width, image.height}) +
             ", not " + sizeText(size) + " as the first");
      output.rollBack(done);
      return kExitFailure;
    }
    int32_t stamp = 0;
    if (!stampFor(options, stamps, pictures, done, stamp)) {
      output.rollBack(done);
      return kExitFailure;
    }
    if (!output.append(image, stamp)) {
      report(options.out + ": cannot write frame " + std::to_string(done));
      output.rollBack(done);
      return kExitFailure;
    }
    progress.update(done + 1);
  }
  if (!pictures.error().empty()) {
    report(pictures.error());
    output.rollBack(done);
    return kExitFailure;
  }
  if (!output.finish()) {
    output.rollBack(done);
    return kExitFailure;
  }
  return kExitOk;
}

// What the stream held before and holds now, for files only.
void tellCounts(const std::string& out, int64_t before) {
  // A named pipe must not be opened here: with no writer left, that waits.
  struct stat info;
  if (out == "-" || before < 0 || stat(out.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  Held now;
  if (!examineStream(out, now)) return;
  report(out + ": " + framesText(before) + " before, " + std::to_string(now.frames) + " now");
}

struct ReplacerOutput {
  Replacer replacer;
  bool append(const Image& image, int32_t stamp) { return replacer.append(image, stamp); }
  bool finish() { return replacer.finish(); }
  void rollBack(std::size_t) { replacer.rollBack(); }
};

// A video file holds many pictures with their times: it is recorded, as
// `rgbtool record` does, so that its frames keep their presentation times.
bool isVideoName(const std::string& name) {
  static const char* const kVideoExtensions[] = {".mkv", ".mp4", ".mov", ".webm", ".avi",
                                                 ".m4v", ".mpg", ".mpeg", ".ts", ".gif"};
  for (const char* extension : kVideoExtensions) {
    const std::string end = extension;
    if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
      return true;
  }
  return false;
}

int importVideo(const Options& options) {
  if (options.fresh || !options.stampsFile.empty() || options.fixedStamps) {
    report("a video's frames keep their own times and are appended: --new, --stamps and "
           "--start-ms do not apply to it (rgbtool record --first-stamp sets its first stamp)");
    return kExitUsage;
  }
  return execHelper("rgbtool-media",
                    {"record", options.images[0], options.out, "", "", "", "-1", "-1",
                     "-1"});
}

int run(const Options& options) {
  if (options.images.size() == 1 && isVideoName(options.images[0])) return importVideo(options);
  interrupt::install();
  StampLookup stamps;
  std::string failure;
  if (!options.stampsFile.empty() && !stamps.load(options.stampsFile, failure)) {
    report(options.stampsFile + ": " + failure + "; nothing appended");
    return kExitFailure;
  }
  std::vector<std::string> images;
  if (options.images.empty()) {
    images = stamps.pictures();
  } else if (!pictureList(options, images)) {
    return kExitFailure;
  }
  PictureSequence pictures(std::move(images));
  Size size;
  std::string error;
  if (!pictures.commonSize(size.width, size.height, error)) {
    report(error + "; nothing appended");
    return kExitFailure;
  }

  if (options.fresh) {
    ReplacerOutput output;
    if (!output.replacer.open(options.out)) return kExitFailure;
    const int status = importInto(output, options, pictures, stamps, size);
    if (status == kExitOk) tellCounts(options.out, output.replacer.framesBefore());
    return status;
  }
  Appender appender;
  if (!appender.open(options.out, size)) return kExitFailure;
  const int status = importInto(appender, options, pictures, stamps, size);
  if (status == kExitOk) tellCounts(options.out, appender.framesBefore());
  return status;
}

cli::Run declare(CLI::App& command) {
  constexpr int64_t kLastStamp = toolkit::kLastStamp;
  auto options = std::make_shared<Options>();
  auto* start = command.add_option("--start-ms", options->startMs,
                                   "Time stamp of the first frame, in ms (default: the clock as each frame is "
                                   "appended, since pictures carry no time: right for pictures "
                                   "arriving live down a pipe, a meaningless rate for files)");
  start->check(cli::wholeNumber(0, kLastStamp, "milliseconds"));
  auto* interval = command.add_option("--interval-ms", options->intervalMs,
                                      "Time between frames in ms, with --start-ms");
  interval->check(cli::wholeNumber(0, kLastStamp, "milliseconds"));
  start->needs(interval);
  interval->needs(start);
  command.add_flag("--new", options->fresh,
                   "Start the stream afresh instead of appending; the old stream stays until "
                   "the new one is complete");
  command
      .add_option("--start", options->pictureStart,
                  "First number of a numbered picture name (default: the lowest that exists)")
      ->check(cli::wholeNumber(0, cli::kMaxFrameNumber, "pictures"));
  command.add_option("OUT", options->out, "Stream to append to (- for stdout)")->required();
  command.add_option("--stamps", options->stampsFile,
                     "Stamps from a .csv or .json file as export --stamps writes it: each "
                     "picture takes its row's stamp (by name; pictures from standard input in "
                     "order); without IMAGE, the pictures it names");
  auto* images = command
      .add_option("IMAGE", options->images,
                  "Pictures, all of one size: PNG, PPM and PGM read here, SGI (any flavour), "
                  "TIFF, JPEG and others through FFmpeg's decoders; grey becomes RGB, alpha is "
                  "dropped, 16-bit samples are rounded to 8 bits; - reads every picture on "
                  "standard input (PNG, PPM or PGM, back to back); a name with %d "
                  "(or %04d etc.) stands for the numbered pictures from --start on");
  command.footer(kFooter);
  return [options, start, images] {
    options->fixedStamps = start->count() > 0;
    if (images->count() == 0 && options->stampsFile.empty()) {
      report("IMAGE is required (or --stamps FILE, for the pictures it names)");
      return kExitUsage;
    }
    if (options->fixedStamps && !options->stampsFile.empty()) {
      report("--stamps and --start-ms give stamps both; choose one");
      return kExitUsage;
    }
    return run(*options);
  };
}

}  // namespace

namespace commands {

cli::Command importCommand() {
  return {"import", "Append one frame per picture (PNG, PPM, PGM, SGI, TIFF, JPEG...) to a stream", declare};
}

}  // namespace commands
}  // namespace rgbtool
