#include "jack_watchdog.h"

#include <dirent.h>
#include <execinfo.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#ifndef TAVRIN_JACK_RUN_LIMIT_S
#define TAVRIN_JACK_RUN_LIMIT_S 540
#endif

namespace jacktest {

namespace {

// The run's stage and its two deadlines. Its state outlives every
// destructor, since its thread waits until the process ends.
struct WatchState {
  std::mutex mutex;
  std::condition_variable cv;
  std::string stage = "start-up";
  std::chrono::steady_clock::time_point runDeadline = std::chrono::steady_clock::now() + runLimit();
  std::chrono::steady_clock::time_point testDeadline;
  bool testArmed = false;
  // The stage named when a crash happens, readable from a signal handler.
  char crashStage[256] = "start-up";
};

WatchState* const g_watch = new WatchState;

std::chrono::seconds limitFrom(const char* env, std::chrono::seconds fallback) {
  const char* text = std::getenv(env);
  const int seconds = text ? std::atoi(text) : 0;
  return seconds > 0 ? std::chrono::seconds(seconds) : fallback;
}

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

void watch() {
  std::unique_lock<std::mutex> lock(g_watch->mutex);
  for (;;) {
    const auto runEnd = g_watch->runDeadline;
    const auto next = g_watch->testArmed ? std::min(runEnd, g_watch->testDeadline) : runEnd;
    // Woken early when a test starts or ends: the deadlines are looked at
    // again.
    g_watch->cv.wait_until(lock, next);
    const auto now = std::chrono::steady_clock::now();
    std::string message;
    if (now >= g_watch->runDeadline) {
      message = "the run did not finish within " + std::to_string(runLimit().count()) + " s; it was in " +
                g_watch->stage;
    } else if (g_watch->testArmed && now >= g_watch->testDeadline) {
      message = g_watch->stage + " did not finish within " + std::to_string(testLimit().count()) + " s";
    } else {
      continue;
    }
    std::fprintf(stderr, "\n%s: a wait is unbounded; the program stops here\n", message.c_str());
    std::fflush(stderr);
    if (!std::getenv(kNoDebuggerEnv)) printEveryThreadsCalls();
    endHungProgram();
  }
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer reports these itself, better
// A crash names the stage it happened in and the calling chain of the
// thread that crashed, then ends the program as the signal would have.
void onFatalSignal(int sig) {
  char line[400];
  const int n = std::snprintf(line, sizeof line, "\nsignal %d in %s; the crashing thread's calls:\n", sig,
                              g_watch->crashStage);
  if (n > 0) (void)!write(2, line, std::min(static_cast<size_t>(n), sizeof line - 1));
  void* frames[64];
  backtrace_symbols_fd(frames, backtrace(frames, 64), 2);
  raise(sig);
}
#endif

// Names the stage; a test's start arms its deadline, its end disarms it.
void enter(const std::string& stage, int test) {
  std::lock_guard<std::mutex> lock(g_watch->mutex);
  g_watch->stage = stage;
  std::snprintf(g_watch->crashStage, sizeof g_watch->crashStage, "%s", stage.c_str());
  if (test > 0) g_watch->testDeadline = std::chrono::steady_clock::now() + testLimit();
  if (test != 0) g_watch->testArmed = test > 0;
  g_watch->cv.notify_all();
}

class Watchdog : public ::testing::EmptyTestEventListener {
 public:
  void OnTestProgramStart(const ::testing::UnitTest&) override {
    std::thread(watch).detach();
#if !defined(__SANITIZE_ADDRESS__)
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_RESETHAND;
    for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE}) sigaction(sig, &action, nullptr);
#endif
  }
  void OnTestSuiteStart(const ::testing::TestSuite& suite) override {
    enter(std::string("the set-up of suite ") + suite.name(), 0);
  }
  void OnTestStart(const ::testing::TestInfo& info) override {
    enter(std::string(info.test_suite_name()) + "." + info.name(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    enter(std::string("suite ") + info.test_suite_name() + " after " + info.name(), -1);
  }
  void OnTestSuiteEnd(const ::testing::TestSuite& suite) override {
    enter(std::string("the program after suite ") + suite.name(), 0);
  }
  void OnTestProgramEnd(const ::testing::UnitTest&) override { enter("the program's end", 0); }
};

// gtest owns the listener.
const bool g_watched = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
  return true;
}();

}  // namespace

std::chrono::seconds testLimit() { return limitFrom(kTestLimitEnv, kTestLimit); }
std::chrono::seconds runLimit() { return limitFrom(kRunLimitEnv, std::chrono::seconds(TAVRIN_JACK_RUN_LIMIT_S)); }

std::string stage() {
  std::lock_guard<std::mutex> lock(g_watch->mutex);
  return g_watch->stage;
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
