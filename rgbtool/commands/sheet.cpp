// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool sheet: a contact sheet of a stream's frames, each with its number
// and stamp underneath.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/commands/registry.h"
#include "rgbtool/pictures/image_io.h"
#include "rgbtool/pictures/raster.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/frame_source.h"
#include "toolkit/output.h"

namespace rgbtool {
namespace {

struct Options {
  std::string file;
  std::string out;
  int every = 1;
  int columns = 8;
  int tileWidth = 0;  // 0: the frame's width, at most 320
  bool overwrite = false;
};

constexpr const char* kFooter = R"(Examples:
  $ rgbtool sheet recording.rgb sheet.png
  $ rgbtool sheet --every 4 --columns 4 --tile-width 160 recording.rgb sheet.png

Exit status:
  0   the sheet was written
  1   the stream cannot be read or is damaged, the tiles do not fit a picture, or
      the sheet cannot be written (an existing OUT without -y, the input itself)
  2   a usage error)";

constexpr Colour kBackground{32, 32, 32};
constexpr Colour kCaption{230, 230, 230};
constexpr int kLargestSide = 65535;
// Layout: tiles kSheetGap apart and from the edges, each caption starting
// kSheetCaptionTop below its tile in a strip kSheetCaptionHeight high.
constexpr int kSheetTileWidth = 320;  // unless --tile-width; smaller frames keep theirs
constexpr int kSheetGap = 8;
constexpr int kSheetCaptionTop = 4;
constexpr int kSheetCaptionHeight = kSheetCaptionTop + kGlyphHeight + 4;

struct Tile {
  std::vector<unsigned char> rgb;  // top row first
  std::string caption;
};

// Each tile pixel is the mean of the frame pixels its area covers (or the
// nearest one when enlarging), so a solid frame stays exactly its colour.
std::vector<unsigned char> shrink(const unsigned char* rgb, int width, int height,
                                  int tileWidth, int tileHeight) {
  std::vector<unsigned char> out(static_cast<std::size_t>(tileWidth) *
                                 static_cast<std::size_t>(tileHeight) * 3);
  for (int ty = 0; ty < tileHeight; ++ty) {
    const int y0 = static_cast<int>(static_cast<int64_t>(ty) * height / tileHeight);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(ty + 1) * height / tileHeight));
    for (int tx = 0; tx < tileWidth; ++tx) {
      const int x0 = static_cast<int>(static_cast<int64_t>(tx) * width / tileWidth);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(tx + 1) * width / tileWidth));
      uint64_t sum[3] = {0, 0, 0};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int c = 0; c < 3; ++c)
            sum[c] += rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) * 3 + static_cast<std::size_t>(c)];
      const auto count = static_cast<uint64_t>(y1 - y0) * static_cast<uint64_t>(x1 - x0);
      for (int c = 0; c < 3; ++c)
        out[(static_cast<std::size_t>(ty) * static_cast<std::size_t>(tileWidth) +
             static_cast<std::size_t>(tx)) * 3 + static_cast<std::size_t>(c)] =
            static_cast<unsigned char>((sum[c] + count / 2) / count);
    }
  }
  return out;
}

// A tile row that cannot fit a picture is refused before any frame is read.
bool tileFits(const std::string& out, int64_t tileWidth, int64_t rowHeight) {
  if (2 * kSheetGap + tileWidth > kLargestSide) {
    report(out + ": tiles of " + std::to_string(tileWidth) +
           " pixels do not fit a picture: use a smaller --tile-width");
    return false;
  }
  if (kSheetGap + rowHeight > kLargestSide) {
    report(out + ": tiles of " + std::to_string(tileWidth) + " pixels would be " +
           std::to_string(rowHeight - kSheetCaptionHeight - kSheetGap) +
           " pixels high, more than a picture holds: use a smaller --tile-width");
    return false;
  }
  return true;
}

int run(const Options& options) {
  if (options.tileWidth > 0 && !tileFits(options.out, options.tileWidth, 0))
    return kExitFailure;
  toolkit::FrameSource source(RGB_TOP_ROW_FIRST);
  const auto failed = [&source, &options] {
    report(options.file + ": " + source.error());
    return kExitFailure;
  };
  if (!source.open(options.file)) return failed();
  toolkit::OutputRules rules;
  rules.overwrite = options.overwrite;
  rules.inputs = {options.file};
  toolkit::Output out;
  if (!out.open(options.out, rules)) {
    report(options.out + ": " + out.error());
    return kExitFailure;
  }
  rgb_frame_info first{};
  const toolkit::FrameSource::Read peeked = source.peek(first);
  if (peeked == toolkit::FrameSource::Read::End) {
    report(options.file + ": no whole frame");
    return kExitFailure;
  }
  if (peeked != toolkit::FrameSource::Read::Frame) return failed();
  const int width = first.width;
  const int height = first.height;
  if (width == 0 || height == 0) {
    report(options.file + ": frames of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels have nothing to show");
    return kExitFailure;
  }
  const int tileWidth = options.tileWidth > 0 ? options.tileWidth : std::min(width, kSheetTileWidth);
  // In 64 bits: a tall frame on a wide tile can exceed what an int holds.
  const int64_t scaledHeight = (static_cast<int64_t>(height) * tileWidth + width / 2) / width;
  const int64_t tileRowHeight = std::max<int64_t>(1, scaledHeight) + kSheetCaptionHeight + kSheetGap;
  if (!tileFits(options.out, tileWidth, tileRowHeight)) return kExitFailure;
  const int rowHeight = static_cast<int>(tileRowHeight);
  const int tileHeight = rowHeight - kSheetCaptionHeight - kSheetGap;
  const int64_t maxRows = (kLargestSide - kSheetGap) / rowHeight;
  const int64_t maxTiles = maxRows * options.columns;

  std::vector<Tile> tiles;
  toolkit::Frame frame;
  for (int64_t index = 0;; index += options.every) {
    const toolkit::FrameSource::Read positioned = source.seek(index);
    if (positioned == toolkit::FrameSource::Read::Failed) return failed();
    const toolkit::FrameSource::Read status =
        positioned == toolkit::FrameSource::Read::End ? positioned : source.next(frame);
    if (status == toolkit::FrameSource::Read::End) break;
    if (status != toolkit::FrameSource::Read::Frame) return failed();
    if (static_cast<int64_t>(tiles.size()) == maxTiles) {
      report(options.out + ": more than " + std::to_string(maxTiles) +
             " tiles would not fit a picture: use --every, --columns or --tile-width");
      return kExitFailure;
    }
    tiles.push_back({shrink(frame.pixels(), width, height, tileWidth, tileHeight),
                     "#" + std::to_string(index) + "  " + std::to_string(frame.stamp()) + " ms"});
  }

  int cellWidth = tileWidth;
  for (const Tile& tile : tiles) cellWidth = std::max(cellWidth, textWidth(tile.caption));
  const int columns = std::min(options.columns, static_cast<int>(tiles.size()));
  const int rows = (static_cast<int>(tiles.size()) + columns - 1) / columns;
  const int64_t sheetWidth = kSheetGap + static_cast<int64_t>(columns) * (cellWidth + kSheetGap);
  const int64_t sheetHeight = kSheetGap + static_cast<int64_t>(rows) * rowHeight;
  if (sheetWidth > kLargestSide) {
    report(options.out + ": " + std::to_string(sheetWidth) +
           " pixels wide is too wide: use fewer --columns or a smaller --tile-width");
    return kExitFailure;
  }

  Raster sheet(static_cast<int>(sheetWidth), static_cast<int>(sheetHeight), kBackground);
  const auto tileRowBytes = static_cast<std::size_t>(tileWidth) * 3;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const int column = static_cast<int>(i) % columns;
    const int row = static_cast<int>(i) / columns;
    const int x = kSheetGap + column * (cellWidth + kSheetGap);
    const int y = kSheetGap + row * rowHeight;
    for (int ty = 0; ty < tileHeight; ++ty)
      std::copy_n(&tiles[i].rgb[static_cast<std::size_t>(ty) * tileRowBytes], tileRowBytes,
                  sheet.row(y + ty) + static_cast<std::size_t>(x) * 3);
    sheet.text(x, y + tileHeight + kSheetCaptionTop, tiles[i].caption, kCaption);
  }
  const std::vector<unsigned char> picture = sheet.frameOrder();
  std::string error;
  if (!writeImageTo(out, ImageFormat::Png, picture.data(), sheet.width(), sheet.height(),
                    error)) {
    report(options.out + ": " + error);
    return kExitFailure;
  }
  return kExitOk;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_option("--every", options->every, "Every Nth frame from frame 0 (default 1)")
      ->check(CLI::PositiveNumber);
  command.add_option("--columns", options->columns, "Tiles per row (default 8)")
      ->check(CLI::Range(1, 1000));
  command
      .add_option("--tile-width", options->tileWidth,
                  "Tile width in pixels (default: the frame's, at most 320)")
      ->check(CLI::Range(1, 65535));
  command.add_flag("-y,--overwrite", options->overwrite, "Replace an existing OUT");
  command.add_option("FILE", options->file, "Frame stream (- reads standard input)")
      ->required();
  command.add_option("OUT", options->out, "PNG picture to write")->required();
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command sheetCommand() {
  return {"sheet", "A PNG contact sheet of frames with their number and stamp under each",
          declare};
}

}  // namespace commands
}  // namespace rgbtool
