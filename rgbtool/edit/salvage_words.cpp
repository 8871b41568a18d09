// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/salvage_words.h"

#include <sys/stat.h>

#include "rgbtool/edit/frame_map.h"
#include "rgbtool/edit/raw_input.h"

namespace rgbtool {
namespace edit {

std::string followersWords(int64_t after, int64_t keeps) {
  return std::to_string(after) + " whole frame" + (after == 1 ? "" : "s") +
         " follow (rgbtool repair keeps " + std::to_string(keeps) + ")";
}

std::string followersOf(const std::string& path) {
  // Opening a FIFO whose writer has gone would wait for the next one.
  struct stat file;
  if (path == "-" || stat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return {};
  RawInput in;
  FrameMap map;
  if (!in.open(path) || !in.regular() ||
      !mapFrames(in.fd(), in.start(), in.size(), MapMode::Salvage, map) || !map.firstDrop())
    return {};
  return followersWords(map.keptAfterDamage(), map.keptFrames());
}

}  // namespace edit
}  // namespace rgbtool
