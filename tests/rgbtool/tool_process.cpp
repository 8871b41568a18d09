// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/rgbtool/tool_process.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace rgbtooltest {
namespace {

constexpr int kExecFailed = 127;
constexpr int kSignalBase = 128;

std::string slurp(const std::string& path) {
  const rgbtest::Bytes bytes = rgbtest::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

[[noreturn]] void execIn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(kExecFailed);
}

void redirect(const std::string& path, int fd, int flags) {
  const int opened = open(path.c_str(), flags, 0644);
  if (opened < 0 || dup2(opened, fd) < 0) _exit(kExecFailed);
  close(opened);
}

int statusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return kSignalBase + WTERMSIG(raw);
  return -1;
}

}  // namespace

int waitFor(int pid) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  return statusOf(raw);
}

Outcome runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  rgbtest::TempDir dir;
  const std::string outFile = dir.file("out");
  const std::string errFile = dir.file("err");
  int terminal = -1;
  int pid;
  if (options.stderrTerminal) {
    int follower = -1;
    if (openpty(&terminal, &follower, nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    pid = fork();
    if (pid == 0) {
      close(terminal);
      dup2(follower, STDERR_FILENO);
      close(follower);
    } else {
      close(follower);
    }
  } else {
    pid = fork();
    if (pid == 0) redirect(errFile, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
  }
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    redirect(options.stdinFile.empty() ? "/dev/null" : options.stdinFile, STDIN_FILENO,
             O_RDONLY);
    redirect(options.stdoutFile.empty() ? outFile : options.stdoutFile, STDOUT_FILENO,
             O_WRONLY | O_CREAT | O_TRUNC);
    execIn(argv);
  }
  Outcome run;
  if (terminal >= 0) {
    // Drain the terminal while the child runs; EIO means it has gone.
    char block[4096];
    for (ssize_t n; (n = read(terminal, block, sizeof block)) != 0;) {
      if (n < 0) {
        if (errno == EINTR) continue;
        break;
      }
      run.err.append(block, static_cast<std::size_t>(n));
    }
    close(terminal);
  }
  run.status = waitFor(pid);
  if (options.stdoutFile.empty()) run.out = slurp(outFile);
  if (!options.stderrTerminal) run.err = slurp(errFile);
  return run;
}

Outcome runTool(const std::vector<std::string>& args, const RunOptions& options) {
  std::vector<std::string> argv{RGBTOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, options);
}

int startTool(const std::vector<std::string>& args, const std::string& outFile,
              const std::string& errFile) {
  const int pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    redirect("/dev/null", STDIN_FILENO, O_RDONLY);
    redirect(outFile, STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
    redirect(errFile, STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<std::string> argv{RGBTOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    execIn(argv);
  }
  return pid;
}

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos
                                                                         : end - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

}  // namespace rgbtooltest
