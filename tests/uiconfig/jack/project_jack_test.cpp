// The project's window on real MIDI ports: one message of each kind (a
// control change, an NRPN triple, a system-exclusive message), worked out
// by the encoder from the window's records, sent over RtMidi's JACK
// interface on a private JACK server to the simulator program, which lists
// what it received.
//
// JACK carries MIDI once per period; a client that misses its cycle on a
// loaded machine loses what passed in it, so a message that does not show
// up is sent again (a bounded number of times). Waiting for the program's
// answers is bounded as well.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "framework/IParam.h"
#include "hardware/MidiBackendRtMidi.h"
#include "hardware/MidiPorts.h"
#include "jackserver/JackServer.h"
#include "support_uiconfig.h"
#include "uiconfig/ControlActionEncoder.h"

namespace {

// Runs before main, while this is the only thread: the JACK server and
// clients of this program share a private /dev/shm where the machine allows
// it (the CTest resource lock "jack" holds either way).
const bool g_isolated = [] {
  std::fprintf(stderr, "%s\n", isolateJackSharedMemory().c_str());
  return true;
}();

using Bytes = std::vector<uint8_t>;

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
    pid = fork();
    if (pid == 0) {
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
  std::vector<Bytes> received() {
    std::vector<Bytes> list;
    if (!say("received\n")) return list;
    std::string text;
    while (line(text, 2000) && text != "end") {
      if (text.rfind("synthsim", 0) == 0) continue;
      if (text.rfind("received ", 0) == 0) text.erase(0, 9);
      Bytes b;
      for (size_t i = 0; i + 1 < text.size(); i += 3)
        b.push_back(static_cast<uint8_t>(std::strtol(text.substr(i, 2).c_str(), nullptr, 16)));
      list.push_back(b);
    }
    return list;
  }
};

TEST(ProjectOnJack, OneMessageOfEachKindReachesTheSimulatorProgram) {
  JackServer server;
  ASSERT_TRUE(server.running()) << server.error();
  server.exportToEnvironment();
  Program program({SYNTHSIM_PROGRAM, "--api", "jack", "--name", "Map Sim"});
  ASSERT_GT(program.pid, 0);

  // The program's ports appear once it has started; the wait is bounded.
  std::unique_ptr<MidiPorts> ports;
  for (int attempt = 0; attempt < 60 && !ports; ++attempt) {
    auto p = std::make_unique<MidiPorts>(makeRtMidiBackend("jack"));
    int index = 1;
    if (p->findOut("Map Sim In:MIDI In") > 0 && p->openOut(index, "Map Sim In:MIDI In") > 0)
      ports = std::move(p);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(ports) << "the program's ports did not appear";

  uitest::Window w(1500, 757);
  uitest::linkProjectResources(w.res());
  w.build();
  ASSERT_EQ(w.extraLines(), std::vector<std::string>());
  struct Edit {
    int param, value;
  } edits[] = {{40, 100}, {60, 70}, {219, 30}};  // CC, NRPN, system-exclusive
  EncodedMessages out;
  for (const Edit& e : edits) {
    const ControlAction* a = w.plug->GetParam(e.param)->GetControlAction();
    ASSERT_TRUE(encodeControlAction(*a, e.param, e.value, 0.0, 0, 0, out));
    std::vector<Bytes> wire;
    for (int m = 0; m < out.channelCount; ++m)
      wire.push_back({out.channel[m].mStatus, out.channel[m].mData1, out.channel[m].mData2});
    for (size_t m = 0; m < out.sysexCount(); ++m) {
      wire.push_back({0xF0});
      wire.back().insert(wire.back().end(), out.sysexData(m), out.sysexData(m) + out.sysexSize(m));
      wire.back().push_back(0xF7);
    }
    bool arrived = false;
    for (int attempt = 0; attempt < 4 && !arrived; ++attempt) {
      for (const Bytes& b : wire) ASSERT_TRUE(ports->send(b.data(), b.size()));
      for (int look = 0; look < 10 && !arrived; ++look) {
        const std::vector<Bytes> got = program.received();
        arrived = got.size() >= wire.size() && std::equal(wire.begin(), wire.end(), got.end() - wire.size());
        if (!arrived) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a JACK period
      }
    }
    EXPECT_TRUE(arrived) << e.param;
  }
  ports->shutdown();
}

}  // namespace
