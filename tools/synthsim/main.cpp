// synthsim: the simulated synthesizer on real MIDI ports.
//
//   synthsim [--api NAME] [--name NAME] [--device N] [--fault MODE]
//            [--delay-ms N] [--stay]
//
// Makes the ports "<name> In:MIDI In" and "<name> Out:MIDI Out" (JACK
// naming) and answers the editor. Commands on standard input, one a line:
//   cc <channel> <controller> <value>   send a control change (channel 1..16)
//   pc <channel> <program>              send a program change
//   param <a1> <a2> <value>             send a single-parameter message
//   device <n>                          answer to device ID n
//   fault <mode> [delay-ms]             none, silent, delay, echo, truncated,
//                                       oversized, garbage
//   status                              counts of what happened
//   clock                               the clock bytes received, with times
//   received                            every message received, in hex, one a
//                                       line after "received", then "end"
//   quit
// It ends at "quit" or at the end of input; with --stay it ignores the end
// of input and runs until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "hardware/MidiBackendRtMidi.h"
#include "synthsim/SynthSimulator.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: synthsim [--api NAME] [--name NAME] [--device N] [--fault MODE] [--delay-ms N] [--stay]\n");
  return 2;
}

void printStatus(const synthsim::SynthSimulator& sim) {
  std::printf("device %d, fault %s, received %zu, sent %zu, stored %zu, rejected %zu, ignored %zu, clock %zu\n",
              sim.deviceId(), synthsim::faultName(sim.fault()), sim.received().size(), sim.sent().size(),
              sim.storedDumps(), sim.rejectedDumps(), sim.ignoredRequests(), sim.clockEvents().size());
}

bool command(synthsim::SynthSimulator& sim, const std::string& line) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word)) return true;
  int a = 0, b = 0, c = 0;
  if (word == "quit") return false;
  if (word == "cc" && (in >> a >> b >> c)) {
    sim.sendControlChange(a, b, c);
  } else if (word == "pc" && (in >> a >> b)) {
    sim.sendProgramChange(a, b);
  } else if (word == "param" && (in >> a >> b >> c)) {
    sim.sendSingleParameter(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c));
  } else if (word == "device" && (in >> a)) {
    sim.setDeviceId(static_cast<uint8_t>(a));
  } else if (word == "fault") {
    std::string mode;
    synthsim::Fault f;
    if (!(in >> mode) || !synthsim::parseFault(mode, f)) {
      std::printf("unknown fault\n");
    } else {
      sim.setFault(f);
      if (in >> a) sim.setDelayMicros(static_cast<uint64_t>(a) * 1000);
    }
  } else if (word == "status") {
    printStatus(sim);
  } else if (word == "received") {
    for (const auto& r : sim.received()) {
      std::printf("received");
      for (uint8_t b : r.bytes) std::printf(" %02X", b);
      std::printf("\n");
    }
    std::printf("end\n");
  } else if (word == "clock") {
    for (const auto& e : sim.clockEvents()) std::printf("%02X %llu\n", e.byte, static_cast<unsigned long long>(e.micros));
  } else {
    std::printf("unknown command: %s\n", line.c_str());
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string api;
  synthsim::SynthSimulator::Options options;
  synthsim::Fault fault = synthsim::Fault::None;
  long delayMs = -1;
  bool stay = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--api" && hasValue) {
      api = argv[++i];
    } else if (arg == "--name" && hasValue) {
      options.name = argv[++i];
    } else if (arg == "--device" && hasValue) {
      options.deviceId = static_cast<uint8_t>(std::atoi(argv[++i]) & 0x7F);
    } else if (arg == "--fault" && hasValue) {
      if (!synthsim::parseFault(argv[++i], fault)) return usage();
    } else if (arg == "--delay-ms" && hasValue) {
      delayMs = std::atol(argv[++i]);
    } else if (arg == "--stay") {
      stay = true;
    } else {
      return usage();
    }
  }

  // Signals are taken by sigwait below, not by a handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  // A busy JACK server now and then refuses a new client: try again a few
  // times, each with a new backend (a backend does not try an interface
  // again once it failed).
  std::unique_ptr<MidiBackend> backend;
  std::unique_ptr<synthsim::SynthSimulator> made;
  for (int attempt = 0; attempt < 5 && !(made && made->ready()); ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    made.reset();
    backend = makeRtMidiBackend(api);
    made = std::make_unique<synthsim::SynthSimulator>(*backend, options);
  }
  if (!made->ready()) {
    std::fprintf(stderr, "synthsim: the ports could not be made (MIDI interface %s)\n", backend->apiName().c_str());
    return 1;
  }
  synthsim::SynthSimulator& sim = *made;
  sim.setFault(fault);
  if (delayMs >= 0) sim.setDelayMicros(static_cast<uint64_t>(delayMs) * 1000);
  std::printf("synthsim ready on %s: \"%s In:%s\" and \"%s Out:%s\", device %d\n", backend->apiName().c_str(),
              options.name.c_str(), options.inPort.c_str(), options.name.c_str(), options.outPort.c_str(),
              options.deviceId);
  std::fflush(stdout);

  std::string line;
  while (std::getline(std::cin, line)) {
    if (!command(sim, line)) return 0;
  }
  if (stay) {
    int sig = 0;
    sigwait(&signals, &sig);
  }
  printStatus(sim);
  return 0;
}
