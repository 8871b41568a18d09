// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool video: a stream encoded as a video whose frame times are the
// recorded stamps, through FFmpeg's libraries.
#include "rgbtool/video/encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "rgbtool/report/diagnostics.h"
#include "toolkit/frame_source.h"
#include "toolkit/output.h"
#include "toolkit/signals.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

constexpr AVRational kMillisecond{1, 1000};
constexpr int kIoBufferBytes = 1 << 16;
// How long a video of one frame shows it.
constexpr int64_t kLoneFrameMs = 40;

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// FFmpeg writes through the output file's descriptor, so that the file is
// the temporary one that only takes OUT's name once the video is complete.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
int writeToFd(void* opaque, const uint8_t* data, int size) {
#else
int writeToFd(void* opaque, uint8_t* data, int size) {
#endif
  const int fd = *static_cast<int*>(opaque);
  int done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, static_cast<std::size_t>(size - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    done += static_cast<int>(n);
  }
  return size;
}

int64_t seekFd(void* opaque, int64_t offset, int whence) {
  const int fd = *static_cast<int*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size;
  }
  const off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

// Frames done, and of how many when the stream's length is known; drawn only
// on a terminal, at most ten times a second.
class VideoProgress {
 public:
  explicit VideoProgress(int64_t total) : total_(total), enabled_(isatty(STDERR_FILENO) != 0) {}
  ~VideoProgress() {
    if (drawn_) std::fputs("\r\033[K", stderr);
  }
  VideoProgress(const VideoProgress&) = delete;
  VideoProgress& operator=(const VideoProgress&) = delete;

  void update(int64_t done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && done != total_ && now - last_ < std::chrono::milliseconds(100)) return;
    if (total_ > 0) {
      std::fprintf(stderr, "\rencoding frame %lld of %lld (%lld%%)", static_cast<long long>(done),
                   static_cast<long long>(total_), static_cast<long long>(done * 100 / total_));
    } else {
      std::fprintf(stderr, "\rencoding frame %lld", static_cast<long long>(done));
    }
    std::fflush(stderr);
    drawn_ = true;
    last_ = now;
  }

 private:
  int64_t total_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};

// Everything FFmpeg allocates for one encode, released in one place.
struct Encoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVIOContext* io = nullptr;
  SwsContext* scaler = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;

  Encoder() = default;
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  ~Encoder() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    sws_freeContext(scaler);
    avcodec_free_context(&codec);
    if (format) avformat_free_context(format);
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }
};

const AVCodec* findEncoder(const std::string& name, std::string& error) {
  if (!name.empty()) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
      error = "no video encoder named '" + name + "' in this FFmpeg";
      return nullptr;
    }
    return codec;
  }
  if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
  if (const AVCodec* h264 = avcodec_find_encoder(AV_CODEC_ID_H264)) return h264;
  error = "this FFmpeg has no H.264 encoder: choose one with --codec";
  return nullptr;
}

bool lists(const AVPixelFormat* formats, AVPixelFormat wanted) {
  for (const AVPixelFormat* f = formats; f && *f != AV_PIX_FMT_NONE; ++f)
    if (*f == wanted) return true;
  return false;
}

// An encoder that takes RGB without loss gets it as it is; the others get
// 4:2:0, which every player shows.
AVPixelFormat choosePixelFormat(const AVCodec* codec) {
  const AVPixelFormat* formats = codec->pix_fmts;
  if (!formats) return AV_PIX_FMT_YUV420P;
  int loss = 0;
  const AVPixelFormat best = avcodec_find_best_pix_fmt_of_list(formats, AV_PIX_FMT_RGB24, 0, &loss);
  if (best != AV_PIX_FMT_NONE && loss == 0) return best;
  if (lists(formats, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
  return best != AV_PIX_FMT_NONE ? best : formats[0];
}

// Each frame's time: its place on the stream's continuous timeline, where
// a stamp that does not move forward adds no time, so the frames after a
// step back keep their own spacing. A video shows its frames in order at
// distinct times, so such a frame is shown 1 ms after the one before.
class PresentationTimes {
 public:
  int64_t place(int32_t stamp) {
    const int64_t time = timeline_.add(stamp);
    const bool later = timeline_.frames() > 1;
    // Counted as check counts stamp faults: every step that is not forward.
    if (later && timeline_.lastStep() <= 0) ++notForward_;
    const int64_t pts = later ? std::max(time, lastPts_ + 1) : time;
    lastPts_ = pts;
    return pts;
  }
  int64_t notForward() const { return notForward_; }

 private:
  toolkit::Timeline timeline_;
  int64_t lastPts_ = 0;
  int64_t notForward_ = 0;
};

class VideoRun {
 public:
  VideoRun(const VideoOptions& options) : options_(options) {}
  int run();

 private:
  bool fail(const std::string& name, const std::string& why) {
    report(name + ": " + why);
    return false;
  }
  bool openOutput();
  bool setUp();
  bool encode(AVFrame* frame);
  bool encodeFrame(const toolkit::Frame& frame);
  int64_t durationOf(int64_t pts) const;

  const VideoOptions& options_;
  toolkit::FrameSource source_{RGB_TOP_ROW_FIRST};
  toolkit::Output out_;
  const AVCodec* codec_ = nullptr;
  const AVOutputFormat* container_ = nullptr;
  int fd_ = -1;
  std::vector<unsigned char> padded_;
  PresentationTimes times_;
  Encoder enc_;
  int width_ = 0;   // of the stream
  int height_ = 0;
  int codedWidth_ = 0;  // of the video: even where the pixel format needs it
  int codedHeight_ = 0;
  std::vector<int64_t> sent_;  // the times of the frames encoded, rising
};

// A frame lasts until the next one; the last as long as the interval before
// it. Containers need the last frame's duration to count it as shown at all.
int64_t VideoRun::durationOf(int64_t pts) const {
  const auto at = std::lower_bound(sent_.begin(), sent_.end(), pts);
  if (at != sent_.end() && at + 1 != sent_.end()) return *(at + 1) - *at;
  if (sent_.size() >= 2) return sent_[sent_.size() - 1] - sent_[sent_.size() - 2];
  return kLoneFrameMs;
}

// The encoder, the container and the file, before any frame is read: a
// refusal comes at once, not after a live stream's first frame.
bool VideoRun::openOutput() {
  const std::string& outName = options_.out;
  std::string error;
  codec_ = findEncoder(options_.codec, error);
  if (!codec_) return fail(outName, error);

  // Only containers that keep each frame's own time: others (AVI, raw
  // H.264) assume a constant rate and would lose the stamps.
  container_ = av_guess_format(nullptr, outName.c_str(), nullptr);
  const std::string kind = container_ ? container_->name : "";
  if (kind != "mp4" && kind != "mov" && kind != "matroska" && kind != "webm")
    return fail(outName, "the name must end in .mp4 or .mkv (also .mov, .webm)");
  if (avformat_query_codec(container_, codec_->id, FF_COMPLIANCE_NORMAL) != 1)
    return fail(outName,
                std::string(container_->name) + " cannot hold " + codec_->name + " video");
  toolkit::OutputRules rules;
  rules.overwrite = options_.overwrite;
  rules.inputs = {options_.file};
  if (!out_.open(outName, rules)) return fail(outName, out_.error());
  fd_ = out_.fd();
  return true;
}

// The encoder for frames of width_ x height_, once the first frame's
// pixels have arrived: its buffers are as large as the frames.
bool VideoRun::setUp() {
  const std::string& outName = options_.out;
  const AVCodec* codec = codec_;
  const AVOutputFormat* container = container_;

  const AVPixelFormat pixels = choosePixelFormat(codec);
  const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(pixels);
  const int evenX = layout ? (1 << layout->log2_chroma_w) : 1;
  const int evenY = layout ? (1 << layout->log2_chroma_h) : 1;
  codedWidth_ = (width_ + evenX - 1) / evenX * evenX;
  codedHeight_ = (height_ + evenY - 1) / evenY * evenY;
  if (codedWidth_ != width_ || codedHeight_ != height_) {
    report("note: " + std::to_string(width_) + " x " + std::to_string(height_) +
           " padded to " + std::to_string(codedWidth_) + " x " + std::to_string(codedHeight_) +
           " for " + av_get_pix_fmt_name(pixels) +
           " (the added column/row repeats the last one)");
  }

  enc_.codec = avcodec_alloc_context3(codec);
  if (!enc_.codec) return fail(outName, "out of memory");
  AVCodecContext* c = enc_.codec;
  c->width = codedWidth_;
  c->height = codedHeight_;
  c->pix_fmt = pixels;
  c->time_base = kMillisecond;
  c->sample_aspect_ratio = AVRational{1, 1};
  c->thread_count = 0;
  if (layout && !(layout->flags & AV_PIX_FMT_FLAG_RGB)) {
    // What swscale produces by default.
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_range = AVCOL_RANGE_MPEG;
  }
  const bool crfKnown = c->priv_data && av_opt_find(c->priv_data, "crf", nullptr, 0, 0);
  if (crfKnown) {
    av_opt_set(c->priv_data, "crf", std::to_string(options_.crf).c_str(), 0);
  } else if (options_.crfGiven) {
    report(std::string("note: ") + codec->name + " has no --crf setting; ignored");
  }

  const bool seekable = lseek(fd_, 0, SEEK_CUR) >= 0;

  if (avformat_alloc_output_context2(&enc_.format, container, nullptr, outName.c_str()) < 0)
    return fail(outName, "out of memory");
  if (enc_.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  int status = avcodec_open2(c, codec, nullptr);
  if (status < 0)
    return fail(outName, std::string("cannot start the ") + codec->name + " encoder: " + avError(status));

  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  if (!buffer) return fail(outName, "out of memory");
  enc_.io = avio_alloc_context(buffer, kIoBufferBytes, 1, &fd_, nullptr, writeToFd,
                               seekable ? seekFd : nullptr);
  if (!enc_.io) {
    av_free(buffer);
    return fail(outName, "out of memory");
  }
  enc_.io->seekable = seekable ? AVIO_SEEKABLE_NORMAL : 0;
  enc_.format->pb = enc_.io;
  enc_.format->flags |= AVFMT_FLAG_CUSTOM_IO;

  enc_.stream = avformat_new_stream(enc_.format, nullptr);
  if (!enc_.stream) return fail(outName, "out of memory");
  enc_.stream->time_base = kMillisecond;
  status = avcodec_parameters_from_context(enc_.stream->codecpar, c);
  if (status < 0) return fail(outName, avError(status));

  AVDictionary* muxOptions = nullptr;
  // A pipe cannot be rewound to write the index at the start.
  if (!seekable && std::strcmp(container->name, "mp4") == 0)
    av_dict_set(&muxOptions, "movflags", "frag_keyframe+empty_moov", 0);
  status = avformat_write_header(enc_.format, &muxOptions);
  av_dict_free(&muxOptions);
  if (status < 0) return fail(outName, "cannot write: " + avError(status));

  enc_.frame = av_frame_alloc();
  enc_.packet = av_packet_alloc();
  if (!enc_.frame || !enc_.packet) return fail(outName, "out of memory");
  enc_.frame->format = c->pix_fmt;
  enc_.frame->width = c->width;
  enc_.frame->height = c->height;
  if (av_frame_get_buffer(enc_.frame, 0) < 0) return fail(outName, "out of memory");

  enc_.scaler = sws_getContext(codedWidth_, codedHeight_, AV_PIX_FMT_RGB24, codedWidth_,
                               codedHeight_, c->pix_fmt,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                               nullptr, nullptr);
  if (!enc_.scaler) return fail(outName, "cannot convert RGB to " + std::string(av_get_pix_fmt_name(c->pix_fmt)));
  return true;
}

// Sends a frame (null: the end) and writes whatever packets come out.
bool VideoRun::encode(AVFrame* frame) {
  int status = avcodec_send_frame(enc_.codec, frame);
  if (status < 0) return fail(options_.out, "cannot encode: " + avError(status));
  for (;;) {
    status = avcodec_receive_packet(enc_.codec, enc_.packet);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) break;
    if (status < 0) return fail(options_.out, "cannot encode: " + avError(status));
    if (enc_.packet->duration <= 0) enc_.packet->duration = durationOf(enc_.packet->pts);
    av_packet_rescale_ts(enc_.packet, enc_.codec->time_base, enc_.stream->time_base);
    enc_.packet->stream_index = enc_.stream->index;
    status = av_interleaved_write_frame(enc_.format, enc_.packet);
    if (status < 0) return fail(options_.out, "cannot write: " + avError(status));
  }
  // What has been encoded reaches the file now, not a buffer later.
  avio_flush(enc_.io);
  if (enc_.io->error < 0) return fail(options_.out, "cannot write: " + avError(enc_.io->error));
  return true;
}

// Pads the frame to the coded size where the pixel format needs even
// sides, converts it and encodes it at its presentation time.
bool VideoRun::encodeFrame(const toolkit::Frame& frame) {
  const auto rowBytes = static_cast<std::size_t>(width_) * toolkit::kChannels;
  const auto codedRowBytes = static_cast<std::size_t>(codedWidth_) * toolkit::kChannels;
  const unsigned char* rgb = frame.pixels();
  if (codedWidth_ != width_ || codedHeight_ != height_) {
    padded_.resize(codedRowBytes * static_cast<std::size_t>(codedHeight_));
    for (int y = 0; y < codedHeight_; ++y) {
      const unsigned char* from =
          rgb + static_cast<std::size_t>(y < height_ ? y : height_ - 1) * rowBytes;
      unsigned char* to = &padded_[static_cast<std::size_t>(y) * codedRowBytes];
      std::memcpy(to, from, rowBytes);
      for (std::size_t x = rowBytes; x < codedRowBytes; x += toolkit::kChannels)
        std::memcpy(to + x, from + rowBytes - toolkit::kChannels, toolkit::kChannels);
    }
    rgb = padded_.data();
  }
  if (av_frame_make_writable(enc_.frame) < 0) return fail(options_.out, "out of memory");
  const uint8_t* planes[1] = {rgb};
  const int strides[1] = {static_cast<int>(codedRowBytes)};
  sws_scale(enc_.scaler, planes, strides, 0, codedHeight_, enc_.frame->data,
            enc_.frame->linesize);
  enc_.frame->pts = times_.place(frame.stamp());
  sent_.push_back(enc_.frame->pts);
  return encode(enc_.frame);
}

int VideoRun::run() {
  av_log_set_level(AV_LOG_ERROR);
  const auto sourceFailed = [this] {
    report(options_.file + ": " + source_.error());
    return kExitFailure;
  };
  if (!source_.open(options_.file)) return sourceFailed();
  if (!openOutput()) return kExitFailure;
  int64_t total = -1;
  uint64_t stray = 0;
  if (source_.seekable() && !source_.count(total, stray)) return sourceFailed();
  // A FIFO or a pipe may never end: Ctrl-C then finishes the video with the
  // frames so far (a second one abandons it). A file ends by itself, so
  // there Ctrl-C abandons the video at once, as for every other output.
  if (!source_.seekable()) toolkit::signals::finishOn({SIGINT});
  toolkit::Timeline timeline;

  toolkit::Frame frame;
  VideoProgress progress(total);
  int64_t done = 0;
  for (;;) {
    const toolkit::FrameSource::Read status = source_.next(frame);
    if (status == toolkit::FrameSource::Read::End && done == 0) {
      report(options_.file + ": no whole frame");
      return kExitFailure;
    }
    if (status == toolkit::FrameSource::Read::End) break;
    if (status == toolkit::FrameSource::Read::Stopped && done > 0) break;
    if (status == toolkit::FrameSource::Read::Stopped) {
      report(options_.file + ": stopped before a whole frame arrived");
      return kExitFailure;
    }
    if (status != toolkit::FrameSource::Read::Frame) return sourceFailed();
    if (options_.durationMs >= 0 && timeline.add(frame.stamp()) >= options_.durationMs) break;
    if (done == 0) {
      width_ = frame.width();
      height_ = frame.height();
      if (width_ == 0 || height_ == 0) {
        report(options_.file + ": frames of " + std::to_string(width_) + " x " +
               std::to_string(height_) + " pixels cannot make a video");
        return kExitFailure;
      }
      if (!setUp()) return kExitFailure;
    }
    if (!encodeFrame(frame)) return kExitFailure;
    progress.update(++done);
    if (options_.frames >= 0 && done >= options_.frames) break;
  }
  if (!encode(nullptr)) return kExitFailure;
  const int trailer = av_write_trailer(enc_.format);
  avio_flush(enc_.io);
  if (trailer < 0 || enc_.io->error < 0) {
    report(options_.out + ": cannot write: " + avError(trailer < 0 ? trailer : enc_.io->error));
    return kExitFailure;
  }
  if (!out_.commit()) {
    report(options_.out + ": " + out_.error());
    return kExitFailure;
  }
  if (times_.notForward() > 0)
    report("note: " + options_.file + ": " + std::to_string(times_.notForward()) +
           " frame(s) stamped no later than the frame before, each shown 1 ms after it");
  return kExitOk;
}

}  // namespace

int runVideo(const VideoOptions& options) {
  VideoRun run(options);
  return run.run();
}

}  // namespace rgbtool
