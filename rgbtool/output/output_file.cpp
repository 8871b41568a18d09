// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/output/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rgbtool/output/interrupt.h"

namespace rgbtool {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows when resolving a path
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kModeBits = 07777;

constexpr const char* kNotReplaced = "exists; not replaced (-y or --overwrite replaces it)";

std::string errorText(const std::string& what, int errnum) {
  return what + ": " + std::strerror(errnum);
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links, also dangling ones, to the name the data goes to.
bool resolveLinks(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat info;
    if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::vector<char> link(PATH_MAX + 1);
    const ssize_t length = readlink(target.c_str(), link.data(), PATH_MAX);
    if (length < 0) {
      error = errorText("cannot follow the link", errno);
      return false;
    }
    const std::string next(link.data(), static_cast<std::size_t>(length));
    target = next[0] == '/' ? next : directoryOf(target) + "/" + next;
  }
  error = errorText("cannot follow the link", ELOOP);
  return false;
}

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

OutputFile::~OutputFile() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) close(fd_);
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    interrupt::setTemporary("");
  }
}

bool OutputFile::open(const std::string& path, std::string& error, bool replace) {
  replace_ = replace;
  if (path == "-") {
    std::fflush(stdout);
    fd_ = STDOUT_FILENO;
    direct_ = true;
    return true;
  }
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    // Devices and pipes cannot be replaced, and their readers wait on this
    // very node. Opened by the given name, since links such as /dev/stdout
    // lead to names that only the kernel can open.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
      error = errorText("cannot open", errno);
      return false;
    }
    direct_ = true;
    return true;
  }
  if (!resolveLinks(path, destination_, error)) return false;
  mode_t mode = kNewFileMode & ~currentUmask();
  bool existing = false;
  if (stat(destination_.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      error = S_ISDIR(info.st_mode) ? "cannot write: is a directory"
                                    : "cannot write: changed while being opened";
      return false;
    }
    if (!replace) {
      error = kNotReplaced;
      return false;
    }
    mode = info.st_mode & kModeBits;
    existing = true;
  } else if (errno != ENOENT) {
    error = errorText("cannot examine", errno);
    return false;
  }
  // The temporary name is taken while the signals that remove it are held
  // back, so that an interrupt never leaves it behind.
  std::string name = directoryOf(destination_) + "/." + baseOf(destination_) + ".XXXXXX";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  {
    interrupt::Deferred hold;
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ >= 0) {
      temporary_ = pattern.data();
      interrupt::setTemporary(temporary_);
    }
  }
  if (fd_ < 0) {
    error = errorText("cannot create a temporary file in " + directoryOf(destination_), errno);
    return false;
  }
  if (fchmod(fd_, mode) != 0) {
    error = errorText("cannot set the mode", errno);
    return false;
  }
  // Root replacing someone's picture leaves it theirs.
  if (existing && geteuid() == 0 && (info.st_uid != 0 || info.st_gid != 0))
    (void)!fchown(fd_, info.st_uid, info.st_gid);
  return true;
}

bool OutputFile::commit(std::string& error, bool durable) {
  if (direct_) {
    if (fd_ == STDOUT_FILENO) return true;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
      error = errorText("cannot write", errno);
      return false;
    }
    return true;
  }
  if (durable && fsync(fd_) != 0) {
    error = errorText("cannot write", errno);
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    error = errorText("cannot write", errno);
    return false;
  }
  interrupt::Deferred hold;
  // A picture that appeared meanwhile is not replaced either.
  int renamed =
      replace_ ? rename(temporary_.c_str(), destination_.c_str())
               : renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, destination_.c_str(),
                           RENAME_NOREPLACE);
  // File systems without that kind of rename: a hard link refuses a taken
  // name as well.
  if (renamed != 0 && !replace_ && errno == EINVAL) {
    renamed = link(temporary_.c_str(), destination_.c_str());
    if (renamed == 0) unlink(temporary_.c_str());
  }
  if (renamed != 0) {
    error = !replace_ && errno == EEXIST ? std::string(kNotReplaced)
                                         : errorText("cannot replace", errno);
    return false;
  }
  temporary_.clear();
  interrupt::setTemporary("");
  return true;
}

bool sameFile(const std::string& path, const struct stat& file) {
  struct stat info;
  const int result = path == "-" ? fstat(STDOUT_FILENO, &info) : stat(path.c_str(), &info);
  return result == 0 && info.st_dev == file.st_dev && info.st_ino == file.st_ino;
}

}  // namespace rgbtool
