// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/report/json.h"

#include "rgbtool/input/stream_scan.h"

#include <cmath>
#include <cstdio>

namespace rgbtool {
namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xbf;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;   // no overlong forms
    if (lead == 0xed) high = 0x9f;  // no surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xbf) return 0;
  return length;
}

}  // namespace

std::string utf8Text(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(text, i);
    if (length > 0) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    const auto c = static_cast<unsigned char>(text[i++]);
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
  return out;
}

void setFileName(Json& object, const std::string& name) {
  const std::string text = utf8Text(name);
  object["file"] = text;
  if (text == name) return;
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0xf];
  }
  object["file_hex"] = hex;
}

Json rateJson(double rate) {
  constexpr double kDecimals = 1000.0;
  return rate > 0 ? Json(std::round(rate * kDecimals) / kDecimals) : Json(nullptr);
}

Json streamJson(const std::string& file, const StreamScan& scan, const std::string& problem) {
  const auto known = [&scan](auto value) { return scan.opened ? Json(value) : Json(nullptr); };
  Json out = Json::object();
  setFileName(out, file);
  out["ok"] = problem.empty();
  out["frames"] = known(scan.stamps.size());
  if (scan.haveGeometry) {
    out["width"] = scan.geometry.width;
    out["height"] = scan.geometry.height;
    out["planes"] = planeName(scan.geometry.planes);
  } else {
    for (const char* key : {"width", "height", "planes"}) out[key] = nullptr;
  }
  out["stray_bytes"] = known(scan.strayBytes);
  out["problem"] = problem.empty() ? Json(nullptr) : Json(utf8Text(problem));
  return out;
}

void printJsonLine(const Json& object) {
  std::fputs(object.dump().c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace rgbtool
