// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/signals.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace toolkit {
namespace signals {
namespace {

constexpr int kSignalBase = 128;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Outputs written at once by one program: a picture, a video, a sheet.
constexpr int kTemporarySlots = 16;

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads descriptors");
static_assert(std::atomic<off_t>::is_always_lock_free, "the handler reads offsets");
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads flags");

// A slot is filled while free and only then armed, so the handler never
// reads half a name.
enum SlotState { kFree, kFilling, kArmed };

struct TemporarySlot {
  std::atomic<int> state{kFree};
  int directoryFd = -1;
  char name[NAME_MAX + 1] = "";
};
TemporarySlot temporaries[kTemporarySlots];

std::atomic<int> appendFd{-1};
std::atomic<off_t> appendStart{0};
std::atomic<off_t> windowLow{0};
std::atomic<off_t> windowHigh{0};
char createdPath[PATH_MAX] = "";  // written only while appendFd is -1

std::atomic<bool> finishing{false};
std::atomic<int> finishFd{-1};
int nullFd = -1;  // opened by finishOn, before any signal is handled
std::atomic<bool> forwarded{false};
std::atomic<bool> haveReader{false};
pthread_t readerThread;

void removeTemporaries() {
  for (TemporarySlot& slot : temporaries)
    if (slot.state.load() == kArmed) unlinkat(slot.directoryFd, slot.name, 0);
}

// Cuts an append back, or removes the file it created, while the file
// still ends with this run's bytes.
void undoAppend() {
  const int fd = appendFd.load();
  if (fd < 0) return;
  struct stat file;
  if (fstat(fd, &file) != 0 || file.st_size < windowLow.load() || file.st_size > windowHigh.load())
    return;
  const off_t start = appendStart.load();
  struct stat named;
  const bool ours = createdPath[0] != '\0' && start == 0 && stat(createdPath, &named) == 0 &&
                    named.st_dev == file.st_dev && named.st_ino == file.st_ino;
  if (!ours || unlink(createdPath) != 0) (void)!ftruncate(fd, start);
}

[[noreturn]] void rollBackAndExit(int signal) {
  removeTemporaries();
  undoAppend();
  _exit(kSignalBase + signal);
}

void onStop(int signal) { rollBackAndExit(signal); }

void onFinish(int signal) {
  // The copy sent on to the reading thread below: only there to wake it.
  if (forwarded.exchange(false)) return;
  if (finishing.exchange(true)) rollBackAndExit(signal);
  const int input = finishFd.load();
  if (input >= 0 && nullFd >= 0) dup2(nullFd, input);
  if (haveReader.load() && !pthread_equal(pthread_self(), readerThread)) {
    forwarded.store(true);
    pthread_kill(readerThread, signal);
  }
}

bool ignoredByCaller(int signal) {
  struct sigaction old;
  return sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
}

void handle(int signal, void (*handler)(int), int flags) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigfillset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

bool isStopSignal(int signal) {
  return std::find(std::begin(kStopSignals), std::end(kStopSignals), signal) !=
         std::end(kStopSignals);
}

}  // namespace

void install() {
  for (const int s : kStopSignals)
    if (!ignoredByCaller(s)) handle(s, onStop, 0);
  signal(SIGXFSZ, SIG_IGN);
}

void finishOn(const std::vector<int>& which) {
  readerThread = pthread_self();
  haveReader.store(true);
  if (nullFd < 0) nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  // The mask lets the forwarded copy in while the first one is handled.
  for (const int s : which) {
    if (!isStopSignal(s) || ignoredByCaller(s)) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onFinish;
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns EINTR
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }
}

bool finishRequested() { return finishing.load(); }

void finishInput(int fd) { finishFd.store(fd); }

void dropFinishInput(int fd) {
  int expected = fd;
  finishFd.compare_exchange_strong(expected, -1);
}

Hold::Hold() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kStopSignals) sigaddset(&set, s);
  pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

Hold::~Hold() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

int addTemporary(int directoryFd, const std::string& name) {
  if (name.size() > NAME_MAX) return -1;
  for (int i = 0; i < kTemporarySlots; ++i) {
    TemporarySlot& slot = temporaries[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    slot.directoryFd = directoryFd;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.state.store(kArmed);
    return i;
  }
  return -1;
}

void dropTemporary(int registration) {
  if (registration < 0 || registration >= kTemporarySlots) return;
  temporaries[registration].state.store(kFree);
}

void setAppend(int fd, off_t start, const std::string& created) {
  const Hold hold;
  appendFd.store(-1);
  if (created.size() < sizeof createdPath)
    std::memcpy(createdPath, created.c_str(), created.size() + 1);
  else
    createdPath[0] = '\0';  // too long to name: cut back to empty instead
  appendStart.store(start);
  windowLow.store(start);
  windowHigh.store(start);
  appendFd.store(fd);
}

void setAppendWindow(off_t low, off_t high) {
  // Widen before narrowing, so that the window always covers the size.
  if (high > windowHigh.load()) {
    windowHigh.store(high);
    windowLow.store(low);
  } else {
    windowLow.store(low);
    windowHigh.store(high);
  }
}

void clearAppend() {
  const Hold hold;
  appendFd.store(-1);
}

}  // namespace signals
}  // namespace toolkit
