// testhost: a VST 2.4 test host run by a script, or the demonstration run
// of the plug-in module.
//
//   testhost [--data FOLDER | --user-data] [--resources FOLDER] [SCRIPT]
//   testhost --demo MODULE [--out FOLDER] [--window]
//            [--jack --synth-commands FIFO --synth-output FILE [--synth-name NAME]]
//
// A script's steps come from SCRIPT, or from standard input; a line is
// printed for each (see TestHost.h). The demo (Demo.h) runs the simulated
// synthesizer in this process unless --jack names the synthsim program's
// command pipe and output file; --window shows the editor on the display.
// Exits 1 when a step fails or an expectation does not hold.
#include <cstring>
#include <fstream>
#include <iostream>

#include "testhost/Demo.h"
#include "testhost/TestHost.h"

namespace {

// The usage on standard error with status 2, or, asked for with --help, on
// standard output with status 0.
int usage(bool asked = false) {
  (asked ? std::cout : std::cerr)
      << "usage: testhost [--data FOLDER | --user-data] [--resources FOLDER] [SCRIPT]\n"
         "       testhost --demo MODULE [--out FOLDER] [--window]\n"
         "                [--jack --synth-commands FIFO --synth-output FILE [--synth-name NAME]]\n";
  return asked ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  testhost::LoadOptions options;
  testhost::DemoOptions demo;
  demo.outFolder = ".";
  bool runDemo = false;
  const char* script = nullptr;
  for (int i = 1; i < argc; ++i) {
    const bool more = i + 1 < argc;
    if (!std::strcmp(argv[i], "--data") && more) {
      options.dataFolder = argv[++i];
    } else if (!std::strcmp(argv[i], "--user-data")) {
      options.userDataFolder = true;
    } else if (!std::strcmp(argv[i], "--resources") && more) {
      options.resourceFolder = argv[++i];
    } else if (!std::strcmp(argv[i], "--demo") && more) {
      runDemo = true;
      demo.module = argv[++i];
    } else if (!std::strcmp(argv[i], "--out") && more) {
      demo.outFolder = argv[++i];
    } else if (!std::strcmp(argv[i], "--window")) {
      demo.window = true;
    } else if (!std::strcmp(argv[i], "--jack")) {
      demo.jack = true;
    } else if (!std::strcmp(argv[i], "--synth-commands") && more) {
      demo.synthCommands = argv[++i];
    } else if (!std::strcmp(argv[i], "--synth-output") && more) {
      demo.synthOutput = argv[++i];
    } else if (!std::strcmp(argv[i], "--synth-name") && more) {
      demo.synthName = argv[++i];
    } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      return usage(true);
    } else if (argv[i][0] == '-' && argv[i][1]) {
      return usage();
    } else {
      script = argv[i];
    }
  }
  try {
    if (runDemo) return testhost::runDemo(demo, std::cout);
    if (!script) return testhost::runScript(std::cin, std::cout, options);
    std::ifstream f(script);
    if (!f) {
      std::cerr << "testhost: cannot read " << script << "\n";
      return 2;
    }
    return testhost::runScript(f, std::cout, options);
  } catch (const std::exception& e) {
    std::cerr << "testhost: " << e.what() << "\n";
    return 1;
  }
}
