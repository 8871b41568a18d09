// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/output.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "toolkit/signals.h"
#include "toolkit/standard_streams.h"

namespace toolkit {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows when resolving a path
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPrivateMode = 0600;
constexpr mode_t kModeBits = 07777;
constexpr int kNameAttempts = 100;
// The temporary name: "." + the destination's name (shortened to fit) +
// "." + random letters.
constexpr std::size_t kRandomLetters = 8;
constexpr std::size_t kNameFrame = 2 + kRandomLetters;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

constexpr const char* kNotReplaced = "exists; not replaced (-y or --overwrite replaces it)";

std::string because(const std::string& what, int errnum) {
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

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Follows symbolic links, dangling ones too, to the name the data goes to.
bool resolveLinks(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat file;
    if (lstat(target.c_str(), &file) != 0 || !S_ISLNK(file.st_mode)) return true;
    std::vector<char> link(PATH_MAX + 1);
    const ssize_t length = readlink(target.c_str(), link.data(), PATH_MAX);
    if (length <= 0) {
      error = because("cannot follow the link", length < 0 ? errno : ENOENT);
      return false;
    }
    const std::string next(link.data(), static_cast<std::size_t>(length));
    target = next[0] == '/' ? next : directoryOf(target) + "/" + next;
  }
  error = because("cannot follow the link", ELOOP);
  return false;
}

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// The longest name the directory takes.
std::size_t nameLimit(int directoryFd) {
  const long limit = fpathconf(directoryFd, _PC_NAME_MAX);
  return limit > static_cast<long>(kNameFrame) && limit < NAME_MAX ? static_cast<std::size_t>(limit)
                                                                   : std::size_t{NAME_MAX};
}

// A hidden name beside `base` that fits `limit` bytes, cut between UTF-8
// characters.
std::string temporaryName(const std::string& base, std::size_t limit) {
  static std::mt19937_64 random{std::random_device{}()};
  std::size_t keep = std::min(base.size(), limit - kNameFrame);
  while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
  std::string name = "." + base.substr(0, keep) + ".";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (std::size_t i = 0; i < kRandomLetters; ++i) name += kLetters[pick(random)];
  return name;
}

}  // namespace

Output::~Output() {
  if (!committed_) rollback();
  if (directoryFd_ >= 0) close(directoryFd_);
}

bool Output::refuseInput(const struct stat& file) {
  for (const std::string& input : rules_.inputs) {
    struct stat held;
    const int found = input == "-" ? fstat(STDIN_FILENO, &held) : stat(input.c_str(), &held);
    if (found == 0 && sameFile(held, file)) {
      error_ = "is the same file as the input " + input + "; not overwritten";
      return true;
    }
  }
  return false;
}

bool Output::open(const std::string& path, const OutputRules& rules) {
  rollback();
  path_ = path;
  rules_ = rules;
  error_.clear();
  committed_ = false;
  if (path == "-") return openStandardOutput();
  struct stat file;
  if (stat(path.c_str(), &file) == 0) {
    if (refuseInput(file)) return false;
    if (S_ISDIR(file.st_mode)) {
      error_ = because("cannot write", EISDIR);
      return false;
    }
    // Devices and FIFOs cannot be replaced, and their readers wait on this
    // very node.
    if (!S_ISREG(file.st_mode)) return openDirect(path);
  }
  return openTemporary();
}

bool Output::openStandardOutput() {
  if (stdoutClosed()) {
    error_ = "standard output is closed";
    return false;
  }
  struct stat file;
  if (fstat(STDOUT_FILENO, &file) == 0 && refuseInput(file)) return false;
  std::fflush(stdout);
  fd_ = STDOUT_FILENO;
  direct_ = true;
  return true;
}

bool Output::openDirect(const std::string& path) {
  // By the given name: links such as /dev/stdout lead to names that only
  // the kernel can open.
  fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = because("cannot open", errno);
    return false;
  }
  direct_ = true;
  return true;
}

bool Output::openTemporary() {
  std::string destination;
  if (!resolveLinks(path_, destination, error_)) return false;
  mode_t mode = kNewFileMode & ~currentUmask();
  struct stat old;
  const bool existing = stat(destination.c_str(), &old) == 0;
  if (existing) {
    if (refuseInput(old)) return false;
    if (!S_ISREG(old.st_mode)) {
      error_ = S_ISDIR(old.st_mode) ? because("cannot write", EISDIR)
                                    : std::string("cannot write: changed while being opened");
      return false;
    }
    if (!rules_.overwrite) {
      error_ = kNotReplaced;
      return false;
    }
    mode = old.st_mode & kModeBits;
  } else if (errno != ENOENT) {
    error_ = because("cannot examine", errno);
    return false;
  }
  const std::string directory = directoryOf(destination);
  base_ = baseOf(destination);
  directoryFd_ = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd_ < 0) {
    error_ = because("cannot open the directory " + directory, errno);
    return false;
  }
  const std::size_t limit = nameLimit(directoryFd_);
  for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
    const std::string name = temporaryName(base_, limit);
    // Made and registered with no signal in between, so that none leaves
    // it behind.
    const signals::Hold hold;
    fd_ = openat(directoryFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateMode);
    if (fd_ < 0 && errno == EEXIST) continue;
    if (fd_ < 0) break;
    registration_ = signals::addTemporary(directoryFd_, name);
    temporary_ = name;
    if (registration_ < 0) {
      error_ = "cannot write: too many files being written at once";
      return false;
    }
  }
  if (fd_ < 0) {
    error_ = because("cannot create a temporary file in " + directory, errno);
    return false;
  }
  if (fchmod(fd_, mode) != 0) {
    error_ = because("cannot set the mode", errno);
    return false;
  }
  // Root replacing someone's picture leaves it theirs.
  if (existing && geteuid() == 0 && (old.st_uid != 0 || old.st_gid != 0))
    (void)!fchown(fd_, old.st_uid, old.st_gid);
  return true;
}

bool Output::commit() {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "cannot write: not open";
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (direct_) {
    committed_ = true;
    if (fd == STDOUT_FILENO || close(fd) == 0) return true;
    error_ = because("cannot write", errno);
    return false;
  }
  const bool synced = !rules_.durable || fsync(fd) == 0;
  const int reason = errno;
  if (close(fd) != 0 || !synced) {
    error_ = because("cannot write", synced ? errno : reason);
    rollback();
    return false;
  }
  if (!(rules_.overwrite ? replaceLocked() : placeNew())) {
    rollback();
    return false;
  }
  committed_ = true;
  return true;
}

// Without overwrite: a name taken meanwhile is refused, not replaced.
bool Output::placeNew() {
  const signals::Hold hold;
  int placed = renameat2(directoryFd_, temporary_.c_str(), directoryFd_, base_.c_str(),
                         RENAME_NOREPLACE);
  // File systems without that kind of rename: a hard link refuses a taken
  // name as well.
  if (placed != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
    placed = linkat(directoryFd_, temporary_.c_str(), directoryFd_, base_.c_str(), 0);
    if (placed == 0) unlinkat(directoryFd_, temporary_.c_str(), 0);
  }
  if (placed != 0) {
    error_ = errno == EEXIST ? std::string(kNotReplaced) : because("cannot write", errno);
    return false;
  }
  signals::dropTemporary(registration_);
  temporary_.clear();
  return true;
}

// With overwrite: under the old file's lock, so that appenders go on in the
// new file.
bool Output::replaceLocked() {
  // Taken before the signals are held: waiting for a long append stays
  // interruptible.
  int old = openat(directoryFd_, base_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (old < 0 && errno == EACCES)
    old = openat(directoryFd_, base_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat held;
  if (old >= 0 && (fstat(old, &held) != 0 || !S_ISREG(held.st_mode))) {
    close(old);
    old = -1;
  }
  if (old >= 0) {
    while (flock(old, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (refuseInput(held)) {
      close(old);
      return false;
    }
  }
  const signals::Hold hold;
  const int renamed = renameat(directoryFd_, temporary_.c_str(), directoryFd_, base_.c_str());
  const int reason = errno;
  if (old >= 0) close(old);
  if (renamed != 0) {
    error_ = because("cannot replace", reason);
    return false;
  }
  signals::dropTemporary(registration_);
  temporary_.clear();
  return true;
}

void Output::rollback() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) close(fd_);
  fd_ = -1;
  direct_ = false;
  if (!temporary_.empty()) {
    const signals::Hold hold;
    unlinkat(directoryFd_, temporary_.c_str(), 0);
    signals::dropTemporary(registration_);
    temporary_.clear();
  }
  registration_ = -1;
  if (directoryFd_ >= 0) close(directoryFd_);
  directoryFd_ = -1;
}

bool namesStdout(const std::string& out) {
  if (out == "-") return true;
  struct stat named;
  struct stat standard;
  return stat(out.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &standard) == 0 &&
         sameFile(named, standard);
}

FILE* textStream(const std::string& out) { return namesStdout(out) ? stderr : stdout; }

}  // namespace toolkit
