// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A small drawing surface for the pictures rgbtool makes itself (contact
// sheets, interval plots): rectangles, lines and text in a 5 x 7 bitmap font.
// Rows run top first, as in a picture; frameOrder() turns the result into
// the bottom-row-first layout that writeImage takes.
#ifndef RGBTOOL_PICTURES_RASTER_H
#define RGBTOOL_PICTURES_RASTER_H

#include <cstddef>
#include <string>
#include <vector>

namespace rgbtool {

struct Colour {
  unsigned char r = 0;
  unsigned char g = 0;
  unsigned char b = 0;
};

class Raster {
 public:
  Raster(int width, int height, Colour background);

  int width() const { return width_; }
  int height() const { return height_; }
  unsigned char* row(int y) { return &pixels_[offset(0, y)]; }

  // Everything below clips to the surface.
  void set(int x, int y, Colour c);
  void fill(int x, int y, int w, int h, Colour c);
  void line(int x0, int y0, int x1, int y1, Colour c);
  // Text with its top-left corner at (x, y), one pixel between characters.
  // Characters without a glyph leave a blank cell.
  void text(int x, int y, const std::string& s, Colour c);

  // The pixels bottom row first.
  std::vector<unsigned char> frameOrder() const;

 private:
  std::size_t offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)) *
           3;
  }

  int width_;
  int height_;
  std::vector<unsigned char> pixels_;
};

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = kGlyphWidth + 1;

// Width in pixels of s drawn with Raster::text.
int textWidth(const std::string& s);

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_RASTER_H
