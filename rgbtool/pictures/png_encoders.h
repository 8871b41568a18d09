// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames made into PNGs on a few threads and written out in the order they
// came: the frames of a stream are independent, and zlib is the slow part
// of an export. The calling thread reads each frame into a free slot, hands
// it over and writes the finished pictures, oldest first, so pictures,
// messages and a failure come in frame order, as from one thread. At most
// one slot more than threads is in use: memory stays at a few frames.
#ifndef RGBTOOL_PICTURES_PNG_ENCODERS_H
#define RGBTOOL_PICTURES_PNG_ENCODERS_H

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/pictures/worker_pool.h"
#include "toolkit/frame.h"

namespace rgbtool {

class PngEncoders {
 public:
  // Writes one finished picture (its PNG bytes, or the encoder's failure in
  // `error` when `bytes` is null) of `frame`, with the `note` given with it,
  // and says whether the run goes on.
  using Finish = std::function<bool(const std::vector<unsigned char>* bytes,
                                    const std::string& error, const toolkit::Frame& frame,
                                    const std::string& note)>;

  PngEncoders(unsigned threads, Finish finish);
  // Drops what is still in flight (a failed run).
  ~PngEncoders();
  PngEncoders(const PngEncoders&) = delete;
  PngEncoders& operator=(const PngEncoders&) = delete;

  // The frame to read the next frame into. When every slot is in use the
  // oldest picture is finished first; null when that failed.
  toolkit::Frame* frame();
  // Encodes the picture of the frame frame() gave: `picture` is its pixels
  // or another buffer of the same size (copied, as it may change before
  // the encoder gets to it). `note` comes back to `finish`.
  void encode(const unsigned char* picture, std::string note);
  // Finishes every picture in flight, in order; false at the first that
  // fails (the later ones are dropped).
  bool finishAll();

 private:
  struct Slot;
  bool finishOldest();

  Finish finish_;
  std::size_t slots_;
  std::deque<std::unique_ptr<Slot>> busy_;  // oldest first
  std::vector<std::unique_ptr<Slot>> free_;
  std::unique_ptr<Slot> filling_;  // the slot frame() gave out
  WorkerPool pool_;
};

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_PNG_ENCODERS_H
