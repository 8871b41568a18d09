// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/output/frame_output.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "rgbtool/edit/salvage_words.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/pictures/image_io.h"
#include "rgbtool/pictures/picture_stamps.h"
#include "rgbtool/pictures/png_encoders.h"
#include "rgbtool/output/output_name.h"
#include "rgbtool/report/progress.h"
#include "toolkit/frame_source.h"
#include "toolkit/output.h"
#include "toolkit/write_all.h"

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
  std::vector<PictureStamp> written;  // for --stamps
};

// One frame's picture name: a numbered name for a run of frames, and for a
// single frame too when the name is one (so that a forgotten --all gives
// f0007.png, not a file literally named f%04d.png).
bool numberedName(const FrameOutputOptions& options) {
  std::string error;
  return options.out != "-" && (options.frames.many() || validFramePattern(options.out, error));
}

std::string outputName(const FrameOutputOptions& options, int64_t index, int32_t stamp) {
  if (options.out == "-") return options.out;
  const std::string name = expandStampField(options.out, stamp);
  return numberedName(options) ? expandFramePattern(name, static_cast<int>(index)) : name;
}

// The filter's picture of a frame, and what it prints with it.
const unsigned char* pictureOf(Job& job, const toolkit::Frame& frame, std::string& line) {
  const unsigned char* picture = job.filter(frame, line);
  if (picture && job.format == ImageFormat::Raw && !job.toldRawLayout) {
    // Bare rows carry no size: say what a reader needs to know.
    job.toldRawLayout = true;
    if (job.progress) job.progress->suspend();
    report("raw frames: -f rawvideo -video_size " + std::to_string(frame.width()) + "x" +
           std::to_string(frame.height()) + " -pixel_format rgb24");
  }
  return picture;
}

WriteOptions writeOptions(const Job& job, const toolkit::Frame& frame) {
  WriteOptions how;
  how.topRowFirst = frame.topRowFirst();
  how.replace = job.options.overwrite;
  // Replacing the stream being read would lose it, whatever the name says.
  how.inputs = {job.options.file};
  return how;
}

// Prints the frame's line and writes its picture through `write`.
bool putOut(Job& job, const toolkit::Frame& frame, const std::string& line,
            const std::function<bool(const std::string& path, std::string& error)>& write) {
  const std::string path = outputName(job.options, frame.index(), frame.stamp());
  if (!line.empty()) {
    if (job.progress) job.progress->suspend();
    std::fputs(line.c_str(), stdout);
  }
  std::string error;
  if (!write(path, error)) {
    report(path + ": " + error);
    return false;
  }
  job.written.push_back({frame.index(), frame.stamp(), path});
  return true;
}

bool writeOne(Job& job, const toolkit::Frame& frame) {
  std::string line;
  const unsigned char* picture = pictureOf(job, frame, line);
  if (!picture) return false;
  return putOut(job, frame, line, [&](const std::string& path, std::string& error) {
    return writeImage(path, job.format, picture, frame.width(), frame.height(), error,
                      writeOptions(job, frame));
  });
}

// A finished PNG from the encoders, written in its turn.
bool putEncoded(Job& job, const std::vector<unsigned char>* bytes, const std::string& failure,
                const toolkit::Frame& frame, const std::string& line) {
  return putOut(job, frame, line, [&](const std::string& path, std::string& error) {
    if (bytes) return writeEncoded(path, *bytes, error, writeOptions(job, frame));
    error = failure;
    return false;
  });
}

// The stamps file, once every picture it names is written; the pictures
// stay when it fails, so the failure is reported but nothing is undone.
bool writeStamps(const FrameOutputOptions& options, const std::vector<PictureStamp>& rows) {
  if (options.stamps.empty()) return true;
  StampsFormat format = StampsFormat::Csv;
  stampsFormatOf(options.stamps, format);
  toolkit::OutputRules rules;
  rules.overwrite = options.overwrite;
  rules.inputs = {options.file};
  toolkit::Output out;
  const std::string text = stampsText(rows, format);
  if (!out.open(options.stamps, rules)) {
    report(options.stamps + ": " + out.error());
    return false;
  }
  if (!toolkit::writeAll(out.fd(), text.data(), text.size())) {
    reportErrno(options.stamps + ": cannot write", errno);
    return false;
  }
  if (!out.commit()) {
    report(options.stamps + ": " + out.error());
    return false;
  }
  return true;
}

// With a known number of frames, every name is checked before the first
// picture goes out, so that a refusal leaves nothing half done.
bool refuseExisting(const FrameOutputOptions& options, int64_t total, const struct stat* input) {
  if (options.overwrite || options.out == "-" || total < 0) return true;
  // Names with stamps are known only frame by frame; each is refused then.
  if (hasStampField(options.out)) return true;
  const FrameSelection& s = options.frames;
  int64_t n = 0;
  for (int64_t index = s.first(); index < total && (s.count < 0 || n < s.count);
       index += s.many() ? s.step : total, ++n) {
    const std::string path = outputName(options, index, 0);
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
                               "a .png, .ppm, .tiff or .raw name or --format"
               : "unknown format '" + options.format + "' (png, ppm, tiff or raw)");
    return kExitUsage;
  }
  const FrameSelection& select = options.frames;
  std::string error;
  if (select.many() && options.out != "-" && !validFramePattern(options.out, error)) {
    report(error);
    return kExitUsage;
  }
  StampsFormat stampsFormat;
  if (!options.stamps.empty() && !stampsFormatOf(options.stamps, stampsFormat)) {
    report(options.stamps + ": cannot tell the stamps format from the name; use a .csv or "
           ".json name");
    return kExitUsage;
  }
  // Refused before any picture is written, not after all of them.
  struct stat existing;
  if (!options.stamps.empty() && !options.overwrite && stat(options.stamps.c_str(), &existing) == 0 &&
      S_ISREG(existing.st_mode)) {
    report(options.stamps + ": exists; not replaced (-y or --overwrite replaces it)");
    return kExitFailure;
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
  Job job{options, format, filter, nullptr, false, {}};
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
    if (numberedName(options))
      report("'" + options.out + "' holds a frame number; frame " + std::to_string(select.frame) +
             " alone is written (--all writes every frame)");
    return writeOne(job, frame) && writeStamps(options, job.written) ? kExitOk : kExitFailure;
  }

  if (!refuseExisting(options, total, input)) return kExitFailure;
  Progress progress("writing frames", selectedFrames(select, total));
  job.progress = &progress;
  int64_t written = 0;  // pictures out
  int64_t taken = 0;    // frames read for them
  // Making a PNG is slow: frames are encoded on several threads and
  // written in order.
  std::unique_ptr<PngEncoders> encoders;
  if (format == ImageFormat::Png)
    encoders = std::make_unique<PngEncoders>(
        WorkerPool::suitableThreads(),
        [&](const std::vector<unsigned char>* bytes, const std::string& failure,
            const toolkit::Frame& done, const std::string& line) {
          if (!putEncoded(job, bytes, failure, done, line)) return false;
          progress.update(static_cast<uint64_t>(++written));
          return true;
        });
  // The pictures still being made are written before the run ends, as
  // they would have been one by one; false when one of them failed.
  const auto settle = [&encoders] { return !encoders || encoders->finishAll(); };
  for (int64_t index = select.start; select.count < 0 || taken < select.count;
       index += select.step) {
    const toolkit::FrameSource::Read positioned = source.seek(index);
    if (positioned == toolkit::FrameSource::Read::Failed)
      return settle() ? failed() : kExitFailure;
    toolkit::Frame* into = encoders ? encoders->frame() : &frame;
    if (!into) return kExitFailure;
    const toolkit::FrameSource::Read status =
        positioned == toolkit::FrameSource::Read::End ? positioned : source.next(*into);
    if (status == toolkit::FrameSource::Read::End) break;
    if (status != toolkit::FrameSource::Read::Frame)
      return settle() ? failedAfter(written) : kExitFailure;
    ++taken;
    if (!encoders) {
      if (!writeOne(job, frame)) return kExitFailure;
      progress.update(static_cast<uint64_t>(++written));
      continue;
    }
    std::string line;
    const unsigned char* picture = pictureOf(job, *into, line);
    if (!picture) {
      settle();
      return kExitFailure;
    }
    encoders->encode(picture, std::move(line));
  }
  if (!settle()) return kExitFailure;
  if (written > 0 && !writeStamps(options, job.written)) return kExitFailure;
  if (written > 0 && select.count >= 0 && written < select.count) {
    // Frames asked for that the stream does not have: the pictures made stay.
    report(options.file + ": " + std::to_string(select.count) + " frames asked for from frame " +
           std::to_string(select.start) + ", " + std::to_string(written) + " exist (" +
           std::to_string(total >= 0 ? total : source.tell()) + " in the stream); " +
           std::to_string(written) + " written");
    return kExitFailure;
  }
  if (written > 0) return kExitOk;
  report(options.file + (select.start > 0 ? ": has no frame " + std::to_string(select.start)
                                          : std::string(": holds no frames")));
  return kExitFailure;
}

}  // namespace rgbtool
