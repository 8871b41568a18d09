// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool repair: every whole frame of a damaged stream, into a clean one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "rgbtool/cli/command_line.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/edit/byte_copy.h"
#include "rgbtool/edit/edited_output.h"
#include "rgbtool/edit/frame_map.h"
#include "rgbtool/edit/raw_input.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/json.h"
#include "toolkit/frame.h"
#include "toolkit/output.h"

namespace rgbtool {
namespace {

struct Options {
  std::string in;
  std::string out;
  bool inPlace = false;
  bool json = false;
  bool overwrite = false;
};

constexpr const char* kFooter = R"(Keeps every whole, valid frame of IN, in order, byte for byte. After a
damaged header the next frame is looked for one frame further on and, when it
is not there, byte by byte onwards: a header that reads as valid and whose
frame fits in the file. Frames of another size than the stream's (the first
valid frame's) are dropped, since a reader stops at the first of them; so is
a partial frame at the end. Each stretch of IN is reported, kept or dropped,
with its byte offsets and why it was dropped.

OUT (or IN, with --in-place) is written under a temporary name, flushed to
the disk and renamed into place; --in-place replaces IN under the lock the
library's appenders take, and frames appended meanwhile follow the repaired
ones. A clean IN is left alone by --in-place.

--json prints one object per line and stretch, then a summary.

JSON keys:
  file, file_hex      IN, as in 'rgbtool info --json'
  offset, bytes       where the stretch lies in IN, and its length
  kept                whether its frames are in the repaired stream
  frames              whole frames in it (kept, or dropped for their size)
  first_frame         the number of its first frame in the repaired stream
                      (null for a dropped stretch)
  kind, cause         null for a kept stretch; else "bad_header", "other_size"
                      or "partial", and why in words
  summary             last line: {"frames" kept, "dropped_bytes",
                      "dropped_stretches", "written" (OUT or IN was written)}

Examples:
  $ rgbtool repair crashed.rgb fixed.rgb
  $ rgbtool repair --in-place recording.rgb
  $ rgbtool repair --json crashed.rgb fixed.rgb | jq 'select(.kept == false)'

Exit status:
  0   the repaired stream was written (or, --in-place, IN was clean already)
  1   IN cannot be read, is no regular file, holds no whole frame, or the
      stream cannot be written (an existing OUT without -y)
  2   a usage error (OUT and --in-place both, or neither))";

const char* kindName(edit::Drop drop) {
  switch (drop) {
    case edit::Drop::BadHeader: return "bad_header";
    case edit::Drop::OtherSize: return "other_size";
    case edit::Drop::Partial: return "partial";
    case edit::Drop::None: break;
  }
  return nullptr;
}

std::string framesWords(int64_t n) {
  return std::to_string(n) + (n == 1 ? " frame" : " frames");
}

std::string byteRange(const edit::Stretch& s) {
  return "bytes " + std::to_string(s.offset) + "-" + std::to_string(s.offset + s.bytes - 1);
}

struct Totals {
  int64_t frames = 0;
  uint64_t droppedBytes = 0;
  int64_t droppedStretches = 0;
};

Totals totalsOf(const edit::FrameMap& map) {
  Totals totals;
  totals.frames = map.keptFrames();
  for (const edit::Stretch& s : map.stretches) {
    if (s.kept()) continue;
    totals.droppedBytes += s.bytes;
    ++totals.droppedStretches;
  }
  return totals;
}

void printWords(FILE* to, const std::string& file, const edit::FrameMap& map) {
  int64_t next = 0;
  for (const edit::Stretch& s : map.stretches) {
    if (s.kept()) {
      std::fprintf(to, "%s: %s kept: frames %lld-%lld\n", file.c_str(), byteRange(s).c_str(),
                   static_cast<long long>(next), static_cast<long long>(next + s.frames - 1));
      next += s.frames;
    } else {
      std::fprintf(to, "%s: %s dropped: %s\n", file.c_str(), byteRange(s).c_str(),
                   s.cause.c_str());
    }
  }
  const Totals totals = totalsOf(map);
  std::fprintf(to, "%s: %s kept, %llu bytes dropped\n", file.c_str(),
               framesWords(totals.frames).c_str(),
               static_cast<unsigned long long>(totals.droppedBytes));
  std::fflush(to);
}

void printJson(const std::string& file, const edit::FrameMap& map, bool written) {
  int64_t next = 0;
  for (const edit::Stretch& s : map.stretches) {
    Json line;
    setFileName(line, file);
    line["offset"] = s.offset;
    line["bytes"] = s.bytes;
    line["kept"] = s.kept();
    line["frames"] = s.frames;
    line["first_frame"] = s.kept() ? Json(next) : Json(nullptr);
    line["kind"] = s.kept() ? Json(nullptr) : Json(kindName(s.drop));
    line["cause"] = s.kept() ? Json(nullptr) : Json(s.cause);
    if (s.kept()) next += s.frames;
    printJsonLine(line);
  }
  const Totals totals = totalsOf(map);
  Json summary;
  setFileName(summary, file);
  summary["summary"] = {{"frames", totals.frames},
                        {"dropped_bytes", totals.droppedBytes},
                        {"dropped_stretches", totals.droppedStretches},
                        {"written", written}};
  printJsonLine(summary);
}

// An exclusive lock on IN while it is read, the one the library's appenders
// take, so that the map never ends inside a frame being appended.
class AppendLock {
 public:
  explicit AppendLock(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~AppendLock() { flock(fd_, LOCK_UN); }
  AppendLock(const AppendLock&) = delete;
  AppendLock& operator=(const AppendLock&) = delete;

 private:
  int fd_;
};

// The kept stretches of a map of IN from `base` on.
bool copyKept(edit::RawInput& in, const edit::FrameMap& map, int out, off_t base) {
  edit::CopyCount count;
  std::string error;
  for (const edit::Stretch& s : map.stretches) {
    if (!s.kept()) continue;
    if (!edit::copyRange(in.fd(), base + static_cast<off_t>(s.offset), s.bytes, out, count,
                         error)) {
      report(in.path() + ": " + error);
      return false;
    }
  }
  return true;
}

// Where the last kept frame of IN ends: appends come after it.
uint64_t keptEnd(const edit::FrameMap& map) {
  for (auto s = map.stretches.rbegin(); s != map.stretches.rend(); ++s)
    if (s->kept()) return s->offset + s->bytes;
  return 0;
}

// Frames appended to the old IN between the end of the copy and the rename
// go on at the end of the new one, under its lock. They are found as repair
// finds frames, after the last frame kept: an appender may have cut a
// partial frame back before appending.
bool appendLate(edit::RawInput& in, const edit::FrameMap& before) {
  struct stat now;
  const off_t from = in.start() + static_cast<off_t>(keptEnd(before));
  if (fstat(in.fd(), &now) != 0 || now.st_size <= from ||
      static_cast<uint64_t>(now.st_size - in.start()) == in.size())
    return true;
  edit::FrameMap late;
  int64_t frames = 0;
  if (edit::mapFrames(in.fd(), from, static_cast<uint64_t>(now.st_size - from),
                      edit::MapMode::Salvage, late) &&
      toolkit::sameShape(late.shape, before.shape)) {
    frames = late.keptFrames();
  }
  if (frames == 0) return true;
  const int fd = open(in.path().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  bool done = fd >= 0;
  if (done) {
    const AppendLock lock(fd);
    done = copyKept(in, late, fd, from) && fsync(fd) == 0;
    close(fd);
  }
  if (!done) {
    report(in.path() + ": " + std::to_string(frames) +
           " frames appended during the repair are not in the repaired stream");
  } else {
    report(in.path() + ": " + std::to_string(frames) +
           " frames appended during the repair follow the repaired ones");
  }
  return done;
}

bool openIn(const Options& options, edit::RawInput& in) {
  if (!in.open(options.in)) {
    report(options.in + ": " + in.error());
    return false;
  }
  if (!in.regular()) {
    report(options.in + ": not a regular file (repair looks back and forth in the stream)");
    return false;
  }
  return true;
}

int run(const Options& options) {
  if (options.inPlace == !options.out.empty())
    return cli::usageError(options.inPlace ? "--in-place takes IN alone, no OUT"
                                           : "repair needs OUT, or --in-place");
  if (options.json && !options.inPlace && toolkit::namesStdout(options.out))
    return cli::usageError("--json prints on standard output, which OUT '-' takes");
  edit::RawInput in;
  if (!openIn(options, in)) return kExitFailure;
  const std::string& target = options.inPlace ? options.in : options.out;
  edit::EditedOutput out;
  edit::FrameMap map;
  {
    const AppendLock lock(in.fd());
    if (!in.measure() ||
        !edit::mapFrames(in.fd(), in.start(), in.size(), edit::MapMode::Salvage, map)) {
      report(options.in + ": " + (map.error.empty() ? in.error() : map.error));
      return kExitFailure;
    }
    const bool write = map.keptFrames() > 0 && !(options.inPlace && !map.firstDrop());
    if (options.json) {
      printJson(options.in, map, write);
    } else {
      printWords(toolkit::textStream(target), options.in, map);
    }
    if (map.keptFrames() == 0) {
      report(options.in + ": no whole frame to keep");
      return kExitFailure;
    }
    if (!write) return kExitOk;
    if (!out.open(target, options.inPlace || options.overwrite,
                  options.inPlace ? std::vector<std::string>{} : std::vector<std::string>{options.in}) ||
        !copyKept(in, map, out.fd(), in.start()))
      return kExitFailure;
  }
  if (!out.commit()) return kExitFailure;
  return !options.inPlace || appendLate(in, map) ? kExitOk : kExitFailure;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_flag("--in-place", options->inPlace, "Replace IN by its repaired stream");
  command.add_flag("--json", options->json,
                   "One JSON object per line and stretch of IN, for scripts (keys below)");
  command.add_flag("-y,--overwrite", options->overwrite, "Replace OUT if it exists");
  command.add_option("IN", options->in, "The damaged stream (a regular file)")->required();
  command.add_option("OUT", options->out, "The repaired stream (- writes standard output)");
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command repairCommand() {
  return {"repair", "Keep every whole frame of a damaged stream in a clean one", declare};
}

}  // namespace commands
}  // namespace rgbtool
