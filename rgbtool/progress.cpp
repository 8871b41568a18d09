#include "rgbtool/progress.h"

#include <unistd.h>

#include <cstdio>

namespace rgbtool {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kPercent = 100;

}  // namespace

Progress::Progress(std::string label, uint64_t total)
    : label_(std::move(label)), total_(total), enabled_(total > 0 && isatty(STDERR_FILENO)) {
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
  if (drawn_ && done < total_ && now - lastDraw_ < kRedrawEvery) return;
  draw(done);
}

void Progress::draw(uint64_t done) {
  if (done > total_) done = total_;
  const auto filled = static_cast<int>(done * kBarWidth / total_);
  const auto percent = static_cast<int>(done * kPercent / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
  std::fflush(stderr);
  drawn_ = true;
  lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace rgbtool
