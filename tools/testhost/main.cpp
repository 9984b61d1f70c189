// testhost: a VST 2.4 test host run by a script.
//
//   testhost [--data FOLDER] [--resources FOLDER] [SCRIPT]
//
// Reads the steps from SCRIPT, or from standard input, and prints a line for
// each (see TestHost.h for the steps). Exits 1 when a step fails or an
// expectation does not hold.
#include <cstring>
#include <fstream>
#include <iostream>

#include "testhost/TestHost.h"

int main(int argc, char** argv) {
  testhost::LoadOptions options;
  const char* script = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--data") && i + 1 < argc) {
      options.dataFolder = argv[++i];
    } else if (!std::strcmp(argv[i], "--resources") && i + 1 < argc) {
      options.resourceFolder = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1]) {
      std::cerr << "usage: testhost [--data FOLDER] [--resources FOLDER] [SCRIPT]\n";
      return 2;
    } else {
      script = argv[i];
    }
  }
  try {
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
