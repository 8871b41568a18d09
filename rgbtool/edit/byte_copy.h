// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Moving a stream's bytes to an output unchanged: frames copied whole keep
// every header field and every plane, alpha included.
#ifndef RGBTOOL_EDIT_BYTE_COPY_H
#define RGBTOOL_EDIT_BYTE_COPY_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {
namespace edit {

// How the bytes went: within the kernel (copy_file_range, which shares or
// clones blocks where the file system can), or read and written by us.
struct CopyCount {
  uint64_t kernelBytes = 0;
  uint64_t copiedBytes = 0;
};

// Copies `length` bytes at `offset` of the regular file `in` to the current
// position of `out`. The kernel does it where it can; another file system,
// a pipe, an append-only descriptor or an old kernel fall back to read and
// write, from where the kernel stopped. false with error (the system's
// words) when a read or write fails or the file is shorter.
bool copyRange(int in, off_t offset, uint64_t length, int out, CopyCount& count,
               std::string& error);

// Reads exactly `length` bytes from `in` where it stands (a pipe) into
// `into`, which grows only as the bytes arrive (a header may declare a
// frame far larger than what follows it); with `into` null they are
// dropped. false with error; `ended` tells the stream ended before them
// (nothing is wrong with reading then).
bool takeBytes(int in, uint64_t length, std::vector<unsigned char>* into, bool& ended,
               std::string& error);

// Reads up to `length` bytes into `into` from `in` where it stands; returns
// how many arrived before the end (fewer only at the end), -1 on a failure.
ssize_t readFully(int in, void* into, std::size_t length);

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_BYTE_COPY_H
