#include "generator/run/WorkQueue.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

WorkQueue::WorkQueue(const std::vector<std::uint64_t>& weights) : order_(weights.size()) {
  for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  std::stable_sort(order_.begin(), order_.end(),
                   [&weights](std::size_t a, std::size_t b) { return weights[a] > weights[b]; });
  back_ = order_.size();
}

unsigned WorkQueue::workersFor(bool cpuFriendly, std::size_t items) {
  unsigned workers = cpuFriendly ? 1 : std::max(1u, std::thread::hardware_concurrency());
  if (const char* n = std::getenv("VIGNETOR_WORKERS"); n && !cpuFriendly) {
    const long wanted = std::strtol(n, nullptr, 10);
    if (wanted >= 1 && wanted <= 64) workers = static_cast<unsigned>(wanted);
  }
  return static_cast<unsigned>(std::min<std::size_t>(workers, items));
}

bool WorkQueue::take(bool largest, std::size_t& index) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (front_ >= back_) return false;
  index = order_[largest ? front_++ : --back_];
  return true;
}

void WorkQueue::work(const std::function<void(std::size_t)>& job) {
  try {
    std::size_t i;
    while (!stopped_ && take(true, i)) job(i);
  } catch (...) {
    std::lock_guard<std::mutex> lock(failureMutex_);
    if (!failure_) failure_ = std::current_exception();
    stopped_ = true;
  }
}

void WorkQueue::run(unsigned workers, DecodeBudget& budget,
                    const std::function<void(std::size_t)>& job) {
  budget.setMeanwhile([this, &job] {
    std::size_t i;
    if (stopped_ || !take(false, i)) return false;
    job(i);
    return true;
  });
  std::vector<std::thread> pool;
  try {
    for (unsigned i = 1; i < workers; ++i) pool.emplace_back([this, &job] { work(job); });
  } catch (...) {
    // No thread to be had: the run goes on with those there are.
  }
  work(job);
  for (auto& t : pool) t.join();
  budget.setMeanwhile(nullptr);
  if (failure_) std::rethrow_exception(failure_);
}
