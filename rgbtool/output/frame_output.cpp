// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/output/frame_output.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <unistd.h>

#include <cstdio>

#include "rgbtool/edit/salvage_words.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/pictures/image_io.h"
#include "rgbtool/output/output_name.h"
#include "rgbtool/report/progress.h"
#include "toolkit/frame_source.h"

namespace rgbtool {
namespace {

bool chooseFormat(const FrameOutputOptions& options, ImageFormat& format) {
  if (!options.format.empty()) return parseFormatName(options.format, format);
  return formatFromPath(options.out, format);
}

struct Job {
  const FrameOutputOptions& options;
  ImageFormat format;
  const FrameFilter& filter;
  Progress* progress = nullptr;
  bool toldRawLayout = false;
};

std::string outputName(const FrameOutputOptions& options, int64_t index) {
  if (!options.frames.many() || options.out == "-") return options.out;
  return expandFramePattern(options.out, static_cast<int>(index));
}

bool writeOne(Job& job, const toolkit::Frame& frame) {
  const std::string path = outputName(job.options, frame.index());
  std::string line;
  const unsigned char* picture = job.filter(frame, line);
  if (!picture) return false;
  if (!line.empty()) {
    if (job.progress) job.progress->suspend();
    std::fputs(line.c_str(), stdout);
  }
  if (job.format == ImageFormat::Raw && !job.toldRawLayout) {
    // Bare rows carry no size: say what a reader needs to know.
    job.toldRawLayout = true;
    if (job.progress) job.progress->suspend();
    report("raw frames: -f rawvideo -video_size " + std::to_string(frame.width()) + "x" +
           std::to_string(frame.height()) + " -pixel_format rgb24");
  }
  std::string error;
  WriteOptions how;
  how.topRowFirst = frame.topRowFirst();
  how.replace = job.options.overwrite;
  // Replacing the stream being read would lose it, whatever the name says.
  how.inputs = {job.options.file};
  if (!writeImage(path, job.format, picture, frame.width(), frame.height(), error, how)) {
    report(path + ": " + error);
    return false;
  }
  return true;
}

// With a known number of frames, every name is checked before the first
// picture goes out, so that a refusal leaves nothing half done.
bool refuseExisting(const FrameOutputOptions& options, int64_t total, const struct stat* input) {
  if (options.overwrite || options.out == "-" || total < 0) return true;
  const FrameSelection& s = options.frames;
  int64_t n = 0;
  for (int64_t index = s.first(); index < total && (s.count < 0 || n < s.count);
       index += s.many() ? s.step : total, ++n) {
    const std::string path = outputName(options, index);
    struct stat info;
    // The input itself is refused in its turn, with its own reason.
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        !(input && info.st_dev == input->st_dev && info.st_ino == input->st_ino)) {
      report(path + ": exists; not replaced (-y or --overwrite replaces it)");
      return false;
    }
  }
  return true;
}

uint64_t selectedFrames(const FrameSelection& s, int64_t total) {
  if (total < 0 || s.first() >= total) return 0;
  uint64_t n = static_cast<uint64_t>((total - s.first() + s.step - 1) / s.step);
  if (s.count >= 0 && n > static_cast<uint64_t>(s.count)) n = static_cast<uint64_t>(s.count);
  return n;
}

// The input as a file, to tell its names among the outputs; null when it
// cannot be examined (the output then refuses it in its turn).
const struct stat* inputFile(const std::string& file, struct stat& info) {
  const int examined = file == "-" ? fstat(STDIN_FILENO, &info) : stat(file.c_str(), &info);
  return examined == 0 ? &info : nullptr;
}

}  // namespace

int writeFrames(const FrameOutputOptions& options, int rowFlags, const FrameFilter& filter) {
  ImageFormat format;
  if (!chooseFormat(options, format)) {
    report(options.format.empty()
               ? options.out + ": cannot tell the picture format from the name; use "
                               "a .png, .ppm or .raw name or --format"
               : "unknown format '" + options.format + "' (png, ppm or raw)");
    return kExitUsage;
  }
  const FrameSelection& select = options.frames;
  std::string error;
  if (select.many() && options.out != "-" && !validFramePattern(options.out, error)) {
    report(error);
    return kExitUsage;
  }

  toolkit::FrameSource source(rowFlags);
  const auto failed = [&source, &options] {
    report(options.file + ": " + source.error());
    return kExitFailure;
  };
  // Frames stopped by damage: how many were written and what lies beyond.
  const auto failedAfter = [&source, &options](int64_t written) {
    std::string words = options.file + ": " + source.error() + "; " + std::to_string(written) +
                        (written == 1 ? " frame" : " frames") + " written";
    const std::string followers = edit::followersOf(options.file);
    if (!followers.empty()) words += ", " + followers;
    report(words);
    return kExitFailure;
  };
  if (!source.open(options.file)) return failed();
  struct stat inputInfo;
  const struct stat* input = inputFile(options.file, inputInfo);
  int64_t total = -1;
  uint64_t stray = 0;
  if (source.seekable() && !source.count(total, stray)) return failed();
  Job job{options, format, filter};
  toolkit::Frame frame;

  if (!select.many()) {
    const toolkit::FrameSource::Read positioned = source.seek(select.frame);
    if (positioned == toolkit::FrameSource::Read::Failed) return failed();
    if (!refuseExisting(options, total, input)) return kExitFailure;
    const toolkit::FrameSource::Read status =
        positioned == toolkit::FrameSource::Read::End ? positioned : source.next(frame);
    if (status == toolkit::FrameSource::Read::End) {
      const int64_t frames = total >= 0 ? total : source.tell();
      report(options.file + ": has only " + std::to_string(frames) +
             (frames == 1 ? " frame" : " frames"));
      return kExitFailure;
    }
    if (status != toolkit::FrameSource::Read::Frame) return failed();
    return writeOne(job, frame) ? kExitOk : kExitFailure;
  }

  if (!refuseExisting(options, total, input)) return kExitFailure;
  Progress progress("writing frames", selectedFrames(select, total));
  job.progress = &progress;
  int64_t written = 0;
  for (int64_t index = select.start; select.count < 0 || written < select.count;
       index += select.step) {
    const toolkit::FrameSource::Read positioned = source.seek(index);
    if (positioned == toolkit::FrameSource::Read::Failed) return failed();
    const toolkit::FrameSource::Read status =
        positioned == toolkit::FrameSource::Read::End ? positioned : source.next(frame);
    if (status == toolkit::FrameSource::Read::End) break;
    if (status != toolkit::FrameSource::Read::Frame) return failedAfter(written);
    if (!writeOne(job, frame)) return kExitFailure;
    progress.update(static_cast<uint64_t>(++written));
  }
  if (written > 0) return kExitOk;
  report(options.file + (select.start > 0 ? ": has no frame " + std::to_string(select.start)
                                          : std::string(": holds no frames")));
  return kExitFailure;
}

}  // namespace rgbtool
