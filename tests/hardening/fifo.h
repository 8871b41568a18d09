// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Named pipes for tests: creation in a temporary folder and a writer end
// opened with a deadline instead of blocking forever.
#ifndef RGB_TESTS_HARDENING_FIFO_H
#define RGB_TESTS_HARDENING_FIFO_H

#include <chrono>
#include <string>

namespace hardening {

// Creates a FIFO at path; throws when it cannot.
void makeFifo(const std::string& path);

// Opens the FIFO for writing once a reader has it open, waiting at most
// `deadline`; returns the file descriptor or throws.
int openFifoWriter(const std::string& path,
                   std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));

// Writes all bytes to fd; throws on failure.
void writeAll(int fd, const void* data, std::size_t size);

}  // namespace hardening

#endif  // RGB_TESTS_HARDENING_FIFO_H
