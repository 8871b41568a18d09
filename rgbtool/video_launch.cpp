// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// `rgbtool video` runs the encoder as a program of its own, rgbtool-video:
// linking FFmpeg's libraries into rgbtool would make every other command
// load some 130 shared libraries at start, several times the work of a
// whole export.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"

namespace rgbtool {
namespace {

std::string directoryOfThisProgram() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string self(path, static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/'));
}

// Beside rgbtool in a build tree, in libexec when installed.
std::string encoderPath() {
  const std::string here = directoryOfThisProgram();
  for (const std::string& candidate :
       {here + "/rgbtool-video", here + "/../" RGBTOOL_LIBEXEC_DIR "/rgbtool-video"})
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  return here + "/rgbtool-video";
}

}  // namespace

int launchVideo(const VideoOptions& options) {
  const std::string encoder = encoderPath();
  const std::string crf = std::to_string(options.crf);
  const std::vector<std::string> words = {encoder, options.file, options.out, crf,
                                          options.crfGiven ? "1" : "0", options.codec};
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execv(encoder.c_str(), argv.data());
  report("cannot run the video encoder " + encoder + ": " + std::strerror(errno));
  return kExitFailure;
}

}  // namespace rgbtool
