// The demonstration run of the plug-in module in the test host over real
// MIDI ports: a private JACK server, the simulated synthesizer program on it
// (commands through a named pipe, answers in a file), both stopped by their
// process ids.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "demo/demo_run.h"
#include "jackserver/JackServer.h"
#include "testsupport.h"

namespace {

// Runs before main, while this is the only thread (see JackServer.h).
const bool g_isolated = [] {
  std::fprintf(stderr, "%s\n", isolateJackSharedMemory().c_str());
  std::fprintf(stderr, "%s\n", jackRealtimeScheduling().line.c_str());
  return true;
}();

std::string fileText(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(DemoOverJack, EveryExpectationHolds) {
  testsupport::TempDir work;
  JackServer server;
  ASSERT_TRUE(server.running()) << server.error();
  server.exportToEnvironment();
  setenv("TAVRIN_MIDI_API", "jack", 1);

  const std::string commands = work.file("synth.in"), output = work.file("synth.out");
  ASSERT_EQ(mkfifo(commands.c_str(), 0600), 0);
  // Held open for reading and writing, so that neither side waits at open.
  const int pipe = open(commands.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(pipe, 0);
  const pid_t synth = fork();
  if (synth == 0) {
    const int in = open(commands.c_str(), O_RDONLY);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    execl(SYNTHSIM_PROGRAM, SYNTHSIM_PROGRAM, "--api", "jack", "--name", "Sorrel Synth", "--stay",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(synth, 0);
  bool ready = false;
  for (int i = 0; i < 500 && !ready; ++i) {
    ready = fileText(output).find("synthsim ready") != std::string::npos;
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // another process: real time
  }
  EXPECT_TRUE(ready) << "the simulated synthesizer did not start";
  if (ready) {
    const demorun::Result r = demorun::run({TESTHOST_PROGRAM, "--demo", TAVRIN_MODULE, "--out", work.path(), "--jack",
                                            "--synth-commands", commands, "--synth-output", output},
                                           work.file("demo.log"), 840);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("FAILED"), std::string::npos) << r.output;
    EXPECT_TRUE(testsupport::fileExists(work.file("editor.png")));
  }
  (void)!write(pipe, "quit\n", 5);
  close(pipe);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 250 && !ended; ++i) {
    ended = waitpid(synth, &status, WNOHANG) == synth;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) kill(synth, SIGKILL), waitpid(synth, &status, 0);
}

}  // namespace
