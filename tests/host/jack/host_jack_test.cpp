// End to end over real MIDI ports: the test plug-in module in the test host
// hands MIDI from the host to its hardware output port, which is the
// simulated synthesizer program's input on a private JACK server.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "jackserver/JackServer.h"
#include "synthsim_program.h"
#include "testhost/TestHost.h"
#include "testsupport.h"

namespace {

// Runs before main, while this is the only thread: the JACK server and
// clients of this program share a private /dev/shm where the machine allows
// it (the CTest resource lock "jack" holds either way).
const bool g_isolated = [] {
  std::fprintf(stderr, "%s\n", isolateJackSharedMemory().c_str());
  std::fprintf(stderr, "%s\n", jackRealtimeScheduling().line.c_str());
  return true;
}();

// Waiting for another process: real time cannot be avoided; every wait is
// bounded.
void pause20ms() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

// The simulator program, its commands through a pipe, its output in a file.
struct SimProgram {
  pid_t pid = -1;
  int in = -1;
  std::string outFile;

  SimProgram(const std::string& folder, const std::string& name) : outFile(folder + "/synthsim.out") {
    signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
      testsupport::dieWithParent(parent);
      dup2(fds[0], 0);
      dup2(out, 1);
      execl(SYNTHSIM_PROGRAM, SYNTHSIM_PROGRAM, "--api", "jack", "--name", name.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[0]);
    close(out);
    in = fds[1];
  }
  ~SimProgram() {
    if (in >= 0) close(in);
    int status = 0;
    for (int i = 0; pid > 0 && i < 250; ++i, pause20ms())
      if (waitpid(pid, &status, WNOHANG) == pid) return;
    if (pid > 0) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  }
  void say(const std::string& line) {
    if (in >= 0 && write(in, line.data(), line.size()) < 0) in = -1;
  }
  std::string output() const {
    std::ifstream f(outFile);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
};

TEST(HostToInstrumentOverJack, EventsArriveInOrderWithTheirLengths) {
  std::string folder = std::filesystem::temp_directory_path().string() + "/host-jack-XXXXXX";
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  {
    JackServer server;
    ASSERT_TRUE(server.running()) << server.error();
    server.exportToEnvironment();
    setenv("TAVRIN_MIDI_API", "jack", 1);
    SimProgram sim(folder, "Host Sim");
    ASSERT_GT(sim.pid, 0);

    auto module = testhost::Module::load(TESTPLUG_MODULE, {folder, ""});
    ASSERT_TRUE(module && module->table() && module->table()->openMidiOut);
    {
      testhost::Effect fx(module->firstEntry());
      ASSERT_TRUE(fx.ok());
      fx.start();
      bool open = false;
      for (int i = 0; i < 1500 && !open; ++i) {  // up to 30 s for the program to come up
        open = module->table()->openMidiOut(fx.effect(), "Host Sim In:MIDI In") == 1;
        if (!open) pause20ms();
      }
      ASSERT_TRUE(open) << "the simulator's port did not appear";
      // A message sent in a cycle the fresh connection or a loaded machine
      // misses is lost: the list goes again until one whole copy arrived in
      // order (each listing ends with a status line, so listings never run
      // into each other).
      const std::string want = "received 90 3C 64\nreceived C0 05\nreceived D0 40\n";
      std::string got;
      // Each attempt is given longer to arrive.
      for (int attempt = 0, looks = 12; attempt < 8 && got.find(want) == std::string::npos;
           ++attempt, looks = std::min(2 * looks, 200)) {
        fx.sendMidi({{0x90, 0x3C, 0x64, 0}, {0xC0, 0x05, 0x00, 16}, {0xD0, 0x40, 0x00, 32}});
        for (int i = 0; i < looks && got.find(want) == std::string::npos; ++i) {
          sim.say("received\nstatus\n");
          pause20ms();
          got = sim.output();
        }
      }
      EXPECT_NE(got.find(want), std::string::npos) << got;
    }
    EXPECT_EQ(module->table()->liveInstances(), 0);
    // The JACK client's threads are gone: a joined thread leaves the
    // process's list a moment after its join returns, a long moment on a
    // busy core, so the wait is bounded.
    EXPECT_TRUE(testsupport::spinUntil([&] { return module->table()->moduleThreads() == 0; }, std::chrono::seconds(10)))
        << module->table()->moduleThreads() << " threads of the module left";
    sim.say("quit\n");
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace
