// The JACK programs' watchdog (jack_watchdog.h) on a test, and on a suite's
// set-up, that hang: run in a fresh process of this program with a short
// limit, the hung program ends with its own status and a message naming
// where it hung, and the server it started goes with it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "support_jack.h"
#include "synthsim_program.h"
#include "testsupport.h"

namespace {

// Run only by the next test, on a server started and named before the test
// (and its limit) begins: waits for what never comes.
struct JackWatchdog : jacktest::OnPrivateServer {
  static void SetUpTestSuite() {
    OnPrivateServer::SetUpTestSuite();
    std::printf("jackd %d\n", static_cast<int>(server->pid()));
    std::fflush(stdout);
  }
};

TEST_F(JackWatchdog, DISABLED_HangsWithAServer) {
  std::mutex mutex;
  std::condition_variable never;
  std::unique_lock<std::mutex> lock(mutex);
  never.wait(lock, [] { return false; });
}

// A suite whose set-up starts its server, then waits for what never comes
// (as a server start that hangs): no test of it has begun.
struct JackWatchdogSetUp : jacktest::OnPrivateServer {
  static void SetUpTestSuite() {
    JackWatchdog::SetUpTestSuite();
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    never.wait(lock, [] { return false; });
  }
};

TEST_F(JackWatchdogSetUp, DISABLED_NeverRuns) {}

// Runs one disabled test of this program in a fresh process with the given
// limits, the debugger left out; its output and exit status once it ended.
struct HungRun {
  std::string output;
  bool ended = false;
  int status = 0;
};

HungRun runHung(const char* test, const std::string& limits) {
  HungRun run;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return run;
  // The ended program's temporary folders (its server's among them) stay
  // where it left them: in one of this test's, which goes with it.
  const testsupport::TempDir tmp;
  // Everything the child needs is made before the fork.
  std::vector<std::string> envText{std::string(jacktest::kNoDebuggerEnv) + "=1", "TMPDIR=" + tmp.path()};
  for (size_t from = 0; from < limits.size();) {
    const size_t space = limits.find(' ', from);
    envText.push_back(limits.substr(from, space - from));
    from = space == std::string::npos ? limits.size() : space + 1;
  }
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> env;
  for (auto& t : envText) env.push_back(t.data());
  env.push_back(nullptr);
  std::string filterText = std::string("--gtest_filter=") + test;
  char self[] = "/proc/self/exe";
  char disabled[] = "--gtest_also_run_disabled_tests";
  char* argv[] = {self, filterText.data(), disabled, nullptr};
  const pid_t parent = getpid();
  const pid_t hung = fork();
  if (hung < 0) return run;
  if (hung == 0) {
    testsupport::dieWithParent(parent);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    execve(self, argv, env.data());
    _exit(127);
  }
  close(fds[1]);
  // Its output until it ends (every write end closes then: its server
  // writes into a log of its own). A watchdog that fails to end it is
  // ended by this program's own, which counts the cycles of the server the
  // hung program started, as that one's does.
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, -1) != 1) break;
    char buf[4096];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) {
      run.ended = n == 0;
      break;
    }
    run.output.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (!run.ended) kill(hung, SIGKILL);
  waitpid(hung, &run.status, 0);
  return run;
}

// The program ended with its own status, and the server it started and
// named went with it: no such process is left.
void expectEndedWithItsServer(const HungRun& run, const char* message) {
  ASSERT_TRUE(run.ended) << "the hung program did not end\n" << run.output;
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 3) << run.output;
  EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
  const size_t at = run.output.find("jackd ");
  ASSERT_NE(at, std::string::npos) << run.output;
  const pid_t jackd = static_cast<pid_t>(std::atoi(run.output.c_str() + at + 6));
  ASSERT_GT(jackd, 0) << run.output;
  EXPECT_TRUE(kill(jackd, 0) != 0 && errno == ESRCH) << "its server is still there";
}

TEST(JackWatchdogRun, EndsAHungProgramAndItsServer) {
  const HungRun run = runHung("JackWatchdog.DISABLED_HangsWithAServer", std::string(jacktest::kTestLimitEnv) + "=2");
  expectEndedWithItsServer(run, "JackWatchdog.DISABLED_HangsWithAServer did not finish");
}

// The whole run has a limit too, which covers what runs outside any test:
// a suite's set-up that hangs is ended, named. Its limit counts the cycles
// of the server the set-up started, not the time a busy machine took to
// start it.
TEST(JackWatchdogRun, EndsARunHungInASuitesSetUp) {
  const HungRun run = runHung("JackWatchdogSetUp.DISABLED_NeverRuns", std::string(jacktest::kRunLimitEnv) + "=4");
  expectEndedWithItsServer(run, "the run did not finish within 4 s; it was in the set-up of suite JackWatchdogSetUp");
}

}  // namespace
