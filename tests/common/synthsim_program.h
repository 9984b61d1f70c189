#pragma once
// The simulator program run as a child process with pipes on its input and
// output, for tests on real MIDI ports. The destructor asks it to quit and,
// after a bounded wait, kills it by its process id (and the kernel does when
// the test program ends without).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Called in a child between fork and exec (async-signal-safe): the kernel
// kills the child when the parent's forking thread ends, however it ends, so
// that a test program that hangs or crashes leaves no child behind holding
// what it shares (its output, a JACK server). A parent already gone ends it.
inline void dieWithParent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(126);
}

// The simulator program with pipes on its input and output.
struct Program {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string pending;

  explicit Program(std::vector<std::string> args) {
    signal(SIGPIPE, SIG_IGN);
    int to[2], from[2];
    if (pipe2(to, O_CLOEXEC) != 0) return;
    if (pipe2(from, O_CLOEXEC) != 0) {
      close(to[0]);
      close(to[1]);
      return;
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
      dieWithParent(parent);
      dup2(to[0], 0);
      dup2(from[1], 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(to[0]);
    close(from[1]);
    in = to[1];
    out = from[0];
  }
  ~Program() {
    say("quit\n");
    if (in >= 0) close(in);
    int status = 0;
    for (int i = 0; pid > 0 && i < 250 && waitpid(pid, &status, WNOHANG) != pid; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // another process: real time
    if (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) kill(pid, SIGKILL), waitpid(pid, &status, 0);
    if (out >= 0) close(out);
  }
  bool say(const std::string& line) { return in >= 0 && write(in, line.data(), line.size()) >= 0; }

  // The next line of output, waiting at most the limit.
  bool line(std::string& text, int limitMs) {
    for (;;) {
      const size_t nl = pending.find('\n');
      if (nl != std::string::npos) {
        text = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        return true;
      }
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, limitMs) <= 0) return false;
      char buf[4096];
      const ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return false;
      pending.append(buf, static_cast<size_t>(n));
    }
  }

  // What the simulator has received, as it lists it.
  std::vector<std::vector<uint8_t>> received() {
    std::vector<std::vector<uint8_t>> list;
    if (!say("received\n")) return list;
    std::string text;
    while (line(text, 10000) && text != "end") {  // the limit only guards against a hung program
      if (text.rfind("synthsim", 0) == 0) continue;
      if (text.rfind("received ", 0) == 0) text.erase(0, 9);
      std::vector<uint8_t> b;
      for (size_t i = 0; i + 1 < text.size(); i += 3)
        b.push_back(static_cast<uint8_t>(std::strtol(text.substr(i, 2).c_str(), nullptr, 16)));
      list.push_back(b);
    }
    return list;
  }
};

}  // namespace testsupport
