#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
// posix_spawn's attribute and file-action objects, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};
}  // namespace

Process::~Process() {
  if (Running()) {
    Kill();
    int status;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (m_output >= 0) ::close(m_output);
}

ProcessStart Process::Start(const std::string& program, const std::vector<std::string>& arguments) {
  ProcessStart result;
  if (m_pid > 0) {
    result.error = errno = EBUSY;
    return result;
  }
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }

  SpawnSetup setup;
  // The child starts clean: its own process group, no blocked or ignored
  // signals inherited from the toolkit, only the three standard handles.
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&setup.attributes, &signals);
  sigfillset(&signals);
  sigdelset(&signals, SIGKILL);
  sigdelset(&signals, SIGSTOP);
  posix_spawnattr_setsigdefault(&setup.attributes, &signals);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 1);
  posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 2);
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int error =
      ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  ::close(pipeEnds[1]);
  if (error != 0) {
    ::close(pipeEnds[0]);
    result.error = errno = error;
    return result;
  }
  ::fcntl(pipeEnds[0], F_SETFL, ::fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
  m_pid = pid;
  m_output = pipeEnds[0];
  m_ended = false;
  m_exitCode = -1;
  result.started = true;
  return result;
}

bool Process::ReadOutput(std::string& into, std::size_t limit) {
  if (m_output < 0) return false;
  char buffer[65536];
  std::size_t total = 0;
  while (total < limit) {
    const std::size_t want = std::min(sizeof buffer, limit - total);
    const ssize_t got = ::read(m_output, buffer, want);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      total += static_cast<std::size_t>(got);
    } else if (got == 0) {
      ::close(m_output);
      m_output = -1;
      return false;
    } else if (errno == EINTR) {
      continue;
    } else {
      break;  // EAGAIN: nothing more for now
    }
  }
  return true;
}

bool Process::HasEnded() {
  if (m_ended) return true;
  if (m_pid <= 0) return false;
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(m_pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return false;
  m_ended = true;
  if (done < 0) {
    m_exitCode = 255;  // reaped elsewhere: the code is lost, count it as a failure
  } else if (WIFEXITED(status)) {
    m_exitCode = WEXITSTATUS(status);
  } else {
    m_exitCode = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
  return true;
}

void Process::Signal(int signal) {
  if (!Running()) return;
  // The whole group, so that helpers it started end with it.
  if (::kill(-m_pid, signal) != 0) ::kill(m_pid, signal);
}

void Process::Terminate() { Signal(SIGTERM); }

void Process::Kill() { Signal(SIGKILL); }
