#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// How a start went: started, or not with the system error (errno) why.
struct ProcessStart {
  bool started = false;
  int error = 0;
};

// A child program started with an argument vector, never through a shell.
// Its standard output and error arrive through one pipe, read without
// blocking; standard input is /dev/null. It runs in a process group of its
// own, so that ending it ends whatever it started too.
class Process {
 public:
  Process() = default;
  ~Process();  // a child still running is killed and reaped
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Runs `program` with `arguments` as its whole argument vector
  // (arguments[0] included, whatever it says). On failure errno is set too.
  ProcessStart Start(const std::string& program, const std::vector<std::string>& arguments);

  // Appends what the child has written so far, at most `limit` bytes,
  // without waiting. False once the output is closed and all of it read.
  bool ReadOutput(std::string& into, std::size_t limit);

  // Without waiting: whether the child has ended (it is reaped then).
  bool HasEnded();
  // The exit code of an ended child; 128 + the signal for one that a signal
  // ended, as shells report it.
  int ExitCode() const { return m_exitCode; }

  bool Running() const { return m_pid > 0 && !m_ended; }
  pid_t Id() const { return m_pid; }

  // Asks the child to end (SIGTERM); Kill() does not ask (SIGKILL).
  void Terminate();
  void Kill();

 private:
  void Signal(int signal);

  pid_t m_pid = -1;
  int m_output = -1;
  bool m_ended = false;
  int m_exitCode = -1;
};
