// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A progress bar on stderr for long work, drawn only when stderr is a
// terminal so that logs and pipes never see it: frames done of the total,
// frames per second and the time left.
#ifndef RGBTOOL_REPORT_PROGRESS_H
#define RGBTOOL_REPORT_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <string>

namespace rgbtool {

class Progress {
 public:
  // total: frames to do; 0 when unknown (a pipe), then only the count and
  // the rate show.
  Progress(std::string label, uint64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void update(uint64_t done);
  // Clears the bar so that a line of results can go to the same terminal;
  // the next update draws it again.
  void suspend();

 private:
  void draw(uint64_t done);

  std::string label_;
  uint64_t total_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastDraw_;
};

// "0:42" or "1:02:03".
std::string formatDuration(double seconds);

}  // namespace rgbtool

#endif  // RGBTOOL_REPORT_PROGRESS_H
