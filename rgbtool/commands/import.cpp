// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool import: pictures in, one frame each, appended to a stream.
#include <sys/stat.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/output/output_name.h"
#include "rgbtool/media/helper_program.h"
#include "rgbtool/pictures/image_io.h"
#include "rgbtool/pictures/picture_sequence.h"
#include "rgbtool/pictures/picture_stamps.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/progress.h"
#include "toolkit/frame_source.h"
#include "toolkit/output.h"
#include "toolkit/stamps.h"
#include "toolkit/stream_append.h"

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

struct Size {
  int width = 0;
  int height = 0;
};

std::string sizeText(const Size& size) {
  return std::to_string(size.width) + " x " + std::to_string(size.height);
}

// Whole frames in the regular file `path`, counted from its headers; -1
// when it is no readable stream (a FIFO is not opened: that would wait).
int64_t framesIn(const std::string& path) {
  struct stat info;
  if (path == "-" || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  toolkit::FrameSource source;
  int64_t frames = 0;
  uint64_t stray = 0;
  return source.open(path) && source.count(frames, stray) ? frames : -1;
}

std::string framesText(int64_t n) {
  return std::to_string(n) + " frame" + (n == 1 ? "" : "s");
}

// A stream is synced to the disk before a run reports success: its frames
// start on their way as they are written, while the next pictures decode,
// rather than all at once at the end. Only a hint: the sync at the end is
// what counts, so a failure here is no failure.
void startWriteback(int fd) {
  if (fd >= 0) sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

// Appending (the default): the toolkit's appender holds the stream's lock
// for the whole run, checks that the frames continue it and undoes the
// run on failure or a stop signal.
// How the writer is to take a picture's pixels.
int layoutFlags(const Image& image) { return image.planar ? RGB_PLANAR : 0; }

class AppendOutput {
 public:
  bool open(const std::string& out, const Size& size) {
    out_ = out;
    if (appender_.open(out, size.width, size.height)) return true;
    report(out + ": " + appender_.error() + "; nothing appended");
    return false;
  }
  bool append(const Image& image, int32_t stamp) {
    if (appender_.append(image.pixels.get(), stamp, layoutFlags(image))) {
      // Only a regular file has pages to write back.
      if (appender_.framesBefore() >= 0) startWriteback(appender_.fd());
      return true;
    }
    report(out_ + ": " + appender_.error());
    return false;
  }
  bool finish() {
    if (appender_.commit()) return true;
    report(out_ + ": " + appender_.error());
    return false;
  }
  void rollBack(std::size_t) {
    if (appender_.rollback()) {
      report(out_ + ": nothing appended");
    } else {
      report(out_ + ": " + std::to_string(appender_.framesAppended()) +
             " frame(s) of this run left in it");
    }
  }
  int64_t framesBefore() const { return appender_.framesBefore(); }

 private:
  std::string out_;
  toolkit::StreamAppender appender_;
};

// --new: the stream is made afresh under a temporary name and put in place of
// the old one only when every frame is in it, under the old file's lock, so
// that a concurrent appender's frames land in the old file before or in the
// new one after; a failure or a stop signal leaves the old stream as it was.
class ReplaceOutput {
 public:
  bool open(const std::string& out, const std::vector<std::string>& images) {
    out_ = out;
    framesBefore_ = framesIn(out);
    toolkit::OutputRules rules;
    rules.overwrite = true;
    rules.inputs = images;
    rules.durable = true;
    std::string error;
    if (!file_.open(out, rules) || !writer_.open(file_.fd(), error)) {
      report(out + ": " + (error.empty() ? file_.error() : error) + "; nothing written");
      return false;
    }
    return true;
  }
  bool append(const Image& image, int32_t stamp) {
    std::string error;
    if (writer_.put(image.pixels.get(), image.width, image.height, stamp, layoutFlags(image),
                    error)) {
      startWriteback(file_.fd());
      return true;
    }
    report(out_ + ": " + error);
    return false;
  }
  bool finish() {
    if (!writer_.close()) {
      report(out_ + ": cannot write");
      return false;
    }
    if (file_.commit()) return true;
    report(out_ + ": " + file_.error());
    return false;
  }
  void rollBack(std::size_t) {
    file_.rollback();
    report(out_ + ": left as it was");
  }
  int64_t framesBefore() const { return framesBefore_ < 0 ? 0 : framesBefore_; }

 private:
  std::string out_;
  toolkit::Output file_;
  toolkit::FrameWriter writer_;
  int64_t framesBefore_ = -1;
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
      // A named picture is named: one whose size only its decoder tells is
      // found here, among many.
      const std::string name = pictures.lastName() == "-" ? "" : " (" + pictures.lastName() + ")";
      report("picture " + std::to_string(done) + name + " is " +
             sizeText({image.width, image.height}) + ", not " + sizeText(size) + " as the first");
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
  const int64_t now = framesIn(out);
  if (now < 0) return;
  report(out + ": " + framesText(before) + " before, " + std::to_string(now) + " now");
}

template <typename Output>
int importAll(Output& output, const Options& options, PictureSequence& pictures,
              const StampLookup& stamps, const Size& size) {
  const int status = importInto(output, options, pictures, stamps, size);
  if (status == kExitOk) tellCounts(options.out, output.framesBefore());
  return status;
}

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
  PictureSequence pictures(images);
  // A PNG decoded straight into a frame's planes is appended from its own
  // buffer: no second frame of memory for the writer to rearrange it in.
  pictures.preferLayout(Layout::PlanesIfCheap);
  Size size;
  if (!pictures.commonSize(size.width, size.height, failure)) {
    report(failure + "; nothing appended");
    return kExitFailure;
  }

  if (options.fresh) {
    ReplaceOutput output;
    if (!output.open(options.out, images)) return kExitFailure;
    return importAll(output, options, pictures, stamps, size);
  }
  AppendOutput output;
  if (!output.open(options.out, size)) return kExitFailure;
  return importAll(output, options, pictures, stamps, size);
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
                  "standard input (PNG, PPM or PGM, back to back); a named pipe is read "
                  "once, in its turn; a name with %d "
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
