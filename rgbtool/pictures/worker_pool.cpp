// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/worker_pool.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>

namespace rgbtool {
namespace {

constexpr unsigned kMostThreads = 4;

// Blocks the stop signals in the calling thread while it lives; threads
// made meanwhile inherit the mask.
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &saved_);
  }
  ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace

unsigned WorkerPool::suitableThreads() {
  // The cores this process may run on (taskset, a container's share), not
  // all the machine has.
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  const unsigned cores = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                             ? static_cast<unsigned>(CPU_COUNT(&allowed))
                             : std::thread::hardware_concurrency();
  return std::clamp(cores, 1u, kMostThreads);
}

WorkerPool::WorkerPool(unsigned threads) {
  const StopSignalsHeld held;
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
  cancel();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

WorkerPool::Ticket WorkerPool::submit(std::function<void()> task) {
  if (threads_.empty()) {
    task();
    return next_++;
  }
  Ticket ticket;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ticket = next_++;
    unfinished_.insert(ticket);
    queue_.emplace_back(ticket, std::move(task));
  }
  ready_.notify_one();
  return ticket;
}

void WorkerPool::wait(Ticket ticket) {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return unfinished_.count(ticket) == 0; });
}

void WorkerPool::cancel() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (const auto& queued : queue_) unfinished_.erase(queued.first);
  queue_.clear();
  done_.notify_all();
  done_.wait(lock, [&] { return unfinished_.empty(); });
}

void WorkerPool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    auto [ticket, task] = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // what the task holds goes before it counts as done
    lock.lock();
    unfinished_.erase(ticket);
    done_.notify_all();
  }
}

}  // namespace rgbtool
