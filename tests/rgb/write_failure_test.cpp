// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A batch of frames whose write fails part-way, as a disk that fills up
// between two frames. No local file system fails on demand, so this
// executable (and only this one) interposes writev: the library is linked
// into it, so its calls land here. The chosen write to the one file the test
// names fails with ENOSPC before writing anything.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/uio.h>

#include <cerrno>
#include <cstdint>
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
  int writesLeft = 0;  // writes that succeed before the one that fails
} target;

bool isTarget(int fd) {
  struct stat st {};
  return target.armed && fstat(fd, &st) == 0 && st.st_dev == target.device && st.st_ino == target.inode;
}

// Lets `succeeding` writes to the file through, then fails the next one.
class FailingWrite {
 public:
  FailingWrite(const std::string& path, int succeeding) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    target = Target{true, st.st_dev, st.st_ino, succeeding};
  }
  ~FailingWrite() { target = Target{}; }
  FailingWrite(const FailingWrite&) = delete;
  FailingWrite& operator=(const FailingWrite&) = delete;
};

}  // namespace

extern "C" ssize_t writev(int fd, const iovec* pieces, int count) {
  static const auto real =
      reinterpret_cast<ssize_t (*)(int, const iovec*, int)>(dlsym(RTLD_NEXT, "writev"));
  if (isTarget(fd) && target.writesLeft-- == 0) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, pieces, count);
}

TEST(WriteFailures, AFailedBatchIsUndoneAsAWhole) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("s.rgb");
  const rgbtest::Bytes image = rgbtest::patternImage(3, 4, 2);
  const rgbtest::Bytes before = rgbtest::streamBytes(image, 1, 4, 2, {1});
  rgbtest::writeFile(path, before);
  rgb_writer* writer = nullptr;
  ASSERT_EQ(rgb_writer_open(&writer, path.c_str()), RGB_OK);
  const std::vector<int32_t> stamps{2, 3, 4};
  for (const int succeeding : {0, 1, 2}) {
    SCOPED_TRACE(succeeding);
    const FailingWrite failing(path, succeeding);
    EXPECT_EQ(rgb_writer_put_frames(writer, image.data(), 4, 2, 3, stamps.data(), 0), RGB_EIO);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(rgbtest::readFile(path), before);
  }
  EXPECT_EQ(rgb_writer_close(writer), RGB_OK);
}
