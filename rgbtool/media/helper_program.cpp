// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/media/helper_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "rgbtool/report/diagnostics.h"

extern char** environ;

namespace rgbtool {
namespace {

constexpr std::size_t kMaxMessage = 4096;

std::string directoryOfThisProgram() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string self(path, static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/'));
}

// The pipe ends, closed on every return.
struct Pipe {
  int ends[2] = {-1, -1};
  ~Pipe() {
    for (const int end : ends)
      if (end >= 0) close(end);
  }
  bool open() { return pipe2(ends, O_CLOEXEC) == 0; }
  int release(int which) {
    const int end = ends[which];
    ends[which] = -1;
    return end;
  }
};

// The helper's one line of reason, without its line break.
std::string messageFrom(int fd) {
  std::string text;
  char block[256];
  ssize_t got;
  while (text.size() < kMaxMessage && ((got = read(fd, block, sizeof block)) > 0 || (got < 0 && errno == EINTR)))
    if (got > 0) text.append(block, static_cast<std::size_t>(got));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool finished(pid_t child, std::string& error) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      error = std::string("cannot wait for the picture decoder: ") + std::strerror(errno);
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (error.empty())
    error = WIFSIGNALED(status) ? "the picture decoder was killed by signal " +
                                      std::to_string(WTERMSIG(status))
                                : "the picture decoder failed";
  return false;
}

// Starts rgbtool-media with the given descriptors as its standard input
// and output and `errorFd` as its standard error.
bool spawnHelper(std::vector<std::string> words, int inFd, int outFd, int errorFd, pid_t& child,
                 std::string& error) {
  const std::string program = helperProgramPath("rgbtool-media");
  words.insert(words.begin(), program);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (inFd >= 0) posix_spawn_file_actions_adddup2(&actions, inFd, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
  // Decoding threads hold the stop signals back; the helper must not.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) return true;
  error = "cannot run the picture helper " + program + ": " + std::strerror(spawned);
  return false;
}

}  // namespace

std::string helperProgramPath(const std::string& name) {
  const std::string here = directoryOfThisProgram();
  for (const std::string& candidate :
       {here + "/" + name, here + "/../" RGBTOOL_LIBEXEC_DIR "/" + name})
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  return here + "/" + name;
}

int execHelper(const std::string& name, std::vector<std::string> arguments) {
  const std::string program = helperProgramPath(name);
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  for (std::string& word : arguments) argv.push_back(word.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  report("cannot run " + program + ": " + std::strerror(errno));
  return kExitFailure;
}

namespace {

// Runs `rgbtool-media decode NAME` with `inFd` (or nothing) as its
// standard input and takes the one picture it writes.
bool decodeThroughHelper(const std::string& name, int inFd, Image& image, std::string& error) {
  Pipe out;
  Pipe err;
  if (!out.open() || !err.open()) {
    error = std::string("cannot start the picture decoder: ") + std::strerror(errno);
    return false;
  }
  pid_t child = -1;
  if (!spawnHelper({"decode", name}, inFd, out.ends[1], err.ends[1], child, error)) return false;
  close(out.release(1));
  close(err.release(1));
  FILE* picture = fdopen(out.release(0), "rb");
  std::string why;
  const NextPicture got = picture ? readNextPicture(picture, image, why) : NextPicture::Failed;
  if (picture) std::fclose(picture);  // a decoder still writing then stops on a broken pipe
  error = messageFrom(err.ends[0]);
  if (!finished(child, error)) return false;
  if (got == NextPicture::Read) return true;
  error = "the picture decoder handed over no picture" + (why.empty() ? "" : ": " + why);
  return false;
}

}  // namespace

bool decodeWithHelper(const std::string& path, Image& image, std::string& error) {
  return decodeThroughHelper(path, -1, image, error);
}

bool decodeWithHelper(int fd, Image& image, std::string& error) {
  // Opened by name in the helper, standard input is the file anew, read
  // from its start and seekable, as some formats need.
  return decodeThroughHelper("/dev/stdin", fd, image, error);
}

bool encodeWithHelper(const std::string& format, int outFd,
                      const std::function<bool(int fd, std::string& error)>& feed,
                      std::string& error) {
  Pipe in;
  Pipe err;
  if (!in.open() || !err.open()) {
    error = std::string("cannot start the picture encoder: ") + std::strerror(errno);
    return false;
  }
  pid_t child = -1;
  if (!spawnHelper({"encode", format}, in.ends[0], outFd, err.ends[1], child, error)) return false;
  close(in.release(0));
  close(err.release(1));
  // An encoder that stopped early must not take this process down with
  // SIGPIPE: its reason is what counts.
  struct sigaction ignore {};
  struct sigaction before {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &before);
  std::string why;
  const bool fed = feed(in.ends[1], why);
  close(in.release(1));
  sigaction(SIGPIPE, &before, nullptr);
  error = messageFrom(err.ends[0]);
  if (!finished(child, error)) return false;
  if (fed) return true;
  error = "cannot hand the picture to the encoder: " + why;
  return false;
}

}  // namespace rgbtool
