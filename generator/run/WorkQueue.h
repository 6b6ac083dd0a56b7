// The middle phase of a run: every picture to a worker of a pool, the
// largest first, so that no worker is left with a big picture at the end
// while the others idle. A worker whose next decode waits for memory makes
// the smallest ones meanwhile (see Generator.h for every wait).
#ifndef WV_GENERATOR_WORKQUEUE_H
#define WV_GENERATOR_WORKQUEUE_H

#include "generator/picture/DecodeBudget.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

class WorkQueue {
 public:
  // One item per weight (a picture's bytes), numbered from 0.
  explicit WorkQueue(const std::vector<std::uint64_t>& weights);

  // Runs `job` once for every item on `workers` threads, the calling one
  // among them, and returns when all have ended. The first exception of a
  // job (out of memory) stops the others taking items and is thrown again
  // here.
  void run(unsigned workers, DecodeBudget& budget, const std::function<void(std::size_t)>& job);

  // The workers for `items` pictures: one with /c, else one per processor
  // (VIGNETOR_WORKERS sets another number, for tests and measuring).
  static unsigned workersFor(bool cpuFriendly, std::size_t items);

 private:
  // The next item: the largest left, or the smallest.
  bool take(bool largest, std::size_t& index);
  void work(const std::function<void(std::size_t)>& job);

  std::mutex mutex_;
  std::vector<std::size_t> order_;  // largest first
  std::size_t front_ = 0, back_ = 0;
  std::atomic<bool> stopped_{false};
  std::mutex failureMutex_;
  std::exception_ptr failure_;
};

#endif
