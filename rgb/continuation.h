// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Whether an append continues the stream in the file: frames appended after
// a partial frame, or of another size than the file's, would make every
// later frame unreadable, so such an append is refused before it writes.
#ifndef RGB_CONTINUATION_H
#define RGB_CONTINUATION_H

#include <cstdint>

#include "rgb/append.h"
#include "rgb/frames.h"

namespace rgb {

struct Continuation {
  // RGB_OK; the first header's status (the file is no frame stream);
  // RGB_ESIZECHANGE; RGB_ETRUNCATED (the file ends inside a frame); RGB_EIO
  // (the file could not be read or cut, errno says why).
  int status = RGB_OK;
  Shape file;          // the size of the file's frames, with RGB_ESIZECHANGE
  uint64_t stray = 0;  // bytes after the last whole frame, with RGB_ETRUNCATED
};

// Judges an append of frames of `frames` to the file under `append`'s lock.
// An empty file, anything but a regular file, and a file this process may
// not read are continued as they are. With `cutPartial`, a file that ends
// inside a frame is first cut back to its last whole frame instead of being
// refused; a file that is refused for another reason is never cut.
Continuation continueStream(LockedAppend& append, const Shape& frames, bool cutPartial);

}  // namespace rgb

#endif  // RGB_CONTINUATION_H
