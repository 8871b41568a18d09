// rgbtool export: frames out as PNG or PPM pictures.
#include "rgbtool/commands.h"
#include "rgbtool/frame_output.h"

namespace rgbtool {

int runExport(const FrameOutputOptions& options) {
  return writeFrames(options, [](const Frame& frame, std::string&) { return frame.pixels.get(); });
}

}  // namespace rgbtool
