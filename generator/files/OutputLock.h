// The output folder's lock.
#ifndef WV_GENERATOR_OUTPUTLOCK_H
#define WV_GENERATOR_OUTPUTLOCK_H

#include <string>

// An exclusive lock on the output folder, held for the whole run, so that
// two runs never interleave their work in one folder. On a file system that
// cannot lock, both calls return at once.
class OutputLock {
 public:
  explicit OutputLock(const std::string& dir);
  ~OutputLock();
  OutputLock(const OutputLock&) = delete;
  OutputLock& operator=(const OutputLock&) = delete;

  bool tryLock();  // false: another run holds it
  void lock();     // waits for it

 private:
  int fd_ = -1;
};

#endif
