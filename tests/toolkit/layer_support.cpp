// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/toolkit/layer_support.h"

#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace layertest {

Bytes pixels(int frames, int width, int height, unsigned seed) {
  return rgbtest::patternImage(frames, width, height, seed);
}

Bytes stream(int width, int height, const std::vector<int32_t>& stamps, unsigned seed) {
  const int frames = static_cast<int>(stamps.size());
  return rgbtest::streamBytes(pixels(frames, width, height, seed), frames, width, height, stamps);
}

std::set<std::string> namesIn(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

namespace {

long statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  throw std::runtime_error("no " + field + " in /proc/self/status");
}

}  // namespace

long peakKiB() { return statusKiB("VmHWM:"); }

long resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return statusKiB("VmRSS:");
}

Handshake::Handshake() {
  if (pipe(fds_) != 0) throw std::runtime_error("pipe failed");
}

Handshake::~Handshake() {
  close(fds_[0]);
  close(fds_[1]);
}

void Handshake::signal() {
  const char byte = 1;
  if (write(fds_[1], &byte, 1) != 1) throw std::runtime_error("handshake write failed");
}

bool Handshake::await(int ms) {
  pollfd ready{fds_[0], POLLIN, 0};
  char byte = 0;
  return poll(&ready, 1, ms) == 1 && read(fds_[0], &byte, 1) == 1;
}

}  // namespace layertest
