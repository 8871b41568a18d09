// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/report/progress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace rgbtool {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kPercent = 100;
constexpr long kSecondsPerMinute = 60;
constexpr long kSecondsPerHour = 3600;

}  // namespace

std::string formatDuration(double seconds) {
  const long total = std::lround(seconds < 0 ? 0 : seconds);
  char text[32];
  if (total >= kSecondsPerHour) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / kSecondsPerHour,
                  total % kSecondsPerHour / kSecondsPerMinute, total % kSecondsPerMinute);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / kSecondsPerMinute,
                  total % kSecondsPerMinute);
  }
  return text;
}

Progress::Progress(std::string label, uint64_t total)
    : label_(std::move(label)),
      total_(total),
      enabled_(isatty(STDERR_FILENO) != 0),
      started_(std::chrono::steady_clock::now()) {
  if (enabled_) draw(0);
}

Progress::~Progress() {
  // Clear the bar's line so that later messages start on a clean line.
  if (drawn_) std::fputs("\r\033[K", stderr);
}

void Progress::suspend() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  drawn_ = false;
}

void Progress::update(uint64_t done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && (total_ == 0 || done < total_) && now - lastDraw_ < kRedrawEvery) return;
  draw(done);
}

void Progress::draw(uint64_t done) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const double rate = seconds > 0 && done > 0 ? static_cast<double>(done) / seconds : 0;
  std::string text = label_;
  if (total_ > 0) {
    if (done > total_) done = total_;
    const auto filled = static_cast<int>(done * kBarWidth / total_);
    const auto percent = static_cast<int>(done * kPercent / total_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    char figures[160];
    std::snprintf(figures, sizeof figures, " [%s] %3d%% %llu/%llu frames", bar.c_str(), percent,
                  static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_));
    text += figures;
  } else {
    text += " " + std::to_string(done) + " frames";
  }
  if (rate > 0) {
    char figures[64];
    std::snprintf(figures, sizeof figures, ", %.1f fps", rate);
    text += figures;
    if (total_ > 0)
      text += ", " + formatDuration(static_cast<double>(total_ - done) / rate) + " left";
  }
  std::fprintf(stderr, "\r%s\033[K", text.c_str());
  std::fflush(stderr);
  drawn_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace rgbtool
