// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A few threads for pictures that can be decoded or encoded independently
// of one another, while the calling thread takes them in order (a stream's
// frames, pictures on stdout). The caller bounds the work in flight: it
// submits the next task only once it has taken a result, so memory stays
// at a few pictures however many there are.
//
// The threads hold the stop signals back, so that SIGINT and its kind are
// handled by the calling thread, as without them; programs they start get
// the usual signal mask.
#ifndef RGBTOOL_PICTURES_WORKER_POOL_H
#define RGBTOOL_PICTURES_WORKER_POOL_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace rgbtool {

class WorkerPool {
 public:
  using Ticket = uint64_t;

  // `threads` 0 runs every task in the calling thread, at submit().
  explicit WorkerPool(unsigned threads);
  // Drops what has not begun and joins the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // A task must not throw; it runs at most once.
  Ticket submit(std::function<void()> task);
  // Returns once the task has run (at once for a task dropped by cancel()).
  void wait(Ticket ticket);
  // Drops the tasks not yet begun and waits for those running.
  void cancel();

  // The threads worth having for picture work: one per core this process
  // may use, at most a few (each costs a picture or two of memory).
  static unsigned suitableThreads();

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable ready_;  // a task queued, or stopping
  std::condition_variable done_;   // a task finished
  std::deque<std::pair<Ticket, std::function<void()>>> queue_;
  std::set<Ticket> unfinished_;
  Ticket next_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_WORKER_POOL_H
