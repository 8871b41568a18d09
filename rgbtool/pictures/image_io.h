// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Ordinary pictures in and out: PNG through libpng, binary and plain PPM,
// and bare RGB rows. Pictures are stored top row first; frames are held
// bottom row first unless read top row first, so the writers take either.
#ifndef RGBTOOL_PICTURES_IMAGE_IO_H
#define RGBTOOL_PICTURES_IMAGE_IO_H

#include <cstdio>
#include <string>
#include <vector>

#include "toolkit/frame.h"
#include "toolkit/output.h"

namespace rgbtool {

// The largest side a frame can have.
constexpr int kMaxSide = 65535;

// Raw: the rows of interleaved 8-bit RGB, top row first, nothing else.
// Tiff: written by FFmpeg's encoder in the helper program rgbtool-media.
enum class ImageFormat { Png, Ppm, Raw, Tiff };

// "png", "ppm" (also "pnm"), "tiff" (also "tif") or "raw", any case.
bool parseFormatName(const std::string& name, ImageFormat& format);
// The format named by the path's extension (.png, .ppm, .pnm, .tiff, .tif, .raw).
bool formatFromPath(const std::string& path, ImageFormat& format);

struct WriteOptions {
  bool topRowFirst = false;  // frame holds the top row first (else the bottom row)
  bool replace = false;      // an existing picture may be replaced (-y)
  std::vector<std::string> inputs;  // the run's inputs, never written over
};

// Writes an interleaved RGB frame as a picture. path "-" writes to stdout.
// The picture replaces path only once it is complete (see toolkit::Output); a
// failure leaves what was there.
bool writeImage(const std::string& path, ImageFormat format, const unsigned char* frame,
                int width, int height, std::string& error, const WriteOptions& how = {});

// The same into an output already open (so that a refusal comes before the
// work that makes the picture); commits it.
bool writeImageTo(toolkit::Output& out, ImageFormat format, const unsigned char* frame,
                  int width, int height, std::string& error, bool topRowFirst = false);

// A frame as a PNG in memory, for encoding away from the thread that
// writes the pictures out in order; then written by writeEncoded(), which
// follows the rules of writeImage().
bool encodePng(const unsigned char* frame, int width, int height, bool topRowFirst,
               std::vector<unsigned char>& bytes, std::string& error);
bool writeEncoded(const std::string& path, const std::vector<unsigned char>& bytes,
                  std::string& error, const WriteOptions& how = {});

// A picture read into frame order: interleaved RGB, bottom row first, or,
// when `planar`, the planes as a frame stores them (red, green, blue, each
// bottom row first), which a stream takes with no copy.
struct Image {
  toolkit::Pixels pixels;
  int width = 0;
  int height = 0;
  bool planar = false;
};

// What a reader of pictures would rather have; a picture that cannot be
// decoded a row at a time (an interlaced PNG, other formats) comes
// interleaved all the same.
enum class Layout { Interleaved, PlanesIfCheap };

// A named picture that can be read only once, as it comes (a named pipe, a
// device): it is not opened before its turn, for its size or to decode it
// ahead, or its producer would have to send it twice.
bool readableOnce(const std::string& path);

// Reads only as much of a PNG, PPM or PGM file as its size needs. The
// format is recognised by content, not by name. Other formats tell their
// size only to a decoder, and a picture readable once is not opened here:
// WhenDecoded, and the size is not read.
enum class SizeRead { Known, WhenDecoded, Failed };
SizeRead readImageSize(const std::string& path, int& width, int& height, std::string& error);
// Reads a whole PNG, PPM or PGM picture; palettes, grey and 16-bit samples
// are turned into 8-bit RGB and an alpha channel is dropped.
bool readImage(const std::string& path, Image& image, std::string& error,
               Layout layout = Layout::Interleaved);

enum class NextPicture { Read, End, Failed };
// Reads the picture that starts where `in` stands and leaves `in` right
// after it, so that pictures sent back to back down a pipe (PNG, PPM or
// PGM, even mixed) come out one by one. End: nothing but whitespace was
// left.
NextPicture readNextPicture(FILE* in, Image& image, std::string& error);

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_IMAGE_IO_H
