// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool import: pictures in, one frame each, appended to a stream.
#include <sys/stat.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/output/output_name.h"
#include "rgbtool/pictures/image_io.h"
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
};

constexpr const char* kFooter = R"(Examples:
  $ rgbtool import --start-ms 0 --interval-ms 40 demo.rgb 'frames/f%04d.png'
  $ rgbtool import --new demo.rgb a.png b.png
  $ convert photo.jpg ppm:- | rgbtool import demo.rgb -
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

// Appending (the default): the toolkit's appender holds the stream's lock
// for the whole run, checks that the frames continue it and undoes the
// run on failure or a stop signal.
class AppendOutput {
 public:
  bool open(const std::string& out, const Size& size) {
    out_ = out;
    if (appender_.open(out, size.width, size.height)) return true;
    report(out + ": " + appender_.error() + "; nothing appended");
    return false;
  }
  bool append(const Image& image, int32_t stamp) {
    if (appender_.append(image.pixels.get(), stamp)) return true;
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
    if (writer_.put(image.pixels.get(), image.width, image.height, stamp, 0, error)) return true;
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

int32_t stampFor(const Options& options, std::size_t frame) {
  if (!options.fixedStamps) return get_time();
  return toolkit::stampOnCycle(options.startMs + static_cast<int64_t>(frame) * options.intervalMs);
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
int importInto(Output& output, const Options& options,
               const std::vector<std::string>& images, const Size& size) {
  Progress progress("importing", images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    Image image;
    std::string error;
    if (!readImage(images[i], image, error)) {
      report(images[i] + ": " + error);
      output.rollBack(i);
      return kExitFailure;
    }
    if (image.width != size.width || image.height != size.height) {
      report(images[i] + ": changed size while importing");
      output.rollBack(i);
      return kExitFailure;
    }
    if (!output.append(image, stampFor(options, i))) {
      report(options.out + ": cannot write frame " + std::to_string(i));
      output.rollBack(i);
      return kExitFailure;
    }
    progress.update(i + 1);
  }
  if (!output.finish()) {
    output.rollBack(images.size());
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
int importAll(Output& output, const Options& options, const std::vector<std::string>& images,
              const Size& size) {
  const int status = importInto(output, options, images, size);
  if (status == kExitOk) tellCounts(options.out, output.framesBefore());
  return status;
}

int run(const Options& options) {
  std::vector<std::string> images;
  if (!pictureList(options, images)) return kExitFailure;
  Size size;
  if (!commonSize(images, size)) return kExitFailure;

  if (options.fresh) {
    ReplaceOutput output;
    if (!output.open(options.out, images)) return kExitFailure;
    return importAll(output, options, images, size);
  }
  AppendOutput output;
  if (!output.open(options.out, size)) return kExitFailure;
  return importAll(output, options, images, size);
}

cli::Run declare(CLI::App& command) {
  constexpr int64_t kLastStamp = toolkit::kLastStamp;
  auto options = std::make_shared<Options>();
  auto* start = command.add_option("--start-ms", options->startMs,
                                   "Time stamp of the first frame, in ms (default: the clock)");
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
  command
      .add_option("IMAGE", options->images,
                  "Pictures, all of one size; - reads one from standard input; a name with %d "
                  "(or %04d etc.) stands for the numbered pictures from --start on")
      ->required();
  command.footer(kFooter);
  return [options, start] {
    options->fixedStamps = start->count() > 0;
    return run(*options);
  };
}

}  // namespace

namespace commands {

cli::Command importCommand() {
  return {"import", "Append one frame per PNG or PPM picture to a stream", declare};
}

}  // namespace commands
}  // namespace rgbtool
