#include "rgbtool/frame_output.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

#include "rgbtool/diagnostics.h"
#include "rgbtool/image_io.h"
#include "rgbtool/output_file.h"
#include "rgbtool/output_name.h"
#include "rgbtool/progress.h"

namespace rgbtool {
namespace {

bool chooseFormat(const FrameOutputOptions& options, ImageFormat& format) {
  if (!options.format.empty()) return parseFormatName(options.format, format);
  return formatFromPath(options.out, format);
}

bool writeOne(const std::string& path, ImageFormat format, const Frame& frame,
              const FrameFilter& filter, Progress* progress, const std::string& inputName,
              const struct stat* input) {
  // Replacing the stream being read would lose it, whatever the name says.
  if (input && sameFile(path, *input)) {
    report(path + ": is the same file as the input " + inputName + "; not overwritten");
    return false;
  }
  std::string line;
  const unsigned char* picture = filter(frame, line);
  if (!picture) return false;
  if (!line.empty()) {
    if (progress) progress->suspend();
    std::fputs(line.c_str(), stdout);
  }
  std::string error;
  if (!writeImage(path, format, picture, frame.width, frame.height, error)) {
    report(path + ": " + error);
    return false;
  }
  return true;
}

}  // namespace

int writeFrames(const FrameOutputOptions& options, const FrameFilter& filter) {
  ImageFormat format;
  if (!chooseFormat(options, format)) {
    report(options.format.empty()
               ? options.out + ": cannot tell the picture format from the name; use "
                               "a .png or .ppm name or --format"
               : "unknown format '" + options.format + "' (png or ppm)");
    return kExitUsage;
  }
  std::string error;
  if (options.all && !validFramePattern(options.out, error)) {
    report(error);
    return kExitUsage;
  }

  InputStream input;
  if (!input.open(options.file)) {
    report(options.file + ": " + input.error());
    return kExitFailure;
  }
  FrameReader reader(input, options.file);
  struct stat inputInfo;
  const struct stat* inputFile =
      fstat(fileno(input.get()), &inputInfo) == 0 ? &inputInfo : nullptr;

  if (!options.all) {
    if (!reader.skipTo(options.frame)) return kExitFailure;
    Frame frame;
    const FrameReader::Status status = reader.next(frame);
    if (status == FrameReader::Status::End) {
      report(options.file + ": has no frame " + std::to_string(options.frame));
      return kExitFailure;
    }
    if (status == FrameReader::Status::Failed) return kExitFailure;
    return writeOne(options.out, format, frame, filter, nullptr, options.file, inputFile)
               ? kExitOk
               : kExitFailure;
  }

  Progress progress("writing frames", input.seekable() ? input.size() : 0);
  for (int written = 0;; ++written) {
    Frame frame;
    const FrameReader::Status status = reader.next(frame);
    if (status == FrameReader::Status::Failed) return kExitFailure;
    if (status == FrameReader::Status::End) {
      if (written > 0) return kExitOk;
      report(options.file + ": holds no frames");
      return kExitFailure;
    }
    if (!writeOne(expandFramePattern(options.out, frame.index), format, frame, filter,
                  &progress, options.file, inputFile))
      return kExitFailure;
    if (input.seekable())
      progress.update(static_cast<uint64_t>(ftello(input.get()) - input.start()));
  }
}

}  // namespace rgbtool
