// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The classic functions' messages: printed on stdout or stderr, or handed to
// the handler an application installed.
#ifndef RGB_MESSAGES_H
#define RGB_MESSAGES_H

#include <cstdio>

namespace rgb {

// Formats one message like fprintf(stream, format, ...) and delivers it.
void say(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The one-line refusal of a null stream, which is what a failed
// openRGBReadPipe or openRGBWritePipe hands on.
void reportNullStream();

}  // namespace rgb

#endif  // RGB_MESSAGES_H
