// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/messages.h"

#include <atomic>
#include <cstdarg>

#include "rgb/rgb.h"

namespace {

// Set once at start-up and read on every message; a pair of atomics is
// enough because the documented use is to install the handler before other
// threads call the library.
std::atomic<rgb_message_handler> handler{nullptr};
std::atomic<void*> handlerUser{nullptr};

// Every message fits one line; a longer one (a very long path) is cut here
// only on its way to a handler, never when printed.
constexpr std::size_t kMessageLimit = 4096;

}  // namespace

namespace rgb {

void say(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const rgb_message_handler current = handler.load(std::memory_order_acquire);
  if (!current) {
    std::vfprintf(stream, format, args);
  } else {
    char message[kMessageLimit];
    std::vsnprintf(message, sizeof message, format, args);
    current(handlerUser.load(std::memory_order_acquire), stream, message);
  }
  va_end(args);
}

void reportNullStream() { say(stderr, "ERROR: no RGB image stream (null stream pointer).\n"); }

}  // namespace rgb

extern "C" void rgb_set_message_handler(rgb_message_handler function, void* user) {
  handlerUser.store(user, std::memory_order_release);
  handler.store(function, std::memory_order_release);
}
