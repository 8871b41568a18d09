// Ordinary pictures in and out: PNG through libpng, binary and plain PPM.
// Pictures are stored top row first; frames are stored bottom row first, so
// every function here flips between the two as it goes.
#ifndef RGBTOOL_IMAGE_IO_H
#define RGBTOOL_IMAGE_IO_H

#include <string>

#include "rgbtool/frame_reader.h"

namespace rgbtool {

enum class ImageFormat { Png, Ppm };

// "png" or "ppm" (also "pnm"), any case.
bool parseFormatName(const std::string& name, ImageFormat& format);
// The format named by the path's extension (.png, .ppm, .pnm).
bool formatFromPath(const std::string& path, ImageFormat& format);

// Writes an interleaved RGB frame (row 0 = bottom row) as a picture. path
// "-" writes to stdout. The picture replaces path only once it is complete
// (see OutputFile); a failure leaves what was there.
bool writeImage(const std::string& path, ImageFormat format, const unsigned char* frame,
                int width, int height, std::string& error);

// A picture read into frame order: interleaved RGB, bottom row first.
struct Image {
  Pixels pixels;
  int width = 0;
  int height = 0;
};

// Reads only as much of a PNG or PPM file as its size needs. The format is
// recognised by content, not by name.
bool readImageSize(const std::string& path, int& width, int& height, std::string& error);
// Reads a whole PNG or PPM picture; palettes, grey and 16-bit samples are
// turned into 8-bit RGB and an alpha channel is dropped.
bool readImage(const std::string& path, Image& image, std::string& error);

}  // namespace rgbtool

#endif  // RGBTOOL_IMAGE_IO_H
