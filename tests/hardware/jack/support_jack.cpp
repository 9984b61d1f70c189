#include "support_jack.h"

#include <execinfo.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

#include "jackserver/JackServer.h"

namespace jacktest {

namespace {

// Runs before main, while this is the only thread: every thread and child
// process made later shares the namespace.
const std::string g_isolation = isolateJackSharedMemory();

// Arms a deadline at the start of each test and ends the program with a
// message when a test passes it. Its state outlives every destructor, since
// its thread waits until the process ends.
struct WatchState {
  std::mutex mutex;
  std::condition_variable cv;
  std::string name = "start-up";
  std::chrono::steady_clock::time_point deadline;
  bool armed = false;
};

WatchState* const g_watch = new WatchState;

// Where each thread of this program waits, through the debugger when the
// machine has one. The debugger stops this program while it looks, this
// thread included, so its bound is kept outside: a minute, after which it is
// killed and this program continued.
void printEveryThreadsCalls() {
  const std::string pid = std::to_string(getpid());
  std::fprintf(stderr, "every thread's calls:\n");
  std::fflush(stderr);
  const pid_t debugger = fork();
  if (debugger == 0) {
    dup2(2, 1);
    execlp("sh", "sh", "-c",
           "timeout -s KILL 60 gdb -p \"$1\" -batch -nx -ex 'thread apply all bt'; kill -CONT \"$1\"", "sh",
           pid.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (debugger > 0) reapWithin(debugger, status, 3500, true);
}

// The children of this program (its JACK servers, the simulator programs),
// from /proc.
std::vector<pid_t> children() {
  std::vector<pid_t> found;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (const dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    // "pid (name) state ppid ...": the name may hold spaces and brackets.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    if (rest >> state >> parent && parent == self) found.push_back(pid);
  }
  closedir(proc);
  return found;
}

// Stops every child by its process id (as a server likes to be stopped,
// then for certain) and ends the program at once: exit handlers and the
// checkers' end-of-run work could wait on what hangs.
[[noreturn]] void endHungProgram() {
  const std::vector<pid_t> kids = children();
  for (pid_t kid : kids) kill(kid, SIGTERM);
  for (pid_t kid : kids) {
    int status = 0;
    reapWithin(kid, status, 250, true);
  }
  syscall(SYS_exit_group, 3);
  _exit(3);
}

std::chrono::seconds testLimit() {
  const char* text = std::getenv(kTestLimitEnv);
  const int seconds = text ? std::atoi(text) : 0;
  return seconds > 0 ? std::chrono::seconds(seconds) : kTestLimit;
}

void watch() {
  std::unique_lock<std::mutex> lock(g_watch->mutex);
  for (;;) {
    g_watch->cv.wait(lock, [] { return g_watch->armed; });
    if (g_watch->cv.wait_until(lock, g_watch->deadline, [] { return !g_watch->armed; })) continue;
    if (std::chrono::steady_clock::now() < g_watch->deadline) continue;  // re-armed by a later test
    std::fprintf(stderr, "\n%s did not finish within %lld s: a wait is unbounded; the program stops here\n",
                 g_watch->name.c_str(), static_cast<long long>(testLimit().count()));
    std::fflush(stderr);
    if (!std::getenv(kNoDebuggerEnv)) printEveryThreadsCalls();
    endHungProgram();
  }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer reports these itself, better
// A crash names the test it happened in and the calling chain of the
// thread that crashed, then ends the program as the signal would have.
void onFatalSignal(int sig) {
  char line[400];
  const int n = std::snprintf(line, sizeof line, "\nsignal %d in %s; the crashing thread's calls:\n", sig,
                              g_watch->name.c_str());
  if (n > 0) (void)!write(2, line, std::min(static_cast<size_t>(n), sizeof line - 1));
  void* frames[64];
  backtrace_symbols_fd(frames, backtrace(frames, 64), 2);
  raise(sig);
}
#endif

class Watchdog : public ::testing::EmptyTestEventListener {
 public:
  void OnTestProgramStart(const ::testing::UnitTest&) override {
    std::fprintf(stderr, "%s\n", g_isolation.c_str());
    std::thread(watch).detach();
#if !defined(__SANITIZE_ADDRESS__)
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_RESETHAND;
    for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE}) sigaction(sig, &action, nullptr);
#endif
  }
  void OnTestStart(const ::testing::TestInfo& info) override {
    std::lock_guard<std::mutex> lock(g_watch->mutex);
    g_watch->name = std::string(info.test_suite_name()) + "." + info.name();
    g_watch->deadline = std::chrono::steady_clock::now() + testLimit();
    g_watch->armed = true;
    g_watch->cv.notify_all();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::lock_guard<std::mutex> lock(g_watch->mutex);
    g_watch->armed = false;
    g_watch->cv.notify_all();
  }
};

// gtest owns the listener.
const bool g_watched = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
  return true;
}();

std::atomic<int> g_names{0};

}  // namespace

std::unique_ptr<JackServer> OnPrivateServer::server;

void OnPrivateServer::SetUpTestSuite() {
  server = std::make_unique<JackServer>();
  if (server->running()) server->exportToEnvironment();
}

void OnPrivateServer::TearDownTestSuite() { server.reset(); }

void OnPrivateServer::SetUp() { ASSERT_TRUE(server->running()) << "the private JACK server did not start: " << server->error(); }

const std::string& isolation() { return g_isolation; }

std::string uniqueName(const std::string& base) {
  return base + " " + std::to_string(getpid()) + "-" + std::to_string(g_names.fetch_add(1));
}

bool repeat(const std::function<bool(std::chrono::milliseconds)>& attempt, int* retries,
            std::chrono::milliseconds budget) {
  const auto end = std::chrono::steady_clock::now() + budget;
  auto limit = std::chrono::milliseconds(250);
  for (int i = 0;; ++i) {
    if (i > 0 && retries) ++*retries;
    if (attempt(limit)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    limit = std::min(limit * 2, std::chrono::milliseconds(2000));
  }
}

bool waitConnected(const std::vector<std::string>& ports, std::chrono::milliseconds limit) {
  jack_client_t* observer =
      jack_client_open(uniqueName("tavrin-observer").c_str(), JackNoStartServer, nullptr);
  if (!observer) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  bool all = false;
  while (!all && std::chrono::steady_clock::now() < end) {
    all = std::all_of(ports.begin(), ports.end(), [&](const std::string& name) {
      jack_port_t* port = jack_port_by_name(observer, name.c_str());
      return port && jack_port_connected(port) > 0;
    });
    // The server's graph changes on its own thread: real time.
    if (!all) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  jack_client_close(observer);
  return all;
}

uintptr_t portPlace(const std::string& port) {
  jack_client_t* observer = jack_client_open(uniqueName("tavrin-observer").c_str(), JackNoStartServer, nullptr);
  if (!observer) return 0;
  // This library's port handles stand for the place itself.
  const uintptr_t place = reinterpret_cast<uintptr_t>(jack_port_by_name(observer, port.c_str()));
  jack_client_close(observer);
  return place;
}

bool reapWithin(int pid, int& status, int tries, bool kill) {
  for (int i = 0; i < tries; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    // Waiting for another process: real time cannot be avoided.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (kill) ::kill(pid, SIGKILL), waitpid(pid, &status, 0);
  return false;
}

}  // namespace jacktest
