// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// FFmpeg's objects owned by unique_ptr, released on every return.
#ifndef RGBTOOL_MEDIA_FFMPEG_HANDLES_H
#define RGBTOOL_MEDIA_FFMPEG_HANDLES_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace rgbtool {

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameCloser {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketCloser {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerCloser {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

using InputHandle = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecHandle = std::unique_ptr<AVCodecContext, CodecCloser>;
using FrameHandle = std::unique_ptr<AVFrame, FrameCloser>;
using PacketHandle = std::unique_ptr<AVPacket, PacketCloser>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerCloser>;

// FFmpeg's words for an error code.
inline std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace rgbtool

#endif  // RGBTOOL_MEDIA_FFMPEG_HANDLES_H
