// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The stamps of frames written as pictures, kept beside the pictures so
// that they survive the trip out and back in: one row per picture with the
// frame's number, its stamp in milliseconds and the picture's file name.
// CSV (a header line `frame,stamp_ms,file`, names quoted where they need
// it) or JSON (an array of {"frame", "stamp_ms", "file"} objects), told by
// the file's extension.
#ifndef RGBTOOL_PICTURES_PICTURE_STAMPS_H
#define RGBTOOL_PICTURES_PICTURE_STAMPS_H

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {

struct PictureStamp {
  int64_t frame = 0;
  int32_t stamp = 0;
  std::string file;
};

enum class StampsFormat { Csv, Json };

// From the name's extension (.csv or .json); false for any other.
bool stampsFormatOf(const std::string& path, StampsFormat& format);

std::string stampsText(const std::vector<PictureStamp>& rows, StampsFormat format);

// Every row of a stamps file; false with the reason (and the line) in
// `error`. Stamps must lie on the 10,000-second cycle.
bool readPictureStamps(const std::string& path, std::vector<PictureStamp>& rows,
                       std::string& error);

// The stamps a stamps file gives pictures: a named picture takes the row of
// its name (as written, else of its file name alone when one row has it), a
// picture from standard input the row of its place in the stream.
class StampLookup {
 public:
  bool load(const std::string& path, std::string& error);
  // The pictures the file names, in its order; a name not found as written
  // is looked for beside the stamps file, where export put it.
  std::vector<std::string> pictures() const;
  bool stampOf(const std::string& picture, std::size_t fromInput, int32_t& stamp,
               std::string& error) const;

 private:
  std::string path_;
  std::vector<PictureStamp> rows_;
};

// `{stamp}` in a picture name: the frame's stamp in milliseconds, seven
// digits with leading zeros, so that names sort by stamp within one cycle.
constexpr const char* kStampField = "{stamp}";
bool hasStampField(const std::string& pattern);
std::string expandStampField(const std::string& pattern, int32_t stamp);

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_PICTURE_STAMPS_H
