// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Standard input, output and error as a program finds them.
//
// A descriptor 0, 1 or 2 that the caller closed would be handed to the
// next file the program opens (a picture, an X server's socket), and what
// was meant for the standard stream would go there: `rgbplay - <&-` would
// read frames from its X connection. So every program calls
// guardStandardStreams() first; a closed one is then occupied by /dev/null
// opened in the opposite direction, which keeps the number taken while
// every use of it still fails (reading a write-only descriptor, writing a
// read-only one: EBADF), as it would have on the closed descriptor.
#ifndef TOOLKIT_STANDARD_STREAMS_H
#define TOOLKIT_STANDARD_STREAMS_H

#include <string>

namespace toolkit {

// Occupies closed standard descriptors; false when that is impossible
// (then the program must not go on: any file could take the number).
bool guardStandardStreams();

// Whether the program started with standard input or output closed.
bool stdinClosed();
bool stdoutClosed();

// Flushes standard output at the end of a run; false with the reason in
// `error` when it was closed and something was written to it, or when a
// write to it failed (a full disk, /dev/full). A run whose results did not
// arrive has failed.
bool finishStdout(std::string& error);

}  // namespace toolkit

#endif  // TOOLKIT_STANDARD_STREAMS_H
