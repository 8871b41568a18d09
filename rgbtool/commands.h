// The subcommands, each with the options its command line gave.
#ifndef RGBTOOL_COMMANDS_H
#define RGBTOOL_COMMANDS_H

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {

struct InfoOptions {
  std::vector<std::string> files;
  bool frames = false;
  bool json = false;
  std::string plot;  // PNG of the frame intervals; empty: none
};

// export and mark: which frames go where.
struct FrameOutputOptions {
  std::string file;
  std::string out;
  int frame = 0;
  bool all = false;
  std::string format;  // empty: from OUT's extension
};

struct ImportOptions {
  std::string out;
  std::vector<std::string> images;
  bool fixedStamps = false;
  int64_t startMs = 0;
  int64_t intervalMs = 0;
};

struct WatchOptions {
  std::string pipe;
};

struct VideoOptions {
  std::string file;
  std::string out;
  int crf = 23;
  bool crfGiven = false;
  std::string codec;  // empty: libx264, else the default H.264 encoder
};

struct SheetOptions {
  std::string file;
  std::string out;
  int every = 1;
  int columns = 8;
  int tileWidth = 0;  // 0: the frame's width, at most 320
};

struct CheckOptions {
  std::vector<std::string> files;
  bool quiet = false;
};

// Each returns the process exit status.
int runInfo(const InfoOptions& options);
int runExport(const FrameOutputOptions& options);
int runImport(const ImportOptions& options);
int runMark(const FrameOutputOptions& options);
int runWatch(const WatchOptions& options);
int runCheck(const CheckOptions& options);
int runVideo(const VideoOptions& options);
int runSheet(const SheetOptions& options);

}  // namespace rgbtool

#endif  // RGBTOOL_COMMANDS_H
