// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A producer in another process, writing into a named pipe.
#ifndef RGB_TESTS_PIPE_SUPPORT_H
#define RGB_TESTS_PIPE_SUPPORT_H

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

namespace rgbtest {

// Creates a FIFO at path and forks a child that opens it for writing, runs
// produce on the stream and exits with produce's status.
class Producer {
 public:
  Producer(const std::string& path, const std::function<int(FILE*)>& produce) {
    if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed: " + path);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      FILE* out = std::fopen(path.c_str(), "wb");
      const int status = out ? produce(out) : 3;
      if (out) std::fclose(out);
      _exit(status);
    }
  }
  ~Producer() {
    if (pid_ > 0) wait();
  }
  // The child's exit status (or 128 + signal).
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace rgbtest

#endif  // RGB_TESTS_PIPE_SUPPORT_H
