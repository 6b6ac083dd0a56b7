#include "generator/compat/VipsErrors.h"

#include "common/Utf8.h"

#include <vips/vips.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {

// Attempts share the library; a retry has it alone. Waiting retries go
// first, so that a steady flow of attempts cannot hold one off.
class Gate {
 public:
  void enterShared() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !alone_ && waiting_ == 0; });
    ++sharing_;
  }
  void leaveShared() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--sharing_ == 0) changed_.notify_all();
  }
  void enterAlone() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.wait(lock, [this] { return !alone_ && sharing_ == 0; });
    --waiting_;
    alone_ = true;
  }
  void leaveAlone() {
    std::lock_guard<std::mutex> lock(mutex_);
    alone_ = false;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int sharing_ = 0, waiting_ = 0;
  bool alone_ = false;
};

Gate g_gate;
thread_local bool t_inAttempt = false;

// Marks this thread as inside an attempt for as long as it lives.
struct InAttempt {
  InAttempt() {
    if (t_inAttempt) throw std::logic_error("a libvips attempt started inside another");
    t_inAttempt = true;
  }
  ~InAttempt() { t_inAttempt = false; }
};

// Leaves the gate however the attempt ends, exceptions included.
struct Leave {
  void (Gate::*leave)();
  ~Leave() { (g_gate.*leave)(); }
};

}  // namespace

bool insideVipsAttempt() { return t_inAttempt; }

bool withOwnVipsErrors(const std::function<bool(std::string&)>& attempt, std::string& error) {
  {
    InAttempt inside;
    g_gate.enterShared();
    Leave leave{&Gate::leaveShared};
    std::string mixed;  // may hold other threads' messages: never shown
    bool ok = attempt(mixed);
    // No other thread reads the buffer of a shared attempt, so any may empty it.
    vips_error_clear();
    if (ok) return true;
  }
  InAttempt inside;
  g_gate.enterAlone();
  Leave leave{&Gate::leaveAlone};
  vips_error_clear();
  error.clear();
  bool ok = attempt(error);
  vips_error_clear();
  return ok;
}

std::string vipsErrorLine(const std::string& buffer, std::size_t limit) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < buffer.size()) {
    std::size_t end = buffer.find('\n', start);
    if (end == std::string::npos) end = buffer.size();
    std::string line = buffer.substr(start, end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    bool seen = false;
    for (const auto& l : lines) seen = seen || l == line;
    if (!line.empty() && !seen) lines.push_back(line);
    start = end + 1;
  }
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : " ") + line;
  if (text.size() > limit) text = utf8Prefix(text, limit) + "...";
  return text.empty() ? "not a readable picture" : text;
}
