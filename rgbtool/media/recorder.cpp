// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/media/recorder.h"

#include "rgbtool/media/ffmpeg_handles.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/dict.h>
#include <libavutil/time.h>
}

#include <signal.h>

#include <cstdio>
#include <vector>

#include "rgb/rgb.h"
#include "toolkit/frame.h"
#include "toolkit/signals.h"
#include "toolkit/stamps.h"
#include "toolkit/stream_append.h"

namespace rgbtool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr AVRational kMillisecond{1, 1000};

void say(const std::string& text) { std::fprintf(stderr, "rgbtool: %s\n", text.c_str()); }

// A blocking read (a camera, a screen) gives up when a stop signal asks the
// recording to finish.
int interrupted(void*) { return toolkit::signals::finishRequested() ? 1 : 0; }

struct Capture {
  InputHandle input;
  CodecHandle codec;
  int stream = -1;
};

bool openCapture(const RecordOptions& options, Capture& capture) {
  avdevice_register_all();
  const AVInputFormat* format = nullptr;
  if (!options.format.empty() && !(format = av_find_input_format(options.format.c_str()))) {
    say("unknown input format '" + options.format + "' (see ffmpeg -formats)");
    return false;
  }
  AVDictionary* settings = nullptr;
  if (!options.size.empty()) av_dict_set(&settings, "video_size", options.size.c_str(), 0);
  if (!options.rate.empty()) av_dict_set(&settings, "framerate", options.rate.c_str(), 0);
  for (const std::string& setting : options.inputOptions) {
    const std::size_t equals = setting.find('=');
    av_dict_set(&settings, setting.substr(0, equals).c_str(),
                equals == std::string::npos ? "" : setting.c_str() + equals + 1, 0);
  }
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) {
    say("out of memory");
    return false;
  }
  raw->interrupt_callback.callback = interrupted;
  int status = avformat_open_input(&raw, options.input.c_str(), format, &settings);
  if (status >= 0 && av_dict_count(settings) > 0) {
    say(std::string("the input does not know the option ") + av_dict_get(settings, "", nullptr, AV_DICT_IGNORE_SUFFIX)->key);
    status = AVERROR(EINVAL);
    avformat_close_input(&raw);
    av_dict_free(&settings);
    return false;
  }
  av_dict_free(&settings);
  if (status < 0) {
    say(options.input + ": cannot open: " + avError(status));
    return false;
  }
  capture.input.reset(raw);
  const AVCodec* decoder = nullptr;
  if (avformat_find_stream_info(raw, nullptr) < 0 ||
      (capture.stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0)) < 0 ||
      !decoder) {
    say(options.input + ": has no video");
    return false;
  }
  capture.codec.reset(avcodec_alloc_context3(decoder));
  if (!capture.codec ||
      avcodec_parameters_to_context(capture.codec.get(), raw->streams[capture.stream]->codecpar) < 0 ||
      (status = avcodec_open2(capture.codec.get(), decoder, nullptr)) < 0) {
    say(options.input + ": cannot decode its video (" + decoder->name + ")");
    return false;
  }
  return true;
}

// Turns decoded frames into RGB rows, top row first, and appends them.
class Recording {
 public:
  Recording(const RecordOptions& options, AVRational timeBase)
      : options_(options), timeBase_(timeBase) {}

  // false on a failure, already reported; `done` when a limit is reached.
  bool take(const AVFrame* frame, bool& done) {
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = frame->pts;
    if (frames_ == 0) firstPts_ = pts;
    const int64_t sinceFirst = pts == AV_NOPTS_VALUE || firstPts_ == AV_NOPTS_VALUE
                                   ? elapsedMs()
                                   : av_rescale_q(pts - firstPts_, timeBase_, kMillisecond);
    if (options_.durationMs >= 0 && sinceFirst >= options_.durationMs) {
      done = true;
      return true;
    }
    if (!convert(frame)) return false;
    if (frames_ == 0 && !open(frame->width, frame->height)) return false;
    const int32_t stamp = toolkit::stampOnCycle(firstStamp_ + sinceFirst);
    if (!appender_.append(rgb_.data(), stamp, RGB_TOP_ROW_FIRST)) {
      say(options_.out + ": " + appender_.error());
      return false;
    }
    ++frames_;
    done = options_.frames >= 0 && frames_ >= options_.frames;
    return true;
  }

  bool finish() {
    if (finished_) return false;
    finished_ = true;
    if (frames_ == 0) {
      say(options_.input + ": no frame captured; nothing written");
      return false;
    }
    if (!appender_.commit()) {
      say(options_.out + ": " + appender_.error());
      return false;
    }
    say(options_.out + ": " + std::to_string(frames_) + " frame" + (frames_ == 1 ? "" : "s") +
        " recorded");
    return true;
  }

  void start() {
    firstStamp_ = options_.firstStamp >= 0 ? options_.firstStamp : get_time();
    started_ = av_gettime_relative();
  }

 private:
  int64_t elapsedMs() const { return (av_gettime_relative() - started_) / 1000; }

  bool open(int width, int height) {
    if (!appender_.open(options_.out, width, height)) {
      say(options_.out + ": " + appender_.error());
      return false;
    }
    return true;
  }

  bool convert(const AVFrame* frame) {
    if (frames_ > 0 && (frame->width != width_ || frame->height != height_)) {
      say(options_.input + ": the picture size changed from " + std::to_string(width_) + " x " +
          std::to_string(height_) + " to " + std::to_string(frame->width) + " x " +
          std::to_string(frame->height) + "; a stream holds one size");
      return false;
    }
    if (frame->width > 65535 || frame->height > 65535) {
      say(options_.input + ": pictures of " + std::to_string(frame->width) + " x " +
          std::to_string(frame->height) + " are larger than a frame can be");
      return false;
    }
    width_ = frame->width;
    height_ = frame->height;
    scaler_.reset(sws_getCachedContext(scaler_.release(), width_, height_,
                                       static_cast<AVPixelFormat>(frame->format), width_, height_,
                                       AV_PIX_FMT_RGB24,
                                       SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                       nullptr, nullptr));
    if (!scaler_) {
      say(options_.input + ": cannot convert its pixels to RGB");
      return false;
    }
    const int rowBytes = width_ * static_cast<int>(toolkit::kChannels);
    rgb_.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height_));
    uint8_t* planes[1] = {rgb_.data()};
    const int strides[1] = {rowBytes};
    return sws_scale(scaler_.get(), frame->data, frame->linesize, 0, height_, planes, strides) ==
           height_;
  }

  const RecordOptions& options_;
  AVRational timeBase_;
  toolkit::StreamAppender appender_;
  ScalerHandle scaler_;
  std::vector<unsigned char> rgb_;
  int width_ = 0;
  int height_ = 0;
  int64_t frames_ = 0;
  int64_t firstPts_ = AV_NOPTS_VALUE;
  int64_t firstStamp_ = 0;
  int64_t started_ = 0;
  bool finished_ = false;
};

// Decodes what the packet holds; false on a failure.
bool drain(AVCodecContext* codec, AVFrame* frame, Recording& recording, bool& done) {
  while (!done) {
    const int status = avcodec_receive_frame(codec, frame);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
    if (status < 0) {
      say("cannot decode a frame: " + avError(status));
      return false;
    }
    const bool taken = recording.take(frame, done);
    av_frame_unref(frame);
    if (!taken) return false;
  }
  return true;
}

}  // namespace

int runRecord(const RecordOptions& options) {
  toolkit::signals::install();
  toolkit::signals::finishOn({SIGINT, SIGTERM});
  av_log_set_level(AV_LOG_ERROR);
  Capture capture;
  if (!openCapture(options, capture)) return kExitFailure;
  Recording recording(options, capture.input->streams[capture.stream]->time_base);
  recording.start();
  FrameHandle frame(av_frame_alloc());
  PacketHandle packet(av_packet_alloc());
  if (!frame || !packet) {
    say("out of memory");
    return kExitFailure;
  }
  bool done = false;
  while (!done && !toolkit::signals::finishRequested()) {
    const int status = av_read_frame(capture.input.get(), packet.get());
    if (status == AVERROR_EOF || status == AVERROR_EXIT) break;
    if (status == AVERROR(EAGAIN)) continue;
    if (status < 0) {
      say(options.input + ": " + avError(status) + "; the frames so far are kept");
      break;
    }
    const bool ours = packet->stream_index == capture.stream;
    const int sent = ours ? avcodec_send_packet(capture.codec.get(), packet.get()) : 0;
    av_packet_unref(packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) continue;
    if (ours && !drain(capture.codec.get(), frame.get(), recording, done)) {
      // What was captured before the failure is kept: it cannot be had again.
      recording.finish();
      return kExitFailure;
    }
  }
  bool drained = true;
  if (!done && !toolkit::signals::finishRequested()) {
    avcodec_send_packet(capture.codec.get(), nullptr);
    drained = drain(capture.codec.get(), frame.get(), recording, done);
  }
  return recording.finish() && drained ? kExitOk : kExitFailure;
}

}  // namespace rgbtool
