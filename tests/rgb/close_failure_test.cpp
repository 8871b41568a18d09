// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A file writer whose data all went out but whose close fails, as a network
// file system reports a refused final write-back only at close. No local
// file system does that on demand, so this executable (and only this one)
// interposes fclose and close: the library is linked into it, so its calls
// land here. Both really close, then report EIO for the one file the test
// names.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"

namespace {

struct Target {
  bool armed = false;
  dev_t device = 0;
  ino_t inode = 0;
  int failures = 0;
} target;

bool isTarget(int fd) {
  struct stat st {};
  return target.armed && fd >= 0 && fstat(fd, &st) == 0 && st.st_dev == target.device &&
         st.st_ino == target.inode;
}

template <class Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Creates the file and makes every later close of it fail.
class FailingClose {
 public:
  explicit FailingClose(const std::string& path) {
    rgbtest::writeFile(path, {});
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    target = Target{true, st.st_dev, st.st_ino, 0};
  }
  ~FailingClose() { target = Target{}; }
  FailingClose(const FailingClose&) = delete;
  FailingClose& operator=(const FailingClose&) = delete;
  int failures() const { return target.failures; }
};

int failed() {
  ++target.failures;
  errno = EIO;
  return -1;
}

}  // namespace

extern "C" int fclose(FILE* stream) {
  static const auto real = next<int (*)(FILE*)>("fclose");
  const bool fail = stream && isTarget(fileno(stream));
  const int result = real(stream);
  return fail && result == 0 ? (failed(), EOF) : result;
}

extern "C" int close(int fd) {
  static const auto real = next<int (*)(int)>("close");
  const bool fail = isTarget(fd);
  const int result = real(fd);
  return fail && result == 0 ? failed() : result;
}

TEST(CloseFailures, AFailedCloseAfterEveryByteWentOutIsAFailure) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("remote.rgb");
  const rgbtest::Bytes image = rgbtest::patternImage(3, 4, 2);
  const std::vector<int> stamps{1, 2, 3};
  const FailingClose failing(path);
  int result = -1;
  auto output = rgbtest::capture(
      [&] { result = writeRGBTimeFile(path.c_str(), image.data(), 4, 2, 3, stamps.data()); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 2.\n");
  EXPECT_EQ(output.out, "");
  EXPECT_GE(failing.failures(), 1);

  output = rgbtest::capture([&] { result = writeRGBFile(path.c_str(), image.data(), 4, 2, 2); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 1.\n");
  EXPECT_GE(failing.failures(), 2);
  // A write reported as failed leaves nothing behind.
  EXPECT_EQ(rgbtest::readFile(path).size(), 0u);
}
