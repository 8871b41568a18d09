// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool's helper programs (rgbtool-video, rgbtool-media): the work that
// needs FFmpeg's libraries runs in them, so that the other commands do not
// load those libraries at every start.
#ifndef RGBTOOL_MEDIA_HELPER_PROGRAM_H
#define RGBTOOL_MEDIA_HELPER_PROGRAM_H

#include <functional>
#include <string>
#include <vector>

#include "rgbtool/pictures/image_io.h"

namespace rgbtool {

// Beside rgbtool in a build tree, in libexec when installed.
std::string helperProgramPath(const std::string& name);

// Runs helper program `name` in place of this process with the arguments
// that follow its path; returns only when it cannot be run, having said why.
int execHelper(const std::string& name, std::vector<std::string> arguments);

// Decodes a picture in a format rgbtool does not read itself through
// rgbtool-media; false with its reason in `error`.
bool decodeWithHelper(const std::string& path, Image& image, std::string& error);
// The same for a picture held in a file in memory (a memfd) at `fd`.
bool decodeWithHelper(int fd, Image& image, std::string& error);

// Encodes a picture in `format` (tiff) through rgbtool-media onto `outFd`;
// `feed` writes the picture as a binary PPM to the descriptor it is given.
bool encodeWithHelper(const std::string& format, int outFd,
                      const std::function<bool(int fd, std::string& error)>& feed,
                      std::string& error);

}  // namespace rgbtool

#endif  // RGBTOOL_MEDIA_HELPER_PROGRAM_H
