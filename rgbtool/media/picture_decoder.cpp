// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/media/picture_decoder.h"

#include "rgbtool/media/ffmpeg_handles.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdint>
#include <memory>

#include "rgbtool/pictures/image_io.h"
#include "toolkit/frame.h"

namespace rgbtool {
namespace {

constexpr uint32_t kMaxWide = 65535;
constexpr uint32_t kMaxNarrow = 255;
constexpr int kEightBits = 8;
constexpr const char* kUnknown =
    "not a picture rgbtool reads (PNG, PPM, PGM, SGI, TIFF, JPEG and others FFmpeg decodes)";


// FFmpeg's reason, and what it means for a picture.
std::string decodeError(const AVCodecContext* codec, int status) {
  const std::string name = codec->codec->name;
  if (status == AVERROR_INVALIDDATA) return name + ": damaged, or not a valid " + name + " picture";
  if (status == AVERROR_EOF) return name + ": no picture in it";
  return name + ": " + avError(status);
}



// Opens the picture, finds its one video stream and a decoder for it.
bool openPicture(const std::string& path, InputHandle& format,
                 CodecHandle& codec, int& streamIndex,
                 std::string& error) {
  AVFormatContext* raw = nullptr;
  // Through the file protocol only: a picture's name is never a URL.
  const std::string url = "file:" + path;
  int status = avformat_open_input(&raw, url.c_str(), nullptr, nullptr);
  if (status < 0) {
    error = status == AVERROR_INVALIDDATA ? kUnknown : "cannot open: " + avError(status);
    return false;
  }
  format.reset(raw);
  const AVCodec* decoder = nullptr;
  streamIndex = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (streamIndex < 0 || !decoder) {
    error = kUnknown;
    return false;
  }
  const AVCodecParameters* parameters = raw->streams[streamIndex]->codecpar;
  if (parameters->width > static_cast<int>(kMaxSide) ||
      parameters->height > static_cast<int>(kMaxSide)) {
    error = "picture is " + std::to_string(parameters->width) + " x " +
            std::to_string(parameters->height) + "; a frame holds at most " +
            std::to_string(kMaxSide) + " x " + std::to_string(kMaxSide);
    return false;
  }
  codec.reset(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0) {
    error = "out of memory";
    return false;
  }
  status = avcodec_open2(codec.get(), decoder, nullptr);
  if (status < 0) {
    error = std::string(decoder->name) + ": " + avError(status);
    return false;
  }
  return true;
}

// The first picture the decoder gives.
bool decodeFirst(AVFormatContext* format, AVCodecContext* codec, int streamIndex, AVFrame* frame,
                 std::string& error) {
  PacketHandle packet(av_packet_alloc());
  if (!packet) {
    error = "out of memory";
    return false;
  }
  int status = 0;
  while ((status = av_read_frame(format, packet.get())) >= 0) {
    const bool ours = packet->stream_index == streamIndex;
    if (ours) status = avcodec_send_packet(codec, packet.get());
    av_packet_unref(packet.get());
    if (ours && status < 0) break;
    if (ours && avcodec_receive_frame(codec, frame) == 0) return true;
  }
  if (status == AVERROR_EOF) {
    avcodec_send_packet(codec, nullptr);
    if (avcodec_receive_frame(codec, frame) == 0) return true;
  }
  error = decodeError(codec, status);
  return false;
}

bool wideSamples(AVPixelFormat format) {
  const AVPixFmtDescriptor* description = av_pix_fmt_desc_get(format);
  return description && description->comp[0].depth > kEightBits;
}

// Rounds to the nearest 8-bit value, as import does with 16-bit PNG.
unsigned char narrow(uint16_t sample) {
  return static_cast<unsigned char>((sample * kMaxNarrow + kMaxWide / 2) / kMaxWide);
}

bool toRgb(const AVFrame* frame, DecodedPicture& picture, std::string& error) {
  const auto source = static_cast<AVPixelFormat>(frame->format);
  const bool wide = wideSamples(source);
  // Samples wider than 8 bits are widened to 16 and rounded here: the
  // scaler would cut them.
  const AVPixelFormat target = wide ? AV_PIX_FMT_RGB48 : AV_PIX_FMT_RGB24;
  ScalerHandle scaler(sws_getContext(
      frame->width, frame->height, source, frame->width, frame->height, target,
      SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_BITEXACT, nullptr, nullptr, nullptr));
  if (!scaler) {
    error = std::string("cannot convert ") + (av_get_pix_fmt_name(source) ? av_get_pix_fmt_name(source) : "?") +
            " pixels to RGB";
    return false;
  }
  const std::size_t samples =
      static_cast<std::size_t>(frame->width) * static_cast<std::size_t>(frame->height) * toolkit::kChannels;
  std::vector<uint16_t> wideRows(wide ? samples : 0);
  picture.rgb.resize(samples);
  uint8_t* planes[1] = {wide ? reinterpret_cast<uint8_t*>(wideRows.data()) : picture.rgb.data()};
  const int rowBytes = frame->width * static_cast<int>(toolkit::kChannels) * (wide ? 2 : 1);
  const int strides[1] = {rowBytes};
  if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) !=
      frame->height) {
    error = "cannot convert the pixels to RGB";
    return false;
  }
  for (std::size_t i = 0; i < wideRows.size(); ++i) picture.rgb[i] = narrow(wideRows[i]);
  picture.width = frame->width;
  picture.height = frame->height;
  return true;
}

}  // namespace

bool decodePicture(const std::string& path, DecodedPicture& picture, std::string& error) {
  InputHandle format;
  CodecHandle codec;
  int streamIndex = -1;
  if (!openPicture(path, format, codec, streamIndex, error)) return false;
  FrameHandle frame(av_frame_alloc());
  if (!frame) {
    error = "out of memory";
    return false;
  }
  return decodeFirst(format.get(), codec.get(), streamIndex, frame.get(), error) &&
         toRgb(frame.get(), picture, error);
}

}  // namespace rgbtool
