// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/picture_stamps.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "rgbtool/report/json.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

constexpr const char* kCsvHeader = "frame,stamp_ms,file";
constexpr std::size_t kStampDigits = 7;  // the cycle's last stamp, 9999999, has seven

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its
// quotes doubled.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Splits one CSV record, which may run over several lines when a quoted
// field holds a line break.
bool csvRecord(std::istream& in, std::vector<std::string>& fields) {
  fields.clear();
  std::string field;
  bool quoted = false;
  bool any = false;
  for (int c; (c = in.get()) != EOF;) {
    any = true;
    if (quoted) {
      if (c == '"' && in.peek() == '"') {
        field += static_cast<char>(in.get());
      } else if (c == '"') {
        quoted = false;
      } else {
        field += static_cast<char>(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      break;
    } else if (c != '\r') {
      field += static_cast<char>(c);
    }
  }
  if (any) fields.push_back(std::move(field));
  return any;
}

bool wholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty() || text.size() > 12) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

bool rowOf(const std::string& frame, const std::string& stamp, const std::string& file,
           PictureStamp& row) {
  int64_t number = 0;
  int64_t ms = 0;
  if (!wholeNumber(frame, 0, INT32_MAX, number) ||
      !wholeNumber(stamp, 0, toolkit::kLastStamp, ms) || file.empty())
    return false;
  row = {number, static_cast<int32_t>(ms), file};
  return true;
}

bool readCsv(std::istream& in, std::vector<PictureStamp>& rows, std::string& error) {
  std::vector<std::string> fields;
  if (!csvRecord(in, fields) || fields.size() != 3 || fields[0] != "frame" ||
      fields[1] != "stamp_ms" || fields[2] != "file") {
    error = std::string("the first line must be ") + kCsvHeader;
    return false;
  }
  for (std::size_t line = 2; csvRecord(in, fields); ++line) {
    if (fields.size() == 1 && fields[0].empty()) continue;  // a blank line
    PictureStamp row;
    if (fields.size() != 3 || !rowOf(fields[0], fields[1], fields[2], row)) {
      error = "record " + std::to_string(line - 1) +
              ": not a frame number, a stamp from 0 to " + std::to_string(toolkit::kLastStamp) +
              " ms and a file name";
      return false;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

bool readJson(std::istream& in, std::vector<PictureStamp>& rows, std::string& error) {
  const Json document = Json::parse(in, nullptr, false);
  if (document.is_discarded() || !document.is_array()) {
    error = "not a JSON array of {\"frame\", \"stamp_ms\", \"file\"} objects";
    return false;
  }
  for (std::size_t i = 0; i < document.size(); ++i) {
    const Json& item = document[i];
    PictureStamp row;
    const bool fits = item.is_object() && item.contains("frame") && item.contains("stamp_ms") &&
                      item.contains("file") && item["frame"].is_number_unsigned() &&
                      item["stamp_ms"].is_number_unsigned() && item["file"].is_string() &&
                      rowOf(std::to_string(item["frame"].get<uint64_t>()),
                            std::to_string(item["stamp_ms"].get<uint64_t>()),
                            item["file"].get<std::string>(), row);
    if (!fits) {
      error = "entry " + std::to_string(i) + ": not a frame number, a stamp from 0 to " +
              std::to_string(toolkit::kLastStamp) + " ms and a file name";
      return false;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace

bool stampsFormatOf(const std::string& path, StampsFormat& format) {
  if (endsWith(path, ".csv")) {
    format = StampsFormat::Csv;
    return true;
  }
  if (endsWith(path, ".json")) {
    format = StampsFormat::Json;
    return true;
  }
  return false;
}

std::string stampsText(const std::vector<PictureStamp>& rows, StampsFormat format) {
  std::string text;
  if (format == StampsFormat::Csv) {
    text = std::string(kCsvHeader) + "\n";
    for (const PictureStamp& row : rows)
      text += std::to_string(row.frame) + "," + std::to_string(row.stamp) + "," +
              csvField(row.file) + "\n";
    return text;
  }
  // One entry a line: readable, and a line-oriented tool can still pick rows.
  text = "[";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Json entry;
    entry["frame"] = rows[i].frame;
    entry["stamp_ms"] = rows[i].stamp;
    entry["file"] = utf8Text(rows[i].file);
    text += (i == 0 ? "\n" : ",\n") + entry.dump();
  }
  return text + "\n]\n";
}

bool readPictureStamps(const std::string& path, std::vector<PictureStamp>& rows,
                       std::string& error) {
  StampsFormat format;
  if (!stampsFormatOf(path, format)) {
    error = "cannot tell the stamps format from the name; use a .csv or .json name";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  return format == StampsFormat::Csv ? readCsv(in, rows, error) : readJson(in, rows, error);
}

bool StampLookup::load(const std::string& path, std::string& error) {
  path_ = path;
  if (!readPictureStamps(path, rows_, error)) return false;
  if (rows_.empty()) error = "holds no stamps";
  return !rows_.empty();
}

namespace {

std::string baseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<std::string> StampLookup::pictures() const {
  const std::size_t slash = path_.find_last_of('/');
  const std::string beside = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
  std::vector<std::string> names;
  for (const PictureStamp& row : rows_) {
    struct stat info;
    const std::string there = beside + baseName(row.file);
    names.push_back(stat(row.file.c_str(), &info) != 0 && stat(there.c_str(), &info) == 0
                        ? there
                        : row.file);
  }
  return names;
}

bool StampLookup::stampOf(const std::string& picture, std::size_t fromInput, int32_t& stamp,
                          std::string& error) const {
  if (picture == "-") {
    if (fromInput < rows_.size()) {
      stamp = rows_[fromInput].stamp;
      return true;
    }
    error = path_ + " has " + std::to_string(rows_.size()) + " stamps, too few for picture " +
            std::to_string(fromInput) + " of standard input";
    return false;
  }
  const PictureStamp* byBase = nullptr;
  int baseMatches = 0;
  for (const PictureStamp& row : rows_) {
    if (row.file == picture) {
      stamp = row.stamp;
      return true;
    }
    if (baseName(row.file) == baseName(picture)) {
      byBase = &row;
      ++baseMatches;
    }
  }
  if (baseMatches == 1) {
    stamp = byBase->stamp;
    return true;
  }
  error = path_ + " has no stamp for " + picture +
          (baseMatches > 1 ? " (its file name is there more than once)" : "");
  return false;
}

bool hasStampField(const std::string& pattern) {
  return pattern.find(kStampField) != std::string::npos;
}

std::string expandStampField(const std::string& pattern, int32_t stamp) {
  std::string digits = std::to_string(stamp);
  if (digits.size() < kStampDigits) digits.insert(0, kStampDigits - digits.size(), '0');
  std::string name = pattern;
  const std::size_t length = std::strlen(kStampField);
  for (std::size_t at = 0; (at = name.find(kStampField, at)) != std::string::npos;) {
    name.replace(at, length, digits);
    at += digits.size();
  }
  return name;
}

}  // namespace rgbtool
