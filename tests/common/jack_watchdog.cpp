#include "jack_watchdog.h"

#include <dirent.h>
#include <execinfo.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#ifndef TAVRIN_JACK_RUN_LIMIT_S
#define TAVRIN_JACK_RUN_LIMIT_S 540
#endif

namespace jacktest {

namespace {

// The run's stage, its clock and where the running test began on it. Its
// state outlives every destructor, since its thread waits until the process
// ends.
struct WatchState {
  std::mutex mutex;
  std::condition_variable cv;
  std::string stage = "start-up";
  // Seconds the run has progressed (see watch()).
  double clock = 0;
  double testBegan = 0;
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

// One process as /proc/<pid>/stat tells it.
struct ProcessLine {
  pid_t parent = 0;
  char state = 0;
  std::string name;
};

std::map<pid_t, ProcessLine> everyProcess() {
  std::map<pid_t, ProcessLine> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (const dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    std::getline(stat, line);
    // "pid (name) state ppid ...": the name may hold spaces and brackets.
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    ProcessLine p;
    p.name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    if (rest >> p.state >> p.parent) found[pid] = p;
  }
  closedir(proc);
  return found;
}

// The children of this program (its JACK servers, the simulator programs),
// from /proc.
std::vector<pid_t> children() {
  std::vector<pid_t> found;
  const pid_t self = getpid();
  for (const auto& [pid, p] : everyProcess())
    if (p.parent == self) found.push_back(pid);
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

// How often the watchdog looks at the run's progress.
constexpr auto kLook = std::chrono::milliseconds(250);


// A number after "name:" in a /proc status file; 0 when it is not there.
uint64_t statusField(const std::string& path, const std::string& name) {
  std::ifstream status(path);
  std::string line;
  const std::string key = name + ":";
  while (std::getline(status, line))
    if (line.compare(0, key.size(), key) == 0) return std::strtoull(line.c_str() + key.size(), nullptr, 10);
  return 0;
}

// Seconds of one cycle of a JACK server, from its command line ("-r RATE
// -p PERIOD" of its driver; the server's own defaults otherwise).
double cycleSeconds(pid_t server) {
  std::ifstream cmdline("/proc/" + std::to_string(server) + "/cmdline");
  std::vector<std::string> args;
  for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
  double rate = 48000, period = 1024;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "-r") rate = std::atof(args[i + 1].c_str());
    if (args[i] == "-p") period = std::atof(args[i + 1].c_str());
  }
  return rate > 0 && period > 0 ? period / rate : 1024.0 / 48000;
}

// The time the JACK servers this program started (its children, or theirs)
// spent running cycles. A server's driver thread sleeps once a cycle until
// the next one is due, and not at all while it is behind: the count of its
// sleeps, the most of any thread of the server, is its count of cycles.
class ServerTime {
 public:
  // The seconds of the most progressed server's cycles since the last
  // call; none when no server runs (a server that is starting counts, with
  // the few cycles it has run).
  std::optional<double> sinceLastLook() {
    const auto processes = everyProcess();
    const pid_t self = getpid();
    auto ours = [&](pid_t pid) {
      for (int depth = 0; depth < 32 && pid > 1; ++depth) {
        const auto p = processes.find(pid);
        if (p == processes.end()) return false;
        pid = p->second.parent;
        if (pid == self) return true;
      }
      return false;
    };
    std::optional<double> most;
    std::map<pid_t, uint64_t> sleeps;
    for (const auto& [pid, p] : processes) {
      if (p.name != "jackd" || (p.state != 'R' && p.state != 'S' && p.state != 'D') || !ours(pid)) continue;
      const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
      uint64_t cycles = 0;
      if (DIR* dir = opendir(tasks.c_str())) {
        while (const dirent* entry = readdir(dir)) {
          const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
          if (tid <= 0) continue;
          const uint64_t n = statusField(tasks + "/" + entry->d_name + "/status", "voluntary_ctxt_switches");
          sleeps[tid] = n;
          const auto before = m_sleeps.find(tid);
          if (before != m_sleeps.end() && n > before->second) cycles = std::max(cycles, n - before->second);
        }
        closedir(dir);
      }
      const double seconds = static_cast<double>(cycles) * cycleSeconds(pid);
      most = std::max(most.value_or(0.0), seconds);
    }
    m_sleeps = std::move(sleeps);
    return most;
  }

 private:
  std::map<pid_t, uint64_t> m_sleeps;  // each server thread's sleeps at the last look
};

// The run's clock goes on with the time the program's JACK servers spent
// running cycles, never faster than real time, and with real time while it
// has no server. A run that does not progress while its server's cycles go
// on hangs; one whose server is starved of the processor is only slow, and
// its clock slows with it.
void watch() {
  ServerTime serverTime;
  auto last = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(g_watch->mutex);
  for (;;) {
    g_watch->cv.wait_for(lock, kLook);
    lock.unlock();
    const auto now = std::chrono::steady_clock::now();
    const double real = std::chrono::duration<double>(now - last).count();
    last = now;
    const std::optional<double> served = serverTime.sinceLastLook();
    lock.lock();
    g_watch->clock += served ? std::min(real, *served) : real;
    const double runLimitS = static_cast<double>(runLimit().count());
    const double testLimitS = static_cast<double>(testLimit().count());
    std::string message;
    if (g_watch->clock >= runLimitS) {
      message = "the run did not finish within " + std::to_string(runLimit().count()) + " s; it was in " +
                g_watch->stage;
    } else if (g_watch->testArmed && g_watch->clock - g_watch->testBegan >= testLimitS) {
      message = g_watch->stage + " did not finish within " + std::to_string(testLimit().count()) + " s";
    } else {
      continue;
    }
    message += " (seconds of its JACK server's cycles while it had one)";
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

// Names the stage; a test's start arms its limit, its end disarms it.
void enter(const std::string& stage, int test) {
  std::lock_guard<std::mutex> lock(g_watch->mutex);
  g_watch->stage = stage;
  std::snprintf(g_watch->crashStage, sizeof g_watch->crashStage, "%s", stage.c_str());
  if (test > 0) g_watch->testBegan = g_watch->clock;
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
