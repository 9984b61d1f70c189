#pragma once
// A private X server for tests: Xvfb started as a child process on a
// display it picks itself (-displayfd), waited for (bounded), handed to
// this process's X clients through DISPLAY, and stopped by its process id.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    mPid = fork();
    if (mPid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // it goes when the test program goes, however that ends
      fcntl(fds[1], F_SETFD, 0);         // the display number's way out stays open
      const int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) dup2(devnull, 0), dup2(devnull, 1), dup2(devnull, 2);
      // No reset when the last client leaves: the next test connects at once.
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1000x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it listens.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (mPid > 0 && poll(&p, 1, 20000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1) break;
      if (c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) return;
    mDisplay = ":" + number;
    setenv("DISPLAY", mDisplay.c_str(), 1);
  }
  ~Xvfb() {
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 250; ++i) {
      if (waitpid(mPid, &status, WNOHANG) == mPid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // another process: real time
    }
    kill(mPid, SIGKILL);
    waitpid(mPid, &status, 0);
  }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  bool running() const { return !mDisplay.empty(); }
  const std::string& display() const { return mDisplay; }
  pid_t pid() const { return mPid; }

 private:
  pid_t mPid = -1;
  std::string mDisplay;
};
