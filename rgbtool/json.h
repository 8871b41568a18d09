// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// JSON output, in the order the fields are set.
#ifndef RGBTOOL_JSON_H
#define RGBTOOL_JSON_H

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

struct StreamScan;
// Sets "width", "height" and "planes" from a scan's first header, or to null
// when it had none.
void setGeometry(Json& object, const StreamScan& scan);

// One object on one line, flushed: for output read as it arrives.
void printJsonLine(const Json& object);

}  // namespace rgbtool

#endif  // RGBTOOL_JSON_H
