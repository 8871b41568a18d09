// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/media/picture_encoder.h"

#include "rgbtool/media/ffmpeg_handles.h"
#include "toolkit/frame.h"

#include <memory>

namespace rgbtool {
namespace {



AVCodecID codecFor(const std::string& format) {
  if (format == "tiff") return AV_CODEC_ID_TIFF;
  return AV_CODEC_ID_NONE;
}

}  // namespace

bool encodePicture(const std::string& format, const DecodedPicture& picture,
                   std::vector<unsigned char>& bytes, std::string& error) {
  const AVCodec* encoder = avcodec_find_encoder(codecFor(format));
  if (!encoder) {
    error = "no " + format + " encoder in this FFmpeg";
    return false;
  }
  CodecHandle codec(avcodec_alloc_context3(encoder));
  FrameHandle frame(av_frame_alloc());
  PacketHandle packet(av_packet_alloc());
  if (!codec || !frame || !packet) {
    error = "out of memory";
    return false;
  }
  codec->width = picture.width;
  codec->height = picture.height;
  codec->pix_fmt = AV_PIX_FMT_RGB24;
  codec->time_base = AVRational{1, 1};
  if (avcodec_open2(codec.get(), encoder, nullptr) < 0) {
    error = std::string("cannot start the ") + encoder->name + " encoder";
    return false;
  }
  // The frame borrows the picture's rows; the encoder only reads them.
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = picture.width;
  frame->height = picture.height;
  frame->data[0] = const_cast<uint8_t*>(picture.rgb.data());
  frame->linesize[0] = picture.width * static_cast<int>(toolkit::kChannels);
  if (avcodec_send_frame(codec.get(), frame.get()) < 0 ||
      avcodec_send_frame(codec.get(), nullptr) < 0 ||
      avcodec_receive_packet(codec.get(), packet.get()) < 0) {
    error = std::string(encoder->name) + ": cannot encode the picture";
    return false;
  }
  bytes.assign(packet->data, packet->data + packet->size);
  return true;
}

}  // namespace rgbtool
