// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The stream cut, join and repair make: written under a temporary name and
// renamed into place only once every frame is in it, flushed to the disk
// first (a stream cannot be made again from anything else), rolled back on
// a failure or a signal; never one of the inputs.
#ifndef RGBTOOL_EDIT_EDITED_OUTPUT_H
#define RGBTOOL_EDIT_EDITED_OUTPUT_H

#include <string>
#include <vector>

#include "toolkit/output.h"

namespace rgbtool {
namespace edit {

class EditedOutput {
 public:
  // Opens `path` ("-": standard output); reports and returns false when it
  // is refused. `replace`: an existing file may be replaced.
  bool open(const std::string& path, bool replace, const std::vector<std::string>& inputs);
  int fd() const { return output_.fd(); }
  // Puts the stream in place; reports and returns false when that failed.
  bool commit();

 private:
  std::string path_;
  toolkit::Output output_;
};

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_EDITED_OUTPUT_H
