// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Failures of the library as Python exceptions. Every message starts with
// the path as the user spelled it and names the frame concerned, with the
// library's own words where it has them; rgbstream.Error carries the frame
// index and the status as attributes, so that callers need not parse text.
#ifndef RGBSTREAM_ERRORS_H
#define RGBSTREAM_ERRORS_H

#include <pybind11/pybind11.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "rgb/rgb.h"

namespace rgbstream {

namespace py = pybind11;

// No frame concerned (opening, counting).
constexpr int64_t kNoFrame = -1;

// A stream the library rejects; raised as rgbstream.Error (a ValueError).
class StreamError : public std::runtime_error {
 public:
  StreamError(const std::string& message, int64_t frame, int status)
      : std::runtime_error(message), frame_(frame), status_(status) {}
  int64_t frame() const { return frame_; }
  int status() const { return status_; }

 private:
  int64_t frame_;
  int status_;
};

// Registers rgbstream.Error in the module and the translation to it.
void registerErrors(py::module_& module);

// The path as the user spelled it, for messages and OSError.filename.
py::str displayPath(const std::string& path);

// Whether a status is a damage of the stream (its bytes are wrong or
// missing) rather than a misuse or a failure of the system.
bool isDamage(int status);

// What the reader says about its last failure, worth keeping: only a
// damage leaves words that describe it; after any other failure the reader
// may still hold an older message, about something else.
std::string readerMessage(const rgb_reader* reader, int status);

// The words for a failure: the library's message (or the status's reason
// when there is none) in the wording every program uses, "frame N: ...".
// For OSError only the frame: the system's reason says the rest.
std::string failureWords(const std::string& message, int status, int64_t frame);

// Raises the exception for a failed status: OSError (from the errno saved
// right after the failing call: taking the GIL back may change errno) with
// `words` after the system's reason, MemoryError, IndexError, TypeError
// (no random access on a FIFO), ValueError (bad argument) or rgbstream.Error
// for damages, with the frame as its attribute.
[[noreturn]] void raise(int status, int savedErrno, const std::string& path,
                        const std::string& words, int64_t frame = kNoFrame);

}  // namespace rgbstream

#endif  // RGBSTREAM_ERRORS_H
