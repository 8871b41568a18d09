// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// JSON output, in the order the fields are set.
#ifndef RGBTOOL_REPORT_JSON_H
#define RGBTOOL_REPORT_JSON_H

#include <nlohmann/json.hpp>
#include <string>

namespace rgbtool {

using Json = nlohmann::ordered_json;

// text as valid UTF-8 for a JSON string. File names are bytes, not always
// UTF-8: every byte that is not part of a valid UTF-8 sequence becomes the
// character U+00XX of the same value (so byte 0xE9 reads as U+00E9).
std::string utf8Text(const std::string& text);

// Sets "file" to the name as UTF-8 and, when the name had to be changed for
// that, "file_hex" to its bytes in hexadecimal so that the name can be found
// again exactly.
void setFileName(Json& object, const std::string& name);

// A rate in frames per second as the text shows it (three decimals); null
// when there is no rate.
Json rateJson(double rate);

struct StreamScan;
// The keys info and check give every stream alike: "file" (and "file_hex"),
// "ok" (problem is empty), "frames", "width", "height", "planes",
// "stray_bytes" and "problem". What the stream could not tell (it did not
// open, it had no first header) is null.
Json streamJson(const std::string& file, const StreamScan& scan, const std::string& problem);

// One object on one line, flushed: for output read as it arrives.
void printJsonLine(const Json& object);

}  // namespace rgbtool

#endif  // RGBTOOL_REPORT_JSON_H
