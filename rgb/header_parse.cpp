// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Judging a header that lies in memory: programs that look for frames in
// damaged files try it at many offsets, so it reads nothing, prints nothing
// and allocates nothing.
#include <cstring>

#include "rgb/frames.h"
#include "rgb/header.h"

static_assert(RGB_HEADER_BYTES == rgb::kHeaderSize, "the public header size is the stream's");

extern "C" {

int rgb_header_parse(const void* bytes, size_t size, rgb_frame_info* info,
                     uint64_t* stream_bytes) {
  if (!bytes || !info) return RGB_EINVAL;
  if (size < rgb::kHeaderSize) return RGB_ESHORTHEADER;
  // A search tries every offset of a damaged stretch, nearly all of which
  // fail the first check, so that check costs no copy.
  const auto* raw = static_cast<const unsigned char*>(bytes);
  if ((raw[0] << 8 | raw[1]) != rgb::kMagic) return RGB_EMAGIC;
  RGBHeader header;
  std::memcpy(&header, bytes, rgb::kHeaderSize);
  const int status = rgb::decodeHeader(&header);
  if (status != RGB_OK) return status;
  const rgb::Shape shape = rgb::shapeOf(header);
  info->width = shape.width;
  info->height = shape.height;
  info->planes = shape.planes;
  info->stamp = header.TIMESTAMP;
  info->index = 0;
  if (stream_bytes) *stream_bytes = shape.streamFrameBytes();
  return RGB_OK;
}

}  // extern "C"
