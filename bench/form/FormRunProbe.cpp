// Starts the form as a user would, presses Create, and watches the run from
// outside as another X client: how fast the console answers the window
// manager's ping (_NET_WM_PING, which the toolkit answers from its event
// loop, so a busy loop answers late), and the memory of the form and of the
// generator as /proc shows it. run.sh prepares the settings, the program
// directory and the pictures, and prints the figures.
//
// usage: form_run_probe PROGRAM PAGE_LOG
//   PROGRAM   the form's executable (in its program directory)
//   PAGE_LOG  the file that the browser stand-in writes when the form opens
//             the page
// Prints "name value" lines on standard output.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// A line "Name:   123 kB" of /proc/PID/status, in KiB; -1 when gone.
long StatusKiB(pid_t pid, const char* name) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string key = std::string(name) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
  }
  return -1;
}

std::string Command(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Every descendant of `pid`, nearest first.
std::vector<pid_t> Descendants(pid_t pid) {
  std::vector<pid_t> found;
  std::vector<pid_t> look{pid};
  while (!look.empty()) {
    const pid_t parent = look.back();
    look.pop_back();
    std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                           "/children");
    pid_t child;
    while (children >> child) {
      found.push_back(child);
      look.push_back(child);
    }
  }
  return found;
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

class XClient {
 public:
  XClient() : m_display(XOpenDisplay(nullptr)) {
    if (!m_display) return;
    m_root = DefaultRootWindow(m_display);
    // The ping's answer goes to the root window with this mask.
    XSelectInput(m_display, m_root, SubstructureNotifyMask);
    m_clientList = XInternAtom(m_display, "_NET_CLIENT_LIST", False);
    m_pid = XInternAtom(m_display, "_NET_WM_PID", False);
    m_name = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    m_protocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
    m_ping = XInternAtom(m_display, "_NET_WM_PING", False);
    m_delete = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    m_active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
  }
  ~XClient() {
    if (m_display) XCloseDisplay(m_display);
  }
  bool Open() const { return m_display != nullptr; }
  int Fd() const { return ConnectionNumber(m_display); }

  // The managed windows of process `pid`.
  std::vector<Window> WindowsOf(pid_t pid) {
    std::vector<Window> windows;
    for (Window window : WindowList(m_root, m_clientList)) {
      const std::vector<Window> owner = WindowList(window, m_pid, XA_CARDINAL);
      if (!owner.empty() && static_cast<pid_t>(owner[0]) == pid) windows.push_back(window);
    }
    return windows;
  }
  std::string Title(Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(m_display, window, m_name, 0, 1024, False, m_utf8, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      title.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    return title;
  }
  Window Active() {
    const std::vector<Window> active = WindowList(m_root, m_active, XA_WINDOW);
    return active.empty() ? 0 : active[0];
  }
  void Ping(Window window, long stamp) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(m_ping);
    event.xclient.data.l[1] = stamp;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
  }
  void Close(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(m_delete);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
  }
  // The stamps of the pongs that have come in.
  std::vector<long> Pongs() {
    std::vector<long> stamps;
    while (XPending(m_display)) {
      XEvent event;
      XNextEvent(m_display, &event);
      if (event.type == ClientMessage && event.xclient.message_type == m_protocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == m_ping)
        stamps.push_back(event.xclient.data.l[1]);
    }
    return stamps;
  }

 private:
  std::vector<Window> WindowList(Window window, Atom property, Atom kind = XA_WINDOW) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<Window> list;
    if (XGetWindowProperty(m_display, window, property, 0, 65536, False, kind, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      const auto* items = reinterpret_cast<unsigned long*>(data);
      list.assign(items, items + count);
      XFree(data);
    }
    return list;
  }

  ::Display* m_display;
  Window m_root = 0;
  Atom m_clientList, m_pid, m_name, m_utf8, m_protocols, m_ping, m_delete, m_active;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
  return values[at];
}

[[noreturn]] void Fail(const char* what, pid_t form) {
  std::fprintf(stderr, "form_run_probe: %s\n", what);
  if (form > 0) ::kill(form, SIGKILL);
  std::exit(1);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAM PAGE_LOG\n", argv[0]);
    return 2;
  }
  const std::string pageLog = argv[2];
  XClient display;
  if (!display.Open()) Fail("no display", 0);

  const pid_t form = ::fork();
  if (form == 0) {
    ::execl(argv[1], argv[1], static_cast<char*>(nullptr));
    std::_Exit(127);
  }

  // The form on the screen, with the focus.
  const Clock::time_point started = Clock::now();
  Window formWindow = 0;
  while (!formWindow || display.Active() != formWindow) {
    if (Seconds(started, Clock::now()) > 30) Fail("the form did not come up", form);
    ::usleep(50000);
    const std::vector<Window> windows = display.WindowsOf(form);
    if (!windows.empty()) formWindow = windows[0];
  }
  ::usleep(300000);  // settled: the first paint and the focus inside it
  const long formBefore = StatusKiB(form, "VmRSS");

  if (std::system("xdotool key Return") != 0) Fail("xdotool failed", form);
  const Clock::time_point create = Clock::now();

  // Watch the run: ping the console every 100 ms, look at /proc as often.
  constexpr double kPingEvery = 0.1;
  Window console = 0;
  bool consoleGone = false;
  Clock::time_point consoleShown, consoleClosed, pageOpened;
  bool pageSeen = false;
  long pingStamp = 0x10000000;
  long outstanding = 0;  // the stamp of the ping not answered yet, 0 for none
  Clock::time_point pingSent;
  std::vector<double> pings;
  std::vector<std::pair<double, double>> slowest;  // (answer s, sent s after Create)
  double longestUnanswered = 0;                    // a ping still out when the console closed
  long formPeak = 0;
  pid_t generator = 0;
  long generatorPeakSeen = 0;
  std::vector<std::pair<double, long>> generatorRss;  // (s since Create, KiB)
  Clock::time_point lastSample;
  while (!pageSeen || !consoleGone) {
    const Clock::time_point now = Clock::now();
    if (Seconds(create, now) > 3600) Fail("the run took over an hour", form);
    if (!console && Seconds(create, now) > 30) Fail("no console came up", form);
    if (consoleGone && Seconds(consoleClosed, now) > 30) break;  // no page: said below
    if (Seconds(lastSample, now) >= kPingEvery) {
      lastSample = now;
      formPeak = std::max(formPeak, StatusKiB(form, "VmHWM"));
      if (!generator) {
        for (pid_t child : Descendants(form))
          if (Command(child) == "Vignetor") generator = child;
      }
      if (generator) {
        const long rss = StatusKiB(generator, "VmRSS");
        if (rss >= 0) {
          generatorRss.emplace_back(Seconds(create, now), rss);
          generatorPeakSeen = std::max(generatorPeakSeen, StatusKiB(generator, "VmHWM"));
        }
      }
      if (!consoleGone) {
        Window found = 0;
        for (Window window : display.WindowsOf(form))
          if (display.Title(window) == "Vignetor") found = window;
        if (found && !console) {
          console = found;
          consoleShown = now;
        } else if (!found && console) {
          consoleGone = true;
          consoleClosed = now;
          if (outstanding) longestUnanswered = Seconds(pingSent, now);
        }
      }
      if (console && !consoleGone && !outstanding) {
        outstanding = ++pingStamp;
        pingSent = now;
        display.Ping(console, outstanding);
      }
      if (!pageSeen && Exists(pageLog)) {
        pageSeen = true;
        pageOpened = now;
      }
    }
    pollfd wait{display.Fd(), POLLIN, 0};
    ::poll(&wait, 1, 5);
    for (long stamp : display.Pongs()) {
      if (stamp == outstanding) {
        pings.push_back(Seconds(pingSent, Clock::now()));
        slowest.emplace_back(pings.back(), Seconds(create, pingSent));
        std::sort(slowest.rbegin(), slowest.rend());
        if (slowest.size() > 3) slowest.pop_back();
        outstanding = 0;
      }
    }
  }
  const long formAfter = StatusKiB(form, "VmRSS");
  formPeak = std::max(formPeak, StatusKiB(form, "VmHWM"));

  // Done with it: close the form as the close box would, and wait.
  display.Close(formWindow);
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(form, &status, WNOHANG) == 0; ++i) ::usleep(50000);
  if (::waitpid(form, &status, WNOHANG) == 0) {
    ::kill(form, SIGKILL);
    ::waitpid(form, &status, 0);
  }

  std::printf("console_shown_s %.3f\n", Seconds(create, consoleShown));
  std::printf("run_s %.3f\n", Seconds(create, consoleClosed));
  std::printf("page_opened %d\n", pageSeen ? 1 : 0);
  if (pageSeen) std::printf("page_opened_s %.3f\n", Seconds(create, pageOpened));
  std::printf("pings %zu\n", pings.size());
  std::printf("ping_median_ms %.1f\n", 1000 * Percentile(pings, 0.5));
  std::printf("ping_p99_ms %.1f\n", 1000 * Percentile(pings, 0.99));
  std::printf("ping_max_ms %.1f\n",
              1000 * std::max(longestUnanswered, pings.empty() ? 0.0 : Percentile(pings, 1.0)));
  for (const auto& ping : slowest)
    std::printf("slow_ping %.0f ms at %.1f s\n", 1000 * ping.first, ping.second);
  std::printf("form_before_kib %ld\nform_after_kib %ld\nform_peak_kib %ld\n", formBefore, formAfter,
              formPeak);
  std::printf("generator_peak_seen_kib %ld\n", generatorPeakSeen);
  // The generator's resident memory at each tenth of its life.
  if (!generatorRss.empty()) {
    std::ostringstream line;
    const double first = generatorRss.front().first;
    const double span = generatorRss.back().first - first;
    std::size_t at = 0;
    for (int tenth = 1; tenth <= 10; ++tenth) {
      while (at + 1 < generatorRss.size() && generatorRss[at].first - first < span * tenth / 10)
        ++at;
      line << (tenth > 1 ? " " : "") << generatorRss[at].second / 1024;
    }
    std::printf("generator_rss_mib_by_tenths %s\n", line.str().c_str());
  }
  std::printf("form_exit %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
