// The JACK programs' watchdog (support_jack.h) on a test that hangs: run in
// a fresh process of this program with a short limit, the hung test's
// program ends with its own status, and the server it started goes with it.
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

TEST(JackWatchdogRun, EndsAHungProgramAndItsServer) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  // Everything the child needs is made before the fork.
  std::vector<std::string> envText{std::string(jacktest::kTestLimitEnv) + "=2",
                                   std::string(jacktest::kNoDebuggerEnv) + "=1"};
  for (char** e = environ; *e; ++e) envText.emplace_back(*e);
  std::vector<char*> env;
  for (auto& t : envText) env.push_back(t.data());
  env.push_back(nullptr);
  char self[] = "/proc/self/exe";
  char filter[] = "--gtest_filter=JackWatchdog.DISABLED_HangsWithAServer";
  char disabled[] = "--gtest_also_run_disabled_tests";
  char* argv[] = {self, filter, disabled, nullptr};
  const pid_t parent = getpid();
  const pid_t hung = fork();
  ASSERT_GE(hung, 0);
  if (hung == 0) {
    testsupport::dieWithParent(parent);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    execve(self, argv, env.data());
    _exit(127);
  }
  close(fds[1]);
  // Its output until it ends (every write end closes then: its server
  // writes into a log of its own). The bound only keeps a watchdog that
  // fails from hanging this test.
  std::string output;
  bool ended = false;
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 120000) != 1) break;
    char buf[4096];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) {
      ended = n == 0;
      break;
    }
    output.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  if (!ended) kill(hung, SIGKILL);
  waitpid(hung, &status, 0);
  ASSERT_TRUE(ended) << "the hung program did not end\n" << output;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << output;
  EXPECT_NE(output.find("JackWatchdog.DISABLED_HangsWithAServer did not finish"), std::string::npos) << output;
  const size_t at = output.find("jackd ");
  ASSERT_NE(at, std::string::npos) << output;
  const pid_t jackd = static_cast<pid_t>(std::atoi(output.c_str() + at + 6));
  ASSERT_GT(jackd, 0) << output;
  // The program reaped the server it stopped: no such process is left.
  EXPECT_TRUE(kill(jackd, 0) != 0 && errno == ESRCH) << "its server is still there";
}

}  // namespace
