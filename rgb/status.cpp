// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Status texts, the version and frame sizes of the handle API.
#include <limits>

#include "rgb/frames.h"
#include "rgb/rgb.h"

#define RGB_STRINGIFY2(x) #x
#define RGB_STRINGIFY(x) RGB_STRINGIFY2(x)

extern "C" {

const char* rgb_version(void) {
  return RGB_STRINGIFY(RGB_VERSION_MAJOR) "." RGB_STRINGIFY(RGB_VERSION_MINOR) "." RGB_STRINGIFY(
      RGB_VERSION_PATCH);
}

const char* rgb_strerror(int status) {
  switch (status) {
    case RGB_OK: return "success";
    case RGB_END: return "end of the stream";
    case RGB_EINVAL: return "invalid argument";
    case RGB_ENOMEM: return "out of memory";
    case RGB_EOPEN: return "cannot open the stream";
    case RGB_EIO: return "input/output error";
    case RGB_EMAGIC: return "wrong magic number: not an RGB stream";
    case RGB_ESTORAGE: return "compressed pictures are not supported";
    case RGB_EBPC: return "not 1 byte per pixel channel";
    case RGB_EDIMENSION: return "not a 2D picture or picture sequence";
    case RGB_EPLANES: return "not an RGB or RGBA picture";
    case RGB_ESHORTHEADER: return "the stream ends inside a frame header";
    case RGB_ETRUNCATED: return "the stream ends inside a frame";
    case RGB_ESIZECHANGE: return "a frame differs in size from the first frame";
    case RGB_ECAPACITY: return "the frame does not fit the buffer";
    case RGB_EUNSEEKABLE: return "the stream cannot seek (a pipe)";
    case RGB_ERANGE: return "frame index out of range";
    case RGB_ETOOLARGE: return "size too large";
    default: return "unknown status";
  }
}

size_t rgb_frame_bytes(const rgb_frame_info* info, int flags) {
  if (!info || info->width < 0 || info->height < 0 || info->planes < 0) return 0;
  // Sides come from 16-bit header fields, so the product cannot overflow
  // on a 64-bit size_t; on a 32-bit one a frame may not fit at all.
  const unsigned long long bytes =
      static_cast<unsigned long long>(info->width) * static_cast<unsigned long long>(info->height) *
      static_cast<unsigned long long>((flags & RGB_PLANAR) ? info->planes : 3);
  return bytes > std::numeric_limits<size_t>::max() ? 0 : static_cast<size_t>(bytes);
}

}  // extern "C"
