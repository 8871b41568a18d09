// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/input/stream_shape.h"

#include <cerrno>

namespace rgbtool {

std::string readerFailure(rgb_reader* reader, int status) {
  const int saved = errno;
  const std::string detail = reader ? rgb_reader_message(reader) : "";
  std::string words = toolkit::frameFailure(0, detail, status, saved);
  // The scan adds the frame's number itself where it knows it.
  const std::string prefix = "frame 0: ";
  if (detail.rfind(prefix, 0) != 0 && words.rfind(prefix, 0) == 0) words.erase(0, prefix.size());
  return words;
}

}  // namespace rgbtool
