#pragma once
// Runs the test host's demonstration as a child process and reports how it
// ended: its exit status, and what it printed (in a file of the test's
// temporary folder).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace demorun {

struct Result {
  int status = -1;  // the exit status, -1 when it did not exit by itself in time
  std::string output;
};

// Runs argv (argv[0] a path) with standard output and error going to
// logPath, waiting at most limitSeconds (then it is killed by its id).
inline Result run(std::vector<std::string> args, const std::string& logPath, int limitSeconds) {
  Result r;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(log, 1);
    dup2(log, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return r;
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, &status, WNOHANG) == pid) ended = true;
    else std::this_thread::sleep_for(std::chrono::milliseconds(20));  // another process: real time
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else if (WIFEXITED(status)) {
    r.status = WEXITSTATUS(status);
  }
  std::ifstream f(logPath);
  std::stringstream s;
  s << f.rdbuf();
  r.output = s.str();
  return r;
}

}  // namespace demorun
