// rgbtool watch: follow a live stream frame by frame until its producer
// closes it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/frame_reader.h"
#include "rgbtool/intervals.h"
#include "viewer/marking.h"

namespace rgbtool {
namespace {

constexpr std::size_t kChannels = 3;

// The display image buffer, grown as needed.
class Display {
 public:
  unsigned char* fit(std::size_t bytes) {
    if (!pixels_ || bytes > capacity_) {
      pixels_.reset(static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1)));
      capacity_ = pixels_ ? bytes : 0;
    }
    if (pixels_) std::memset(pixels_.get(), 0, bytes);
    return pixels_.get();
  }

 private:
  Pixels pixels_;
  std::size_t capacity_ = 0;
};

void printSummary(const IntervalTracker& tracker) {
  std::printf("frames: %llu, mean rate: ", static_cast<unsigned long long>(tracker.frames()));
  if (tracker.haveRate()) {
    std::printf("%s fps", formatRate(tracker.rate()).c_str());
  } else {
    std::printf("n/a");
  }
  if (tracker.haveGap()) {
    std::printf(", largest gap: %lld ms\n", static_cast<long long>(tracker.largestGap()));
  } else {
    std::printf(", largest gap: n/a\n");
  }
}

}  // namespace

int runWatch(const WatchOptions& options) {
  InputStream input;
  if (!input.open(options.pipe)) {
    report(options.pipe + ": " + input.error());
    return kExitFailure;
  }
  FrameReader reader(input, options.pipe);
  IntervalTracker tracker;
  Display display;
  int status = kExitOk;
  for (;;) {
    Frame frame;
    const FrameReader::Status got = reader.next(frame);
    if (got == FrameReader::Status::End) break;
    if (got == FrameReader::Status::Failed) {
      status = kExitFailure;
      break;
    }
    const std::size_t bytes = kChannels * static_cast<std::size_t>(frame.width) *
                              static_cast<std::size_t>(frame.height);
    unsigned char* picture = display.fit(bytes);
    if (!picture) {
      report(options.pipe + ": out of memory for the display image");
      status = kExitFailure;
      break;
    }
    const std::size_t marked =
        zu_korve::markRegionOfInterest(frame.pixels.get(), frame.width, frame.height, picture);
    int64_t interval = 0;
    std::printf("frame %d: stamp %d ms", frame.index, frame.stamp);
    if (tracker.add(frame.stamp, interval))
      std::printf(", interval %lld ms", static_cast<long long>(interval));
    std::printf(", %zu marked pixels\n", marked);
    // Lines must show as the frames arrive, also when stdout is a pipe.
    std::fflush(stdout);
  }
  printSummary(tracker);
  return status;
}

}  // namespace rgbtool
