// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/media/helper_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

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

}  // namespace

std::string helperProgramPath(const std::string& name) {
  const std::string here = directoryOfThisProgram();
  for (const std::string& candidate :
       {here + "/" + name, here + "/../" RGBTOOL_LIBEXEC_DIR "/" + name})
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  return here + "/" + name;
}

bool decodeWithHelper(const std::string& path, Image& image, std::string& error) {
  const std::string program = helperProgramPath("rgbtool-media");
  Pipe out;
  Pipe err;
  if (!out.open() || !err.open()) {
    error = std::string("cannot start the picture decoder: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
  std::vector<std::string> words{program, "decode", path};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    error = "cannot run the picture decoder " + program + ": " + std::strerror(spawned);
    return false;
  }
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

}  // namespace rgbtool
