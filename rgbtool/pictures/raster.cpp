// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/raster.h"

#include <algorithm>
#include <cstdlib>

namespace rgbtool {
namespace {

struct Glyph {
  char ch;
  const char* rows[kGlyphHeight];
};

// Only what captions and axis labels use: digits, a little punctuation and
// the lower-case letters of "frame", "interval", "ms", "s" and "x".
constexpr Glyph kFont[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#"}},
    {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'s', {".....", ".....", ".###.", "#....", ".###.", "....#", "####."}},
    {'t', {".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
};

const Glyph* glyphFor(char ch) {
  for (const Glyph& g : kFont)
    if (g.ch == ch) return &g;
  return nullptr;
}

}  // namespace

Raster::Raster(int width, int height, Colour background)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
  for (std::size_t i = 0; i < pixels_.size(); i += 3) {
    pixels_[i] = background.r;
    pixels_[i + 1] = background.g;
    pixels_[i + 2] = background.b;
  }
}

void Raster::set(int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  unsigned char* p = &pixels_[offset(x, y)];
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
}

void Raster::fill(int x, int y, int w, int h, Colour c) {
  const int x0 = std::max(x, 0);
  const int y0 = std::max(y, 0);
  const int x1 = std::min(x + w, width_);
  const int y1 = std::min(y + h, height_);
  for (int yy = y0; yy < y1; ++yy)
    for (int xx = x0; xx < x1; ++xx) set(xx, yy, c);
}

void Raster::line(int x0, int y0, int x1, int y1, Colour c) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    set(x0, y0, c);
    if (x0 == x1 && y0 == y1) return;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void Raster::text(int x, int y, const std::string& s, Colour c) {
  for (char ch : s) {
    if (const Glyph* g = glyphFor(ch)) {
      for (int r = 0; r < kGlyphHeight; ++r)
        for (int k = 0; k < kGlyphWidth; ++k)
          if (g->rows[r][k] == '#') set(x + k, y + r, c);
    }
    x += kGlyphAdvance;
  }
}

std::vector<unsigned char> Raster::frameOrder() const {
  std::vector<unsigned char> out(pixels_.size());
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
  for (int y = 0; y < height_; ++y)
    std::copy_n(&pixels_[offset(0, y)], rowBytes, &out[offset(0, height_ - 1 - y)]);
  return out;
}

int textWidth(const std::string& s) {
  return s.empty() ? 0 : static_cast<int>(s.size()) * kGlyphAdvance - 1;
}

}  // namespace rgbtool
