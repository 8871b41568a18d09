// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The pictures an import takes, one after another: named picture files,
// and, for "-", every picture standard input carries (what `export --all -`
// or a tool writing pictures down a pipe sends), read as they arrive so
// that only one picture is held at a time. Named files are decoded ahead on
// a few threads, as many pictures at a time as there are threads, and
// handed out in order; a named pipe is opened once, in its turn.
#ifndef RGBTOOL_PICTURES_PICTURE_SEQUENCE_H
#define RGBTOOL_PICTURES_PICTURE_SEQUENCE_H

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/pictures/image_io.h"
#include "rgbtool/pictures/worker_pool.h"

namespace rgbtool {

class PictureSequence {
 public:
  // threads: how many named files are decoded at a time, on threads of
  // their own (0: one at a time, in the calling thread).
  explicit PictureSequence(std::vector<std::string> names,
                           unsigned threads = WorkerPool::suitableThreads());
  ~PictureSequence();
  PictureSequence(const PictureSequence&) = delete;
  PictureSequence& operator=(const PictureSequence&) = delete;

  // The size every picture must have, from the first one; the other named
  // files are checked against it by their headers alone, so that a misfit
  // is found before anything is written. A format whose size only its
  // decoder knows (SGI, TIFF, JPEG...) is checked as it is decoded, by the
  // caller, rather than decoded twice, and so is a picture that can be read
  // only once (a named pipe); when it comes first, or the first
  // picture is on standard input, that picture is read whole here and kept
  // for next(). The message names the picture at fault.
  bool commonSize(int& width, int& height, std::string& error);

  // The layout next() should give pictures in where that is cheap; set it
  // before the first call of commonSize() or next().
  void preferLayout(Layout layout) { layout_ = layout; }

  // The next picture; false at the end or on a failure (then error() is
  // not empty and names the picture).
  bool next(Image& image);
  const std::string& error() const { return error_; }
  // The name of the picture next() gave last ("-" for standard input) and
  // its place among the pictures of standard input.
  const std::string& lastName() const { return names_[lastAt_]; }
  std::size_t lastFromInput() const { return fromInput_ - 1; }
  // Pictures given by name, with standard input counted once: a total for
  // progress when standard input is not among them, else 0 (unknown).
  std::size_t knownTotal() const;

 private:
  bool nextFromStandardInput(Image& image);
  bool nextNamed(Image& image);
  bool decodeFirst(const std::string& name, int& width, int& height, std::string& error);
  void decodeAhead();
  std::string label() const;

  // A named file being decoded, or decoded, ahead of its turn.
  struct Ahead {
    Image image;
    std::string error;
    bool read = false;
    bool queued = false;  // on the pool, under `ticket`
    WorkerPool::Ticket ticket = 0;
  };

  std::vector<std::string> names_;
  std::size_t at_ = 0;          // the name being read
  std::size_t lastAt_ = 0;      // the name of the picture given last
  std::size_t fromInput_ = 0;   // pictures read so far from standard input
  bool inputEnded_ = false;
  bool havePeeked_ = false;     // `peeked_` is the next picture of standard input
  Image peeked_;
  std::string error_;
  Image spare_;                 // a picture given out before, for its buffer
  Layout layout_ = Layout::Interleaved;
  unsigned window_;             // named files decoded at a time
  std::size_t aheadAt_ = 0;     // the name the next decode ahead takes
  std::deque<std::unique_ptr<Ahead>> ahead_;  // for names at_, at_ + 1...
  std::unique_ptr<WorkerPool> pool_;  // made when there is work for it
};

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_PICTURE_SEQUENCE_H
